// Lyric files: the timed lines and their arithmetic, the two stamp forms (StandardLrc
// on and off), damaged files, finding the file beside the song, the lyric step and its
// timing against a song clock.
#include "app/core/Lyrics.h"
#include "app/core/Settings.h"
#include "base/Clock.h"
#include "base/IniFile.h"
#include "base/TextCodec.h"
#include "tests/common/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace sorrel::app;

using sorrel::test::WriteText;

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/sorrel-lyrics-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

TLyricTimeline Parse(const std::string& text, bool standardLrc = true, int lyricOffset = -299) {
  return ParseLyrics(text, {lyricOffset, standardLrc});
}

// The file's own lines: (time, text), without the blank entries around them.
std::vector<std::pair<int32_t, std::string>> FileLines(const TLyricTimeline& t) {
  std::vector<std::pair<int32_t, std::string>> lines;
  if (t.empty()) return lines;
  for (size_t i = kLeadingLyricEntries; i + kTrailingLyricEntries + kFinalLyricEntries < t.size(); ++i) {
    lines.emplace_back(t.Time(i), std::string(t.Text(i)));
  }
  return lines;
}
using Lines = std::vector<std::pair<int32_t, std::string>>;

// What must hold for every timeline: the padding, valid UTF-8, the search agreeing with
// the scan.
void ExpectWellFormed(const TLyricTimeline& t) {
  if (t.empty()) return;
  ASSERT_GE(t.size(), size_t{kLeadingLyricEntries + 1 + kTrailingLyricEntries + kFinalLyricEntries});
  for (int i = 0; i < kLeadingLyricEntries; ++i) {
    EXPECT_EQ(t.Text(i), "");
    EXPECT_EQ(t.Time(i), t.Time(0));
  }
  const size_t lastLine = t.size() - kTrailingLyricEntries - kFinalLyricEntries - 1;
  for (size_t i = lastLine + 1; i < t.size(); ++i) EXPECT_EQ(t.Text(i), "");
  for (size_t i = 0; i < t.size(); ++i) {
    EXPECT_TRUE(sorrel::base::IsValidUtf8(t.Text(i))) << i;
    EXPECT_LE(t.Text(i).size(), kMaxLyricTextBytes);
  }
  for (int32_t p : {INT32_MIN, -1, 0, 1, 999, 12201, 3600000, INT32_MAX - 1, INT32_MAX}) {
    EXPECT_EQ(t.Find(p), t.FindByScan(p)) << p;
  }
  const size_t step = std::max<size_t>(1, t.size() / 500);
  for (size_t i = 0; i < t.size(); i += step) EXPECT_EQ(t.Find(t.Time(i)), t.FindByScan(t.Time(i))) << i;
}

}  // namespace

// ---- The timed lines in the original form ----

TEST(LyricFile, StampTextAndPadding) {
  const TLyricTimeline t =
      Parse("[00:12:50]Hello\r\n[1:02:3]  two words  \r\n[00:20:]   \r\n[00:21:00]\n", false);
  ExpectWellFormed(t);
  // 12500 + "LyricOffset" (-299); the text untrimmed; only-blank and empty texts blank.
  EXPECT_EQ(FileLines(t), (Lines{{12201, "Hello"}, {61731, "  two words  "}, {19701, ""}, {20701, ""}}));
  ASSERT_EQ(t.size(), 20u + 4 + 40 + 10);
  EXPECT_EQ(t.Time(0), 0);  // the leading entries get no "LyricOffset"
  // T = 20701, the last entry's time: 40 entries T + k * 1999, 10 entries T + 3600000.
  EXPECT_EQ(t.Time(24), 20701 + 1999);
  EXPECT_EQ(t.Time(63), 20701 + 40 * 1999);
  EXPECT_EQ(t.Time(64), 20701 + 3600000);
  EXPECT_EQ(t.Time(73), 20701 + 3600000);
}

TEST(LyricFile, StampsWithoutTwoColonsAreMinusOne) {
  const Lines expected{{-300, "Dot"}, {-300, "One"}, {-300, ""}, {-300, "]x"}};
  EXPECT_EQ(FileLines(Parse("[00:12.50]Dot\n[12]One\n[]\n[x]]x\n", false)), expected);
  // The LRC reading would take the first one as 12.5 s: only with StandardLrc.
  EXPECT_EQ(FileLines(Parse("[00:12.50]Dot\n", true)), (Lines{{12201, "Dot"}}));
}

TEST(LyricFile, LinesThatGiveNoEntry) {
  // No closing bracket; fields that are no numbers; a time beyond 32 bits; header text.
  for (bool lrc : {false, true}) {
    const TLyricTimeline t = Parse(
        "[00:12:50 Hello\n[ab:cd:ef]x\n[00: 1:00]y\n[0:0:1:2]z\n[35791:24:00]late\n[99999999999:0:0]big\n"
        "plain text\n\n [00:01:00]indented\n",
        lrc);
    EXPECT_TRUE(t.empty()) << lrc;
  }
  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse("@TIMERATIO=2\n@OFFSET=100\n").empty());
}

TEST(LyricFile, SignsAndLargeFieldsFollowTheArithmetic) {
  EXPECT_EQ(FileLines(Parse("[-1:00:00]a\n[0:75:0]b\n[0:1:500]c\n[+0:02:00]d\n[0:0:-5]e\n", false, 0)),
            (Lines{{-60000, "a"}, {75000, "b"}, {6000, "c"}, {2000, "d"}, {-50, "e"}}));
  // The largest stamp that fits; "LyricOffset" then stops at the end of the range.
  const TLyricTimeline top = Parse("[35791:23:64]x\n", false, 100);
  ExpectWellFormed(top);
  EXPECT_EQ(FileLines(top), (Lines{{INT32_MAX, "x"}}));
  EXPECT_EQ(top.Time(top.size() - 1), INT32_MAX);
  const TLyricTimeline bottom = Parse("[-35791:-23:-64]x\n", false, INT_MIN);
  ExpectWellFormed(bottom);
  EXPECT_EQ(FileLines(bottom), (Lines{{INT32_MIN, "x"}}));
}

TEST(LyricFile, TimeRatioAndFileOffset) {
  // Ratio 2 halves every time, the leading entries' too, then the offset is added;
  // ties round to even (12201 / 2 = 6100.5).
  const TLyricTimeline t = Parse("@TimeRatio = 2\n[00:12:50]Hello\n[00:20:00]x\nfoo @offset=100\n");
  ExpectWellFormed(t);
  EXPECT_EQ(t.TimeRatio(), 2.0);
  EXPECT_EQ(t.FileOffset(), 100);
  EXPECT_EQ(t.Time(0), 100);
  EXPECT_EQ(FileLines(t), (Lines{{6200, "Hello"}, {9950, "x"}}));     // 6200.5 and 9950.5
  EXPECT_EQ(t.Time(22), 9950 + 1999);                                 // padding after the change
  EXPECT_EQ(Parse("@TIMERATIO=2\n[0:0:0]x\n", true, 1).Time(20), 0);  // 0.5
  EXPECT_EQ(Parse("@TIMERATIO=2\n[0:0:0]x\n", true, 3).Time(20), 2);  // 1.5

  // A later header line wins; both keys may share a line when each has its own "=".
  EXPECT_EQ(Parse("@OFFSET=5\n[0:1:0]x\n@OFFSET=-7\n", true, 0).Time(20), 993);
  EXPECT_EQ(Parse("@OFFSET=5 @TIMERATIO=2\n[0:1:0]x\n", true, 0).FileOffset(), 0);  // "5 @TIMERATIO=2"
  const TLyricTimeline ratio = Parse("@TIMERATIO=0.5\n[0:1:0]x\n", true, 0);
  EXPECT_EQ(ratio.Time(20), 2000);
}

TEST(LyricFile, HeaderValuesThatAreIgnored) {
  for (const char* header : {"@TIMERATIO=0", "@TIMERATIO=-2", "@TIMERATIO=abc", "@TIMERATIO=inf",
                             "@TIMERATIO=nan", "@TIMERATIO 2", "@TIMERATIO=", "@OFFSET=1.5", "@OFFSET=x",
                             "@OFFSET=99999999999", "@OFFSET", "OFFSET=100", "TIMERATIO=2"}) {
    const TLyricTimeline t = Parse(std::string(header) + "\n[0:1:0]x\n", true, 0);
    EXPECT_EQ(t.TimeRatio(), 1.0) << header;
    EXPECT_EQ(t.FileOffset(), 0) << header;
    EXPECT_EQ(t.Time(20), 1000) << header;
  }
}

TEST(LyricFile, OffsetsThatOverflowStopAtTheEnds) {
  const TLyricTimeline low = Parse("@OFFSET=-2147483648\n[0:0:0]x\n[0:1:0]y\n", true, INT_MIN);
  ExpectWellFormed(low);
  EXPECT_EQ(low.Time(20), INT32_MIN);
  const TLyricTimeline high = Parse("@TIMERATIO=1e-300\n[0:0:1]x\n", true, 0);
  ExpectWellFormed(high);
  EXPECT_EQ(high.Time(0), 0);
  EXPECT_EQ(high.Time(20), INT32_MAX);
  const TLyricTimeline tiny = Parse("@TIMERATIO=1e300\n[0:1:0]x\n", true, 0);
  EXPECT_EQ(tiny.Time(20), 0);
}

TEST(LyricFile, TextEncodingsAndLineEnds) {
  // UTF-8 and CP932 line by line, a byte-order mark, CR, LF and CR LF, no final end.
  const std::string cp932Uta = "\x89\xcc";  // 歌
  const TLyricTimeline t =
      Parse("\xEF\xBB\xBF[0:1:0]歌詞\r[0:2:0]" + cp932Uta + "\n[0:3:0]bad\xFF\r\n[0:4:0]end", true, 0);
  ExpectWellFormed(t);
  EXPECT_EQ(FileLines(t), (Lines{{1000, "歌詞"}, {2000, "歌"}, {3000, "bad\uFFFD"}, {4000, "end"}}));
  // UTF-16 as Windows writes it.
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[0:1:0]x\r\n[0:2:0]y\r\n")) utf16 += std::string{c, '\0'};
  EXPECT_EQ(FileLines(Parse(utf16, true, 0)), (Lines{{1000, "x"}, {2000, "y"}}));
}

// ---- The common LRC form (StandardLrc) ----

TEST(StandardLrc, SameFileReadBothWays) {
  const std::string file =
      "[ar:Artist]\n[ti:Title:Live]\n[al:Album]\n[by:someone]\n[offset:+500]\n"
      "[00:10.00][00:30.00]chorus\n[00:12:50]own\n[00:20.5]x\n[00:25]y\n[00:27.125]z\n";
  const TLyricTimeline lrc = Parse(file, true, 0);
  ExpectWellFormed(lrc);
  // Tags are no lines; the chorus stands at both times; all in time order, 500 ms early.
  EXPECT_EQ(
      FileLines(lrc),
      (Lines{{9500, "chorus"}, {12000, "own"}, {20000, "x"}, {24500, "y"}, {26625, "z"}, {29500, "chorus"}}));
  EXPECT_EQ(lrc.LrcOffset(), 500);

  // The original form alone: one stamp a line, -1 for everything without two ":", a
  // non-numeric "[ti:Title:Live]" dropped, file order kept.
  const TLyricTimeline plain = Parse(file, false, 0);
  ExpectWellFormed(plain);
  EXPECT_EQ(FileLines(plain), (Lines{{-1, ""},
                                     {-1, ""},
                                     {-1, ""},
                                     {-1, ""},
                                     {-1, "[00:30.00]chorus"},
                                     {12500, "own"},
                                     {-1, "x"},
                                     {-1, "y"},
                                     {-1, "z"}}));
  EXPECT_EQ(plain.LrcOffset(), 0);
}

TEST(StandardLrc, OriginalStampsReadTheSameEitherWay) {
  const std::string file = "@TIMERATIO=1.5\n[0:01:00]a\n[00:02:5]b\n[0:03:]c\n[00:12:500]d\n[10:00:00]e\n";
  const TLyricTimeline on = Parse(file, true), off = Parse(file, false);
  ASSERT_EQ(on.size(), off.size());
  for (size_t i = 0; i < on.size(); ++i) {
    EXPECT_EQ(on.Time(i), off.Time(i)) << i;
    EXPECT_EQ(on.Text(i), off.Text(i)) << i;
  }
  // Hundredths by the original rule, also when three digits are written.
  EXPECT_EQ(FileLines(Parse("[00:12:500]d\n", true, 0)), (Lines{{17000, "d"}}));
}

TEST(StandardLrc, StampForms) {
  EXPECT_EQ(
      FileLines(Parse("[00:12.5]a\n[00:12.50]b\n[00:12.500]c\n[1:02]d\n[123:04.05]e\n[0:7]f\n", true, 0)),
      (Lines{{7000, "f"}, {12500, "a"}, {12500, "b"}, {12500, "c"}, {62000, "d"}, {7384050, "e"}}));
  // Not stamps of either form: no line (tag-like and section words alike).
  for (const char* line :
       {"[00:12.5000]a", "[00:123.00]a", "[00:1x.00]a", "[-0:01.00]a", "[00:12.]a", "[:12.00]a", "[00:.50]a",
        "[Chorus]a", "[length: 03:25]", "[re:tool]", "[#:comment]", "[offset:]"}) {
    EXPECT_TRUE(Parse(std::string(line) + "\n", true, 0).empty()) << line;
  }
}

TEST(StandardLrc, SeveralStampsAndWhatFollowsThem) {
  // The stamps must follow each other at once; a bracket that is no stamp starts the text.
  EXPECT_EQ(FileLines(Parse("[00:01.00][00:03:00][00:02]la\n[00:04.00][Chorus]la\n[00:05.00] [00:06.00]x\n",
                            true, 0)),
            (Lines{{1000, "la"}, {2000, "la"}, {3000, "la"}, {4000, "[Chorus]la"}, {5000, " [00:06.00]x"}}));
  // Equal times keep the file's order.
  EXPECT_EQ(FileLines(Parse("[00:02.00]b\n[00:01.00][00:02.00]a\n", true, 0)),
            (Lines{{1000, "a"}, {2000, "b"}, {2000, "a"}}));
}

TEST(StandardLrc, OffsetTagCombinesWithTheHeaderOffset) {
  EXPECT_EQ(Parse("[offset:-250]\n[00:01.00]x\n", true, 0).Time(20), 1250);
  EXPECT_EQ(Parse("[OFFSET: +250 ]\n[00:01.00]x\n", true, 0).Time(20), 750);
  // "@OFFSET" adds, "[offset:]" subtracts, the last of each kind counts.
  const TLyricTimeline t = Parse("@OFFSET=1000\n[offset:100]\n[offset:500]\n[00:01.00]x\n", true, 0);
  EXPECT_EQ(t.Time(0), 500);
  EXPECT_EQ(t.Time(20), 1500);
  // A file of tags alone has no lyrics in the LRC reading, only blank lines in the other.
  EXPECT_TRUE(Parse("[ar:a]\n[ti:t]\n[offset:100]\n", true).empty());
  EXPECT_FALSE(Parse("[ar:a]\n[ti:t]\n[offset:100]\n", false).empty());
}

// ---- Damaged files ----

TEST(LyricFileDamaged, RandomBytesAndHugeLines) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 4096, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 4 == 0 ? "[]:.\n@="[random() % 7] : random());
    for (bool lrc : {false, true}) ExpectWellFormed(Parse(bytes, lrc, static_cast<int>(random())));
  }
  // No line ends at all: one line, whatever stamps follow in its text.
  for (bool lrc : {false, true}) {
    EXPECT_EQ(FileLines(Parse("[0:1:0]a[0:2:0]b[00:03.00]c", lrc, 0)),
              (Lines{{1000, "a[0:2:0]b[00:03.00]c"}}));
  }
  // A line of 1 MiB without an end: the text is cut at a character boundary.
  std::string huge = "[0:1:0]";
  while (huge.size() < kMaxLyricFileBytes) huge += "あ";
  const TLyricTimeline t = Parse(huge);
  ExpectWellFormed(t);
  ASSERT_EQ(FileLines(t).size(), 1u);
  EXPECT_GT(t.Text(20).size(), kMaxLyricTextBytes - 3);
  // Many stamps on one line share one text.
  std::string stamps;
  for (int i = 0; i < 100000; ++i) stamps += "[0:1]";
  const TLyricTimeline many = Parse(stamps + std::string(5000, 'x'));
  ExpectWellFormed(many);
  EXPECT_EQ(many.size(), 100000u + 70);
}

// ---- Finding the file beside the song ----

TEST(LyricFileLookup, LrcBeforeTxtAndTheExtensionInAnyCase) {
  TempDir dir;
  const std::string song = dir / "song.mp3";
  WriteText(song, "");
  EXPECT_EQ(FindLyricFile(song), "");
  WriteText(dir / "song.TXT", "");
  EXPECT_EQ(FindLyricFile(song), dir / "song.TXT");
  WriteText(dir / "song.txt", "");
  EXPECT_EQ(FindLyricFile(song), dir / "song.txt");
  WriteText(dir / "song.Lrc", "");
  EXPECT_EQ(FindLyricFile(song), dir / "song.Lrc");
  WriteText(dir / "song.lrc", "");
  EXPECT_EQ(FindLyricFile(song), dir / "song.lrc");
  // Only the extension may differ in case.
  WriteText(dir / "Other.lrc", "");
  EXPECT_EQ(FindLyricFile(dir / "other.mp3"), "");
}

TEST(LyricFileLookup, OnlyRegularFilesAndTheLastExtension) {
  TempDir dir;
  std::filesystem::create_directory(dir / "a.lrc");
  ASSERT_EQ(mkfifo((dir / "b.lrc").c_str(), 0600), 0);
  WriteText(dir / "a.txt", "");
  WriteText(dir / "b.txt", "");
  EXPECT_EQ(FindLyricFile(dir / "a.mp3"), dir / "a.txt");
  EXPECT_EQ(FindLyricFile(dir / "b.mp3"), dir / "b.txt");  // a FIFO is never opened
  WriteText(dir / "c.d.lrc", "");
  EXPECT_EQ(FindLyricFile(dir / "c.d.mp3"), dir / "c.d.lrc");
  std::filesystem::create_directory(dir / "x.y");
  WriteText(dir / "x.y/song.lrc", "");
  EXPECT_EQ(FindLyricFile(dir / "x.y/song"), dir / "x.y/song.lrc");
  EXPECT_EQ(FindLyricFile(""), "");
  EXPECT_EQ(FindLyricFile(dir / "x.y/"), "");
}

TEST(LyricEngine, LoadFromTheSongsFolder) {
  TempDir dir;
  TLyricEngine engine;
  EXPECT_EQ(engine.Load(dir / "song.mp3", {}), "");
  EXPECT_FALSE(engine.HasLyrics());
  WriteText(dir / "song.txt", "[00:12:50]Hello\n");
  EXPECT_EQ(engine.Load(dir / "song.mp3", {}), "");
  EXPECT_EQ(engine.Path(), dir / "song.txt");
  ASSERT_TRUE(engine.HasLyrics());
  EXPECT_EQ(engine.Timeline().Time(20), 12201);
  // Too large for a lyric file: not read, and said so.
  WriteText(dir / "song.lrc", std::string(kMaxLyricFileBytes + 1, 'x'));
  const std::string problem = engine.Load(dir / "song.mp3", {});
  EXPECT_NE(problem.find("song.lrc"), std::string::npos) << problem;
  EXPECT_FALSE(engine.HasLyrics());
  EXPECT_EQ(engine.Path(), "");
}

// ---- The lyric step ----

TEST(LyricEngine, StepDrawsOnlyWhenTheLineChanges) {
  TLyricEngine engine;
  const TLyricStepContext shown;
  EXPECT_EQ(engine.Step(5000, shown), TLyricAction::kNone);  // no lyrics: nothing
  engine.Load(Parse("[0:1:0]a\n[0:2:0]b\n", true, 0));
  EXPECT_EQ(engine.Step(0, shown), TLyricAction::kDraw);
  EXPECT_EQ(engine.CurrentLine(), 19);  // the last leading blank until the first line
  EXPECT_EQ(engine.Step(999, shown), TLyricAction::kNone);
  EXPECT_EQ(engine.Step(1000, shown), TLyricAction::kDraw);
  EXPECT_EQ(engine.CurrentLine(), 20);
  EXPECT_EQ(engine.Step(1500, shown), TLyricAction::kNone);
  engine.Invalidate();
  EXPECT_EQ(engine.Step(1500, shown), TLyricAction::kDraw);
  EXPECT_EQ(engine.Step(500, shown), TLyricAction::kDraw);  // back after a seek
  EXPECT_EQ(engine.CurrentLine(), 19);
  // A new song starts from -1.
  engine.Load(Parse("[0:1:0]a\n", true, 0));
  EXPECT_EQ(engine.CurrentLine(), -1);
  EXPECT_EQ(engine.Step(500, shown), TLyricAction::kDraw);
}

TEST(LyricEngine, WhenTheWindowCloses) {
  TLyricEngine engine;
  engine.Load(Parse("[0:1:0]a\n", true, 0));
  const TLyricStepContext shown{false, true, true};
  EXPECT_EQ(engine.Step(1000, {true, true, true}), TLyricAction::kClose);    // companion shown
  EXPECT_EQ(engine.Step(1000, {false, false, true}), TLyricAction::kClose);  // inactive
  EXPECT_EQ(engine.Step(1000, {false, false, false}), TLyricAction::kDraw);  // inactive allowed
  EXPECT_EQ(engine.Step(1000, {true, true, false}), TLyricAction::kClose);
  // Back at the same line after a close: drawn again.
  EXPECT_EQ(engine.Step(1000, shown), TLyricAction::kDraw);

  engine.ToggleLyrics();
  EXPECT_TRUE(engine.LyricsOff());
  EXPECT_EQ(engine.Step(1000, shown), TLyricAction::kClose);
  EXPECT_EQ(engine.Step(1100, shown), TLyricAction::kClose);
  engine.Load(Parse("[0:1:0]a\n", true, 0));  // the flag outlives the song
  EXPECT_EQ(engine.Step(1000, shown), TLyricAction::kClose);
  engine.ToggleLyrics();
  EXPECT_EQ(engine.Step(1000, shown), TLyricAction::kDraw);
}

TEST(LyricEngine, UnorderedTimesUseTheFirstMatchingEntry) {
  // The original form keeps the file's order, and the step takes the first i with
  // t(i) <= p < t(i + 1): at 5.5 s that is c (2 s .. 6 s), not b.  The LRC reading puts
  // the lines in time order first.
  const std::string file = "[0:1:0]a\n[0:5:0]b\n[0:2:0]c\n[0:6:0]d\n";
  const TLyricStepContext shown;
  TLyricEngine engine;
  engine.Load(Parse(file, false, 0));
  EXPECT_EQ(engine.Step(1500, shown), TLyricAction::kDraw);
  EXPECT_EQ(engine.Timeline().Text(engine.CurrentLine()), "a");
  EXPECT_EQ(engine.Step(2500, shown), TLyricAction::kNone);
  EXPECT_EQ(engine.Step(5500, shown), TLyricAction::kDraw);
  EXPECT_EQ(engine.Timeline().Text(engine.CurrentLine()), "c");
  engine.Load(Parse(file, true, 0));
  engine.Step(2500, shown);
  EXPECT_EQ(engine.Timeline().Text(engine.CurrentLine()), "c");
  engine.Step(5500, shown);
  EXPECT_EQ(engine.Timeline().Text(engine.CurrentLine()), "b");
  // A line stamped before "LyricOffset" moves it below 0 shows from the start.
  engine.Load(Parse("[00:00:10]early\n[0:2:0]b\n"));
  engine.Step(0, shown);
  EXPECT_EQ(engine.Timeline().Text(engine.CurrentLine()), "early");
}

// Lines one second apart, the step driven as the player drives it: a position change
// at most every 100 ms ("ChangePosStep" of the main window), at an arbitrary phase and
// with some lateness.  Each line must become current at the first position change at or
// after its time, so within one tick, and never before it.
TEST(LyricTiming, EachLineWithinOnePositionTick) {
  TempDir dir;
  std::string file;
  for (int s = 1; s <= 90; ++s) {
    file += "[" + std::to_string(s / 60) + ":" + std::to_string(s % 60) + ":00]line " + std::to_string(s) +
            "\r\n";
  }
  WriteText(dir / "song.lrc", file);
  constexpr int64_t kTickMs = 100;
  for (int lyricOffset : {0, -299}) {
    for (int64_t phase : {0, 1, 37, 99}) {
      SCOPED_TRACE(::testing::Message() << "LyricOffset " << lyricOffset << ", phase " << phase);
      TLyricEngine engine;
      ASSERT_EQ(engine.Load(dir / "song.mp3", {lyricOffset, true}), "");
      sorrel::base::TFakeClock clock;
      const int64_t start = clock.NowMicros();
      std::mt19937 random(static_cast<unsigned>(phase));
      clock.Advance(phase * 1000);
      std::vector<int64_t> shownAt(91, -1);
      int64_t previous = -1;
      while (clock.TickCount() - start / 1000 < 92000) {
        const auto position = static_cast<int32_t>((clock.NowMicros() - start) / 1000);
        if (engine.Step(position, {}) == TLyricAction::kDraw) {
          const std::string_view text = engine.Timeline().Text(engine.CurrentLine());
          if (text.substr(0, 5) == "line ") {
            const int s = std::stoi(std::string(text.substr(5)));
            EXPECT_EQ(shownAt[s], -1) << "line " << s << " drawn twice";
            shownAt[s] = position;
            // Not before its time, and the tick before was before it.
            EXPECT_GE(position, s * 1000 + lyricOffset) << "line " << s;
            EXPECT_LT(previous, s * 1000 + lyricOffset) << "line " << s;
          }
        }
        previous = position;
        clock.Advance((kTickMs + static_cast<int64_t>(random() % 20)) * 1000);
      }
      for (int s = 1; s <= 90; ++s) {
        ASSERT_NE(shownAt[s], -1) << "line " << s << " never shown";
        EXPECT_LT(shownAt[s] - (s * 1000 + lyricOffset), kTickMs + 20) << "line " << s;
      }
    }
  }
}

// ---- The setting ----

TEST(LyricSettings, StandardLrcIsReadAndWritten) {
  TSettingsHost host;
  TPlayerSettings s;
  EXPECT_TRUE(s.StandardLrc);
  sorrel::base::IniFile ini = sorrel::base::IniFile::Parse("[lyric]\nstandardlrc=0\n");
  ReadSettings(ini, s, host);
  EXPECT_FALSE(s.StandardLrc);
  sorrel::base::IniFile out;
  WriteSettings(out, TPlayerSettings{});
  const std::string text = out.Text();
  const size_t at = text.find("StandardLrc=1\r\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_GT(at, text.find("[Lyric]"));
  EXPECT_LT(at, text.find("[OnResume]"));
  TPlayerSettings back;
  ReadSettings(sorrel::base::IniFile::Parse(text), back, host);
  EXPECT_TRUE(back.StandardLrc);
}
