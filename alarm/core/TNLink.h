// The position sentence of the position link tool, "$tnlink_data,ido=...,kei=...,
// dir=...,vel=..." (degrees, degrees, degrees clockwise from north, km/h).
#pragma once

#include <string_view>

namespace sorrel::alarm {

inline constexpr std::string_view kTNLinkPrefix = "$tnlink_data,";
inline constexpr double kTNLinkMissing = -99.9;  // a field absent or not a number

struct TTNLinkSentence {
  double Latitude = kTNLinkMissing;   // "ido="
  double Longitude = kTNLinkMissing;  // "kei="
  double Direction = kTNLinkMissing;  // "dir="
  double Velocity = kTNLinkMissing;   // "vel="
  // 20 <= latitude <= 50, 120 <= longitude <= 160, velocity > -1, direction > -1.
  bool Valid() const;
  bool operator==(const TTNLinkSentence&) const = default;
};

// The sentence in `data` (copy-data bytes; the text ends at the first NUL).  Fields are
// comma-separated key=value pairs after the prefix, in any order; the first of each key
// counts.  Without the prefix every field stays missing.
TTNLinkSentence ParseTNLinkSentence(std::string_view data);

}  // namespace sorrel::alarm
