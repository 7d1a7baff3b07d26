#include "settings/core/KeyFileLines.h"

#include <algorithm>

namespace sorrel::settings {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (Blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::vector<std::string> SplitList(std::string_view value) {
  std::vector<std::string> out;
  while (!value.empty()) {
    const size_t semi = value.find(';');
    const std::string_view item = Trim(value.substr(0, semi));
    if (!item.empty()) out.emplace_back(item);
    if (semi == std::string_view::npos) break;
    value.remove_prefix(semi + 1);
  }
  return out;
}

TKeyFileLines::TLine TKeyFileLines::Parse(std::string body, std::string end, const std::string& group) {
  TLine l;
  l.body = std::move(body);
  l.end = std::move(end);
  l.group = group;
  const std::string_view t = Trim(l.body);
  if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
    l.header = true;
    l.group = std::string(t.substr(1, t.size() - 2));
  } else if (!t.empty() && t.front() != '#') {
    const size_t eq = t.find('=');
    if (eq != std::string_view::npos && eq > 0) {
      l.isKey = true;
      l.key = std::string(Trim(t.substr(0, eq)));
      l.value = std::string(Trim(t.substr(eq + 1)));
    }
  }
  return l;
}

TKeyFileLines::TKeyFileLines(std::string_view text) {
  std::string group;
  bool inGroup = false;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string body(text.substr(0, nl));
    std::string end;
    if (nl == std::string_view::npos) {
      text = {};
    } else {
      text.remove_prefix(nl + 1);
      end = "\n";
      if (!body.empty() && body.back() == '\r') {
        body.pop_back();
        end = "\r\n";
      }
    }
    TLine l = Parse(std::move(body), std::move(end), group);
    if (l.header) {
      group = l.group;
      inGroup = true;
    } else if (!inGroup) {
      l.isKey = false;  // keys before any group are no one's
    }
    lines_.push_back(std::move(l));
  }
}

std::string TKeyFileLines::Text() const {
  std::string out;
  for (const TLine& l : lines_) out += l.body + l.end;
  return out;
}

std::optional<std::string> TKeyFileLines::Value(std::string_view group, std::string_view key) const {
  for (const TLine& l : lines_)
    if (l.isKey && l.group == group && EqualsIgnoringCase(l.key, key)) return l.value;
  return std::nullopt;
}

std::vector<std::string> TKeyFileLines::Keys(std::string_view group) const {
  std::vector<std::string> out;
  for (const TLine& l : lines_)
    if (l.isKey && l.group == group) out.push_back(l.key);
  return out;
}

std::string TKeyFileLines::NewLineEnd(size_t near) const {
  // The line end of the nearest line at or before `near` that has one.
  for (size_t i = std::min(near + 1, lines_.size()); i-- > 0;)
    if (!lines_[i].end.empty()) return lines_[i].end;
  return "\n";
}

void TKeyFileLines::Set(std::string_view group, std::string_view key, std::string_view value) {
  const std::string body = std::string(key) + "=" + std::string(value);
  bool done = false;
  for (size_t i = 0; i < lines_.size();) {
    TLine& l = lines_[i];
    if (!l.isKey || l.group != group || !EqualsIgnoringCase(l.key, key)) {
      ++i;
    } else if (!done) {
      l = Parse(body, l.end, l.group);
      done = true;
      ++i;
    } else {
      lines_.erase(lines_.begin() + std::ptrdiff_t(i));
    }
  }
  if (done) return;
  // After the last key line of the first such group, or after its header.
  for (size_t h = 0; h < lines_.size(); ++h) {
    if (!lines_[h].header || lines_[h].group != group) continue;
    size_t at = h;
    for (size_t i = h + 1; i < lines_.size() && !lines_[i].header; ++i)
      if (lines_[i].isKey) at = i;
    const std::string end = NewLineEnd(at);
    if (lines_[at].end.empty()) lines_[at].end = end;
    lines_.insert(lines_.begin() + std::ptrdiff_t(at + 1), Parse(body, end, std::string(group)));
    return;
  }
  const std::string end = lines_.empty() ? "\n" : NewLineEnd(lines_.size() - 1);
  if (!lines_.empty()) {
    if (lines_.back().end.empty()) lines_.back().end = end;
    // A blank line between the groups, unless there is one.
    if (!Trim(lines_.back().body).empty()) lines_.push_back(Parse("", end, lines_.back().group));
  }
  lines_.push_back(Parse("[" + std::string(group) + "]", end, ""));
  lines_.push_back(Parse(body, end, std::string(group)));
}

bool TKeyFileLines::Remove(std::string_view group, std::string_view key) {
  bool removed = false;
  for (size_t i = 0; i < lines_.size();) {
    const TLine& l = lines_[i];
    if (l.isKey && l.group == group && EqualsIgnoringCase(l.key, key)) {
      lines_.erase(lines_.begin() + std::ptrdiff_t(i));
      removed = true;
    } else {
      ++i;
    }
  }
  return removed;
}

}  // namespace sorrel::settings
