// Suspend, resume and the power command over a recording main window, the real
// navigator and virtual time; the wait loop and the search for a window with waits.
#include "app/core/Power.h"
#include "app/core/Wait.h"
#include "tests/app/CommandFakes.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

using namespace sorrel::app;
using namespace sorrel::app::testing;
using Log = std::vector<std::string>;

namespace {

const char* TimerName(TPowerTimer t) {
  switch (t) {
    case TPowerTimer::tm_OvisCheck:
      return "tm_OvisCheck";
    case TPowerTimer::CurrentTimer:
      return "CurrentTimer";
    case TPowerTimer::TitleTimer:
      return "TitleTimer";
    case TPowerTimer::tm_CheckMapple:
      return "tm_CheckMapple";
  }
  return "?";
}

class FakeWaitHost : public TWaitHost {
 public:
  int minSleepTime = 99;
  int rounds = 0;
  // Runs at the start of every round, with the round's number (1 for the first).
  std::function<void(int)> onMessages;

  void ProcessMessages() override {
    ++rounds;
    if (onMessages) onMessages(rounds);
  }
  int MinSleepTime() const override { return minSleepTime; }
};

// The main window's side, recording into the rig's log.  Opening a file sets the fake
// player up as the real one would: playing from 0 with the song's length.
class FakePowerHost : public TPowerHost {
 public:
  FakePowerHost(CommandRig& rig) : rig_(rig) {}

  TPlayerSettings settings;
  int volume = 50;
  int fadeStep = 99;
  int32_t resumeAdjustment = 0;
  bool suspended = false;
  std::vector<TPlayerSettings> written;  // the record at each write
  std::vector<int64_t> writtenAtMs;

  TPlayerSettings& Settings() override { return settings; }
  int PlayerVolume() const override { return volume; }
  void SetPlayerVolume(int v) override {
    volume = v;
    Log("volume " + std::to_string(v));
  }
  void StopAndClosePlayer() override {
    rig_.player.status = TPlayerStatus::mpsStopped;
    rig_.player.position = 0;
    rig_.player.duration = 0;
    Log("stop and close");
  }
  void PlayFile(const std::string& path) override {
    Log("open " + path);
    rig_.player.status = TPlayerStatus::mpsPlaying;
    rig_.player.position = 0;
    rig_.player.duration = 0;
    for (const FakeSong& s : rig_.order.rows)
      if (s.path == path) rig_.player.duration = s.lengthMs;
  }
  int FadeStep() const override { return fadeStep; }
  void SetFadeStep(int step) override {
    fadeStep = step;
    Log("fade " + std::to_string(step));
  }
  void StopTimer(TPowerTimer t) override { Log(std::string("stop ") + TimerName(t)); }
  void StartTimer(TPowerTimer t) override { Log(std::string("start ") + TimerName(t)); }
  void WriteSettings() override {
    written.push_back(settings);
    writtenAtMs.push_back(rig_.ElapsedMs());
    Log("write CurPos=" + std::to_string(settings.CurPos) +
        " MainLevel=" + std::to_string(settings.MainLevel));
  }
  void SetSuspended(bool on) override {
    suspended = on;
    Log(on ? "suspended" : "not suspended");
  }
  int32_t ResumeAdjustment() const override { return resumeAdjustment; }
  void SetResumeAdjustment(int32_t ms) override {
    resumeAdjustment = ms;
    Log("adjustment " + std::to_string(ms));
  }
  void Repaint() override { Log("repaint"); }
  void ParkCursor() override { Log("park"); }
  void QueueMapLink(char c) override { Log(std::string("map ") + c); }

 private:
  void Log(const std::string& s) { rig_.log.push_back(s); }
  CommandRig& rig_;
};

class FakePowerControl : public TPowerControl {
 public:
  FakePowerControl(CommandRig& rig) : rig_(rig) {}
  std::vector<int64_t> callAtMs;
  void Suspend() override { Call("call Suspend"); }
  void Hibernate() override { Call("call Hibernate"); }
  void PowerOff() override { Call("call PowerOff"); }

 private:
  void Call(const std::string& s) {
    rig_.log.push_back(s);
    callAtMs.push_back(rig_.ElapsedMs());
  }
  CommandRig& rig_;
};

// Everything wired as the main window will wire it.
struct PowerRig {
  CommandRig rig;
  FakePowerHost host{rig};
  FakeWaitHost waitHost;
  FakePowerControl control{rig};
  TWaitLoop waitLoop{waitHost, rig.clock};
  TPowerManager power{host, rig.player, rig.navigator, rig.desk, waitLoop, control};

  PowerRig() {
    rig.desk.log = &rig.log;
    rig.order.Set(Directories(1, 5));  // /m/d0/1.mp3 .. 5.mp3, 60 s each
    host.settings.OnResumeWait = 3999;
  }
  // Row `row` playing, `positionMs` into it, the log cleared.
  void Playing(int row, int positionMs) {
    rig.At(row, positionMs);
    host.settings.CurFile = rig.nav.curFile;
    host.settings.MusicIndex = row;
  }
  static Log SuspendLog(int curPos, int mainLevel) {
    return {"stop tm_OvisCheck",
            "stop CurrentTimer",
            "stop TitleTimer",
            "stop tm_CheckMapple",
            "volume 0",
            "stop and close",
            "write CurPos=" + std::to_string(curPos) + " MainLevel=" + std::to_string(mainLevel),
            "suspended"};
  }
};

TEST(Power, SuspendStoresThePlaceThenWritesTheSettings) {
  PowerRig r;
  r.Playing(2, 12345);
  r.host.volume = 70;  // the fade-in is done: the volume is the level to keep
  r.power.PowerBroadcast(PBT_APMSUSPEND);
  EXPECT_EQ(r.rig.log, PowerRig::SuspendLog(12345, 70));
  EXPECT_TRUE(r.power.PowerSuspended());
  EXPECT_TRUE(r.host.suspended);
  EXPECT_EQ(r.rig.ElapsedMs(), 0);  // a suspend does not wait

  // Paused counts as a place to keep; while the fade-in runs the volume is not the
  // chosen level, so MainLevel stays.
  PowerRig second;
  second.Playing(1, 777);
  second.rig.player.status = TPlayerStatus::mpsPaused;
  second.host.settings.MainLevel = 40;
  second.host.volume = 12;
  second.host.fadeStep = 98;
  second.power.PowerBroadcast(PBT_APMSUSPEND);
  EXPECT_EQ(second.rig.log, PowerRig::SuspendLog(777, 40));

  // Stopped: the position is not a place in a song.
  PowerRig third;
  third.Playing(1, 777);
  third.rig.player.status = TPlayerStatus::mpsStopped;
  third.host.settings.CurPos = 5555;
  third.power.PowerBroadcast(PBT_APMSUSPEND);
  EXPECT_EQ(third.host.written.at(0).CurPos, 0);
}

TEST(Power, ResumeStartsThePreviousSongTwoSecondsBeforeItsEnd) {
  PowerRig r;
  r.Playing(2, 3000);
  r.host.volume = 50;
  r.power.PowerBroadcast(PBT_APMSUSPEND);
  r.rig.log.clear();
  const int64_t suspendedAt = r.rig.ElapsedMs();

  r.power.PowerBroadcast(PBT_APMRESUMEAUTOMATIC);
  // CurPos 3000 - 100 x 50 = -2000: the song before, 60000 - 2000 into it.
  EXPECT_EQ(r.rig.log, (Log{"repaint", "master bar 100", "fade -2", "open /m/d0/3.mp3", "play 1",
                            "seek 58000", "adjustment 0", "not suspended", "map L", "start CurrentTimer",
                            "start TitleTimer", "start tm_OvisCheck"}));
  EXPECT_EQ(r.rig.nav.musicIndex, 1);
  EXPECT_FALSE(r.power.PowerSuspended());
  EXPECT_FALSE(r.host.suspended);
  // "OnResumeWait" passed, with the messages handled, before the player started.
  EXPECT_GE(r.rig.ElapsedMs() - suspendedAt, 3999);
  EXPECT_GE(r.waitHost.rounds, 40);
}

TEST(Power, ResumeCountsTheAdjustmentAndTheOptions) {
  PowerRig r;
  r.Playing(3, 20000);
  r.host.settings.MainLevel = 10;
  r.host.fadeStep = 5;
  r.host.settings.OnResumeSetCursorPos = true;
  r.host.settings.UseMappleLink = true;
  r.host.settings.OnResumeWait = 0;
  r.power.PowerBroadcast(PBT_APMSUSPEND);
  r.host.resumeAdjustment = 4000;
  r.rig.log.clear();

  r.power.PowerBroadcast(PBT_APMRESUMESUSPEND);  // 7 resumes as 18 does
  // 20000 - 1000 - 4000: the same song, no other song played.
  EXPECT_EQ(r.rig.log, (Log{"repaint", "master bar 100", "fade -2", "open /m/d0/4.mp3", "seek 15000",
                            "adjustment 0", "not suspended", "park", "map L", "start CurrentTimer",
                            "start TitleTimer", "start tm_OvisCheck", "start tm_CheckMapple"}));
  EXPECT_EQ(r.host.resumeAdjustment, 0);
  EXPECT_EQ(r.waitHost.rounds, 1);  // a wait of 0 still handles the messages once
}

// Values from a damaged settings file or a stray message: far back, but no overflow.
TEST(Power, ResumeTargetsBeyondTheIntRange) {
  PowerRig r;
  r.Playing(2, 0);
  r.host.fadeStep = 0;
  r.host.settings.MainLevel = 100;
  r.host.settings.OnResumeWait = 0;
  r.power.PowerBroadcast(PBT_APMSUSPEND);
  r.host.settings.CurPos = INT_MIN;
  r.host.resumeAdjustment = INT_MAX;
  r.power.PowerBroadcast(PBT_APMRESUMEAUTOMATIC);
  EXPECT_EQ(r.rig.player.position, 0);  // every song walked back, then its start
  EXPECT_FALSE(r.power.PowerSuspended());

  PowerRig high;
  high.Playing(2, 0);
  high.host.settings.OnResumeWait = 0;
  high.power.PowerBroadcast(PBT_APMSUSPEND);
  high.host.settings.CurPos = INT_MAX;
  high.host.settings.MainLevel = 0;
  high.host.resumeAdjustment = INT_MIN;
  high.power.PowerBroadcast(PBT_APMRESUMEAUTOMATIC);
  EXPECT_EQ(high.rig.player.position, INT_MAX);
  EXPECT_EQ(high.rig.nav.musicIndex, 2);
}

TEST(Power, RepeatedAndUnknownEventsAreIgnored) {
  PowerRig r;
  r.Playing(2, 3000);
  r.power.PowerBroadcast(PBT_APMRESUMEAUTOMATIC);  // no suspend before it
  r.power.PowerBroadcast(PBT_APMRESUMESUSPEND);
  for (int32_t other : {0, 5, 6, 10, 0x8013, -4}) r.power.PowerBroadcast(other);
  EXPECT_TRUE(r.rig.log.empty());
  EXPECT_EQ(r.waitHost.rounds, 0);

  r.power.PowerBroadcast(PBT_APMSUSPEND);
  r.rig.player.position = 9999;  // nothing may read it a second time
  r.power.PowerBroadcast(PBT_APMSUSPEND);
  EXPECT_EQ(r.host.written.size(), 1u);
  EXPECT_EQ(r.host.written[0].CurPos, 3000);

  r.power.PowerBroadcast(PBT_APMRESUMEAUTOMATIC);
  const size_t afterResume = r.rig.log.size();
  r.power.PowerBroadcast(PBT_APMRESUMESUSPEND);  // the second resume event of one wake-up
  EXPECT_EQ(r.rig.log.size(), afterResume);
}

// The machine goes to sleep again while the resume waits (its wait handles messages):
// the place stored by the first suspend must survive, and the player start once.
TEST(Power, SuspendDuringTheResumeWaitKeepsTheStoredPlace) {
  PowerRig r;
  r.Playing(2, 3000);
  r.host.volume = 50;
  r.power.PowerBroadcast(PBT_APMSUSPEND);
  r.waitHost.onMessages = [&](int round) {
    if (round == 3) r.power.PowerBroadcast(PBT_APMSUSPEND);
  };
  r.power.PowerBroadcast(PBT_APMRESUMEAUTOMATIC);
  EXPECT_TRUE(r.power.PowerSuspended());
  EXPECT_EQ(r.host.written.size(), 1u);
  EXPECT_EQ(std::count(r.rig.log.begin(), r.rig.log.end(), "open /m/d0/3.mp3"), 0);
  EXPECT_TRUE(r.host.suspended);

  // The next wake-up resumes in full from the stored place.
  r.waitHost.onMessages = nullptr;
  r.rig.log.clear();
  r.power.PowerBroadcast(PBT_APMRESUMEAUTOMATIC);
  EXPECT_EQ(std::count(r.rig.log.begin(), r.rig.log.end(), "open /m/d0/3.mp3"), 1);
  EXPECT_EQ(r.rig.player.position, 58000);
  EXPECT_FALSE(r.power.PowerSuspended());
}

// Asleep and awake again, both within the first resume's wait: the inner resume starts
// the player, the outer one then leaves it alone.
TEST(Power, SleepAndWakeDuringTheResumeWaitResumeOnce) {
  PowerRig r;
  r.Playing(2, 3000);
  r.host.volume = 50;
  r.power.PowerBroadcast(PBT_APMSUSPEND);
  r.waitHost.onMessages = [&](int round) {
    if (round == 3) r.power.PowerBroadcast(PBT_APMSUSPEND);
    if (round == 5) r.power.PowerBroadcast(PBT_APMRESUMEAUTOMATIC);
  };
  r.power.PowerBroadcast(PBT_APMRESUMEAUTOMATIC);
  EXPECT_EQ(std::count(r.rig.log.begin(), r.rig.log.end(), "open /m/d0/3.mp3"), 1);
  EXPECT_EQ(std::count(r.rig.log.begin(), r.rig.log.end(), "map L"), 1);
  EXPECT_EQ(r.host.written.size(), 1u);
  EXPECT_FALSE(r.power.PowerSuspended());
  EXPECT_FALSE(r.host.suspended);
}

TEST(Power, CommandDoesNothingWithoutTarnLyricOrSuspendMode) {
  PowerRig r;
  for (int mode : {0, 1, 2, 3, 255}) {
    r.host.settings.Tarn_Lyric = false;
    r.host.settings.SuspendMode = mode;
    r.power.PowerCommand();
  }
  r.host.settings.Tarn_Lyric = true;
  r.host.settings.SuspendMode = 0;
  r.power.PowerCommand();
  EXPECT_TRUE(r.rig.log.empty());
  EXPECT_EQ(r.rig.ElapsedMs(), 0);
}

TEST(Power, CommandSuspendsOrHibernates) {
  PowerRig r;
  r.host.settings.Tarn_Lyric = true;
  for (int mode : {1, 2, 4, 255}) {
    r.rig.log.clear();
    r.host.settings.SuspendMode = mode;
    r.power.PowerCommand();
    EXPECT_EQ(r.rig.log, (Log{mode == 1 ? "call Suspend" : "call Hibernate"})) << mode;
  }
  // The sleep itself comes back as an event; the command stores nothing.
  EXPECT_TRUE(r.host.written.empty());
  EXPECT_FALSE(r.power.PowerSuspended());
}

TEST(Power, PowerOffWritesTheSettingsFirst) {
  PowerRig r;
  r.host.settings.Tarn_Lyric = true;
  r.host.settings.SuspendMode = 3;
  r.host.settings.MainLevel = 50;
  r.host.volume = 64;
  r.power.PowerCommand();
  EXPECT_EQ(r.rig.log, (Log{"write CurPos=0 MainLevel=64", "call PowerOff"}));
  ASSERT_EQ(r.control.callAtMs.size(), 1u);
  EXPECT_GE(r.control.callAtMs[0] - r.host.writtenAtMs.at(0), kPowerOffDelayMs);

  // While the fade-in runs the stored level stays.
  r.rig.log.clear();
  r.host.fadeStep = 30;
  r.host.volume = 7;
  r.power.PowerCommand();
  EXPECT_EQ(r.rig.log, (Log{"write CurPos=0 MainLevel=64", "call PowerOff"}));
}

// --- The wait loop and finding a window.

class Waiting : public ::testing::Test {
 protected:
  sorrel::base::TFakeClock clock{0};
  FakeWaitHost host;
  TWaitLoop loop{host, clock};
  Waiting() { clock.SetAutoAdvance(true); }
  int64_t Ms() { return clock.NowMicros() / 1000; }
};

TEST_F(Waiting, RoundsOfMessagesAndMinSleepTime) {
  loop.Wait(0);
  EXPECT_EQ(host.rounds, 1);
  EXPECT_EQ(Ms(), 99);

  host.rounds = 0;
  clock.Set(0);
  loop.Wait(250);  // 0, 99, 198: the third sleep passes 250
  EXPECT_EQ(host.rounds, 3);
  EXPECT_EQ(Ms(), 297);

  host.rounds = 0;
  clock.Set(0);
  loop.Wait(-5);
  EXPECT_EQ(host.rounds, 1);

  // Read afresh for every wait; below 1 it sleeps 1 ms rather than spin.
  for (int minSleep : {0, -30}) {
    host.rounds = 0;
    host.minSleepTime = minSleep;
    clock.Set(0);
    loop.Wait(5);
    EXPECT_EQ(host.rounds, 5) << minSleep;
    EXPECT_EQ(Ms(), 5) << minSleep;
  }
  host.rounds = 0;
  host.minSleepTime = 1000;
  clock.Set(0);
  loop.Wait(99);
  EXPECT_EQ(host.rounds, 1);
  EXPECT_EQ(Ms(), 1000);
}

struct FakeWindow {
  int id = 0;
};

class FakeFinder : public TWindowFinder<FakeWindow> {
 public:
  std::function<std::optional<FakeWindow>()> present = [] { return std::nullopt; };
  std::vector<int64_t> looksAtMs;
  std::vector<std::string> asked;
  sorrel::base::TClock* clock = nullptr;

  std::optional<FakeWindow> FindWindow(const FakeWindow* parent, const std::string& className,
                                       const std::optional<std::string>& caption) override {
    looksAtMs.push_back(clock->NowMicros() / 1000);
    asked.push_back((parent ? std::to_string(parent->id) : std::string("top")) + " " + className + " " +
                    caption.value_or("(any)"));
    return present();
  }
};

TEST_F(Waiting, FindRetriesEvery99MsWhileHandlingMessages) {
  FakeFinder finder;
  finder.clock = &clock;
  bool appeared = false;
  // The window appears through a message handled in the third round.
  host.onMessages = [&](int round) {
    if (round == 3) appeared = true;
  };
  finder.present = [&]() -> std::optional<FakeWindow> {
    if (appeared) return FakeWindow{42};
    return std::nullopt;
  };
  const FakeWindow parent{7};
  auto found = FindWindowWithWait(loop, finder, &parent, "#32770", 5000, std::string("設定"));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->id, 42);
  EXPECT_EQ(finder.looksAtMs, (std::vector<int64_t>{0, 99, 198, 297}));
  EXPECT_EQ(finder.asked.back(), "7 #32770 設定");

  // Present from the start: no wait at all.
  host.rounds = 0;
  clock.Set(0);
  finder.looksAtMs.clear();
  EXPECT_TRUE(FindWindowWithWait<FakeWindow>(loop, finder, nullptr, "Navin' You", 0));
  EXPECT_EQ(host.rounds, 0);
  EXPECT_EQ(finder.asked.back(), "top Navin' You (any)");
}

TEST_F(Waiting, FindGivesUpAfterTheTimeOut) {
  FakeFinder finder;
  finder.clock = &clock;
  EXPECT_FALSE(FindWindowWithWait<FakeWindow>(loop, finder, nullptr, "Tfm_Absent", 300));
  // The look after the wait that passes 300 ms is the last.
  EXPECT_EQ(finder.looksAtMs, (std::vector<int64_t>{0, 99, 198, 297, 396}));

  // A time-out of 0 looks once and does not wait.
  finder.looksAtMs.clear();
  host.rounds = 0;
  clock.Set(0);
  EXPECT_FALSE(FindWindowWithWait<FakeWindow>(loop, finder, nullptr, "Tfm_Absent", 0));
  EXPECT_EQ(finder.looksAtMs.size(), 1u);
  EXPECT_EQ(host.rounds, 0);

  // With a shorter MinSleepTime the retries stay 99 ms apart.
  finder.looksAtMs.clear();
  host.minSleepTime = 10;
  clock.Set(0);
  EXPECT_FALSE(FindWindowWithWait<FakeWindow>(loop, finder, nullptr, "Tfm_Absent", 150));
  EXPECT_EQ(finder.looksAtMs, (std::vector<int64_t>{0, 100, 200}));
}

}  // namespace
