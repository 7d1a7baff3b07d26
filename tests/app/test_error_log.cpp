// The error log: its line format, the 100-line limit and what it does with a log it
// cannot read.
#include "app/core/ErrorLog.h"
#include "base/FileIO.h"
#include "tests/app/CommandFakes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace sorrel::app;
using namespace sorrel::app::testing;
using sorrel::base::ReadRegularFile;
using sorrel::base::TFakeClock;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return lines;
}

struct ErrorLog : ::testing::Test {
  TempDir dir;
  std::string path = dir.path() + "/" + kErrorLogFileName;
  TFakeClock clock{0, {2026, 3, 9, 7, 5, 4, 0}};
  FakePopUp popUp;
  TErrorLog log{path, clock, popUp};
};

}  // namespace

TEST(ErrorLogLine, Format) {
  EXPECT_EQ(ErrorLogLine({2009, 12, 31, 23, 59, 58, 999}, "/m/x.mp3"), "09/12/31 23:59:58  Error  /m/x.mp3");
  EXPECT_EQ(ErrorLogLine({2026, 1, 2, 3, 4, 5, 0}, "/m/歌.mp3"), "26/01/02 03:04:05  Error  /m/歌.mp3");
  // A file name holding a line end still makes one line.
  EXPECT_EQ(ErrorLogLine({2026, 1, 2, 3, 4, 5, 0}, "/m/a\r\nb.mp3"), "26/01/02 03:04:05  Error  /m/a  b.mp3");
}

TEST_F(ErrorLog, FirstEntryStartsTheFileAndShowsThePopUp) {
  ASSERT_TRUE(log.Log("/m/bad.mp3"));
  EXPECT_EQ(ReadRegularFile(path).data, "26/03/09 07:05:04  Error  /m/bad.mp3\r\n");
  EXPECT_EQ(popUp.shown, (std::vector<std::string>{" Error\r\n\r\n/m/bad.mp3"}));
  clock.Advance(61'000'000);
  ASSERT_TRUE(log.Log("/m/worse.mp3"));
  EXPECT_EQ(Lines(ReadRegularFile(path).data),
            (std::vector<std::string>{"26/03/09 07:05:04  Error  /m/bad.mp3",
                                      "26/03/09 07:06:05  Error  /m/worse.mp3"}));
}

TEST_F(ErrorLog, TheHundredAndFirstLineDropsTheOldest) {
  for (int i = 1; i <= 100; ++i) ASSERT_TRUE(log.Log("/m/" + std::to_string(i) + ".mp3"));
  auto lines = Lines(ReadRegularFile(path).data);
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_TRUE(lines.front().ends_with("/m/1.mp3"));

  ASSERT_TRUE(log.Log("/m/101.mp3"));
  lines = Lines(ReadRegularFile(path).data);
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_TRUE(lines.front().ends_with("/m/2.mp3"));
  EXPECT_TRUE(lines.back().ends_with("/m/101.mp3"));
}

TEST_F(ErrorLog, LongerLogFromElsewhereIsCutToTheNewestHundred) {
  std::string text;
  for (int i = 1; i <= 250; ++i) text += "old " + std::to_string(i) + (i % 2 ? "\n" : "\r\n");
  ASSERT_TRUE(sorrel::base::WriteFileAtomically(path, text));
  ASSERT_TRUE(log.Log("/m/new.mp3"));
  const auto lines = Lines(ReadRegularFile(path).data);
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines.front(), "old 152");
  EXPECT_EQ(lines[98], "old 250");
}

TEST_F(ErrorLog, LinesFromTheOriginalPlatformBecomeUtf8) {
  ASSERT_TRUE(
      sorrel::base::WriteFileAtomically(path, "09/01/01 00:00:00  Error  D:\\\x89\xB9\x8A\x79.mp3\r\n"));
  ASSERT_TRUE(log.Log("/m/x.mp3"));
  EXPECT_EQ(Lines(ReadRegularFile(path).data).front(), "09/01/01 00:00:00  Error  D:\\音楽.mp3");
}

TEST_F(ErrorLog, ALogThatCannotBeReadIsLeftAlone) {
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);  // a directory where the log should be
  EXPECT_FALSE(log.Log("/m/x.mp3"));
  rmdir(path.c_str());
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);  // a FIFO: no blocking, no replacing
  EXPECT_FALSE(log.Log("/m/x.mp3"));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
