// "wav:FILE": what would be heard, as a PCM WAV file.  The header's sizes start at 0 and
// are filled in when the device closes.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/audio/Sink.h"

namespace sorrel::audio {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

class WavSink final : public Sink {
 public:
  explicit WavSink(std::string path) : path_(std::move(path)) {}
  ~WavSink() override { Close(); }

  WaveResult Open(const PcmFormat& f, std::string& detail) override {
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) {
      detail = path_ + ": " + std::strerror(errno);
      return kWaveNoDriver;
    }
    format_ = f;
    if (!WriteHeader(false)) {
      detail = path_ + ": " + std::strerror(errno);
      std::fclose(file_);
      file_ = nullptr;
      return kWaveError;
    }
    return kWaveOk;
  }

  bool Play(const uint8_t* data, size_t n, const std::atomic<bool>&, std::string& detail) override {
    if (!file_) {
      detail = path_ + ": not open";
      return false;
    }
    errno = 0;
    if (dataBytes_ + n > 0xFFFFFFFFull - 36 || std::fwrite(data, 1, n, file_) != n ||
        std::fflush(file_) != 0) {
      detail = path_ + ": " + (errno ? std::strerror(errno) : "file too large");
      return false;
    }
    dataBytes_ += n;
    return true;
  }

  void Close() override {
    if (!file_) return;
    WriteHeader(true);
    std::fclose(file_);
    file_ = nullptr;
  }

 private:
  // At open the header only goes into the stdio buffer: a target that refuses data fails
  // on the first samples, as a device that fails while playing.
  bool WriteHeader(bool flush) {
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, uint32_t(36 + dataBytes_));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);
    Put16(h + 22, format_.channels);
    Put32(h + 24, format_.sampleRate);
    Put32(h + 28, format_.avgBytesPerSec());
    Put16(h + 32, format_.blockAlign());
    Put16(h + 34, format_.bitsPerSample);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, uint32_t(dataBytes_));
    long at = std::ftell(file_);
    if (std::fseek(file_, 0, SEEK_SET) != 0) return false;
    bool ok = std::fwrite(h, 1, sizeof h, file_) == sizeof h;
    if (at > 0) std::fseek(file_, at, SEEK_SET);
    return ok && (!flush || std::fflush(file_) == 0);
  }

  std::string path_;
  std::FILE* file_ = nullptr;
  PcmFormat format_;
  uint64_t dataBytes_ = 0;
};

}  // namespace

std::unique_ptr<Sink> MakeWavSink(const std::string& path) { return std::make_unique<WavSink>(path); }

}  // namespace sorrel::audio
