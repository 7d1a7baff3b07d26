// The speed-camera alarm on a fake clock: which camera alarms, what the window and the
// status panel show, what is spoken when, the music lowered and restored, suppression,
// the position sentence's arrival rules, and new points.
#include "AlarmFakes.h"
#include "alarm/core/OvisAlarm.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <random>

namespace sorrel::alarm {
namespace {

using namespace testing;

constexpr int32_t kLat = 3500000, kLon = 13900000;  // the car, 35° N 139° E

class AlarmTest : public ::testing::Test {
 protected:
  AlarmTest() : clock(1'000'000'000), view(log), host(log), preLevel(log), voice(log, clock), screen(log) {
    settings.AlarmDistance = 1500;
    settings.AlarmVelocity = 30;
    settings.AlarmAimDegree = 45;
    settings.AlarmOpsDegree = 30;
    settings.DistanceOffset = 0;
    settings.SpeedCancelDelay = 3000;
    settings.AlarmHideDelay = 3000;
    settings.PlaySoundInterval = 7000;
    settings.PreLevelDownVal = 40;
    settings.PreLevelDownWait = 2000;
    settings.UseTNLink = true;
    voice.voiceDir = dir.path() + "/Voice/";
    preLevel.position = 10;
    navin = std::make_unique<TNavinYou>(screen, clock);
    alarm = std::make_unique<TOvisAlarm>(settings, dir.path(),
                                         TOvisAlarm::TPorts{view, host, preLevel, voice, *navin, clock});
  }

  void Camera(std::string text, int32_t dLat, int32_t dLon, int32_t degrees) {
    alarm->Points().Add(text, kLat + dLat, kLon + dLon, degrees * 100000);
  }

  // "$tnlink_data,..." for a position in units (half a unit added, so that reading it
  // back truncates to the unit meant).
  static std::string Sentence(int32_t lat, int32_t lon, double dir, double vel) {
    char s[160];
    std::snprintf(s, sizeof s, "$tnlink_data,ido=%.6f,kei=%.6f,dir=%.3f,vel=%.3f", (lat + 0.5) / 1e5,
                  (lon + 0.5) / 1e5, dir, vel);
    return s;
  }

  // One second of driving: a sentence arrives, then the check timer ticks.
  bool Step(int32_t dLat = 0, double dir = 0, double vel = 60, int32_t dLon = 0) {
    clock.Advance(1'000'000);
    const bool checked = alarm->OnSentence(Sentence(kLat + dLat, kLon + dLon, dir, vel));
    alarm->OnCheckTimer();
    return checked;
  }
  // The first sentence after a silence only becomes usable at the next timer tick.
  void Start() {
    Step();
    voice.origin = clock.NowMicros() / 1000 + 1000;
    log.Clear();
  }

  Log log;
  base::TFakeClock clock;
  FakeView view;
  FakeHost host;
  FakePreLevel preLevel;
  FakeVoice voice;
  FakeScreen screen;
  TempDir dir;
  TOvisAlarmSettings settings;
  std::unique_ptr<TNavinYou> navin;
  std::unique_ptr<TOvisAlarm> alarm;
};

TEST_F(AlarmTest, CameraAt1234mWithOffset100) {
  settings.DistanceOffset = 100;  // read at each use
  // 1110 units north = 1110 x 1.1117747 m = 1234.07 m.
  Camera("首都高速道路 ループコイル", 1110, 0, 0);
  Start();
  ASSERT_TRUE(Step());
  // Shown at once, the music lowered, nothing spoken yet.
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(view.distance, "あと1100m");  // 1234 - 100 = 1134, down to a multiple of 50
  EXPECT_EQ(view.linNo, "No.=   1  ");
  EXPECT_EQ(view.ovisText, "首都高速道路 ループコイル");
  EXPECT_EQ(view.ovisType, "高速道路 ループ");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"hide sub-windows", "show", "pre-level 50"}));
  Step();
  EXPECT_TRUE(voice.timed.empty());
  Step();
  // 1134 m: 1100 is above 900, so "this way ahead", then the type.
  EXPECT_EQ(voice.timed, (std::vector<std::string>{"+2000 sync このさき.wav", "+2000 async 高速ループ.wav"}));
}

TEST_F(AlarmTest, CourseOfAnAlarmInTime) {
  // 765 units = 850.5 m ahead.
  Camera("市内 オービス", 765, 0, 0);
  Start();
  for (int i = 0; i <= 16; ++i) Step();
  EXPECT_EQ(view.distance, "あと 850m");
  EXPECT_EQ(preLevel.position, 50);
  // Closer by 45 m (805 - the display follows each tick; the voice keeps its pace).
  Step(45);
  EXPECT_EQ(view.distance, "あと 800m");
  // Past it: the camera is behind.  Hidden when more than 3000 ms have passed since the
  // last alarm (at +17000): not at +20000, at +21000.
  for (int i = 0; i < 3; ++i) Step(1000);
  EXPECT_TRUE(view.visible);
  Step(1000);
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(voice.timed, (std::vector<std::string>{"+2000 sync 800m.wav", "+2000 async 一般オービス.wav",
                                                   "+9000 sync 800m.wav", "+9000 async 一般オービス.wav",
                                                   "+16000 sync 800m.wav", "+16000 async 一般オービス.wav",
                                                   "+21000 sync nil.wav"}));
  EXPECT_EQ(preLevel.position, 10);
  EXPECT_TRUE(log.Has("raise main"));
  EXPECT_FALSE(alarm->LevelLowered());

  // The next alarm starts from the beginning: lowered first, spoken after the wait.
  voice.timed.clear();
  voice.origin = clock.NowMicros() / 1000 + 1000;
  for (int i = 0; i < 3; ++i) Step();
  EXPECT_EQ(voice.timed, (std::vector<std::string>{"+2000 sync 800m.wav", "+2000 async 一般オービス.wav"}));
}

TEST_F(AlarmTest, HidingBringsNavinYouForwardAndIsIdempotent) {
  const FakeScreen::Navin n = screen.AddNavin();
  Camera("a", 765, 0, 0);
  // Hiding a hidden window does nothing.
  alarm->HideAlarm();
  alarm->RestoreLevel();
  EXPECT_TRUE(log.lines.empty());
  Start();
  Step();
  ASSERT_TRUE(view.visible);
  log.Clear();
  alarm->HideAlarm();  // by the main window
  EXPECT_EQ(log.lines, (std::vector<std::string>{"hide", "sync nil.wav", "pre-level 10", "raise main",
                                                 "foreground " + std::to_string(n.main)}));
  // Still in range: shown again at the next tick, the music lowered again; the voice
  // may start at once (its tick was cleared), so it waits only for the lowering.
  log.Clear();
  Step();
  EXPECT_EQ(log.lines, (std::vector<std::string>{"hide sub-windows", "show", "pre-level 50"}));
}

TEST_F(AlarmTest, WordsAndFiles) {
  struct Case {
    const char *text, *road, *type, *file;
  } cases[] = {{"首都高速道路 ループコイル", "高速", "ループ", "高速ループ.wav"},
               {"国道1号 レーダ", "高速", "レーダ", "高速レーダ.wav"},
               {"県道 Hシステム", "高速", "Hシステム", "高速Hシステム.wav"},
               {"市内 オービス", "一般", "オービス", "一般オービス.wav"},
               {"産業道路 旧街道 Hシステム ループ", "一般", "Hシステム", "一般Hシステム.wav"},
               {"高架下", "高速", "オービス", "高速オービス.wav"}};
  for (const Case& c : cases) {
    EXPECT_EQ(RoadWord(c.text), c.road) << c.text;
    EXPECT_EQ(TypeWord(c.text), c.type) << c.text;
    EXPECT_EQ(TypeVoiceFile(c.text), c.file) << c.text;
  }
  EXPECT_EQ(DistanceVoiceFile(0), "0m.wav");
  EXPECT_EQ(DistanceVoiceFile(99), "0m.wav");
  EXPECT_EQ(DistanceVoiceFile(300), "300m.wav");
  EXPECT_EQ(DistanceVoiceFile(999), "900m.wav");
  EXPECT_EQ(DistanceVoiceFile(1000), "このさき.wav");
  EXPECT_EQ(DistanceText(49), "あと   0m");
  EXPECT_EQ(DistanceText(12345), "あと12300m");
  EXPECT_EQ(LinNoText(12), "No.=  12  ");
  EXPECT_EQ(CompassWord(35000000), "北");
  EXPECT_EQ(CompassWord(20000000), "南");
  EXPECT_EQ(CompassWord(2200000), "北");
  EXPECT_EQ(CompassWord(2300000), "北東");
  EXPECT_EQ(CompassWord(33700000), "北西");
  EXPECT_EQ(CompassWord(33800000), "北");
  EXPECT_EQ(CompassWord(36000000), "北");  // (360 + 22) / 45 = 8
  EXPECT_EQ(CompassWord(40500000), "");    // index 9
  EXPECT_EQ(CompassWord(kUnknownDirection), "");
}

TEST_F(AlarmTest, EqualDistancesKeepTheEarlierPoint) {
  // Mirror images left and right of the road ahead: the same distance to the metre.
  Camera("east", 1000, 100, 0);
  Camera("west", 1000, -100, 0);
  Start();
  Step();
  EXPECT_EQ(view.ovisText, "east");
  EXPECT_EQ(view.linNo, "No.=   1  ");
  // A later point that is nearer wins.
  Camera("near", 900, 0, 0);
  Step();
  EXPECT_EQ(view.ovisText, "near");
  EXPECT_EQ(view.linNo, "No.=   3  ");

  TOvisPointList reversed;
  reversed.Add("west", kLat + 1000, kLon - 100, 0);
  reversed.Add("east", kLat + 1000, kLon + 100, 0);
  const auto best = reversed.NearestAhead(kLat, kLon, 0, 1500, 3000000, 4500000);
  ASSERT_TRUE(best);
  EXPECT_EQ(best->Index, 0u);
}

TEST_F(AlarmTest, OnlyCamerasAheadAndFacingTheCarAlarm) {
  const auto alarms = [&](int32_t dLat, int32_t dLon, int32_t degrees, double heading = 0) {
    TOvisPointList one;
    one.Add("x", kLat + dLat, kLon + dLon, degrees * 100000);
    return one
        .NearestAhead(kLat, kLon, int32_t(heading * 100000), settings.AlarmDistance,
                      int64_t(settings.AlarmOpsDegree) * 100000, int64_t(settings.AlarmAimDegree) * 100000)
        .has_value();
  };
  EXPECT_TRUE(alarms(1000, 0, 0));
  EXPECT_FALSE(alarms(-1000, 0, 0));   // behind: the bearing is 180° off
  EXPECT_FALSE(alarms(1000, 0, 180));  // facing the other way
  EXPECT_TRUE(alarms(1000, 0, 45));    // facing 45° off: still within 45°
  EXPECT_FALSE(alarms(1000, 0, 46));
  EXPECT_TRUE(alarms(1000, 0, 359));    // across north
  EXPECT_FALSE(alarms(1000, 1000, 0));  // 39° to the right of the heading: beyond 30°
  EXPECT_TRUE(alarms(1000, 1000, 0, 39.3));
  EXPECT_FALSE(alarms(1400, 0, 0));  // 1556 m: beyond 1500 m
  EXPECT_FALSE(alarms(0, 0, 0));     // on the spot: no bearing
}

TEST_F(AlarmTest, SearchWindowEdges) {
  // Far cameras are ruled out by the coordinate window before any distance.
  const auto alarms = [](int32_t dLat, int32_t dLon, int32_t degrees, int32_t heading) {
    TOvisPointList one;
    one.Add("x", kLat - 7000, kLon, 0);  // points around it must not disturb the search
    one.Add("x", kLat + dLat, kLon + dLon, degrees * 100000);
    one.Add("x", kLat + 7000, kLon, 0);
    const auto best = one.NearestAhead(kLat, kLon, heading * 100000, 10000, 4500000, 4500000);
    return best && best->Index == 1;
  };
  EXPECT_TRUE(alarms(4999, 0, 0, 0));
  EXPECT_FALSE(alarms(5000, 0, 0, 0));
  EXPECT_TRUE(alarms(-4999, 0, 180, 180));
  EXPECT_FALSE(alarms(-5000, 0, 180, 180));
  // 4000 north, 3999 east: about 39.3° to the right.
  EXPECT_TRUE(alarms(4000, 3999, 39, 39));
  EXPECT_FALSE(alarms(4000, 4000, 39, 39));
  EXPECT_TRUE(alarms(4000, -3999, 321, 321));
  EXPECT_FALSE(alarms(4000, -4000, 321, 321));
}

// The nearest-camera search looks only at a band of latitudes; it must find what a
// plain scan of every point in file order finds.
TEST_F(AlarmTest, NearestAheadAgreesWithAPlainScan) {
  std::mt19937 random(14);
  TOvisPointList points;
  std::vector<std::array<int32_t, 3>> plain;
  for (int i = 0; i < 3000; ++i) {
    // Few distinct latitudes, so that ties and equal distances are common.
    const int32_t lat = kLat + int32_t(random() % 40) * 500 - 10000;
    const int32_t lon = kLon + int32_t(random() % 41) * 400 - 8000;
    const int32_t dir = int32_t(random() % 8) * 4500000;
    points.Add("p", lat, lon, dir);
    plain.push_back({lat, lon, dir});
  }
  for (int trial = 0; trial < 300; ++trial) {
    const int32_t lat = kLat + int32_t(random() % 20001) - 10000;
    const int32_t lon = kLon + int32_t(random() % 16001) - 8000;
    const int32_t heading = int32_t(random() % 8) * 4500000;
    std::optional<TOvisPointList::TNearest> expected;
    for (size_t i = 0; i < plain.size(); ++i) {
      const auto [pLat, pLon, pDir] = plain[i];
      if (std::abs(lat - pLat) >= 5000 || std::abs(lon - pLon) >= 4000) continue;
      const TDistanceAndBearing db = DistanceAndBearing(lat, lon, pLat, pLon);
      if (db.Bearing == -1) continue;
      if (db.Distance <= 3000 && AngleDifference(heading, db.Bearing) <= 9000000 &&
          AngleDifference(heading, pDir) <= 4500000 && (!expected || db.Distance < expected->Distance))
        expected = TOvisPointList::TNearest{i, db.Distance};
    }
    EXPECT_EQ(points.NearestAhead(lat, lon, heading, 3000, 9000000, 4500000), expected) << trial;
  }
}

TEST_F(AlarmTest, SlowDrivingSuppressesAfterTheCancelDelay) {
  Camera("a", 765, 0, 0);
  Start();
  Step(0, 0, 50);
  EXPECT_EQ(host.color, kStatusLime);
  const int64_t fast = clock.TickCount();
  // Slow from here; the suppression starts 3000 ms after the last fast sentence.
  Step(0, 0, 29.4);  // 29.4 + 0.5 -> 29 km/h
  Step(0, 0, 10);
  EXPECT_EQ(host.color, kStatusLime);
  EXPECT_EQ(view.distance, "あと 850m");
  Step(0, 0, 10);
  EXPECT_EQ(clock.TickCount() - fast, 3000);
  EXPECT_EQ(host.color, kStatusYellow);
  EXPECT_EQ(host.caption, "北");
  // No new alarm: the window goes after the hide delay, counted from the last alarm.
  Step(0, 0, 10);
  Step(0, 0, 10);
  EXPECT_TRUE(view.visible);
  Step(0, 0, 10);
  EXPECT_FALSE(view.visible);
  // Speeding up ends it at once; 29.5 rounds to 30.
  Step(0, 0, 29.5);
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(host.color, kStatusLime);
}

TEST_F(AlarmTest, StatusPanelAndSwitchingTheAlarmOff) {
  Start();
  // No points: idle and silver, no compass word whatever the heading.
  Step(0, 350);
  EXPECT_EQ(host.color, kStatusSilver);
  EXPECT_EQ(host.caption, "");
  Camera("a", 765, 0, 0);
  Step(0, 350);
  EXPECT_EQ(host.color, kStatusLime);
  EXPECT_EQ(host.caption, "北");
  ASSERT_TRUE(view.visible);
  // Off: hidden (nil.wav, music back), red, heading still shown; no alarm while off.
  alarm->ToggleEnabled();
  EXPECT_FALSE(alarm->Enabled());
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(preLevel.position, 10);
  EXPECT_EQ(host.color, kStatusRed);
  EXPECT_EQ(host.caption, "北");
  Step(0, 200);
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(host.caption, "南");
  // On again: checked at once with the last position (heading away from the camera).
  alarm->ToggleEnabled();
  EXPECT_EQ(host.color, kStatusLime);
  EXPECT_EQ(host.caption, "南");
  EXPECT_FALSE(view.visible);
  Step(0, 0);
  EXPECT_TRUE(view.visible);
}

TEST_F(AlarmTest, SentenceArrivalRules) {
  Camera("a", 765, 0, 0);
  // The first sentence after start is not checked until the timer has seen it arrive.
  clock.Advance(1'000'000);
  EXPECT_TRUE(alarm->OnSentence(Sentence(kLat, kLon, 0, 60)));
  EXPECT_FALSE(view.visible);
  alarm->OnCheckTimer();
  EXPECT_TRUE(alarm->SentenceDataValid());
  Step();
  EXPECT_TRUE(view.visible);

  // Invalid sentences are ignored (only the fields are reset).
  clock.Advance(500'000);
  EXPECT_FALSE(alarm->OnSentence("$tnlink_data,ido=35,kei=139,dir=0,vel=-1"));
  EXPECT_EQ(alarm->LastSentence().Velocity, -1.0);
  EXPECT_FALSE(alarm->OnSentence("hello"));
  EXPECT_EQ(alarm->LastSentence(), TTNLinkSentence{});

  // Silence: more than 3000 ms after the last valid sentence the data is stale; the panel
  // shows no heading, and the window does not stay up waiting for a sentence.
  clock.Advance(2500'000);
  alarm->OnCheckTimer();
  EXPECT_TRUE(alarm->SentenceDataValid());
  clock.Advance(1'000);
  alarm->OnCheckTimer();
  EXPECT_FALSE(alarm->SentenceDataValid());
  EXPECT_EQ(host.color, kStatusSilver);
  EXPECT_EQ(host.caption, "");
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(preLevel.position, 10);
  alarm->ToggleEnabled();
  alarm->OnCheckTimer();
  EXPECT_EQ(host.color, kStatusRed);
  EXPECT_EQ(host.caption, "");
}

TEST_F(AlarmTest, SentenceDuringTheSpokenDistanceOnlyRefreshesItsArrival) {
  Camera("a", 765, 0, 0);
  Start();
  Step();
  Step();
  // The distance takes 2500 ms to say; a sentence arrives at its end.
  voice.syncMs = 2500;
  bool inner = true;
  voice.during = [&] { inner = alarm->OnSentence(Sentence(kLat + 300, kLon, 90, 99)); };
  Step();
  ASSERT_EQ(voice.timed.size(), 2u);
  EXPECT_FALSE(inner);
  EXPECT_EQ(alarm->LastSentence().Direction, 0.0);  // not parsed
  voice.during = nullptr;
  // 4000 ms after the last checked sentence, 1500 after the one that came while busy:
  // still fresh.
  clock.Advance(1'500'000);
  alarm->OnCheckTimer();
  EXPECT_TRUE(alarm->SentenceDataValid());
}

TEST_F(AlarmTest, ScreenSourceAlarmsOnceTheHeadingIsKnown) {
  settings.UseTNLink = false;
  const FakeScreen::Navin n = screen.AddNavin();
  // The screen shows tenths of a second (0.36 units): kLat + 6 + 25 i is drawn as
  // 35ﾟ00'00.2" + 0.9" i and read back as kLat + 5 + 25 i (x.5555 truncated).
  Camera("a", 105 + 765, 0, 0);
  // North at 25 units (27 m) a second, 97 km/h; the speed climbs 0, 16, 32, 48, 64, and
  // the first four headings are measured from the zero point (north-east of the car).
  std::vector<int> colors;
  for (int i = 0; i < 5; ++i) {
    screen.ShowStatus(n.status, kLat + 6 + 25 * i, kLon);
    clock.Advance(1'000'000);
    alarm->OnCheckTimer();
    colors.push_back(host.color);
    EXPECT_EQ(view.visible, i == 4) << i;
  }
  EXPECT_EQ(colors, (std::vector<int>{kStatusYellow, kStatusYellow, kStatusLime, kStatusLime, kStatusLime}));
  EXPECT_EQ(host.caption, "北");
  EXPECT_EQ(view.distance, "あと 850m");  // 765 units, 850.5 m
  EXPECT_EQ(alarm->LastReading().LyricRight, 800);
  EXPECT_EQ(alarm->LastSeen(), (TOvisAlarm::TLastSeen{kLat + 105, kLon, 0}));
}

TEST_F(AlarmTest, PointsFromTheFileAndNewPoints) {
  const std::string path = dir.path() + "/ovis.pot";
  // Before any position, or without the file, nothing is written.
  EXPECT_FALSE(alarm->AppendCurrentPosition());
  std::ofstream(path) << "/tex=a/kei=139'0'0'0/ido=35'0'0'0/deg=0\n/tex=b/kei=139'0'0'0/ido=35'0'0'0/deg=x\n";
  const TPointFileLoad load = alarm->LoadPoints();
  EXPECT_EQ(alarm->Points().Count(), 1u);
  EXPECT_EQ(load.Warnings.size(), 1u);

  Start();
  clock.Advance(1'000'000);
  alarm->OnSentence("$tnlink_data,ido=35.6894512,kei=139.6986,dir=90.5,vel=0");
  EXPECT_EQ(alarm->LastSeen(), (TOvisAlarm::TLastSeen{3568945, 13969860, 9050000}));
  ASSERT_TRUE(alarm->AppendCurrentPosition());
  TOvisPointList reread;
  LoadPointFile(path, reread);
  ASSERT_EQ(reread.Count(), 2u);
  EXPECT_EQ(reread.Latitude(1), 3568944);
  EXPECT_EQ(reread.Longitude(1), 13969858);
  EXPECT_EQ(reread.Direction(1), 9000000);
  EXPECT_EQ(alarm->Points().Count(), 1u);  // not added to the points in memory

  std::filesystem::remove(path);
  EXPECT_FALSE(alarm->AppendCurrentPosition());
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(AlarmTest, TakenSettingsChangeOnlyWhenApplied) {
  Camera("a", 765, 0, 0);
  Start();
  settings.AlarmDistance = 800;
  Step();
  EXPECT_TRUE(view.visible);
  alarm->ApplySettings();
  for (int i = 0; i < 4; ++i) Step();
  EXPECT_FALSE(view.visible);
}

}  // namespace
}  // namespace sorrel::alarm
