// The speed-camera points of "ovis.pot" in the home directory: one point per line,
// fields "/tex=" (text), "/kei=" (longitude), "/ido=" (latitude) in D'M'S'T and "/deg="
// (the direction the camera faces, whole degrees).  Read once at start, line by line
// and without holding the file; new points are appended a whole line at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::alarm {

inline constexpr const char* kPointFileName = "ovis.pot";
// Larger files are not read (a million points take about 80 MB).
inline constexpr uint64_t kMaxPointFileBytes = 256ull << 20;
// A longer line is invalid (and shown cut) without being parsed.
inline constexpr size_t kMaxPointLineBytes = 64 * 1024;
// Warnings kept for the user; further invalid lines are only counted.
inline constexpr size_t kMaxPointFileWarnings = 10;
// How much of an invalid line its warning shows.
inline constexpr size_t kMaxShownLineBytes = 256;

// One line's fields.  Text is cut at the next "/"; a missing or malformed coordinate
// is 0, a direction that is not a whole number of degrees (or does not fit) is -1.
struct TPointLine {
  std::string Text;
  int32_t Latitude = 0, Longitude = 0, Direction = -1;
  // A point: text, longitude and latitude at least 1, direction at least 0.
  bool Valid() const { return !Text.empty() && Longitude >= 1 && Latitude >= 1 && Direction >= 0; }
};
// `line` is UTF-8 (decoded already).
TPointLine ParsePointLine(std::string_view line);

// The line command 37 appends for a position: "ORD=poi/tex=newオービス/kei=..." with
// the direction in whole degrees (integer division).
std::string NewPointLine(int32_t latitude, int32_t longitude, int32_t direction);

// The warning for an invalid line: the file's path, "Line:%4d", the line and
// "は無効です", each pair joined by a line feed and a carriage return.
std::string InvalidLineMessage(std::string_view path, int lineNumber, std::string_view line);

// The points in memory, in file order; point i is shown as number i + 1.
class TOvisPointList {
 public:
  size_t Count() const { return latitude_.size(); }
  std::string_view Text(size_t i) const;
  int32_t Latitude(size_t i) const { return latitude_[i]; }
  int32_t Longitude(size_t i) const { return longitude_[i]; }
  int32_t Direction(size_t i) const { return direction_[i]; }
  void Add(std::string_view text, int32_t latitude, int32_t longitude, int32_t direction);
  void Clear();

  // The nearest camera ahead of a car at (latitude, longitude) heading `heading`: within
  // `alarmDistance` metres, the bearing to it within `opsAngle` of the heading and its
  // own direction within `aimAngle` of it (angles in 1/100000 degree).  Points more than
  // 0.05 degree of latitude or 0.04 degree of longitude away are not considered; of equal
  // distances the earlier point wins.
  struct TNearest {
    size_t Index = 0;
    int32_t Distance = 0;
    bool operator==(const TNearest&) const = default;
  };
  std::optional<TNearest> NearestAhead(int32_t latitude, int32_t longitude, int32_t heading,
                                       int32_t alarmDistance, int64_t opsAngle, int64_t aimAngle) const;

 private:
  // A copy of the coordinates sorted by latitude, so a search looks only at the band of
  // latitudes near the car.  Rebuilt on the first search after a change.
  struct TIndexed {
    int32_t Latitude, Longitude, Direction;
    uint32_t Index;
  };
  void BuildIndex() const;

  std::string texts_;            // every text, one after the other
  std::vector<size_t> textEnd_;  // where text i ends in texts_
  std::vector<int32_t> latitude_, longitude_, direction_;
  mutable std::vector<TIndexed> index_;
  mutable bool indexStale_ = false;
};

// What loading found.
struct TPointFileLoad {
  bool Exists = false;  // the file was there (and was a regular file)
  int Lines = 0;
  int InvalidLines = 0;
  // One message per invalid line (InvalidLineMessage), the first kMaxPointFileWarnings
  // of them, then any failure to read the file.
  std::vector<std::string> Warnings;
};

// Reads point lines from bytes handed over in pieces of any size; the same points and
// warnings come out however the file is cut.  Lines end at CR LF, LF or a lone CR; the
// last line needs no end; each line is UTF-8 when valid, else CP932.
class TPointFileParser {
 public:
  TPointFileParser(TOvisPointList& points, std::string path) : points_(points), path_(std::move(path)) {}
  void Feed(std::string_view bytes);
  void Finish();
  TPointFileLoad& Result() { return result_; }

 private:
  void Line(std::string_view raw, bool overlong);
  void Take(std::string_view piece);

  TOvisPointList& points_;
  std::string path_;
  TPointFileLoad result_;
  std::string pending_;    // the unfinished line
  bool overlong_ = false;  // it has grown past kMaxPointLineBytes
  bool skipLf_ = false;    // the last piece ended in CR: an LF next belongs to it
};

// Loads the file at `path` into `points` (appending).  A missing file gives no points
// and no warning.
TPointFileLoad LoadPointFile(const std::string& path, TOvisPointList& points);

// Appends `line` and a line break to the existing file at `path` in one write, then
// flushes it to disk.  A file whose last line has no break first gets one, so the new
// line stands on its own; the break is CR LF when the file's last line ends so, else LF.
// A write that fails half way is cut back off.  False, with `error`, when the file is
// missing or not a regular file or the write fails.
bool AppendPointLine(const std::string& path, std::string_view line, std::string* error = nullptr);

}  // namespace sorrel::alarm
