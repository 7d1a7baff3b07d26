// The remote control of Navin'You: the main window's commands 39..68 (menu commands,
// button clicks, keys and wheel steps to the map, options in its settings dialog, the
// error boxes, closing it, by force when it hangs, and starting the launcher), plus the
// forwarding of unmapped keys and of the wheel to its map view.
#pragma once

#include "alarm/core/MapMatch.h"
#include "alarm/core/NavinScreen.h"
#include "base/Clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::alarm {

inline constexpr uint32_t kWmNull = 0x0000;
inline constexpr uint32_t kWmKeyDown = 0x0100;
inline constexpr uint32_t kWmKeyUp = 0x0101;
inline constexpr uint32_t kWmCommand = 0x0111;
inline constexpr uint32_t kWmLButtonDown = 0x0201;
inline constexpr uint32_t kWmLButtonUp = 0x0202;
inline constexpr uint32_t kWmMouseWheel = 0x020A;
inline constexpr uint32_t kBmClick = 0x00F5;
inline constexpr intptr_t kMkLButton = 0x0001;
inline constexpr uint8_t kVkSpace = 0x20;
// WM_MOUSEWHEEL's wParam for one step: the delta (+120 or -120) in the high word.
inline constexpr intptr_t kWheelUp = 0x00780000;
inline constexpr intptr_t kWheelDown = intptr_t(uint32_t(0xFF880000));

// How long a sent message may take before the window counts as hanging.
inline constexpr int kSendTimeoutMs = 4999;
// How long a closing Navin'You may take to disappear.
inline constexpr int kCloseWaitMs = 10000;
// How often a window search is repeated while it waits.
inline constexpr int kFindRetryMs = 99;
// Error boxes closed by one command at most: a box that never goes away must not keep
// the player in the loop for ever.
inline constexpr int kMaxErrorBoxes = 50;

inline constexpr std::string_view kLauncherName = "SorrelStarter";
inline constexpr std::string_view kLauncherArgument = "fromSorrel";
inline constexpr std::string_view kForceClosePopUp = "Navin'You 強制終了中";

// What the control needs of other programs' windows beyond what the screen reading
// uses.  The foreign-window layer implements it; every call is made on the main
// window's thread.  Handles of windows that have gone make every call fail or do
// nothing.
class TNavinWindowsIntf : public TNavinScreenIntf {
 public:
  // PostMessage: queues the message for the window's owner and returns at once; false
  // when the window is gone.
  virtual bool Post(TWindowHandle window, uint32_t msg, intptr_t wParam, intptr_t lParam) = 0;
  // SendMessageTimeout with "abort if hung": blocks until the owner has handled the
  // message, or gives up when it hangs or `timeoutMs` have passed.  True when handled.
  virtual bool Send(TWindowHandle window, uint32_t msg, intptr_t wParam, intptr_t lParam, int timeoutMs) = 0;
  virtual bool IsMinimized(TWindowHandle window) = 0;
  virtual void Minimize(TWindowHandle window) = 0;
  virtual void Restore(TWindowHandle window) = 0;
  // The window's parent, 0 for a top-level window or a window that has gone.
  virtual TWindowHandle Parent(TWindowHandle window) = 0;
  // FindWindow: the first top-level window of this class and, when given, this title.
  virtual TWindowHandle FindTopLevelWindow(std::string_view className,
                                           std::optional<std::string_view> title) = 0;
  // Ends the process that owns the window (exit code 0).  False when it could not.
  virtual bool TerminateOwner(TWindowHandle window) = 0;
};

// What the control needs of the main window.  Called on the main window's thread.
class TNavinControlHostIntf {
 public:
  virtual ~TNavinControlHostIntf() = default;
  // The program's wait loop: handles the pending messages (commands arriving meanwhile
  // are dropped by the dispatcher's busy flag; timers, among them the alarm's that
  // forgets a vanished Navin'You, do run) and returns when `ms` have passed.
  virtual void Wait(int ms) = 0;
  // "NavinYouComWait": one step of the operations' waits, in ms.
  virtual int NavinYouComWait() const = 0;
  // Blocks the thread for `ms` without handling messages.
  virtual void Sleep(int ms) = 0;
  // Handles the pending messages once.
  virtual void ProcessMessages() = 0;
  virtual void ShowPopUp(const std::string& text) = 0;
  virtual void MainWindowToForeground() = 0;
  // Command 3: the mouse cursor 99 pixels outside the main window (it waits 99 ms).
  virtual void MoveCursorOutside() = 0;
  // The home directory (the program's directory of the original).
  virtual std::string HomeDir() const = 0;
  // Starts a program in a normal window and returns at once.
  virtual void StartProgram(const std::string& path, const std::vector<std::string>& arguments) = 0;
  virtual bool TarnLyric() const = 0;
  virtual bool UseTNLink() const = 0;
  // Navin'You's windows as the last search found them (TNavinYou::Windows()).
  virtual const TNavinWindows& NavinWindows() = 0;
};

// Commands 39..68.  Everything runs on the main window's thread and may block it: the
// waits handle messages, the sleeps and sends do not (a send at most kSendTimeoutMs), and
// a close can take kCloseWaitMs plus the searches' time-outs.
class TNavinControl {
 public:
  TNavinControl(TNavinWindowsIntf& windows, TNavinControlHostIntf& host, TMapMatch& mapMatch,
                base::TClock& clock)
      : windows_(windows), host_(host), mapMatch_(mapMatch), clock_(clock) {}

  // Runs command 39..68; other numbers do nothing.
  void NavinYou(int command);

  // Navin'You's main window is known and still there.
  bool Known();
  // Known and not minimised.
  bool Running();

  // A key that produced no command, at its release: WM_KEYDOWN and WM_KEYUP to the map
  // view, when it is known and the main window is not minimised.
  void ForwardKey(uint16_t virtualKey);
  // One wheel step to the map view (+120 for a delta of 0 or more, else -120), when the
  // map view is known.
  void WheelStep(int delta);

  // Closes Navin'You: by its menu, by the WM_NULL probe when minimised, or by force;
  // only with both "Tarn_Lyric" and UseTNLink on.
  void CloseNavinYou();
  // Ends Navin'You's process, shows the pop-up and waits until the window has gone.
  void CloseByForce();

  // The sky-view counter (command 57), 0 at start.
  int SkyViewCounter() const { return skyView_; }

 private:
  const TNavinWindows& Handles() { return host_.NavinWindows(); }
  bool Extras() const { return host_.TarnLyric() || host_.UseTNLink(); }
  void Menu(intptr_t id);
  void Click(TWindowHandle button);
  // Click (sent): false when it failed and Navin'You was closed by force.
  bool ClickSent(TWindowHandle button);
  // One wait of "NavinYouComWait" (at least 1 ms, so that the waits for Navin'You to go
  // always move on).
  void WaitStep();
  // Find window with wait: a child of `parent` (a top-level window when 0) of this
  // class and, when given, this title; looked for at once and every 99 ms of the wait
  // loop until `timeoutMs` have passed.
  TWindowHandle Find(TWindowHandle parent, std::string_view className, std::optional<std::string_view> title,
                     int timeoutMs);
  TWindowHandle FindChild(TWindowHandle parent, std::string_view className,
                          std::optional<std::string_view> title);
  void CloseErrorBoxes();
  bool ProbeColoured();
  void SwitchOption(std::string_view tab, int tabX, std::string_view option);
  void CloseGuidanceView();
  void CloseBarPanel(std::string_view title);
  void StartLauncher();

  TNavinWindowsIntf& windows_;
  TNavinControlHostIntf& host_;
  TMapMatch& mapMatch_;
  base::TClock& clock_;
  int skyView_ = 0;
};

}  // namespace sorrel::alarm
