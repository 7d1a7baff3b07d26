#include "platform/audio/VoicePlayer.h"

namespace sorrel::audio {

VoicePlayer::VoicePlayer(std::string role, base::TClock& clock) : role_(std::move(role)), clock_(clock) {}

VoicePlayer::~VoicePlayer() { Stop(); }

bool VoicePlayer::PlaySync(const std::string& path) {
  if (!Start(path)) return false;
  WaitForEnd();
  return true;
}

bool VoicePlayer::PlayAsync(const std::string& path) { return Start(path); }

bool VoicePlayer::Start(const std::string& path) {
  Stop();
  error_.clear();
  if (!ReadPcmWav(path, sound_, &error_)) return false;
  if (sound_.samples.empty()) return true;  // a silent file: played at once
  {
    std::lock_guard lock(m_);
    done_ = false;
  }
  const WaveResult r = OpenWaveDevice(
      device_, kWaveMapper, sound_.format,
      [this](WaveHeader*) {
        std::lock_guard lock(m_);
        done_ = true;
        ended_.notify_all();
      },
      clock_, role_);
  if (r == kWaveOk) {
    header_ = {};
    header_.data = sound_.samples.data();
    header_.bufferLength = uint32_t(sound_.samples.size());
    if (device_->PrepareHeader(header_) == kWaveOk && device_->Write(header_) == kWaveOk) return true;
  }
  WaveErrorText(r != kWaveOk ? r : kWaveError, error_);
  error_ = path + ": " + error_;
  {
    std::lock_guard lock(m_);
    done_ = true;
  }
  Release();
  return false;
}

void VoicePlayer::Stop() {
  if (device_) device_->Reset();  // gives the buffer back before it returns
  Release();
}

void VoicePlayer::WaitForEnd() {
  if (!device_) return;
  {
    std::unique_lock lock(m_);
    ended_.wait(lock, [this] { return done_; });
  }
  Release();
}

bool VoicePlayer::Playing() {
  std::lock_guard lock(m_);
  return device_ && !done_;
}

void VoicePlayer::Release() {
  if (!device_) return;
  device_->UnprepareHeader(header_);
  // The sound that was handed over finishes (a sound card's buffer drains) before the
  // device goes.
  device_->Close();
  device_.reset();
}

}  // namespace sorrel::audio
