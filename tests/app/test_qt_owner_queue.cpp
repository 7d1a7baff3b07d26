// The Qt adapter of the engine's owner queue: notifications posted from a worker
// thread are handled on the GUI thread by the event loop, coalesced ones once, in
// the order posted, and never for a target that has been detached; a player on it
// lets the application's pending events run before its position event without running
// them inside itself.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/ui/QtOwnerQueue.h"
#include "base/Clock.h"
#include "engine/MP3Player.h"
#include "platform/audio/WaveOut.h"

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
  SpinUntil([&] { return r.msgs.size() >= 7; }, 2000);
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

TEST(QtOwnerQueue, PostedBehindPendingRunsAfterTheEventsAlreadyQueued) {
  QCoreApplication app(argc, argv);
  QtOwnerQueue q;
  Recorder r;
  std::vector<std::string> order;
  QMetaObject::invokeMethod(
      &app, [&] { order.push_back("event"); }, Qt::QueuedConnection);
  q.PostBehindPending(&r, 1034, 0, 1);
  EXPECT_TRUE(q.Pending(&r, 1034));
  SpinUntil([&] { return !r.msgs.empty(); }, 2000);
  ASSERT_EQ(r.msgs.size(), 1u);
  ASSERT_EQ(order.size(), 1u);
  // Dropped with its target like any other message.
  q.PostBehindPending(&r, 1034, 0, 2);
  q.Detach(&r);
  SpinUntil([] { return false; }, 50);
  EXPECT_EQ(r.msgs.size(), 1u);
}

TEST(QtOwnerQueue, ACommandQueuedWithThePlayersPositionEventRunsFirstAndNotInsideThePlayer) {
  // A key or a bus call queued in the application while the player's position
  // notification is being handled: it must run before the position event, and not with
  // the player's handler on the stack (which would crash when the command destroys it).
  QCoreApplication app(argc, argv);
  ASSERT_TRUE(sorrel::audio::SelectBackend("null"));
  sorrel::base::TFakeClock clock;  // nothing plays on by itself
  const std::string song = std::string(SORREL_TEST_DATA) + "/engine/mono22k_8s.mp3";
  const std::string other = std::string(SORREL_TEST_DATA) + "/engine/plain_cbr.mp3";
  enum Kind { kClose, kStop, kOtherSong, kDestroy };
  for (Kind kind : {kClose, kStop, kOtherSong, kDestroy}) {
    SCOPED_TRACE(kind);
    QtOwnerQueue q;
    auto player = std::make_unique<TMP3Player>(q, clock);
    std::vector<std::string> log;
    player->OnChangeStatus = [&](TMP3PlayerIntf*) { log.push_back("status"); };
    player->OnChangePosition = [&](TMP3PlayerIntf* p) { log.push_back("position " + p->FileName()); };
    player->OnEndPlay = [&](TMP3PlayerIntf*, TMP3EndPlayReason r) {
      log.push_back("end " + std::to_string(r));
    };
    player->SetFileName(song);  // queues the status and a position notification
    bool ran = false;
    QMetaObject::invokeMethod(
        &app,
        [&] {
          ran = true;
          log.push_back("command");
          if (kind == kClose) player->Close();
          if (kind == kStop) player->Stop();
          if (kind == kOtherSong) player->SetFileName(other);
          if (kind == kDestroy) player.reset();
        },
        Qt::QueuedConnection);
    SpinUntil([&] { return ran; }, 5000);
    SpinUntil([] { return false; }, 50);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "status");
    EXPECT_EQ(log[1], "command");
    switch (kind) {
      case kClose:
        EXPECT_EQ(std::count(log.begin(), log.end(), "position "), 1);
        EXPECT_EQ(std::count(log.begin(), log.end(), "end 1"), 1);
        EXPECT_FALSE(player->IsOpened());
        break;
      case kStop:
        EXPECT_EQ(std::count(log.begin(), log.end(), "position " + song), 1);
        EXPECT_EQ(std::count(log.begin(), log.end(), "end 1"), 1);
        EXPECT_EQ(player->Status(), mpsStopped);
        EXPECT_EQ(player->Position(), 0);
        break;
      case kOtherSong:
        EXPECT_EQ(std::count(log.begin(), log.end(), "position " + other), 1);
        EXPECT_EQ(std::count(log.begin(), log.end(), "end 1"), 1);
        EXPECT_EQ(player->Status(), mpsPlaying);
        break;
      case kDestroy:
        EXPECT_EQ(log.size(), 2u);
        break;
    }
  }
}
