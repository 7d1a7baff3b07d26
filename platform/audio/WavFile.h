// Reading the sounds the program plays itself (the voice files): RIFF WAVE files of
// 8-bit or 16-bit PCM, mono or stereo.  Anything else is refused with a reason, never
// trusted: sizes are checked against the bytes there are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/WaveOut.h"

namespace sorrel::audio {

struct PcmSound {
  PcmFormat format;
  std::vector<uint8_t> samples;  // whole frames
};

// Larger files are not read: a voice file is a few seconds.
inline constexpr uint64_t kMaxSoundFileBytes = 64ull << 20;

// Parses a whole file's bytes.  Chunks other than "fmt " and "data" are skipped; a
// "data" size of 0 or beyond the file (a recording cut short) means "to the end of
// the file", cut to whole frames.  False with a reason in `error`.
bool ParsePcmWav(const uint8_t* bytes, size_t n, PcmSound& sound, std::string* error = nullptr);
bool ReadPcmWav(const std::string& path, PcmSound& sound, std::string* error = nullptr);

}  // namespace sorrel::audio
