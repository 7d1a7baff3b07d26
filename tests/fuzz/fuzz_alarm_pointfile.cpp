// The point-file reader on arbitrary bytes: it must never fail, must give the same points
// and warnings however the bytes are cut into reads, must keep only points that follow
// the rules, and a kept point written back as a new line must read back within the
// truncation of its D'M'S'T form.  The nearest-camera search over the points must agree
// with a plain scan in file order.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "alarm/core/GpsUtil.h"
#include "alarm/core/PointFile.h"

using namespace sorrel::alarm;

namespace {

bool SamePoints(const TOvisPointList& a, const TOvisPointList& b) {
  if (a.Count() != b.Count()) return false;
  for (size_t i = 0; i < a.Count(); ++i)
    if (a.Text(i) != b.Text(i) || a.Latitude(i) != b.Latitude(i) || a.Longitude(i) != b.Longitude(i) ||
        a.Direction(i) != b.Direction(i))
      return false;
  return true;
}

// D'M'S'T keeps tenths of a second (2.8 units): a value comes back at most 3 units lower.
bool RoundTrips(int32_t value) {
  const int32_t back = ParseDmst(FormatDmst(value));
  return back <= value && back >= value - 3;
}

std::optional<TOvisPointList::TNearest> PlainScan(const TOvisPointList& p, int32_t lat, int32_t lon,
                                                  int32_t heading) {
  std::optional<TOvisPointList::TNearest> best;
  for (size_t i = 0; i < p.Count(); ++i) {
    if (std::abs(int64_t(lat) - p.Latitude(i)) >= 5000 || std::abs(int64_t(lon) - p.Longitude(i)) >= 4000)
      continue;
    const TDistanceAndBearing db = DistanceAndBearing(lat, lon, p.Latitude(i), p.Longitude(i));
    if (db.Bearing == -1 || db.Distance > 2000) continue;
    if (AngleDifference(heading, db.Bearing) > 9000000 || AngleDifference(heading, p.Direction(i)) > 9000000)
      continue;
    if (!best || db.Distance < best->Distance) best = TOvisPointList::TNearest{i, db.Distance};
  }
  return best;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  TOvisPointList whole;
  TPointFileParser a(whole, "/home/ovis.pot");
  a.Feed(bytes);
  a.Finish();
  const TPointFileLoad& r = a.Result();
  if (r.Lines - r.InvalidLines != int(whole.Count())) std::abort();
  if (r.Warnings.size() > kMaxPointFileWarnings || r.Warnings.size() > size_t(r.InvalidLines)) std::abort();

  for (size_t i = 0; i < whole.Count(); ++i) {
    const std::string_view text = whole.Text(i);
    if (text.empty() || text.find_first_of("/\r\n") != std::string_view::npos) std::abort();
    if (whole.Latitude(i) < 1 || whole.Longitude(i) < 1 || whole.Direction(i) < 0 ||
        whole.Direction(i) % 100000)
      std::abort();
    if (!RoundTrips(whole.Latitude(i)) || !RoundTrips(whole.Longitude(i))) std::abort();
    const TPointLine back =
        ParsePointLine(NewPointLine(whole.Latitude(i), whole.Longitude(i), whole.Direction(i)));
    if (back.Direction != whole.Direction(i) || back.Text != "newオービス") std::abort();
  }

  // Cut into reads of 1 to 8 bytes, the lengths taken from the input itself.
  TOvisPointList pieces;
  TPointFileParser b(pieces, "/home/ovis.pot");
  for (size_t at = 0, i = 0; at < bytes.size(); ++i) {
    const size_t n = std::min<size_t>(1 + (uint8_t(bytes[i % bytes.size()]) & 7), bytes.size() - at);
    b.Feed(bytes.substr(at, n));
    at += n;
  }
  b.Finish();
  if (!SamePoints(whole, pieces) || b.Result().Lines != r.Lines || b.Result().Warnings != r.Warnings)
    std::abort();

  if (whole.Count() > 0) {
    const int32_t lat = whole.Latitude(0) - 900, lon = whole.Longitude(0) + 50;
    for (int32_t heading : {0, 9000000, 18000000, 27000000})
      if (whole.NearestAhead(lat, lon, heading, 2000, 9000000, 9000000) !=
          PlainScan(whole, lat, lon, heading))
        std::abort();
  }
  return 0;
}
