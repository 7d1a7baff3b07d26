#include "alarm/core/GpsUtil.h"

#include "alarm/core/Numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>

namespace sorrel::alarm {

namespace {

constexpr double kUnitToRadian = std::numbers::pi / 180.0 / 100000.0;
constexpr double kRadianToUnit = 180.0 / std::numbers::pi * 100000.0;

}  // namespace

TDistanceAndBearing DistanceAndBearing(int32_t lat1, int32_t lon1, int32_t lat2, int32_t lon2) {
  const double la1 = lat1 * kUnitToRadian, lo1 = lon1 * kUnitToRadian;
  const double la2 = lat2 * kUnitToRadian, lo2 = lon2 * kUnitToRadian;
  TDistanceAndBearing r;
  // Rounding can carry the cosine of a tiny angle just past 1; the points are then
  // 0 m apart rather than a failed computation.
  const double c =
      std::fabs(std::cos(lo1 - lo2)) * std::cos(la1) * std::cos(la2) + std::sin(la1) * std::sin(la2);
  const double metres = std::acos(std::clamp(c, -1.0, 1.0)) * kEarthRadius;
  const std::optional<int32_t> distance = TruncToInt32(metres);
  if (!distance) return r;
  r.Distance = *distance;
  if (!(metres > 0.09)) return r;

  double s = std::sin(lo2 - lo1) * std::sin(std::numbers::pi / 2 - la2) / std::sin(metres / kEarthRadius);
  // Kept off +-1, where arcsin has no slope; toward zero, never across it.
  s = s > 0 ? std::max(0.0, s - 0.000001) : std::min(0.0, s + 0.000001);
  const std::optional<int32_t> angle = TruncToInt32(std::asin(s) * kRadianToUnit);
  if (!angle) return r;
  int32_t bearing = *angle;
  if (lat2 < lat1) bearing = kHalfCircle - bearing;
  if (bearing < 0) bearing += kFullCircle;
  if (bearing >= 0 && bearing <= kFullCircle) r.Bearing = bearing;
  return r;
}

int64_t AngleDifference(int64_t a, int64_t b) {
  const int64_t d = a > b ? a - b : b - a;
  return d > kHalfCircle ? kFullCircle - d : d;
}

int32_t ParseNavinCoordinate(std::string_view text) {
  if (text.empty() || (text[0] != 'N' && text[0] != 'E')) return kNavinCoordinateFailure;
  const size_t mark = text.find(kDegreeMark, 1);
  if (mark == std::string_view::npos) return kNavinCoordinateFailure;
  const size_t minutesAt = mark + kDegreeMark.size();
  const size_t apostrophe = text.find('\'', minutesAt);
  if (apostrophe == std::string_view::npos) return kNavinCoordinateFailure;
  const size_t quote = text.find('"', apostrophe + 1);
  if (quote == std::string_view::npos) return kNavinCoordinateFailure;
  const auto degrees = ParseDecimal(text.substr(1, mark - 1));
  const auto minutes = ParseDecimal(text.substr(minutesAt, apostrophe - minutesAt));
  const auto seconds = ParseDecimal(text.substr(apostrophe + 1, quote - apostrophe - 1));
  if (!degrees || !minutes || !seconds) return kNavinCoordinateFailure;
  return TruncToInt32((*degrees + *minutes / 60 + *seconds / 3600) * 100000)
      .value_or(kNavinCoordinateFailure);
}

std::string FormatDmst(int32_t value) {
  // A negative value (never a valid point) keeps its sign in front of its magnitude.
  const double degrees = std::fabs(value / 100000.0);
  const double whole = std::trunc(degrees);
  const double minutes = (degrees - whole) * 60;
  const double seconds = (minutes - std::trunc(minutes)) * 60;
  const double tenths = (seconds - std::trunc(seconds)) * 10;
  char text[64];
  std::snprintf(text, sizeof text, "%s%.0f'%02u'%02u'%u", value < 0 ? "-" : "", whole, unsigned(minutes),
                unsigned(seconds), unsigned(tenths));
  return text;
}

int32_t ParseDmst(std::string_view text) {
  size_t cut[3];
  size_t from = 0;
  for (size_t& c : cut) {
    c = text.find('\'', from);
    if (c == std::string_view::npos) return 0;
    from = c + 1;
  }
  const auto degrees = ParseDecimal(text.substr(0, cut[0]));
  const auto minutes = ParseDecimal(text.substr(cut[0] + 1, cut[1] - cut[0] - 1));
  // Seconds and tenths read as one number, seconds "." tenths.
  std::string seconds(text.substr(cut[1] + 1, cut[2] - cut[1] - 1));
  seconds += '.';
  seconds += text.substr(cut[2] + 1);
  const auto secs = ParseDecimal(seconds);
  if (!degrees || !minutes || !secs) return 0;
  return TruncToInt32((*degrees + *minutes / 60 + *secs / 3600) * 100000).value_or(0);
}

}  // namespace sorrel::alarm
