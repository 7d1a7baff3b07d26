#include "settings/core/CommandSettings.h"

namespace sorrel::settings {

void ApplyCommandSettings(const TCommandValues& current, const TCommandValues& edited,
                          TCommandFormHost& host) {
  host.ApplyListLimits(edited.Lists);
  host.ApplyAlarmParameters(edited.Alarm);
  // Closed before the main window restyles itself, so the user sees the result.
  host.CloseCommandForm();

  host.ApplyBackColor(edited.BackColor);
  host.ApplyFrameColors(edited.ActiveFrameColor, edited.DeactiveFrameColor);
  if (edited.BackPictureFileName != current.BackPictureFileName &&
      host.ShowBackPicture(edited.BackPictureFileName))
    host.StoreBackPictureFileName(edited.BackPictureFileName);

  host.ApplyTitleColors(edited.ActiveTitleFontColor, edited.DeactiveTitleFontColor);
  for (int i = 0; i < kLabelFonts; ++i) {
    const auto label = static_cast<TLabelFont>(i);
    TTextFont font = edited.Font(label);
    if (label == TLabelFont::kTitle) font.Color = edited.ActiveTitleFontColor;
    host.ApplyLabelFont(label, font);
  }
  host.ApplyLabelFontColor(edited.LabelFontColor);
  host.ApplyCurTimeShowSec(edited.CurTimeShowSec);

  host.ApplyLyricPlacement(edited.LyricPlacement);
  host.ApplyLyricLook(edited.Lyric);
  host.ApplyKSLyricFontSize(edited.KSLyricFontSize);

  host.ApplyTitleAdditions(edited.Additions);

  host.RefreshMainDisplay();
  host.MarkSettingsChanged();
}

}  // namespace sorrel::settings
