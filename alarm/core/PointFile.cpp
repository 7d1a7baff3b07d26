#include "alarm/core/PointFile.h"

#include "alarm/core/GpsUtil.h"
#include "alarm/core/Numbers.h"
#include "base/FileIO.h"
#include "base/TextCodec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sorrel::alarm {

namespace {

// A field's value: from just after the first `key` to the next "/" or the line's end;
// nothing when the key is absent.
std::string_view Field(std::string_view line, std::string_view key) {
  const size_t at = line.find(key);
  if (at == std::string_view::npos) return {};
  const std::string_view rest = line.substr(at + key.size());
  return rest.substr(0, rest.find('/'));
}

// At most `n` bytes of a UTF-8 text, not cutting a character.
std::string_view Prefix(std::string_view s, size_t n) {
  if (s.size() <= n) return s;
  while (n > 0 && (uint8_t(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

TPointLine ParsePointLine(std::string_view line) {
  TPointLine p;
  p.Text = std::string(Field(line, "/tex="));
  p.Longitude = ParseDmst(Field(line, "/kei="));
  p.Latitude = ParseDmst(Field(line, "/ido="));
  const std::optional<int32_t> degrees = ParseInteger(Field(line, "/deg="));
  if (degrees && *degrees >= INT32_MIN / 100000 && *degrees <= INT32_MAX / 100000)
    p.Direction = *degrees * 100000;
  return p;
}

std::string NewPointLine(int32_t latitude, int32_t longitude, int32_t direction) {
  return "ORD=poi/tex=newオービス/kei=" + FormatDmst(longitude) + "/ido=" + FormatDmst(latitude) +
         "/deg=" + std::to_string(direction / 100000);
}

std::string InvalidLineMessage(std::string_view path, int lineNumber, std::string_view line) {
  char number[32];
  std::snprintf(number, sizeof number, "Line:%4d", lineNumber);
  std::string m(path);
  m += "\n\r";
  m += number;
  m += "\n\r";
  m += line;
  m += "\n\r";
  m += "は無効です";
  return m;
}

// --- The points ------------------------------------------------------------------

std::string_view TOvisPointList::Text(size_t i) const {
  const size_t begin = i == 0 ? 0 : textEnd_[i - 1];
  return std::string_view(texts_).substr(begin, textEnd_[i] - begin);
}

void TOvisPointList::Add(std::string_view text, int32_t latitude, int32_t longitude, int32_t direction) {
  texts_ += text;
  textEnd_.push_back(texts_.size());
  latitude_.push_back(latitude);
  longitude_.push_back(longitude);
  direction_.push_back(direction);
  indexStale_ = true;
}

void TOvisPointList::Clear() { *this = TOvisPointList(); }

void TOvisPointList::BuildIndex() const {
  index_.clear();
  index_.reserve(Count());
  for (size_t i = 0; i < Count(); ++i)
    index_.push_back({latitude_[i], longitude_[i], direction_[i], uint32_t(i)});
  std::sort(index_.begin(), index_.end(), [](const TIndexed& a, const TIndexed& b) {
    return a.Latitude != b.Latitude ? a.Latitude < b.Latitude : a.Index < b.Index;
  });
  indexStale_ = false;
}

std::optional<TOvisPointList::TNearest> TOvisPointList::NearestAhead(int32_t latitude, int32_t longitude,
                                                                     int32_t heading, int32_t alarmDistance,
                                                                     int64_t opsAngle,
                                                                     int64_t aimAngle) const {
  if (indexStale_) BuildIndex();
  // The latitudes with |latitude - point| < 5000.
  const int64_t low = int64_t(latitude) - 4999, high = int64_t(latitude) + 4999;
  auto it = std::lower_bound(index_.begin(), index_.end(), low,
                             [](const TIndexed& e, int64_t v) { return e.Latitude < v; });
  std::optional<TNearest> best;
  for (; it != index_.end() && it->Latitude <= high; ++it) {
    if (std::abs(int64_t(longitude) - it->Longitude) >= 4000) continue;
    const TDistanceAndBearing db = DistanceAndBearing(latitude, longitude, it->Latitude, it->Longitude);
    if (db.Bearing == -1) continue;
    if (db.Distance > alarmDistance) continue;
    if (AngleDifference(heading, db.Bearing) > opsAngle || AngleDifference(heading, it->Direction) > aimAngle)
      continue;
    // The file's order decides between equal distances, as a scan in that order would.
    if (!best || db.Distance < best->Distance || (db.Distance == best->Distance && it->Index < best->Index))
      best = TNearest{it->Index, db.Distance};
  }
  return best;
}

// --- Reading ---------------------------------------------------------------------

void TPointFileParser::Take(std::string_view piece) {
  if (overlong_) return;
  if (pending_.size() + piece.size() > kMaxPointLineBytes) {
    pending_.append(
        piece.substr(0, kMaxShownLineBytes > pending_.size() ? kMaxShownLineBytes - pending_.size() : 0));
    overlong_ = true;
    return;
  }
  pending_ += piece;
}

void TPointFileParser::Feed(std::string_view bytes) {
  if (skipLf_ && !bytes.empty()) {
    if (bytes.front() == '\n') bytes.remove_prefix(1);
    skipLf_ = false;
  }
  while (!bytes.empty()) {
    const size_t end = bytes.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      Take(bytes);
      return;
    }
    Take(bytes.substr(0, end));
    Line(pending_, overlong_);
    pending_.clear();
    overlong_ = false;
    size_t next = end + 1;
    if (bytes[end] == '\r') {
      if (next < bytes.size()) {
        if (bytes[next] == '\n') ++next;
      } else {
        skipLf_ = true;
      }
    }
    bytes.remove_prefix(next);
  }
}

void TPointFileParser::Finish() {
  if (!pending_.empty() || overlong_) Line(pending_, overlong_);
  pending_.clear();
  overlong_ = false;
  skipLf_ = false;
}

void TPointFileParser::Line(std::string_view raw, bool overlong) {
  const int number = ++result_.Lines;
  const std::string line = base::DecodeText(raw);
  if (!overlong) {
    const TPointLine p = ParsePointLine(line);
    if (p.Valid()) {
      points_.Add(p.Text, p.Latitude, p.Longitude, p.Direction);
      return;
    }
  }
  ++result_.InvalidLines;
  if (result_.Warnings.size() < kMaxPointFileWarnings)
    result_.Warnings.push_back(InvalidLineMessage(path_, number, Prefix(line, kMaxShownLineBytes)));
}

TPointFileLoad LoadPointFile(const std::string& path, TOvisPointList& points) {
  TPointFileParser parser(points, path);
  TPointFileLoad& result = parser.Result();
  std::string error;
  base::TReadStatus status;
  const int fd = base::OpenRegularFile(path, error, &status);
  if (fd < 0) {
    if (status != base::TReadStatus::kMissing) result.Warnings.push_back(error);
    return result;
  }
  result.Exists = true;
  const std::string tooLarge = path + ": larger than " + std::to_string(kMaxPointFileBytes >> 20) + " MiB";
  struct stat st {};
  if (fstat(fd, &st) == 0 && uint64_t(st.st_size) > kMaxPointFileBytes) {
    close(fd);
    result.Warnings.push_back(tooLarge);
    return result;
  }
  std::vector<char> buffer(1 << 20);
  uint64_t total = 0;
  for (;;) {
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.Warnings.push_back(Errno(path));
      break;
    }
    if (n == 0) break;
    total += uint64_t(n);
    // The file may grow while it is read: the points up to the limit stay.
    if (total > kMaxPointFileBytes) {
      result.Warnings.push_back(tooLarge);
      break;
    }
    parser.Feed(std::string_view(buffer.data(), size_t(n)));
  }
  close(fd);
  parser.Finish();
  return result;
}

// --- Appending -------------------------------------------------------------------

bool AppendPointLine(const std::string& path, std::string_view line, std::string* error) {
  const auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  const int fd = open(path.c_str(), O_RDWR | O_APPEND | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(Errno(path));
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const std::string why = Errno(path);
    close(fd);
    return fail(why);
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return fail(path + ": not a regular file");
  }
  const off_t size = st.st_size;
  char tail[2] = {0, 0};
  const ssize_t got = size > 0 ? pread(fd, tail, size >= 2 ? 2 : 1, size >= 2 ? size - 2 : 0) : 0;
  const bool ended = got <= 0 || tail[got - 1] == '\n' || tail[got - 1] == '\r';
  const char* lineBreak = got == 2 && tail[0] == '\r' && tail[1] == '\n' ? "\r\n" : "\n";

  std::string data;
  if (!ended) data += lineBreak;
  data += line;
  data += lineBreak;
  ssize_t n;
  do n = write(fd, data.data(), data.size());
  while (n < 0 && errno == EINTR);
  if (n != ssize_t(data.size())) {
    const std::string why = n < 0 ? Errno(path) : path + ": disk full";
    // Whatever part reached the file goes again.
    const int cut = n > 0 ? ftruncate(fd, size) : 0;
    (void)cut;
    close(fd);
    return fail(why);
  }
  if (fsync(fd) != 0) {
    const std::string why = Errno(path);
    close(fd);
    return fail(why);
  }
  if (close(fd) != 0) return fail(Errno(path));
  return true;
}

}  // namespace sorrel::alarm
