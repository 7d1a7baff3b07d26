// "wav:FILE": what would be heard, as a PCM WAV file.  The header's sizes start at 0 and
// are filled in when the device closes.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/WavHeader.h"
#include "platform/audio/Sink.h"

namespace sorrel::audio {

namespace {

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
    if (dataBytes_ + n > base::kWavMaxDataBytes || std::fwrite(data, 1, n, file_) != n ||
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
    const base::TWavFormat format{format_.sampleRate, uint16_t(format_.channels),
                                  uint16_t(format_.bitsPerSample)};
    const auto h = base::WavHeader(format, dataBytes_);
    long at = std::ftell(file_);
    if (std::fseek(file_, 0, SEEK_SET) != 0) return false;
    bool ok = std::fwrite(h.data(), 1, h.size(), file_) == h.size();
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
