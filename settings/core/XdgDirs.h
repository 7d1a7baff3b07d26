// The XDG base directories and the current desktop's names, as the association reads
// and writes them, and the program search path for the database refresh tools.
#pragma once

#include <string>
#include <vector>

namespace sorrel::settings {

struct TXdgDirs {
  std::string dataHome;                 // $XDG_DATA_HOME, else ~/.local/share
  std::string configHome;               // $XDG_CONFIG_HOME, else ~/.config
  std::vector<std::string> dataDirs;    // $XDG_DATA_DIRS, else /usr/local/share, /usr/share
  std::vector<std::string> configDirs;  // $XDG_CONFIG_DIRS, else /etc/xdg
  std::vector<std::string> desktops;    // $XDG_CURRENT_DESKTOP, lower-cased, in order
  std::string programPath;              // $PATH, else /usr/local/bin:/usr/bin:/bin

  // From the environment.  Relative paths in the variables are ignored, as the base
  // directory rules want; an unset or empty variable gives the default.
  static TXdgDirs FromEnvironment();
};

// "a:b::c" -> {"a", "b", "c"}: the absolute entries of a colon-separated list, without
// trailing slashes.
std::vector<std::string> SplitPathList(const std::string& list);

}  // namespace sorrel::settings
