// sorrel-send's command line: numbers in both notations and both signs, each verb's
// arguments, and the texts that must pass through unparsed.
#include "tools/send/SendArgs.h"

#include <gtest/gtest.h>

using namespace sorrel::tools;

namespace {
// A line that should parse, or (ok false) one that must fail in the common style.
Request Parse(std::vector<std::string> args, bool ok = true) {
  Request r;
  testing::internal::CaptureStderr();
  const std::optional<int> exitCode = ParseArgs(args, r);
  const std::string err = testing::internal::GetCapturedStderr();
  if (ok) {
    EXPECT_EQ(exitCode, std::nullopt) << err;
  } else {
    EXPECT_EQ(exitCode, 2);
    EXPECT_EQ(err.rfind("sorrel-send: ", 0), 0u) << err;
    EXPECT_NE(err.find("Try 'sorrel-send --help' for more information."), std::string::npos) << err;
  }
  return r;
}
}  // namespace

TEST(SendArgs, Numbers) {
  int64_t v;
  EXPECT_TRUE(ParseNumber("0x599", 0, UINT32_MAX, v));
  EXPECT_EQ(v, 0x599);
  EXPECT_TRUE(ParseNumber("-1", INT32_MIN, UINT32_MAX, v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(ParseNumber("0XfF", 0, 255, v));
  EXPECT_EQ(v, 255);
  for (const char* bad : {"", "-", "0x", "12a", "1.5", "0x1g", "99999999999999999999", " 1"})
    EXPECT_FALSE(ParseNumber(bad, INT32_MIN, UINT32_MAX, v)) << bad;
  EXPECT_FALSE(ParseNumber("256", 0, 255, v));
  EXPECT_FALSE(ParseNumber("-1", 0, 255, v));
}

TEST(SendArgs, PostAndSendTakeMessageAndTwoParameters) {
  Request r = Parse({"post", "0x599", "4", "0"});
  EXPECT_EQ(r.verb, Verb::Post);
  EXPECT_EQ(r.msg, 0x599u);
  EXPECT_EQ(r.wParam, 4);
  r = Parse({"send", "1432", "0xFFFFFFFF", "-2147483648"});
  EXPECT_EQ(r.verb, Verb::Send);
  EXPECT_EQ(r.wParam, -1);  // every 32-bit pattern is a parameter
  EXPECT_EQ(r.lParam, INT32_MIN);
  Parse({"post", "0x599", "4"}, false);
  Parse({"post", "-1", "4", "0"}, false);
  Parse({"send", "0x599", "4", "0", "9"}, false);
  Parse({"post", "0x599", "0x100000000", "0"}, false);
}

TEST(SendArgs, CopyDataTextPassesAsItIs) {
  // Options may follow the verb; a text that starts with "--" comes after "--".
  Request r = Parse({"copydata", "99", "--", "--look-like-an-option.pdr"});
  EXPECT_EQ(r.text, "--look-like-an-option.pdr");
  r = Parse({"copydata", "9", "--dwdata", "7"});
  EXPECT_EQ(r.dwData, 7u);
  EXPECT_EQ(r.text, std::nullopt);
  r = Parse({"--dwdata", "0xFFFF0000", "copydata", "9"});
  EXPECT_EQ(r.dwData, 0xFFFF0000u);
  EXPECT_EQ(r.text, std::nullopt);
  r = Parse({"copydata", "99", "-5"});
  EXPECT_EQ(r.text, "-5");
  r = Parse({"copydata", "99", ""});
  EXPECT_EQ(r.text, "");
  r = Parse({"copydata", "99", "-x.pdr"});
  EXPECT_EQ(r.text, "-x.pdr");
  r = Parse({"copydata", "99", "-h", "--timeout=9"});
  EXPECT_EQ(r.text, "-h");
  EXPECT_EQ(r.timeoutMs, 9);
  Parse({"copydata", "99", "--x.pdr"}, false);
  Parse({"-x.pdr", "copydata", "99"}, false);
  Parse({"copydata"}, false);
  Parse({"copydata", "99", "a", "b"}, false);
}

TEST(SendArgs, TargetOptionsAndOtherVerbs) {
  Request r =
      Parse({"--class", "Tfm_TTBMain", "--caption", " TenTarnBoard 設定", "--timeout", "250", "find"});
  EXPECT_EQ(r.className, "Tfm_TTBMain");
  EXPECT_EQ(r.caption, " TenTarnBoard 設定");
  EXPECT_EQ(r.timeoutMs, 250);
  r = Parse({"--any-caption", "drop", "/a.pdr", "/b.pfl"});
  EXPECT_EQ(r.caption, std::nullopt);
  EXPECT_EQ(r.paths, (std::vector<std::string>{"/a.pdr", "/b.pfl"}));
  r = Parse({"drop", "--", "-odd.pdr"});
  EXPECT_EQ(r.paths, std::vector<std::string>{"-odd.pdr"});
  Parse({}, false);
  Parse({"drop"}, false);
  Parse({"find", "x"}, false);
  Parse({"fly"}, false);
  Parse({"--bogus", "find"}, false);
  Parse({"--timeout", "-1", "find"}, false);
  Parse({"--class"}, false);
  Parse({"--caption", "x", "--any-caption", "find"}, false);
  Parse({"--any-caption=1", "find"}, false);
}

TEST(SendArgs, HelpAndVersionAnswerAndEnd) {
  Request r;
  testing::internal::CaptureStdout();
  EXPECT_EQ(ParseArgs({"post", "--help"}, r), 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("usage: sorrel-send ", 0), 0u) << out;
  testing::internal::CaptureStdout();
  EXPECT_EQ(ParseArgs({"--version"}, r), 0);
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("sorrel-send (Tarn's MP3Player) ", 0), 0u) << out;
}
