// The alarm speaking through the real voice device on the wav backend: the recording
// FILE.voice.wav holds what was said, and its silences say when, on the alarm's own
// fake clock.
#include "AlarmFakes.h"
#include "alarm/core/OvisAlarm.h"
#include "alarm/ui/AlarmVoice.h"
#include "base/WavHeader.h"
#include "platform/audio/WavFile.h"
#include "platform/audio/WaveOut.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace sorrel::alarm {
namespace {

using namespace testing;
using Bytes = std::vector<uint8_t>;

constexpr int32_t kCamLat = 3500000, kCamLon = 13900000;
constexpr size_t kBytesPerMs = 16;  // 8000 Hz mono 16-bit

Bytes Sound(int ms, uint8_t seed) {
  Bytes b(size_t(ms) * kBytesPerMs);
  for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(1 + (seed * 37 + i * 5) % 250);
  return b;
}

class AlarmVoiceTest : public ::testing::Test {
 protected:
  AlarmVoiceTest()
      : clock(1'000'000'000), view(log), host(log), preLevel(log), screen(log), navin(screen, clock) {
    settings.AlarmDistance = 1500;
    settings.AlarmAimDegree = 45;
    settings.AlarmOpsDegree = 30;
    settings.PreLevelDownVal = 40;
    settings.PreLevelDownWait = 2000;
    settings.PlaySoundInterval = 5000;
    settings.AlarmHideDelay = 3000;
    settings.UseTNLink = true;
    preLevel.position = 10;
    record = dir.path() + "/run.wav";
    audio::SetDeviceVolume(0xFFFFFFFFu);
    EXPECT_TRUE(audio::SelectBackend("wav:" + record));
    std::filesystem::create_directory(dir.path() + "/Voice");
    for (const auto& [name, ms, seed] :
         {std::tuple{"このさき.wav", 400, 1}, std::tuple{"高速レーダ.wav", 300, 2},
          std::tuple{"nil.wav", 100, 3}}) {
      const Bytes s = Sound(ms, uint8_t(seed));
      const auto header = base::WavHeader({8000, 1, 16}, s.size());
      std::ofstream out(dir.path() + "/Voice/" + name, std::ios::binary);
      out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
      out.write(reinterpret_cast<const char*>(s.data()), std::streamsize(s.size()));
    }
    voice = std::make_unique<TAlarmVoice>(clock);
    alarm = std::make_unique<TOvisAlarm>(settings, dir.path(),
                                         TOvisAlarm::TPorts{view, host, preLevel, *voice, navin, clock});
    alarm->Points().Add("首都高速 レーダ", kCamLat, kCamLon, 0);
  }
  ~AlarmVoiceTest() override {
    voice.reset();
    audio::SelectBackend("null:fast");
  }

  // One second: a sentence from `metresSouth` of the camera heading north, the tick.
  void Step(int metresSouth) {
    clock.Advance(1'000'000);
    char s[160];
    std::snprintf(s, sizeof s, "$tnlink_data,ido=%.6f,kei=%.6f,dir=0,vel=60",
                  (kCamLat - UnitsNorth(metresSouth) + 0.5) / 1e5, (kCamLon + 0.5) / 1e5);
    alarm->OnSentence(s);
    alarm->OnCheckTimer();
    voice->Player().WaitForEnd();  // the recording is complete up to here
  }

  Bytes Said() const {
    audio::PcmSound s;
    if (!audio::ReadPcmWav(record + ".voice.wav", s)) return {};
    return s.samples;
  }

  Log log;
  base::TFakeClock clock;
  FakeView view;
  FakeHost host;
  FakePreLevel preLevel;
  FakeScreen screen;
  TNavinYou navin;
  TOvisAlarmSettings settings;
  TempDir dir;
  std::string record;
  std::unique_ptr<TAlarmVoice> voice;
  std::unique_ptr<TOvisAlarm> alarm;
};

TEST_F(AlarmVoiceTest, TheWarningIsSpokenAfterTheLevelWaitRepeatedAndEndedWithNil) {
  Step(1234);  // the link comes alive
  Step(1234);  // T0: shown, the music lowered, nothing said yet
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(preLevel.position, 50);
  EXPECT_TRUE(Said().empty());
  for (int i = 0; i < 7; ++i) Step(1234);  // to T0 + 7 s: spoken at +2 s and again at +7 s
  for (int i = 0; i < 4; ++i) Step(-200);  // past it: hidden 3 s after the last alarm (T0 + 7 s)
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(preLevel.position, 10);

  // From the first word (T0 + 2 s): the distance, the type straight after it, 5 s later
  // both again, and nil.wav when the window went at T0 + 11 s.
  const Bytes distance = Sound(400, 1), type = Sound(300, 2), nil = Sound(100, 3);
  Bytes expected;
  const auto at = [&](int ms, const Bytes& s) {
    expected.resize(size_t(ms) * kBytesPerMs, 0);
    expected.insert(expected.end(), s.begin(), s.end());
  };
  at(0, distance);
  at(400, type);
  at(5000, distance);
  at(5400, type);
  at(9000, nil);
  const Bytes said = Said();
  ASSERT_EQ(said.size(), expected.size());
  EXPECT_TRUE(said == expected);
  EXPECT_FALSE(std::filesystem::exists(record));  // no music in this run
}

}  // namespace
}  // namespace sorrel::alarm
