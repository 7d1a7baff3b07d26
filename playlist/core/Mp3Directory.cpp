#include "playlist/core/Mp3Directory.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace sorrel::playlist {

namespace {

unsigned char FoldCase(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// Calls `take` with each matching name of `dir` until it returns false.
template <class Take>
void ForEachMp3(const std::string& dir, Take take) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  const int fd = dirfd(d);
  while (const dirent* e = readdir(d)) {
    const std::string_view name(e->d_name);
    if (!MatchesMp3Mask(name)) continue;
    // The entry's type saves a stat for plain files; links and file systems that do
    // not say need one.
    if (e->d_type != DT_REG) {
      if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
      struct stat st {};
      if (fstatat(fd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    }
    if (!take(name)) break;
  }
  closedir(d);
}

}  // namespace

bool MatchesMp3Mask(std::string_view name) {
  constexpr std::string_view kExt = ".mp3";
  if (name.size() < kExt.size()) return false;
  const std::string_view tail = name.substr(name.size() - kExt.size());
  for (size_t i = 0; i < kExt.size(); ++i)
    if (FoldCase(static_cast<unsigned char>(tail[i])) != static_cast<unsigned char>(kExt[i])) return false;
  return true;
}

bool NameLess(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = FoldCase(static_cast<unsigned char>(a[i]));
    const unsigned char y = FoldCase(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::vector<std::string> ListMp3Files(const std::string& dir) {
  std::vector<std::string> names;
  ForEachMp3(dir, [&](std::string_view name) {
    names.emplace_back(name);
    return true;
  });
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return NameLess(a, b); });
  return names;
}

bool HasMp3File(const std::string& dir) {
  bool found = false;
  ForEachMp3(dir, [&](std::string_view) {
    found = true;
    return false;
  });
  return found;
}

}  // namespace sorrel::playlist
