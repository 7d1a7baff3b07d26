// Navin'You as a user meets it: the real player and the navigation-program simulator in
// a private session bus.  Commands go to the player with sorrel-send; what reaches
// Navin'You is read from the lines the simulator prints, what the player shows from its
// trace.  The expected lines are Navin'You's menu identifiers, buttons and dialogs as the
// player is meant to operate them.
#include "tests/app/Programs.h"
#include "tests/platform/ProcessHelpers.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_sorrel;

namespace {

const std::string kSim = kBuild + "/tools/navin-sim/sorrel-navin-sim";
const std::string kNavinMain = "Navin' You - Simulated drive";

using TLines = std::vector<std::string>;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The simulator, its window on the offscreen platform.
class TSimulator {
 public:
  TSimulator(const std::string& dir, std::vector<std::string> args = {}) {
    static int runs = 0;
    const std::string d = dir + "/sim" + std::to_string(++runs);
    fs::create_directories(d);
    std::vector<std::string> argv{kSim};
    argv.insert(argv.end(), args.begin(), args.end());
    child_ = Spawn(argv, {"QT_QPA_PLATFORM=offscreen"}, d);
    ready_ = WaitFor([&] { return Out().find("# running") != std::string::npos; }, 10000);
  }
  ~TSimulator() {
    if (child_.pid > 0) {
      Kill(child_, SIGKILL);
      WaitExit(child_, 5000);
    }
  }
  bool Ready() const { return ready_; }
  pid_t Pid() const { return child_.pid; }
  std::string Out() const { return Slurp(child_.stdoutPath); }
  TLines Lines() const {
    TLines out;
    std::istringstream in(Out());
    for (std::string line; std::getline(in, line);)
      if (!line.empty() && line[0] != '#') out.push_back(line);
    return out;
  }
  // The lines after the first `from`, once there are `n` of them (or after `ms`).
  TLines LinesAfter(size_t from, size_t n, int ms = 8000) const {
    WaitFor([&] { return Lines().size() >= from + n; }, ms);
    const TLines all = Lines();
    return {all.begin() + long(std::min(from, all.size())), all.end()};
  }
  std::optional<int> WaitEnd(int ms) { return WaitExit(child_, ms); }

 private:
  Child child_;
  bool ready_ = false;
};

struct TSetup {
  bool tarnLyric = true;
  bool useTNLink = true;
};

// The player on a list of one directory, with no sound.
class TPlayer {
 public:
  TPlayer(const std::string& home, const std::string& list) {
    dir_ = home + "/run";
    fs::create_directories(dir_);
    child_ = Spawn({kSorrel, "--home", home, "--audio", "null", list},
                   {"SORREL_TRACE=1", "QT_QPA_PLATFORM=offscreen"}, dir_);
  }
  ~TPlayer() {
    if (child_.pid > 0) {
      Kill(child_, SIGKILL);
      WaitExit(child_, 5000);
    }
  }
  std::string Said() const { return Slurp(child_.stderrPath); }
  bool Traced(const std::string& event, int ms = 8000) const {
    return WaitFor([&] { return Said().find(" " + event + "\n") != std::string::npos; }, ms);
  }
  bool WaitStarted() const { return Traced("window shown", 20000) && Traced("settings read", 1000); }
  int Send(const std::vector<std::string>& args, std::string* out = nullptr) const {
    std::vector<std::string> argv{kSend};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string ignored;
    return Run(argv, {}, dir_, 10000, out ? out : &ignored);
  }
  void Command(int n) const { Send({"post", "0x599", std::to_string(n), "0"}); }
  // The player answers a sent message (WM_NULL) in time.
  bool Responsive() const { return Send({"--timeout", "2000", "send", "0", "0", "0"}) == 0; }

 private:
  Child child_;
  std::string dir_;
};

class NavinE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus (dbus-run-session missing)";
    home_ = MakeTempDir();
    fs::create_directories(home_ + "/A");
    fs::copy_file(kDemo + "/Tones/01_a440.mp3", home_ + "/A/01_a440.mp3");
    list_ = home_ + "/list.pdr";
    std::ofstream(list_, std::ios::binary) << home_ << "/A\r\n";
  }
  void TearDown() override {
    if (!home_.empty()) fs::remove_all(home_);
  }
  void WriteSettings(TSetup s) {
    std::ofstream(home_ + "/sorrel.ini", std::ios::binary)
        << "[OvisAlarm]\r\nUseTNLink=" << (s.useTNLink ? 1 : 0)
        << "\r\nNavinYouComWait=50\r\nOnActiveNavinFG=0\r\nNYMapMatchNo=4\r\nAlarmHideDelay=0\r\n"
           "[Lyric]\r\nTarn_Lyric="
        << (s.tarnLyric ? 1 : 0) << "\r\n[OnResume]\r\nOnResumeWait=0\r\n";
  }
  // The launcher of command 63: notes its arguments.
  void WriteLauncher() {
    const std::string path = home_ + "/SorrelStarter";
    std::ofstream(path) << "#!/bin/sh\necho \"$@\" > '" << home_ << "/launched.tmp'\nmv '" << home_
                        << "/launched.tmp' '" << home_ << "/launched'\n";
    fs::permissions(path, fs::perms::owner_all);
  }
  // The player has found Navin'You: the start messages set its map-match mode and ask it.
  static bool FoundByPlayer(const TSimulator& sim) {
    return WaitFor(
        [&] {
          const std::string out = sim.Out();
          return out.find("mapmatch set 4\nmapmatch ask 0\n") != std::string::npos;
        },
        10000);
  }

  std::string home_, list_;
};

// Commands 39..62 and 64..67 in turn, each sent once the previous one has arrived (the
// player drops commands that come while one still runs).
TEST_F(NavinE2E, EveryRemoteControlCommandArrivesAtNavinYou) {
  WriteSettings({});
  TSimulator sim(home_, {"--small"});
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  ASSERT_TRUE(FoundByPlayer(sim)) << sim.Out() << p.Said();
  Pause(1200);  // the windows found on the alarm's next check
  // Its answer to the start question (mode 4 as set, not to be shown): no pop-up.
  EXPECT_EQ(p.Said().find("MapMatch"), std::string::npos);

  const auto after = [&](int command, const TLines& expected) {
    const size_t seen = sim.Lines().size();
    p.Command(command);
    const TLines got = sim.LinesAfter(seen, expected.size());
    Pause(150);  // nothing more arrives
    return std::make_pair(got, sim.Lines().size() - seen);
  };
  const auto check = [&](int command, const TLines& expected) {
    const auto [got, count] = after(command, expected);
    EXPECT_EQ(got, expected) << "command " << command;
    EXPECT_EQ(count, expected.size()) << "command " << command;
  };

  // Space to the map with Navin'You brought forward; menu commands; wheel steps.
  check(39, {"show forward " + kNavinMain, "key down 0x20 MapView", "key up 0x20 MapView"});
  check(40, {"command 32912"});
  check(41, {"command 32992"});
  check(42, {"command 32993"});
  check(43, {"wheel +120 MapView"});
  check(44, {"wheel -120 MapView"});
  check(45, {"click GPS"});
  check(46, {"command 33201"});
  check(47, {"command 33135"});
  check(48, {"click NorthUp"});
  check(49, {"command 32861"});
  check(50, {"command 33199"});
  // Route search: the error box that comes up is closed by its OK.
  check(51, {"command 32981", "click OK ルート再探索エラー"});
  check(52, {"command 32982"});
  // The map control bar: fourth, third; with the probe pixel coloured, first, second.
  check(53, {"click MapControlBar button 4"});
  check(54, {"click MapControlBar button 3"});
  check(55, {"click MapControlBar button 1"});
  check(56, {"click MapControlBar button 2"});
  // Sky view: 33107 + counter, the pop-up naming it, round the five.
  const char* views[] = {"AUTO", "MORNING", "DAYTIME", "EVENING", "NIGHT", "AUTO"};
  for (int i = 0; i < 6; ++i) {
    check(57, {"command " + std::to_string(33107 + i % 5)});
    EXPECT_TRUE(p.Traced("pop-up SKY VIEW = " + std::string(views[i]), 3000)) << i;
  }
  // The options: the dialog opened, the tab clicked at its point, the box, OK.
  const auto option = [&](int x, const std::string& tab, const std::string& box) {
    const std::string at = std::to_string(x) + ",9 SysTabControl32";
    return TLines{"command 32866",
                  "show forward SysTabControl32",
                  "button down " + at,
                  "button up " + at,
                  "tab " + tab,
                  "click " + box + " on",
                  "click OK GPS/ルートガイド機能設定"};
  };
  check(58, option(153, "走行パス/マップマッチ", "マップマッチを有効にする"));
  check(59, option(153, "走行パス/マップマッチ", "走行パスを記録(表示)する"));
  check(60, option(73, "ルートガイド", "ルートから外れた時に自動再探索を行う"));
  check(61, option(73, "ルートガイド", "音声ルートガイドを行う"));
  // Guidance: the guidance view closed, guidance ended, the route cleared; the second
  // time there is no guidance view to close.
  check(62, {"command 32835", "command 33087", "command 33086"});
  check(62, {"command 33087", "command 33086"});
  // Minimised; while minimised the menu commands and clicks do nothing; restored.
  check(64, {"show minimise " + kNavinMain});
  for (int c : {40, 45, 53, 57}) {
    const auto [got, count] = after(c, {});
    EXPECT_EQ(count, 0u) << c;
  }
  check(65, {"show restore " + kNavinMain, "show forward " + kNavinMain});
  // The sky view skipped while minimised did not count: six shown, the seventh is MORNING.
  check(57, {"command 33108"});
  EXPECT_TRUE(WaitFor(
      [&] {
        const std::string said = p.Said();
        const size_t first = said.find("pop-up SKY VIEW = MORNING\n");
        return first != std::string::npos &&
               said.find("pop-up SKY VIEW = MORNING\n", first + 1) != std::string::npos;
      },
      3000));
  // Both panels closed by their "x"; the second time they are gone.
  check(66, {"click x ファンクションパネル", "click x データマネージャパネル"});
  // Map match 4 -> 2 -> 1 -> 4, each answered and shown.
  check(67, {"mapmatch set 2", "mapmatch ask 1"});
  EXPECT_TRUE(p.Traced("pop-up  MapMatch 弱 ", 3000));
  check(67, {"mapmatch set 1", "mapmatch ask 1"});
  EXPECT_TRUE(p.Traced("pop-up  MapMatch OFF ", 3000));
  check(67, {"mapmatch set 4", "mapmatch ask 1"});
  EXPECT_TRUE(p.Traced("pop-up  MapMatch 強 ", 3000));
  // 68 closes it through its menu.
  check(68, {"command 33087", "command 57665"});
  EXPECT_EQ(sim.WaitEnd(5000), 0);
  EXPECT_TRUE(p.Responsive());
}

TEST_F(NavinE2E, CommandSixtyThreeClosesNavinYouAndStartsTheLauncher) {
  WriteSettings({});
  WriteLauncher();
  TSimulator sim(home_, {"--small"});
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  ASSERT_TRUE(FoundByPlayer(sim)) << sim.Out();
  Pause(1200);
  const size_t seen = sim.Lines().size();
  p.Command(63);
  EXPECT_EQ(sim.LinesAfter(seen, 3), (TLines{"command 32835", "command 33087", "command 57665"}));
  EXPECT_EQ(sim.WaitEnd(5000), 0);
  ASSERT_TRUE(WaitFor([&] { return fs::exists(home_ + "/launched"); }, 8000)) << p.Said();
  EXPECT_EQ(Slurp(home_ + "/launched"), "fromSorrel\n");
  EXPECT_TRUE(p.Traced("started " + home_ + "/SorrelStarter", 1000));
  EXPECT_EQ(p.Said().find("強制終了中"), std::string::npos);
}

TEST_F(NavinE2E, WithoutTarnLyricCommandSixtyThreeLeavesNavinYouAlone) {
  WriteSettings({.tarnLyric = false});
  WriteLauncher();
  TSimulator sim(home_, {"--small"});
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  ASSERT_TRUE(FoundByPlayer(sim)) << sim.Out();
  Pause(1200);
  const size_t seen = sim.Lines().size();
  p.Command(63);
  p.Command(68);
  Pause(2500);
  EXPECT_EQ(sim.Lines().size(), seen) << sim.Out();
  EXPECT_FALSE(sim.WaitEnd(0));
  EXPECT_FALSE(fs::exists(home_ + "/launched"));
  // The commands are still served: 40 is a plain menu command.
  p.Command(40);
  EXPECT_EQ(sim.LinesAfter(seen, 1), (TLines{"command 32912"}));
}

// Minimised and hanging: the WM_NULL probe of command 68 gives up after its time-out,
// and the process is ended with the pop-up; the player goes on answering.
TEST_F(NavinE2E, AHangingNavinYouIsClosedByForce) {
  WriteSettings({});
  WriteLauncher();
  TSimulator sim(home_, {"--small", "--hang-on", "0"});
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  ASSERT_TRUE(FoundByPlayer(sim)) << sim.Out();
  Pause(1200);
  size_t seen = sim.Lines().size();
  p.Command(64);
  ASSERT_EQ(sim.LinesAfter(seen, 1), (TLines{"show minimise " + kNavinMain}));
  seen = sim.Lines().size();
  p.Command(63);
  EXPECT_EQ(sim.LinesAfter(seen, 2), (TLines{"message 0x0000 0 0 " + kNavinMain + " (sent)", "hang"}));
  EXPECT_EQ(sim.WaitEnd(10000), 128 + SIGKILL);
  EXPECT_TRUE(p.Traced("pop-up Navin'You 強制終了中", 3000)) << p.Said();
  // Gone, so the launcher runs.
  EXPECT_TRUE(WaitFor([&] { return fs::exists(home_ + "/launched"); }, 8000)) << p.Said();
  EXPECT_TRUE(p.Responsive());
}

// Not minimised, hanging at the first menu command of the close (the guidance view's):
// the exit command is never handled, the player waits its 10 s for the window to go,
// then ends the process.
TEST_F(NavinE2E, NavinYouHangingAsItIsClosedIsClosedByForce) {
  WriteSettings({});
  TSimulator sim(home_, {"--small", "--hang-on", "0x111"});
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  ASSERT_TRUE(FoundByPlayer(sim)) << sim.Out();
  Pause(1200);
  const size_t seen = sim.Lines().size();
  p.Command(68);
  EXPECT_EQ(sim.LinesAfter(seen, 2), (TLines{"command 32835", "hang"}));
  EXPECT_EQ(sim.WaitEnd(30000), 128 + SIGKILL) << p.Said();
  EXPECT_TRUE(p.Traced("pop-up Navin'You 強制終了中", 3000)) << p.Said();
  EXPECT_TRUE(p.Responsive());
}

// The map-match report: Navin'You reporting another mode than the player's gets the
// player's mode set again.  The simulator's mode is changed behind the player's back.
TEST_F(NavinE2E, AReportedMapMatchModeThatDiffersIsSetAgain) {
  WriteSettings({});
  TSimulator sim(home_, {"--small"});
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  ASSERT_TRUE(FoundByPlayer(sim)) << sim.Out();
  Pause(1200);
  const std::vector<std::string> toNavin{"--class", "Navin' You", "--any-caption", "post"};
  const auto postToNavin = [&](const std::string& msg, const std::string& wParam) {
    std::vector<std::string> a = toNavin;
    a.insert(a.end(), {msg, wParam, "0"});
    return p.Send(a);
  };
  size_t seen = sim.Lines().size();
  ASSERT_EQ(postToNavin("0x699", "2"), 0);
  ASSERT_EQ(postToNavin("0x698", "1"), 0);
  // Its answer (mode 2, shown) differs from the player's 4: set again, nothing shown.
  EXPECT_EQ(sim.LinesAfter(seen, 3), (TLines{"mapmatch set 2", "mapmatch ask 1", "mapmatch set 4"}));
  Pause(300);
  EXPECT_EQ(p.Said().find("MapMatch"), std::string::npos);
  // Asked again, it now agrees: shown as strong, nothing set.
  seen = sim.Lines().size();
  ASSERT_EQ(postToNavin("0x698", "1"), 0);
  EXPECT_TRUE(p.Traced("pop-up  MapMatch 強 ", 3000)) << p.Said();
  EXPECT_EQ(sim.LinesAfter(seen, 1), (TLines{"mapmatch ask 1"}));
}

// The position read from Navin'You's screen (position link off): the large status display
// switched to the small one first, then a drive north past a camera facing north raises
// the alarm window, which goes once the camera is behind.
TEST_F(NavinE2E, ADriveReadFromTheScreenRaisesAndHidesTheAlarm) {
  WriteSettings({.useTNLink = false});
  // 35°36'32.0" N, 139°42'00.0" E = 35.608889, 139.7, facing north.
  std::ofstream(home_ + "/ovis.pot", std::ios::binary)
      << "ORD=poi/tex=首都高速3号線 Hシステム/kei=139'42'0'0/ido=35'36'32'0/deg=0\r\n";
  // From 700 m south of it to 2 km north (1° of latitude = 111.2 km), at 250 km/h
  // (69 m/s; faster readings count as jumps): the camera is passed at speed, so the
  // window goes because the camera is behind, not because the car stopped.
  const std::string route = home_ + "/route.txt";
  std::ofstream(route) << "35.602594 139.7\n35.626875 139.7\n";
  TSimulator sim(home_, {"--route", route, "--speed", "250"});
  ASSERT_TRUE(sim.Ready());
  TPlayer p(home_, list_);
  ASSERT_TRUE(p.WaitStarted()) << p.Said();
  ASSERT_TRUE(p.Traced("alarm window shown", 15000)) << p.Said() << sim.Out();
  ASSERT_TRUE(p.Traced("alarm window hidden", 15000)) << p.Said();
  const std::string said = p.Said();
  EXPECT_LT(said.find("alarm window shown"), said.find("alarm window hidden"));
  const std::string out = sim.Out();
  EXPECT_NE(out.find("keyboard down 0x11\nkeyboard down 0x51\nstatus small\n"), std::string::npos) << out;
  EXPECT_TRUE(p.Responsive());
}

}  // namespace
