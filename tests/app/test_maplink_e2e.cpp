// The map link as a user meets it: the real player and the map program simulator in a
// private session bus, driven by commands and position sentences sent with sorrel-send,
// and followed through the calls the simulator prints.  The player's environment finds
// no map window yet, so the link draws without one: it never reads the map's state, its
// recentring threshold stays 0 (any move of a metre or more recentres) and "F" and "G"
// find nothing to act on.
#include "tests/platform/ProcessHelpers.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_sorrel;

namespace {

const std::string kBuild = SORREL_BUILD_DIR;
const std::string kSorrel = kBuild + "/app/sorrel";
const std::string kSend = kBuild + "/tools/send/sorrel-send";
const std::string kSim = kBuild + "/tools/mapple-sim/sorrel-mapple-sim";
const std::string kDemo = std::string(SORREL_TEST_DATA) + "/../../demo";

// The map program simulator, its window on the offscreen platform.
class TSimulator {
 public:
  TSimulator(const std::string& dir, std::vector<std::string> args = {}) {
    static int runs = 0;
    const std::string d = dir + "/sim" + std::to_string(++runs);
    fs::create_directories(d);
    std::vector<std::string> argv{kSim};
    argv.insert(argv.end(), args.begin(), args.end());
    child_ = Spawn(argv, {"QT_QPA_PLATFORM=offscreen"}, d);
    ready_ = WaitFor([&] { return Slurp(child_.stdoutPath).find("# serving") != std::string::npos; }, 10000);
  }
  ~TSimulator() { Stop(); }
  bool Ready() const { return ready_; }
  std::vector<std::string> Calls() const {
    std::vector<std::string> out;
    std::istringstream in(Slurp(child_.stdoutPath));
    for (std::string line; std::getline(in, line);)
      if (!line.empty() && line[0] != '#') out.push_back(line);
    return out;
  }
  // Waits until `n` calls have been printed; the calls then.
  std::vector<std::string> WaitCalls(size_t n, int ms = 5000) const {
    WaitFor([&] { return Calls().size() >= n; }, ms);
    return Calls();
  }
  void Stop() {
    if (child_.pid > 0) {
      Kill(child_, SIGKILL);
      WaitExit(child_, 5000);
      child_.pid = -1;
    }
  }

 private:
  Child child_;
  bool ready_ = false;
};

// The player on a list of one directory, with no sound.
class TPlayer {
 public:
  TPlayer(const std::string& home, const std::string& list) {
    const std::string dir = home + "/run";
    fs::create_directories(dir);
    child_ = Spawn({kSorrel, "--home", home, "--audio", "null", list},
                   {"SORREL_TRACE=1", "QT_QPA_PLATFORM=offscreen"}, dir);
    dir_ = dir;
  }
  ~TPlayer() {
    if (!exited_) {
      Kill(child_, SIGKILL);
      WaitExit(child_, 5000);
    }
  }
  std::string Said() const { return Slurp(child_.stderrPath); }
  // The position link is on once the first song plays.
  bool WaitStarted() const {
    return WaitFor([&] { return Said().find(" play ") != std::string::npos; }, 20000);
  }
  int Send(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{kSend};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string out;
    return Run(argv, {}, dir_, 10000, &out);
  }
  void Command(int n) const { Send({"post", "0x599", std::to_string(n), "0"}); }
  void Sentence(double lat, double lon, double dir) const {
    std::ostringstream s;
    s.precision(10);
    s << "$tnlink_data,ido=" << lat << ",kei=" << lon << ",dir=" << dir << ",vel=40";
    Send({"copydata", "9999", s.str()});
  }
  void Power(int event) const { Send({"post", "0x218", std::to_string(event), "0"}); }
  // Command 4, as another program closes the player; the exit status (-1: still running
  // after `ms`).
  int Close(int ms = 15000) {
    Send({"post", "0x599", "4", "0"});
    const auto rc = WaitExit(child_, ms);
    exited_ = rc.has_value();
    return rc.value_or(-1);
  }

 private:
  Child child_;
  std::string dir_;
  bool exited_ = false;
};

// What the player must call for a position, from the map's own rules: coordinates in
// 1/1000 arc-second truncated toward zero, sixteen direction icons of 22.5 degrees
// each centred on north.
int32_t MapCoordinate(double degrees) { return static_cast<int32_t>(std::trunc(degrees * 3600000.0)); }
int IconNumber(double direction) {
  const int n = static_cast<int>(std::trunc(direction / 22.5 + 0.5)) + 1;
  return n >= 1 && n <= 16 ? n : 1;
}
std::string MoveLine(double lat, double lon) {
  return "Move(&" + std::to_string(MapCoordinate(lon)) + ",&" + std::to_string(MapCoordinate(lat)) + ")";
}
std::string IconLine(double lat, double lon, double dir) {
  return "AddIcon(&" + std::to_string(MapCoordinate(lon)) + ",&" + std::to_string(MapCoordinate(lat)) +
         ",\"\",\"\",\"\",&" + std::to_string(IconNumber(dir)) + ",3,-1,-1,0)";
}

std::vector<std::string> From(const std::vector<std::string>& calls, size_t from) {
  return {calls.begin() + long(std::min(from, calls.size())), calls.end()};
}

class MapLinkE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = MakeTempDir();
    fs::create_directories(home_ + "/A");
    fs::copy_file(kDemo + "/Tones/01_a440.mp3", home_ + "/A/01_a440.mp3");
    list_ = home_ + "/list.pdr";
    std::ofstream(list_, std::ios::binary) << home_ << "/A\r\n";
  }
  void TearDown() override { fs::remove_all(home_); }
  void WriteSettings(bool useMappleLink) {
    std::ofstream(home_ + "/sorrel.ini", std::ios::binary)
        << "[OvisAlarm]\r\nUseTNLink=1\r\n[OnResume]\r\nOnResumeWait=0\r\n[MappleLink]\r\nUseMappleLink="
        << (useMappleLink ? 1 : 0)
        << "\r\nMapplePosLeft=10\r\nMapplePosTop=20\r\nMapplePosRight=490\r\nMapplePosBottom=500\r\n"
           "MappleClass=0\r\nMappleZoom=250\r\n";
  }

  std::string home_, list_;
};

// The connection as "E" makes it: placed, shown, class and zoom set, the rectangle read
// back; then, the link not yet active, shown again with its class and zoom.
const std::vector<std::string> kConnect{"MoveWindow(10,20,490,500)",
                                        "Visible=True",
                                        "SetMapClass(0)",
                                        "SetZoom(250)",
                                        "GetWindowLeft() -> 10",
                                        "GetWindowTop() -> 20",
                                        "GetWindowRight() -> 490",
                                        "GetWindowBottom() -> 500",
                                        "Visible=True",
                                        "SetMapClass(0)",
                                        "SetZoom(250)"};

TEST_F(MapLinkE2E, CommandSixtyNineConnectsAndSentencesDrawTheCar) {
  WriteSettings(true);
  TSimulator sim(home_);
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();

  // Before "E" the link is inactive: a sentence draws nothing.
  p.Sentence(35.681236, 139.767125, 93.5);
  p.Command(69);
  EXPECT_EQ(sim.WaitCalls(kConnect.size()), kConnect);

  // A sentence: after the one-shot, the old icons go, the map recentres on the car (the
  // first position is always beyond the threshold) and the icon is drawn.
  p.Sentence(35.681236, 139.767125, 93.5);
  std::vector<std::string> calls = sim.WaitCalls(kConnect.size() + 3);
  EXPECT_EQ(From(calls, kConnect.size()),
            (std::vector<std::string>{"DeleteAllCustom()", MoveLine(35.681236, 139.767125),
                                      IconLine(35.681236, 139.767125, 93.5)}));
  // Half a metre on: no recentring, the icon moves; 355 degrees is icon 17, which is 1.
  size_t seen = calls.size();
  p.Sentence(35.681241, 139.767125, 355);
  calls = sim.WaitCalls(seen + 2);
  EXPECT_EQ(From(calls, seen),
            (std::vector<std::string>{"DeleteAllCustom()", IconLine(35.681241, 139.767125, 355)}));
  // A hundred metres on: recentred.
  seen = calls.size();
  p.Sentence(35.682136, 139.767125, 12);
  calls = sim.WaitCalls(seen + 3);
  EXPECT_EQ(From(calls, seen), (std::vector<std::string>{"DeleteAllCustom()", MoveLine(35.682136, 139.767125),
                                                         IconLine(35.682136, 139.767125, 12)}));
  // An invalid sentence (latitude outside Japan) draws nothing.
  seen = calls.size();
  p.Sentence(10.0, 139.767125, 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(sim.Calls().size(), seen);
  EXPECT_EQ(p.Close(), 0);
}

TEST_F(MapLinkE2E, CommandsSeventyToSeventyFiveAndTheResume) {
  WriteSettings(true);
  TSimulator sim(home_);
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  p.Command(69);
  std::vector<std::string> calls = sim.WaitCalls(kConnect.size());
  ASSERT_EQ(calls, kConnect);

  const auto after = [&](int command, size_t n) {
    const size_t seen = sim.Calls().size();
    p.Command(command);
    return From(sim.WaitCalls(seen + n), seen);
  };
  // "H": zoom +50 within class 0.  "I": back.
  EXPECT_EQ(after(72, 3),
            (std::vector<std::string>{"GetZoom() -> 250", "GetMapClass() -> 0", "SetZoom(300)"}));
  EXPECT_EQ(after(73, 3),
            (std::vector<std::string>{"GetZoom() -> 300", "GetMapClass() -> 0", "SetZoom(250)"}));
  // The scale list is the default one, 1:5000, 1:25000, 1:100000; class 0 at zoom 250 is
  // 1:80000.  "J": the next smaller, 1:25000 (class 1, zoom 200); "K": the next larger,
  // 1:100000 (class 0, zoom 200).
  EXPECT_EQ(after(74, 4), (std::vector<std::string>{"GetZoom() -> 250", "GetMapClass() -> 0",
                                                    "SetMapClass(1)", "SetZoom(200)"}));
  EXPECT_EQ(after(75, 4), (std::vector<std::string>{"GetZoom() -> 200", "GetMapClass() -> 1",
                                                    "SetMapClass(0)", "SetZoom(200)"}));
  // "F" and "G" act on a connected map window; none is known here, so they call nothing.
  size_t seen = sim.Calls().size();
  p.Command(70);
  p.Command(71);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(sim.Calls().size(), seen);

  // A position drawn; the same position again is not recentred...
  p.Sentence(35.0, 139.0, 0);
  calls = sim.WaitCalls(seen + 3);
  seen = calls.size();
  p.Sentence(35.0, 139.0, 0);
  calls = sim.WaitCalls(seen + 2);
  EXPECT_EQ(From(calls, seen), (std::vector<std::string>{"DeleteAllCustom()", IconLine(35.0, 139.0, 0)}));
  // ...until the computer has slept: the resume's "L" forgets the recentred position.
  p.Power(4);     // PBT_APMSUSPEND
  p.Power(0x12);  // PBT_APMRESUMEAUTOMATIC
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  seen = sim.Calls().size();
  p.Sentence(35.0, 139.0, 0);
  calls = sim.WaitCalls(seen + 3);
  EXPECT_EQ(From(calls, seen),
            (std::vector<std::string>{"DeleteAllCustom()", MoveLine(35.0, 139.0), IconLine(35.0, 139.0, 0)}));
  EXPECT_EQ(p.Close(), 0);
}

TEST_F(MapLinkE2E, WithoutTheMapLinkSettingCommandSixtyNineDoesNothing) {
  WriteSettings(false);
  TSimulator sim(home_);
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  p.Command(69);
  p.Sentence(35.0, 139.0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_TRUE(sim.Calls().empty());
  EXPECT_EQ(p.Close(), 0);
}

TEST_F(MapLinkE2E, AHangingMapIsDroppedAndTheNextEConnectsAfresh) {
  WriteSettings(true);
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  {
    TSimulator stuck(home_, {"--hang", "AddIcon"});
    ASSERT_TRUE(stuck.Ready());
    p.Command(69);
    ASSERT_EQ(stuck.WaitCalls(kConnect.size()), kConnect);
    p.Sentence(35.0, 139.0, 0);
    const std::vector<std::string> calls = stuck.WaitCalls(kConnect.size() + 3);
    ASSERT_EQ(calls.size(), kConnect.size() + 3);
    EXPECT_TRUE(calls.back().ends_with(" !hang")) << calls.back();
    // The call gives up after its time-out (5 s) and the connection is dropped.
    std::this_thread::sleep_for(std::chrono::milliseconds(6000));
  }
  TSimulator sim(home_);
  ASSERT_TRUE(sim.Ready());
  // Dropped: a sentence calls nothing until "E" connects again.
  p.Sentence(35.1, 139.0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(sim.Calls().empty());
  p.Command(69);
  ASSERT_EQ(sim.WaitCalls(kConnect.size()), kConnect);
  p.Sentence(35.2, 139.0, 0);
  const std::vector<std::string> calls = sim.WaitCalls(kConnect.size() + 3);
  EXPECT_EQ(From(calls, kConnect.size()),
            (std::vector<std::string>{"DeleteAllCustom()", MoveLine(35.2, 139.0), IconLine(35.2, 139.0, 0)}));
  EXPECT_EQ(p.Close(), 0);
}

TEST_F(MapLinkE2E, ShutdownWithCommandsQueuedEndsCleanlyAndKeepsTheMapsPlace) {
  WriteSettings(true);
  // The map stops answering at the first zoom step, with more steps queued behind it.
  TSimulator sim(home_, {"--hang", "GetZoom"});
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  p.Command(69);
  ASSERT_EQ(sim.WaitCalls(kConnect.size()), kConnect);
  for (int i = 0; i < 4; ++i) p.Command(i % 2 ? 73 : 72);
  ASSERT_EQ(sim.WaitCalls(kConnect.size() + 1).back(), "GetZoom() !hang");
  // The worker ends when the hanging call gives up (5 s); the queued steps never run.
  EXPECT_EQ(p.Close(20000), 0) << p.Said();
  EXPECT_EQ(sim.Calls().size(), kConnect.size() + 1);
  // The settings keep the map's rectangle as read back and the normalised scale list.
  const std::string ini = Slurp(home_ + "/sorrel.ini");
  for (const char* line : {"MapplePosLeft=10", "MapplePosBottom=500", "MappleZoom=250", "MappleClass=0",
                           "MappleDefScale[0]=5000", "MappleDefScale[2]=100000", "MappleDefScale[3]=-1"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;
}

}  // namespace
