// The map-match mode the player keeps Navin'You in ("NYMapMatchNo": 4 strong, 2 weak,
// 1 off), the private messages that set and report it, and what the GPS status panel
// and the pop-up show of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorrel::alarm {

using TColor = int32_t;  // 0x00BBGGRR

inline constexpr uint32_t kMsgMapMatchSet = 0x699;     // WM_USER+0x299: wParam = mode
inline constexpr uint32_t kMsgMapMatchApply = 0x698;   // WM_USER+0x298: wParam 0 at start, 1 after a change
inline constexpr uint32_t kMsgMapMatchReport = 0x697;  // WM_USER+0x297 from Navin'You: mode, show flag

struct TNavinMessage {
  uint32_t Msg = 0;
  intptr_t WParam = 0;
  intptr_t LParam = 0;
  bool operator==(const TNavinMessage&) const = default;
};

// 4 -> 2 -> 1 -> 4; any other mode halves, and below 1 becomes 4 (3 -> 1).
int NextMapMatchMode(int mode);

// How the GPS status panel shows a reported mode.
struct TMapMatchStyle {
  TColor FontColor = 0;
  bool SingleBorder = false;  // mode 4 only
  bool operator==(const TMapMatchStyle&) const = default;
};
TMapMatchStyle MapMatchStyle(int mode);

// The pop-up for a mode: " MapMatch " and "OFF ", "弱 ", "強 " or "エラー ".
std::string MapMatchPopUp(int mode);

// What to do with Navin'You's report.
struct TMapMatchReportAction {
  // Navin'You runs another mode: post these (the player's mode again) and show nothing.
  std::vector<TNavinMessage> Post;
  TMapMatchStyle Style;
  std::string PopUp;  // empty: no pop-up
};

// The mode exchange; `mode` is the settings record's "NYMapMatchNo".
class TMapMatch {
 public:
  explicit TMapMatch(int& mode) : mode_(mode) {}
  int Mode() const { return mode_; }
  // At start, when the position link is on and Navin'You runs.
  std::vector<TNavinMessage> StartMessages() const;
  // Command 67 (with the position link on and Navin'You known): the next mode, set.
  std::vector<TNavinMessage> Cycle();
  // WM_USER+0x297 with Navin'You's mode and show flag.
  TMapMatchReportAction Report(intptr_t reportedMode, intptr_t show, bool useTNLink, bool navinKnown) const;

 private:
  int& mode_;
};

}  // namespace sorrel::alarm
