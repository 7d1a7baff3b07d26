// The scroll setup and the title timer's scrolling over widths a fake font gives.
#include "app/core/TitleScroll.h"

#include <gtest/gtest.h>

using namespace sorrel::app;

namespace {

// Blanks 4 pixels, every other character 10; the title's font is twice as wide.
class FakeFont : public TTextMeasure {
 public:
  int TextWidth(TScrollLabel label, const std::string& text) const override {
    int w = 0;
    for (unsigned char c : text) {
      if ((c & 0xC0) == 0x80) continue;  // UTF-8 continuation byte
      w += c == ' ' ? 4 : 10;
    }
    return label == TScrollLabel::lb_Title ? 2 * w : w;
  }
};

TScrollSource Source(std::string title, std::string artist, std::string album, int titleWidth = 377,
                     int artistWidth = 170, int albumWidth = 170) {
  return {{std::move(title), std::move(artist), std::move(album)}, {titleWidth, artistWidth, albumWidth}};
}

struct Scroll : ::testing::Test {
  FakeFont font;
  TTitleScroller scroller;
  const TScrollLine& title() { return scroller.Line(TScrollLabel::lb_Title); }
  const TScrollLine& artist() { return scroller.Line(TScrollLabel::lb_Artist); }
  const TScrollLine& album() { return scroller.Line(TScrollLabel::lb_Album); }
};

}  // namespace

TEST_F(Scroll, TitleSetup) {
  // 377 div 15 + 6 = 31 blanks.
  ASSERT_TRUE(scroller.Setup(true, Source("Long title of a song", "", ""), font));
  const std::string gap(31, ' ');
  EXPECT_TRUE(title().Scrolls);
  EXPECT_EQ(title().Caption, "");
  EXPECT_EQ(title().Drawn, "Long title of a song" + gap + "Long title of a song");
  EXPECT_EQ(title().TextWidth, 2 * (16 * 10 + 4 * 4));  // 352
  EXPECT_EQ(title().WrapDistance, 352 + 2 * 31 * 4);    // 600
  EXPECT_EQ(title().Offset, 50);                        // 377 - 352 = 25, at least 50
  scroller.Setup(true, Source("Hi", "", ""), font);     // 40 wide
  EXPECT_EQ(title().Offset, 377 - 40);                  // starts at the right
  EXPECT_EQ(title().Drawn, "Hi" + gap + "Hi");
}

TEST_F(Scroll, TitleMovesThirteenPixelsAndWraps) {
  scroller.Setup(true, Source("Long title of a song", "", ""), font);  // w 352, wrap 600
  std::vector<int> offsets;
  for (int i = 0; i < 40; ++i) {
    const auto repaint = scroller.Tick(true, true, true);
    EXPECT_TRUE(repaint[0]);
    offsets.push_back(title().Offset);
  }
  EXPECT_EQ(offsets[0], 37);
  EXPECT_EQ(offsets[1], 24);
  // 50 - 13 k falls below -352 at k = 31 (-353): the wrap distance comes back on.
  EXPECT_EQ(offsets[29], 50 - 13 * 30);  // -340
  EXPECT_EQ(offsets[30], -353 + 600);    // 247
  EXPECT_EQ(offsets[31], 234);
  for (int o : offsets) EXPECT_GE(o, -352);
}

TEST_F(Scroll, NothingMovesWhileNotPlaying) {
  scroller.Setup(true, Source("Title", "An artist with a very long name", "Album"), font);
  const int t = title().Offset, a = artist().Offset;
  const auto repaint = scroller.Tick(false, true, true);
  EXPECT_TRUE(repaint[0]);
  EXPECT_TRUE(repaint[1]);  // still drawn where it stands
  EXPECT_FALSE(repaint[2]);
  EXPECT_EQ(title().Offset, t);
  EXPECT_EQ(artist().Offset, a);
}

TEST_F(Scroll, ArtistAndAlbumScrollOnlyWhenTooWide) {
  // 17 characters of 10 = 170: fits exactly; one more does not.
  scroller.Setup(true, Source("T", "abcdefghijklmnopq", "abcdefghijklmnopqr"), font);
  EXPECT_FALSE(artist().Scrolls);
  EXPECT_EQ(artist().Caption, "abcdefghijklmnopq");
  EXPECT_TRUE(album().Scrolls);
  EXPECT_EQ(album().Caption, "");
  const std::string gap(170 / 10 + 6, ' ');  // 23 blanks
  EXPECT_EQ(album().Drawn, "abcdefghijklmnopqr" + gap + "abcdefghijklmnopqr");
  EXPECT_EQ(album().Offset, 0);
  EXPECT_EQ(album().TextWidth, 180);
  EXPECT_EQ(album().WrapDistance, 180 + 23 * 4);  // 272

  std::vector<int> offsets;
  for (int i = 0; i < 22; ++i) {
    const auto repaint = scroller.Tick(true, true, true);
    EXPECT_FALSE(repaint[1]);  // the label shows its own caption
    EXPECT_TRUE(repaint[2]);
    offsets.push_back(album().Offset);
  }
  EXPECT_EQ(offsets[0], -9);
  EXPECT_EQ(offsets[19], -180);        // not yet below -180
  EXPECT_EQ(offsets[20], -189 + 272);  // 83
  EXPECT_EQ(offsets[21], 74);
}

TEST_F(Scroll, HiddenLinesStandStill) {
  scroller.Setup(true, Source("T", "An artist with a very long name", "An album with a very long name"),
                 font);
  scroller.Tick(true, false, true);
  EXPECT_EQ(artist().Offset, 0);
  EXPECT_EQ(album().Offset, -9);
  const auto repaint = scroller.Tick(true, true, false);
  EXPECT_TRUE(repaint[1]);
  EXPECT_FALSE(repaint[2]);
  EXPECT_EQ(artist().Offset, -9);
  EXPECT_EQ(album().Offset, -9);
}

TEST_F(Scroll, SetupWaitsForStartUpAndAPlayOrder) {
  EXPECT_EQ(scroller.Tick(true, true, true), (TTitleScroller::TRepaint{}));  // nothing set up yet
  scroller.RequestSetup();
  EXPECT_FALSE(scroller.Setup(false, Source("Title", "", ""), font));
  EXPECT_TRUE(scroller.SetupPending());
  EXPECT_EQ(scroller.Tick(true, true, true), (TTitleScroller::TRepaint{}));
  EXPECT_TRUE(scroller.Setup(true, Source("Title", "", ""), font));
  EXPECT_FALSE(scroller.SetupPending());
}

TEST_F(Scroll, ResizeRestartsWithTheNewWidths) {
  scroller.Setup(true, Source("Title", "Artist that is long", "Album"), font);
  for (int i = 0; i < 5; ++i) scroller.Tick(true, true, true);
  // The window got narrower: the artist no longer fits; then wider again.
  scroller.Setup(true, Source("Title", "Artist", "Album", 200, 50, 60), font);
  EXPECT_TRUE(artist().Scrolls);
  EXPECT_EQ(artist().Offset, 0);
  EXPECT_EQ(artist().Drawn, "Artist" + std::string(50 / 10 + 6, ' ') + "Artist");
  EXPECT_EQ(title().Drawn, "Title" + std::string(200 / 15 + 6, ' ') + "Title");
  EXPECT_EQ(title().Offset, 200 - 100);
  scroller.Setup(true, Source("Title", "Artist", "Album"), font);
  EXPECT_FALSE(artist().Scrolls);
  EXPECT_EQ(artist().Caption, "Artist");
}

TEST_F(Scroll, EmptyTitleAndZeroWidths) {
  // An empty title scrolls its gap; a font that measures nothing restarts the offset.
  scroller.Setup(true, Source("", "", ""), font);
  EXPECT_EQ(title().TextWidth, 0);
  for (int i = 0; i < 100; ++i) scroller.Tick(true, true, true);
  EXPECT_GE(title().Offset, 0);
  class NoWidth : public TTextMeasure {
    int TextWidth(TScrollLabel, const std::string&) const override { return 0; }
  } none;
  scroller.Setup(true, Source("x", "", ""), none);
  for (int i = 0; i < 100; ++i) scroller.Tick(true, true, true);
  EXPECT_GE(title().Offset, -13);
  EXPECT_LE(title().Offset, 377);
}
