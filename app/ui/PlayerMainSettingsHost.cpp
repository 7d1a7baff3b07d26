#include "app/ui/PlayerMainSettingsHost.h"

#include "app/ui/CompanionWindows.h"
#include "app/ui/PlayerMainAlarm.h"

namespace sorrel::app {

settings::TCommandValues Tfm_PlayerMain::TWindowSettingsHost::CommandValues() const {
  const TPlayerSettings& s = w_.settings_;
  settings::TCommandValues v;
  v.Lists = {s.PLDirLimit, s.PLFileLimit, s.FLFileLimit, s.FLHFontPlus, s.FLHFontBold};
  v.Alarm = {s.AlarmDistance,  s.AlarmVelocity,   s.AlarmAimDegree,
             s.AlarmOpsDegree, s.PreLevelDownVal, s.PlaySoundInterval};
  v.BackColor = s.BackColor;
  v.ActiveFrameColor = s.ActiveFrameColor;
  v.DeactiveFrameColor = s.DeactiveFrameColor;
  v.BackPictureFileName = s.BackPictureFileName;
  v.ActiveTitleFontColor = s.ActiveTitleFontColor;
  v.DeactiveTitleFontColor = s.DeactiveTitleFontColor;
  v.Font(settings::TLabelFont::kTitle) = {s.TitleFontName, s.ActiveTitleFontColor, s.TitleFontBold,
                                          s.TitleFontItalic};
  v.Font(settings::TLabelFont::kArtist) = Font(s.ArtistFont);
  v.Font(settings::TLabelFont::kAlbum) = Font(s.AlbumFont);
  v.Font(settings::TLabelFont::kPlayTime) = Font(s.PlayTimeFont);
  v.Font(settings::TLabelFont::kClock) = Font(s.TimeFont);
  v.LabelFontColor = s.LabelFontColor;
  v.CurTimeShowSec = s.CurTimeShowSec;
  v.LyricPlacement = {s.LyricPos, s.LyricWinWidthLimited, s.DeActiveLyricOff, s.LyricLine};
  const TLyricStyle& l = s.Lyric;
  v.Lyric = {l.LyricBackColor,         l.LyricFontSize, l.LyricFontName,  l.LyricFontColor,
             l.LyricDeActiveFontColor, l.LyricFontBold, l.LyricFontItalic};
  v.KSLyricFontSize = s.KSLyricFontSize;
  v.Additions = {s.TitleAddTrack, s.ArtistAddYear, s.InfoAddTitle,
                 s.InfoAddArtist, s.InfoAddAlbum,  s.InfoAddYear};
  v.ColorDialogOption = s.ColorDialogOption;
  return v;
}

std::string Tfm_PlayerMain::TWindowSettingsHost::HomeDir() const { return w_.homeDir_.toStdString(); }

void Tfm_PlayerMain::TWindowSettingsHost::StoreColorDialogOption(const std::string& text) {
  w_.settings_.ColorDialogOption = text;
}

void Tfm_PlayerMain::TWindowSettingsHost::ApplyListLimits(const settings::TListLimits& v) {
  TPlayerSettings& s = w_.settings_;
  s.PLDirLimit = v.PLDirLimit;
  s.PLFileLimit = v.PLFileLimit;
  s.FLFileLimit = v.FLFileLimit;
  s.FLHFontPlus = v.FLHFontPlus;
  s.FLHFontBold = v.FLHFontBold;
  if (w_.playFileList_) w_.playFileList_->SetPathDepth(v.FLFileLimit);
}

void Tfm_PlayerMain::TWindowSettingsHost::ApplyAlarmParameters(const settings::TAlarmParameters& v) {
  TPlayerSettings& s = w_.settings_;
  s.AlarmDistance = v.AlarmDistance;
  s.AlarmVelocity = v.AlarmVelocity;
  s.AlarmAimDegree = v.AlarmAimDegree;
  s.AlarmOpsDegree = v.AlarmOpsDegree;
  s.PreLevelDownVal = v.PreLevelDownVal;
  s.PlaySoundInterval = v.PlaySoundInterval;
  if (w_.alarm_) w_.alarm_->Ovis().ApplySettings();
}

void Tfm_PlayerMain::TWindowSettingsHost::CloseCommandForm() { w_.HideCompanionWindow(w_.command_, true); }

void Tfm_PlayerMain::TWindowSettingsHost::ApplyBackColor(settings::TColor c) { w_.SetBackColor(c); }

void Tfm_PlayerMain::TWindowSettingsHost::ApplyFrameColors(settings::TColor active,
                                                           settings::TColor deactive) {
  w_.settings_.ActiveFrameColor = active;
  w_.settings_.DeactiveFrameColor = deactive;
  w_.frameColor_ = -1;  // drawn afresh at the next clock tick
}

bool Tfm_PlayerMain::TWindowSettingsHost::ShowBackPicture(const std::string& fileName) {
  return w_.ShowBackPicture(fileName);
}

void Tfm_PlayerMain::TWindowSettingsHost::StoreBackPictureFileName(const std::string& fileName) {
  w_.settings_.BackPictureFileName = fileName;
}

void Tfm_PlayerMain::TWindowSettingsHost::ApplyTitleColors(settings::TColor active,
                                                           settings::TColor deactive) {
  w_.settings_.ActiveTitleFontColor = active;
  w_.settings_.DeactiveTitleFontColor = deactive;
}

void Tfm_PlayerMain::TWindowSettingsHost::ApplyLabelFont(settings::TLabelFont label,
                                                         const settings::TTextFont& f) {
  TPlayerSettings& s = w_.settings_;
  const TFontStyle style{f.Name, f.Color, f.Bold, f.Italic};
  // The dialog's labels come in the order of the display's text roles.
  const auto role = static_cast<TTextRole>(static_cast<int>(label));
  if (role == TTextRole::kTitle) {
    s.TitleFontName = f.Name;
    s.TitleFontBold = f.Bold;
    s.TitleFontItalic = f.Italic;
    w_.SetTextStyle(role, {f.Name, s.ActiveTitleFontColor, f.Bold, f.Italic});
    return;
  }
  TFontStyle* stored = role == TTextRole::kArtist     ? &s.ArtistFont
                       : role == TTextRole::kAlbum    ? &s.AlbumFont
                       : role == TTextRole::kPlayTime ? &s.PlayTimeFont
                                                      : &s.TimeFont;
  *stored = style;
  w_.SetTextStyle(role, style);
}

void Tfm_PlayerMain::TWindowSettingsHost::ApplyLabelFontColor(settings::TColor c) {
  w_.settings_.LabelFontColor = c;
  w_.SetCaptionColor(c);
}

void Tfm_PlayerMain::TWindowSettingsHost::ApplyCurTimeShowSec(bool on) { w_.settings_.CurTimeShowSec = on; }

void Tfm_PlayerMain::TWindowSettingsHost::ApplyLyricPlacement(const settings::TLyricPlacement& v) {
  TPlayerSettings& s = w_.settings_;
  s.LyricPos = v.LyricPos;
  s.LyricWinWidthLimited = v.LyricWinWidthLimited;
  s.DeActiveLyricOff = v.DeActiveLyricOff;
  s.LyricLine = v.LyricLine;
  w_.lyrics_.Invalidate();
}

void Tfm_PlayerMain::TWindowSettingsHost::ApplyLyricLook(const settings::TLyricLook& v) {
  w_.settings_.Lyric = {v.LyricBackColor,         v.LyricFontSize, v.LyricFontName,  v.LyricFontColor,
                        v.LyricDeActiveFontColor, v.LyricFontBold, v.LyricFontItalic};
  w_.lyrics_.Invalidate();
}

void Tfm_PlayerMain::TWindowSettingsHost::ApplyKSLyricFontSize(int size) {
  w_.settings_.KSLyricFontSize = size;
  w_.lyrics_.Invalidate();
}

void Tfm_PlayerMain::TWindowSettingsHost::ApplyTitleAdditions(const settings::TTitleAdditions& v) {
  TPlayerSettings& s = w_.settings_;
  s.TitleAddTrack = v.TitleAddTrack;
  s.ArtistAddYear = v.ArtistAddYear;
  s.InfoAddTitle = v.InfoAddTitle;
  s.InfoAddArtist = v.InfoAddArtist;
  s.InfoAddAlbum = v.InfoAddAlbum;
  s.InfoAddYear = v.InfoAddYear;
}

void Tfm_PlayerMain::TWindowSettingsHost::RefreshMainDisplay() {
  w_.RefreshLabels();
  w_.scrollSetupPending_ = true;
  w_.update();
}

}  // namespace sorrel::app
