// The drives of the drive box: the mounted file systems worth browsing, then the
// user's documents and desktop folders.  The mounted volumes come from a source that
// tests replace with a fake.
#pragma once

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

}  // namespace sorrel::controls
