// Streams through the player and through sorrel-decode, which walk frames the same way:
// every conformance stream sample for sample, a LAME file against mpg123, files other
// players play (junk and false syncs before the first frame, a RIFF size of 0xFFFFFFFF,
// a damaged ID3v2.3 tag longer than the search window), and files that are not regular.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "engine/MP3Player.h"
#include "platform/audio/WaveOut.h"
#include "tests/common/Files.h"

using namespace sorrel::engine;
namespace audio = sorrel::audio;
namespace fs = std::filesystem;

using sorrel::test::ReadBytes;
using sorrel::test::WriteBytes;

namespace {

using sorrel::test::Bytes;

const std::string kDecode = std::string(SORREL_BUILD_DIR) + "/tools/decode/sorrel-decode";
const std::string kPlay = std::string(SORREL_BUILD_DIR) + "/tools/play/sorrel-play";

std::vector<int16_t> Samples(const Bytes& wav) {
  std::vector<int16_t> s;
  for (size_t i = 44; i + 1 < wav.size(); i += 2) s.push_back(int16_t(wav[i] | wav[i + 1] << 8));
  return s;
}

// Runs a shell command; its exit status (128 + signal when killed).
int Sh(const std::string& cmd) {
  const int rc = std::system(cmd.c_str());
  if (WIFEXITED(rc)) return WEXITSTATUS(rc);
  return WIFSIGNALED(rc) ? 128 + WTERMSIG(rc) : -1;
}

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(SORREL_BUILD_DIR) / "engine_test_tmp" /
           (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(getpid()));
    fs::create_directories(dir_);
    audio::SetDeviceVolume(0xFFFFFFFFu);
    SetMPExceptionDisplay([](const std::exception_ptr&) {});
    ASSERT_TRUE(audio::SelectBackend("null:fast"));
  }
  void TearDown() override {
    player_.reset();
    SetMPExceptionDisplay(nullptr);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  TMP3Player& Player() {
    if (!player_) {
      player_ = std::make_unique<TMP3Player>(loop_);
      player_->OnEndPlay = [this](TMP3PlayerIntf*, TMP3EndPlayReason r) { ends_.push_back(r); };
    }
    return *player_;
  }

  std::string Tmp(const std::string& name) const { return (dir_ / name).string(); }

  // Plays a file to its end through wav:OUT; the WAV file written.
  Bytes PlayToWav(const std::string& file) {
    const std::string out = Tmp("played.wav");
    EXPECT_TRUE(audio::SelectBackend("wav:" + out));
    loop_.RunFor(10);
    ends_.clear();
    Player().SetFileName(file);
    EXPECT_TRUE(loop_.RunUntil([this] { return !ends_.empty(); }, 60000)) << file;
    EXPECT_EQ(ends_, std::vector<TMP3EndPlayReason>{merEndOfFile}) << file;
    EXPECT_TRUE(audio::SelectBackend("null:fast"));
    return ReadBytes(out);
  }

  // sorrel-decode's WAV file (empty when it failed).
  Bytes Decode(const std::string& file) {
    const std::string out = Tmp("decoded.wav");
    std::remove(out.c_str());
    EXPECT_EQ(Sh("'" + kDecode + "' '" + file + "' '" + out + "' 2>/dev/null"), 0) << file;
    return ReadBytes(out);
  }

  TMPRunLoop loop_;
  std::unique_ptr<TMP3Player> player_;
  std::vector<TMP3EndPlayReason> ends_;
  fs::path dir_;
};

TEST_F(StreamTest, EveryConformanceStreamPlaysAsSorrelDecodeDecodesIt) {
  std::vector<fs::path> streams;
  for (const auto& e : fs::directory_iterator(fs::path(SORREL_TEST_DATA) / "vectors"))
    if (e.path().extension() == ".bit") streams.push_back(e.path());
  std::sort(streams.begin(), streams.end());
  ASSERT_GE(streams.size(), 30u);
  int layers[4] = {};
  for (const fs::path& s : streams) {
    SCOPED_TRACE(s.filename().string());
    const Bytes played = PlayToWav(s.string());
    ++layers[Player().Layer()];
    const Bytes decoded = Decode(s.string());
    ASSERT_GT(decoded.size(), 44u + 10000);
    // The headers differ only where the player's wav device leaves sizes to the end.
    ASSERT_EQ(played.size(), decoded.size());
    EXPECT_TRUE(std::equal(played.begin() + 44, played.end(), decoded.begin() + 44));
  }
  EXPECT_GT(layers[1], 0);
  EXPECT_GT(layers[2], 0);
  EXPECT_GT(layers[3], 0);
}

TEST_F(StreamTest, ALameConstantBitRateFileMatchesMpg123AndShowsItsTrueDuration) {
  // lame -b 128 --cbr --add-id3v2 of 2.000 s of two sines: an ID3v2 tag, LAME's "Info"
  // frame, 78 audio frames, an ID3v1 tag.
  const std::string file = std::string(SORREL_TEST_DATA) + "/engine/lame_cbr.mp3";
  TMP3Player& p = Player();
  p.SetAutoPlay(false);
  p.SetFileName(file);
  EXPECT_EQ(p.BitRate(), 128000);  // a constant bit rate, still
  EXPECT_NEAR(p.Duration(), 2000, 1152 * 1000 / 44100) << "from the Info frame's count";
  p.SetFileName("");
  p.SetAutoPlay(true);
  const std::vector<int16_t> played = Samples(PlayToWav(file));
  EXPECT_EQ(played.size(), 78u * 1152 * 2) << "the Info frame is not audio";
  EXPECT_TRUE(Samples(Decode(file)) == played);
  if (Sh("command -v mpg123 >/dev/null") != 0) {
    std::printf("mpg123 is not installed: the comparison with it is skipped\n");
    return;
  }
  const std::string ref = Tmp("mpg123.wav");
  ASSERT_EQ(Sh("mpg123 -q --no-gapless -w '" + ref + "' '" + file + "'"), 0);
  const std::vector<int16_t> want = Samples(ReadBytes(ref));
  ASSERT_EQ(played.size(), want.size());
  // Two independent decoders agree within rounding; one sample out of step would
  // differ by thousands.
  int maxDiff = 0;
  double energy = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    maxDiff = std::max(maxDiff, std::abs(played[i] - want[i]));
    energy += double(want[i]) * want[i];
  }
  EXPECT_LE(maxDiff, 4);
  EXPECT_GT(std::sqrt(energy / double(want.size())), 3000);
}

TEST_F(StreamTest, FilesOtherPlayersPlayArePlayedFromTheirFirstRealFrame) {
  const Bytes mp3 = ReadBytes(std::string(SORREL_TEST_DATA) + "/engine/plain_cbr.mp3");
  ASSERT_GT(mp3.size(), 10000u);
  const Bytes reference = PlayToWav(std::string(SORREL_TEST_DATA) + "/engine/plain_cbr.mp3");
  ASSERT_GT(reference.size(), 10000u);
  auto le32 = [](Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
  };
  struct Case {
    const char* name;
    Bytes before;
    int64_t dataStart;
  };
  std::vector<Case> cases;
  cases.push_back({"ff.mp3", {0xFF}, 1});
  cases.push_back(
      {"false-syncs.mp3", {0xFF, 0xE0, 0x12, 0xFF, 0xFF, 0xFF, 0xF5, 0xFF, 0xFB, 0x9C, 0x00}, 11});
  Bytes riff = {'R', 'I', 'F', 'F'};
  le32(riff, 0xFFFFFFFFu);
  for (char c : std::string("WAVEfmt ")) riff.push_back(uint8_t(c));
  le32(riff, 16);
  riff.insert(riff.end(), {0x55, 0, 2, 0});  // MPEG Layer III
  riff.resize(riff.size() + 12, 0);
  for (char c : std::string("data")) riff.push_back(uint8_t(c));
  le32(riff, 0xFFFFFFFFu);
  cases.push_back({"riff.wav", riff, int64_t(riff.size())});
  // An ID3v2.3 tag of 6 KiB whose second frame's size is damaged.
  Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x30, 0};  // 0x30 << 7 = 6144 bytes
  for (char c : std::string("TIT2")) tag.push_back(uint8_t(c));
  tag.insert(tag.end(), {0, 0, 0, 3, 0, 0, 0, 'A', 'b'});
  for (char c : std::string("TPE1")) tag.push_back(uint8_t(c));
  tag.insert(tag.end(), {0x7F, 0, 0, 0, 0, 0});
  tag.resize(10 + 6144, 0xFF);  // and false syncs where the tag would be searched
  cases.push_back({"damaged-tag.mp3", tag, 10 + 6144});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes f = c.before;
    f.insert(f.end(), mp3.begin(), mp3.end());
    const std::string path = Tmp(c.name);
    WriteBytes(path, f);
    TMP3Player& p = Player();
    p.SetAutoPlay(false);
    ASSERT_NO_THROW(p.SetFileName(path));
    EXPECT_EQ(p.DataStart(), c.dataStart);
    EXPECT_EQ(p.DataLength(), int64_t(mp3.size()));
    p.SetFileName("");
    p.SetAutoPlay(true);
    const Bytes played = PlayToWav(path);
    EXPECT_TRUE(played == reference);
    const Bytes decoded = Decode(path);
    EXPECT_TRUE(decoded.size() == played.size() &&
                std::equal(decoded.begin() + 44, decoded.end(), played.begin() + 44));
  }
}

TEST_F(StreamTest, WhatIsNotARegularFileIsRefusedAtOnce) {
  const std::string fifo = Tmp("song.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Should the player block on the FIFO, a writer comes along after a while to release
  // it (and the message then shows it was read).
  std::atomic<bool> done{false};
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    while (!done) {
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  try {
    Player().SetFileName(fifo);
    ADD_FAILURE() << "opened";
  } catch (const EMPError& e) {
    EXPECT_NE(std::string(e.what()).find("Not a regular file"), std::string::npos) << e.what();
  }
  done = true;
  release.join();
  EXPECT_FALSE(Player().IsOpened());
  EXPECT_THROW(Player().SetFileName(dir_.string()), EMPError);

  // sorrel-play: refused with a message and status 1 (it used to wait for a writer and
  // ignore SIGTERM; `timeout` sends TERM after 10 s and KILL 3 s later).
  const std::string err = Tmp("err.txt");
  EXPECT_EQ(Sh("timeout -k 3 10 '" + kPlay + "' --audio null:fast '" + fifo + "' 2>'" + err + "' >/dev/null"),
            1);
  const Bytes msg = ReadBytes(err);
  EXPECT_NE(std::string(msg.begin(), msg.end()).find("Not a regular file"), std::string::npos);
  // SIGTERM while playing ends it (124: ended by timeout's TERM, not its KILL).
  EXPECT_EQ(Sh("timeout -k 5 0.5 '" + kPlay + "' --audio null '" + std::string(SORREL_TEST_DATA) +
               "/engine/mono22k_8s.mp3' >/dev/null 2>&1"),
            124);
}

}  // namespace
