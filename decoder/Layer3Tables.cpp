#include "decoder/Layer3Tables.h"

#include <cmath>
#include <vector>

#include "decoder/HuffTables.h"

namespace sorrel::decoder {

namespace l3_tables {

// ISO/IEC 13818-3 (MPEG-2), ISO/IEC 11172-3 (MPEG-1), and the MPEG-2.5 set (11025
// and 12000 Hz share the MPEG-2 16000-Hz bands).
const int16_t kSfbLong[3][3][23] = {
    {{0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576},
     {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576}},
    {{0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 52, 62, 74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
     {0, 4, 8, 12, 16, 20, 24, 30, 36, 42, 50, 60, 72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
     {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 54, 66, 82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576}},
    {{0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     {0,   12,  24,  36,  48,  60,  72,  88,  108, 132, 160, 192,
      232, 280, 336, 400, 476, 566, 568, 570, 572, 574, 576}},
};
const int16_t kSfbShort[3][3][14] = {
    {{0, 4, 8, 12, 18, 24, 32, 42, 56, 74, 100, 132, 174, 192},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 136, 180, 192},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192}},
    {{0, 4, 8, 12, 16, 22, 30, 40, 52, 66, 84, 106, 136, 192},
     {0, 4, 8, 12, 16, 22, 28, 38, 50, 64, 80, 100, 126, 192},
     {0, 4, 8, 12, 16, 22, 30, 42, 58, 78, 104, 138, 180, 192}},
    {{0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
     {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
     {0, 8, 16, 24, 36, 52, 72, 96, 124, 160, 162, 164, 166, 192}},
};
const int32_t kPretab[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

namespace {

constexpr double kPi = 3.14159265358979323846;

// Builds the multi-level lookup of one code list.  Each level looks up at most
// kLevelBits bits; longer codes continue in subtables.
constexpr int kLevelBits = 10;

struct Code {
  uint32_t code;
  int len;
  int x, y;
};

void BuildLevel(std::vector<uint32_t>& out, const std::vector<Code>& codes, int depth) {
  // codes: the remaining (code, len) after `depth` bits were consumed.
  int maxlen = 0;
  for (const Code& c : codes) maxlen = c.len > maxlen ? c.len : maxlen;
  const int w = maxlen < kLevelBits ? maxlen : kLevelBits;
  const size_t base = out.size();
  out.resize(base + 1 + (size_t{1} << w), 0);
  out[base] = static_cast<uint32_t>(w);
  // Leaves at this level.
  std::vector<std::vector<Code>> sub(size_t{1} << w);
  for (const Code& c : codes) {
    if (c.len <= w) {
      const uint32_t first = c.code << (w - c.len);
      const uint32_t n = 1u << (w - c.len);
      for (uint32_t j = 0; j < n; ++j)
        out[base + 1 + first + j] = static_cast<uint32_t>(c.len << 8 | c.x << 4 | c.y);
    } else {
      const uint32_t idx = c.code >> (c.len - w);
      Code r = c;
      r.len = c.len - w;
      r.code = c.code & ((1u << r.len) - 1);
      sub[idx].push_back(r);
    }
  }
  for (size_t i = 0; i < sub.size(); ++i) {
    if (sub[i].empty()) continue;
    const size_t off = out.size() - base;
    out[base + 1 + i] = static_cast<uint32_t>(off << 16);
    BuildLevel(out, sub[i], depth + w);
  }
}

const uint32_t* BuildTree(const l3_huff::HuffTableDesc& d) {
  std::vector<Code> codes;
  for (int x = 0; x < d.xlen; ++x)
    for (int y = 0; y < d.xlen; ++y) {
      const l3_huff::HuffCode& c = d.codes[x * d.xlen + y];
      codes.push_back({c.code, c.len, x, y});
    }
  std::vector<uint32_t> out;
  BuildLevel(out, codes, 0);
  uint32_t* t = new uint32_t[out.size()];  // lives for the process, like the tables
  for (size_t i = 0; i < out.size(); ++i) t[i] = out[i];
  return t;
}

}  // namespace

Tables::Tables() {
  for (int i = 0; i <= 8206; ++i) {
    const float v = static_cast<float>(std::pow(static_cast<double>(i), 4.0 / 3.0));
    pow43s[8206 + i] = v;
    pow43s[8206 - i] = -v;
  }
  for (int i = 0; i < 600; ++i) pow2q[i] = static_cast<float>(std::exp2((i - kPow2qBias) / 4.0));
  static const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
  for (int i = 0; i < 8; ++i) {
    const double sq = std::sqrt(1.0 + c[i] * c[i]);
    cs[i] = static_cast<float>(1.0 / sq);
    ca[i] = static_cast<float>(c[i] / sq);
  }
  for (int m = 0; m < 2; ++m) {
    const double f = m ? std::sqrt(2.0) : 1.0;
    for (int p = 0; p < 7; ++p) {
      const double t = std::tan(p * kPi / 12.0);
      is1[m][p][0] = static_cast<float>(f * t / (1.0 + t));
      is1[m][p][1] = static_cast<float>(f * 1.0 / (1.0 + t));
    }
    is1[m][7][0] = 1.0f;
    is1[m][7][1] = m ? 1.0f : 0.0f;
  }
  for (int sc = 0; sc < 2; ++sc)
    for (int m = 0; m < 2; ++m) {
      const double k = std::exp2(-(sc + 1) / 4.0);
      const double mm = m ? std::sqrt(2.0) : 1.0;
      for (int s = 0; s < 6; ++s) {
        const int start = (1 << s) - 1;
        const int size = 1 << s;
        for (int p = 0; p < size; ++p) {
          float* e = is2[sc][m][start + p];
          if (p == size - 1) {
            e[0] = 1.0f;
            e[1] = m ? 1.0f : 0.0f;
          } else if (p == 0) {
            e[0] = e[1] = static_cast<float>(mm);
          } else if (p & 1) {
            e[0] = static_cast<float>(mm * std::pow(k, (p + 1) / 2));
            e[1] = static_cast<float>(mm);
          } else {
            e[0] = static_cast<float>(mm);
            e[1] = static_cast<float>(mm * std::pow(k, p / 2));
          }
        }
      }
    }
  for (int i = 0; i < 36; ++i) {
    win[0][i] = static_cast<float>(std::sin(kPi / 36 * (i + 0.5)));
    win[1][i] = i < 18   ? win[0][i]
                : i < 24 ? 1.0f
                : i < 30 ? static_cast<float>(std::sin(kPi / 12 * (i - 18 + 0.5)))
                         : 0.0f;
    win[3][i] = i < 6    ? 0.0f
                : i < 12 ? static_cast<float>(std::sin(kPi / 12 * (i - 6 + 0.5)))
                : i < 18 ? 1.0f
                         : win[0][i];
    win[2][i] = i < 12 ? static_cast<float>(std::sin(kPi / 12 * (i + 0.5))) : 0.0f;
  }
  for (int k = 0; k < 18; ++k) imdct_pre[k] = static_cast<float>(2.0 * std::cos(kPi * (2 * k + 1) / 72));
  for (int j = 0; j < 5; ++j)
    for (int k = 0; k < 4; ++k)
      dct9_even[j][k] = static_cast<float>(std::cos(kPi * (2 * j) * (2 * k + 1) / 18));
  for (int j = 0; j < 4; ++j)
    for (int k = 0; k < 4; ++k)
      dct9_odd[j][k] = static_cast<float>(std::cos(kPi * (2 * j + 1) * (2 * k + 1) / 18));
  for (int m = 0; m < 9; ++m)
    for (int k = 0; k < 9; ++k)
      dct4_9[m][k] = static_cast<float>(std::cos(kPi * (2 * m + 1) * (2 * k + 1) / 36));
  // 12-point: y[5-i] = -y[i], y[17-i] = y[i]; rows 0..2 give outputs 0..2, rows 3..5
  // outputs 6..8.
  for (int r = 0; r < 6; ++r) {
    const int i = r < 3 ? r : r + 3;
    for (int k = 0; k < 6; ++k)
      cos12[r][k] = static_cast<float>(std::cos(kPi / 24 * (2 * i + 7) * (2 * k + 1)));
  }
  for (int t = 0; t < 32; ++t) {
    const l3_huff::HuffTableDesc& d = l3_huff::kTables[t];
    huff[t].linbits = d.linbits;
    huff[t].tree = nullptr;
  }
  // Tables 16-23 and 24-31 share their code lists; build each list once.
  const uint32_t* built[32] = {};
  for (int t = 0; t < 32; ++t) {
    const l3_huff::HuffTableDesc& d = l3_huff::kTables[t];
    if (!d.codes) continue;
    for (int u = 0; u < t; ++u)
      if (l3_huff::kTables[u].codes == d.codes) built[t] = built[u];
    if (!built[t]) built[t] = BuildTree(d);
    huff[t].tree = built[t];
  }
  for (int i = 0; i < 64; ++i) {
    count1a[i][0] = 0;
    count1a[i][1] = 0;
  }
  for (int v = 0; v < 16; ++v) {
    const l3_huff::HuffCode& c = l3_huff::kCount1A[v];
    const int first = c.code << (6 - c.len);
    for (int j = 0; j < (1 << (6 - c.len)); ++j) {
      count1a[first + j][0] = c.len;
      count1a[first + j][1] = static_cast<uint8_t>(v);
    }
  }
}

const Tables& Get() {
  static const Tables t;
  return t;
}

}  // namespace l3_tables

}  // namespace sorrel::decoder
