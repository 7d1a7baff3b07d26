// Running the desktop's database tools (update-mime-database, update-desktop-database):
// found on a given search path, started without a shell, bounded in time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorrel::mime {

// The first executable regular file named `name` in the colon-separated `searchPath`
// (absolute entries only); empty when there is none.
std::string FindProgram(std::string_view name, std::string_view searchPath);

struct TToolResult {
  bool ok = false;
  std::string message;  // why it failed: the exit status and the start of its standard error
};

// Runs `program` (a path) with `args`: standard input from /dev/null, standard output
// discarded, standard error kept for the message.  Killed when it runs longer than
// `timeoutMs`.
TToolResult RunProgram(const std::string& program, const std::vector<std::string>& args, int timeoutMs);

}  // namespace sorrel::mime
