// The display's texts: times, the clock, number widths, the information text and the
// play file list's numbers.
#include "app/core/DisplayText.h"

#include <gtest/gtest.h>

using namespace sorrel;
using namespace sorrel::app;

namespace {

constexpr int kMinute = 60 * 1000;

base::TLocalTime At(int hour, int minute, int second) { return {2026, 5, 1, hour, minute, second, 0}; }

}  // namespace

TEST(ElapsedTime, MinutesOfTheTimeOfDay) {
  EXPECT_EQ(ElapsedTimeText(0, 75 * kMinute), "00:00 / 15:00");  // the hour is dropped
  EXPECT_EQ(ElapsedTimeText(0, 61 * kMinute), "00:00 / 01:00");
  EXPECT_EQ(ElapsedTimeText(59999, 60000), "00:59 / 01:00");  // seconds are cut, not rounded
  EXPECT_EQ(ElapsedTimeText(3 * kMinute + 7500, 4 * kMinute + 1), "03:07 / 04:00");
  EXPECT_EQ(ElapsedTimeText(60 * kMinute - 1, 25 * 60 * kMinute), "59:59 / 00:00");
}

TEST(ElapsedTime, UnknownLengthAndOddPositions) {
  EXPECT_EQ(ElapsedTimeText(1500, 0), "00:01 / ??:??");
  EXPECT_EQ(ElapsedTimeText(-20, 1000), "00:00 / 00:01");
  EXPECT_EQ(std::string(kTimeCaption), ElapsedTimeText(0, 0));
}

TEST(Clock, TwelveHourClockAroundMidnightAndNoon) {
  EXPECT_EQ(ClockText(At(0, 0, 0), false), "AM 12:00");
  EXPECT_EQ(ClockText(At(0, 5, 9), true), "AM 12:05:09");
  EXPECT_EQ(ClockText(At(1, 0, 0), false), "AM 01:00");
  EXPECT_EQ(ClockText(At(11, 59, 59), true), "AM 11:59:59");
  EXPECT_EQ(ClockText(At(12, 0, 0), false), "PM 12:00");
  EXPECT_EQ(ClockText(At(12, 34, 56), true), "PM 12:34:56");
  EXPECT_EQ(ClockText(At(13, 5, 0), false), "PM 01:05");
  EXPECT_EQ(ClockText(At(23, 59, 59), false), "PM 11:59");
}

// The clock timer runs every 100 ms; without seconds the text changes once a minute.
TEST(Clock, ChangesOncePerMinuteWithoutSeconds) {
  base::TFakeClock clock(0, At(11, 58, 30));
  std::vector<std::string> without, with;
  for (int tick = 0; tick < 1800; ++tick) {  // three minutes
    const base::TLocalTime now = clock.LocalTime();
    for (auto [list, sec] : {std::pair{&without, false}, std::pair{&with, true}}) {
      const std::string text = ClockText(now, sec);
      if (list->empty() || list->back() != text) list->push_back(text);
    }
    clock.Advance(100 * 1000);
  }
  EXPECT_EQ(without, (std::vector<std::string>{"AM 11:58", "AM 11:59", "PM 12:00", "PM 12:01"}));
  EXPECT_EQ(with.size(), 180u);
  EXPECT_EQ(with.front(), "AM 11:58:30");
  EXPECT_EQ(with.back(), "PM 12:01:29");
}

TEST(Numbers, WidthHasRoomForSeparators) {
  EXPECT_EQ(NumberWidth(0), 1);
  EXPECT_EQ(NumberWidth(7), 1);
  EXPECT_EQ(NumberWidth(99), 2);
  EXPECT_EQ(NumberWidth(999), 4);
  EXPECT_EQ(NumberWidth(1000), 5);
  EXPECT_EQ(NumberWidth(99999), 6);
  EXPECT_EQ(NumberWidth(999999), 8);
  EXPECT_EQ(NumberWidth(1000000), 9);
  // Every count fits its own width once formatted.
  for (int64_t n : {1, 12, 123, 1234, 12345, 123456, 1234567, 2147483647})
    EXPECT_EQ(FormatNumber(n, NumberWidth(n)).size(), static_cast<size_t>(NumberWidth(n))) << n;
}

TEST(Numbers, ThousandsSeparatorsRightAligned) {
  EXPECT_EQ(FormatNumber(1000, 5), "1,000");
  EXPECT_EQ(FormatNumber(999, 4), " 999");
  EXPECT_EQ(FormatNumber(5, 5), "    5");
  EXPECT_EQ(FormatNumber(1234567, 0), "1,234,567");
  EXPECT_EQ(FormatNumber(100000, 3), "100,000");  // never cut
  EXPECT_EQ(FormatNumber(-1234, 7), " -1,234");
  EXPECT_EQ(FormatNumber(INT64_MIN, 0), "-9,223,372,036,854,775,808");
}

namespace {

TSongFacts Song() { return {"Rain", "Tarn", "Lumen", "1999"}; }

// Song 4 of 12 in directory 2 (of 30); row 41 of 1,234.
TPlayOrderFacts DirectoryMode(bool shuffle) {
  TPlayOrderFacts o;
  o.ListFileMode = false;
  o.Shuffle = shuffle;
  o.MusicIndex = 41;
  o.SongCount = 1234;
  o.DirectoryCount = 30;
  o.DirectoryNo = 2;
  o.FileNo = 4;
  o.DirectorySongCount = 12;
  return o;
}

}  // namespace

TEST(InformationText, DirectoryModeWithoutExtras) {
  const TLabelTexts t = RefreshLabelTexts(Song(), DirectoryMode(false), TMainFormSettings{});
  // 1,234 songs: width 5 for every number of the pop-up.
  EXPECT_EQ(t.InfoText,
            "SinD:     4 /    12\r\n"
            " Dir:     3 /    30\r\n"
            "AllS:    42 / 1,234");
  EXPECT_EQ(t.FileNoText, "   42 / 1,234");
  EXPECT_EQ(t.DirNoText, " 3 / 30\r\n");  // the directories' own width
  EXPECT_TRUE(t.DirNoVisible);
  EXPECT_EQ(t.DirNoColor, 0x000000);
  EXPECT_EQ(t.TitleHint, "Rain");
  EXPECT_EQ(t.ArtistHint, "Tarn");
  EXPECT_EQ(t.AlbumHint, "Lumen");
}

TEST(InformationText, DirectoryModeWithShuffleHighlightsTheAllSongsLine) {
  const TPlayOrderFacts order = DirectoryMode(true);
  const TLabelTexts t = RefreshLabelTexts(Song(), order, TMainFormSettings{});
  EXPECT_EQ(t.DirNoColor, kDirNoShuffleColor);
  EXPECT_EQ(PopUpHighlightLine(true, order), 3);
  // Line 3 is the "AllS: " line.
  size_t line3 = 0;
  for (int i = 0; i < 2; ++i) line3 = t.InfoText.find("\r\n", line3) + 2;
  EXPECT_EQ(t.InfoText.compare(line3, 6, "AllS: "), 0);
  // Other messages, and the information without shuffle or in file-list mode: line 1.
  EXPECT_EQ(PopUpHighlightLine(false, order), 1);
  EXPECT_EQ(PopUpHighlightLine(true, DirectoryMode(false)), 1);
  TPlayOrderFacts files = order;
  files.ListFileMode = true;
  EXPECT_EQ(PopUpHighlightLine(true, files), 1);
}

TEST(InformationText, ExtraLinesLineUpTheColons) {
  TMainFormSettings s;
  s.InfoAddTitle = s.InfoAddArtist = s.InfoAddAlbum = s.InfoAddYear = true;
  const TLabelTexts t = RefreshLabelTexts(Song(), DirectoryMode(false), s);
  EXPECT_EQ(t.InfoText,
            "  SinD:     4 /    12\r\n"
            "   Dir:     3 /    30\r\n"
            "  AllS:    42 / 1,234\r\n"
            "\r\n"
            " Title: Rain\r\n"
            "Artist: Tarn\r\n"
            " Album: Lumen\r\n"
            "  Year: 1999");
  s.InfoAddTitle = s.InfoAddArtist = s.InfoAddAlbum = false;
  EXPECT_EQ(RefreshLabelTexts(Song(), DirectoryMode(false), s).InfoText,
            "  SinD:     4 /    12\r\n"
            "   Dir:     3 /    30\r\n"
            "  AllS:    42 / 1,234\r\n"
            "\r\n"
            "  Year: 1999");
}

TEST(InformationText, FileListModeHasOnlyTheAllSongsLine) {
  TPlayOrderFacts o;
  o.ListFileMode = true;
  o.MusicIndex = 998;
  o.SongCount = 999;
  TMainFormSettings s;
  s.TitleAddTrack = true;  // directory mode only
  const TLabelTexts t = RefreshLabelTexts(Song(), o, s);
  EXPECT_EQ(t.InfoText, "AllS:  999 /  999");
  EXPECT_FALSE(t.DirNoVisible);
  EXPECT_EQ(t.TitleHint, "Rain");
  o.MusicIndex = 999;  // the 1,000th song of 1,000: one character more
  o.SongCount = 1000;
  EXPECT_EQ(RefreshLabelTexts(Song(), o, s).InfoText, "AllS: 1,000 / 1,000");
}

TEST(LabelTexts, TrackNumberAndYear) {
  TMainFormSettings s;
  s.TitleAddTrack = true;
  s.ArtistAddYear = true;
  EXPECT_EQ(RefreshLabelTexts(Song(), DirectoryMode(false), s).TitleHint, "4/12　Rain");
  TSongFacts song = Song();
  EXPECT_EQ(RefreshLabelTexts(song, DirectoryMode(false), s).ArtistHint, "Tarn (1999)");
  song.Year = "  1999 \t";
  EXPECT_EQ(RefreshLabelTexts(song, DirectoryMode(false), s).ArtistHint, "Tarn (1999)");
  song.Year = std::string(" \0 ", 3);
  EXPECT_EQ(RefreshLabelTexts(song, DirectoryMode(false), s).ArtistHint, "Tarn");
  s.ArtistAddYear = false;
  EXPECT_EQ(RefreshLabelTexts(Song(), DirectoryMode(false), s).ArtistHint, "Tarn");
}
