#include "platform/audio/WavFile.h"

#include <cstring>

#include "base/FileIO.h"

namespace sorrel::audio {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The sub-format GUID of PCM in an extensible format chunk, after its first two bytes.
constexpr uint8_t kPcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool Fail(std::string* error, const char* why) {
  if (error) *error = why;
  return false;
}

// The "fmt " chunk's body.
bool ParseFormat(const uint8_t* p, size_t n, PcmFormat& f, std::string* error) {
  if (n < 16) return Fail(error, "format chunk too short");
  uint16_t tag = Get16(p);
  const unsigned channels = Get16(p + 2), rate = Get32(p + 4), align = Get16(p + 12), bits = Get16(p + 14);
  if (tag == kFormatExtensible) {
    if (n < 40 || Get16(p + 16) < 22) return Fail(error, "extensible format chunk too short");
    if (Get16(p + 18) != bits || Get16(p + 24) != kFormatPcm || std::memcmp(p + 26, kPcmGuidTail, 14) != 0)
      return Fail(error, "not plain PCM");
    tag = kFormatPcm;
  }
  if (tag != kFormatPcm) return Fail(error, "not PCM");
  if (bits != 8 && bits != 16) return Fail(error, "only 8-bit and 16-bit samples are played");
  if (channels != 1 && channels != 2) return Fail(error, "only mono and stereo are played");
  if (rate < 1000 || rate > 384000) return Fail(error, "sample rate out of range");
  if (align != channels * bits / 8) return Fail(error, "block size does not match the format");
  f.channels = channels;
  f.sampleRate = rate;
  f.bitsPerSample = bits;
  return true;
}

}  // namespace

bool ParsePcmWav(const uint8_t* bytes, size_t n, PcmSound& sound, std::string* error) {
  if (n < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
    return Fail(error, "not a RIFF WAVE file");
  bool haveFormat = false;
  PcmFormat format;
  // The chunks after "WAVE", each padded to an even size.  The RIFF size is not trusted:
  // writers that stream leave it 0 or too large.
  size_t at = 12;
  while (n - at >= 8) {
    const uint8_t* chunk = bytes + at;
    const uint64_t size = Get32(chunk + 4);
    const size_t body = at + 8;
    const size_t present = n - body;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size > present) return Fail(error, "format chunk cut short");
      if (!ParseFormat(chunk + 8, size_t(size), format, error)) return false;
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) return Fail(error, "samples before the format");
      const size_t length = size == 0 || size > present ? present : size_t(size);
      const size_t whole = length / format.blockAlign() * format.blockAlign();
      sound.format = format;
      sound.samples.assign(bytes + body, bytes + body + whole);
      return true;
    }
    if (size > present) break;
    at = body + size_t(size) + (size & 1);
    if (at > n) break;
  }
  return Fail(error, haveFormat ? "no samples" : "no format chunk");
}

bool ReadPcmWav(const std::string& path, PcmSound& sound, std::string* error) {
  const base::TReadResult file = base::ReadRegularFile(path, kMaxSoundFileBytes);
  if (!file.ok()) {
    if (error) *error = file.error;
    return false;
  }
  std::string why;
  if (ParsePcmWav(reinterpret_cast<const uint8_t*>(file.data.data()), file.data.size(), sound, &why))
    return true;
  if (error) *error = path + ": " + why;
  return false;
}

}  // namespace sorrel::audio
