// MPEG audio frame header: parsing, frame length and bit-rate arithmetic, first-frame
// search and free-format detection.  Plain C++, no state.
#pragma once

#include <cstdint>

namespace sorrel::decoder {

// Parsed 4-byte frame header; thirteen signed 32-bit fields in this order.
struct TMPEGHead {
  int32_t sync;      // 1: sync 0xFFF (MPEG-1/2), 2: sync 0xFFE (MPEG-2.5), 0: none
  int32_t id;        // 1 = MPEG-1, 0 = MPEG-2 / MPEG-2.5
  int32_t option;    // layer code: 3 = Layer I, 2 = Layer II, 1 = Layer III, 0 reserved
  int32_t prot;      // 0: a 16-bit CRC follows the header
  int32_t br_index;  // 0 = free format, 15 = invalid
  int32_t sr_index;  // 3 = reserved
  int32_t pad;
  int32_t private_bit;
  int32_t mode;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
  int32_t mode_ext;
  int32_t cr;
  int32_t orig;
  int32_t emphasis;
};

// Parses the 4 bytes at buf (which must hold at least 4 bytes) and returns the frame
// length in bytes without padding; 0 when the bytes are not a usable header, a
// negative value for the reserved sampling frequency.  n is the number of bytes
// readable from buf and only matters for free format (br_index 0), whose length is
// found by looking for the next identical headers within min(n, 10000) bytes; n <= 0
// means no free-format search (a free-format header then yields 0).
int32_t HeadInfo(const uint8_t* buf, int32_t n, TMPEGHead& head);

// Finds the first sync pattern in the n bytes at buf, stores its offset, parses the
// header there and computes the bit rate in bit/s (0 first).  Returns the frame length
// (as HeadInfo) or 0 when there is no sync pattern (offset then untouched) or the
// header there is unusable.  Never reads at or beyond buf + n.
int32_t HeadInfoSearch(const uint8_t* buf, int32_t n, TMPEGHead& head, int32_t& bitrate, int32_t& offset);

// True when the first two bytes of the two headers are equal.
bool CompareHeader(const uint8_t* a, const uint8_t* b);

// True when the header at hdr agrees with the stream's first header in byte 0, byte 1
// except the protection bit, and the sampling-frequency bits of byte 2 (the check a
// player makes before every frame).
bool HeaderAgrees(const uint8_t* hdr, const uint8_t* first);

// Bit rate in kbit/s from the layer's table (0 for free format and index 15).
int32_t MPEGBitRateKbps(const TMPEGHead& head);
// Sampling frequency in Hz (MPEG-2.5 halved); 0 for the reserved index.
int32_t MPEGSampleRate(const TMPEGHead& head);
// Samples per channel in one frame: 384, 1152, or 576 for MPEG-2/2.5 Layer III.
int32_t MPEGSamplesPerFrame(const TMPEGHead& head);
// Bytes of Layer III side information after the 4 header bytes (and the CRC word):
// 32 for MPEG-1 with two channels, 17 for MPEG-1 with one channel or MPEG-2/2.5 with
// two, 9 for MPEG-2/2.5 with one.  mode 3 is single channel.
int32_t MPEGSideInfoBytes(int32_t id, int32_t mode);
// Length of the frame in bytes including its padding (x4 for Layer I), given the
// length without padding as HeadInfo returns it.
int32_t MPEGPaddedFrameBytes(const TMPEGHead& head, int32_t framebytes);
// Bit rate in bit/s of a frame of the given length (without padding), as
// HeadInfoSearch computes it: the table value, or for free format derived from the
// length.
int32_t MPEGBitRate(const TMPEGHead& head, int32_t framebytes);

}  // namespace sorrel::decoder
