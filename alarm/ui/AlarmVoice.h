// The alarm's voice: PlaySoundA on a wave device of its own (role "voice"), beside the
// music's.  Under the wav backends the voice is recorded in FILE.voice.wav.
#pragma once

#include "alarm/core/AlarmPorts.h"
#include "platform/audio/VoicePlayer.h"

namespace sorrel::alarm {

class TAlarmVoice final : public TVoicePlayerIntf {
 public:
  explicit TAlarmVoice(base::TClock& clock = base::SystemClock()) : player_("voice", clock) {}
  void PlaySync(const std::string& path) override { player_.PlaySync(path); }
  void PlayAsync(const std::string& path) override { player_.PlayAsync(path); }
  audio::VoicePlayer& Player() { return player_; }

 private:
  audio::VoicePlayer player_;
};

}  // namespace sorrel::alarm
