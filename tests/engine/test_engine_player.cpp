// TMP3Player end to end on the null and wav backends: opening, playing to the end,
// seeking, pausing, events and their coalescing, failures, and hostile files.  The paced
// device and the position interval run on virtual time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "engine/MP3Player.h"
#include "platform/audio/WaveOut.h"
#include "tests/common/Files.h"

using namespace sorrel::engine;
using namespace sorrel::decoder;
using namespace sorrel::audio;
using sorrel::base::TFakeClock;

using namespace std::chrono_literals;
namespace audio = sorrel::audio;
namespace fs = std::filesystem;

using sorrel::test::ReadBytes;
using sorrel::test::WriteBytes;

namespace {

using sorrel::test::Bytes;

std::string Data(const std::string& name) { return std::string(SORREL_TEST_DATA) + "/engine/" + name; }

// PCM samples of a WAV file (header skipped).
Bytes Pcm(const std::string& wav) {
  Bytes b = ReadBytes(wav);
  if (b.size() < 44) return {};
  return Bytes(b.begin() + 44, b.end());
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(SORREL_BUILD_DIR) / "engine_test_tmp" /
           (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(getpid()));
    fs::create_directories(dir_);
    audio::SetDeviceVolume(0xFFFFFFFFu);
    SetMPExceptionDisplay([this](const std::exception_ptr& e) { shown_.push_back(MPExceptionMessage(e)); });
    Use("null:fast");
  }
  void TearDown() override {
    player_.reset();
    SetMPExceptionDisplay(nullptr);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  void Use(const std::string& backend) { ASSERT_TRUE(audio::SelectBackend(backend)); }

  TMP3Player& Player() {
    if (!player_) {
      player_ = std::make_unique<TMP3Player>(loop_, clock_);
      player_->OnEndPlay = [this](TMP3PlayerIntf* p, TMP3EndPlayReason r) {
        EXPECT_EQ(p, player_.get());
        ends_.push_back(r);
      };
      player_->OnChangeStatus = [this](TMP3PlayerIntf*) { ++statusEvents_; };
      player_->OnChangePosition = [this](TMP3PlayerIntf*) { ++positionEvents_; };
    }
    return *player_;
  }

  std::string Tmp(const std::string& name) const { return (dir_ / name).string(); }

  bool WaitEnd(uint32_t ms = 15000) {
    return loop_.RunUntil([this] { return !ends_.empty(); }, ms);
  }

  // Plays a file to its end through wav:OUT and returns the PCM written.
  Bytes PlayToWav(const std::string& file) {
    std::string out = Tmp("out.wav");
    Use("wav:" + out);
    loop_.RunFor(10);  // what the last song still had to say
    ends_.clear();
    Player().SetFileName(file);
    EXPECT_TRUE(WaitEnd());
    EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merEndOfFile});
    Use("null:fast");
    return Pcm(out);
  }

  Bytes Reference(const std::string& file) {
    std::string tool = std::string(SORREL_BUILD_DIR) + "/tools/decode/sorrel-decode";
    std::string out = Tmp("ref.wav");
    std::string cmd = "'" + tool + "' '" + file + "' '" + out + "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return Pcm(out);
  }

  TMPRunLoop loop_;
  TFakeClock clock_;
  std::unique_ptr<TMP3Player> player_;
  std::vector<TMP3EndPlayReason> ends_;
  std::vector<std::string> shown_;
  int statusEvents_ = 0;
  int positionEvents_ = 0;
  fs::path dir_;
};

}  // namespace

TEST_F(PlayerTest, WholeFilesThroughWavEqualSorrelDecodeSampleForSample) {
  for (const char* name : {"plain_cbr.mp3", "vbr_xing.mp3", "mono22k_8s.mp3", "layer2.mp2"}) {
    SCOPED_TRACE(name);
    Bytes played = PlayToWav(Data(name));
    Bytes ref = Reference(Data(name));
    ASSERT_GT(ref.size(), 10000u);
    EXPECT_EQ(played.size(), ref.size());
    EXPECT_TRUE(played == ref);
    EXPECT_GE(positionEvents_, 1);
    EXPECT_FALSE(Player().IsOpened() && Player().Status() != mpsStopped);
  }
}

TEST_F(PlayerTest, AssigningFileNamePlaysAtOnceAndAnEmptyNameCloses) {
  Use("null");
  TMP3Player& p = Player();
  p.SetFileName(Data("mono22k_8s.mp3"));
  EXPECT_TRUE(p.IsOpened());
  EXPECT_EQ(p.Status(), mpsPlaying);
  EXPECT_EQ(p.FileName(), Data("mono22k_8s.mp3"));
  EXPECT_EQ(p.Title(), "mono22k_8s.mp3");  // no tags: the file part of the name
  EXPECT_EQ(p.SampleRate(), 22050);
  EXPECT_EQ(p.Channels(), 1);
  EXPECT_EQ(p.Layer(), 3);
  EXPECT_EQ(p.Version(), 2);
  // The device plays; the output thread waits out its interval.
  ASSERT_TRUE(clock_.WaitForSleepers(2));
  EXPECT_EQ(p.Position(), 0);
  clock_.Advance(300'000);
  ASSERT_TRUE(clock_.WaitForSleepers(2));
  EXPECT_EQ(p.Position(), 300);
  p.SetFileName("");
  EXPECT_FALSE(p.IsOpened());
  EXPECT_EQ(p.Status(), mpsStopped);
  EXPECT_EQ(p.FileName(), "");
  loop_.RunFor(20);
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merStop});
  EXPECT_EQ(p.Capabilities(), mpcOpen);
}

TEST_F(PlayerTest, NoSyncInTheFirst4096BytesFailsAndLeavesThePlayerClosed) {
  Bytes f(5000, 0);
  Bytes mp3 = ReadBytes(Data("plain_cbr.mp3"));
  f.insert(f.end(), mp3.begin(), mp3.end());
  WriteBytes(Tmp("late.mp3"), f);
  TMP3Player& p = Player();
  try {
    p.SetFileName(Tmp("late.mp3"));
    FAIL() << "opened";
  } catch (const EMPError& e) {
    EXPECT_STREQ(e.what(), "unknown MPEG Audio format.");
  }
  EXPECT_FALSE(p.IsOpened());
  EXPECT_EQ(p.FileName(), "");
  EXPECT_EQ(p.Status(), mpsStopped);
  // A file that does not exist fails with the system's reason, also closed.
  EXPECT_THROW(p.SetFileName(Tmp("missing.mp3")), EMPError);
  EXPECT_EQ(p.FileName(), "");
  EXPECT_FALSE(p.IsOpened());
}

TEST_F(PlayerTest, JunkBeforeTheFirstFrameIsCountedOutAndNeverPlayed) {
  Bytes mp3 = ReadBytes(Data("plain_cbr.mp3"));
  Bytes f(1000, 0x11);
  f.insert(f.end(), mp3.begin(), mp3.end());
  WriteBytes(Tmp("junk.mp3"), f);
  Use("null");
  TMP3Player& p = Player();
  p.SetFileName(Tmp("junk.mp3"));
  EXPECT_EQ(p.DataStart(), 1000);
  EXPECT_EQ(p.DataLength(), int64_t(mp3.size()));
  p.SetFileName("");
  Use("null:fast");
  EXPECT_TRUE(PlayToWav(Tmp("junk.mp3")) == Reference(Data("plain_cbr.mp3")));
}

TEST_F(PlayerTest, DurationFromTheXingFrameCountOrFromTheBitRate) {
  Use("null");
  TMP3Player& p = Player();
  p.SetAutoPlay(false);
  p.SetFileName(Data("vbr_xing.mp3"));
  EXPECT_EQ(p.BitRate(), 0);  // a VBR file
  int xing = p.Duration();
  Bytes ref = Reference(Data("vbr_xing.mp3"));
  int decodedMs = int(int64_t(ref.size()) * 1000 / (44100 * 4));
  EXPECT_GT(xing, 0);
  EXPECT_LE(std::abs(xing - decodedMs), 27) << xing << " vs " << decodedMs;
  p.SetFileName(Data("mono22k_8s.mp3"));
  EXPECT_EQ(p.BitRate(), 32000);
  EXPECT_EQ(p.Duration(), int(p.DataLength() * 8 * 1000 / 32000));
  EXPECT_NEAR(p.Duration(), 8070, 60);
}

TEST_F(PlayerTest, SeekBeyondTheEndLandsOnTheLastFrameAndBackUsesTheIndex) {
  Use("null");
  TMP3Player& p = Player();
  p.SetFileName(Data("mono22k_8s.mp3"));
  EXPECT_EQ(p.FrameIndexCount(), 1);
  p.Seek(600000);
  int frames = p.FrameIndexCount();
  EXPECT_EQ(frames, 309);
  EXPECT_EQ(p.Position(), int(int64_t(frames - 1) * 576 * 1000 / 22050));
  EXPECT_EQ(p.Status(), mpsPlaying);
  p.Seek(1000);
  EXPECT_EQ(p.FrameIndexCount(), frames);
  EXPECT_EQ(p.Position(), 39 * 576 * 1000 / 22050);  // the frame that holds 1000 ms
  p.Seek(-5);                                        // ignored
  const int at = p.Position();
  EXPECT_NEAR(at, 1000, 30);
  // Playing on from there, once the decoder has handed the device its first buffer.
  ASSERT_TRUE(loop_.RunUntil([&] { return p.OutputQueued() >= 2; }, 5000));
  clock_.Advance(200'000);
  EXPECT_TRUE(loop_.RunUntil([&] { return p.Position() == at + 200; }, 5000)) << p.Position() - at;
  // Seeking near the end plays out the rest and ends the song normally.
  p.Seek(7900);
  clock_.SetAutoAdvance(true);
  EXPECT_TRUE(WaitEnd(5000));
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merEndOfFile});
}

TEST_F(PlayerTest, SeekingWhilePausedStaysPaused) {
  Use("null");
  TMP3Player& p = Player();
  p.SetFileName(Data("mono22k_8s.mp3"));
  ASSERT_TRUE(clock_.WaitForSleepers(2));
  clock_.Advance(100'000);
  p.Pause();
  EXPECT_EQ(p.Status(), mpsPaused);
  EXPECT_EQ(p.Capabilities() & (mpcResume | mpcPause), mpcResume);
  p.Seek(2000);
  EXPECT_EQ(p.Status(), mpsPaused);
  int a = p.Position();
  clock_.Advance(300'000);
  EXPECT_EQ(p.Position(), a);
  EXPECT_NEAR(a, 2000, 30);
  p.Resume();
  ASSERT_TRUE(clock_.WaitForSleepers(1));
  clock_.Advance(300'000);
  ASSERT_TRUE(clock_.WaitForSleepers(1));
  EXPECT_EQ(p.Position(), a + 300);
}

TEST_F(PlayerTest, OutOfRangeSettingsAreIgnored) {
  TMP3Player& p = Player();
  p.SetVolume(60);
  p.SetVolume(101);
  EXPECT_EQ(p.Volume(), 60);
  p.SetVolBalance(-101);
  p.SetVolBalance(101);
  EXPECT_EQ(p.VolBalance(), 0);
  p.SetVolBalance(-100);
  EXPECT_EQ(p.VolBalance(), -100);
  p.SetChangePosStep(99);
  EXPECT_EQ(p.ChangePosStep(), 400);
  p.SetChangePosStep(100);
  EXPECT_EQ(p.ChangePosStep(), 100);
  p.SetEqualizerCount(0);
  EXPECT_EQ(p.EqualizerCount(), 6);
  p.SetEqualizerValue(3, 101);
  EXPECT_EQ(p.EqualizerValue(3), 0);
  EXPECT_THROW(p.SetEqualizerValue(32, 0), std::out_of_range);
  EXPECT_THROW(p.EqualizerFreq(-1), std::out_of_range);
  p.SetEqualizerFreq(0, 1000);  // only in memFreq mode
  EXPECT_EQ(p.EqualizerFreq(0), 0);
}

TEST_F(PlayerTest, VolumeZeroWhileLoadingKeepsTheDeviceVolume) {
  audio::SetDeviceVolume(0x8000u | (0x8000u << 16));
  TMP3Player p(loop_);
  p.BeginLoading();
  p.SetVolume(0);
  p.SetFileName(Data("plain_cbr.mp3"));  // only stored while loading
  EXPECT_FALSE(p.IsOpened());
  EXPECT_EQ(p.Volume(), 50);
  p.SetEqualizerMode(memFreq);
  p.SetEqualizerCount(10);
  p.Loaded();  // memFreq spreads the bands, then AutoOpen opens
  EXPECT_TRUE(p.IsOpened());
  const int expected[10] = {60, 112, 208, 387, 720, 1339, 2490, 4629, 8606, 16000};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p.EqualizerFreq(i), expected[i]) << i;
  p.Stop();
  // Volume 0 outside loading is a real 0.
  p.SetVolume(0);
  EXPECT_EQ(p.Volume(), 0);
}

TEST_F(PlayerTest, SeveralStatusChangesRaiseOneOnChangeStatus) {
  Use("null");
  TMP3Player& p = Player();
  p.SetAutoPlay(false);
  p.SetFileName(Data("mono22k_8s.mp3"));
  loop_.RunFor(20);
  statusEvents_ = 0;
  p.Play();
  p.Pause();
  p.Resume();
  p.Pause();
  EXPECT_EQ(statusEvents_, 0);  // raised on the owner thread, later
  loop_.RunFor(50);
  EXPECT_EQ(statusEvents_, 1);
  EXPECT_EQ(p.Status(), mpsPaused);
  // Stop after pause raises the end of play with the reason "stop".
  p.Stop();
  loop_.RunFor(20);
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merStop});
  EXPECT_EQ(p.Capabilities(), mpcOpen | mpcClose | mpcPlay | mpcStopped);
  EXPECT_EQ(p.Position(), 0);
}

TEST_F(PlayerTest, AnErrorInsideTheDecodeThreadEndsTheSongWithError) {
  Use("wav:/dev/full");  // the device fails on its first samples
  TMP3Player& p = Player();
  p.SetFileName(Data("mono22k_8s.mp3"));
  ASSERT_TRUE(WaitEnd(10000));
  loop_.RunFor(50);
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merError});
  ASSERT_EQ(shown_.size(), 1u);  // once, though the device stays broken
  EXPECT_NE(shown_[0].find("(TSoundOut.WaveWrite)"), std::string::npos) << shown_[0];
  EXPECT_TRUE(p.IsOpened());
  EXPECT_EQ(p.Status(), mpsStopped);
  // The player stays usable.
  Use("null:fast");
  ends_.clear();
  p.Play();
  ASSERT_TRUE(WaitEnd());
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merEndOfFile});
}

TEST_F(PlayerTest, ADeviceThatCannotOpenRaisesAndClosesThePlayer) {
  Use("wav:/nonexistent-dir/out.wav");
  TMP3Player& p = Player();
  try {
    p.SetFileName(Data("plain_cbr.mp3"));
    FAIL() << "played";
  } catch (const EMPError& e) {
    EXPECT_NE(std::string(e.what()).find("(TSoundOut.Open:WaveOutOpen)"), std::string::npos);
  }
  EXPECT_FALSE(p.IsOpened());
}

TEST_F(PlayerTest, EqualiserGainsForBothModes) {
  TMP3Player& p = Player();
  p.SetAutoPlay(false);
  p.SetFileName(Data("plain_cbr.mp3"));  // MPEG-2 Layer III, 24 kHz
  p.SetEqualizerValue(0, 100);
  p.SetEqualizerValue(31, -50);
  p.SetEqualizerEnabled(true);
  loop_.RunFor(20);
  const TMP3Decoder& d = p.Decoder();
  EXPECT_TRUE(d.GetEqEnabled32());
  EXPECT_FALSE(d.GetEqEnabled576());
  EXPECT_FLOAT_EQ(d.GetEqGain32(0), 10.0f);
  EXPECT_FLOAT_EQ(d.GetEqGain32(31), float(std::pow(10.0, -0.5)));
  EXPECT_FLOAT_EQ(d.GetEqGain32(5), 1.0f);
  EXPECT_EQ(p.EqualizerFreq(0), 188);     // 24000 / 64 * 0.5 = 187.5, to even
  EXPECT_EQ(p.EqualizerFreq(1), 562);     // 562.5
  EXPECT_EQ(p.EqualizerFreq(31), 11812);  // 11812.5
  p.SetEqualizerMode(memFreq);
  p.SetEqualizerCount(3);
  p.SetEqualizerFreqRange(100, 10000);
  EXPECT_EQ(p.EqualizerFreq(1), 1000);
  p.SetEqualizerValue(0, 20);
  p.SetEqualizerValue(1, 40);
  p.SetEqualizerValue(2, -20);
  loop_.RunFor(20);
  EXPECT_FALSE(d.GetEqEnabled32());
  EXPECT_TRUE(d.GetEqEnabled576());
  // Line k has its centre at round(24000 / 1152 * (k + 0.5)).
  EXPECT_FLOAT_EQ(d.GetEqGain576(0), float(std::pow(10.0, 0.2)));     // 10 Hz: band 100
  EXPECT_FLOAT_EQ(d.GetEqGain576(47), float(std::pow(10.0, 0.4)));    // 990 Hz: band 1000
  EXPECT_FLOAT_EQ(d.GetEqGain576(575), float(std::pow(10.0, -0.2)));  // 11990 Hz: band 10000
  // 316 Hz lies between 100 and 1000 in ratio equally: the lower band wins.
  p.SetEqualizerFreq(1, 1000);
  p.SetEqualizerEnabled(false);
  loop_.RunFor(20);
  EXPECT_FALSE(d.GetEqEnabled576());
}

TEST_F(PlayerTest, ARiffWaveFilePlaysItsDataChunkOnly) {
  Bytes mp3 = ReadBytes(Data("plain_cbr.mp3"));
  Bytes f;
  auto add = [&](const std::string& s) { f.insert(f.end(), s.begin(), s.end()); };
  auto le32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) f.push_back(uint8_t(v >> (8 * i)));
  };
  add("RIFF");
  le32(0);
  add("WAVEfmt ");
  le32(30);
  f.insert(f.end(), 30, 0);
  add("data");
  le32(uint32_t(mp3.size()));
  f.insert(f.end(), mp3.begin(), mp3.end());
  if (mp3.size() & 1) f.push_back(0);
  add("LIST");
  le32(4 + 8 + 6);
  add("INFOINAM");
  le32(6);
  add(std::string("Wave!\0", 6));
  // A trailing chunk of frame-like bytes that must not be played.
  Bytes tail(mp3.begin(), mp3.begin() + 2000);
  add("junk");
  le32(uint32_t(tail.size()));
  f.insert(f.end(), tail.begin(), tail.end());
  WriteBytes(Tmp("wave.wav"), f);
  Bytes played = PlayToWav(Tmp("wave.wav"));
  EXPECT_TRUE(played == Reference(Data("plain_cbr.mp3")));
  Use("null");
  Player().SetAutoPlay(false);
  Player().SetFileName(Tmp("wave.wav"));
  EXPECT_EQ(Player().Title(), "Wave!");
  Player().SetNeedInfoType(mitID3V1);
  EXPECT_EQ(Player().Title(), "wave.wav");
}

TEST_F(PlayerTest, AStreamThatCannotSeekPlaysToTheEndAndCloses) {
  Bytes mp3 = ReadBytes(Data("plain_cbr.mp3"));
  TMP3Player& p = Player();
  p.Open(std::make_unique<TMPMemoryStream>(mp3.data(), int64_t(mp3.size())), false);
  EXPECT_EQ(p.Duration(), int(p.DataLength() == kMPMaxInt ? 0 : p.Duration()));
  EXPECT_EQ(p.Capabilities() & mpcSeek, 0u);
  ASSERT_TRUE(WaitEnd());
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merEndOfFile});
  EXPECT_FALSE(p.IsOpened());
}

TEST_F(PlayerTest, AFileShrunkOrDeletedWhilePlayingEndsWithoutACrash) {
  // A file larger than the ring, so that playing still reads from it.
  Bytes one = ReadBytes(Data("plain_cbr.mp3"));
  Bytes big;
  while (big.size() < 3 * 1024 * 1024) big.insert(big.end(), one.begin(), one.end());
  WriteBytes(Tmp("big.mp3"), big);
  TMP3Player& p = Player();
  p.SetAutoPlay(false);
  p.SetFileName(Tmp("big.mp3"));
  int full = p.Duration();
  fs::resize_file(Tmp("big.mp3"), 100000);
  p.Play();
  ASSERT_TRUE(WaitEnd());
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merEndOfFile});
  EXPECT_LT(p.Position(), full / 2);

  // Shrunk while decoding.
  WriteBytes(Tmp("big.mp3"), big);
  p.SetFileName("");
  p.SetAutoPlay(true);
  loop_.RunFor(10);
  ends_.clear();
  p.SetFileName(Tmp("big.mp3"));
  std::this_thread::sleep_for(5ms);
  fs::resize_file(Tmp("big.mp3"), 200000);
  ASSERT_TRUE(WaitEnd());
  EXPECT_EQ(ends_.size(), 1u);

  // Deleted: the open file plays on to its end.
  WriteBytes(Tmp("gone.mp3"), one);
  ends_.clear();
  p.SetFileName(Tmp("gone.mp3"));
  fs::remove(Tmp("gone.mp3"));
  ASSERT_TRUE(WaitEnd());
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merEndOfFile});
}

TEST_F(PlayerTest, TruncatedCorruptedAndRandomFilesNeverCrashOrHang) {
  std::vector<Bytes> cases;
  for (const char* name : {"plain_cbr.mp3", "vbr_xing.mp3", "layer2.mp2"}) {
    Bytes f = ReadBytes(Data(name));
    for (size_t cut = 0; cut < f.size(); cut += 1024) cases.emplace_back(f.begin(), f.begin() + cut);
    std::mt19937 rng(1234);
    for (int k = 0; k < 8; ++k) {
      Bytes c = f;
      for (int j = 0; j < 40; ++j) c[rng() % c.size()] = uint8_t(rng());
      cases.push_back(c);
    }
  }
  std::mt19937 rng(99);
  for (int k = 0; k < 8; ++k) {
    Bytes r(4096 + rng() % 20000);
    for (auto& b : r) b = uint8_t(rng());
    // Random bytes with sync-like runs, the worst case for the frame search.
    for (int j = 0; j < 50; ++j) r[rng() % r.size()] = 0xFF;
    cases.push_back(r);
  }
  TMP3Player& p = Player();
  int opened = 0, refused = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    WriteBytes(Tmp("case.mp3"), cases[i]);
    ends_.clear();
    try {
      p.SetFileName(Tmp("case.mp3"));
    } catch (const EMPError& e) {
      EXPECT_STREQ(e.what(), "unknown MPEG Audio format.");
      ++refused;
      continue;
    }
    ++opened;
    ASSERT_TRUE(WaitEnd(20000)) << "hung on case " << i;
    EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merEndOfFile});
  }
  EXPECT_GT(opened, 20);
  EXPECT_GT(refused, 0);
}

namespace {

// A command from elsewhere (the bus, the keys) that reaches the owner thread through the
// same loop as the player's notifications.
struct Command : TMPNotifyTarget {
  TMPOwnerQueue& loop;
  std::function<void()> run;
  bool ran = false;
  Command(TMPOwnerQueue& q, std::function<void()> f) : loop(q), run(std::move(f)) {}
  ~Command() override { loop.Detach(this); }
  void HandleNotification(uint32_t, uintptr_t, intptr_t) override {
    ran = true;
    run();
  }
};

// An owned stream that tells when it is freed.
struct TrackedStream : TMPMemoryStream {
  bool& freed;
  TrackedStream(const Bytes& b, bool& f) : TMPMemoryStream(b.data(), int64_t(b.size())), freed(f) {}
  ~TrackedStream() override { freed = true; }
};

}  // namespace

TEST_F(PlayerTest, ACommandArrivingWithThePositionEventRunsFirstAndFindsNoPlayerOnTheStack) {
  // Opening posts the status and a position notification; the command arrives behind
  // them, so that handling the position means letting the command run first.
  enum Kind { kClose, kStop, kOtherSong, kDestroy };
  for (Kind kind : {kClose, kStop, kOtherSong, kDestroy}) {
    SCOPED_TRACE(kind);
    Use("null");
    ends_.clear();
    std::vector<std::string> log;
    TMP3Player& p = Player();
    p.OnChangeStatus = [&](TMP3PlayerIntf*) { log.push_back("status"); };
    p.OnChangePosition = [&](TMP3PlayerIntf* q) {
      log.push_back("position " + q->FileName() + " " + std::to_string(q->Status()) + " " +
                    std::to_string(q->Position()));
    };
    p.SetFileName(Data("mono22k_8s.mp3"));
    Command command(loop_, [&] {
      log.push_back("command");
      switch (kind) {
        case kClose:
          player_->Close();
          break;
        case kStop:
          player_->Stop();
          break;
        case kOtherSong:
          player_->SetFileName(Data("plain_cbr.mp3"));
          break;
        case kDestroy:
          player_.reset();
          break;
      }
    });
    loop_.Post(&command, 1);
    ASSERT_TRUE(loop_.RunUntil([&] { return command.ran; }, 5000));
    loop_.RunFor(30);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "status");
    EXPECT_EQ(log[1], "command");
    switch (kind) {
      case kClose:
        EXPECT_EQ(std::count(log.begin(), log.end(), "position  0 0"), 1);
        EXPECT_FALSE(player_->IsOpened());
        EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merStop});
        break;
      case kStop:
        EXPECT_EQ(std::count(log.begin(), log.end(), "position " + Data("mono22k_8s.mp3") + " 0 0"), 1);
        EXPECT_TRUE(player_->IsOpened());
        EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merStop});
        break;
      case kOtherSong:
        EXPECT_EQ(std::count(log.begin(), log.end(), "position " + Data("plain_cbr.mp3") + " 1 0"), 1);
        EXPECT_EQ(player_->Status(), mpsPlaying);
        EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merStop});
        break;
      case kDestroy:
        // Nothing is raised by a player that is gone.
        EXPECT_EQ(log.size(), 2u);
        EXPECT_TRUE(ends_.empty());
        break;
    }
    player_.reset();
  }
}

TEST_F(PlayerTest, TheErrorDisplayMayStartAnotherSongOrDestroyThePlayer) {
  // The display is the application's message box: it runs an event loop of its own,
  // in which the user may do anything.
  Use("wav:/dev/full");  // the device fails on its first samples
  TMP3Player& p = Player();
  SetMPExceptionDisplay([this](const std::exception_ptr& e) {
    shown_.push_back(MPExceptionMessage(e));
    Use("null");
    player_->SetFileName(Data("plain_cbr.mp3"));
  });
  p.SetFileName(Data("mono22k_8s.mp3"));
  ASSERT_TRUE(loop_.RunUntil([this] { return !shown_.empty(); }, 10000));
  loop_.RunFor(30);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_NE(shown_[0].find("(TSoundOut.WaveWrite)"), std::string::npos) << shown_[0];
  // The failed song ended by the switch; the new one is not ended by the old error.
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merStop});
  EXPECT_EQ(p.FileName(), Data("plain_cbr.mp3"));
  EXPECT_EQ(p.Status(), mpsPlaying);
  player_.reset();

  Use("wav:/dev/full");
  ends_.clear();
  shown_.clear();
  SetMPExceptionDisplay([this](const std::exception_ptr& e) {
    shown_.push_back(MPExceptionMessage(e));
    player_.reset();  // its decode thread still waits for this display to end
  });
  Player().SetFileName(Data("mono22k_8s.mp3"));
  ASSERT_TRUE(loop_.RunUntil([this] { return !player_; }, 10000));
  loop_.RunFor(30);
  EXPECT_EQ(shown_.size(), 1u);
  EXPECT_TRUE(ends_.empty());
}

TEST_F(PlayerTest, AStreamHandedOverIsFreedOnCloseAndOnFailureALentOneNever) {
  Use("null");
  const Bytes mp3 = ReadBytes(Data("plain_cbr.mp3"));
  const Bytes junk(6000, 0x00);
  TMP3Player& p = Player();
  p.SetAutoPlay(false);
  bool freed = false;
  p.Open(std::make_unique<TrackedStream>(mp3, freed), true);
  EXPECT_TRUE(p.IsOpened());
  EXPECT_FALSE(freed);
  p.Close();
  EXPECT_TRUE(freed);

  freed = false;
  EXPECT_THROW(p.Open(std::make_unique<TrackedStream>(junk, freed), true), EMPError);
  EXPECT_TRUE(freed);
  EXPECT_FALSE(p.IsOpened());

  // Opening another stream frees the one before.
  bool first = false, second = false;
  p.Open(std::make_unique<TrackedStream>(mp3, first), true);
  p.Open(std::make_unique<TrackedStream>(mp3, second), true);
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  p.Close();
  EXPECT_TRUE(second);

  // A lent stream outlives closing and failing, and can be read again afterwards.
  {
    bool lentFreed = false;
    TrackedStream lent(mp3, lentFreed);
    p.Open(lent, true);
    EXPECT_TRUE(p.IsOpened());
    p.Close();
    EXPECT_FALSE(lentFreed);
    EXPECT_EQ(lent.Seek(0, 0), 0);
    uint8_t head[2];
    EXPECT_EQ(lent.Read(head, 2), 2);
    EXPECT_EQ(head[0], mp3[0]);
    TrackedStream bad(junk, lentFreed);
    EXPECT_THROW(p.Open(bad, true), EMPError);
    EXPECT_FALSE(lentFreed);
  }
  EXPECT_THROW(p.Open(std::unique_ptr<TMPStream>(), true), std::invalid_argument);

  // Not seekable: the stream goes when the song ends and the player closes itself.
  Use("null:fast");
  freed = false;
  p.SetAutoPlay(true);
  p.Open(std::make_unique<TrackedStream>(mp3, freed), false);
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(p.IsOpened());
  EXPECT_TRUE(freed);
}

TEST_F(PlayerTest, EqualiserChangesWhilePlayingReachTheDecoder) {
  // The decode thread reads the gains frame by frame; the owner thread recomputes them.
  TMP3Player& p = Player();
  p.SetFileName(Data("vbr_xing.mp3"));
  p.SetEqualizerEnabled(true);
  for (int v = -100; v <= 100 && ends_.empty(); v += 20) {
    p.SetEqualizerValue(0, v);
    loop_.RunFor(2);
  }
  p.SetEqualizerValue(0, 50);
  ASSERT_TRUE(WaitEnd());
  loop_.RunFor(10);
  EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merEndOfFile});
  EXPECT_FLOAT_EQ(p.Decoder().GetEqGain32(0), float(std::pow(10.0, 0.5)));
}

TEST_F(PlayerTest, TrackNumberComesFromTheTagsLikeTheOtherTexts) {
  Bytes mp3 = ReadBytes(Data("plain_cbr.mp3"));
  // ID3v2.3 with TRCK "7/12" in front, ID3v1.1 with track 7 behind.
  const std::string id3v2(
      "ID3\3\0\0\0\0\0\17TRCK\0\0\0\5\0\0\0"
      "7/12",
      25);
  Bytes f(id3v2.begin(), id3v2.end());
  f.insert(f.end(), mp3.begin(), mp3.end());
  Bytes v1(128, 0);
  std::memcpy(v1.data(), "TAGSong", 7);
  v1[126] = 7;
  f.insert(f.end(), v1.begin(), v1.end());
  WriteBytes(Tmp("tagged.mp3"), f);
  TMP3Player& p = Player();
  p.SetAutoPlay(false);
  p.SetFileName(Tmp("tagged.mp3"));
  EXPECT_EQ(p.Title(), "Song");
  EXPECT_EQ(p.Track(), "7/12");  // the longer text wins
  p.SetNeedInfoType(mitID3V1);
  EXPECT_EQ(p.Track(), "7");
  p.SetNeedInfoType(mitRiff);
  EXPECT_EQ(p.Track(), "");
  p.SetFileName(Data("plain_cbr.mp3"));
  EXPECT_EQ(p.Track(), "");
}
