// Helpers of the Layer III tests: reading files, decoding a stream the way the player
// does, and comparing PCM.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "decoder/MP3Decoder.h"
#include "decoder/MPEGHeader.h"
#include "tests/decoder/walk_test_util.h"

using namespace sorrel::decoder;

namespace l3test {

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> d;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return d;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) d.insert(d.end(), buf, buf + n);
  std::fclose(f);
  return d;
}

inline std::vector<int16_t> ReadPcm(const std::string& path) {
  const std::vector<uint8_t> b = ReadBytes(path);
  std::vector<int16_t> s(b.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
  return s;
}

struct Decoded {
  std::vector<int16_t> pcm;       // as the reference lays it out (see below)
  std::vector<int> frame_values;  // samples each frame contributed to pcm
  int frames = 0;
  int failed = 0;   // frames AudioDecode refused
  int starved = 0;  // leading frames whose main data lay before the stream
  int channels = 0;
  int samprate = 0;
};

// Decodes a whole stream, its frames found as the player finds them (WalkStream), each
// given to the decoder with its own length.  When per_frame_channels is set, a stream
// that switches between one and two channels is decoded to two-channel output and each
// one-channel frame contributes only its left samples: the layout of a reference
// decoder that follows every frame's own mode.
inline Decoded DecodeStream(const std::vector<uint8_t>& bits, bool full_band, int convert_code = 0,
                            bool per_frame_channels = false, int freq_limit = 24000) {
  Decoded r;
  const TWalkedStream s = WalkStream(bits);
  if (!s.ok) return r;
  TMPEGHead init = s.walker.First().head;
  bool any_stereo = false;
  for (const TMPEGFrame& f : s.frames) any_stereo |= f.head.mode != 3;
  if (per_frame_channels && any_stereo) init.mode = 0;
  TMP3Decoder dec;
  dec.SetFullBand(full_band);
  if (!dec.AudioDecodeInit(init, s.walker.First().rawLength, 0, 0, convert_code, freq_limit)) return r;
  TDecInfo info{};
  dec.AudioDecodeInfo(info);
  r.channels = info.channels;
  r.samprate = info.samprate;
  std::vector<int16_t> out(static_cast<size_t>(info.outvalues));
  int64_t reservoir = 0;  // main-data bytes seen so far
  bool leading = true;
  for (size_t i = 0; i < s.frames.size(); ++i) {
    const TMPEGHead& h = s.frames[i].head;
    const uint8_t* frame = bits.data() + s.at[i];
    const int32_t flen = s.frames[i].length;
    if (h.option == 1) {
      const int side = 4 + MPEGSideInfoBytes(h.id, h.mode) + (h.prot == 0 ? 2 : 0);
      const uint8_t* sp = frame + 4 + (h.prot == 0 ? 2 : 0);
      const int mdb = h.id == 1 ? (sp[0] << 1 | sp[1] >> 7) : sp[0];
      if (leading && mdb > reservoir)
        ++r.starved;
      else
        leading = false;
      reservoir += flen - side;
    }
    const TInOut io = dec.AudioDecode(frame, flen, out.data());
    if (io.in_bytes < 1) {
      ++r.failed;
      std::fill(out.begin(), out.end(), 0);
    }
    const bool mono_frame = per_frame_channels && h.mode == 3 && info.channels == 2;
    const size_t before = r.pcm.size();
    for (size_t k = 0; k < out.size(); k += mono_frame ? 2 : 1) r.pcm.push_back(out[k]);
    r.frame_values.push_back(static_cast<int>(r.pcm.size() - before));
    ++r.frames;
  }
  return r;
}

struct Compare {
  size_t common = 0;
  int max_diff = 0;
  double psnr = 0;
};

inline Compare ComparePcm(const std::vector<int16_t>& a, size_t a_from, const std::vector<int16_t>& ref) {
  Compare c;
  const size_t na = a.size() > a_from ? a.size() - a_from : 0;
  c.common = na < ref.size() ? na : ref.size();
  double se = 0;
  for (size_t i = 0; i < c.common; ++i) {
    const int d = std::abs(a[a_from + i] - ref[i]);
    if (d > c.max_diff) c.max_diff = d;
    se += static_cast<double>(d) * d;
  }
  c.psnr = se == 0
               ? 999.0
               : 10.0 * std::log10(32767.0 * 32767.0 / (se / static_cast<double>(c.common ? c.common : 1)));
  return c;
}

}  // namespace l3test
