// The settings window's edits without a display: the numbers' ranges, formats and
// checks, "規定値", the colour texts and keys, the custom colours' text, and the order
// in which "設 定" hands the edited values to the main window.
#include "settings/core/CommandEdits.h"
#include "settings/core/CommandSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace sorrel::settings;
using E = TNumericEdit;

namespace {

TEST(NumericEdits, RangesFormatsAndDefaultsAsTheTabsShowThem) {
  struct Row {
    E edit;
    int min, max, width;
    std::optional<int> def;
  };
  const Row rows[] = {
      {E::ed_Distance, 400, 2000, 5, 1000},   {E::ed_Velocity, 20, 80, 5, 30},
      {E::ed_AimDegree, 20, 150, 5, 120},     {E::ed_OpsDegree, 20, 120, 5, 80},
      {E::ed_PlaySoundInterval, 5, 60, 5, 7}, {E::ed_PreLevelDownVal, 0, 70, 5, 40},
      {E::ed_FLFLimit, 0, 10, 3, {}},         {E::ed_FLHFontPlus, 0, 10, 3, {}},
      {E::ed_PLDLimit, 0, 10, 3, {}},         {E::ed_PLFLimit, 0, 10, 3, {}},
      {E::ed_LyricLine, 1, 9, 3, {}},         {E::ed_LyricFontSize, 9, 36, 3, {}},
      {E::ed_KSLyricFontSize, 24, 72, 3, {}},
  };
  for (const Row& r : rows) {
    const TNumericEditField& s = NumericEditField(r.edit);
    SCOPED_TRACE(s.Name);
    // The bounds hold and the numbers just outside clamp to them.
    TCommandEdits edits;
    EXPECT_TRUE(edits.Check(r.edit, std::to_string(r.min - 1)));
    EXPECT_EQ(edits.Value(r.edit), r.min);
    EXPECT_TRUE(edits.Check(r.edit, std::to_string(r.max + 1)));
    EXPECT_EQ(edits.Value(r.edit), r.max);
    EXPECT_EQ(edits.Text(r.edit).size(), static_cast<size_t>(r.width));
    EXPECT_EQ(s.Width, r.width);
    EXPECT_EQ(s.HasDefault, r.def.has_value());
    if (r.def) {
      EXPECT_EQ(s.Default, *r.def);
    }
  }
}

TEST(NumericEdits, WhatCountsAsAnInteger) {
  EXPECT_EQ(ParseInteger("1234"), 1234);
  EXPECT_EQ(ParseInteger(" 2000"), 2000);  // the edit's own format reads back
  EXPECT_EQ(ParseInteger("\t 7 "), 7);
  EXPECT_EQ(ParseInteger("-12"), -12);
  EXPECT_EQ(ParseInteger("+12"), 12);
  EXPECT_EQ(ParseInteger("007"), 7);
  EXPECT_EQ(ParseInteger("１２３"), 123);  // full-width, as an input method types them
  EXPECT_EQ(ParseInteger("－５"), -5);
  EXPECT_EQ(ParseInteger("\u3000４０\u3000"), 40);
  // Beyond the int range: saturated, never wrapped into a small or negative number.
  EXPECT_EQ(ParseInteger("99999999999999999999999999"), INT32_MAX);
  EXPECT_EQ(ParseInteger("-4294967296"), INT32_MIN);
  EXPECT_EQ(ParseInteger("4294967297"), INT32_MAX);

  for (const char* bad : {"", " ", "-", "+", "x", "12x", "1 2", "1.5", "$10", "0x10", "--1", "1-",
                          "\x01"
                          "5",
                          "5\n", "１２ａ", "\xff\xfe", "\xef\xbc"})
    EXPECT_FALSE(ParseInteger(bad).has_value()) << '"' << bad << '"';
}

TEST(NumericEdits, TheCheckOnLeavingKeepsTheWorkingValueOnBadTextAndClampsNumbers) {
  TCommandValues v;
  v.Alarm.AlarmVelocity = 55;
  TCommandEdits edits;
  edits.Load(v);
  EXPECT_EQ(edits.Text(E::ed_Velocity), "   55");
  EXPECT_FALSE(edits.Check(E::ed_Velocity, "x"));
  EXPECT_EQ(edits.Text(E::ed_Velocity), "   55");
  EXPECT_FALSE(edits.Check(E::ed_Velocity, ""));
  EXPECT_EQ(edits.Value(E::ed_Velocity), 55);

  EXPECT_TRUE(edits.Check(E::ed_Distance, "5000"));
  EXPECT_EQ(edits.Text(E::ed_Distance), " 2000");
  EXPECT_TRUE(edits.Check(E::ed_Distance, "-5000"));
  EXPECT_EQ(edits.Text(E::ed_Distance), "  400");
  EXPECT_TRUE(edits.Check(E::ed_PLDLimit, "99999999999999"));
  EXPECT_EQ(edits.Text(E::ed_PLDLimit), " 10");
  EXPECT_TRUE(edits.Check(E::ed_LyricLine, "0"));
  EXPECT_EQ(edits.Text(E::ed_LyricLine), "  1");
}

TEST(NumericEdits, LoadDefaultAndStore) {
  TCommandValues v;
  v.Alarm = {1500, 60, 90, 100, 10, 12500};
  v.Lists = {4, 5, 6, 7, true};
  v.LyricPlacement.LyricLine = 15;  // read from the file (1..20), beyond the edit's 9
  v.Lyric.LyricFontSize = 30;
  v.KSLyricFontSize = 50;
  TCommandEdits edits;
  edits.Load(v);
  EXPECT_EQ(edits.Value(E::ed_PlaySoundInterval), 12);  // shown in whole seconds
  EXPECT_EQ(edits.Value(E::ed_LyricLine), 15);          // clamped only by a check

  // "規定値" sets the six alarm values and leaves the list and lyric values alone.
  edits.Default();
  TCommandValues out = v;
  edits.Store(out);
  EXPECT_EQ(out.Alarm, (TAlarmParameters{1000, 30, 120, 80, 40, 7000}));
  EXPECT_EQ(out.Lists, v.Lists);
  EXPECT_EQ(out.LyricPlacement.LyricLine, 15);
  EXPECT_EQ(out.Lyric.LyricFontSize, 30);
  EXPECT_EQ(out.KSLyricFontSize, 50);
  EXPECT_EQ(edits.Text(E::ed_Distance), " 1000");
  EXPECT_EQ(edits.Text(E::ed_PlaySoundInterval), "    7");

  // Stored: seconds become milliseconds; the list limits and lyric values are the
  // checked ones.
  edits.Check(E::ed_PlaySoundInterval, "61");
  edits.Check(E::ed_FLHFontPlus, "3");
  edits.Check(E::ed_KSLyricFontSize, "100");
  edits.Check(E::ed_LyricFontSize, "8");
  edits.Store(out);
  EXPECT_EQ(out.Alarm.PlaySoundInterval, 60000);
  EXPECT_EQ(out.Lists.FLHFontPlus, 3);
  EXPECT_TRUE(out.Lists.FLHFontBold);  // a check box's, not touched here
  EXPECT_EQ(out.KSLyricFontSize, 72);
  EXPECT_EQ(out.Lyric.LyricFontSize, 9);
}

TEST(ColorEdits, TextBothWays) {
  EXPECT_EQ(FormatColorText(0xFF70F0), "$FF70F0");
  EXPECT_EQ(FormatColorText(0), "$000000");
  EXPECT_EQ(FormatColorText(0xAB), "$0000AB");
  // A stored colour with a high byte (a system colour index) shows its low three bytes.
  EXPECT_EQ(FormatColorText(static_cast<TColor>(0xFF123456)), "$123456");

  EXPECT_EQ(ParseColorText("$FF70F0"), 0xFF70F0);
  EXPECT_EQ(ParseColorText("$00ff00"), 0x00FF00);
  EXPECT_EQ(ParseColorText("$000000"), 0);
  // Blanks of the mask left while typing, a short or long text, no "$": no colour.
  for (const char* bad : {"$12____", "$12", "$", "", "FF70F0", "$FF70F00", "$FF70G0", " $FF70F0", "$-12345"})
    EXPECT_FALSE(ParseColorText(bad).has_value()) << bad;
}

TEST(ColorEdits, TheKeyFilter) {
  EXPECT_EQ(FilterColorKey(U'a'), U'A');
  EXPECT_EQ(FilterColorKey(U'f'), U'F');
  EXPECT_EQ(FilterColorKey(U'C'), U'C');
  EXPECT_EQ(FilterColorKey(U'0'), U'0');
  EXPECT_EQ(FilterColorKey(U'9'), U'9');
  for (char32_t dropped : {U'g', U'G', U'z', U'$', U' ', U'@', U'`', U'/', U':', U'\uFF21', U'ａ'})
    EXPECT_EQ(FilterColorKey(dropped), 0u) << static_cast<uint32_t>(dropped);
  EXPECT_EQ(InverseColor(0xFF70F0), 0x008F0F);
  EXPECT_EQ(InverseColor(static_cast<TColor>(0xFF000000)), 0xFFFFFF);
}

TEST(ColorEdits, CustomColorsOfTheColourDialog) {
  TCustomColors c = ParseCustomColors("");
  for (TColor x : c) EXPECT_EQ(x, 0xFFFFFF);

  c = ParseCustomColors("ColorA=0000FF,ColorB=00FF00,ColorP=123456");
  EXPECT_EQ(c[0], 0x0000FF);
  EXPECT_EQ(c[1], 0x00FF00);
  EXPECT_EQ(c[15], 0x123456);
  EXPECT_EQ(c[2], 0xFFFFFF);
  EXPECT_EQ(FormatCustomColors(c).substr(0, 44), "ColorA=0000FF,ColorB=00FF00,ColorC=FFFFFF,Co");
  EXPECT_EQ(ParseCustomColors(FormatCustomColors(c)), c);
  EXPECT_EQ(FormatCustomColors(c).size(), 16 * 13 + 15);

  // Garbage, quotes, unknown letters, bad digits and a trailing comma: the readable
  // entries count, the rest stay white.
  c = ParseCustomColors(
      "\"ColorC=00AB00\",ColorQ=000000,Colorb=000000,ColorD=XYZ,ColorE=,ColorF=FF0000FF,"
      "nonsense,,ColorG=123456789,");
  EXPECT_EQ(c[2], 0x00AB00);
  EXPECT_EQ(c[1], 0xFFFFFF);
  EXPECT_EQ(c[3], 0xFFFFFF);
  EXPECT_EQ(c[4], 0xFFFFFF);
  EXPECT_EQ(c[5], 0x0000FF);  // 8 digits: the high byte goes
  EXPECT_EQ(c[6], 0xFFFFFF);  // 9 digits: not a colour
}

TEST(LyricRadios, TheLastCheckedWinsAndNoneKeepsTheStoredPosition) {
  EXPECT_EQ(LyricPosFromRadios(true, false, false, false, 2), 0);
  EXPECT_EQ(LyricPosFromRadios(false, true, false, false, 2), 1);
  EXPECT_EQ(LyricPosFromRadios(false, false, true, false, 0), 2);
  EXPECT_EQ(LyricPosFromRadios(false, false, false, true, 0), 3);
  EXPECT_EQ(LyricPosFromRadios(true, false, true, false, 0), 2);
  EXPECT_EQ(LyricPosFromRadios(false, false, false, false, 7), 7);
}

// Records the steps in their order.
class RecordingHost : public TCommandFormHost {
 public:
  TCommandValues CommandValues() const override { return {}; }
  std::string HomeDir() const override { return "/home"; }
  void StoreColorDialogOption(const std::string& t) override { Log("option " + t); }
  void ApplyListLimits(const TListLimits& v) override {
    Log("lists " + std::to_string(v.PLDirLimit) + " " + std::to_string(v.FLHFontPlus) + " " +
        std::to_string(v.FLHFontBold));
  }
  void ApplyAlarmParameters(const TAlarmParameters& v) override {
    Log("alarm " + std::to_string(v.AlarmDistance) + " " + std::to_string(v.PlaySoundInterval));
  }
  void CloseCommandForm() override { Log("close"); }
  void ApplyBackColor(TColor c) override { Log("back " + FormatColorText(c)); }
  void ApplyFrameColors(TColor a, TColor d) override {
    Log("frame " + FormatColorText(a) + FormatColorText(d));
  }
  bool ShowBackPicture(const std::string& f) override {
    Log("show picture " + f);
    return loadable;
  }
  void StoreBackPictureFileName(const std::string& f) override { Log("store picture " + f); }
  void ApplyTitleColors(TColor a, TColor d) override {
    Log("title " + FormatColorText(a) + FormatColorText(d));
  }
  void ApplyLabelFont(TLabelFont l, const TTextFont& f) override {
    Log("font " + std::to_string(static_cast<int>(l)) + " " + f.Name + " " + FormatColorText(f.Color) +
        (f.Bold ? " b" : "") + (f.Italic ? " i" : ""));
  }
  void ApplyLabelFontColor(TColor c) override { Log("labels " + FormatColorText(c)); }
  void ApplyCurTimeShowSec(bool on) override { Log("sec " + std::to_string(on)); }
  void ApplyLyricPlacement(const TLyricPlacement& v) override {
    Log("lyric place " + std::to_string(v.LyricPos) + " " + std::to_string(v.LyricLine));
  }
  void ApplyLyricLook(const TLyricLook& v) override {
    Log("lyric look " + v.LyricFontName + " " + std::to_string(v.LyricFontSize));
  }
  void ApplyKSLyricFontSize(int s) override { Log("ks " + std::to_string(s)); }
  void ApplyTitleAdditions(const TTitleAdditions& v) override {
    Log("additions " + std::to_string(v.TitleAddTrack) + std::to_string(v.InfoAddYear));
  }
  void RefreshMainDisplay() override { Log("refresh"); }
  void MarkSettingsChanged() override { Log("changed"); }

  void Log(std::string s) { steps.push_back(std::move(s)); }
  std::vector<std::string> steps;
  bool loadable = true;
};

TCommandValues Edited() {
  TCommandValues v;
  v.Lists.PLDirLimit = 5;
  v.Lists.FLHFontPlus = 2;
  v.Lists.FLHFontBold = true;
  v.Alarm.AlarmDistance = 2000;
  v.Alarm.PlaySoundInterval = 9000;
  v.BackColor = 0x102030;
  v.ActiveFrameColor = 0x0000FF;
  v.DeactiveFrameColor = 0x00FF00;
  v.BackPictureFileName = "/pics/new.png";
  v.ActiveTitleFontColor = 0x111111;
  v.DeactiveTitleFontColor = 0x222222;
  v.Font(TLabelFont::kTitle) = {"IPAGothic", 0x999999, false, true};
  v.Font(TLabelFont::kClock) = {"IPAMincho", 0x4DF9AF, true, true};
  v.LabelFontColor = 0x333333;
  v.CurTimeShowSec = true;
  v.LyricPlacement.LyricPos = 3;
  v.LyricPlacement.LyricLine = 4;
  v.Lyric.LyricFontName = "IPAPGothic";
  v.Lyric.LyricFontSize = 20;
  v.KSLyricFontSize = 60;
  v.Additions.TitleAddTrack = true;
  v.Additions.InfoAddYear = true;
  return v;
}

TEST(SetButton, EachSettingInItsPlace) {
  RecordingHost host;
  ApplyCommandSettings(TCommandValues{}, Edited(), host);
  const std::vector<std::string> expected = {
      "lists 5 2 1",
      "alarm 2000 9000",
      "close",
      "back $102030",
      "frame $0000FF$00FF00",
      "show picture /pics/new.png",
      "store picture /pics/new.png",
      "title $111111$222222",
      "font 0 IPAGothic $111111 i",  // the title's colour is the active title colour
      "font 1 ＭＳ Ｐゴシック $00FF00 b",
      "font 2 ＭＳ Ｐゴシック $FF00FF b",
      "font 3 ＭＳ Ｐゴシック $FDD5F8 b",
      "font 4 IPAMincho $4DF9AF b i",
      "labels $333333",
      "sec 1",
      "lyric place 3 4",
      "lyric look IPAPGothic 20",
      "ks 60",
      "additions 11",
      "refresh",
      "changed",
  };
  EXPECT_EQ(host.steps, expected);
}

TEST(SetButton, TheBackgroundPicture) {
  const auto picture = [](const std::string& before, const std::string& after, bool loadable) {
    TCommandValues current, edited;
    current.BackPictureFileName = before;
    edited.BackPictureFileName = after;
    RecordingHost host;
    host.loadable = loadable;
    ApplyCommandSettings(current, edited, host);
    std::vector<std::string> steps;
    for (const std::string& s : host.steps)
      if (s.find("picture") != std::string::npos) steps.push_back(s);
    // Whatever happened to the picture, every later step ran.
    EXPECT_EQ(host.steps.back(), "changed");
    return steps;
  };
  using V = std::vector<std::string>;
  // The same name: not loaded again.
  EXPECT_EQ(picture("Lumen.jpg", "Lumen.jpg", true), V{});
  // A new one that loads is stored; one that does not leaves the old name.
  EXPECT_EQ(picture("Lumen.jpg", "b.png", true), (V{"show picture b.png", "store picture b.png"}));
  EXPECT_EQ(picture("Lumen.jpg", "notapicture.txt", false), V{"show picture notapicture.txt"});
  // Emptied: the picture and the setting are cleared.
  EXPECT_EQ(picture("Lumen.jpg", "", true), (V{"show picture ", "store picture "}));
}

}  // namespace
