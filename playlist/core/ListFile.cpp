#include "playlist/core/ListFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "base/TextCodec.h"
#include "playlist/core/Mp3Directory.h"
#include "playlist/core/Paths.h"

namespace sorrel::playlist {

namespace {

// Lines up to this length have their verdict remembered, up to this many at a time.
constexpr size_t kCachedLineBytes = 256;
constexpr size_t kMaxVerdicts = 4096;

std::optional<std::string> Check(std::string path, bool fileMode) {
  if (fileMode) {
    if (!path.ends_with(".mp3") || !IsRegularFile(path)) return std::nullopt;
    return path;
  }
  // Directories are held without a trailing "/", the root excepted.
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  if (!HasMp3File(path)) return std::nullopt;
  return path;
}

std::string TooLargeMessage(const std::string& path, uint64_t maxBytes) {
  return path + ": larger than " + std::to_string(maxBytes >> 20) + " MiB";
}

}  // namespace

std::string DefaultListPath(const std::string& homeDir, bool fileMode) {
  return JoinPath(homeDir, fileMode ? kDefaultFileList : kDefaultDirList);
}

std::optional<bool> ListFileModeOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
  std::string ext(path.substr(dot));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = char(c + ('a' - 'A'));
  if (ext == ".pfl" || ext == ".m3u") return true;
  if (ext == ".pdr") return false;
  return std::nullopt;
}

std::optional<std::string> ResolveListLine(std::string_view line, bool fileMode, const std::string& homeDir) {
  // No path holds a NUL byte; an empty line would name the home directory itself.
  if (line.empty() || line.size() > kMaxListLineBytes || line.find('\0') != std::string_view::npos)
    return std::nullopt;
  if (base::IsValidUtf8(line)) {
    const std::string text = base::DecodeText(line);  // drops a byte-order mark
    if (text.empty()) return std::nullopt;
    return Check(AbsolutePath(text, homeDir), fileMode);
  }
  bool damaged = false;
  const std::string text = base::DecodeText(line, &damaged);
  if (!damaged && !text.empty()) {
    if (auto found = Check(AbsolutePath(text, homeDir), fileMode)) return found;
  }
  return Check(AbsolutePath(line, homeDir), fileMode);
}

ListFileParser::ListFileParser(bool fileMode, std::string homeDir)
    : fileMode_(fileMode), homeDir_(std::move(homeDir)) {}

void ListFileParser::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    if (pendingCr_) {
      pendingCr_ = false;
      if (bytes.front() == '\n') {
        bytes.remove_prefix(1);
        continue;
      }
    }
    size_t end = bytes.find_first_of("\r\n");
    const std::string_view part = bytes.substr(0, end);
    const bool whole = pending_.empty() && !pendingTooLong_;
    if (end == std::string_view::npos || !whole) {
      // Part of a line that began in an earlier piece, or goes on in a later one.
      if (!pendingTooLong_) {
        if (pending_.size() + part.size() > kMaxListLineBytes) {
          pendingTooLong_ = true;
          pending_.clear();
        } else {
          pending_.append(part);
        }
      }
      if (end == std::string_view::npos) return;
      EndPending();
    } else {
      Line(part);
    }
    if (bytes[end] == '\r') {
      if (end + 1 == bytes.size()) {
        pendingCr_ = true;
      } else if (bytes[end + 1] == '\n') {
        ++end;
      }
    }
    bytes.remove_prefix(end + 1);
  }
}

void ListFileParser::Finish() {
  if (pendingTooLong_ || !pending_.empty()) EndPending();
  pendingCr_ = false;
}

void ListFileParser::EndPending() {
  if (pendingTooLong_) {
    ++lines_;
    pendingTooLong_ = false;
  } else {
    Line(pending_);
  }
  pending_.clear();
}

void ListFileParser::Line(std::string_view raw) {
  ++lines_;
  if (lines_ == 1 && raw.starts_with(base::kUtf8Bom)) raw.remove_prefix(base::kUtf8Bom.size());
  if (raw.empty()) return;
  if (raw.size() > kCachedLineBytes) {
    if (auto entry = ResolveListLine(raw, fileMode_, homeDir_)) entries_.push_back(std::move(*entry));
    return;
  }
  auto it = verdicts_.find(raw);
  if (it == verdicts_.end()) {
    if (verdicts_.size() >= kMaxVerdicts) verdicts_.clear();
    it = verdicts_.emplace(std::string(raw), ResolveListLine(raw, fileMode_, homeDir_)).first;
  }
  if (it->second) entries_.push_back(*it->second);
}

std::vector<std::string> ParseListText(std::string_view bytes, bool fileMode, const std::string& homeDir) {
  ListFileParser parser(fileMode, homeDir);
  parser.Feed(bytes);
  parser.Finish();
  return parser.TakeEntries();
}

ListFileRead ReadListFile(const std::string& path, bool fileMode, const std::string& homeDir,
                          uint64_t maxBytes) {
  ListFileRead r;
  const int fd = base::OpenRegularFile(path, r.error, &r.status);
  if (fd < 0) return r;
  auto refuse = [&](base::TReadStatus status, std::string why) {
    close(fd);
    r.status = status;
    r.error = std::move(why);
    return r;
  };
  struct stat st {};
  if (fstat(fd, &st) == 0 && uint64_t(st.st_size) > maxBytes)
    return refuse(base::TReadStatus::kTooLarge, TooLargeMessage(path, maxBytes));

  ListFileParser parser(fileMode, homeDir);
  constexpr size_t kChunk = 1 << 16;
  const auto buf = std::make_unique<char[]>(kChunk);
  uint64_t total = 0;
  for (;;) {
    const ssize_t n = read(fd, buf.get(), kChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return refuse(base::TReadStatus::kError, path + ": " + std::strerror(errno));
    }
    if (n == 0) break;
    // The file may grow while it is read.
    total += uint64_t(n);
    if (total > maxBytes) return refuse(base::TReadStatus::kTooLarge, TooLargeMessage(path, maxBytes));
    parser.Feed(std::string_view(buf.get(), size_t(n)));
  }
  close(fd);
  parser.Finish();
  r.status = base::TReadStatus::kOk;
  r.lines = parser.LineCount();
  r.entries = parser.TakeEntries();
  return r;
}

std::string FormatListFile(std::span<const std::string> entries) {
  constexpr std::string_view kUnfit("\r\n\0", 3);
  std::string text;
  size_t size = 0;
  for (const std::string& e : entries) size += e.size() + 2;
  text.reserve(size);
  for (const std::string& e : entries) {
    if (e.empty() || e.find_first_of(kUnfit) != std::string::npos) continue;
    text += e;
    text += "\r\n";
  }
  return text;
}

bool WriteListFile(const std::string& path, std::span<const std::string> entries, std::string* error) {
  return base::WriteFileAtomically(path, FormatListFile(entries), error);
}

}  // namespace sorrel::playlist
