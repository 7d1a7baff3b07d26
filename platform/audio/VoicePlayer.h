// PlaySoundA for the program's own WAV files: a sound played on a wave device of its
// own beside the music's, either to its end (the caller waits) or in the background.
// One sound at a time: a new one stops the one still playing.  A file that is missing
// or cannot be played plays nothing, quietly; LastError says why, for a log.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "base/Clock.h"
#include "platform/audio/WavFile.h"
#include "platform/audio/WaveOut.h"

namespace sorrel::audio {

class VoicePlayer {
 public:
  // `role` names the device (see OpenWaveDevice); `clock` paces the null and wav-rt
  // backends.
  explicit VoicePlayer(std::string role = "voice", base::TClock& clock = base::SystemClock());
  ~VoicePlayer();  // stops the sound
  VoicePlayer(const VoicePlayer&) = delete;
  VoicePlayer& operator=(const VoicePlayer&) = delete;

  // Plays the file to its end before returning.  False when nothing was played.
  bool PlaySync(const std::string& path);
  // Starts the file and returns at once.  False when nothing was started.
  bool PlayAsync(const std::string& path);
  // Stops the sound playing, if any.
  void Stop();
  // Waits until the sound playing has ended (tests, and before a device is needed
  // elsewhere).
  void WaitForEnd();
  bool Playing();

  const std::string& LastError() const { return error_; }

 private:
  bool Start(const std::string& path);
  void Release();  // closes the device of the sound that ended or was stopped

  const std::string role_;
  base::TClock& clock_;
  std::string error_;
  PcmSound sound_;
  WaveHeader header_;
  std::unique_ptr<WaveDevice> device_;
  std::mutex m_;
  std::condition_variable ended_;
  bool done_ = true;  // the device has given the buffer back
};

}  // namespace sorrel::audio
