#include "app/core/HomeDir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace sorrel::app {

namespace {
std::optional<std::string> Env(const char* name) {
  const char* v = std::getenv(name);
  if (!v || !*v) return std::nullopt;
  return std::string(v);
}
}  // namespace

std::string ResolveHomeDir(const std::optional<std::string>& commandLineHome) {
  namespace fs = std::filesystem;
  fs::path dir;
  if (commandLineHome && !commandLineHome->empty())
    dir = *commandLineHome;
  else if (auto h = Env("SORREL_HOME"))
    dir = *h;
  else if (auto x = Env("XDG_CONFIG_HOME"))
    dir = fs::path(*x) / "sorrel";
  else if (auto home = Env("HOME"))
    dir = fs::path(*home) / ".config" / "sorrel";
  else
    dir = fs::path(".config") / "sorrel";
  std::error_code ec;
  fs::path abs = fs::absolute(dir, ec);
  if (ec) abs = dir;
  return abs.lexically_normal().string();
}

bool EnsureDirectory(const std::string& dir, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (fs::is_directory(dir)) return true;
  if (error) *error = ec ? ec.message() : "not a directory";
  return false;
}

}  // namespace sorrel::app
