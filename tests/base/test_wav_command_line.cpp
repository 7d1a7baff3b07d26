#include <gtest/gtest.h>

#include "base/CommandLine.h"
#include "base/WavHeader.h"

using namespace sorrel::base;

TEST(WavHeader, RoundTripsAndSaturatesHugeSizes) {
  const TWavFormat f{22050, 1, 16};
  auto h = WavHeader(f, 1000);
  TWavFormat g;
  uint32_t n = 0;
  ASSERT_TRUE(ParseWavHeader(h.data(), h.size(), g, n));
  EXPECT_EQ(g, f);
  EXPECT_EQ(n, 1000u);
  EXPECT_EQ(h[4] | h[5] << 8, 1036);                   // RIFF size = data + 36
  EXPECT_EQ(h[28] | h[29] << 8 | h[30] << 16, 44100);  // bytes per second

  h = WavHeader(TWavFormat{}, kWavMaxDataBytes + 1);
  ASSERT_TRUE(ParseWavHeader(h.data(), h.size(), g, n));
  EXPECT_EQ(n, 0xFFFFFFFFu);
  EXPECT_EQ(h[4] & h[5] & h[6] & h[7], 0xFF);
  h[8] = 'X';
  EXPECT_FALSE(ParseWavHeader(h.data(), h.size(), g, n));
}

TEST(CommandLine, OptionsFlagsAndPositionals) {
  bool raw = false;
  std::string cpu = "auto", timeout;
  TCommandLine cl("prog", "usage: prog\n");
  cl.Flag("--raw", &raw);
  cl.Option("--cpu", &cpu);
  cl.Option("--timeout", &timeout);
  ASSERT_EQ(cl.Parse({"in.mp3", "--raw", "--cpu", "sse", "--timeout=50", "-", "-1", "--", "--x"}),
            TCommandLine::TResult::kRun);
  EXPECT_TRUE(raw);
  EXPECT_EQ(cpu, "sse");
  EXPECT_EQ(timeout, "50");
  EXPECT_EQ(cl.Positional(), (std::vector<std::string>{"in.mp3", "-", "-1", "--x"}));
}

TEST(CommandLine, MistakesExitWithStatusTwo) {
  bool raw = false;
  std::string cpu;
  TCommandLine cl("prog", "usage: prog\n");
  cl.Flag("--raw", &raw);
  cl.Option("--cpu", &cpu);
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"--bogus"}, {"--cpu"}, {"--raw=1"}, {"-r"}}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(cl.Parse(args), TCommandLine::TResult::kExit) << args[0];
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(cl.ExitCode(), 2) << args[0];
    EXPECT_EQ(err.rfind("prog: ", 0), 0u) << err;
    EXPECT_NE(err.find("prog --help"), std::string::npos) << err;
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(cl.Parse({"--version"}), TCommandLine::TResult::kExit);
  EXPECT_EQ(cl.ExitCode(), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("prog (Tarn's MP3Player) "), std::string::npos);
}

TEST(CommandLine, VerbatimSlotAndOptionsThatMayBeEmpty) {
  std::optional<std::string> caption, cls;
  TCommandLine cl("prog", "usage: prog\n");
  cl.Option("--caption", &caption);
  cl.Option("--class", &cls);
  // The second positional is free text unless it begins with "--".
  cl.Verbatim([](const std::vector<std::string>& before) { return before.size() == 1; });
  ASSERT_EQ(cl.Parse({"say", "-x", "--caption=", "-5"}), TCommandLine::TResult::kRun);
  EXPECT_EQ(cl.Positional(), (std::vector<std::string>{"say", "-x", "-5"}));
  EXPECT_EQ(caption, "");
  EXPECT_EQ(cls, std::nullopt);
  testing::internal::CaptureStderr();
  EXPECT_EQ(cl.Parse({"-x", "say"}), TCommandLine::TResult::kExit);  // not in the slot
  EXPECT_NE(testing::internal::GetCapturedStderr().find("unknown option -x"), std::string::npos);
}
