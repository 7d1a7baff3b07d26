#include "settings/core/CommandEdits.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace sorrel::settings {
namespace {

constexpr TNumericEditField kFields[kNumericEdits] = {
    {"ed_Distance", 400, 2000, 5, 1000, true},   {"ed_Velocity", 20, 80, 5, 30, true},
    {"ed_AimDegree", 20, 150, 5, 120, true},     {"ed_OpsDegree", 20, 120, 5, 80, true},
    {"ed_PlaySoundInterval", 5, 60, 5, 7, true}, {"ed_PreLevelDownVal", 0, 70, 5, 40, true},
    {"ed_FLFLimit", 0, 10, 3, 0, false},         {"ed_FLHFontPlus", 0, 10, 3, 0, false},
    {"ed_PLDLimit", 0, 10, 3, 0, false},         {"ed_PLFLimit", 0, 10, 3, 0, false},
    {"ed_LyricLine", 1, 9, 3, 0, false},         {"ed_LyricFontSize", 9, 36, 3, 0, false},
    {"ed_KSLyricFontSize", 24, 72, 3, 0, false},
};

// One code point of UTF-8 from `s` at `i` (advanced); U+FFFD for a broken sequence.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b = static_cast<unsigned char>(s[i++]);
  if (b < 0x80) return b;
  int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
  if (more < 0 || b >= 0xF8) return 0xFFFD;
  char32_t c = b & (0x3F >> more);
  for (; more > 0; --more) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return c;
}

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\u3000'; }

// 0..9, or -1.
int DigitValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'\uFF10' && c <= U'\uFF19') return static_cast<int>(c - U'\uFF10');
  return -1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr TColor kWhite = 0xFFFFFF;

}  // namespace

const TNumericEditField& NumericEditField(TNumericEdit e) { return kFields[static_cast<int>(e)]; }

std::optional<int> ParseInteger(std::string_view text) {
  std::u32string chars;
  for (size_t i = 0; i < text.size();) chars.push_back(NextCodePoint(text, i));
  size_t first = 0, last = chars.size();
  while (first < last && IsBlank(chars[first])) ++first;
  while (last > first && IsBlank(chars[last - 1])) --last;
  bool negative = false;
  if (first < last && (chars[first] == U'+' || chars[first] == U'-' || chars[first] == U'\uFF0B' ||
                       chars[first] == U'\uFF0D')) {
    negative = chars[first] == U'-' || chars[first] == U'\uFF0D';
    ++first;
  }
  if (first == last) return std::nullopt;
  constexpr int64_t kCap = int64_t{1} << 40;  // far beyond int, far below overflow
  int64_t value = 0;
  for (size_t i = first; i < last; ++i) {
    const int d = DigitValue(chars[i]);
    if (d < 0) return std::nullopt;
    value = std::min(value * 10 + d, kCap);
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

std::string FormatNumber(int value, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%*d", width, value);
  return buf;
}

std::string FormatColorText(TColor c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%06X", static_cast<unsigned>(c) & 0xFFFFFFu);
  return buf;
}

std::optional<TColor> ParseColorText(std::string_view text) {
  if (text.size() != 7 || text[0] != '$') return std::nullopt;
  TColor c = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    const int d = HexValue(text[i]);
    if (d < 0) return std::nullopt;
    c = (c << 4) | d;
  }
  return c;
}

char32_t FilterColorKey(char32_t ch) {
  if ((ch >= U'0' && ch <= U'9') || (ch >= U'A' && ch <= U'F')) return ch;
  if (ch >= U'a' && ch <= U'f') return ch - U'a' + U'A';
  return 0;
}

TCustomColors ParseCustomColors(std::string_view text) {
  TCustomColors colors;
  colors.fill(kWhite);
  while (!text.empty()) {
    const size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    // The comma text quotes an item that holds blanks.
    if (item.size() >= 2 && item.front() == '"' && item.back() == '"') item = item.substr(1, item.size() - 2);
    if (item.size() < 8 || item.substr(0, 5) != "Color" || item[6] != '=') continue;
    const int index = item[5] - 'A';
    const std::string_view digits = item.substr(7);
    if (index < 0 || index >= kCustomColors || digits.empty() || digits.size() > 8) continue;
    uint32_t value = 0;
    bool ok = true;
    for (const char ch : digits) {
      const int d = HexValue(ch);
      ok = ok && d >= 0;
      value = (value << 4) | static_cast<uint32_t>(std::max(d, 0));
    }
    if (ok) colors[index] = static_cast<TColor>(value & 0xFFFFFF);
  }
  return colors;
}

std::string FormatCustomColors(const TCustomColors& colors) {
  std::string text;
  for (int i = 0; i < kCustomColors; ++i) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%sColor%c=%06X", i ? "," : "", 'A' + i,
                  static_cast<unsigned>(colors[i]) & 0xFFFFFFu);
    text += buf;
  }
  return text;
}

int LyricPosFromRadios(bool bottom, bool left, bool right, bool top, int current) {
  int pos = current;
  if (bottom) pos = 0;
  if (left) pos = 1;
  if (right) pos = 2;
  if (top) pos = 3;
  return pos;
}

void TCommandEdits::Load(const TCommandValues& v) {
  const auto set = [this](TNumericEdit e, int value) { values_[static_cast<int>(e)] = value; };
  set(TNumericEdit::ed_Distance, v.Alarm.AlarmDistance);
  set(TNumericEdit::ed_Velocity, v.Alarm.AlarmVelocity);
  set(TNumericEdit::ed_AimDegree, v.Alarm.AlarmAimDegree);
  set(TNumericEdit::ed_OpsDegree, v.Alarm.AlarmOpsDegree);
  set(TNumericEdit::ed_PlaySoundInterval, v.Alarm.PlaySoundInterval / 1000);
  set(TNumericEdit::ed_PreLevelDownVal, v.Alarm.PreLevelDownVal);
  set(TNumericEdit::ed_FLFLimit, v.Lists.FLFileLimit);
  set(TNumericEdit::ed_FLHFontPlus, v.Lists.FLHFontPlus);
  set(TNumericEdit::ed_PLDLimit, v.Lists.PLDirLimit);
  set(TNumericEdit::ed_PLFLimit, v.Lists.PLFileLimit);
  set(TNumericEdit::ed_LyricLine, v.LyricPlacement.LyricLine);
  set(TNumericEdit::ed_LyricFontSize, v.Lyric.LyricFontSize);
  set(TNumericEdit::ed_KSLyricFontSize, v.KSLyricFontSize);
}

std::string TCommandEdits::Text(TNumericEdit e) const {
  return FormatNumber(Value(e), NumericEditField(e).Width);
}

bool TCommandEdits::Check(TNumericEdit e, std::string_view text) {
  const std::optional<int> n = ParseInteger(text);
  if (!n) return false;
  const TNumericEditField& field = NumericEditField(e);
  values_[static_cast<int>(e)] = std::clamp(*n, field.Min, field.Max);
  return true;
}

void TCommandEdits::Default() {
  for (int i = 0; i < kNumericEdits; ++i)
    if (kFields[i].HasDefault) values_[i] = kFields[i].Default;
}

void TCommandEdits::Store(TCommandValues& v) const {
  v.Alarm.AlarmDistance = Value(TNumericEdit::ed_Distance);
  v.Alarm.AlarmVelocity = Value(TNumericEdit::ed_Velocity);
  v.Alarm.AlarmAimDegree = Value(TNumericEdit::ed_AimDegree);
  v.Alarm.AlarmOpsDegree = Value(TNumericEdit::ed_OpsDegree);
  v.Alarm.PlaySoundInterval = Value(TNumericEdit::ed_PlaySoundInterval) * 1000;
  v.Alarm.PreLevelDownVal = Value(TNumericEdit::ed_PreLevelDownVal);
  v.Lists.FLFileLimit = Value(TNumericEdit::ed_FLFLimit);
  v.Lists.FLHFontPlus = Value(TNumericEdit::ed_FLHFontPlus);
  v.Lists.PLDirLimit = Value(TNumericEdit::ed_PLDLimit);
  v.Lists.PLFileLimit = Value(TNumericEdit::ed_PLFLimit);
  v.LyricPlacement.LyricLine = Value(TNumericEdit::ed_LyricLine);
  v.Lyric.LyricFontSize = Value(TNumericEdit::ed_LyricFontSize);
  v.KSLyricFontSize = Value(TNumericEdit::ed_KSLyricFontSize);
}

}  // namespace sorrel::settings
