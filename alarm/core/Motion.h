// Speed and heading from successive screen readings, which carry a position only.
#pragma once

#include "alarm/core/GpsUtil.h"
#include "base/Clock.h"

#include <array>
#include <cstdint>

namespace sorrel::alarm {

class TMotion {
 public:
  // The history starts at zero, with the clock's present as the time of the last sample:
  // the first headings after start are taken from the zero point until five moves have
  // been recorded.
  explicit TMotion(base::TClock& clock);

  struct TResult {
    int32_t Speed = 0;      // km/h, the mean of the last six samples (0 without a position)
    int32_t Direction = 0;  // the bearing over the last five track points
  };
  // One reading.  A valid one (latitude and longitude at least 1) adds a speed sample,
  // and a track point when it lies more than 5 m from the newest one.
  TResult Update(int32_t latitude, int32_t longitude);

 private:
  struct TPoint {
    int32_t Latitude = 0, Longitude = 0;
  };
  base::TClock& clock_;
  TPoint previous_;
  int64_t previousTick_;
  std::array<int32_t, 6> speeds_{};
  std::array<TPoint, 5> track_{};  // oldest first
  int32_t lastDirection_ = 0;
};

}  // namespace sorrel::alarm
