#include "alarm/core/Motion.h"

#include "alarm/core/Numbers.h"

#include <algorithm>

namespace sorrel::alarm {

TMotion::TMotion(base::TClock& clock) : clock_(clock), previousTick_(clock.TickCount()) {}

TMotion::TResult TMotion::Update(int32_t latitude, int32_t longitude) {
  TResult r;
  if (latitude >= 1 && longitude >= 1) {
    const int64_t now = clock_.TickCount();
    const int32_t d =
        DistanceAndBearing(previous_.Latitude, previous_.Longitude, latitude, longitude).Distance;
    const int64_t t = now - previousTick_;
    // Two samples in the same millisecond, or a distance that could not be computed,
    // count as a jump: no speed.
    int32_t speed = t > 0 && d >= 0 ? SaturateToInt32(double(d) / double(t) * 3600) : 0;
    if (speed > 300) speed = 0;
    previous_ = {latitude, longitude};
    previousTick_ = now;

    std::rotate(speeds_.begin(), speeds_.begin() + 1, speeds_.end());
    speeds_.back() = speed;
    int64_t sum = 0;
    for (int32_t s : speeds_) sum += s;
    r.Speed = int32_t(sum / int64_t(speeds_.size()));

    const TPoint& newest = track_.back();
    if (DistanceAndBearing(newest.Latitude, newest.Longitude, latitude, longitude).Distance > 5) {
      std::rotate(track_.begin(), track_.begin() + 1, track_.end());
      track_.back() = {latitude, longitude};
    }
  }
  const int32_t bearing = DistanceAndBearing(track_.front().Latitude, track_.front().Longitude,
                                             track_.back().Latitude, track_.back().Longitude)
                              .Bearing;
  if (bearing != -1) lastDirection_ = bearing;
  r.Direction = lastDirection_;
  return r;
}

}  // namespace sorrel::alarm
