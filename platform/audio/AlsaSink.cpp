// The ALSA backend.  The PCM is opened non-blocking so that a device that stops taking
// data is noticed (and reported as a failure) instead of hanging the player.
#include "platform/audio/Sink.h"

#ifdef SORREL_HAVE_ALSA
#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstdarg>

namespace sorrel::audio {

namespace {

// ALSA prints its own complaints (missing cards and the like) to stderr; the player
// reports failures itself.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

constexpr unsigned kLatencyUs = 200000;
constexpr int kStallMs = 3000;  // no progress for this long: the device is gone

class AlsaSink final : public Sink {
 public:
  explicit AlsaSink(std::string name) : name_(std::move(name)) {}
  ~AlsaSink() override { Close(); }

  WaveResult Open(const PcmFormat& f, std::string& detail) override {
    static const bool quiet = (snd_lib_error_set_handler(QuietAlsa), true);
    (void)quiet;
    int e = snd_pcm_open(&pcm_, name_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (e < 0) {
      pcm_ = nullptr;
      detail = "ALSA " + name_ + ": " + snd_strerror(e);
      return e == -EBUSY ? kWaveAllocated : kWaveNoDriver;
    }
    e = snd_pcm_set_params(pcm_, f.bitsPerSample == 16 ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8,
                           SND_PCM_ACCESS_RW_INTERLEAVED, f.channels, f.sampleRate, 1, kLatencyUs);
    if (e < 0) {
      detail = "ALSA " + name_ + ": " + snd_strerror(e);
      snd_pcm_close(pcm_);
      pcm_ = nullptr;
      return kWaveBadFormat;
    }
    frameBytes_ = f.blockAlign();
    return kWaveOk;
  }

  bool Play(const uint8_t* data, size_t n, const std::atomic<bool>& interrupt, std::string& detail) override {
    snd_pcm_uframes_t left = n / frameBytes_;
    int stalled = 0;
    while (left > 0 && !interrupt.load()) {
      snd_pcm_sframes_t w = snd_pcm_writei(pcm_, data, left);
      if (w > 0) {
        data += size_t(w) * frameBytes_;
        left -= snd_pcm_uframes_t(w);
        stalled = 0;
        continue;
      }
      if (w == -EAGAIN || w == 0) {
        int r = snd_pcm_wait(pcm_, 100);
        if (r == 0 || r == -EAGAIN) {
          stalled += 100;
          if (stalled >= kStallMs) {
            detail = "ALSA " + name_ + ": the device stopped taking data";
            return false;
          }
        } else if (r < 0 && snd_pcm_recover(pcm_, r, 1) < 0) {
          detail = "ALSA " + name_ + ": " + snd_strerror(r);
          return false;
        }
        continue;
      }
      // Underrun or suspend: recover and go on; anything else is fatal.
      int r = snd_pcm_recover(pcm_, int(w), 1);
      if (r < 0) {
        detail = "ALSA " + name_ + ": " + snd_strerror(int(w));
        return false;
      }
    }
    return true;
  }

  uint64_t Delay() override {
    snd_pcm_sframes_t d = 0;
    if (!pcm_ || snd_pcm_delay(pcm_, &d) < 0 || d < 0) return 0;
    return uint64_t(d) * frameBytes_;
  }

  void Pause(bool on) override {
    if (!pcm_) return;
    if (on) {
      hwPaused_ = snd_pcm_pause(pcm_, 1) == 0;
      if (!hwPaused_) snd_pcm_drop(pcm_);
    } else if (hwPaused_) {
      if (snd_pcm_pause(pcm_, 0) < 0) snd_pcm_prepare(pcm_);
      hwPaused_ = false;
    } else {
      snd_pcm_prepare(pcm_);
    }
  }

  void Drop() override {
    if (!pcm_) return;
    snd_pcm_drop(pcm_);
    snd_pcm_prepare(pcm_);
    hwPaused_ = false;
  }

  void Close() override {
    if (!pcm_) return;
    if (hwPaused_) {
      snd_pcm_drop(pcm_);
    } else {
      // Non-blocking drain returns at once; give the last sound its time, bounded.
      snd_pcm_nonblock(pcm_, 0);
      snd_pcm_drain(pcm_);
    }
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
  }

 private:
  std::string name_;
  snd_pcm_t* pcm_ = nullptr;
  unsigned frameBytes_ = 4;
  bool hwPaused_ = false;
};

}  // namespace

std::unique_ptr<Sink> MakeAlsaSink(const std::string& pcmName) { return std::make_unique<AlsaSink>(pcmName); }

#else  // built without ALSA

namespace {
class NoAlsaSink final : public Sink {
 public:
  WaveResult Open(const PcmFormat&, std::string& detail) override {
    detail = "this build has no ALSA support";
    return kWaveNoDriver;
  }
  bool Play(const uint8_t*, size_t, const std::atomic<bool>&, std::string& detail) override {
    detail = "no ALSA";
    return false;
  }
};
}  // namespace
std::unique_ptr<Sink> MakeAlsaSink(const std::string&) { return std::make_unique<NoAlsaSink>(); }
#endif

}  // namespace sorrel::audio
