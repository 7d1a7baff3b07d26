// The real player in a private session bus: single instance, hand-off, shutdown by
// command, by signal and without a bus, the keyboard tool's greeting, Navin'You's
// map-match mode, and hostile messages.
#include "platform/desktop/BusWindow.h"

#include "tests/app/Programs.h"
#include "tests/platform/CoreApp.h"
#include "tests/platform/ProcessHelpers.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>

using namespace sorrel::desktop;

using namespace testing_sorrel;
using sorrel::desktop::RemoteWindow;

namespace {

const std::string kFake = SORREL_BUILD_DIR "/tests/platform/fake_window";

class PlayerProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_sorrel::EnsureCoreApp();
    dir_ = MakeTempDir();
    home_ = dir_ + "/home";
    env_ = {"QT_QPA_PLATFORM=offscreen", "SORREL_AUDIO=null", "SORREL_HOME=", "XDG_RUNTIME_DIR=" + dir_};
  }
  void TearDown() override {
    for (Child* c : {&player_, &peer_, &peer2_}) {
      Kill(*c, SIGKILL);
      WaitExit(*c, 5000);
    }
    std::system(("rm -rf " + dir_).c_str());
  }

  Child StartPlayer(std::vector<std::string> extra = {}) {
    std::vector<std::string> argv{kSorrel, "--home", home_};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return Spawn(argv, env_, dir_);
  }
  static bool PlayerOnBus() {
    return RemoteWindow::Find("Tfm_PlayerMain", QStringLiteral("Tarn's MP3Player")).has_value();
  }
  Child StartPeer(const std::string& cls, const std::string& caption, const std::string& log,
                  std::vector<std::string> options = {}) {
    options.insert(options.begin(), kFake);
    options.insert(options.end(), {cls, caption, log});
    Child c = Spawn(options, {}, dir_);
    EXPECT_TRUE(WaitFor([&] { return access((log + ".ready").c_str(), F_OK) == 0; }, 10000));
    return c;
  }
  int Send(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr) {
    std::vector<std::string> argv{kSend};
    argv.insert(argv.end(), args.begin(), args.end());
    return testing_sorrel::Run(argv, env_, dir_, 15000, out, err);
  }
  std::string Ini() const { return Slurp(home_ + "/sorrel.ini"); }
  void WriteIni(const std::string& text) {
    std::system(("mkdir -p " + home_).c_str());
    std::ofstream(home_ + "/sorrel.ini", std::ios::binary) << text;
  }

  std::string dir_, home_;
  std::vector<std::string> env_;
  Child player_, peer_, peer2_;
};

}  // namespace

TEST_F(PlayerProcess, SecondStartHandsOverItsArgumentAndCommandFourCloses) {
  player_ = StartPlayer();
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000)) << Slurp(player_.stderrPath);
  const std::string list = dir_ + "/some.pdr";
  std::ofstream(list) << "a\r\n";

  const auto t0 = std::chrono::steady_clock::now();
  std::string err;
  EXPECT_EQ(testing_sorrel::Run({kSorrel, "--home", home_, list}, env_, dir_, 10000, nullptr, &err), 0)
      << err;
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("second start with an argument ended after %.3f s\n", secs);
  EXPECT_TRUE(WaitFor(
      [&] { return Slurp(player_.stderrPath).find("play list " + list + ":") != std::string::npos; }, 5000))
      << Slurp(player_.stderrPath);

  // Without an argument the second start ends silently.
  EXPECT_EQ(testing_sorrel::Run({kSorrel, "--home", home_}, env_, dir_, 10000, nullptr, &err), 0);
  EXPECT_EQ(err.find("sorrel:"), std::string::npos) << err;

  EXPECT_EQ(Send({"post", "0x599", "4", "0"}), 0);
  EXPECT_EQ(WaitExit(player_, 10000), 0);
  const std::string ini = Ini();
  EXPECT_EQ(
      ini.rfind("[Tarn's MP3PLayer Version]\r\nVersion=9.99x\r\n[PlayerMainForm]\r\nSuspendMode=0\r\n", 0),
      0u)
      << ini.substr(0, 200);
  const std::vector<std::string> order{"[CurrentMusic]", "[Player]", "[PlayList]", "[FileList]",
                                       "[OvisAlarm]",    "[Lyric]",  "[OnResume]", "[MappleLink]"};
  size_t at = ini.find("[PlayerMainForm]");
  for (const auto& s : order) {
    const size_t next = ini.find(s);
    ASSERT_NE(next, std::string::npos) << s;
    EXPECT_GT(next, at) << s;
    at = next;
  }
  // The handed-over list was a directory list: its mode is stored.
  EXPECT_NE(ini.find("ListFileMode=0\r\n"), std::string::npos);
  EXPECT_NE(ini.find("MappleDefScale[9]=-1\r\n"), std::string::npos);
  EXPECT_FALSE(PlayerOnBus());
}

TEST_F(PlayerProcess, KeyboardToolIsGreetedAtStartAndAtSigterm) {
  const std::string log = dir_ + "/tool.log";
  peer_ = StartPeer("Tfm_TTBMain", " TenTarnBoard 設定", log);
  player_ = StartPlayer();
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000));
  EXPECT_TRUE(WaitFor([&] { return Slurp(log) == "post 1432 0 0\n"; }, 5000)) << Slurp(log);
  Kill(player_, SIGTERM);
  EXPECT_EQ(WaitExit(player_, 10000), 0);
  EXPECT_TRUE(WaitFor([&] { return Slurp(log) == "post 1432 0 0\npost 1432 -1 0\n"; }, 5000)) << Slurp(log);
  EXPECT_NE(Ini().find("Version=9.99x"), std::string::npos);
}

TEST_F(PlayerProcess, ToolWithAnotherCaptionIsNotTheKeyboardTool) {
  const std::string log = dir_ + "/tool.log";
  peer_ = StartPeer("Tfm_TTBMain", "TenTarnBoard 設定", log);
  player_ = StartPlayer();
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000));
  Kill(player_, SIGINT);
  EXPECT_EQ(WaitExit(player_, 10000), 0);
  usleep(200 * 1000);
  EXPECT_EQ(Slurp(log), "");
}

TEST_F(PlayerProcess, NavinYouGetsTheMapMatchModeOnlyWithTheLink) {
  const std::string log = dir_ + "/navin.log";
  peer_ = StartPeer("NYFrame", "Navin' You - 地図", log);
  WriteIni("[Tarn's MP3PLayer Version]\nVersion=9.99x\n[OvisAlarm]\nUseTNLink=0\nNYMapMatchNo=3\n");
  player_ = StartPlayer();
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000));
  std::string out;
  EXPECT_EQ(Send({"send", "0x599", "4", "0"}, &out), 0);
  EXPECT_EQ(out, "1\n");
  EXPECT_EQ(WaitExit(player_, 10000), 0) << Slurp(player_.stderrPath);
  EXPECT_EQ(Slurp(log), "");

  WriteIni("[Tarn's MP3PLayer Version]\nVersion=9.99x\n[OvisAlarm]\nUseTNLink=1\nNYMapMatchNo=3\n");
  player_ = StartPlayer();
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000));
  EXPECT_TRUE(WaitFor([&] { return Slurp(log) == "post 1689 3 0\npost 1688 0 0\n"; }, 5000)) << Slurp(log);
  EXPECT_EQ(Send({"post", "0x599", "4", "0"}), 0);
  EXPECT_EQ(WaitExit(player_, 10000), 0);
}

TEST_F(PlayerProcess, MessageTableAnswersAndShrugsOffHostileInput) {
  player_ = StartPlayer();
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000));
  const auto answer = [&](const std::vector<std::string>& args) {
    std::string out, err;
    const int rc = Send(args, &out, &err);
    return rc == 0 ? out : "rc " + std::to_string(rc) + " " + err;
  };
  EXPECT_EQ(answer({"send", "0x597", "0", "3"}), "1\n");
  EXPECT_EQ(answer({"send", "0x597", "0", "9"}), "0\n");
  EXPECT_EQ(answer({"send", "0x597", "1", "-2500"}), "1\n");
  // Every command number is taken; the dispatcher reads its low 7 bits and ignores what
  // has no action (76, 127).
  EXPECT_EQ(answer({"send", "0x599", "76", "0"}), "1\n");
  EXPECT_EQ(answer({"send", "0x599", "-1", "0"}), "1\n");
  EXPECT_EQ(answer({"send", "0x1234", "5", "6"}), "0\n");
  EXPECT_EQ(answer({"send", "0xFFFFFFFF", "-1", "-1"}), "0\n");
  EXPECT_EQ(answer({"send", "0x697", "2", "1"}), "1\n");
  EXPECT_EQ(answer({"copydata", "9", "--dwdata", "0xFFFFFFFF"}), "1\n");
  EXPECT_EQ(answer({"copydata", "999"}), "1\n");
  EXPECT_EQ(answer({"copydata", "9999", "$tnlink_data,1,2"}), "0\n");  // no position link
  EXPECT_EQ(answer({"copydata", "99"}), "0\n");
  EXPECT_EQ(answer({"copydata", "99", ""}), "0\n");
  EXPECT_EQ(answer({"copydata", "99", "\xFF\xFE.pdr"}), "0\n");
  EXPECT_EQ(answer({"copydata", "12345", "x"}), "0\n");
  EXPECT_EQ(answer({"drop", dir_ + "/missing.pfl"}), "1\n");
  const auto w = RemoteWindow::Find("Tfm_PlayerMain");
  ASSERT_TRUE(w);
  EXPECT_EQ(w->CopyData(99, 0, QByteArray(4 << 20, 'a'), 10000), 0);
  EXPECT_EQ(w->DropFiles({}, 5000), 0);
  // Still there and still answering.
  EXPECT_EQ(answer({"send", "0x597", "0", "0"}), "1\n");
  EXPECT_EQ(answer({"send", "0x599", "4", "0"}), "1\n");
  EXPECT_EQ(WaitExit(player_, 10000), 0);
}

TEST_F(PlayerProcess, EndOfSessionShutsDownAndTheClockTickCloses) {
  const std::string log = dir_ + "/tool.log";
  peer_ = StartPeer("Tfm_TTBMain", " TenTarnBoard 設定", log);
  player_ = StartPlayer();
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000));
  std::string out;
  EXPECT_EQ(Send({"send", "0x11", "0", "0"}, &out), 0);
  EXPECT_EQ(out, "1\n");  // the session may end
  // The shutdown ran inside the message: the settings are there before the window goes.
  EXPECT_NE(Ini().find("Version=9.99x"), std::string::npos);
  EXPECT_EQ(WaitExit(player_, 10000), 0);
  EXPECT_EQ(Slurp(log), "post 1432 0 0\npost 1432 -1 0\n");
}

TEST_F(PlayerProcess, WithoutABusThePlayerRunsAloneAndSaysSo) {
  env_.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir_ + "/no-bus");
  env_.push_back("SORREL_TRACE=1");
  player_ = StartPlayer();
  ASSERT_TRUE(
      WaitFor([&] { return Slurp(player_.stderrPath).find("no session bus") != std::string::npos; }, 10000));
  // Up and running (its window shown), however loaded the machine is.
  ASSERT_TRUE(
      WaitFor([&] { return Slurp(player_.stderrPath).find("window shown") != std::string::npos; }, 10000));
  Kill(player_, SIGTERM);
  EXPECT_EQ(WaitExit(player_, 10000), 0);
  EXPECT_NE(Ini().find("Version=9.99x"), std::string::npos);
  const std::string err = Slurp(player_.stderrPath);
  EXPECT_EQ(err.find("no session bus"), err.rfind("no session bus"));  // said once
}

TEST_F(PlayerProcess, SorrelSendWithoutPlayerFailsClearly) {
  std::string out, err;
  EXPECT_EQ(Send({"post", "0x599", "4", "0"}, &out, &err), 1);
  EXPECT_NE(err.find("no player is running"), std::string::npos) << err;
  EXPECT_EQ(Send({"bogus"}, &out, &err), 2);
  env_.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir_ + "/no-bus");
  EXPECT_EQ(Send({"find"}, &out, &err), 3);
}

TEST_F(PlayerProcess, CommandLineIsAnsweredWithoutADisplayAndQtOptionsPassOn) {
  const std::vector<std::string> noDisplay{"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
  std::string out, err;
  EXPECT_EQ(testing_sorrel::Run({kSorrel, "--help"}, noDisplay, dir_, 10000, &out, &err), 0) << err;
  EXPECT_EQ(out.rfind("usage: sorrel ", 0), 0u) << out;
  EXPECT_EQ(testing_sorrel::Run({kSorrel, "-platform", "xcb", "--version"}, noDisplay, dir_, 10000, &out), 0);
  EXPECT_EQ(out.rfind("sorrel (Tarn's MP3Player) ", 0), 0u) << out;
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"--bogus"}, {"--audio", "bogus"}, {"--home"}}) {
    std::vector<std::string> argv{kSorrel};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_EQ(testing_sorrel::Run(argv, noDisplay, dir_, 10000, &out, &err), 2) << args[0];
    EXPECT_EQ(err.rfind("sorrel: ", 0), 0u) << err;
    EXPECT_NE(err.find("Try 'sorrel --help' for more information."), std::string::npos) << err;
  }
  // Qt's own options reach Qt: the platform comes from the command line alone.
  player_ = Spawn({kSorrel, "-platform", "offscreen", "--home", home_}, {"SORREL_AUDIO=null", "SORREL_HOME="},
                  dir_);
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000)) << Slurp(player_.stderrPath);
  EXPECT_EQ(Send({"post", "0x599", "4", "0"}), 0);
  EXPECT_EQ(WaitExit(player_, 10000), 0) << Slurp(player_.stderrPath);
}

TEST_F(PlayerProcess, SecondStartWhoseListIsNotTakenFailsAndSaysWhy) {
  const std::string list = dir_ + "/car.pdr";
  std::ofstream(list) << "a\r\n";
  const auto secondStart = [&](std::string* err, const std::string& arg) {
    return testing_sorrel::Run({kSorrel, "--home", home_, arg}, env_, dir_, 30000, nullptr, err);
  };
  std::string err;
  // Refused.
  peer_ = StartPeer("Tfm_PlayerMain", "Tarn's MP3Player", dir_ + "/refusing.log", {"--answer", "0"});
  EXPECT_EQ(secondStart(&err, list), 1);
  EXPECT_NE(err.find("refused"), std::string::npos) << err;
  EXPECT_EQ(Slurp(dir_ + "/refusing.log"), "copydata 99 0 " + std::to_string(list.size() + 1) + "\n");
  Kill(peer_, SIGKILL);
  WaitExit(peer_, 5000);
  // Another window of the player's class.
  peer_ = StartPeer("Tfm_PlayerMain", "Not The Player", dir_ + "/other.log");
  EXPECT_EQ(secondStart(&err, list), 1);
  EXPECT_NE(err.find("\"Not The Player\""), std::string::npos) << err;
  EXPECT_EQ(Slurp(dir_ + "/other.log"), "");
  Kill(peer_, SIGKILL);
  WaitExit(peer_, 5000);
  // A player that owns the name but does not answer.
  peer_ = StartPeer("Tfm_PlayerMain", "Tarn's MP3Player", dir_ + "/stuck.log", {"--hang"});
  EXPECT_EQ(secondStart(&err, list), 1);
  EXPECT_NE(err.find("did not answer"), std::string::npos) << err;
  // Without an argument the second start still ends silently.
  EXPECT_EQ(testing_sorrel::Run({kSorrel, "--home", home_}, env_, dir_, 10000, nullptr, &err), 0);
  EXPECT_EQ(err, "");
}

TEST_F(PlayerProcess, SecondStartHandsOverARelativeListAsAnAbsolutePath) {
  player_ = StartPlayer();
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000)) << Slurp(player_.stderrPath);
  std::system(("mkdir -p " + dir_ + "/music").c_str());
  std::ofstream(dir_ + "/music/car.pfl") << "x.mp3\r\n";
  std::string err;
  EXPECT_EQ(
      testing_sorrel::Run({"/bin/sh", "-c", "cd '" + dir_ + "/music' && exec '" + kSorrel + "' car.pfl"},
                          env_, dir_, 15000, nullptr, &err),
      0)
      << err;
  EXPECT_TRUE(WaitFor(
      [&] {
        return Slurp(player_.stderrPath).find("play list " + dir_ + "/music/car.pfl:") != std::string::npos;
      },
      5000))
      << Slurp(player_.stderrPath);
}

TEST_F(PlayerProcess, ListFilesThatAreNoRegularFilesAreRefusedWithoutBlocking) {
  const std::string fifo = dir_ + "/fifo.pdr", folder = dir_ + "/folder.pfl", big = dir_ + "/big.pfl";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  player_ = StartPlayer({fifo});  // its own argument too
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000)) << Slurp(player_.stderrPath);
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  std::ofstream(big).close();
  ASSERT_EQ(truncate(big.c_str(), (64 << 20) + 1), 0);  // sparse: over the cap at no cost
  const auto stillAnswers = [&] {
    std::string out;
    return Send({"--timeout", "5000", "send", "0x597", "0", "0"}, &out) == 0 && out == "1\n";
  };
  std::string out, err;
  EXPECT_EQ(Send({"copydata", "99", fifo}, &out), 0);
  EXPECT_TRUE(stillAnswers());
  EXPECT_EQ(Send({"drop", fifo}, &out), 0);
  EXPECT_TRUE(stillAnswers());
  EXPECT_EQ(Send({"copydata", "99", folder}, &out), 0);
  EXPECT_EQ(Send({"copydata", "99", big}, &out), 0);
  EXPECT_TRUE(stillAnswers());
  // A second start refuses it itself, with a message and a failing status.
  EXPECT_EQ(testing_sorrel::Run({kSorrel, "--home", home_, fifo}, env_, dir_, 15000, nullptr, &err), 1);
  EXPECT_NE(err.find(fifo + ": not a regular file"), std::string::npos) << err;
  EXPECT_TRUE(stillAnswers());
  const std::string log = Slurp(player_.stderrPath);
  EXPECT_EQ(log.find("play list " + fifo + ":"), std::string::npos) << log;
  EXPECT_NE(log.find(fifo + ": not a regular file"), std::string::npos) << log;
  EXPECT_NE(log.find(folder + ": not a regular file"), std::string::npos) << log;
  EXPECT_NE(log.find(big + ": larger than 64 MiB"), std::string::npos) << log;
  EXPECT_EQ(Send({"post", "0x599", "4", "0"}), 0);
  EXPECT_EQ(WaitExit(player_, 10000), 0);
}

TEST_F(PlayerProcess, BackgroundPictureThatIsAFifoDoesNotHangTheStart) {
  WriteIni("[Tarn's MP3PLayer Version]\nVersion=9.99x\n[PlayerMainForm]\nBackPictureFileName=back.jpg\n");
  ASSERT_EQ(mkfifo((home_ + "/back.jpg").c_str(), 0644), 0);
  player_ = StartPlayer();
  ASSERT_TRUE(WaitFor(PlayerOnBus, 10000)) << Slurp(player_.stderrPath);
  EXPECT_NE(Slurp(player_.stderrPath).find("back.jpg: not a regular file"), std::string::npos)
      << Slurp(player_.stderrPath);
  EXPECT_EQ(Send({"post", "0x599", "4", "0"}), 0);
  EXPECT_EQ(WaitExit(player_, 10000), 0);
  // A picture that cannot be loaded is forgotten.
  EXPECT_NE(Ini().find("BackPictureFileName=\r\n"), std::string::npos);
}
