// The desktop's media keys by their meaning.  WM_APPCOMMAND's own rule (bit 0 of the
// command word set: Alt+Left, else Alt+Right) suits the mouse's back and forward
// buttons, but would turn Next Track (11) into the previous song and Previous Track (12)
// into the next one; so the media keys go to the commands they name.
#pragma once

#include "app/core/Navigation.h"

#include <cstdint>

namespace sorrel::app {

enum class TMediaAction {
  kNone,           // not a key the player answers
  kAppCommandKey,  // browser back / forward: WM_APPCOMMAND's rule, as the mouse buttons
  kNextSong,       // command 9
  kPreviousSong,   // command 8
  kPlayPause,      // command 5, or the current song when stopped
  kPlay,           // only towards playing
  kPause,          // only towards pausing
  kStop,           // stop, staying on the current song
  kForward,        // command 7 (fast forward)
  kBack,           // command 6 (rewind)
};

// `appCommand` is a WM_APPCOMMAND number (platform/input's TKeyStroke::appCommand).
TMediaAction MediaKeyAction(uint16_t appCommand);

enum class TPlayRequest { kNothing, kTogglePause, kPlayCurrent };

// What kPlayPause, kPlay and kPause do in the player's status: command 5 toggles
// playing and paused; a stopped player plays the current song from its start.
TPlayRequest PlayRequestFor(TMediaAction action, TPlayerStatus status);

}  // namespace sorrel::app
