// Layer III frames (and the header search) through the decoder object.  Frames are
// found and walked the way the player does, and every few frames one is fed at a
// position the header check did not approve.  The first input byte picks the
// configuration: bits 0-1 the convert code, bit 2 full band, bit 3 both equalisers
// on, bit 4 polarity inversion, bits 5-6 the routine selection, bit 7 keeps the
// header's own layer instead of forcing Layer III.
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

  // The header code on its own, with the true byte count.
  for (int32_t i = 0; i + 4 <= n && i < 48; ++i) {
    TMPEGHead h{};
    const int32_t l = HeadInfo(s.data() + i, n - i, h);
    if (l > 0) (void)MPEGBitRate(h, l);
  }
  TMPEGHead head{};
  int32_t bitrate = 0, off = 0;
  int32_t fb = HeadInfoSearch(s.data(), n, head, bitrate, off);
  if (fb < 1) return 0;
  if (!(cfg & 0x80) && head.option != 1) {
    s[off + 1] = static_cast<uint8_t>((s[off + 1] & ~0x06) | 0x02);
    fb = HeadInfo(s.data() + off, n - off, head);
    if (fb < 1) return 0;
  }
  TMP3Decoder dec;
  dec.SetFullBand(cfg & 4);
  uint32_t caps = GetCpuCapabilities();
  switch ((cfg >> 5) & 3) {
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
  if (cfg & 8) {
    dec.SetEqEnabled32(true);
    dec.SetEqEnabled576(true);
    for (int i = 0; i < 32; ++i) dec.SetEqGain32(i, 0.5f + i * 0.1f);
    for (int i = 0; i < 576; ++i) dec.SetEqGain576(i, 2.0f - i * 0.003f);
  }
  dec.SetInvertPolarity(cfg & 16);
  if (!dec.AudioDecodeInit(head, fb, 0, 0, cfg & 3, 24000)) return 0;
  TDecInfo info{};
  dec.AudioDecodeInfo(info);
  // Exactly the promised size, so that a write past it is caught.
  std::vector<int16_t> out(static_cast<size_t>(info.outvalues));
  const uint8_t* first = s.data() + off;
  int32_t pos = off, frames = 0;
  while (pos + 4 <= n && frames < 96) {
    if (frames % 7 == 6) {
      // Unchecked position: whatever lies there must be refused or decoded safely.
      const TInOut r = dec.AudioDecode(s.data() + pos, n - pos, out.data());
      if (r.out_bytes > 2 * info.outvalues || r.in_bytes > n - pos) __builtin_trap();
      ++frames;
      pos += r.in_bytes > 0 ? r.in_bytes : 1;
      continue;
    }
    TMPEGHead h{};
    int32_t len = HeadInfo(s.data() + pos, 0, h);
    if (h.sync != 0 && h.br_index == 0) len = fb;
    if (!HeaderAgrees(s.data() + pos, first) || len < 1) {
      ++pos;
      continue;
    }
    const TInOut r = dec.AudioDecode(s.data() + pos, n - pos, out.data());
    if (r.out_bytes > 2 * info.outvalues || r.in_bytes > n - pos) __builtin_trap();
    ++frames;
    pos += MPEGPaddedFrameBytes(h, len);
  }
  return 0;
}
