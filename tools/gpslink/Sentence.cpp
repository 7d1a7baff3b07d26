#include "tools/gpslink/Sentence.h"

#include <cmath>
#include <cstdio>

namespace sorrel::tools {

std::optional<std::string> TNLinkSentence(const TGpsFix& fix, double& lastTrack) {
  if (fix.mode < 2 || !std::isfinite(fix.latitude) || !std::isfinite(fix.longitude)) return std::nullopt;
  if (std::isfinite(fix.track) && fix.track >= 0) lastTrack = std::fmod(fix.track, 360.0);
  const double kmh = std::isfinite(fix.speedMetres) && fix.speedMetres > 0 ? fix.speedMetres * 3.6 : 0.0;
  char s[160];
  std::snprintf(s, sizeof s, "$tnlink_data,ido=%.6f,kei=%.6f,dir=%.1f,vel=%.1f", fix.latitude, fix.longitude,
                lastTrack, kmh);
  return std::string(s);
}

}  // namespace sorrel::tools
