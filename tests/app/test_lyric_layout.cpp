// The lyric window: its rows and marked row, its font size, its place beside the main
// window at the four "LyricPos" places, its areas in the display modes 1..6 under the
// right and bottom limits, and `pnl_LyricStatus`.
#include "app/core/LyricLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace sorrel::app;

namespace {

// Text measured as the lyric window would, with simple numbers: 10 pixels a character
// up to the width given (then wrapped), 20 pixels a line; plus the 8 and 2 pixels of
// MeasureHint.
class FakeMeasure : public TLyricMeasure {
 public:
  int LineHeight(int fontSize) override {
    lineHeightFonts.push_back(fontSize);
    return fontSize + 2;
  }
  TSize MeasureText(int fontSize, int maxWidth, const std::string& text) override {
    measured.push_back({fontSize, maxWidth, text});
    int longest = 0, lines = 1, chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text.compare(i, 2, "\r\n") == 0) {
        longest = std::max(longest, chars);
        chars = 0;
        ++lines;
        ++i;
      } else if ((text[i] & 0xC0) != 0x80) {
        ++chars;
      }
    }
    longest = std::max(longest, chars);
    return {std::min(longest * 10, maxWidth) + 8, lines * 20 + 2};
  }
  struct Call {
    int fontSize, maxWidth;
    std::string text;
  };
  std::vector<Call> measured;
  std::vector<int> lineHeightFonts;
};

TLyricTimeline Numbered(int lines) {
  std::string file;
  for (int i = 1; i <= lines; ++i) file += "[0:" + std::to_string(i) + ":0]L" + std::to_string(i) + "\n";
  return ParseLyrics(file, {0, true});
}

const TLyricRect kScreen{0, 0, 1024, 768};
const TLyricRect kMain{300, 200, 768, 277};  // 468 x 77

}  // namespace

TEST(LyricPage, RowsAndTheMarkedRow) {
  const TLyricTimeline t = Numbered(10);  // L1 is entry 20
  // "LyricLine" 5: the current line is the second row, after "♪".
  EXPECT_EQ(LyricPage(t, 22, 5, 2), (TLyricPage{"　L2\r\n♪L3\r\n　L4\r\n　L5\r\n　L6", 5, 2}));
  EXPECT_EQ(LyricPage(t, 22, 2, 2).Text, "♪L3\r\n　L4");
  EXPECT_EQ(LyricPage(t, 22, 9, 2).MarkedRow, 3);
  EXPECT_EQ(LyricPage(t, 22, 13, 2).MarkedRow, 4);
  // One row: the marked row is the last row, which carries the blank, not the note.
  EXPECT_EQ(LyricPage(t, 22, 1, 2).Text, "　L3");
  // Blank lines and rows beyond either end show "LyricNilSpace" blanks.
  EXPECT_EQ(LyricPage(t, 20, 5, 3).Text, "　   \r\n♪L1\r\n　L2\r\n　L3\r\n　L4");
  EXPECT_EQ(LyricPage(t, 0, 5, 1).Text, "　 \r\n♪ \r\n　 \r\n　 \r\n　 ");
  EXPECT_EQ(LyricPage(t, static_cast<int>(t.size()) - 1, 2, 0).Text, "♪\r\n　");
  EXPECT_EQ(LyricPage(TLyricTimeline{}, -1, 2, 2).Text, "♪  \r\n　  ");
  // Absurd settings stay bounded.
  EXPECT_EQ(LyricPage(t, 22, 0, -5), (TLyricPage{"　L3", 1, 1}));
  EXPECT_EQ(LyricPage(t, 22, 1 << 30, 2).Rows, kMaxLyricRows);
  EXPECT_EQ(LyricPage(t, 10, 1, 1 << 30).Text.size(), std::string("　").size() + kMaxLyricNilSpace);
  EXPECT_EQ(LyricPage(t, INT32_MAX, 3, 1).Text, "♪ \r\n　 \r\n　 ");
}

TEST(LyricStatusPanel, CaptionAndColour) {
  EXPECT_EQ(LyricStatusPanel(true, false), (TLyricStatusPanel{"歌詞", 0x00FF00}));
  EXPECT_EQ(LyricStatusPanel(true, true), (TLyricStatusPanel{"歌詞", 0xC0C0C0}));
  EXPECT_EQ(LyricStatusPanel(false, false), (TLyricStatusPanel{"", 0x00FF00}));
  EXPECT_EQ(LyricStatusPanel(false, true), (TLyricStatusPanel{"", 0xC0C0C0}));
}

TEST(LyricLayout, FontSizeByMode) {
  TLyricSettings s;
  s.Lyric.LyricFontSize = 26;
  s.KSLyricFontSize = 48;
  EXPECT_EQ(LyricFontSize(0, s), 26);
  for (int mode = 1; mode <= 6; ++mode) EXPECT_EQ(LyricFontSize(mode, s), 48) << mode;
  EXPECT_EQ(LyricFontSize(7, s), 26);
  EXPECT_EQ(LyricFontSize(-1, s), 26);
}

TEST(LyricLayout, ModeZeroAtTheFourPlaces) {
  TLyricEngine engine;
  engine.Load(Numbered(30));
  engine.Step(3000, {});  // L3
  const TLyricLayout layout(kScreen);
  TLyricSettings s;  // "LyricLine" 2, "LyricFontSize" 26
  struct Case {
    int pos;
    bool limited;
    int maxWidth;
    TLyricRect bounds;
  };
  // The text is 3 characters wide (38 pixels with the hint's 8), 2 lines (42 high).
  const std::vector<Case> cases = {
      {0, true, 1024, {300, 277, 338, 319}},  // below, left edges aligned
      {0, false, 1024, {300, 277, 338, 319}},
      {1, true, 296, {262, 200, 300, 242}},  // left: room left of the main window - 4
      {1, false, 1024, {262, 200, 300, 242}},
      {2, true, 255, {768, 200, 806, 242}},  // right: 1024 - 768 - 1
      {2, false, 1024, {768, 200, 806, 242}},
      {3, true, 1024, {300, 154, 338, 196}},  // above: bottom 4 pixels above the main window
      {3, false, 1024, {300, 154, 338, 196}},
      {4, true, 255, {768, 200, 806, 242}},  // unknown places: as the default, 2
      {255, false, 1024, {768, 200, 806, 242}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "LyricPos " << c.pos << (c.limited ? " limited" : ""));
    s.LyricPos = c.pos;
    s.LyricWinWidthLimited = c.limited;
    FakeMeasure measure;
    const TLyricWindowPlan plan = layout.Plan(engine, 0, kMain, s, measure);
    ASSERT_EQ(measure.measured.size(), 1u);
    EXPECT_EQ(measure.measured[0].maxWidth, c.maxWidth);
    EXPECT_EQ(measure.measured[0].fontSize, 26);
    EXPECT_EQ(measure.measured[0].text, plan.Page.Text);
    EXPECT_TRUE(measure.lineHeightFonts.empty());
    EXPECT_EQ(plan.FontSize, 26);
    EXPECT_EQ(plan.Page, (TLyricPage{"♪L3\r\n　L4", 2, 1}));
    EXPECT_EQ(plan.Bounds, c.bounds);
  }
}

TEST(LyricLayout, ModeZeroWideTextAndTightRoom) {
  TLyricEngine engine;
  engine.Load(ParseLyrics("[0:1:0]" + std::string(100, 'w') + "\n", {0, true}));
  engine.Step(1000, {});
  TLyricSettings s;
  s.LyricLine = 5;
  s.LyricPos = 1;
  FakeMeasure measure;
  // Width limited on the left: wrapped at the room there; without the limit it may
  // reach off the screen (ActivateHint moves it back on).
  TLyricWindowPlan plan = TLyricLayout(kScreen).Plan(engine, 0, kMain, s, measure);
  EXPECT_EQ(plan.Bounds, (TLyricRect{300 - 304, 200, 300, 302}));
  EXPECT_EQ(plan.Page.MarkedRow, 2);
  s.LyricWinWidthLimited = false;
  plan = TLyricLayout(kScreen).Plan(engine, 0, kMain, s, measure);
  EXPECT_EQ(plan.Bounds, (TLyricRect{300 - 1018, 200, 300, 302}));
  // No room at all beside the main window: at least one pixel to wrap at.
  EXPECT_EQ(LyricMaxWidth(kScreen, {0, 0, 468, 77}, 1, true), 1);
  EXPECT_EQ(LyricMaxWidth(kScreen, {556, 0, 1024, 77}, 2, true), 1);
  // A screen that does not start at 0 (a second monitor).
  EXPECT_EQ(LyricMaxWidth({1920, 0, 3840, 1080}, {2000, 10, 2468, 87}, 1, true), 76);
  EXPECT_EQ(LyricMaxWidth({1920, 0, 3840, 1080}, {2000, 10, 2468, 87}, 2, true), 1371);
  EXPECT_EQ(LyricMaxWidth({1920, 0, 3840, 1080}, {2000, 10, 2468, 87}, 0, true), 1920);
}

TEST(LyricLayout, LargeModesOverTheirAreas) {
  TLyricEngine engine;
  engine.Load(Numbered(30));
  engine.Step(5000, {});  // L5
  TLyricLayout layout(kScreen);
  EXPECT_EQ(layout.RightLimit(), 1024);
  EXPECT_EQ(layout.BottomLimit(), 764);
  layout.SetLimits(900, 600);  // the navigation program's window at (900, 600)
  TLyricSettings s;
  s.KSLyricFontSize = 48;  // lines of 50 pixels in the fake
  struct Case {
    int mode;
    TLyricRect area;
    int rows;
  };
  const std::vector<Case> cases = {
      {1, {0, 0, 900, 764}, 16},   {2, {0, 0, 1024, 600}, 13},   {3, {0, 277, 1024, 600}, 7},
      {4, {0, 277, 900, 764}, 10}, {5, {0, 277, 1024, 764}, 10}, {6, {0, 0, 1024, 764}, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode);
    FakeMeasure measure;
    const TLyricWindowPlan plan = layout.Plan(engine, c.mode, kMain, s, measure);
    EXPECT_TRUE(measure.measured.empty());
    EXPECT_EQ(measure.lineHeightFonts, std::vector<int>{48});
    EXPECT_EQ(plan.FontSize, 48);
    EXPECT_EQ(plan.Bounds, c.area);
    EXPECT_EQ(plan.Page.Rows, c.rows);
    EXPECT_EQ(plan.Page.MarkedRow, (c.rows - 1) / 4 + 1);
    EXPECT_NE(plan.Page.Text.find("♪L5\r\n"), std::string::npos);
  }
  // Each position reading starts from the screen's limits again.
  layout.ResetLimits();
  EXPECT_EQ(LyricTextArea(1, kScreen, kMain, layout.RightLimit(), layout.BottomLimit()),
            (TLyricRect{0, 0, 1024, 764}));
  layout.SetLimits(10, 10);
  layout.SetScreen({1920, 0, 3840, 1080});
  EXPECT_EQ(layout.RightLimit(), 3840);
  EXPECT_EQ(layout.BottomLimit(), 1076);
}

TEST(LyricLayout, AreasTheLimitsTurnInsideOut) {
  // The main window below the bottom limit (mode 3), the limit left of the screen.
  const TLyricRect low{300, 700, 768, 777};
  EXPECT_EQ(LyricTextArea(3, kScreen, low, 1024, 600), (TLyricRect{0, 777, 1024, 777}));
  EXPECT_EQ(LyricTextArea(1, kScreen, kMain, -50, 764), (TLyricRect{0, 0, 0, 764}));
  EXPECT_EQ(LargeLyricRows(0, 50), 1);
  EXPECT_EQ(LargeLyricRows(-100, 50), 1);
  EXPECT_EQ(LargeLyricRows(764, 0), 765);
  EXPECT_EQ(LargeLyricRows(5000, 1), kMaxLyricRows);
  EXPECT_EQ(LargeLyricRows(5000, -3), kMaxLyricRows);
  EXPECT_EQ(LargeLyricRows(49, 50), 1);
  EXPECT_EQ(LargeLyricRows(50, 50), 2);
}
