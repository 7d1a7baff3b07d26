#include "base/Clock.h"

#include <chrono>
#include <climits>
#include <ctime>
#include <thread>

namespace sorrel::base {

namespace {

class TSystemClock final : public TClock {
 public:
  int64_t NowMicros() override {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
  }
  TLocalTime LocalTime() override {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    TLocalTime r;
    r.year = tm.tm_year + 1900;
    r.month = tm.tm_mon + 1;
    r.day = tm.tm_mday;
    r.hour = tm.tm_hour;
    r.minute = tm.tm_min;
    r.second = tm.tm_sec;
    r.millisecond = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return r;
  }
  void SleepUntil(int64_t deadlineMicros) override {
    const int64_t left = deadlineMicros - NowMicros();
    if (left > 0) std::this_thread::sleep_for(std::chrono::microseconds(left));
  }
  bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, int64_t deadlineMicros,
                 const std::function<bool()>& ready) override {
    using namespace std::chrono;
    if (deadlineMicros == INT64_MAX) {
      cv.wait(lock, ready);
      return true;
    }
    // The same time line as NowMicros.
    const steady_clock::time_point deadline{
        duration_cast<steady_clock::duration>(microseconds(deadlineMicros))};
    return cv.wait_until(lock, deadline, ready);
  }
};

}  // namespace

TClock& SystemClock() {
  static TSystemClock clock;
  return clock;
}

int64_t TFakeClock::NowMicros() {
  std::lock_guard lock(mutex_);
  return now_;
}

TLocalTime TFakeClock::LocalTime() {
  std::lock_guard lock(mutex_);
  TLocalTime t = startTime_;
  int64_t ms = (now_ - startMicros_) / 1000 + t.millisecond +
               1000 * (t.second + 60 * (t.minute + 60 * int64_t(t.hour)));
  if (ms < 0) ms = 0;
  constexpr int64_t kDay = 24LL * 3600 * 1000;
  t.day += int(ms / kDay);
  ms %= kDay;
  t.hour = int(ms / 3600000);
  t.minute = int(ms / 60000 % 60);
  t.second = int(ms / 1000 % 60);
  t.millisecond = int(ms % 1000);
  return t;
}

std::multiset<int64_t>::iterator TFakeClock::AddSleeper(int64_t deadline) {
  auto at = deadlines_.insert(deadline);
  changed_.notify_all();
  return at;
}

void TFakeClock::RemoveSleeper(std::multiset<int64_t>::iterator at) {
  deadlines_.erase(at);
  changed_.notify_all();
}

void TFakeClock::SleepUntil(int64_t deadlineMicros) {
  std::unique_lock lock(mutex_);
  if (autoAdvance_) {
    if (deadlineMicros > now_) now_ = deadlineMicros;
    changed_.notify_all();
    return;
  }
  const auto at = AddSleeper(deadlineMicros);
  changed_.wait(lock, [&] { return now_ >= deadlineMicros || autoAdvance_; });
  if (now_ < deadlineMicros) now_ = deadlineMicros;
  RemoveSleeper(at);
}

bool TFakeClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                           int64_t deadlineMicros, const std::function<bool()>& ready) {
  // The caller's mutex is held throughout and this clock's taken inside it, never the
  // other way round.
  std::multiset<int64_t>::iterator at;
  {
    std::lock_guard own(mutex_);
    at = AddSleeper(deadlineMicros);
  }
  bool result;
  for (;;) {
    if (ready()) {
      result = true;
      break;
    }
    bool due;
    {
      std::lock_guard own(mutex_);
      if (autoAdvance_ && deadlineMicros != INT64_MAX && now_ < deadlineMicros) {
        now_ = deadlineMicros;
        changed_.notify_all();
      }
      due = now_ >= deadlineMicros;
    }
    if (due) {
      result = ready();
      break;
    }
    cv.wait_for(lock, std::chrono::milliseconds(1));
  }
  std::lock_guard own(mutex_);
  RemoveSleeper(at);
  return result;
}

void TFakeClock::Advance(int64_t micros) {
  std::lock_guard lock(mutex_);
  now_ += micros;
  changed_.notify_all();
}

void TFakeClock::Set(int64_t micros) {
  std::lock_guard lock(mutex_);
  now_ = micros;
  changed_.notify_all();
}

void TFakeClock::SetAutoAdvance(bool on) {
  std::lock_guard lock(mutex_);
  autoAdvance_ = on;
  changed_.notify_all();
}

int TFakeClock::Sleepers() {
  std::lock_guard lock(mutex_);
  return int(deadlines_.size());
}

bool TFakeClock::WaitForSleepers(int count, int64_t limitMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(limitMs), [&] {
    return int(deadlines_.size()) >= count && (deadlines_.empty() || *deadlines_.begin() > now_);
  });
}

}  // namespace sorrel::base
