#include "app/core/IniFile.h"

#include "app/core/TextCodec.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace sorrel::app {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string_view FirstLine(std::string_view s) {
  const size_t cut = s.find_first_of("\r\n");
  return cut == std::string_view::npos ? s : s.substr(0, cut);
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

IniFile IniFile::Parse(std::string_view bytes) {
  IniFile f;
  const std::string text = DecodeText(bytes);
  std::string_view rest = text;
  // Every byte-order mark at the start goes, or the text written back (which has none)
  // would read differently.
  while (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
  while (!rest.empty()) {
    // CR LF, LF and a lone CR all end a line, as the writer assumes when it cuts values.
    const size_t nl = rest.find_first_of("\r\n");
    const std::string_view raw = rest.substr(0, nl);
    if (nl == std::string_view::npos)
      rest = {};
    else
      rest = rest.substr(nl + (rest[nl] == '\r' && nl + 1 < rest.size() && rest[nl + 1] == '\n' ? 2 : 1));
    const std::string_view t = Trim(raw);
    Line line;
    if (!t.empty() && t.front() == '[' && t.find(']') != std::string_view::npos) {
      line.kind = Line::kSection;
      line.text = std::string(Trim(t.substr(1, t.find(']') - 1)));
    } else if (const size_t eq = t.find('='); eq != std::string_view::npos && eq > 0 && t.front() != ';') {
      line.kind = Line::kKey;
      line.text = std::string(Trim(t.substr(0, eq)));
      line.value = std::string(Trim(t.substr(eq + 1)));
      if (line.text.empty()) line = Line{Line::kOther, std::string(raw), {}};
    } else {
      line.text = std::string(raw);
    }
    f.lines_.push_back(std::move(line));
  }
  f.Reindex();
  return f;
}

IniFile IniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return IniFile{};
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Parse(bytes);
}

void IniFile::Reindex() {
  sections_.clear();
  sections_.push_back(Section{});
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Line::kSection) {
      sections_.push_back(Section{i, lines_[i].text, {}});
    } else {
      sections_.back().lines.push_back(i);
    }
  }
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  for (size_t i = 1; i < sections_.size(); ++i)
    if (EqualsNoCase(sections_[i].name, name)) return &sections_[i];
  return nullptr;
}

std::optional<size_t> IniFile::FindKey(const Section& s, std::string_view key) const {
  for (size_t i : s.lines)
    if (lines_[i].kind == Line::kKey && EqualsNoCase(lines_[i].text, key)) return i;
  return std::nullopt;
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return std::nullopt;
  const auto k = FindKey(*s, key);
  if (!k) return std::nullopt;
  return lines_[*k].value;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  auto v = Value(section, key);
  return v ? *v : std::string(def);
}

bool IniFile::ParseInteger(std::string_view text, int& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return false;
  }
  if (text.empty()) return false;
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 10);
  if (ec != std::errc{} || end != text.data() + text.size()) return false;
  out = v;
  return true;
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  int v = def;
  const auto s = Value(section, key);
  if (s && ParseInteger(*s, v)) return v;
  return def;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string v(Trim(FirstLine(value)));
  const std::string k(Trim(FirstLine(key)));
  const std::string sec(Trim(FirstLine(section)));
  if (const Section* s = FindSection(sec)) {
    if (const auto i = FindKey(*s, k)) {
      lines_[*i].value = v;
      return;
    }
    // After the last key of the section, so blank lines and comments that close it stay
    // where they are.
    size_t at = *s->header + 1;
    for (size_t i : s->lines)
      if (lines_[i].kind == Line::kKey) at = i + 1;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{Line::kKey, k, v});
  } else {
    lines_.push_back(Line{Line::kSection, sec, {}});
    lines_.push_back(Line{Line::kKey, k, v});
  }
  Reindex();
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::string IniFile::Text() const {
  std::string out;
  for (const Line& l : lines_) {
    switch (l.kind) {
      case Line::kSection:
        out += "[" + l.text + "]";
        break;
      case Line::kKey:
        out += l.text + "=" + l.value;
        break;
      case Line::kOther:
        out += l.text;
        break;
    }
    out += "\r\n";
  }
  return out;
}

bool IniFile::Save(const std::string& path, std::string* error) const {
  const auto fail = [&](const char* what) {
    if (error) *error = std::string(what) + ": " + std::strerror(errno);
    return false;
  };
  const std::string tmp = path + ".tmp" + std::to_string(getpid());
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return fail("create");
  const std::string text = Text();
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int e = errno;
      ::close(fd);
      ::unlink(tmp.c_str());
      errno = e;
      return fail("write");
    }
    done += static_cast<size_t>(n);
  }
  const bool synced = ::fsync(fd) == 0;
  const int syncErrno = errno;
  if (::close(fd) != 0 || !synced) {
    const int e = synced ? errno : syncErrno;
    ::unlink(tmp.c_str());
    errno = e;
    return fail("flush");
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    const int e = errno;
    ::unlink(tmp.c_str());
    errno = e;
    return fail("rename");
  }
  return true;
}

}  // namespace sorrel::app
