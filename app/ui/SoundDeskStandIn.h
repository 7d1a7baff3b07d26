// Stands in for the sound desk until the settings window's desk holds the levels: the
// pre-amplifier and master bars as plain positions, their change handlers applying the
// levels to the player at once.  The band gains are what the player held after the
// settings were read, less "PreLevel".
#pragma once

#include "app/core/Presets.h"
#include "engine/MP3PlayerIntf.h"

#include <algorithm>
#include <array>

namespace sorrel::app {

class TWindowSoundDesk : public TSoundDesk {
 public:
  TWindowSoundDesk(engine::TMP3PlayerIntf& player, int& preLevel) : player_(player), preLevel_(preLevel) {
    master_ = 100 - player_.Volume();
    pre_ = -preLevel_;
    for (int i = 0; i < 10; ++i) gains_[i] = player_.EqualizerValue(i) - preLevel_;
  }

  int Position(TDeskBar bar) const override { return bar == TDeskBar::tb_PreLevel ? pre_ : master_; }
  int LineSize(TDeskBar) const override { return 5; }
  int Min(TDeskBar bar) const override { return bar == TDeskBar::tb_PreLevel ? -30 : 0; }
  int Max(TDeskBar bar) const override { return bar == TDeskBar::tb_PreLevel ? 70 : 100; }
  void SetPosition(TDeskBar bar, int position) override {
    position = std::clamp(position, Min(bar), Max(bar));
    if (position == Position(bar)) return;
    if (bar == TDeskBar::tb_PreLevel) {
      pre_ = position;
      preLevel_ = -pre_;
      for (int i = 0; i < 10; ++i) player_.SetEqualizerValue(i, preLevel_ + gains_[i]);
    } else {
      master_ = position;
      player_.SetVolume(100 - master_);
    }
  }
  TEqLevels Levels() const override {
    TEqLevels l;
    l.Volume = 100 - master_;
    l.Balance = player_.VolBalance();
    l.PreLevel = preLevel_;
    for (int i = 0; i < 10; ++i) l.Bands[i] = player_.EqualizerValue(i);
    return l;
  }
  void SetLevels(const TEqLevels& l) override {
    master_ = std::clamp(100 - l.Volume, 0, 100);
    player_.SetVolume(100 - master_);
    player_.SetVolBalance(l.Balance);
    preLevel_ = l.PreLevel;
    pre_ = -preLevel_;
    for (int i = 0; i < 10; ++i) {
      gains_[i] = l.Bands[i] - preLevel_;
      player_.SetEqualizerValue(i, l.Bands[i]);
    }
  }

 private:
  engine::TMP3PlayerIntf& player_;
  int& preLevel_;
  int master_ = 100;
  int pre_ = 0;
  std::array<int, 10> gains_{};
};

}  // namespace sorrel::app
