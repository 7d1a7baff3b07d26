#include "controls/core/DirEntries.h"

#include "base/NameOrder.h"
#include "controls/core/BrowsePaths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace sorrel::controls {

namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsDotName(const char* name) { return name[0] == '.'; }

bool IsSelfOrParent(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// The entry's type through links: DT_DIR, DT_REG, DT_UNKNOWN for other kinds, or -1
// for a link that leads nowhere or an entry that vanished.  `st` is filled when a stat
// was needed or `wantStat` asks for one.
int EntryType(int dirFd, const dirent* e, bool wantStat, struct stat& st, bool& haveStat) {
  haveStat = false;
  if (!wantStat && e->d_type == DT_DIR) return DT_DIR;
  if (!wantStat && e->d_type == DT_REG) return DT_REG;
  if (!wantStat && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) return DT_UNKNOWN;
  if (fstatat(dirFd, e->d_name, &st, 0) != 0) return -1;
  haveStat = true;
  if (S_ISDIR(st.st_mode)) return DT_DIR;
  if (S_ISREG(st.st_mode)) return DT_REG;
  return DT_UNKNOWN;
}

// The ".hidden" list, read once and only when a name needs it.
class HiddenList {
 public:
  explicit HiddenList(const std::string& dir) : dir_(dir) {}
  bool Holds(const std::string& name) {
    if (!loaded_) {
      names_ = ReadHiddenList(dir_);
      loaded_ = true;
    }
    return names_.contains(name);
  }

 private:
  const std::string& dir_;
  bool loaded_ = false;
  std::unordered_set<std::string> names_;
};

}  // namespace

TFileListing ListFileNames(const std::string& dir, const std::vector<std::string>& patterns, TFileType type) {
  TFileListing out;
  DirHandle d(opendir(dir.c_str()));
  if (!d) return out;
  out.readable = true;
  const int fd = dirfd(d.get());
  HiddenList hiddenList(dir);
  // Without ftNormal the read-only kind may decide, and only a stat tells it.
  const bool needMode = !(type & ftNormal) && (type & ftReadOnly);
  while (const dirent* e = readdir(d.get())) {
    if (IsSelfOrParent(e->d_name)) continue;
    const std::string name(e->d_name);
    if (!base::MatchesAnyMask(name, patterns)) continue;
    struct stat st {};
    bool haveStat = false;
    const int kind = EntryType(fd, e, needMode, st, haveStat);
    if (kind < 0) continue;
    TFileType attrs = 0;
    if (kind == DT_DIR) attrs |= ftDirectory;
    if (kind == DT_REG) attrs |= ftArchive;
    if (kind == DT_UNKNOWN) attrs |= ftSystem;
    if (haveStat && (st.st_mode & 0222) == 0) attrs |= ftReadOnly;
    if (IsDotName(e->d_name) || hiddenList.Holds(name)) attrs |= ftHidden;
    // Hidden, system and directory entries only when asked for, each kind of them.
    if ((attrs & (ftHidden | ftSystem | ftDirectory)) & ~type) continue;
    if (!(type & ftNormal) && !(attrs & type)) continue;
    out.names.push_back(name);
  }
  std::sort(out.names.begin(), out.names.end(),
            [](const std::string& a, const std::string& b) { return base::NameLess(a, b); });
  return out;
}

std::unordered_set<std::string> ReadHiddenList(const std::string& dir) {
  std::unordered_set<std::string> names;
  const int fd = open(JoinName(dir, ".hidden").c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return names;
  struct stat st {};
  // Only a regular file, and only its first megabyte: a pipe or a huge file put there
  // must not stall the browser.
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    constexpr size_t kLimit = 1 << 20;
    std::string text;
    char buf[8192];
    ssize_t n;
    while (text.size() < kLimit && (n = read(fd, buf, sizeof buf)) > 0) text.append(buf, size_t(n));
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      if (end > start) names.insert(text.substr(start, end - start));
      start = end + 1;
    }
  }
  close(fd);
  return names;
}

std::optional<TFileId> FileIdOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return TFileId{st.st_dev, st.st_ino};
}

std::vector<TFileId> ChainIds(const std::string& root, const std::string& dir) {
  std::vector<TFileId> chain;
  std::string path = NormalizePath(root);
  if (const auto id = FileIdOf(path)) chain.push_back(*id);
  for (const std::string& name : NamesBelow(root, dir)) {
    path = JoinName(path, name);
    if (const auto id = FileIdOf(path)) chain.push_back(*id);
  }
  return chain;
}

std::vector<TDirNode> ReadDirNodes(const std::string& dir, bool showHidden,
                                   const std::vector<TFileId>& chain) {
  std::vector<TDirNode> nodes;
  DirHandle d(opendir(dir.c_str()));
  if (!d) return nodes;
  const int fd = dirfd(d.get());
  HiddenList hiddenList(dir);
  while (const dirent* e = readdir(d.get())) {
    if (IsDotName(e->d_name)) continue;
    if (e->d_type != DT_DIR && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
    // A stat for every candidate: a bind mount of a directory above shows only in it.
    struct stat st {};
    if (fstatat(fd, e->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode)) continue;
    TDirNode node;
    node.name = e->d_name;
    node.hidden = hiddenList.Holds(node.name);
    if (node.hidden && !showHidden) continue;
    const TFileId id{st.st_dev, st.st_ino};
    node.loop = std::find(chain.begin(), chain.end(), id) != chain.end();
    if (!node.loop) node.hasSubdirectories = HasShownSubdirectory(JoinName(dir, node.name), showHidden);
    nodes.push_back(std::move(node));
  }
  std::sort(nodes.begin(), nodes.end(),
            [](const TDirNode& a, const TDirNode& b) { return base::NameLess(a.name, b.name); });
  return nodes;
}

bool HasShownSubdirectory(const std::string& dir, bool showHidden) {
  DirHandle d(opendir(dir.c_str()));
  if (!d) return false;
  const int fd = dirfd(d.get());
  HiddenList hiddenList(dir);
  while (const dirent* e = readdir(d.get())) {
    if (IsDotName(e->d_name)) continue;
    struct stat st {};
    bool haveStat = false;
    if (EntryType(fd, e, false, st, haveStat) != DT_DIR) continue;
    if (!showHidden && hiddenList.Holds(e->d_name)) continue;
    return true;
  }
  return false;
}

bool CanEnterDirectory(const std::string& dir) {
  struct stat st {};
  return !dir.empty() && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(dir.c_str(), X_OK) == 0;
}

}  // namespace sorrel::controls
