// A key file (mimeapps.list, a desktop entry) held line by line, so that an edit
// changes only the lines it means to: every other line, a comment, a group this code
// does not know, a line that is no key file syntax at all (binary bytes, a NUL, a
// missing line end), keeps its bytes and its place.
//
// A group header is a line whose first and last non-blank characters are "[" and "]";
// a key line is any other line with "=" (key and value trimmed of blanks) that is not
// a comment.  Keys are compared without regard to ASCII case, as MIME types are.
// Lines before the first header belong to no group.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::settings {

class TKeyFileLines {
 public:
  explicit TKeyFileLines(std::string_view text);

  std::string Text() const;

  // The value of the first `key` in a group named `group`.
  std::optional<std::string> Value(std::string_view group, std::string_view key) const;
  // Every key of the groups named `group`, in file order (a repeated key repeatedly).
  std::vector<std::string> Keys(std::string_view group) const;
  // Makes `key` = `value` the group's only entry of the key: the first existing line is
  // rewritten in place and the others dropped; a new key goes after the last key line
  // of the first such group, and a missing group is added at the end.
  void Set(std::string_view group, std::string_view key, std::string_view value);
  // Removes every `key` line from the groups named `group`; true when there was one.
  bool Remove(std::string_view group, std::string_view key);

 private:
  struct TLine {
    std::string body;   // without its line end
    std::string end;    // "\n", "\r\n" or "" (the last line)
    std::string group;  // the group it belongs to (its own name for a header)
    bool header = false;
    bool isKey = false;
    std::string key, value;
  };
  static TLine Parse(std::string body, std::string end, const std::string& group);
  std::string NewLineEnd(size_t near) const;

  std::vector<TLine> lines_;
};

// The entries of a ";"-separated list value, trimmed, empty ones left out.
std::vector<std::string> SplitList(std::string_view value);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace sorrel::settings
