// Constant tables of the Layer III decoder, built once per process.
#pragma once

#include <cstdint>

namespace sorrel::decoder {

namespace l3_tables {

// Scale-factor band boundaries: [version: 0 MPEG-2, 1 MPEG-1, 2 MPEG-2.5][sr_index].
extern const int16_t kSfbLong[3][3][23];
extern const int16_t kSfbShort[3][3][14];
extern const int32_t kPretab[22];

// Huffman lookup: element 0 of a (sub)table is the number of bits w looked up at
// that level; it is followed by 2^w entries.  A leaf is (len << 8 | x << 4 | y)
// with len > 0 the bits it takes at its level; a link has len 0 and gives, in bits
// 16.., the offset of its subtable from the start of the current one.
struct HuffLookup {
  const uint32_t* tree;  // nullptr: the table has no codes
  int linbits;
};

struct Tables {
  // sign(x) |x|^(4/3) for x = -8206 .. 8206 (the largest Huffman value is 15 + 8191)
  // at index x + 8206.
  float pow43s[2 * 8206 + 1];
  float pow2q[600];        // 2^((i - kPow2qBias) / 4)
  float cs[8], ca[8];      // alias reduction
  float is1[2][8][2];      // MPEG-1 intensity (kl, kr) [ms_mode][position]
  float is2[2][2][64][2];  // MPEG-2 intensity [scale][ms_mode][row start + position]
  float win[4][36];        // hybrid windows by block type
  // The 36-point IMDCT as an 18-point DCT-IV: pre-factors 2 cos((2k + 1) pi / 72),
  // then a 9-point DCT-II (folded: even and odd rows) and a 9-point DCT-IV.
  float imdct_pre[18];
  float dct9_even[5][4];
  float dct9_odd[4][4];
  float dct4_9[9][9];
  float cos12[6][6];  // unique rows of the 12-point IMDCT
  HuffLookup huff[32];
  uint8_t count1a[64][2];  // {code length, vwxy} by the next 6 bits
  Tables();
};
inline constexpr int kPow2qBias = 450;

const Tables& Get();

}  // namespace l3_tables

}  // namespace sorrel::decoder
