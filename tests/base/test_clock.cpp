#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <mutex>
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
  ASSERT_TRUE(clock.WaitForSleepers(1));
  clock.Advance(4999);
  // Still one microsecond short: the sleeper must stay parked.
  ASSERT_TRUE(clock.WaitForSleepers(1));
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

// A waiter of the kind a worker thread is: a condition it waits for, with a deadline.
struct Waiter {
  std::mutex m;
  std::condition_variable cv;
  bool flag = false;
  bool Wait(TClock& clock, int64_t deadline) {
    std::unique_lock lock(m);
    return clock.WaitUntil(lock, cv, deadline, [this] { return flag; });
  }
  void Raise() {
    {
      std::lock_guard lock(m);
      flag = true;
    }
    cv.notify_all();
  }
};

TEST(FakeClock, TimedWaitEndsAtItsDeadlineOrWhenItsConditionHolds) {
  TFakeClock clock(0);
  Waiter w;
  std::atomic<int> result{-1};
  std::thread t([&] { result = w.Wait(clock, 10'000) ? 1 : 0; });
  ASSERT_TRUE(clock.WaitForSleepers(1));
  clock.Advance(9'999);
  // One microsecond short of the deadline: still waiting.
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(result, -1);
  clock.Advance(1);
  t.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(clock.Sleepers(), 0);

  // The condition ends the wait without any time passing; without a deadline too.
  for (int64_t deadline : {int64_t(50'000), INT64_MAX}) {
    Waiter v;
    std::thread u([&] { result = v.Wait(clock, deadline) ? 1 : 0; });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    v.Raise();
    u.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(clock.NowMicros(), 10'000);
  }
}

TEST(FakeClock, WaitForSleepersSeesAWokenThreadParkAgain) {
  // A worker that does one round of work each time its deadline passes, as a paced
  // device or a loop thread's time-out does.
  TFakeClock clock(0);
  Waiter w;
  std::atomic<int> rounds{0};
  std::atomic<bool> stop{false};
  std::thread t([&] {
    while (!stop) {
      w.Wait(clock, clock.NowMicros() + 1000);
      ++rounds;
    }
  });
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(rounds, 0);
  for (int i = 1; i <= 5; ++i) {
    clock.Advance(1000);
    ASSERT_TRUE(clock.WaitForSleepers(1));
    EXPECT_EQ(rounds, i);  // exactly one round per deadline passed, done before the return
  }
  // Two threads expected, one waiting: the wait gives up.
  EXPECT_FALSE(clock.WaitForSleepers(2, 30));
  stop = true;
  w.Raise();
  t.join();
}

TEST(FakeClock, AutoAdvanceEndsTimedWaitsAtTheirDeadlines) {
  TFakeClock clock(500);
  clock.SetAutoAdvance(true);
  Waiter w;
  EXPECT_FALSE(w.Wait(clock, 2'500));
  EXPECT_EQ(clock.NowMicros(), 2'500);
  // A wait without a deadline does not move the time; its condition ends it.
  std::thread t([&] { EXPECT_TRUE(w.Wait(clock, INT64_MAX)); });
  ASSERT_TRUE(clock.WaitForSleepers(1));
  w.Raise();
  t.join();
  EXPECT_EQ(clock.NowMicros(), 2'500);
}

TEST(SystemClock, TimedWaitEndsAtTheDeadlineOrWhenTheConditionHolds) {
  TClock& c = SystemClock();
  Waiter w;
  const int64_t start = c.NowMicros();
  EXPECT_FALSE(w.Wait(c, start + 3000));
  EXPECT_GE(c.NowMicros(), start + 3000);
  std::thread t([&] { w.Raise(); });
  EXPECT_TRUE(w.Wait(c, INT64_MAX));
  t.join();
}
