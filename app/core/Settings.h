// The player's settings record and its settings file "sorrel.ini": every section and key
// with its type, default, reading order and writing order.  The record is plain data
// owned by the main window; what reading a key does besides storing it (moving the
// window, styling labels, setting the player's levels ...) goes through TSettingsHost,
// each call made at its place in the reading order.
#pragma once

#include "app/core/IniFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sorrel::app {

inline constexpr const char* kSettingsVersion = "9.99x";
inline constexpr const char* kVersionSection = "Tarn's MP3PLayer Version";
inline constexpr const char* kSettingsFileName = "sorrel.ini";

// Colours are 0x00BBGGRR (red in the lowest byte).
using TColor = int32_t;

struct TFontStyle {
  std::string Name;
  TColor Color = 0;
  bool Bold = false;
  bool Italic = false;
  bool operator==(const TFontStyle&) const = default;
};

// The labels whose font the settings file holds.
enum class TStyledLabel { lb_Title, lb_Artist, lb_Album, lb_Time, lb_CurTime };

struct TEqPreset {
  std::string AEQName;
  int AVolume = 50;
  int ABalance = 0;
  int APreLevel = 0;
  std::array<int, 10> AEQ{};
  bool operator==(const TEqPreset&) const = default;
};

struct TLyricStyle {
  TColor LyricBackColor = 0x000000;
  int LyricFontSize = 26;
  std::string LyricFontName = "ＭＳ Ｐゴシック";
  TColor LyricFontColor = 0x00FFFF;          // yellow
  TColor LyricDeActiveFontColor = 0xC0C0C0;  // silver
  bool LyricFontBold = true;
  bool LyricFontItalic = false;
  bool operator==(const TLyricStyle&) const = default;
};

struct TMappleLinkValues {
  bool UseMappleLink = false;
  int MapplePosLeft = 0, MapplePosTop = 0, MapplePosRight = 480, MapplePosBottom = 480;
  int MappleZoom = 200;
  int MappleClass = -1;
  std::array<int, 10> MappleDefScale{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  bool operator==(const TMappleLinkValues&) const = default;
};

inline constexpr int kFormWidth = 468;
inline constexpr int kFormHeight = 77;
inline constexpr const char* kDefaultLabelFont = "ＭＳ Ｐゴシック";

struct TPlayerSettings {
  // "PlayerMainForm"
  int SuspendMode = 0;  // 0..255
  int MinSleepTime = 99;
  int Left = 0, Top = 0;  // before reading: the position the window was given
  bool OrgSize = true;
  int Height = kFormHeight, Width = kFormWidth;
  int Height0 = 30, Width0 = 197;
  int Height1 = 53, Width1 = 197;
  int Height2 = 77, Width2 = 249;
  bool f1Cancel = false, f9Cancel = false;
  int MoveMouseTime = 5000;
  TColor BackColor = 0;
  TColor ActiveFrameColor = 0xFF70F0, DeactiveFrameColor = 0xC0C0C0;
  std::string BackPictureFileName = "Lumen.jpg";
  bool InfoAddTitle = false, InfoAddArtist = false, InfoAddAlbum = false, InfoAddYear = false;
  std::string TitleFontName = kDefaultLabelFont;
  TColor ActiveTitleFontColor = 0xFFFF, DeactiveTitleFontColor = 0xC0C0C0;
  bool TitleFontBold = true, TitleFontItalic = false;
  bool TitleAddTrack = false;
  TColor LabelFontColor = 0xC0C0C0;
  TFontStyle ArtistFont{kDefaultLabelFont, 0xFF00, true, false};
  bool ArtistAddYear = false;
  TFontStyle AlbumFont{kDefaultLabelFont, 0xFF00FF, true, false};
  TFontStyle PlayTimeFont{kDefaultLabelFont, 0xFDD5F8, true, false};
  TFontStyle TimeFont{kDefaultLabelFont, 0x4DF9AF, true, false};
  bool CurTimeShowSec = false;
  std::string ColorDialogOption;

  // "CurrentMusic": the resume point
  std::string CurFile;
  int MusicIndex = 0;
  int CurPos = 0;
  bool ListFileMode = false;
  bool Shuffle = false;
  int ShuffleSeed = 9999;

  // "Player"
  int MainLevel = 50;  // 0..100
  int Balance = 0;
  int PreLevel = 0;
  std::array<int, 10> EQ{};
  std::array<TEqPreset, 10> Presets{};

  // "PlayList"
  int PLDirLimit = 2, PLFileLimit = 3;
  std::string OpenDialogInitialDir, SaveDialogInitialDir;

  // "FileList"
  int FLFileLimit = 3;
  int FLHFontPlus = 0;
  bool FLHFontBold = false;

  // "OvisAlarm"
  int AlarmDistance = 1000, AlarmVelocity = 30, AlarmAimDegree = 120, AlarmOpsDegree = 80;
  int PreLevelDownVal = 40, PreLevelDownWait = 2199, PlaySoundInterval = 7000;
  int DistanceOffset = 0, SpeedCancelDelay = 3000, AlarmHideDelay = 0;
  bool UseTNLink = false;
  int NavinYouComWait = 999;
  bool OnActiveNavinFG = false;
  int NYMapMatchNo = 4;

  // "Lyric"
  int LyricPos = 2;   // 0..255
  int LyricLine = 2;  // 1..20
  int LyricOffset = -299;
  int LyricNilSpace = 2;
  bool LyricWinWidthLimited = true;
  bool DeActiveLyricOff = true;
  int KSLyricFontSize = 48;
  bool Tarn_Lyric = false;
  bool PlayWithLyric = false;
  TLyricStyle Lyric;

  // "OnResume"
  int OnResumeWait = 3999;
  bool OnResumeSetCursorPos = false;

  // "MappleLink"
  TMappleLinkValues Mapple;

  // Run-time values, never stored.
  std::vector<int> DirFileCounts;

  bool operator==(const TPlayerSettings&) const = default;
};

// Receives the side effects of reading, in the reading order.  Every default does
// nothing, so a test or a tool can take only the ones it cares about.
class TSettingsHost {
 public:
  virtual ~TSettingsHost() = default;
  virtual void MoveWindow(int /*left*/, int /*top*/) {}
  virtual void ResizeWindow(int /*width*/, int /*height*/) {}
  virtual void SetBackColor(TColor) {}
  // False when the picture cannot be loaded: the name is then cleared.
  virtual bool LoadBackPicture(const std::string& /*fileName*/) { return true; }
  virtual void SetLabelFont(TStyledLabel, const TFontStyle&) {}
  // "LabelFontColor": Label1..Label3 and lb_Shuffle.
  virtual void SetCaptionColor(TColor) {}
  // "MainLevel" read: the player starts silent and the fade-in (step -2) raises it.
  virtual void StartFadeIn() {}
  virtual void SetPlayerBalance(int) {}
  virtual void SetPlayerBand(int /*band*/, int /*value*/) {}
  virtual void ApplyLyricStyle(const TLyricStyle&) {}
  virtual void ApplyMappleLink(const TMappleLinkValues&) {}
};

// Key names of the presets and the map scales: "AEQName[3]", "AEQ[3,7]", "MappleDefScale[2]".
std::string PresetKey(const char* prefix, int n);
std::string PresetBandKey(int n, int m);

// Reads every key in the reading order into `s` (whose position fields hold the window's
// position before reading, the default of "Left" and "Top"), calling `host` on the way.
void ReadSettings(const IniFile& ini, TPlayerSettings& s, TSettingsHost& host);

// Applies the version rule and the writing order to `ini`, which holds the file as it is
// on disk: a file whose "Version" is not "9.99x" is dropped first, so only the keys of
// the tables remain; otherwise the keys of other programs stay.
void WriteSettings(IniFile& ini, const TPlayerSettings& s);

// The file itself: load, apply, save atomically.  False (with a reason) when it could
// not be written; the old file is then left whole.
bool WriteSettingsFile(const std::string& path, const TPlayerSettings& s, std::string* error = nullptr);
bool ReadSettingsFile(const std::string& path, TPlayerSettings& s, TSettingsHost& host);

}  // namespace sorrel::app
