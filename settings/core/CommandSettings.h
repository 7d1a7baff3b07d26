// The settings the settings window edits on its display, list, lyric and alarm tabs, and
// "設 定": the order in which the edited values reach the main window, the lyric window
// and the alarm.  The main window owns the settings record; it hands the window a copy
// of these values when the window is shown and carries out each step of TCommandFormHost
// (store the value in the record, and style what it styles).
#pragma once

#include <cstdint>
#include <string>

namespace sorrel::settings {

// 0x00BBGGRR: red in the lowest byte.
using TColor = int32_t;

// A label's font as the settings file holds it.
struct TTextFont {
  std::string Name;
  TColor Color = 0;
  bool Bold = false;
  bool Italic = false;
  bool operator==(const TTextFont&) const = default;
};

// The main window's labels whose font the window sets, in the order "設 定" sets them:
// lb_Title, lb_Artist, lb_Album, lb_Time (the playing time), lb_CurTime (the clock).
enum class TLabelFont { kTitle, kArtist, kAlbum, kPlayTime, kClock };
inline constexpr int kLabelFonts = 5;

// "PlayList" and "FileList".
struct TListLimits {
  int PLDirLimit = 2;
  int PLFileLimit = 3;
  int FLFileLimit = 3;
  int FLHFontPlus = 0;
  bool FLHFontBold = false;
  bool operator==(const TListLimits&) const = default;
};

// The six alarm parameters of "OvisAlarm" the window edits.
struct TAlarmParameters {
  int AlarmDistance = 1000;
  int AlarmVelocity = 30;
  int AlarmAimDegree = 120;
  int AlarmOpsDegree = 80;
  int PreLevelDownVal = 40;
  int PlaySoundInterval = 7000;  // milliseconds
  bool operator==(const TAlarmParameters&) const = default;
};

// Where the lyric window sits and how much it shows ("Lyric").
struct TLyricPlacement {
  int LyricPos = 2;  // 0 bottom, 1 left, 2 right, 3 top
  bool LyricWinWidthLimited = true;
  bool DeActiveLyricOff = true;
  int LyricLine = 2;
  bool operator==(const TLyricPlacement&) const = default;
};

// The lyric window's look ("Lyric").
struct TLyricLook {
  TColor LyricBackColor = 0x000000;
  int LyricFontSize = 26;
  std::string LyricFontName = "ＭＳ Ｐゴシック";
  TColor LyricFontColor = 0x00FFFF;
  TColor LyricDeActiveFontColor = 0xC0C0C0;
  bool LyricFontBold = true;
  bool LyricFontItalic = false;
  bool operator==(const TLyricLook&) const = default;
};

// What the title and the information pop-up add ("PlayerMainForm").
struct TTitleAdditions {
  bool TitleAddTrack = false;
  bool ArtistAddYear = false;
  bool InfoAddTitle = false;
  bool InfoAddArtist = false;
  bool InfoAddAlbum = false;
  bool InfoAddYear = false;
  bool operator==(const TTitleAdditions&) const = default;
};

// Everything the window shows and edits besides the sound desk, named as the settings
// file names it.  The fonts' colours: the title's is ActiveTitleFontColor.
struct TCommandValues {
  TListLimits Lists;
  TAlarmParameters Alarm;
  TColor BackColor = 0;
  TColor ActiveFrameColor = 0xFF70F0;
  TColor DeactiveFrameColor = 0xC0C0C0;
  std::string BackPictureFileName = "Lumen.jpg";
  TColor ActiveTitleFontColor = 0xFFFF;
  TColor DeactiveTitleFontColor = 0xC0C0C0;
  // By TLabelFont.
  TTextFont Fonts[kLabelFonts] = {{"ＭＳ Ｐゴシック", 0xFFFF, true, false},
                                  {"ＭＳ Ｐゴシック", 0xFF00, true, false},
                                  {"ＭＳ Ｐゴシック", 0xFF00FF, true, false},
                                  {"ＭＳ Ｐゴシック", 0xFDD5F8, true, false},
                                  {"ＭＳ Ｐゴシック", 0x4DF9AF, true, false}};
  TColor LabelFontColor = 0xC0C0C0;
  bool CurTimeShowSec = false;
  TLyricPlacement LyricPlacement;
  TLyricLook Lyric;
  int KSLyricFontSize = 48;
  TTitleAdditions Additions;
  // The colour dialog's custom colours; the window keeps them up to date through
  // StoreColorDialogOption, "設 定" does not apply them.
  std::string ColorDialogOption;

  TTextFont& Font(TLabelFont f) { return Fonts[static_cast<int>(f)]; }
  const TTextFont& Font(TLabelFont f) const { return Fonts[static_cast<int>(f)]; }
  bool operator==(const TCommandValues&) const = default;
};

// The main window's side of the settings window.  Each Apply* stores its values in the
// settings record and applies them at once.
class TCommandFormHost {
 public:
  virtual ~TCommandFormHost() = default;

  // The settings as they are now, with the lyric window's look; read at every showing.
  virtual TCommandValues CommandValues() const = 0;
  // The folder that relative file names (the background picture) are relative to.
  virtual std::string HomeDir() const = 0;
  // "ColorDialogOption": the colour dialog's custom colours changed.
  virtual void StoreColorDialogOption(const std::string& text) = 0;

  // The steps of "設 定", called in this order by ApplyCommandSettings.
  // 1. "PLDirLimit", "PLFileLimit", "FLFileLimit", "FLHFontPlus", "FLHFontBold".
  virtual void ApplyListLimits(const TListLimits& v) = 0;
  // 2. The six alarm values; the alarm takes them over.
  virtual void ApplyAlarmParameters(const TAlarmParameters& v) = 0;
  // 3. Hide the settings window as one of the main window's sub-windows.
  virtual void CloseCommandForm() = 0;
  // 4. "BackColor", the frame colours, the background picture.
  virtual void ApplyBackColor(TColor c) = 0;
  virtual void ApplyFrameColors(TColor active, TColor deactive) = 0;
  // Shows the picture (an empty name: none).  False when it cannot be loaded; the old
  // picture then stays.
  virtual bool ShowBackPicture(const std::string& fileName) = 0;
  virtual void StoreBackPictureFileName(const std::string& fileName) = 0;
  // 5. The title's colours, the labels' fonts, "LabelFontColor", "CurTimeShowSec".
  virtual void ApplyTitleColors(TColor active, TColor deactive) = 0;
  virtual void ApplyLabelFont(TLabelFont label, const TTextFont& font) = 0;
  virtual void ApplyLabelFontColor(TColor c) = 0;
  virtual void ApplyCurTimeShowSec(bool on) = 0;
  // 6. The lyric window.
  virtual void ApplyLyricPlacement(const TLyricPlacement& v) = 0;
  virtual void ApplyLyricLook(const TLyricLook& v) = 0;
  virtual void ApplyKSLyricFontSize(int size) = 0;
  // 7. The title's and the pop-up's additions.
  virtual void ApplyTitleAdditions(const TTitleAdditions& v) = 0;
  // 8.
  virtual void RefreshMainDisplay() = 0;
  virtual void MarkSettingsChanged() = 0;
};

// "設 定": `edited` (what the window's controls hold) reaches `host` step by step.  The
// background picture is loaded only when its name differs from `current`'s, and its
// name is stored only when it could be loaded (an empty name always can).
void ApplyCommandSettings(const TCommandValues& current, const TCommandValues& edited,
                          TCommandFormHost& host);

}  // namespace sorrel::settings
