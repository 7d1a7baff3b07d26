#include "engine/MPStreamReader.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace sorrel::engine {

TMPStreamReader::TMPStreamReader(int64_t ringSize) : ringSize_(std::max<int64_t>(ringSize, 16)) {}

TMPStreamReader::~TMPStreamReader() { Close(); }

void TMPStreamReader::Open(TMPStream* stream, bool seekable) {
  Close();
  opened_ = true;
  position_ = start_ = available_ = contiguous_ = 0;
  // 8-byte alignment for the decoder's word reads.
  size_t bytes = size_t((ringSize_ + 7) / 8 * 8);
  ring_ = static_cast<uint8_t*>(std::aligned_alloc(8, bytes));
  if (!ring_) {
    opened_ = false;
    throw std::bad_alloc();
  }
  stream_ = stream;
  seekable_ = seekable;
  size_ = seekable ? stream->Size() : 0;
}

void TMPStreamReader::Close() {
  if (!opened_) return;
  stream_ = nullptr;
  contiguous_ = 0;
  size_ = 0;
  std::free(ring_);
  ring_ = nullptr;
  start_ = available_ = 0;
  opened_ = false;
}

bool TMPStreamReader::Fill(int64_t target) {
  while (available_ < target) {
    int64_t chunk =
        target - available_ < kChunk ? std::min(ringSize_ - available_, kChunk) : target - available_;
    int64_t w = (start_ + available_) % ringSize_;
    if (w + chunk > ringSize_) chunk = ringSize_ - w;  // never wrap inside one read
    int64_t got = stream_->Read(ring_ + w, chunk);
    if (got <= 0) break;
    available_ += got;
  }
  contiguous_ = start_ + available_ > ringSize_ ? ringSize_ - start_ : available_;
  return available_ >= target;
}

bool TMPStreamReader::Need(int64_t n) {
  if (!opened_ || n > ringSize_ || n < 0) return false;
  if (!Fill(n)) return false;
  if (n > contiguous_) {
    // The data wraps: bring it to the ring's front in one piece.
    std::rotate(ring_, ring_ + start_, ring_ + ringSize_);
    start_ = 0;
    contiguous_ = available_;
  }
  return true;
}

bool TMPStreamReader::Skip(int64_t n) {
  if (!opened_ || n < 0) return false;
  if (n <= available_) {
    available_ -= n;
    start_ = (start_ + n) % ringSize_;
    position_ += n;
    contiguous_ = start_ + available_ > ringSize_ ? ringSize_ - start_ : available_;
    return true;
  }
  if (seekable_) {
    if (position_ + n > size_) {
      position_ = stream_->Seek(0, 2);
      start_ = available_ = contiguous_ = 0;
      return false;
    }
    position_ = stream_->Seek(position_ + n, 0);
    start_ = available_ = contiguous_ = 0;
    return true;
  }
  // Not seekable: read through.
  int64_t rest = n;
  while (rest > available_) {
    rest -= available_;
    position_ += available_;
    start_ = available_ = contiguous_ = 0;
    if (!Fill(std::min(rest, ringSize_))) {
      position_ += available_;
      start_ = available_ = contiguous_ = 0;
      return false;
    }
  }
  return Skip(rest);
}

int64_t TMPStreamReader::Seek(int64_t offset, int origin) {
  if (!opened_) return 0;
  if (origin == 1) {
    position_ = stream_->Seek(position_ + offset, 0);
  } else {
    position_ = stream_->Seek(offset, origin == 2 ? 2 : 0);
  }
  start_ = available_ = contiguous_ = 0;
  return position_;
}

bool TMPStreamReader::ReadAhead() {
  if (!opened_ || available_ == ringSize_) return false;
  return Fill(available_ + std::min(ringSize_ - available_, kChunk));
}

}  // namespace sorrel::engine
