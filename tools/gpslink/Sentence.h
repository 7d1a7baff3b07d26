// A position fix as the position link sends it to the player: one TNLink sentence,
// "$tnlink_data,ido=LAT,kei=LON,dir=DEG,vel=KMH".
#pragma once

#include <optional>
#include <string>

namespace sorrel::tools {

struct TGpsFix {
  int mode = 0;            // 0, 1: no fix; 2: 2D; 3: 3D
  double latitude = 0;     // degrees, north positive
  double longitude = 0;    // degrees, east positive
  double track = 0;        // degrees from true north; NaN when not known
  double speedMetres = 0;  // metres per second; NaN when not known
};

// The sentence for a fix with a position, or nothing.  A direction that is not known
// is the last one known (`lastTrack`, 0 at first), a speed that is not known is 0.
std::optional<std::string> TNLinkSentence(const TGpsFix& fix, double& lastTrack);

}  // namespace sorrel::tools
