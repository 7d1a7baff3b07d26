// Layer III Huffman code lists; the decoder builds its lookup tables from them.
#pragma once

#include <cstdint>

namespace sorrel::decoder {

namespace l3_huff {

struct HuffCode {
  uint16_t code;
  uint8_t len;
};

struct HuffTableDesc {
  const HuffCode* codes;  // xlen * xlen entries, index x * xlen + y
  int xlen;               // 0: the table has no codes (all zeros)
  int linbits;
};

extern const HuffTableDesc kTables[32];
extern const HuffCode kCount1A[16];
extern const HuffCode kCount1B[16];

}  // namespace l3_huff

}  // namespace sorrel::decoder
