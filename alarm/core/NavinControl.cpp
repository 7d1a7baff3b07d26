#include "alarm/core/NavinControl.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace sorrel::alarm {

namespace {

// Navin'You's menu identifiers.
constexpr intptr_t kMenuSkyViewBase = 33107;  // + 0..4: auto, morning, daytime, evening, night
constexpr intptr_t kMenuOpenSettings = 32866;
constexpr intptr_t kMenuCloseGuidance = 32835;
constexpr intptr_t kMenuEndGuidance = 33087;
constexpr intptr_t kMenuClearRoute = 33086;
constexpr intptr_t kMenuExit = 57665;
constexpr intptr_t kMenuReroute = 32981;

constexpr std::string_view kDialogClass = "#32770";
constexpr std::string_view kButtonClass = "Button";
constexpr std::string_view kErrorBoxTitle = "ルート再探索エラー";
constexpr std::string_view kSettingsTitle = "GPS/ルートガイド機能設定";
constexpr std::string_view kTabPathMatch = "走行パス/マップマッチ";
constexpr std::string_view kTabGuide = "ルートガイド";
constexpr int kTabPathMatchX = 153;
constexpr int kTabGuideX = 73;
constexpr int kTabY = 9;

constexpr const char* kSkyViews[] = {"AUTO", "MORNING", "DAYTIME", "EVENING", "NIGHT"};

}  // namespace

bool TNavinControl::Known() {
  // The handle outlives the window until the alarm's timer forgets it; a window that has
  // gone counts as not known at once, so a close does not wait for that timer.
  const TWindowHandle main = Handles().Main;
  return main != 0 && windows_.WindowRect(main).has_value();
}

bool TNavinControl::Running() { return Known() && !windows_.IsMinimized(Handles().Main); }

void TNavinControl::ForwardKey(uint16_t virtualKey) {
  const TNavinWindows& h = Handles();
  if (!h.MapView || (h.Main && windows_.IsMinimized(h.Main))) return;
  windows_.Post(h.MapView, kWmKeyDown, virtualKey, 0);
  windows_.Post(h.MapView, kWmKeyUp, virtualKey, 0);
}

void TNavinControl::WheelStep(int delta) {
  if (const TWindowHandle map = Handles().MapView)
    windows_.Post(map, kWmMouseWheel, delta >= 0 ? kWheelUp : kWheelDown, 0);
}

void TNavinControl::WaitStep() { host_.Wait(std::max(1, host_.NavinYouComWait())); }

void TNavinControl::Menu(intptr_t id) {
  if (Running()) windows_.Post(Handles().Main, kWmCommand, id, 0);
}

void TNavinControl::Click(TWindowHandle button) {
  if (button) windows_.Post(button, kBmClick, 0, 0);
}

bool TNavinControl::ClickSent(TWindowHandle button) {
  if (!button || windows_.Send(button, kBmClick, 0, 0, kSendTimeoutMs)) return true;
  CloseByForce();
  return false;
}

TWindowHandle TNavinControl::FindChild(TWindowHandle parent, std::string_view className,
                                       std::optional<std::string_view> title) {
  if (!parent) return 0;
  // FindWindowEx's children: the direct ones only, so that a page's "OK" is not taken for
  // its dialog's.
  for (const TForeignWindow& w : windows_.ChildWindows(parent))
    if (w.Handle && w.ClassName == className && (!title || w.Title == *title) &&
        windows_.Parent(w.Handle) == parent)
      return w.Handle;
  return 0;
}

TWindowHandle TNavinControl::Find(TWindowHandle parent, std::string_view className,
                                  std::optional<std::string_view> title, int timeoutMs) {
  const int64_t start = clock_.TickCount();
  for (;;) {
    const TWindowHandle found =
        parent ? FindChild(parent, className, title) : windows_.FindTopLevelWindow(className, title);
    if (found) return found;
    if (clock_.TickCount() - start >= timeoutMs) return 0;
    host_.Wait(kFindRetryMs);
  }
}

void TNavinControl::CloseErrorBoxes() {
  for (int i = 0; i < kMaxErrorBoxes; ++i) {
    const TWindowHandle box = Find(0, kDialogClass, kErrorBoxTitle, 10);
    if (!box) return;
    Click(FindChild(box, kButtonClass, "OK"));
  }
}

bool TNavinControl::ProbeColoured() {
  const TWindowHandle bar = Handles().MapControlBar;
  TRgbImage probe;
  if (!bar || !windows_.Capture(bar, 60, 24, 8, 8, probe)) return false;
  if (probe.Width != 8 || probe.Height != 8 || !probe.Consistent()) return false;
  return !(probe.Pixels[0] == 0xFF && probe.Pixels[1] == 0xFF && probe.Pixels[2] == 0xFF);
}

void TNavinControl::SwitchOption(std::string_view tab, int tabX, std::string_view option) {
  TWindowHandle dialog = Find(0, kDialogClass, kSettingsTitle, 10);
  if (!dialog) {
    Menu(kMenuOpenSettings);
    dialog = Find(0, kDialogClass, kSettingsTitle, 9999);
    if (!dialog) return;
  }
  const TWindowHandle tabs = Find(dialog, "SysTabControl32", std::nullopt, 999);
  if (!tabs) return;
  host_.Sleep(199);
  windows_.ForceForeground(tabs);
  const intptr_t point = intptr_t(kTabY) * 65536 + tabX;
  // A hanging tab control is given up on here; the check box's click below decides
  // whether Navin'You is closed by force.
  windows_.Send(tabs, kWmLButtonDown, kMkLButton, point, kSendTimeoutMs);
  windows_.Send(tabs, kWmLButtonUp, 0, point, kSendTimeoutMs);
  const TWindowHandle page = Find(dialog, kDialogClass, tab, 999);
  if (!page) return;
  const TWindowHandle check = Find(page, kButtonClass, option, 999);
  if (!check) return;
  host_.Sleep(699);
  if (!ClickSent(check)) return;
  host_.Sleep(999);
  Click(Find(dialog, kButtonClass, "OK", 999));
}

void TNavinControl::CloseGuidanceView() {
  const TWindowHandle bar = Handles().MapControlBar;
  const TWindowHandle parent = bar ? windows_.Parent(bar) : 0;
  if (!parent) return;
  const TWindowHandle dialog = Find(parent, kDialogClass, std::nullopt, 10);
  if (dialog && FindChild(dialog, "AfxFrameOrView42", "GuidanceView")) Menu(kMenuCloseGuidance);
}

void TNavinControl::CloseBarPanel(std::string_view title) {
  const TWindowHandle panel = FindChild(windows_.Parent(Handles().MapControlBar), "NYControlBar", title);
  Click(FindChild(panel, kButtonClass, "x"));
}

void TNavinControl::CloseByForce() {
  windows_.TerminateOwner(Handles().Main);
  host_.ShowPopUp(std::string(kForceClosePopUp));
  host_.ProcessMessages();
  const int64_t start = clock_.TickCount();
  while (Known() && clock_.TickCount() - start < kCloseWaitMs) WaitStep();
}

void TNavinControl::CloseNavinYou() {
  if (!host_.TarnLyric() || !host_.UseTNLink() || !Known()) return;
  const TWindowHandle main = Handles().Main;
  if (windows_.IsMinimized(main)) {
    if (!windows_.Send(main, kWmNull, 0, 0, kSendTimeoutMs)) CloseByForce();
    return;
  }
  CloseGuidanceView();
  WaitStep();
  Menu(kMenuEndGuidance);
  WaitStep();
  Menu(kMenuExit);
  const int64_t start = clock_.TickCount();
  while (Known() && clock_.TickCount() - start < kCloseWaitMs) WaitStep();
  if (Known()) CloseByForce();
}

void TNavinControl::StartLauncher() {
  const std::filesystem::path path = std::filesystem::path(host_.HomeDir()) / kLauncherName;
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return;
  host_.MoveCursorOutside();
  host_.StartProgram(path.string(), {std::string(kLauncherArgument)});
}

void TNavinControl::NavinYou(int command) {
  const TNavinWindows& h = Handles();
  switch (command) {
    case 39:
      if (!Running() || !h.MapView) return;
      windows_.ForceForeground(h.Main);
      windows_.Post(h.MapView, kWmKeyDown, kVkSpace, 0);
      windows_.Post(h.MapView, kWmKeyUp, kVkSpace, 0);
      host_.MainWindowToForeground();
      return;
    case 40:
      return Menu(32912);
    case 41:
      return Menu(32992);
    case 42:
      return Menu(32993);
    case 43:
    case 44:
      if (Running()) WheelStep(command == 43 ? 120 : -120);
      return;
    case 45:
      if (Extras() && Running()) Click(h.GPS);
      return;
    case 46:
      return Menu(33201);
    case 47:
      return Menu(33135);
    case 48:
      if (Running()) Click(h.NorthUp);
      return;
    case 49:
      return Menu(32861);
    case 50:
      return Menu(33199);
    case 51:
      if (!Running()) return;
      Menu(kMenuReroute);
      host_.Wait(499);
      CloseErrorBoxes();
      return;
    case 52:
      return Menu(32982);
    case 53:
    case 54:
      if (Running()) Click(h.MapControlButtons[command == 53 ? 3 : 2]);
      return;
    case 55:
    case 56:
      if (Running() && ProbeColoured()) Click(h.MapControlButtons[command == 55 ? 0 : 1]);
      return;
    case 57:
      if (!Running()) return;
      skyView_ %= 5;
      Menu(kMenuSkyViewBase + skyView_);
      host_.ShowPopUp(std::string("SKY VIEW = ") + kSkyViews[skyView_]);
      ++skyView_;
      return;
    case 58:
    case 59:
      if (Running())
        SwitchOption(kTabPathMatch, kTabPathMatchX,
                     command == 58 ? "マップマッチを有効にする" : "走行パスを記録(表示)する");
      return;
    case 60:
    case 61:
      if (Running())
        SwitchOption(kTabGuide, kTabGuideX,
                     command == 60 ? "ルートから外れた時に自動再探索を行う" : "音声ルートガイドを行う");
      return;
    case 62:
      if (!Extras() || !Running()) return;
      CloseGuidanceView();
      WaitStep();
      Menu(kMenuEndGuidance);
      WaitStep();
      Menu(kMenuClearRoute);
      return;
    case 63:
      CloseNavinYou();
      if (Extras() && !Known()) StartLauncher();
      return;
    case 64:
      if (Extras() && Running()) windows_.Minimize(h.Main);
      return;
    case 65:
      if (!Extras() || !Known()) return;
      windows_.Restore(h.Main);
      windows_.ForceForeground(h.Main);
      return;
    case 66:
      if (!Known()) return;
      if (h.MapControlBar) {
        CloseBarPanel("ファンクションパネル");
        CloseBarPanel("データマネージャパネル");
      }
      CloseErrorBoxes();
      return;
    case 67:
      if (!host_.UseTNLink() || !Known()) return;
      for (const TNavinMessage& m : mapMatch_.Cycle()) windows_.Post(h.Main, m.Msg, m.WParam, m.LParam);
      return;
    case 68:
      return CloseNavinYou();
    default:
      return;
  }
}

}  // namespace sorrel::alarm
