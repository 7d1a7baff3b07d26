// A ring buffer in front of a byte stream: the next n bytes contiguous in memory,
// skipping and seeking, with the stream read in large chunks.  The frame walker reads
// through it.  Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>

#include "decoder/MPEGWalker.h"
#include "engine/MPStream.h"

namespace sorrel::engine {

class TMPStreamReader final : public decoder::TMPEGSource {
 public:
  static constexpr int64_t kChunk = 81920;

  explicit TMPStreamReader(int64_t ringSize);
  ~TMPStreamReader() override;

  // Closes first.  The stream is not owned.
  void Open(TMPStream* stream, bool seekable);
  void Close();

  // Makes n unread bytes available and contiguous at Peek(); false when the stream ends
  // first (or n exceeds the ring).
  bool Need(int64_t n) override;
  const uint8_t* Peek() const override { return ring_ + start_; }
  bool Skip(int64_t n) override;
  int64_t Seek(int64_t offset, int origin);
  bool ReadAhead();

  int64_t Position() const override { return position_; }
  int64_t Available() const override { return available_; }
  int64_t Size() const { return size_; }
  int64_t RingSize() const { return ringSize_; }
  bool Seekable() const { return seekable_; }
  bool Opened() const { return opened_; }

 private:
  bool Fill(int64_t target);

  TMPStream* stream_ = nullptr;
  int64_t size_ = 0;
  bool seekable_ = false;
  bool opened_ = false;
  uint8_t* ring_ = nullptr;
  int64_t start_ = 0;
  int64_t available_ = 0;
  int64_t ringSize_;
  int64_t position_ = 0;
  int64_t contiguous_ = 0;
};

}  // namespace sorrel::engine
