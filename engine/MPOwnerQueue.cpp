#include "engine/MPOwnerQueue.h"

#include <algorithm>
#include <chrono>

namespace sorrel::engine {

TMPOwnerQueue::TMPOwnerQueue() : owner_(std::this_thread::get_id()) {}

bool TMPOwnerQueue::Post(TMPNotifyTarget* target, uint32_t msg, uintptr_t w, intptr_t l, bool coalesce) {
  {
    std::lock_guard lock(m_);
    if (coalesce) {
      for (const Entry& e : queue_) {
        if (e.target == target && e.msg == msg) return false;
      }
    }
    queue_.push_back({target, msg, w, l});
  }
  Wake();
  return true;
}

void TMPOwnerQueue::PostBehindPending(TMPNotifyTarget* target, uint32_t msg, uintptr_t w, intptr_t l) {
  {
    std::lock_guard lock(m_);
    deferred_.push_back({target, msg, w, l});
  }
  WakeBehindPending();
}

void TMPOwnerQueue::WakeBehindPending() {
  ReleaseDeferred();
  Wake();
}

void TMPOwnerQueue::ReleaseDeferred() {
  std::lock_guard lock(m_);
  queue_.insert(queue_.end(), deferred_.begin(), deferred_.end());
  deferred_.clear();
}

bool TMPOwnerQueue::Pending(TMPNotifyTarget* target, uint32_t msg) {
  std::lock_guard lock(m_);
  auto same = [&](const Entry& e) { return e.target == target && e.msg == msg; };
  return std::any_of(queue_.begin(), queue_.end(), same) ||
         std::any_of(deferred_.begin(), deferred_.end(), same);
}

void TMPOwnerQueue::Remove(TMPNotifyTarget* target, uint32_t msg) {
  std::lock_guard lock(m_);
  auto same = [&](const Entry& e) { return e.target == target && e.msg == msg; };
  std::erase_if(queue_, same);
  std::erase_if(deferred_, same);
}

void TMPOwnerQueue::Detach(TMPNotifyTarget* target) {
  std::lock_guard lock(m_);
  auto mine = [&](const Entry& e) { return e.target == target; };
  std::erase_if(queue_, mine);
  std::erase_if(deferred_, mine);
}

bool TMPOwnerQueue::DispatchOne() {
  Entry e;
  {
    std::lock_guard lock(m_);
    if (queue_.empty()) return false;
    e = queue_.front();
    queue_.pop_front();
  }
  e.target->HandleNotification(e.msg, e.w, e.l);
  return true;
}

void TMPOwnerQueue::DrainAll() {
  if (draining_) return;
  draining_ = true;
  try {
    while (DispatchOne()) {}
  } catch (...) {
    draining_ = false;
    throw;
  }
  draining_ = false;
}

void TMPRunLoop::Wake() {
  {
    std::lock_guard lock(wm_);
    woken_ = true;
  }
  cv_.notify_all();
}

void TMPRunLoop::Quit() {
  {
    std::lock_guard lock(wm_);
    quit_ = true;
  }
  cv_.notify_all();
}

void TMPRunLoop::Run() {
  for (;;) {
    while (DispatchOne()) {
      std::lock_guard lock(wm_);
      if (quit_) break;
    }
    std::unique_lock lock(wm_);
    if (quit_) {
      quit_ = false;
      return;
    }
    cv_.wait(lock, [this] { return woken_ || quit_; });
    woken_ = false;
  }
}

bool TMPRunLoop::RunUntil(const std::function<bool()>& pred, uint32_t timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    while (!pred() && DispatchOne()) {}
    if (pred()) return true;
    std::unique_lock lock(wm_);
    if (std::chrono::steady_clock::now() >= end) return false;
    cv_.wait_until(lock, std::min(end, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)),
                   [this] { return woken_; });
    woken_ = false;
  }
}

void TMPRunLoop::RunFor(uint32_t ms) {
  RunUntil([] { return false; }, ms);
}

}  // namespace sorrel::engine
