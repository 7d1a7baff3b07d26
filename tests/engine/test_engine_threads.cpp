// Loop threads and events: delivery order, exceptions, Sync, the time-out, teardown.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "engine/MPThreads.h"

using namespace sorrel::engine;
using sorrel::base::TFakeClock;

using namespace std::chrono_literals;

namespace {

struct Recorder : TMPMessageOwner {
  std::mutex m;
  std::vector<uint32_t> seen;
  std::function<void(TMPMessage&)> onMessage;
  void Dispatch(TMPMessage& msg) override {
    {
      std::lock_guard l(m);
      seen.push_back(msg.Msg);
    }
    if (onMessage) onMessage(msg);
  }
  std::vector<uint32_t> Seen() {
    std::lock_guard l(m);
    return seen;
  }
};

}  // namespace

TEST(LoopThread, NothingRunsBeforeResumeAndMessagesArriveInOrder) {
  Recorder r;
  TMPLoopThread t(&r);
  t.PostMessage(2000, 1, 2);
  t.PostMessage(2001);
  std::this_thread::sleep_for(30ms);
  EXPECT_TRUE(r.Seen().empty());
  t.Resume();
  t.Sync();
  EXPECT_EQ(r.Seen(), (std::vector<uint32_t>{2000, 2001}));
}

TEST(LoopThread, EventDeliveryComesFirstThenTheQueueThenAgain) {
  Recorder r;
  TMPLoopThread t(&r);
  std::atomic<int> events{0};
  r.onMessage = [&](TMPMessage& m) {
    // Stop the event after the third 1055 so the test can look at the order.
    if (m.Msg == MPM_EVENT && ++events == 3) t.Event.ResetEvent();
  };
  t.PostMessage(3000);
  t.PostMessage(3001);
  t.Event.SetEvent();
  t.Resume();
  ASSERT_TRUE([&] {
    for (int i = 0; i < 500 && events < 3; ++i) std::this_thread::sleep_for(1ms);
    return events == 3;
  }());
  t.Sync();
  auto s = r.Seen();
  ASSERT_GE(s.size(), 5u);
  EXPECT_EQ(s[0], MPM_EVENT);
  EXPECT_EQ(s[1], 3000u);
  EXPECT_EQ(s[2], 3001u);
  EXPECT_EQ(s[3], MPM_EVENT);
  EXPECT_EQ(s[4], MPM_EVENT);
  EXPECT_EQ(s.size(), 5u);
}

TEST(LoopThread, AHandlerThatAlwaysThrowsDoesNotStopTheThread) {
  Recorder r;
  r.onMessage = [](TMPMessage& m) {
    if (m.Msg == 4000) throw EMPError("boom " + std::to_string(m.WParam));
  };
  TMPLoopThread t(&r);
  std::vector<std::string> caught;
  t.OnException = [&](TMPLoopThread* sender, const std::exception_ptr& e, bool& handled) {
    EXPECT_EQ(sender, &t);
    EXPECT_FALSE(handled);
    caught.push_back(MPExceptionMessage(e));
    handled = true;
  };
  t.Resume();
  for (int i = 0; i < 3; ++i) t.PostMessage(4000, uintptr_t(i));
  t.PostMessage(4001);
  t.Sync();
  EXPECT_EQ(caught, (std::vector<std::string>{"boom 0", "boom 1", "boom 2"}));
  EXPECT_EQ(r.Seen().back(), 4001u);
  EXPECT_FALSE(t.Ended());
}

TEST(LoopThread, UnhandledExceptionsGoToTheStandardDisplay) {
  Recorder r;
  r.onMessage = [](TMPMessage&) { throw EMPError("shown"); };
  std::vector<std::string> shown;
  std::mutex m;
  SetMPExceptionDisplay([&](const std::exception_ptr& e) {
    std::lock_guard l(m);
    shown.push_back(MPExceptionMessage(e));
  });
  {
    TMPLoopThread t(&r);
    t.Resume();
    t.PostMessage(5000);
    t.Sync();
  }
  SetMPExceptionDisplay(nullptr);
  EXPECT_EQ(shown, (std::vector<std::string>{"shown"}));
}

TEST(LoopThread, TimeOutDeliversWhenIdleForThatLongAndIsReadEachRound) {
  Recorder r;
  TFakeClock clock;
  TMPLoopThread t(&r, clock);
  t.TimeOut = 10;
  t.Resume();
  ASSERT_TRUE(clock.WaitForSleepers(1));
  clock.Advance(9'999);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_TRUE(r.Seen().empty());
  for (int i = 0; i < 3; ++i) {
    clock.Advance(i == 0 ? 1 : 10'000);
    ASSERT_TRUE(clock.WaitForSleepers(1));
  }
  EXPECT_EQ(r.Seen(), (std::vector<uint32_t>{MPM_TIMEOUT, MPM_TIMEOUT, MPM_TIMEOUT}));
  // A message is not idleness: the wait starts again after it.
  clock.Advance(5'000);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  t.PostMessage(6000);
  t.Sync();
  ASSERT_TRUE(clock.WaitForSleepers(1));
  clock.Advance(9'999);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(r.Seen().size(), 4u);
  // A new time-out is read on the next round; infinite ends the deliveries.
  t.SetTimeOut(TMPEvent::kInfinite);
  t.Sync();
  clock.Advance(1'000'000);
  t.Sync();
  EXPECT_EQ(r.Seen(), (std::vector<uint32_t>{MPM_TIMEOUT, MPM_TIMEOUT, MPM_TIMEOUT, 6000}));
}

TEST(LoopThread, SyncReturnsWhenTheThreadHasEndedAndDestroyWaitsForTheHandler) {
  Recorder r;
  std::atomic<bool> inHandler{false}, handlerDone{false};
  r.onMessage = [&](TMPMessage& m) {
    if (m.Msg == 7000) {
      inHandler = true;
      std::this_thread::sleep_for(100ms);
      handlerDone = true;
    }
  };
  auto t = std::make_unique<TMPLoopThread>(&r);
  t->Resume();
  t->PostMessage(7000);
  while (!inHandler) std::this_thread::sleep_for(1ms);
  t->Quit();
  EXPECT_TRUE(handlerDone);  // Quit waited for the busy handler
  EXPECT_TRUE(t->Ended());
  t->Sync();             // must not hang on an ended thread
  t->PostMessage(7001);  // ignored
  t.reset();
  EXPECT_EQ(r.Seen(), (std::vector<uint32_t>{7000}));
}

TEST(Events, ManualResetWaitAndTimeOut) {
  TMPSimpleEvent e;
  EXPECT_EQ(e.WaitFor(10), TMPEvent::kTimeout);
  EXPECT_EQ(TMPEvent::kTimeout, 258u);
  std::thread s([&] {
    std::this_thread::sleep_for(20ms);
    e.SetEvent();
  });
  EXPECT_EQ(e.WaitFor(TMPEvent::kInfinite), TMPEvent::kSignaled);
  s.join();
  EXPECT_EQ(e.WaitFor(0), TMPEvent::kSignaled);  // stays set
  e.ResetEvent();
  EXPECT_EQ(e.WaitFor(0), TMPEvent::kTimeout);
}

TEST(Events, AWaiterMayFreeTheEventTheMomentItWakes) {
  // Sync's marker event lives on the waiter's stack; setting it must not touch it after
  // the waiter is gone.
  for (int i = 0; i < 2000; ++i) {
    auto* e = new TMPSimpleEvent;
    std::thread s([e] { e->SetEvent(); });
    e->WaitFor(TMPEvent::kInfinite);
    delete e;
    s.join();
  }
  SUCCEED();
}
