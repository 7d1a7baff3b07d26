// The player as a user meets it: the real program in a private session bus, playing a
// list of real songs, recorded with wav-rt:FILE and followed through its trace
// (SORREL_TRACE); driven by playerctl over MPRIS and by xdotool in a private X server.
#include "tests/app/Programs.h"
#include "tests/platform/ProcessHelpers.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_sorrel;

namespace {

const std::string kDecode = kBuild + "/tools/decode/sorrel-decode";

bool Have(const char* program) { return !Which(program).empty(); }

struct TWav {
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> samples;  // interleaved
};

// A 16-bit PCM WAV file; the data chunk's size may be left at 0 by a writer that was
// killed, then it runs to the end.
std::optional<TWav> ReadWav(const std::string& path) {
  const std::string d = Slurp(path);
  if (d.size() < 44 || d.compare(0, 4, "RIFF") != 0) return std::nullopt;
  TWav w;
  size_t i = 12;
  while (i + 8 <= d.size()) {
    uint32_t size = 0;
    std::memcpy(&size, d.data() + i + 4, 4);
    const std::string id = d.substr(i, 4);
    if (id == "fmt ") {
      uint16_t ch = 0;
      uint32_t rate = 0;
      std::memcpy(&ch, d.data() + i + 10, 2);
      std::memcpy(&rate, d.data() + i + 12, 4);
      w.channels = ch;
      w.rate = static_cast<int>(rate);
    } else if (id == "data") {
      const size_t n = size == 0 || i + 8 + size > d.size() ? d.size() - i - 8 : size;
      w.samples.resize(n / 2);
      std::memcpy(w.samples.data(), d.data() + i + 8, w.samples.size() * 2);
      return w;
    }
    i += 8 + size + (size & 1);
  }
  return std::nullopt;
}

// The songs' PCM as the decoder makes it.
TWav Decoded(const std::string& song, const std::string& dir) {
  const std::string out = dir + "/decoded-" + fs::path(song).stem().string() + ".wav";
  EXPECT_EQ(Run({kDecode, song, out}, {}, dir, 30000), 0) << song;
  return ReadWav(out).value_or(TWav{});
}

// How well `recorded` (from `at`) is the decoded song scaled by one gain: the spread of
// recorded / decoded over the loud samples of the song's last second, as a fraction of
// their median.  A different song, or one shifted by a sample, spreads far.
double GainSpread(const TWav& recorded, size_t at, const TWav& song) {
  const size_t n = song.samples.size();
  const size_t lastSecond = static_cast<size_t>(song.rate * song.channels);
  std::vector<double> ratios;
  for (size_t k = n > lastSecond ? n - lastSecond : 0; k < n; ++k) {
    if (std::abs(song.samples[k]) < 2000 || at + k >= recorded.samples.size()) continue;
    ratios.push_back(double(recorded.samples[at + k]) / song.samples[k]);
  }
  if (ratios.size() < 100) return 1e9;
  std::sort(ratios.begin(), ratios.end());
  const double median = ratios[ratios.size() / 2];
  if (median < 0.05) return 1e9;
  // The 2nd and 98th percentiles: rounding of quiet samples may stray a little.
  return (ratios[ratios.size() * 98 / 100] - ratios[ratios.size() * 2 / 100]) / median;
}

// One run of the player.
class TPlayer {
 public:
  TPlayer(const std::string& home, const std::string& audio, const std::vector<std::string>& args,
          std::vector<std::string> env = {}) {
    std::vector<std::string> argv{kSorrel, "--home", home, "--audio", audio};
    argv.insert(argv.end(), args.begin(), args.end());
    env.push_back("SORREL_TRACE=1");
    if (std::none_of(env.begin(), env.end(), [](const std::string& e) { return e.rfind("QT_QPA", 0) == 0; }))
      env.push_back("QT_QPA_PLATFORM=offscreen");
    static int runs = 0;
    const std::string dir = home + "/run" + std::to_string(++runs);
    fs::create_directories(dir);
    child_ = Spawn(argv, env, dir);
  }
  ~TPlayer() {
    if (!exited_) {
      Kill(child_, SIGKILL);
      WaitExit(child_, 5000);
    }
  }

  std::string Said() const { return Slurp(child_.stderrPath); }
  // The songs started, in order ("play ROW PATH" of the trace).
  std::vector<std::string> Plays() const {
    std::vector<std::string> out;
    static const std::regex kPlay(R"(sorrel: trace \+[0-9.]+ play -?[0-9]+ (.*))");
    std::istringstream in(Said());
    for (std::string line; std::getline(in, line);) {
      std::smatch m;
      if (std::regex_match(line, m, kPlay)) out.push_back(m[1]);
    }
    return out;
  }
  bool WaitPlays(size_t n, int ms) const {
    return WaitFor([&] { return Plays().size() >= n; }, ms);
  }
  // Command 4 through the bus, as another program closes the player.
  int Close() {
    Run({kSend, "post", "0x599", "4", "0"}, {}, fs::path(child_.stderrPath).parent_path(), 5000);
    const auto rc = WaitExit(child_, 10000);
    exited_ = rc.has_value();
    return rc.value_or(-1);
  }

 private:
  Child child_;
  bool exited_ = false;
};

std::string Playerctl(const std::vector<std::string>& args) {
  std::vector<std::string> argv{Which("playerctl"), "-p", "sorrel"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string out;
  Run(argv, {}, "/tmp", 10000, &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

std::string IniValue(const std::string& ini, const std::string& key) {
  const std::regex re("(^|\n)" + key + "=([^\r\n]*)");
  std::smatch m;
  return std::regex_search(ini, m, re) ? m[2].str() : std::string();
}

void SetIniValue(const std::string& path, const std::string& key, const std::string& value) {
  std::string ini = Slurp(path);
  ini = std::regex_replace(ini, std::regex("(^|\n)" + key + "=[^\r\n]*"), "$1" + key + "=" + value);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << ini;
}

// A library of two directories, A (three tones) and B (two chords with a file between
// them that is no MP3 at all), and a directory list naming both.
class PlayE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = MakeTempDir();
    fs::create_directories(home_ + "/A");
    fs::create_directories(home_ + "/B");
    for (const char* s : {"01_a440.mp3", "02_e660.mp3", "03_a880.mp3"})
      fs::copy_file(kDemo + "/Tones/" + s, home_ + "/A/" + s);
    for (const char* s : {"01_c_e.mp3", "02_low_fifth.mp3"})
      fs::copy_file(kDemo + "/Chords/" + s, home_ + "/B/" + s);
    std::ofstream(home_ + "/B/01x_broken.mp3", std::ios::binary) << std::string(5000, '\x5a') << "not audio";
    list_ = home_ + "/list.pdr";
    std::ofstream(list_, std::ios::binary) << home_ << "/A\r\n" << home_ << "/B\r\n";
    songs_ = {home_ + "/A/01_a440.mp3", home_ + "/A/02_e660.mp3",    home_ + "/A/03_a880.mp3",
              home_ + "/B/01_c_e.mp3",  home_ + "/B/01x_broken.mp3", home_ + "/B/02_low_fifth.mp3"};
  }
  void TearDown() override { fs::remove_all(home_); }

  std::string home_, list_;
  std::vector<std::string> songs_;
};

TEST_F(PlayE2E, PlaysTheListInOrderSkipsABrokenSongAndWraps) {
  const std::string wav = home_ + "/heard.wav";
  TPlayer p(home_, "wav-rt:" + wav, {list_});
  // Five songs of about 4 s, then the first again.
  ASSERT_TRUE(p.WaitPlays(7, 40000)) << p.Said();
  EXPECT_EQ(p.Close(), 0);
  std::vector<std::string> plays = p.Plays();
  plays.resize(7);
  std::vector<std::string> expected = songs_;
  expected.push_back(songs_[0]);
  EXPECT_EQ(plays, expected);

  // The broken song is in the error log once, and left out of the order from then on.
  const std::string log = Slurp(home_ + "/sorrel_Error.log");
  EXPECT_TRUE(
      std::regex_search(log, std::regex(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d  Error  .*01x_broken\.mp3\r\n$)")))
      << log;

  // What was heard: the good songs back to each other, in order, each one whole.
  const std::optional<TWav> heard = ReadWav(wav);
  ASSERT_TRUE(heard.has_value());
  size_t at = 0;
  for (int i : {0, 1, 2, 3, 5}) {
    const TWav song = Decoded(songs_[i], home_);
    ASSERT_FALSE(song.samples.empty());
    EXPECT_EQ(heard->rate, song.rate);
    // The first song is still fading in at its end only when the machine is very slow.
    if (i > 0) {
      EXPECT_LT(GainSpread(*heard, at, song), 0.05) << songs_[i];
    }
    // ... and not where the next song stands.
    if (i == 1) {
      EXPECT_GT(GainSpread(*heard, at + song.samples.size() / 2, song), 0.05);
    }
    at += song.samples.size();
  }
  EXPECT_GE(heard->samples.size(), at);
  // The fade-in: silence at the start, then louder.
  const auto peak = [&](size_t from, size_t n) {
    int m = 0;
    for (size_t k = from; k < from + n && k < heard->samples.size(); ++k)
      m = std::max(m, std::abs(int(heard->samples[k])));
    return m;
  };
  const size_t tenth = static_cast<size_t>(heard->rate * heard->channels / 10);
  EXPECT_EQ(peak(0, tenth), 0);
  EXPECT_GT(peak(30 * tenth, tenth), 1000);
}

TEST_F(PlayE2E, ResumesBeforeTheStoredPlaceAndIntoTheSongBefore) {
  {
    TPlayer p(home_, "null", {list_});
    ASSERT_TRUE(p.WaitPlays(1, 10000));
    EXPECT_EQ(p.Close(), 0);
  }
  const std::string ini = home_ + "/sorrel.ini";
  ASSERT_EQ(IniValue(Slurp(ini), "CurFile"), songs_[0]);
  if (!Have("playerctl")) GTEST_SKIP() << "playerctl is not installed";

  // Stored: the third song at 3.5 s with MainLevel 10: it resumes 1 s earlier.
  SetIniValue(ini, "MusicIndex", "2");
  SetIniValue(ini, "CurFile", songs_[2]);
  SetIniValue(ini, "CurPos", "3500");
  SetIniValue(ini, "MainLevel", "10");
  {
    TPlayer p(home_, "null", {});
    ASSERT_TRUE(WaitFor([&] { return Playerctl({"status"}) == "Playing"; }, 10000)) << p.Said();
    const double pos = std::stod(Playerctl({"position"}));
    EXPECT_GE(pos, 2.4);
    EXPECT_LT(pos, 4.0);  // 2.5 s and the time the questions took on a loaded machine
    EXPECT_EQ(Playerctl({"metadata", "xesam:url"}), "file://" + songs_[2]);
    EXPECT_EQ(p.Plays(), std::vector<std::string>{songs_[2]});
    EXPECT_EQ(p.Close(), 0);
  }
  // At 1 s with MainLevel 20 the place lies 1 s before the song: the second song, 1 s
  // before its end.
  SetIniValue(ini, "MusicIndex", "2");
  SetIniValue(ini, "CurFile", songs_[2]);
  SetIniValue(ini, "CurPos", "1000");
  SetIniValue(ini, "MainLevel", "20");
  {
    TPlayer p(home_, "null", {});
    ASSERT_TRUE(WaitFor([&] { return Playerctl({"status"}) == "Playing"; }, 10000)) << p.Said();
    const double length = std::stod(Playerctl({"metadata", "mpris:length"})) / 1e6;
    const double pos = std::stod(Playerctl({"position"}));
    EXPECT_EQ(Playerctl({"metadata", "xesam:url"}), "file://" + songs_[1]);
    EXPECT_GE(pos, length - 1.1);
    EXPECT_LT(pos, length);
    EXPECT_EQ(p.Plays(), (std::vector<std::string>{songs_[2], songs_[1]}));
    EXPECT_EQ(p.Close(), 0);
  }
}

TEST_F(PlayE2E, PlayerctlDrivesThePlayerAndAShuffledOrderSurvivesARestart) {
  if (!Have("playerctl")) GTEST_SKIP() << "playerctl is not installed";
  fs::remove(songs_[4]);  // no broken song here: every step is a song
  std::vector<std::string> cycle;
  {
    TPlayer p(home_, "null", {list_});
    ASSERT_TRUE(WaitFor([&] { return Playerctl({"status"}) == "Playing"; }, 10000)) << p.Said();
    EXPECT_EQ(Playerctl({"metadata", "xesam:url"}), "file://" + songs_[0]);
    EXPECT_EQ(Playerctl({"metadata", "xesam:title"}), "A440");
    EXPECT_EQ(Playerctl({"metadata", "mpris:trackid"}), "'/org/sorrel/track/0'");
    EXPECT_GT(std::stod(Playerctl({"position"})), 0.0);

    Playerctl({"next"});
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"metadata", "xesam:url"}) == "file://" + songs_[1]; }, 3000));
    // Within the first 3 s, previous goes to the song before.
    Playerctl({"previous"});
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"metadata", "xesam:url"}) == "file://" + songs_[0]; }, 3000));
    Playerctl({"play-pause"});
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"status"}) == "Paused"; }, 3000));
    Playerctl({"play-pause"});
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"status"}) == "Playing"; }, 3000));
    Playerctl({"volume", "0.25"});
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"volume"}) == "0.250000"; }, 3000)) << Playerctl({"volume"});

    // Shuffle on: the song plays on; stepping through the order visits every song once.
    Playerctl({"shuffle", "On"});
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"shuffle"}) == "On"; }, 3000));
    EXPECT_EQ(Playerctl({"metadata", "xesam:url"}), "file://" + songs_[0]);
    for (int i = 0; i < 5; ++i) {
      const std::string before = Playerctl({"metadata", "mpris:trackid"});
      Playerctl({"next"});
      ASSERT_TRUE(WaitFor([&] { return Playerctl({"metadata", "mpris:trackid"}) != before; }, 3000));
      cycle.push_back(Playerctl({"metadata", "xesam:url"}));
    }
    std::vector<std::string> sorted = cycle;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(p.Close(), 0);
  }
  EXPECT_EQ(IniValue(Slurp(home_ + "/sorrel.ini"), "Shuffle"), "1");
  {
    // The stored song (or, resuming before its start, the one before it in the order),
    // then the same order as before the restart.
    TPlayer p(home_, "null", {});
    ASSERT_TRUE(WaitFor([&] { return Playerctl({"status"}) == "Playing"; }, 10000)) << p.Said();
    EXPECT_EQ(Playerctl({"shuffle"}), "On");
    const std::string first = Playerctl({"metadata", "xesam:url"});
    const auto at = std::find(cycle.begin(), cycle.end(), first);
    ASSERT_NE(at, cycle.end()) << first;
    EXPECT_TRUE(first == cycle[4] || first == cycle[3]) << first;
    const size_t start = static_cast<size_t>(at - cycle.begin());
    for (size_t i = 1; i <= 5; ++i) {
      const std::string before = Playerctl({"metadata", "mpris:trackid"});
      Playerctl({"next"});
      ASSERT_TRUE(WaitFor([&] { return Playerctl({"metadata", "mpris:trackid"}) != before; }, 3000));
      EXPECT_EQ(Playerctl({"metadata", "xesam:url"}), cycle[(start + i) % 5]);
    }
    // Opening a list plays its first song, in list order.
    const std::string pfl = home_ + "/two.pfl";
    std::ofstream(pfl, std::ios::binary) << songs_[5] << "\n" << songs_[3] << "\n";
    Playerctl({"open", "file://" + pfl});
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"metadata", "xesam:url"}) == "file://" + songs_[5]; }, 3000));
    EXPECT_EQ(Playerctl({"shuffle"}), "Off");
    // A song deleted before its turn is logged and passed over.
    fs::remove(songs_[3]);
    Playerctl({"next"});
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"metadata", "xesam:url"}) == "file://" + songs_[5]; }, 3000));
    EXPECT_NE(Slurp(home_ + "/sorrel_Error.log").find(songs_[3]), std::string::npos);
    EXPECT_EQ(p.Close(), 0);
  }
  // The list opened last is the default list of its mode now.
  EXPECT_NE(Slurp(home_ + "/Default.tfl").find(songs_[5]), std::string::npos);
}

// A private X server, with its display for the player.
class TXServer {
 public:
  TXServer() {
    dir_ = MakeTempDir();
    child_ = Spawn({Which("Xvfb"), "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {},
                   dir_);
    WaitFor([&] { return Slurp(child_.stdoutPath).find('\n') != std::string::npos; }, 10000);
    std::string d = Slurp(child_.stdoutPath);
    d.erase(std::remove(d.begin(), d.end(), '\n'), d.end());
    if (!d.empty()) display_ = ":" + d;
  }
  ~TXServer() {
    Kill(child_, SIGTERM);
    WaitExit(child_, 5000);
    fs::remove_all(dir_);
  }
  const std::string& Display() const { return display_; }
  int Xdotool(const std::vector<std::string>& args, std::string* out = nullptr) const {
    std::vector<std::string> argv{Which("xdotool")};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, {"DISPLAY=" + display_}, dir_, 10000, out);
  }

 private:
  std::string dir_, display_;
  Child child_;
};

TEST_F(PlayE2E, KeysPressedInTheRealWindowMoveThroughTheSongs) {
  if (!Have("Xvfb") || !Have("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is not installed";
  TXServer x;
  ASSERT_FALSE(x.Display().empty());
  fs::remove(songs_[4]);
  TPlayer p(home_, "null", {list_}, {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb"});
  ASSERT_TRUE(p.WaitPlays(1, 10000)) << p.Said();
  std::string window;
  ASSERT_TRUE(WaitFor(
      [&] {
        return x.Xdotool({"search", "--name", "^Tarn's MP3Player$"}, &window) == 0;
      },
      10000));
  window = window.substr(0, window.find('\n'));
  x.Xdotool({"windowactivate", "--sync", window});
  x.Xdotool({"windowfocus", "--sync", window});
  const auto key = [&](const std::string& k) { x.Xdotool({"key", "--window", window, k}); };

  key("Right");  // 9: next song, at key down
  EXPECT_TRUE(p.WaitPlays(2, 5000)) << p.Said();
  key("shift+Right");  // 11: next directory
  EXPECT_TRUE(p.WaitPlays(3, 5000)) << p.Said();
  key("Left");  // 8: within 3 s, the song before
  EXPECT_TRUE(p.WaitPlays(4, 5000)) << p.Said();
  key("KP_Add");  // the keypad's plus alone: nothing
  key("b");       // no command: only forwarded, when Navin'You's map view is known
  const std::vector<std::string> plays = p.Plays();
  EXPECT_EQ(plays, (std::vector<std::string>{songs_[0], songs_[1], songs_[3], songs_[2]}));
  if (Have("playerctl")) {
    key("space");  // 5: pause
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"status"}) == "Paused"; }, 3000));
  }
  key("alt+F4");  // 4: close, at key up
  EXPECT_TRUE(
      WaitFor([&] { return Slurp(home_ + "/sorrel.ini").find("CurFile=") != std::string::npos; }, 10000));
  EXPECT_EQ(p.Plays().size(), 4u);
}

}  // namespace

namespace {

// A PCM WAV file of `ms` milliseconds at 8000 Hz mono 16-bit, its samples from `seed`.
std::string VoiceSound(int ms, int seed) {
  std::string pcm(size_t(ms) * 16, '\0');
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = char(1 + (seed * 37 + i * 5) % 250);
  const auto le = [](uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += char((v >> (8 * i)) & 0xFF);
    return s;
  };
  return "RIFF" + le(36 + uint32_t(pcm.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) +
         le(8000, 4) + le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(uint32_t(pcm.size()), 4) + pcm;
}

}  // namespace

TEST_F(PlayE2E, SentencesPastACameraRaiseTheAlarmAndSpeak) {
  fs::remove(songs_[4]);
  // A camera on a highway at 35° N 139° E, watching traffic heading north.
  std::ofstream(home_ + "/ovis.pot", std::ios::binary)
      << "ORD=poi/tex=首都高速 レーダ/kei=139'0'0'0/ido=35'0'0'0/deg=0\r\n";
  fs::create_directories(home_ + "/Voice");
  const std::string distance = VoiceSound(400, 1), type = VoiceSound(300, 2), nil = VoiceSound(100, 3);
  std::ofstream(home_ + "/Voice/このさき.wav", std::ios::binary) << distance;
  std::ofstream(home_ + "/Voice/高速レーダ.wav", std::ios::binary) << type;
  std::ofstream(home_ + "/Voice/nil.wav", std::ios::binary) << nil;
  std::ofstream(home_ + "/sorrel.ini", std::ios::binary)
      << "[OvisAlarm]\r\nUseTNLink=1\r\nAlarmDistance=1500\r\nPreLevelDownWait=2000\r\n"
         "PlaySoundInterval=5000\r\nAlarmHideDelay=3000\r\n";
  const std::string wav = home_ + "/heard.wav";
  TPlayer p(home_, "wav-rt:" + wav, {list_});
  ASSERT_TRUE(p.WaitPlays(1, 10000)) << p.Said();
  // A car heading north at 60 km/h, 1,234 m south of the camera for nine seconds, then
  // past it: one sentence a second, as the position link tool sends them.
  const auto sentence = [&](int metresSouth) {
    char s[160];
    std::snprintf(s, sizeof s, "$tnlink_data,ido=%.6f,kei=139.000000,dir=0,vel=60",
                  35.0 - metresSouth / 111194.9);
    std::string out;
    testing_sorrel::Run({kSend, "copydata", "9999", s}, {}, home_, 5000, &out);
    return out;
  };
  EXPECT_EQ(sentence(1234), "1\n");
  for (int i = 0; i < 9; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    sentence(1234);
  }
  for (int i = 0; i < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    sentence(-200);
  }
  EXPECT_EQ(p.Close(), 0);
  // Said, on the voice's own device (its samples scaled by the one device volume, as
  // the music's): the distance and the type right after it (700 ms of sound), the same
  // again after the 5 s interval, and nil.wav (100 ms) when the window went.
  const std::optional<TWav> said = ReadWav(wav + ".voice.wav");
  ASSERT_TRUE(said.has_value());
  ASSERT_EQ(said->rate, 8000);
  std::vector<std::pair<int, int>> sounds;  // start and length in ms
  const int perMs = 8;
  int runStart = -1, lastLoud = -1000;
  for (size_t k = 0; k <= said->samples.size(); ++k) {
    const int ms = int(k) / perMs;
    const bool loud = k < said->samples.size() && said->samples[k] != 0;
    if (loud) {
      if (runStart < 0 || ms - lastLoud > 50) {
        if (runStart >= 0) sounds.emplace_back(runStart, lastLoud - runStart + 1);
        runStart = ms;
      }
      lastLoud = ms;
    }
  }
  if (runStart >= 0) sounds.emplace_back(runStart, lastLoud - runStart + 1);
  ASSERT_GE(sounds.size(), 3u) << sounds.size();
  EXPECT_NEAR(sounds[0].second, 700, 20);
  EXPECT_NEAR(sounds[1].second, 700, 20);
  // The interval is looked at on the alarm's checks, one a second.
  EXPECT_GE(sounds[1].first - sounds[0].first, 5000 - 50);
  EXPECT_LE(sounds[1].first - sounds[0].first, 6000 + 300);
  EXPECT_NEAR(sounds.back().second, 100, 20);
  // The pre-amplifier level the alarm lowered is back in the settings.
  EXPECT_EQ(IniValue(Slurp(home_ + "/sorrel.ini"), "PreLevel"), "0");
}

namespace {

// The times (ms since the player started) of a trace event.
std::vector<double> TraceTimes(const std::string& said, const std::string& event) {
  std::vector<double> out;
  const std::regex re(R"(sorrel: trace \+([0-9.]+) )" + event);
  std::istringstream in(said);
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (std::regex_match(line, m, re)) out.push_back(std::stod(m[1]));
  }
  return out;
}

// The median of the RMS levels of the whole 100 ms windows of `wav` between `fromMs`
// and `toMs`; nullopt when fewer than `minWindows` fit.  The median passes over the
// quiet joins between two runs of a song.
std::optional<double> MedianRms(const TWav& wav, double fromMs, double toMs, size_t minWindows) {
  const size_t perWindow = size_t(wav.rate / 10) * size_t(wav.channels);
  const auto at = [&](double ms) {
    return size_t(std::max(0.0, ms) * wav.rate / 1000) * size_t(wav.channels);
  };
  std::vector<double> levels;
  for (size_t k = at(fromMs); k + perWindow <= std::min(at(toMs), wav.samples.size()); k += perWindow) {
    double sum = 0;
    for (size_t j = k; j < k + perWindow; ++j) sum += double(wav.samples[j]) * wav.samples[j];
    levels.push_back(std::sqrt(sum / double(perWindow)));
  }
  if (levels.size() < minWindows) return std::nullopt;
  std::nth_element(levels.begin(), levels.begin() + long(levels.size() / 2), levels.end());
  return levels[levels.size() / 2];
}

struct TVoiceFile {
  std::string name;  // without ".wav"
  std::vector<int16_t> samples;
  size_t lead = 0;  // leading zero samples
  size_t peak = 0;  // the loudest sample
};

// One sound found in the voice recording: which file, where (ms from the recording's
// first sound), and whether it was heard to its end.
struct TSaid {
  std::string name;  // "?" for a sound that is none of the files
  int startMs = 0;
  int lengthMs = 0;
  bool whole = true;
};

// How many samples of `f` lie in `rec` from `at` on, scaled by one gain (the device
// volume, which the voice shares with the music).
size_t MatchLength(const std::vector<int16_t>& rec, size_t at, const TVoiceFile& f) {
  if (at + f.peak >= rec.size()) return 0;
  const double gain = double(rec[at + f.peak]) / f.samples[f.peak];
  if (gain < 0.05 || gain > 1.01) return 0;
  size_t k = 0;
  for (; k < f.samples.size() && at + k < rec.size(); ++k)
    if (std::abs(rec[at + k] - gain * f.samples[k]) > 2 + 0.01 * std::abs(f.samples[k])) break;
  return k;
}

// The recording as the files it is made of, in order.  A file counts when it is there
// whole, or cut off after at least 300 ms (by the next sound, as the voice device does);
// of files that share their beginning the longest match wins, and one cut off where
// others are alike is named with them ("a|b").
std::vector<TSaid> Recognize(const TWav& rec, const std::vector<TVoiceFile>& files) {
  std::vector<TSaid> out;
  const auto ms = [&](size_t k) { return int(k * 1000 / size_t(rec.rate)); };
  const std::vector<int16_t>& s = rec.samples;
  size_t i = 0;
  while (true) {
    while (i < s.size() && s[i] == 0) ++i;
    if (i >= s.size()) break;
    const TVoiceFile* best = nullptr;
    size_t bestLength = 0, bestAt = 0;
    std::string alike;
    for (const TVoiceFile& f : files) {
      if (i < f.lead) continue;
      const size_t n = MatchLength(s, i - f.lead, f);
      if (n > bestLength && (n == f.samples.size() || n >= size_t(rec.rate) * 3 / 10)) {
        best = &f;
        bestLength = n;
        bestAt = i - f.lead;
        alike.clear();
      } else if (best && n == bestLength && n < f.samples.size()) {
        alike += "|" + f.name;  // cut off where it and the best one are alike
      }
    }
    if (!best) {
      const size_t from = i;
      while (i < s.size() && s[i] != 0) ++i;
      out.push_back({"?", ms(from), ms(i - from), false});
      continue;
    }
    const bool whole = bestLength == best->samples.size();
    out.push_back({whole ? best->name : best->name + alike, ms(bestAt), ms(bestLength), whole});
    i = bestAt + bestLength;
  }
  return out;
}

std::string Describe(const std::vector<TSaid>& said) {
  std::ostringstream o;
  for (const TSaid& s : said)
    o << s.name << "@" << s.startMs << "+" << s.lengthMs << (s.whole ? "" : "(cut)") << " ";
  return o.str();
}

}  // namespace

// The demo drive (demo/drive.nmea: north past a highway camera, a right turn, east past
// a camera in town) replayed by gpsd through gpsfake, five fixes a second, and handed to
// the real player by sorrel-gpslink, with the demo's point file and voices.  The music is
// one steady tone, over and over, so its level before, during and after an alarm can be
// compared in the recording.
TEST_F(PlayE2E, TheDemoDriveThroughGpsdRaisesTheAlarmLowersTheMusicAndSpeaks) {
  const std::string gpsfake = Which("gpsfake");
  if (gpsfake.empty() || Which("gpsd").empty()) GTEST_SKIP() << "gpsfake or gpsd is not installed";
  const std::string link = kBuild + "/tools/gpslink/sorrel-gpslink";
  if (!fs::exists(link)) GTEST_SKIP() << "sorrel-gpslink was not built (libgps-dev is missing)";

  fs::copy_file(kDemo + "/ovis.pot", home_ + "/ovis.pot");
  fs::copy(kDemo + "/Voice", home_ + "/Voice", fs::copy_options::recursive);
  std::vector<TVoiceFile> voices;
  for (const auto& e : fs::directory_iterator(home_ + "/Voice")) {
    const std::optional<TWav> w = ReadWav(e.path().string());
    ASSERT_TRUE(w && w->rate == 16000 && w->channels == 1 && !w->samples.empty()) << e.path();
    TVoiceFile f{e.path().stem().string(), w->samples};
    while (f.samples[f.lead] == 0) ++f.lead;
    for (size_t k = 0; k < f.samples.size(); ++k)
      if (std::abs(f.samples[k]) > std::abs(f.samples[f.peak])) f.peak = k;
    voices.push_back(std::move(f));
  }
  // The hide delay outlasts the longest distance and type (1.2 + 2.7 s), so that nil.wav
  // never cuts the last words short.
  const int kLevelDownVal = 40, kLevelDownWait = 1000, kInterval = 5000, kHideDelay = 4000;
  std::ofstream(home_ + "/sorrel.ini", std::ios::binary)
      << "[OvisAlarm]\r\nUseTNLink=1\r\nAlarmDistance=800\r\nPreLevelDownVal=" << kLevelDownVal
      << "\r\nPreLevelDownWait=" << kLevelDownWait << "\r\nPlaySoundInterval=" << kInterval
      << "\r\nAlarmHideDelay=" << kHideDelay << "\r\n";
  const std::string tone = home_ + "/tone.pfl";
  std::ofstream(tone, std::ios::binary) << songs_[0] << "\r\n";

  const std::string wav = home_ + "/heard.wav";
  TPlayer p(home_, "wav-rt:" + wav, {tone});
  ASSERT_TRUE(WaitFor([&] { return !TraceTimes(p.Said(), "first buffer queued").empty(); }, 10000))
      << p.Said();
  // The fade-in (about 3 s) heard through the output's buffers (up to 3.2 s) first.
  std::this_thread::sleep_for(std::chrono::milliseconds(7500));
  const std::string port = std::to_string(20000 + getpid() % 20000);
  // gpsfake and its gpsd in a process group of their own, ended together: gpsfake has
  // been seen to outlive a SIGTERM after its log ended, with its gpsd gone.
  const std::string setsid = Which("setsid");
  ASSERT_FALSE(setsid.empty());
  Child fake =
      Spawn({setsid, gpsfake, "-1", "-q", "-P", port, "-c", "0.1", kDemo + "/drive.nmea"}, {}, home_);
  Child gpslink = Spawn({link, "--port", port, "--quiet"}, {}, home_);
  // Both windows gone (the second after the hide delay, or when the sentences stop);
  // then the music plays on a while at its level again.
  const bool hidden = WaitFor([&] { return TraceTimes(p.Said(), "alarm window hidden").size() >= 2; }, 60000);
  if (hidden) std::this_thread::sleep_for(std::chrono::milliseconds(5500));
  Kill(gpslink, SIGTERM);
  WaitExit(gpslink, 5000);
  const pid_t group = fake.pid;
  kill(-group, SIGTERM);
  if (!WaitExit(fake, 3000)) {
    kill(-group, SIGKILL);
    WaitExit(fake, 3000);
  }
  EXPECT_EQ(p.Close(), 0);
  ASSERT_TRUE(hidden) << p.Said() << Slurp(gpslink.stderrPath) << Slurp(fake.stderrPath);

  // The window: up for the first camera, down between them, up for the second, down.
  const std::string said = p.Said();
  const std::vector<double> shown = TraceTimes(said, "alarm window shown");
  const std::vector<double> gone = TraceTimes(said, "alarm window hidden");
  ASSERT_EQ(shown.size(), 2u) << said;
  ASSERT_EQ(gone.size(), 2u) << said;
  ASSERT_TRUE(shown[0] < gone[0] && gone[0] < shown[1] && shown[1] < gone[1]) << said;

  // Heard: the music lowered by the pre-amplifier's 40 steps (10^(-40/100) = 0.398) while
  // the window was up, and back to its level afterwards.  The recording starts when the
  // first buffer was queued; a change of level reaches it after the samples already in
  // the output's four buffers of 0.8 s, so the windows measured keep clear of that.
  const std::optional<TWav> heard = ReadWav(wav);
  ASSERT_TRUE(heard.has_value());
  const double t0 = TraceTimes(said, "first buffer queued").front();
  const double kLatency = 3500, kNil = 300;
  const auto before = MedianRms(*heard, shown[0] - t0 - 2500, shown[0] - t0 - 200, 15);
  const auto lowered = MedianRms(*heard, shown[0] - t0 + kLatency, gone[0] - t0 - 200, 15);
  const std::vector<double> end = TraceTimes(said, "shutdown");
  ASSERT_EQ(end.size(), 1u) << said;
  const auto after = MedianRms(*heard, gone[1] - t0 + kNil + kLatency, end[0] - t0 - 200, 8);
  ASSERT_TRUE(before && lowered && after) << said;
  EXPECT_GT(*before, 1000.0);
  EXPECT_NEAR(*lowered / *before, std::pow(10.0, -kLevelDownVal / 100.0), 0.03) << *before << " " << *lowered;
  EXPECT_NEAR(*after / *before, 1.0, 0.03) << *before << " " << *after;

  // Said: for each camera its distance and its road and type, repeated after the
  // interval, then nil.wav when the window went.
  const std::optional<TWav> voice = ReadWav(wav + ".voice.wav");
  ASSERT_TRUE(voice.has_value());
  ASSERT_EQ(voice->rate, 16000);
  const std::vector<TSaid> words = Recognize(*voice, voices);
  const std::string all = Describe(words);
  std::vector<std::vector<TSaid>> blocks(1);
  for (const TSaid& w : words) {
    ASSERT_NE(w.name, "?") << all;
    if (w.name == "nil") {
      EXPECT_TRUE(w.whole) << all;
      blocks.back().push_back(w);
      blocks.emplace_back();
    } else {
      blocks.back().push_back(w);
    }
  }
  ASSERT_EQ(blocks.size(), 3u) << all;
  EXPECT_TRUE(blocks[2].empty()) << all;
  const char* const types[] = {"高速Hシステム", "一般レーダ"};  // from the cameras' texts
  for (int b = 0; b < 2; ++b) {
    const std::vector<TSaid>& block = blocks[size_t(b)];
    // Pairs of distance and type (a second one when the car is still before the camera
    // after the interval), then nil.
    ASSERT_GE(block.size(), 3u) << all;
    ASSERT_EQ(block.size() % 2, 1u) << all;
    int lastMetres = 1000;
    for (size_t k = 0; k + 1 < block.size(); k += 2) {
      const TSaid& distance = block[k];
      const TSaid& type = block[k + 1];
      // 800 m when the window came, then nearer: a number of metres below 800, falling.
      std::smatch m;
      ASSERT_TRUE(std::regex_match(distance.name, m, std::regex("([0-9]+)m"))) << all;
      const int metres = std::stoi(m[1]);
      EXPECT_LE(metres, 700) << all;
      EXPECT_LT(metres, lastMetres) << all;
      lastMetres = metres;
      EXPECT_TRUE(distance.whole) << all;
      EXPECT_EQ(type.name, types[b]) << all;
      EXPECT_TRUE(type.whole) << all;
      // The type right after the distance.
      EXPECT_LE(type.startMs - (distance.startMs + distance.lengthMs), 100) << all;
      if (k + 3 < block.size()) {
        const int repeat = block[k + 2].startMs - distance.startMs;
        EXPECT_GE(repeat, kInterval - 50) << all;
        EXPECT_LE(repeat, kInterval + 1500) << all;
      }
    }
    // The first words a level wait after the window came, nil.wav when it went: the
    // voice recording's times against the trace's.  The first words come on the first
    // sentence after the wait, a moment later when the machine is busy.
    const double windowUp = gone[size_t(b)] - shown[size_t(b)];
    const int spoken = block.back().startMs - block.front().startMs;
    EXPECT_LE(spoken, windowUp - kLevelDownWait + 200) << all << " window " << windowUp;
    EXPECT_GE(spoken, windowUp - kLevelDownWait - 1000) << all << " window " << windowUp;
  }
  const int between = blocks[1].front().startMs - blocks[0].back().startMs;
  EXPECT_NEAR(between, shown[1] - gone[0] + kLevelDownWait, 1000) << all;

  EXPECT_EQ(IniValue(Slurp(home_ + "/sorrel.ini"), "PreLevel"), "0");
}
