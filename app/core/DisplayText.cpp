#include "app/core/DisplayText.h"

#include <cstdio>

namespace sorrel::app {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string TwoDigits(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

// Blanks and control characters off both ends, as tag years often carry them.
std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

// The digits of |n| (INT64_MIN included).
std::string Magnitude(int64_t n) {
  const uint64_t m = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  return std::to_string(m);
}

// "%*.0n / %*.0n"
std::string Fraction(int64_t a, int64_t b, int width) {
  return FormatNumber(a, width) + " / " + FormatNumber(b, width);
}

}  // namespace

std::string MinutesSeconds(int64_t ms) {
  if (ms < 0) ms = 0;
  const int64_t seconds = ms / 1000;
  return TwoDigits(static_cast<int>(seconds / 60 % 60)) + ":" + TwoDigits(static_cast<int>(seconds % 60));
}

std::string ElapsedTimeText(int64_t positionMs, int64_t durationMs) {
  return MinutesSeconds(positionMs) + " / " + (durationMs > 0 ? MinutesSeconds(durationMs) : kUnknownLength);
}

std::string ClockText(const base::TLocalTime& time, bool showSeconds) {
  const int hour = time.hour % 12 == 0 ? 12 : time.hour % 12;
  std::string s = (time.hour < 12 ? "AM " : "PM ") + TwoDigits(hour) + ":" + TwoDigits(time.minute);
  if (showSeconds) s += ":" + TwoDigits(time.second);
  return s;
}

int NumberWidth(int64_t n) {
  const int digits = static_cast<int>(Magnitude(n).size());
  return digits + digits / 3;
}

std::string FormatNumber(int64_t value, int width) {
  const std::string digits = Magnitude(value);
  std::string s;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) s += ',';
    s += digits[i];
  }
  if (value < 0) s.insert(s.begin(), '-');
  if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), ' ');
  return s;
}

std::string ArtistText(const std::string& artist, const std::string& year, bool addYear) {
  const std::string y = Trim(year);
  if (!addYear || y.empty()) return artist;
  return artist + " (" + y + ")";
}

TLabelTexts RefreshLabelTexts(const TSongFacts& song, const TPlayOrderFacts& order,
                              const TMainFormSettings& settings) {
  TLabelTexts t;
  t.TitleHint = song.Title;
  t.ArtistHint = ArtistText(song.Artist, song.Year, settings.ArtistAddYear);
  t.AlbumHint = song.Album;

  std::string block;
  if (settings.InfoAddTitle) block += kCrLf + std::string(" Title: ") + song.Title;
  if (settings.InfoAddArtist) block += kCrLf + std::string("Artist: ") + song.Artist;
  if (settings.InfoAddAlbum) block += kCrLf + std::string(" Album: ") + song.Album;
  if (settings.InfoAddYear) block += kCrLf + std::string("  Year: ") + song.Year;
  // Lines the width of the block's captions, so that the colons line up.
  const std::string prefix = block.empty() ? "" : "  ";

  const int songWidth = NumberWidth(order.SongCount);
  if (!order.ListFileMode) {
    t.InfoText = prefix + "SinD: " + Fraction(order.FileNo, order.DirectorySongCount, songWidth) + kCrLf +
                 prefix + " Dir: " + Fraction(order.DirectoryNo + 1, order.DirectoryCount, songWidth) + kCrLf;
    t.DirNoText =
        Fraction(order.DirectoryNo + 1, order.DirectoryCount, NumberWidth(order.DirectoryCount)) + kCrLf;
    t.DirNoVisible = true;
    t.DirNoColor = order.Shuffle ? kDirNoShuffleColor : kDirNoColor;
    if (settings.TitleAddTrack)
      t.TitleHint =
          std::to_string(order.FileNo) + "/" + std::to_string(order.DirectorySongCount) + "　" + song.Title;
  }
  t.FileNoText = Fraction(int64_t{order.MusicIndex} + 1, order.SongCount, songWidth);
  t.InfoText += prefix + "AllS: " + t.FileNoText;
  // The block starts with its own line break, so a blank line sets it apart.
  if (!block.empty()) t.InfoText += kCrLf + block;
  return t;
}

int PopUpHighlightLine(bool informationPopUp, const TPlayOrderFacts& order) {
  return informationPopUp && !order.ListFileMode && order.Shuffle ? 3 : 1;
}

}  // namespace sorrel::app
