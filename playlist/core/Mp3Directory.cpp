#include "playlist/core/Mp3Directory.h"

#include "base/NameOrder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace sorrel::playlist {

namespace {

unsigned char FoldCase(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

bool EndsWithFolded(std::string_view name, std::string_view lowerTail) {
  if (name.size() < lowerTail.size()) return false;
  const std::string_view tail = name.substr(name.size() - lowerTail.size());
  for (size_t i = 0; i < lowerTail.size(); ++i)
    if (FoldCase(static_cast<unsigned char>(tail[i])) != static_cast<unsigned char>(lowerTail[i]))
      return false;
  return true;
}

bool IsRegularEntry(int dirFd, const dirent* e) {
  // The entry's type saves a stat for plain files; links and file systems that do not
  // say need one.
  if (e->d_type == DT_REG) return true;
  if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) return false;
  struct stat st {};
  return fstatat(dirFd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

// Calls `take` with each matching name of `dir` until it returns false; `other` sees
// the names that do not match.
template <class Take, class Other>
void ForEachMp3(const std::string& dir, Take take, Other other) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  const int fd = dirfd(d);
  while (const dirent* e = readdir(d)) {
    const std::string_view name(e->d_name);
    if (!MatchesMp3Mask(name)) {
      other(name);
      continue;
    }
    if (IsRegularEntry(fd, e) && !take(name)) break;
  }
  closedir(d);
}

void SortNames(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return NameLess(a, b); });
}

}  // namespace

bool MatchesMp3Mask(std::string_view name) { return base::MatchesMask(name, "*.mp3"); }

// One order and one case rule with the browsing controls.
std::string FoldAsciiCase(std::string_view name) { return base::FoldAsciiCase(name); }

bool NameLess(std::string_view a, std::string_view b) { return base::NameLess(a, b); }

std::vector<std::string> ListMp3Files(const std::string& dir) { return ReadMp3Listing(dir, false).names; }

bool HasMp3File(const std::string& dir) {
  bool found = false;
  ForEachMp3(
      dir,
      [&](std::string_view) {
        found = true;
        return false;
      },
      [](std::string_view) {});
  return found;
}

Mp3Listing ReadMp3Listing(const std::string& dir, bool withLyricCandidates) {
  Mp3Listing listing;
  ForEachMp3(
      dir,
      [&](std::string_view name) {
        listing.names.emplace_back(name);
        return true;
      },
      [&](std::string_view name) {
        if (withLyricCandidates && (EndsWithFolded(name, ".lrc") || EndsWithFolded(name, ".txt")))
          listing.lyricCandidates.insert(FoldAsciiCase(name));
      });
  SortNames(listing.names);
  return listing;
}

}  // namespace sorrel::playlist
