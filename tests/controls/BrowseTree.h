// Private directory trees for the browsing controls' tests, running checks without
// root's privileges, and private mounts.  The trees must lie outside the system's own
// areas (/tmp, /var ...), which the drive rules leave out, and be open to "nobody" for
// the checks without privileges: in the build directory when that will do, else in
// /srv (as root), else under $HOME.
#pragma once

#include "controls/core/Drives.h"

#include "tests/common/TempTree.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace sorrel::controls::test {

// Every directory on the way to `path` lets others through.
inline bool OpenToOthers(const std::filesystem::path& path) {
  for (std::filesystem::path p = path; !p.empty(); p = p.parent_path()) {
    struct stat st {};
    if (stat(p.c_str(), &st) != 0 || !(st.st_mode & S_IXOTH)) return false;
    if (p == p.root_path()) break;
  }
  return true;
}

// Where the trees go: the first place a drive could be, by the drive rules themselves,
// that the checks without privileges can reach.
inline std::string TreeBase() {
  static const std::string base = [] {
    std::vector<std::string> candidates{std::string(SORREL_BUILD_DIR) + "/test-trees",
                                        "/srv/sorrel-test-trees"};
    if (const char* home = std::getenv("HOME"); home && *home == '/')
      candidates.push_back(std::string(home) + "/.cache/sorrel-test-trees");
    for (const std::string& c : candidates) {
      std::error_code ec;
      std::filesystem::create_directories(c, ec);
      if (!ec && IsDriveVolume(TVolume{c, "ext4", "/dev/x", "", true}) && (getuid() != 0 || OpenToOthers(c)))
        return c;
    }
    return candidates.front();
  }();
  return base;
}

// Trees where the drive rules look for them.
class TempTree : public sorrel::test::TempTree {
 protected:
  std::string Base() const override { return TreeBase(); }
};

using sorrel::test::WithoutPrivileges;

// For the rest of the process: mounts of its own that nobody else sees, and that end
// with it.  Needs root and a process without threads yet; false when it cannot be had.
inline bool PrivateMounts() {
  static const bool ok = [] {
    if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0) return false;
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  return ok;
}

}  // namespace sorrel::controls::test
