// The wave-device layer: buffer flow, reset, pause, position, the process volume on the
// samples, the wav backend's file, and failures reported as results.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "platform/audio/WaveOut.h"

using namespace sorrel::audio;
using sorrel::base::TFakeClock;

using namespace std::chrono_literals;

namespace {

struct Counter {
  std::atomic<int> done{0};
  DoneCallback cb() {
    return [this](WaveHeader*) { ++done; };
  }
};

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

template <class Pred>
bool WaitFor(Pred p, std::chrono::milliseconds limit = 5000ms) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!p()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class AudioTest : public ::testing::Test {
 protected:
  void TearDown() override { SetDeviceVolume(0xFFFFFFFFu); }
};

}  // namespace

TEST_F(AudioTest, BackendSpecsAreCheckedBeforeUse) {
  std::string err;
  EXPECT_TRUE(SelectBackend("null", &err));
  EXPECT_EQ(CurrentBackend(), "null");
  EXPECT_FALSE(SelectBackend("speaker", &err));
  EXPECT_NE(err.find("speaker"), std::string::npos);
  EXPECT_EQ(CurrentBackend(), "null");
  EXPECT_FALSE(SelectBackend("wav:", &err));
  EXPECT_FALSE(SelectBackend("alsa:", &err));
  EXPECT_TRUE(SelectBackend("alsa:hw:0,0", &err));
  EXPECT_TRUE(SelectBackend("null:fast", &err));
}

TEST_F(AudioTest, StartupMutingSequenceOnNull) {
  // What the application does at start: open 2 ch / 22050 Hz / 8 bits, read, set, close.
  ASSERT_TRUE(SelectBackend("null"));
  std::unique_ptr<WaveDevice> dev;
  ASSERT_EQ(OpenWaveDevice(dev, kWaveMapper, {2, 22050, 8}), kWaveOk);
  uint32_t v = 0;
  EXPECT_EQ(dev->GetVolume(v), kWaveOk);
  EXPECT_EQ(v, 0xFFFFFFFFu);
  EXPECT_EQ(dev->SetVolume(0), kWaveOk);
  EXPECT_EQ(dev->Close(), kWaveOk);
  // The volume belongs to the process, not to the device.
  EXPECT_EQ(GetDeviceVolume(), 0u);
  std::unique_ptr<WaveDevice> other;
  ASSERT_EQ(OpenWaveDevice(other, 0, {1, 44100, 16}), kWaveOk);
  other->GetVolume(v);
  EXPECT_EQ(v, 0u);
}

TEST_F(AudioTest, OpenFailuresAreResults) {
  ASSERT_TRUE(SelectBackend("null"));
  std::unique_ptr<WaveDevice> dev;
  EXPECT_EQ(OpenWaveDevice(dev, 3, {2, 44100, 16}), kWaveBadDeviceId);
  EXPECT_EQ(OpenWaveDevice(dev, -1, {3, 44100, 16}), kWaveBadFormat);
  EXPECT_EQ(OpenWaveDevice(dev, -1, {2, 44100, 24}), kWaveBadFormat);
  EXPECT_FALSE(dev);
  ASSERT_TRUE(SelectBackend("wav:/nonexistent-dir/x.wav"));
  WaveResult r = OpenWaveDevice(dev, -1, {2, 44100, 16});
  EXPECT_NE(r, kWaveOk);
  std::string text;
  ASSERT_TRUE(WaveErrorText(r, text));
  EXPECT_NE(text.find("/nonexistent-dir/x.wav"), std::string::npos) << text;
  EXPECT_FALSE(WaveErrorText(12345, text));
  // An ALSA PCM that does not exist fails to open; it does not crash or hang.
  ASSERT_TRUE(SelectBackend("alsa:sorrel_no_such_pcm"));
  EXPECT_NE(OpenWaveDevice(dev, -1, {2, 44100, 16}), kWaveOk);
  EXPECT_FALSE(dev);
}

TEST_F(AudioTest, BuffersComeBackInOrderAndHeadersGuardTheirState) {
  ASSERT_TRUE(SelectBackend("null:fast"));
  std::vector<int> order;
  std::mutex m;
  std::unique_ptr<WaveDevice> dev;
  ASSERT_EQ(OpenWaveDevice(dev, -1, {2, 44100, 16},
                           [&](WaveHeader* h) {
                             std::lock_guard l(m);
                             order.push_back(int(h->user));
                           }),
            kWaveOk);
  std::vector<uint8_t> data(4 * 4410);
  WaveHeader h[4];
  for (int i = 0; i < 4; ++i) {
    h[i].data = data.data();
    h[i].bufferLength = uint32_t(data.size());
    h[i].user = uintptr_t(i);
    EXPECT_EQ(dev->Write(h[i]), kWaveUnprepared);
    ASSERT_EQ(dev->PrepareHeader(h[i]), kWaveOk);
  }
  for (auto& x : h) ASSERT_EQ(dev->Write(x), kWaveOk);
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard l(m);
    return order.size() == 4;
  }));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  for (auto& x : h) {
    EXPECT_TRUE(x.flags & kHeaderDone);
    EXPECT_EQ(dev->UnprepareHeader(x), kWaveOk);
  }
  uint64_t pos = 0;
  ASSERT_EQ(dev->GetPosition(pos), kWaveOk);
  EXPECT_EQ(pos, 4u * data.size());
  EXPECT_EQ(dev->Close(), kWaveOk);
  EXPECT_EQ(dev->Write(h[0]), kWaveInvalidHandle);
}

TEST_F(AudioTest, NullPacesOnItsClockPauseHoldsAndResetReturnsEverything) {
  ASSERT_TRUE(SelectBackend("null"));
  TFakeClock clock;
  Counter c;
  std::unique_ptr<WaveDevice> dev;
  ASSERT_EQ(OpenWaveDevice(dev, -1, {2, 8000, 16}, c.cb(), clock), kWaveOk);
  constexpr uint64_t kSlice = 640;   // 20 ms
  std::vector<uint8_t> data(32000);  // 1 s each
  WaveHeader h[3];
  for (auto& x : h) {
    x.data = data.data();
    x.bufferLength = uint32_t(data.size());
    dev->PrepareHeader(x);
    dev->Write(x);
  }
  ASSERT_TRUE(clock.WaitForSleepers(1));
  uint64_t pos = 1;
  dev->GetPosition(pos);
  EXPECT_EQ(pos, 0u);  // no time has passed
  // 150 ms at one go: the pacing thread wakes late once and makes up for it, as a device
  // that kept playing; the slice playing at 150 ms does not count yet.
  clock.Advance(150'000);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  dev->GetPosition(pos);
  EXPECT_EQ(pos, 7 * kSlice);
  EXPECT_EQ(c.done.load(), 0);
  EXPECT_EQ(dev->UnprepareHeader(h[0]), kWaveStillPlaying);
  EXPECT_EQ(dev->Close(), kWaveStillPlaying);

  // Paused: ten seconds go by, the three seconds queued stay queued.
  ASSERT_EQ(dev->Pause(), kWaveOk);
  uint64_t paused = 0, later = 0;
  dev->GetPosition(paused);
  EXPECT_LE(paused, 8 * kSlice);  // at most the slice it was playing
  clock.Advance(10'000'000);
  dev->GetPosition(later);
  EXPECT_EQ(later, paused);
  EXPECT_EQ(c.done.load(), 0);
  // Restarted, it plays on from now, not from where the pause began.
  ASSERT_EQ(dev->Restart(), kWaveOk);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  clock.Advance(100'000);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  dev->GetPosition(pos);
  EXPECT_EQ(pos, paused + 5 * kSlice);

  ASSERT_EQ(dev->Reset(), kWaveOk);
  EXPECT_EQ(c.done.load(), 3);  // handed back before Reset returns
  dev->GetPosition(pos);
  EXPECT_EQ(pos, 0u);
  EXPECT_EQ(dev->Close(), kWaveOk);
}

TEST_F(AudioTest, NullStartsAfreshAfterAnIdleStretch) {
  // Nothing queued for a while is silence, not time the next buffer may use up.
  ASSERT_TRUE(SelectBackend("null"));
  TFakeClock clock;
  Counter c;
  std::unique_ptr<WaveDevice> dev;
  ASSERT_EQ(OpenWaveDevice(dev, -1, {1, 8000, 16}, c.cb(), clock), kWaveOk);
  std::vector<uint8_t> data(1600);  // 100 ms
  WaveHeader h;
  h.data = data.data();
  h.bufferLength = uint32_t(data.size());
  dev->PrepareHeader(h);
  clock.Advance(5'000'000);
  ASSERT_EQ(dev->Write(h), kWaveOk);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  clock.Advance(99'999);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(c.done.load(), 0);
  clock.Advance(1);
  ASSERT_TRUE(WaitFor([&] { return c.done.load() == 1; }));
  uint64_t pos = 0;
  dev->GetPosition(pos);
  EXPECT_EQ(pos, 1600u);
  EXPECT_EQ(dev->Close(), kWaveOk);
}

TEST_F(AudioTest, WavBackendWritesWhatWouldBeHeardWithTheVolumeApplied) {
  std::string path = std::string(SORREL_BUILD_DIR) + "/audio_test_out.wav";
  ASSERT_TRUE(SelectBackend("wav:" + path));
  // Left at half, right full.
  SetDeviceVolume(0xFFFF0000u | 32768u);
  Counter c;
  std::unique_ptr<WaveDevice> dev;
  ASSERT_EQ(OpenWaveDevice(dev, -1, {2, 22050, 16}, c.cb()), kWaveOk);
  std::vector<int16_t> s = {1000, 1000, -32768, 32767, 3, -3};
  WaveHeader h;
  h.data = reinterpret_cast<uint8_t*>(s.data());
  h.bufferLength = uint32_t(s.size() * 2);
  dev->PrepareHeader(h);
  ASSERT_EQ(dev->Write(h), kWaveOk);
  ASSERT_TRUE(WaitFor([&] { return c.done.load() == 1; }));
  dev->UnprepareHeader(h);
  ASSERT_EQ(dev->Close(), kWaveOk);
  auto f = ReadFile(path);
  ASSERT_EQ(f.size(), 44u + 12u);
  EXPECT_EQ(std::memcmp(f.data(), "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(f.data() + 8, "WAVEfmt ", 8), 0);
  uint32_t dataLen, rate;
  std::memcpy(&dataLen, f.data() + 40, 4);
  std::memcpy(&rate, f.data() + 24, 4);
  EXPECT_EQ(dataLen, 12u);
  EXPECT_EQ(rate, 22050u);
  int16_t out[6];
  std::memcpy(out, f.data() + 44, 12);
  EXPECT_EQ(out[0], 500);   // 1000 * 32768 / 65535, truncated
  EXPECT_EQ(out[1], 1000);  // right untouched
  EXPECT_EQ(out[2], -16384);
  EXPECT_EQ(out[3], 32767);
  EXPECT_EQ(out[4], 1);
  EXPECT_EQ(out[5], -3);
  // The caller's buffer is never scaled in place.
  EXPECT_EQ(s[0], 1000);
  std::remove(path.c_str());
}

TEST_F(AudioTest, EightBitSamplesScaleAroundTheirMidpoint) {
  std::string path = std::string(SORREL_BUILD_DIR) + "/audio_test_out8.wav";
  ASSERT_TRUE(SelectBackend("wav:" + path));
  SetDeviceVolume(0);
  Counter c;
  std::unique_ptr<WaveDevice> dev;
  ASSERT_EQ(OpenWaveDevice(dev, -1, {1, 8000, 8}, c.cb()), kWaveOk);
  uint8_t s[4] = {0, 255, 128, 200};
  WaveHeader h;
  h.data = s;
  h.bufferLength = 4;
  dev->PrepareHeader(h);
  dev->Write(h);
  ASSERT_TRUE(WaitFor([&] { return c.done.load() == 1; }));
  dev->Close();
  auto f = ReadFile(path);
  ASSERT_EQ(f.size(), 48u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f[44 + i], 128) << i;
  std::remove(path.c_str());
}

TEST_F(AudioTest, DeviceThatFailsWhilePlayingGivesBuffersBackAndReportsErrors) {
  // /dev/full opens and then refuses every write, like a device that went away.
  ASSERT_TRUE(SelectBackend("wav:/dev/full"));
  Counter c;
  std::unique_ptr<WaveDevice> dev;
  ASSERT_EQ(OpenWaveDevice(dev, -1, {2, 44100, 16}, c.cb()), kWaveOk);
  std::vector<uint8_t> data(44100 * 4);
  WaveHeader h[2];
  // The first write is taken; the second races with the device thread's first
  // failure and may already be refused.  Every buffer taken must come back.
  int taken = 0;
  for (auto& x : h) {
    x.data = data.data();
    x.bufferLength = uint32_t(data.size());
    dev->PrepareHeader(x);
    const WaveResult r = dev->Write(x);
    if (taken == 0)
      ASSERT_EQ(r, kWaveOk);
    else
      EXPECT_TRUE(r == kWaveOk || r == kWaveError) << r;
    if (r == kWaveOk) ++taken;
  }
  ASSERT_TRUE(WaitFor([&] { return c.done.load() == taken; }));
  EXPECT_EQ(dev->Write(h[0]), kWaveError);
  std::string text;
  ASSERT_TRUE(WaveErrorText(kWaveError, text));
  EXPECT_NE(text.find("/dev/full"), std::string::npos) << text;
  uint64_t pos;
  EXPECT_EQ(dev->GetPosition(pos), kWaveError);
  EXPECT_EQ(dev->Pause(), kWaveError);
  EXPECT_EQ(dev->Reset(), kWaveOk);
  EXPECT_EQ(dev->Close(), kWaveOk);
}

TEST_F(AudioTest, AlsaBackendOnTheNullPcmPlaysPausesResetsAndCloses) {
  // ALSA's own "null" PCM needs no sound card, so the ALSA path runs everywhere.
  ASSERT_TRUE(SelectBackend("alsa:null"));
  Counter c;
  std::unique_ptr<WaveDevice> dev;
  WaveResult r = OpenWaveDevice(dev, -1, {2, 44100, 16}, c.cb());
  if (r != kWaveOk) GTEST_SKIP() << "no ALSA null PCM here";
  std::vector<uint8_t> data(44100);
  WaveHeader h[3];
  for (auto& x : h) {
    x.data = data.data();
    x.bufferLength = uint32_t(data.size());
    dev->PrepareHeader(x);
    ASSERT_EQ(dev->Write(x), kWaveOk);
  }
  ASSERT_TRUE(WaitFor([&] { return c.done.load() == 3; }));
  uint64_t pos = 0;
  EXPECT_EQ(dev->GetPosition(pos), kWaveOk);
  EXPECT_LE(pos, 3u * data.size());
  EXPECT_EQ(dev->Pause(), kWaveOk);
  EXPECT_EQ(dev->Write(h[0]), kWaveOk);
  EXPECT_EQ(dev->Restart(), kWaveOk);
  EXPECT_EQ(dev->Reset(), kWaveOk);
  ASSERT_TRUE(WaitFor([&] { return c.done.load() == 4; }));
  EXPECT_EQ(dev->Close(), kWaveOk);
}
