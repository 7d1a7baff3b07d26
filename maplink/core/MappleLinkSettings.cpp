#include "maplink/core/MappleLinkSettings.h"

namespace sorrel::maplink {

void MappleLinkKeys(base::TKeyList& keys, TMappleLinkSettings& v, TMappleLinkHost& host) {
  keys.Section(kMappleLinkSection);
  keys.Bool("UseMappleLink", v.UseMappleLink);
  keys.Int("MapplePosLeft", v.MapplePosLeft);
  keys.Int("MapplePosTop", v.MapplePosTop);
  keys.Int("MapplePosRight", v.MapplePosRight);
  keys.Int("MapplePosBottom", v.MapplePosBottom);
  keys.Int("MappleZoom", v.MappleZoom);
  keys.Int("MappleClass", v.MappleClass);
  for (int n = 0; n < int(v.MappleDefScale.size()); ++n)
    keys.Int(base::IndexedKey("MappleDefScale[", n), v.MappleDefScale[n]);
  if (keys.Reading()) host.ApplyMappleLink(v);
}

}  // namespace sorrel::maplink
