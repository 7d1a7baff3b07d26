// Layer III decoding: side information, scale factors, Huffman decoding,
// requantisation, stereo processing, alias reduction and the hybrid transform.
// The state of one stream lives in TL3Decoder, owned by TMP3Decoder.
#pragma once

#include <cstdint>

#include "decoder/MP3Decoder.h"

namespace sorrel::decoder {

class TSynth;

// Granule-channel side information, eighteen fields in this order.
struct TGrInfo {
  int32_t part2_3_length;
  int32_t big_values;
  int32_t global_gain;  // as read + gain adjustment (and -2 with mid/side)
  int32_t scalefac_compress;
  int32_t window_switching_flag;
  int32_t block_type;
  int32_t mixed_block_flag;
  int32_t table_select[3];
  int32_t subblock_gain[3];
  int32_t region0_count;
  int32_t region1_count;
  int32_t preflag;
  int32_t scalefac_scale;
  int32_t count1table_select;
};

// Scale factors: 23 long-block values, then 3 x 13 short-block values (window-major).
struct TScaleFact {
  int32_t l[23];
  int32_t s[3][13];
};

// What requantisation found out about a granule-channel.
struct TCbInfo {
  int32_t cbtype;      // 0 long blocks only, 1 short or mixed
  int32_t cbmax;       // last band holding a non-zero line
  int32_t lb_type;     // first short band: 12 long, 0 short, 3 mixed
  int32_t ncbl;        // number of long bands
  int32_t cbmax_s[3];  // last short band with a non-zero line, per window
};

// MPEG-2 intensity-stereo record of the right channel: the largest intensity
// position (2^slen - 1, the illegal one) of every band.
struct TIsInfo {
  int32_t intensity_scale;
  int32_t max_l[22];
  int32_t max_s[13];
};

// Routine slots for the kernels that have processor-specific versions.
// Hybrid: transforms subbands [0, nlong) with the long window of block_type and
// [nlong, ntotal) as three short blocks, passes the overlap alone through
// [ntotal, nprev); writes out (18 time slots x 32 subbands, time-major) and the new
// overlap into cur; returns the number of subbands written.
using TL3AntialiasFn = void (*)(float* x, int nbound);
using TL3HybridFn = int (*)(float* cur, float* prev, float* out, int block_type, int nlong, int ntotal,
                            int nprev);
// 18 lines -> 36 values, and 6 lines (stride 3) -> 12 values, unwindowed.
using TL3Imdct36Fn = void (*)(const float* in, float* out);
using TL3Imdct12Fn = void (*)(const float* in, float* out);

struct TL3Kernels {
  TL3AntialiasFn antialias;
  TL3HybridFn hybrid;
  TL3Imdct36Fn imdct36;
  TL3Imdct12Fn imdct12;
};

// The plain implementations.
void L3AntialiasPlain(float* x, int nbound);
int L3HybridPlain(float* cur, float* prev, float* out, int block_type, int nlong, int ntotal, int nprev);
void L3Imdct36Plain(const float* in, float* out);
void L3Imdct12Plain(const float* in, float* out);
TL3Kernels L3PlainKernels();

// Windows of the hybrid transform [block type][36] (block type 2: first 12 values).
const float (*L3ImdctWindows())[36];

struct TL3Decoder {
  static constexpr int kMainBufSize = 8192;
  // Room past the reservoir so that a reader started anywhere a corrupt frame can
  // point it, and running on to its limit, stays inside the array.
  static constexpr int kMainBufAlloc = 8192 + 4096;

  TMP3Decoder* owner = nullptr;
  sorrel::decoder::TSynth* synth = nullptr;
  TL3Kernels k{};

  // Stream set-up.
  int32_t id = 1, sync = 1, sr_index = 0, out_code = 1;
  int32_t stream_nchan = 2;  // channels of the header given to Init
  int32_t nchan = 2;         // channels of the current frame
  bool mixing = false;       // two channels mixed to one output
  int32_t framebytes = 0, outvalues = 0;
  int32_t band_limit = 576, band_limit21 = 576, band_limit12 = 576, band_limit_nsb = 32;
  int32_t gain_adj = 0, ncbl_mixed = 8;
  const int16_t* sfb_l = nullptr;  // 23 long boundaries
  const int16_t* sfb_s = nullptr;  // 14 short boundaries
  int32_t mpeg2_slot = 0;

  // Per frame.
  int32_t mode = 0, mode_ext = 0, ms_mode = 0, is_mode = 0;
  int32_t main_data_begin = 0, scfsi[2] = {0, 0};
  TGrInfo gi[2][2]{};
  TScaleFact sf[2][2]{};
  TCbInfo cb[2]{};
  TIsInfo isinfo{};
  int32_t nsamp[2]{};
  int32_t prev_nsb[2]{};  // subbands the previous hybrid transform wrote, per channel

  // Buffers.
  alignas(16) int32_t ix[2][576]{};
  alignas(16) float xr[2][2][576]{};  // [channel][granule slot][line]
  alignas(16) float hyb[576]{};       // 18 time slots x 32 subbands
  alignas(16) float hyb2[576]{};
  uint8_t main_buf[kMainBufAlloc]{};
  int32_t buf_ptr0 = 0, buf_ptr1 = 0, main_pos_bit = 0;

  // Set-up as AudioDecodeInit does it; returns false when the header is not Layer III.
  bool Init(const TMPEGHead& head, int32_t framebytes, int32_t convert_code, int32_t freq_limit,
            bool full_band);
  TInOut DecodeFrame(const uint8_t* in, int32_t avail, int16_t* out);

  // The stages, public for the tests.

  int32_t UnpackSide(const uint8_t* in, int32_t avail);
  void DecodeGranule(int gr, int slot, int16_t* out);
  void DecodeChannelData(int gr, int ch);
  void Dequant(int ch, int slot, int gr);
  void StereoProcess(int slot, int gr);
};

}  // namespace sorrel::decoder
