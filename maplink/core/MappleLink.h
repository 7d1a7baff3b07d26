// The map program link as the main window sees it: the settings section's values, the
// position to draw, and the one-letter commands (SendMappleCommand), which it queues for
// the worker (TMappleComThread).  Everything here is called on the user-interface
// thread, except where said.
#pragma once

#include "base/Automation.h"
#include "base/Clock.h"
#include "maplink/core/MappleCom.h"
#include "maplink/core/MappleLinkPorts.h"
#include "maplink/core/MappleLinkSettings.h"
#include "maplink/core/MappleQueue.h"

namespace sorrel::maplink {

class TMappleLink final : public TMappleLinkHost {
 public:
  TMappleLink(base::TAutomationIntf& automation, TMappleWindowsIntf& windows, TMappleHostIntf& host,
              base::TClock& clock = base::SystemClock());
  ~TMappleLink() override;  // Shutdown()

  // The "MappleLink" section, once read (the scale list is normalised here).
  void ApplyMappleLink(const TMappleLinkSettings& settings) override;
  // The values to write back, with the map window's rectangle as last seen.
  TMappleLinkSettings Settings() const { return thread_.Settings(); }

  // The position of the latest valid position sentence (drawn by "N").
  void SetPosition(double latitude, double longitude, double direction);

  // Queues `letter` for the worker; false when it was ignored or dropped.  Only "E" is
  // taken while the link is inactive; "M" is ignored while the worker is busy; a full
  // queue drops the letter.  "F" empties the queue, waits (letting the user interface
  // run) until the worker is idle and leaves itself alone in the queue.  Letters other
  // than "M" and "N" show the application-starting cursor until the worker has run its
  // queue empty.
  bool SendMappleCommand(char letter);

  bool Active() const { return thread_.Active(); }
  bool Busy() const { return thread_.Busy(); }
  bool Connected() const { return thread_.Connected(); }
  int Threshold() const { return thread_.Threshold(); }
  int Queued() const { return queue_.Count(); }

  // Ends the worker after the command it is running (the player's shutdown); what is
  // still queued is never run.  Idempotent.
  void Shutdown();

 private:
  TMappleHostIntf& host_;
  base::TClock& clock_;
  TMappleQueue queue_;
  bool waitingForF_ = false;
  bool shutDown_ = false;
  TMappleComThread thread_;  // last: it starts running at construction
};

// The end of the desktop session, after the player's shutdown: the map program (its
// window `mapWindow`, when the link knew one) is ended, and each dialog
// "Super Mapple Digital" it leaves behind is answered "いいえ(&N)".  Returns how many
// dialogs were answered; stops at one without that button, at a click that fails, and
// after kMaxSessionEndDialogs (a dialog that never goes away must not hold the session's
// end).
inline constexpr int kMaxSessionEndDialogs = 50;
int EndMappleProgram(TMappleSessionEndIntf& desktop, TMapWindow mapWindow);

}  // namespace sorrel::maplink
