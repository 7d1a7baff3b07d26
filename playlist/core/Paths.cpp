#include "playlist/core/Paths.h"

#include <sys/stat.h>

#include <vector>

namespace sorrel::playlist {

std::string AbsolutePath(std::string_view path, std::string_view baseDir) {
  std::string joined;
  if (path.empty() || path.front() != '/') {
    joined.reserve(baseDir.size() + 1 + path.size());
    joined.append(baseDir);
    joined += '/';
  }
  joined.append(path);
  const bool trailingSlash = joined.back() == '/';

  // The components that survive, as views into `joined`.
  std::vector<std::string_view> parts;
  std::string_view rest(joined);
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  out.reserve(joined.size());
  for (const std::string_view part : parts) {
    out += '/';
    out.append(part);
  }
  if (out.empty() || trailingSlash) out += '/';
  return out;
}

std::string JoinPath(std::string_view dir, std::string_view name) {
  std::string out;
  out.reserve(dir.size() + 1 + name.size());
  out.append(dir);
  if (out.empty() || out.back() != '/') out += '/';
  out.append(name);
  return out;
}

namespace {

std::string_view LastName(std::string_view s) {
  const size_t slash = s.rfind('/');
  return slash == std::string_view::npos ? s : s.substr(slash + 1);
}

// The directory part: what is before the last "/", and "/" itself for a name at the
// root; empty for a bare name.
std::string_view DirectoryPart(std::string_view s) {
  const size_t slash = s.rfind('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return s.substr(0, 1);
  return s.substr(0, slash);
}

}  // namespace

std::string ShortenPath(std::string_view path, int depth) {
  std::string_view s = path;
  if (s.size() > 1 && s.back() == '/') s.remove_suffix(1);
  if (s == "/") return "/";
  std::string result(LastName(s));
  for (int i = 0; i < depth; ++i) {
    s = DirectoryPart(s);
    const std::string_view name = LastName(s);
    if (name.empty()) {
      // The root (or nothing) is left: the path is shown whole.
      result.insert(0, s);
      break;
    }
    result.insert(0, 1, '/');
    result.insert(0, name);
  }
  return result;
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  std::string out(path);
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) out.resize(dot);
  out.append(ext);
  return out;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace sorrel::playlist
