// The map program link as the main window holds it: the link with its worker, the
// automation over the bus, and the main window's side of the link (the cursor, the
// check timer, the map program's window), which the worker reaches through queued calls
// on the user-interface thread.
#pragma once

#include "maplink/core/MappleLink.h"
#include "maplink/core/MappleLinkPorts.h"
#include "platform/desktop/BusAutomation.h"

#include <QObject>

#include <memory>

class QTimer;

namespace sorrel::app {

// A desktop without the map program's window: the link then draws without knowing it
// (no check timer, no state read, no "F" or "G").
class TNoMappleWindows final : public maplink::TMappleWindowsIntf, public maplink::TMappleSessionEndIntf {
 public:
  maplink::TMapWindow FindWindow(const std::string&, const maplink::TMapRect&) override { return 0; }
  bool IsMinimised(maplink::TMapWindow) override { return false; }
  bool IsMaximised(maplink::TMapWindow) override { return false; }
  void ShowNormal(maplink::TMapWindow) override {}
  void ShowMaximised(maplink::TMapWindow) override {}
  void ForceForeground(maplink::TMapWindow) override {}
  bool TerminateOwner(maplink::TMapWindow) override { return false; }
  maplink::TMapWindow FindDialog(const std::string&) override { return 0; }
  maplink::TMapWindow FindButton(maplink::TMapWindow, const std::string&) override { return 0; }
  bool SendClick(maplink::TMapWindow, int) override { return false; }
  void Sleep(int) override {}
};

class TMapLinkHost final : public maplink::TMappleHostIntf {
 public:
  // `checkTimer` is tm_CheckMapple; it lives on this thread and outlives the host.
  TMapLinkHost(QTimer& checkTimer, maplink::TMappleWindowsIntf& windows);
  ~TMapLinkHost() override;  // ends the worker first

  maplink::TMappleLink& Link() { return *link_; }
  // The player's shutdown: the worker ends, and a check timer it asked for just before
  // stays off.
  void Shutdown();
  // The map program's window as the worker last reported it (0: not connected).
  maplink::TMapWindow MapWindow() const { return mapWindow_; }

  // maplink::TMappleHostIntf
  void SetAppStartingCursor() override;
  void ProcessMessages() override;
  void RestoreCursor() override;
  void SetCheckTimer(bool enabled) override;
  void SetMapWindow(maplink::TMapWindow w) override;

 private:
  QTimer& checkTimer_;
  // The worker's calls are queued to this object; the calls still pending when it goes
  // are dropped with it (the worker has ended before).
  QObject guiThread_;
  desktop::BusAutomation automation_;
  bool cursorShown_ = false;
  bool shutDown_ = false;
  maplink::TMapWindow mapWindow_ = 0;
  std::unique_ptr<maplink::TMappleLink> link_;  // last: its worker runs from here on
};

}  // namespace sorrel::app
