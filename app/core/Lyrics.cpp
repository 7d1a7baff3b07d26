#include "app/core/Lyrics.h"

#include "base/FileIO.h"
#include "base/TextCodec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

namespace sorrel::app {
namespace {

constexpr int64_t kMinTime = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxTime = std::numeric_limits<int32_t>::max();

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp(v, kMinTime, kMaxTime)); }

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal integer with an optional sign that fits 32 bits.
std::optional<int64_t> ReadInt(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (!AllDigits(s)) return std::nullopt;
  while (s.size() > 1 && s.front() == '0') s.remove_prefix(1);
  if (s.size() > 10) return std::nullopt;
  int64_t v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  if (negative) v = -v;
  if (v < kMinTime || v > kMaxTime) return std::nullopt;
  return v;
}

// A real number in C notation ("2", "0.5", "1.0015", "1e0"); only finite positive ones.
std::optional<double> ReadPositiveReal(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  if (!std::isfinite(v) || v <= 0) return std::nullopt;
  return v;
}

// The stamp as minutes ":" seconds ":" hundredths.  -1 without two ":", nothing when a
// field is no number or the time does not fit 32 bits.
std::optional<int64_t> ReadStamp(std::string_view stamp) {
  const size_t first = stamp.find(':');
  const size_t second = first == std::string_view::npos ? first : stamp.find(':', first + 1);
  if (second == std::string_view::npos) return -1;
  const auto minutes = ReadInt(stamp.substr(0, first));
  const auto seconds = ReadInt(stamp.substr(first + 1, second - first - 1));
  const std::string_view rest = stamp.substr(second + 1);
  const auto hundredths = rest.empty() ? std::optional<int64_t>(0) : ReadInt(rest);
  if (!minutes || !seconds || !hundredths) return std::nullopt;
  const int64_t t = *minutes * 60000 + *seconds * 1000 + *hundredths * 10;
  if (t < kMinTime || t > kMaxTime) return std::nullopt;
  return t;
}

// The LRC stamp "mm:ss", "mm:ss.x", "mm:ss.xx" or "mm:ss.xxx".
std::optional<int64_t> ReadLrcStamp(std::string_view stamp) {
  const size_t colon = stamp.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view minutes = stamp.substr(0, colon);
  std::string_view seconds = stamp.substr(colon + 1);
  std::string_view fraction;
  if (const size_t dot = seconds.find('.'); dot != std::string_view::npos) {
    fraction = seconds.substr(dot + 1);
    seconds = seconds.substr(0, dot);
    if (!AllDigits(fraction) || fraction.size() > 3) return std::nullopt;
  }
  if (!AllDigits(minutes) || minutes.size() > 6 || !AllDigits(seconds) || seconds.size() > 2) {
    return std::nullopt;
  }
  int64_t m = 0, s = 0, f = 0;
  std::from_chars(minutes.data(), minutes.data() + minutes.size(), m);
  std::from_chars(seconds.data(), seconds.data() + seconds.size(), s);
  std::from_chars(fraction.data(), fraction.data() + fraction.size(), f);
  for (size_t n = fraction.size(); n < 3; ++n) f *= 10;
  const int64_t t = m * 60000 + s * 1000 + f;
  if (t > kMaxTime) return std::nullopt;
  return t;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
         });
}

// The text cut to kMaxLyricTextBytes, at a character boundary.
std::string_view Capped(std::string_view text) {
  if (text.size() <= kMaxLyricTextBytes) return text;
  size_t n = kMaxLyricTextBytes;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

class TReader {
 public:
  explicit TReader(const TLyricReadOptions& options) : options_(options) {}

  void Line(std::string_view line) {
    if (!line.empty() && line.front() == '[') {
      TimedLine(line);
    } else {
      HeaderLine(line);
    }
  }

  double ratio = 1.0;
  int32_t fileOffset = 0;
  int32_t lrcOffset = 0;
  std::vector<std::pair<int32_t, uint32_t>> entries;  // time, text
  std::vector<std::string> texts{std::string()};

 private:
  void HeaderLine(std::string_view line) {
    std::string upper(line);
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    const auto after = [&](std::string_view key) -> std::optional<std::string_view> {
      const size_t at = upper.find(key);
      if (at == std::string::npos) return std::nullopt;
      const size_t eq = upper.find('=', at + key.size());
      if (eq == std::string::npos) return std::nullopt;
      return Trim(std::string_view(upper).substr(eq + 1));
    };
    if (const auto text = after("@TIMERATIO")) {
      if (const auto r = ReadPositiveReal(*text)) ratio = *r;
    }
    if (const auto text = after("@OFFSET")) {
      if (const auto o = ReadInt(*text)) fileOffset = static_cast<int32_t>(*o);
    }
  }

  // The time of one stamp by the rules in force, or nothing.
  std::optional<int64_t> StampTime(std::string_view stamp) const {
    const std::optional<int64_t> t = ReadStamp(stamp);
    if (!options_.StandardLrc) return t;
    if (t && *t != -1) return t;
    return ReadLrcStamp(stamp);
  }

  void TimedLine(std::string_view line) {
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return;
    const std::string_view stamp = line.substr(1, close - 1);
    std::optional<int64_t> t = StampTime(stamp);
    if (!t) {
      if (options_.StandardLrc) OffsetTag(stamp);
      return;
    }
    std::vector<int64_t> times{*t};
    std::string_view text = line.substr(close + 1);
    // LRC: more stamps right after the first, the line standing at each.
    while (options_.StandardLrc && !text.empty() && text.front() == '[') {
      const size_t end = text.find(']');
      if (end == std::string_view::npos) break;
      const std::optional<int64_t> next = StampTime(text.substr(1, end - 1));
      if (!next) break;
      times.push_back(*next);
      text.remove_prefix(end + 1);
    }
    uint32_t index = 0;
    if (!Trim(text).empty()) {
      index = static_cast<uint32_t>(texts.size());
      texts.emplace_back(Capped(text));
    }
    for (int64_t time : times) entries.emplace_back(Saturate(time + options_.LyricOffset), index);
  }

  void OffsetTag(std::string_view stamp) {
    const size_t colon = stamp.find(':');
    if (colon == std::string_view::npos || !EqualsNoCase(Trim(stamp.substr(0, colon)), "offset")) return;
    if (const auto o = ReadInt(Trim(stamp.substr(colon + 1)))) lrcOffset = static_cast<int32_t>(*o);
  }

  const TLyricReadOptions& options_;
};

bool IsRegularFile(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

}  // namespace

TLyricTimeline ParseLyrics(std::string_view bytes, const TLyricReadOptions& options) {
  std::string converted;
  if (base::LooksLikeUtf16(bytes)) {
    converted = base::Utf16ToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    bytes = converted;
  }
  TReader reader(options);
  base::ForEachLine(bytes, [&](std::string_view raw) {
    reader.Line(base::DecodeText(raw));
    return true;
  });

  TLyricTimeline t;
  t.timeRatio_ = reader.ratio;
  t.fileOffset_ = reader.fileOffset;
  t.lrcOffset_ = reader.lrcOffset;
  if (reader.entries.empty()) return t;

  auto& lines = reader.entries;
  if (options.StandardLrc) {
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  t.texts_ = std::move(reader.texts);
  t.entries_.reserve(kLeadingLyricEntries + lines.size() + kTrailingLyricEntries + kFinalLyricEntries);
  t.entries_.assign(kLeadingLyricEntries, {0, 0});
  for (const auto& [time, text] : lines) t.entries_.push_back({time, text});

  // "[offset:+n]" moves the lyrics n ms earlier.
  const int64_t offset = int64_t{t.fileOffset_} - t.lrcOffset_;
  if (t.timeRatio_ != 1.0 || offset != 0) {
    for (auto& e : t.entries_) {
      const double v = std::rint(e.Time / t.timeRatio_ + static_cast<double>(offset));
      e.Time =
          static_cast<int32_t>(std::clamp(v, static_cast<double>(kMinTime), static_cast<double>(kMaxTime)));
    }
  }
  const int64_t last = t.entries_.back().Time;
  for (int k = 1; k <= kTrailingLyricEntries; ++k) {
    t.entries_.push_back({Saturate(last + int64_t{k} * kTrailingLyricSpacing), 0});
  }
  for (int k = 0; k < kFinalLyricEntries; ++k)
    t.entries_.push_back({Saturate(last + kFinalLyricDistance), 0});

  t.ordered_ = std::is_sorted(t.entries_.begin(), t.entries_.end(),
                              [](const auto& a, const auto& b) { return a.Time < b.Time; });
  return t;
}

int TLyricTimeline::FindByScan(int32_t position) const {
  for (size_t i = 0; i + 1 < entries_.size(); ++i) {
    if (entries_[i].Time <= position && position < entries_[i + 1].Time) return static_cast<int>(i);
  }
  return -1;
}

int TLyricTimeline::Find(int32_t position) const {
  if (!ordered_) return FindByScan(position);
  // The only candidate is the entry before the first one later than the position.
  const auto later = std::upper_bound(entries_.begin(), entries_.end(), position,
                                      [](int32_t p, const TEntry& e) { return p < e.Time; });
  if (later == entries_.begin() || later == entries_.end()) return -1;
  return static_cast<int>(later - entries_.begin()) - 1;
}

std::string FindLyricFile(const std::string& songPath) {
  namespace fs = std::filesystem;
  const size_t slash = songPath.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = songPath.rfind('.');
  const std::string stem = dot == std::string::npos || dot < nameStart ? songPath : songPath.substr(0, dot);
  if (stem.size() <= nameStart) return {};  // no file name

  // Another case of the extension, found by reading the directory (only when needed).
  const auto anyCase = [&](std::string_view ext) -> std::string {
    const std::string dir = nameStart == 0 ? std::string(".") : songPath.substr(0, nameStart);
    const std::string_view name = std::string_view(stem).substr(nameStart);
    std::error_code ec;
    std::string found;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string entry = it->path().filename().string();
      if (entry.size() != name.size() + ext.size() || entry.compare(0, name.size(), name) != 0) continue;
      if (!EqualsNoCase(std::string_view(entry).substr(name.size()), ext)) continue;
      const std::string path = songPath.substr(0, nameStart) + entry;
      // The first in byte order, so the choice does not depend on the directory's order.
      if (IsRegularFile(path) && (found.empty() || path < found)) found = path;
    }
    return found;
  };
  for (const std::string_view ext : {std::string_view(".lrc"), std::string_view(".txt")}) {
    const std::string exact = stem + std::string(ext);
    if (IsRegularFile(exact)) return exact;
    if (std::string other = anyCase(ext); !other.empty()) return other;
  }
  return {};
}

TLyricPage LyricPage(const TLyricTimeline& timeline, int line, int rows, int nilSpace) {
  TLyricPage page;
  page.Rows = std::clamp(rows, 1, kMaxLyricRows);
  page.MarkedRow = (page.Rows - 1) / 4 + 1;
  const std::string blank(static_cast<size_t>(std::clamp(nilSpace, 0, kMaxLyricNilSpace)), ' ');
  for (int k = 1; k <= page.Rows; ++k) {
    const int64_t i = int64_t{line} - page.MarkedRow + k;
    std::string_view text;
    if (i >= 0 && static_cast<uint64_t>(i) < timeline.size()) text = timeline.Text(static_cast<size_t>(i));
    if (text.empty()) text = blank;
    // The last row never carries the note, even when it is the marked one (one row).
    page.Text += k == page.MarkedRow && k < page.Rows ? "♪" : "　";
    page.Text += text;
    if (k < page.Rows) page.Text += "\r\n";
  }
  return page;
}

std::string TLyricEngine::Load(const std::string& songPath, const TLyricReadOptions& options) {
  Clear();
  const std::string path = FindLyricFile(songPath);
  if (path.empty()) return {};
  base::TReadResult r = base::ReadRegularFile(path, kMaxLyricFileBytes);
  if (r.status == base::TReadStatus::kMissing) return {};  // gone since it was found
  if (!r.ok()) return r.error + ": lyrics not read";
  Load(ParseLyrics(r.data, options));
  path_ = path;
  return {};
}

void TLyricEngine::Load(TLyricTimeline timeline) {
  timeline_ = std::move(timeline);
  path_.clear();
  current_ = -1;
}

TLyricAction TLyricEngine::Step(int32_t position, const TLyricStepContext& context) {
  if (context.CompanionShown || (!context.MainActive && context.DeActiveLyricOff) || lyricsOff_) {
    current_ = -1;
    return TLyricAction::kClose;
  }
  const int i = timeline_.Find(position);
  if (i < 0 || i == current_) return TLyricAction::kNone;
  current_ = i;
  return TLyricAction::kDraw;
}

}  // namespace sorrel::app
