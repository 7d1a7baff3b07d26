// Navin'You's remote control as the main window holds it: commands 39..68, the keys and
// wheel steps for its map view, and the map-match exchange with it.
#pragma once

#include "alarm/core/MapMatch.h"
#include "alarm/core/NavinControl.h"
#include "app/ui/PlayerMain.h"

namespace sorrel::app {

class Tfm_PlayerMain::TWindowNavin final : public alarm::TNavinControlHostIntf {
 public:
  explicit TWindowNavin(Tfm_PlayerMain& w);

  alarm::TNavinControl& Control() { return control_; }
  // The map view is known and Navin'You is not minimised.
  bool CanForwardKeys();
  // At start, with the position link on and Navin'You there: its map-match mode.
  void PostStartMode();
  // WM_USER+0x297 from Navin'You: its mode, and whether to show it.
  void MapMatchStatus(int32_t mode, bool show);
  // The keyboard tool's input mode 7 with "OnActiveNavinFG": Navin'You, when it is there
  // and not minimised, comes forward on the next two clock ticks, the main window after it.
  void InputModeShown(int mode);
  void ClockTick();

  // alarm::TNavinControlHostIntf
  void Wait(int ms) override;
  int NavinYouComWait() const override;
  void Sleep(int ms) override;
  void ProcessMessages() override;
  void ShowPopUp(const std::string& text) override;
  void MainWindowToForeground() override;
  void MoveCursorOutside() override;
  std::string HomeDir() const override;
  void StartProgram(const std::string& path, const std::vector<std::string>& arguments) override;
  bool TarnLyric() const override;
  bool UseTNLink() const override;
  const alarm::TNavinWindows& NavinWindows() override;

 private:
  void Post(const std::vector<alarm::TNavinMessage>& messages);

  Tfm_PlayerMain& w_;
  alarm::TMapMatch mapMatch_;
  alarm::TNavinControl control_;
  int foregroundCount_ = 0;
};

}  // namespace sorrel::app
