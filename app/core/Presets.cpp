#include "app/core/Presets.h"

#include <algorithm>
#include <cstdio>

namespace sorrel::app {
namespace {

bool ValidEq(int n) { return n >= 0 && n < kEqPresetCount; }
bool ValidSize(int n) { return n >= 0 && n < kSizePresetCount; }

}  // namespace

std::string TPresets::EqPresetTitle(int n) const {
  std::string name = host_.EqPresetName(n);
  return name.empty() ? "EQ" + std::to_string(n) : name;
}

void TPresets::RecallEqPreset(int n) {
  if (!ValidEq(n)) return;
  desk_.SetLevels(host_.EqPreset(n));
  popUp_.ShowMessage("Set " + EqPresetTitle(n));
}

void TPresets::StoreEqPreset(int n) {
  if (!ValidEq(n)) return;
  host_.SetEqPreset(n, desk_.Levels());
  popUp_.ShowMessage(EqPresetTitle(n) + " Saved");
}

void TPresets::ToggleSize() {
  host_.ResizeWindow(host_.WindowSize() == kFormSize ? host_.FreeSize() : kFormSize);
}

void TPresets::ApplySizePreset(int n) {
  if (ValidSize(n)) host_.ResizeWindow(host_.SizePreset(n));
}

void TPresets::StoreSizePreset(int n) {
  if (!ValidSize(n)) return;
  host_.SetSizePreset(n, host_.WindowSize());
  popUp_.ShowMessage("Size" + std::to_string(n + 1) + " Saved");
}

void TPresets::LevelStep(TLevelStep step) {
  const bool pre = step == TLevelStep::kPreUp || step == TLevelStep::kPreDown;
  const bool up = step == TLevelStep::kPreUp || step == TLevelStep::kMasterUp;
  const TDeskBar bar = pre ? TDeskBar::tb_PreLevel : TDeskBar::tb_MasterLevel;
  // A higher level is a lower position.
  const int line = desk_.LineSize(bar);
  const int wanted = desk_.Position(bar) + (up ? -line : line);
  desk_.SetPosition(bar, std::clamp(wanted, desk_.Min(bar), std::max(desk_.Min(bar), desk_.Max(bar))));

  const int position = desk_.Position(bar);
  char text[32];
  if (pre) {
    std::snprintf(text, sizeof text, " Pre =%4d ", -position);
  } else {
    std::snprintf(text, sizeof text, " Master :=%4d ", 100 - position);
  }
  popUp_.ShowMessage(text);
}

}  // namespace sorrel::app
