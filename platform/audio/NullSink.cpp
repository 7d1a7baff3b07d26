// The device-less backends: "null" paces itself like a real device, "null:fast" takes
// everything at once.
#include <chrono>
#include <thread>

#include "platform/audio/Sink.h"

namespace sorrel::audio {

namespace {

using Clock = std::chrono::steady_clock;

class NullSink final : public Sink {
 public:
  explicit NullSink(bool fast) : fast_(fast) {}

  WaveResult Open(const PcmFormat& format, std::string&) override {
    bytesPerSec_ = format.avgBytesPerSec();
    next_ = Clock::now();
    return kWaveOk;
  }

  bool Play(const uint8_t*, size_t n, const std::atomic<bool>& interrupt, std::string&) override {
    if (fast_) return true;
    auto now = Clock::now();
    // After an idle stretch playback restarts from now, as a device's would.
    if (next_ < now) next_ = now;
    next_ += std::chrono::microseconds(int64_t(n) * 1000000 / bytesPerSec_);
    while (!interrupt.load()) {
      now = Clock::now();
      if (now >= next_) break;
      std::this_thread::sleep_for(std::min<Clock::duration>(next_ - now, std::chrono::milliseconds(5)));
    }
    return true;
  }

  void Pause(bool) override { next_ = Clock::now(); }
  void Drop() override { next_ = Clock::now(); }

 private:
  bool fast_;
  uint64_t bytesPerSec_ = 1;
  Clock::time_point next_;
};

}  // namespace

std::unique_ptr<Sink> MakeNullSink(bool fast) { return std::make_unique<NullSink>(fast); }

}  // namespace sorrel::audio
