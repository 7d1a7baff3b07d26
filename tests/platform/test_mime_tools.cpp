// Running the database tools: found only where the search path says, started without a
// shell, their failures told in their own words, a hung one stopped.
#include "platform/mime/Tools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace sorrel::mime {
namespace {

class MimeTools : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sorrel-mime-tools-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Script(const std::string& rel, const std::string& body, mode_t mode = 0755) {
    const std::string p = dir_ + "/" + rel;
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p) << "#!/bin/sh\n" << body;
    chmod(p.c_str(), mode);
    return p;
  }
  std::string dir_;
};

TEST_F(MimeTools, FindProgramTakesTheFirstExecutableOnAbsoluteEntries) {
  Script("a/tool", "exit 0\n", 0644);  // not executable
  Script("b/tool/x", "exit 0\n");      // "tool" is a folder here
  const std::string c = Script("c/tool", "exit 0\n");
  Script("d/tool", "exit 0\n");
  Script("rel/tool", "exit 0\n");
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  EXPECT_EQ(FindProgram("tool", "rel::" + dir_ + "/a:" + dir_ + "/b:" + dir_ + "/c:" + dir_ + "/d"), c);
  EXPECT_EQ(FindProgram("tool", "rel"), "");
  EXPECT_EQ(FindProgram("tool", ""), "");
  EXPECT_EQ(FindProgram("c/tool", dir_), "");  // a name, never a path
  EXPECT_EQ(FindProgram("", dir_ + "/c"), "");
}

TEST_F(MimeTools, ArgumentsPassUnchangedAndFailuresAreTold) {
  const std::string out = dir_ + "/args";
  const std::string echo =
      Script("echo-args", "for a in \"$@\"; do printf '[%s]' \"$a\"; done > '" + out + "'\n");
  const TToolResult ok = RunProgram(echo, {"-q", "a b", "$HOME", "*", ""}, 10000);
  EXPECT_TRUE(ok.ok) << ok.message;
  std::ifstream in(out);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[-q][a b][$HOME][*][]");

  const TToolResult failed = RunProgram(Script("fails", "echo 'no such dir' >&2\nexit 4\n"), {}, 10000);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.message, "fails: exit status 4 (no such dir)");

  const TToolResult killed = RunProgram(Script("dies", "kill -TERM $$\n"), {}, 10000);
  EXPECT_FALSE(killed.ok);
  EXPECT_EQ(killed.message, "dies: ended by signal 15");

  const TToolResult missing = RunProgram(dir_ + "/not-there", {}, 10000);
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.message.find("not-there"), std::string::npos);

  // Standard error kept to its first part, however much there is.
  const TToolResult loud =
      RunProgram(Script("loud", "yes 'error line' | head -c 1000000 >&2\nexit 1\n"), {}, 10000);
  EXPECT_FALSE(loud.ok);
  EXPECT_LT(loud.message.size(), 2100u);
}

TEST_F(MimeTools, AHungToolIsStopped) {
  // It closes its standard error and keeps running: the wait, not the pipe, ends it.
  const std::string hung = Script("hung", "exec 2>&-\nexec sleep 30\n");
  const TToolResult r = RunProgram(hung, {}, 300);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "hung: still running after 300 ms, stopped");
}

}  // namespace
}  // namespace sorrel::mime
