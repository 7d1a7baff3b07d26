// The 44-byte header of a PCM WAV file (RIFF, "fmt " and "data" chunks), written by the
// decoder tool and the wav audio backend.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sorrel::base {

struct TWavFormat {
  uint32_t sampleRate = 44100;
  uint16_t channels = 2;
  uint16_t bitsPerSample = 16;
  uint16_t BlockAlign() const { return uint16_t(channels * ((bitsPerSample + 7) / 8)); }
  uint32_t BytesPerSecond() const { return sampleRate * BlockAlign(); }
  bool operator==(const TWavFormat&) const = default;
};

inline constexpr size_t kWavHeaderBytes = 44;
// The largest data size the 32-bit RIFF sizes can describe.
inline constexpr uint64_t kWavMaxDataBytes = 0xFFFFFFFFull - 36;

// Little-endian header for `dataBytes` of samples; sizes beyond what 32 bits hold are
// written as 0xFFFFFFFF ("to the end of the file", as streaming writers do).
std::array<uint8_t, kWavHeaderBytes> WavHeader(const TWavFormat& format, uint64_t dataBytes);

// Reads a header written by WavHeader (the canonical 44-byte layout).  False for
// anything else.
bool ParseWavHeader(const uint8_t* bytes, size_t n, TWavFormat& format, uint32_t& dataBytes);

}  // namespace sorrel::base
