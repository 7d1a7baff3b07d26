// Polyphase synthesis filterbank shared by all three layers: 32 subband
// samples of one channel in, 32 16-bit PCM samples out per time slot.
//
// One TSynth per decoder. The constant tables (window, DCT factors) are
// built once per process on first use and are safe to build from two threads
// at once; everything else lives in the object.
//
// The window is kept as the standard's 512 coefficients in their natural
// order (the windowing then reads every row contiguously), and each slot's
// matrixing output as the full 64 values; polarity inversion negates all 512.
// Both the matrixing and the windowing have vector versions (simd/).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace sorrel::decoder {

// The windowing step of one time slot. `v` is the 64-value matrixing output
// history of the channel (a ring of 32 slots of 64; the window reads the 16
// newest), `pos` the slot that holds the newest output, `win` the 512-value
// window (sign already folded in for the polarity switch), `out` receives 32
// samples `outStride` apart. Implementations differ only in instruction
// choice and summation order.
using TSynthWindowFn = void (*)(const float* v, int pos, const float* win, int16_t* out, int outStride);

// Both channels of a stereo slot at once (the two-channel variant): channel
// c's history v_c at pos_c, 64 samples written interleaved from out.
using TSynthWindow2Fn = void (*)(const float* v0, const float* v1, int pos0, int pos1, const float* win,
                                 int16_t* out);

// The matrixing of `nslots` consecutive time slots (at most TSynth::kBatch):
// slot t reads its 32 subband samples from in[t * slotStride + s * sbStride],
// multiplies them by gains[s] when gains is not null, and stores the 64
// history values of its 32-point DCT at ring slot (pos - t) mod 32 of v.
// `dct` holds the 31 factors of the factorised DCT.
using TSynthDctFn = void (*)(const float* in, int sbStride, int slotStride, int nslots, const float* gains,
                             float* v, int pos, const float* dct);

// Output channel codes of Layers I and II (see TSynth::SynthSlotL12).
enum class TSynthChannels : int32_t {
  scMonoSource = 0,  // one-channel stream: 32 values in, 32 samples out
  scStereo = 1,      // interleaved pair per subband in, interleaved L/R out
  scMixToMono = 2,   // interleaved in, (L + R) / 2 synthesised, 32 samples out
  scLeftOnly = 3,    // interleaved in, left only, 32 samples out
  scRightOnly = 4,   // interleaved in, right only, 32 samples out
};

class TSynth {
 public:
  static constexpr int kSlots = 32;       // history ring in time slots (16 in use, room
                                          // for a batch stored ahead)
  static constexpr int kSlotValues = 64;  // matrixing outputs kept per slot
  static constexpr int kBatch = 8;        // slots matrixed together

  TSynth();

  // Clears both channels' histories and positions (decoder initialisation).
  // Polarity and equaliser settings survive.
  void Reset();

  // Changing the flag negates every window coefficient (exact); setting it to
  // its current value does nothing.
  void SetInvertPolarity(bool on);
  bool PolarityInverted() const { return inverted_; }

  // Subband equaliser, written by the engine from another thread between or
  // during frames: read anew for every batch of up to kBatch time slots (so a
  // change still takes effect within the frame). Gains start at 0, flag off.
  // By default the synthesis keeps its own fields; AttachEqualizer makes it
  // read the owner's (a flag and 32 gains that outlive this object) instead.
  void AttachEqualizer(const std::atomic<int32_t>* enabled, const std::atomic<float>* gains32);
  void SetEqEnabled32(int32_t enabled) { ownEqEnabled_.store(enabled, std::memory_order_relaxed); }
  int32_t EqEnabled32() const { return eqEnabled_->load(std::memory_order_relaxed); }
  void SetEqGain32(int subband, float gain);
  float EqGain32(int subband) const;

  // Routine selection (done once per initialisation by the decoder).
  void SetWindowRoutine(TSynthWindowFn fn) { window_ = fn; }
  TSynthWindowFn WindowRoutine() const { return window_; }
  void SetWindow2Routine(TSynthWindow2Fn fn) { window2_ = fn; }
  TSynthWindow2Fn Window2Routine() const { return window2_; }
  void SetDctRoutine(TSynthDctFn fn) { dct_ = fn; }
  TSynthDctFn DctRoutine() const { return dct_; }

  // One time slot of channel `ch` (0 or 1) at that channel's own position
  // (Layer III): subband s is read from in[s * inStride]; sample j is written
  // to out[j * outStride] (outStride 2 interleaves stereo). The channel's
  // position then moves on by one slot.
  void Synth(int ch, const float* in, int inStride, int16_t* out, int outStride);

  // `slots` consecutive time slots of one channel (Layer III granule: 18):
  // slot t reads in[t * slotStride + s * inStride] and writes its 32 samples
  // from out + t * 32 * outStride on.
  void SynthSlots(int ch, const float* in, int inStride, int slotStride, int slots, int16_t* out,
                  int outStride);

  // Both channels of a Layer III granule at their own positions, output
  // interleaved: as SynthSlots for channel 0 from in0 and channel 1 from in1
  // with outStride 2, but faster.
  void SynthSlotsStereo(const float* in0, const float* in1, int inStride, int slotStride, int slots,
                        int16_t* out);

  // One time slot of Layers I and II: both channels share channel 0's
  // position, which moves once per slot. `row` is the slot's row of the
  // subband buffer: 32 values for a mono source, 64 interleaved (L0 R0 L1
  // R1 ...) otherwise. Writes 64 samples for scStereo, else 32.
  void SynthSlotL12(TSynthChannels mode, const float* row, int16_t* out);
  // `slots` such rows (64 values apart); slot t writes from out + t * 32 x
  // output channels on.
  void SynthRowsL12(TSynthChannels mode, const float* rows, int slots, int16_t* out);

  // The ISO/IEC 11172-3 window D[0..511] (unscaled, positive polarity).
  static const float* IsoWindow();
  // The 31 factors of the factorised DCT (see TSynthDctFn).
  static const float* DctFactors();

 private:
  void Advance(int ch) { pos_[ch] = (pos_[ch] + kSlots - 1) & (kSlots - 1); }
  void Matrix(int ch, const float* in, int sbStride, int slotStride, int n);

  alignas(64) float v_[2][kSlots * kSlotValues];
  alignas(64) float win_[512];
  int pos_[2];
  bool inverted_ = false;
  TSynthWindowFn window_;
  TSynthWindow2Fn window2_;
  TSynthDctFn dct_;
  std::atomic<int32_t> ownEqEnabled_{0};
  std::array<std::atomic<float>, 32> ownEqGain_;
  const std::atomic<int32_t>* eqEnabled_ = &ownEqEnabled_;
  const std::atomic<float>* eqGain_ = ownEqGain_.data();
};

// The plain (portable) routines.
void SynthWindowPlain(const float* v, int pos, const float* win, int16_t* out, int outStride);
void SynthWindow2Plain(const float* v0, const float* v1, int pos0, int pos1, const float* win, int16_t* out);
void SynthDctPlain(const float* in, int sbStride, int slotStride, int nslots, const float* gains, float* v,
                   int pos, const float* dct);

// 32-point DCT-II without normalisation: out[n] = sum_k in[k] cos((2k+1) n pi / 64).
void Dct32(const float* in, float* out);

}  // namespace sorrel::decoder
