#include "controls/core/Drives.h"

#include "base/NameOrder.h"
#include "controls/core/BrowsePaths.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <array>
#include <map>

namespace sorrel::controls {

namespace {

constexpr std::array kPseudoFileSystems = {
    "autofs", "binfmt_misc", "bpf",      "cgroup",     "cgroup2",         "configfs",    "debugfs",
    "devpts", "devtmpfs",    "efivarfs", "fusectl",    "hugetlbfs",       "mqueue",      "nsfs",
    "proc",   "pstore",      "ramfs",    "rpc_pipefs", "securityfs",      "selinuxfs",   "squashfs",
    "sysfs",  "tmpfs",       "tracefs",  "nfsd",       "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs",
};

constexpr std::array kSystemAreas = {"/proc", "/sys", "/dev", "/run", "/boot", "/efi",
                                     "/snap", "/usr", "/var", "/tmp", "/etc"};

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool IsRemovableRoot(std::string_view root) {
  const std::string r = NormalizePath(root);
  return (r != "/media" && PathUnder("/media", r)) || (r != "/run/media" && PathUnder("/run/media", r));
}

bool IsDriveVolume(const TVolume& volume) {
  if (!volume.ready || volume.root.empty() || volume.root.front() != '/') return false;
  const std::string root = NormalizePath(volume.root);
  if (std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), volume.fsType) !=
      kPseudoFileSystems.end())
    return false;
  if (volume.fsType == "overlay" && root != "/") return false;
  if (!IsRemovableRoot(root))
    for (const char* area : kSystemAreas)
      if (PathUnder(area, root)) return false;
  // A file bound over a file (containers do it with /etc/hosts) is no drive.
  return IsDirectory(root);
}

std::string FormatVolumeLabel(std::string_view label) {
  std::string out(label);
  if (out.empty()) return out;
  const bool singleByteFirst = static_cast<unsigned char>(out.front()) < 0x80;
  std::string rest = base::FoldAsciiCase(std::string_view(out).substr(singleByteFirst ? 1 : 0));
  return singleByteFirst ? out.substr(0, 1) + rest : rest;
}

std::vector<TDriveEntry> BuildDriveEntries(const std::vector<TVolume>& volumes, const std::string& documents,
                                           const std::string& desktop) {
  // One per mount point; a later mount hides an earlier one there.
  std::map<std::string, const TVolume*> byRoot;
  for (const TVolume& v : volumes)
    if (IsDriveVolume(v)) byRoot[NormalizePath(v.root)] = &v;
  std::vector<TDriveEntry> entries;
  for (const auto& [root, volume] : byRoot) {
    TDriveEntry e;
    e.path = e.drive = root;
    if (IsRemovableRoot(root)) {
      e.kind = TDriveKind::Removable;
      e.text = volume->label.empty() ? LastName(root) : FormatVolumeLabel(volume->label);
    } else {
      e.text = root;
    }
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(), [](const TDriveEntry& a, const TDriveEntry& b) {
    if ((a.path == "/") != (b.path == "/")) return a.path == "/";
    return base::NameLess(a.path, b.path);
  });
  const size_t driveCount = entries.size();
  for (const auto& [kind, folder] :
       {std::pair{TDriveKind::Documents, documents}, {TDriveKind::Desktop, desktop}}) {
    if (folder.empty() || folder.front() != '/' || !IsDirectory(folder)) continue;
    const std::string path = NormalizePath(folder);
    if (std::any_of(entries.begin(), entries.end(), [&](const TDriveEntry& e) { return e.path == path; }))
      continue;
    TDriveEntry e;
    e.path = path;
    e.kind = kind;
    e.text = LastName(path);
    e.drive = DriveOf(std::vector<TDriveEntry>(entries.begin(), entries.begin() + driveCount), path);
    if (e.drive.empty()) e.drive = path;  // no drive holds it: it stands for itself
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string DriveOf(const std::vector<TDriveEntry>& entries, std::string_view path) {
  std::string best;
  for (const TDriveEntry& e : entries)
    if (PathUnder(e.drive, path) && (best.empty() || e.drive.size() > best.size())) best = e.drive;
  return best;
}

bool DriveAnswers(TVolumeSource& source, const std::string& root) {
  const std::string r = NormalizePath(root);
  const std::vector<TVolume> volumes = source.MountedVolumes();
  const bool listed = std::any_of(volumes.begin(), volumes.end(), [&](const TVolume& v) {
    return IsDriveVolume(v) && NormalizePath(v.root) == r;
  });
  struct statvfs fs {};
  return listed && statvfs(r.c_str(), &fs) == 0;
}

TDriveList::TDriveList(TCanEnter canEnter) : canEnter_(std::move(canEnter)) {}

std::string TDriveList::NormalizeDir(std::string_view dir) {
  return dir.empty() ? std::string() : NormalizePath(dir);
}

int TDriveList::FirstEntryOf(const std::string& drive) const {
  if (drive.empty()) return -1;
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].drive == drive) return int(i);
  return -1;
}

void TDriveList::SelectDriveOf(const std::string& dir) {
  drive_ = DriveOf(entries_, dir);
  selected_ = FirstEntryOf(drive_);
  if (selected_ < 0) drive_.clear();
}

void TDriveList::SetEntries(std::vector<TDriveEntry> entries) {
  entries_ = std::move(entries);
  selected_ = FirstEntryOf(drive_);
  if (selected_ < 0) drive_.clear();
}

void TDriveList::SetCurrentDirectory(std::string_view dir) {
  current_ = NormalizeDir(dir);
  if (current_.empty()) return;
  SelectDriveOf(current_);
  if (!drive_.empty()) lastDirectory_[drive_] = current_;
}

bool TDriveList::SetDrive(std::string_view root) {
  const std::string r = NormalizeDir(root);
  if (selected_ >= 0 && !r.empty() && entries_[size_t(selected_)].drive == r) return false;
  selected_ = FirstEntryOf(r);
  drive_ = selected_ < 0 ? std::string() : r;
  return true;
}

bool TDriveList::Click(int index) {
  if (index < 0 || size_t(index) >= entries_.size()) return false;
  const TDriveEntry entry = entries_[size_t(index)];
  std::string dir = entry.path;
  if (entry.kind != TDriveKind::Documents && entry.kind != TDriveKind::Desktop) {
    const auto last = lastDirectory_.find(entry.drive);
    if (last != lastDirectory_.end() && PathUnder(entry.drive, last->second) && canEnter_(last->second))
      dir = last->second;
  }
  current_ = dir;
  drive_ = entry.drive;
  selected_ = FirstEntryOf(drive_);
  lastDirectory_[drive_] = current_;
  return true;
}

bool TDriveList::Refresh(std::vector<TDriveEntry> entries, const TDriveAnswers& driveAnswers) {
  // The drive the directory was on, which must still be listed: a medium gone from
  // its mount point leaves the directory to the drive below, and that is no place of
  // the medium's.
  const std::string drive = current_.empty() ? std::string() : DriveOf(entries_, current_);
  entries_ = std::move(entries);
  const std::string before = current_;
  const bool listed = std::any_of(entries_.begin(), entries_.end(),
                                  [&](const TDriveEntry& e) { return e.path == drive && e.drive == drive; });
  std::string dir;
  if (listed && driveAnswers(drive)) {
    // Up from the remembered directory to the first one that can be entered, never
    // past the drive's own mount point.
    for (dir = current_; !canEnter_(dir);) {
      if (dir == drive) {
        dir.clear();
        break;
      }
      dir = SplitFilePath(dir).directory;
    }
  }
  if (dir.empty()) dir = fallback_;
  SetCurrentDirectory(dir);
  return current_ != before;
}

}  // namespace sorrel::controls
