// Layer I and Layer II decoding (see Layer12.h).
#include "decoder/Layer12.h"

#include <cmath>
#include <cstring>

#include "decoder/MP3Decoder.h"

namespace sorrel::decoder {

namespace {

// Bit reader for Layer I/II frames: most significant bit first; bytes past the
// end of the frame read as zero, so a frame that claims more bits than it
// holds never reads outside its buffer.
struct TL12Bits {
  const uint8_t* p;
  const uint8_t* end;
  uint64_t acc = 0;
  int n = 0;
  TL12Bits(const uint8_t* b, const uint8_t* e) : p(b), end(e) {}
  void Fill() {
    if (end - p >= 8) {  // fast path: as many whole bytes as fit, from one load
      uint64_t w = 0;
      for (int i = 0; i < 8; ++i)  // big-endian load; compilers make it one instruction
        w = (w << 8) | p[i];
      const int bytes = (63 - n) >> 3;
      acc = (acc << (8 * bytes)) | (w >> (64 - 8 * bytes));
      p += bytes;
      n += 8 * bytes;
      return;
    }
    while (n <= 56) {
      acc = (acc << 8) | (p < end ? *p++ : 0u);
      n += 8;
    }
  }
  uint32_t Get(int bits) {  // 1..32
    if (n < bits) Fill();
    n -= bits;
    return static_cast<uint32_t>((acc >> n) & ((uint64_t(1) << bits) - 1));
  }
  void Skip(int64_t bits) {
    if (bits <= n) {
      n -= static_cast<int>(bits);
      return;
    }
    bits -= n;
    n = 0;
    acc = 0;
    const int64_t bytes = bits / 8;
    const int64_t left = end - p;
    p += bytes < left ? bytes : left;
    if (bits % 8) Get(static_cast<int>(bits % 8));
  }
};

// Number of quantisation steps of Layer II classes 1..17.
constexpr int32_t kSteps[18] = {0,   3,   5,    7,    9,    15,   31,    63,    127,
                                255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};
// Bits a class's three samples take (grouped classes 1, 2, 4 one code).
constexpr int32_t kTripleBits[18] = {0, 5, 7, 9, 10, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42, 45, 48};
// Bits of one code of the ungrouped classes.
constexpr int32_t kCodeBits[18] = {0, 0, 0, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

struct TL2Group {
  int32_t size;
  int32_t width;
  uint8_t cls[16];
};
struct TL2AllocTable {
  TL2Group g[4];
};

// ISO/IEC 11172-3 B.2a-B.2d and ISO/IEC 13818-3 B.1: groups of consecutive
// subbands with their allocation-code width and code-to-class map.
constexpr uint8_t kMapA[16] = {0, 1, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
constexpr uint8_t kMapB[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 17};
constexpr uint8_t kMapC[16] = {0, 1, 2, 3, 4, 5, 6, 17};
constexpr uint8_t kMapD[16] = {0, 1, 2, 17};
constexpr uint8_t kMapLowA[16] = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
constexpr uint8_t kMapLowB[16] = {0, 1, 2, 4, 5, 6, 7, 8};
constexpr uint8_t kMapLsfA[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr uint8_t kMapLsfC[16] = {0, 1, 2, 4};

TL2Group G(int32_t size, int32_t width, const uint8_t (&m)[16]) {
  TL2Group g{size, width, {}};
  for (int i = 0; i < 16; ++i) g.cls[i] = m[i];
  return g;
}

struct TL12Tables {
  float sfMul[64];    // 65536 x 2^(-k/3)
  float l2Const[18];  // 2 / steps
  float l1Const[16];  // 2 / (2^(a+1) - 1)
  int8_t group3[32][3];
  int8_t group5[128][3];
  int16_t group9[1024][3];
  TL2AllocTable alloc[5];
  TL12Tables() {
    for (int k = 0; k < 64; ++k) sfMul[k] = static_cast<float>(65536.0 * std::pow(2.0, -k / 3.0));
    l2Const[0] = 0.0f;
    for (int c = 1; c < 18; ++c) l2Const[c] = static_cast<float>(2.0 / kSteps[c]);
    l1Const[0] = 0.0f;
    for (int a = 1; a < 16; ++a) l1Const[a] = static_cast<float>(2.0 / ((1 << (a + 1)) - 1));
    for (int c = 0; c < 32; ++c)
      for (int i = 0, v = c; i < 3; ++i, v /= 3) group3[c][i] = static_cast<int8_t>(v % 3 - 1);
    for (int c = 0; c < 128; ++c)
      for (int i = 0, v = c; i < 3; ++i, v /= 5) group5[c][i] = static_cast<int8_t>(v % 5 - 2);
    for (int c = 0; c < 1024; ++c)
      for (int i = 0, v = c; i < 3; ++i, v /= 9) group9[c][i] = static_cast<int16_t>(v % 9 - 4);
    alloc[l2tB2a] = {{G(3, 4, kMapA), G(8, 4, kMapB), G(12, 3, kMapC), G(4, 2, kMapD)}};
    alloc[l2tB2b] = {{G(3, 4, kMapA), G(8, 4, kMapB), G(12, 3, kMapC), G(7, 2, kMapD)}};
    alloc[l2tB2c] = {{G(2, 4, kMapLowA), G(0, 4, kMapLowA), G(6, 3, kMapLowB), G(0, 2, kMapD)}};
    alloc[l2tB2d] = {{G(2, 4, kMapLowA), G(0, 4, kMapLowA), G(10, 3, kMapLowB), G(0, 2, kMapD)}};
    alloc[l2tLsf] = {{G(4, 4, kMapLsfA), G(0, 4, kMapLsfA), G(7, 3, kMapLowB), G(19, 2, kMapLsfC)}};
  }
};

const TL12Tables& Tables() {
  static const TL12Tables t;  // built once; concurrent first use is safe
  return t;
}

// Joint-stereo bound in subbands from mode and mode extension.
int32_t BoundSubbands(int32_t mode, int32_t modeExt) {
  if (mode == 1) return 4 * (modeExt + 1);
  return mode == 3 ? 16 : 32;  // a single-channel frame in a two-channel stream: as the
                               // interleaved bound 32 reads, garbage but bounded
}

int32_t LimitFor(int32_t freqLimit, int32_t f, int32_t maxSb, bool fullBand) {
  if (fullBand) return maxSb;
  int32_t lim = static_cast<int32_t>((64LL * freqLimit + f / 2) / f);
  if (lim > 31) lim = 31;  // 32 >> reduction, less one above 8
  return lim < maxSb ? lim : maxSb;
}

}  // namespace

int32_t L2TableFor(int32_t mode, int32_t sr_index, int32_t br_index) {
  static constexpr int32_t kRates[16] = {0,   32,  48,  56,  64,  80,  96,  112,
                                         128, 160, 192, 224, 256, 320, 384, -1};
  if (mode < 0 || mode > 3 || sr_index < 0 || sr_index > 2 || br_index < 0 || br_index > 14) return -1;
  if (br_index == 0)  // free format
    return sr_index == 1 ? l2tB2a : l2tB2b;
  const bool mono = mode == 3;
  const int32_t rate = kRates[br_index];
  // The standard allows 32-192 kbit/s for one channel, 64 and 96-384 for two.
  if (mono ? rate > 192 : (rate < 64 || rate == 80)) return -1;
  const int32_t perCh = mono ? rate : rate / 2;
  if (perCh <= 48) return sr_index == 2 ? l2tB2d : l2tB2c;
  if (sr_index == 1 || perCh <= 80) return l2tB2a;
  return l2tB2b;
}

float TL12Decoder::ScaleMultiplier(int k) { return k >= 0 && k < 64 ? Tables().sfMul[k] : 0.0f; }
float TL12Decoder::L2ClassConstant(int c) { return c >= 0 && c < 18 ? Tables().l2Const[c] : 0.0f; }

int32_t TL12Decoder::Init(const TMPEGHead& head, int32_t framebytes, int32_t reduction, int32_t convert,
                          int32_t freqLimit, bool fullBand, TSynth& synth, TDecInfo& info) {
  layer_ = 0;
  if (reduction != 0 || head.sr_index < 0 || head.sr_index > 2) return 0;
  if (head.option != 3 && head.option != 2 && head.option != 0) return 0;
  static constexpr int32_t kRate[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};
  const int32_t f = kRate[head.id & 1][head.sr_index];
  if (freqLimit < 1000) freqLimit = 1000;
  channels_ = head.mode == 3 ? 1 : 2;

  const int32_t layer = head.option == 3 ? 1 : 2;
  int32_t samplesPerCh;
  if (layer == 2) {
    table_ = head.id == 1 ? L2TableFor(head.mode, head.sr_index, head.br_index) : l2tLsf;
    if (table_ < 0) return 0;
    maxSb_ = 0;
    for (const TL2Group& g : Tables().alloc[table_].g) maxSb_ += g.size;
    samplesPerCh = 1152;
  } else {
    table_ = -1;
    maxSb_ = 32;
    samplesPerCh = 384;
  }
  limitSb_ = LimitFor(freqLimit, f, maxSb_, fullBand);

  if (channels_ == 1) {
    synthMode_ = TSynthChannels::scMonoSource;
    outChannels_ = 1;
  } else {
    switch (convert & 3) {
      case 1:
        synthMode_ = TSynthChannels::scMixToMono;
        break;
      case 2:
        synthMode_ = TSynthChannels::scLeftOnly;
        break;
      case 3:
        synthMode_ = TSynthChannels::scRightOnly;
        break;
      default:
        synthMode_ = TSynthChannels::scStereo;
        break;
    }
    outChannels_ = synthMode_ == TSynthChannels::scStereo ? 2 : 1;
  }
  framebytes_ = framebytes;
  outBytes_ = 2 * samplesPerCh * outChannels_;
  std::memset(samples_, 0, sizeof samples_);
  std::memset(cls_, 0, sizeof cls_);
  std::memset(scale_, 0, sizeof scale_);
  synth.Reset();

  info.channels = outChannels_;
  info.outvalues = samplesPerCh * outChannels_;
  info.samprate = f;
  info.bits = 16;
  info.framebytes = framebytes;
  info.type = 0;
  layer_ = layer;
  return 1;
}

TInOut TL12Decoder::DecodeFrame(const uint8_t* in, int32_t avail, int16_t* out, TSynth& synth) {
  if (layer_ == 0 || in == nullptr || avail < 4) return {0, 0};
  if (in[0] != 0xFF || (in[1] & 0xF0) != 0xF0)  // 0xFFF only: no MPEG-2.5 here
    return {0, 0};
  const int32_t pad = (in[2] >> 1) & 1;
  const int32_t total = framebytes_ + pad * (layer_ == 1 ? 4 : 1);
  if (total < 4 || total > avail) return {0, 0};
  const int32_t slots = layer_ == 1 ? DecodeLayer1(in, total) : DecodeLayer2(in, total);
  synth.SynthRowsL12(synthMode_, samples_, slots, out);
  return {total, outBytes_};
}

int32_t TL12Decoder::DecodeLayer1(const uint8_t* in, int32_t len) {
  const TL12Tables& T = Tables();
  TL12Bits bs(in, in + len);
  bs.Get(16);
  const int32_t prot = (in[1] & 1);
  bs.Get(16);
  if (prot == 0) bs.Get(16);  // CRC, not checked
  const int32_t mode = in[3] >> 6, modeExt = (in[3] >> 4) & 3;
  const int nch = channels_;
  int32_t bound = nch == 2 ? BoundSubbands(mode, modeExt) : 32;
  if (bound > 32) bound = 32;

  // Allocation: 4 bits per subband and channel, one for both in the joint
  // region. The forbidden value 15 is taken as "not coded": the subband stays
  // silent and nothing is read for it.
  uint8_t alloc[2][32];
  for (int sb = 0; sb < 32; ++sb) {
    if (sb < bound) {
      for (int ch = 0; ch < nch; ++ch) {
        uint32_t a = bs.Get(4);
        alloc[ch][sb] = static_cast<uint8_t>(a == 15 ? 0 : a);
      }
    } else {
      uint32_t a = bs.Get(4);
      alloc[0][sb] = alloc[1][sb] = static_cast<uint8_t>(a == 15 ? 0 : a);
    }
  }
  for (int sb = 0; sb < 32; ++sb)
    for (int ch = 0; ch < nch; ++ch)
      scale_[ch][sb][0] = alloc[ch][sb] ? T.l1Const[alloc[ch][sb]] * T.sfMul[bs.Get(6)] : 0.0f;

  // Bits of one time slot above the decode limit, skipped whole.
  int64_t skip = 0;
  for (int sb = limitSb_; sb < 32; ++sb) {
    if (sb < bound) {
      for (int ch = 0; ch < nch; ++ch) skip += alloc[ch][sb] ? alloc[ch][sb] + 1 : 0;
    } else {
      skip += alloc[0][sb] ? alloc[0][sb] + 1 : 0;
    }
  }

  for (int t = 0; t < 12; ++t) {
    float* row = samples_ + 64 * t;
    for (int sb = 0; sb < limitSb_; ++sb) {
      if (sb < bound) {
        for (int ch = 0; ch < nch; ++ch) {
          const int a = alloc[ch][sb];
          float v = 0.0f;
          if (a) {
            const int32_t code = static_cast<int32_t>(bs.Get(a + 1));
            v = static_cast<float>(code - ((1 << a) - 1)) * scale_[ch][sb][0];
          }
          row[nch == 2 ? 2 * sb + ch : sb] = v;
        }
      } else {
        const int a = alloc[0][sb];
        float v = 0.0f;
        if (a) v = static_cast<float>(static_cast<int32_t>(bs.Get(a + 1)) - ((1 << a) - 1));
        row[2 * sb] = v * scale_[0][sb][0];
        row[2 * sb + 1] = v * scale_[1][sb][0];
      }
    }
    bs.Skip(skip);
  }
  return 12;
}

int32_t TL12Decoder::DecodeLayer2(const uint8_t* in, int32_t len) {
  const TL12Tables& T = Tables();
  const TL2AllocTable& tab = T.alloc[table_];
  TL12Bits bs(in, in + len);
  bs.Get(16);
  const int32_t prot = (in[1] & 1);
  bs.Get(16);
  if (prot == 0) bs.Get(16);  // CRC, not checked
  const int32_t mode = in[3] >> 6, modeExt = (in[3] >> 4) & 3;
  const int nch = channels_;
  const int32_t bound = nch == 2 ? BoundSubbands(mode, modeExt) : 32;

  // Allocation, group by group; in the joint region one code serves both
  // channels.
  bool shared[32];
  int sb = 0;
  for (const TL2Group& g : tab.g) {
    for (int i = 0; i < g.size; ++i, ++sb) {
      shared[sb] = sb >= bound;
      if (!shared[sb]) {
        for (int ch = 0; ch < nch; ++ch) cls_[ch][sb] = g.cls[bs.Get(g.width)];
      } else {
        cls_[0][sb] = cls_[1][sb] = g.cls[bs.Get(g.width)];
      }
    }
  }
  uint8_t scfsi[2][32];
  for (sb = 0; sb < maxSb_; ++sb)
    for (int ch = 0; ch < nch; ++ch) scfsi[ch][sb] = cls_[ch][sb] ? static_cast<uint8_t>(bs.Get(2)) : 4;
  for (sb = 0; sb < maxSb_; ++sb) {
    for (int ch = 0; ch < nch; ++ch) {
      const int c = cls_[ch][sb];
      if (!c) continue;
      int s0, s1, s2;
      switch (scfsi[ch][sb]) {
        case 0:
          s0 = bs.Get(6);
          s1 = bs.Get(6);
          s2 = bs.Get(6);
          break;
        case 1:
          s0 = s1 = bs.Get(6);
          s2 = bs.Get(6);
          break;
        case 2:
          s0 = s1 = s2 = bs.Get(6);
          break;
        default:
          s0 = bs.Get(6);
          s1 = s2 = bs.Get(6);
          break;
      }
      const float k = T.l2Const[c];
      scale_[ch][sb][0] = k * T.sfMul[s0];
      scale_[ch][sb][1] = k * T.sfMul[s1];
      scale_[ch][sb][2] = k * T.sfMul[s2];
    }
  }

  // Bits of one granule (three slots) above the decode limit, skipped whole.
  int64_t skip = 0;
  for (sb = limitSb_; sb < maxSb_; ++sb) {
    skip += kTripleBits[cls_[0][sb]];
    if (nch == 2 && !shared[sb]) skip += kTripleBits[cls_[1][sb]];
  }

  auto readTriple = [&](int c, int32_t v[3]) {
    switch (c) {
      case 1: {
        const int8_t* d = T.group3[bs.Get(5)];
        v[0] = d[0];
        v[1] = d[1];
        v[2] = d[2];
        break;
      }
      case 2: {
        const int8_t* d = T.group5[bs.Get(7)];
        v[0] = d[0];
        v[1] = d[1];
        v[2] = d[2];
        break;
      }
      case 4: {
        const int16_t* d = T.group9[bs.Get(10)];
        v[0] = d[0];
        v[1] = d[1];
        v[2] = d[2];
        break;
      }
      default: {
        const int nb = kCodeBits[c];
        const int32_t half = (kSteps[c] - 1) / 2;
        v[0] = static_cast<int32_t>(bs.Get(nb)) - half;
        v[1] = static_cast<int32_t>(bs.Get(nb)) - half;
        v[2] = static_cast<int32_t>(bs.Get(nb)) - half;
        break;
      }
    }
  };

  for (int part = 0; part < 3; ++part) {
    for (int gr = 0; gr < 4; ++gr) {
      float* row = samples_ + 64 * (part * 12 + gr * 3);
      for (sb = 0; sb < limitSb_; ++sb) {
        int32_t v[3];
        if (nch == 1) {
          const int c = cls_[0][sb];
          if (!c) {
            row[sb] = row[64 + sb] = row[128 + sb] = 0.0f;
            continue;
          }
          readTriple(c, v);
          const float m = scale_[0][sb][part];
          row[sb] = v[0] * m;
          row[64 + sb] = v[1] * m;
          row[128 + sb] = v[2] * m;
        } else if (!shared[sb]) {
          for (int ch = 0; ch < 2; ++ch) {
            const int c = cls_[ch][sb];
            float* r = row + 2 * sb + ch;
            if (!c) {
              r[0] = r[64] = r[128] = 0.0f;
              continue;
            }
            readTriple(c, v);
            const float m = scale_[ch][sb][part];
            r[0] = v[0] * m;
            r[64] = v[1] * m;
            r[128] = v[2] * m;
          }
        } else {
          const int c = cls_[0][sb];
          float* r = row + 2 * sb;
          if (!c) {
            r[0] = r[1] = r[64] = r[65] = r[128] = r[129] = 0.0f;
            continue;
          }
          readTriple(c, v);
          const float m0 = scale_[0][sb][part], m1 = scale_[1][sb][part];
          r[0] = v[0] * m0;
          r[1] = v[0] * m1;
          r[64] = v[1] * m0;
          r[65] = v[1] * m1;
          r[128] = v[2] * m0;
          r[129] = v[2] * m1;
        }
      }
      bs.Skip(skip);
    }
  }
  return 36;
}

}  // namespace sorrel::decoder
