// Locks, events and the message-loop worker thread the engine runs its work on.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/Clock.h"

namespace sorrel::engine {

// The engine's exception: its message is the whole text shown to the user.
class EMPError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "%s(%s)": a system error text and the operation that failed.
std::string MPErrorText(const std::string& systemText, const std::string& operation);

// The application's standard exception display.  The default writes the message to
// standard error; the application installs its own (a message box).  Thread-safe.
using TMPExceptionDisplay = std::function<void(const std::exception_ptr&)>;
void SetMPExceptionDisplay(TMPExceptionDisplay display);
void ShowMPException(const std::exception_ptr& e);
// The message of an exception (what(), or a fixed text for a foreign object).
std::string MPExceptionMessage(const std::exception_ptr& e);

class TMPAbstractMutex {
 public:
  virtual ~TMPAbstractMutex() = default;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

// A re-entrant lock.
class TMPSimpleMutex : public TMPAbstractMutex {
 public:
  void Lock() override { m_.lock(); }
  void Unlock() override { m_.unlock(); }
  // BasicLockable, for std::lock_guard.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

 private:
  std::recursive_mutex m_;
};

// A manual-reset event, initially not set.
class TMPEvent {
 public:
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;
  static constexpr uint32_t kSignaled = 0;
  static constexpr uint32_t kTimeout = 258;

  TMPEvent() = default;
  virtual ~TMPEvent() = default;
  TMPEvent(const TMPEvent&) = delete;
  TMPEvent& operator=(const TMPEvent&) = delete;

  void SetEvent();
  void ResetEvent();
  bool IsSet() const { return set_.load(); }
  // kSignaled or kTimeout.
  uint32_t WaitFor(uint32_t timeoutMs);

  // Someone else who waits for this event together with other things: notified (under
  // its own mutex) each time the event is set.
  void Attach(std::mutex* m, std::condition_variable* cv);

 private:
  std::atomic<bool> set_{false};
  std::mutex m_;
  std::condition_variable cv_;
  std::mutex* watchM_ = nullptr;
  std::condition_variable* watchCv_ = nullptr;
};

class TMPSimpleEvent : public TMPEvent {};

// One message of a loop thread's queue.
struct TMPMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

inline constexpr uint32_t MPM_QUIT = 1054;
inline constexpr uint32_t MPM_EVENT = 1055;
inline constexpr uint32_t MPM_SYNC = 1056;
inline constexpr uint32_t MPM_TIMEOUT = 1057;

// Whatever receives a loop thread's work: one dispatch by message number; numbers it
// does not know it ignores.
class TMPMessageOwner {
 public:
  virtual ~TMPMessageOwner() = default;
  virtual void Dispatch(TMPMessage& msg) = 0;
};

class TMPLoopThread {
 public:
  // Sender, exception, Handled (starts false).
  using ExceptionHandler = std::function<void(TMPLoopThread*, const std::exception_ptr&, bool&)>;

  // Starts the thread suspended: it runs nothing until Resume.  The time-out is measured
  // on `clock`.
  explicit TMPLoopThread(TMPMessageOwner* owner, base::TClock& clock = base::SystemClock());
  // Quit, then release everything.
  ~TMPLoopThread();
  TMPLoopThread(const TMPLoopThread&) = delete;
  TMPLoopThread& operator=(const TMPLoopThread&) = delete;

  void Resume();
  // The thread's name as the system shows it (at most 15 characters), for tools.
  void SetName(const char* name);
  // Win32 priority value (-15, -2, -1, 0, 1, 2, 15); mapped to the thread's nice value
  // where the system allows it, quietly ignored where it does not.
  void SetPriority(int priority);
  void PostMessage(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  // Posts 1054 and waits for the thread to end.
  void Quit();
  // Returns once every message posted before it has been handled, or the thread ended.
  // Never from the loop thread itself.
  void Sync();

  bool Ended() const { return ended_.load(); }
  std::thread::id ThreadId() const { return id_; }

  ExceptionHandler OnException;
  TMPSimpleEvent Event;                                // the run switch (1055 while set)
  std::atomic<uint32_t> TimeOut{TMPEvent::kInfinite};  // ms; 1057 after this long idle
  // Sets TimeOut and makes a waiting thread start its wait again with it (a plain
  // store would wait out the old one, possibly for ever).
  void SetTimeOut(uint32_t ms);

 private:
  void Run();
  void Deliver(uint32_t msg, uintptr_t w = 0, intptr_t l = 0);

  TMPMessageOwner* owner_;
  base::TClock& clock_;
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<TMPMessage> queue_;
  bool resumed_ = false;
  bool rewait_ = false;
  std::atomic<bool> ended_{false};
  std::atomic<int> tid_{0};
  std::thread thread_;
  std::thread::id id_;
};

}  // namespace sorrel::engine
