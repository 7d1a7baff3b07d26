// Layer I and II conformance streams in full-band mode: largest difference at
// most 1 and PSNR at least 96 dB against the reference output.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/decoder/layer12_test_util.h"

namespace {

class Layer12Conformance : public ::testing::TestWithParam<const char*> {};

TEST_P(Layer12Conformance, MatchesReference) {
  const std::string base = std::string(SORREL_TEST_DATA) + "/vectors/" + GetParam();
  const auto bits = ReadFileBytes(base + ".bit");
  const auto ref = ReadPcm(base + ".pcm");
  ASSERT_FALSE(bits.empty());
  ASSERT_FALSE(ref.empty());
  const auto pcm = DecodeL12Stream(bits, /*fullBand=*/true);
  const TCompare c = Compare(pcm, ref);
  std::printf("%-12s samples %zu/%zu common %zu max diff %d PSNR %.2f dB\n", GetParam(), pcm.size(),
              ref.size(), c.common, c.maxDiff, c.psnr);
  // The references run on past the last frame by the filterbank's tail and
  // are then padded with zeros; the comparison must still cover all of the
  // reference but that tail (and at most one frame).
  size_t significant = ref.size();
  while (significant > 0 && ref[significant - 1] == 0) --significant;
  EXPECT_GE(c.common + 2 * (1152 + 512), significant);
  EXPECT_LE(c.maxDiff, 1);
  EXPECT_GE(c.psnr, 96.0);
}

INSTANTIATE_TEST_SUITE_P(Streams, Layer12Conformance,
                         ::testing::Values("l1-fl1", "l1-fl2", "l1-fl3", "l1-fl4", "l1-fl5", "l1-fl6",
                                           "l1-fl7", "l1-fl8", "l2-fl10", "l2-fl11", "l2-fl12", "l2-fl13",
                                           "l2-fl14", "l2-fl15", "l2-fl16", "l2-test32"),
                         [](const auto& info) {
                           std::string s = info.param;
                           for (char& ch : s)
                             if (ch == '-') ch = '_';
                           return s;
                         });

}  // namespace
