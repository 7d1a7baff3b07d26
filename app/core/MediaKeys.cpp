#include "app/core/MediaKeys.h"

namespace sorrel::app {

namespace {

// WM_APPCOMMAND numbers.
constexpr uint16_t kBrowserBackward = 1;
constexpr uint16_t kBrowserForward = 2;
constexpr uint16_t kMediaNextTrack = 11;
constexpr uint16_t kMediaPreviousTrack = 12;
constexpr uint16_t kMediaStop = 13;
constexpr uint16_t kMediaPlayPause = 14;
constexpr uint16_t kMediaPlay = 46;
constexpr uint16_t kMediaPause = 47;
constexpr uint16_t kMediaFastForward = 49;
constexpr uint16_t kMediaRewind = 50;

}  // namespace

TMediaAction MediaKeyAction(uint16_t appCommand) {
  switch (appCommand) {
    case kBrowserBackward:
    case kBrowserForward:
      return TMediaAction::kAppCommandKey;
    case kMediaNextTrack:
      return TMediaAction::kNextSong;
    case kMediaPreviousTrack:
      return TMediaAction::kPreviousSong;
    case kMediaStop:
      return TMediaAction::kStop;
    case kMediaPlayPause:
      return TMediaAction::kPlayPause;
    case kMediaPlay:
      return TMediaAction::kPlay;
    case kMediaPause:
      return TMediaAction::kPause;
    case kMediaFastForward:
      return TMediaAction::kForward;
    case kMediaRewind:
      return TMediaAction::kBack;
    default:
      return TMediaAction::kNone;
  }
}

TPlayRequest PlayRequestFor(TMediaAction action, TPlayerStatus status) {
  const bool stopped = status == TPlayerStatus::mpsStopped;
  switch (action) {
    case TMediaAction::kPlayPause:
      return stopped ? TPlayRequest::kPlayCurrent : TPlayRequest::kTogglePause;
    case TMediaAction::kPlay:
      if (stopped) return TPlayRequest::kPlayCurrent;
      return status == TPlayerStatus::mpsPaused ? TPlayRequest::kTogglePause : TPlayRequest::kNothing;
    case TMediaAction::kPause:
      return status == TPlayerStatus::mpsPlaying ? TPlayRequest::kTogglePause : TPlayRequest::kNothing;
    default:
      return TPlayRequest::kNothing;
  }
}

}  // namespace sorrel::app
