// Reading directories for the browsing controls: the files of one directory that match
// a mask and a set of file kinds (the file list), and the subdirectories of one
// directory with whether each has any of its own (the directory tree).
//
// The kinds are those of the system the player comes from, mapped onto POSIX:
//   ftHidden     a name beginning with "." or listed in the directory's ".hidden" file
//                (the file managers' way of hiding other names);
//   ftDirectory  a directory (through symbolic links);
//   ftSystem     anything that is neither a regular file nor a directory (devices,
//                pipes, sockets);
//   ftReadOnly   no write permission bit set for anyone;
//   ftArchive    a regular file (the old archive flag is set on every file written);
//   ftVolumeID   nothing on this system;
//   ftNormal     plain entries: see ListFileNames.
// Symbolic links count as what they lead to; links that lead nowhere (loops included)
// are left out.  "." and ".." are never listed.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace sorrel::controls {

enum TFileAttr : unsigned {
  ftReadOnly = 0x01,
  ftHidden = 0x02,
  ftSystem = 0x04,
  ftVolumeID = 0x08,
  ftDirectory = 0x10,
  ftArchive = 0x20,
  ftNormal = 0x80,
};
// A set of TFileAttr.
using TFileType = unsigned;

struct TFileListing {
  std::vector<std::string> names;  // in base::NameLess order
  bool readable = false;           // the directory could be read
};

// The names in `dir` that match one of `patterns` (base::MatchesMask) and `type`: a
// hidden, system or directory entry is found only when `type` holds each of those kinds
// it has; without ftNormal in `type`, only entries with at least one kind of `type` are
// kept.  Each name once, sorted.
TFileListing ListFileNames(const std::string& dir, const std::vector<std::string>& patterns, TFileType type);

// The names listed in `dir`'s ".hidden" file (one a line).
std::unordered_set<std::string> ReadHiddenList(const std::string& dir);

// A file's identity on its device, through symbolic links.
struct TFileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const TFileId&) const = default;
};
std::optional<TFileId> FileIdOf(const std::string& path);

// The identities of `root` and of each directory on the way from it down to `dir`
// (which must lie below `root`): the chain a new node must not repeat.  Directories
// that cannot be reached are left out.
std::vector<TFileId> ChainIds(const std::string& root, const std::string& dir);

// One subdirectory as the tree shows it.
struct TDirNode {
  std::string name;
  bool hidden = false;             // listed in ".hidden"
  bool hasSubdirectories = false;  // it holds one the tree would show
  // It is the directory being read or one above it, through a symbolic link or a bind
  // mount: shown, but never entered, so that a loop cannot be followed for ever.
  bool loop = false;
};

// The subdirectories of `dir` the tree shows, sorted: never a name beginning with ".";
// hidden ones only with `showHidden`.  `chain` holds the identities of `dir` and the
// directories above it in the tree (ChainIds).
std::vector<TDirNode> ReadDirNodes(const std::string& dir, bool showHidden,
                                   const std::vector<TFileId>& chain);

// Whether `dir` holds at least one subdirectory ReadDirNodes would give; stops at the
// first.
bool HasShownSubdirectory(const std::string& dir, bool showHidden);

// Whether `dir` is a directory the process may enter (search permission); reading its
// names may still fail.
bool CanEnterDirectory(const std::string& dir);

}  // namespace sorrel::controls
