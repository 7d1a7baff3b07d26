// Every routine selection against the plain one: the vector kernels on random
// data, and whole conformance streams decoded through the decoder object.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "decoder/Layer3.h"
#include "decoder/MPCPUSpc.h"
#include "decoder/simd/Select.h"
#include "tests/decoder/layer12_test_util.h"

using namespace sorrel::decoder;

using sorrel::decoder::TSynthWindowFn;

namespace {

struct Selection {
  const char* name;
  TMP3Kernel kernel;
};

// The selections this processor can run (plain always).
std::vector<Selection> Available() {
  std::vector<Selection> s;
  uint32_t w = 0;
  for (const char* n : {"sse", "avx2"})
    if (CpuCapabilitiesForName(n, w) && ChooseRoutines(w).synthWindow != TMP3Kernel::mkPlain &&
        (std::string(n) != "avx2" || ChooseRoutines(w).synthWindow == TMP3Kernel::mkAVX2))
      s.push_back({n, ChooseRoutines(w).synthWindow});
  return s;
}

std::vector<float> Noise(std::mt19937& rng, int n, float amp) {
  std::uniform_real_distribution<float> d(-amp, amp);
  std::vector<float> v(n);
  for (auto& x : v) x = d(rng);
  return v;
}

float MaxRel(const std::vector<float>& a, const std::vector<float>& b) {
  float worst = 0, scale = 1e-3f;
  for (float x : a) scale = std::max(scale, std::fabs(x));
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]) / scale);
  return worst;
}

TEST(CpuSelection, KernelsAgreeWithPlain) {
  const auto sel = Available();
  if (sel.empty()) GTEST_SKIP() << "no vector routines on this processor";
  std::mt19937 rng(21);
  const TL3Kernels plain = L3PlainKernels();
  for (const Selection& s : sel) {
    SCOPED_TRACE(s.name);
    TMP3RoutineChoice c;
    c.aliasReduction = c.synthWindow = c.hybrid = c.imdct = s.kernel;
    const TL3Kernels k = L3KernelsFor(c);
    ASSERT_NE(k.hybrid, plain.hybrid);

    // Windowing, both output strides, values near and beyond full scale.
    const TSynthWindowFn win = SynthWindowFor(s.kernel);
    ASSERT_NE(win, &sorrel::decoder::SynthWindowPlain);
    const float* d = sorrel::decoder::TSynth::IsoWindow();
    for (int iter = 0; iter < 64; ++iter) {
      const auto v = Noise(rng, 2048, iter < 32 ? 3000.0f : 90000.0f);
      int16_t a[64] = {}, b[64] = {};
      const int stride = 1 + iter % 2;
      sorrel::decoder::SynthWindowPlain(v.data(), iter % 32, d, a, stride);
      win(v.data(), iter % 32, d, b, stride);
      for (int j = 0; j < 64; ++j) ASSERT_LE(std::abs(a[j] - b[j]), 1) << j;
    }

    // The two-channel variant at different positions.
    const auto win2 = SynthWindow2For(s.kernel);
    for (int iter = 0; iter < 16; ++iter) {
      const auto v0 = Noise(rng, 2048, 40000.0f), v1 = Noise(rng, 2048, 3000.0f);
      int16_t a[64], b[64];
      sorrel::decoder::SynthWindow2Plain(v0.data(), v1.data(), iter, 31 - iter, d, a);
      win2(v0.data(), v1.data(), iter, 31 - iter, d, b);
      for (int j = 0; j < 64; ++j) ASSERT_LE(std::abs(a[j] - b[j]), 1) << j;
    }

    // Alias reduction over all 31 boundaries.
    auto x = Noise(rng, 576, 1000.0f);
    auto y = x;
    plain.antialias(x.data(), 31);
    k.antialias(y.data(), 31);
    EXPECT_LT(MaxRel(x, y), 1e-6f);

    // IMDCT kernels.
    const auto in = Noise(rng, 18, 100.0f);
    std::vector<float> o1(36), o2(36);
    plain.imdct36(in.data(), o1.data());
    k.imdct36(in.data(), o2.data());
    EXPECT_LT(MaxRel(o1, o2), 1e-5f);
    std::vector<float> p1(12), p2(12);
    plain.imdct12(in.data() + 1, p1.data());
    k.imdct12(in.data() + 1, p2.data());
    EXPECT_LT(MaxRel(p1, p2), 1e-5f);

    // Hybrid transform: every block type, mixed ranges, overlap pass-through.
    for (int bt = 0; bt < 4; ++bt)
      for (auto [nlong, ntotal, nprev] :
           {std::tuple{32, 32, 32}, std::tuple{2, 32, 32}, std::tuple{0, 20, 27}, std::tuple{5, 9, 9},
            std::tuple{21, 21, 27}, std::tuple{13, 13, 13}, std::tuple{3, 3, 30}, std::tuple{0, 11, 16},
            std::tuple{7, 7, 7}, std::tuple{2, 14, 15}}) {
        if (bt != 2 && nlong != ntotal) continue;
        auto cur1 = Noise(rng, 576, 500.0f), prev1 = Noise(rng, 576, 500.0f);
        auto cur2 = cur1, prev2 = prev1;
        // Input lines of subbands outside the transformed regions hold garbage:
        // a kernel must not let them leak into its results.
        std::vector<float> out1(576, 7.0f), out2(576, 7.0f);
        const int n1 = plain.hybrid(cur1.data(), prev1.data(), out1.data(), bt, nlong, ntotal, nprev);
        const int n2 = k.hybrid(cur2.data(), prev2.data(), out2.data(), bt, nlong, ntotal, nprev);
        EXPECT_EQ(n1, n2);
        EXPECT_LT(MaxRel(out1, out2), 1e-5f) << bt << " " << nlong;
        EXPECT_LT(MaxRel(cur1, cur2), 1e-5f) << bt << " " << nlong;
      }
  }
}

// Decodes a file through TMP3Decoder with the given capability word, its frames found
// the way the player finds them.
std::vector<int16_t> DecodeWith(const std::vector<uint8_t>& data, uint32_t caps) {
  std::vector<int16_t> pcm;
  const TWalkedStream s = WalkStream(data);
  if (!s.ok) return pcm;
  TMP3Decoder dec;
  dec.SetFullBand(true);
  dec.SetCpuCapabilities(caps);
  if (!dec.AudioDecodeInit(s.walker.First().head, s.walker.First().rawLength, 0, 0, 0, 24000)) return pcm;
  TDecInfo info{};
  dec.AudioDecodeInfo(info);
  std::vector<int16_t> out(info.outvalues);
  for (size_t i = 0; i < s.frames.size(); ++i) {
    const TInOut r = dec.AudioDecode(data.data() + s.at[i], s.frames[i].length, out.data());
    if (r.in_bytes < 1) std::fill(out.begin(), out.end(), 0);
    pcm.insert(pcm.end(), out.begin(), out.end());
  }
  return pcm;
}

class EverySelection : public ::testing::TestWithParam<const char*> {};

TEST_P(EverySelection, DecodesWithinOneOfPlain) {
  const auto sel = Available();
  if (sel.empty()) GTEST_SKIP() << "no vector routines on this processor";
  const auto data = ReadFileBytes(std::string(SORREL_TEST_DATA) + "/vectors/" + GetParam() + ".bit");
  ASSERT_FALSE(data.empty());
  uint32_t plainCaps = 0;
  ASSERT_TRUE(CpuCapabilitiesForName("plain", plainCaps));
  const auto ref = DecodeWith(data, plainCaps);
  ASSERT_GT(ref.size(), 1000u);
  // An empty set from the player (no extension bits at all) is the plain selection.
  EXPECT_EQ(DecodeWith(data, 0), ref);
  for (const Selection& s : sel) {
    uint32_t caps = 0;
    ASSERT_TRUE(CpuCapabilitiesForName(s.name, caps));
    const auto got = DecodeWith(data, caps);
    ASSERT_EQ(got.size(), ref.size()) << s.name;
    int worst = 0;
    for (size_t i = 0; i < ref.size(); ++i) worst = std::max(worst, std::abs(got[i] - ref[i]));
    EXPECT_LE(worst, 1) << s.name;
    std::printf("%-22s %-5s max diff to plain %d\n", GetParam(), s.name, worst);
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, EverySelection,
                         ::testing::Values("l1-fl1", "l1-fl2", "l1-fl3", "l1-fl4", "l1-fl5", "l1-fl6",
                                           "l1-fl7", "l1-fl8", "l2-fl10", "l2-fl11", "l2-fl12", "l2-fl13",
                                           "l2-fl14", "l2-fl15", "l2-fl16", "l2-test32", "l3-compl",
                                           "l3-he_32khz", "l3-he_44khz", "l3-he_48khz", "l3-he_free",
                                           "l3-he_mode", "l3-hecommon", "l3-si", "l3-si_block", "l3-si_huff",
                                           "l3-sin1k0db", "l3-test45", "l3-test46", "M2L3_bitrate_16_all",
                                           "M2L3_bitrate_22_all", "M2L3_bitrate_24_all", "M2L3_compl24",
                                           "M2L3_noise"),
                         [](const auto& info) {
                           std::string s = info.param;
                           for (char& ch : s)
                             if (ch == '-') ch = '_';
                           return s;
                         });

}  // namespace
