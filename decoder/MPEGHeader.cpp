#include "decoder/MPEGHeader.h"

#include "decoder/HeaderTables.h"

namespace sorrel::decoder {

namespace {

// Free-format search window: the candidate second header never starts before byte
// 24 nor at or after byte 2000, and at most 10000 bytes are examined.
constexpr int32_t kFreeMaxBytes = 10000;
constexpr int32_t kFreeFirstCandidate = 24;
constexpr int32_t kFreeLastCandidate = 2000;

// Walks the chain of frames of length L (plus each frame's padding) from buf[0] and
// counts the matching headers: positive when every header up to m matches, negative
// at the first mismatch.
int32_t VerifyFreeFormat(const uint8_t* buf, int32_t m, int32_t L, int32_t padUnit) {
  int32_t j = 0;
  int32_t count = 0;
  for (;;) {
    const int32_t pad = (buf[j + 2] >> 1) & 1;
    j += L + pad * padUnit;
    if (j >= m) return count;
    if (!CompareHeader(buf, buf + j)) return -(count + 1);
    ++count;
  }
}

int32_t FreeFormatLength(const uint8_t* buf, int32_t n, const TMPEGHead& head) {
  if (n > kFreeMaxBytes) n = kFreeMaxBytes;
  const int32_t padUnit = head.option == 3 ? 4 : 1;
  const int32_t m = n - 3;  // a header at i needs i + 3 < n
  int32_t k = kFreeFirstCandidate;
  while (k < kFreeLastCandidate) {
    int32_t i = k;
    while (i < m && !CompareHeader(buf, buf + i)) ++i;
    if (i >= m) return 0;
    const int32_t L = i - head.pad * padUnit;
    if (L < 1) return 0;
    if (VerifyFreeFormat(buf, m, L, padUnit) > 0) return L;
    k = i + 1;
  }
  return 0;
}

}  // namespace

bool CompareHeader(const uint8_t* a, const uint8_t* b) { return a[0] == b[0] && a[1] == b[1]; }

bool HeaderAgrees(const uint8_t* hdr, const uint8_t* first) {
  return hdr[0] == first[0] && (hdr[1] & 0xFE) == (first[1] & 0xFE) && (hdr[2] & 0x0C) == (first[2] & 0x0C);
}

int32_t HeadInfo(const uint8_t* buf, int32_t n, TMPEGHead& head) {
  head.sync = 0;
  if (buf[0] != 0xFF) return 0;
  const int hi = buf[1] >> 4;
  int32_t sync;
  if (hi == 0xF)
    sync = 1;
  else if (hi == 0xE)
    sync = 2;
  else
    return 0;
  head.sync = sync;
  head.id = (buf[1] >> 3) & 1;
  head.option = (buf[1] >> 1) & 3;
  head.prot = buf[1] & 1;
  head.br_index = buf[2] >> 4;
  head.sr_index = (buf[2] >> 2) & 3;
  head.pad = (buf[2] >> 1) & 1;
  head.private_bit = buf[2] & 1;
  head.mode = buf[3] >> 6;
  head.mode_ext = (buf[3] >> 4) & 3;
  head.cr = (buf[3] >> 3) & 1;
  head.orig = (buf[3] >> 2) & 1;
  head.emphasis = buf[3] & 3;
  if (head.option == 0) return 0;
  if (head.br_index == 0) {
    // Free format needs the bytes after the header; without them it is not usable.
    if (n <= 0) return 0;
    return FreeFormatLength(buf, n, head);
  }
  const int32_t R = hdr_tables::kBitRate[3 - head.option][head.id][head.br_index];
  const int32_t S = hdr_tables::kFreq50[head.id][head.sr_index];
  switch (head.option) {
    case 3:
      return 4 * ((R * 16 * 15) / S);
    case 2:
      return (R * 2880) / S;
    default:
      if (head.id == 1) return (R * 64 * 5 * 9) / S;
      return sync == 1 ? (R * 32 * 45) / S : (R * 64 * 45) / S;
  }
}

int32_t MPEGBitRate(const TMPEGHead& head, int32_t L) {
  if (L <= 0 || head.option < 1 || head.option > 3) return 0;
  if (head.br_index != 0) return MPEGBitRateKbps(head) * 1000;
  const int64_t S = hdr_tables::kFreq50[head.id & 1][head.sr_index & 3];
  if (S <= 0) return 0;
  int64_t r;
  switch (head.option) {
    case 3:
      r = (S * L * 8 * 125) / 960;
      break;
    case 2:
      r = (S * L * 8 * 125) / 2880;
      break;
    default:
      if (head.id == 1)
        r = (S * L * 8 * 125) / 2880;
      else if (head.sync == 1)
        r = (S * L * 8 * 125) / 1440;
      else
        r = (S * L * 4 * 125) / 1440;
  }
  return static_cast<int32_t>(r);
}

int32_t HeadInfoSearch(const uint8_t* buf, int32_t n, TMPEGHead& head, int32_t& bitrate, int32_t& offset) {
  bitrate = 0;
  head.sync = 0;
  for (int32_t i = 0; i + 3 < n; ++i) {
    if (buf[i] != 0xFF || (buf[i + 1] & 0xE0) != 0xE0 || (buf[i + 1] >> 4) < 0xE) continue;
    offset = i;
    const int32_t L = HeadInfo(buf + i, n - i, head);
    if (L != 0) bitrate = MPEGBitRate(head, L);
    return L;
  }
  return 0;
}

int32_t MPEGBitRateKbps(const TMPEGHead& head) {
  if (head.option < 1 || head.option > 3 || head.br_index < 0 || head.br_index > 15) return 0;
  return hdr_tables::kBitRate[3 - head.option][head.id & 1][head.br_index];
}

int32_t MPEGSampleRate(const TMPEGHead& head) {
  if (head.sr_index < 0 || head.sr_index > 2) return 0;
  const int32_t f = hdr_tables::kFreqHz[head.id & 1][head.sr_index];
  return head.sync == 2 ? f / 2 : f;
}

int32_t MPEGSamplesPerFrame(const TMPEGHead& head) {
  switch (head.option) {
    case 3:
      return 384;
    case 2:
      return 1152;
    case 1:
      return head.id == 1 ? 1152 : 576;
    default:
      return 0;
  }
}

int32_t MPEGSideInfoBytes(int32_t id, int32_t mode) {
  if (id == 1) return mode == 3 ? 17 : 32;
  return mode == 3 ? 9 : 17;
}

int32_t MPEGPaddedFrameBytes(const TMPEGHead& head, int32_t framebytes) {
  return framebytes + head.pad * (head.option == 3 ? 4 : 1);
}

}  // namespace sorrel::decoder
