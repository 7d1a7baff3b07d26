// Time as the program sees it: a monotonic tick count and the local time of day.
// Everything that waits, times out or paces itself asks a TClock, so tests can run on
// virtual time (TFakeClock) instead of the wall clock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

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
};

// The process's real clock (steady_clock and the local time zone).
TClock& SystemClock();

// Virtual time for tests.  Time moves only through Advance() and Set(); a thread in
// SleepUntil() wakes when the time reaches its deadline.  With auto-advance on, a sleep
// moves the time itself and returns at once, so paced code runs as fast as it can.
class TFakeClock final : public TClock {
 public:
  explicit TFakeClock(int64_t startMicros = 0, TLocalTime startTime = {2026, 1, 1, 12, 0, 0, 0})
      : now_(startMicros), startMicros_(startMicros), startTime_(startTime) {}

  int64_t NowMicros() override;
  // The start time plus the virtual time gone by (days roll over; months do not).
  TLocalTime LocalTime() override;
  void SleepUntil(int64_t deadlineMicros) override;

  void Advance(int64_t micros);
  void Set(int64_t micros);
  void SetAutoAdvance(bool on);
  // Threads blocked in SleepUntil now (lets a test wait until a worker is parked).
  int Sleepers();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t now_;
  int64_t startMicros_;
  TLocalTime startTime_;
  bool autoAdvance_ = false;
  int sleepers_ = 0;
};

}  // namespace sorrel::base
