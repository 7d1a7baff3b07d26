// Layer I and II edge cases on hand-made frames: joint stereo, table choice,
// refused combinations, ungrouping, skipping above the decode limit, the
// forbidden Layer I allocation, channel codes and refused frames.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "tests/decoder/layer12_test_util.h"

namespace {

struct BitWriter {
  std::vector<uint8_t> bytes;
  int bit = 0;
  void Put(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (bit == 0) bytes.push_back(0);
      bytes.back() |= ((v >> i) & 1) << (7 - bit);
      bit = (bit + 1) & 7;
    }
  }
};

// Layer II table B.2a/B.2b layout: group of a subband, its code width, and
// the class of the allocation codes the tests use.
int GroupOf(int sb) { return sb < 3 ? 0 : sb < 11 ? 1 : sb < 23 ? 2 : 3; }
constexpr int kWidth[4] = {4, 4, 3, 2};
int ClassOf(int sb, int code) {
  static const int map[4][8] = {{0, 1, 3, 5, 6, 7, 8, 9},
                                {0, 1, 2, 3, 4, 5, 6, 7},
                                {0, 1, 2, 3, 4, 5, 6, 17},
                                {0, 1, 2, 17, 0, 0, 0, 0}};
  return map[GroupOf(sb)][code];
}
int Steps(int c) {
  static const int steps[18] = {0,   3,   5,    7,    9,    15,   31,    63,    127,
                                255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};
  return steps[c];
}
bool Grouped(int c) { return c == 1 || c == 2 || c == 4; }
int CodeBits(int c) { return c == 1 ? 5 : c == 2 ? 7 : c == 4 ? 10 : c == 3 ? 3 : c - 1; }

// Description of a MPEG-1 Layer II frame at 48 kHz (table B.2a, 27 subbands).
struct L2Frame {
  int brIndex = 10;  // 192 kbit/s
  int mode = 0, modeExt = 0;
  int alloc[2][32] = {};
  int scf[2][32] = {};
  // Sample codes: (sb, ch, part, granule) -> one grouped code or three codes.
  std::function<std::vector<uint32_t>(int, int, int, int)> codes;
};

int FrameBytes(int brIndex) {
  static const int kbps[15] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
  return 144000 * kbps[brIndex] / 48000;
}

std::vector<uint8_t> MakeL2(const L2Frame& f, int maxSb = 27) {
  BitWriter w;
  w.Put(0xFFFD, 16);  // sync, MPEG-1, Layer II, no CRC
  w.Put(f.brIndex << 4 | 1 << 2, 8);
  w.Put(f.mode << 6 | f.modeExt << 4, 8);
  const int nch = f.mode == 3 ? 1 : 2;
  const int bound = f.mode == 1 ? 4 * (f.modeExt + 1) : 32;
  for (int sb = 0; sb < maxSb; ++sb)
    for (int ch = 0; ch < (sb < bound ? nch : 1); ++ch) w.Put(f.alloc[ch][sb], kWidth[GroupOf(sb)]);
  auto alloc = [&](int ch, int sb) { return sb < bound ? f.alloc[ch][sb] : f.alloc[0][sb]; };
  for (int sb = 0; sb < maxSb; ++sb)
    for (int ch = 0; ch < nch; ++ch)
      if (alloc(ch, sb)) w.Put(2, 2);  // one scale factor for all three parts
  for (int sb = 0; sb < maxSb; ++sb)
    for (int ch = 0; ch < nch; ++ch)
      if (alloc(ch, sb)) w.Put(f.scf[ch][sb], 6);
  for (int part = 0; part < 3; ++part)
    for (int gr = 0; gr < 4; ++gr)
      for (int sb = 0; sb < maxSb; ++sb)
        for (int ch = 0; ch < (sb < bound ? nch : 1); ++ch) {
          const int c = ClassOf(sb, alloc(ch, sb));
          if (!c) continue;
          for (uint32_t code : f.codes(sb, ch, part, gr)) w.Put(code, CodeBits(c));
        }
  auto bytes = w.bytes;
  bytes.resize(FrameBytes(f.brIndex), 0);
  return bytes;
}

// Codes giving the value `v` (same for all three samples) in class c.
std::vector<uint32_t> Triple(int c, int v) {
  const int half = (Steps(c) - 1) / 2;
  const uint32_t code = static_cast<uint32_t>(v + half);
  if (Grouped(c)) return {code + code * Steps(c) + code * Steps(c) * Steps(c)};
  return {code, code, code};
}

TMPEGHead HeadOf(const std::vector<uint8_t>& f) {
  TMPEGHead h{};
  HeadInfo(f.data(), 0, h);
  return h;
}

struct Decoded {
  std::vector<int16_t> pcm;
  std::vector<float> samples;
  TInOut io{};
};

Decoded DecodeOne(const std::vector<uint8_t>& frame, bool fullBand = true, int convert = 0,
                  int freqLimit = 24000) {
  TL12Decoder dec;
  TSynth synth;
  TDecInfo info{};
  const TMPEGHead h = HeadOf(frame);
  TMPEGHead tmp{};
  const int fb = HeadInfo(frame.data(), 0, tmp);
  EXPECT_EQ(1, dec.Init(h, fb, 0, convert, freqLimit, fullBand, synth, info));
  Decoded d;
  d.pcm.resize(info.outvalues);
  d.io = dec.DecodeFrame(frame.data(), static_cast<int32_t>(frame.size()), d.pcm.data(), synth);
  d.samples.assign(dec.Samples(), dec.Samples() + 36 * 64);
  return d;
}

TEST(Layer12, JointStereoModeExtensionZeroSharesCodesFromSubbandFour) {
  // Joint stereo, bound 4: subbands 0-3 per channel, 4 on one allocation and
  // one set of codes for both channels, each channel with its own scale factor.
  L2Frame j;
  j.mode = 1;
  j.modeExt = 0;
  for (int sb = 0; sb < 8; ++sb) {
    j.alloc[0][sb] = 2;
    j.alloc[1][sb] = sb < 4 ? 1 : 2;
    j.scf[0][sb] = 10 + sb;
    j.scf[1][sb] = 20 + sb;
  }
  auto value = [](int sb, int ch, int part, int gr) { return (sb + 2 * ch + part + gr) % 3 - 1; };
  j.codes = [&](int sb, int ch, int part, int gr) {
    return Triple(ClassOf(sb, sb < 4 ? j.alloc[ch][sb] : j.alloc[0][sb]), value(sb, ch, part, gr));
  };
  // The same content written out for both channels in plain stereo.
  L2Frame s = j;
  s.mode = 0;
  for (int sb = 4; sb < 8; ++sb) s.alloc[1][sb] = j.alloc[0][sb];
  s.codes = [&](int sb, int ch, int part, int gr) {
    return Triple(ClassOf(sb, s.alloc[ch][sb]), value(sb, sb < 4 ? ch : 0, part, gr));
  };
  const auto fj = MakeL2(j), fs = MakeL2(s);
  ASSERT_EQ(fj.size(), fs.size());
  const Decoded dj = DecodeOne(fj), ds = DecodeOne(fs);
  EXPECT_EQ(dj.io.in_bytes, 576);
  EXPECT_EQ(dj.io.out_bytes, 4608);
  EXPECT_EQ(dj.samples, ds.samples);
  EXPECT_EQ(dj.pcm, ds.pcm);
  // Separate scale factors: right differs from left in the shared region.
  const float* r0 = dj.samples.data();
  bool differs = false;
  for (int t = 0; t < 36; ++t)
    for (int sb = 4; sb < 8; ++sb)
      differs |= r0[64 * t + 2 * sb] != 0 && r0[64 * t + 2 * sb] != r0[64 * t + 2 * sb + 1];
  EXPECT_TRUE(differs);
  // Subband 5, slot 0: value (5 + 0 + 0 + 0) % 3 - 1 = 1 from the shared code,
  // each channel scaled by its own factor.
  const float k = TL12Decoder::L2ClassConstant(ClassOf(5, 2));
  EXPECT_FLOAT_EQ(r0[10], 1 * k * TL12Decoder::ScaleMultiplier(15));
  EXPECT_FLOAT_EQ(r0[11], 1 * k * TL12Decoder::ScaleMultiplier(25));
}

TEST(Layer12, TableSelection) {
  // Single channel, 32 kbit/s: B.2c at 48 kHz (and 44.1), B.2d at 32 kHz.
  EXPECT_EQ(L2TableFor(3, 1, 1), l2tB2c);
  EXPECT_EQ(L2TableFor(3, 0, 1), l2tB2c);
  EXPECT_EQ(L2TableFor(3, 2, 1), l2tB2d);
  // Stereo 48 kbit/s is forbidden; 64 kbit/s stereo is the low table again.
  EXPECT_EQ(L2TableFor(0, 0, 2), -1);
  EXPECT_EQ(L2TableFor(0, 0, 4), l2tB2c);
  EXPECT_EQ(L2TableFor(1, 2, 4), l2tB2d);
  // Per-channel 56-80 kbit/s: B.2a; above: B.2b except at 48 kHz.
  EXPECT_EQ(L2TableFor(3, 0, 3), l2tB2a);
  EXPECT_EQ(L2TableFor(0, 0, 9), l2tB2a);   // 160 stereo = 80 per channel
  EXPECT_EQ(L2TableFor(0, 0, 10), l2tB2b);  // 192 stereo
  EXPECT_EQ(L2TableFor(0, 1, 10), l2tB2a);
  EXPECT_EQ(L2TableFor(3, 0, 11), -1);     // 224 single channel
  EXPECT_EQ(L2TableFor(0, 0, 5), -1);      // 80 stereo
  EXPECT_EQ(L2TableFor(0, 0, 0), l2tB2b);  // free format
  EXPECT_EQ(L2TableFor(0, 1, 0), l2tB2a);
  EXPECT_EQ(L2TableFor(0, 0, 15), -1);
  EXPECT_EQ(L2TableFor(0, 3, 10), -1);

  TSynth synth;
  TDecInfo info{};
  TL12Decoder dec;
  TMPEGHead h{1, 1, 2, 1, 1, 1, 0, 0, 3, 0, 0, 0, 0};  // 48 kHz, 32 kbit/s, single channel
  ASSERT_EQ(1, dec.Init(h, 96, 0, 0, 24000, true, synth, info));
  EXPECT_EQ(dec.Table(), l2tB2c);
  EXPECT_EQ(dec.MaxSb(), 8);
  h.sr_index = 2;
  ASSERT_EQ(1, dec.Init(h, 144, 0, 0, 24000, true, synth, info));
  EXPECT_EQ(dec.Table(), l2tB2d);
  EXPECT_EQ(dec.MaxSb(), 12);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.outvalues, 1152);
  EXPECT_EQ(info.samprate, 32000);
  h.id = 0;  // MPEG-2: always the lower-sampling-frequency table
  ASSERT_EQ(1, dec.Init(h, 144, 0, 0, 24000, true, synth, info));
  EXPECT_EQ(dec.Table(), l2tLsf);
  EXPECT_EQ(dec.MaxSb(), 30);
  EXPECT_EQ(info.samprate, 16000);
}

TEST(Layer12, InitialisationRefusals) {
  TSynth synth;
  TDecInfo info{};
  TL12Decoder dec;
  TMPEGHead h{1, 1, 2, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0};  // stereo 48 kbit/s at 44.1 kHz
  EXPECT_EQ(0, dec.Init(h, 156, 0, 0, 24000, true, synth, info));
  h.br_index = 4;  // 64 kbit/s is fine
  EXPECT_EQ(1, dec.Init(h, 208, 0, 0, 24000, true, synth, info));
  h.sr_index = 3;
  EXPECT_EQ(0, dec.Init(h, 208, 0, 0, 24000, true, synth, info));
  h.sr_index = 0;
  h.option = 1;  // Layer III is not ours
  EXPECT_EQ(0, dec.Init(h, 208, 0, 0, 24000, true, synth, info));
  h.option = 2;
  EXPECT_EQ(0, dec.Init(h, 208, 1, 0, 24000, true, synth, info));  // reduction 1: no routines
  // A refused Init leaves nothing to decode with.
  std::vector<uint8_t> f(208, 0);
  f[0] = 0xFF;
  f[1] = 0xFD;
  std::vector<int16_t> out(2304);
  TInOut r = dec.DecodeFrame(f.data(), 208, out.data(), synth);
  EXPECT_EQ(r.in_bytes, 0);
  EXPECT_EQ(r.out_bytes, 0);
}

TEST(Layer12, UngroupingCodesZeroAndTwentySix) {
  L2Frame f;
  f.mode = 3;
  f.brIndex = 5;      // 80 kbit/s single channel: B.2a
  f.alloc[0][0] = 1;  // 3 steps
  f.scf[0][0] = 6;    // multiplier 65536 / 4
  f.codes = [](int, int, int part, int gr) {
    return std::vector<uint32_t>{part == 0 && gr == 0 ? 0u : part == 0 && gr == 1 ? 26u : 13u};
  };
  const Decoded d = DecodeOne(MakeL2(f));
  const float m = TL12Decoder::L2ClassConstant(1) * TL12Decoder::ScaleMultiplier(6);
  EXPECT_FLOAT_EQ(m, 2.0f / 3.0f * 16384.0f);
  for (int t = 0; t < 3; ++t) {
    EXPECT_FLOAT_EQ(d.samples[64 * t], -m) << t;
    EXPECT_FLOAT_EQ(d.samples[64 * (3 + t)], m) << t;
    EXPECT_FLOAT_EQ(d.samples[64 * (6 + t)], 0.0f) << t;  // 13 = (1, 1, 1) in base 3: zeros
  }
}

TEST(Layer12, SkippingAboveTheLimitKeepsGranulesAligned) {
  // Every subband coded with a mix of classes; a 1 kHz limit at 48 kHz keeps
  // one subband ((64 x 1000 + 24000) div 48000 = 1), the rest is skipped.
  L2Frame f;
  f.mode = 0;
  for (int sb = 0; sb < 27; ++sb)
    for (int ch = 0; ch < 2; ++ch) {
      f.alloc[ch][sb] = 1 + (sb + ch) % (GroupOf(sb) == 3 ? 3 : 4);
      f.scf[ch][sb] = (sb * 3 + ch) % 40;
    }
  f.codes = [&](int sb, int ch, int part, int gr) {
    const int c = ClassOf(sb, f.alloc[ch][sb]);
    return Triple(c, (sb + ch + part * 4 + gr) % 3 - 1);
  };
  const auto frame = MakeL2(f);
  const Decoded full = DecodeOne(frame, true);
  const Decoded lim = DecodeOne(frame, false, 0, 1000);
  for (int t = 0; t < 36; ++t)
    for (int i = 0; i < 64; ++i) {
      const float want = i < 2 ? full.samples[64 * t + i] : 0.0f;
      ASSERT_EQ(lim.samples[64 * t + i], want) << "slot " << t << " value " << i;
    }
  // The kept subband really carries the content of every granule.
  int nonzero = 0;
  for (int t = 0; t < 36; ++t) nonzero += full.samples[64 * t] != 0;
  EXPECT_GE(nonzero, 20);

  // The engine's limit of 24000 Hz still leaves out subband 31 and up; with
  // 27 coded subbands nothing changes at 48 kHz.
  const Decoded normal = DecodeOne(frame, false, 0, 24000);
  EXPECT_EQ(normal.samples, full.samples);
}

std::vector<uint8_t> MakeL1(const int (&alloc)[32], int scf, uint32_t code) {
  BitWriter w;
  w.Put(0xFFFF, 16);            // MPEG-1 Layer I, no CRC
  w.Put(0xE << 4 | 1 << 2, 8);  // 448 kbit/s, 48 kHz
  w.Put(3 << 6, 8);             // single channel
  for (int sb = 0; sb < 32; ++sb) w.Put(alloc[sb], 4);
  for (int sb = 0; sb < 32; ++sb)
    if (alloc[sb] && alloc[sb] != 15) w.Put(scf, 6);
  for (int t = 0; t < 12; ++t)
    for (int sb = 0; sb < 32; ++sb)
      if (alloc[sb] && alloc[sb] != 15) w.Put(code & ((1u << (alloc[sb] + 1)) - 1), alloc[sb] + 1);
  auto b = w.bytes;
  b.resize(448, 0);
  return b;
}

// Two-channel Layer I frame at 448 kbit/s, 48 kHz.
std::vector<uint8_t> MakeL1Stereo(int mode, int modeExt, const int (&alloc)[2][32], const int (&scf)[2][32],
                                  const std::function<uint32_t(int, int, int)>& code) {
  BitWriter w;
  w.Put(0xFFFF, 16);
  w.Put(0xE << 4 | 1 << 2, 8);
  w.Put(mode << 6 | modeExt << 4, 8);
  const int bound = mode == 1 ? 4 * (modeExt + 1) : 32;
  for (int sb = 0; sb < 32; ++sb)
    for (int ch = 0; ch < (sb < bound ? 2 : 1); ++ch) w.Put(alloc[ch][sb], 4);
  auto a = [&](int ch, int sb) { return sb < bound ? alloc[ch][sb] : alloc[0][sb]; };
  for (int sb = 0; sb < 32; ++sb)
    for (int ch = 0; ch < 2; ++ch)
      if (a(ch, sb)) w.Put(scf[ch][sb], 6);
  for (int t = 0; t < 12; ++t)
    for (int sb = 0; sb < 32; ++sb)
      for (int ch = 0; ch < (sb < bound ? 2 : 1); ++ch)
        if (a(ch, sb)) w.Put(code(t, sb, ch) & ((1u << (a(ch, sb) + 1)) - 1), a(ch, sb) + 1);
  auto b = w.bytes;
  b.resize(448, 0);
  return b;
}

TEST(Layer12, LayerOneJointStereoSharesSamplesAboveTheBound) {
  // Mode extension 1: bound 8. The joint frame must decode exactly like a
  // plain stereo frame that spells the shared samples out for both channels.
  int alloc[2][32] = {}, scf[2][32] = {};
  for (int sb = 0; sb < 20; ++sb) {
    alloc[0][sb] = 1 + sb % 6;
    alloc[1][sb] = sb < 8 ? 1 + (sb + 3) % 6 : alloc[0][sb];
    scf[0][sb] = 3 + sb;
    scf[1][sb] = 30 - sb;
  }
  auto code = [](int t, int sb, int ch) { return uint32_t(t * 7 + sb * 3 + ch * 5); };
  auto shared = [&](int t, int sb, int ch) { return code(t, sb, sb < 8 ? ch : 0); };
  const auto joint = MakeL1Stereo(1, 1, alloc, scf, code);
  const auto plain = MakeL1Stereo(0, 0, alloc, scf, shared);
  const Decoded dj = DecodeOne(joint), dp = DecodeOne(plain);
  EXPECT_EQ(dj.io.out_bytes, 1536);
  EXPECT_EQ(dj.samples, dp.samples);
  EXPECT_EQ(dj.pcm, dp.pcm);
  // Above the bound both channels carry the same code with their own scale.
  EXPECT_NE(dj.samples[2 * 10], dj.samples[2 * 10 + 1]);
  // Skipping above a low limit in the joint region keeps the slots aligned.
  const Decoded lim = DecodeOne(joint, false, 0, 8000);  // (512000 + 24000) div 48000 = 11
  for (int t = 0; t < 12; ++t)
    for (int i = 0; i < 64; ++i)
      ASSERT_EQ(lim.samples[64 * t + i], i < 22 ? dj.samples[64 * t + i] : 0.0f) << t << " " << i;
}

TEST(Layer12, LayerOneForbiddenAllocationIsSilence) {
  int alloc[32] = {};
  alloc[0] = 3;
  alloc[1] = 15;  // forbidden: that subband stays silent, nothing read for it
  alloc[2] = 3;
  const auto frame = MakeL1(alloc, 0, 0xF);  // code 15 of 4 bits: value 15 - 7 = 8
  const Decoded d = DecodeOne(frame);
  EXPECT_EQ(d.io.in_bytes, 448);
  EXPECT_EQ(d.io.out_bytes, 768);
  const float v = 8 * (2.0f / 15.0f) * 65536.0f;
  for (int t = 0; t < 12; ++t) {
    EXPECT_FLOAT_EQ(d.samples[64 * t + 0], v);
    EXPECT_EQ(d.samples[64 * t + 1], 0.0f);
    EXPECT_FLOAT_EQ(d.samples[64 * t + 2], v);
  }
  for (size_t i = 64 * 12; i < d.samples.size(); ++i)
    ASSERT_EQ(d.samples[i], 0.0f) << i;  // nothing written past the frame's 12 rows
}

TEST(Layer12, LayerOneSkippingAboveTheLimit) {
  int alloc[32];
  for (int sb = 0; sb < 32; ++sb) alloc[sb] = 1 + sb % 14;
  const auto frame = MakeL1(alloc, 5, 0x2AAA);
  const Decoded full = DecodeOne(frame, true);
  const Decoded lim = DecodeOne(frame, false, 0, 3000);  // (192000 + 24000) div 48000 = 4
  for (int t = 0; t < 12; ++t)
    for (int sb = 0; sb < 32; ++sb)
      ASSERT_EQ(lim.samples[64 * t + sb], sb < 4 ? full.samples[64 * t + sb] : 0.0f) << t << " " << sb;
  // Subband 31 is beyond the engine's limit (at most 31 subbands) but in full band.
  const Decoded normal = DecodeOne(frame, false);
  EXPECT_NE(full.samples[31], 0.0f);
  EXPECT_EQ(normal.samples[31], 0.0f);
  EXPECT_EQ(normal.samples[30], full.samples[30]);
}

TEST(Layer12, OutputChannelCodes) {
  const auto bits = ReadFileBytes(std::string(SORREL_TEST_DATA) + "/vectors/l2-fl10.bit");
  const auto stereo = DecodeL12Stream(bits, true, 0);
  const auto mix = DecodeL12Stream(bits, true, 1);
  const auto left = DecodeL12Stream(bits, true, 2);
  const auto right = DecodeL12Stream(bits, true, 3);
  ASSERT_GT(stereo.size(), 100000u);
  ASSERT_EQ(left.size() * 2, stereo.size());
  ASSERT_EQ(right.size() * 2, stereo.size());
  ASSERT_EQ(mix.size() * 2, stereo.size());
  int worstMix = 0;
  for (size_t i = 0; i < left.size(); ++i) {
    ASSERT_EQ(left[i], stereo[2 * i]) << i;
    ASSERT_EQ(right[i], stereo[2 * i + 1]) << i;
    const int avg = (stereo[2 * i] + stereo[2 * i + 1]) / 2;
    worstMix = std::max(worstMix, std::abs(mix[i] - avg));
  }
  EXPECT_LE(worstMix, 2);
  // Convert codes wrap at 4 (the 8-bit flag aside): 4 is stereo again.
  EXPECT_EQ(DecodeL12Stream(bits, true, 4), stereo);
}

TEST(Layer12, RefusedFrames) {
  L2Frame f;
  f.mode = 3;
  f.brIndex = 5;
  f.alloc[0][0] = 1;
  f.codes = [](int, int, int, int) { return std::vector<uint32_t>{5}; };
  auto frame = MakeL2(f);
  TL12Decoder dec;
  TSynth synth;
  TDecInfo info{};
  const TMPEGHead h = HeadOf(frame);
  ASSERT_EQ(1, dec.Init(h, 240, 0, 0, 24000, true, synth, info));
  std::vector<int16_t> out(info.outvalues);
  EXPECT_EQ(dec.DecodeFrame(frame.data(), 240, out.data(), synth).in_bytes, 240);
  // Truncated: the frame claims more bytes than there are.
  EXPECT_EQ(dec.DecodeFrame(frame.data(), 239, out.data(), synth).in_bytes, 0);
  // MPEG-2.5 sync (0xFFE) and a broken sync are refused.
  auto bad = frame;
  bad[1] = 0xE5;
  EXPECT_EQ(dec.DecodeFrame(bad.data(), 240, out.data(), synth).in_bytes, 0);
  bad[0] = 0x7F;
  bad[1] = frame[1];
  EXPECT_EQ(dec.DecodeFrame(bad.data(), 240, out.data(), synth).out_bytes, 0);
  // Padding adds one byte (Layer II) to what is consumed.
  frame[2] |= 2;
  frame.push_back(0);
  EXPECT_EQ(dec.DecodeFrame(frame.data(), 241, out.data(), synth).in_bytes, 241);
}

TEST(Layer12, GarbageNeverReadsOutside) {
  // Random bytes behind a valid header, every allocation table, both layers:
  // the decoder must stay within the frame (the sanitizer build checks).
  std::mt19937 rng(11);
  for (int iter = 0; iter < 300; ++iter) {
    const int layer = iter % 2 ? 2 : 1;
    const int br = 1 + iter % 14, sr = iter / 2 % 3, mode = iter / 6 % 4;
    TMPEGHead h{1, 1, layer == 1 ? 3 : 2, 1, br, sr, 0, 0, mode, iter / 24 % 4, 0, 0, 0};
    TL12Decoder dec;
    TSynth synth;
    TDecInfo info{};
    const int fb = 96 + iter;
    if (!dec.Init(h, fb, 0, iter % 4, 24000, iter % 3 == 0, synth, info)) continue;
    std::vector<uint8_t> frame(fb);
    for (auto& b : frame) b = static_cast<uint8_t>(rng());
    frame[0] = 0xFF;
    frame[1] = layer == 1 ? 0xFF : 0xFD;
    frame[2] &= 0xFD;
    std::vector<int16_t> out(info.outvalues);
    TInOut r = dec.DecodeFrame(frame.data(), fb, out.data(), synth);
    EXPECT_EQ(r.in_bytes, fb);
    EXPECT_EQ(r.out_bytes, info.outvalues * 2);
  }
}

}  // namespace
