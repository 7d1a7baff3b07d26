#include "settings/core/XdgDirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace sorrel::settings {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string TrimSlashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string Home() {
  std::string home = Env("HOME");
  if (home.empty() || home[0] != '/') {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  }
  return TrimSlashes(home.empty() ? "/" : home);
}

std::string HomeDir(const char* name, const char* fallback) {
  const std::string v = Env(name);
  if (!v.empty() && v[0] == '/') return TrimSlashes(v);
  return Home() + fallback;
}

std::vector<std::string> DirList(const char* name, const char* fallback) {
  std::vector<std::string> dirs = SplitPathList(Env(name));
  return dirs.empty() ? SplitPathList(fallback) : dirs;
}

}  // namespace

std::vector<std::string> SplitPathList(const std::string& list) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t colon = list.find(':', start);
    if (colon == std::string::npos) colon = list.size();
    const std::string item = list.substr(start, colon - start);
    if (!item.empty() && item[0] == '/') out.push_back(TrimSlashes(item));
    start = colon + 1;
  }
  return out;
}

TXdgDirs TXdgDirs::FromEnvironment() {
  TXdgDirs d;
  d.dataHome = HomeDir("XDG_DATA_HOME", "/.local/share");
  d.configHome = HomeDir("XDG_CONFIG_HOME", "/.config");
  d.dataDirs = DirList("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
  d.configDirs = DirList("XDG_CONFIG_DIRS", "/etc/xdg");
  const std::string desktops = Env("XDG_CURRENT_DESKTOP");
  size_t start = 0;
  while (start < desktops.size()) {
    size_t colon = desktops.find(':', start);
    if (colon == std::string::npos) colon = desktops.size();
    std::string name = desktops.substr(start, colon - start);
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    // A name is used in a file name: nothing that could leave the directory.
    if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..")
      d.desktops.push_back(name);
    start = colon + 1;
  }
  d.programPath = Env("PATH");
  if (d.programPath.empty()) d.programPath = "/usr/local/bin:/usr/bin:/bin";
  return d;
}

}  // namespace sorrel::settings
