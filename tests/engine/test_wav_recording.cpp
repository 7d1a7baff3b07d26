// The wav backend as a recorder of a whole run: devices in turn append to one file, a
// change of format or a full file goes on in the next numbered file, a device that plays
// nothing leaves no trace, and every file reads as a WAV after each device close.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "base/WavHeader.h"
#include "platform/audio/Sink.h"
#include "platform/audio/WaveOut.h"
#include "tests/common/Files.h"

using namespace sorrel::audio;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using sorrel::test::Bytes;

using sorrel::test::ReadBytes;

namespace {

// Distinct sample bytes for each song, so that order and joins show.
Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 7 + (i >> 8));
  return b;
}

Bytes Join(std::initializer_list<const Bytes*> parts) {
  Bytes all;
  for (const Bytes* p : parts) all.insert(all.end(), p->begin(), p->end());
  return all;
}

// A WAV file as the recorder left it: what its header says and the bytes that follow.
struct WavFile {
  bool valid = false;
  sorrel::base::TWavFormat format;
  uint32_t dataBytes = 0;
  uint32_t riffBytes = 0;
  Bytes after;  // everything after the 44-byte header
};

WavFile Parse(const std::string& path) {
  WavFile w;
  Bytes f = ReadBytes(path);
  w.valid = sorrel::base::ParseWavHeader(f.data(), f.size(), w.format, w.dataBytes);
  if (!w.valid) return w;
  w.riffBytes = uint32_t(f[4]) | uint32_t(f[5]) << 8 | uint32_t(f[6]) << 16 | uint32_t(f[7]) << 24;
  w.after.assign(f.begin() + sorrel::base::kWavHeaderBytes, f.end());
  return w;
}

// A device the way the sound output uses one: opened for a song, fed, closed.
class Device {
 public:
  explicit Device(const PcmFormat& f) {
    r_ = OpenWaveDevice(dev_, kWaveMapper, f, [this](WaveHeader*) { ++done_; });
  }
  ~Device() {
    if (dev_) dev_->Close();
  }
  WaveResult result() const { return r_; }
  // Plays `data` through; false when the device did not take it.
  bool Play(const Bytes& data) {
    WaveHeader h;
    h.data = const_cast<uint8_t*>(data.data());
    h.bufferLength = uint32_t(data.size());
    dev_->PrepareHeader(h);
    const int before = done_;
    if (dev_->Write(h) != kWaveOk) return false;
    auto end = std::chrono::steady_clock::now() + 5s;
    while (done_ == before && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
    uint64_t position;  // a device that failed gives the buffer back unplayed
    return done_ > before && dev_->GetPosition(position) == kWaveOk;
  }
  WaveResult Close() { return dev_->Close(); }
  WaveDevice& operator*() { return *dev_; }

 private:
  std::unique_ptr<WaveDevice> dev_;
  WaveResult r_ = kWaveError;
  std::atomic<int> done_{0};
};

// One song: open, play, close.
void Song(const PcmFormat& f, const Bytes& data) {
  Device d(f);
  ASSERT_EQ(d.result(), kWaveOk);
  ASSERT_TRUE(d.Play(data));
  ASSERT_EQ(d.Close(), kWaveOk);
}

const PcmFormat kCd{2, 44100, 16};
const PcmFormat kMono22{1, 22050, 16};
const PcmFormat kMono8Bit{1, 22050, 8};

class WavRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(SORREL_BUILD_DIR) / "wav_recording_tmp" /
           (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(getpid()));
    fs::create_directories(dir_);
    file_ = (dir_ / "run.wav").string();
    SetDeviceVolume(0xFFFFFFFFu);
    ASSERT_TRUE(SelectBackend("wav:" + file_));
  }
  void TearDown() override {
    SetWavFileLimit(0);
    SelectBackend("null:fast");
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // The files in the test's folder, by name.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  void ExpectFile(const std::string& path, const PcmFormat& f, const Bytes& data) const {
    SCOPED_TRACE(path);
    const WavFile w = Parse(path);
    ASSERT_TRUE(w.valid);
    EXPECT_EQ(w.format,
              (sorrel::base::TWavFormat{f.sampleRate, uint16_t(f.channels), uint16_t(f.bitsPerSample)}));
    EXPECT_EQ(w.dataBytes, data.size());
    EXPECT_EQ(w.riffBytes, data.size() + 36);
    EXPECT_TRUE(w.after == data);
  }

  fs::path dir_;
  std::string file_;
};

}  // namespace

TEST_F(WavRecordingTest, SongsOfOneFormatFollowEachOtherInOneFileValidAfterEachClose) {
  const Bytes a = Pattern(8820, 1), b = Pattern(17640, 2), c = Pattern(4, 3);
  Song(kCd, a);
  ExpectFile(file_, kCd, a);
  Song(kCd, b);
  ExpectFile(file_, kCd, Join({&a, &b}));
  // A device that reopens between songs without playing changes nothing.
  { Device idle(kCd); }
  Song(kCd, c);
  ExpectFile(file_, kCd, Join({&a, &b, &c}));
  EXPECT_EQ(Files(), std::vector<std::string>{"run.wav"});
}

TEST_F(WavRecordingTest, AChangeOfFormatGoesOnInTheNextNumberedFileNeverBack) {
  const Bytes a = Pattern(4000, 1), b = Pattern(2000, 2), c = Pattern(1000, 3), d = Pattern(500, 4),
              e = Pattern(400, 5);
  Song(kCd, a);
  Song(kMono22, b);
  Song(kMono8Bit, c);  // only the sample size differs
  Song(kMono8Bit, d);
  Song(kCd, e);  // the first format again: a new file, the old one stays closed
  EXPECT_EQ(Files(),
            (std::vector<std::string>{"run.wav", "run.wav.2.wav", "run.wav.3.wav", "run.wav.4.wav"}));
  ExpectFile(file_, kCd, a);
  ExpectFile(file_ + ".2.wav", kMono22, b);
  ExpectFile(file_ + ".3.wav", kMono8Bit, Join({&c, &d}));
  ExpectFile(file_ + ".4.wav", kCd, e);
  // The sample rate alone is a change as well.
  Song({1, 44100, 16}, b);
  ExpectFile(file_ + ".5.wav", {1, 44100, 16}, b);
}

TEST_F(WavRecordingTest, DevicesThatPlayNothingWriteNothing) {
  // What the application does at start and at exit: open in another format, read and
  // set the volume, close.
  for (int i = 0; i < 2; ++i) {
    Device d({2, 22050, 8});
    ASSERT_EQ(d.result(), kWaveOk);
    uint32_t v;
    (*d).GetVolume(v);
    (*d).SetVolume(v);
    (*d).Reset();
  }
  EXPECT_TRUE(Files().empty());
  // Nor does such a device between songs start a new file.
  const Bytes a = Pattern(400, 1), b = Pattern(800, 2);
  Song(kCd, a);
  { Device other(kMono8Bit); }
  Song(kCd, b);
  EXPECT_EQ(Files(), std::vector<std::string>{"run.wav"});
  ExpectFile(file_, kCd, Join({&a, &b}));
}

TEST_F(WavRecordingTest, AProcessKilledWhilePlayingLeavesReadableFiles) {
  // No bytes wait in the process: what is on disk while a device plays is what a kill
  // at that moment leaves.
  const Bytes a = Pattern(4000, 1), b = Pattern(2000, 2);
  {
    Device first(kCd);
    ASSERT_TRUE(first.Play(a));
    // Killed in the first song: the header's size 0 reads as "to the end of the file".
    const WavFile w = Parse(file_);
    ASSERT_TRUE(w.valid);
    EXPECT_EQ(w.dataBytes, 0u);
    EXPECT_TRUE(w.after == a);
  }
  {
    Device second(kCd);
    ASSERT_TRUE(second.Play(b));
    // Killed in the second: the header still says exactly the first song.
    const WavFile w = Parse(file_);
    ASSERT_TRUE(w.valid);
    EXPECT_EQ(w.dataBytes, a.size());
    EXPECT_TRUE(w.after == Join({&a, &b}));
  }
  ExpectFile(file_, kCd, Join({&a, &b}));
}

TEST_F(WavRecordingTest, AFullFileGoesOnInTheNextWithTheSameFormat) {
  // 8000 Hz mono 16-bit plays in slices of 320 bytes; three fit under 1000 bytes.
  SetWavFileLimit(1000);
  const PcmFormat f{1, 8000, 16};
  const Bytes a = Pattern(3200, 1);
  Song(f, a);
  EXPECT_EQ(Files(),
            (std::vector<std::string>{"run.wav", "run.wav.2.wav", "run.wav.3.wav", "run.wav.4.wav"}));
  Bytes all;
  for (const std::string& name : Files()) {
    const WavFile w = Parse((dir_ / name).string());
    ASSERT_TRUE(w.valid) << name;
    EXPECT_LE(w.dataBytes, 1000u) << name;
    EXPECT_EQ(w.dataBytes, w.after.size()) << name;
    all.insert(all.end(), w.after.begin(), w.after.end());
  }
  EXPECT_TRUE(all == a);  // not a sample lost or doubled at the cuts
  // The next song fills the last file up before going on.
  const Bytes b = Pattern(960, 2);
  Song(f, b);
  EXPECT_EQ(Parse(file_ + ".4.wav").dataBytes, 960u);
  EXPECT_EQ(Parse(file_ + ".5.wav").dataBytes, 320u);
}

TEST_F(WavRecordingTest, ANewSelectionStartsAFreshRunOverTheOldFiles) {
  const Bytes a = Pattern(1000, 1), b = Pattern(600, 2), c = Pattern(200, 3);
  Song(kCd, a);
  Song(kMono22, b);
  Song(kMono8Bit, b);
  ASSERT_EQ(Files().size(), 3u);
  ASSERT_TRUE(SelectBackend("wav:" + file_));
  { Device idle(kCd); }
  EXPECT_EQ(Files().size(), 3u);  // untouched until the new run has sound
  Song(kMono22, c);
  // The old continuations would pass for this run's: they go.
  EXPECT_EQ(Files(), std::vector<std::string>{"run.wav"});
  ExpectFile(file_, kMono22, c);
}

TEST_F(WavRecordingTest, FailuresAreDeviceErrorsAndTheRecordingGoesOnAfterThem) {
  // A recording whose file vanished between songs does not quietly start over.
  const Bytes a = Pattern(400, 1);
  Song(kCd, a);
  fs::remove(file_);
  {
    Device d(kCd);
    ASSERT_EQ(d.result(), kWaveOk);
    EXPECT_FALSE(d.Play(a));
    std::string text;
    uint64_t pos;
    EXPECT_EQ((*d).GetPosition(pos), kWaveError);
    ASSERT_TRUE(WaveErrorText(kWaveError, text));
    EXPECT_NE(text.find(file_), std::string::npos) << text;
  }
  EXPECT_TRUE(Files().empty());
  // A folder in the way of the next file fails the device at its first sample; the
  // music goes on in that file once the folder is gone.
  ASSERT_TRUE(SelectBackend("wav:" + file_));
  Song(kCd, a);
  fs::create_directory(file_ + ".2.wav");
  {
    Device d(kMono22);
    ASSERT_EQ(d.result(), kWaveOk);
    EXPECT_FALSE(d.Play(a));
  }
  fs::remove(file_ + ".2.wav");
  Song(kMono22, a);
  ExpectFile(file_, kCd, a);
  ExpectFile(file_ + ".2.wav", kMono22, a);
}

TEST_F(WavRecordingTest, DevicesOfOneRoleShareTheRecordingOneOfAnotherRoleHasItsOwn) {
  // Two devices of the music at once (threads of their own) end up whole in the one file.
  const Bytes a = Pattern(44100 * 2, 1), b = Pattern(44100 * 2, 2);
  {
    Device first(kCd), second(kCd);
    std::thread t([&] { EXPECT_TRUE(first.Play(a)); });
    EXPECT_TRUE(second.Play(b));
    t.join();
  }
  WavFile w = Parse(file_);
  ASSERT_TRUE(w.valid);
  EXPECT_EQ(w.dataBytes, a.size() + b.size());
  EXPECT_EQ(w.after.size(), a.size() + b.size());

  // A second device of the process that sounds at the same time (the voice) records
  // beside FILE under its role, numbered as the music is.
  EXPECT_EQ(WavRecordingPath("x.wav", "", 1), "x.wav");
  EXPECT_EQ(WavRecordingPath("x.wav", "", 2), "x.wav.2.wav");
  EXPECT_EQ(WavRecordingPath("x.wav", "voice", 1), "x.wav.voice.wav");
  EXPECT_EQ(WavRecordingPath("x.wav", "voice", 3), "x.wav.voice.3.wav");
  ASSERT_TRUE(SelectBackend("wav:" + file_));
  auto music = MakeWavSink(file_), voice = MakeWavSink(file_, "voice");
  std::string detail;
  ASSERT_EQ(music->Open(kCd, detail), kWaveOk);
  ASSERT_EQ(voice->Open(kMono22, detail), kWaveOk);
  const Bytes m1 = Pattern(400, 1), v1 = Pattern(200, 2), m2 = Pattern(400, 3);
  std::atomic<bool> no{false};
  ASSERT_TRUE(music->Play(m1.data(), m1.size(), no, detail));
  ASSERT_TRUE(voice->Play(v1.data(), v1.size(), no, detail));
  ASSERT_TRUE(music->Play(m2.data(), m2.size(), no, detail));
  voice->Close();
  music->Close();
  EXPECT_EQ(Files(), (std::vector<std::string>{"run.wav", "run.wav.voice.wav"}));
  ExpectFile(file_, kCd, Join({&m1, &m2}));
  ExpectFile(file_ + ".voice.wav", kMono22, v1);
}
