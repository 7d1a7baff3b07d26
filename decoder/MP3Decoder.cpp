// UNFINISHED: interface stub so that the engine can build against the decoder's API.
// AudioDecodeInit refuses every stream until the layer decoders land.
#include "MP3Decoder.h"

struct TL3Decoder {};
struct TL12Decoder {};
class TSynth {};

TMP3Decoder::TMP3Decoder() = default;
TMP3Decoder::~TMP3Decoder() = default;

int32_t TMP3Decoder::AudioDecodeInit(const TMPEGHead&, int32_t, int32_t, int32_t, int32_t,
                                     int32_t) {
  layer_ = Layer::None;
  info_ = TDecInfo{};
  return 0;
}

void TMP3Decoder::AudioDecodeInfo(TDecInfo& info) const { info = info_; }

TInOut TMP3Decoder::AudioDecode(const uint8_t*, int32_t, int16_t*) { return {0, 0}; }

void TMP3Decoder::SetInvertPolarity(bool on) { polarity_ = on; }
bool TMP3Decoder::PolarityInverted() const { return polarity_; }
void TMP3Decoder::SetFullBand(bool on) { full_band_ = on; }
bool TMP3Decoder::FullBand() const { return full_band_; }
void TMP3Decoder::SetCpuCapabilities(uint32_t caps) { cpu_caps_ = caps; }
