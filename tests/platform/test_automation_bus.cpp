// Late-bound automation over a private session bus, against the real map simulator
// (sorrel-mapple-sim): every member of the map program's table by name, by-reference
// integers coming back changed, the failures (unknown name, bad arguments, a method told
// to fail, a hang reported by the time-out, a program that has ended), and the map link's
// worker driving the simulator through it.
#include "platform/desktop/BusAutomation.h"

#include "app/ui/ForeignWindowScreens.h"
#include "maplink/core/MappleLink.h"
#include "platform/desktop/ForeignWindows.h"
#include "tests/platform/CoreApp.h"
#include "tests/platform/ProcessHelpers.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

using namespace sorrel;
using namespace testing_sorrel;
using base::TAutoArg;
using base::TAutoStatus;
using base::TAutoValue;

namespace {

// The simulator in its own process, its window on the offscreen platform.
class Simulator {
 public:
  explicit Simulator(std::vector<std::string> args = {}) : dir_(MakeTempDir()) {
    std::vector<std::string> argv{SORREL_BUILD_DIR "/tools/mapple-sim/sorrel-mapple-sim"};
    argv.insert(argv.end(), args.begin(), args.end());
    child_ = Spawn(argv, {"QT_QPA_PLATFORM=offscreen"}, dir_);
    ready_ = WaitFor([&] { return Out().find("# serving") != std::string::npos; }, 10000);
  }
  ~Simulator() {
    Stop();
    std::system(("rm -rf " + dir_).c_str());
  }
  bool ready() const { return ready_; }
  std::string Out() const { return Slurp(child_.stdoutPath); }
  // The call lines printed so far.
  std::vector<std::string> Calls() const {
    std::vector<std::string> out;
    std::istringstream in(Out());
    for (std::string line; std::getline(in, line);)
      if (!line.empty() && line[0] != '#') out.push_back(line);
    return out;
  }
  bool Printed(const std::string& line, int ms = 5000) const {
    return WaitFor(
        [&] {
          const auto c = Calls();
          return std::find(c.begin(), c.end(), line) != c.end();
        },
        ms);
  }
  void Stop() {
    if (child_.pid > 0) {
      Kill(child_, SIGKILL);
      WaitExit(child_, 5000);
      child_.pid = -1;
    }
  }

 private:
  std::string dir_;
  Child child_;
  bool ready_ = false;
};

int64_t MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

int32_t IntOf(const base::TAutoResult& r) { return std::get<int32_t>(r.value); }

}  // namespace

TEST(AutomationNames, DerivedFromProgrammaticNames) {
  using desktop::BusNameForProgId;
  EXPECT_EQ(BusNameForProgId("Mapple.Document"), "org.sorrel.Automation.Mapple.Document");
  EXPECT_EQ(BusNameForProgId("My-App.Doc"), "org.sorrel.Automation.My-2DApp.Doc");
  EXPECT_EQ(BusNameForProgId("3D.View"), "org.sorrel.Automation.-33D.View");
  EXPECT_EQ(BusNameForProgId("Word"), "org.sorrel.Automation.Word");
  for (const char* bad : {"", ".", "a..b", "a.", ".a"}) EXPECT_EQ(BusNameForProgId(bad), "") << bad;
  EXPECT_EQ(BusNameForProgId(QString(300, QChar('x'))), "");
}

TEST(BusAutomation, NobodyServingTheNameIsNoServer) {
  testing_sorrel::EnsureCoreApp();
  desktop::BusAutomation automation;
  TAutoStatus status = TAutoStatus::Ok;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(automation.CreateObject("Mapple.Document", &status), nullptr);
  EXPECT_EQ(status, TAutoStatus::NoServer);
  EXPECT_LT(MsSince(start), 3000);
  EXPECT_EQ(automation.CreateObject("not..a.name", &status), nullptr);
  EXPECT_EQ(status, TAutoStatus::NoServer);
}

TEST(BusAutomation, EveryMemberOfTheMapProgram) {
  testing_sorrel::EnsureCoreApp();
  Simulator sim;
  ASSERT_TRUE(sim.ready()) << sim.Out();
  desktop::BusAutomation automation;
  auto map = automation.CreateObject("Mapple.Document");
  ASSERT_NE(map, nullptr);

  std::vector<TAutoArg> place{TAutoArg::Int(10), TAutoArg::Int(20), TAutoArg::Int(490), TAutoArg::Int(500)};
  EXPECT_TRUE(map->Call("MoveWindow", place).Ok());
  EXPECT_TRUE(map->Put("Visible", TAutoArg::Bool(true)).Ok());
  EXPECT_EQ(map->Get("Visible").value, TAutoValue(true));
  std::vector<TAutoArg> cls{TAutoArg::Int(2)}, zoom{TAutoArg::Int(300)};
  EXPECT_TRUE(map->Call("SetMapClass", cls).Ok());
  EXPECT_TRUE(map->Call("SetZoom", zoom).Ok());
  EXPECT_EQ(IntOf(map->Call("GetZoom")), 300);
  EXPECT_EQ(IntOf(map->Call("GetMapClass")), 2);
  // The window is where it was put (no window manager on the offscreen platform).
  EXPECT_EQ(IntOf(map->Call("GetWindowLeft")), 10);
  EXPECT_EQ(IntOf(map->Call("GetWindowTop")), 20);
  EXPECT_EQ(IntOf(map->Call("GetWindowRight")), 490);
  EXPECT_EQ(IntOf(map->Call("GetWindowBottom")), 500);
  EXPECT_TRUE(map->Call("DeleteAllCustom").Ok());

  // By reference: a centre inside the map stays, one outside comes back at the edge.
  std::vector<TAutoArg> xy{TAutoArg::RefInt(503100000), TAutoArg::RefInt(126900000)};
  EXPECT_TRUE(map->Call("Move", xy).Ok());
  EXPECT_EQ(xy[0].value, TAutoValue(503100000));
  std::vector<TAutoArg> off{TAutoArg::RefInt(-5), TAutoArg::RefInt(999999999)};
  EXPECT_TRUE(map->Call("Move", off).Ok());
  EXPECT_EQ(off[0].value, TAutoValue(120 * 3600000));
  EXPECT_EQ(off[1].value, TAutoValue(50 * 3600000));
  // The same by value: the caller's values are its own.
  std::vector<TAutoArg> byValue{TAutoArg::Int(-5), TAutoArg::Int(7)};
  EXPECT_TRUE(map->Call("Move", byValue).Ok());
  EXPECT_EQ(byValue[0].value, TAutoValue(-5));

  std::vector<TAutoArg> icon{TAutoArg::RefInt(503100000),
                             TAutoArg::RefInt(126900000),
                             TAutoArg::Str("ä\"b"),
                             TAutoArg::Str(""),
                             TAutoArg::Str(""),
                             TAutoArg::RefInt(5),
                             TAutoArg::Int(3),
                             TAutoArg::Int(-1),
                             TAutoArg::Int(-1),
                             TAutoArg::Int(0)};
  EXPECT_TRUE(map->Call("AddIcon", icon).Ok());

  EXPECT_EQ(sim.Calls(), (std::vector<std::string>{
                             "MoveWindow(10,20,490,500)",
                             "Visible=True",
                             "Visible -> True",
                             "SetMapClass(2)",
                             "SetZoom(300)",
                             "GetZoom() -> 300",
                             "GetMapClass() -> 2",
                             "GetWindowLeft() -> 10",
                             "GetWindowTop() -> 20",
                             "GetWindowRight() -> 490",
                             "GetWindowBottom() -> 500",
                             "DeleteAllCustom()",
                             "Move(&503100000,&126900000)",
                             "Move(&-5,&999999999) &1=432000000 &2=180000000",
                             "Move(-5,7)",
                             "AddIcon(&503100000,&126900000,\"ä\\\"b\",\"\",\"\",&5,3,-1,-1,0)",
                         }));
}

TEST(BusAutomation, UnknownNamesBadArgumentsAndToldFailures) {
  testing_sorrel::EnsureCoreApp();
  Simulator sim({"--fail", "SetZoom,GetMapClass"});
  ASSERT_TRUE(sim.ready()) << sim.Out();
  desktop::BusAutomation automation;
  auto map = automation.CreateObject("Mapple.Document");
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->Call("Explode").status, TAutoStatus::UnknownName);
  std::vector<TAutoArg> tooFew{TAutoArg::Int(1)};
  EXPECT_EQ(map->Call("MoveWindow", tooFew).status, TAutoStatus::BadArguments);
  std::vector<TAutoArg> wrongType{TAutoArg::Str("200")};
  EXPECT_EQ(map->Call("SetMapClass", wrongType).status, TAutoStatus::BadArguments);
  EXPECT_EQ(map->Put("Visible", TAutoArg::Int(1)).status, TAutoStatus::BadArguments);
  std::vector<TAutoArg> zoom{TAutoArg::Int(300)};
  const base::TAutoResult failed = map->Call("SetZoom", zoom);
  EXPECT_EQ(failed.status, TAutoStatus::Failed);
  EXPECT_NE(failed.message.find("SetZoom"), std::string::npos);
  EXPECT_EQ(map->Call("GetMapClass").status, TAutoStatus::Failed);
  // A failure is the call's own: the object goes on answering.
  EXPECT_EQ(IntOf(map->Call("GetZoom")), 200);
  // A by-reference argument without a value of its own type is refused before sending.
  std::vector<TAutoArg> none{TAutoArg{}};
  EXPECT_EQ(map->Call("Move", none).status, TAutoStatus::BadArguments);
  EXPECT_TRUE(sim.Printed("SetZoom(300) !failed"));
  EXPECT_TRUE(sim.Printed("Explode() !unknown name"));
}

TEST(BusAutomation, AHangIsReportedByTheTimeOut) {
  testing_sorrel::EnsureCoreApp();
  Simulator sim({"--hang", "GetZoom"});
  ASSERT_TRUE(sim.ready()) << sim.Out();
  desktop::BusAutomation automation(/*callMs=*/400);
  auto map = automation.CreateObject("Mapple.Document");
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(IntOf(map->Call("GetMapClass")), 1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(map->Call("GetZoom").status, TAutoStatus::TimedOut);
  EXPECT_LT(MsSince(start), 3000);
  EXPECT_GE(MsSince(start), 350);
  // It answers nothing any more.
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(map->Call("GetMapClass").status, TAutoStatus::TimedOut);
  EXPECT_LT(MsSince(start), 3000);
  EXPECT_TRUE(sim.Printed("GetZoom() !hang"));
}

TEST(BusAutomation, AnObjectDoesNotOutliveItsProgram) {
  testing_sorrel::EnsureCoreApp();
  desktop::BusAutomation automation;
  auto first = std::make_unique<Simulator>();
  ASSERT_TRUE(first->ready());
  auto map = automation.CreateObject("Mapple.Document");
  ASSERT_NE(map, nullptr);
  first->Stop();
  EXPECT_EQ(map->Call("GetZoom").status, TAutoStatus::Gone);
  // A new program under the same name is not the old object.
  Simulator second;
  ASSERT_TRUE(second.ready());
  EXPECT_EQ(map->Call("GetZoom").status, TAutoStatus::Gone);
  auto fresh = automation.CreateObject("Mapple.Document");
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(IntOf(fresh->Call("GetZoom")), 200);
}

// The map link's worker over the bus.  The desktop's windows are faked: any rectangle
// asked for is the map's window.
namespace {

struct AnyWindow final : maplink::TMappleWindowsIntf {
  maplink::TMapWindow FindWindow(const std::string&, const maplink::TMapRect&) override { return 1; }
  bool IsMinimised(maplink::TMapWindow) override { return false; }
  bool IsMaximised(maplink::TMapWindow) override { return false; }
  void ShowNormal(maplink::TMapWindow) override {}
  void ShowMaximised(maplink::TMapWindow) override {}
  void ForceForeground(maplink::TMapWindow) override {}
};

struct QuietHost final : maplink::TMappleHostIntf {
  void SetAppStartingCursor() override {}
  void ProcessMessages() override {}
  void RestoreCursor() override {}
  void SetCheckTimer(bool) override {}
  void SetMapWindow(maplink::TMapWindow) override {}
};

bool WaitIdle(const maplink::TMappleLink& link, int ms = 10000) {
  return WaitFor([&] { return link.Queued() == 0 && !link.Busy(); }, ms);
}

}  // namespace

TEST(MappleLinkOverTheBus, ConnectsDrawsAndRecentres) {
  testing_sorrel::EnsureCoreApp();
  Simulator sim;
  ASSERT_TRUE(sim.ready());
  desktop::BusAutomation automation;
  AnyWindow windows;
  QuietHost host;
  maplink::TMappleLink link(automation, windows, host);
  maplink::TMappleLinkSettings s;
  s.MappleClass = 0;
  s.MappleZoom = 250;
  link.ApplyMappleLink(s);
  ASSERT_TRUE(link.SendMappleCommand('E'));
  ASSERT_TRUE(WaitIdle(link));
  EXPECT_TRUE(link.Active());
  link.SetPosition(35.25, 139.75, 200);
  ASSERT_TRUE(link.SendMappleCommand('N'));
  ASSERT_TRUE(WaitIdle(link));
  const std::vector<std::string> calls = sim.Calls();
  const std::vector<std::string> expected{
      "MoveWindow(0,0,480,480)", "Visible=True", "SetMapClass(0)", "SetZoom(250)", "GetWindowLeft() -> 0",
      "GetWindowTop() -> 0", "GetWindowRight() -> 480", "GetWindowBottom() -> 480", "Visible=True",
      "SetMapClass(0)", "SetZoom(250)",
      // "N": the state, then the icon (200 degrees: icon 10) after recentring.
      "GetZoom() -> 250", "GetMapClass() -> 0", "GetWindowLeft() -> 0", "GetWindowTop() -> 0",
      "GetWindowRight() -> 480", "GetWindowBottom() -> 480", "DeleteAllCustom()",
      "Move(&503100000,&126900000)", "AddIcon(&503100000,&126900000,\"\",\"\",\"\",&10,3,-1,-1,0)"};
  EXPECT_EQ(calls, expected);
  // 413 * 5120 / 250 / 3
  EXPECT_EQ(link.Threshold(), 2819);

  // Figures: from queuing "N" to the worker idle again (its reading of the map's state,
  // the icon, recentring every other time, and the 49 ms pause after the command).
  std::vector<int64_t> micros;
  for (int i = 0; i < 20; ++i) {
    link.SetPosition(35.25 + (i % 2) * 0.05, 139.75, i * 18.0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(link.SendMappleCommand('N'));
    while (link.Queued() > 0 || link.Busy()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    micros.push_back(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(micros.begin(), micros.end());
  std::printf(
      "[ figures  ] \"N\" over the bus, queued to done: median %.1f ms, max %.1f ms (49 ms pause included)\n",
      micros[micros.size() / 2] / 1000.0, micros.back() / 1000.0);
  const std::vector<std::string> after = sim.Calls();
  EXPECT_EQ(std::count_if(after.begin() + long(expected.size()), after.end(),
                          [](const std::string& l) { return l.starts_with("AddIcon("); }),
            20);
}

TEST(MappleLinkOverTheBus, AHangingMapDropsTheConnectionAndEConnectsAfresh) {
  testing_sorrel::EnsureCoreApp();
  desktop::BusAutomation automation(/*callMs=*/400);
  AnyWindow windows;
  QuietHost host;
  maplink::TMappleLink link(automation, windows, host);
  {
    Simulator sim({"--hang", "GetZoom"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(link.SendMappleCommand('E'));
    ASSERT_TRUE(WaitIdle(link));
    ASSERT_TRUE(link.Connected());
    ASSERT_TRUE(link.SendMappleCommand('H'));
    ASSERT_TRUE(WaitIdle(link));
    EXPECT_FALSE(link.Connected());
    EXPECT_TRUE(sim.Printed("GetZoom() !hang"));
  }
  Simulator again;
  ASSERT_TRUE(again.ready());
  ASSERT_TRUE(link.SendMappleCommand('E'));
  ASSERT_TRUE(WaitIdle(link));
  EXPECT_TRUE(link.Connected());
  EXPECT_TRUE(again.Printed("MoveWindow(0,0,480,480)"));
}

TEST(MappleLinkOverTheBus, ShutdownDuringAHangingCallEndsByTheTimeOut) {
  testing_sorrel::EnsureCoreApp();
  Simulator sim({"--hang", "SetZoom"});
  ASSERT_TRUE(sim.ready());
  desktop::BusAutomation automation(/*callMs=*/1500);
  AnyWindow windows;
  QuietHost host;
  auto link = std::make_unique<maplink::TMappleLink>(automation, windows, host);
  ASSERT_TRUE(link->SendMappleCommand('E'));
  ASSERT_TRUE(sim.Printed("SetZoom(200) !hang"));
  for (char c : std::string("EEEE")) link->SendMappleCommand(c);
  const auto start = std::chrono::steady_clock::now();
  link.reset();
  EXPECT_LT(MsSince(start), 3000);
}

// The map link finds the map program's window among the desktop's windows by a part of
// its title and its exact rectangle, and shows it minimised, normal or maximised.
TEST(BusAutomation, TheMapWindowAmongTheDesktopsWindows) {
  testing_sorrel::EnsureCoreApp();
  Simulator sim;
  ASSERT_TRUE(sim.ready()) << sim.Out();
  desktop::BusAutomation automation;
  auto map = automation.CreateObject("Mapple.Document");
  ASSERT_NE(map, nullptr);
  std::vector<TAutoArg> place{TAutoArg::Int(10), TAutoArg::Int(20), TAutoArg::Int(490), TAutoArg::Int(500)};
  ASSERT_TRUE(map->Call("MoveWindow", place).Ok());
  ASSERT_TRUE(map->Put("Visible", TAutoArg::Bool(true)).Ok());

  desktop::ForeignWindowClient client;
  app::TForeignMappleWindows windows(client);
  const maplink::TMapRect rect{10, 20, 490, 500};
  const maplink::TMapWindow w = windows.FindWindow(" - Super Mapple Digital Ver ", rect);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(windows.FindWindow(" - Super Mapple Digital Ver ", {10, 20, 490, 501}), 0u);
  EXPECT_EQ(windows.FindWindow("Super Mapple Digital Ver 6", rect), 0u);
  // Moved, it is found at its new place only.
  std::vector<TAutoArg> moved{TAutoArg::Int(0), TAutoArg::Int(0), TAutoArg::Int(300), TAutoArg::Int(200)};
  ASSERT_TRUE(map->Call("MoveWindow", moved).Ok());
  EXPECT_EQ(windows.FindWindow("Super Mapple", rect), 0u);
  EXPECT_EQ(windows.FindWindow("Super Mapple", {0, 0, 300, 200}), w);
  // As the map link's worker asks: from a thread of its own.
  maplink::TMapWindow fromWorker = 0;
  bool minimisedFromWorker = true;
  std::thread worker([&] {
    fromWorker = windows.FindWindow("Super Mapple", {0, 0, 300, 200});
    minimisedFromWorker = windows.IsMinimised(fromWorker);
  });
  worker.join();
  EXPECT_EQ(fromWorker, w);
  EXPECT_FALSE(minimisedFromWorker);

  EXPECT_FALSE(windows.IsMinimised(w));
  EXPECT_TRUE(client.Show(w, desktop::ShowCommand::Minimise));
  EXPECT_TRUE(windows.IsMinimised(w));
  windows.ShowNormal(w);
  EXPECT_FALSE(windows.IsMinimised(w));
  EXPECT_FALSE(windows.IsMaximised(w));
  windows.ShowMaximised(w);
  EXPECT_TRUE(windows.IsMaximised(w));
  windows.ForceForeground(w);
  EXPECT_TRUE(sim.Printed("show minimise"));
  const auto calls = sim.Calls();
  const std::vector<std::string> shows(std::find(calls.begin(), calls.end(), "show minimise"), calls.end());
  EXPECT_EQ(shows, (std::vector<std::string>{"show minimise", "show normal", "show forward", "show maximise",
                                             "show forward"}));

  // Gone with its program: nothing is found and the old handle does nothing.
  sim.Stop();
  EXPECT_TRUE(WaitFor([&] { return windows.FindWindow("Super Mapple", {0, 0, 300, 200}) == 0; }, 5000));
  EXPECT_FALSE(windows.IsMaximised(w));
  windows.ShowNormal(w);
}
