// The map link as a user meets it: the real player and the map program simulator in a
// private session bus, driven by commands and position sentences sent with sorrel-send,
// and followed through the calls the simulator prints.  Once connected the link reads
// the map's state every 500 ms, so the checks look at what it does to the map and its
// window (every call but the getters).
#include "tests/app/Programs.h"
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

const std::string kSim = kBuild + "/tools/mapple-sim/sorrel-mapple-sim";

using TLines = std::vector<std::string>;

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
  TLines Calls() const {
    TLines out;
    std::istringstream in(Slurp(child_.stdoutPath));
    for (std::string line; std::getline(in, line);)
      if (!line.empty() && line[0] != '#') out.push_back(line);
    return out;
  }
  // The calls that change the map or its window: all but the getters.
  TLines Acts() const {
    TLines out = Calls();
    std::erase_if(out, [](const std::string& l) { return l.starts_with("Get"); });
    return out;
  }
  // The acts after the first `from`, once there are `n` of them (or after 5 s).
  TLines ActsAfter(size_t from, size_t n) const {
    WaitFor([&] { return Acts().size() >= from + n; }, 5000);
    const TLines all = Acts();
    return {all.begin() + long(std::min(from, all.size())), all.end()};
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
// The great-circle distance in metres on a sphere of 6370 km.
double Metres(double lat1, double lon1, double lat2, double lon2) {
  const double k = std::acos(-1.0) / 180.0;
  return std::acos(std::cos((lon1 - lon2) * k) * std::cos(lat1 * k) * std::cos(lat2 * k) +
                   std::sin(lat1 * k) * std::sin(lat2 * k)) *
         6370000.0;
}
// The recentring threshold of a class 0 map at `zoom` in a window of w x h pixels.
int Threshold(int zoom, int w, int h) { return std::min(w - 67, h - 54) * 5120 / zoom / 3; }

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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
  // The map at 10,20 - 490,500 (480 x 480), class 0, zoom 250.
  void WriteSettings(bool useMappleLink) {
    std::ofstream(home_ + "/sorrel.ini", std::ios::binary)
        << "[OvisAlarm]\r\nUseTNLink=1\r\n[OnResume]\r\nOnResumeWait=0\r\n[MappleLink]\r\nUseMappleLink="
        << (useMappleLink ? 1 : 0)
        << "\r\nMapplePosLeft=10\r\nMapplePosTop=20\r\nMapplePosRight=490\r\nMapplePosBottom=500\r\n"
           "MappleClass=0\r\nMappleZoom=250\r\n";
  }

  std::string home_, list_;
};

// "E" connecting: placed, shown, class and zoom set (and the rectangle read back, which
// finds the map's window); then the window shown normal and brought forward and, the
// link not yet active, the map shown with its class and zoom.
const TLines kConnect{"MoveWindow(10,20,490,500)",
                      "Visible=True",
                      "SetMapClass(0)",
                      "SetZoom(250)",
                      "show normal",
                      "show forward",
                      "show forward",
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
  ASSERT_EQ(sim.ActsAfter(0, kConnect.size()), kConnect);
  // The rectangle read back, then the state read every 500 ms.
  EXPECT_TRUE(WaitFor([&] { return sim.Calls().size() >= 14 + 6; }, 5000));
  const TLines calls = sim.Calls();
  EXPECT_EQ(TLines(calls.begin() + 4, calls.begin() + 8),
            (TLines{"GetWindowLeft() -> 10", "GetWindowTop() -> 20", "GetWindowRight() -> 490",
                    "GetWindowBottom() -> 500"}));
  EXPECT_EQ(TLines(calls.begin() + 14, calls.begin() + 16),
            (TLines{"GetZoom() -> 250", "GetMapClass() -> 0"}));

  // A sentence: after the one-shot, the old icons go, the map recentres on the car (the
  // first position is always far from the last centre, none) and the icon is drawn.
  const double lat = 35.681236, lon = 139.767125;
  size_t seen = sim.Acts().size();
  p.Sentence(lat, lon, 93.5);
  EXPECT_EQ(sim.ActsAfter(seen, 3),
            (TLines{"DeleteAllCustom()", MoveLine(lat, lon), IconLine(lat, lon, 93.5)}));

  // Within the threshold of that centre the icon moves and the map stays; beyond it
  // (measured from the centre, not from the last icon) the map recentres.  355 degrees
  // is icon 17, which is 1.
  const int threshold = Threshold(250, 480, 480);
  ASSERT_EQ(threshold, 2819);
  const double near = lat + 0.02, far = lat + 0.026;
  ASSERT_LT(Metres(lat, lon, near, lon), threshold);
  ASSERT_GT(Metres(lat, lon, far, lon), threshold);
  ASSERT_LT(Metres(near, lon, far, lon), threshold);
  seen = sim.Acts().size();
  p.Sentence(near, lon, 355);
  EXPECT_EQ(sim.ActsAfter(seen, 2), (TLines{"DeleteAllCustom()", IconLine(near, lon, 355)}));
  seen = sim.Acts().size();
  p.Sentence(far, lon, 12);
  EXPECT_EQ(sim.ActsAfter(seen, 3),
            (TLines{"DeleteAllCustom()", MoveLine(far, lon), IconLine(far, lon, 12)}));

  // An invalid sentence (latitude outside Japan) draws nothing.
  seen = sim.Acts().size();
  p.Sentence(10.0, lon, 200);
  Pause(400);
  EXPECT_EQ(sim.Acts().size(), seen);
  EXPECT_EQ(p.Close(), 0);
}

TEST_F(MapLinkE2E, CommandsSeventyToSeventyFiveAndTheResume) {
  WriteSettings(true);
  TSimulator sim(home_);
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  p.Command(69);
  ASSERT_EQ(sim.ActsAfter(0, kConnect.size()), kConnect);

  const auto after = [&](int command, size_t n) {
    const size_t seen = sim.Acts().size();
    p.Command(command);
    return sim.ActsAfter(seen, n);
  };
  // "H": zoom +50 within class 0; "I": back.  The scale list is the default one,
  // 1:5000, 1:25000, 1:100000, and class 0 at zoom 250 is 1:80000: "J" goes to the next
  // smaller, 1:25000 (class 1, zoom 200), "K" to the next larger, 1:100000 (class 0,
  // zoom 200).
  EXPECT_EQ(after(72, 1), (TLines{"SetZoom(300)"}));
  EXPECT_EQ(after(73, 1), (TLines{"SetZoom(250)"}));
  EXPECT_EQ(after(74, 2), (TLines{"SetMapClass(1)", "SetZoom(200)"}));
  EXPECT_EQ(after(75, 2), (TLines{"SetMapClass(0)", "SetZoom(200)"}));
  // "G": maximised and brought forward.
  EXPECT_EQ(after(71, 2), (TLines{"show maximise", "show forward"}));

  // A position drawn; the same position again is not recentred...
  size_t seen = sim.Acts().size();
  p.Sentence(35.0, 139.0, 0);
  ASSERT_EQ(sim.ActsAfter(seen, 3).size(), 3u);
  seen = sim.Acts().size();
  p.Sentence(35.0, 139.0, 0);
  EXPECT_EQ(sim.ActsAfter(seen, 2), (TLines{"DeleteAllCustom()", IconLine(35.0, 139.0, 0)}));
  // ...until the computer has slept: the resume's "L" forgets the last centre.
  p.Power(4);     // PBT_APMSUSPEND
  p.Power(0x12);  // PBT_APMRESUMEAUTOMATIC
  Pause(500);
  seen = sim.Acts().size();
  p.Sentence(35.0, 139.0, 0);
  EXPECT_EQ(sim.ActsAfter(seen, 3),
            (TLines{"DeleteAllCustom()", MoveLine(35.0, 139.0), IconLine(35.0, 139.0, 0)}));

  // "F": the icons removed and the map hidden; then sentences, "F" and the other
  // letters are ignored until "E" shows the map again (still connected: no placing).
  EXPECT_EQ(after(70, 2), (TLines{"DeleteAllCustom()", "Visible=False"}));
  seen = sim.Acts().size();
  p.Sentence(35.1, 139.0, 0);
  for (int c : {70, 71, 72, 74}) p.Command(c);
  Pause(600);
  EXPECT_EQ(sim.Acts().size(), seen);
  EXPECT_EQ(after(69, 6), (TLines{"show normal", "show forward", "show forward", "Visible=True",
                                  "SetMapClass(0)", "SetZoom(250)"}));
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
  Pause(800);
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
    ASSERT_EQ(stuck.ActsAfter(0, kConnect.size()), kConnect);
    p.Sentence(35.0, 139.0, 0);
    const TLines acts = stuck.ActsAfter(kConnect.size(), 3);
    ASSERT_EQ(acts.size(), 3u);
    EXPECT_EQ(acts.back(), IconLine(35.0, 139.0, 0) + " !hang");
    // The call gives up after its time-out (5 s) and the connection is dropped.
    Pause(6000);
  }
  TSimulator sim(home_);
  ASSERT_TRUE(sim.Ready());
  // Dropped: a sentence calls nothing until "E" connects again.
  p.Sentence(35.1, 139.0, 0);
  Pause(500);
  EXPECT_TRUE(sim.Calls().empty());
  p.Command(69);
  ASSERT_EQ(sim.ActsAfter(0, kConnect.size()), kConnect);
  p.Sentence(35.2, 139.0, 0);
  EXPECT_EQ(sim.ActsAfter(kConnect.size(), 3),
            (TLines{"DeleteAllCustom()", MoveLine(35.2, 139.0), IconLine(35.2, 139.0, 0)}));
  EXPECT_EQ(p.Close(), 0);
}

TEST_F(MapLinkE2E, ShutdownWithCommandsQueuedEndsCleanlyAndKeepsTheMapsPlace) {
  WriteSettings(true);
  // The map stops answering at the first icon, with zoom steps queued behind it.
  TSimulator sim(home_, {"--hang", "DeleteAllCustom"});
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  p.Command(69);
  ASSERT_EQ(sim.ActsAfter(0, kConnect.size()), kConnect);
  p.Sentence(35.0, 139.0, 0);
  ASSERT_EQ(sim.ActsAfter(kConnect.size(), 1), (TLines{"DeleteAllCustom() !hang"}));
  for (int i = 0; i < 4; ++i) p.Command(i % 2 ? 73 : 72);
  // The worker ends when the hanging call gives up (5 s at most); the queued steps
  // never run.
  EXPECT_EQ(p.Close(20000), 0) << p.Said();
  // The settings keep the map's rectangle as read back and the normalised scale list.
  const std::string ini = Slurp(home_ + "/sorrel.ini");
  for (const char* line : {"MapplePosLeft=10", "MapplePosBottom=500", "MappleZoom=250", "MappleClass=0",
                           "MappleDefScale[0]=5000", "MappleDefScale[2]=100000", "MappleDefScale[3]=-1"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;
}

}  // namespace
