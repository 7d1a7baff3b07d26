// What the settings dialog reads from the main window and applies to it.
#pragma once

#include "app/ui/PlayerMain.h"
#include "settings/core/CommandSettings.h"

namespace sorrel::app {

class Tfm_PlayerMain::TWindowSettingsHost : public settings::TCommandFormHost {
 public:
  explicit TWindowSettingsHost(Tfm_PlayerMain& w) : w_(w) {}

  settings::TCommandValues CommandValues() const override;
  std::string HomeDir() const override;
  void StoreColorDialogOption(const std::string& text) override;

  void ApplyListLimits(const settings::TListLimits& v) override;
  void ApplyAlarmParameters(const settings::TAlarmParameters& v) override;
  void CloseCommandForm() override;
  void ApplyBackColor(settings::TColor c) override;
  void ApplyFrameColors(settings::TColor active, settings::TColor deactive) override;
  bool ShowBackPicture(const std::string& fileName) override;
  void StoreBackPictureFileName(const std::string& fileName) override;
  void ApplyTitleColors(settings::TColor active, settings::TColor deactive) override;
  void ApplyLabelFont(settings::TLabelFont label, const settings::TTextFont& f) override;
  void ApplyLabelFontColor(settings::TColor c) override;
  void ApplyCurTimeShowSec(bool on) override;
  void ApplyLyricPlacement(const settings::TLyricPlacement& v) override;
  void ApplyLyricLook(const settings::TLyricLook& v) override;
  void ApplyKSLyricFontSize(int size) override;
  void ApplyTitleAdditions(const settings::TTitleAdditions& v) override;
  void RefreshMainDisplay() override;
  // The settings are written whole at shutdown and before the computer sleeps.
  void MarkSettingsChanged() override {}

 private:
  static settings::TTextFont Font(const TFontStyle& f) { return {f.Name, f.Color, f.Bold, f.Italic}; }
  Tfm_PlayerMain& w_;
};

}  // namespace sorrel::app
