#include "maplink/core/MappleLink.h"

namespace sorrel::maplink {

TMappleLink::TMappleLink(base::TAutomationIntf& automation, TMappleWindowsIntf& windows,
                         TMappleHostIntf& host, base::TClock& clock)
    : host_(host), clock_(clock), thread_(queue_, automation, windows, host, clock) {}

TMappleLink::~TMappleLink() { Shutdown(); }

void TMappleLink::Shutdown() {
  shutDown_ = true;
  thread_.Terminate();
}

void TMappleLink::ApplyMappleLink(const TMappleLinkSettings& settings) { thread_.SetSettings(settings); }

void TMappleLink::SetPosition(double latitude, double longitude, double direction) {
  thread_.SetPosition({latitude, longitude, direction});
}

bool TMappleLink::SendMappleCommand(char letter) {
  if (letter == 0 || shutDown_ || waitingForF_) return false;
  if (letter != 'E' && !thread_.Active()) return false;
  if (letter == 'M' && thread_.Busy()) return false;
  if (letter != 'M' && letter != 'N') host_.SetAppStartingCursor();
  if (letter == 'F') {
    queue_.Clear();
    // Commands sent while the user interface runs here are ignored (waitingForF_), so
    // the queue holds nothing but "F" afterwards.
    waitingForF_ = true;
    while (thread_.Busy()) {
      host_.ProcessMessages();
      clock_.SleepFor(1000);
    }
    waitingForF_ = false;
    if (shutDown_) return false;
    queue_.RestartWith('F');
  } else if (!queue_.Push(letter)) {
    return false;
  }
  thread_.Resume();
  return true;
}

int EndMappleProgram(TMappleSessionEndIntf& desktop, TMapWindow mapWindow) {
  if (mapWindow == 0) return 0;
  desktop.TerminateOwner(mapWindow);
  desktop.Sleep(999);
  int answered = 0;
  while (answered < kMaxSessionEndDialogs) {
    const TMapWindow dialog = desktop.FindDialog("Super Mapple Digital");
    if (dialog == 0) break;
    const TMapWindow no = desktop.FindButton(dialog, "いいえ(&N)");
    if (no == 0 || !desktop.SendClick(no, 4999)) break;
    ++answered;
    desktop.Sleep(99);
  }
  return answered;
}

}  // namespace sorrel::maplink
