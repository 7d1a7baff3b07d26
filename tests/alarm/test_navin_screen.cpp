// Reading the navigation program's screen: the glyph patterns, finding its windows, the
// status screen and the coordinate window, and speed and heading from the motion.
#include "AlarmFakes.h"
#include "alarm/core/Glyphs.h"
#include "alarm/core/Motion.h"
#include "alarm/core/NavinScreen.h"

#include <gtest/gtest.h>

namespace sorrel::alarm {
namespace {

using namespace testing;

const std::string kDeg = "\xEF\xBE\x9F";  // ﾟ

TEST(Glyphs, EveryGlyphOfTheTableReads) {
  std::string all;
  for (const auto& [text, columns] : DrawnGlyphs()) all += text;
  EXPECT_EQ(RecognizeGlyphs(Strip(GlyphColumns(all), 200), 384), all);
  EXPECT_EQ(GlyphTable().size(), DrawnGlyphs().size());
  // Wider glyphs: a third column is never looked at.
  const std::string text = "N35" + kDeg + "41'23.5\"";
  EXPECT_EQ(RecognizeGlyphs(Strip(GlyphColumns(text, 3, 0x3FF), 110), 384), text);
}

TEST(Glyphs, UnknownGlyphsEdgesAndThreshold) {
  const std::string text = "E139" + kDeg + "41'23.5\"";
  std::vector<uint32_t> columns = GlyphColumns(text);
  // A blank-separated extra symbol empties the whole text.
  std::vector<uint32_t> extra = columns;
  extra.insert(extra.end(), {0x155, 0x2AA, 0});
  EXPECT_EQ(RecognizeGlyphs(Strip(extra, 110), 384), "");
  // A glyph cut by the left edge is skipped: reading starts after the first blank run.
  std::vector<uint32_t> cut = {0x111, 0};
  cut.insert(cut.end(), columns.begin() + 2, columns.end());
  EXPECT_EQ(RecognizeGlyphs(Strip(cut, 110), 384), text);
  // A glyph whose second column lies past the right edge reads that column as blank:
  // "'" is (0380, 0000), so it still reads.
  EXPECT_EQ(RecognizeGlyphs(Strip({0, 0x380}, 2), 384), "'");
  EXPECT_EQ(RecognizeGlyphs(Strip({0, 0x1FF}, 2), 384), "");  // N without its second column
  // A pixel counts only when red + green + blue exceeds the threshold.
  EXPECT_EQ(RecognizeGlyphs(Strip(columns, 110, {128, 128, 128}), 384), "");
  EXPECT_EQ(RecognizeGlyphs(Strip(columns, 110, {128, 128, 129}), 384), text);
  EXPECT_EQ(RecognizeGlyphs(Strip(columns, 110, {100, 100, 57}), 256), text);
  // Nothing but blank columns, or a strip of the wrong shape, reads as nothing.
  EXPECT_EQ(RecognizeGlyphs(Strip({}, 110), 384), "");
  TRgbImage wrong = Strip(columns, 110);
  wrong.Height = 9;
  EXPECT_EQ(RecognizeGlyphs(wrong, 384), "");
  wrong = Strip(columns, 110);
  wrong.Pixels.pop_back();
  EXPECT_EQ(RecognizeGlyphs(wrong, 384), "");
}

class NavinScreenTest : public ::testing::Test {
 protected:
  NavinScreenTest() : clock(1'000'000'000), screen(log), navin(screen, clock) {}
  Log log;
  base::TFakeClock clock;
  FakeScreen screen;
  TNavinYou navin;
};

TEST_F(NavinScreenTest, FindsTheWindowsByTitle) {
  // Decoys: a title without " - ", a window of the right class with another title.
  screen.Add(0, "Other", "Navin' You");
  screen.Add(0, std::string(kNavinClass), "Navin' You");
  const FakeScreen::Navin n = screen.AddNavin();
  const TWindowHandle gps = screen.Add(n.main, "Button", "GPS");
  const TWindowHandle north = screen.Add(n.main, "Button", "NorthUp");
  screen.Add(n.bar, "Button", "titled");
  screen.Add(n.bar, "Static", "");
  std::array<TWindowHandle, 4> buttons;
  for (TWindowHandle& b : buttons) b = screen.Add(n.bar, "Button", "");
  screen.Add(n.bar, "Button", "");  // a fifth
  // A second program window with the prefix comes later and is not taken.
  screen.Add(0, std::string(kNavinClass), "Navin' You - second");

  navin.FindNavinWindows();
  const TNavinWindows& w = navin.Windows();
  EXPECT_EQ(w.Main, n.main);
  EXPECT_EQ(w.StatusScreen, n.status);
  EXPECT_EQ(w.CoordinateWnd, n.coordinate);
  EXPECT_NE(w.MapView, 0u);
  EXPECT_EQ(w.GPS, gps);
  EXPECT_EQ(w.NorthUp, north);
  EXPECT_EQ(w.MapControlBar, n.bar);
  EXPECT_EQ(w.MapControlButtons, buttons);

  // A search after the program has gone clears everything.
  for (TWindowHandle h : std::vector<TWindowHandle>(screen.order)) screen.Remove(h);
  navin.FindNavinWindows();
  EXPECT_EQ(navin.Windows(), TNavinWindows{});
}

TEST_F(NavinScreenTest, ReadsTheSmallStatusScreen) {
  const FakeScreen::Navin n = screen.AddNavin(230);  // 230 wide is still the small one
  screen.ShowStatus(n.status, 3568945, 13969861);
  const TNavinReading r = navin.ReadNavinPosition();
  // The screen shows N35ﾟ41'22.0" E139ﾟ41'54.9" (tenths of a second, truncated):
  // 35 + 41/60 + 22/3600 = 35.6894444°, 139 + 41/60 + 54.9/3600 = 139.6985833°.
  EXPECT_EQ(r.Fix.Latitude, 3568944);
  EXPECT_EQ(r.Fix.Longitude, 13969858);
  EXPECT_EQ(screen.captures,
            (std::vector<FakeScreen::CaptureCall>{{n.status, 12, 11, 110, 10}, {n.status, 12, 28, 110, 10}}));
  EXPECT_TRUE(r.LyricLimitsFromWindow);
  EXPECT_EQ(r.LyricRight, 800);
  EXPECT_EQ(r.LyricBottom, 500);
}

TEST_F(NavinScreenTest, LargeStatusScreenSwitchesWithCtrlQ) {
  const FakeScreen::Navin n = screen.AddNavin(231);
  screen.ShowStatus(n.status, 3568945, 13969861);
  const TNavinReading r = navin.ReadNavinPosition();
  EXPECT_FALSE(r.Fix.Valid());
  EXPECT_TRUE(screen.captures.empty());
  EXPECT_EQ(log.lines, (std::vector<std::string>{"foreground " + std::to_string(n.main), "key Ctrl down",
                                                 "key Q down", "key Ctrl up", "key Q up"}));
  // Once it shows the small display, the next reading works.
  screen.windows[n.status].rect.Right = screen.windows[n.status].rect.Left + 200;
  EXPECT_EQ(navin.ReadNavinPosition().Fix.Latitude, 3568944);
}

TEST_F(NavinScreenTest, CoordinateWindowWhenTheStatusScreenIsHidden) {
  const FakeScreen::Navin n = screen.AddNavin();
  screen.windows[n.status].visible = false;
  screen.ShowCoordinates(n.coordinate, 3412345, 13512345);
  const TNavinReading r = navin.ReadNavinPosition();
  // N34ﾟ07'24.4" E135ﾟ07'24.4": 34 + 7/60 + 24.4/3600 = 34.1234444°.
  EXPECT_EQ(r.Fix.Latitude, 3412344);
  EXPECT_EQ(r.Fix.Longitude, 13512344);
  EXPECT_EQ(screen.captures, (std::vector<FakeScreen::CaptureCall>{{n.coordinate, 0, 23, 180, 10}}));
  EXPECT_EQ(navin.Windows().StatusScreen, 0u);
  EXPECT_EQ(r.LyricRight, 600);
  EXPECT_EQ(r.LyricBottom, 700);
}

TEST_F(NavinScreenTest, BadPixelsAndVanishingWindowsGiveNoReading) {
  const FakeScreen::Navin n = screen.AddNavin();
  screen.ShowStatus(n.status, 3568945, 13969861);
  // A peer that answers with another size than asked for.
  screen.strips[{n.status, 12, 11}].Width = 109;
  EXPECT_FALSE(navin.ReadNavinPosition().Fix.Valid());
  screen.ShowStatus(n.status, 3568945, 13969861);
  screen.strips[{n.status, 12, 28}] = Strip(GlyphColumns("E139"), 110, {255, 255, 255}, {0, 0, 0});
  const TNavinReading noLongitude = navin.ReadNavinPosition();
  EXPECT_EQ(noLongitude.Fix.Latitude, 3568944);
  EXPECT_EQ(noLongitude.Fix.Longitude, kNavinCoordinateFailure);
  EXPECT_FALSE(noLongitude.Fix.Valid());
  // The program has gone: the status screen is forgotten, the coordinate window's stale
  // handle gives nothing to read; the reading after that searches and finds nothing.
  for (TWindowHandle h : std::vector<TWindowHandle>(screen.order)) screen.Remove(h);
  const TNavinReading gone = navin.ReadNavinPosition();
  EXPECT_EQ(gone.Fix.Latitude, kNavinCoordinateFailure);
  EXPECT_FALSE(gone.LyricLimitsFromWindow);
  EXPECT_EQ(navin.ReadNavinPosition().Fix.Latitude, -1);
  EXPECT_EQ(navin.Windows(), TNavinWindows{});
}

TEST(SplitCoordinateLine, AtTheFirstE) {
  const TCoordinateLine l = SplitCoordinateLine("N35" + kDeg + "41'22.0\"E139" + kDeg + "41'55.0\"123456789");
  EXPECT_EQ(l.Latitude, "N35" + kDeg + "41'22.0\"");
  EXPECT_EQ(l.Longitude, "E139" + kDeg + "41'55.0\"1234567");  // 20 characters, ﾟ one of them
  EXPECT_EQ(SplitCoordinateLine("N35").Longitude, "");
}

// 23 units of latitude are 25.57 m, truncated 25 m: 25 m in 1 s is 90 km/h.
constexpr int32_t kStep = 23;
static_assert(kStep * 111177 / 100000 == 25);

TEST(Motion, SpeedIsTheMeanOfSixSamples) {
  base::TFakeClock clock(5'000'000);
  TMotion motion(clock);
  ASSERT_EQ(MetresOfUnits(kStep), 25);
  clock.Advance(1'000'000);
  // From the zero point, thousands of km in a second: too fast, counts as 0.
  EXPECT_EQ(motion.Update(3500000, 13900000).Speed, 0);
  const int expected[] = {15, 30, 45, 60, 75, 90, 90};
  for (int i = 0; i < 7; ++i) {
    clock.Advance(1'000'000);
    EXPECT_EQ(motion.Update(3500000 + kStep * (i + 1), 13900000).Speed, expected[i]) << i;
  }
  // 30 km jump in one second (over 300 km/h): a sample of 0.
  clock.Advance(1'000'000);
  EXPECT_EQ(motion.Update(3530000, 13900000).Speed, 75);
  // Two samples in the same millisecond are no speed, and no crash.
  EXPECT_EQ(motion.Update(3530100, 13900000).Speed, 60);
  // No position: no sample at all.
  EXPECT_EQ(motion.Update(-1, -1).Speed, 0);
}

TEST(Motion, SpeedLimitOf300) {
  base::TFakeClock clock;
  TMotion motion(clock);
  clock.Advance(1'000'000);
  motion.Update(3500000, 13900000);
  // 75 units = 83.38 m in 1 s: 298.8 km/h, kept (298 / 6 = 49).
  ASSERT_EQ(MetresOfUnits(75), 83);
  clock.Advance(1'000'000);
  EXPECT_EQ(motion.Update(3500075, 13900000).Speed, 49);
  // 226 units = 251.26 m in 3 s: 301.2 km/h, a jump; had it counted, (298 + 301) / 6 = 99.
  ASSERT_EQ(MetresOfUnits(226), 251);
  clock.Advance(3'000'000);
  EXPECT_EQ(motion.Update(3500301, 13900000).Speed, 49);
}

TEST(Motion, HeadingOverTheLastFiveTrackPoints) {
  base::TFakeClock clock;
  TMotion motion(clock);
  int32_t lat = 3500000, lon = 13900000;
  // Eastward, but the first four readings still measure from the zero point (south-west
  // of them, so north-east-ish, not 90°).
  for (int i = 0; i < 4; ++i) {
    clock.Advance(1'000'000);
    const int32_t d = motion.Update(lat, lon + kStep * i).Direction;
    EXPECT_GT(d, 0);
    EXPECT_LT(d, 9000000 - 1000000) << i;
  }
  // The fifth: all five points are the car's own; due east at 35° N is about 90°.
  clock.Advance(1'000'000);
  const int32_t east = motion.Update(lat, lon + kStep * 4).Direction;
  EXPECT_NEAR(east, 9000000, 10000);
  // Standing still: no track point, the heading stays.
  for (int i = 0; i < 3; ++i) {
    clock.Advance(1'000'000);
    EXPECT_EQ(motion.Update(lat, lon + kStep * 4).Direction, east);
  }
  // Creeping 4 units (4.4 m) at a time adds no point either: a move must exceed 5 m from
  // the newest track point, not from the last reading.
  clock.Advance(1'000'000);
  EXPECT_EQ(motion.Update(lat + 4, lon + kStep * 4).Direction, east);
  clock.Advance(1'000'000);
  EXPECT_NE(motion.Update(lat + 8, lon + kStep * 4).Direction, east);
  // Without a position the last heading is reported.
  const int32_t last = motion.Update(-1, -1).Direction;
  EXPECT_EQ(motion.Update(0, 5).Direction, last);
}

}  // namespace
}  // namespace sorrel::alarm
