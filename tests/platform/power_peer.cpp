// The main window's stand-in in the power tests: the power backend on the system bus
// and the player's suspend, resume and power command over five songs of 60 s, with a
// main window that prints what it is asked to do on standard output, one line each.
//
//   power_peer HOME POSITION_MS [COMMANDS]
//
// HOME holds sorrel.ini: read at start and written by the suspend and the power-off.
// The song at "MusicIndex" plays, POSITION_MS into it.  COMMANDS power commands (38)
// run once the backend is up.  Lines: "backend logind|none", "ready", then what
// happens; every line that matters to the order says whether the sleep delay lock was
// held at that moment.
#include "app/core/ErrorLog.h"
#include "app/core/Navigation.h"
#include "app/core/Power.h"
#include "app/core/Settings.h"
#include "app/core/Wait.h"
#include "base/Clock.h"
#include "platform/power/PowerBackend.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace sorrel;
using namespace sorrel::app;

namespace {

constexpr int kSongs = 5;
constexpr int kSongMs = 60000;

void Out(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string SongPath(int row) { return "/m/d0/" + std::to_string(row + 1) + ".mp3"; }

class Peer final : public power::PowerListener,
                   public TPowerHost,
                   public TPowerControl,
                   public TWaitHost,
                   public TNavigationHost,
                   public TPlayOrder,
                   public TPlayerControl,
                   public TSoundDeskIntf,
                   public TMessagePopUp {
 public:
  Peer(const std::string& home, int positionMs) : settingsFile_(home + "/" + kSettingsFileName) {
    TSettingsHost quiet;
    const std::string message = settingsFile_.Read(settings_, quiet);
    if (!message.empty()) Out("settings: " + message);
    position_ = positionMs;
    status_ = TPlayerStatus::mpsPlaying;
    duration_ = kSongMs;
    errorLog_ = std::make_unique<TErrorLog>(home + "/" + kErrorLogFileName, base::SystemClock(), *this);
    navigator_ = std::make_unique<TNavigator>(*this, *this, *this, *errorLog_, base::SystemClock());
    waitLoop_ = std::make_unique<TWaitLoop>(*this, base::SystemClock());
    manager_ = std::make_unique<TPowerManager>(*this, *this, *navigator_, *this, *waitLoop_, *this);
  }

  void Connect() { backend_ = power::ConnectPowerBackend(*this, "power_peer"); }
  power::PowerBackend& Backend() { return *backend_; }
  TPowerManager& Manager() { return *manager_; }

  std::string Delay() const { return backend_ && backend_->HoldsSleepDelay() ? "held" : "free"; }
  static std::string Thread() { return QThread::currentThread() == qApp->thread() ? "gui" : "other"; }

  // PowerListener: as the main window forwards them.
  void Suspending() override {
    Out("sleep signal (thread " + Thread() + ", delay " + Delay() + ")");
    manager_->PowerBroadcast(PBT_APMSUSPEND);
    // Runs after the backend has done what follows this call.
    QTimer::singleShot(0, qApp, [this] { Out("after sleep signal: delay " + Delay()); });
  }
  void Resumed() override {
    Out("wake signal (thread " + Thread() + ", delay " + Delay() + ")");
    manager_->PowerBroadcast(PBT_APMRESUMEAUTOMATIC);
    Out("resume done: MusicIndex=" + std::to_string(settings_.MusicIndex) +
        " position=" + std::to_string(position_) + " duration=" + std::to_string(duration_));
  }

  // TPowerControl: forwarded to the backend.
  void Suspend() override {
    Out("call Suspend");
    backend_->Suspend();
  }
  void Hibernate() override {
    Out("call Hibernate");
    backend_->Hibernate();
  }
  void PowerOff() override {
    Out("call PowerOff");
    backend_->PowerOff();
  }

  // TPowerHost
  TPlayerSettings& Settings() override { return settings_; }
  int PlayerVolume() const override { return volume_; }
  void SetPlayerVolume(int v) override {
    volume_ = v;
    Out("volume " + std::to_string(v));
  }
  void StopAndClosePlayer() override {
    status_ = TPlayerStatus::mpsStopped;
    position_ = duration_ = 0;
    Out("stop and close");
  }
  void PlayFile(const std::string& path) override {
    status_ = TPlayerStatus::mpsPlaying;
    position_ = 0;
    duration_ = kSongMs;
    Out("open " + path);
  }
  int FadeStep() const override { return fadeStep_; }
  void SetFadeStep(int step) override {
    fadeStep_ = step;
    Out("fade " + std::to_string(step));
  }
  void StopTimer(TPowerTimer) override {}
  void StartTimer(TPowerTimer) override {}
  void WriteSettings() override {
    std::string why;
    const bool ok = settingsFile_.Write(settings_, &why);
    Out("write CurPos=" + std::to_string(settings_.CurPos) + " MainLevel=" +
        std::to_string(settings_.MainLevel) + (ok ? " ok" : " failed " + why) + " (delay " + Delay() + ")");
  }
  void SetSuspended(bool on) override { Out(on ? "suspended" : "not suspended"); }
  int32_t ResumeAdjustment() const override { return 0; }
  void SetResumeAdjustment(int32_t) override {}
  void Repaint() override {}
  void ParkCursor() override {}
  void QueueMapLink(char c) override { Out(std::string("map ") + c); }

  // TWaitHost
  void ProcessMessages() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
  int MinSleepTime() const override { return settings_.MinSleepTime; }

  // TNavigationHost
  int MusicIndex() const override { return settings_.MusicIndex; }
  void SetMusicIndex(int row) override { settings_.MusicIndex = row; }
  std::string CurFile() const override { return settings_.CurFile; }
  bool Shuffle() const override { return false; }
  void SetShuffle(bool) override {}
  void SetShuffleSeed(int32_t) override {}
  bool ListFileMode() const override { return true; }
  int CurPos() const override { return settings_.CurPos; }
  int MainLevel() const override { return settings_.MainLevel; }
  bool UseTNLink() const override { return false; }
  void PlayRow(int row) override {
    settings_.CurFile = SongPath(row);
    status_ = TPlayerStatus::mpsPlaying;
    position_ = 0;
    duration_ = kSongMs;
    Out("play " + std::to_string(row));
  }
  void RefreshLabels() override {}
  void FocusDummy() override {}

  // TPlayOrder
  int Count() const override { return kSongs; }
  int DirectoryOf(int) const override { return 0; }
  std::string PathOf(int row) const override { return SongPath(row); }
  void ShufflePlayOrder(bool) override {}
  void RemoveRow(int) override {}
  void SelectRow(int) override {}

  // TPlayerControl
  TPlayerStatus Status() const override { return status_; }
  int Position() const override { return position_; }
  int Duration() const override { return duration_; }
  void Seek(int ms) override {
    position_ = ms;
    Out("seek " + std::to_string(ms));
  }
  void Pause() override {}
  void Resume() override {}

  // TSoundDeskIntf
  int Position(TDeskBar) const override { return 0; }
  int LineSize(TDeskBar) const override { return 5; }
  int Min(TDeskBar) const override { return 0; }
  int Max(TDeskBar) const override { return 100; }
  void SetPosition(TDeskBar bar, int position) override {
    if (bar == TDeskBar::tb_MasterLevel) Out("master bar " + std::to_string(position));
  }
  TEqLevels Levels() const override { return {}; }
  void SetLevels(const TEqLevels&) override {}

  // TMessagePopUp
  void ShowMessage(const std::string& text) override { Out("pop-up " + text); }

 private:
  TSettingsFile settingsFile_;
  TPlayerSettings settings_;
  TPlayerStatus status_ = TPlayerStatus::mpsStopped;
  int position_ = 0;
  int duration_ = 0;
  int volume_ = 50;
  int fadeStep_ = 99;
  std::unique_ptr<TErrorLog> errorLog_;
  std::unique_ptr<TNavigator> navigator_;
  std::unique_ptr<TWaitLoop> waitLoop_;
  std::unique_ptr<TPowerManager> manager_;
  std::unique_ptr<power::PowerBackend> backend_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 3) {
    std::fputs("usage: power_peer HOME POSITION_MS [COMMANDS]\n", stderr);
    return 2;
  }
  Peer peer(argv[1], std::atoi(argv[2]));
  const int commands = argc > 3 ? std::atoi(argv[3]) : 0;
  peer.Connect();
  Out(std::string("backend ") + (peer.Backend().Available() ? "logind" : "none") + " (delay " + peer.Delay() +
      ")");
  QTimer::singleShot(0, &app, [&] {
    for (int i = 0; i < commands; ++i) {
      Out("command 38");
      peer.Manager().PowerCommand();
    }
    Out("ready");
  });
  return app.exec();
}
