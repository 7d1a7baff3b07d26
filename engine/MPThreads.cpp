#include "engine/MPThreads.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace sorrel::engine {

namespace {
std::mutex g_displayLock;
TMPExceptionDisplay g_display;
}  // namespace

std::string MPErrorText(const std::string& systemText, const std::string& operation) {
  return systemText + "(" + operation + ")";
}

void SetMPExceptionDisplay(TMPExceptionDisplay display) {
  std::lock_guard lock(g_displayLock);
  g_display = std::move(display);
}

std::string MPExceptionMessage(const std::exception_ptr& e) {
  try {
    if (e) std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return x.what();
  } catch (...) {
    return "unknown exception";
  }
  return {};
}

void ShowMPException(const std::exception_ptr& e) {
  TMPExceptionDisplay d;
  {
    std::lock_guard lock(g_displayLock);
    d = g_display;
  }
  if (d) {
    d(e);
  } else {
    std::fprintf(stderr, "%s\n", MPExceptionMessage(e).c_str());
  }
}

void TMPEvent::SetEvent() {
  std::mutex* wm;
  std::condition_variable* wcv;
  {
    // Everything under the lock: a waiter may free this event as soon as it wakes.
    std::lock_guard lock(m_);
    set_ = true;
    cv_.notify_all();
    wm = watchM_;
    wcv = watchCv_;
  }
  if (wm) {
    // Taking the watcher's mutex orders this with its predicate check: no lost wake-up.
    { std::lock_guard lock(*wm); }
    wcv->notify_all();
  }
}

void TMPEvent::ResetEvent() {
  std::lock_guard lock(m_);
  set_ = false;
}

uint32_t TMPEvent::WaitFor(uint32_t timeoutMs) {
  std::unique_lock lock(m_);
  if (timeoutMs == kInfinite) {
    cv_.wait(lock, [this] { return set_.load(); });
    return kSignaled;
  }
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_.load(); }) ? kSignaled
                                                                                                  : kTimeout;
}

void TMPEvent::Attach(std::mutex* m, std::condition_variable* cv) {
  watchM_ = m;
  watchCv_ = cv;
}

TMPLoopThread::TMPLoopThread(TMPMessageOwner* owner, base::TClock& clock) : owner_(owner), clock_(clock) {
  Event.Attach(&m_, &cv_);
  thread_ = std::thread([this] { Run(); });
  id_ = thread_.get_id();
}

TMPLoopThread::~TMPLoopThread() { Quit(); }

void TMPLoopThread::Resume() {
  {
    std::lock_guard lock(m_);
    resumed_ = true;
  }
  cv_.notify_all();
}

void TMPLoopThread::SetName(const char* name) {
  if (thread_.joinable()) pthread_setname_np(thread_.native_handle(), name);
}

void TMPLoopThread::SetPriority(int priority) {
  int nice = 0;
  switch (priority) {
    case -15:
      nice = 19;
      break;
    case -2:
      nice = 10;
      break;
    case -1:
      nice = 5;
      break;
    case 0:
      nice = 0;
      break;
    case 1:
      nice = -5;
      break;
    case 2:
      nice = -10;
      break;
    case 15:
      nice = -20;
      break;
    default:
      return;
  }
  // Wait briefly for the thread to publish its id (it does so first thing).
  for (int i = 0; i < 100 && tid_.load() == 0 && !ended_; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (tid_.load() == 0) return;
  // Raising priority needs privileges most users lack; that is fine.
  (void)setpriority(PRIO_PROCESS, id_t(tid_.load()), nice);
}

void TMPLoopThread::SetTimeOut(uint32_t ms) {
  {
    std::lock_guard lock(m_);
    TimeOut = ms;
    rewait_ = true;
  }
  cv_.notify_all();
}

void TMPLoopThread::PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard lock(m_);
    if (ended_) return;
    queue_.push_back({msg, wParam, lParam, 0});
  }
  cv_.notify_all();
}

void TMPLoopThread::Quit() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(m_);
    resumed_ = true;  // a thread never resumed still has to end
    queue_.push_back({MPM_QUIT, 0, 0, 0});
  }
  cv_.notify_all();
  if (std::this_thread::get_id() == id_) {
    thread_.detach();  // quitting itself: the loop ends after this handler
    return;
  }
  thread_.join();
}

void TMPLoopThread::Sync() {
  if (ended_ || !thread_.joinable()) return;
  TMPSimpleEvent done;
  PostMessage(MPM_SYNC, reinterpret_cast<uintptr_t>(&done), 0);
  while (done.WaitFor(20) != TMPEvent::kSignaled) {
    if (ended_) return;  // the ending thread cleared its queue, marker and all
  }
}

void TMPLoopThread::Deliver(uint32_t msg, uintptr_t w, intptr_t l) {
  TMPMessage m{msg, w, l, 0};
  owner_->Dispatch(m);
}

void TMPLoopThread::Run() {
  tid_ = int(syscall(SYS_gettid));
  {
    std::unique_lock lock(m_);
    cv_.wait(lock, [this] { return resumed_; });
  }
  bool quit = false;
  while (!quit) {
    try {
      bool eventSet, timedOut = false;
      {
        std::unique_lock lock(m_);
        uint32_t t = TimeOut.load();
        rewait_ = false;
        auto ready = [this] { return Event.IsSet() || !queue_.empty() || rewait_; };
        if (t == TMPEvent::kInfinite) {
          cv_.wait(lock, ready);
        } else {
          timedOut = !clock_.WaitUntil(lock, cv_, clock_.NowMicros() + int64_t(t) * 1000, ready);
        }
        eventSet = Event.IsSet();
        if (rewait_ && !eventSet && queue_.empty()) continue;  // new time-out: wait again
      }
      if (eventSet) {
        Deliver(MPM_EVENT);
      } else if (timedOut) {
        Deliver(MPM_TIMEOUT);
      }
      for (;;) {
        TMPMessage m;
        {
          std::lock_guard lock(m_);
          if (queue_.empty()) break;
          m = queue_.front();
          queue_.pop_front();
        }
        if (m.Msg == MPM_QUIT) {
          quit = true;
          break;
        }
        if (m.Msg == MPM_SYNC) {
          if (m.WParam) reinterpret_cast<TMPEvent*>(m.WParam)->SetEvent();
          continue;
        }
        owner_->Dispatch(m);
      }
    } catch (...) {
      std::exception_ptr e = std::current_exception();
      bool handled = false;
      try {
        if (OnException) OnException(this, e, handled);
        if (!handled) ShowMPException(e);
      } catch (...) {
        // A failing handler must not end the loop either.
      }
    }
  }
  std::lock_guard lock(m_);
  ended_ = true;
  queue_.clear();
}

}  // namespace sorrel::engine
