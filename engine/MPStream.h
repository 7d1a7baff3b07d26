// The byte streams the engine reads: an interface and a file implementation.
#pragma once

#include <cstdint>
#include <string>

namespace sorrel::engine {

class TMPStream {
 public:
  virtual ~TMPStream() = default;
  // Reads up to n bytes; 0 at the end.  Errors raise EMPError.
  virtual int64_t Read(void* buffer, int64_t n) = 0;
  // origin 0: from the beginning, 1: from the current position, 2: from the end.
  // Returns the new position.  Errors raise EMPError.
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  virtual int64_t Size() = 0;
};

// A file opened for reading.  Construction raises EMPError when it cannot be opened.
class TMPFileStream : public TMPStream {
 public:
  explicit TMPFileStream(const std::string& path);
  ~TMPFileStream() override;
  int64_t Read(void* buffer, int64_t n) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override;

 private:
  int fd_ = -1;
  std::string path_;
};

// A stream over memory (not owned), for tests and for wrapping data already read.
class TMPMemoryStream : public TMPStream {
 public:
  TMPMemoryStream(const void* data, int64_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  int64_t Read(void* buffer, int64_t n) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return size_; }

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t pos_ = 0;
};

}  // namespace sorrel::engine
