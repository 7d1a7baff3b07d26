// Helpers of the Layer III tests: reading files, walking a stream's frames the way
// the player does, and comparing PCM.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "decoder/MP3Decoder.h"
#include "decoder/MPEGHeader.h"

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

// Decodes a whole stream.  Frames are found as the player finds them (first sync,
// then a header check against the first header before every frame).  When
// per_frame_channels is set, a stream that switches between one and two channels is
// decoded to two-channel output and each one-channel frame contributes only its left
// samples: the layout of a reference decoder that follows every frame's own mode.
inline Decoded DecodeStream(const std::vector<uint8_t>& bits, bool full_band, int convert_code = 0,
                            bool per_frame_channels = false, int freq_limit = 24000) {
  Decoded r;
  TMPEGHead head{};
  int32_t bitrate = 0, offset = 0;
  const int32_t n = static_cast<int32_t>(bits.size() < 4096 ? bits.size() : 4096);
  const int32_t len0 = HeadInfoSearch(bits.data(), n, head, bitrate, offset);
  if (len0 < 1) return r;
  TMPEGHead init = head;
  bool any_mono = false, any_stereo = false;
  if (per_frame_channels) {
    // Look at every frame's mode to pick the output format.
    for (size_t p = static_cast<size_t>(offset); p + 4 <= bits.size();) {
      TMPEGHead h{};
      const int32_t l = HeadInfo(bits.data() + p, 0, h);
      if (l < 1 || !HeaderAgrees(bits.data() + p, bits.data() + offset)) {
        ++p;
        continue;
      }
      (h.mode == 3 ? any_mono : any_stereo) = true;
      p += static_cast<size_t>(MPEGPaddedFrameBytes(h, l));
    }
    if (any_stereo) init.mode = 0;
  }
  TMP3Decoder dec;
  dec.SetFullBand(full_band);
  if (!dec.AudioDecodeInit(init, len0, 0, 0, convert_code, freq_limit)) return r;
  TDecInfo info{};
  dec.AudioDecodeInfo(info);
  r.channels = info.channels;
  r.samprate = info.samprate;
  std::vector<int16_t> out(static_cast<size_t>(info.outvalues));
  const bool free_format = head.br_index == 0;
  size_t pos = static_cast<size_t>(offset);
  int64_t reservoir = 0;  // main-data bytes seen so far
  bool leading = true;
  while (pos + 4 <= bits.size()) {
    TMPEGHead h{};
    int32_t l = HeadInfo(bits.data() + pos, 0, h);
    if (free_format && h.sync && h.br_index == 0) l = len0;
    if (l < 1 || !HeaderAgrees(bits.data() + pos, bits.data() + offset)) {
      ++pos;
      continue;
    }
    const size_t flen = static_cast<size_t>(MPEGPaddedFrameBytes(h, l));
    if (pos + flen > bits.size()) break;
    if (h.option == 1 && pos + 6 + 2 <= bits.size()) {
      const int side =
          (h.id == 1 ? (h.mode == 3 ? 21 : 36) : (h.mode == 3 ? 13 : 21)) + (h.prot == 0 ? 2 : 0);
      const uint8_t* sp = bits.data() + pos + 4 + (h.prot == 0 ? 2 : 0);
      const int mdb = h.id == 1 ? (sp[0] << 1 | sp[1] >> 7) : sp[0];
      if (leading && mdb > reservoir)
        ++r.starved;
      else
        leading = false;
      reservoir += static_cast<int64_t>(flen) - side;
    }
    const TInOut io = dec.AudioDecode(bits.data() + pos, static_cast<int32_t>(bits.size() - pos), out.data());
    if (io.in_bytes < 1) {
      ++r.failed;
      std::fill(out.begin(), out.end(), 0);
    }
    const bool mono_frame = per_frame_channels && h.mode == 3 && info.channels == 2;
    const size_t before = r.pcm.size();
    for (size_t i = 0; i < out.size(); i += mono_frame ? 2 : 1) r.pcm.push_back(out[i]);
    r.frame_values.push_back(static_cast<int>(r.pcm.size() - before));
    ++r.frames;
    pos += flen;
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
