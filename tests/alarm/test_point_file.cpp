// "ovis.pot": which lines are points, the warning for the others, the encodings and
// line ends a file may come in, files too big or broken, and appending a new point.
#include "AlarmFakes.h"
#include "alarm/core/PointFile.h"
#include "tests/common/Files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace sorrel::alarm {
using sorrel::test::ReadText;
using sorrel::test::WriteText;

namespace {

using testing::TempDir;

struct Loaded {
  TOvisPointList points;
  TPointFileLoad load;
};

Loaded Load(const std::string& path) {
  Loaded l;
  l.load = LoadPointFile(path, l.points);
  return l;
}

const std::string kGood = "ORD=poi/tex=首都高速 ループ/kei=139'41'23'5/ido=35'41'22'0/deg=90";

TEST(PointLine, FieldsAndValidity) {
  TPointLine p = ParsePointLine(kGood);
  EXPECT_EQ(p.Text, "首都高速 ループ");
  EXPECT_EQ(p.Longitude, 13968986);
  EXPECT_EQ(p.Latitude, 3568944);
  EXPECT_EQ(p.Direction, 9000000);
  EXPECT_TRUE(p.Valid());

  // A text with "/" in it is cut there; fields come in any order, the first of a key
  // counts, unknown ones are ignored.
  p = ParsePointLine("/deg=0/x=1/ido=35'0'0'0/tex=国道/1号/kei=139'0'0'0/tex=other/ido=36'0'0'0");
  EXPECT_EQ(p.Text, "国道");
  EXPECT_EQ(p.Latitude, 3500000);
  EXPECT_EQ(p.Direction, 0);  // due north is a direction
  EXPECT_TRUE(p.Valid());

  // Direction not a whole number, or missing: -1 and invalid.
  for (const char* deg : {"abc", "", "90.5", "1e2", "99999999999"}) {
    p = ParsePointLine(std::string("/tex=a/kei=139'0'0'0/ido=35'0'0'0/deg=") + deg);
    EXPECT_EQ(p.Direction, -1) << deg;
    EXPECT_FALSE(p.Valid()) << deg;
  }
  // Each of the other three conditions alone.
  EXPECT_FALSE(ParsePointLine("/tex=/kei=139'0'0'0/ido=35'0'0'0/deg=0").Valid());
  EXPECT_FALSE(ParsePointLine("/tex=a/kei=0'0'0'0/ido=35'0'0'0/deg=0").Valid());
  EXPECT_FALSE(ParsePointLine("/tex=a/kei=139'0'0'0/ido=35'0'0/deg=0").Valid());
  EXPECT_TRUE(ParsePointLine("/tex=a/kei=0'0'0'1/ido=0'0'0'1/deg=0").Valid());  // 2 units each
}

TEST(PointFile, LoadsValidLinesAndWarnsOfEachInvalidOne) {
  TempDir dir;
  const std::string path = dir.path() + "/ovis.pot";
  WriteText(path, kGood + "\n" +                                         // 1
                      "/tex=a/kei=139'0'0'0/ido=35'0'0'0/deg=abc\r\n" +  // 2: invalid
                      "\n" +                                             // 3: empty, invalid
                      "/tex=b/kei=139'0'0'0/ido=35'0'0'0/deg=0\r" +      // 4: lone CR
                      "/tex=c/kei=140'0'0'0/ido=36'0'0'0/deg=359");      // 5: no final break
  const Loaded l = Load(path);
  EXPECT_TRUE(l.load.Exists);
  EXPECT_EQ(l.load.Lines, 5);
  EXPECT_EQ(l.load.InvalidLines, 2);
  ASSERT_EQ(l.points.Count(), 3u);
  EXPECT_EQ(l.points.Text(0), "首都高速 ループ");
  EXPECT_EQ(l.points.Text(1), "b");
  EXPECT_EQ(l.points.Text(2), "c");
  EXPECT_EQ(l.points.Latitude(2), 3600000);
  EXPECT_EQ(l.points.Longitude(2), 14000000);
  EXPECT_EQ(l.points.Direction(2), 35900000);
  ASSERT_EQ(l.load.Warnings.size(), 2u);
  EXPECT_EQ(l.load.Warnings[0],
            path + "\n\rLine:   2\n\r/tex=a/kei=139'0'0'0/ido=35'0'0'0/deg=abc\n\rは無効です");
  EXPECT_EQ(l.load.Warnings[1], path + "\n\rLine:   3\n\r\n\rは無効です");
}

TEST(PointFile, EncodingsPerLine) {
  TempDir dir;
  const std::string path = dir.path() + "/ovis.pot";
  // A byte-order mark, a CP932 line (ループ as the original platform wrote it) and a
  // line with bytes that neither encoding knows.
  WriteText(path,
            "\xEF\xBB\xBF/tex=a/kei=139'0'0'0/ido=35'0'0'0/deg=1\n"
            "/tex=\x83\x8B\x81\x5B\x83\x76/kei=139'0'0'0/ido=35'0'0'0/deg=2\n"
            "/tex=\xFF\xFE\xA0/kei=139'0'0'0/ido=35'0'0'0/deg=3\n");
  const Loaded l = Load(path);
  ASSERT_EQ(l.points.Count(), 3u);
  EXPECT_EQ(l.points.Text(0), "a");
  EXPECT_EQ(l.points.Text(1), "ループ");
  EXPECT_FALSE(l.points.Text(2).empty());
  EXPECT_EQ(l.points.Direction(2), 300000);
  EXPECT_TRUE(l.load.Warnings.empty());
}

TEST(PointFile, MissingHugeAndOverlong) {
  TempDir dir;
  // Missing: no points and nothing to say.
  Loaded l = Load(dir.path() + "/ovis.pot");
  EXPECT_FALSE(l.load.Exists);
  EXPECT_TRUE(l.load.Warnings.empty());
  EXPECT_EQ(l.points.Count(), 0u);

  // A line beyond 64 KiB is invalid, shown cut, and the lines around it still count.
  const std::string path = dir.path() + "/ovis.pot";
  WriteText(path,
            kGood + "\n/tex=" + std::string(70000, 'x') + "/kei=139'0'0'0/ido=35'0'0'0/deg=0\n" + kGood);
  l = Load(path);
  EXPECT_EQ(l.points.Count(), 2u);
  ASSERT_EQ(l.load.Warnings.size(), 1u);
  EXPECT_LT(l.load.Warnings[0].size(), 400u);
  EXPECT_NE(l.load.Warnings[0].find("Line:   2"), std::string::npos);

  // A directory where the file should be is reported, not read.
  const std::string sub = dir.path() + "/sub";
  std::filesystem::create_directory(sub);
  std::filesystem::create_directory(sub + "/ovis.pot");
  l = Load(sub + "/ovis.pot");
  EXPECT_EQ(l.points.Count(), 0u);
  EXPECT_EQ(l.load.Warnings.size(), 1u);
}

TEST(PointFile, MillionLinesWithFewWarningsShown) {
  TempDir dir;
  const std::string path = dir.path() + "/ovis.pot";
  std::string bytes;
  bytes.reserve(60'000'000);
  for (int i = 0; i < 1'000'000; ++i) {
    if (i % 1000 == 999) {
      bytes += "/tex=broken/kei=139'0'0'0/ido=35'0'0'0/deg=-\n";
      continue;
    }
    bytes += "/tex=P/kei=139'";
    bytes += std::to_string(i % 60);
    bytes += "'0'0/ido=35'0'";
    bytes += std::to_string(i / 60 % 60);
    bytes += "'0/deg=";
    bytes += std::to_string(i % 360);
    bytes += '\n';
  }
  WriteText(path, bytes);
  const Loaded l = Load(path);
  EXPECT_EQ(l.load.Lines, 1'000'000);
  EXPECT_EQ(l.load.InvalidLines, 1000);
  EXPECT_EQ(l.points.Count(), 999'000u);
  EXPECT_EQ(l.load.Warnings.size(), kMaxPointFileWarnings);
  EXPECT_NE(l.load.Warnings[0].find("Line:1000"), std::string::npos);
  // The last point: i = 999998 -> longitude minutes 38, latitude seconds 16666 % 60 = 46.
  EXPECT_EQ(l.points.Longitude(l.points.Count() - 1), ParseDmst("139'38'0'0"));
  EXPECT_EQ(l.points.Latitude(l.points.Count() - 1), ParseDmst("35'0'46'0"));
}

TEST(PointFile, SameResultHoweverTheBytesArrive) {
  const std::string bytes = kGood + "\r\n\r\n" + kGood + "\r" + "\n" + "/tex=x\r\r\n" + kGood;
  TOvisPointList whole;
  TPointFileParser a(whole, "p");
  a.Feed(bytes);
  a.Finish();
  for (size_t step : {1u, 2u, 3u, 7u}) {
    TOvisPointList pieces;
    TPointFileParser b(pieces, "p");
    for (size_t at = 0; at < bytes.size(); at += step) b.Feed(std::string_view(bytes).substr(at, step));
    b.Finish();
    EXPECT_EQ(b.Result().Lines, a.Result().Lines) << step;
    EXPECT_EQ(b.Result().Warnings, a.Result().Warnings) << step;
    EXPECT_EQ(pieces.Count(), whole.Count()) << step;
  }
  // CR LF split across two pieces is one line end: lines 1 (good), 2 (empty), 3 (good),
  // 4 ("/tex=x"), 5 (empty), 6 (good).
  EXPECT_EQ(a.Result().Lines, 6);
  EXPECT_EQ(whole.Count(), 3u);
}

TEST(PointFile, AppendedPointReadsBack) {
  TempDir dir;
  const std::string path = dir.path() + "/ovis.pot";
  // 35.6894512° N, 139.6986° E, heading 90.5°: truncated on the way in and out.
  const std::string line = NewPointLine(3568945, 13969860, 9050000);
  EXPECT_EQ(line, "ORD=poi/tex=newオービス/kei=139'41'54'9/ido=35'41'22'0/deg=90");

  // Only to a file that is already there.
  EXPECT_FALSE(AppendPointLine(path, line));
  EXPECT_FALSE(std::filesystem::exists(path));

  // A last line without a break gets one first, so the new point stands on its own.
  WriteText(path, kGood);
  ASSERT_TRUE(AppendPointLine(path, line));
  EXPECT_EQ(ReadText(path), kGood + "\n" + line + "\n");
  const Loaded l = Load(path);
  ASSERT_EQ(l.points.Count(), 2u);
  EXPECT_EQ(l.points.Latitude(1), 3568944);
  EXPECT_EQ(l.points.Text(1), "newオービス");

  // A file in CR LF keeps CR LF.
  WriteText(path, kGood + "\r\n");
  ASSERT_TRUE(AppendPointLine(path, line));
  EXPECT_EQ(ReadText(path), kGood + "\r\n" + line + "\r\n");

  // Not a regular file: refused without writing to it.
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  std::string error;
  EXPECT_FALSE(AppendPointLine(path, line, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace sorrel::alarm
