// sorrel's command line.  Qt's own options (-platform NAME, -style NAME, -reverse and the
// like, with one dash or two) are skipped here and left to QApplication, so that --help,
// --version and a wrong line are answered before any display is needed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sorrel::app {

struct TStartOptions {
  std::optional<std::string> home;   // --home DIR
  std::optional<std::string> audio;  // --audio BACKEND
  std::string listFile;              // the first argument that is not an option; empty: none
};

extern const char* const kSorrelUsage;

// Parses the arguments (without the program name).  nullopt: start with `o`.  A number:
// exit with it at once, --help or --version having been answered (0) or the line being
// wrong (2, the message on standard error in the style of every program of the project).
std::optional<int> ParseStartOptions(const std::vector<std::string>& args, TStartOptions& o);

// A mistake found after parsing (a bad --audio value), said the same way; returns 2.
int StartUsageError(const std::string& message);

// How many arguments from args[i] on are one of Qt's options: 0 (none), 1 or 2 (the
// option and its value).
size_t ToolkitArgumentCount(const std::vector<std::string>& args, size_t i);

}  // namespace sorrel::app
