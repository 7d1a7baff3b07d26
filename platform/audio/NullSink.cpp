// The device-less backends: "null" paces itself like a real device on the clock it is
// given, "null:fast" takes everything at once.
#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "platform/audio/Sink.h"

namespace sorrel::audio {

namespace {

class NullSink final : public Sink {
 public:
  NullSink(bool fast, base::TClock& clock) : fast_(fast), clock_(clock) {}

  WaveResult Open(const PcmFormat& format, std::string&) override {
    bytesPerSec_ = format.avgBytesPerSec();
    Restart(clock_.NowMicros());
    return kWaveOk;
  }

  void Start(int64_t atMicros) override {
    // After silence, the sound plays from when it came; straight after earlier sound, on
    // from where that ends.
    if (atMicros > End()) Restart(atMicros);
  }

  bool Play(const uint8_t*, size_t n, const std::atomic<bool>& interrupt, std::string&) override {
    if (fast_) return true;
    bytes_ += n;
    // However late this thread wakes, the device keeps its pace: the due times follow
    // from the start, not from the last wake-up.
    const int64_t due = End();
    std::unique_lock lock(m_);
    while (!interrupt.load()) {
      const int64_t now = clock_.NowMicros();
      if (now >= due) break;
      // In slices: the interrupt flag is looked at between them.
      clock_.WaitUntil(lock, cv_, std::min(due, now + kSliceMicros), [&] { return interrupt.load(); });
    }
    return true;
  }

  void Pause(bool) override { Restart(clock_.NowMicros()); }
  void Drop() override { Restart(clock_.NowMicros()); }

 private:
  static constexpr int64_t kSliceMicros = 5000;

  void Restart(int64_t at) {
    start_ = at;
    bytes_ = 0;
  }
  // When the sound played since the start ends.
  int64_t End() const { return start_ + int64_t(bytes_ * 1000000 / bytesPerSec_); }

  bool fast_;
  base::TClock& clock_;
  uint64_t bytesPerSec_ = 1;
  int64_t start_ = 0;   // when playing (re)started
  uint64_t bytes_ = 0;  // played since then
  std::mutex m_;
  std::condition_variable cv_;
};

// A recording heard in real time: the samples go to the recording as they come, and the
// device then takes as long as a real one would, so whatever the program does on its own
// clock (a fade-in on a timer) is recorded as it would be heard.
class PacedSink final : public Sink {
 public:
  PacedSink(std::unique_ptr<Sink> recording, base::TClock& clock)
      : recording_(std::move(recording)), pace_(false, clock) {}
  ~PacedSink() override { PacedSink::Close(); }

  WaveResult Open(const PcmFormat& format, std::string& detail) override {
    const WaveResult r = recording_->Open(format, detail);
    return r != kWaveOk ? r : pace_.Open(format, detail);
  }
  bool Play(const uint8_t* data, size_t n, const std::atomic<bool>& interrupt, std::string& detail) override {
    return recording_->Play(data, n, interrupt, detail) && pace_.Play(data, n, interrupt, detail);
  }
  void Start(int64_t atMicros) override {
    recording_->Start(atMicros);
    pace_.Start(atMicros);
  }
  void Pause(bool on) override { pace_.Pause(on); }
  void Drop() override { pace_.Drop(); }
  void Close() override { recording_->Close(); }

 private:
  std::unique_ptr<Sink> recording_;
  NullSink pace_;
};

}  // namespace

std::unique_ptr<Sink> MakePacedSink(std::unique_ptr<Sink> recording, base::TClock& clock) {
  return std::make_unique<PacedSink>(std::move(recording), clock);
}

std::unique_ptr<Sink> MakeNullSink(bool fast, base::TClock& clock) {
  return std::make_unique<NullSink>(fast, clock);
}

}  // namespace sorrel::audio
