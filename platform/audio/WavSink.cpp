// "wav:FILE": what would be heard, recorded as PCM WAV files.  One recording per backend
// selection and role takes every device's samples in turn: the files are created at the
// first sample, continued by each later device of the same format, and cut where the
// format changes or a file would outgrow the 32-bit sizes.  Each file is written in place
// (it grows); its header carries the sizes as of the last device close, so a process
// killed later leaves every file readable up to there.  A first file's header starts
// with size 0, which readers take as "to the end of the file".
//
// A role's recording (the voice) keeps time as well: the time between two sounds, taken
// from when each came to its idle device, is written as silence (at most
// kMaxSilenceMicros per gap), so each sound sits in the file as far from the file's first
// sound as it was on the device's clock.  Under plain wav:FILE a sound is written whole
// at once, so one that was cut short by the next is recorded whole and the next follows
// it; under wav-rt:FILE only what was heard is recorded.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/WavHeader.h"
#include "platform/audio/Sink.h"

namespace sorrel::audio {

namespace {

std::atomic<uint64_t> g_fileLimit{base::kWavMaxDataBytes};

// The longest silence a role's recording gets between two sounds.
constexpr int64_t kMaxSilenceMicros = 600'000'000;
constexpr int64_t kNoOrigin = INT64_MIN;

bool SameFormat(const PcmFormat& a, const PcmFormat& b) {
  return a.channels == b.channels && a.sampleRate == b.sampleRate && a.bitsPerSample == b.bitsPerSample;
}

// Writes all of `data` at `offset`; false with errno set.
bool WriteAllAt(int fd, const uint8_t* data, size_t n, uint64_t offset) {
  while (n > 0) {
    const ssize_t w = ::pwrite(fd, data, n, off_t(offset));
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = EIO;
      return false;
    }
    data += w;
    offset += uint64_t(w);
    n -= size_t(w);
  }
  return true;
}

class WavRecording {
 public:
  WavRecording(std::string file, std::string role) : file_(std::move(file)), role_(std::move(role)) {}
  ~WavRecording() { CloseFile(); }

  // At device open: whether the file the next samples go to can be written, without
  // creating it (a device opened and closed without a sample leaves no file behind).
  bool Check(std::string& detail) {
    std::lock_guard lock(m_);
    if (fd_ >= 0) return true;
    const std::string path = Path(number_ ? number_ : 1);
    struct stat st;
    int error = 0;
    if (::stat(path.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode))
        error = EISDIR;
      else if (::access(path.c_str(), W_OK) != 0)
        error = errno;
    } else if (errno != ENOENT) {
      error = errno;
    } else {
      std::string dir = std::filesystem::path(path).parent_path().string();
      if (dir.empty()) dir = ".";
      if (::access(dir.c_str(), W_OK | X_OK) != 0) error = errno;
    }
    if (error) detail = path + ": " + std::strerror(error);
    return error == 0;
  }

  // `startMicros`: the first samples of a sound, which came to its device then.
  bool Write(const PcmFormat& f, const uint8_t* data, size_t n, std::optional<int64_t> startMicros,
             std::string& detail) {
    std::lock_guard lock(m_);
    const bool continues = number_ != 0 && SameFormat(f, format_);
    const uint64_t silence = continues ? SilenceFrames(startMicros) * f.blockAlign() : 0;
    const bool full = dataBytes_ > 0 && dataBytes_ + silence + n > g_fileLimit.load();
    if (!continues || full) {
      const int64_t end = End();
      CloseFile();
      if (!StartFile(number_ + 1, f, detail)) return false;
      // A new file's time starts with its first sound, or goes on from the last file's.
      originMicros_ = startMicros ? *startMicros : end;
      frames_ = 0;
    } else {
      if (fd_ < 0 && !Reopen(detail)) return false;
      if (silence && !WriteSilence(silence, *startMicros, detail)) return false;
    }
    if (!WriteAllAt(fd_, data, n, base::kWavHeaderBytes + dataBytes_)) {
      detail = Path(number_) + ": " + std::strerror(errno);
      return false;
    }
    dataBytes_ += n;
    frames_ += n / f.blockAlign();
    return true;
  }

  // At device close: the header gets the sizes and the file goes to disk.
  void Finish() {
    std::lock_guard lock(m_);
    CloseFile();
  }

 private:
  std::string Path(unsigned number) const { return WavRecordingPath(file_, role_, number); }

  // Where the recorded sound ends on the clock.
  int64_t End() const {
    if (originMicros_ == kNoOrigin || format_.sampleRate == 0) return kNoOrigin;
    return originMicros_ + int64_t(frames_ * 1000000 / format_.sampleRate);
  }

  // The silence before a sound starting at `startMicros`, in frames: none for the music.
  uint64_t SilenceFrames(std::optional<int64_t> startMicros) const {
    const int64_t end = End();
    if (role_.empty() || !startMicros || end == kNoOrigin || *startMicros <= end) return 0;
    const int64_t gap = std::min(*startMicros - end, kMaxSilenceMicros);
    return uint64_t(gap) * format_.sampleRate / 1000000;
  }

  bool WriteSilence(uint64_t bytes, int64_t startMicros, std::string& detail) {
    const std::vector<uint8_t> zero(std::min<uint64_t>(bytes, 1 << 16),
                                    format_.bitsPerSample == 8 ? 0x80 : 0);
    for (uint64_t left = bytes; left > 0;) {
      const size_t n = size_t(std::min<uint64_t>(left, zero.size()));
      if (!WriteAllAt(fd_, zero.data(), n, base::kWavHeaderBytes + dataBytes_)) {
        detail = Path(number_) + ": " + std::strerror(errno);
        return false;
      }
      dataBytes_ += n;
      left -= n;
    }
    frames_ += bytes / format_.blockAlign();
    // A gap longer than the longest silence: the time goes on from this sound.
    if (End() < startMicros) originMicros_ = startMicros - int64_t(frames_ * 1000000 / format_.sampleRate);
    return true;
  }

  bool Fail(const std::string& path, std::string& detail) {
    detail = path + ": " + std::strerror(errno);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return false;
  }

  bool PutHeader() {
    const base::TWavFormat f{format_.sampleRate, uint16_t(format_.channels), uint16_t(format_.bitsPerSample)};
    const auto h = base::WavHeader(f, dataBytes_);
    return WriteAllAt(fd_, h.data(), h.size(), 0);
  }

  bool StartFile(unsigned number, const PcmFormat& f, std::string& detail) {
    const std::string path = Path(number);
    if (number == 1) {
      // Continuations an earlier run left would read as part of this one.
      for (unsigned k = 2; ::unlink(Path(k).c_str()) == 0; ++k) {}
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) return Fail(path, detail);
    const PcmFormat before = format_;
    format_ = f;
    const uint64_t bytesBefore = std::exchange(dataBytes_, 0);
    if (!PutHeader()) {
      format_ = before;
      dataBytes_ = bytesBefore;
      return Fail(path, detail);
    }
    number_ = number;
    return true;
  }

  // The next device of the same format goes on where the last one stopped.
  bool Reopen(std::string& detail) {
    const std::string path = Path(number_);
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0 || !PutHeader()) return Fail(path, detail);
    return true;
  }

  void CloseFile() {
    if (fd_ < 0) return;
    PutHeader();
    ::fdatasync(fd_);
    ::close(fd_);
    fd_ = -1;
  }

  std::mutex m_;
  const std::string file_, role_;
  unsigned number_ = 0;  // the file being written (1 = FILE), 0 before the first sample
  PcmFormat format_;
  uint64_t dataBytes_ = 0;  // samples in that file
  int fd_ = -1;             // open from its first sample to the next device close
  // The file's time line: its first sound's start on the clock, and the frames since.
  int64_t originMicros_ = kNoOrigin;
  uint64_t frames_ = 0;
};

std::mutex g_recordingsLock;
std::map<std::pair<std::string, std::string>, std::shared_ptr<WavRecording>> g_recordings;

std::shared_ptr<WavRecording> RecordingFor(const std::string& file, const std::string& role) {
  std::lock_guard lock(g_recordingsLock);
  auto& r = g_recordings[{file, role}];
  if (!r) r = std::make_shared<WavRecording>(file, role);
  return r;
}

class WavSink final : public Sink {
 public:
  explicit WavSink(std::shared_ptr<WavRecording> recording) : recording_(std::move(recording)) {}
  ~WavSink() override { Close(); }

  WaveResult Open(const PcmFormat& f, std::string& detail) override {
    format_ = f;
    if (!recording_->Check(detail)) return kWaveNoDriver;
    open_ = true;
    return kWaveOk;
  }

  void Start(int64_t atMicros) override { start_ = atMicros; }

  bool Play(const uint8_t* data, size_t n, const std::atomic<bool>&, std::string& detail) override {
    return recording_->Write(format_, data, n, std::exchange(start_, std::nullopt), detail);
  }

  void Close() override {
    if (!std::exchange(open_, false)) return;
    recording_->Finish();
  }

 private:
  std::shared_ptr<WavRecording> recording_;
  PcmFormat format_;
  bool open_ = false;
  std::optional<int64_t> start_;  // the sound now starting came to the device then
};

}  // namespace

std::string WavRecordingPath(const std::string& file, const std::string& role, unsigned number) {
  std::string path = role.empty() ? file : file + "." + role;
  if (number > 1) path += "." + std::to_string(number);
  if (!role.empty() || number > 1) path += ".wav";
  return path;
}

std::unique_ptr<Sink> MakeWavSink(const std::string& file, const std::string& role) {
  return std::make_unique<WavSink>(RecordingFor(file, role));
}

void StartNewWavRecordings() {
  std::lock_guard lock(g_recordingsLock);
  g_recordings.clear();
}

void SetWavFileLimit(uint64_t dataBytes) {
  g_fileLimit = dataBytes ? std::min(dataBytes, base::kWavMaxDataBytes) : base::kWavMaxDataBytes;
}

}  // namespace sorrel::audio
