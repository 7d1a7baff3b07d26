// The map link and its worker against a fake map program, fake windows and a fake main
// window, on virtual time: what each command calls and in which order, the busy and
// drop rules, "F" while busy, failures dropping the connection, the end at shutdown.
#include "maplink/core/MappleLink.h"

#include "tests/maplink/MappleFakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace sorrel::maplink {
namespace {

using testing::FakeAutomation;
using testing::FakeHost;
using testing::FakeMap;
using testing::FakeWindows;
using Log = std::vector<std::string>;

const std::string kFind = "FindWindow(- Super Mapple Digital Ver,10,20,490,500)";

class MappleLinkTest : public ::testing::Test {
 protected:
  MappleLinkTest() {
    clock_.SetAutoAdvance(true);
    TMappleLinkSettings s;
    s.UseMappleLink = true;
    s.MapplePosLeft = 10;
    s.MapplePosTop = 20;
    s.MapplePosRight = 490;
    s.MapplePosBottom = 500;
    s.MappleClass = 1;
    s.MappleZoom = 200;
    s.MappleDefScale = {0, 0, 0, 500, 500000, -1, -1, -1, -1, -1};
    link_.ApplyMappleLink(s);
  }

  // Until the worker has run its queue empty.
  void WaitIdle() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((link_.Queued() > 0 || link_.Busy()) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(link_.Busy());
    ASSERT_EQ(link_.Queued(), 0);
  }
  void Send(const std::string& letters) {
    for (char c : letters) ASSERT_TRUE(link_.SendMappleCommand(c)) << c;
  }
  // Activated, with the log of it taken away.
  void Activate() {
    Send("E");
    WaitIdle();
    ASSERT_TRUE(link_.Active());
    map_.TakeLog();
  }
  int Count(const Log& log, const std::string& line) { return int(std::count(log.begin(), log.end(), line)); }

  base::TFakeClock clock_;
  FakeMap map_;
  FakeAutomation automation_{map_};
  FakeWindows windows_{map_};
  FakeHost host_{map_};
  TMappleLink link_{automation_, windows_, host_, clock_};
};

TEST_F(MappleLinkTest, ActivateConnectsPlacesAndShowsTheMap) {
  EXPECT_FALSE(link_.SendMappleCommand('N')) << "only E while inactive";
  EXPECT_FALSE(host_.busyCursor);
  const int64_t start = clock_.NowMicros();
  map_.Hold("MoveWindow");
  Send("E");
  ASSERT_TRUE(map_.WaitHolding());
  EXPECT_TRUE(host_.busyCursor);
  map_.Release();
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(),
            (Log{"tm_CheckMapple off", "Create Mapple.Document", "MoveWindow(10,20,490,500)", "Visible=True",
                 "SetMapClass(1)", "SetZoom(200)", "GetWindowLeft()", "GetWindowTop()", "GetWindowRight()",
                 "GetWindowBottom()", kFind, "MapWindow 7", "tm_CheckMapple on", "ShowNormal 7",
                 "ForceForeground 7", "Visible=True", "SetMapClass(1)", "SetZoom(200)"}));
  EXPECT_TRUE(link_.Active());
  EXPECT_TRUE(link_.Connected());
  EXPECT_EQ(host_.mapWindow, FakeMap::kWindow);
  EXPECT_FALSE(host_.busyCursor) << "restored when the queue ran empty";
  // The 999 ms for the map to settle, then the 49 ms pause after the command.
  EXPECT_EQ(clock_.NowMicros() - start, 999000 + 49000);

  // Again while active and connected: to the front, nothing else.
  Send("E");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"ShowNormal 7", "ForceForeground 7"}));
}

TEST_F(MappleLinkTest, TheMapWindowIsFoundWhereTheMapProgramPutIt) {
  // A map program that places its window 5 pixels lower than asked: the link looks for
  // it at the rectangle read back, and keeps that one for the settings.
  map_.placeShift = 5;
  Send("E");
  WaitIdle();
  const Log log = map_.TakeLog();
  EXPECT_EQ(Count(log, "FindWindow(- Super Mapple Digital Ver,10,25,490,505)"), 1);
  EXPECT_TRUE(link_.Connected());
  const TMappleLinkSettings s = link_.Settings();
  EXPECT_EQ((TMapRect{s.MapplePosLeft, s.MapplePosTop, s.MapplePosRight, s.MapplePosBottom}),
            (TMapRect{10, 25, 490, 505}));
}

TEST_F(MappleLinkTest, NoMapWindowLeavesTheCheckTimerOff) {
  map_.title = "Super Mapple Digital Ver 9";  // without "- " before it
  Send("E");
  WaitIdle();
  const Log log = map_.TakeLog();
  EXPECT_EQ(Count(log, "tm_CheckMapple on"), 0);
  EXPECT_EQ(Count(log, "MapWindow 0"), 1);
  EXPECT_FALSE(link_.Connected());
  // Activated all the same: the automation works.
  EXPECT_TRUE(link_.Active());
  // "M" needs the window: nothing is read.
  Send("M");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), Log{});
}

TEST_F(MappleLinkTest, NoServerLeavesTheLinkInactive) {
  map_.noServer = true;
  Send("E");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"tm_CheckMapple off", "Create Mapple.Document"}));
  EXPECT_FALSE(link_.Active());
  EXPECT_FALSE(link_.Connected());
  EXPECT_FALSE(host_.busyCursor);
  EXPECT_FALSE(link_.SendMappleCommand('G'));
}

TEST_F(MappleLinkTest, DrawPlacesTheIconAndRecentresBeyondTheThreshold) {
  Activate();
  map_.moveShift = 1;  // Move hands x and y back changed; AddIcon must use them
  link_.SetPosition(35.25, 139.75, 90);
  Send("N");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(),
            (Log{"GetZoom()", "GetMapClass()", "GetWindowLeft()", "GetWindowTop()", "GetWindowRight()",
                 "GetWindowBottom()", "DeleteAllCustom()", "Move(&503100000,&126900000)",
                 "AddIcon(&503100001,&126900001,\"\",\"\",\"\",&5,3,-1,-1,0)"}));
  // Class 1, zoom 200, 480 x 480: m = 413; 413 * 1280 / 200 = 2643; / 3 = 881 m.
  EXPECT_EQ(link_.Threshold(), 881);

  // 1/128 degree north (35.2578125) is 868 m: no recentring.
  link_.SetPosition(35.2578125, 139.75, 355);
  Send("N");
  WaitIdle();
  Log log = map_.TakeLog();
  EXPECT_EQ(log.back(), "AddIcon(&503100000,&126928125,\"\",\"\",\"\",&1,3,-1,-1,0)");
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](auto& l) { return l.starts_with("Move("); }), 0);

  // 67/8192 degree (35.2581787109375) is 909 m from the last recentred position.
  link_.SetPosition(35.2581787109375, 139.75, 12);
  Send("N");
  WaitIdle();
  log = map_.TakeLog();
  EXPECT_EQ(Count(log, "Move(&503100000,&126929443)"), 1);
  EXPECT_EQ(log.back(), "AddIcon(&503100001,&126929444,\"\",\"\",\"\",&2,3,-1,-1,0)");

  // "L" forgets the last recentred position: the same place recentres again.
  Send("LN");
  WaitIdle();
  EXPECT_EQ(Count(map_.TakeLog(), "Move(&503100000,&126929443)"), 1);
  Send("N");
  WaitIdle();
  EXPECT_EQ(Count(map_.TakeLog(), "Move(&503100000,&126929443)"), 0);
}

TEST_F(MappleLinkTest, ReadStateKeepsTheRectangleUnlessMaximised) {
  Activate();
  {
    std::lock_guard lock(map_.mutex_);
    map_.rect = {100, 50, 900, 650};
  }
  Send("M");
  WaitIdle();
  TMappleLinkSettings s = link_.Settings();
  EXPECT_EQ((TMapRect{s.MapplePosLeft, s.MapplePosTop, s.MapplePosRight, s.MapplePosBottom}),
            (TMapRect{100, 50, 900, 650}));
  // 800 x 600: m = 546; class 1 zoom 200: 546 * 1280 / 200 = 3494; / 3.
  EXPECT_EQ(link_.Threshold(), 1164);

  {
    std::lock_guard lock(map_.mutex_);
    map_.maximised = true;
    map_.rect = {0, 0, 1920, 1080};
  }
  Send("M");
  WaitIdle();
  s = link_.Settings();
  EXPECT_EQ(s.MapplePosRight, 900) << "a maximised window keeps the stored place";
  EXPECT_EQ(link_.Threshold(), (1026 * 1280 / 200) / 3);

  {
    std::lock_guard lock(map_.mutex_);
    map_.minimised = true;
  }
  map_.TakeLog();
  Send("M");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), Log{}) << "nothing is read of a minimised map";
}

TEST_F(MappleLinkTest, ZoomAndScaleSteps) {
  Activate();
  auto set = [&](int mapClass, int zoom) {
    std::lock_guard lock(map_.mutex_);
    map_.mapClass = mapClass;
    map_.zoom = zoom;
  };
  set(0, 380);
  Send("H");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"GetZoom()", "GetMapClass()", "SetMapClass(1)", "SetZoom(105)"}));
  set(1, 200);
  Send("I");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"GetZoom()", "GetMapClass()", "SetZoom(150)"}));

  // The list is 1000, 5000, 25000, 100000, 400000; class 1 zoom 200 is 1:25000.
  set(1, 200);
  Send("K");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"GetZoom()", "GetMapClass()", "SetMapClass(0)", "SetZoom(200)"}));
  set(1, 200);
  Send("J");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"GetZoom()", "GetMapClass()", "SetMapClass(2)", "SetZoom(200)"}));
  // Class 1 zoom 201 is 1:24875: "K" goes to 1:25000.
  set(1, 201);
  Send("K");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"GetZoom()", "GetMapClass()", "SetMapClass(1)", "SetZoom(200)"}));
  // Nothing larger than 1:400,000, nothing for an unknown class.
  set(0, 50);
  Send("K");
  WaitIdle();
  set(-1, 200);
  Send("J");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"GetZoom()", "GetMapClass()", "GetZoom()", "GetMapClass()"}));
  EXPECT_EQ(link_.Settings().MappleDefScale,
            (std::array<int, 10>{1000, 5000, 25000, 100000, 400000, -1, -1, -1, -1, -1}));
}

TEST_F(MappleLinkTest, DeactivateAndMaximise) {
  Activate();
  Send("G");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"ShowMaximised 7", "ForceForeground 7"}));
  Send("F");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(), (Log{"DeleteAllCustom()", "Visible=False"}));
  EXPECT_FALSE(link_.Active());
  EXPECT_TRUE(link_.Connected());
  EXPECT_FALSE(link_.SendMappleCommand('G'));
  // Reactivated without connecting again.
  Send("E");
  WaitIdle();
  EXPECT_EQ(map_.TakeLog(),
            (Log{"ShowNormal 7", "ForceForeground 7", "Visible=True", "SetMapClass(1)", "SetZoom(200)"}));
  EXPECT_EQ(map_.creations, 1);
}

TEST_F(MappleLinkTest, TheTenthCommandIsDroppedAndMIsIgnoredWhileBusy) {
  Activate();
  map_.Hold("GetZoom");
  Send("H");
  ASSERT_TRUE(map_.WaitHolding());
  EXPECT_FALSE(link_.SendMappleCommand('M')) << "M while busy";
  Send("GGGGGGGG");  // with the running H, nine slots are taken
  EXPECT_FALSE(link_.SendMappleCommand('G'));
  EXPECT_EQ(link_.Queued(), 9);
  map_.Release();
  WaitIdle();
  EXPECT_EQ(Count(map_.TakeLog(), "ShowMaximised 7"), 8);
}

TEST_F(MappleLinkTest, FWhileBusyWaitsAndLeavesOnlyItself) {
  Activate();
  map_.Hold("GetZoom");
  Send("H");
  ASSERT_TRUE(map_.WaitHolding());
  Send("HHH");
  bool ignored = false;
  host_.onPump = [&] {
    if (host_.pumped == 3) {
      // Commands sent while "F" waits are ignored.
      ignored = !link_.SendMappleCommand('G');
      EXPECT_TRUE(link_.Busy());
      map_.Release();
    }
  };
  Send("F");
  EXPECT_GE(host_.pumped, 3);
  EXPECT_TRUE(ignored);
  EXPECT_LE(link_.Queued(), 1);
  WaitIdle();
  // The held H finished; the three queued behind it never ran; then F.
  EXPECT_EQ(map_.TakeLog(),
            (Log{"GetZoom()", "GetMapClass()", "SetZoom(250)", "DeleteAllCustom()", "Visible=False"}));
  EXPECT_FALSE(link_.Active());
}

TEST_F(MappleLinkTest, DrawIsSkippedWithACommandBehindIt) {
  Activate();
  map_.Hold("GetZoom");
  Send("H");
  ASSERT_TRUE(map_.WaitHolding());
  Send("NG");
  map_.Release();
  WaitIdle();
  const Log log = map_.TakeLog();
  EXPECT_EQ(Count(log, "DeleteAllCustom()"), 0);
  EXPECT_EQ(Count(log, "ShowMaximised 7"), 1);
}

TEST_F(MappleLinkTest, AFailureDropsTheConnectionAndENextConnectsAfresh) {
  for (auto failure : {base::TAutoStatus::Failed, base::TAutoStatus::TimedOut, base::TAutoStatus::Gone}) {
    Activate();
    {
      std::lock_guard lock(map_.mutex_);
      map_.failing = {"GetMapClass"};
      map_.failure = failure;
    }
    Send("H");
    WaitIdle();
    EXPECT_EQ(map_.TakeLog(), (Log{"GetZoom()", "GetMapClass()", "MapWindow 0"}));
    EXPECT_FALSE(link_.Connected());
    EXPECT_EQ(host_.mapWindow, 0u);
    // Without the object every call fails at once, quietly.
    Send("KN");
    WaitIdle();
    EXPECT_EQ(map_.TakeLog(), Log{});
    {
      std::lock_guard lock(map_.mutex_);
      map_.failing.clear();
    }
  }
  Send("E");
  WaitIdle();
  const Log log = map_.TakeLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[1], "Create Mapple.Document");
  EXPECT_EQ(map_.creations, 4);
  EXPECT_TRUE(link_.Connected());
}

TEST_F(MappleLinkTest, TheCursorIsRestoredWhenTheQueueRunsEmpty) {
  Activate();
  EXPECT_FALSE(host_.busyCursor);
  map_.Hold("GetZoom");
  link_.SetPosition(35, 139, 0);
  Send("N");  // no busy cursor for the timers' letters
  ASSERT_TRUE(map_.WaitHolding());
  EXPECT_FALSE(host_.busyCursor);
  Send("G");
  EXPECT_TRUE(host_.busyCursor);
  map_.Release();
  WaitIdle();
  EXPECT_FALSE(host_.busyCursor);
}

TEST_F(MappleLinkTest, ShutdownEndsTheWorkerWithCommandsStillQueued) {
  Activate();
  map_.Hold("GetZoom");
  Send("H");
  ASSERT_TRUE(map_.WaitHolding());
  Send("GGGGG");
  std::thread ui([&] { link_.Shutdown(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  map_.Release();  // the running call ends (as a real one does by its time-out)
  ui.join();
  EXPECT_EQ(Count(map_.LogCopy(), "ShowMaximised 7"), 0);
  // The five G never ran; nor was the slot of the H cleared: the thread ended in the
  // pause after it.
  EXPECT_EQ(link_.Queued(), 6);
  EXPECT_FALSE(link_.SendMappleCommand('E'));
  link_.Shutdown();  // again: nothing
}

TEST_F(MappleLinkTest, ShutdownWhileTheWorkerSleeps) {
  // Idle, and in the middle of its wait after connecting (real time: it has to be
  // interrupted, not waited out).
  clock_.SetAutoAdvance(false);
  Send("E");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (Count(map_.LogCopy(), "MapWindow 7") == 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(clock_.WaitForSleepers(1));
  link_.Shutdown();
  const Log log = map_.LogCopy();
  EXPECT_EQ(Count(log, "tm_CheckMapple on"), 0);
  EXPECT_EQ(log.back(), "MapWindow 7") << "nothing more after the interrupted wait";
}

TEST_F(MappleLinkTest, StressAProducerAndTheWorker) {
  Activate();
  constexpr int kCommands = 20000;
  int accepted = 0;
  std::thread producer([&] {
    for (int i = 0; i < kCommands; ++i) {
      if (link_.SendMappleCommand(i % 2 ? 'G' : 'L'))
        accepted += i % 2;
      else
        std::this_thread::yield();
    }
  });
  producer.join();
  WaitIdle();
  EXPECT_EQ(Count(map_.TakeLog(), "ShowMaximised 7"), accepted);
  EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace sorrel::maplink
