// The MPEG audio decoder: one object per player.  Initialise it with a stream's first
// header, then feed it one frame at a time; it writes interleaved 16-bit PCM.
//
// Threading: AudioDecodeInit, AudioDecode, SetInvertPolarity and SetCpuCapabilities
// must not run concurrently on one object (the engine serialises them with its decode
// lock).  The equaliser fields may be written from any thread at any time; they are
// atomics read anew for every time slot and every line, so a change can take effect
// part-way through a frame.  Constant tables are shared by all objects and built once
// per process, safely when two threads start at once.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "decoder/MPEGHeader.h"

namespace sorrel::decoder {

// Stream description, six signed 32-bit fields in this order.
struct TDecInfo {
  int32_t channels;    // output channels, 1 or 2
  int32_t outvalues;   // PCM samples per frame, all channels together
  int32_t samprate;    // output sampling frequency in Hz
  int32_t bits;        // 16
  int32_t framebytes;  // frame length given to AudioDecodeInit
  int32_t type;        // 0
};

// Result of decoding one frame.
struct TInOut {
  int32_t in_bytes;   // bytes consumed (frame length with padding); 0 on failure
  int32_t out_bytes;  // bytes of PCM written; 0 on failure
};

struct TL3Decoder;   // Layer III state (Layer3.h)
struct TL12Decoder;  // Layer I/II state
class TSynth;        // polyphase synthesis (Synth.h)

class TMP3Decoder {
 public:
  TMP3Decoder();
  ~TMP3Decoder();
  TMP3Decoder(const TMP3Decoder&) = delete;
  TMP3Decoder& operator=(const TMP3Decoder&) = delete;

  // Prepares for the stream whose frame header is head; framebytes is that frame's
  // length without padding (HeadInfo's result; for free format the only length the
  // decoder will use).  reduction_code must be 0 (no other routines exist),
  // transform_code is unused, convert_code selects the output channels (0: as the
  // stream; mod 4 = 1: mix to mono, 2: left only, 3: right only; the 8-bit flag 8 is
  // refused), freq_limit is the highest frequency decoded in Hz (the engine passes
  // 24000; raised to at least 1000).  Clears every buffer; keeps the equaliser and
  // the polarity.  Returns 1 on success, 0 when the header cannot be decoded.
  int32_t AudioDecodeInit(const TMPEGHead& head, int32_t framebytes, int32_t reduction_code,
                          int32_t transform_code, int32_t convert_code, int32_t freq_limit);

  // The stream description of the last successful initialisation (zeros before).
  void AudioDecodeInfo(TDecInfo& info) const;

  // Decodes the frame whose first header byte is at in; avail is the number of bytes
  // readable from in, and nothing beyond them is read (a frame longer than avail is
  // refused).  out must have room for outvalues 16-bit samples.  Returns
  // {0, 0} for a frame that cannot be decoded (wrong sync, main-data count out of
  // range, truncated, or no successful initialisation); the caller then writes
  // silence for it.  A frame whose main data lies before the start of the reservoir
  // yields silence and counts as decoded.
  TInOut AudioDecode(const uint8_t* in, int32_t avail, int16_t* out);

  // Output polarity: inverts the sign of every output sample.  Setting the current
  // value again does nothing.  Survives AudioDecodeInit.
  void SetInvertPolarity(bool on);
  bool PolarityInverted() const;

  // Full-band mode: all 32 subbands and all 576 Layer III lines are decoded whatever
  // the frequency limit.  Off by default; takes effect at the next AudioDecodeInit.
  void SetFullBand(bool on);
  bool FullBand() const;

  // Processor capability word (see MPCPUSpc.h); selects the implementations behind
  // the routine slots.  The plain routines are used until it is called.
  void SetCpuCapabilities(uint32_t caps);
  uint32_t CpuCapabilities() const { return cpu_caps_; }

  // Equaliser, written by the engine between (or during) frames.  Gains start at 0
  // with both flags off.
  std::atomic<int32_t> EqEnabled32{0};              // subband equaliser on when non-zero
  std::array<std::atomic<float>, 32> EqGain32{};    // one gain per subband
  std::atomic<int32_t> EqEnabled576{0};             // Layer III line equaliser on when non-zero
  std::array<std::atomic<float>, 576> EqGain576{};  // one gain per Layer III line

  void SetEqEnabled32(bool on) { EqEnabled32.store(on ? 1 : 0, std::memory_order_relaxed); }
  bool GetEqEnabled32() const { return EqEnabled32.load(std::memory_order_relaxed) != 0; }
  void SetEqGain32(int i, float g) {
    if (i >= 0 && i < 32) EqGain32[i].store(g, std::memory_order_relaxed);
  }
  float GetEqGain32(int i) const {
    return (i >= 0 && i < 32) ? EqGain32[i].load(std::memory_order_relaxed) : 0.0f;
  }
  void SetEqEnabled576(bool on) { EqEnabled576.store(on ? 1 : 0, std::memory_order_relaxed); }
  bool GetEqEnabled576() const { return EqEnabled576.load(std::memory_order_relaxed) != 0; }
  void SetEqGain576(int i, float g) {
    if (i >= 0 && i < 576) EqGain576[i].store(g, std::memory_order_relaxed);
  }
  float GetEqGain576(int i) const {
    return (i >= 0 && i < 576) ? EqGain576[i].load(std::memory_order_relaxed) : 0.0f;
  }

 private:
  friend struct TL3Decoder;
  friend struct TL12Decoder;

  enum class Layer { None, L12, L3 };

  TDecInfo info_{};
  Layer layer_ = Layer::None;
  bool full_band_ = false;
  bool polarity_ = false;
  uint32_t cpu_caps_ = 0;
  std::unique_ptr<TL3Decoder> l3_;
  std::unique_ptr<TL12Decoder> l12_;
  std::unique_ptr<sorrel::decoder::TSynth> synth_;
};

}  // namespace sorrel::decoder
