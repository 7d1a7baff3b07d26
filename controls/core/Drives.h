// The drives of the drive box: the mounted file systems worth browsing, then the
// user's documents and desktop folders.  The mounted volumes come from a source that
// tests replace with a fake.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::controls {

// One mounted file system as the system reports it.
struct TVolume {
  std::string root;    // the mount point
  std::string fsType;  // "ext4", "vfat", "tmpfs" ...
  std::string device;  // "/dev/sdb1" ...
  std::string label;   // the file system's label, empty when it has none
  bool ready = true;   // mounted and answering
};

class TVolumeSource {
 public:
  virtual ~TVolumeSource() = default;
  // The volumes mounted now, in mount order (a later one hides an earlier one on the
  // same mount point).
  virtual std::vector<TVolume> MountedVolumes() = 0;
};

enum class TDriveKind { Fixed, Removable, Documents, Desktop };

struct TDriveEntry {
  std::string path;   // the mount point, or the folder
  std::string drive;  // the mount point that holds `path` (itself for a volume)
  std::string text;   // what the box shows
  TDriveKind kind = TDriveKind::Fixed;
};

// Whether a volume is a drive: ready, on a real file system (not proc, sysfs, tmpfs,
// cgroup, squashfs images and the like; an overlay only as "/", as containers have
// it), mounted on a directory outside the system's own areas (/proc, /sys, /dev, /run
// except /run/media, /boot, /efi, /snap, /usr, /var, /tmp, /etc).
bool IsDriveVolume(const TVolume& volume);

// Whether a drive holds removable media: mounted under /media or /run/media, where the
// desktop mounts them.
bool IsRemovableRoot(std::string_view root);

// A volume label as the box shows it: a label beginning with a single-byte (ASCII)
// character keeps that character and has the rest in lower case ("MUSIC" gives
// "Music"); one beginning with any other character is lowered whole (ASCII letters;
// other characters have no case to lower here).
std::string FormatVolumeLabel(std::string_view label);

// The box's entries: the drives (one per mount point, the last mount winning), "/"
// first and the others in base::NameLess order of their mount points, then the
// documents and desktop folders when they exist and are not already listed.  A
// removable medium reads as its formatted label (its mount point's last name without
// one); any other drive as its mount point; a folder as its last name.
std::vector<TDriveEntry> BuildDriveEntries(const std::vector<TVolume>& volumes, const std::string& documents,
                                           const std::string& desktop);

// The mount point among `entries`' drives that holds `path` (the longest), or empty.
std::string DriveOf(const std::vector<TDriveEntry>& entries, std::string_view path);

// Whether `root` is among the drives `source` reports now and answers a file-system
// query.
bool DriveAnswers(TVolumeSource& source, const std::string& root);

// The drive box's state without the box: its entries, the selected one, the current
// directory, and the directory each drive was last left in (the system the player
// comes from keeps a current directory per drive, and choosing a drive returns there).
// Whether a directory can be entered and whether a drive answers are asked of the
// functions given, so that tests can stand in for the file system.
class TDriveList {
 public:
  using TCanEnter = std::function<bool(const std::string& dir)>;
  using TDriveAnswers = std::function<bool(const std::string& root)>;

  explicit TDriveList(TCanEnter canEnter);

  const std::vector<TDriveEntry>& Entries() const { return entries_; }
  // The selected entry, -1 for none.
  int Selected() const { return selected_; }
  // The mount point of the selected entry's drive; empty for none.
  const std::string& Drive() const { return drive_; }
  const std::string& CurrentDirectory() const { return current_; }
  const std::string& FallbackDirectory() const { return fallback_; }

  // Entries from BuildDriveEntries; the selection follows the drive when it is still
  // there.  The current directory is not looked at (Refresh does that).
  void SetEntries(std::vector<TDriveEntry> entries);
  // Makes `dir` (tidied) the current directory and remembers it for its drive; the
  // box then selects that drive.
  void SetCurrentDirectory(std::string_view dir);
  void SetFallbackDirectory(std::string_view dir) { fallback_ = NormalizeDir(dir); }

  // `SetDrive`: nothing happens (false) when the selected entry is already on `root`;
  // otherwise the first entry of that drive is selected (drives come before the
  // folders on them), or none for an empty or unknown root, and the change is to be
  // announced (true).
  bool SetDrive(std::string_view root);
  // A click on entry `index`: its drive becomes the drive and the box selects the
  // drive's own entry.  A folder becomes the current directory; a drive returns to the
  // directory it was last left in when that can still be entered, else its mount
  // point.  False when the index names no entry.
  bool Click(int index);
  // `RefreshDrives` with new entries: the current directory stays when the drive it
  // was on is still listed and answers (climbing to the nearest directory on it that can be
  // entered); otherwise the fallback directory becomes current.  True when the current
  // directory had to change.
  bool Refresh(std::vector<TDriveEntry> entries, const TDriveAnswers& driveAnswers);

 private:
  static std::string NormalizeDir(std::string_view dir);
  void SelectDriveOf(const std::string& dir);
  int FirstEntryOf(const std::string& drive) const;

  TCanEnter canEnter_;
  std::vector<TDriveEntry> entries_;
  int selected_ = -1;
  std::string drive_;
  std::string current_;
  std::string fallback_ = "/";
  std::map<std::string, std::string> lastDirectory_;  // by drive
};

}  // namespace sorrel::controls
