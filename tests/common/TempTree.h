// A private directory tree for one test, removed afterwards (permissions restored first),
// and checks run without root's privileges.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace sorrel::test {

class TempTree : public ::testing::Test {
 protected:
  // The folder the trees are made in.
  virtual std::string Base() const { return std::filesystem::temp_directory_path().string(); }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ =
        Base() + "/sorrel-" + info->test_suite_name() + "-" + info->name() + "-" + std::to_string(getpid());
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

  // The absolute path of `rel` inside the tree.
  std::string P(const std::string& rel) const { return rel.empty() ? root_ : root_ + "/" + rel; }
  // Creates a file (and its directories) with the given bytes.
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
  static std::string Slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

}  // namespace sorrel::test
