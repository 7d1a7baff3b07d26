#include "engine/MPStream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/FileIO.h"
#include "engine/MPThreads.h"

namespace sorrel::engine {

TMPFileStream::TMPFileStream(const std::string& path) : path_(path) {
  // Regular files only, checked without blocking: a FIFO would wait for a writer.
  std::string error;
  base::TReadStatus status = base::TReadStatus::kError;
  fd_ = base::OpenRegularFile(path, error, &status);
  if (fd_ < 0) {
    const int err = errno;
    throw EMPError("Cannot open file \"" + path + "\". " +
                   (status == base::TReadStatus::kNotRegular ? "Not a regular file" : std::strerror(err)));
  }
}

TMPFileStream::~TMPFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t TMPFileStream::Read(void* buffer, int64_t n) {
  if (n <= 0) return 0;
  for (;;) {
    ssize_t r = ::read(fd_, buffer, size_t(n));
    if (r >= 0) return r;
    if (errno == EINTR) continue;
    throw EMPError("Stream read error. " + std::string(std::strerror(errno)));
  }
}

int64_t TMPFileStream::Seek(int64_t offset, int origin) {
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, off_t(offset), whence);
  if (r < 0) throw EMPError("Stream seek error. " + std::string(std::strerror(errno)));
  return r;
}

int64_t TMPFileStream::Size() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return 0;
  return st.st_size;
}

int64_t TMPMemoryStream::Read(void* buffer, int64_t n) {
  if (n <= 0 || pos_ >= size_) return 0;
  int64_t k = std::min(n, size_ - pos_);
  std::memcpy(buffer, data_ + pos_, size_t(k));
  pos_ += k;
  return k;
}

int64_t TMPMemoryStream::Seek(int64_t offset, int origin) {
  int64_t base = origin == 0 ? 0 : origin == 1 ? pos_ : size_;
  int64_t p = base + offset;
  if (p < 0) throw EMPError("Stream seek error. Invalid argument");
  pos_ = p;
  return pos_;
}

}  // namespace sorrel::engine
