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
    Restart();
    return kWaveOk;
  }

  bool Play(const uint8_t*, size_t n, const std::atomic<bool>& interrupt, std::string&) override {
    if (fast_) return true;
    int64_t now = clock_.NowMicros();
    // Called again straight after the last slice, the device has been playing all along,
    // even when this thread woke late; after an idle stretch it starts again from now.
    if (now - lastReturn_ > kIdleMicros) Restart();
    bytes_ += n;
    const int64_t due = start_ + int64_t(bytes_ * 1000000 / bytesPerSec_);
    std::unique_lock lock(m_);
    while (!interrupt.load()) {
      now = clock_.NowMicros();
      if (now >= due) break;
      // In slices: the interrupt flag is looked at between them.
      clock_.WaitUntil(lock, cv_, std::min(due, now + kSliceMicros), [&] { return interrupt.load(); });
    }
    lastReturn_ = clock_.NowMicros();
    return true;
  }

  void Pause(bool) override { Restart(); }
  void Drop() override { Restart(); }

 private:
  static constexpr int64_t kIdleMicros = 50000;
  static constexpr int64_t kSliceMicros = 5000;

  void Restart() {
    start_ = lastReturn_ = clock_.NowMicros();
    bytes_ = 0;
  }

  bool fast_;
  base::TClock& clock_;
  uint64_t bytesPerSec_ = 1;
  int64_t start_ = 0;       // when playing (re)started
  uint64_t bytes_ = 0;      // played since then
  int64_t lastReturn_ = 0;  // when the last Play returned
  std::mutex m_;
  std::condition_variable cv_;
};

}  // namespace

std::unique_ptr<Sink> MakeNullSink(bool fast, base::TClock& clock) {
  return std::make_unique<NullSink>(fast, clock);
}

}  // namespace sorrel::audio
