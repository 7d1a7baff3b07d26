// The power backend and the player's suspend, resume and power command end to end,
// against logind faked by python3-dbusmock's logind template on a private bus that
// stands in for the system bus.  The player's side is power_peer, which prints what it
// is asked to do; the mock's log holds the calls that reached "logind".
#include "tests/platform/CoreApp.h"
#include "tests/platform/ProcessHelpers.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace testing_sorrel;

namespace {

const char* const kPython = "/usr/bin/python3";  // Debian's, which has dbusmock
const char* const kPeer = SORREL_BUILD_DIR "/tests/platform/power_peer";

bool HaveDbusmock() {
  static const bool have =
      access(kPython, X_OK) == 0 &&
      std::system((std::string(kPython) + " -c 'import dbusmock' 2>/dev/null").c_str()) == 0;
  return have;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The pipes a process holds open (logind's lock, and the mock's, is one end of a pipe).
std::set<std::string> Pipes(pid_t pid) {
  std::set<std::string> pipes;
  const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (target.rfind("pipe:", 0) == 0) pipes.insert(target);
  }
  return pipes;
}

std::set<std::string> Minus(const std::set<std::string>& a, const std::set<std::string>& b) {
  std::set<std::string> d;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(d, d.end()));
  return d;
}

bool Contains(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The calls of one method in the mock's log ("<time> <Method> <args>"), with their times.
std::vector<double> CallTimes(const std::string& log, const std::string& method) {
  std::vector<double> times;
  for (const std::string& line : Lines(log)) {
    const size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string rest = line.substr(space + 1);
    if (rest == method || rest.rfind(method + " ", 0) == 0) times.push_back(std::stod(line.substr(0, space)));
  }
  return times;
}

// A private bus used as the system bus, with or without the logind mock on it, and the
// peer in a home directory of its own.
class PowerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_sorrel::EnsureCoreApp();
    dir_ = MakeTempDir();
    const std::string daemon = Which("dbus-daemon");
    ASSERT_FALSE(daemon.empty()) << "dbus-daemon is not installed";
    bus_ = Spawn({daemon, "--session", "--nofork", "--print-address=1"}, {}, dir_);
    ASSERT_TRUE(WaitFor([&] { return Contains(Slurp(bus_.stdoutPath), "\n"); }, 10000));
    address_ = Lines(Slurp(bus_.stdoutPath)).at(0);
    connection_ = "power-test-" + std::to_string(++serial_);
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address_), Name());
    ASSERT_TRUE(bus.isConnected());
  }

  void TearDown() override {
    if (peer_.pid > 0) {
      Kill(peer_, SIGKILL);
      WaitExit(peer_, 5000);
    }
    StopMock();
    QDBusConnection::disconnectFromBus(Name());
    Kill(bus_, SIGTERM);
    WaitExit(bus_, 5000);
    std::system(("rm -rf " + dir_).c_str());
  }

  QString Name() const { return QString::fromStdString(connection_); }
  QDBusConnection Bus() const { return QDBusConnection(Name()); }
  std::string Env() const { return "DBUS_SYSTEM_BUS_ADDRESS=" + address_; }

  // The mock of logind; `parameters` is the template's JSON dictionary.
  void StartMock(const std::string& parameters = "{}") {
    mockLog_ = dir_ + "/logind" + std::to_string(++mocks_) + ".log";
    mock_ = Spawn(
        {kPython, "-m", "dbusmock", "--system", "--template", "logind", "-l", mockLog_, "-p", parameters},
        {Env()}, dir_);
    ASSERT_TRUE(WaitFor(
        [&] { return Bus().interface()->isServiceRegistered("org.freedesktop.login1").value(); }, 20000))
        << Slurp(mock_.stderrPath);
  }
  void StopMock() {
    if (mock_.pid <= 0) return;
    Kill(mock_, SIGTERM);
    WaitExit(mock_, 5000);
    WaitFor([&] { return !Bus().interface()->isServiceRegistered("org.freedesktop.login1").value(); }, 5000);
  }
  std::string MockLog() const { return Slurp(mockLog_); }

  // Calls a method of the mock's control interface.
  void Mock(const QString& method, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                    "org.freedesktop.DBus.Mock", method);
    m.setArguments(args);
    const QDBusMessage reply = Bus().call(m, QDBus::Block, 10000);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
  }
  void PrepareForSleep(bool start) {
    Mock("EmitSignal", {QString("org.freedesktop.login1.Manager"), QString("PrepareForSleep"), QString("b"),
                        QVariant::fromValue(QVariantList{QVariant(start)})});
  }

  void WriteSettings(const std::string& extra) {
    std::ofstream(dir_ + "/sorrel.ini") << "[Tarn's MP3PLayer Version]\nVersion=9.99x\n"
                                           "[PlayerMainForm]\nMinSleepTime=20\n"
                                        << extra;
  }
  std::string Settings() const { return Slurp(dir_ + "/sorrel.ini"); }

  void StartPeer(int positionMs, int commands, const std::vector<std::string>& env) {
    peer_ = Spawn({kPeer, dir_, std::to_string(positionMs), std::to_string(commands)}, env, dir_);
    ASSERT_TRUE(WaitFor([&] { return Contains(Out(), "ready\n"); }, 10000)) << Out() << Err();
  }
  std::string Out() const { return Slurp(peer_.stdoutPath); }
  std::string Err() const { return Slurp(peer_.stderrPath); }
  bool PeerRunning() { return !WaitExit(peer_, 0).has_value(); }

  // The peer's lines from the first that begins with `from`, `n` of them.
  std::vector<std::string> LinesFrom(const std::string& from, size_t n) const {
    std::vector<std::string> all = Lines(Out()), got;
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i].rfind(from, 0) != 0) continue;
      for (size_t j = i; j < all.size() && got.size() < n; ++j) got.push_back(all[j]);
      break;
    }
    return got;
  }

  std::string dir_;
  std::string address_;
  std::string connection_;
  std::string mockLog_;
  Child bus_, mock_, peer_;
  int mocks_ = 0;
  static inline int serial_ = 0;
};

#define REQUIRE_DBUSMOCK() \
  if (!HaveDbusmock()) GTEST_SKIP() << "python3-dbusmock is not installed for /usr/bin/python3"

TEST_F(PowerEndToEnd, SleepStoresThePlaceBeforeTheDelayEndsAndWakeResumes) {
  REQUIRE_DBUSMOCK();
  StartMock();
  WriteSettings(
      "[Player]\nMainLevel=50\n[OnResume]\nOnResumeWait=300\n"
      "[CurrentMusic]\nCurFile=/m/d0/3.mp3\nMusicIndex=2\nCurPos=0\n");
  StartPeer(3000, 0, {Env()});
  EXPECT_TRUE(Contains(Out(), "backend logind (delay held)\n")) << Out();
  EXPECT_EQ(CallTimes(MockLog(),
                      "Inhibit \"sleep\" \"Tarn's MP3Player\" \"Saving the position and settings\" \"delay\"")
                .size(),
            1u)
      << MockLog();

  const std::set<std::string> awake = Pipes(peer_.pid);
  PrepareForSleep(true);
  ASSERT_TRUE(WaitFor([&] { return Contains(Out(), "after sleep signal"); }, 10000)) << Out() << Err();
  // The lock's descriptor is closed, and nothing else.
  const std::set<std::string> asleep = Pipes(peer_.pid);
  EXPECT_EQ(Minus(awake, asleep).size(), 1u);
  EXPECT_TRUE(Minus(asleep, awake).empty());
  // The place and the settings are stored while the lock is held; it goes afterwards.
  EXPECT_EQ(LinesFrom("sleep signal", 6),
            (std::vector<std::string>{"sleep signal (thread gui, delay held)", "volume 0", "stop and close",
                                      "write CurPos=3000 MainLevel=50 ok (delay held)", "suspended",
                                      "after sleep signal: delay free"}));
  EXPECT_TRUE(Contains(Settings(), "CurPos=3000")) << Settings();

  // A new lock first, then the resume: 3000 - 100 x 50 is 2 s before the end of the
  // song before.
  PrepareForSleep(false);
  ASSERT_TRUE(WaitFor([&] { return Contains(Out(), "resume done"); }, 10000)) << Out() << Err();
  EXPECT_EQ(LinesFrom("wake signal", 9),
            (std::vector<std::string>{"wake signal (thread gui, delay held)", "master bar 100", "fade -2",
                                      "open /m/d0/3.mp3", "play 1", "seek 58000", "not suspended", "map L",
                                      "resume done: MusicIndex=1 position=58000 duration=60000"}));
  EXPECT_EQ(CallTimes(MockLog(), "Inhibit").size(), 2u) << MockLog();
  EXPECT_EQ(Minus(Pipes(peer_.pid), asleep).size(), 1u);

  // The next night stores the new place.
  PrepareForSleep(true);
  ASSERT_TRUE(WaitFor([&] { return Count(Out(), "after sleep signal: delay free") == 2; }, 10000)) << Out();
  EXPECT_TRUE(Contains(Out(), "write CurPos=58000 MainLevel=50 ok (delay held)")) << Out();
  EXPECT_TRUE(Contains(Settings(), "CurPos=58000"));
  EXPECT_TRUE(Contains(Settings(), "MusicIndex=1"));
  EXPECT_TRUE(PeerRunning());
  EXPECT_EQ(Err(), "");
}

// SuspendMode 1, 2 and 3 (a value above 3 hibernates too).
TEST_F(PowerEndToEnd, PowerCommandsReachLogind) {
  REQUIRE_DBUSMOCK();
  StartMock();
  struct Case {
    int mode;
    const char* call;
  };
  for (const Case& c :
       {Case{1, "Suspend"}, Case{2, "Hibernate"}, Case{3, "PowerOff"}, Case{7, "Hibernate"}}) {
    SCOPED_TRACE(c.mode);
    // This case's calls: what the mock logs from here on.
    const size_t before = MockLog().size();
    WriteSettings("SuspendMode=" + std::to_string(c.mode) + "\n[Lyric]\nTarn_Lyric=1\n");
    StartPeer(0, 1, {Env()});
    ASSERT_TRUE(WaitFor([&] { return !CallTimes(MockLog().substr(before), c.call).empty(); }, 10000))
        << Out() << Err() << MockLog();
    const std::string log = MockLog().substr(before);
    EXPECT_EQ(CallTimes(log, std::string(c.call) + " False").size(), 1u) << log;
    EXPECT_EQ(CallTimes(log, std::string("Can") + c.call).size(), 1u) << log;
    for (const char* other : {"Suspend", "Hibernate", "PowerOff"}) {
      if (std::string(other) == c.call) continue;
      EXPECT_TRUE(CallTimes(log, other).empty()) << log;
    }
    if (c.mode == 3) {
      // Written before the call, and at least the 499 ms of the delay before logind
      // hears of it.
      const std::vector<std::string> lines = LinesFrom("command 38", 3);
      ASSERT_EQ(lines.size(), 3u) << Out();
      EXPECT_EQ(lines[1].rfind("write CurPos=0 MainLevel=50 ok", 0), 0u) << lines[1];
      EXPECT_EQ(lines[2], "call PowerOff");
      struct stat st {};
      ASSERT_EQ(stat((dir_ + "/sorrel.ini").c_str(), &st), 0);
      const double written = st.st_mtim.tv_sec + st.st_mtim.tv_nsec / 1e9;
      EXPECT_GE(CallTimes(log, "PowerOff False").at(0) - written, 0.45);
    } else {
      EXPECT_FALSE(Contains(Out(), "write")) << Out();
    }
    EXPECT_EQ(Err(), "");
    Kill(peer_, SIGKILL);
    WaitExit(peer_, 5000);
  }
}

TEST_F(PowerEndToEnd, NoPowerCallWithSuspendModeZeroOrTarnLyricOff) {
  REQUIRE_DBUSMOCK();
  StartMock();
  for (const std::string& settings :
       {std::string("SuspendMode=0\n[Lyric]\nTarn_Lyric=1\n"),
        std::string("SuspendMode=3\n[Lyric]\nTarn_Lyric=0\n"), std::string("SuspendMode=1\n")}) {
    SCOPED_TRACE(settings);
    WriteSettings(settings);
    const std::string before = Settings();
    StartPeer(0, 2, {Env()});
    // The commands ran before "ready"; a call would have gone through the peer's lines.
    EXPECT_EQ(Count(Out(), "command 38"), 2);
    EXPECT_FALSE(Contains(Out(), "call ")) << Out();
    EXPECT_FALSE(Contains(Out(), "write")) << Out();
    EXPECT_EQ(Settings(), before);
    Kill(peer_, SIGKILL);
    WaitExit(peer_, 5000);
  }
  const std::string log = MockLog();
  for (const char* call : {"CanSuspend", "CanHibernate", "CanPowerOff", "Suspend", "Hibernate", "PowerOff"})
    EXPECT_TRUE(CallTimes(log, call).empty()) << log;
}

TEST_F(PowerEndToEnd, RefusalsAndFailuresAreReportedAndChangeNothing) {
  REQUIRE_DBUSMOCK();
  StartMock(R"({"CanSuspend": "no"})");
  WriteSettings("SuspendMode=1\n[Lyric]\nTarn_Lyric=1\n");
  StartPeer(0, 1, {Env()});
  ASSERT_TRUE(WaitFor([&] { return Contains(Err(), "CanSuspend"); }, 10000)) << Out() << Err();
  EXPECT_TRUE(Contains(Err(), "power_peer: logind does not allow Suspend here (CanSuspend: no)")) << Err();
  EXPECT_TRUE(CallTimes(MockLog(), "Suspend").empty()) << MockLog();
  EXPECT_TRUE(PeerRunning());
  Kill(peer_, SIGKILL);
  WaitExit(peer_, 5000);

  // Allowed, then refused by logind itself.
  Mock("AddMethod",
       {QString("org.freedesktop.login1.Manager"), QString("Hibernate"), QString("b"), QString(""),
        QString("raise dbus.exceptions.DBusException('Not allowed here', "
                "name='org.freedesktop.DBus.Error.AccessDenied')")});
  WriteSettings("SuspendMode=2\n[Lyric]\nTarn_Lyric=1\n");
  StartPeer(0, 1, {Env()});
  ASSERT_TRUE(WaitFor([&] { return Contains(Err(), "Hibernate"); }, 10000)) << Out() << Err();
  EXPECT_TRUE(Contains(Err(),
                       "power_peer: logind's Hibernate failed: Not allowed here "
                       "(org.freedesktop.DBus.Error.AccessDenied)"))
      << Err();
  EXPECT_TRUE(PeerRunning());

  // The delay lock still works after the failures.
  PrepareForSleep(true);
  ASSERT_TRUE(WaitFor([&] { return Contains(Out(), "after sleep signal: delay free"); }, 10000)) << Out();
}

TEST_F(PowerEndToEnd, WithoutLogindNothingHappensAndTheUserIsToldOnce) {
  // A system bus without logind, and no system bus at all.
  for (const std::string& env :
       {Env(), std::string("DBUS_SYSTEM_BUS_ADDRESS=unix:path=") + dir_ + "/no-bus"}) {
    SCOPED_TRACE(env);
    WriteSettings("SuspendMode=1\n[Lyric]\nTarn_Lyric=1\n");
    StartPeer(1000, 3, {env});
    EXPECT_TRUE(Contains(Out(), "backend none (delay free)\n")) << Out();
    EXPECT_EQ(Count(Out(), "call Suspend"), 3);
    EXPECT_EQ(Count(Err(), "suspend, hibernate and power-off do nothing"), 1) << Err();
    EXPECT_TRUE(PeerRunning());
    Kill(peer_, SIGKILL);
    WaitExit(peer_, 5000);
  }
}

// logind started again has forgotten the lock: the backend takes a new one.
TEST_F(PowerEndToEnd, ANewLogindGetsANewDelayLock) {
  REQUIRE_DBUSMOCK();
  StartMock();
  WriteSettings("[CurrentMusic]\nCurFile=/m/d0/1.mp3\nMusicIndex=0\n");
  StartPeer(5000, 0, {Env()});
  StopMock();
  StartMock();
  ASSERT_TRUE(WaitFor([&] { return !CallTimes(MockLog(), "Inhibit").empty(); }, 10000)) << MockLog();
  PrepareForSleep(true);
  ASSERT_TRUE(WaitFor([&] { return Contains(Out(), "after sleep signal: delay free"); }, 10000)) << Out();
  EXPECT_TRUE(Contains(Out(), "write CurPos=5000 MainLevel=50 ok (delay held)")) << Out();
  EXPECT_TRUE(PeerRunning());
}

}  // namespace

namespace {

const char* const kSorrel = SORREL_BUILD_DIR "/app/sorrel";

// The songs started, in order, from the player's trace.
std::vector<std::string> TracedPlays(const std::string& said) {
  std::vector<std::string> plays;
  for (const std::string& line : Lines(said)) {
    const size_t at = line.find(" play ");
    if (line.rfind("sorrel: trace +", 0) == 0 && at != std::string::npos &&
        line.find(" play files ") == std::string::npos)
      plays.push_back(line.substr(line.find('/', at)));
  }
  return plays;
}

}  // namespace

TEST_F(PowerEndToEnd, TheRealPlayerStoresItsPlaceAtSleepAndResumesBeforeItAtWake) {
  REQUIRE_DBUSMOCK();
  StartMock();
  const std::string demo = std::string(SORREL_TEST_DATA) + "/../../demo/Tones/";
  std::filesystem::create_directories(dir_ + "/songs");
  for (const char* s : {"01_a440.mp3", "02_e660.mp3"})
    std::filesystem::copy_file(demo + s, dir_ + "/songs/" + s);
  std::ofstream(dir_ + "/list.pfl") << dir_ << "/songs/01_a440.mp3\n" << dir_ << "/songs/02_e660.mp3\n";
  WriteSettings("[Player]\nMainLevel=20\n[OnResume]\nOnResumeWait=100\n");
  peer_ = Spawn({kSorrel, "--home", dir_, "--audio", "null", dir_ + "/list.pfl"},
                {Env(), "SORREL_TRACE=1", "QT_QPA_PLATFORM=offscreen"}, dir_);
  ASSERT_TRUE(WaitFor([&] { return TracedPlays(Err()).size() == 1; }, 10000)) << Err();
  ASSERT_TRUE(WaitFor([&] { return CallTimes(MockLog(), "Inhibit").size() == 1; }, 10000)) << MockLog();
  // On to the second song (command 9 from another program), and asleep about 1 s into
  // it: its place and the settings are written.
  ASSERT_EQ(testing_sorrel::Run({SORREL_BUILD_DIR "/tools/send/sorrel-send", "post", "0x599", "9", "0"}, {},
                                dir_, 5000),
            0);
  ASSERT_TRUE(WaitFor([&] { return TracedPlays(Err()).size() == 2; }, 5000)) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  PrepareForSleep(true);
  ASSERT_TRUE(
      WaitFor([&] { return Contains(Settings(), "CurPos=") && !Contains(Settings(), "CurPos=0\r"); }, 10000))
      << Settings();
  const std::string stored = Settings();
  const size_t at = stored.find("CurPos=");
  const int curPos = std::stoi(stored.substr(at + 7));
  EXPECT_GT(curPos, 500);
  EXPECT_LT(curPos, 3000);
  EXPECT_TRUE(Contains(stored, "CurFile=" + dir_ + "/songs/02_e660.mp3")) << stored;
  // Awake: 2 s (100 x MainLevel) before the place, which lies in the song before.
  PrepareForSleep(false);
  ASSERT_TRUE(WaitFor([&] { return TracedPlays(Err()).size() >= 3; }, 10000)) << Err();
  const std::vector<std::string> plays = TracedPlays(Err());
  EXPECT_EQ(plays[1], dir_ + "/songs/02_e660.mp3");
  EXPECT_EQ(plays[2], dir_ + "/songs/01_a440.mp3");
  EXPECT_EQ(CallTimes(MockLog(), "Inhibit").size(), 2u) << MockLog();
  EXPECT_TRUE(PeerRunning());
}
