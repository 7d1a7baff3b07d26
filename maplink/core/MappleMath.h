// The map program's arithmetic: map class and zoom against the scale denominator (1:N),
// the scale list, the zoom step, the recentring threshold, the direction icon and the
// map coordinates.  Integer divisions truncate as the map program's own do.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace sorrel::maplink {

// Class 0 is the wide map, 2 the detailed one.
struct TMapScale {
  int MapClass = 0;
  int Zoom = 0;
  bool operator==(const TMapScale&) const = default;
};

// 20,000,000 / zoom (class 0), 5,000,000 / zoom (1), 1,000,000 / zoom (2); nullopt for
// another class or a zoom below 1.
std::optional<int> ScaleDenominator(int mapClass, int zoom);
// Above 50,000: class 0; 10,001 ... 50,000: class 1; up to 10,000: class 2.  A
// denominator below 1 is taken as 1.
TMapScale ScaleFromDenominator(int denominator);

inline constexpr int kScaleListSize = 10;
inline constexpr int kNoScale = -1;
// Normalises the "MappleDefScale" list in place and returns the number of used
// entries, which then stand sorted at the front (the rest are kNoScale).
int NormaliseScaleList(std::array<int, kScaleListSize>& list);

// Zoom step by `delta` (+50 or -50), passing to the neighbouring class at its edges.
TMapScale ZoomStep(TMapScale from, int delta);

// The next entry of a normalised list (its first `count` entries) larger ("K") or smaller
// ("J") than `denominator`; nullopt when there is none.
std::optional<int> NextLargerScale(const std::array<int, kScaleListSize>& list, int count, int denominator);
std::optional<int> NextSmallerScale(const std::array<int, kScaleListSize>& list, int count, int denominator);

// The distance in metres the car may move from the last recentred position before the
// map is recentred, for a map window of width x height pixels; nullopt for an unknown
// class or a zoom below 1.
std::optional<int> RecentreThreshold(TMapScale scale, int width, int height);

// The direction icon 1 ... 16 for a heading in degrees (0 north, clockwise).
int IconNumber(double direction);

// Degrees as the map program's coordinate, 1/1000 arc-second, truncated toward zero
// (saturating at the 32-bit range; 0 for a value that is not a number).
int32_t MapCoordinate(double degrees);

// Great-circle distance in metres between two positions in degrees on a sphere of
// 6,370,000 m, truncated; -1 when the arithmetic fails.
int64_t DistanceMetres(double lat1, double lon1, double lat2, double lon2);

}  // namespace sorrel::maplink
