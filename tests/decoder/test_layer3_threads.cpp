// The constant tables are built on first use: two decoders started at once on two
// threads (the first use in this process) must both see complete tables.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/decoder/layer3_test_util.h"

namespace {

TEST(Layer3Threads, TwoDecodersStartingTogetherAgree) {
  const auto bits = l3test::ReadBytes(std::string(SORREL_TEST_DATA) + "/vectors/l3-hecommon.bit");
  ASSERT_FALSE(bits.empty());
  l3test::Decoded a, b;
  std::thread ta([&] { a = l3test::DecodeStream(bits, true); });
  std::thread tb([&] { b = l3test::DecodeStream(bits, true); });
  ta.join();
  tb.join();
  ASSERT_GT(a.frames, 0);
  EXPECT_EQ(a.pcm, b.pcm);
  // And both equal a decode made after the tables exist.
  EXPECT_EQ(l3test::DecodeStream(bits, true).pcm, a.pcm);
}

}  // namespace
