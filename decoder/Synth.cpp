// Polyphase synthesis filterbank (see Synth.h).
#include "decoder/Synth.h"

#include <cmath>
#include <cstring>

#include "decoder/simd/DctImpl.h"

namespace sorrel::decoder {

namespace {

// ISO/IEC 11172-3 synthesis window D[i] in units of 2^-16 (every coefficient
// of the published table is a multiple of 1/65536).
constexpr int32_t kWindow65536[512] = {
    0,      -1,     -1,     -1,     -1,     -1,     -1,     -2,     -2,     -2,     -2,     -3,     -3,
    -4,     -4,     -5,     -5,     -6,     -7,     -7,     -8,     -9,     -10,    -11,    -13,    -14,
    -16,    -17,    -19,    -21,    -24,    -26,    -29,    -31,    -35,    -38,    -41,    -45,    -49,
    -53,    -58,    -63,    -68,    -73,    -79,    -85,    -91,    -97,    -104,   -111,   -117,   -125,
    -132,   -139,   -147,   -154,   -161,   -169,   -176,   -183,   -190,   -196,   -202,   -208,   213,
    218,    222,    225,    227,    228,    228,    227,    224,    221,    215,    208,    200,    189,
    177,    163,    146,    127,    106,    83,     57,     29,     -2,     -36,    -72,    -111,   -153,
    -197,   -244,   -294,   -347,   -401,   -459,   -519,   -581,   -645,   -711,   -779,   -848,   -919,
    -991,   -1064,  -1137,  -1210,  -1283,  -1356,  -1428,  -1498,  -1567,  -1634,  -1698,  -1759,  -1817,
    -1870,  -1919,  -1962,  -2001,  -2032,  -2057,  -2075,  -2085,  -2087,  -2080,  -2063,  2037,   2000,
    1952,   1893,   1822,   1739,   1644,   1535,   1414,   1280,   1131,   970,    794,    605,    402,
    185,    -45,    -288,   -545,   -814,   -1095,  -1388,  -1692,  -2006,  -2330,  -2663,  -3004,  -3351,
    -3705,  -4063,  -4425,  -4788,  -5153,  -5517,  -5879,  -6237,  -6589,  -6935,  -7271,  -7597,  -7910,
    -8209,  -8491,  -8755,  -8998,  -9219,  -9416,  -9585,  -9727,  -9838,  -9916,  -9959,  -9966,  -9935,
    -9863,  -9750,  -9592,  -9389,  -9139,  -8840,  -8492,  -8092,  -7640,  -7134,  6574,   5959,   5288,
    4561,   3776,   2935,   2037,   1082,   70,     -998,   -2122,  -3300,  -4533,  -5818,  -7154,  -8540,
    -9975,  -11455, -12980, -14548, -16155, -17799, -19478, -21189, -22929, -24694, -26482, -28289, -30112,
    -31947, -33791, -35640, -37489, -39336, -41176, -43006, -44821, -46617, -48390, -50137, -51853, -53534,
    -55178, -56778, -58333, -59838, -61289, -62684, -64019, -65290, -66494, -67629, -68692, -69679, -70590,
    -71420, -72169, -72835, -73415, -73908, -74313, -74630, -74856, -74992, 75038,  74992,  74856,  74630,
    74313,  73908,  73415,  72835,  72169,  71420,  70590,  69679,  68692,  67629,  66494,  65290,  64019,
    62684,  61289,  59838,  58333,  56778,  55178,  53534,  51853,  50137,  48390,  46617,  44821,  43006,
    41176,  39336,  37489,  35640,  33791,  31947,  30112,  28289,  26482,  24694,  22929,  21189,  19478,
    17799,  16155,  14548,  12980,  11455,  9975,   8540,   7154,   5818,   4533,   3300,   2122,   998,
    -70,    -1082,  -2037,  -2935,  -3776,  -4561,  -5288,  -5959,  6574,   7134,   7640,   8092,   8492,
    8840,   9139,   9389,   9592,   9750,   9863,   9935,   9966,   9959,   9916,   9838,   9727,   9585,
    9416,   9219,   8998,   8755,   8491,   8209,   7910,   7597,   7271,   6935,   6589,   6237,   5879,
    5517,   5153,   4788,   4425,   4063,   3705,   3351,   3004,   2663,   2330,   2006,   1692,   1388,
    1095,   814,    545,    288,    45,     -185,   -402,   -605,   -794,   -970,   -1131,  -1280,  -1414,
    -1535,  -1644,  -1739,  -1822,  -1893,  -1952,  -2000,  2037,   2063,   2080,   2087,   2085,   2075,
    2057,   2032,   2001,   1962,   1919,   1870,   1817,   1759,   1698,   1634,   1567,   1498,   1428,
    1356,   1283,   1210,   1137,   1064,   991,    919,    848,    779,    711,    645,    581,    519,
    459,    401,    347,    294,    244,    197,    153,    111,    72,     36,     2,      -29,    -57,
    -83,    -106,   -127,   -146,   -163,   -177,   -189,   -200,   -208,   -215,   -221,   -224,   -227,
    -228,   -228,   -227,   -225,   -222,   -218,   213,    208,    202,    196,    190,    183,    176,
    169,    161,    154,    147,    139,    132,    125,    117,    111,    104,    97,     91,     85,
    79,     73,     68,     63,     58,     53,     49,     45,     41,     38,     35,     31,     29,
    26,     24,     21,     19,     17,     16,     14,     13,     11,     10,     9,      8,      7,
    7,      6,      5,      5,      4,      4,      3,      3,      2,      2,      2,      2,      1,
    1,      1,      1,      1,      1,
};

struct TSynthTables {
  float window[512];
  // Factors 0.5 / cos((2k + 1) pi / (4n)) of the factorised DCT, for the
  // stages n = 16, 8, 4, 2, 1 (31 values, stage of n at offset 32 - 2n).
  float dct[31];
  TSynthTables() {
    for (int i = 0; i < 512; ++i) window[i] = static_cast<float>(kWindow65536[i] / 65536.0);
    int o = 0;
    for (int n = 16; n >= 1; n /= 2)
      for (int k = 0; k < n; ++k)
        dct[o++] = static_cast<float>(0.5 / std::cos((2 * k + 1) * M_PI / (4.0 * n)));
  }
};

// Built on first use; the local static makes concurrent first calls safe.
const TSynthTables& Tables() {
  static const TSynthTables t;
  return t;
}

inline int16_t RoundClip(float s) {
  // NaN ends up at the lower bound, like the vector routines' conversion.
  s = s > -32768.0f ? s : -32768.0f;
  s = s < 32767.0f ? s : 32767.0f;
  return static_cast<int16_t>(std::lrintf(s));
}

struct TSame {
  float operator()(float f) const { return f; }
};

}  // namespace

void Dct32(const float* in, float* out) { DctRec<32>(in, out, Tables().dct, TSame{}, 0.0f); }

void SynthDctPlain(const float* in, int sbStride, int slotStride, int nslots, const float* gains, float* v,
                   int pos, const float* dct) {
  for (int t = 0; t < nslots; ++t) {
    float x[32], a[32];
    const float* p = in + t * slotStride;
    for (int s = 0; s < 32; ++s) x[s] = p[s * sbStride];
    if (gains)
      for (int s = 0; s < 32; ++s) x[s] *= gains[s];
    DctRec<32>(x, a, dct, TSame{}, 0.0f);
    ExpandSlot(a, v + ((pos - t) & (TSynth::kSlots - 1)) * TSynth::kSlotValues, 0.0f);
  }
}

void SynthWindowPlain(const float* v, int pos, const float* win, int16_t* out, int outStride) {
  float acc[32];
  for (int j = 0; j < 32; ++j) acc[j] = 0.0f;
  for (int r = 0; r < 16; ++r) {
    const float* row = v + ((pos + r) & (TSynth::kSlots - 1)) * TSynth::kSlotValues + (r & 1) * 32;
    const float* w = win + 32 * r;
    for (int j = 0; j < 32; ++j) acc[j] += row[j] * w[j];
  }
  for (int j = 0; j < 32; ++j) out[j * outStride] = RoundClip(acc[j]);
}

void SynthWindow2Plain(const float* v0, const float* v1, int pos0, int pos1, const float* win, int16_t* out) {
  SynthWindowPlain(v0, pos0, win, out, 2);
  SynthWindowPlain(v1, pos1, win, out + 1, 2);
}

const float* TSynth::IsoWindow() { return Tables().window; }
const float* TSynth::DctFactors() { return Tables().dct; }

TSynth::TSynth() : window_(SynthWindowPlain), window2_(SynthWindow2Plain), dct_(SynthDctPlain) {
  std::memcpy(win_, Tables().window, sizeof win_);
  for (auto& g : ownEqGain_) g.store(0.0f, std::memory_order_relaxed);
  Reset();
}

void TSynth::Reset() {
  std::memset(v_, 0, sizeof v_);
  pos_[0] = pos_[1] = 0;
}

void TSynth::SetInvertPolarity(bool on) {
  if (on == inverted_) return;
  inverted_ = on;
  for (float& w : win_) w = -w;
}

void TSynth::AttachEqualizer(const std::atomic<int32_t>* enabled, const std::atomic<float>* gains32) {
  eqEnabled_ = enabled ? enabled : &ownEqEnabled_;
  eqGain_ = enabled && gains32 ? gains32 : ownEqGain_.data();
}

void TSynth::SetEqGain32(int subband, float gain) {
  if (subband >= 0 && subband < 32) ownEqGain_[subband].store(gain, std::memory_order_relaxed);
}

float TSynth::EqGain32(int subband) const {
  return subband >= 0 && subband < 32 ? eqGain_[subband].load(std::memory_order_relaxed) : 0.0f;
}

// Matrixing of up to kBatch slots into the channel's ring, from the current
// position on; the equaliser is read once per batch.
void TSynth::Matrix(int ch, const float* in, int sbStride, int slotStride, int n) {
  float gains[32];
  const float* g = nullptr;
  if (eqEnabled_->load(std::memory_order_relaxed) != 0) {
    for (int s = 0; s < 32; ++s) gains[s] = eqGain_[s].load(std::memory_order_relaxed);
    g = gains;
  }
  dct_(in, sbStride, slotStride, n, g, v_[ch], pos_[ch], Tables().dct);
}

void TSynth::Synth(int ch, const float* in, int inStride, int16_t* out, int outStride) {
  SynthSlots(ch, in, inStride, 0, 1, out, outStride);
}

void TSynth::SynthSlots(int ch, const float* in, int inStride, int slotStride, int slots, int16_t* out,
                        int outStride) {
  ch &= 1;
  for (int t0 = 0; t0 < slots; t0 += kBatch) {
    const int n = slots - t0 < kBatch ? slots - t0 : kBatch;
    Matrix(ch, in + t0 * slotStride, inStride, slotStride, n);
    for (int t = 0; t < n; ++t) {
      window_(v_[ch], pos_[ch], win_, out + (t0 + t) * 32 * outStride, outStride);
      Advance(ch);
    }
  }
}

void TSynth::SynthSlotsStereo(const float* in0, const float* in1, int inStride, int slotStride, int slots,
                              int16_t* out) {
  for (int t0 = 0; t0 < slots; t0 += kBatch) {
    const int n = slots - t0 < kBatch ? slots - t0 : kBatch;
    Matrix(0, in0 + t0 * slotStride, inStride, slotStride, n);
    Matrix(1, in1 + t0 * slotStride, inStride, slotStride, n);
    for (int t = 0; t < n; ++t) {
      window2_(v_[0], v_[1], pos_[0], pos_[1], win_, out + (t0 + t) * 64);
      Advance(0);
      Advance(1);
    }
  }
}

void TSynth::SynthSlotL12(TSynthChannels mode, const float* row, int16_t* out) {
  SynthRowsL12(mode, row, 1, out);
}

// Layers I and II: both channels at channel 0's position.
void TSynth::SynthRowsL12(TSynthChannels mode, const float* rows, int slots, int16_t* out) {
  const bool stereo = mode == TSynthChannels::scStereo;
  const int step = stereo ? 64 : 32;
  for (int t0 = 0; t0 < slots; t0 += kBatch) {
    const int n = slots - t0 < kBatch ? slots - t0 : kBatch;
    const float* r = rows + 64 * t0;
    if (mode == TSynthChannels::scMonoSource) {
      Matrix(0, r, 1, 64, n);
    } else {
      // Pick, mix or separate the interleaved channels into contiguous rows
      // (the matrixing reads those fastest).
      float x0[kBatch][32], x1[kBatch][32];
      for (int t = 0; t < n; ++t) {
        const float* q = r + 64 * t;
        switch (mode) {
          case TSynthChannels::scStereo:
            for (int s = 0; s < 32; ++s) {
              x0[t][s] = q[2 * s];
              x1[t][s] = q[2 * s + 1];
            }
            break;
          case TSynthChannels::scMixToMono:
            for (int s = 0; s < 32; ++s) x0[t][s] = (q[2 * s] + q[2 * s + 1]) * 0.5f;
            break;
          case TSynthChannels::scRightOnly:
            for (int s = 0; s < 32; ++s) x0[t][s] = q[2 * s + 1];
            break;
          default:
            for (int s = 0; s < 32; ++s) x0[t][s] = q[2 * s];
            break;
        }
      }
      Matrix(0, x0[0], 1, 32, n);
      if (stereo) {
        pos_[1] = pos_[0];
        Matrix(1, x1[0], 1, 32, n);
      }
    }
    for (int t = 0; t < n; ++t) {
      int16_t* o = out + (t0 + t) * step;
      if (stereo)
        window2_(v_[0], v_[1], pos_[0], pos_[0], win_, o);
      else
        window_(v_[0], pos_[0], win_, o, 1);
      Advance(0);
    }
  }
}

}  // namespace sorrel::decoder
