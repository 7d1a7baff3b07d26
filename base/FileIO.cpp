#include "base/FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace sorrel::base {

namespace {

std::string DirName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

// The file a write to `path` must replace: a symbolic link's final target.
std::string WriteTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    char buf[PATH_MAX];
    const ssize_t n = readlink(target.c_str(), buf, sizeof buf - 1);
    if (n < 0) return target;
    std::string next(buf, size_t(n));
    if (next.empty()) return target;
    if (next[0] != '/') next = DirName(target) + "/" + next;
    target = next;
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
  }
  return path;  // a loop: replace the link itself rather than follow it for ever
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(size_t(n));
  }
  return true;
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string& error, TReadStatus* status) {
  auto fail = [&](TReadStatus s, std::string why) {
    error = std::move(why);
    if (status) *status = s;
    return -1;
  };
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(errno == ENOENT ? TReadStatus::kMissing : TReadStatus::kError, Errno(path));
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const std::string why = Errno(path);
    close(fd);
    return fail(TReadStatus::kError, why);
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return fail(TReadStatus::kNotRegular, path + ": not a regular file");
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (status) *status = TReadStatus::kOk;
  return fd;
}

TReadResult ReadRegularFile(const std::string& path, uint64_t maxBytes) {
  TReadResult r;
  const int fd = OpenRegularFile(path, r.error, &r.status);
  if (fd < 0) return r;
  struct stat st {};
  if (fstat(fd, &st) == 0 && uint64_t(st.st_size) > maxBytes) {
    close(fd);
    r.status = TReadStatus::kTooLarge;
    r.error = path + ": larger than " + std::to_string(maxBytes >> 20) + " MiB";
    return r;
  }
  r.data.reserve(size_t(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      r.status = TReadStatus::kError;
      r.error = Errno(path);
      r.data.clear();
      close(fd);
      return r;
    }
    if (n == 0) break;
    // The file may grow while it is read.
    if (r.data.size() + size_t(n) > maxBytes) {
      close(fd);
      r.status = TReadStatus::kTooLarge;
      r.error = path + ": larger than " + std::to_string(maxBytes >> 20) + " MiB";
      r.data.clear();
      return r;
    }
    r.data.append(buf, size_t(n));
  }
  close(fd);
  r.status = TReadStatus::kOk;
  return r;
}

std::string TempFileName(const std::string& path) { return path + ".tmp" + std::to_string(getpid()); }

bool TAtomicFileWriter::Open(const std::string& path, std::string* error) {
  Discard();
  target_ = WriteTarget(path);
  temp_ = TempFileName(target_);
  error_.clear();
  // Keep the permissions of the file being replaced.
  mode_t mode = 0644;
  struct stat st {};
  if (stat(target_.c_str(), &st) == 0) mode = st.st_mode & 07777;
  fd_ = open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd_ < 0) {
    if (error) *error = Errno(temp_);
    return false;
  }
  return true;
}

bool TAtomicFileWriter::Write(const void* data, size_t n) {
  if (fd_ < 0 || !error_.empty()) return false;
  if (!WriteAll(fd_, std::string_view(static_cast<const char*>(data), n))) {
    error_ = Errno(temp_);
    return false;
  }
  return true;
}

bool TAtomicFileWriter::WriteAt(uint64_t offset, const void* data, size_t n) {
  if (fd_ < 0 || !error_.empty()) return false;
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = pwrite(fd_, p, n, off_t(offset));
    if (w < 0) {
      if (errno == EINTR) continue;
      error_ = Errno(temp_);
      return false;
    }
    p += w;
    n -= size_t(w);
    offset += uint64_t(w);
  }
  return true;
}

bool TAtomicFileWriter::Fail(const std::string& why, std::string* error) {
  if (error) *error = why;
  Discard();
  return false;
}

bool TAtomicFileWriter::Commit(std::string* error) {
  if (fd_ < 0) return Fail(error_.empty() ? "nothing to commit" : error_, error);
  if (!error_.empty()) return Fail(error_, error);
  if (fsync(fd_) != 0) return Fail(Errno(temp_), error);
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    const std::string why = Errno(temp_);
    unlink(temp_.c_str());
    return Fail(why, error);
  }
  if (rename(temp_.c_str(), target_.c_str()) != 0) {
    const std::string why = Errno(target_);
    unlink(temp_.c_str());
    return Fail(why, error);
  }
  // The rename itself must reach the disk too.
  const int dir = open(DirName(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

void TAtomicFileWriter::Discard() {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
  unlink(temp_.c_str());
}

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error) {
  TAtomicFileWriter writer;
  if (!writer.Open(path, error)) return false;
  writer.Write(data.data(), data.size());
  return writer.Commit(error);
}

int RemoveStaleTempFiles(const std::string& path) {
  const std::string target = WriteTarget(path);
  const std::string prefix = BaseName(target) + ".tmp";
  const std::string dirName = DirName(target);
  DIR* dir = opendir(dirName.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
    const pid_t pid = pid_t(std::atol(digits.c_str()));
    // Still running (or not ours to signal): leave it.
    if (pid == getpid() || kill(pid, 0) == 0 || errno == EPERM) continue;
    if (unlink((dirName + "/" + name).c_str()) == 0) ++removed;
  }
  closedir(dir);
  return removed;
}

}  // namespace sorrel::base
