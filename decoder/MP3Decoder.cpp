// The decoder object: routine selection at initialisation and per-frame dispatch.
#include "decoder/MP3Decoder.h"

#include "decoder/Layer12.h"
#include "decoder/Layer3.h"
#include "decoder/MPCPUSpc.h"
#include "decoder/Synth.h"
#include "decoder/simd/Select.h"

namespace sorrel::decoder {

TMP3Decoder::TMP3Decoder()
    : l3_(std::make_unique<TL3Decoder>()),
      l12_(std::make_unique<TL12Decoder>()),  // Layers I/II
      synth_(std::make_unique<sorrel::decoder::TSynth>()) {
  synth_->AttachEqualizer(&EqEnabled32, EqGain32.data());
  l3_->owner = this;
  l3_->synth = synth_.get();
  l3_->k = L3PlainKernels();
}

TMP3Decoder::~TMP3Decoder() = default;

int32_t TMP3Decoder::AudioDecodeInit(const TMPEGHead& head, int32_t framebytes, int32_t reduction_code,
                                     int32_t /*transform_code*/, int32_t convert_code, int32_t freq_limit) {
  layer_ = Layer::None;
  info_ = TDecInfo{};
  if (reduction_code < 0) reduction_code = 0;
  if (reduction_code > 2) reduction_code = 2;
  if (freq_limit < 1000) freq_limit = 1000;
  // Only full-rate 16-bit output exists.
  if (reduction_code != 0 || (convert_code & 8) || convert_code < 0) return 0;
  if (framebytes < 1 || head.sync < 1 || head.sync > 2) return 0;
  synth_->Reset();
  switch (head.option) {
    case 1: {
      if (!l3_->Init(head, framebytes, convert_code, freq_limit, full_band_)) return 0;
      layer_ = Layer::L3;
      info_.channels = l3_->out_code == 1 ? 2 : 1;
      info_.outvalues = l3_->outvalues;
      break;
    }
    // --- Layers I and II (Layer12.cpp) ---
    case 2:
    case 3: {
      if (!l12_->Init(head, framebytes, reduction_code, convert_code, freq_limit, full_band_, *synth_, info_))
        return 0;
      layer_ = Layer::L12;
      break;
    }
    // --- end Layers I and II ---
    default:
      return 0;
  }
  info_.samprate = MPEGSampleRate(head);
  info_.bits = 16;
  info_.framebytes = framebytes;
  info_.type = 0;
  return 1;
}

void TMP3Decoder::AudioDecodeInfo(TDecInfo& info) const { info = info_; }

TInOut TMP3Decoder::AudioDecode(const uint8_t* in, int32_t avail, int16_t* out) {
  if (!in || !out || avail < 4) return {0, 0};
  switch (layer_) {
    case Layer::L3:
      return l3_->DecodeFrame(in, avail, out);
    case Layer::L12:
      return l12_->DecodeFrame(in, avail, out, *synth_);  // Layers I/II
    default:
      return {0, 0};
  }
}

void TMP3Decoder::SetInvertPolarity(bool on) {
  polarity_ = on;
  synth_->SetInvertPolarity(on);
}
bool TMP3Decoder::PolarityInverted() const { return synth_->PolarityInverted(); }
void TMP3Decoder::SetFullBand(bool on) { full_band_ = on; }
bool TMP3Decoder::FullBand() const { return full_band_; }

void TMP3Decoder::SetCpuCapabilities(uint32_t caps) {
  cpu_caps_ = caps;
  // Routine slots for this processor (simd/Select.cpp).
  const TMP3RoutineChoice choice = ChooseRoutines(caps);
  l3_->k = L3KernelsFor(choice);
  SelectSynthRoutines(*synth_, choice.synthWindow);
}

}  // namespace sorrel::decoder
