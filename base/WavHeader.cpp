#include "base/WavHeader.h"

#include <cstring>

namespace sorrel::base {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}
uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

}  // namespace

std::array<uint8_t, kWavHeaderBytes> WavHeader(const TWavFormat& f, uint64_t dataBytes) {
  std::array<uint8_t, kWavHeaderBytes> h{};
  const bool fits = dataBytes <= kWavMaxDataBytes;
  std::memcpy(h.data(), "RIFF", 4);
  Put32(h.data() + 4, fits ? uint32_t(dataBytes + 36) : 0xFFFFFFFFu);
  std::memcpy(h.data() + 8, "WAVEfmt ", 8);
  Put32(h.data() + 16, 16);
  Put16(h.data() + 20, 1);  // PCM
  Put16(h.data() + 22, f.channels);
  Put32(h.data() + 24, f.sampleRate);
  Put32(h.data() + 28, f.BytesPerSecond());
  Put16(h.data() + 32, f.BlockAlign());
  Put16(h.data() + 34, f.bitsPerSample);
  std::memcpy(h.data() + 36, "data", 4);
  Put32(h.data() + 40, fits ? uint32_t(dataBytes) : 0xFFFFFFFFu);
  return h;
}

bool ParseWavHeader(const uint8_t* b, size_t n, TWavFormat& f, uint32_t& dataBytes) {
  if (n < kWavHeaderBytes || std::memcmp(b, "RIFF", 4) || std::memcmp(b + 8, "WAVEfmt ", 8) ||
      Get32(b + 16) != 16 || Get16(b + 20) != 1 || std::memcmp(b + 36, "data", 4))
    return false;
  f.channels = uint16_t(Get16(b + 22));
  f.sampleRate = Get32(b + 24);
  f.bitsPerSample = uint16_t(Get16(b + 34));
  dataBytes = Get32(b + 40);
  return f.channels > 0 && f.bitsPerSample > 0;
}

}  // namespace sorrel::base
