// POSIX paths as the browsing controls keep them: absolute, byte strings (a name need
// not be valid UTF-8), directories without a trailing "/" except the root itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorrel::controls {

// `path` made absolute against `base` (when relative) and tidied without asking the
// file system: repeated "/" and "." components dropped, ".." taking away the name
// before it (never above "/"), no trailing "/" except for "/" itself.
std::string NormalizePath(std::string_view path, std::string_view base = "/");

// `dir` with exactly one trailing "/" ("/" stays "/").
std::string WithTrailingSlash(std::string_view dir);

// `dir` and `name` with one "/" between them.
std::string JoinName(std::string_view dir, std::string_view name);

// Whether `path` is `root` or lies below it, by whole names ("/media/usb" does not
// hold "/media/usb2").  Both tidied.
bool PathUnder(std::string_view root, std::string_view path);

// The names leading from `root` down to `path` ("/a" and "/a/b/c" give "b", "c");
// empty when `path` is `root` or not below it.
std::vector<std::string> NamesBelow(std::string_view root, std::string_view path);

// `path` split at its last "/": the directory part (without the "/", "/" for a name
// in the root, empty when there is no "/") and the name after it.
struct TPathParts {
  std::string directory;
  std::string name;
};
TPathParts SplitFilePath(std::string_view path);

// The last name of `path` ("/" for the root).
std::string LastName(std::string_view path);

// Whether a name holds a wildcard ("*" or "?").
bool HasWildcard(std::string_view name);

}  // namespace sorrel::controls
