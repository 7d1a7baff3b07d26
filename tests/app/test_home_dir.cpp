#include "app/core/HomeDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace sorrel::app;

TEST(HomeDir, CommandLineThenEnvironmentThenXdg) {
  setenv("SORREL_HOME", "/srv/sorrel-home", 1);
  setenv("XDG_CONFIG_HOME", "/xdg", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(ResolveHomeDir(std::string("/given/dir/")), "/given/dir/");
  EXPECT_EQ(ResolveHomeDir(std::nullopt), "/srv/sorrel-home");
  setenv("SORREL_HOME", "", 1);  // empty counts as unset
  EXPECT_EQ(ResolveHomeDir(std::string("")), "/xdg/sorrel");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ResolveHomeDir(std::nullopt), "/home/u/.config/sorrel");
  // Relative directories are made absolute once, at start.
  const std::string rel = ResolveHomeDir(std::string("rel/../h"));
  EXPECT_EQ(rel.front(), '/');
  EXPECT_EQ(rel.substr(rel.size() - 2), "/h");
  unsetenv("SORREL_HOME");
}

TEST(HomeDir, EnsureDirectoryMakesParentsAndRefusesFiles) {
  char tmpl[] = "/tmp/sorrel-home-XXXXXX";
  const std::string base = mkdtemp(tmpl);
  std::string error;
  EXPECT_TRUE(EnsureDirectory(base + "/a/b/c", &error)) << error;
  FILE* f = std::fopen((base + "/file").c_str(), "w");
  std::fclose(f);
  EXPECT_FALSE(EnsureDirectory(base + "/file", &error));
  EXPECT_FALSE(error.empty());
  std::system(("rm -rf " + base).c_str());
}
