#include "platform/audio/WaveOut.h"

#include <pthread.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/Sink.h"

namespace sorrel::audio {

namespace {

std::atomic<uint32_t> g_volume{0xFFFFFFFFu};

std::mutex g_backendLock;
std::string g_backend;  // empty: not chosen yet

thread_local WaveResult t_detailCode = kWaveOk;
thread_local std::string t_detail;

bool ParseBackend(const std::string& backend, std::string* error) {
  if (backend == "alsa" || backend.rfind("alsa:", 0) == 0) {
    if (backend.size() == 5) {
      if (error) *error = "alsa: needs a PCM name after the colon";
      return false;
    }
    return true;
  }
  if (backend == "null" || backend == "null:fast") return true;
  if (backend.rfind("wav:", 0) == 0 && backend.size() > 4) return true;
  if (backend.rfind("wav-rt:", 0) == 0 && backend.size() > 7) return true;
  if (error) {
    *error =
        "unknown audio backend '" + backend + "' (alsa, alsa:PCM, null, null:fast, wav:FILE, wav-rt:FILE)";
  }
  return false;
}

// Buffers are played in slices so that pause and reset answer within one slice.
constexpr unsigned kSliceMs = 20;

class QueuedDevice final : public WaveDevice {
 public:
  QueuedDevice(std::unique_ptr<Sink> sink, const PcmFormat& f, DoneCallback cb, base::TClock& clock)
      : sink_(std::move(sink)), onDone_(std::move(cb)), clock_(clock) {
    format_ = f;
    slice_ = std::max<size_t>(f.blockAlign(),
                              size_t(f.avgBytesPerSec()) * kSliceMs / 1000 / f.blockAlign() * f.blockAlign());
    worker_ = std::thread([this] { Run(); });
    pthread_setname_np(worker_.native_handle(), "wave-device");
  }

  ~QueuedDevice() override {
    Reset();
    Close();
  }

  WaveResult PrepareHeader(WaveHeader& h) override {
    if (!h.data && h.bufferLength) return kWaveInvalidParam;
    h.flags = (h.flags & ~(kHeaderDone | kHeaderInQueue)) | kHeaderPrepared;
    return kWaveOk;
  }

  WaveResult UnprepareHeader(WaveHeader& h) override {
    std::lock_guard lock(m_);
    if (h.flags & kHeaderInQueue) return kWaveStillPlaying;
    h.flags &= ~kHeaderPrepared;
    return kWaveOk;
  }

  WaveResult Write(WaveHeader& h) override {
    {
      std::lock_guard lock(m_);
      if (closed_) return kWaveInvalidHandle;
      if (!(h.flags & kHeaderPrepared)) return kWaveUnprepared;
      if (h.flags & kHeaderInQueue) return kWaveStillPlaying;
      if (failed_) {
        SetErrorDetail(kWaveError, failure_);
        return kWaveError;
      }
      if (h.bufferLength % format_.blockAlign() != 0 || (!h.data && h.bufferLength)) {
        return kWaveInvalidParam;
      }
      h.flags = (h.flags & ~kHeaderDone) | kHeaderInQueue;
      // Sound written to an idle device starts now, whenever the worker gets to it.
      if (queue_.empty()) startAt_ = clock_.NowMicros();
      queue_.push_back(&h);
    }
    cv_.notify_all();
    return kWaveOk;
  }

  WaveResult Pause() override { return SetPaused(true); }
  WaveResult Restart() override { return SetPaused(false); }

  WaveResult Reset() override {
    std::deque<WaveHeader*> back;
    uint64_t generation;
    {
      std::lock_guard lock(m_);
      if (closed_) return kWaveInvalidHandle;
      back.swap(queue_);
      offset_ = 0;
      written_ = 0;
      generation = ++generation_;
      dropPending_ = true;
      paused_ = false;
      interrupt_ = true;
      for (WaveHeader* h : back) h->flags = (h->flags & ~kHeaderInQueue) | kHeaderDone;
    }
    cv_.notify_all();
    if (onDone_) {
      for (WaveHeader* h : back) onDone_(h);
    }
    // As a device's own reset: on return the sound has stopped and nothing of what was
    // queued is still being played.
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return dropped_ >= generation || quit_; });
    return kWaveOk;
  }

  WaveResult GetPosition(uint64_t& bytes) override {
    std::lock_guard lock(m_);
    if (closed_) return kWaveInvalidHandle;
    if (failed_) {
      SetErrorDetail(kWaveError, failure_);
      return kWaveError;
    }
    uint64_t delay = delay_.load();
    bytes = written_ > delay ? written_ - delay : 0;
    return kWaveOk;
  }

  WaveResult Close() override {
    {
      std::lock_guard lock(m_);
      if (closed_) return kWaveOk;
      if (!queue_.empty() && !failed_) return kWaveStillPlaying;
      closed_ = true;
      quit_ = true;
      interrupt_ = true;
    }
    cv_.notify_all();
    if (worker_.joinable()) worker_.join();
    sink_->Close();
    return kWaveOk;
  }

 private:
  WaveResult SetPaused(bool on) {
    std::unique_lock lock(m_);
    if (closed_) return kWaveInvalidHandle;
    if (failed_) {
      SetErrorDetail(kWaveError, failure_);
      return kWaveError;
    }
    if (paused_ != on) {
      paused_ = on;
      if (on) interrupt_ = true;
      cv_.notify_all();
    }
    // As a device's own pause and restart: on return the sound has stopped (or goes on),
    // and the position stands still (or moves again).
    cv_.wait(lock, [&] { return sinkPaused_ == paused_ || failed_ || quit_; });
    return kWaveOk;
  }

  // Copies `n` bytes from `src` into the scratch buffer with the process volume applied.
  void Scale(const uint8_t* src, size_t n) {
    scratch_.resize(n);
    uint32_t v = g_volume.load(std::memory_order_relaxed);
    if (v == 0xFFFFFFFFu) {
      std::memcpy(scratch_.data(), src, n);
      return;
    }
    int64_t left = v & 0xFFFF, right = v >> 16;
    if (format_.channels == 1) left = right = std::max(left, right);
    if (format_.bitsPerSample == 16) {
      size_t count = n / 2;
      for (size_t i = 0; i < count; ++i) {
        int16_t s;
        std::memcpy(&s, src + 2 * i, 2);
        int64_t g = (format_.channels == 2 && (i & 1)) ? right : left;
        int16_t o = static_cast<int16_t>(s * g / 65535);
        std::memcpy(scratch_.data() + 2 * i, &o, 2);
      }
    } else {
      for (size_t i = 0; i < n; ++i) {
        int64_t g = (format_.channels == 2 && (i & 1)) ? right : left;
        scratch_[i] = static_cast<uint8_t>((int64_t(src[i]) - 128) * g / 65535 + 128);
      }
    }
  }

  void GiveBackAll(std::unique_lock<std::mutex>& lock) {
    std::deque<WaveHeader*> back;
    back.swap(queue_);
    offset_ = 0;
    for (WaveHeader* h : back) h->flags = (h->flags & ~kHeaderInQueue) | kHeaderDone;
    lock.unlock();
    if (onDone_) {
      for (WaveHeader* h : back) onDone_(h);
    }
    lock.lock();
  }

  void Run() {
    std::unique_lock lock(m_);
    for (;;) {
      if (dropPending_) {
        dropPending_ = false;
        const uint64_t generation = generation_;
        lock.unlock();
        sink_->Drop();
        delay_ = 0;
        lock.lock();
        dropped_ = generation;
        cv_.notify_all();
        continue;
      }
      if (quit_) break;
      if (paused_ != sinkPaused_) {
        const bool on = paused_;
        lock.unlock();
        sink_->Pause(on);
        lock.lock();
        sinkPaused_ = on;
        cv_.notify_all();
        continue;
      }
      if (paused_ || queue_.empty() || failed_) {
        interrupt_ = false;
        if (!paused_ && !failed_ && delay_.load() > 0) {
          // Sound is still draining from the sink: keep the position moving.
          cv_.wait_for(lock, std::chrono::milliseconds(kSliceMs));
          lock.unlock();
          delay_ = sink_->Delay();
          lock.lock();
        } else {
          cv_.wait(lock);
        }
        continue;
      }
      interrupt_ = false;
      if (startAt_ != kNotStarting) {
        const int64_t at = startAt_;
        startAt_ = kNotStarting;
        lock.unlock();
        sink_->Start(at);
        lock.lock();
        continue;
      }
      WaveHeader* h = queue_.front();
      size_t n = std::min<size_t>(slice_, h->bufferLength - offset_);
      Scale(h->data + offset_, n);
      uint64_t gen = generation_;
      lock.unlock();
      std::string detail;
      bool ok = n == 0 || sink_->Play(scratch_.data(), n, interrupt_, detail);
      uint64_t delay = ok ? sink_->Delay() : 0;
      lock.lock();
      if (gen != generation_) continue;  // reset while playing: this slice does not count
      if (!ok) {
        failed_ = true;
        failure_ = detail.empty() ? std::string("audio device failed") : detail;
        delay_ = 0;
        GiveBackAll(lock);
        continue;
      }
      delay_ = delay;
      written_ += n;
      offset_ += n;
      if (offset_ >= h->bufferLength) {
        queue_.pop_front();
        offset_ = 0;
        h->flags = (h->flags & ~kHeaderInQueue) | kHeaderDone;
        lock.unlock();
        if (onDone_) onDone_(h);
        lock.lock();
      }
    }
  }

  static constexpr int64_t kNotStarting = INT64_MIN;

  std::unique_ptr<Sink> sink_;
  DoneCallback onDone_;
  base::TClock& clock_;
  int64_t startAt_ = kNotStarting;  // when sound was written to the idle device
  size_t slice_ = 0;
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<WaveHeader*> queue_;
  size_t offset_ = 0;
  uint64_t written_ = 0;
  uint64_t generation_ = 0;
  std::atomic<uint64_t> delay_{0};
  std::atomic<bool> interrupt_{false};
  bool paused_ = false, quit_ = false, closed_ = false, failed_ = false, dropPending_ = false;
  bool sinkPaused_ = false;  // the pause the worker has applied to the sink
  uint64_t dropped_ = 0;     // the last reset the worker has applied to the sink
  std::string failure_;
  std::vector<uint8_t> scratch_;
  std::thread worker_;
};

}  // namespace

void SetErrorDetail(WaveResult code, std::string detail) {
  t_detailCode = code;
  t_detail = std::move(detail);
}

WaveResult WaveDevice::GetVolume(uint32_t& volume) {
  volume = g_volume.load();
  return kWaveOk;
}

WaveResult WaveDevice::SetVolume(uint32_t volume) {
  g_volume.store(volume);
  return kWaveOk;
}

uint32_t GetDeviceVolume() { return g_volume.load(); }
void SetDeviceVolume(uint32_t volume) { g_volume.store(volume); }

bool SelectBackend(const std::string& backend, std::string* error) {
  if (!ParseBackend(backend, error)) return false;
  std::lock_guard lock(g_backendLock);
  g_backend = backend;
  // A selection begins a new run: wav:FILE records from the next sample on afresh.
  StartNewWavRecordings();
  return true;
}

std::string CurrentBackend() {
  std::lock_guard lock(g_backendLock);
  if (!g_backend.empty()) return g_backend;
  const char* env = std::getenv("SORREL_AUDIO");
  if (env && *env) return env;
  return "alsa";
}

unsigned WaveDeviceCount() {
  std::string backend = CurrentBackend();
  return ParseBackend(backend, nullptr) ? 1 : 0;
}

WaveResult OpenWaveDevice(std::unique_ptr<WaveDevice>& out, int deviceId, const PcmFormat& format,
                          DoneCallback onDone, base::TClock& clock, const std::string& role) {
  out.reset();
  SetErrorDetail(kWaveOk, {});
  if (deviceId != kWaveMapper && deviceId != 0) return kWaveBadDeviceId;
  // The role becomes part of a file name.
  if (!std::all_of(role.begin(), role.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
    return kWaveInvalidParam;
  if ((format.channels != 1 && format.channels != 2) ||
      (format.bitsPerSample != 8 && format.bitsPerSample != 16) || format.sampleRate < 1000 ||
      format.sampleRate > 384000) {
    return kWaveBadFormat;
  }
  std::string backend = CurrentBackend();
  std::string why;
  if (!ParseBackend(backend, &why)) {
    SetErrorDetail(kWaveNoDriver, why);
    return kWaveNoDriver;
  }
  std::unique_ptr<Sink> sink;
  if (backend == "null") {
    sink = MakeNullSink(false, clock);
  } else if (backend == "null:fast") {
    sink = MakeNullSink(true, clock);
  } else if (backend.rfind("wav:", 0) == 0) {
    sink = MakeWavSink(backend.substr(4), role);
  } else if (backend.rfind("wav-rt:", 0) == 0) {
    sink = MakePacedSink(MakeWavSink(backend.substr(7), role), clock);
  } else {
    sink = MakeAlsaSink(backend.size() > 5 ? backend.substr(5) : std::string("default"));
  }
  std::string detail;
  WaveResult r;
  try {
    r = sink->Open(format, detail);
  } catch (const std::bad_alloc&) {
    r = kWaveNoMem;
  }
  if (r != kWaveOk) {
    SetErrorDetail(r, detail);
    return r;
  }
  try {
    out = std::make_unique<QueuedDevice>(std::move(sink), format, std::move(onDone), clock);
  } catch (const std::exception& e) {
    SetErrorDetail(kWaveNoMem, e.what());
    return kWaveNoMem;
  }
  return kWaveOk;
}

bool WaveErrorText(WaveResult code, std::string& text) {
  const char* base = nullptr;
  switch (code) {
    case kWaveOk:
      base = "The operation completed successfully.";
      break;
    case kWaveError:
      base = "An unspecified error occurred in the audio device.";
      break;
    case kWaveBadDeviceId:
      base = "The audio device number is out of range.";
      break;
    case kWaveAllocated:
      base = "The audio device is already in use.";
      break;
    case kWaveInvalidHandle:
      base = "The audio device handle is not valid.";
      break;
    case kWaveNoDriver:
      base = "No audio device is available.";
      break;
    case kWaveNoMem:
      base = "Not enough memory for the audio device.";
      break;
    case kWaveNotSupported:
      base = "The audio device does not support this function.";
      break;
    case kWaveInvalidParam:
      base = "An invalid parameter was passed to the audio device.";
      break;
    case kWaveBadFormat:
      base = "The audio device does not support this PCM format.";
      break;
    case kWaveStillPlaying:
      base = "The audio buffer is still playing.";
      break;
    case kWaveUnprepared:
      base = "The audio buffer has not been prepared.";
      break;
    default:
      return false;
  }
  text = base;
  if (t_detailCode == code && code != kWaveOk && !t_detail.empty()) {
    text += " (" + t_detail + ")";
  }
  return true;
}

}  // namespace sorrel::audio
