#include "app/core/Settings.h"

#include "base/FileIO.h"
#include "base/KeyList.h"
#include "base/TextCodec.h"

#include <algorithm>

namespace sorrel::app {

namespace {

using base::TKeyList;

void FontKeys(TKeyList& keys, const std::string& prefix, TFontStyle& f) {
  keys.Str(prefix + "FontName", f.Name);
  keys.Int(prefix + "FontColor", f.Color);
  keys.Bool(prefix + "FontBold", f.Bold);
  keys.Bool(prefix + "FontItalic", f.Italic);
}

void PlayerMainFormKeys(TKeyList& keys, TMainFormSettings& s, TSettingsHost& host) {
  keys.Section("PlayerMainForm");
  keys.Ranged("SuspendMode", s.SuspendMode, 0, 255);
  keys.Int("MinSleepTime", s.MinSleepTime);
  keys.Int("Left", s.Left);
  keys.Int("Top", s.Top);
  if (keys.Reading()) host.MoveWindow(s.Left, s.Top);
  keys.Bool("OrgSize", s.OrgSize);
  keys.Int("Height", s.Height);
  keys.Int("Width", s.Width);
  if (keys.Reading() && !s.OrgSize) host.ResizeWindow(s.Width, s.Height);
  keys.Int("Height0", s.Height0);
  keys.Int("Width0", s.Width0);
  keys.Int("Height1", s.Height1);
  keys.Int("Width1", s.Width1);
  keys.Int("Height2", s.Height2);
  keys.Int("Width2", s.Width2);
  keys.Bool("f1Cancel", s.f1Cancel);
  keys.Bool("f9Cancel", s.f9Cancel);
  keys.Int("MoveMouseTime", s.MoveMouseTime);
  keys.Int("BackColor", s.BackColor);
  if (keys.Reading()) host.SetBackColor(s.BackColor);
  keys.Int("ActiveFrameColor", s.ActiveFrameColor);
  keys.Int("DeactiveFrameColor", s.DeactiveFrameColor);
  keys.Str("BackPictureFileName", s.BackPictureFileName);
  if (keys.Reading() && !s.BackPictureFileName.empty() && !host.LoadBackPicture(s.BackPictureFileName))
    s.BackPictureFileName.clear();
  keys.Bool("InfoAddTitle", s.InfoAddTitle);
  keys.Bool("InfoAddArtist", s.InfoAddArtist);
  keys.Bool("InfoAddAlbum", s.InfoAddAlbum);
  keys.Bool("InfoAddYear", s.InfoAddYear);
  keys.Str("TitleFontName", s.TitleFontName);
  keys.Int("ActiveTitleFontColor", s.ActiveTitleFontColor);
  keys.Int("DeactiveTitleFontColor", s.DeactiveTitleFontColor);
  keys.Bool("TitleFontBold", s.TitleFontBold);
  keys.Bool("TitleFontItalic", s.TitleFontItalic);
  if (keys.Reading())
    host.SetTextStyle(TTextRole::kTitle, TFontStyle{s.TitleFontName, s.ActiveTitleFontColor, s.TitleFontBold,
                                                    s.TitleFontItalic});
  keys.Bool("TitleAddTrack", s.TitleAddTrack);
  keys.Int("LabelFontColor", s.LabelFontColor);
  if (keys.Reading()) host.SetCaptionColor(s.LabelFontColor);
  FontKeys(keys, "Artist", s.ArtistFont);
  if (keys.Reading()) host.SetTextStyle(TTextRole::kArtist, s.ArtistFont);
  keys.Bool("ArtistAddYear", s.ArtistAddYear);
  FontKeys(keys, "Album", s.AlbumFont);
  if (keys.Reading()) host.SetTextStyle(TTextRole::kAlbum, s.AlbumFont);
  FontKeys(keys, "PlayTime", s.PlayTimeFont);
  if (keys.Reading()) host.SetTextStyle(TTextRole::kPlayTime, s.PlayTimeFont);
  FontKeys(keys, "Time", s.TimeFont);
  if (keys.Reading()) host.SetTextStyle(TTextRole::kClock, s.TimeFont);
  keys.Bool("CurTimeShowSec", s.CurTimeShowSec);
  keys.Str("ColorDialogOption", s.ColorDialogOption);
}

void LyricKeys(TKeyList& keys, TLyricSettings& s, TSettingsHost& host) {
  keys.Section("Lyric");
  keys.Ranged("LyricPos", s.LyricPos, 0, 255);
  keys.Int("LyricLine", s.LyricLine);
  if (keys.Reading()) s.LyricLine = std::clamp(s.LyricLine, 1, 20);
  keys.Int("LyricOffset", s.LyricOffset);
  keys.Int("LyricNilSpace", s.LyricNilSpace);
  keys.Bool("LyricWinWidthLimited", s.LyricWinWidthLimited);
  keys.Bool("DeActiveLyricOff", s.DeActiveLyricOff);
  keys.Int("KSLyricFontSize", s.KSLyricFontSize);
  keys.Bool("Tarn_Lyric", s.Tarn_Lyric);
  keys.Bool("PlayWithLyric", s.PlayWithLyric);
  if (keys.Reading() && !s.Tarn_Lyric) s.PlayWithLyric = false;
  TLyricStyle& l = s.Lyric;
  keys.Int("LyricBackColor", l.LyricBackColor);
  keys.Int("LyricFontSize", l.LyricFontSize);
  keys.Str("LyricFontName", l.LyricFontName);
  keys.Int("LyricFontColor", l.LyricFontColor);
  keys.Int("LyricDeActiveFontColor", l.LyricDeActiveFontColor);
  keys.Bool("LyricFontBold", l.LyricFontBold);
  keys.Bool("LyricFontItalic", l.LyricFontItalic);
  if (keys.Reading()) host.ApplyLyricStyle(l);
}

void OnResumeKeys(TKeyList& keys, TOnResumeSettings& s) {
  keys.Section("OnResume");
  keys.Int("OnResumeWait", s.OnResumeWait);
  keys.Bool("OnResumeSetCursorPos", s.OnResumeSetCursorPos);
}

// Parses a settings file, or says why it is none: UTF-16 (as Windows' "Unicode" files
// are), or text with no section or key line at all.
const char* ParseSettings(std::string&& bytes, base::IniFile& ini) {
  if (base::LooksLikeUtf16(bytes)) return "is UTF-16 text, not a settings file this player reads";
  const bool blank = bytes.find_first_not_of(" \t\r\n") == std::string::npos;
  ini = base::IniFile::ParseMoved(std::move(bytes));
  if (!blank && !ini.HasEntries()) return "holds no section and no key, so it is no settings file";
  return nullptr;
}

}  // namespace

void ReadSettings(const base::IniFile& ini, TPlayerSettings& s, TSettingsHost& host) {
  TKeyList keys = TKeyList::Reader(ini);
  PlayerMainFormKeys(keys, s, host);
  settings::SoundDeskKeys(keys, s, host);
  playlist::CurrentMusicKeys(keys, s);
  playlist::PlayListKeys(keys, s);
  playlist::FileListKeys(keys, s);
  alarm::OvisAlarmKeys(keys, s);
  LyricKeys(keys, s, host);
  OnResumeKeys(keys, s);
  maplink::MappleLinkKeys(keys, s, host);
}

void WriteSettings(base::IniFile& ini, const TPlayerSettings& settings) {
  if (ini.Value(kVersionSection, "Version") != std::optional<std::string>(kSettingsVersion)) ini.Clear();
  TPlayerSettings s = settings;  // the key lists take the record by reference
  TSettingsHost none;            // writing has no side effects
  TKeyList keys = TKeyList::Writer(ini);
  keys.Section(kVersionSection);
  std::string version = kSettingsVersion;
  keys.Str("Version", version);
  PlayerMainFormKeys(keys, s, none);
  playlist::CurrentMusicKeys(keys, s);
  settings::SoundDeskKeys(keys, s, none);
  playlist::PlayListKeys(keys, s);
  playlist::FileListKeys(keys, s);
  alarm::OvisAlarmKeys(keys, s);
  LyricKeys(keys, s, none);
  OnResumeKeys(keys, s);
  maplink::MappleLinkKeys(keys, s, none);
}

std::string TSettingsFile::Read(TPlayerSettings& s, TSettingsHost& host) {
  base::RemoveStaleTempFiles(path_);
  base::TReadResult r = base::ReadRegularFile(path_);
  base::IniFile ini;
  std::string message;
  if (r.status == base::TReadStatus::kMissing) {
    state_ = TState::kMissing;
  } else if (!r.ok()) {
    state_ = TState::kUnreadable;
    message = r.error + ": not read; the default settings are used and the file is left as it is";
  } else if (const char* why = ParseSettings(std::move(r.data), ini)) {
    state_ = TState::kNotSettings;
    ini = base::IniFile{};
    message = path_ + " " + why + "; the default settings are used, and the file is replaced when they are " +
              "written (a copy is kept as " + BadCopyPath() + ")";
  } else {
    state_ = TState::kRead;
  }
  ReadSettings(ini, s, host);
  return message;
}

bool TSettingsFile::Write(const TPlayerSettings& s, std::string* message) {
  const auto fail = [&](std::string why) {
    if (message) *message = std::move(why);
    return false;
  };
  // Said at start: a file that could not be read is never written over.
  if (state_ == TState::kUnreadable) return fail({});
  // The file as it is now: keys that other programs or versions keep there stay.
  base::TReadResult r = base::ReadRegularFile(path_);
  base::IniFile ini;
  if (r.ok()) {
    const std::string bytes = base::LooksLikeUtf16(r.data) ? r.data : std::string();
    if (ParseSettings(std::move(r.data), ini)) {
      std::string error;
      if (!base::WriteFileAtomically(BadCopyPath(), bytes.empty() ? ini.SourceBytes() : bytes, &error))
        return fail("settings not written, as no copy of " + path_ + " could be kept: " + error);
      ini = base::IniFile{};
    }
  } else if (r.status != base::TReadStatus::kMissing) {
    return fail(r.error + ": settings not written over a file that cannot be read");
  }
  WriteSettings(ini, s);
  std::string error;
  if (!ini.Save(path_, &error)) return fail("settings not written: " + error);
  state_ = TState::kRead;
  return true;
}

}  // namespace sorrel::app
