// The sound output over the null backends: buffers, flush, reset, balance and volume,
// positions, failures with their texts.  The paced device and the position interval run
// on virtual time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "engine/SoundOut.h"
#include "platform/audio/WaveOut.h"

using namespace sorrel::engine;
using namespace sorrel::audio;
using sorrel::base::TFakeClock;

using namespace std::chrono_literals;
namespace audio = sorrel::audio;

namespace {

struct SoundOutTest : ::testing::Test {
  void SetUp() override { audio::SetDeviceVolume(0xFFFFFFFFu); }
  void TearDown() override { audio::SetDeviceVolume(0xFFFFFFFFu); }
};

}  // namespace

TEST_F(SoundOutTest, BufferSizeIsAQuarterOf3200msRoundedToFour) {
  ASSERT_TRUE(audio::SelectBackend("null"));
  TSoundOut o;
  o.Open();
  EXPECT_EQ(o.BufferSize(), 141120);
  o.Close();
  o.SetSampleRate(22050);
  o.SetChannels(1);
  o.SetBits(8);
  o.SetBits(24);     // ignored
  o.SetChannels(3);  // ignored
  o.SetSampleRate(0);
  EXPECT_EQ(o.SampleRate(), 22050);
  o.Open();
  EXPECT_EQ(o.BufferSize(), 17640);  // 22050 * 0.8
  o.Close();
  o.SetSampleRate(11025);
  o.Open();
  EXPECT_EQ(o.BufferSize(), 8820);  // 8820 exactly
  o.Close();
  o.SetSampleRate(8001);
  o.Open();
  EXPECT_EQ(o.BufferSize() % 4, 0);
  EXPECT_GE(o.BufferSize(), 8001 * 32 / 40);
  o.Close();
}

TEST_F(SoundOutTest, WritingOverFourBuffersStopsAtTheFourth) {
  ASSERT_TRUE(audio::SelectBackend("null"));
  TFakeClock clock;  // never advanced: the device holds on to every buffer
  TSoundOut o(clock);
  o.SetSampleRate(8000);
  o.SetChannels(1);
  o.Open();
  const int bs = o.BufferSize();
  EXPECT_EQ(o.FreePercent(), 100);
  std::vector<uint8_t> data(size_t(bs) * 6, 0);
  int taken = o.Write(data.data(), int(data.size()));
  EXPECT_EQ(taken, 4 * bs);
  EXPECT_EQ(o.Queued(), 4);
  EXPECT_FALSE(o.HasSpace());
  EXPECT_EQ(o.FreePercent(), 0);
  EXPECT_EQ(o.Write(data.data(), 10), 0);
  // Reset hands every buffer back; WaitIdle then returns.
  o.Reset();
  o.WaitIdle();
  EXPECT_EQ(o.Queued(), 0);
  EXPECT_EQ(o.FreePercent(), 100);
  // A part-filled buffer counts in the free share.
  EXPECT_EQ(o.Write(data.data(), bs / 2), bs / 2);
  EXPECT_EQ(o.FreePercent(), (3 * bs + bs / 2) * 100 / (4 * bs));
  o.Reset();
  o.Close();
  EXPECT_EQ(o.FreePercent(), 0);
}

TEST_F(SoundOutTest, FlushSubmitsOnlyAPartialBufferAndTheSpaceEventFires) {
  ASSERT_TRUE(audio::SelectBackend("null:fast"));
  TSoundOut o;
  o.Open();
  o.Flush();  // nothing to submit
  EXPECT_EQ(o.Queued(), 0);
  EXPECT_EQ(o.GetDoneBytes(), 0);
  std::vector<uint8_t> data(1000, 0);
  ASSERT_EQ(o.Write(data.data(), 1000), 1000);
  EXPECT_EQ(o.GetDoneBytes(), 0);  // not submitted yet
  o.Flush();
  o.WaitIdle();
  EXPECT_EQ(o.GetDoneBytes(), 1000);
  EXPECT_EQ(o.GetDoneBytes(), 0);  // the difference to the last reading
  TMPSimpleEvent space;
  o.SetSpaceEvent(&space);  // room now: set at once
  EXPECT_EQ(space.WaitFor(0), TMPEvent::kSignaled);
  o.Close();
}

TEST_F(SoundOutTest, SpaceEventIsSetWhenABufferComesBack) {
  ASSERT_TRUE(audio::SelectBackend("null"));
  TFakeClock clock;
  TSoundOut o(clock);
  o.SetSampleRate(40000);  // 4 buffers of 0.8 s
  o.SetChannels(1);
  o.SetBits(8);
  o.Open();
  std::vector<uint8_t> data(size_t(o.BufferSize()) * 4, 128);
  ASSERT_EQ(o.Write(data.data(), int(data.size())), int(data.size()));
  TMPSimpleEvent space;
  o.SetSpaceEvent(&space);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  clock.Advance(799'999);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_FALSE(space.IsSet());
  clock.Advance(1);  // the first buffer has played
  EXPECT_EQ(space.WaitFor(5000), TMPEvent::kSignaled);
  EXPECT_TRUE(o.HasSpace());
  o.Reset();
  o.Close();
}

TEST_F(SoundOutTest, PositionCallbackNeedsMoreThanTheInterval) {
  ASSERT_TRUE(audio::SelectBackend("null"));
  TFakeClock clock;
  TSoundOut o(clock);
  std::atomic<int> calls{0};
  o.SetPositionCallback([&] { ++calls; });
  o.SetNotifyInterval(100);
  o.Open();
  std::vector<uint8_t> data(size_t(o.BufferSize()), 0);  // 0.8 s
  o.Write(data.data(), int(data.size()));
  // The paced device and the output thread's time-out wait on the clock.
  ASSERT_TRUE(clock.WaitForSleepers(2));
  auto step = [&](int64_t micros, int sleepers) {
    clock.Advance(micros);
    return clock.WaitForSleepers(sleepers);
  };
  // Time-outs of exactly the interval: exactly the interval is not more than it, so
  // every second one calls.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(step(100'000, 2));
  EXPECT_EQ(calls, 2);
  // A microsecond more and each one does.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(step(100'001, 2));
  EXPECT_EQ(calls, 5);
  // "Never": not from the time-out, nor when the buffer comes back.
  o.SetNotifyInterval(TSoundOut::kNever);
  clock.Advance(150'000);
  ASSERT_TRUE(o.WaitIdleFor(5000));
  EXPECT_EQ(calls, 5);
  o.Close();
}

TEST_F(SoundOutTest, BalanceAndVolumeGiveTheDeviceValue) {
  EXPECT_EQ(TSoundOut::DeviceValue(50, 0), 32768u | (32768u << 16));
  EXPECT_EQ(TSoundOut::DeviceValue(100, 0), 0xFFFFFFFFu);
  EXPECT_EQ(TSoundOut::DeviceValue(100, -100), 0x0000FFFFu);  // right silenced
  EXPECT_EQ(TSoundOut::DeviceValue(100, 100), 0xFFFF0000u);   // left silenced
  EXPECT_EQ(TSoundOut::DeviceValue(100, -50), 0xFFFFu | (32768u << 16));
  EXPECT_EQ(TSoundOut::DeviceValue(0, 0), 0u);
  ASSERT_TRUE(audio::SelectBackend("null"));
  TSoundOut o;
  o.SetVolume(50);
  o.SetBalance(-100);
  o.SetVolume(101);    // ignored
  o.SetBalance(-101);  // ignored
  EXPECT_EQ(o.Volume(), 50);
  EXPECT_EQ(o.Balance(), -100);
  o.Open();  // applied to the device at open
  EXPECT_EQ(audio::GetDeviceVolume(), 32768u);
  o.SetBalance(100);  // and at once while open
  EXPECT_EQ(audio::GetDeviceVolume(), 32768u << 16);
  o.Close();
}

TEST_F(SoundOutTest, VolumeIsReadFromTheDeviceAtConstruction) {
  ASSERT_TRUE(audio::SelectBackend("null"));
  audio::SetDeviceVolume(0x4000u | (0x8000u << 16));
  TSoundOut o;
  EXPECT_EQ(o.Volume(), 50);  // the louder side: (32768 * 100 + 32767) / 65535
  audio::SetDeviceVolume(0);
  TSoundOut quiet;
  EXPECT_EQ(quiet.Volume(), 0);
  ASSERT_TRUE(audio::SelectBackend("wav:/nonexistent-dir/x.wav"));
  audio::SetDeviceVolume(0xFFFFFFFFu);
  TSoundOut failing;  // the device cannot open: the process value still counts
  EXPECT_EQ(failing.Volume(), 100);
}

TEST_F(SoundOutTest, FailuresRaiseTheirOperationTexts) {
  ASSERT_TRUE(audio::SelectBackend("wav:/nonexistent-dir/x.wav"));
  TSoundOut o;
  try {
    o.Open();
    FAIL() << "opened";
  } catch (const EMPError& e) {
    std::string m = e.what();
    EXPECT_NE(m.find("/nonexistent-dir/x.wav"), std::string::npos) << m;
    EXPECT_EQ(m.substr(m.size() - 28), "(TSoundOut.Open:WaveOutOpen)") << m;
  }
  EXPECT_FALSE(o.Opened());
  // A device that fails while playing: Write raises, Close still completes.
  ASSERT_TRUE(audio::SelectBackend("wav:/dev/full"));
  o.Open();
  std::vector<uint8_t> data(size_t(o.BufferSize()) * 2, 0);
  o.Write(data.data(), o.BufferSize());
  o.WaitIdle();  // the failed device gives its buffer back
  std::string caught;
  try {
    o.Write(data.data(), int(data.size()));
    o.Flush();
  } catch (const EMPError& e) {
    caught = e.what();
  }
  EXPECT_NE(caught.find("(TSoundOut.WaveWrite)"), std::string::npos) << caught;
  EXPECT_THROW(o.GetDoneBytes(), EMPError);
  EXPECT_THROW(o.Pause(), EMPError);
  o.Close();
  EXPECT_FALSE(o.Opened());
}

TEST_F(SoundOutTest, PauseHoldsThePositionAndCloseWhilePausedDoesNotHang) {
  ASSERT_TRUE(audio::SelectBackend("null"));
  TFakeClock clock;
  TSoundOut o(clock);
  o.SetSampleRate(8000);
  o.SetChannels(1);
  o.Open();
  std::vector<uint8_t> data(size_t(o.BufferSize()), 0);
  o.Write(data.data(), int(data.size()));
  ASSERT_TRUE(clock.WaitForSleepers(1));
  clock.Advance(100'000);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(o.GetDoneBytes(), 1600);  // 100 ms of 8 kHz, 16-bit mono
  o.Pause();
  const int64_t a = o.GetDoneBytes();  // the slice that was playing, if it counted
  clock.Advance(1'000'000);
  EXPECT_EQ(o.GetDoneBytes(), 0);
  EXPECT_LE(a, 320);
  // Closing plays out the rest of the 0.8 s, then closes.
  clock.SetAutoAdvance(true);
  o.Close();
  EXPECT_FALSE(o.Opened());
}
