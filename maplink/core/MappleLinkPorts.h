// What the map link needs of the rest of the program besides the automation: the map
// program's window among the desktop's windows, and the main window.  The application
// implements these; tests use fakes.
#pragma once

#include <cstdint>
#include <string>

namespace sorrel::maplink {

// Another program's top-level window; 0 is none.
using TMapWindow = uint64_t;

struct TMapRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TMapRect&) const = default;
};

// The desktop's windows.  Called on the worker thread only; each call returns promptly
// (a window that does not answer counts as absent).
class TMappleWindowsIntf {
 public:
  virtual ~TMappleWindowsIntf() = default;
  // The top-level window whose title contains `titlePart` and whose rectangle is exactly
  // `rect`; 0 when there is none.
  virtual TMapWindow FindWindow(const std::string& titlePart, const TMapRect& rect) = 0;
  virtual bool IsMinimised(TMapWindow w) = 0;
  virtual bool IsMaximised(TMapWindow w) = 0;
  // Shown in its normal state, and brought to the front (ForceForegroundWindow).
  virtual void ShowNormal(TMapWindow w) = 0;
  virtual void ShowMaximised(TMapWindow w) = 0;
  virtual void ForceForeground(TMapWindow w) = 0;
};

// What ending the map program at the end of the desktop session needs of the desktop's
// windows.  Called on the user-interface thread; every call returns promptly or within
// its time-out.
class TMappleSessionEndIntf {
 public:
  virtual ~TMappleSessionEndIntf() = default;
  // Ends the program that owns the window (exit code 0); false when it could not.
  virtual bool TerminateOwner(TMapWindow w) = 0;
  // The first top-level dialog ("#32770") with this title, or 0.
  virtual TMapWindow FindDialog(const std::string& title) = 0;
  // The dialog's button ("Button") with this title, or 0.
  virtual TMapWindow FindButton(TMapWindow dialog, const std::string& title) = 0;
  // BM_CLICK sent, given up when the window hangs or `timeoutMs` have passed; true when
  // the button handled it.
  virtual bool SendClick(TMapWindow button, int timeoutMs) = 0;
  // Waits without handling messages.
  virtual void Sleep(int ms) = 0;
};

// The main window's side.
class TMappleHostIntf {
 public:
  virtual ~TMappleHostIntf() = default;

  // On the user-interface thread, from SendMappleCommand.
  // The application-starting cursor (crAppStart) over the screen.
  virtual void SetAppStartingCursor() = 0;
  // Lets the user interface run while "F" waits for the worker (Application.
  // ProcessMessages); SendMappleCommand ignores commands sent meanwhile.
  virtual void ProcessMessages() = 0;

  // On the worker thread: implementations hand these to the user-interface thread.
  // The normal cursor again, when the worker's queue has run empty.
  virtual void RestoreCursor() = 0;
  // tm_CheckMapple's Enabled.
  virtual void SetCheckTimer(bool enabled) = 0;
  // The map program's window as the link knows it (0 when not connected).
  virtual void SetMapWindow(TMapWindow w) = 0;
};

}  // namespace sorrel::maplink
