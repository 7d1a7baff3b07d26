#include "decoder/MPEGWalker.h"

#include <algorithm>
#include <cstring>

namespace sorrel::decoder {

namespace {

// What the first-frame search looks at: the window, and behind a header at its end the
// bytes a free-format length is confirmed over (HeadInfo looks at most 10000 bytes on).
constexpr int32_t kFirstFrameBytes = kMPEGSearchWindow + 10000;

uint32_t BE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// A count field of a VBR header: values that are not above 0 as signed say nothing.
int64_t Count(const uint8_t* p) {
  const int32_t v = int32_t(BE32(p));
  return v > 0 ? v : 0;
}

// The frame at p checked against the header at ref, whose frame is refRaw bytes long
// without padding (the length of every free-format frame).
int32_t CheckAgainst(const uint8_t* p, const uint8_t* ref, int32_t refRaw, TMPEGFrame& f) {
  f.rawLength = HeadInfo(p, 0, f.head);
  if (f.rawLength == 0 && f.head.sync != 0 && f.head.br_index == 0 && (ref[2] >> 4) == 0)
    f.rawLength = refRaw;
  if (f.rawLength < 1 || f.head.option < 1 || !HeaderAgrees(p, ref)) {
    f.length = 0;
    return 0;
  }
  f.length = MPEGPaddedFrameBytes(f.head, f.rawLength);
  return f.length;
}

// A header that can start a stream: a usable length and layer, and the 11-bit sync only
// with MPEG-2.5 (ID 0) Layer III, the one layer that extension has.
bool CanStart(const TMPEGHead& h, int32_t raw) {
  if (raw < 1 || h.option < 1 || h.option > 3) return false;
  return h.sync == 1 || (h.id == 0 && h.option == 1);
}

// The first frame in buf[0, n), n being all the data there is or at least
// kFirstFrameBytes.  A candidate counts when its frame is whole and the next header (where
// the data goes on) agrees with it, or an ID3v1 tag follows; one that does not is passed
// over and the search goes on within the window.
bool FindFirst(const uint8_t* buf, int32_t n, TMPEGFrame& f, int32_t& offset) {
  const int32_t window = std::min(n, kMPEGSearchWindow);
  for (int32_t i = 0; i + 4 <= window; ++i) {
    if (buf[i] != 0xFF || (buf[i + 1] >> 4) < 0xE) continue;
    TMPEGFrame c;
    c.rawLength = HeadInfo(buf + i, n - i, c.head);
    if (!CanStart(c.head, c.rawLength)) continue;
    c.length = MPEGPaddedFrameBytes(c.head, c.rawLength);
    const int32_t next = i + c.length;
    if (next > n) continue;
    if (next + 4 <= n) {
      TMPEGFrame following;
      if (CheckAgainst(buf + next, buf + i, c.rawLength, following) == 0 &&
          std::memcmp(buf + next, "TAG", 3) != 0)
        continue;
    }
    f = c;
    offset = i;
    return true;
  }
  return false;
}

}  // namespace

bool TMPEGMemorySource::Skip(int64_t n) {
  if (n < 0) return false;
  if (n > size_ - pos_) {
    pos_ = size_;
    return false;
  }
  pos_ += n;
  return true;
}

int32_t TMPEGWalker::Version() const {
  if (first_.head.sync == 0) return 0;
  if (first_.head.id == 1) return 1;
  return first_.head.sync == 1 ? 2 : 3;
}

bool TMPEGWalker::Open(TMPEGSource& src, TMPEGData& data) {
  *this = TMPEGWalker{};
  src.Need(kFirstFrameBytes);
  int64_t n = std::min<int64_t>(src.Available(), kFirstFrameBytes);
  if (data.length != kMPEGUnknownLength) n = std::min(n, data.length);
  int32_t offset = 0;
  if (n < 4 || !FindFirst(src.Peek(), int32_t(n), first_, offset)) {
    first_ = {};
    return false;
  }
  if (offset > 0) {
    if (!src.Skip(offset)) return false;
    data.start += offset;
    if (data.length != kMPEGUnknownLength) data.length -= offset;
  }
  if (!src.Need(first_.length)) return false;
  std::memcpy(ref_, src.Peek(), 4);
  junk_ = offset;
  bitRate_ = MPEGBitRate(first_.head, first_.rawLength);
  vbr_ = ReadVbrHeader(src.Peek(), first_);
  if (vbr_.kind != TMPEGVbrHeader::kNone) {
    if (vbr_.bytes > 0) data.length = vbr_.bytes;
    if (!src.Skip(first_.length)) return false;
    data.start += first_.length;
    if (data.length != kMPEGUnknownLength) data.length -= first_.length;
  }
  return true;
}

int32_t TMPEGWalker::Check(const uint8_t* p, TMPEGFrame& f) const {
  return CheckAgainst(p, ref_, first_.rawLength, f);
}

bool TMPEGWalker::Next(TMPEGSource& src, int64_t dataEnd, int& skipped, TMPEGFrame& f) const {
  for (;;) {
    const int64_t pos = src.Position();
    if (pos >= dataEnd || !src.Need(4)) return false;
    if (Check(src.Peek(), f) > 0) return true;
    // Not a frame: the bytes still to try are bounded by the skip budget and the data.
    const int64_t limit = std::min<int64_t>(kMPEGMaxSkip - skipped, dataEnd - pos);
    if (limit < 1) return false;
    src.Need(limit + 3);
    const uint8_t* p = src.Peek();
    const int64_t n = src.Available();
    int64_t k = 1;
    bool found = false;
    for (; k < limit && k + 4 <= n; ++k) {
      if (Check(p + k, f) > 0) {
        found = true;
        break;
      }
    }
    if (!src.Skip(k)) return false;
    skipped += int(k);
    if (found) return true;
    if (skipped >= kMPEGMaxSkip) return false;
  }
}

TMPEGVbrHeader TMPEGWalker::ReadVbrHeader(const uint8_t* p, const TMPEGFrame& f) {
  TMPEGVbrHeader v;
  const int32_t at = 4 + MPEGSideInfoBytes(f.head.id, f.head.mode) + (f.head.prot == 0 ? 2 : 0);
  const uint8_t* tag = p + at;
  if (at + 16 <= f.length && (std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0)) {
    v.kind = tag[0] == 'X' ? TMPEGVbrHeader::kXing : TMPEGVbrHeader::kInfo;
    const uint32_t flags = BE32(tag + 4);
    int32_t field = at + 8;
    if ((flags & 1) && field + 4 <= f.length) {
      v.frames = Count(p + field);
      field += 4;
    }
    if ((flags & 2) && field + 4 <= f.length) v.bytes = Count(p + field);
  } else if (at + 18 <= f.length && std::memcmp(tag, "VBRI", 4) == 0) {
    v.kind = TMPEGVbrHeader::kVBRI;
    v.bytes = Count(tag + 10);
    v.frames = Count(tag + 14);
  }
  return v;
}

}  // namespace sorrel::decoder
