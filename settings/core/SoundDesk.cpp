#include "settings/core/SoundDesk.h"

#include <algorithm>
#include <cstdio>

namespace sorrel::settings {
namespace {

constexpr const char* kBandCaptions[kBands] = {" 60", "170", "310", "600", " 1K",
                                               " 3K", " 6K", "12K", "14K", "16K"};

}  // namespace

TDeskBarRange DeskBarRange(TDeskBar bar) {
  switch (bar) {
    case TDeskBar::tb_PreLevel:
      return {-30, 70, 5, 10, 10, true};
    case TDeskBar::tb_MasterLevel:
      return {0, 100, 5, 10, 10, true};
    case TDeskBar::tb_Balance:
      return {-100, 100, 1, 10, 10, false};
    default:
      return {-30, 30, 1, 5, 5, true};
  }
}

const char* BandCaption(int band) { return band >= 0 && band < kBands ? kBandCaptions[band] : ""; }

std::string LevelText(int level) {
  char text[16];
  std::snprintf(text, sizeof text, "%3d", level);
  return text;
}

TEqLevels PresetLevels(const TEqPreset& preset) {
  return {preset.AVolume, preset.ABalance, preset.APreLevel, preset.AEQ};
}

void StorePresetLevels(TEqPreset& preset, const TEqLevels& levels) {
  preset.AVolume = levels.Volume;
  preset.ABalance = levels.Balance;
  preset.APreLevel = levels.PreLevel;
  preset.AEQ = levels.Bands;
}

TSoundDesk::TSoundDesk(engine::TMP3PlayerIntf& player, TSoundDeskSettings& settings)
    : player_(player), settings_(settings) {
  Move(TDeskBar::tb_MasterLevel, 100 - player_.Volume());
  Move(TDeskBar::tb_Balance, player_.VolBalance());
  for (int b = 0; b < PlayerBands(); ++b) Move(EqBar(b), settings_.PreLevel - player_.EqualizerValue(b));
  Move(TDeskBar::tb_PreLevel, -settings_.PreLevel);
}

int TSoundDesk::PlayerBands() const { return std::clamp(player_.EqualizerCount(), 0, kBands); }

bool TSoundDesk::Move(TDeskBar bar, int position) {
  const TDeskBarRange r = DeskBarRange(bar);
  position = std::clamp(position, r.Min, r.Max);
  int& p = positions_[Index(bar)];
  if (p == position) return false;
  p = position;
  return true;
}

void TSoundDesk::SetPosition(TDeskBar bar, int position) {
  if (Move(bar, position)) Changed(bar);
}

void TSoundDesk::Changed(TDeskBar bar) {
  switch (bar) {
    case TDeskBar::tb_PreLevel:
      PreLevelChange();
      break;
    case TDeskBar::tb_MasterLevel:
      MasterLevelChange();
      break;
    case TDeskBar::tb_Balance:
      BalanceChange();
      break;
    default:
      EqChange(BandOf(bar));
      break;
  }
  Notify(bar);
}

void TSoundDesk::EqChange(int band) {
  player_.SetEqualizerValue(band, settings_.PreLevel + Level(EqBar(band)));
}

void TSoundDesk::PreLevelChange() {
  settings_.PreLevel = Level(TDeskBar::tb_PreLevel);
  for (int b = 0; b < PlayerBands(); ++b)
    player_.SetEqualizerValue(b, settings_.PreLevel - Position(EqBar(b)));
}

void TSoundDesk::MasterLevelChange() { player_.SetVolume(Level(TDeskBar::tb_MasterLevel)); }

void TSoundDesk::BalanceChange() { player_.SetVolBalance(Level(TDeskBar::tb_Balance)); }

int TSoundDesk::Level(TDeskBar bar) const {
  const int p = Position(bar);
  switch (bar) {
    case TDeskBar::tb_MasterLevel:
      return 100 - p;
    case TDeskBar::tb_Balance:
      return p;
    default:  // the bands and the pre-amplifier: the top is the highest level
      return -p;
  }
}

void TSoundDesk::Load() {
  SetPosition(TDeskBar::tb_MasterLevel, 100 - player_.Volume());
  SetPosition(TDeskBar::tb_Balance, player_.VolBalance());
  for (int b = 0; b < PlayerBands(); ++b) {
    Move(EqBar(b), settings_.PreLevel - player_.EqualizerValue(b));
    Changed(EqBar(b));
  }
  Move(TDeskBar::tb_PreLevel, -settings_.PreLevel);
  Changed(TDeskBar::tb_PreLevel);
}

void TSoundDesk::Flat() {
  settings_.PreLevel = 0;
  SetPosition(TDeskBar::tb_PreLevel, 0);
  SetPosition(TDeskBar::tb_Balance, 0);
  for (int b = 0; b < kBands; ++b) {
    player_.SetEqualizerValue(b, 0);
    SetPosition(EqBar(b), settings_.PreLevel - 0);
  }
}

TEqLevels TSoundDesk::Levels() const {
  TEqLevels l;
  l.Volume = player_.Volume();
  l.Balance = player_.VolBalance();
  l.PreLevel = settings_.PreLevel;
  for (int b = 0; b < PlayerBands(); ++b) l.Bands[b] = player_.EqualizerValue(b);
  return l;
}

void TSoundDesk::SetLevels(const TEqLevels& levels) {
  player_.SetVolume(levels.Volume);
  player_.SetVolBalance(levels.Balance);
  settings_.PreLevel = levels.PreLevel;
  for (int b = 0; b < PlayerBands(); ++b) player_.SetEqualizerValue(b, levels.Bands[b]);
  // The bars follow what the player took (it ignores values out of its range).
  Load();
}

int TSoundDesk::Listen(TListener listener) {
  const int id = nextListener_++;
  listeners_.emplace_back(id, std::move(listener));
  return id;
}

void TSoundDesk::Unlisten(int id) {
  std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void TSoundDesk::Notify(TDeskBar bar) {
  // A copy: a listener may listen or unlisten meanwhile.
  const auto listeners = listeners_;
  for (const auto& l : listeners) l.second(bar);
}

void TSoundDesk::StartFadeIn() {
  Move(TDeskBar::tb_MasterLevel, DeskBarRange(TDeskBar::tb_MasterLevel).Max);
  Changed(TDeskBar::tb_MasterLevel);
  fadeStep_ = kFadeStart;
}

void TSoundDesk::FadeTick() {
  if (fadeStep_ >= 1 && fadeStep_ <= 98) {
    // The bar cannot go beyond 100: a higher "MainLevel" would never be reached.
    const int mainLevel = std::clamp(settings_.MainLevel, 0, 100);
    int level = MasterLevel();
    if (level < mainLevel) {
      level = std::min(level + kFadeLevelStep, mainLevel);
      SetMasterLevel(level);
    }
    if (level >= mainLevel) fadeStep_ = kFadeDone;
    if (OnFadeStep) OnFadeStep();
  }
  if (fadeStep_ < 99) ++fadeStep_;
}

}  // namespace sorrel::settings
