// The sound desk's section of the settings file ("Player"): the live levels and the ten
// equaliser presets.
#pragma once

#include "base/KeyList.h"

#include <array>
#include <string>

namespace sorrel::settings {

inline constexpr const char* kSoundDeskSection = "Player";
inline constexpr int kBands = 10;
inline constexpr int kPresets = 10;

struct TEqPreset {
  std::string AEQName;
  int AVolume = 50;
  int ABalance = 0;
  int APreLevel = 0;
  std::array<int, kBands> AEQ{};
  bool operator==(const TEqPreset&) const = default;
};

struct TSoundDeskSettings {
  int MainLevel = 50;  // 0..100
  int Balance = 0;
  int PreLevel = 0;
  std::array<int, kBands> EQ{};
  std::array<TEqPreset, kPresets> Presets{};
  bool operator==(const TSoundDeskSettings&) const = default;
};

// What reading the levels does to the player.  The defaults do nothing.
class TSoundDeskHost {
 public:
  virtual ~TSoundDeskHost() = default;
  // "MainLevel" read: the player starts silent and the fade-in (step -2) raises it.
  virtual void StartFadeIn() {}
  virtual void SetPlayerBalance(int /*balance*/) {}
  virtual void SetPlayerBand(int /*band*/, int /*value*/) {}
};

// "AEQ[3,7]": band 7 of preset 3.
std::string PresetBandKey(int n, int m);

void SoundDeskKeys(base::TKeyList& keys, TSoundDeskSettings& v, TSoundDeskHost& host);

}  // namespace sorrel::settings
