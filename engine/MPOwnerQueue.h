// Notifications from the engine's threads to the thread that owns a player.  Worker
// threads never call user code: they post numbered messages here, and the owner thread
// handles them, one at a time, from its event loop: a handler never runs the loop
// inside itself.  The Qt application's adapter runs them from the Qt event loop; tools
// and tests use TMPRunLoop.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sorrel::engine {

class TMPNotifyTarget {
 public:
  virtual ~TMPNotifyTarget() = default;
  virtual void HandleNotification(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
};

class TMPOwnerQueue {
 public:
  TMPOwnerQueue();  // the constructing thread is the owner thread
  virtual ~TMPOwnerQueue() = default;

  // Any thread.  With `coalesce`, nothing is posted while a message of the same number
  // for the same target is waiting.  Returns whether it was posted.
  bool Post(TMPNotifyTarget* target, uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0,
            bool coalesce = false);
  // Any thread: queues a message behind everything the owner thread has waiting now, the
  // application's own events included (input, timers, other posts), so that a handler
  // that wants pending work to run first posts itself again this way instead of running
  // that work inside itself.  Never coalesced.
  void PostBehindPending(TMPNotifyTarget* target, uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  // Whether a message is waiting (held back by PostBehindPending included).
  bool Pending(TMPNotifyTarget* target, uint32_t msg);
  // Owner thread: drops waiting copies of a message, or everything for a target.
  void Remove(TMPNotifyTarget* target, uint32_t msg);
  void Detach(TMPNotifyTarget* target);
  // Owner thread: handles one waiting message; false when there was none.
  bool DispatchOne();
  bool IsOwnerThread() const { return std::this_thread::get_id() == owner_; }

 protected:
  // Any thread, after a message was queued: make the owner thread come and look.
  virtual void Wake() = 0;
  // Any thread, after PostBehindPending: make ReleaseDeferred run on the owner thread
  // once what is pending there now has been handled.  The default releases at once: the
  // queue's own order already puts the message behind everything waiting in it, and a
  // plain run loop has no other source of events.
  virtual void WakeBehindPending();
  // Moves the messages PostBehindPending held back to the end of the queue.
  void ReleaseDeferred();
  // Owner thread: handles everything waiting.  Not re-entered.
  void DrainAll();

 private:
  struct Entry {
    TMPNotifyTarget* target;
    uint32_t msg;
    uintptr_t w;
    intptr_t l;
  };
  std::mutex m_;
  std::deque<Entry> queue_;
  std::deque<Entry> deferred_;  // held back by PostBehindPending
  std::thread::id owner_;
  bool draining_ = false;
};

// A plain run loop for tools and tests.
class TMPRunLoop : public TMPOwnerQueue {
 public:
  // Handles messages until Quit.
  void Run();
  void Quit();
  // Handles messages until pred() holds or the time is up; returns pred().
  bool RunUntil(const std::function<bool()>& pred, uint32_t timeoutMs);
  void RunFor(uint32_t ms);

 protected:
  void Wake() override;

 private:
  std::mutex wm_;
  std::condition_variable cv_;
  bool woken_ = false;
  bool quit_ = false;
};

}  // namespace sorrel::engine
