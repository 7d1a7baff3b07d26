// The player's settings record and its settings file "sorrel.ini".  Each module owns the
// keys of its sections (playlist: "CurrentMusic", "PlayList", "FileList"; settings:
// "Player"; alarm: "OvisAlarm"; maplink: "MappleLink"); the application owns the
// version, "PlayerMainForm", "Lyric" and "OnResume", and puts the sections together in
// the reading order and the writing order.  The record is plain data owned by the main
// window; what reading a key does besides storing it (moving the window, styling its
// texts, setting the player's levels ...) goes through TSettingsHost, each call made at
// its place in the reading order.
#pragma once

#include "alarm/core/OvisAlarmSettings.h"
#include "base/IniFile.h"
#include "maplink/core/MappleLinkSettings.h"
#include "playlist/core/PlaylistSettings.h"
#include "settings/core/SoundDeskSettings.h"

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

// The texts of the main window whose font the settings file holds.
enum class TTextRole { kTitle, kArtist, kAlbum, kPlayTime, kClock };

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

inline constexpr int kFormWidth = 468;
inline constexpr int kFormHeight = 77;
inline constexpr const char* kDefaultLabelFont = "ＭＳ Ｐゴシック";

// "PlayerMainForm"
struct TMainFormSettings {
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
  bool operator==(const TMainFormSettings&) const = default;
};

// "Lyric"
struct TLyricSettings {
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
  bool operator==(const TLyricSettings&) const = default;
};

// "OnResume"
struct TOnResumeSettings {
  int OnResumeWait = 3999;
  bool OnResumeSetCursorPos = false;
  bool operator==(const TOnResumeSettings&) const = default;
};

// The whole record: every module's part, reached by the keys' own names
// (settings.ListFileMode, settings.MainLevel ...).
struct TPlayerSettings : TMainFormSettings,
                         playlist::TCurrentMusic,
                         settings::TSoundDeskSettings,
                         playlist::TPlayListSettings,
                         playlist::TFileListSettings,
                         alarm::TOvisAlarmSettings,
                         TLyricSettings,
                         TOnResumeSettings,
                         maplink::TMappleLinkSettings {
  // Run-time values, never stored.
  std::vector<int> DirFileCounts;

  bool operator==(const TPlayerSettings&) const = default;
};

// Receives the side effects of reading, in the reading order.  Every default does
// nothing, so a test or a tool can take only the ones it cares about.
class TSettingsHost : public settings::TSoundDeskHost, public maplink::TMappleLinkHost {
 public:
  virtual void MoveWindow(int /*left*/, int /*top*/) {}
  virtual void ResizeWindow(int /*width*/, int /*height*/) {}
  virtual void SetBackColor(TColor) {}
  // False when the picture cannot be loaded: the name is then cleared.
  virtual bool LoadBackPicture(const std::string& /*fileName*/) { return true; }
  virtual void SetTextStyle(TTextRole, const TFontStyle&) {}
  // "LabelFontColor": the captions of the title, artist and album and of the shuffle box.
  virtual void SetCaptionColor(TColor) {}
  virtual void ApplyLyricStyle(const TLyricStyle&) {}
};

// Reads every key in the reading order into `s` (whose position fields hold the window's
// position before reading, the default of "Left" and "Top"), calling `host` on the way.
void ReadSettings(const base::IniFile& ini, TPlayerSettings& s, TSettingsHost& host);

// Applies the version rule and the writing order to `ini`, which holds the file as it is
// on disk: a file whose "Version" is not "9.99x" is dropped first, so only the keys of
// the tables remain; otherwise the keys of other programs stay.
void WriteSettings(base::IniFile& ini, const TPlayerSettings& s);

// The settings file on disk, read once at start and written at shutdown (and before a
// power-off).  A file that cannot be read (not a regular file, a read error, larger than
// the cap) gives the defaults and is never written over.  A file that holds no section
// or key, or is UTF-16, gives the defaults too; it is replaced at the next write, after
// a copy has been kept as "<name>.bad".
class TSettingsFile {
 public:
  enum class TState { kNotRead, kRead, kMissing, kUnreadable, kNotSettings };

  explicit TSettingsFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }
  std::string BadCopyPath() const { return path_ + ".bad"; }
  TState State() const { return state_; }

  // Removes the temporary files of writers that were killed, then reads the file into
  // `s` with the side effects of reading (the defaults for all that is missing).
  // Returns what to tell the user (once), or nothing.
  std::string Read(TPlayerSettings& s, TSettingsHost& host);

  // Merges `s` into the file as it is on disk now and replaces it whole.  False when
  // nothing was written; `message` then says why, unless Read has said it already.
  bool Write(const TPlayerSettings& s, std::string* message = nullptr);

 private:
  std::string path_;
  TState state_ = TState::kNotRead;
};

}  // namespace sorrel::app
