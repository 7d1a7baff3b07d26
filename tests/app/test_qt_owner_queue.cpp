// The Qt adapter of the engine's owner queue: notifications posted from a worker
// thread are handled on the GUI thread by the event loop, coalesced ones once, in
// the order posted, and never for a target that has been detached.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <thread>
#include <vector>

#include "app/ui/QtOwnerQueue.h"

using namespace sorrel::app;
using namespace sorrel::engine;

namespace {

struct Recorder : TMPNotifyTarget {
  std::vector<uint32_t> msgs;
  std::vector<intptr_t> params;
  bool allOnOwnerThread = true;
  std::thread::id owner = std::this_thread::get_id();
  void HandleNotification(uint32_t msg, uintptr_t, intptr_t lParam) override {
    if (std::this_thread::get_id() != owner) allOnOwnerThread = false;
    msgs.push_back(msg);
    params.push_back(lParam);
  }
};

void SpinUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

int argc = 1;
char arg0[] = "qt_owner_queue_tests";
char* argv[] = {arg0, nullptr};

}  // namespace

TEST(QtOwnerQueue, WorkerPostsArriveOnTheGuiThreadInOrderAndCoalesced) {
  QCoreApplication app(argc, argv);
  QtOwnerQueue q;
  Recorder r;
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) q.Post(&r, 1034, 0, i, /*coalesce=*/true);
    for (int i = 0; i < 5; ++i) q.Post(&r, 1039, 0, 100 + i);
  });
  worker.join();
  // Nothing runs before the event loop does.
  EXPECT_TRUE(r.msgs.empty());
  SpinUntil([&] { return r.msgs.size() >= 6; }, 2000);
  SpinUntil([] { return false; }, 50);  // would show a late duplicate
  ASSERT_EQ(r.msgs.size(), 6u);
  EXPECT_TRUE(r.allOnOwnerThread);
  EXPECT_EQ(r.msgs[0], 1034u);
  EXPECT_EQ(r.params[0], 0);  // the first of the coalesced posts is the one kept
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(r.msgs[1 + i], 1039u);
    EXPECT_EQ(r.params[1 + i], 100 + i);
  }

  // Once handled, the same message can be posted again.
  EXPECT_TRUE(q.Post(&r, 1034, 0, 7, true));
  EXPECT_FALSE(q.Post(&r, 1034, 0, 8, true));
  q.ProcessPending();
  ASSERT_EQ(r.msgs.size(), 7u);
  EXPECT_EQ(r.params[6], 7);
}

TEST(QtOwnerQueue, DetachedTargetGetsNothingMoreAndOthersStillDo) {
  QCoreApplication app(argc, argv);
  QtOwnerQueue q;
  Recorder gone, kept;
  std::thread worker([&] {
    q.Post(&gone, 1036);
    q.Post(&kept, 1036);
  });
  worker.join();
  q.Detach(&gone);
  SpinUntil([&] { return !kept.msgs.empty(); }, 2000);
  SpinUntil([] { return false; }, 50);
  EXPECT_TRUE(gone.msgs.empty());
  ASSERT_EQ(kept.msgs.size(), 1u);
  EXPECT_TRUE(kept.allOnOwnerThread);
}
