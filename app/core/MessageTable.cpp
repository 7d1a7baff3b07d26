#include "app/core/MessageTable.h"

#include "base/TextCodec.h"

namespace sorrel::app {

bool TMessageTable::PayloadText(std::string_view data, std::string& text) {
  if (data.size() > kMaxCopyDataBytes) return false;
  const size_t nul = data.find('\0');
  if (nul != std::string_view::npos) data = data.substr(0, nul);
  if (data.empty() || !base::IsValidUtf8(data)) return false;
  text.assign(data);
  return true;
}

int32_t TMessageTable::CopyData(int32_t wParam, uint32_t dwData, std::string_view data) {
  std::string text;
  switch (wParam) {
    case kCopySavedWaveVolume:
      h_.SetSavedWaveVolume(dwData);
      return 1;
    case kCopyOpenListFile:
      if (!PayloadText(data, text)) return 0;
      h_.OpenListFileAndPlay(text, true);
      return 1;
    case kCopyParkCursor:
      h_.ParkCursor();
      return 1;
    case kCopyPositionSentence:
      // Stale positions must not drive the alarm while the player is closing or asleep.
      if (h_.Suspended() || !h_.PositionLinkActive()) return 0;
      if (!PayloadText(data, text)) return 0;
      h_.PositionSentence(text);
      return 1;
    default:
      return 0;
  }
}

int32_t TMessageTable::Message(uint32_t msg, int32_t wParam, int32_t lParam) {
  switch (msg) {
    case kMsgInputMode:
      if (wParam == 0 && lParam >= 0 && lParam < kInputModeCount) {
        h_.ShowInputMode(lParam);
        return 1;
      }
      if (wParam == 1) {
        h_.SetResumeAdjustment(lParam);
        return 1;
      }
      return 0;
    case kMsgCommand:
      // Any number: the dispatcher takes its low 7 bits, so 128 + n runs n.
      h_.RunCommand(wParam, lParam);
      return 1;
    case kMsgMapMatchStatus:
      h_.MapMatchStatus(wParam, lParam == 1);
      return 1;
    case WM_QUERYENDSESSION:
      h_.QueryEndSession();
      return 1;  // the session may end
    case WM_POWERBROADCAST:
      h_.PowerBroadcast(wParam);
      return 1;
    case WM_APPCOMMAND:
      h_.AppCommand(static_cast<uint32_t>(lParam));
      return 1;
    default:
      return 0;
  }
}

int32_t TMessageTable::DropFiles(const std::vector<std::string>& paths) {
  std::string text;
  if (paths.empty() || !PayloadText(paths.front(), text)) return 0;
  h_.OpenListFileAndPlay(text, false);
  return 1;
}

}  // namespace sorrel::app
