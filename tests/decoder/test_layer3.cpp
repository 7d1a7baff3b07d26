// Layer III stages on hand-made data: Huffman decoding with its limits, scale
// factors, requantisation, intensity stereo, the hybrid transform, and whole frames
// through the decoder object (reservoir, polarity, equaliser, clipping, output
// sizes, band limits, hostile input).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "decoder/Layer3.h"
#include "decoder/Synth.h"
#include "tests/decoder/layer3_builder.h"
#include "tests/decoder/layer3_test_util.h"

using namespace sorrel::decoder;

namespace {

using l3test::BitWriter;

// A Layer III decoder state on its own, set up for a stream like `hdr`.
struct Stage {
  TMP3Decoder owner;
  sorrel::decoder::TSynth synth;
  std::unique_ptr<TL3Decoder> l3 = std::make_unique<TL3Decoder>();
  explicit Stage(const std::vector<uint8_t>& hdr, bool full_band = true) {
    l3->owner = &owner;
    l3->synth = &synth;
    l3->k = L3PlainKernels();
    EXPECT_TRUE(l3->Init(l3test::Parse(hdr), 417, 0, 24000, full_band));
  }
  // Puts main data at the start of the reservoir and decodes granule-channel (gr, ch)
  // from bit `at`.
  void Huffman(const BitWriter& w, int gr, int ch, int at = 0) {
    const std::vector<uint8_t> b = w.bytes();
    std::memcpy(l3->main_buf, b.data(), b.size());
    l3->main_pos_bit = at;
    l3->DecodeChannelData(gr, ch);
  }
  TGrInfo& G(int gr, int ch) { return l3->gi[gr][ch]; }
};

const std::vector<uint8_t> kMono44 = l3test::Header(1, 1, 1, 9, 0, 3);
const std::vector<uint8_t> kStereo44 = l3test::Header(1, 1, 1, 9, 0, 1);

TGrInfo BigValues(int pairs, int table, int part2_3) {
  TGrInfo g{};
  g.big_values = pairs;
  g.table_select[0] = g.table_select[1] = g.table_select[2] = table;
  g.part2_3_length = part2_3;
  return g;
}

// ---------------------------------------------------------------------------
// Huffman decoding.

TEST(Layer3Huffman, EscapeValuesAddLinbitsBeforeTheSign) {
  Stage s(kMono44);
  BitWriter w;
  w.PutPair(24, 15, 0);  // table 24: linbits 4
  w.Put(0xF, 4);         // 15 + 15 = 30
  w.Put(0, 1);           // positive
  w.PutPair(24, 15, 15);
  w.Put(0x0, 4);  // x = 15 + 0
  w.Put(1, 1);    // negative
  w.Put(0x7, 4);  // y = 15 + 7
  w.Put(1, 1);    // negative
  s.G(0, 0) = BigValues(2, 24, w.bits());
  s.Huffman(w, 0, 0);
  EXPECT_EQ(s.l3->ix[0][0], 30);
  EXPECT_EQ(s.l3->ix[0][1], 0);
  EXPECT_EQ(s.l3->ix[0][2], -15);
  EXPECT_EQ(s.l3->ix[0][3], -22);
  EXPECT_EQ(s.l3->nsamp[0], 4);
  // The largest escape of the widest table: 15 + 8191.
  BitWriter big;
  big.PutPair(31, 15, 1);  // table 31: linbits 13
  big.Put(0x1FFF, 13);
  big.Put(0, 1);
  big.Put(1, 1);
  s.G(0, 0) = BigValues(1, 31, big.bits());
  s.Huffman(big, 0, 0);
  EXPECT_EQ(s.l3->ix[0][0], 8206);
  EXPECT_EQ(s.l3->ix[0][1], -1);
}

TEST(Layer3Huffman, Count1EndsTwoLinesEarlyWhenTheLastPairIsZero) {
  Stage s(kMono44);
  // Table B: each value is the inverse of its code bit; (1, 1, 0, 0) then a sign each.
  BitWriter w;
  w.Put(0x3, 4);
  w.Put(0, 1);
  w.Put(1, 1);
  TGrInfo g = BigValues(0, 0, w.bits());
  g.count1table_select = 1;
  s.G(0, 0) = g;
  s.Huffman(w, 0, 0);
  EXPECT_EQ(s.l3->ix[0][0], 1);
  EXPECT_EQ(s.l3->ix[0][1], -1);
  EXPECT_EQ(s.l3->ix[0][2], 0);
  EXPECT_EQ(s.l3->nsamp[0], 2);  // 4k + 2 with k = 0

  // Table A after two big-value lines: (0, 0, 0, 1) is code 0101, then its sign.
  BitWriter a;
  a.PutPair(1, 1, 1);
  a.Put(0, 1);
  a.Put(0, 1);
  a.Put(0x5, 4);
  a.Put(1, 1);
  g = BigValues(1, 1, a.bits());
  s.G(0, 0) = g;
  s.Huffman(a, 0, 0);
  EXPECT_EQ(s.l3->ix[0][0], 1);
  EXPECT_EQ(s.l3->ix[0][1], 1);
  EXPECT_EQ(s.l3->ix[0][5], -1);
  EXPECT_EQ(s.l3->nsamp[0], 2 + 4);
}

TEST(Layer3Huffman, Count1QuadrupleRunningPastTheDataIsDropped) {
  Stage s(kMono44);
  BitWriter w;
  w.Put(0x7, 4);  // table B: (1, 0, 0, 0)
  w.Put(0, 1);    // its sign: the fifth bit, one more than the granule holds
  w.Put(0xFFFF, 16);
  TGrInfo g = BigValues(0, 0, 4);
  g.count1table_select = 1;
  s.G(0, 0) = g;
  s.Huffman(w, 0, 0);
  EXPECT_EQ(s.l3->ix[0][0], 0);
  EXPECT_EQ(s.l3->nsamp[0], 0);
}

TEST(Layer3Huffman, EmptyGranuleReadsNothingAndIsSilent) {
  Stage s(kMono44);
  BitWriter w;
  w.Put(0xFFFFFFFF, 32);
  std::memcpy(s.l3->main_buf, w.bytes().data(), 4);
  std::fill(std::begin(s.l3->ix[0]), std::end(s.l3->ix[0]), 7);
  s.G(0, 0) = BigValues(0, 0, 0);
  s.l3->main_pos_bit = 0;
  s.l3->DecodeChannelData(0, 0);
  EXPECT_EQ(s.l3->nsamp[0], 0);
  for (int i = 0; i < 576; ++i) ASSERT_EQ(s.l3->ix[0][i], 0) << i;
  EXPECT_EQ(s.l3->main_pos_bit, 0);
}

TEST(Layer3Huffman, DataRunningPastItsLimitSilencesTheGranuleChannel) {
  Stage s(kMono44);
  // 200 pairs of table 15 claimed in 8 bits of data; what follows decodes to
  // non-zero values, so the reader runs on past the limit 4 bytes beyond.
  BitWriter w;
  for (int i = 0; i < 200; ++i) w.PutPair(15, 3, 2);
  s.G(0, 0) = BigValues(200, 15, 8);
  s.Huffman(w, 0, 0);
  EXPECT_EQ(s.l3->nsamp[0], 0);
  for (int i = 0; i < 576; ++i) ASSERT_EQ(s.l3->ix[0][i], 0) << i;
  // The next granule-channel starts where this one's part2_3_length ends.
  EXPECT_EQ(s.l3->main_pos_bit, 8);
}

TEST(Layer3Huffman, TablesWithoutCodesReadNoBits) {
  Stage s(kMono44);
  // Region 0 (lines 0-3) uses table 4, region 1 table 1: the first bits belong to
  // region 1.
  BitWriter w;
  w.PutPair(1, 1, 0);
  w.Put(0, 1);
  TGrInfo g = BigValues(3, 1, w.bits());
  g.table_select[0] = 4;
  g.region0_count = 0;  // region 1 from line 4 (band 1)
  g.region1_count = 7;
  s.G(0, 0) = g;
  s.Huffman(w, 0, 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s.l3->ix[0][i], 0);
  EXPECT_EQ(s.l3->ix[0][4], 1);
}

// ---------------------------------------------------------------------------
// Scale factors.

TEST(Layer3ScaleFactors, ScfsiCopiesGranuleZeroGroupsWithoutReadingThem) {
  Stage s(kMono44);
  BitWriter w;
  // Granule 0, scalefac_compress 15: slen1 4 (bands 0-10), slen2 3 (bands 11-20).
  for (int b = 0; b < 11; ++b) w.Put(static_cast<uint32_t>(b + 3), 4);
  for (int b = 11; b < 21; ++b) w.Put(static_cast<uint32_t>(b % 8), 3);
  const int gr0_bits = w.bits();
  // Granule 1 with every group shared: its Huffman data follows at once.
  w.PutPair(1, 1, 0);
  w.Put(1, 1);
  const int gr1_bits = w.bits() - gr0_bits;
  TGrInfo g0 = BigValues(0, 0, gr0_bits);
  g0.scalefac_compress = 15;
  TGrInfo g1 = BigValues(1, 1, gr1_bits);
  g1.scalefac_compress = 15;
  g1.region0_count = 3;
  s.G(0, 0) = g0;
  s.G(1, 0) = g1;
  s.l3->scfsi[0] = 15;
  s.Huffman(w, 0, 0);
  s.l3->DecodeChannelData(1, 0);
  for (int b = 0; b < 21; ++b) EXPECT_EQ(s.l3->sf[1][0].l[b], s.l3->sf[0][0].l[b]) << b;
  EXPECT_EQ(s.l3->sf[0][0].l[4], 7);
  EXPECT_EQ(s.l3->sf[0][0].l[20], 4);
  EXPECT_EQ(s.l3->ix[0][0], -1);

  // Only the first group (bit value 8) shared: bands 6-10 and 11-20 are read.
  BitWriter p;
  for (int b = 6; b < 11; ++b) p.Put(1, 4);
  for (int b = 11; b < 21; ++b) p.Put(2, 3);
  TGrInfo g1b = BigValues(0, 0, p.bits());
  g1b.scalefac_compress = 15;
  s.G(1, 0) = g1b;
  s.l3->scfsi[0] = 8;
  s.Huffman(p, 1, 0);
  for (int b = 0; b < 6; ++b) EXPECT_EQ(s.l3->sf[1][0].l[b], b + 3);
  for (int b = 6; b < 11; ++b) EXPECT_EQ(s.l3->sf[1][0].l[b], 1);
  for (int b = 11; b < 21; ++b) EXPECT_EQ(s.l3->sf[1][0].l[b], 2);
}

// ---------------------------------------------------------------------------
// Requantisation.

TEST(Layer3Requantise, PowersAreExactAcrossTheSmallValueRange) {
  Stage s(kMono44);
  TGrInfo& g = s.G(0, 0);
  g = TGrInfo{};
  g.global_gain = 150;  // 2^((150 - 210) / 4) x 2^15 = 1
  s.l3->sf[0][0] = TScaleFact{};
  std::fill(std::begin(s.l3->ix[0]), std::end(s.l3->ix[0]), 0);
  s.l3->ix[0][0] = 31;
  s.l3->ix[0][1] = 32;
  s.l3->ix[0][2] = -8206;
  s.l3->ix[0][3] = 1;
  s.l3->nsamp[0] = 4;
  s.l3->Dequant(0, 0, 0);
  const float* x = s.l3->xr[0][0];
  EXPECT_FLOAT_EQ(x[0], static_cast<float>(std::pow(31.0, 4.0 / 3.0)));
  EXPECT_FLOAT_EQ(x[1], static_cast<float>(std::pow(32.0, 4.0 / 3.0)));
  EXPECT_FLOAT_EQ(x[2], static_cast<float>(-std::pow(8206.0, 4.0 / 3.0)));
  EXPECT_FLOAT_EQ(x[3], 1.0f);
  EXPECT_EQ(s.l3->nsamp[0], 4);  // whole band 0
  EXPECT_EQ(s.l3->cb[0].cbmax, 0);
}

TEST(Layer3Requantise, ScaleFactorsPreEmphasisAndShortBlockGains) {
  Stage s(kMono44);
  TGrInfo& g = s.G(0, 0);
  g = TGrInfo{};
  g.global_gain = 150;
  g.preflag = 1;
  g.scalefac_scale = 1;  // a scale-factor step is 2^-1
  TScaleFact& sf = s.l3->sf[0][0];
  sf = TScaleFact{};
  sf.l[0] = 1;
  sf.l[15] = 1;  // pre-emphasis 2 there
  std::fill(std::begin(s.l3->ix[0]), std::end(s.l3->ix[0]), 1);
  s.l3->nsamp[0] = 576;
  s.l3->Dequant(0, 0, 0);
  const float* x = s.l3->xr[0][0];
  EXPECT_FLOAT_EQ(x[0], 0.5f);
  EXPECT_FLOAT_EQ(x[4], 1.0f);
  EXPECT_FLOAT_EQ(x[134], 0.125f);  // band 15: 2^-(1 + 2)
  EXPECT_FLOAT_EQ(x[62], 0.5f);     // band 11: pre-emphasis 1

  // Short blocks: window w's lines land at 3j + w; sub-block gain is 2^(-2 gain).
  g = TGrInfo{};
  g.global_gain = 150;
  g.window_switching_flag = 1;
  g.block_type = 2;
  g.subblock_gain[1] = 1;
  sf = TScaleFact{};
  std::fill(std::begin(s.l3->ix[0]), std::end(s.l3->ix[0]), 0);
  // Band 0 has 4 lines per window: input lines 0-3 (w 0), 4-7 (w 1), 8-11 (w 2).
  for (int i = 0; i < 12; ++i) s.l3->ix[0][i] = 1 + i / 4;
  s.l3->nsamp[0] = 12;
  s.l3->Dequant(0, 0, 0);
  const float w1 = static_cast<float>(std::pow(2.0, 4.0 / 3.0)) * 0.25f;
  const float w2 = static_cast<float>(std::pow(3.0, 4.0 / 3.0));
  for (int j = 0; j < 4; ++j) {
    EXPECT_FLOAT_EQ(x[3 * j], 1.0f);
    EXPECT_FLOAT_EQ(x[3 * j + 1], w1);
    EXPECT_FLOAT_EQ(x[3 * j + 2], w2);
  }
  EXPECT_EQ(s.l3->cb[0].cbtype, 1);
  EXPECT_EQ(s.l3->cb[0].cbmax, 0);
}

// ---------------------------------------------------------------------------
// Intensity stereo (MPEG-1).

struct IsCase {
  Stage s{kStereo44};
  float* L = s.l3->xr[0][0];
  float* R = s.l3->xr[1][0];
  // Right channel non-zero in bands 0 .. last (-1: none); every position `pos`.
  IsCase(int last, int pos, int ms) {
    TL3Decoder& d = *s.l3;
    d.mode_ext = 1 | (ms << 1);
    d.is_mode = 1;
    d.ms_mode = ms;
    for (int i = 0; i < 576; ++i) {
      L[i] = 1.0f + i;
      R[i] = 0.0f;
    }
    const int end = last >= 0 ? d.sfb_l[last + 1] : 0;
    for (int i = 0; i < end; ++i) R[i] = 0.5f;
    d.cb[0] = TCbInfo{0, 21, 12, 22, {0, 0, 0}};
    d.cb[1] = TCbInfo{0, last, 12, 22, {0, 0, 0}};
    d.nsamp[0] = 576;
    d.nsamp[1] = end;
    for (int b = 0; b < 23; ++b) d.sf[0][1].l[b] = pos;
    d.StereoProcess(0, 0);
  }
};

TEST(Layer3Intensity, PositionSevenLeavesLeftAndSilencesOrCopiesRight) {
  {
    IsCase c(5, 7, 0);
    for (int i = 24; i < 418; ++i) {  // bands 6..20
      ASSERT_FLOAT_EQ(c.L[i], 1.0f + i) << i;
      ASSERT_FLOAT_EQ(c.R[i], 0.0f) << i;
    }
    EXPECT_FLOAT_EQ(c.R[0], 0.5f);  // below the intensity bands: as decoded
  }
  {
    IsCase c(5, 7, 1);  // with mid/side: the left value in both
    for (int i = 24; i < 418; ++i) {
      ASSERT_FLOAT_EQ(c.L[i], 1.0f + i) << i;
      ASSERT_FLOAT_EQ(c.R[i], 1.0f + i) << i;
    }
    EXPECT_FLOAT_EQ(c.L[0], 1.5f);  // mid/side below: a + b
    EXPECT_FLOAT_EQ(c.R[0], 0.5f);  // a - b
  }
}

TEST(Layer3Intensity, PositionsSplitTheLeftValue) {
  IsCase c(5, 3, 0);  // tan(pi / 4) = 1: half each
  EXPECT_FLOAT_EQ(c.L[30], 15.5f);
  EXPECT_FLOAT_EQ(c.R[30], 15.5f);
  IsCase z(5, 0, 0);  // position 0: all right
  EXPECT_FLOAT_EQ(z.L[30], 0.0f);
  EXPECT_FLOAT_EQ(z.R[30], 31.0f);
}

TEST(Layer3Intensity, EmptyRightChannelIsIntensityCodedFromBandZero) {
  IsCase c(-1, 3, 0);
  EXPECT_FLOAT_EQ(c.L[0], 0.5f);
  EXPECT_FLOAT_EQ(c.R[0], 0.5f);
  EXPECT_FLOAT_EQ(c.R[3], 2.0f);
}

// ---------------------------------------------------------------------------
// Hybrid transform against the textbook formulas.

double Window(int bt, int i) {
  const double pi = 3.14159265358979323846;
  switch (bt) {
    case 1:
      return i < 18   ? std::sin(pi / 36 * (i + 0.5))
             : i < 24 ? 1
             : i < 30 ? std::sin(pi / 12 * (i - 18 + 0.5))
                      : 0;
    case 3:
      return i < 6    ? 0
             : i < 12 ? std::sin(pi / 12 * (i - 6 + 0.5))
             : i < 18 ? 1
                      : std::sin(pi / 36 * (i + 0.5));
    default:
      return std::sin(pi / 36 * (i + 0.5));
  }
}

// Windowed IMDCT of one subband as ISO/IEC 11172-3 writes it.
std::vector<double> Reference(const float* X, int bt) {
  const double pi = 3.14159265358979323846;
  std::vector<double> z(36, 0.0);
  if (bt != 2) {
    for (int i = 0; i < 36; ++i) {
      double s = 0;
      for (int k = 0; k < 18; ++k) s += X[k] * std::cos(pi / 72 * (2 * i + 19) * (2 * k + 1));
      z[i] = s * Window(bt, i);
    }
  } else {
    for (int w = 0; w < 3; ++w)
      for (int i = 0; i < 12; ++i) {
        double s = 0;
        for (int k = 0; k < 6; ++k) s += X[3 * k + w] * std::cos(pi / 24 * (2 * i + 7) * (2 * k + 1));
        z[6 + 6 * w + i] += s * std::sin(pi / 12 * (i + 0.5));
      }
  }
  return z;
}

TEST(Layer3Hybrid, EveryBlockTypeMatchesTheStandardTransform) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-1000.0f, 1000.0f);
  for (int bt = 0; bt < 4; ++bt) {
    float cur[576], prev[576], out[576];
    for (float& v : cur) v = u(rng);
    for (float& v : prev) v = u(rng);
    const std::vector<float> in(cur, cur + 576), old(prev, prev + 576);
    const int nlong = bt == 2 ? 0 : 32;
    const int done = L3HybridPlain(cur, prev, out, bt, nlong, 32, 32);
    ASSERT_EQ(done, 32);
    for (int sb = 0; sb < 32; ++sb) {
      const std::vector<double> z = Reference(in.data() + 18 * sb, bt);
      for (int t = 0; t < 18; ++t) {
        ASSERT_NEAR(out[t * 32 + sb], old[18 * sb + t] + z[t], 0.1) << bt << " " << sb << " " << t;
        ASSERT_NEAR(cur[18 * sb + t], z[18 + t], 0.1) << bt << " " << sb << " " << t;
      }
    }
  }
}

TEST(Layer3Hybrid, SilentGranuleAfterSignalPlaysTheOverlapThenNothing) {
  float cur[576], prev[576] = {}, out[576];
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(-1000.0f, 1000.0f);
  for (float& v : cur) v = u(rng);
  L3HybridPlain(cur, prev, out, 0, 32, 32, 0);  // cur now holds the overlap
  const std::vector<float> overlap(cur, cur + 576);
  float zero[576] = {};
  const int done = L3HybridPlain(zero, cur, out, 0, 0, 0, 32);
  EXPECT_EQ(done, 32);
  for (int sb = 0; sb < 32; ++sb)
    for (int t = 0; t < 18; ++t) ASSERT_EQ(out[t * 32 + sb], overlap[18 * sb + t]);
  for (float v : zero) ASSERT_EQ(v, 0.0f);  // the new overlap is silence
  EXPECT_EQ(L3HybridPlain(cur, zero, out, 0, 0, 0, 0), 0);
}

// ---------------------------------------------------------------------------
// Whole frames through the decoder object.

std::vector<uint8_t> Vector(const char* name) {
  return l3test::ReadBytes(std::string(SORREL_TEST_DATA) + "/vectors/" + name);
}

TEST(Layer3Frames, OutputSizesFollowTheStream) {
  struct Case {
    std::vector<uint8_t> hdr;
    int channels, outvalues, samprate;
  } cases[] = {
      {l3test::Header(1, 1, 1, 9, 0, 3), 1, 1152, 44100}, {l3test::Header(1, 1, 1, 9, 0, 0), 2, 2304, 44100},
      {l3test::Header(0, 1, 1, 8, 0, 1), 2, 1152, 22050}, {l3test::Header(0, 2, 1, 4, 0, 3), 1, 576, 11025},
      {l3test::Header(0, 2, 1, 4, 2, 0), 2, 1152, 8000},
  };
  for (const Case& c : cases) {
    TMP3Decoder dec;
    TMPEGHead h = l3test::Parse(c.hdr);
    const int32_t fb = HeadInfo(c.hdr.data(), 0, h);
    ASSERT_EQ(dec.AudioDecodeInit(h, fb, 0, 0, 0, 24000), 1);
    TDecInfo info{};
    dec.AudioDecodeInfo(info);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.outvalues, c.outvalues);
    EXPECT_EQ(info.samprate, c.samprate);
    EXPECT_EQ(info.bits, 16);
    EXPECT_EQ(info.framebytes, fb);
  }
  // Mixing to one channel halves the output of a stereo stream.
  TMP3Decoder dec;
  TMPEGHead h = l3test::Parse(kStereo44);
  ASSERT_EQ(dec.AudioDecodeInit(h, 417, 0, 0, 1, 24000), 1);
  TDecInfo info{};
  dec.AudioDecodeInfo(info);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.outvalues, 1152);
  // No routines for reduced rates or 8-bit output; no Layer III for layer code 0.
  EXPECT_EQ(dec.AudioDecodeInit(h, 417, 1, 0, 0, 24000), 0);
  EXPECT_EQ(dec.AudioDecodeInit(h, 417, 0, 0, 8, 24000), 0);
  h.option = 0;
  EXPECT_EQ(dec.AudioDecodeInit(h, 417, 0, 0, 0, 24000), 0);
  // Records that no header parses to are refused, not used as table indices.
  h = l3test::Parse(kStereo44);
  h.id = 7;
  EXPECT_EQ(dec.AudioDecodeInit(h, 417, 0, 0, 0, 24000), 0);
  h = l3test::Parse(kStereo44);
  h.sync = 2;  // 0xFFE with the MPEG-1 id
  EXPECT_EQ(dec.AudioDecodeInit(h, 417, 0, 0, 0, 24000), 0);
  h = l3test::Parse(kStereo44);
  EXPECT_EQ(dec.AudioDecodeInit(h, 0, 0, 0, 0, 24000), 0);
}

TEST(Layer3Frames, BandLimitsOfThePlayerConfiguration) {
  struct Case {
    std::vector<uint8_t> hdr;
    int limit, limit21, limit12;
  } cases[] = {
      {l3test::Header(1, 1, 1, 9, 0, 0), 558, 558, 558}, {l3test::Header(1, 1, 1, 9, 1, 0), 558, 558, 558},
      {l3test::Header(1, 1, 1, 9, 2, 0), 558, 558, 558}, {l3test::Header(0, 1, 1, 8, 0, 0), 530, 522, 522},
      {l3test::Header(0, 1, 1, 8, 2, 0), 530, 522, 522}, {l3test::Header(0, 1, 1, 8, 1, 0), 548, 540, 540},
      {l3test::Header(0, 2, 1, 4, 0, 0), 530, 522, 522}, {l3test::Header(0, 2, 1, 4, 1, 0), 530, 522, 522},
      {l3test::Header(0, 2, 1, 4, 2, 0), 558, 558, 498},
  };
  for (const Case& c : cases) {
    Stage s(c.hdr, /*full_band=*/false);
    EXPECT_EQ(s.l3->band_limit, c.limit);
    EXPECT_EQ(s.l3->band_limit21, c.limit21);
    EXPECT_EQ(s.l3->band_limit12, c.limit12);
    Stage f(c.hdr, /*full_band=*/true);
    EXPECT_EQ(f.l3->band_limit, 576);
    EXPECT_EQ(f.l3->band_limit_nsb, 32);
  }
}

TEST(Layer3Frames, FirstFrameWithoutItsReservoirIsSilentButConsumed) {
  l3test::Granule g;
  const std::vector<uint8_t> frame = l3test::MonoFrame(100, 0, g, g, {});
  TMP3Decoder dec;
  ASSERT_EQ(dec.AudioDecodeInit(l3test::Parse(frame), 417, 0, 0, 0, 24000), 1);
  std::vector<int16_t> out(1152, 123);
  const TInOut r = dec.AudioDecode(frame.data(), static_cast<int32_t>(frame.size()), out.data());
  EXPECT_EQ(r.in_bytes, 417);
  EXPECT_EQ(r.out_bytes, 2304);
  for (int16_t v : out) ASSERT_EQ(v, 0);
}

TEST(Layer3Frames, ReservoirCompactionKeepsTheStreamSeamless) {
  // A stream that draws on up to 461 bytes of earlier frames: the reservoir is
  // compacted many times, and the output stays within 1 of the reference.
  const auto bits = Vector("l3-sin1k0db.bit");
  const auto ref = l3test::ReadPcm(std::string(SORREL_TEST_DATA) + "/vectors/l3-sin1k0db.pcm");
  ASSERT_FALSE(bits.empty());
  TMP3Decoder owner;
  sorrel::decoder::TSynth synth;
  auto l3 = std::make_unique<TL3Decoder>();
  l3->owner = &owner;
  l3->synth = &synth;
  l3->k = L3PlainKernels();
  const TWalkedStream s = WalkStream(bits);
  ASSERT_TRUE(s.ok);
  ASSERT_TRUE(l3->Init(s.walker.First().head, s.walker.First().rawLength, 0, 24000, true));
  std::vector<int16_t> out(2304), pcm;
  int compactions = 0, frames = 0;
  for (size_t i = 0; i < s.frames.size(); ++i) {
    const int32_t len = s.frames[i].length;
    const bool compacting = l3->buf_ptr1 > 8192 - 1500;
    const TInOut r = l3->DecodeFrame(bits.data() + s.at[i], len, out.data());
    ASSERT_EQ(r.in_bytes, len);
    if (compacting) {
      ++compactions;
      EXPECT_LE(l3->buf_ptr1, 511 + 1500);
    }
    ASSERT_LE(l3->buf_ptr1, 8192);
    if (frames++ >= 2) pcm.insert(pcm.end(), out.begin(), out.end());  // the reference starts at frame 2
  }
  EXPECT_GT(compactions, 10);
  const l3test::Compare c = l3test::ComparePcm(pcm, 0, ref);
  EXPECT_GT(c.common, ref.size() - 4608);
  EXPECT_LE(c.max_diff, 1);
}

TEST(Layer3Frames, PolarityOnTwiceStaysOnAndOffRestoresTheOutputExactly) {
  const auto bits = Vector("l3-si.bit");
  ASSERT_FALSE(bits.empty());
  const l3test::Decoded plain = l3test::DecodeStream(bits, true);
  TMP3Decoder dec;
  dec.SetInvertPolarity(true);
  dec.SetInvertPolarity(true);
  EXPECT_TRUE(dec.PolarityInverted());
  // The flag survives initialisation and negates every sample.
  const TWalkedStream s = WalkStream(bits);
  ASSERT_GE(s.frames.size(), 40u);
  const TMPEGFrame& first = s.walker.First();
  dec.SetFullBand(true);
  ASSERT_EQ(dec.AudioDecodeInit(first.head, first.rawLength, 0, 0, 0, 24000), 1);
  EXPECT_TRUE(dec.PolarityInverted());
  TDecInfo info{};
  dec.AudioDecodeInfo(info);
  std::vector<int16_t> out(static_cast<size_t>(info.outvalues));
  size_t at = 0;
  int nonzero = 0;
  for (size_t f = 0; f < 40; ++f) {
    ASSERT_GT(dec.AudioDecode(bits.data() + s.at[f], s.frames[f].length, out.data()).in_bytes, 0);
    for (int16_t v : out) {
      const int want = -plain.pcm[at++];
      ASSERT_EQ(v, want < -32768 ? -32768 : want > 32767 ? 32767 : want);
      nonzero += v != 0;
    }
  }
  EXPECT_GT(nonzero, 1000);
  dec.SetInvertPolarity(false);
  EXPECT_FALSE(dec.PolarityInverted());
  ASSERT_EQ(dec.AudioDecodeInit(first.head, first.rawLength, 0, 0, 0, 24000), 1);
  at = 0;
  for (size_t f = 0; f < 40; ++f) {
    dec.AudioDecode(bits.data() + s.at[f], s.frames[f].length, out.data());
    for (int16_t v : out) ASSERT_EQ(v, plain.pcm[at++]);
  }
}

// Decodes the first frames of a stream with the given equaliser settings.
std::vector<int16_t> DecodeWithEq(const std::vector<uint8_t>& bits, bool on32, float g32, bool on576,
                                  float g576) {
  TMP3Decoder dec;
  dec.SetFullBand(true);
  dec.SetEqEnabled32(on32);
  dec.SetEqEnabled576(on576);
  for (int i = 0; i < 32; ++i) dec.SetEqGain32(i, g32);
  for (int i = 0; i < 576; ++i) dec.SetEqGain576(i, g576);
  const TWalkedStream s = WalkStream(bits);
  std::vector<int16_t> all;
  if (!s.ok || !dec.AudioDecodeInit(s.walker.First().head, s.walker.First().rawLength, 0, 0, 0, 24000))
    return all;
  TDecInfo info{};
  dec.AudioDecodeInfo(info);
  std::vector<int16_t> out(static_cast<size_t>(info.outvalues));
  for (size_t f = 0; f < 30 && f < s.frames.size(); ++f) {
    dec.AudioDecode(bits.data() + s.at[f], s.frames[f].length, out.data());
    all.insert(all.end(), out.begin(), out.end());
  }
  return all;
}

TEST(Layer3Frames, EqualiserAtLevelZeroChangesNothing) {
  const auto bits = Vector("l3-compl.bit");
  ASSERT_FALSE(bits.empty());
  const float unity = static_cast<float>(std::pow(10.0, 0 / 100.0));  // the engine's gain for level 0
  ASSERT_EQ(unity, 1.0f);
  const auto off = DecodeWithEq(bits, false, 0.0f, false, 0.0f);
  ASSERT_GT(off.size(), 10000u);
  EXPECT_EQ(DecodeWithEq(bits, true, unity, false, 0.0f), off);
  EXPECT_EQ(DecodeWithEq(bits, false, 0.0f, true, unity), off);
  EXPECT_EQ(DecodeWithEq(bits, true, unity, true, unity), off);
  // A line gain of 0 silences the stream (once the first frame's overlap has passed).
  const auto mute = DecodeWithEq(bits, false, 0.0f, true, 0.0f);
  for (size_t i = 2 * 2304; i < mute.size(); ++i) ASSERT_EQ(mute[i], 0) << i;
  int differ = 0;
  for (size_t i = 0; i < off.size(); ++i) differ += off[i] != 0;
  EXPECT_GT(differ, 1000);
}

TEST(Layer3Frames, ChannelConversionsOfAStereoStream) {
  // Left only and right only are the stereo output's channels exactly; mixed to
  // mono is their mean within rounding.
  const auto bits = Vector("l3-test46.bit");
  ASSERT_FALSE(bits.empty());
  const l3test::Decoded st = l3test::DecodeStream(bits, true, 0);
  const l3test::Decoded mix = l3test::DecodeStream(bits, true, 1);
  const l3test::Decoded left = l3test::DecodeStream(bits, true, 2);
  const l3test::Decoded right = l3test::DecodeStream(bits, true, 3);
  ASSERT_EQ(st.channels, 2);
  ASSERT_EQ(mix.channels, 1);
  ASSERT_EQ(left.channels, 1);
  ASSERT_EQ(st.pcm.size(), 2 * mix.pcm.size());
  ASSERT_EQ(left.pcm.size(), mix.pcm.size());
  ASSERT_EQ(right.pcm.size(), mix.pcm.size());
  int worst = 0, differ = 0;
  for (size_t i = 0; i < mix.pcm.size(); ++i) {
    const int l = st.pcm[2 * i], r = st.pcm[2 * i + 1];
    ASSERT_EQ(left.pcm[i], l) << i;
    ASSERT_EQ(right.pcm[i], r) << i;
    worst = std::max(worst, std::abs(2 * mix.pcm[i] - (l + r)));
    differ += l != r;
  }
  EXPECT_LE(worst, 3);      // 2 x mean, each side rounded once
  EXPECT_GT(differ, 1000);  // the channels really differ
}

TEST(Layer3Frames, FullScaleClipsInsteadOfWrapping) {
  // Large escape values at the highest global gain in the lowest lines of both
  // granules.
  BitWriter w2;
  int bits_per_granule = 0;
  for (int gr = 0; gr < 2; ++gr) {
    for (int i = 0; i < 8; ++i) {
      w2.PutPair(31, 15, 15);
      w2.Put(0x1FFF, 13);
      w2.Put(i & 1, 1);
      w2.Put(0x1FFF, 13);
      w2.Put(i & 1, 1);
    }
    if (gr == 0) bits_per_granule = w2.bits();
  }
  l3test::Granule g;
  g.part2_3_length = bits_per_granule;
  g.big_values = 8;
  g.global_gain = 255;
  g.table_select[0] = g.table_select[1] = g.table_select[2] = 31;
  g.region0_count = 15;
  g.region1_count = 7;
  const std::vector<uint8_t> frame = l3test::MonoFrame(0, 0, g, g, w2.bytes());
  TMP3Decoder dec;
  ASSERT_EQ(dec.AudioDecodeInit(l3test::Parse(frame), 417, 0, 0, 0, 24000), 1);
  std::vector<int16_t> out(1152);
  int hi = 0, lo = 0;
  for (int f = 0; f < 3; ++f) {
    ASSERT_EQ(dec.AudioDecode(frame.data(), 417, out.data()).in_bytes, 417);
    for (int16_t v : out) {
      hi += v == 32767;
      lo += v == -32768;
    }
  }
  EXPECT_GT(hi, 50);
  EXPECT_GT(lo, 50);
}

TEST(Layer3Frames, BrokenFramesAreRefusedWithoutTouchingTheReservoir) {
  const auto bits = Vector("l3-si.bit");
  ASSERT_FALSE(bits.empty());
  TMP3Decoder dec;
  std::vector<int16_t> out(2304, 5);
  // Not initialised yet.
  EXPECT_EQ(dec.AudioDecode(bits.data(), static_cast<int32_t>(bits.size()), out.data()).in_bytes, 0);
  const TWalkedStream s = WalkStream(bits);
  ASSERT_GE(s.frames.size(), 20u);
  const int32_t fb = s.walker.First().rawLength;
  ASSERT_EQ(dec.AudioDecodeInit(s.walker.First().head, fb, 0, 0, 0, 24000), 1);
  TDecInfo info{};
  dec.AudioDecodeInfo(info);
  out.assign(static_cast<size_t>(info.outvalues), 5);
  const uint8_t* f = bits.data() + s.at[0];
  // Truncated: fewer bytes than the frame.
  EXPECT_EQ(dec.AudioDecode(f, fb - 10, out.data()).in_bytes, 0);
  EXPECT_EQ(dec.AudioDecode(f, 3, out.data()).in_bytes, 0);
  // Wrong sync, another version, a reserved rate, bit-rate index 15.
  std::vector<uint8_t> bad(f, f + fb + 1);
  bad[1] = 0xE3;  // MPEG-2.5 sync in an MPEG-1 stream
  EXPECT_EQ(dec.AudioDecode(bad.data(), static_cast<int32_t>(bad.size()), out.data()).in_bytes, 0);
  bad[1] = f[1] & ~0x08;  // MPEG-2 id
  EXPECT_EQ(dec.AudioDecode(bad.data(), static_cast<int32_t>(bad.size()), out.data()).in_bytes, 0);
  bad[1] = f[1];
  bad[2] = static_cast<uint8_t>(f[2] | 0x0C);
  EXPECT_EQ(dec.AudioDecode(bad.data(), static_cast<int32_t>(bad.size()), out.data()).in_bytes, 0);
  bad[2] = static_cast<uint8_t>(f[2] | 0xF0);
  EXPECT_EQ(dec.AudioDecode(bad.data(), static_cast<int32_t>(bad.size()), out.data()).in_bytes, 0);
  for (int16_t v : out) ASSERT_EQ(v, 5);  // nothing written on refusal
  // The stream still decodes as if those calls had not happened.
  const l3test::Decoded ref = l3test::DecodeStream(bits, false);
  std::vector<int16_t> got;
  for (size_t i = 0; i < 20; ++i) {
    ASSERT_GT(dec.AudioDecode(bits.data() + s.at[i], s.frames[i].length, out.data()).in_bytes, 0);
    got.insert(got.end(), out.begin(), out.end());
  }
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], ref.pcm[i]) << i;
}

}  // namespace
