// Helpers of the Layer I/II tests: decoding a stream the way the player does, and the
// conformance measures.
#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "decoder/Layer12.h"
#include "decoder/MP3Decoder.h"
#include "decoder/MPEGHeader.h"
#include "decoder/Synth.h"
#include "tests/decoder/walk_test_util.h"

using namespace sorrel::decoder;

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline std::vector<int16_t> ReadPcm(const std::string& path) {
  auto b = ReadFileBytes(path);
  std::vector<int16_t> s(b.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
  return s;
}

// Decodes a whole Layer I/II stream with TL12Decoder, its frames found as the player
// finds them (WalkStream), silence for a refused frame.
inline std::vector<int16_t> DecodeL12Stream(const std::vector<uint8_t>& data, bool fullBand,
                                            int32_t convert = 0, TSynth* synthIn = nullptr) {
  std::vector<int16_t> pcm;
  const TWalkedStream s = WalkStream(data);
  if (!s.ok) return pcm;
  TSynth ownSynth;
  TSynth& synth = synthIn ? *synthIn : ownSynth;
  TL12Decoder dec;
  TDecInfo info{};
  if (!dec.Init(s.walker.First().head, s.walker.First().rawLength, 0, convert, 24000, fullBand, synth, info))
    return pcm;
  std::vector<int16_t> out(info.outvalues);
  for (size_t i = 0; i < s.frames.size(); ++i) {
    TInOut r = dec.DecodeFrame(data.data() + s.at[i], s.frames[i].length, out.data(), synth);
    if (r.in_bytes < 1) std::fill(out.begin(), out.end(), 0);
    pcm.insert(pcm.end(), out.begin(), out.end());
  }
  return pcm;
}

struct TCompare {
  size_t common = 0;
  int maxDiff = 0;
  double psnr = 0;
};

inline TCompare Compare(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  TCompare c;
  c.common = std::min(a.size(), b.size());
  double se = 0;
  for (size_t i = 0; i < c.common; ++i) {
    const int d = std::abs(int(a[i]) - int(b[i]));
    c.maxDiff = std::max(c.maxDiff, d);
    se += double(d) * d;
  }
  const double mse = c.common ? se / c.common : 0;
  c.psnr = mse > 0 ? 10 * std::log10(32767.0 * 32767.0 / mse) : 999.0;
  return c;
}
