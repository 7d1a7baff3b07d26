// Private directory trees for the browsing controls' tests, running checks without
// root's privileges, and private mounts.  The trees must lie outside the system's own
// areas (/tmp, /var ...), which the drive rules leave out, and be open to "nobody" for
// the checks without privileges: in the build directory when that will do, else in
// /srv (as root), else under $HOME.
#pragma once

#include "controls/core/Drives.h"

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

class TempTree : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = TreeBase() + "/" + info->test_suite_name() + "-" + info->name() + "-" + std::to_string(getpid());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
  }
  void TearDown() override {
    // Permissions back first, so that everything can be removed.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             root_, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (it->symlink_status(ec).type() == std::filesystem::file_type::directory)
        chmod(it->path().c_str(), 0755);
    chmod(root_.c_str(), 0755);
    std::filesystem::remove_all(root_, ec);
  }

  std::string P(const std::string& rel) const { return rel.empty() ? root_ : root_ + "/" + rel; }
  std::string Touch(const std::string& rel, const std::string& bytes = "") const {
    const std::string p = P(rel);
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  std::string MkDir(const std::string& rel) const {
    std::filesystem::create_directories(P(rel));
    return P(rel);
  }
  void Link(const std::string& target, const std::string& rel) const {
    ASSERT_EQ(symlink(target.c_str(), P(rel).c_str()), 0) << rel;
  }

  std::string root_;
};

// Runs `check` in a child process that permissions apply to (as "nobody" when the
// tests run as root, who reads every directory); true when it returned true.
template <class Check>
bool WithoutPrivileges(Check check) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(check() ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

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
