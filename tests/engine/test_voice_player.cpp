// The program's own WAV files: the reader (what it plays, what it refuses) and the voice
// player on the wav backends, whose recording FILE.voice.wav shows what was said and,
// through its silences, when.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "platform/audio/VoicePlayer.h"
#include "platform/audio/WavFile.h"
#include "platform/audio/WaveOut.h"
#include "tests/common/Files.h"

using namespace sorrel::audio;
namespace fs = std::filesystem;
using sorrel::test::Bytes;

using sorrel::test::ReadBytes;

namespace {

void Put16(Bytes& b, unsigned v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutChunk(Bytes& b, const char* id, const Bytes& body, uint32_t size) {
  b.insert(b.end(), id, id + 4);
  Put32(b, size);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
}

Bytes FormatBody(unsigned tag, unsigned channels, unsigned rate, unsigned bits) {
  Bytes f;
  Put16(f, tag);
  Put16(f, channels);
  Put32(f, rate);
  Put32(f, rate * channels * bits / 8);
  Put16(f, channels * bits / 8);
  Put16(f, bits);
  return f;
}

// A WAV file as other programs write them: optional extra chunks before the samples.
struct WavShape {
  unsigned tag = 1, channels = 1, rate = 8000, bits = 16;
  Bytes samples;
  bool listChunk = false;  // an odd-sized "LIST" chunk between "fmt " and "data"
  int64_t dataSize = -1;   // the size the "data" chunk declares (-1: the true one)
};

Bytes MakeWav(const WavShape& s) {
  Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  const Bytes fmt = FormatBody(s.tag, s.channels, s.rate, s.bits);
  PutChunk(b, "fmt ", fmt, uint32_t(fmt.size()));
  if (s.listChunk) PutChunk(b, "LIST", Bytes{'I', 'N', 'F', 'O', 'x'}, 5);
  PutChunk(b, "data", s.samples, s.dataSize < 0 ? uint32_t(s.samples.size()) : uint32_t(s.dataSize));
  const uint32_t riff = uint32_t(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[4 + i] = uint8_t(riff >> (8 * i));
  return b;
}

// Distinct sample bytes per sound, never all zero, so a sound is told from silence.
Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(1 + (seed * 31 + i * 7) % 250);
  return b;
}

bool Parses(const Bytes& file, PcmSound* out = nullptr, std::string* why = nullptr) {
  PcmSound s;
  const bool ok = ParsePcmWav(file.data(), file.size(), s, why);
  if (out) *out = s;
  return ok;
}

}  // namespace

TEST(WavFile, PlaysPcmOfEveryKindItKnowsSkippingOtherChunks) {
  PcmSound s;
  const Bytes samples = Pattern(2000, 1);
  ASSERT_TRUE(Parses(MakeWav({1, 2, 44100, 16, samples, true}), &s));
  EXPECT_EQ(s.format.channels, 2u);
  EXPECT_EQ(s.format.sampleRate, 44100u);
  EXPECT_EQ(s.format.bitsPerSample, 16u);
  EXPECT_EQ(s.samples, samples);

  ASSERT_TRUE(Parses(MakeWav({1, 1, 11025, 8, Pattern(7, 2)}), &s));
  EXPECT_EQ(s.format.bitsPerSample, 8u);
  EXPECT_EQ(s.samples, Pattern(7, 2));  // an odd data size with its pad byte

  // WAVE_FORMAT_EXTENSIBLE holding PCM, as sox writes for some files.
  Bytes ext = FormatBody(0xFFFE, 1, 22050, 16);
  Put16(ext, 22);
  Put16(ext, 16);   // valid bits
  Put32(ext, 0x4);  // channel mask
  Put16(ext, 1);    // PCM ...
  const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  ext.insert(ext.end(), tail, tail + 14);
  Bytes file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  PutChunk(file, "fmt ", ext, uint32_t(ext.size()));
  PutChunk(file, "data", Pattern(100, 3), 100);
  ASSERT_TRUE(Parses(file, &s));
  EXPECT_EQ(s.samples, Pattern(100, 3));
  // ... and the same holding floats is refused.
  file[20 + 24] = 3;
  EXPECT_FALSE(Parses(file));
}

TEST(WavFile, ADataSizeOfZeroOrBeyondTheFileMeansToTheEndInWholeFrames) {
  PcmSound s;
  const Bytes samples = Pattern(1001, 4);  // 500 stereo 8-bit frames and a stray byte
  for (int64_t declared : {int64_t(0), int64_t(0xFFFFFFFF), int64_t(5000)}) {
    SCOPED_TRACE(declared);
    Bytes file = MakeWav({1, 2, 8000, 8, samples, false, declared});
    file.pop_back();  // the pad byte: the file ends with the stray byte
    ASSERT_TRUE(Parses(file, &s));
    EXPECT_EQ(s.samples, Bytes(samples.begin(), samples.begin() + 1000));
  }
  // A declared size within the file is taken as it stands.
  ASSERT_TRUE(Parses(MakeWav({1, 2, 8000, 8, samples, false, 10}), &s));
  EXPECT_EQ(s.samples.size(), 10u);
}

TEST(WavFile, RefusesWhatItCannotPlayWithAReason) {
  struct Case {
    const char* name;
    Bytes file;
  };
  Bytes fmtAfterData = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  PutChunk(fmtAfterData, "data", Pattern(8, 1), 8);
  PutChunk(fmtAfterData, "fmt ", FormatBody(1, 1, 8000, 16), 16);
  Bytes badAlign = MakeWav({1, 2, 8000, 16, Pattern(8, 1)});
  badAlign[12 + 8 + 12] = 2;  // block align 2 for 16-bit stereo
  Bytes shortFmt = MakeWav({1, 1, 8000, 16, Pattern(8, 1)});
  shortFmt[16] = 14;  // "fmt " of 14 bytes
  Bytes noData = MakeWav({1, 1, 8000, 16, {}});
  noData.resize(noData.size() - 8);
  const std::vector<Case> cases = {
      {"empty", {}},
      {"not RIFF", Bytes(64, 'x')},
      {"float samples", MakeWav({3, 1, 8000, 32, Pattern(8, 1)})},
      {"24-bit", MakeWav({1, 1, 8000, 24, Pattern(9, 1)})},
      {"three channels", MakeWav({1, 3, 8000, 16, Pattern(12, 1)})},
      {"rate 0", MakeWav({1, 1, 0, 16, Pattern(8, 1)})},
      {"samples before the format", fmtAfterData},
      {"block align", badAlign},
      {"short format", shortFmt},
      {"no data", noData},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_FALSE(Parses(c.file, nullptr, &why)) << c.name;
    EXPECT_FALSE(why.empty()) << c.name;
  }
}

TEST(WavFile, EveryCutAndRandomDamageEndsInAnAnswer) {
  // Sizes that lie are the danger: each prefix of a valid file and random bytes written
  // into the header region must give an answer within the bytes there are.
  const Bytes good = MakeWav({1, 2, 22050, 16, Pattern(400, 5), true});
  for (size_t n = 0; n <= good.size(); ++n) {
    PcmSound s;
    if (ParsePcmWav(good.data(), n, s)) {
      EXPECT_LE(s.samples.size(), n);
    }
  }
  std::mt19937 random(14);
  for (int i = 0; i < 20000; ++i) {
    Bytes bad = good;
    for (int k = random() % 6; k >= 0; --k) bad[random() % 64] = uint8_t(random());
    bad.resize(random() % (bad.size() + 1));
    PcmSound s;
    if (ParsePcmWav(bad.data(), bad.size(), s)) {
      EXPECT_LE(s.samples.size(), bad.size());
      EXPECT_EQ(s.samples.size() % s.format.blockAlign(), 0u);
    }
  }
}

namespace {

// Voice files in a folder of the test's own; the voice recorded next to FILE.
class VoicePlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(SORREL_BUILD_DIR) / "voice_player_tmp" /
           (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(getpid()));
    fs::create_directories(dir_);
    file_ = (dir_ / "run.wav").string();
    SetDeviceVolume(0xFFFFFFFFu);
  }
  void TearDown() override {
    SelectBackend("null:fast");
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // A 8000 Hz mono 16-bit voice file of `ms` milliseconds.
  std::string Voice(const std::string& name, int ms, uint8_t seed) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << std::string([&] {
      const Bytes b = MakeWav({1, 1, 8000, 16, Pattern(size_t(ms) * 16, seed)});
      return std::string(b.begin(), b.end());
    }());
    return path;
  }
  static Bytes Sound(int ms, uint8_t seed) { return Pattern(size_t(ms) * 16, seed); }
  // The recorded voice's samples (16 bytes a millisecond).
  Bytes Said() const {
    PcmSound s;
    const Bytes f = ReadBytes(file_ + ".voice.wav");
    if (!ParsePcmWav(f.data(), f.size(), s)) return {};
    return s.samples;
  }
  static Bytes Silence(int ms) { return Bytes(size_t(ms) * 16, 0); }
  static Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }

  fs::path dir_;
  std::string file_;
};

}  // namespace

TEST_F(VoicePlayerTest, SyncReturnsAfterTheSoundAndTheGapsAreRecordedAsSilence) {
  ASSERT_TRUE(SelectBackend("wav-rt:" + file_));
  sorrel::base::TFakeClock clock(5'000'000);
  clock.SetAutoAdvance(true);  // the device's waits move the time
  const std::string a = Voice("800m.wav", 250, 1), b = Voice("高速レーダ.wav", 100, 2);
  VoicePlayer voice("voice", clock);
  ASSERT_TRUE(voice.PlaySync(a));
  // It returned once the quarter second had gone by on the device's clock.
  EXPECT_GE(clock.NowMicros(), 5'250'000);
  EXPECT_LT(clock.NowMicros(), 5'300'000);
  EXPECT_FALSE(voice.Playing());
  EXPECT_EQ(Said(), Sound(250, 1));  // complete at once: the device has closed

  clock.Set(7'000'000);  // 1.75 s later
  ASSERT_TRUE(voice.PlaySync(b));
  ASSERT_TRUE(voice.PlaySync(a));  // straight after
  const Bytes said = Said();
  const Bytes expected = Join({Sound(250, 1), Silence(1750), Sound(100, 2), Sound(250, 1)});
  ASSERT_EQ(said.size(), expected.size());
  EXPECT_TRUE(said == expected);
  // The music's recording is not touched.
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(VoicePlayerTest, AsyncReturnsAtOnceAndANewSoundReplacesTheOld) {
  ASSERT_TRUE(SelectBackend("wav-rt:" + file_));
  sorrel::base::TFakeClock clock(0);
  const std::string a = Voice("このさき.wav", 1000, 3), b = Voice("nil.wav", 60, 4);
  VoicePlayer voice("voice", clock);
  ASSERT_TRUE(voice.PlayAsync(a));
  EXPECT_EQ(clock.NowMicros(), 0);  // no time went by
  EXPECT_TRUE(voice.Playing());
  // 300 ms of it are heard, then the next sound comes.
  ASSERT_TRUE(clock.WaitForSleepers(1));
  clock.Advance(300'000);
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_TRUE(voice.Playing());
  ASSERT_TRUE(voice.PlayAsync(b));
  clock.SetAutoAdvance(true);
  voice.WaitForEnd();
  EXPECT_FALSE(voice.Playing());
  const Bytes said = Said();
  // The first sound up to where it was cut (the device takes sound in slices of 20 ms,
  // so at most one more slice of it), then the second whole.
  const Bytes first = Sound(1000, 3), second = Sound(60, 4);
  ASSERT_GE(said.size(), Sound(300, 3).size() + second.size());
  ASSERT_LE(said.size(), Sound(320, 3).size() + second.size());
  const size_t cut = said.size() - second.size();
  EXPECT_TRUE(std::equal(said.begin(), said.begin() + cut, first.begin()));
  EXPECT_TRUE(std::equal(said.begin() + cut, said.end(), second.begin()));
}

TEST_F(VoicePlayerTest, MissingAndBrokenFilesPlayNothingButStillStopTheSoundPlaying) {
  ASSERT_TRUE(SelectBackend("wav-rt:" + file_));
  sorrel::base::TFakeClock clock(0);
  VoicePlayer voice("voice", clock);
  EXPECT_FALSE(voice.PlaySync((dir_ / "0m.wav").string()));
  EXPECT_NE(voice.LastError().find("0m.wav"), std::string::npos);
  std::ofstream((dir_ / "broken.wav").string(), std::ios::binary) << "RIFF\x10\0\0\0WAVEfmt garbage";
  EXPECT_FALSE(voice.PlayAsync((dir_ / "broken.wav").string()));
  EXPECT_NE(voice.LastError().find("broken.wav"), std::string::npos);
  // A folder where a file should be.
  fs::create_directory(dir_ / "dir.wav");
  EXPECT_FALSE(voice.PlaySync((dir_ / "dir.wav").string()));
  EXPECT_FALSE(voice.Playing());
  EXPECT_FALSE(fs::exists(file_ + ".voice.wav"));  // nothing was said

  ASSERT_TRUE(voice.PlayAsync(Voice("long.wav", 2000, 5)));
  ASSERT_TRUE(voice.Playing());
  EXPECT_FALSE(voice.PlaySync((dir_ / "missing.wav").string()));
  EXPECT_FALSE(voice.Playing());
  // Only the start of the long sound, cut when the missing file was asked for.
  EXPECT_LE(Said().size(), Sound(40, 5).size());
}

TEST_F(VoicePlayerTest, WavBackendRecordsTheVoiceBesideTheMusicAndRefusesBadRoles) {
  ASSERT_TRUE(SelectBackend("wav:" + file_));
  sorrel::base::TFakeClock clock(0);
  const std::string a = Voice("300m.wav", 50, 6);
  {
    VoicePlayer voice("voice", clock);
    ASSERT_TRUE(voice.PlayAsync(a));
    voice.WaitForEnd();
  }
  EXPECT_EQ(Said(), Sound(50, 6));
  EXPECT_FALSE(fs::exists(file_));
  // A role becomes part of a file name: only lower-case letters.
  VoicePlayer bad("../x", clock);
  EXPECT_FALSE(bad.PlaySync(a));
  EXPECT_FALSE(bad.LastError().empty());
}
