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

}  // namespace sorrel::maplink
