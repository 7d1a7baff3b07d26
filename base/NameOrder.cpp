#include "base/NameOrder.h"

#include <algorithm>

namespace sorrel::base {

namespace {

unsigned char Fold(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The length of the character starting at `at`: a lead byte with the continuation
// bytes that follow it (at most three), or one byte.
size_t CharLength(std::string_view s, size_t at) {
  const auto lead = static_cast<unsigned char>(s[at]);
  size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  size_t n = 1;
  while (n < want && at + n < s.size() && IsContinuation(s[at + n])) ++n;
  return n;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool NameLess(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = Fold(a[i]);
    const unsigned char y = Fold(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string FoldAsciiCase(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(Fold(c));
  return out;
}

bool MatchesMask(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*") return true;
  // The usual walk with one remembered star: on a mismatch the last star takes one
  // more character and matching resumes after it.  Quadratic at worst, never
  // exponential, whatever the pattern.
  size_t n = 0, p = 0;
  size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += CharLength(name, n);
    } else if (p < pattern.size() && Fold(pattern[p]) == Fold(name[n])) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      starN += CharLength(name, starN);
      n = starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> SplitMask(std::string_view mask) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= mask.size()) {
    size_t end = mask.find(';', start);
    if (end == std::string_view::npos) end = mask.size();
    std::string_view part = mask.substr(start, end - start);
    while (!part.empty() && IsBlank(part.front())) part.remove_prefix(1);
    while (!part.empty() && IsBlank(part.back())) part.remove_suffix(1);
    if (!part.empty()) out.emplace_back(part);
    start = end + 1;
  }
  return out;
}

bool MatchesAnyMask(std::string_view name, const std::vector<std::string>& patterns) {
  return std::any_of(patterns.begin(), patterns.end(),
                     [&](const std::string& p) { return MatchesMask(name, p); });
}

}  // namespace sorrel::base
