// Walking an MPEG audio stream frame by frame, the one way the player, sorrel-decode and
// the tests do it: the first frame (searched within 4096 bytes and confirmed by the
// header that follows it), the VBR header frame that carries no audio (Xing, LAME's
// Info, VBRI), the check of every later header against the first, free-format lengths,
// and resynchronisation over junk.  Plain C++; the bytes come through TMPEGSource.
#pragma once

#include <cstdint>

#include "decoder/MPEGHeader.h"

namespace sorrel::decoder {

// The first frame's header starts within this many bytes of the audio start.
inline constexpr int32_t kMPEGSearchWindow = 4096;
// Bytes skipped in a row while looking for the next frame before the data counts as
// ended.
inline constexpr int kMPEGMaxSkip = 4096;
// A data length (or end) that is not known.
inline constexpr int64_t kMPEGUnknownLength = INT64_MAX;

// The bytes a walker reads, from the current position on.  The engine's ring reader is
// one; TMPEGMemorySource is another.
class TMPEGSource {
 public:
  virtual ~TMPEGSource() = default;
  // Makes n (at most 16 KiB) bytes readable at Peek(); false when the data ends first,
  // and then all that is left is readable.
  virtual bool Need(int64_t n) = 0;
  virtual const uint8_t* Peek() const = 0;
  virtual int64_t Available() const = 0;
  virtual bool Skip(int64_t n) = 0;
  virtual int64_t Position() const = 0;
};

// Bytes in memory (not owned).
class TMPEGMemorySource final : public TMPEGSource {
 public:
  TMPEGMemorySource(const uint8_t* data, int64_t size) : data_(data), size_(size < 0 ? 0 : size) {}
  bool Need(int64_t n) override { return n <= size_ - pos_; }
  const uint8_t* Peek() const override { return data_ + pos_; }
  int64_t Available() const override { return size_ - pos_; }
  bool Skip(int64_t n) override;
  int64_t Position() const override { return pos_; }

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t pos_ = 0;
};

// One frame: its parsed header and its length.
struct TMPEGFrame {
  TMPEGHead head{};
  int32_t rawLength = 0;  // without padding, as HeadInfo gives it
  int32_t length = 0;     // with padding: the bytes to step over
};

// A header frame that describes a whole VBR (or, for "Info", CBR) stream.
struct TMPEGVbrHeader {
  enum TKind { kNone, kXing, kInfo, kVBRI };
  TKind kind = kNone;
  int64_t frames = 0;  // the frame count, when given and above 0; else 0
  int64_t bytes = 0;   // the byte count, when given and above 0; else 0
};

// Where the audio data lies in the source: its first byte and its length.
struct TMPEGData {
  int64_t start = 0;
  int64_t length = kMPEGUnknownLength;
  int64_t End() const { return length == kMPEGUnknownLength ? kMPEGUnknownLength : start + length; }
};

class TMPEGWalker {
 public:
  // From the source's position, which is data.start, finds the stream's first frame,
  // skips the junk before it and, when the first frame is a VBR header frame, that frame
  // too; data.start and data.length move past what was skipped (a VBR header's byte
  // count becomes the data length).  The source is then at the first audio frame.
  // False when no frame is found or the first frame is not whole.
  bool Open(TMPEGSource& src, TMPEGData& data);

  // What Open found.  First() is the first frame, a skipped VBR header frame included;
  // its header is the one every later frame is checked against.
  const TMPEGFrame& First() const { return first_; }
  const uint8_t* Reference() const { return ref_; }
  int32_t JunkBytes() const { return junk_; }
  const TMPEGVbrHeader& Vbr() const { return vbr_; }
  // The first frame's bit rate in bit/s (as HeadInfoSearch computes it).
  int32_t BitRate() const { return bitRate_; }
  // 1, 2 or 3.
  int32_t Layer() const { return first_.head.option == 0 ? 0 : 4 - first_.head.option; }
  // 1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5.
  int32_t Version() const;

  // Length with padding of the frame whose 4 header bytes are at p, when it is a frame
  // of this stream (it parses and agrees with the first header in the sync, version,
  // layer and sampling frequency; a free-format frame has the first frame's length);
  // 0 otherwise.
  int32_t Check(const uint8_t* p, TMPEGFrame& f) const;

  // Moves the source to the next frame of this stream, skipping what is not one byte by
  // byte.  `skipped` counts the bytes skipped in a row (the caller zeroes it when it
  // takes a frame).  False at the end of the data: the source at or past dataEnd (an
  // absolute position, or kMPEGUnknownLength), fewer than 4 bytes left, or kMPEGMaxSkip
  // bytes skipped in a row.
  bool Next(TMPEGSource& src, int64_t dataEnd, int& skipped, TMPEGFrame& f) const;

  // The VBR header inside a first frame (whole at p), looked for at the end of the
  // Layer III side information in every layer.
  static TMPEGVbrHeader ReadVbrHeader(const uint8_t* p, const TMPEGFrame& f);

 private:
  TMPEGFrame first_;
  uint8_t ref_[4] = {};
  int32_t junk_ = 0;
  int32_t bitRate_ = 0;
  TMPEGVbrHeader vbr_;
};

}  // namespace sorrel::decoder
