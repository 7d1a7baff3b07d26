// The running navigation-program simulator in a private session bus, seen from the
// player's side: the alarm's screen reading through the foreign-window adapter, the
// map-match exchange, menus, clicks and dialogs, keys and wheel steps, and a hang ended
// by force.
#include "alarm/core/GpsUtil.h"
#include "alarm/core/NavinControl.h"
#include "alarm/core/NavinScreen.h"
#include "app/ui/ForeignWindowScreens.h"
#include "base/Clock.h"
#include "platform/desktop/BusWindow.h"
#include "platform/desktop/ForeignWindows.h"

#include "tests/platform/CoreApp.h"
#include "tests/platform/ProcessHelpers.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <sstream>
#include <thread>

using namespace sorrel;
using namespace testing_sorrel;
using desktop::ForeignHandle;
using desktop::ForeignWindowClient;

namespace {

const std::string kSim = SORREL_BUILD_DIR "/tools/navin-sim/sorrel-navin-sim";

class Sim {
 public:
  explicit Sim(std::vector<std::string> args = {}, const std::string& route = "") : dir_(MakeTempDir()) {
    std::vector<std::string> argv{kSim};
    if (!route.empty()) {
      std::ofstream(dir_ + "/route.txt") << route;
      argv.insert(argv.end(), {"--route", dir_ + "/route.txt"});
    }
    argv.insert(argv.end(), args.begin(), args.end());
    child_ = Spawn(argv, {"QT_QPA_PLATFORM=offscreen"}, dir_);
    ready_ = WaitFor([&] { return Out().find("# running") != std::string::npos; }, 10000);
  }
  ~Sim() {
    if (child_.pid > 0) {
      Kill(child_, SIGKILL);
      WaitExit(child_, 5000);
    }
    std::system(("rm -rf " + dir_).c_str());
  }
  bool ready() const { return ready_; }
  pid_t pid() const { return child_.pid; }
  std::string Out() const { return Slurp(child_.stdoutPath); }
  bool Printed(const std::string& line, int ms = 5000) const {
    return WaitFor([&] { return Out().find("\n" + line + "\n") != std::string::npos; }, ms);
  }
  std::optional<int> WaitEnd(int ms) { return WaitExit(child_, ms); }

 private:
  std::string dir_;
  Child child_;
  bool ready_ = false;
};

ForeignWindowClient::Match Titled(const char* title, const char* cls = nullptr) {
  ForeignWindowClient::Match m;
  m.title = QString::fromUtf8(title);
  if (cls) m.className = QString::fromUtf8(cls);
  return m;
}

ForeignHandle Main(ForeignWindowClient& client) {
  ForeignWindowClient::Match m = Titled("Navin' You - ");
  m.titlePrefix = true;
  return client.FindTopLevel(m);
}

constexpr uint32_t kWmCommand = 0x111, kBmClick = 0xF5;

}  // namespace

TEST(NavinSimBus, WithoutARouteItStandsAtTokyoStation) {
  testing_sorrel::EnsureCoreApp();
  // 35.681236° = 35° 40' 52.4" and 139.767125° = 139° 46' 01.6" as drawn, read as
  // (35 + 40/60 + 52.4/3600) × 100000 = 3568122.2 and
  // (139 + 46/60 + 1.6/3600) × 100000 = 13976711.1, truncated.
  Sim standing({"--small"});
  ASSERT_TRUE(standing.ready());
  ForeignWindowClient client;
  app::TForeignNavinWindows screen(client);
  base::TFakeClock clock(1000000);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past its first moves
  alarm::TNavinYou tokyo(screen, clock);
  const alarm::TNavinReading station = tokyo.ReadNavinPosition();
  EXPECT_EQ(station.Fix.Latitude, 3568122);
  EXPECT_EQ(station.Fix.Longitude, 13976711);
}

TEST(NavinSimBus, TheAlarmReadsTheRoutesPositionAfterSwitchingToTheSmallDisplay) {
  testing_sorrel::EnsureCoreApp();
  // Shinjuku: 35.6894512° = 35° 41' 22.0" and 139.6917064° = 139° 41' 30.1" as drawn,
  // read as (35 + 41/60 + 22.0/3600) × 100000 = 3568944.4 and
  // (139 + 41/60 + 30.1/3600) × 100000 = 13969169.4, truncated.
  Sim sim({}, "35.6894512 139.6917064\n");
  ASSERT_TRUE(sim.ready()) << sim.Out();
  ForeignWindowClient client;
  app::TForeignNavinWindows screen(client);
  base::TFakeClock clock(1000000);
  alarm::TNavinYou navin(screen, clock);

  alarm::TNavinReading first = navin.ReadNavinPosition();
  EXPECT_LT(first.Fix.Latitude, 1);  // the large display has nothing to read
  const alarm::TNavinWindows& w = navin.Windows();
  EXPECT_NE(w.Main, 0u);
  EXPECT_NE(w.CoordinateWnd, 0u);
  EXPECT_NE(w.MapView, 0u);
  EXPECT_NE(w.GPS, 0u);
  EXPECT_NE(w.NorthUp, 0u);
  for (auto b : w.MapControlButtons) EXPECT_NE(b, 0u);
  ASSERT_TRUE(sim.Printed("status small"));
  const std::string out = sim.Out();
  const size_t
      forward = out.find("show forward Navin' You - Simulated drive"),
      chord = out.find(
          "keyboard down 0x11\nkeyboard down 0x51\nstatus small\nkeyboard up 0x11\nkeyboard up 0x51\n");
  EXPECT_NE(forward, std::string::npos);
  EXPECT_NE(chord, std::string::npos);
  EXPECT_LT(forward, chord);

  clock.Advance(1000000);
  const alarm::TNavinReading second = navin.ReadNavinPosition();
  EXPECT_EQ(second.Fix.Latitude, 3568944);
  EXPECT_EQ(second.Fix.Longitude, 13969169);
  // The large lyric display ends at the small status screen: 200 pixels wide, its right
  // edge where the large one's was (100 + 790), 40 below the main window's top (50).
  EXPECT_TRUE(second.LyricLimitsFromWindow);
  EXPECT_EQ(second.LyricRight, 690);
  EXPECT_EQ(second.LyricBottom, 90);
  // The coordinate window, read as the player reads it when there is no status screen:
  // one line at (0, 23), threshold 256, split at the "E".
  alarm::TRgbImage line;
  ASSERT_TRUE(screen.Capture(w.CoordinateWnd, 0, 23, 180, 10, line));
  const alarm::TCoordinateLine split = alarm::SplitCoordinateLine(alarm::RecognizeGlyphs(line, 256));
  EXPECT_EQ(alarm::ParseNavinCoordinate(split.Latitude), 3568944);
  EXPECT_EQ(alarm::ParseNavinCoordinate(split.Longitude), 13969169);
  // The map control bar's buttons are its untitled ones, not the titled first.
  for (auto b : w.MapControlButtons) EXPECT_EQ(client.Info(b)->title, "");
}

TEST(NavinSimBus, ADriveReadsOnwardAlongTheRoute) {
  testing_sorrel::EnsureCoreApp();
  // Northward at 1000 km/h: 0.0025° (278 m) a second.
  Sim sim({"--speed", "1000", "--small"}, "35.0 139.5\n36.0 139.5\n");
  ASSERT_TRUE(sim.ready());
  ForeignWindowClient client;
  app::TForeignNavinWindows screen(client);
  base::TFakeClock clock(1000000);
  alarm::TNavinYou navin(screen, clock);
  const int32_t a = navin.ReadNavinPosition().Fix.Latitude;
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  const alarm::TNavinReading later = navin.ReadNavinPosition();
  EXPECT_GE(a, 3500000);
  EXPECT_GT(later.Fix.Latitude, a);
  EXPECT_LT(later.Fix.Latitude, 3600000);
  EXPECT_EQ(later.Fix.Longitude, 13950000);
}

namespace {
struct Player : desktop::WindowReceiver {
  std::vector<std::array<int32_t, 3>> got;
  int32_t WindowMessage(uint32_t msg, int32_t w, int32_t l, bool) override {
    got.push_back({int32_t(msg), w, l});
    return 0;
  }
  int32_t WindowCopyData(int32_t, uint32_t, const QByteArray&) override { return 0; }
};
}  // namespace

TEST(NavinSimBus, MapMatchModeIsSetAndReportedToThePlayer) {
  testing_sorrel::EnsureCoreApp();
  Player player;
  desktop::PublishedWindow main(QStringLiteral("Tfm_PlayerMain"), QStringLiteral("Tarn's MP3Player"), player);
  ASSERT_EQ(main.Publish(), desktop::PublishedWindow::Result::Published);
  // Each question answered 1 + 30 times: a flood the player must take in its stride.
  Sim sim({"--flood-mapmatch", "30"});
  ASSERT_TRUE(sim.ready());
  // The existing posts by class reach the simulator's main window.
  auto navin = desktop::RemoteWindow::Find(QStringLiteral("Navin' You"));
  ASSERT_TRUE(navin);
  EXPECT_EQ(navin->Caption(), "Navin' You - Simulated drive");
  EXPECT_TRUE(navin->Post(0x699, 2, 0));
  EXPECT_TRUE(navin->Post(0x698, 1, 0));
  ASSERT_TRUE(WaitFor(
      [&] {
        QCoreApplication::processEvents();
        return player.got.size() >= 31;
      },
      5000));
  EXPECT_EQ(player.got.size(), 31u);
  for (const auto& m : player.got) EXPECT_EQ(m, (std::array<int32_t, 3>{0x697, 2, 1}));
  EXPECT_TRUE(sim.Printed("mapmatch set 2"));
  EXPECT_TRUE(sim.Printed("mapmatch ask 1"));
}

TEST(NavinSimBus, MenusClicksDialogsKeysAndTheWheel) {
  testing_sorrel::EnsureCoreApp();
  Sim sim({"--small"});
  ASSERT_TRUE(sim.ready());
  ForeignWindowClient client;
  const ForeignHandle main = Main(client);
  ASSERT_NE(main, 0u);

  // Route search error box: a top-level dialog with its OK button.
  EXPECT_TRUE(client.Post(main, kWmCommand, 32981, 0));
  ASSERT_TRUE(sim.Printed("command 32981"));
  const ForeignHandle box = client.FindTopLevel(Titled("ルート再探索エラー", "#32770"));
  ASSERT_NE(box, 0u);
  const ForeignHandle ok = client.FindChild(box, Titled("OK", "Button"));
  EXPECT_EQ(client.Send(ok, kBmClick, 0, 0, 4999), 0);
  EXPECT_TRUE(sim.Printed("click OK ルート再探索エラー"));
  EXPECT_EQ(client.FindTopLevel(Titled("ルート再探索エラー", "#32770")), 0u);

  // The settings dialog: tab by a click at its point, page, check box, OK.
  EXPECT_TRUE(client.Post(main, kWmCommand, 32866, 0));
  ASSERT_TRUE(sim.Printed("command 32866"));
  const ForeignHandle dialog = client.FindTopLevel(Titled("GPS/ルートガイド機能設定", "#32770"));
  ASSERT_NE(dialog, 0u);
  const ForeignHandle tabs = client.FindChild(dialog, Titled("", "SysTabControl32"));
  ASSERT_NE(tabs, 0u);
  // The route guide page shows first: the other page's boxes are there but not shown.
  const ForeignHandle hidden = client.FindChild(dialog, Titled("マップマッチを有効にする", "Button"));
  ASSERT_NE(hidden, 0u);
  EXPECT_TRUE(client.Info(hidden)->Visible());
  EXPECT_FALSE(client.Info(hidden)->shown);
  EXPECT_TRUE(client.Send(tabs, 0x201, 0, 9 * 65536 + 153, 4999));
  EXPECT_TRUE(client.Send(tabs, 0x202, 0, 9 * 65536 + 153, 4999));
  EXPECT_TRUE(sim.Printed("tab 走行パス/マップマッチ"));
  const ForeignHandle page = client.FindChild(dialog, Titled("走行パス/マップマッチ", "#32770"));
  EXPECT_TRUE(client.Info(page)->Visible());
  EXPECT_TRUE(client.Info(hidden)->shown);
  const ForeignHandle check = client.FindChild(page, Titled("マップマッチを有効にする", "Button"));
  ASSERT_NE(check, 0u);
  EXPECT_TRUE(client.Send(check, kBmClick, 0, 0, 4999));
  EXPECT_TRUE(sim.Printed("click マップマッチを有効にする on"));
  EXPECT_TRUE(client.Send(client.FindChild(dialog, Titled("OK", "Button")), kBmClick, 0, 0, 4999));
  EXPECT_FALSE(client.Info(dialog));
  // Opened again, the option remembers its state.
  EXPECT_TRUE(client.Post(main, kWmCommand, 32866, 0));
  ASSERT_TRUE(WaitFor([&] { return client.FindTopLevel(Titled("GPS/ルートガイド機能設定")) != 0; }, 5000));
  const ForeignHandle again = client.FindChild(client.FindTopLevel(Titled("GPS/ルートガイド機能設定")),
                                               Titled("マップマッチを有効にする"));
  EXPECT_TRUE(client.Send(again, kBmClick, 0, 0, 4999));
  EXPECT_TRUE(sim.Printed("click マップマッチを有効にする off"));

  // The guidance view goes with menu 32835; the panels with their "x" buttons.
  ForeignWindowClient::Match guidance = Titled("GuidanceView", "AfxFrameOrView42");
  EXPECT_NE(client.FindChild(main, guidance), 0u);
  EXPECT_TRUE(client.Post(main, kWmCommand, 32835, 0));
  EXPECT_TRUE(WaitFor([&] { return client.FindChild(main, guidance) == 0; }, 5000));
  const ForeignHandle panel = client.FindChild(main, Titled("ファンクションパネル", "NYControlBar"));
  ASSERT_NE(panel, 0u);
  EXPECT_TRUE(client.Post(client.FindChild(panel, Titled("x", "Button")), kBmClick, 0, 0));
  EXPECT_TRUE(sim.Printed("click x ファンクションパネル"));
  EXPECT_TRUE(WaitFor([&] { return !client.Info(panel); }, 5000));
  EXPECT_NE(client.FindChild(main, Titled("データマネージャパネル", "NYControlBar")), 0u);

  // The map view's keys and wheel; the bar's buttons and its probe pixel.
  const ForeignHandle map = client.FindChild(main, Titled("MapView"));
  EXPECT_TRUE(client.Post(map, 0x100, 0x20, 0));
  EXPECT_TRUE(client.Post(map, 0x101, 0x20, 0));
  EXPECT_TRUE(client.Post(map, 0x20A, -120 * 65536, 0));
  EXPECT_TRUE(sim.Printed("key down 0x20 MapView"));
  EXPECT_TRUE(sim.Printed("key up 0x20 MapView"));
  EXPECT_TRUE(sim.Printed("wheel -120 MapView"));
  const ForeignHandle bar = client.FindChild(main, Titled("MapControlBar"));
  std::vector<ForeignHandle> buttons;
  for (const auto& c : client.ChildWindows(bar, false))
    if (c.title.isEmpty()) buttons.push_back(c.handle);
  ASSERT_GE(buttons.size(), 4u);
  EXPECT_TRUE(client.Post(buttons[3], kBmClick, 0, 0));
  EXPECT_TRUE(sim.Printed("click MapControlBar button 4"));
  const auto probe = client.Capture(bar, 60, 24, 8, 8);
  ASSERT_TRUE(probe && probe->rgb.size() == 8 * 8 * 3);
  EXPECT_NE(probe->rgb.left(3), QByteArray(3, char(0xFF)));

  // The application-exit command ends it.
  EXPECT_TRUE(client.Post(main, kWmCommand, 57665, 0));
  EXPECT_EQ(sim.WaitEnd(5000), 0);
  EXPECT_EQ(Main(client), 0u);
}

TEST(NavinSimBus, AHangingSimulatorIsEndedByForce) {
  testing_sorrel::EnsureCoreApp();
  Sim sim({"--hang-on", "0"});
  ASSERT_TRUE(sim.ready());
  ForeignWindowClient client(500);
  const ForeignHandle main = Main(client);
  ASSERT_NE(main, 0u);
  EXPECT_FALSE(client.Send(main, 0, 0, 0, 500));  // WM_NULL: printed, then never answered
  EXPECT_TRUE(sim.Printed("hang"));
  EXPECT_EQ(client.ProcessId(main), uint32_t(sim.pid()));
  EXPECT_TRUE(client.Terminate(main));
  EXPECT_EQ(sim.WaitEnd(5000), 128 + SIGKILL);
}

TEST(NavinSimBus, CommandLineErrors) {
  const std::string dir = MakeTempDir();
  std::string out, err;
  EXPECT_EQ(testing_sorrel::Run({kSim, "--help"}, {}, dir, 10000, &out, &err), 0);
  EXPECT_NE(out.find("usage: sorrel-navin-sim"), std::string::npos);
  EXPECT_EQ(testing_sorrel::Run({kSim, "--speed", "fast"}, {}, dir, 10000, &out, &err), 2);
  EXPECT_NE(err.find("sorrel-navin-sim: --speed"), std::string::npos);
  EXPECT_EQ(testing_sorrel::Run({kSim, "--route", dir + "/none"}, {}, dir, 10000, &out, &err), 2);
  EXPECT_NE(err.find(dir + "/none"), std::string::npos);
  EXPECT_EQ(testing_sorrel::Run({kSim, "--hang-on", "x1"}, {}, dir, 10000, &out, &err), 2);
  EXPECT_EQ(testing_sorrel::Run({kSim, "--small", "stray"}, {}, dir, 10000, &out, &err), 2);
  // Without a session bus it says so and ends.
  EXPECT_EQ(testing_sorrel::Run(
                {kSim}, {"QT_QPA_PLATFORM=offscreen", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"}, dir,
                10000, &out, &err),
            3);
  EXPECT_NE(err.find("no session bus"), std::string::npos);
  std::system(("rm -rf " + dir).c_str());
}

namespace {

// The main window's side of the remote control, on the real clock: waits sleep, and
// what the control asks of the main window is noted.
struct Host : alarm::TNavinControlHostIntf {
  explicit Host(alarm::TNavinYou& navin) : navin(navin) {}
  void Wait(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  int NavinYouComWait() const override { return 20; }
  void Sleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  void ProcessMessages() override {}
  void ShowPopUp(const std::string& text) override { notes.push_back("pop-up " + text); }
  void MainWindowToForeground() override { notes.push_back("player forward"); }
  void MoveCursorOutside() override {}
  std::string HomeDir() const override { return "/nonexistent"; }
  void StartProgram(const std::string& path, const std::vector<std::string>&) override {
    notes.push_back("start " + path);
  }
  bool TarnLyric() const override { return true; }
  bool UseTNLink() const override { return true; }
  const alarm::TNavinWindows& NavinWindows() override { return navin.Windows(); }

  alarm::TNavinYou& navin;
  std::vector<std::string> notes;
};

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  return lines;
}

}  // namespace

TEST(NavinSimBus, EveryRemoteControlCommandArrives) {
  testing_sorrel::EnsureCoreApp();
  Sim sim({"--small"});
  ASSERT_TRUE(sim.ready());
  ForeignWindowClient client;
  app::TForeignNavinWindows windows(client);
  alarm::TNavinYou navin(windows, base::SystemClock());
  navin.FindNavinWindows();
  ASSERT_NE(navin.Windows().MapControlBar, 0u);
  Host host(navin);
  int mode = 4;
  alarm::TMapMatch mapMatch(mode);
  alarm::TNavinControl control(windows, host, mapMatch, base::SystemClock());

  for (int command = 39; command <= 67; ++command)
    if (command != 63) control.NavinYou(command);
  // Posts are asynchronous: all of them are in once the last one's answer is.
  ASSERT_TRUE(sim.Printed("mapmatch ask 1"));
  const std::string main = "Navin' You - Simulated drive";
  EXPECT_EQ(
      Lines(sim.Out()),
      (std::vector<std::string>{
          // 39..44
          "show forward " + main, "key down 0x20 MapView", "key up 0x20 MapView", "command 32912",
          "command 32992", "command 32993", "wheel +120 MapView", "wheel -120 MapView",
          // 45..50
          "click GPS", "command 33201", "command 33135", "click NorthUp", "command 32861", "command 33199",
          // 51, 52: the error box closed by its OK
          "command 32981", "click OK ルート再探索エラー", "command 32982",
          // 53..56: the bar's fourth, third, first and second untitled buttons
          "click MapControlBar button 4", "click MapControlBar button 3", "click MapControlBar button 1",
          "click MapControlBar button 2",
          // 57: sky view
          "command 33107",
          // 58..61: the settings dialog's options, each on its tab
          "command 32866", "show forward SysTabControl32", "button down 153,9 SysTabControl32",
          "button up 153,9 SysTabControl32", "tab 走行パス/マップマッチ", "click マップマッチを有効にする on",
          "click OK GPS/ルートガイド機能設定", "command 32866", "show forward SysTabControl32",
          "button down 153,9 SysTabControl32", "button up 153,9 SysTabControl32", "tab 走行パス/マップマッチ",
          "click 走行パスを記録(表示)する on", "click OK GPS/ルートガイド機能設定", "command 32866",
          "show forward SysTabControl32", "button down 73,9 SysTabControl32",
          "button up 73,9 SysTabControl32", "tab ルートガイド",
          "click ルートから外れた時に自動再探索を行う on", "click OK GPS/ルートガイド機能設定",
          "command 32866", "show forward SysTabControl32", "button down 73,9 SysTabControl32",
          "button up 73,9 SysTabControl32", "tab ルートガイド", "click 音声ルートガイドを行う on",
          "click OK GPS/ルートガイド機能設定",
          // 62: the guidance view closed, guidance ended, route cleared
          "command 32835", "command 33087", "command 33086",
          // 64, 65
          "show minimise " + main, "show restore " + main, "show forward " + main,
          // 66: both panels
          "click x ファンクションパネル", "click x データマネージャパネル",
          // 67: map match 4 -> 2, then the question
          "mapmatch set 2", "mapmatch ask 1"}));
  EXPECT_EQ(host.notes, (std::vector<std::string>{"player forward", "pop-up SKY VIEW = AUTO"}));

  // 68: closed through its menu; the window is gone when the command returns.
  control.NavinYou(68);
  EXPECT_EQ(sim.WaitEnd(5000), 0);
  const auto lines = Lines(sim.Out());
  EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
            (std::vector<std::string>{"command 33087", "command 57665"}));
  EXPECT_FALSE(control.Known());
  EXPECT_EQ(host.notes.size(), 2u);  // no forced close
}

TEST(NavinSimBus, AMinimisedHangingNavinYouIsClosedByForceWithThePopUp) {
  testing_sorrel::EnsureCoreApp();
  Sim sim({"--small", "--hang-on", "0"});
  ASSERT_TRUE(sim.ready());
  ForeignWindowClient client;
  app::TForeignNavinWindows windows(client);
  alarm::TNavinYou navin(windows, base::SystemClock());
  navin.FindNavinWindows();
  Host host(navin);
  int mode = 4;
  alarm::TMapMatch mapMatch(mode);
  alarm::TNavinControl control(windows, host, mapMatch, base::SystemClock());
  control.NavinYou(64);
  ASSERT_TRUE(sim.Printed("show minimise Navin' You - Simulated drive"));
  control.NavinYou(68);  // WM_NULL is never answered: ended after 4999 ms
  EXPECT_EQ(sim.WaitEnd(5000), 128 + SIGKILL);
  EXPECT_EQ(host.notes, (std::vector<std::string>{"pop-up Navin'You 強制終了中"}));
  EXPECT_FALSE(control.Known());
  const auto lines = Lines(sim.Out());
  EXPECT_EQ(lines.back(), "hang");
}
