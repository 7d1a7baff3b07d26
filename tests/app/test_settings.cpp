// The settings file: defaults, orders, the version rule, limits, encodings, the side
// effects of reading, and files that cannot be read or are no settings file.
#include "app/core/Settings.h"
#include "tests/common/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

using namespace sorrel::app;
using sorrel::base::IniFile;
namespace fs = std::filesystem;

using sorrel::test::ReadText;

namespace {

struct Recorder : TSettingsHost {
  std::vector<std::string> calls;
  bool pictureLoads = true;
  void MoveWindow(int l, int t) override {
    calls.push_back("move " + std::to_string(l) + "," + std::to_string(t));
  }
  void ResizeWindow(int w, int h) override {
    calls.push_back("resize " + std::to_string(w) + "x" + std::to_string(h));
  }
  void SetBackColor(TColor c) override { calls.push_back("back " + std::to_string(c)); }
  bool LoadBackPicture(const std::string& f) override {
    calls.push_back("picture " + f);
    return pictureLoads;
  }
  void SetTextStyle(TTextRole l, const TFontStyle& f) override {
    calls.push_back("font " + std::to_string(static_cast<int>(l)) + " " + f.Name + " " +
                    std::to_string(f.Color) + (f.Bold ? " b" : "") + (f.Italic ? " i" : ""));
  }
  void SetCaptionColor(TColor c) override { calls.push_back("captions " + std::to_string(c)); }
  void StartFadeIn() override { calls.push_back("fade"); }
  void SetPlayerBalance(int b) override { calls.push_back("balance " + std::to_string(b)); }
  void SetPlayerBand(int b, int v) override {
    calls.push_back("band " + std::to_string(b) + "=" + std::to_string(v));
  }
  void ApplyLyricStyle(const TLyricStyle& l) override { calls.push_back("lyric " + l.LyricFontName); }
  void ApplyMappleLink(const sorrel::maplink::TMappleLinkSettings& m) override {
    calls.push_back("mapple " + std::to_string(m.MappleZoom));
  }
  size_t IndexOf(const std::string& prefix) const {
    for (size_t i = 0; i < calls.size(); ++i)
      if (calls[i].rfind(prefix, 0) == 0) return i;
    return std::string::npos;
  }
};

TPlayerSettings Read(std::string_view text, Recorder* rec = nullptr) {
  TPlayerSettings s;
  Recorder local;
  ReadSettings(IniFile::Parse(text), s, rec ? *rec : local);
  return s;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    out.push_back(l);
  }
  return out;
}

std::vector<std::string> Sections(const std::string& text) {
  std::vector<std::string> out;
  for (const auto& l : Lines(text))
    if (!l.empty() && l.front() == '[') out.push_back(l);
  return out;
}

std::string Written(const TPlayerSettings& s, IniFile ini = {}) {
  WriteSettings(ini, s);
  return ini.Text();
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/sorrel-settings-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const char* name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

TEST(SettingsWrite, DefaultsInTheWritersOrder) {
  const std::string text = Written(TPlayerSettings{});
  const auto lines = Lines(text);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "[Tarn's MP3PLayer Version]");
  EXPECT_EQ(lines[1], "Version=9.99x");
  EXPECT_EQ(lines[2], "[PlayerMainForm]");
  EXPECT_EQ(Sections(text),
            (std::vector<std::string>{"[Tarn's MP3PLayer Version]", "[PlayerMainForm]", "[CurrentMusic]",
                                      "[Player]", "[PlayList]", "[FileList]", "[OvisAlarm]", "[Lyric]",
                                      "[OnResume]", "[MappleLink]"}));
  // Every line ends in CR LF, and the defaults come out as the tables give them.
  EXPECT_EQ(text.find("\n"), text.find("\r\n") + 1);
  for (const char* kv : {"SuspendMode=0",
                         "MinSleepTime=99",
                         "OrgSize=1",
                         "Height=77",
                         "Width=468",
                         "Width2=249",
                         "MoveMouseTime=5000",
                         "ActiveFrameColor=16740592",
                         "BackPictureFileName=Lumen.jpg",
                         "TitleFontName=ＭＳ Ｐゴシック",
                         "ActiveTitleFontColor=65535",
                         "TitleFontBold=1",
                         "ArtistFontColor=65280",
                         "PlayTimeFontColor=16635384",
                         "TimeFontColor=5110191",
                         "ShuffleSeed=9999",
                         "MainLevel=50",
                         "AVolume[9]=50",
                         "AlarmDistance=1000",
                         "PreLevelDownWait=2199",
                         "NavinYouComWait=999",
                         "NYMapMatchNo=4",
                         "LyricLine=2",
                         "LyricOffset=-299",
                         "KSLyricFontSize=48",
                         "LyricFontSize=26",
                         "OnResumeWait=3999",
                         "MapplePosRight=480",
                         "MappleZoom=200",
                         "MappleClass=-1",
                         "MappleDefScale[9]=-1",
                         "ColorDialogOption=",
                         "CurFile="}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), kv), lines.end()) << kv;
  }
}

TEST(SettingsWrite, KeyOrderWithinSectionsAndPresets) {
  const auto lines = Lines(Written(TPlayerSettings{}));
  const auto at = [&](const std::string& l) {
    return std::find(lines.begin(), lines.end(), l) - lines.begin();
  };
  // Within a preset: name, volume, balance, pre-level, bands 0..9; then the next preset.
  EXPECT_LT(at("EQ9=0"), at("AEQName[0]="));
  EXPECT_EQ(at("AVolume[0]=50"), at("AEQName[0]=") + 1);
  EXPECT_EQ(at("ABalance[0]=0"), at("AEQName[0]=") + 2);
  EXPECT_EQ(at("APreLevel[0]=0"), at("AEQName[0]=") + 3);
  EXPECT_EQ(at("AEQ[0,0]=0"), at("AEQName[0]=") + 4);
  EXPECT_EQ(at("AEQ[0,9]=0"), at("AEQName[0]=") + 13);
  EXPECT_EQ(at("AEQName[1]="), at("AEQName[0]=") + 14);
  EXPECT_EQ(at("AEQ[9,9]=0"), at("[PlayList]") - 1);
  EXPECT_LT(at("Left=0"), at("Top=0"));
  EXPECT_LT(at("OrgSize=1"), at("Height=77"));
  EXPECT_LT(at("Height=77"), at("Width=468"));
  EXPECT_LT(at("Tarn_Lyric=0"), at("PlayWithLyric=0"));
  EXPECT_EQ(at("MappleDefScale[0]=-1"), at("MappleClass=-1") + 1);
}

TEST(SettingsRoundTrip, EveryValueComesBack) {
  TPlayerSettings s;
  s.SuspendMode = 3;
  s.Left = -20;
  s.Top = 700;
  s.OrgSize = false;
  s.Width = 300;
  s.Height = 60;
  s.f9Cancel = true;
  s.BackColor = 0x123456;
  s.BackPictureFileName = "";
  s.ArtistFont = {"IPAGothic", 0xABCDEF, false, true};
  s.CurFile = "/music/日本語/曲 1.mp3";
  s.MusicIndex = 41;
  s.CurPos = 123456;
  s.ListFileMode = true;
  s.Shuffle = true;
  s.ShuffleSeed = -77;
  s.MainLevel = 80;
  s.EQ = {1, -2, 3, -4, 5, -6, 7, -8, 9, -10};
  s.Presets[4].AEQName = "ロック";
  s.Presets[4].AEQ[7] = 12;
  s.Presets[9].AVolume = 0;
  s.UseTNLink = true;
  s.LyricLine = 20;
  s.Tarn_Lyric = true;
  s.PlayWithLyric = true;
  s.Lyric.LyricFontName = "ＭＳ 明朝";
  s.MappleDefScale[3] = 5;
  s.ColorDialogOption = "ColorA=FFFFFF,ColorB=000000";
  const TPlayerSettings back = Read(Written(s));
  EXPECT_EQ(back, s);
}

TEST(SettingsRoundTrip, Cp932FileReadsAndIsRewrittenAsUtf8) {
  // "[CurrentMusic]\r\nCurFile=C:\音楽\曲.mp3" and "AEQName[0]=ロック" in Shift-JIS.
  const std::string cp932 =
      "[Tarn's MP3PLayer "
      "Version]\r\nVersion=9.99x\r\n[CurrentMusic]\r\nCurFile=C:\\\x89\xb9\x8a\x79\\\x8b\xc8.mp3\r\n"
      "[Player]\r\nAEQName[0]=\x83\x8d\x83\x62\x83\x4e\r\n";
  TempDir dir;
  const std::string path = dir.File("sorrel.ini");
  std::ofstream(path, std::ios::binary) << cp932;
  TPlayerSettings s;
  Recorder rec;
  TSettingsFile file(path);
  EXPECT_EQ(file.Read(s, rec), "");
  EXPECT_EQ(file.State(), TSettingsFile::TState::kRead);
  EXPECT_EQ(s.CurFile, "C:\\音楽\\曲.mp3");
  EXPECT_EQ(s.Presets[0].AEQName, "ロック");
  ASSERT_TRUE(file.Write(s));
  const std::string utf8 = ReadText(path);
  EXPECT_NE(utf8.find("CurFile=C:\\音楽\\曲.mp3\r\n"), std::string::npos);
  TPlayerSettings again;
  TSettingsFile(path).Read(again, rec);
  EXPECT_EQ(again, s);
}

TEST(SettingsVersion, FileOfAnotherVersionIsDroppedBeforeWriting) {
  for (const char* version : {"Version=9.98\r\n", "Version=9.99X\r\n", "Version=\r\n", ""}) {
    SCOPED_TRACE(version);
    const std::string old = std::string("[Tarn's MP3PLayer Version]\r\n") + version +
                            "[PlayerMainForm]\r\nOldKey=1\r\nLeft=5\r\n[Elsewhere]\r\nx=y\r\n";
    const std::string text = Written(TPlayerSettings{}, IniFile::Parse(old));
    EXPECT_EQ(text.find("OldKey"), std::string::npos);
    EXPECT_EQ(text.find("[Elsewhere]"), std::string::npos);
    EXPECT_EQ(text, Written(TPlayerSettings{}));
  }
}

TEST(SettingsVersion, SameVersionKeepsForeignKeysInPlace) {
  const std::string old =
      "; made by hand\r\n[Tarn's MP3PLayer "
      "Version]\r\nVersion=9.99x\r\n[playermainform]\r\nOldKey=1\r\nleft=5\r\n\r\n"
      "[Elsewhere]\r\nx=y\r\n";
  TPlayerSettings s;
  s.Left = 77;
  const std::string text = Written(s, IniFile::Parse(old));
  const auto lines = Lines(text);
  EXPECT_EQ(lines[0], "; made by hand");
  EXPECT_NE(text.find("[Elsewhere]\r\nx=y\r\n"), std::string::npos);
  // Updated where it stood, under its own spelling, with no second section made.
  EXPECT_NE(text.find("[playermainform]\r\nOldKey=1\r\nleft=77\r\n"), std::string::npos);
  EXPECT_EQ(text.find("[PlayerMainForm]"), std::string::npos);
  // Keys the file lacked join their section before its closing blank line.
  EXPECT_NE(text.find("ColorDialogOption=\r\n\r\n[Elsewhere]"), std::string::npos);
}

TEST(SettingsRead, MissingFileGivesDefaults) {
  TempDir dir;
  TPlayerSettings s;
  Recorder rec;
  TSettingsFile file(dir.File("none.ini"));
  EXPECT_EQ(file.Read(s, rec), "");
  EXPECT_EQ(file.State(), TSettingsFile::TState::kMissing);
  EXPECT_EQ(s, TPlayerSettings{});
  // The defaults style the window as a file would.
  EXPECT_NE(rec.IndexOf("fade"), std::string::npos);
  EXPECT_EQ(rec.calls.back(), "mapple 200");
  EXPECT_TRUE(file.Write(s));
  EXPECT_EQ(ReadText(dir.File("none.ini")), Written(s));
}

TEST(SettingsRead, LimitsAndForcedValues) {
  EXPECT_EQ(Read("[Lyric]\nLyricLine=0").LyricLine, 1);
  EXPECT_EQ(Read("[Lyric]\nLyricLine=99").LyricLine, 20);
  EXPECT_EQ(Read("[Lyric]\nLyricLine=-5").LyricLine, 1);
  EXPECT_EQ(Read("[Lyric]\nLyricLine=7").LyricLine, 7);

  const TPlayerSettings off = Read("[Lyric]\nTarn_Lyric=0\nPlayWithLyric=1");
  EXPECT_FALSE(off.PlayWithLyric);
  EXPECT_NE(Written(off).find("PlayWithLyric=0\r\n"), std::string::npos);
  EXPECT_TRUE(Read("[Lyric]\nTarn_Lyric=1\nPlayWithLyric=1").PlayWithLyric);
  EXPECT_TRUE(Read("[Lyric]\nTarn_Lyric=-3\nPlayWithLyric=2").PlayWithLyric);

  EXPECT_EQ(Read("[Player]\nMainLevel=150").MainLevel, 100);
  EXPECT_EQ(Read("[Player]\nMainLevel=-1").MainLevel, 0);
  // One-byte values out of their range keep the default.
  EXPECT_EQ(Read("[PlayerMainForm]\nSuspendMode=256").SuspendMode, 0);
  EXPECT_EQ(Read("[PlayerMainForm]\nSuspendMode=255").SuspendMode, 255);
  EXPECT_EQ(Read("[Lyric]\nLyricPos=-1").LyricPos, 2);
}

TEST(SettingsRead, UnreadableNumbersGiveTheirDefaults) {
  struct Case {
    const char* text;
    int minSleep;
  };
  for (const Case c : {Case{"abc", 99}, Case{"12x", 99}, Case{"", 99}, Case{"0x10", 99}, Case{"1e3", 99},
                       Case{"99999999999", 99}, Case{"-2147483648", INT32_MIN}, Case{"  42  ", 42},
                       Case{"+7", 7}, Case{"--7", 99}, Case{"+-7", 99}, Case{"-0", 0}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Read(std::string("[PlayerMainForm]\nMinSleepTime=") + c.text).MinSleepTime, c.minSleep);
  }
  // Booleans read as integers: anything but 0 is true, text is the default.
  EXPECT_TRUE(Read("[PlayerMainForm]\nOrgSize=yes").OrgSize);
  EXPECT_FALSE(Read("[PlayerMainForm]\nf1Cancel=true").f1Cancel);
  EXPECT_TRUE(Read("[PlayerMainForm]\nf1Cancel=-1").f1Cancel);
  EXPECT_FALSE(Read("[PlayerMainForm]\nOrgSize=0").OrgSize);
}

TEST(SettingsRead, SectionsAndKeysMatchWithoutCase) {
  const TPlayerSettings s = Read(
      "[playermainform]\nleft=12\nTOP=34\n[PLAYER]\naeq[2,5]=-9\naeqname[3]=Jazz\n"
      "[mapplelink]\nmappledefscale[4]=6\n");
  EXPECT_EQ(s.Left, 12);
  EXPECT_EQ(s.Top, 34);
  EXPECT_EQ(s.Presets[2].AEQ[5], -9);
  EXPECT_EQ(s.Presets[3].AEQName, "Jazz");
  EXPECT_EQ(s.MappleDefScale[4], 6);
}

TEST(SettingsRead, PresetKeysAreExactlyFormed) {
  // Blanks or leading zeros make other keys, which are not the preset's.
  const TPlayerSettings s = Read("[Player]\nAEQ[1, 2]=5\nAEQ[01,2]=6\nAVolume[ 3]=7\nAEQ[1,2]=8\n");
  EXPECT_EQ(s.Presets[1].AEQ[2], 8);
  EXPECT_EQ(s.Presets[3].AVolume, 50);
  EXPECT_EQ(sorrel::settings::PresetBandKey(9, 0), "AEQ[9,0]");
}

TEST(SettingsRead, OrgSizeDecidesWhetherTheWindowIsResized) {
  Recorder keep;
  const TPlayerSettings a = Read("[PlayerMainForm]\nOrgSize=1\nWidth=300\n", &keep);
  EXPECT_EQ(a.Width, 300);
  EXPECT_EQ(keep.IndexOf("resize"), std::string::npos);

  Recorder free;
  Read("[PlayerMainForm]\nLeft=10\nTop=20\nOrgSize=0\nWidth=300\nHeight=60\n", &free);
  ASSERT_NE(free.IndexOf("resize"), std::string::npos);
  EXPECT_EQ(free.calls[free.IndexOf("resize")], "resize 300x60");
  EXPECT_EQ(free.calls[0], "move 10,20");
  EXPECT_EQ(free.IndexOf("resize"), 1u);
}

TEST(SettingsRead, SideEffectsFollowTheReadingOrder) {
  Recorder r;
  Read(
      "[Player]\nEQ3=4\nBalance=-5\n[PlayerMainForm]\nLabelFontColor=7\nArtistFontName=A\n[MappleLink]"
      "\nMappleZoom=9\n",
      &r);
  const auto at = [&](const char* p) { return r.IndexOf(p); };
  EXPECT_EQ(at("move"), 0u);
  EXPECT_LT(at("move"), at("back"));
  EXPECT_LT(at("back"), at("picture Lumen.jpg"));
  EXPECT_LT(at("picture"), at("font 0 "));
  EXPECT_LT(at("font 0 "), at("captions 7"));
  EXPECT_LT(at("captions"), at("font 1 A 65280 b"));
  EXPECT_LT(at("font 1"), at("font 2"));
  EXPECT_LT(at("font 4"), at("fade"));  // "PlayerMainForm" is read before "Player"
  EXPECT_LT(at("fade"), at("balance -5"));
  EXPECT_LT(at("balance"), at("band 0=0"));
  EXPECT_EQ(r.calls[at("band 0=0") + 3], "band 3=4");
  EXPECT_LT(at("band 9"), at("lyric "));
  EXPECT_EQ(r.calls.back(), "mapple 9");
  EXPECT_EQ(r.calls.size(), 23u);
}

TEST(SettingsRead, BackPictureThatDoesNotLoadIsForgotten) {
  Recorder failing;
  failing.pictureLoads = false;
  const TPlayerSettings s = Read("[PlayerMainForm]\nBackPictureFileName=missing.jpg\n", &failing);
  EXPECT_EQ(s.BackPictureFileName, "");
  EXPECT_NE(Written(s).find("BackPictureFileName=\r\n"), std::string::npos);
  Recorder none;
  Read("[PlayerMainForm]\nBackPictureFileName=\n", &none);
  EXPECT_EQ(none.IndexOf("picture"), std::string::npos);
}

TEST(SettingsFile, WriteReplacesWholeAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.File("sorrel.ini");
  std::string old = "[Old]\r\n";
  while (old.size() < 100000) old += "key" + std::to_string(old.size()) + "=value\r\n";
  std::ofstream(path, std::ios::binary) << old;
  TPlayerSettings s;
  s.CurFile = "/a/b.mp3";
  std::string error;
  ASSERT_TRUE(TSettingsFile(path).Write(s, &error)) << error;
  EXPECT_EQ(ReadText(path), Written(s));
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1u);
}

TEST(SettingsFile, WriteIntoMissingDirectoryFailsAndSaysWhy) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(TSettingsFile(dir.File("no/such/sorrel.ini")).Write(TPlayerSettings{}, &error));
  EXPECT_FALSE(error.empty());
}

TEST(SettingsFile, OneBadByteDamagesOneValueAndItsBytesSurvive) {
  // A CP932 file in which one value holds a byte CP932 has no character for: the other
  // Japanese values read correctly, and the damaged one goes back to the file as it was.
  const std::string damagedLine = "AEQName[1]=\x83\x8d\x80\x83\x4e";  // ロ 0x80 ク
  const std::string cp932 =
      "[Tarn's MP3PLayer "
      "Version]\r\nVersion=9.99x\r\n[CurrentMusic]\r\nCurFile=C:\\\x89\xb9\x8a\x79\\\x8b\xc8.mp3\r\n"
      "[Player]\r\nAEQName[0]=\x83\x8d\x83\x62\x83\x4e\r\n" +
      damagedLine + "\r\n";
  TempDir dir;
  const std::string path = dir.File("sorrel.ini");
  std::ofstream(path, std::ios::binary) << cp932;
  TSettingsFile file(path);
  TPlayerSettings s;
  Recorder rec;
  EXPECT_EQ(file.Read(s, rec), "");
  EXPECT_EQ(s.CurFile, "C:\\音楽\\曲.mp3");
  EXPECT_EQ(s.Presets[0].AEQName, "ロック");
  EXPECT_EQ(s.Presets[1].AEQName, "ロ\xEF\xBF\xBDク");
  ASSERT_TRUE(file.Write(s));
  std::string text = ReadText(path);
  EXPECT_NE(text.find("CurFile=C:\\音楽\\曲.mp3\r\n"), std::string::npos);
  EXPECT_NE(text.find("AEQName[0]=ロック\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n" + damagedLine + "\r\n"), std::string::npos);
  EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos);
  TPlayerSettings again;
  TSettingsFile(path).Read(again, rec);
  EXPECT_EQ(again, s);

  // A value the user changed is written as it is now.
  s.Presets[1].AEQName = "Jazz";
  ASSERT_TRUE(file.Write(s));
  text = ReadText(path);
  EXPECT_NE(text.find("AEQName[1]=Jazz\r\n"), std::string::npos);
  EXPECT_EQ(text.find(damagedLine), std::string::npos);

  // A file of another version is dropped before writing; the damaged value still keeps
  // its bytes, and only the keys of the tables remain.
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      << "[Tarn's MP3PLayer Version]\r\nVersion=9.98\r\n[Player]\r\nOld=1\r\n" + damagedLine + "\r\n";
  TSettingsFile old(path);
  TPlayerSettings o;
  old.Read(o, rec);
  ASSERT_TRUE(old.Write(o));
  text = ReadText(path);
  EXPECT_NE(text.find("\r\n" + damagedLine + "\r\n"), std::string::npos);
  EXPECT_EQ(text.find("Old=1"), std::string::npos);
}

TEST(SettingsFile, UnreadableFileGivesDefaultsSaysWhyAndIsNeverWrittenOver) {
  TempDir dir;
  const std::string path = dir.File("sorrel.ini");
  struct Case {
    const char* name;
    std::function<void()> make;
    std::function<bool()> unchanged;
  };
  const std::vector<Case> cases = {
      {"a directory", [&] { fs::create_directory(path); }, [&] { return fs::is_directory(path); }},
      {"a FIFO", [&] { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }, [&] { return fs::is_fifo(path); }},
      {"a link to /dev/zero", [&] { fs::create_symlink("/dev/zero", path); },
       [&] { return fs::is_symlink(path) && fs::read_symlink(path) == "/dev/zero"; }},
      {"beyond the 64 MiB cap",
       [&] {
         std::ofstream(path) << "[PlayerMainForm]\nLeft=5\n";
         fs::resize_file(path, (64u << 20) + 1);
       },
       [&] { return fs::file_size(path) == (64u << 20) + 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(path);
    c.make();
    TSettingsFile file(path);
    TPlayerSettings s;
    s.Left = 33;  // the window's position before reading
    Recorder rec;
    const std::string message = file.Read(s, rec);
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_EQ(file.State(), TSettingsFile::TState::kUnreadable);
    TPlayerSettings defaults;
    defaults.Left = 33;
    EXPECT_EQ(s, defaults);
    EXPECT_EQ(rec.calls.front(), "move 33,0");
    // Said once: the write at shutdown is refused without a second message.
    std::string error = "unset";
    EXPECT_FALSE(file.Write(s, &error));
    EXPECT_EQ(error, "");
    EXPECT_TRUE(c.unchanged());
    EXPECT_FALSE(fs::exists(path + ".bad"));
  }
  // Readable at start but not at shutdown: not written either, and said then.
  fs::remove_all(path);
  TSettingsFile file(path);
  TPlayerSettings s;
  Recorder rec;
  EXPECT_EQ(file.Read(s, rec), "");
  fs::create_directory(path);
  std::string error;
  EXPECT_FALSE(file.Write(s, &error));
  EXPECT_NE(error.find(path), std::string::npos);
  EXPECT_TRUE(fs::is_directory(path));
}

TEST(SettingsFile, JunkOrUtf16IsReplacedByDefaultsAfterACopy) {
  const std::string utf16le = [] {
    std::string out = "\xFF\xFE";
    for (char c : std::string("[PlayerMainForm]\r\nLeft=5\r\n")) out += std::string{c, '\0'};
    return out;
  }();
  const std::string utf16NoMark = utf16le.substr(2);
  using namespace std::string_literals;
  const std::string junk =
      "\x7F"
      "ELF\x02\x01\x01\0\0\0 binary junk\n\x80\xFF"s;
  for (const std::string& bytes : {utf16le, utf16NoMark, junk}) {
    SCOPED_TRACE(bytes.substr(0, 8));
    TempDir dir;
    const std::string path = dir.File("sorrel.ini");
    std::ofstream(path, std::ios::binary) << bytes;
    TSettingsFile file(path);
    TPlayerSettings s;
    Recorder rec;
    const std::string message = file.Read(s, rec);
    EXPECT_NE(message.find(path + ".bad"), std::string::npos) << message;
    EXPECT_EQ(file.State(), TSettingsFile::TState::kNotSettings);
    EXPECT_EQ(s, TPlayerSettings{});
    // Nothing is touched until the settings are written; then a copy comes first.
    EXPECT_FALSE(fs::exists(path + ".bad"));
    ASSERT_TRUE(file.Write(s));
    EXPECT_EQ(ReadText(path + ".bad"), bytes);
    EXPECT_EQ(ReadText(path), Written(s));
  }
  // An empty file or one of blank lines is just a file without settings yet.
  for (const char* empty : {"", "\r\n\r\n  \n"}) {
    TempDir dir;
    const std::string path = dir.File("sorrel.ini");
    std::ofstream(path, std::ios::binary) << empty;
    TSettingsFile file(path);
    TPlayerSettings s;
    Recorder rec;
    EXPECT_EQ(file.Read(s, rec), "");
    EXPECT_TRUE(file.Write(s));
    EXPECT_FALSE(fs::exists(path + ".bad"));
  }
}

TEST(SettingsFile, StaleTemporariesGoAtStartAndLinksAreWrittenThrough) {
  TempDir dir;
  // The temporary file of a writer that was killed: its process is gone.
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);
  fs::create_directory(dir.File("real"));
  const std::string target = dir.File("real/settings.ini");
  std::ofstream(target, std::ios::binary)
      << "[Tarn's MP3PLayer Version]\r\nVersion=9.99x\r\n[Mine]\r\nx=1\r\n";
  const std::string link = dir.File("sorrel.ini");
  fs::create_symlink("real/settings.ini", link);
  const std::string stale = target + ".tmp" + std::to_string(child);
  const std::string live = target + ".tmp" + std::to_string(getpid());
  const std::string other = target + ".tmpnotapid";
  for (const std::string& p : {stale, live, other}) std::ofstream(p) << "half a file";

  TSettingsFile file(link);
  TPlayerSettings s;
  Recorder rec;
  EXPECT_EQ(file.Read(s, rec), "");
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(live));
  EXPECT_TRUE(fs::exists(other));
  fs::remove(live);

  s.CurFile = "/m/x.mp3";
  ASSERT_TRUE(file.Write(s));
  EXPECT_TRUE(fs::is_symlink(link));
  const std::string text = ReadText(target);
  EXPECT_NE(text.find("[Mine]\r\nx=1\r\n"), std::string::npos);
  EXPECT_NE(text.find("CurFile=/m/x.mp3\r\n"), std::string::npos);
}
