// The synthesis filterbank against a direct, slow evaluation of the
// ISO/IEC 11172-3 matrixing and windowing formula.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "decoder/Synth.h"

using namespace sorrel::decoder;

namespace {

// Straight from the standard's flow: shift V by 64, V[i] = sum N[i][k] S[k],
// build U from V, window with D, sum 16 terms per output.
struct RefSynth {
  double v[1024] = {};
  void Slot(const double* s, double* out) {
    for (int i = 1023; i >= 64; --i) v[i] = v[i - 64];
    for (int i = 0; i < 64; ++i) {
      double sum = 0;
      for (int k = 0; k < 32; ++k) sum += std::cos((16 + i) * (2 * k + 1) * M_PI / 64.0) * s[k];
      v[i] = sum;
    }
    double u[512];
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 32; ++j) {
        u[i * 64 + j] = v[i * 128 + j];
        u[i * 64 + 32 + j] = v[i * 128 + 96 + j];
      }
    const float* d = TSynth::IsoWindow();
    for (int j = 0; j < 32; ++j) {
      double sum = 0;
      for (int i = 0; i < 16; ++i) sum += u[j + 32 * i] * d[j + 32 * i];
      out[j] = sum;
    }
  }
};

int16_t Pcm(double x) {
  double r = std::nearbyint(x);
  return static_cast<int16_t>(r > 32767 ? 32767 : r < -32768 ? -32768 : r);
}

std::vector<float> Noise(std::mt19937& rng, int n, float amp) {
  std::uniform_real_distribution<float> d(-amp, amp);
  std::vector<float> v(n);
  for (auto& x : v) x = d(rng);
  return v;
}

TEST(Synth, WindowIsThePublishedTable) {
  const float* d = TSynth::IsoWindow();
  EXPECT_FLOAT_EQ(d[0], 0.0f);
  EXPECT_NEAR(d[1], -0.000015259, 1e-9);
  EXPECT_NEAR(d[32], -0.000442505, 1e-9);
  EXPECT_NEAR(d[64], 0.003250122, 1e-9);
  EXPECT_NEAR(d[256], 1.144989014, 1e-9);
  EXPECT_NEAR(d[511], 0.000015259, 1e-9);
}

TEST(Synth, Dct32MatchesDirectSum) {
  std::mt19937 rng(3);
  auto in = Noise(rng, 32, 1000.0f);
  float out[32];
  Dct32(in.data(), out);
  for (int n = 0; n < 32; ++n) {
    double sum = 0;
    for (int k = 0; k < 32; ++k) sum += in[k] * std::cos((2 * k + 1) * n * M_PI / 64.0);
    EXPECT_NEAR(out[n], sum, 0.02) << n;
  }
}

// Per-channel positions (Layer III): both channels against their own
// reference, interleaved output, channels advanced unevenly.
TEST(Synth, MatchesReferenceWithOwnPositions) {
  std::mt19937 rng(1);
  TSynth syn;
  RefSynth ref[2];
  int worst = 0;
  for (int t = 0; t < 200; ++t) {
    for (int ch = 0; ch < 2; ++ch) {
      if (ch == 1 && t % 7 == 3) continue;  // channel 1 skips slots: its position must not follow channel 0's
      // Subband-major layout with stride 18, as a Layer III granule holds it.
      auto in = Noise(rng, 32 * 18, ch ? 3000.0f : 9000.0f);
      int16_t out[64];
      syn.Synth(ch, in.data() + 5, 18, out + ch, 2);
      double s[32], r[32];
      for (int k = 0; k < 32; ++k) s[k] = in[5 + 18 * k];
      ref[ch].Slot(s, r);
      for (int j = 0; j < 32; ++j) worst = std::max(worst, std::abs(out[2 * j + ch] - Pcm(r[j])));
    }
  }
  EXPECT_LE(worst, 1);
}

TEST(Synth, SlotsOfAGranuleEqualSingleSlots) {
  std::mt19937 rng(2);
  auto in = Noise(rng, 576, 5000.0f);
  TSynth a, b;
  int16_t oa[576], ob[576];
  a.SynthSlots(0, in.data(), 18, 1, 18, oa, 1);
  for (int t = 0; t < 18; ++t) b.Synth(0, in.data() + t, 18, ob + 32 * t, 1);
  EXPECT_EQ(0, std::memcmp(oa, ob, sizeof oa));
}

TEST(Synth, StereoGranuleEqualsTwoChannels) {
  std::mt19937 rng(12);
  TSynth a, b;
  int16_t oa[1152], ob[1152];
  for (int gr = 0; gr < 3; ++gr) {
    auto l = Noise(rng, 576, 5000.0f), r = Noise(rng, 576, 5000.0f);
    if (gr == 1) {  // channel 1 one slot ahead from here on
      a.SynthSlots(1, r.data(), 1, 32, 1, oa + 1, 2);
      b.SynthSlots(1, r.data(), 1, 32, 1, ob + 1, 2);
    }
    a.SynthSlots(0, l.data(), 1, 32, 18, oa, 2);
    a.SynthSlots(1, r.data(), 1, 32, 18, oa + 1, 2);
    b.SynthSlotsStereo(l.data(), r.data(), 1, 32, 18, ob);
    ASSERT_EQ(0, std::memcmp(oa, ob, sizeof oa)) << gr;  // positions stay per channel
  }
}

// Layers I and II: shared position and the five channel codes.
TEST(Synth, LayerOneTwoChannelCodes) {
  std::mt19937 rng(4);
  TSynth stereo, mono, mix, left, right;
  RefSynth rl, rr, rm, rmono;
  int worst = 0;
  for (int t = 0; t < 120; ++t) {
    auto row = Noise(rng, 64, 8000.0f);
    int16_t os[64], om[32], ox[32], ol[32], orr[32];
    stereo.SynthSlotL12(TSynthChannels::scStereo, row.data(), os);
    mono.SynthSlotL12(TSynthChannels::scMonoSource, row.data(), om);  // first 32 values
    mix.SynthSlotL12(TSynthChannels::scMixToMono, row.data(), ox);
    left.SynthSlotL12(TSynthChannels::scLeftOnly, row.data(), ol);
    right.SynthSlotL12(TSynthChannels::scRightOnly, row.data(), orr);
    double sl[32], sr[32], sm[32], smono[32], r1[32], r2[32], r3[32], r4[32];
    for (int k = 0; k < 32; ++k) {
      sl[k] = row[2 * k];
      sr[k] = row[2 * k + 1];
      sm[k] = (double(row[2 * k]) + row[2 * k + 1]) * 0.5;
      smono[k] = row[k];
    }
    rl.Slot(sl, r1);
    rr.Slot(sr, r2);
    rm.Slot(sm, r3);
    rmono.Slot(smono, r4);
    for (int j = 0; j < 32; ++j) {
      worst = std::max(worst, std::abs(os[2 * j] - Pcm(r1[j])));
      worst = std::max(worst, std::abs(os[2 * j + 1] - Pcm(r2[j])));
      worst = std::max(worst, std::abs(ol[j] - Pcm(r1[j])));
      worst = std::max(worst, std::abs(orr[j] - Pcm(r2[j])));
      worst = std::max(worst, std::abs(ox[j] - Pcm(r3[j])));
      worst = std::max(worst, std::abs(om[j] - Pcm(r4[j])));
    }
  }
  EXPECT_LE(worst, 1);
}

std::vector<int16_t> RunSlots(TSynth& s, const std::vector<float>& in, int slots) {
  std::vector<int16_t> out(32 * slots);
  for (int t = 0; t < slots; ++t) s.Synth(0, in.data() + 32 * t, 1, out.data() + 32 * t, 1);
  return out;
}

TEST(Synth, PolarityTwiceOnStaysOnAndOffIsExact) {
  std::mt19937 rng(5);
  auto in = Noise(rng, 32 * 40, 600.0f);  // stays clear of the rails
  TSynth plain, inv;
  auto a = RunSlots(plain, in, 40);
  inv.SetInvertPolarity(true);
  inv.SetInvertPolarity(true);
  EXPECT_TRUE(inv.PolarityInverted());
  inv.Reset();
  auto b = RunSlots(inv, in, 40);
  int nonzero = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(int(b[i]), -int(a[i])) << i;  // negating the window is exact
    nonzero += a[i] != 0;
  }
  EXPECT_GT(nonzero, 1000);
  inv.SetInvertPolarity(false);
  EXPECT_FALSE(inv.PolarityInverted());
  inv.Reset();
  EXPECT_EQ(RunSlots(inv, in, 40), a);
}

TEST(Synth, FullScaleClipsInsteadOfWrapping) {
  std::mt19937 rng(8);
  TSynth s;
  RefSynth ref;
  int worst = 0, hi = 0, lo = 0;
  for (int t = 0; t < 60; ++t) {
    auto in = Noise(rng, 32, 60000.0f);  // far beyond full scale
    int16_t out[32];
    s.Synth(0, in.data(), 1, out, 1);
    double d[32], r[32];
    for (int k = 0; k < 32; ++k) d[k] = in[k];
    ref.Slot(d, r);
    for (int j = 0; j < 32; ++j) {
      worst = std::max(worst, std::abs(out[j] - Pcm(r[j])));  // a wrap would be ~65536 off
      hi += out[j] == 32767;
      lo += out[j] == -32768;
    }
  }
  EXPECT_LE(worst, 1);
  EXPECT_GT(hi, 100);
  EXPECT_GT(lo, 100);
}

TEST(Synth, SubbandEqualiser) {
  std::mt19937 rng(6);
  auto in = Noise(rng, 32 * 30, 4000.0f);
  TSynth ref;
  auto a = RunSlots(ref, in, 30);

  TSynth unity;
  for (int s = 0; s < 32; ++s) unity.SetEqGain32(s, std::pow(10.0f, 0 / 100.0f));  // level 0
  unity.SetEqEnabled32(1);
  EXPECT_EQ(RunSlots(unity, in, 30), a);

  // A gain on one subband equals scaling that subband's input.
  TSynth eq;
  for (int s = 0; s < 32; ++s) eq.SetEqGain32(s, 1.0f);
  eq.SetEqGain32(3, 0.25f);
  eq.SetEqEnabled32(1);
  auto scaled = in;
  for (int t = 0; t < 30; ++t) scaled[32 * t + 3] *= 0.25f;
  TSynth ref2;
  EXPECT_EQ(RunSlots(eq, in, 30), RunSlots(ref2, scaled, 30));

  // Flag off: gains ignored (they start at 0, which would silence everything).
  TSynth off;
  EXPECT_EQ(RunSlots(off, in, 30), a);

  // Attached to an owner's fields, the owner's values are read every slot.
  std::atomic<int32_t> on{1};
  std::array<std::atomic<float>, 32> gains;
  for (auto& g : gains) g.store(0.0f);
  TSynth att;
  att.AttachEqualizer(&on, gains.data());
  auto silent = RunSlots(att, in, 30);
  for (int16_t x : silent) ASSERT_EQ(x, 0);
}

TEST(Synth, ResetForgetsHistory) {
  std::mt19937 rng(7);
  auto in = Noise(rng, 32 * 30, 4000.0f);
  TSynth s, fresh;
  RunSlots(s, in, 30);
  s.Reset();
  EXPECT_EQ(RunSlots(s, in, 30), RunSlots(fresh, in, 30));
}

}  // namespace
