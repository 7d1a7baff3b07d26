#include "alarm/core/TNLink.h"

#include "alarm/core/Numbers.h"

namespace sorrel::alarm {

bool TTNLinkSentence::Valid() const {
  return Latitude >= 20 && Latitude <= 50 && Longitude >= 120 && Longitude <= 160 && Velocity > -1 &&
         Direction > -1;
}

TTNLinkSentence ParseTNLinkSentence(std::string_view data) {
  TTNLinkSentence s;
  data = data.substr(0, data.find('\0'));
  if (!data.starts_with(kTNLinkPrefix)) return s;
  data.remove_prefix(kTNLinkPrefix.size());
  bool seen[4] = {};
  for (;;) {
    const size_t comma = data.find(',');
    const std::string_view field = data.substr(0, comma);
    const struct {
      std::string_view Key;
      double& Value;
    } keys[] = {{"ido=", s.Latitude}, {"kei=", s.Longitude}, {"dir=", s.Direction}, {"vel=", s.Velocity}};
    for (int k = 0; k < 4; ++k) {
      if (!seen[k] && field.starts_with(keys[k].Key)) {
        seen[k] = true;
        keys[k].Value = ParseDecimal(field.substr(keys[k].Key.size())).value_or(kTNLinkMissing);
      }
    }
    if (comma == std::string_view::npos) break;
    data.remove_prefix(comma + 1);
  }
  return s;
}

}  // namespace sorrel::alarm
