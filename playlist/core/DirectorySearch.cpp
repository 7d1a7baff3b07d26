#include "playlist/core/DirectorySearch.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <new>
#include <unordered_set>

#include "playlist/core/Mp3Directory.h"

namespace sorrel::playlist {

std::string SearchErrorText() {
  std::string text;
  for (int i = 0; i < 18; ++i) text += "\u3000";
  text += "ディレクトリ数が多すぎるようです\r\n";
  for (int i = 0; i < 24; ++i) text += "\u3000";
  text += "中止します";
  return text;
}

std::string GetAllDirHint(std::string_view curDir) {
  return std::string(curDir) + " 以下の.mp3を含むすべてのディレクトリを追加";
}

namespace {

struct DirId {
  dev_t dev;
  ino_t ino;
  bool operator==(const DirId&) const = default;
};

struct DirIdHash {
  size_t operator()(const DirId& id) const {
    return std::hash<uint64_t>()(uint64_t(id.ino) * 0x9E3779B97F4A7C15ull ^ uint64_t(id.dev));
  }
};

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

// One directory of the directory list.
struct Found {
  std::string rel;  // relative to the start directory, without a trailing "/"
  // Its subdirectories: one block of the list, appended when it was scanned.
  size_t childBegin = 0, childEnd = 0;
};

class Walk {
 public:
  Walk(std::string startDir, const std::atomic<bool>& cancelled, const TSearchProgressFn& progress,
       const TSearchOptions& options)
      : start_(std::move(startDir)), cancelled_(cancelled), progress_(progress), options_(options) {
    if (options_.entriesPerProgress == 0) options_.entriesPerProgress = 1;
  }

  TSearchResult Run() {
    TSearchResult result;
    try {
      result.outcome = Search(result.entries);
    } catch (const std::bad_alloc&) {
      result.outcome = TSearchOutcome::kFailed;
    }
    if (result.outcome != TSearchOutcome::kCompleted) result.entries.clear();
    result.directories = found_.size();
    result.unreadable = unreadable_;
    result.revisits = revisits_;
    return result;
  }

 private:
  enum class Step { kGoOn, kCancelled, kFailed };

  TSearchOutcome Search(std::vector<std::string>& entries) {
    if (start_.empty()) return TSearchOutcome::kCompleted;
    if (start_.back() != '/') start_ += '/';
    if (cancelled_.load(std::memory_order_relaxed)) return TSearchOutcome::kCancelled;

    struct stat st {};
    if (stat(start_.c_str(), &st) == 0) visited_.insert({st.st_dev, st.st_ino});
    found_.push_back({});
    // Breadth first: each directory's subdirectories join the end of the list, so going
    // down the list takes one level after the other.
    for (size_t i = 0; i < found_.size(); ++i) {
      const Step step = ScanSubdirectories(i);
      if (step == Step::kCancelled) return TSearchOutcome::kCancelled;
      if (step == Step::kFailed) return TSearchOutcome::kFailed;
    }

    phase_ = TSearchPhase::kChecking;
    for (const size_t i : TreeOrder()) {
      status_ = found_[i].rel;
      const std::string path = i == 0 ? start_ : start_ + found_[i].rel;
      ++checked_;
      if (HasMp3File(path)) {
        entries.push_back(path);
        ++withMp3_;
      }
      if (!Report()) return TSearchOutcome::kCancelled;
    }
    return TSearchOutcome::kCompleted;
  }

  // `ScanSubdirectories`: appends the subdirectories of entry `index` to the list.
  Step ScanSubdirectories(size_t index) {
    const std::string prefix = found_[index].rel.empty() ? std::string() : found_[index].rel + "/";
    status_ = prefix;
    found_[index].childBegin = found_[index].childEnd = found_.size();
    // The subdirectories with their identities, taken before any is marked as walked,
    // so that of two names for one directory the first in order wins, whatever order
    // the file system lists them in.
    std::vector<std::pair<std::string, DirId>> subdirs;
    if (const std::unique_ptr<DIR, DirCloser> dir(opendir((start_ + prefix).c_str())); !dir) {
      ++unreadable_;
    } else {
      const int fd = dirfd(dir.get());
      size_t sinceReport = 0;
      // A read error ends the directory; what was read stands.
      while (const dirent* e = readdir(dir.get())) {
        if (++sinceReport == options_.entriesPerProgress) {
          sinceReport = 0;
          if (!Report()) return Step::kCancelled;
        }
        // "." and ".." too.
        if (e->d_name[0] == '.') continue;
        if (e->d_type != DT_DIR && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
        // Followed through links; a mount point gives the mounted root's identity.
        struct stat st {};
        if (fstatat(fd, e->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode)) continue;
        subdirs.emplace_back(e->d_name, DirId{st.st_dev, st.st_ino});
      }
    }
    std::sort(subdirs.begin(), subdirs.end(),
              [](const auto& a, const auto& b) { return NameLess(a.first, b.first); });
    for (const auto& [name, id] : subdirs) {
      if (!visited_.insert(id).second) {
        ++revisits_;
        continue;
      }
      if (found_.size() >= options_.maxDirectories) return Step::kFailed;
      found_.push_back({prefix + name});
    }
    found_[index].childEnd = found_.size();
    ++scanned_;
    return Report() ? Step::kGoOn : Step::kCancelled;
  }

  // The list in the order of the results: each directory followed by its
  // subdirectories, which are sorted already.  Linear, without comparisons.
  std::vector<size_t> TreeOrder() const {
    std::vector<size_t> order, stack{0};
    order.reserve(found_.size());
    while (!stack.empty()) {
      const size_t i = stack.back();
      stack.pop_back();
      order.push_back(i);
      for (size_t c = found_[i].childEnd; c-- > found_[i].childBegin;) stack.push_back(c);
    }
    return order;
  }

  // Lets the caller see the progress; false when the search is to stop.
  bool Report() {
    if (progress_) {
      TSearchProgress p;
      p.phase = phase_;
      p.status = status_;
      p.found = found_.size();
      p.scanned = scanned_;
      p.checked = checked_;
      p.withMp3 = withMp3_;
      progress_(p);
    }
    return !cancelled_.load(std::memory_order_relaxed);
  }

  std::string start_;  // with a trailing "/"
  const std::atomic<bool>& cancelled_;
  const TSearchProgressFn& progress_;
  TSearchOptions options_;

  std::vector<Found> found_;
  std::unordered_set<DirId, DirIdHash> visited_;
  TSearchPhase phase_ = TSearchPhase::kSearching;
  std::string status_;
  size_t scanned_ = 0, checked_ = 0, withMp3_ = 0, unreadable_ = 0, revisits_ = 0;
};

}  // namespace

TSearchResult SearchAllDirectories(const std::string& startDir, const std::atomic<bool>& Cancelled,
                                   const TSearchProgressFn& progress, const TSearchOptions& options) {
  return Walk(startDir, Cancelled, progress, options).Run();
}

}  // namespace sorrel::playlist
