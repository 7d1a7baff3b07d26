// The alarm's and the map link's view of other programs' windows, over the foreign-window
// client of the session bus.
#pragma once

#include "alarm/core/NavinControl.h"
#include "alarm/core/NavinScreen.h"
#include "maplink/core/MappleLinkPorts.h"
#include "platform/desktop/ForeignWindows.h"

namespace sorrel::app {

// Navin'You's windows for the alarm's screen reading (TNavinYou) and its remote control
// (TNavinControl).  Handles are the client's.
class TForeignNavinWindows final : public alarm::TNavinWindowsIntf {
 public:
  explicit TForeignNavinWindows(desktop::ForeignWindowClient& client) : client_(client) {}

  std::vector<alarm::TForeignWindow> TopLevelWindows() override;
  std::vector<alarm::TForeignWindow> ChildWindows(alarm::TWindowHandle parent) override;
  alarm::TWindowHandle FindWindowByClass(std::string_view className) override;
  bool IsVisible(alarm::TWindowHandle window) override;
  std::optional<alarm::TWindowRect> WindowRect(alarm::TWindowHandle window) override;
  bool Capture(alarm::TWindowHandle window, int x, int y, int width, int height,
               alarm::TRgbImage& image) override;
  void ForceForeground(alarm::TWindowHandle window) override;
  void KeyEvent(uint8_t virtualKey, bool up) override;

  // The messages' parameters travel as 32-bit values, as the window messages' do.
  bool Post(alarm::TWindowHandle window, uint32_t msg, intptr_t wParam, intptr_t lParam) override;
  bool Send(alarm::TWindowHandle window, uint32_t msg, intptr_t wParam, intptr_t lParam,
            int timeoutMs) override;
  bool IsMinimized(alarm::TWindowHandle window) override;
  void Minimize(alarm::TWindowHandle window) override;
  void Restore(alarm::TWindowHandle window) override;
  alarm::TWindowHandle Parent(alarm::TWindowHandle window) override;
  alarm::TWindowHandle FindTopLevelWindow(std::string_view className,
                                          std::optional<std::string_view> title) override;
  bool TerminateOwner(alarm::TWindowHandle window) override;

 private:
  desktop::ForeignWindowClient& client_;
};

// A desktop without Navin'You: nothing is found, every operation does nothing.
class TNoNavinWindows final : public alarm::TNavinWindowsIntf {
 public:
  std::vector<alarm::TForeignWindow> TopLevelWindows() override { return {}; }
  std::vector<alarm::TForeignWindow> ChildWindows(alarm::TWindowHandle) override { return {}; }
  alarm::TWindowHandle FindWindowByClass(std::string_view) override { return 0; }
  bool IsVisible(alarm::TWindowHandle) override { return false; }
  std::optional<alarm::TWindowRect> WindowRect(alarm::TWindowHandle) override { return std::nullopt; }
  bool Capture(alarm::TWindowHandle, int, int, int, int, alarm::TRgbImage&) override { return false; }
  void ForceForeground(alarm::TWindowHandle) override {}
  void KeyEvent(uint8_t, bool) override {}
  bool Post(alarm::TWindowHandle, uint32_t, intptr_t, intptr_t) override { return false; }
  bool Send(alarm::TWindowHandle, uint32_t, intptr_t, intptr_t, int) override { return false; }
  bool IsMinimized(alarm::TWindowHandle) override { return false; }
  void Minimize(alarm::TWindowHandle) override {}
  void Restore(alarm::TWindowHandle) override {}
  alarm::TWindowHandle Parent(alarm::TWindowHandle) override { return 0; }
  alarm::TWindowHandle FindTopLevelWindow(std::string_view, std::optional<std::string_view>) override {
    return 0;
  }
  bool TerminateOwner(alarm::TWindowHandle) override { return false; }
};

// The map program's window for the map link's worker.
class TForeignMappleWindows final : public maplink::TMappleWindowsIntf,
                                    public maplink::TMappleSessionEndIntf {
 public:
  explicit TForeignMappleWindows(desktop::ForeignWindowClient& client) : client_(client) {}

  maplink::TMapWindow FindWindow(const std::string& titlePart, const maplink::TMapRect& rect) override;
  bool IsMinimised(maplink::TMapWindow w) override;
  bool IsMaximised(maplink::TMapWindow w) override;
  void ShowNormal(maplink::TMapWindow w) override;
  void ShowMaximised(maplink::TMapWindow w) override;
  void ForceForeground(maplink::TMapWindow w) override;

  bool TerminateOwner(maplink::TMapWindow w) override;
  maplink::TMapWindow FindDialog(const std::string& title) override;
  maplink::TMapWindow FindButton(maplink::TMapWindow dialog, const std::string& title) override;
  bool SendClick(maplink::TMapWindow button, int timeoutMs) override;
  void Sleep(int ms) override;

 private:
  desktop::ForeignWindowClient& client_;
};

}  // namespace sorrel::app
