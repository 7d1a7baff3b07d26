// The fake player used by tests of what drives a player: the same calls on it and on
// TMP3Player give the same events (status changes in batches, end-play reasons) and the
// same state; and what it offers tests beyond the interface (recorded calls, songs moved
// on by hand) behaves as documented.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "engine/MP3Player.h"
#include "platform/audio/WaveOut.h"
#include "tests/engine/FakePlayer.h"

using namespace sorrel::engine;
using sorrel::base::TFakeClock;

namespace {

const std::string kSong = std::string(SORREL_TEST_DATA) + "/engine/mono22k_8s.mp3";
const std::string kOther = std::string(SORREL_TEST_DATA) + "/engine/plain_cbr.mp3";
const std::string kBad = std::string(SORREL_BUILD_DIR) + "/fake_player_unplayable.mp3";

// A player, its owner loop, and what a window would have seen of its events (each with
// the state it reads at that moment).
class Harness {
 public:
  virtual ~Harness() = default;
  virtual TMP3PlayerIntf& Player() = 0;
  // The song plays out / the device breaks down under the next song.
  virtual void PlayToTheEnd() = 0;
  virtual void BreakTheDevice() = 0;
  virtual void FailWhilePlaying() = 0;

  void Watch() {
    Player().OnChangeStatus = [this](TMP3PlayerIntf* p) {
      log.push_back("status " + std::to_string(p->Status()));
    };
    Player().OnEndPlay = [this](TMP3PlayerIntf*, TMP3EndPlayReason r) {
      log.push_back("end " + std::to_string(r));
    };
  }
  // Lets everything posted so far be handled.
  void Settle() { loop.RunFor(20); }

  TMPRunLoop loop;
  std::vector<std::string> log;
};

class RealHarness : public Harness {
 public:
  RealHarness() {
    sorrel::audio::SelectBackend("null");  // on a clock that stands still: nothing ends by itself
    player_ = std::make_unique<TMP3Player>(loop, clock_);
    Watch();
  }
  TMP3PlayerIntf& Player() override { return *player_; }
  void PlayToTheEnd() override {
    clock_.SetAutoAdvance(true);
    loop.RunUntil([this] { return player_->Status() == mpsStopped; }, 10000);
    Settle();
    clock_.SetAutoAdvance(false);
  }
  void BreakTheDevice() override { sorrel::audio::SelectBackend("wav:/dev/full"); }
  void FailWhilePlaying() override {
    loop.RunUntil([this] { return player_->Status() == mpsStopped; }, 10000);
    Settle();
  }

 private:
  TFakeClock clock_;
  std::unique_ptr<TMP3Player> player_;
};

class FakeHarness : public Harness {
 public:
  FakeHarness() {
    fake.Unplayable.insert(kBad);
    Watch();
  }
  TMP3PlayerIntf& Player() override { return fake; }
  void PlayToTheEnd() override {
    fake.EndOfFile();
    Settle();
  }
  void BreakTheDevice() override {}
  void FailWhilePlaying() override {
    fake.Fail("The audio device failed.(TSoundOut.WaveWrite)");
    Settle();
  }

  TFakeMP3Player fake{loop};
};

struct Scenario {
  const char* name;
  std::function<void(Harness&)> run;
  std::vector<std::string> events;
  // The state afterwards.
  bool opened;
  TMP3PlayerStatus status;
  std::string fileName;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class FakeIsFaithful : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override {
    std::ofstream(kBad, std::ios::binary) << std::string(6000, '\0');
    SetMPExceptionDisplay([this](const std::exception_ptr&) { ++shown_; });
  }
  void TearDown() override {
    SetMPExceptionDisplay(nullptr);
    sorrel::audio::SelectBackend("null");
  }
  int shown_ = 0;
};

}  // namespace

TEST_P(FakeIsFaithful, SameEventsAndStateAsThePlayer) {
  const Scenario& s = GetParam();
  for (bool real : {true, false}) {
    SCOPED_TRACE(real ? "TMP3Player" : "TFakeMP3Player");
    std::unique_ptr<Harness> h;
    if (real)
      h = std::make_unique<RealHarness>();
    else
      h = std::make_unique<FakeHarness>();
    s.run(*h);
    EXPECT_EQ(h->log, s.events);
    EXPECT_EQ(h->Player().IsOpened(), s.opened);
    EXPECT_EQ(h->Player().Status(), s.status);
    EXPECT_EQ(h->Player().FileName(), s.fileName);
    if (s.status == mpsStopped) {
      EXPECT_EQ(h->Player().Position(), 0);
    }
    h->Player().Close();
    h->Settle();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, FakeIsFaithful,
    ::testing::Values(Scenario{"StopThenClose",
                               [](Harness& h) {
                                 h.Player().SetFileName(kSong);
                                 h.Settle();
                                 h.Player().Stop();
                                 h.Settle();
                                 h.Player().Close();  // already stopped: no second end of play
                                 h.Settle();
                               },
                               {"status 1", "status 0", "end 1"},
                               false,
                               mpsStopped,
                               ""},
                      Scenario{"PauseResumePauseIsOneBatch",
                               [](Harness& h) {
                                 h.Player().SetFileName(kSong);
                                 h.Settle();
                                 h.Player().Pause();
                                 h.Player().Resume();
                                 h.Player().Pause();
                                 h.Settle();
                                 h.Player().Stop();
                                 h.Settle();
                               },
                               {"status 1", "status 2", "status 0", "end 1"},
                               true,
                               mpsStopped,
                               kSong},
                      Scenario{"PlayedToTheEnd",
                               [](Harness& h) {
                                 h.Player().SetFileName(kSong);
                                 h.Settle();
                                 h.PlayToTheEnd();
                               },
                               {"status 1", "status 0", "end 0"},
                               true,
                               mpsStopped,
                               kSong},
                      Scenario{"AnotherSongWhileOnePlays",
                               [](Harness& h) {
                                 h.Player().SetFileName(kSong);
                                 h.Settle();
                                 h.Player().SetFileName(kOther);
                                 h.Settle();
                               },
                               {"status 1", "status 1", "end 1"},
                               true,
                               mpsPlaying,
                               kOther},
                      Scenario{"AnUnplayableSongWhileOnePlays",
                               [](Harness& h) {
                                 h.Player().SetFileName(kSong);
                                 h.Settle();
                                 EXPECT_THROW(h.Player().SetFileName(kBad), EMPError);
                                 h.Settle();
                               },
                               {"status 1", "status 0", "end 1"},
                               false,
                               mpsStopped,
                               ""},
                      Scenario{"AnEmptyNameWhilePaused",
                               [](Harness& h) {
                                 h.Player().SetFileName(kSong);
                                 h.Settle();
                                 h.Player().Pause();
                                 h.Settle();
                                 h.Player().SetFileName("");
                                 h.Settle();
                               },
                               {"status 1", "status 2", "status 0", "end 1"},
                               false,
                               mpsStopped,
                               ""},
                      Scenario{"CallsThatDoNothingNow",
                               [](Harness& h) {
                                 h.Player().Stop();
                                 h.Player().Pause();
                                 h.Player().Play();
                                 h.Player().Seek(1000);
                                 h.Player().Close();
                                 h.Settle();
                                 h.Player().SetFileName(kSong);
                                 h.Player().Resume();
                                 h.Player().Play();
                                 h.Settle();
                               },
                               {"status 1"},
                               true,
                               mpsPlaying,
                               kSong}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

TEST_F(FakeIsFaithful, AFailureWhilePlayingEndsWithErrorAfterTheDisplay) {
  for (bool real : {true, false}) {
    SCOPED_TRACE(real ? "TMP3Player" : "TFakeMP3Player");
    shown_ = 0;
    std::unique_ptr<Harness> h;
    if (real)
      h = std::make_unique<RealHarness>();
    else
      h = std::make_unique<FakeHarness>();
    h->BreakTheDevice();
    h->Player().SetFileName(kSong);
    h->FailWhilePlaying();
    // The real decode thread may fail before the first status change has been raised;
    // how the song ends does not depend on it.
    ASSERT_GE(h->log.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(h->log.end() - 2, h->log.end()),
              (std::vector<std::string>{"status 0", "end 2"}));
    EXPECT_EQ(shown_, 1);
    EXPECT_TRUE(h->Player().IsOpened());
    EXPECT_EQ(h->Player().Status(), mpsStopped);
  }
}

TEST(FakePlayer, RecordsCallsAndMovesTheSongOnByHand) {
  TMPRunLoop loop;
  TFakeMP3Player p(loop);
  p.Songs["/m/a.mp3"] = {240000, "Title A", "Artist A", "Album A", "1999", "3/12"};
  int positions = 0;
  p.OnChangePosition = [&](TMP3PlayerIntf* q) {
    ++positions;
    EXPECT_EQ(q, &p);
  };
  p.SetFileName("/m/a.mp3");
  EXPECT_EQ(p.Duration(), 240000);
  EXPECT_EQ(p.Title(), "Title A");
  EXPECT_EQ(p.Track(), "3/12");
  p.SetPosition(61000);
  EXPECT_EQ(p.Position(), 61000);
  // Beyond the end it lands on the end, as the player lands on the last frame.
  p.Seek(300000);
  EXPECT_EQ(p.Position(), 240000);
  p.Seek(-1);
  EXPECT_EQ(p.Position(), 240000);
  loop.RunFor(10);
  EXPECT_EQ(positions, 1);  // play and seek before the loop ran: one event
  p.TickPosition();
  p.TickPosition();
  loop.RunFor(10);
  EXPECT_EQ(positions, 2);
  // Unknown songs open without tags: the title is the file part of the name.
  p.SetFileName("/m/b.mp3");
  EXPECT_EQ(p.Title(), "b.mp3");
  EXPECT_EQ(p.Artist(), "");
  EXPECT_EQ(p.Duration(), 0);

  p.SetVolume(40);
  p.SetVolume(101);
  p.SetVolBalance(-101);
  p.SetEqualizerFreq(0, 60);  // memSubBand: ignored
  p.SetEqualizerMode(memFreq);
  p.SetEqualizerFreq(0, 60);
  p.SetChangePosStep(99);
  EXPECT_EQ(p.Volume(), 40);
  EXPECT_EQ(p.VolBalance(), 0);
  EXPECT_EQ(p.EqualizerFreq(0), 60);
  EXPECT_EQ(p.ChangePosStep(), 400);
  EXPECT_THROW(p.SetEqualizerValue(32, 0), std::out_of_range);
  EXPECT_EQ(p.Calls(),
            (std::vector<std::string>{
                "SetFileName(/m/a.mp3)", "Seek(300000)", "Seek(-1)", "SetFileName(/m/b.mp3)", "SetVolume(40)",
                "SetVolume(101)", "SetVolBalance(-101)", "SetEqualizerFreq(0,60)", "SetEqualizerMode(1)",
                "SetEqualizerFreq(0,60)", "SetChangePosStep(99)", "SetEqualizerValue(32,0)"}));
}
