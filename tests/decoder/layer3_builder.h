// Builds Layer III test material bit by bit: headers, side information and main
// data of one-channel MPEG-1 frames.
#pragma once

#include <cstdint>
#include <vector>

#include "decoder/HuffTables.h"
#include "decoder/MPEGHeader.h"

using namespace sorrel::decoder;

namespace l3test {

class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if ((count_ & 7) == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (count_ & 7));
      ++count_;
    }
  }
  // The Huffman code of the pair (x, y) of big-value table t, without signs.
  void PutPair(int t, int x, int y) {
    const l3_huff::HuffTableDesc& d = l3_huff::kTables[t];
    const l3_huff::HuffCode& c = d.codes[x * d.xlen + y];
    Put(c.code, c.len);
  }
  int bits() const { return count_; }
  std::vector<uint8_t> bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int count_ = 0;
};

// Header bytes: id 1 MPEG-1 / 0 MPEG-2; sync 1 (0xFFF) or 2 (0xFFE, MPEG-2.5);
// layer code 1 = Layer III.
inline std::vector<uint8_t> Header(int id, int sync, int layer_code, int br_index, int sr_index, int mode,
                                   int pad = 0, int prot = 1, int mode_ext = 0) {
  const uint8_t b1 = static_cast<uint8_t>((sync == 1 ? 0xF0 : 0xE0) | id << 3 | layer_code << 1 | prot);
  const uint8_t b2 = static_cast<uint8_t>(br_index << 4 | sr_index << 2 | pad << 1);
  const uint8_t b3 = static_cast<uint8_t>(mode << 6 | mode_ext << 4);
  return {0xFF, b1, b2, b3};
}

inline TMPEGHead Parse(const std::vector<uint8_t>& h) {
  TMPEGHead head{};
  HeadInfo(h.data(), 0, head);
  return head;
}

// Long-block side information of one granule of a one-channel MPEG-1 frame.
struct Granule {
  int part2_3_length = 0;
  int big_values = 0;
  int global_gain = 150;  // 150: requantised x^(4/3) comes out unscaled
  int scalefac_compress = 0;
  int table_select[3] = {0, 0, 0};
  int region0_count = 0;
  int region1_count = 0;
  int preflag = 0;
  int scalefac_scale = 0;
  int count1table_select = 0;
};

// A one-channel MPEG-1 Layer III frame at 128 kbit/s, 44100 Hz (417 bytes without
// padding): side information for two long-block granules, then main_data.
inline std::vector<uint8_t> MonoFrame(int main_data_begin, int scfsi, const Granule& g0, const Granule& g1,
                                      const std::vector<uint8_t>& main_data) {
  std::vector<uint8_t> f = Header(1, 1, 1, 9, 0, 3);
  BitWriter w;
  w.Put(static_cast<uint32_t>(main_data_begin), 9);
  w.Put(0, 5);
  w.Put(static_cast<uint32_t>(scfsi), 4);
  for (const Granule* g : {&g0, &g1}) {
    w.Put(static_cast<uint32_t>(g->part2_3_length), 12);
    w.Put(static_cast<uint32_t>(g->big_values), 9);
    w.Put(static_cast<uint32_t>(g->global_gain), 8);
    w.Put(static_cast<uint32_t>(g->scalefac_compress), 4);
    w.Put(0, 1);  // no window switching
    for (int t = 0; t < 3; ++t) w.Put(static_cast<uint32_t>(g->table_select[t]), 5);
    w.Put(static_cast<uint32_t>(g->region0_count), 4);
    w.Put(static_cast<uint32_t>(g->region1_count), 3);
    w.Put(static_cast<uint32_t>(g->preflag), 1);
    w.Put(static_cast<uint32_t>(g->scalefac_scale), 1);
    w.Put(static_cast<uint32_t>(g->count1table_select), 1);
  }
  const std::vector<uint8_t> side = w.bytes();
  f.insert(f.end(), side.begin(), side.end());
  f.insert(f.end(), main_data.begin(), main_data.end());
  f.resize(417, 0);
  return f;
}

}  // namespace l3test
