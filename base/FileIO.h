// Files the player reads and writes by name.  Reads accept regular files only, checked
// without blocking (a FIFO or a device never freezes the caller), and are bounded.
// Writes replace a file whole or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorrel::base {

// The cap on settings, list, lyric and point files.
inline constexpr uint64_t kMaxTextFileBytes = 64ull << 20;

enum class TReadStatus { kOk, kMissing, kNotRegular, kTooLarge, kError };

struct TReadResult {
  TReadStatus status = TReadStatus::kError;
  std::string data;
  std::string error;  // why it was not read, for a message ("... is not a regular file")
  bool ok() const { return status == TReadStatus::kOk; }
};

// Opens `path` for reading with O_NONBLOCK and checks with fstat that it is a regular
// file.  Returns the descriptor (blocking mode restored), or -1 with `error` and
// `status` set.
int OpenRegularFile(const std::string& path, std::string& error, TReadStatus* status = nullptr);

// The whole file, when it is a regular file of at most maxBytes.
TReadResult ReadRegularFile(const std::string& path, uint64_t maxBytes = kMaxTextFileBytes);

// Writes `data` to a temporary file in the target's directory, flushes it to disk,
// renames it over the target and syncs the directory.  A symbolic link is written
// through: its final target is replaced and the link stays.  On failure the old file is
// untouched and `error` says why.
bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error = nullptr);

// A file written piece by piece that replaces its target whole or not at all: the
// pieces go to a temporary file beside the target (a symbolic link's final target),
// and Commit flushes it to disk and renames it over the target.  Destroyed without a
// commit, it removes the temporary file and leaves the target as it was.
class TAtomicFileWriter {
 public:
  TAtomicFileWriter() = default;
  ~TAtomicFileWriter() { Discard(); }
  TAtomicFileWriter(const TAtomicFileWriter&) = delete;
  TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

  bool Open(const std::string& path, std::string* error = nullptr);
  bool Write(const void* data, size_t n);
  // Overwrites bytes already written (a header whose sizes are known at the end).
  bool WriteAt(uint64_t offset, const void* data, size_t n);
  // False, with `error` set, when a write failed or the file could not be put in place.
  bool Commit(std::string* error = nullptr);
  void Discard();

 private:
  bool Fail(const std::string& why, std::string* error);

  int fd_ = -1;
  std::string target_, temp_, error_;
};

// The temporary name WriteFileAtomically uses for `path` in this process.
std::string TempFileName(const std::string& path);

// Removes temporary files that a killed writer of `path` left behind (those whose
// process no longer runs).  Returns how many were removed.
int RemoveStaleTempFiles(const std::string& path);

}  // namespace sorrel::base
