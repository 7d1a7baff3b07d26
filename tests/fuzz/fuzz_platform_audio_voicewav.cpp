// The voice files' reader on arbitrary bytes: an answer every time, and samples that
// are whole frames of a format the wave device takes, within the bytes given.
#include <cstdint>
#include <cstdlib>

#include "platform/audio/WavFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sorrel::audio::PcmSound sound;
  std::string error;
  if (!sorrel::audio::ParsePcmWav(data, size, sound, &error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const sorrel::audio::PcmFormat& f = sound.format;
  if ((f.channels != 1 && f.channels != 2) || (f.bitsPerSample != 8 && f.bitsPerSample != 16) ||
      f.sampleRate < 1000 || f.sampleRate > 384000)
    std::abort();
  if (sound.samples.size() > size || sound.samples.size() % f.blockAlign() != 0) std::abort();
  return 0;
}
