#include "engine/SoundOut.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace sorrel::engine {

namespace audio = sorrel::audio;

TSoundOut::TSoundOut(base::TClock& clock) : clock_(clock) {
  ReadDeviceVolume();
  thread_ = std::make_unique<TMPLoopThread>(static_cast<TMPMessageOwner*>(this), clock_);
  thread_->OnException = [this](TMPLoopThread* t, const std::exception_ptr& e, bool& handled) {
    if (OnException) OnException(t, e, handled);
  };
  thread_->SetName("mp3-output");
  thread_->Resume();
}

TSoundOut::~TSoundOut() {
  try {
    Reset();
    Close();
  } catch (...) {}
  thread_->Quit();  // its handlers use thread_ itself
  thread_.reset();
}

void TSoundOut::ReadDeviceVolume() {
  volume_ = 100;
  try {
    audio::PcmFormat f{unsigned(channels_), unsigned(rate_), unsigned(bits_)};
    std::unique_ptr<audio::WaveDevice> dev;
    uint32_t v = 0;
    if (audio::OpenWaveDevice(dev, device_, f) != audio::kWaveOk) {
      if (audio::WaveDeviceCount() == 0) return;
      v = audio::GetDeviceVolume();  // "device 0": the volume is one per process
    } else {
      if (dev->GetVolume(v) != audio::kWaveOk) v = 0xFFFFFFFFu;
      dev->Close();
    }
    uint32_t m = std::max(v & 0xFFFF, v >> 16);
    volume_ = int((m * 100 + 32767) / 65535);
  } catch (...) {
    volume_ = 100;
  }
}

void TSoundOut::SetSampleRate(int hz) {
  if (hz > 0) rate_ = hz;
}
void TSoundOut::SetBits(int bits) {
  if (bits == 8 || bits == 16) bits_ = bits;
}
void TSoundOut::SetChannels(int channels) {
  if (channels == 1 || channels == 2) channels_ = channels;
}

void TSoundOut::SetVolume(int percent) {
  if (percent < 0 || percent > 100) return;
  volume_ = percent;
  if (opened_) ApplyVolume();
}

void TSoundOut::SetBalance(int balance) {
  if (balance < -100 || balance > 100) return;
  balance_ = balance;
  if (opened_) ApplyVolume();
}

uint32_t TSoundOut::DeviceValue(int volume, int balance) {
  uint32_t left = uint32_t((int64_t(volume) * 65535 + 50) / 100);
  uint32_t right = left;
  if (balance < 0) {
    right = uint32_t((int64_t(balance + 100) * right + 50) / 100);
  } else if (balance > 0) {
    left = uint32_t((int64_t(left) * (100 - balance) + 50) / 100);
  }
  return (left & 0xFFFF) | (right << 16);
}

void TSoundOut::ApplyVolume() {
  if (!wave_) return;
  unsigned r = wave_->SetVolume(DeviceValue(volume_, balance_));
  if (r != audio::kWaveOk && r != audio::kWaveNotSupported) Fail(r, "TSoundOut.SetVolumeToWaveDevice");
}

void TSoundOut::Fail(unsigned code, const char* operation) {
  std::string text;
  if (!audio::WaveErrorText(code, text)) text = "unknown wave out API error.";
  if (text.size() > 128 && text.find('(') == std::string::npos) text.resize(128);
  throw EMPError(MPErrorText(text, operation));
}

void TSoundOut::SetNotifyInterval(uint32_t ms) {
  interval_ = ms;
  if (opened_ && queued_ > 0) thread_->SetTimeOut(ms);
}

void TSoundOut::Open() {
  if (opened_) return;
  opened_ = true;
  lastBytes_ = 0;
  try {
    int64_t bps = int64_t(channels_) * (bits_ / 8) * rate_;
    bufferSize_ = int((bps * 3200 / 1000 / 4 + 3) / 4 * 4);
    audio::PcmFormat f{unsigned(channels_), unsigned(rate_), unsigned(bits_)};
    TMPLoopThread* t = thread_.get();
    unsigned r = audio::OpenWaveDevice(
        wave_, device_, f,
        [t](audio::WaveHeader* h) { t->PostMessage(MM_WOM_DONE, reinterpret_cast<uintptr_t>(h), 0); },
        clock_);
    if (r != audio::kWaveOk) Fail(r, "TSoundOut.Open:WaveOutOpen");
    ApplyVolume();
    for (int i = 0; i < kBuffers; ++i) {
      buffers_[i] = std::make_unique<uint8_t[]>(size_t(bufferSize_));
      headers_[i] = {};
      headers_[i].data = buffers_[i].get();
      headers_[i].bufferLength = uint32_t(bufferSize_);
      r = wave_->PrepareHeader(headers_[i]);
      if (r != audio::kWaveOk) Fail(r, "TSoundOut.Open:WaveOutPreperHeader");
    }
    thread_->SetTimeOut(interval_.load());
    current_ = 0;
    filled_ = 0;
    queued_ = 0;
    {
      // The output thread reads it under this lock.
      std::lock_guard lock(notifyLock_);
      lastTick_ = clock_.NowMicros();
    }
    idle_.SetEvent();
  } catch (...) {
    try {
      Close();
    } catch (...) {}
    throw;
  }
}

bool TSoundOut::HasSpace() {
  std::lock_guard lock(bufferLock_);
  return opened_ && queued_ < kBuffers && filled_ < bufferSize_;
}

int TSoundOut::Write(const void* data, int count) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  int taken = 0;
  while (count > 0 && HasSpace()) {
    std::lock_guard lock(bufferLock_);
    int n = std::min(bufferSize_ - filled_, count);
    std::memcpy(buffers_[current_].get() + filled_, p, size_t(n));
    filled_ += n;
    p += n;
    count -= n;
    taken += n;
    if (filled_ >= bufferSize_) Submit();
  }
  return taken;
}

void TSoundOut::Submit() {
  // Buffer lock held.
  ++queued_;
  idle_.ResetEvent();
  audio::WaveHeader& h = headers_[current_];
  // Whole sample frames only.
  int align = channels_ * bits_ / 8;
  h.bufferLength = uint32_t(filled_ / align * align);
  filled_ = 0;
  unsigned r = wave_->Write(h);
  if (r != audio::kWaveOk) {
    // The device will never hand this buffer back: count it out again, or WaitIdle
    // would wait for ever.
    if (--queued_ < 1) idle_.SetEvent();
    Fail(r, "TSoundOut.WaveWrite");
  }
  current_ = (current_ + 1) % kBuffers;
}

int TSoundOut::FreePercent() {
  if (!opened_) return 0;
  std::lock_guard lock(bufferLock_);
  int64_t q = queued_.load();
  int64_t free = (3 - q) * bufferSize_ + (bufferSize_ - filled_);
  if (free < 0) free = 0;
  return int(free * 100 / (int64_t(kBuffers) * bufferSize_));
}

void TSoundOut::Flush() {
  {
    std::lock_guard lock(bufferLock_);
    if (opened_ && filled_ >= 1 && queued_ < kBuffers) Submit();
  }
  thread_->Sync();
}

void TSoundOut::WaitIdle() {
  while (!WaitIdleFor(100)) {}
}

bool TSoundOut::WaitIdleFor(uint32_t ms) {
  if (thread_->Ended()) return true;
  return idle_.WaitFor(ms) == TMPEvent::kSignaled || thread_->Ended();
}

void TSoundOut::Pause() {
  if (!opened_) return;
  unsigned r = wave_->Pause();
  if (r != audio::kWaveOk) Fail(r, "TSoundOut.Pause");
  paused_ = true;
}

void TSoundOut::Unpause() {
  if (!opened_) return;
  unsigned r = wave_->Restart();
  if (r != audio::kWaveOk) Fail(r, "TSoundOut.Unpause");
  paused_ = false;
}

void TSoundOut::Reset() {
  if (!opened_) return;
  {
    std::lock_guard lock(bufferLock_);
    filled_ = 0;
  }
  wave_->Reset();  // the device also leaves its paused state
  paused_ = false;
  lastBytes_ = 0;
}

int64_t TSoundOut::GetDoneBytes() {
  if (!opened_) return 0;
  uint64_t pos = 0;
  unsigned r = wave_->GetPosition(pos);
  if (r != audio::kWaveOk) Fail(r, "TSoundOut.GetDoneBytes");
  // A reset the device made on its own (or ours) restarts its count.
  int64_t d = pos >= lastBytes_ ? int64_t(pos - lastBytes_) : int64_t(pos);
  lastBytes_ = pos;
  return d;
}

void TSoundOut::SetSpaceEvent(TMPEvent* event) {
  {
    std::lock_guard lock(notifyLock_);
    spaceEvent_ = event;
  }
  SignalSpace();
}

void TSoundOut::SignalSpace() {
  std::lock_guard lock(notifyLock_);
  if (spaceEvent_ && HasSpace()) {
    spaceEvent_->SetEvent();
    spaceEvent_ = nullptr;
  }
}

void TSoundOut::SetPositionCallback(std::function<void()> callback) {
  std::lock_guard lock(notifyLock_);
  onPosition_ = std::move(callback);
}

void TSoundOut::CheckPosition() {
  uint32_t iv = interval_.load();
  std::function<void()> cb;
  {
    std::lock_guard lock(notifyLock_);
    if (!onPosition_ || iv == kNever) return;
    // Microseconds: "more than the interval" must hold after a wait of exactly the
    // interval plus the least bit, which a millisecond count would round away.
    const int64_t now = clock_.NowMicros();
    if (now - lastTick_ <= int64_t(iv) * 1000) return;
    lastTick_ = now;
    cb = onPosition_;
  }
  cb();
}

void TSoundOut::Dispatch(TMPMessage& msg) {
  switch (msg.Msg) {
    case MM_WOM_DONE:
      if (--queued_ < 1) {
        idle_.SetEvent();
        thread_->SetTimeOut(TMPEvent::kInfinite);
      } else {
        thread_->SetTimeOut(interval_.load());
      }
      SignalSpace();
      CheckPosition();
      break;
    case MPM_TIMEOUT:
      CheckPosition();
      break;
    default:
      break;
  }
}

void TSoundOut::Close() {
  if (!opened_) return;
  SetSpaceEvent(nullptr);
  thread_->SetTimeOut(TMPEvent::kInfinite);
  if (wave_) {
    try {
      // A paused device would never hand its buffers back.
      if (paused_) Unpause();
      Flush();
    } catch (...) {
      // A device that failed cannot take the last buffer; closing goes on.
    }
    WaitIdle();
    thread_->Sync();  // every buffer-done message handled before the buffers go
    for (int i = 0; i < kBuffers; ++i) {
      if (!buffers_[i]) continue;
      for (int tries = 0; wave_->UnprepareHeader(headers_[i]) == audio::kWaveStillPlaying && tries < 100;
           ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    wave_->Close();
    wave_.reset();
  }
  for (auto& b : buffers_) b.reset();
  queued_ = 0;
  filled_ = 0;
  paused_ = false;
  opened_ = false;
}

}  // namespace sorrel::engine
