// The map link's section of the settings file ("MappleLink").
#pragma once

#include "base/KeyList.h"

#include <array>

namespace sorrel::maplink {

inline constexpr const char* kMappleLinkSection = "MappleLink";

struct TMappleLinkSettings {
  bool UseMappleLink = false;
  int MapplePosLeft = 0, MapplePosTop = 0, MapplePosRight = 480, MapplePosBottom = 480;
  int MappleZoom = 200;
  int MappleClass = -1;
  std::array<int, 10> MappleDefScale{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  bool operator==(const TMappleLinkSettings&) const = default;
};

// Takes the values once the section has been read.  The default does nothing.
class TMappleLinkHost {
 public:
  virtual ~TMappleLinkHost() = default;
  virtual void ApplyMappleLink(const TMappleLinkSettings&) {}
};

void MappleLinkKeys(base::TKeyList& keys, TMappleLinkSettings& v, TMappleLinkHost& host);

}  // namespace sorrel::maplink
