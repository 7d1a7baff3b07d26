// PCM playback through the wave-device layer with four buffers of 0.8 s, played-byte
// counting and a periodic position callback.  Written to from the decode thread; its
// own output thread handles the device's buffer-done messages.  The position interval
// and a self-pacing device keep time by the clock it is given.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "base/Clock.h"
#include "engine/MPThreads.h"
#include "platform/audio/WaveOut.h"

namespace sorrel::engine {

inline constexpr uint32_t MM_WOM_DONE = 957;

class TSoundOut : private TMPMessageOwner {
 public:
  static constexpr int kBuffers = 4;
  static constexpr uint32_t kNever = 0xFFFFFFFFu;

  explicit TSoundOut(base::TClock& clock = base::SystemClock());
  ~TSoundOut() override;

  // Format, before Open; values out of range are ignored.
  void SetSampleRate(int hz);
  void SetBits(int bits);
  void SetChannels(int channels);
  int SampleRate() const { return rate_; }
  int Bits() const { return bits_; }
  int Channels() const { return channels_; }

  void SetVolume(int percent);   // 0..100
  void SetBalance(int balance);  // -100..100
  int Volume() const { return volume_; }
  int Balance() const { return balance_; }
  void SetDeviceNumber(int device) { device_ = device; }

  void Open();
  void Close();
  bool Opened() const { return opened_; }
  // Copies as much of data as fits; returns the bytes taken.
  int Write(const void* data, int count);
  bool HasSpace();
  int FreePercent();
  void Flush();
  void WaitIdle();
  // WaitIdle with a limit; true when idle.
  bool WaitIdleFor(uint32_t ms);
  void Pause();
  void Unpause();
  void Reset();
  int64_t GetDoneBytes();
  void SetSpaceEvent(TMPEvent* event);

  // The position callback (runs on the output thread; may be changed at any time) and
  // its interval (ms; kNever = never).
  void SetPositionCallback(std::function<void()> callback);
  void SetNotifyInterval(uint32_t ms);
  uint32_t NotifyInterval() const { return interval_; }
  // Exceptions on the output thread go here (forwarded from the thread).
  TMPLoopThread::ExceptionHandler OnException;

  int BufferSize() const { return bufferSize_; }
  int Queued() const { return queued_.load(); }
  // The device-level value (left low word, right high word) volume and balance give.
  static uint32_t DeviceValue(int volume, int balance);

 private:
  void Dispatch(TMPMessage& msg) override;
  void Submit();  // buffer lock held by the caller
  void SignalSpace();
  void CheckPosition();
  void ApplyVolume();
  [[noreturn]] void Fail(unsigned code, const char* operation);
  void ReadDeviceVolume();

  base::TClock& clock_;
  int rate_ = 44100, channels_ = 2, bits_ = 16;
  std::atomic<bool> opened_{false};
  bool paused_ = false;
  int volume_ = 100;
  int device_ = -1;
  std::atomic<uint32_t> interval_{kNever};
  int64_t lastTick_ = 0;  // microseconds (notification lock)
  std::unique_ptr<sorrel::audio::WaveDevice> wave_;
  sorrel::audio::WaveHeader headers_[kBuffers];
  std::unique_ptr<uint8_t[]> buffers_[kBuffers];
  int current_ = 0;
  int filled_ = 0;
  std::atomic<int> queued_{0};
  int bufferSize_ = 0;
  int balance_ = 0;
  TMPSimpleMutex notifyLock_;
  TMPEvent* spaceEvent_ = nullptr;
  std::function<void()> onPosition_;  // notification lock
  TMPSimpleEvent idle_;
  uint64_t lastBytes_ = 0;
  TMPSimpleMutex bufferLock_;
  std::unique_ptr<TMPLoopThread> thread_;
};

}  // namespace sorrel::engine
