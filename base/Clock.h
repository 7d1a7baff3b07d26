// Time as the program sees it: a monotonic tick count and the local time of day.
// Everything that waits, times out or paces itself asks a TClock, so tests can run on
// virtual time (TFakeClock) instead of the wall clock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>

namespace sorrel::base {

struct TLocalTime {
  int year = 0, month = 0, day = 0;  // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  bool operator==(const TLocalTime&) const = default;
};

class TClock {
 public:
  virtual ~TClock() = default;
  // Monotonic microseconds since an arbitrary start.
  virtual int64_t NowMicros() = 0;
  // Milliseconds of the same time line (GetTickCount's role).
  int64_t TickCount() { return NowMicros() / 1000; }
  virtual TLocalTime LocalTime() = 0;
  // Blocks the calling thread until NowMicros() has passed `deadline`.
  virtual void SleepUntil(int64_t deadlineMicros) = 0;
  void SleepFor(int64_t micros) { SleepUntil(NowMicros() + micros); }
  // Waits on `cv`, whose mutex `lock` holds, until `ready()` holds or this clock reaches
  // `deadlineMicros` (INT64_MAX: no deadline); returns ready().  As with any condition
  // variable, whoever makes ready() true notifies `cv`.
  virtual bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                         int64_t deadlineMicros, const std::function<bool()>& ready) = 0;
};

// The process's real clock (steady_clock and the local time zone).
TClock& SystemClock();

// Virtual time for tests.  Time moves only through Advance() and Set(); a thread in
// SleepUntil() or WaitUntil() wakes when the time reaches its deadline.  With
// auto-advance on, a sleep or a timed wait moves the time itself and returns at once, so
// paced code runs as fast as it can.
class TFakeClock final : public TClock {
 public:
  explicit TFakeClock(int64_t startMicros = 0, TLocalTime startTime = {2026, 1, 1, 12, 0, 0, 0})
      : now_(startMicros), startMicros_(startMicros), startTime_(startTime) {}

  int64_t NowMicros() override;
  // The start time plus the virtual time gone by (days roll over; months do not).
  TLocalTime LocalTime() override;
  void SleepUntil(int64_t deadlineMicros) override;
  // Nobody tells this clock when `ready()` turns true: it looks again every millisecond
  // of real time.
  bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, int64_t deadlineMicros,
                 const std::function<bool()>& ready) override;

  void Advance(int64_t micros);
  void Set(int64_t micros);
  void SetAutoAdvance(bool on);
  // Threads blocked in SleepUntil or WaitUntil now.
  int Sleepers();
  // Blocks (in real time, at most `limitMs`) until at least `count` threads wait on this
  // clock and none of them is due any more: after an Advance, every thread it woke has
  // done its work and waits again.  True when so.
  bool WaitForSleepers(int count, int64_t limitMs = 10000);

 private:
  // Under mutex_.
  std::multiset<int64_t>::iterator AddSleeper(int64_t deadline);
  void RemoveSleeper(std::multiset<int64_t>::iterator at);

  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t now_;
  int64_t startMicros_;
  TLocalTime startTime_;
  bool autoAdvance_ = false;
  std::multiset<int64_t> deadlines_;  // one per waiting thread
};

}  // namespace sorrel::base
