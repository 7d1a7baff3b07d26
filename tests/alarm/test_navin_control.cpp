// Navin'You's remote control, commands 39..68, against a fake Navin'You: a window tree
// that answers menu commands, clicks and sends as the program does, on a fake clock.
// Every message the player sends or posts lands in one log, named by window, so each
// test states the whole exchange in order.
#include "AlarmFakes.h"
#include "alarm/core/MapMatch.h"
#include "alarm/core/NavinControl.h"
#include "alarm/core/NavinScreen.h"

#include <gtest/gtest.h>

#include <fstream>

namespace sorrel::alarm {
namespace {

using testing::TempDir;

// The message numbers of the windowing system and of Navin'You's map-match exchange.
std::string MessageName(uint32_t msg) {
  switch (msg) {
    case 0x0000:
      return "WM_NULL";
    case 0x0100:
      return "WM_KEYDOWN";
    case 0x0101:
      return "WM_KEYUP";
    case 0x0111:
      return "WM_COMMAND";
    case 0x00F5:
      return "BM_CLICK";
    case 0x0201:
      return "WM_LBUTTONDOWN";
    case 0x0202:
      return "WM_LBUTTONUP";
    case 0x020A:
      return "WM_MOUSEWHEEL";
    case 0x0699:
      return "MM_SET";
    case 0x0698:
      return "MM_APPLY";
    default:
      return "msg" + std::to_string(msg);
  }
}

struct Journal {
  std::vector<std::string> lines;
  std::vector<int64_t> times;  // ms of the fake clock, one per line
  // The lines without the given ones (the search retries, mostly).
  std::vector<std::string> Without(const std::string& skip = "wait 99") const {
    std::vector<std::string> out;
    for (const std::string& l : lines)
      if (l != skip) out.push_back(l);
    return out;
  }
  int Count(const std::string& line) const { return int(std::count(lines.begin(), lines.end(), line)); }
  int CountPrefix(const std::string& prefix) const {
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.starts_with(prefix); }));
  }
  int64_t TimeOf(const std::string& line) const {
    const auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : times[size_t(it - lines.begin())];
  }
};

// Navin'You's windows and how it answers.
class FakeNavin : public TNavinWindowsIntf {
 public:
  struct Window {
    std::string name, cls, title;
    TWindowHandle parent = 0;
    bool minimised = false;
    bool hung = false;
    bool checked = false;
  };

  FakeNavin(base::TFakeClock& clock, Journal& journal) : clock_(clock), journal_(journal) {}

  // How the program reacts.
  bool errorBoxesClose = true;        // a click on a box's OK closes it
  int64_t settingsOpenDelayMs = 300;  // after menu 32866; -1: never
  bool settingsHaveTabs = true;
  int64_t exitDelayMs = 300;  // after menu 57665; -1: never
  bool terminateEnds = true;  // process termination removes the windows
  TRgbImage probe{8, 8, std::vector<uint8_t>(8 * 8 * 3, 0xFF)};

  TWindowHandle Add(const std::string& name, const std::string& parent, const std::string& cls,
                    const std::string& title) {
    const TWindowHandle h = next_++;
    windows_[h] = {name, cls, title, parent.empty() ? 0 : H(parent)};
    order_.push_back(h);
    return h;
  }
  TWindowHandle H(const std::string& name) const {
    for (const auto& [h, w] : windows_)
      if (w.name == name) return h;
    ADD_FAILURE() << "no window " << name;
    return 0;
  }
  Window& W(const std::string& name) { return windows_.at(H(name)); }
  bool Has(const std::string& name) const {
    return std::any_of(windows_.begin(), windows_.end(),
                       [&](const auto& w) { return w.second.name == name; });
  }
  void Remove(TWindowHandle h) {
    for (TWindowHandle c : Children(h)) Remove(c);
    windows_.erase(h);
    std::erase(order_, h);
  }
  void RemoveAll() {
    windows_.clear();
    order_.clear();
  }

  // The main window with its map, buttons, the control bar with five untitled buttons,
  // and the two panels with their close buttons.
  void Build() {
    Add("main", "", "Navin' You", "Navin' You - 東京");
    Add("frame", "main", "AfxFrameOrView42", "");
    Add("map", "frame", "AfxWnd42", "MapView");
    Add("gps", "main", "Button", "GPS");
    Add("northup", "main", "Button", "NorthUp");
    Add("bar", "frame", "AfxControlBar42", "MapControlBar");
    Add("label", "bar", "Static", "");
    for (int i = 1; i <= 5; ++i) Add("b" + std::to_string(i), "bar", "Button", "");
    Add("function", "frame", "NYControlBar", "ファンクションパネル");
    Add("function.help", "function", "Button", "?");
    Add("function.x", "function", "Button", "x");
    Add("data", "frame", "NYControlBar", "データマネージャパネル");
    Add("data.x", "data", "Button", "x");
  }
  void AddGuidanceView() {
    Add("guidance", "frame", "#32770", "");
    Add("guidance.view", "guidance", "AfxFrameOrView42", "GuidanceView");
  }
  void AddErrorBox(const std::string& name) {
    Add(name, "", "#32770", "ルート再探索エラー");
    Add(name + ".text", name, "Static", "ルートが見つかりません");
    Add(name + ".ok", name, "Button", "OK");
  }
  void AddSettingsDialog() {
    Add("settings", "", "#32770", "GPS/ルートガイド機能設定");
    if (settingsHaveTabs) Add("tabs", "settings", "SysTabControl32", "");
    Add("settings.cancel", "settings", "Button", "キャンセル");
    Add("settings.ok", "settings", "Button", "OK");
  }

  // Runs what has come due.
  void Tick() {
    for (size_t i = 0; i < due_.size();) {
      if (due_[i].first <= Now()) {
        auto action = std::move(due_[i].second);
        due_.erase(due_.begin() + long(i));
        action();
        i = 0;
      } else {
        ++i;
      }
    }
  }

  bool Post(TWindowHandle h, uint32_t msg, intptr_t wParam, intptr_t lParam) override {
    if (!windows_.count(h)) return false;
    Note("post " + windows_[h].name + " " + MessageName(msg) + " " + std::to_string(wParam) + " " +
         std::to_string(lParam));
    const Window w = windows_[h];
    if (w.hung) return true;
    if (msg == 0xF5 && w.title == "OK" && windows_.count(w.parent) &&
        windows_[w.parent].title == "ルート再探索エラー" && errorBoxesClose)
      Remove(w.parent);
    if (msg == 0x111 && wParam == 32866 && settingsOpenDelayMs >= 0)
      At(settingsOpenDelayMs, [this] {
        if (!Has("settings")) AddSettingsDialog();
      });
    if (msg == 0x111 && wParam == 57665 && exitDelayMs >= 0) At(exitDelayMs, [this] { RemoveAll(); });
    return true;
  }
  bool Send(TWindowHandle h, uint32_t msg, intptr_t wParam, intptr_t lParam, int timeoutMs) override {
    if (!windows_.count(h)) return false;
    const std::string line = "send " + windows_[h].name + " " + MessageName(msg) + " " +
                             std::to_string(wParam) + " " + std::to_string(lParam);
    if (windows_[h].hung) {
      clock_.Advance(int64_t(timeoutMs) * 1000);
      Note(line + " timed out");
      return false;
    }
    Note(line);
    Window& w = windows_[h];
    if (msg == 0xF5 && w.cls == "Button") w.checked = !w.checked;
    // The tab control shows a page when clicked on its tab: 走行パス/マップマッチ spans
    // x 110..190, ルートガイド x 40..110, both y 0..20.
    if (msg == 0x202 && w.cls == "SysTabControl32") {
      const int x = int(lParam & 0xFFFF), y = int(lParam >> 16);
      if (y >= 0 && y < 20 && x >= 110 && x < 190 && !Has("page.path")) {
        Add("page.path", "settings", "#32770", "走行パス/マップマッチ");
        Add("check.58", "page.path", "Button", "マップマッチを有効にする");
        Add("check.59", "page.path", "Button", "走行パスを記録(表示)する");
      }
      if (y >= 0 && y < 20 && x >= 40 && x < 110 && !Has("page.guide")) {
        Add("page.guide", "settings", "#32770", "ルートガイド");
        Add("check.60", "page.guide", "Button", "ルートから外れた時に自動再探索を行う");
        Add("check.61", "page.guide", "Button", "音声ルートガイドを行う");
      }
    }
    return true;
  }
  bool IsMinimized(TWindowHandle h) override { return windows_.count(h) && windows_[h].minimised; }
  void Minimize(TWindowHandle h) override {
    if (!windows_.count(h)) return;
    Note("minimise " + windows_[h].name);
    windows_[h].minimised = true;
  }
  void Restore(TWindowHandle h) override {
    if (!windows_.count(h)) return;
    Note("restore " + windows_[h].name);
    windows_[h].minimised = false;
  }
  TWindowHandle Parent(TWindowHandle h) override { return windows_.count(h) ? windows_[h].parent : 0; }
  TWindowHandle FindTopLevelWindow(std::string_view cls, std::optional<std::string_view> title) override {
    for (TWindowHandle h : order_)
      if (windows_[h].parent == 0 && windows_[h].cls == cls && (!title || windows_[h].title == *title))
        return h;
    return 0;
  }
  bool TerminateOwner(TWindowHandle h) override {
    if (!windows_.count(h)) return false;
    Note("terminate " + windows_[h].name);
    if (terminateEnds) RemoveAll();
    return terminateEnds;
  }

  std::vector<TForeignWindow> TopLevelWindows() override {
    std::vector<TForeignWindow> out;
    for (TWindowHandle h : order_)
      if (windows_[h].parent == 0) out.push_back({h, windows_[h].cls, windows_[h].title});
    return out;
  }
  std::vector<TForeignWindow> ChildWindows(TWindowHandle parent) override {
    std::vector<TForeignWindow> out;
    for (TWindowHandle c : Children(parent)) {
      out.push_back({c, windows_[c].cls, windows_[c].title});
      for (const TForeignWindow& d : ChildWindows(c)) out.push_back(d);
    }
    return out;
  }
  TWindowHandle FindWindowByClass(std::string_view cls) override {
    return FindTopLevelWindow(cls, std::nullopt);
  }
  bool IsVisible(TWindowHandle h) override { return windows_.count(h) != 0; }
  std::optional<TWindowRect> WindowRect(TWindowHandle h) override {
    if (!windows_.count(h)) return std::nullopt;
    return TWindowRect{0, 0, 640, 480};
  }
  bool Capture(TWindowHandle h, int x, int y, int width, int height, TRgbImage& image) override {
    if (!windows_.count(h)) return false;
    Note("capture " + windows_[h].name + " " + std::to_string(x) + "," + std::to_string(y) + " " +
         std::to_string(width) + "x" + std::to_string(height));
    image = probe;
    return true;
  }
  void ForceForeground(TWindowHandle h) override {
    if (windows_.count(h)) Note("foreground " + windows_[h].name);
  }
  void KeyEvent(uint8_t vk, bool up) override { Note("key " + std::to_string(vk) + (up ? " up" : " down")); }

  void Note(const std::string& line) {
    journal_.lines.push_back(line);
    journal_.times.push_back(Now());
  }
  int64_t Now() { return clock_.NowMicros() / 1000; }
  void At(int64_t afterMs, std::function<void()> action) {
    due_.emplace_back(Now() + afterMs, std::move(action));
  }

 private:
  std::vector<TWindowHandle> Children(TWindowHandle parent) {
    std::vector<TWindowHandle> out;
    for (TWindowHandle h : order_)
      if (windows_[h].parent == parent) out.push_back(h);
    return out;
  }

  base::TFakeClock& clock_;
  Journal& journal_;
  std::map<TWindowHandle, Window> windows_;
  std::vector<TWindowHandle> order_;
  std::vector<std::pair<int64_t, std::function<void()>>> due_;
  TWindowHandle next_ = 100;
};

// The main window: waits and sleeps move the fake clock and let Navin'You act.
class FakeHost : public TNavinControlHostIntf {
 public:
  FakeHost(FakeNavin& navin, base::TFakeClock& clock, TNavinYou& finder)
      : navin_(navin), clock_(clock), finder_(finder) {}
  void Wait(int ms) override {
    navin_.Note("wait " + std::to_string(ms));
    Pass(ms);
  }
  int NavinYouComWait() const override { return comWait; }
  void Sleep(int ms) override {
    navin_.Note("sleep " + std::to_string(ms));
    Pass(ms);
  }
  void ProcessMessages() override {
    navin_.Note("process messages");
    navin_.Tick();
  }
  void ShowPopUp(const std::string& text) override { navin_.Note("popup " + text); }
  void MainWindowToForeground() override { navin_.Note("player to foreground"); }
  void MoveCursorOutside() override { navin_.Note("cursor outside"); }
  std::string HomeDir() const override { return home; }
  void StartProgram(const std::string& path, const std::vector<std::string>& args) override {
    std::string line = "start " + path;
    for (const std::string& a : args) line += " " + a;
    navin_.Note(line);
  }
  bool TarnLyric() const override { return tarnLyric; }
  bool UseTNLink() const override { return useTNLink; }
  const TNavinWindows& NavinWindows() override { return finder_.Windows(); }

  bool tarnLyric = true, useTNLink = true;
  int comWait = 50;
  std::string home = "/nonexistent-sorrel-home";

 private:
  void Pass(int ms) {
    clock_.Advance(int64_t(ms) * 1000);
    navin_.Tick();
  }
  FakeNavin& navin_;
  base::TFakeClock& clock_;
  TNavinYou& finder_;
};

class NavinControlTest : public ::testing::Test {
 protected:
  NavinControlTest()
      : clock(5'000'000),
        navin(clock, journal),
        finder(navin, clock),
        host(navin, clock, finder),
        mapMatch(mode),
        control(navin, host, mapMatch, clock) {}

  // Navin'You running, its windows found as the alarm finds them.
  void StartNavin() {
    navin.Build();
    finder.FindNavinWindows();
    ASSERT_EQ(finder.Windows().Main, navin.H("main"));
    ASSERT_EQ(finder.Windows().MapControlButtons[3], navin.H("b4"));
  }
  std::vector<std::string> Run(int command) {
    journal = {};
    control.NavinYou(command);
    return journal.lines;
  }
  int64_t Now() { return clock.NowMicros() / 1000; }

  base::TFakeClock clock;
  Journal journal;
  FakeNavin navin;
  TNavinYou finder;
  FakeHost host;
  int mode = 4;
  TMapMatch mapMatch;
  TNavinControl control;
};

using Lines = std::vector<std::string>;

TEST_F(NavinControlTest, NothingHappensWithoutNavinYou) {
  // Not even a launcher without its file.
  for (int command = 39; command <= 68; ++command) EXPECT_EQ(Run(command), Lines{}) << command;
  EXPECT_EQ(control.SkyViewCounter(), 0);
  // Windows found once and gone since: the stale handles are not used.
  StartNavin();
  navin.RemoveAll();
  for (int command = 39; command <= 68; ++command) EXPECT_EQ(Run(command), Lines{}) << command;
  EXPECT_EQ(Now(), 5000);
}

TEST_F(NavinControlTest, MinimisedNavinYouOnlyRestoresClosesAndTakesPanelAndModeCommands) {
  StartNavin();
  navin.W("main").minimised = true;
  for (int command = 39; command <= 68; ++command) {
    if (command == 63 || command == 65 || command == 66 || command == 67 || command == 68) continue;
    EXPECT_EQ(Run(command), Lines{}) << command;
  }
  EXPECT_EQ(Run(67), (Lines{"post main MM_SET 2 0", "post main MM_APPLY 1 0"}));
  EXPECT_EQ(Run(66), (Lines{"post function.x BM_CLICK 0 0", "post data.x BM_CLICK 0 0", "wait 99"}));
  // Closing a minimised Navin'You only probes it.
  EXPECT_EQ(Run(68), Lines{"send main WM_NULL 0 0"});
  EXPECT_EQ(Run(63), Lines{"send main WM_NULL 0 0"});
  EXPECT_EQ(Run(65), (Lines{"restore main", "foreground main"}));
  EXPECT_FALSE(navin.W("main").minimised);
}

TEST_F(NavinControlTest, MenuCommandsArePostedToTheMainWindow) {
  StartNavin();
  const std::pair<int, int> menus[] = {{40, 32912}, {41, 32992}, {42, 32993}, {46, 33201},
                                       {47, 33135}, {49, 32861}, {50, 33199}, {52, 32982}};
  for (const auto& [command, id] : menus)
    EXPECT_EQ(Run(command), Lines{"post main WM_COMMAND " + std::to_string(id) + " 0"}) << command;
  // The neighbours are not Navin'You's.
  EXPECT_EQ(Run(38), Lines{});
  EXPECT_EQ(Run(69), Lines{});
}

TEST_F(NavinControlTest, SpaceAndWheelGoToTheMapView) {
  StartNavin();
  EXPECT_EQ(Run(39), (Lines{"foreground main", "post map WM_KEYDOWN 32 0", "post map WM_KEYUP 32 0",
                            "player to foreground"}));
  EXPECT_EQ(Run(43), Lines{"post map WM_MOUSEWHEEL 7864320 0"});     // 0x00780000
  EXPECT_EQ(Run(44), Lines{"post map WM_MOUSEWHEEL 4287102976 0"});  // 0xFF880000
  // The main window's own forwarding: an unmapped key and the wheel.
  journal = {};
  control.ForwardKey(0x42);
  control.WheelStep(0);
  control.WheelStep(-1);
  EXPECT_EQ(journal.lines,
            (Lines{"post map WM_KEYDOWN 66 0", "post map WM_KEYUP 66 0", "post map WM_MOUSEWHEEL 7864320 0",
                   "post map WM_MOUSEWHEEL 4287102976 0"}));
  // A minimised Navin'You gets no keys; the wheel only needs the map view.
  navin.W("main").minimised = true;
  journal = {};
  control.ForwardKey(0x42);
  control.WheelStep(120);
  EXPECT_EQ(journal.lines, Lines{"post map WM_MOUSEWHEEL 7864320 0"});
}

TEST_F(NavinControlTest, WithoutAMapViewSpaceAndKeysGoNowhere) {
  navin.Build();
  navin.Remove(navin.H("map"));
  finder.FindNavinWindows();
  EXPECT_EQ(Run(39), Lines{});
  EXPECT_EQ(Run(43), Lines{});
  journal = {};
  control.ForwardKey(0x42);
  EXPECT_EQ(journal.lines, Lines{});
}

TEST_F(NavinControlTest, ButtonClicks) {
  StartNavin();
  EXPECT_EQ(Run(45), Lines{"post gps BM_CLICK 0 0"});
  EXPECT_EQ(Run(48), Lines{"post northup BM_CLICK 0 0"});
  EXPECT_EQ(Run(53), Lines{"post b4 BM_CLICK 0 0"});
  EXPECT_EQ(Run(54), Lines{"post b3 BM_CLICK 0 0"});
  // The GPS button wants "Tarn_Lyric" or the position link; the others do not.
  host.tarnLyric = false;
  EXPECT_EQ(Run(45), Lines{"post gps BM_CLICK 0 0"});
  host.useTNLink = false;
  EXPECT_EQ(Run(45), Lines{});
  EXPECT_EQ(Run(48), Lines{"post northup BM_CLICK 0 0"});
  host.tarnLyric = true;
  EXPECT_EQ(Run(45), Lines{"post gps BM_CLICK 0 0"});
}

TEST_F(NavinControlTest, ProbeClicksTheFirstButtonsOnlyWhenColoured) {
  StartNavin();
  // White: nothing to click.
  EXPECT_EQ(Run(55), Lines{"capture bar 60,24 8x8"});
  EXPECT_EQ(Run(56), Lines{"capture bar 60,24 8x8"});
  // Only the top-left pixel counts.
  navin.probe.Pixels[3] = 0;
  EXPECT_EQ(Run(55), Lines{"capture bar 60,24 8x8"});
  navin.probe.Pixels[2] = 0xFE;  // its blue, one step from white
  EXPECT_EQ(Run(55), (Lines{"capture bar 60,24 8x8", "post b1 BM_CLICK 0 0"}));
  EXPECT_EQ(Run(56), (Lines{"capture bar 60,24 8x8", "post b2 BM_CLICK 0 0"}));
  // A peer answering with another size, or a short buffer, shows nothing.
  navin.probe.Width = 7;
  EXPECT_EQ(Run(55), Lines{"capture bar 60,24 8x8"});
  navin.probe.Width = 8;
  navin.probe.Pixels.resize(10);
  EXPECT_EQ(Run(55), Lines{"capture bar 60,24 8x8"});
}

TEST_F(NavinControlTest, SkyViewCyclesThroughTheFiveViews) {
  StartNavin();
  const char* names[] = {"AUTO", "MORNING", "DAYTIME", "EVENING", "NIGHT", "AUTO", "MORNING"};
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(Run(57), (Lines{"post main WM_COMMAND " + std::to_string(33107 + i % 5) + " 0",
                              std::string("popup SKY VIEW = ") + names[i]}))
        << i;
  // A minimised Navin'You does not move the counter on.
  navin.W("main").minimised = true;
  EXPECT_EQ(Run(57), Lines{});
  navin.W("main").minimised = false;
  EXPECT_EQ(Run(57), (Lines{"post main WM_COMMAND 33109 0", "popup SKY VIEW = DAYTIME"}));
}

TEST_F(NavinControlTest, RerouteClosesErrorBoxesUntilNoneIsLeft) {
  StartNavin();
  navin.AddErrorBox("box1");
  navin.AddErrorBox("box2");
  navin.AddErrorBox("box3");
  EXPECT_EQ(Run(51), (Lines{"post main WM_COMMAND 32981 0", "wait 499", "post box1.ok BM_CLICK 0 0",
                            "post box2.ok BM_CLICK 0 0", "post box3.ok BM_CLICK 0 0", "wait 99"}));
  EXPECT_FALSE(navin.Has("box1") || navin.Has("box2") || navin.Has("box3"));
  // A box that appears during the wait is closed too.
  journal = {};
  navin.At(200, [this] { navin.AddErrorBox("late"); });
  EXPECT_EQ(Run(51),
            (Lines{"post main WM_COMMAND 32981 0", "wait 499", "post late.ok BM_CLICK 0 0", "wait 99"}));
}

TEST_F(NavinControlTest, AnErrorBoxThatStaysDoesNotHoldThePlayerForEver) {
  StartNavin();
  navin.errorBoxesClose = false;
  navin.AddErrorBox("stuck");
  Run(51);
  const int clicks = journal.Count("post stuck.ok BM_CLICK 0 0");
  EXPECT_GT(clicks, 1);
  EXPECT_LE(clicks, 100);
  EXPECT_TRUE(navin.Has("stuck"));
}

TEST_F(NavinControlTest, PanelsAreClosedThenErrorBoxes) {
  StartNavin();
  navin.AddErrorBox("box");
  EXPECT_EQ(Run(66), (Lines{"post function.x BM_CLICK 0 0", "post data.x BM_CLICK 0 0",
                            "post box.ok BM_CLICK 0 0", "wait 99"}));
  // Without the panels only the boxes are looked for.
  navin.Remove(navin.H("function"));
  navin.Remove(navin.H("data"));
  EXPECT_EQ(Run(66), Lines{"wait 99"});
}

TEST_F(NavinControlTest, OptionSwitchInTheOpenSettingsDialog) {
  StartNavin();
  navin.AddSettingsDialog();
  // y = 9, x = 153: 9 * 65536 + 153.
  EXPECT_EQ(Run(58), (Lines{"sleep 199", "foreground tabs", "send tabs WM_LBUTTONDOWN 1 589977",
                            "send tabs WM_LBUTTONUP 0 589977", "sleep 699", "send check.58 BM_CLICK 0 0",
                            "sleep 999", "post settings.ok BM_CLICK 0 0"}));
  EXPECT_TRUE(navin.W("check.58").checked);
  EXPECT_EQ(Run(59), (Lines{"sleep 199", "foreground tabs", "send tabs WM_LBUTTONDOWN 1 589977",
                            "send tabs WM_LBUTTONUP 0 589977", "sleep 699", "send check.59 BM_CLICK 0 0",
                            "sleep 999", "post settings.ok BM_CLICK 0 0"}));
  // x = 73 for the route guide's tab.
  EXPECT_EQ(Run(60), (Lines{"sleep 199", "foreground tabs", "send tabs WM_LBUTTONDOWN 1 589897",
                            "send tabs WM_LBUTTONUP 0 589897", "sleep 699", "send check.60 BM_CLICK 0 0",
                            "sleep 999", "post settings.ok BM_CLICK 0 0"}));
  EXPECT_EQ(Run(61), (Lines{"sleep 199", "foreground tabs", "send tabs WM_LBUTTONDOWN 1 589897",
                            "send tabs WM_LBUTTONUP 0 589897", "sleep 699", "send check.61 BM_CLICK 0 0",
                            "sleep 999", "post settings.ok BM_CLICK 0 0"}));
  EXPECT_TRUE(navin.W("check.59").checked);
  EXPECT_TRUE(navin.W("check.61").checked);
}

TEST_F(NavinControlTest, OptionSwitchOpensTheDialogWhenAbsent) {
  StartNavin();
  const int64_t start = Now();
  Run(60);
  // One look within 10 ms (one retry), the menu, then the dialog 300 ms later.
  EXPECT_EQ(journal.Without(),
            (Lines{"post main WM_COMMAND 32866 0", "sleep 199", "foreground tabs",
                   "send tabs WM_LBUTTONDOWN 1 589897", "send tabs WM_LBUTTONUP 0 589897", "sleep 699",
                   "send check.60 BM_CLICK 0 0", "sleep 999", "post settings.ok BM_CLICK 0 0"}));
  const int64_t opened = journal.TimeOf("post main WM_COMMAND 32866 0");
  EXPECT_EQ(opened - start, 99);
  EXPECT_GE(journal.TimeOf("sleep 199") - opened, 300);
  EXPECT_LT(journal.TimeOf("sleep 199") - opened, 300 + 99);
  EXPECT_TRUE(navin.W("check.60").checked);
}

TEST_F(NavinControlTest, OptionSwitchGivesUpWhenTheDialogOrItsTabsNeverAppear) {
  StartNavin();
  navin.settingsOpenDelayMs = -1;
  int64_t start = Now();
  Run(58);
  EXPECT_EQ(journal.Without(), Lines{"post main WM_COMMAND 32866 0"});
  EXPECT_GE(Now() - start, 10 + 9999);
  EXPECT_LT(Now() - start, 99 + 9999 + 99);

  navin.settingsOpenDelayMs = 300;
  navin.settingsHaveTabs = false;
  start = Now();
  Run(58);
  EXPECT_EQ(journal.Without(), Lines{"post main WM_COMMAND 32866 0"});
  const int64_t opened = journal.TimeOf("post main WM_COMMAND 32866 0");
  // The dialog is there after 300 ms; the tab control is looked for 999 ms more.
  EXPECT_GE(Now() - opened, 300 + 999);
  EXPECT_LT(Now() - opened, 300 + 99 + 999 + 99);
  EXPECT_EQ(journal.CountPrefix("send"), 0);
  EXPECT_EQ(journal.CountPrefix("sleep"), 0);
}

TEST_F(NavinControlTest, OnlyDirectChildrenAreTaken) {
  StartNavin();
  // An "OK" inside a nested pane comes first in the enumeration but is not the dialog's.
  navin.Add("settings", "", "#32770", "GPS/ルートガイド機能設定");
  navin.Add("pane", "settings", "#32770", "");
  navin.Add("pane.ok", "pane", "Button", "OK");
  navin.Add("pane.tabs", "pane", "SysTabControl32", "");
  navin.Add("tabs", "settings", "SysTabControl32", "");
  navin.Add("settings.ok", "settings", "Button", "OK");
  Run(61);
  EXPECT_EQ(journal.Without(),
            (Lines{"sleep 199", "foreground tabs", "send tabs WM_LBUTTONDOWN 1 589897",
                   "send tabs WM_LBUTTONUP 0 589897", "sleep 699", "send check.61 BM_CLICK 0 0", "sleep 999",
                   "post settings.ok BM_CLICK 0 0"}));
  // A guidance view deeper down than a dialog's own child does not count.
  navin.Add("guidance", "frame", "#32770", "");
  navin.Add("guidance.inner", "guidance", "Static", "");
  navin.Add("guidance.view", "guidance.inner", "AfxFrameOrView42", "GuidanceView");
  EXPECT_EQ(Run(62),
            (Lines{"wait 50", "post main WM_COMMAND 33087 0", "wait 50", "post main WM_COMMAND 33086 0"}));
  // Nor does a panel that is not a child of the bar's parent.
  navin.Remove(navin.H("function"));
  navin.Add("function", "data", "NYControlBar", "ファンクションパネル");
  navin.Add("function.x", "function", "Button", "x");
  EXPECT_EQ(Run(66), (Lines{"post data.x BM_CLICK 0 0", "wait 99"}));
}

TEST_F(NavinControlTest, OptionSwitchGivesUpWithoutItsPage) {
  StartNavin();
  navin.AddSettingsDialog();
  navin.Add("page.path", "settings", "#32770", "走行パス/マップマッチ");  // a page without the check boxes
  Run(58);
  EXPECT_EQ(journal.Without(), (Lines{"sleep 199", "foreground tabs", "send tabs WM_LBUTTONDOWN 1 589977",
                                      "send tabs WM_LBUTTONUP 0 589977"}));
}

TEST_F(NavinControlTest, AHangingCheckBoxClosesNavinYouByForce) {
  host.tarnLyric = false;  // the forced close does not ask for the flags
  host.useTNLink = false;
  StartNavin();
  navin.AddSettingsDialog();
  Run(59);  // opens the page
  navin.W("check.59").hung = true;
  const int64_t start = Now();
  EXPECT_EQ(Run(59),
            (Lines{"sleep 199", "foreground tabs", "send tabs WM_LBUTTONDOWN 1 589977",
                   "send tabs WM_LBUTTONUP 0 589977", "sleep 699", "send check.59 BM_CLICK 0 0 timed out",
                   "terminate main", "popup Navin'You 強制終了中", "process messages"}));
  EXPECT_EQ(journal.TimeOf("terminate main") - start, 199 + 699 + 4999);
  EXPECT_FALSE(navin.Has("main"));
}

TEST_F(NavinControlTest, GuidanceEndsWithTheViewClosedFirst) {
  StartNavin();
  navin.AddGuidanceView();
  EXPECT_EQ(Run(62), (Lines{"post main WM_COMMAND 32835 0", "wait 50", "post main WM_COMMAND 33087 0",
                            "wait 50", "post main WM_COMMAND 33086 0"}));
  // Without a guidance view: the 10 ms look, then the two menu commands.
  navin.Remove(navin.H("guidance"));
  EXPECT_EQ(Run(62), (Lines{"wait 99", "wait 50", "post main WM_COMMAND 33087 0", "wait 50",
                            "post main WM_COMMAND 33086 0"}));
  // A dialog that holds no guidance view is not one.
  navin.Add("other", "frame", "#32770", "");
  EXPECT_EQ(Run(62),
            (Lines{"wait 50", "post main WM_COMMAND 33087 0", "wait 50", "post main WM_COMMAND 33086 0"}));
  host.tarnLyric = false;
  host.useTNLink = false;
  EXPECT_EQ(Run(62), Lines{});
  host.useTNLink = true;
  EXPECT_EQ(Run(62).size(), 4u);
}

TEST_F(NavinControlTest, MinimiseAndRestoreWantAFlag) {
  StartNavin();
  host.tarnLyric = false;
  host.useTNLink = false;
  EXPECT_EQ(Run(64), Lines{});
  EXPECT_EQ(Run(65), Lines{});
  host.tarnLyric = true;
  EXPECT_EQ(Run(64), Lines{"minimise main"});
  EXPECT_EQ(Run(64), Lines{});  // already minimised: not running
  EXPECT_EQ(Run(65), (Lines{"restore main", "foreground main"}));
}

TEST_F(NavinControlTest, MapMatchCycleWantsThePositionLink) {
  StartNavin();
  EXPECT_EQ(Run(67), (Lines{"post main MM_SET 2 0", "post main MM_APPLY 1 0"}));
  EXPECT_EQ(Run(67), (Lines{"post main MM_SET 1 0", "post main MM_APPLY 1 0"}));
  EXPECT_EQ(Run(67), (Lines{"post main MM_SET 4 0", "post main MM_APPLY 1 0"}));
  EXPECT_EQ(mode, 4);
  host.useTNLink = false;
  EXPECT_EQ(Run(67), Lines{});
  EXPECT_EQ(mode, 4);
}

TEST_F(NavinControlTest, CloseByItsMenu) {
  StartNavin();
  navin.AddGuidanceView();
  const int64_t start = Now();
  EXPECT_EQ(Run(68), (Lines{"post main WM_COMMAND 32835 0", "wait 50", "post main WM_COMMAND 33087 0",
                            "wait 50", "post main WM_COMMAND 57665 0", "wait 50", "wait 50", "wait 50",
                            "wait 50", "wait 50", "wait 50"}));
  EXPECT_EQ(Now() - start, 400);
  EXPECT_FALSE(navin.Has("main"));
}

TEST_F(NavinControlTest, CloseWantsBothFlags) {
  StartNavin();
  host.tarnLyric = false;
  EXPECT_EQ(Run(68), Lines{});
  host.tarnLyric = true;
  host.useTNLink = false;
  EXPECT_EQ(Run(68), Lines{});
  EXPECT_TRUE(navin.Has("main"));
}

TEST_F(NavinControlTest, CloseWaitsAtMostTenSecondsThenForces) {
  StartNavin();
  navin.exitDelayMs = -1;
  Run(68);
  const int64_t exitPosted = journal.TimeOf("post main WM_COMMAND 57665 0");
  const int64_t terminated = journal.TimeOf("terminate main");
  ASSERT_GE(exitPosted, 0);
  EXPECT_GE(terminated - exitPosted, 10000);
  EXPECT_LT(terminated - exitPosted, 10000 + 50);
  const Lines tail(journal.lines.end() - 3, journal.lines.end());
  EXPECT_EQ(tail, (Lines{"terminate main", "popup Navin'You 強制終了中", "process messages"}));
  EXPECT_FALSE(navin.Has("main"));
}

TEST_F(NavinControlTest, ForcedCloseWaitsAtMostTenSecondsForTheWindowToGo) {
  StartNavin();
  navin.exitDelayMs = -1;
  navin.terminateEnds = false;
  Run(68);
  const int64_t terminated = journal.TimeOf("terminate main");
  EXPECT_GE(Now() - terminated, 10000);
  EXPECT_LT(Now() - terminated, 10000 + 50);
  // The step is "NavinYouComWait"; a step of 0 still moves on.
  host.comWait = 0;
  const int64_t start = Now();
  control.CloseByForce();
  EXPECT_GE(Now() - start, 10000);
  EXPECT_LT(Now() - start, 10000 + 50);
}

TEST_F(NavinControlTest, MinimisedCloseProbesWithWmNullAndForcesAHangingOne) {
  StartNavin();
  navin.W("main").minimised = true;
  EXPECT_EQ(Run(68), Lines{"send main WM_NULL 0 0"});
  EXPECT_TRUE(navin.Has("main"));
  navin.W("main").hung = true;
  const int64_t start = Now();
  EXPECT_EQ(Run(68), (Lines{"send main WM_NULL 0 0 timed out", "terminate main", "popup Navin'You 強制終了中",
                            "process messages"}));
  EXPECT_EQ(journal.TimeOf("terminate main") - start, 4999);
  EXPECT_FALSE(navin.Has("main"));
}

class LauncherTest : public NavinControlTest {
 protected:
  void SetUp() override {
    host.home = home.path();
    std::ofstream(home.path() + "/SorrelStarter") << "#!/bin/sh\n";
  }
  TempDir home;
};

TEST_F(LauncherTest, CloseThenStartTheLauncher) {
  StartNavin();
  Run(63);
  const Lines tail(journal.lines.end() - 2, journal.lines.end());
  EXPECT_EQ(tail, (Lines{"cursor outside", "start " + home.path() + "/SorrelStarter fromSorrel"}));
  EXPECT_EQ(journal.Count("post main WM_COMMAND 57665 0"), 1);
}

TEST_F(LauncherTest, WithoutTarnLyricNavinYouStaysAndNothingStarts) {
  StartNavin();
  host.tarnLyric = false;
  EXPECT_EQ(Run(63), Lines{});
  EXPECT_TRUE(navin.Has("main"));
  // Once Navin'You has gone, the position link alone starts the launcher.
  navin.RemoveAll();
  EXPECT_EQ(Run(63), (Lines{"cursor outside", "start " + home.path() + "/SorrelStarter fromSorrel"}));
  host.useTNLink = false;
  EXPECT_EQ(Run(63), Lines{});
}

TEST_F(LauncherTest, AMinimisedNavinYouThatAnswersStaysAndNothingStarts) {
  StartNavin();
  navin.W("main").minimised = true;
  EXPECT_EQ(Run(63), Lines{"send main WM_NULL 0 0"});
}

TEST_F(LauncherTest, AMissingLauncherIsNotStarted) {
  std::filesystem::remove(home.path() + "/SorrelStarter");
  EXPECT_EQ(Run(63), Lines{});
}

}  // namespace
}  // namespace sorrel::alarm
