// File names as the browsing controls and the play files order and match them: ASCII
// letters without regard to case, every other byte as it is, so that names in any
// encoding (even invalid UTF-8) keep a total, stable order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorrel::base {

// ASCII letters compared without regard to case, other bytes by value; names equal
// that way are ordered by their bytes, so "A.mp3" comes before "a.mp3" and the order
// is the same on every run.
bool NameLess(std::string_view a, std::string_view b);

// `name` with ASCII letters in lower case.
std::string FoldAsciiCase(std::string_view name);

// Whether `name` matches the wildcard `pattern` without regard to ASCII case: "*" is
// any run of characters (none included), "?" exactly one character (a whole UTF-8
// sequence; a stray byte counts as one).  "*.*" matches every name, even one without a
// dot, as it always has on the system the masks come from.
bool MatchesMask(std::string_view name, std::string_view pattern);

// The patterns of a mask such as "*.mp3;*.MP2": split at ";", blanks around each
// pattern dropped, empty patterns left out.
std::vector<std::string> SplitMask(std::string_view mask);

// Whether `name` matches at least one of `patterns`.
bool MatchesAnyMask(std::string_view name, const std::vector<std::string>& patterns);

}  // namespace sorrel::base
