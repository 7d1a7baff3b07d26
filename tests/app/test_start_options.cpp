// sorrel's command line: its own options among Qt's, the list argument, and the common
// answers to --help, --version and mistakes.
#include "app/core/StartOptions.h"

#include <gtest/gtest.h>

using namespace sorrel::app;

namespace {

TStartOptions Parse(const std::vector<std::string>& args) {
  TStartOptions o;
  EXPECT_EQ(ParseStartOptions(args, o), std::nullopt);
  return o;
}

}  // namespace

TEST(StartOptions, OwnOptionsAmongQtsAndTheFirstListArgument) {
  TStartOptions o = Parse({"-platform", "offscreen", "--home", "/h", "list.pdr"});
  EXPECT_EQ(o.home, "/h");
  EXPECT_EQ(o.audio, std::nullopt);
  EXPECT_EQ(o.listFile, "list.pdr");
  // Qt's values are not list files; Qt takes its options with two dashes and "=" too.
  o = Parse({"-style", "fusion", "--platform=offscreen", "-reverse", "--audio=null", "a.pfl", "b.pfl"});
  EXPECT_EQ(o.audio, "null");
  EXPECT_EQ(o.listFile, "a.pfl");
  o = Parse({"--display", ":1", "-stylesheet=x.qss"});
  EXPECT_EQ(o.listFile, "");
  o = Parse({"--home=", "--", "-odd.pdr"});
  EXPECT_EQ(o.home, "");
  EXPECT_EQ(o.listFile, "-odd.pdr");
  // Names that merely begin like Qt's are ours, and unknown.
  TStartOptions bad;
  testing::internal::CaptureStderr();
  EXPECT_EQ(ParseStartOptions({"-platforms", "x"}, bad), 2);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("unknown option -platforms"), std::string::npos);
}

TEST(StartOptions, HelpVersionAndMistakesEndAtOnce) {
  TStartOptions o;
  testing::internal::CaptureStdout();
  EXPECT_EQ(ParseStartOptions({"-platform", "xcb", "--help"}, o), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("usage: sorrel ", 0), 0u);
  testing::internal::CaptureStdout();
  EXPECT_EQ(ParseStartOptions({"--version"}, o), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("sorrel (Tarn's MP3Player) ", 0), 0u);
  for (const auto& args : std::vector<std::vector<std::string>>{{"--bogus"}, {"--home"}, {"-x", "a.pdr"}}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(ParseStartOptions(args, o), 2) << args[0];
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("sorrel: ", 0), 0u) << err;
    EXPECT_NE(err.find("Try 'sorrel --help' for more information."), std::string::npos) << err;
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(StartUsageError("--audio x: unknown backend"), 2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "sorrel: --audio x: unknown backend\nTry 'sorrel --help' for more information.\n");
}
