// Layer I and Layer II decoding: bit allocation, scale factors and samples of
// one frame into the subband buffer, then the synthesis of its time slots.
#pragma once

#include <cstdint>

#include "decoder/MPEGHeader.h"
#include "decoder/Synth.h"

namespace sorrel::decoder {

struct TDecInfo;
struct TInOut;

using sorrel::decoder::TSynth;
using sorrel::decoder::TSynthChannels;

// Layer II allocation tables, numbered as the selection uses them.
enum TL2Table : int32_t { l2tB2a = 0, l2tB2b = 1, l2tB2c = 2, l2tB2d = 3, l2tLsf = 4 };

// The allocation table of an MPEG-1 Layer II stream for mode, sampling-
// frequency index and bit-rate index, or -1 where the standard forbids the
// combination (and for the reserved indices).
int32_t L2TableFor(int32_t mode, int32_t sr_index, int32_t br_index);

struct TL12Decoder {
  // Prepares for a Layer I (option 3) or Layer II (option 2, or the reserved
  // layer code 0 treated as Layer II by the routine table) stream. convert is
  // the caller's convert code (mod 4: 0 as the stream, 1 mix to mono, 2 left
  // only, 3 right only); freqLimit in Hz (at least 1000); fullBand decodes all
  // coded subbands whatever the limit. Returns 1 and fills info on success,
  // 0 for a reserved sampling frequency, a Layer II combination without table,
  // a reduction other than 0, or a layer that is not I or II.
  int32_t Init(const TMPEGHead& head, int32_t framebytes, int32_t reduction, int32_t convert,
               int32_t freqLimit, bool fullBand, TSynth& synth, TDecInfo& info);

  // Decodes the frame at in (avail bytes readable; nothing beyond is read) to
  // outvalues samples at out. {0, 0} for a wrong sync, a frame longer than
  // avail, or no successful Init.
  TInOut DecodeFrame(const uint8_t* in, int32_t avail, int16_t* out, TSynth& synth);

  // Stream values set by Init (exposed for tests and diagnostics).
  int32_t Layer() const { return layer_; }
  int32_t Table() const { return table_; }
  int32_t MaxSb() const { return maxSb_; }        // subbands coded, per channel
  int32_t LimitSb() const { return limitSb_; }    // subbands decoded, per channel
  int32_t Channels() const { return channels_; }  // channels in the stream
  // The subband buffer of the last frame: rows of 64 per time slot.
  const float* Samples() const { return samples_; }
  // Scale-factor multiplier of index k (65536 x 2^(-k/3)) and the Layer II
  // class constant of class c (2 / steps).
  static float ScaleMultiplier(int k);
  static float L2ClassConstant(int c);

 private:
  int32_t DecodeLayer1(const uint8_t* in, int32_t avail);
  int32_t DecodeLayer2(const uint8_t* in, int32_t avail);

  int32_t layer_ = 0;     // 1 or 2 once initialised, else 0
  int32_t table_ = -1;    // Layer II allocation table
  int32_t channels_ = 0;  // 1 or 2
  int32_t maxSb_ = 0;
  int32_t limitSb_ = 0;
  int32_t framebytes_ = 0;
  int32_t outBytes_ = 0;
  TSynthChannels synthMode_ = TSynthChannels::scStereo;
  int32_t outChannels_ = 0;

  // Subband samples, rows of 64 per time slot (interleaved for two channels).
  alignas(64) float samples_[36 * 64];
  uint8_t cls_[2][32];     // quantisation class per channel and subband
  float scale_[2][32][3];  // class constant x scale factor, per part of 12 slots
};

}  // namespace sorrel::decoder
