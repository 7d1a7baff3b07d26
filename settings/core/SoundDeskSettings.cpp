#include "settings/core/SoundDeskSettings.h"

#include <algorithm>

namespace sorrel::settings {

std::string PresetBandKey(int n, int m) { return "AEQ[" + std::to_string(n) + "," + std::to_string(m) + "]"; }

void SoundDeskKeys(base::TKeyList& keys, TSoundDeskSettings& v, TSoundDeskHost& host) {
  keys.Section(kSoundDeskSection);
  keys.Int("MainLevel", v.MainLevel);
  if (keys.Reading()) {
    v.MainLevel = std::clamp(v.MainLevel, 0, 100);
    host.StartFadeIn();
  }
  keys.Int("Balance", v.Balance);
  if (keys.Reading()) host.SetPlayerBalance(v.Balance);
  keys.Int("PreLevel", v.PreLevel);
  for (int b = 0; b < kBands; ++b) {
    keys.Int("EQ" + std::to_string(b), v.EQ[b]);
    if (keys.Reading()) host.SetPlayerBand(b, v.EQ[b]);
  }
  for (int n = 0; n < kPresets; ++n) {
    TEqPreset& p = v.Presets[n];
    keys.Str(base::IndexedKey("AEQName[", n), p.AEQName);
    keys.Int(base::IndexedKey("AVolume[", n), p.AVolume);
    keys.Int(base::IndexedKey("ABalance[", n), p.ABalance);
    keys.Int(base::IndexedKey("APreLevel[", n), p.APreLevel);
    for (int m = 0; m < kBands; ++m) keys.Int(PresetBandKey(n, m), p.AEQ[m]);
  }
}

}  // namespace sorrel::settings
