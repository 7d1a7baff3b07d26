// Layer I/II frames through the decoder object, found and walked the way the
// player does. The first input byte picks the configuration: bits 0-1 the
// convert code, bit 2 full band, bit 3 forces Layer I instead of Layer II on
// a header of another layer, bits 4-5 the frequency limit, bits 6-7 the
// routine selection.
#include <cstdint>
#include <cstring>
#include <vector>

#include "decoder/MP3Decoder.h"
#include "decoder/MPCPUSpc.h"
#include "decoder/MPEGHeader.h"

using namespace sorrel::decoder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5 || size > (1u << 20)) return 0;
  const uint8_t cfg = data[0];
  std::vector<uint8_t> s(data + 1, data + size);
  const int32_t n = static_cast<int32_t>(s.size());
  TMPEGHead head{};
  int32_t bitrate = 0, off = 0;
  int32_t fb = HeadInfoSearch(s.data(), n, head, bitrate, off);
  if (fb < 1) return 0;
  if (head.option != 2 && head.option != 3) {
    // Turn the header into a Layer I or II one so every input exercises them.
    s[off + 1] = static_cast<uint8_t>((s[off + 1] & ~0x06) | ((cfg & 8) ? 0x06 : 0x04));
    fb = HeadInfo(s.data() + off, n - off, head);
    if (fb < 1) return 0;
  }
  static const int32_t kLimits[4] = {24000, 1000, 11025, 30000};
  TMP3Decoder dec;
  dec.SetFullBand(cfg & 4);
  uint32_t caps = GetCpuCapabilities();
  switch (cfg >> 6) {
    case 0:
      caps &= ~kCpuExtensionBits;
      break;
    case 1:
      caps &= ~(kCpuAVX | kCpuAVX2 | kCpuFMA);
      break;
    default:
      break;
  }
  dec.SetCpuCapabilities(caps);
  if (!dec.AudioDecodeInit(head, fb, 0, 0, cfg & 3, kLimits[(cfg >> 4) & 3])) return 0;
  TDecInfo info{};
  dec.AudioDecodeInfo(info);
  std::vector<int16_t> out(static_cast<size_t>(info.outvalues) + 64);
  const uint8_t* first = s.data() + off;
  int32_t pos = off, frames = 0;
  while (pos + 4 <= n && frames < 64) {
    TMPEGHead h{};
    int32_t len = HeadInfo(s.data() + pos, 0, h);
    if (h.sync != 0 && h.br_index == 0) len = fb;
    if (!HeaderAgrees(s.data() + pos, first) || len < 1) {
      ++pos;
      continue;
    }
    const TInOut r = dec.AudioDecode(s.data() + pos, n - pos, out.data());
    if (r.out_bytes > 2 * info.outvalues) __builtin_trap();  // wrote more than the frame's output
    ++frames;
    pos += MPEGPaddedFrameBytes(h, len);
  }
  return 0;
}
