#include "maplink/core/MappleMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sorrel::maplink {

namespace {

constexpr int kClassBase[3] = {20000000, 5000000, 1000000};
constexpr int kThresholdFactor[3] = {5120, 1280, 256};
constexpr int kDefaultScales[3] = {5000, 25000, 100000};
constexpr int kSmallestScale = 1000;
constexpr int kLargestScale = 400000;

bool KnownClass(int mapClass) { return mapClass >= 0 && mapClass <= 2; }

}  // namespace

std::optional<int> ScaleDenominator(int mapClass, int zoom) {
  if (!KnownClass(mapClass) || zoom < 1) return std::nullopt;
  return kClassBase[mapClass] / zoom;
}

TMapScale ScaleFromDenominator(int denominator) {
  const int n = std::max(denominator, 1);
  if (n > 50000) return {0, kClassBase[0] / n};
  if (n > 10000) return {1, kClassBase[1] / n};
  return {2, kClassBase[2] / n};
}

int NormaliseScaleList(std::array<int, kScaleListSize>& list) {
  for (int i = 0; i < 3; ++i)
    if (list[i] <= 0) list[i] = kDefaultScales[i];
  std::array<int, kScaleListSize> used{};
  int count = 0;
  for (int v : list) {
    if (v <= 0) continue;
    v = std::clamp(v, kSmallestScale, kLargestScale);
    // Only a scale the map program can show: one it reaches with an integer zoom.
    const TMapScale s = ScaleFromDenominator(v);
    used[count++] = *ScaleDenominator(s.MapClass, s.Zoom);
  }
  std::sort(used.begin(), used.begin() + count);
  count = int(std::unique(used.begin(), used.begin() + count) - used.begin());
  list.fill(kNoScale);
  std::copy(used.begin(), used.begin() + count, list.begin());
  return count;
}

TMapScale ZoomStep(TMapScale from, int delta) {
  TMapScale s{from.MapClass, from.Zoom + delta};
  if (s.MapClass == 0 && s.Zoom >= 400) {
    s = {1, (s.Zoom - 400) / 20 * 5 + 100};
  } else if (s.MapClass == 1 && s.Zoom < 100) {
    s = {0, s.Zoom + 300};
  } else if (s.MapClass == 1 && s.Zoom > 500) {
    s = {2, (s.Zoom - 500) / 20 * 5 + 100};
  } else if (s.MapClass == 2 && s.Zoom < 100) {
    s = {1, s.Zoom + 400};
  }
  return s;
}

std::optional<int> NextLargerScale(const std::array<int, kScaleListSize>& list, int count, int denominator) {
  count = std::clamp(count, 0, kScaleListSize);
  for (int i = 0; i < count; ++i)
    if (list[i] > denominator) return list[i];
  return std::nullopt;
}

std::optional<int> NextSmallerScale(const std::array<int, kScaleListSize>& list, int count, int denominator) {
  count = std::clamp(count, 0, kScaleListSize);
  for (int i = count - 1; i >= 0; --i)
    if (list[i] < denominator) return list[i];
  return std::nullopt;
}

std::optional<int> RecentreThreshold(TMapScale scale, int width, int height) {
  if (!KnownClass(scale.MapClass) || scale.Zoom < 1) return std::nullopt;
  // The map area: the window less its frame, tool and status bars.
  const int64_t m = std::min<int64_t>(int64_t(width) - 67, int64_t(height) - 54);
  const int64_t t = m * kThresholdFactor[scale.MapClass] / scale.Zoom / 3;
  return int(std::clamp<int64_t>(t, INT32_MIN, INT32_MAX));
}

int IconNumber(double direction) {
  const double v = direction / 22.5 + 0.5;
  if (!(v > -1e6 && v < 1e6)) return 1;
  const int n = int(std::trunc(v)) + 1;
  return n >= 1 && n <= 16 ? n : 1;
}

int32_t MapCoordinate(double degrees) {
  const double v = std::trunc(degrees * 3600000.0);
  if (std::isnan(v)) return 0;
  if (v >= double(INT32_MAX)) return INT32_MAX;
  if (v <= double(INT32_MIN)) return INT32_MIN;
  return int32_t(v);
}

int64_t DistanceMetres(double lat1, double lon1, double lat2, double lon2) {
  constexpr double kRad = std::numbers::pi / 180.0;
  const double la1 = lat1 * kRad, la2 = lat2 * kRad, dl = (lon1 - lon2) * kRad;
  const double c = std::fabs(std::cos(dl)) * std::cos(la1) * std::cos(la2) + std::sin(la1) * std::sin(la2);
  const double d = std::acos(c) * 6370000.0;
  if (!std::isfinite(d) || d >= 9.0e18) return -1;
  return int64_t(d);
}

}  // namespace sorrel::maplink
