#include "base/IniFile.h"

#include "base/FileIO.h"
#include "base/TextCodec.h"

#include <algorithm>
#include <charconv>
#include <type_traits>
#include <utility>

namespace sorrel::base {

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

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

// FNV-1a over the case-folded bytes, mixed so that the low bits serve as a slot index.
uint32_t NameHash(std::string_view name) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (char c : name) h = (h ^ uint8_t(LowerAscii(c))) * 0x100000001b3ull;
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9ull;
  h ^= h >> 32;
  return uint32_t(h);
}

std::string OriginalKey(std::string_view section, std::string_view key) {
  return Lower(section) + '\n' + Lower(key);
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

template <class NameOf>
int64_t IniFile::NameIndex::Find(std::string_view name, const NameOf& nameOf) const {
  if (slots_.empty()) return -1;
  const uint32_t hash = NameHash(name);
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask; slots_[i].entry != 0; i = (i + 1) & mask)
    if (slots_[i].hash == hash && EqualsNoCase(nameOf(slots_[i].entry - 1), name)) return slots_[i].entry - 1;
  return -1;
}

template <class NameOf>
void IniFile::NameIndex::Add(uint32_t entry, std::string_view name, const NameOf& nameOf) {
  // At most half full, so that probe runs stay short.
  if ((used_ + 1) * 2 > slots_.size()) Grow(std::max<size_t>(16, slots_.size() * 2));
  const uint32_t hash = NameHash(name);
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  for (; slots_[i].entry != 0; i = (i + 1) & mask)
    if (slots_[i].hash == hash && EqualsNoCase(nameOf(slots_[i].entry - 1), name)) return;
  slots_[i] = Slot{entry + 1, hash};
  ++used_;
}

void IniFile::NameIndex::Reserve(size_t names) {
  size_t slots = 16;
  while (slots < names * 2) slots *= 2;
  if (slots > slots_.size()) Grow(slots);
}

void IniFile::NameIndex::Grow(size_t slots) {
  std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(slots));
  const size_t mask = slots - 1;
  for (const Slot& s : old) {
    if (s.entry == 0) continue;
    size_t i = s.hash & mask;
    while (slots_[i].entry != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void IniFile::NameIndex::Clear() {
  slots_.clear();
  used_ = 0;
}

IniFile::IniFile() { sections_.emplace_back(); }

IniFile IniFile::Parse(std::string_view bytes) { return ParseMoved(std::string(bytes)); }

IniFile IniFile::ParseMoved(std::string&& bytes) {
  static_assert(std::is_nothrow_move_constructible_v<Section>,
                "sections must move, not copy, as the file grows");
  IniFile f;
  f.source_ = std::move(bytes);
  f.ParseAll();
  return f;
}

void IniFile::ParseAll() {
  std::string_view bytes = source_;
  // Every byte-order mark at the start goes, or the text written back (which has none)
  // would read differently.
  while (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  lines_.reserve(size_t(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
  ForEachLine(bytes, [this](std::string_view raw) {
    AddLine(raw);
    return true;
  });
  FinishSection();
}

std::string_view IniFile::View(Span s) const {
  const std::string& buffer = (s.at & kOwnText) ? text_ : source_;
  return {buffer.data() + (s.at & ~kOwnText), s.size};
}

char IniFile::At(uint32_t at) const { return (at & kOwnText) ? text_[at & ~kOwnText] : source_[at]; }

IniFile::Span IniFile::Own(std::string_view s) {
  const Span span{uint32_t(text_.size()) | kOwnText, uint32_t(s.size())};
  text_.append(s);
  return span;
}

IniFile::Span IniFile::Within(Span whole, std::string_view part) const {
  return Span{whole.at + uint32_t(part.data() - View(whole).data()), uint32_t(part.size())};
}

void IniFile::AddLine(std::string_view raw) {
  bool damaged = false;
  // Valid UTF-8 stands as it is (a byte-order mark inside the file included), so that a
  // line written back reads the same again.
  const Span whole = IsValidUtf8(raw) ? Span{uint32_t(raw.data() - source_.data()), uint32_t(raw.size())}
                                      : Own(DecodeText(raw, &damaged));
  const std::string_view t = Trim(View(whole));
  Line line;
  if (!t.empty() && t.front() == '[' && t.find(']') != std::string_view::npos) {
    line.kind = Line::kSection;
    line.text = Within(whole, Trim(t.substr(1, t.find(']') - 1)));
  } else if (const size_t eq = t.find('='); eq != std::string_view::npos && eq > 0 && t.front() != ';') {
    const std::string_view name = Trim(t.substr(0, eq));
    if (!name.empty()) {
      line.kind = Line::kKey;
      line.text = Within(whole, name);
      line.value = Within(whole, Trim(t.substr(eq + 1)));
    }
  }
  if (line.kind == Line::kOther) line.text = whole;
  if (damaged) {
    line.keepRaw = true;
    line.raw = Span{uint32_t(raws_.size()), uint32_t(raw.size())};
    raws_.append(raw);
    ++damagedLines_;
  }
  if (line.kind != Line::kOther) ++entries_;
  if (line.kind == Line::kSection) {
    FinishSection();
    Section& s = sections_.emplace_back();
    s.hasHeader = true;
    s.header = int64_t(lines_.size());
    s.name = line.text;
    s.begin = uint32_t(lines_.size() + 1);
    sectionIndex_.Add(uint32_t(sections_.size() - 1), View(s.name),
                      [this](uint32_t i) { return View(sections_[i].name); });
  }
  lines_.push_back(line);
}

void IniFile::FinishSection() {
  Section& s = sections_.back();
  s.end = uint32_t(lines_.size());
  s.keysEnd = s.end;
  while (s.keysEnd > s.begin && lines_[s.keysEnd - 1].kind != Line::kKey) --s.keysEnd;
}

int64_t IniFile::FindSectionIndex(std::string_view name) const {
  return sectionIndex_.Find(name, [this](uint32_t i) { return View(sections_[i].name); });
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  const int64_t i = FindSectionIndex(name);
  return i < 0 ? nullptr : &sections_[size_t(i)];
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(static_cast<const IniFile*>(this)->FindSection(name));
}

const IniFile::Line& IniFile::KeyLine(const Section& s, uint32_t entry) const {
  return (entry & kAdded) ? s.added[entry & ~kAdded] : lines_[entry];
}

IniFile::Line& IniFile::KeyLine(Section& s, uint32_t entry) {
  return (entry & kAdded) ? s.added[entry & ~kAdded] : lines_[entry];
}

const IniFile::NameIndex& IniFile::KeyIndex(const Section& s) const {
  if (!s.indexed) {
    const auto nameOf = [&](uint32_t e) { return View(KeyLine(s, e).text); };
    s.keys.Reserve(s.keysEnd - s.begin + s.added.size());
    for (uint32_t i = s.begin; i < s.keysEnd; ++i)
      if (lines_[i].kind == Line::kKey) s.keys.Add(i, View(lines_[i].text), nameOf);
    for (size_t i = 0; i < s.added.size(); ++i)
      s.keys.Add(uint32_t(i) | kAdded, View(s.added[i].text), nameOf);
    s.indexed = true;
  }
  return s.keys;
}

int64_t IniFile::FindKey(const Section& s, std::string_view key) const {
  return KeyIndex(s).Find(key, [&](uint32_t e) { return View(KeyLine(s, e).text); });
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return std::nullopt;
  const int64_t e = FindKey(*s, key);
  if (e < 0) return std::nullopt;
  return std::string(View(KeyLine(*s, uint32_t(e)).value));
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
  const std::string_view v = Trim(FirstLine(value));
  const std::string_view k = Trim(FirstLine(key));
  const std::string_view sec = Trim(FirstLine(section));
  Section* s = FindSection(sec);
  if (s) {
    if (const int64_t e = FindKey(*s, k); e >= 0) {
      Line& l = KeyLine(*s, uint32_t(e));
      if (View(l.value) == v) return;  // the original bytes of a damaged line stay
      if (l.keepRaw) {
        l.keepRaw = false;
        --damagedLines_;
      }
      l.value = Own(v);
      return;
    }
  } else {
    s = &sections_.emplace_back();
    s->hasHeader = true;
    s->name = Own(sec);
    s->begin = s->keysEnd = s->end = uint32_t(lines_.size());
    s->indexed = true;
    sectionIndex_.Add(uint32_t(sections_.size() - 1), sec,
                      [this](uint32_t i) { return View(sections_[i].name); });
    ++entries_;
  }
  Line l;
  l.kind = Line::kKey;
  l.text = Own(k);
  l.value = Own(v);
  if (!originals_.empty()) {
    const auto o = originals_.find(OriginalKey(sec, k));
    if (o != originals_.end() && o->second.value == v) {
      l.keepRaw = true;
      l.raw = Span{uint32_t(raws_.size()), uint32_t(o->second.raw.size())};
      raws_ += o->second.raw;
      ++damagedLines_;
    }
  }
  s->added.push_back(l);
  const uint32_t entry = uint32_t(s->added.size() - 1) | kAdded;
  s->keys.Add(entry, k, [s, this](uint32_t e) { return View(KeyLine(*s, e).text); });
  ++entries_;
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void IniFile::Clear() {
  if (damagedLines_ > 0) {
    // Only what Value would find: the first section of a name, the first key in it.
    for (size_t n = 0; n < sections_.size(); ++n) {
      const Section& s = sections_[n];
      if (!s.hasHeader || FindSectionIndex(View(s.name)) != int64_t(n)) continue;
      for (uint32_t i = s.begin; i < s.keysEnd; ++i) {
        const Line& l = lines_[i];
        if (!l.keepRaw || l.kind != Line::kKey || FindKey(s, View(l.text)) != int64_t(i)) continue;
        originals_[OriginalKey(View(s.name), View(l.text))] =
            Original{std::string(View(l.value)), raws_.substr(l.raw.at, l.raw.size)};
      }
    }
  }
  std::string().swap(source_);
  text_.clear();
  raws_.clear();
  lines_.clear();
  sections_.clear();
  sections_.emplace_back();
  sectionIndex_.Clear();
  entries_ = 0;
  damagedLines_ = 0;
}

void IniFile::AppendLine(std::string& out, const Line& l) const {
  if (l.keepRaw) {
    out.append(raws_, l.raw.at, l.raw.size);
  } else {
    switch (l.kind) {
      case Line::kSection:
        // As read, "[name]" stands in the line around the name.
        if (At(l.text.at - 1) == '[' && At(l.text.at + l.text.size) == ']') {
          out += View(Span{l.text.at - 1, l.text.size + 2});
        } else {
          out += '[';
          out += View(l.text);
          out += ']';
        }
        break;
      case Line::kKey:
        // As read without blanks around "=", the name, "=" and the value are one piece.
        if (l.value.at == l.text.at + l.text.size + 1) {
          out += View(Span{l.text.at, l.text.size + 1 + l.value.size});
        } else {
          out += View(l.text);
          out += '=';
          out += View(l.value);
        }
        break;
      case Line::kOther:
        out += View(l.text);
        break;
    }
  }
  out += "\r\n";
}

std::string IniFile::Text() const {
  size_t added = 0;
  for (const Section& s : sections_) added += s.added.size() + 1;
  std::string out;
  out.reserve(source_.size() + text_.size() + raws_.size() + 2 * (lines_.size() + added));
  const auto lines = [&](uint32_t from, uint32_t to) {
    for (uint32_t i = from; i < to; ++i) AppendLine(out, lines_[i]);
  };
  for (const Section& s : sections_) {
    if (s.header >= 0) {
      AppendLine(out, lines_[size_t(s.header)]);
    } else if (s.hasHeader) {
      out += '[';
      out += View(s.name);
      out += "]\r\n";
    }
    lines(s.begin, s.keysEnd);
    for (const Line& l : s.added) AppendLine(out, l);
    lines(s.keysEnd, s.end);
  }
  return out;
}

bool IniFile::Save(const std::string& path, std::string* error) const {
  return WriteFileAtomically(path, Text(), error);
}

}  // namespace sorrel::base
