// Positions and the coordinate arithmetic of the alarm: great-circle distance and
// bearing, angle difference, and the two text forms of a coordinate (the navigation
// program's screen and the point file's D'M'S'T).  Coordinates and angles are integers
// in 1/100000 degree; every conversion from floating point truncates toward zero.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sorrel::alarm {

inline constexpr int32_t kUnknownDirection = -9999999;
inline constexpr int32_t kFullCircle = 36000000;
inline constexpr int32_t kHalfCircle = 18000000;
inline constexpr double kEarthRadius = 6370000.0;  // metres

// One position reading, as the sources hand it to the alarm.
struct PositionFix {
  int32_t Latitude = -1;                  // north positive; below 1: no valid position
  int32_t Longitude = -1;                 // east positive
  int32_t Speed = 0;                      // km/h
  int32_t Direction = kUnknownDirection;  // 0 = north, clockwise, 0 ... 36000000
  bool Valid() const { return Latitude >= 1 && Longitude >= 1; }
  bool operator==(const PositionFix&) const = default;
};

struct TDistanceAndBearing {
  int32_t Distance = -1;  // metres, truncated; -1 when it cannot be computed
  int32_t Bearing = -1;   // 0 ... 36000000; -1 when the points (nearly) coincide
  bool operator==(const TDistanceAndBearing&) const = default;
};

// From (lat1, lon1) to (lat2, lon2) on a sphere of radius 6,370,000 m.  The bearing is
// only given for points more than 0.09 m apart.
TDistanceAndBearing DistanceAndBearing(int32_t lat1, int32_t lon1, int32_t lat2, int32_t lon2);

// The smaller angle between two directions: 0 ... 18000000 for directions in
// 0 ... 36000000 (computed without overflow for any 32-bit values).
int64_t AngleDifference(int64_t a, int64_t b);

// The navigation program's coordinate text: "N" or "E", degrees, the degree mark "ﾟ",
// minutes, "'", seconds with a decimal point, '"' (N35ﾟ41'23.5").  The failure value
// is kNavinCoordinateFailure.
inline constexpr int32_t kNavinCoordinateFailure = -100000;
int32_t ParseNavinCoordinate(std::string_view text);
inline constexpr std::string_view kDegreeMark = "\xEF\xBE\x9F";  // U+FF9F, CP932 0xDF

// The point file's D'M'S'T form (degrees'minutes'seconds'tenths, 139'41'23'5), both
// ways.  Formatting truncates at each step (3568945 gives 35'41'22'0); parsing gives 0
// for anything that is not four numbers joined by apostrophes.
std::string FormatDmst(int32_t value);
int32_t ParseDmst(std::string_view text);

}  // namespace sorrel::alarm
