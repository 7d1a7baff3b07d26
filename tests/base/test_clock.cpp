#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/Clock.h"

using namespace sorrel::base;

TEST(FakeClock, SleeperWakesOnlyWhenTimeReachesItsDeadline) {
  TFakeClock clock(1000);
  std::atomic<bool> woke{false};
  std::thread t([&] {
    clock.SleepUntil(6000);
    woke = true;
  });
  while (clock.Sleepers() == 0) std::this_thread::yield();
  clock.Advance(4999);
  // Still one microsecond short: the sleeper must stay parked.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(woke);
  clock.Advance(1);
  t.join();
  EXPECT_TRUE(woke);
  EXPECT_EQ(clock.NowMicros(), 6000);
}

TEST(FakeClock, AutoAdvanceMovesTimeBySleeping) {
  TFakeClock clock;
  clock.SetAutoAdvance(true);
  clock.SleepFor(2500);
  clock.SleepFor(500);
  EXPECT_EQ(clock.NowMicros(), 3000);
  EXPECT_EQ(clock.TickCount(), 3);
  // A deadline in the past never moves time backwards.
  clock.SleepUntil(100);
  EXPECT_EQ(clock.NowMicros(), 3000);
}

TEST(FakeClock, LocalTimeRollsOverHoursAndDays) {
  TFakeClock clock(0, TLocalTime{2026, 12, 7, 23, 59, 58, 500});
  clock.Advance(1'600'000);  // 1.6 s
  const TLocalTime t = clock.LocalTime();
  EXPECT_EQ(t.day, 8);
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.minute, 0);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(t.millisecond, 100);
}

TEST(SystemClock, IsMonotonicAndSleeps) {
  TClock& c = SystemClock();
  const int64_t a = c.NowMicros();
  c.SleepFor(2000);
  EXPECT_GE(c.NowMicros() - a, 2000);
  const TLocalTime t = c.LocalTime();
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
}
