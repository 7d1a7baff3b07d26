#include "decoder/Layer3.h"

#include <algorithm>
#include <cstring>

#include "decoder/HeaderTables.h"
#include "decoder/Layer3Tables.h"
#include "decoder/MPEGHeader.h"
#include "decoder/Synth.h"

namespace sorrel::decoder {

using l3_tables::Tables;

namespace {

// Reads the main data MSB first with a 64-bit cache.  The caller guarantees that
// the bytes it may touch (up to its limit plus one refill) lie inside the array.
struct BitReader {
  const uint8_t* base;
  uint32_t pos;    // next byte to fetch
  uint64_t cache;  // valid bits left-aligned
  int bits;        // valid bits in cache

  void Init(const uint8_t* b, uint32_t p) {
    base = b;
    pos = p;
    cache = 0;
    bits = 0;
  }
  // Tops the cache up to at least 57 bits with one 8-byte load.
  void Refill() {
    if (bits > 56) return;
    const uint8_t* p = base + pos;
    const uint64_t w = static_cast<uint64_t>(p[0]) << 56 | static_cast<uint64_t>(p[1]) << 48 |
                       static_cast<uint64_t>(p[2]) << 40 | static_cast<uint64_t>(p[3]) << 32 |
                       static_cast<uint64_t>(p[4]) << 24 | static_cast<uint64_t>(p[5]) << 16 |
                       static_cast<uint64_t>(p[6]) << 8 | static_cast<uint64_t>(p[7]);
    const int take = (64 - bits) >> 3;
    cache |= w >> bits;
    bits += take * 8;
    pos += static_cast<uint32_t>(take);
    // Drop the part of the next byte that came along.
    cache &= bits >= 64 ? ~uint64_t{0} : ~(~uint64_t{0} >> bits);
  }
  uint32_t Peek(int n) const { return static_cast<uint32_t>(cache >> (64 - n)); }
  void Skip(int n) {
    cache <<= n;
    bits -= n;
  }
  uint32_t Get(int n) {
    if (n == 0) return 0;
    if (bits < n) Refill();
    const uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  // A non-zero magnitude takes the next bit as its sign (1: negative); zero takes
  // none.  Without branches: signs are coin flips to a branch predictor.
  int SignOf(int v) {
    const int nz = v != 0;
    const int neg = static_cast<int>(cache >> 63) & nz;
    cache <<= nz;
    bits -= nz;
    return (v ^ -neg) + neg;
  }
  // Bits consumed since byte 0 of base.
  int64_t BitPos() const { return static_cast<int64_t>(pos) * 8 - bits; }
};

// Reads side information from the frame itself, never past its end.
struct FrameReader {
  const uint8_t* p;
  int32_t n;
  int64_t bit = 0;
  bool overrun = false;
  uint32_t Get(int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i, ++bit) {
      const int64_t byte = bit >> 3;
      if (byte >= n) {
        overrun = true;
        v <<= 1;
        continue;
      }
      v = v << 1 | ((p[byte] >> (7 - (bit & 7))) & 1);
    }
    return v;
  }
};

constexpr int kSlen[2][16] = {{0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4},
                              {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3}};

// Number of scale factors per partition: [table][long, short, mixed][partition].
constexpr int kNrOfSfb[6][3][4] = {
    {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},       {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
    {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}}, {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
    {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},     {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}},
};

// One pair per iteration; kEscapes: the table has linbits.
template <bool kEscapes>
void UnpackPairs(BitReader& br, int32_t* out, int n, const uint32_t* root, int linbits, int64_t limit_bit) {
  // The reader's state in locals, so that it stays in registers.
  BitReader r = br;
  const int root_w = static_cast<int>(root[0]);
  const uint32_t* const root_e = root + 1;
  // Bits one pair can take: a code of up to 19 bits, two signs, and with escapes two
  // times linbits (up to 13).
  const int need = kEscapes ? 19 + 2 + 2 * linbits : 21;
  for (int i = 0; i < n; i += 2) {
    if (r.bits < need) r.Refill();
    uint32_t e = root_e[r.Peek(root_w)];
    if (!(e & 0xFF00)) {
      // Longer code: continue in the subtables.
      r.Skip(root_w);
      const uint32_t* t = root + (e >> 16);
      for (;;) {
        const int w = static_cast<int>(t[0]);
        e = t[1 + r.Peek(w)];
        if (e & 0xFF00) break;
        r.Skip(w);
        t += e >> 16;
      }
    }
    r.Skip(static_cast<int>((e >> 8) & 0xFF));
    int x = (e >> 4) & 15;
    int y = e & 15;
    if (kEscapes && x == 15) {
      x += static_cast<int>(r.Peek(linbits));
      r.Skip(linbits);
    }
    x = r.SignOf(x);
    if (kEscapes && y == 15) {
      y += static_cast<int>(r.Peek(linbits));
      r.Skip(linbits);
    }
    y = r.SignOf(y);
    out[i] = x;
    out[i + 1] = y;
    if (r.BitPos() > limit_bit) {
      if (i + 2 < n) std::memset(out + i + 2, 0, sizeof(int32_t) * (n - i - 2));
      break;
    }
  }
  br = r;
}

// Decodes n lines of big values with table `table`; stops early once the reader
// is past limit_bit.
void UnpackHuff(BitReader& br, int32_t* out, int n, int table, int64_t limit_bit) {
  const Tables& T = l3_tables::Get();
  const l3_tables::HuffLookup& h = T.huff[table];
  if (!h.tree) {
    std::memset(out, 0, sizeof(int32_t) * n);
    return;
  }
  if (h.linbits)
    UnpackPairs<true>(br, out, n, h.tree, h.linbits, limit_bit);
  else
    UnpackPairs<false>(br, out, n, h.tree, 0, limit_bit);
}

// Decodes count1 quadruples into out (room for n lines) with `bits_left` bits of
// the granule-channel left; returns the lines up to the last non-zero value.
int UnpackHuffQuad(BitReader& br, int32_t* out, int n, int bits_left, int table_b, int64_t limit_bit) {
  const Tables& T = l3_tables::Get();
  const int nq = n / 4;
  int q = 0;
  int last = -1;
  while (q < nq && bits_left > 0) {
    if (table_b && bits_left < 4) break;
    br.Refill();
    int v;
    if (table_b) {
      v = static_cast<int>(br.Peek(4)) ^ 15;
      br.Skip(4);
      bits_left -= 4;
    } else {
      const uint8_t* e = T.count1a[br.Peek(6)];
      br.Skip(e[0]);
      bits_left -= e[0];
      v = e[1];
    }
    int32_t* o = out + 4 * q;
    for (int j = 0; j < 4; ++j) {
      const int val = (v >> (3 - j)) & 1;
      bits_left -= val;
      o[j] = br.SignOf(val);
    }
    if (v) last = q;
    ++q;
    if (br.BitPos() > limit_bit) break;
  }
  if (bits_left < 0 && q > 0) {
    // The last quadruple ran past the granule-channel's data: drop it.
    --q;
    std::memset(out + 4 * q, 0, sizeof(int32_t) * 4);
    last = -1;
    for (int j = q - 1; j >= 0; --j)
      if (out[4 * j] | out[4 * j + 1] | out[4 * j + 2] | out[4 * j + 3]) {
        last = j;
        break;
      }
  }
  if (q * 4 < n) std::memset(out + 4 * q, 0, sizeof(int32_t) * (n - 4 * q));
  if (last < 0) return 0;
  int r = 4 * (last + 1);
  if (out[4 * last + 2] == 0 && out[4 * last + 3] == 0) r -= 2;
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// Kernels (plain versions).

void L3AntialiasPlain(float* x, int nbound) {
  const Tables& T = l3_tables::Get();
  for (int s = 0; s < nbound; ++s) {
    float* p = x + 18 * s + 17;
    for (int i = 0; i < 8; ++i) {
      const float a = p[-i];
      const float b = p[1 + i];
      p[-i] = a * T.cs[i] - b * T.ca[i];
      p[1 + i] = b * T.cs[i] + a * T.ca[i];
    }
  }
}

// x[i] = sum_k X[k] cos(pi / 72 (2i + 19)(2k + 1)) is y[i + 9] of the 18-point DCT-IV
// y[n] = sum_k X[k] cos(pi / 72 (2n + 1)(2k + 1)), continued by y[35 - n] = -y[n].
// The DCT-IV comes from a DCT-II of the pre-scaled inputs, U[n] = y[n] + y[n - 1];
// the DCT-II splits into a 9-point DCT-II (even n) and a 9-point DCT-IV (odd n).
void L3Imdct36Plain(const float* X, float* out) {
  const Tables& T = l3_tables::Get();
  float u[18], a[9], b[9], U[18], y[18];
  for (int k = 0; k < 18; ++k) u[k] = X[k] * T.imdct_pre[k];
  for (int k = 0; k < 9; ++k) {
    a[k] = u[k] + u[17 - k];
    b[k] = u[k] - u[17 - k];
  }
  float ap[4], am[4];
  for (int k = 0; k < 4; ++k) {
    ap[k] = a[k] + a[8 - k];
    am[k] = a[k] - a[8 - k];
  }
  for (int j = 0; j < 5; ++j) {
    float s = (j & 1) ? -a[4] : a[4];
    for (int k = 0; k < 4; ++k) s += ap[k] * T.dct9_even[j][k];
    U[4 * j] = s;
  }
  for (int j = 0; j < 4; ++j) {
    float s = 0.0f;
    for (int k = 0; k < 4; ++k) s += am[k] * T.dct9_odd[j][k];
    U[4 * j + 2] = s;
  }
  for (int m = 0; m < 9; ++m) {
    float s = 0.0f;
    for (int k = 0; k < 9; ++k) s += b[k] * T.dct4_9[m][k];
    U[2 * m + 1] = s;
  }
  // y[n] = U[n] - y[n - 1], taken two steps at a time so that the even and the odd
  // outputs form two independent chains.
  y[0] = U[0] * 0.5f;
  y[1] = U[1] - y[0];
  for (int n = 2; n < 18; ++n) y[n] = (U[n] - U[n - 1]) + y[n - 2];
  for (int i = 0; i < 9; ++i) {
    out[i] = y[i + 9];
    out[17 - i] = -y[i + 9];
    out[18 + i] = -y[8 - i];
    out[35 - i] = -y[8 - i];
  }
}

namespace {

// Four 36-point IMDCTs at once, of the subbands at in, in + 18, in + 36 and in + 54:
// the arithmetic of L3Imdct36Plain in the same order, with the subband as the
// innermost index so that the compiler can keep four subbands in one vector.
void Imdct36x4(const float* in, float out[4][36]) {
  const Tables& T = l3_tables::Get();
  float u[18][4], a[9][4], b[9][4], U[18][4], y[18][4], ap[4][4], am[4][4];
  for (int k = 0; k < 18; ++k)
    for (int j = 0; j < 4; ++j) u[k][j] = in[18 * j + k] * T.imdct_pre[k];
  for (int k = 0; k < 9; ++k)
    for (int j = 0; j < 4; ++j) {
      a[k][j] = u[k][j] + u[17 - k][j];
      b[k][j] = u[k][j] - u[17 - k][j];
    }
  for (int k = 0; k < 4; ++k)
    for (int j = 0; j < 4; ++j) {
      ap[k][j] = a[k][j] + a[8 - k][j];
      am[k][j] = a[k][j] - a[8 - k][j];
    }
  for (int e = 0; e < 5; ++e) {
    float sum[4];
    for (int j = 0; j < 4; ++j) sum[j] = (e & 1) ? -a[4][j] : a[4][j];
    for (int k = 0; k < 4; ++k)
      for (int j = 0; j < 4; ++j) sum[j] += ap[k][j] * T.dct9_even[e][k];
    for (int j = 0; j < 4; ++j) U[4 * e][j] = sum[j];
  }
  for (int o = 0; o < 4; ++o) {
    float sum[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int k = 0; k < 4; ++k)
      for (int j = 0; j < 4; ++j) sum[j] += am[k][j] * T.dct9_odd[o][k];
    for (int j = 0; j < 4; ++j) U[4 * o + 2][j] = sum[j];
  }
  for (int m = 0; m < 9; ++m) {
    float sum[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int k = 0; k < 9; ++k)
      for (int j = 0; j < 4; ++j) sum[j] += b[k][j] * T.dct4_9[m][k];
    for (int j = 0; j < 4; ++j) U[2 * m + 1][j] = sum[j];
  }
  for (int j = 0; j < 4; ++j) {
    y[0][j] = U[0][j] * 0.5f;
    y[1][j] = U[1][j] - y[0][j];
  }
  for (int n = 2; n < 18; ++n)
    for (int j = 0; j < 4; ++j) y[n][j] = (U[n][j] - U[n - 1][j]) + y[n - 2][j];
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 9; ++i) {
      out[j][i] = y[i + 9][j];
      out[j][17 - i] = -y[i + 9][j];
      out[j][18 + i] = -y[8 - i][j];
      out[j][35 - i] = -y[8 - i][j];
    }
}

}  // namespace

void L3Imdct12Plain(const float* in, float* out) {
  const Tables& T = l3_tables::Get();
  float u[6];
  for (int r = 0; r < 6; ++r) {
    const float* c = T.cos12[r];
    float s = 0.0f;
    for (int k = 0; k < 6; ++k) s += in[3 * k] * c[k];
    u[r] = s;
  }
  for (int i = 0; i < 3; ++i) {
    out[i] = u[i];
    out[5 - i] = -u[i];
    out[6 + i] = u[3 + i];
    out[11 - i] = u[3 + i];
  }
}

int L3HybridPlain(float* cur, float* prev, float* out, int block_type, int nlong, int ntotal, int nprev) {
  const Tables& T = l3_tables::Get();
  const float* wl = T.win[block_type == 2 ? 0 : block_type];
  const float* ws = T.win[2];
  int sb = 0;
  for (; sb + 4 <= nlong; sb += 4) {
    float y[4][36];
    Imdct36x4(cur + 18 * sb, y);
    for (int j = 0; j < 4; ++j) {
      float* c = cur + 18 * (sb + j);
      const float* p = prev + 18 * (sb + j);
      for (int t = 0; t < 18; ++t) out[t * 32 + sb + j] = p[t] + y[j][t] * wl[t];
      for (int t = 0; t < 18; ++t) c[t] = y[j][18 + t] * wl[18 + t];
    }
  }
  for (; sb < nlong; ++sb) {
    float y[36];
    float* c = cur + 18 * sb;
    const float* p = prev + 18 * sb;
    L3Imdct36Plain(c, y);
    for (int t = 0; t < 18; ++t) out[t * 32 + sb] = p[t] + y[t] * wl[t];
    for (int t = 0; t < 18; ++t) c[t] = y[18 + t] * wl[18 + t];
  }
  for (; sb < ntotal; ++sb) {
    float z[36] = {};
    float* c = cur + 18 * sb;
    const float* p = prev + 18 * sb;
    for (int w = 0; w < 3; ++w) {
      float y[12];
      L3Imdct12Plain(c + w, y);
      float* zz = z + 6 + 6 * w;
      for (int i = 0; i < 12; ++i) zz[i] += y[i] * ws[i];
    }
    for (int t = 0; t < 18; ++t) out[t * 32 + sb] = p[t] + z[t];
    for (int t = 0; t < 18; ++t) c[t] = z[18 + t];
  }
  for (; sb < nprev; ++sb) {
    float* c = cur + 18 * sb;
    const float* p = prev + 18 * sb;
    for (int t = 0; t < 18; ++t) out[t * 32 + sb] = p[t];
    for (int t = 0; t < 18; ++t) c[t] = 0.0f;
  }
  return sb;
}

TL3Kernels L3PlainKernels() { return {L3AntialiasPlain, L3HybridPlain, L3Imdct36Plain, L3Imdct12Plain}; }

const float (*L3ImdctWindows())[36] { return l3_tables::Get().win; }

// ---------------------------------------------------------------------------
// Set-up.

bool TL3Decoder::Init(const TMPEGHead& head, int32_t fb, int32_t convert_code, int32_t freq_limit,
                      bool full_band) {
  if (head.option != 1 || head.sr_index < 0 || head.sr_index > 2) return false;
  if (head.id != 0 && head.id != 1) return false;    // a record not made by HeadInfo
  if (head.sync == 2 && head.id == 1) return false;  // 0xFFE exists only for MPEG-2.5
  (void)l3_tables::Get();
  id = head.id;
  sync = head.sync;
  sr_index = head.sr_index;
  stream_nchan = nchan = head.mode == 3 ? 1 : 2;
  framebytes = fb;
  out_code = nchan == 1 ? 0 : (convert_code % 4) + 1;
  mixing = convert_code % 4 == 1;
  const int out_ch = (out_code == 1) ? 2 : 1;
  outvalues = (id == 1 ? 1152 : 576) * out_ch;

  int f = hdr_tables::kFreqHz[id][sr_index];
  if (sync == 2) f /= 2;
  if (freq_limit < 1000) freq_limit = 1000;
  int sb_limit = (64 * freq_limit + f / 2) / f;
  if (sb_limit > 32) sb_limit = 32;
  if (sb_limit > 8) sb_limit -= 1;

  const int version = sync == 2 ? 2 : id;
  sfb_l = l3_tables::kSfbLong[version][sr_index];
  sfb_s = l3_tables::kSfbShort[version][sr_index];
  if (full_band) {
    band_limit = band_limit21 = band_limit12 = 576;
  } else {
    band_limit21 = id == 1 ? 576 : sfb_l[21];
    band_limit12 = id == 1 ? 576 : 3 * sfb_s[12];
    band_limit = std::min(band_limit21 + 8, 18 * sb_limit);
    band_limit21 = std::min(band_limit21, band_limit);
    band_limit12 = std::min(band_limit12, band_limit);
  }
  band_limit_nsb = (band_limit + 17) / 18;
  gain_adj = (nchan == 2 && convert_code % 4 == 1) ? -4 : 0;
  ncbl_mixed = id == 1 ? 8 : 6;

  std::memset(xr, 0, sizeof xr);
  std::memset(hyb, 0, sizeof hyb);
  std::memset(hyb2, 0, sizeof hyb2);
  std::memset(ix, 0, sizeof ix);
  std::memset(main_buf, 0, sizeof main_buf);
  buf_ptr0 = buf_ptr1 = main_pos_bit = 0;
  prev_nsb[0] = prev_nsb[1] = 0;
  nsamp[0] = nsamp[1] = 0;
  std::memset(sf, 0, sizeof sf);
  return true;
}

// ---------------------------------------------------------------------------
// Side information.

int32_t TL3Decoder::UnpackSide(const uint8_t* in, int32_t avail) {
  FrameReader r{in, avail};
  r.Get(12);
  const int fid = static_cast<int>(r.Get(1));
  r.Get(2);
  const int prot = static_cast<int>(r.Get(1));
  const int br_index = static_cast<int>(r.Get(4));
  const int sri = static_cast<int>(r.Get(2));
  const int pad = static_cast<int>(r.Get(1));
  r.Get(1);
  mode = static_cast<int>(r.Get(2));
  mode_ext = static_cast<int>(r.Get(2));
  r.Get(prot == 0 ? 20 : 4);
  if (mode != 1) mode_ext = 0;
  ms_mode = mode_ext >> 1;
  is_mode = mode_ext & 1;
  (void)fid;
  (void)pad;
  (void)sri;
  (void)br_index;
  const int ch_count = mode == 3 ? 1 : 2;
  if (id == 1) {
    main_data_begin = static_cast<int>(r.Get(9));
    r.Get(ch_count == 2 ? 3 : 5);
    for (int ch = 0; ch < ch_count; ++ch) scfsi[ch] = static_cast<int>(r.Get(4));
  } else {
    main_data_begin = static_cast<int>(r.Get(8));
    r.Get(ch_count == 2 ? 2 : 1);
    scfsi[0] = scfsi[1] = 0;
  }
  const int ngr = id == 1 ? 2 : 1;
  for (int gr = 0; gr < ngr; ++gr)
    for (int ch = 0; ch < ch_count; ++ch) {
      TGrInfo& g = gi[gr][ch];
      g.part2_3_length = static_cast<int>(r.Get(12));
      g.big_values = static_cast<int>(r.Get(9));
      g.global_gain = static_cast<int>(r.Get(8)) + gain_adj + (ms_mode ? -2 : 0);
      g.scalefac_compress = static_cast<int>(r.Get(id == 1 ? 4 : 9));
      g.window_switching_flag = static_cast<int>(r.Get(1));
      if (g.window_switching_flag) {
        g.block_type = static_cast<int>(r.Get(2));
        g.mixed_block_flag = static_cast<int>(r.Get(1));
        g.table_select[0] = static_cast<int>(r.Get(5));
        g.table_select[1] = static_cast<int>(r.Get(5));
        g.table_select[2] = 0;
        for (int w = 0; w < 3; ++w) g.subblock_gain[w] = static_cast<int>(r.Get(3));
        if (id == 0 && g.block_type == 2) {
          g.region0_count = 5;
          g.region1_count = 15;
        } else {
          g.region0_count = 7;
          g.region1_count = 13;
        }
      } else {
        g.block_type = 0;
        g.mixed_block_flag = 0;
        for (int t = 0; t < 3; ++t) g.table_select[t] = static_cast<int>(r.Get(5));
        g.subblock_gain[0] = g.subblock_gain[1] = g.subblock_gain[2] = 0;
        g.region0_count = static_cast<int>(r.Get(4));
        g.region1_count = static_cast<int>(r.Get(3));
      }
      g.preflag = id == 1 ? static_cast<int>(r.Get(1)) : 0;
      g.scalefac_scale = static_cast<int>(r.Get(1));
      g.count1table_select = static_cast<int>(r.Get(1));
    }
  if (r.overrun) return -1;
  return 4 + MPEGSideInfoBytes(id, mode);
}

// ---------------------------------------------------------------------------
// Frame.

TInOut TL3Decoder::DecodeFrame(const uint8_t* in, int32_t avail, int16_t* out) {
  if (avail < 4) return {0, 0};
  // The frame decoder accepts only frames of the stream it was set up for: a frame
  // of another version or channel count would not fit the output.
  const bool sync_ok = in[0] == 0xFF && ((in[1] >> 4) == 0xF || (id == 0 && (in[1] >> 4) == 0xE));
  if (!sync_ok) return {0, 0};
  const int fsync = (in[1] >> 4) == 0xF ? 1 : 2;
  const int fid = (in[1] >> 3) & 1;
  const int fmode = in[3] >> 6;
  if (fid != id || fsync != sync) return {0, 0};
  // The channel count may change from frame to frame; the output format stays.
  nchan = fmode == 3 ? 1 : 2;
  gain_adj = (nchan == 2 && mixing) ? -4 : 0;
  const int br_index = in[2] >> 4;
  const int fsr = (in[2] >> 2) & 3;
  const int pad = (in[2] >> 1) & 1;
  const int prot = in[1] & 1;
  if (fsr == 3 || br_index == 15) return {0, 0};
  int32_t len = framebytes;
  if (br_index > 0) {
    const int R = hdr_tables::kBitRate[2][id][br_index];
    const int S = hdr_tables::kFreq50[id][fsr];
    if (id == 1)
      len = R * 64 * 5 * 9 / S;
    else
      len = sync == 1 ? R * 32 * 45 / S : R * 64 * 45 / S;
  }
  const int32_t padframebytes = len + pad;
  if (padframebytes > avail || padframebytes < 4) return {0, 0};

  const int32_t side = UnpackSide(in, padframebytes);
  if (side < 0) return {0, 0};
  const int32_t crc = prot == 0 ? 2 : 0;
  const int32_t bytes = padframebytes - side - crc;
  if (bytes < 0 || bytes > kMainBufSize) return {0, 0};

  buf_ptr0 = buf_ptr1 - main_data_begin;
  if (buf_ptr1 > kMainBufSize - 1500) {
    std::memmove(main_buf, main_buf + buf_ptr0, static_cast<size_t>(main_data_begin));
    buf_ptr0 = 0;
    buf_ptr1 = main_data_begin;
  }
  if (buf_ptr1 + bytes > kMainBufSize) return {0, 0};
  std::memcpy(main_buf + buf_ptr1, in + side + crc, static_cast<size_t>(bytes));
  buf_ptr1 += bytes;

  const TInOut ok{padframebytes, outvalues * 2};
  if (buf_ptr0 < 0) {
    std::memset(out, 0, sizeof(int16_t) * static_cast<size_t>(outvalues));
    return ok;
  }
  main_pos_bit = buf_ptr0 * 8;
  if (id == 1) {
    DecodeGranule(0, 0, out);
    DecodeGranule(1, 1, out + outvalues / 2);
  } else {
    DecodeGranule(0, mpeg2_slot, out);
    mpeg2_slot ^= 1;
  }
  return ok;
}

// ---------------------------------------------------------------------------
// Scale factors and Huffman data of one granule-channel.

void TL3Decoder::DecodeChannelData(int gr, int ch) {
  TGrInfo& g = gi[gr][ch];
  TScaleFact& s = sf[gr][ch];
  int32_t* lines = ix[ch];

  const int start_bit = main_pos_bit;
  main_pos_bit += g.part2_3_length;
  // The limit: up to 4 bytes beyond the end of this channel's data.
  const int64_t limit_bit = static_cast<int64_t>((main_pos_bit + 39) / 8) * 8;
  // A corrupt stream can point past the reservoir; such data is not decoded.
  if (start_bit / 8 > kMainBufSize + 2048 + 8) {
    std::memset(lines, 0, sizeof(int32_t) * 576);
    nsamp[ch] = 0;
    return;
  }
  BitReader br;
  br.Init(main_buf, static_cast<uint32_t>(start_bit / 8));
  br.Get(start_bit % 8);
  const int64_t base_bit = start_bit;

  if (id == 1) {
    const int slen1 = kSlen[0][g.scalefac_compress];
    const int slen2 = kSlen[1][g.scalefac_compress];
    if (g.window_switching_flag && g.block_type == 2) {
      if (g.mixed_block_flag) {
        for (int b = 0; b < 8; ++b) s.l[b] = static_cast<int>(br.Get(slen1));
        for (int b = 3; b < 6; ++b)
          for (int w = 0; w < 3; ++w) s.s[w][b] = static_cast<int>(br.Get(slen1));
      } else {
        for (int b = 0; b < 6; ++b)
          for (int w = 0; w < 3; ++w) s.s[w][b] = static_cast<int>(br.Get(slen1));
      }
      for (int b = 6; b < 12; ++b)
        for (int w = 0; w < 3; ++w) s.s[w][b] = static_cast<int>(br.Get(slen2));
      for (int w = 0; w < 3; ++w) s.s[w][12] = 0;
    } else {
      static const int kGroup[5] = {0, 6, 11, 16, 21};
      for (int grp = 0; grp < 4; ++grp) {
        const int len = grp < 2 ? slen1 : slen2;
        const bool copy = gr == 1 && (scfsi[ch] & (8 >> grp));
        for (int b = kGroup[grp]; b < kGroup[grp + 1]; ++b)
          s.l[b] = copy ? sf[0][ch].l[b] : static_cast<int>(br.Get(len));
      }
      s.l[21] = s.l[22] = 0;
    }
  } else {
    const bool is_ch = is_mode && ch == 1;
    int sfc = g.scalefac_compress;
    int slen[4];
    int tab;
    if (!is_ch) {
      if (sfc < 400) {
        slen[0] = (sfc >> 4) / 5;
        slen[1] = (sfc >> 4) % 5;
        slen[2] = (sfc & 15) >> 2;
        slen[3] = sfc & 3;
        tab = 0;
        g.preflag = 0;
      } else if (sfc < 500) {
        sfc -= 400;
        slen[0] = (sfc >> 2) / 5;
        slen[1] = (sfc >> 2) % 5;
        slen[2] = sfc & 3;
        slen[3] = 0;
        tab = 1;
        g.preflag = 0;
      } else {
        sfc -= 500;
        slen[0] = sfc / 3;
        slen[1] = sfc % 3;
        slen[2] = slen[3] = 0;
        tab = 2;
        g.preflag = 1;
      }
    } else {
      isinfo.intensity_scale = sfc & 1;
      int isc = sfc >> 1;
      if (isc < 180) {
        slen[0] = isc / 36;
        slen[1] = (isc % 36) / 6;
        slen[2] = (isc % 36) % 6;
        slen[3] = 0;
        tab = 3;
      } else if (isc < 244) {
        isc -= 180;
        slen[0] = (isc % 64) >> 4;
        slen[1] = (isc % 16) >> 2;
        slen[2] = isc % 4;
        slen[3] = 0;
        tab = 4;
      } else {
        isc -= 244;
        slen[0] = isc / 3;
        slen[1] = isc % 3;
        slen[2] = slen[3] = 0;
        tab = 5;
      }
      g.preflag = 0;
    }
    const int kind = (g.window_switching_flag && g.block_type == 2) ? (g.mixed_block_flag ? 2 : 1) : 0;
    std::memset(&s, 0, sizeof s);
    int k = 0;
    for (int part = 0; part < 4; ++part) {
      const int cnt = kNrOfSfb[tab][kind][part];
      const int len = slen[part];
      const int maxpos = (1 << len) - 1;
      for (int j = 0; j < cnt; ++j, ++k) {
        const int v = static_cast<int>(br.Get(len));
        if (kind == 0) {
          s.l[k] = v;
          if (is_ch) isinfo.max_l[k] = maxpos;
        } else {
          int sidx = k;
          if (kind == 2) {
            if (k < 6) {
              s.l[k] = v;
              if (is_ch) isinfo.max_l[k] = maxpos;
              continue;
            }
            sidx = k - 6 + 9;  // short band 3 onwards
          }
          const int b = sidx / 3, w = sidx % 3;
          if (b < 13) {
            s.s[w][b] = v;
            if (is_ch) isinfo.max_s[b] = maxpos;
          }
        }
      }
    }
    if (is_ch) {
      // Bands that are not transmitted take the row of the last partition.
      if (kind == 0) {
        for (int b = k; b < 22; ++b) isinfo.max_l[b] = isinfo.max_l[k > 0 ? k - 1 : 0];
      }
      isinfo.max_s[12] = isinfo.max_s[11];
      isinfo.max_l[21] = isinfo.max_l[20];
    }
  }

  // Huffman data.
  int bigend = std::min(2 * g.big_values, static_cast<int>(band_limit));
  int r1, r2;
  {
    const int i1 = std::min(g.region0_count + 1, 22);
    const int i2 = std::min(g.region0_count + g.region1_count + 2, 22);
    r1 = std::min(static_cast<int>(sfb_l[i1]), bigend);
    r2 = std::min(static_cast<int>(sfb_l[i2]), bigend);
  }
  UnpackHuff(br, lines, r1, g.table_select[0], limit_bit);
  if (br.BitPos() <= limit_bit) UnpackHuff(br, lines + r1, r2 - r1, g.table_select[1], limit_bit);
  if (br.BitPos() <= limit_bit) UnpackHuff(br, lines + r2, bigend - r2, g.table_select[2], limit_bit);
  int n = bigend;
  if (br.BitPos() <= limit_bit) {
    const int bits_left = g.part2_3_length - static_cast<int>(br.BitPos() - base_bit);
    n += UnpackHuffQuad(br, lines + bigend, band_limit - bigend, bits_left, g.count1table_select, limit_bit);
  }
  const int cap = (g.window_switching_flag && g.block_type == 2) ? band_limit12 : band_limit21;
  if (n > cap) n = cap;
  if (br.BitPos() > limit_bit) {
    n = 0;
  }
  std::memset(lines + n, 0, sizeof(int32_t) * (576 - n));
  nsamp[ch] = n;
}

// ---------------------------------------------------------------------------
// Requantisation.

void TL3Decoder::Dequant(int ch, int slot, int gr) {
  const Tables& T = l3_tables::Get();
  const TGrInfo& g = gi[gr][ch];
  const TScaleFact& s = sf[gr][ch];
  TCbInfo& c = cb[ch];
  const int32_t* in = ix[ch];
  float* out = xr[ch][slot];
  const int n_in = nsamp[ch];

  const bool is_short = g.window_switching_flag && g.block_type == 2;
  if (!is_short) {
    c.ncbl = 22;
    c.lb_type = 12;
  } else if (g.mixed_block_flag) {
    c.ncbl = ncbl_mixed;
    c.lb_type = 3;
  } else {
    c.ncbl = 0;
    c.lb_type = 0;
  }
  // -1: no non-zero band, so intensity stereo starts at band 0.
  c.cbmax = -1;
  const int sfs2 = 2 * (g.scalefac_scale + 1);  // quarter steps per scale-factor step
  // Exponent in quarter steps relative to 2^0, including the 2^15 output scaling.
  const int gq = g.global_gain - 210 + 60 + l3_tables::kPow2qBias;
  auto factor = [&](int q) {
    if (q < 0) q = 0;
    if (q > 599) q = 599;
    return T.pow2q[q];
  };
  // Huffman decoding never yields |x| > 8206, so the table needs no clamp.
  const float* p43 = T.pow43s + 8206;

  int i = 0;
  for (int b = 0; b < c.ncbl && i < n_in; ++b) {
    const int w = sfb_l[b + 1] - sfb_l[b];
    const float f = factor(gq - sfs2 * (s.l[b] + (g.preflag ? l3_tables::kPretab[b] : 0)));
    int32_t nz = 0;
    for (int j = 0; j < w; ++j) {
      const int32_t x = in[i + j];
      nz |= x;
      out[i + j] = p43[x] * f;
    }
    if (nz) c.cbmax = b;
    i += w;
  }
  if (c.lb_type == 12) {
    c.cbtype = 0;
    nsamp[ch] = i;
    std::memset(out + i, 0, sizeof(float) * (576 - i));
    return;
  }
  const int short_start = sfb_s[c.lb_type] * 3;
  if (i < short_start) {
    // The long part of a mixed block stopped early: its remaining lines are zero.
    std::memset(out + i, 0, sizeof(float) * (short_start - i));
    i = short_start;
  }
  int qw[3];
  for (int w = 0; w < 3; ++w) qw[w] = gq - 8 * g.subblock_gain[w];
  c.cbmax_s[0] = c.cbmax_s[1] = c.cbmax_s[2] = c.lb_type - 1;
  float tmp[576];
  for (int b = c.lb_type; b < 13 && i < n_in; ++b) {
    const int n = sfb_s[b + 1] - sfb_s[b];
    for (int w = 0; w < 3; ++w) {
      const float f = factor(qw[w] - sfs2 * s.s[w][b]);
      const int32_t* src = in + i + w * n;
      float* dst = tmp + i - short_start + w;
      int32_t nz = 0;
      for (int j = 0; j < n; ++j) {
        nz |= src[j];
        dst[3 * j] = p43[src[j]] * f;
      }
      if (nz) c.cbmax_s[w] = b;
    }
    i += 3 * n;
  }
  std::memcpy(out + short_start, tmp, sizeof(float) * (i - short_start));
  std::memset(out + i, 0, sizeof(float) * (576 - i));
  nsamp[ch] = i;
  c.cbtype = 1;
  c.cbmax = std::max(c.cbmax_s[0], std::max(c.cbmax_s[1], c.cbmax_s[2]));
}

// ---------------------------------------------------------------------------
// Stereo.

void TL3Decoder::StereoProcess(int slot, int gr) {
  const Tables& T = l3_tables::Get();
  float* L = xr[0][slot];
  float* R = xr[1][slot];
  const TCbInfo& cr = cb[1];
  const int nmax = std::max(nsamp[0], nsamp[1]);
  // First line of the band after the right channel's last non-zero band.
  const int is_start =
      cr.cbtype == 0 ? sfb_l[std::min(cr.cbmax + 1, 22)] : 3 * sfb_s[std::min(cr.cbmax + 1, 13)];
  if (ms_mode) {
    const int n = is_mode ? std::min(is_start, nmax) : nmax;
    for (int i = 0; i < n; ++i) {
      const float a = L[i], b = R[i];
      L[i] = a + b;
      R[i] = a - b;
    }
  }
  if (is_mode) {
    const TScaleFact& s = sf[gr][1];
    if (id == 1) {
      int budget = nmax - is_start;
      if (cr.cbtype == 1) {
        for (int b = cr.cbmax + 1; b < 12 && budget >= 0; ++b) {
          const int n = sfb_s[b + 1] - sfb_s[b];
          const int base = 3 * sfb_s[b];
          for (int j = 0; j < n && budget >= 0; ++j, budget -= 3)
            for (int w = 0; w < 3; ++w) {
              const int pos = std::min(s.s[w][b], 7);
              const float* k = T.is1[ms_mode][pos];
              const int li = base + 3 * j + w;
              R[li] = k[1] * L[li];
              L[li] = k[0] * L[li];
            }
        }
      } else {
        for (int b = cr.cbmax + 1; b < 21 && budget >= 0; ++b) {
          const int pos = std::min(s.l[b], 7);
          const float* k = T.is1[ms_mode][pos];
          for (int li = sfb_l[b]; li < sfb_l[b + 1] && budget >= 0; ++li, --budget) {
            R[li] = k[1] * L[li];
            L[li] = k[0] * L[li];
          }
        }
      }
    } else {
      const float(*tab)[2] = T.is2[isinfo.intensity_scale][ms_mode];
      auto pair = [&](int maxpos, int v) {
        const int p = std::min(v, maxpos);
        return tab[maxpos + p];  // row of size maxpos + 1 starts at maxpos
      };
      // Long band 21 and short band 12 carry no scale factor: they continue the
      // intensity position of band 20 (11) when that band is an intensity band,
      // and take position 0 otherwise.
      const float* pos0 = tab[1];
      if (cr.cbtype == 1) {
        const TCbInfo& cl = cb[0];
        for (int w = 0; w < 3; ++w) {
          for (int b = cr.cbmax_s[w] + 1; b <= cl.cbmax_s[w]; ++b) {
            const int n = sfb_s[b + 1] - sfb_s[b];
            const int base = 3 * sfb_s[b];
            const float* k;
            if (b < 12)
              k = pair(isinfo.max_s[b], s.s[w][b]);
            else
              k = cr.cbmax_s[w] + 1 <= 11 ? pair(isinfo.max_s[11], s.s[w][11]) : pos0;
            for (int j = 0; j < n; ++j) {
              const int li = base + 3 * j + w;
              R[li] = k[1] * L[li];
              L[li] = k[0] * L[li];
            }
          }
        }
      } else {
        int budget = nmax - is_start;
        for (int b = cr.cbmax + 1; b < 22 && budget >= 0; ++b) {
          const float* k;
          if (b < 21)
            k = pair(isinfo.max_l[b], s.l[b]);
          else
            k = cr.cbmax + 1 <= 20 ? pair(isinfo.max_l[20], s.l[20]) : pos0;
          for (int li = sfb_l[b]; li < sfb_l[b + 1] && budget >= 0; ++li, --budget) {
            R[li] = k[1] * L[li];
            L[li] = k[0] * L[li];
          }
        }
      }
    }
  }
  if (mode_ext) nsamp[0] = nsamp[1] = nmax;
}

// ---------------------------------------------------------------------------
// Granule.

namespace {

void FreqInvert(float* out, int n) {
  const int nsb = (n + 17) / 36 * 2;
  for (int sb = 1; sb < nsb; sb += 2)
    for (int t = 1; t < 18; t += 2) out[t * 32 + sb] = -out[t * 32 + sb];
}

}  // namespace

void TL3Decoder::DecodeGranule(int gr, int slot, int16_t* out) {
  const int chs = nchan;
  for (int ch = 0; ch < chs; ++ch) DecodeChannelData(gr, ch);
  for (int ch = 0; ch < chs; ++ch) Dequant(ch, slot, gr);
  if (chs == 2 && mode_ext) StereoProcess(slot, gr);
  const bool eq = owner->EqEnabled576.load(std::memory_order_relaxed) != 0;
  for (int ch = 0; ch < chs; ++ch) {
    const TCbInfo& c = cb[ch];
    float* x = xr[ch][slot];
    if (c.ncbl != 0) {
      const int nb =
          gi[gr][ch].mixed_block_flag && gi[gr][ch].block_type == 2 ? 1 : std::min((nsamp[ch] + 7) / 18, 31);
      k.antialias(x, nb);
      nsamp[ch] = std::max(nsamp[ch], 18 * nb + 8);
    }
    if (eq) {
      const int n = std::min(nsamp[ch], 576);
      for (int i = 0; i < n; ++i) x[i] *= owner->EqGain576[i].load(std::memory_order_relaxed);
    }
  }

  const int other = slot ^ 1;
  auto hybrid = [&](int ch, float* dst) {
    const TGrInfo& g = gi[gr][ch];
    const int bt = g.window_switching_flag ? g.block_type : 0;
    int L;
    if (bt == 2)
      L = g.mixed_block_flag ? sfb_l[cb[ch].ncbl] : 0;
    else
      L = nsamp[ch];
    int Tn = nsamp[ch];
    L = std::min(L, static_cast<int>(band_limit));
    Tn = std::min(std::max(Tn, L), static_cast<int>(band_limit));
    const int nl = (L + 17) / 18;
    const int nt = std::max((Tn + 17) / 18, nl);
    const int np = std::min(prev_nsb[ch], static_cast<int>(band_limit_nsb));
    float* cur = xr[ch][slot];
    float* prev = xr[ch][other];
    int done;
    if (g.window_switching_flag && g.mixed_block_flag && bt != 2 && nl > 0) {
      // A mixed block transforms its two lowest subbands with the normal window
      // whatever its block type.
      const int n0 = std::min(nl, 2);
      k.hybrid(cur, prev, dst, 0, n0, n0, n0);
      done =
          n0 + k.hybrid(cur + 18 * n0, prev + 18 * n0, dst + n0, bt, nl - n0, nt - n0, std::max(np, nt) - n0);
    } else {
      done = k.hybrid(cur, prev, dst, bt, nl, nt, std::max(np, nt));
    }
    for (int sb = done; sb < band_limit_nsb; ++sb)
      for (int t = 0; t < 18; ++t) dst[t * 32 + sb] = 0.0f;
    prev_nsb[ch] = done;
    return 18 * done;
  };

  int code = out_code;
  if (nchan == 1 && code != 0)
    code = code == 1 ? 5 : 0;
  else if (nchan == 2 && code == 0)
    code = 3;
  switch (code) {
    case 5: {  // a one-channel frame in a two-channel stream: both outputs alike
      const int n = hybrid(0, hyb);
      FreqInvert(hyb, n);
      synth->SynthSlots(0, hyb, 1, 32, 18, out, 2);
      for (int i = 0; i < outvalues / (id == 1 ? 2 : 1); i += 2) out[i + 1] = out[i];
      break;
    }
    case 0:    // mono source
    case 3: {  // left only
      const int n = hybrid(0, hyb);
      FreqInvert(hyb, n);
      synth->SynthSlots(0, hyb, 1, 32, 18, out, 1);
      break;
    }
    case 4: {  // right only
      const int n = hybrid(1, hyb);
      FreqInvert(hyb, n);
      synth->SynthSlots(1, hyb, 1, 32, 18, out, 1);
      break;
    }
    case 1: {  // stereo: both channels through the two-channel synthesis
      const int n0 = hybrid(0, hyb);
      FreqInvert(hyb, n0);
      const int n1 = hybrid(1, hyb2);
      FreqInvert(hyb2, n1);
      synth->SynthSlotsStereo(hyb, hyb2, 1, 32, 18, out);
      break;
    }
    default: {  // stereo mixed to mono
      const TGrInfo& g0 = gi[gr][0];
      const TGrInfo& g1 = gi[gr][1];
      const int bt0 = g0.window_switching_flag ? g0.block_type : 0;
      const int bt1 = g1.window_switching_flag ? g1.block_type : 0;
      const bool mixed = (g0.window_switching_flag && g0.mixed_block_flag) ||
                         (g1.window_switching_flag && g1.mixed_block_flag);
      int n;
      if (bt0 == bt1 && !mixed) {
        const int m = std::min(std::max(nsamp[0], nsamp[1]), static_cast<int>(band_limit));
        float* a = xr[0][slot];
        const float* b = xr[1][slot];
        for (int i = 0; i < m; ++i) a[i] += b[i];
        nsamp[0] = std::max(nsamp[0], m);
        n = hybrid(0, hyb);
      } else {
        const int n0 = hybrid(0, hyb);
        const int n1 = hybrid(1, hyb2);
        for (int i = 0; i < 576; ++i) hyb[i] += hyb2[i];
        n = std::max(n0, n1);
      }
      FreqInvert(hyb, n);
      synth->SynthSlots(0, hyb, 1, 32, 18, out, 1);
      break;
    }
  }
}

}  // namespace sorrel::decoder
