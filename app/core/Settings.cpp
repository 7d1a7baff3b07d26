#include "app/core/Settings.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace sorrel::app {

namespace {

// One key list serves both directions: a section function names every key of its
// section in the file's order, and the side effects of reading sit between the keys.
class KeyIo {
 public:
  KeyIo(const IniFile* in, IniFile* out, TSettingsHost* host) : in_(in), out_(out), host_(host) {}
  bool reading() const { return in_ != nullptr; }
  TSettingsHost& host() { return *host_; }
  void section(const char* name) { section_ = name; }

  void Int(const std::string& key, int& v) {
    if (in_)
      v = in_->ReadInteger(section_, key, v);
    else
      out_->WriteInteger(section_, key, v);
  }
  void Bool(const std::string& key, bool& v) {
    if (in_)
      v = in_->ReadBool(section_, key, v);
    else
      out_->WriteBool(section_, key, v);
  }
  void Str(const std::string& key, std::string& v) {
    if (in_)
      v = in_->ReadString(section_, key, v);
    else
      out_->WriteString(section_, key, v);
  }
  // An integer that must lie in lo..hi: outside it, reading keeps the default.
  void Ranged(const std::string& key, int& v, int lo, int hi) {
    int t = v;
    Int(key, t);
    if (t >= lo && t <= hi) v = t;
  }
  void Font(const std::string& prefix, TFontStyle& f) {
    Str(prefix + "FontName", f.Name);
    Int(prefix + "FontColor", f.Color);
    Bool(prefix + "FontBold", f.Bold);
    Bool(prefix + "FontItalic", f.Italic);
  }

 private:
  const IniFile* in_;
  IniFile* out_;
  TSettingsHost* host_;
  const char* section_ = "";
};

void PlayerMainForm(KeyIo& io, TPlayerSettings& s) {
  io.section("PlayerMainForm");
  io.Ranged("SuspendMode", s.SuspendMode, 0, 255);
  io.Int("MinSleepTime", s.MinSleepTime);
  io.Int("Left", s.Left);
  io.Int("Top", s.Top);
  if (io.reading()) io.host().MoveWindow(s.Left, s.Top);
  io.Bool("OrgSize", s.OrgSize);
  io.Int("Height", s.Height);
  io.Int("Width", s.Width);
  if (io.reading() && !s.OrgSize) io.host().ResizeWindow(s.Width, s.Height);
  io.Int("Height0", s.Height0);
  io.Int("Width0", s.Width0);
  io.Int("Height1", s.Height1);
  io.Int("Width1", s.Width1);
  io.Int("Height2", s.Height2);
  io.Int("Width2", s.Width2);
  io.Bool("f1Cancel", s.f1Cancel);
  io.Bool("f9Cancel", s.f9Cancel);
  io.Int("MoveMouseTime", s.MoveMouseTime);
  io.Int("BackColor", s.BackColor);
  if (io.reading()) io.host().SetBackColor(s.BackColor);
  io.Int("ActiveFrameColor", s.ActiveFrameColor);
  io.Int("DeactiveFrameColor", s.DeactiveFrameColor);
  io.Str("BackPictureFileName", s.BackPictureFileName);
  if (io.reading() && !s.BackPictureFileName.empty() && !io.host().LoadBackPicture(s.BackPictureFileName))
    s.BackPictureFileName.clear();
  io.Bool("InfoAddTitle", s.InfoAddTitle);
  io.Bool("InfoAddArtist", s.InfoAddArtist);
  io.Bool("InfoAddAlbum", s.InfoAddAlbum);
  io.Bool("InfoAddYear", s.InfoAddYear);
  io.Str("TitleFontName", s.TitleFontName);
  io.Int("ActiveTitleFontColor", s.ActiveTitleFontColor);
  io.Int("DeactiveTitleFontColor", s.DeactiveTitleFontColor);
  io.Bool("TitleFontBold", s.TitleFontBold);
  io.Bool("TitleFontItalic", s.TitleFontItalic);
  if (io.reading())
    io.host().SetLabelFont(TStyledLabel::lb_Title, TFontStyle{s.TitleFontName, s.ActiveTitleFontColor,
                                                              s.TitleFontBold, s.TitleFontItalic});
  io.Bool("TitleAddTrack", s.TitleAddTrack);
  io.Int("LabelFontColor", s.LabelFontColor);
  if (io.reading()) io.host().SetCaptionColor(s.LabelFontColor);
  io.Font("Artist", s.ArtistFont);
  if (io.reading()) io.host().SetLabelFont(TStyledLabel::lb_Artist, s.ArtistFont);
  io.Bool("ArtistAddYear", s.ArtistAddYear);
  io.Font("Album", s.AlbumFont);
  if (io.reading()) io.host().SetLabelFont(TStyledLabel::lb_Album, s.AlbumFont);
  io.Font("PlayTime", s.PlayTimeFont);
  if (io.reading()) io.host().SetLabelFont(TStyledLabel::lb_Time, s.PlayTimeFont);
  io.Font("Time", s.TimeFont);
  if (io.reading()) io.host().SetLabelFont(TStyledLabel::lb_CurTime, s.TimeFont);
  io.Bool("CurTimeShowSec", s.CurTimeShowSec);
  io.Str("ColorDialogOption", s.ColorDialogOption);
}

void CurrentMusic(KeyIo& io, TPlayerSettings& s) {
  io.section("CurrentMusic");
  io.Str("CurFile", s.CurFile);
  io.Int("MusicIndex", s.MusicIndex);
  io.Int("CurPos", s.CurPos);
  io.Bool("ListFileMode", s.ListFileMode);
  io.Bool("Shuffle", s.Shuffle);
  io.Int("ShuffleSeed", s.ShuffleSeed);
}

void Player(KeyIo& io, TPlayerSettings& s) {
  io.section("Player");
  io.Int("MainLevel", s.MainLevel);
  if (io.reading()) {
    s.MainLevel = std::clamp(s.MainLevel, 0, 100);
    io.host().StartFadeIn();
  }
  io.Int("Balance", s.Balance);
  if (io.reading()) io.host().SetPlayerBalance(s.Balance);
  io.Int("PreLevel", s.PreLevel);
  for (int b = 0; b < 10; ++b) {
    io.Int("EQ" + std::to_string(b), s.EQ[b]);
    if (io.reading()) io.host().SetPlayerBand(b, s.EQ[b]);
  }
  for (int n = 0; n < 10; ++n) {
    TEqPreset& p = s.Presets[n];
    io.Str(PresetKey("AEQName[", n), p.AEQName);
    io.Int(PresetKey("AVolume[", n), p.AVolume);
    io.Int(PresetKey("ABalance[", n), p.ABalance);
    io.Int(PresetKey("APreLevel[", n), p.APreLevel);
    for (int m = 0; m < 10; ++m) io.Int(PresetBandKey(n, m), p.AEQ[m]);
  }
}

void PlayList(KeyIo& io, TPlayerSettings& s) {
  io.section("PlayList");
  io.Int("PLDirLimit", s.PLDirLimit);
  io.Int("PLFileLimit", s.PLFileLimit);
  io.Str("OpenDialogInitialDir", s.OpenDialogInitialDir);
  io.Str("SaveDialogInitialDir", s.SaveDialogInitialDir);
}

void FileList(KeyIo& io, TPlayerSettings& s) {
  io.section("FileList");
  io.Int("FLFileLimit", s.FLFileLimit);
  io.Int("FLHFontPlus", s.FLHFontPlus);
  io.Bool("FLHFontBold", s.FLHFontBold);
}

void OvisAlarm(KeyIo& io, TPlayerSettings& s) {
  io.section("OvisAlarm");
  io.Int("AlarmDistance", s.AlarmDistance);
  io.Int("AlarmVelocity", s.AlarmVelocity);
  io.Int("AlarmAimDegree", s.AlarmAimDegree);
  io.Int("AlarmOpsDegree", s.AlarmOpsDegree);
  io.Int("PreLevelDownVal", s.PreLevelDownVal);
  io.Int("PreLevelDownWait", s.PreLevelDownWait);
  io.Int("PlaySoundInterval", s.PlaySoundInterval);
  io.Int("DistanceOffset", s.DistanceOffset);
  io.Int("SpeedCancelDelay", s.SpeedCancelDelay);
  io.Int("AlarmHideDelay", s.AlarmHideDelay);
  io.Bool("UseTNLink", s.UseTNLink);
  io.Int("NavinYouComWait", s.NavinYouComWait);
  io.Bool("OnActiveNavinFG", s.OnActiveNavinFG);
  io.Int("NYMapMatchNo", s.NYMapMatchNo);
}

void Lyric(KeyIo& io, TPlayerSettings& s) {
  io.section("Lyric");
  io.Ranged("LyricPos", s.LyricPos, 0, 255);
  io.Int("LyricLine", s.LyricLine);
  if (io.reading()) s.LyricLine = std::clamp(s.LyricLine, 1, 20);
  io.Int("LyricOffset", s.LyricOffset);
  io.Int("LyricNilSpace", s.LyricNilSpace);
  io.Bool("LyricWinWidthLimited", s.LyricWinWidthLimited);
  io.Bool("DeActiveLyricOff", s.DeActiveLyricOff);
  io.Int("KSLyricFontSize", s.KSLyricFontSize);
  io.Bool("Tarn_Lyric", s.Tarn_Lyric);
  io.Bool("PlayWithLyric", s.PlayWithLyric);
  if (io.reading() && !s.Tarn_Lyric) s.PlayWithLyric = false;
  TLyricStyle& l = s.Lyric;
  io.Int("LyricBackColor", l.LyricBackColor);
  io.Int("LyricFontSize", l.LyricFontSize);
  io.Str("LyricFontName", l.LyricFontName);
  io.Int("LyricFontColor", l.LyricFontColor);
  io.Int("LyricDeActiveFontColor", l.LyricDeActiveFontColor);
  io.Bool("LyricFontBold", l.LyricFontBold);
  io.Bool("LyricFontItalic", l.LyricFontItalic);
  if (io.reading()) io.host().ApplyLyricStyle(l);
}

void OnResume(KeyIo& io, TPlayerSettings& s) {
  io.section("OnResume");
  io.Int("OnResumeWait", s.OnResumeWait);
  io.Bool("OnResumeSetCursorPos", s.OnResumeSetCursorPos);
}

void MappleLink(KeyIo& io, TPlayerSettings& s) {
  io.section("MappleLink");
  TMappleLinkValues& m = s.Mapple;
  io.Bool("UseMappleLink", m.UseMappleLink);
  io.Int("MapplePosLeft", m.MapplePosLeft);
  io.Int("MapplePosTop", m.MapplePosTop);
  io.Int("MapplePosRight", m.MapplePosRight);
  io.Int("MapplePosBottom", m.MapplePosBottom);
  io.Int("MappleZoom", m.MappleZoom);
  io.Int("MappleClass", m.MappleClass);
  for (int n = 0; n < 10; ++n) io.Int(PresetKey("MappleDefScale[", n), m.MappleDefScale[n]);
  if (io.reading()) io.host().ApplyMappleLink(m);
}

}  // namespace

std::string PresetKey(const char* prefix, int n) { return prefix + std::to_string(n) + "]"; }

std::string PresetBandKey(int n, int m) { return "AEQ[" + std::to_string(n) + "," + std::to_string(m) + "]"; }

void ReadSettings(const IniFile& ini, TPlayerSettings& s, TSettingsHost& host) {
  KeyIo io(&ini, nullptr, &host);
  PlayerMainForm(io, s);
  Player(io, s);
  CurrentMusic(io, s);
  PlayList(io, s);
  FileList(io, s);
  OvisAlarm(io, s);
  Lyric(io, s);
  OnResume(io, s);
  MappleLink(io, s);
}

void WriteSettings(IniFile& ini, const TPlayerSettings& settings) {
  if (ini.Value(kVersionSection, "Version") != std::optional<std::string>(kSettingsVersion)) ini = IniFile{};
  TPlayerSettings s = settings;  // the section functions take the record by reference
  KeyIo io(nullptr, &ini, nullptr);
  io.section(kVersionSection);
  std::string version = kSettingsVersion;
  io.Str("Version", version);
  PlayerMainForm(io, s);
  CurrentMusic(io, s);
  Player(io, s);
  PlayList(io, s);
  FileList(io, s);
  OvisAlarm(io, s);
  Lyric(io, s);
  OnResume(io, s);
  MappleLink(io, s);
}

bool WriteSettingsFile(const std::string& path, const TPlayerSettings& s, std::string* error) {
  IniFile ini = IniFile::Load(path);
  WriteSettings(ini, s);
  return ini.Save(path, error);
}

bool ReadSettingsFile(const std::string& path, TPlayerSettings& s, TSettingsHost& host) {
  const bool exists = static_cast<bool>(std::ifstream(path, std::ios::binary));
  ReadSettings(IniFile::Load(path), s, host);
  return exists;
}

}  // namespace sorrel::app
