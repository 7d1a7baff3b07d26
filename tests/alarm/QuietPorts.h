// Ports of the alarm that do nothing but keep the window's visibility and the level bar's
// position: for programs that measure or fuzz the alarm's own work.
#pragma once

#include "alarm/core/AlarmPorts.h"
#include "alarm/core/NavinScreen.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::alarm::testing {

struct QuietPorts : TOvisAlarmViewIntf, TAlarmHostIntf, TPreLevelBarIntf, TVoicePlayerIntf, TNavinScreenIntf {
  bool visible = false;
  int position = 0;
  bool IsVisible() const override { return visible; }
  void Show() override { visible = true; }
  void Hide() override { visible = false; }
  void SetOvisType(const std::string&) override {}
  void SetDistance(const std::string&) override {}
  void SetLinNo(const std::string&) override {}
  void SetOvisText(const std::string&) override {}
  void SetGPSStatus(TColor, const std::string&) override {}
  void HideSubWindows() override {}
  void RaiseMainWindow() override {}
  int Position() const override { return position; }
  void SetPosition(int p) override { position = p; }
  void PlaySync(const std::string&) override {}
  void PlayAsync(const std::string&) override {}
  std::vector<TForeignWindow> TopLevelWindows() override { return {}; }
  std::vector<TForeignWindow> ChildWindows(TWindowHandle) override { return {}; }
  TWindowHandle FindWindowByClass(std::string_view) override { return 0; }
  bool IsVisible(TWindowHandle) override { return false; }
  std::optional<TWindowRect> WindowRect(TWindowHandle) override { return std::nullopt; }
  bool Capture(TWindowHandle, int, int, int, int, TRgbImage&) override { return false; }
  void ForceForeground(TWindowHandle) override {}
  void KeyEvent(uint8_t, bool) override {}
};

}  // namespace sorrel::alarm::testing
