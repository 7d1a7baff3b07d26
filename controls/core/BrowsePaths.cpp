#include "controls/core/BrowsePaths.h"

namespace sorrel::controls {

namespace {

std::vector<std::string_view> Names(std::string_view path) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    const size_t start = i;
    while (i < path.size() && path[i] != '/') ++i;
    if (i > start) out.push_back(path.substr(start, i - start));
  }
  return out;
}

}  // namespace

std::string NormalizePath(std::string_view path, std::string_view base) {
  std::vector<std::string_view> kept;
  auto take = [&](std::string_view p) {
    for (const std::string_view name : Names(p)) {
      if (name == ".") continue;
      if (name == "..") {
        if (!kept.empty()) kept.pop_back();
        continue;
      }
      kept.push_back(name);
    }
  };
  if (path.empty() || path.front() != '/') take(base);
  take(path);
  if (kept.empty()) return "/";
  std::string out;
  for (const std::string_view name : kept) {
    out += '/';
    out += name;
  }
  return out;
}

std::string WithTrailingSlash(std::string_view dir) {
  std::string out(dir);
  while (out.size() > 1 && out.back() == '/' && out[out.size() - 2] == '/') out.pop_back();
  if (out.empty() || out.back() != '/') out += '/';
  return out;
}

std::string JoinName(std::string_view dir, std::string_view name) {
  std::string out = WithTrailingSlash(dir);
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  out += name;
  return out;
}

bool PathUnder(std::string_view root, std::string_view path) {
  const std::string r = NormalizePath(root), p = NormalizePath(path);
  if (r == "/") return true;
  return p == r || (p.size() > r.size() && p.compare(0, r.size(), r) == 0 && p[r.size()] == '/');
}

std::vector<std::string> NamesBelow(std::string_view root, std::string_view path) {
  std::vector<std::string> out;
  if (!PathUnder(root, path)) return out;
  const std::string r = NormalizePath(root), p = NormalizePath(path);
  for (const std::string_view name : Names(std::string_view(p).substr(r == "/" ? 0 : r.size())))
    out.emplace_back(name);
  return out;
}

TPathParts SplitFilePath(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {"", std::string(path)};
  std::string dir(path.substr(0, slash));
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir.empty()) dir = "/";
  return {dir, std::string(path.substr(slash + 1))};
}

std::string LastName(std::string_view path) {
  const std::vector<std::string_view> names = Names(path);
  return names.empty() ? "/" : std::string(names.back());
}

bool HasWildcard(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

}  // namespace sorrel::controls
