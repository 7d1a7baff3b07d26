// The player's home directory: settings file, default lists, point file, voice files,
// error log, and the base of relative list lines.
#pragma once

#include <optional>
#include <string>

namespace sorrel::app {

// `--home DIR` when given, else $SORREL_HOME, else $XDG_CONFIG_HOME/sorrel, else
// $HOME/.config/sorrel.  Empty variables count as unset.  The result is absolute.
std::string ResolveHomeDir(const std::optional<std::string>& commandLineHome);

// Creates the directory and its parents; false when it is not a usable directory.
bool EnsureDirectory(const std::string& dir, std::string* error = nullptr);

}  // namespace sorrel::app
