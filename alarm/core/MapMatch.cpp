#include "alarm/core/MapMatch.h"

namespace sorrel::alarm {

int NextMapMatchMode(int mode) {
  const int next = mode / 2;
  return next < 1 ? 4 : next;
}

TMapMatchStyle MapMatchStyle(int mode) {
  switch (mode) {
    case 1:
      return {0xC0C0C0, false};
    case 2:
      return {0x000000, false};
    case 4:
      return {0xD94FFB, true};
    default:
      return {0x800080, false};
  }
}

std::string MapMatchPopUp(int mode) {
  const char* word = mode == 1 ? "OFF " : mode == 2 ? "弱 " : mode == 4 ? "強 " : "エラー ";
  return std::string(" MapMatch ") + word;
}

std::vector<TNavinMessage> TMapMatch::StartMessages() const {
  return {{kMsgMapMatchSet, mode_, 0}, {kMsgMapMatchApply, 0, 0}};
}

std::vector<TNavinMessage> TMapMatch::Cycle() {
  mode_ = NextMapMatchMode(mode_);
  return {{kMsgMapMatchSet, mode_, 0}, {kMsgMapMatchApply, 1, 0}};
}

TMapMatchReportAction TMapMatch::Report(intptr_t reportedMode, intptr_t show, bool useTNLink,
                                        bool navinKnown) const {
  TMapMatchReportAction a;
  if (reportedMode != mode_ && useTNLink && navinKnown) {
    a.Post = {{kMsgMapMatchSet, mode_, 0}};
    return a;
  }
  a.Style = MapMatchStyle(mode_);
  if (show == 1) a.PopUp = MapMatchPopUp(mode_);
  return a;
}

}  // namespace sorrel::alarm
