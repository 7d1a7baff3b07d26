#include "app/ui/Application.h"

#include "app/core/HomeDir.h"
#include "app/core/StartOptions.h"
#include "app/ui/CompanionWindows.h"
#include "app/ui/ForeignWindowScreens.h"
#include "app/ui/PlayerMain.h"
#include "app/ui/SignalPipe.h"

#include "base/FileIO.h"
#include "platform/audio/WaveOut.h"
#include "platform/desktop/BusWindow.h"

#include <QApplication>
#include <QByteArray>
#include <QFont>
#include <QSessionManager>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace sorrel::app {

namespace {

constexpr const char* kMainClass = "Tfm_PlayerMain";
constexpr const char* kKeyboardToolClass = "Tfm_TTBMain";
constexpr const char* kKeyboardToolCaption = " TenTarnBoard 設定";
constexpr const char* kNavinYouClass = "Navin' You";
constexpr const char* kNavinYouTitlePrefix = "Navin' You - ";
// The hand-off waits for the running player to take the path.
constexpr int kHandOffTimeoutMs = 5000;

const audio::PcmFormat kStartUpFormat{2, 22050, 8};

// The wave-out volume at start: read, then muted while the player starts.  30 when no
// device opens.
uint32_t MuteWaveOutput() {
  uint32_t saved = kDefaultSavedWaveVolume;
  std::unique_ptr<audio::WaveDevice> dev;
  if (audio::OpenWaveDevice(dev, audio::kWaveMapper, kStartUpFormat) != audio::kWaveOk) return saved;
  uint32_t v = 0;
  if (dev->GetVolume(v) == audio::kWaveOk) saved = v;
  dev->SetVolume(0);
  dev->Close();
  return saved;
}

class BusEnvironment : public TPlayerMainEnvironment {
 public:
  explicit BusEnvironment(bool busUp) : busUp_(busUp) {}
  bool KeyboardToolRunning() override { return KeyboardTool().has_value(); }
  void PostToKeyboardTool(int32_t wParam) override {
    if (auto w = KeyboardTool()) w->Post(kMsgKeyboardTool, wParam, 0);
  }
  bool NavinYouRunning() override { return NavinYou().has_value(); }
  void PostToNavinYou(uint32_t msg, int32_t wParam, int32_t lParam) override {
    if (auto w = NavinYou()) w->Post(msg, wParam, lParam);
  }
  alarm::TNavinWindowsIntf& NavinWindows() override { return navinWindows_; }
  bool RestoreWaveVolume(uint32_t volume) override {
    std::unique_ptr<audio::WaveDevice> dev;
    if (audio::OpenWaveDevice(dev, audio::kWaveMapper, kStartUpFormat) != audio::kWaveOk) return false;
    dev->SetVolume(volume);
    dev->Close();
    return true;
  }
  // The map program's window among the windows published on the bus.
  maplink::TMappleWindowsIntf& MappleWindows() override { return mappleWindows_; }
  maplink::TMappleSessionEndIntf& MappleSessionEnd() override { return mappleWindows_; }

 private:
  std::optional<desktop::RemoteWindow> KeyboardTool() const {
    if (!busUp_) return std::nullopt;
    return desktop::RemoteWindow::Find(QString::fromLatin1(kKeyboardToolClass),
                                       QString::fromUtf8(kKeyboardToolCaption));
  }
  std::optional<desktop::RemoteWindow> NavinYou() const {
    if (!busUp_) return std::nullopt;
    if (auto w = desktop::RemoteWindow::Find(QString::fromLatin1(kNavinYouClass))) return w;
    return desktop::RemoteWindow::FindByCaptionPrefix(QString::fromLatin1(kNavinYouTitlePrefix));
  }
  bool busUp_;
  desktop::ForeignWindowClient foreignWindows_;
  TForeignMappleWindows mappleWindows_{foreignWindows_};
  TForeignNavinWindows navinWindows_{foreignWindows_};
};

// Messages to the main window from the bus, held back until the window exists (the bus
// delivers nothing before the event loop runs, but a window gone at exit must not be
// reached either).
class MainWindowPort : public desktop::WindowReceiver {
 public:
  Tfm_PlayerMain* main = nullptr;
  int32_t WindowMessage(uint32_t msg, int32_t wParam, int32_t lParam, bool) override {
    return main ? main->Messages().Message(msg, wParam, lParam) : 0;
  }
  int32_t WindowCopyData(int32_t wParam, uint32_t dwData, const QByteArray& data) override {
    return main ? main->Messages().CopyData(wParam, dwData, std::string_view(data.constData(), data.size()))
                : 0;
  }
  int32_t WindowDropFiles(const QStringList& paths) override {
    if (!main) return 0;
    std::vector<std::string> p;
    for (const QString& s : paths) p.push_back(s.toStdString());
    return main->Messages().DropFiles(p);
  }
};

// A second start hands its list to the running player, exactly when that player's
// caption is ours.  0 once the player has taken it; otherwise 1 and the reason on
// standard error, so that whoever started it learns that nothing will play.
int HandOff(const std::string& listFile) {
  // The running player has a working directory of its own.
  std::error_code ec;
  std::string path = std::filesystem::absolute(listFile, ec).string();
  if (ec) path = listFile;  // no working directory to resolve it against
  const auto notHanded = [&](const std::string& why) {
    std::fprintf(stderr, "sorrel: %s; %s not handed to the running player\n", why.c_str(), path.c_str());
    return 1;
  };
  // A FIFO or a device is refused here, where the message reaches the user.
  std::string error;
  const int fd = base::OpenRegularFile(path, error);
  if (fd < 0) {
    std::fprintf(stderr, "sorrel: %s; not handed to the running player\n", error.c_str());
    return 1;
  }
  close(fd);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHandOffTimeoutMs);
  const std::string noAnswer =
      "the running player did not answer within " + std::to_string(kHandOffTimeoutMs / 1000) + " s";
  const auto found = desktop::RemoteWindow::Look(QString::fromLatin1(kMainClass),
                                                 QString::fromLatin1(kPlayerCaption), kHandOffTimeoutMs);
  switch (found.status) {
    case desktop::Lookup::Found:
      break;
    case desktop::Lookup::NoAnswer:
      return notHanded(noAnswer);
    case desktop::Lookup::OtherCaption:
      return notHanded("the window of class " + std::string(kMainClass) + " is captioned " +
                       (found.caption ? "\"" + found.caption->toStdString() + "\"" : "nothing readable") +
                       ", not \"" + kPlayerCaption + "\"");
    case desktop::Lookup::Absent:
    case desktop::Lookup::NoBus:
      return notHanded("the running player has ended");
  }
  QByteArray data = QByteArray::fromStdString(path);
  data.append('\0');
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  const auto answer = found.window->CopyData(kCopyOpenListFile, 0, data,
                                             static_cast<int>(std::max<int64_t>(left.count(), 1)));
  if (!answer) return notHanded(found.window->Exists() ? noAnswer : "the running player has ended");
  if (*answer == 0) return notHanded("the running player refused the list");
  return 0;
}

}  // namespace

int RunSorrel(int argc, char** argv) {
  // The command line first: --help, --version and mistakes need no display.
  TStartOptions opt;
  if (const auto exitCode = ParseStartOptions(std::vector<std::string>(argv + 1, argv + argc), opt))
    return *exitCode;
  if (opt.audio) {
    std::string error;
    if (!audio::SelectBackend(*opt.audio, &error))
      return StartUsageError("--audio " + *opt.audio + ": " + error);
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sorrel"));
  QApplication::setApplicationDisplayName(QString::fromLatin1(kPlayerCaption));

  // The Windows font names stay in the settings as given; IPA fonts draw them.
  QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                             {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
  QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), {QStringLiteral("IPAGothic")});
  QFont::insertSubstitutions(QStringLiteral("ＭＳ 明朝"), {QStringLiteral("IPAMincho")});
  QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐ明朝"),
                             {QStringLiteral("IPAPMincho"), QStringLiteral("IPAMincho")});

  const std::string home = ResolveHomeDir(opt.home);
  std::string error;
  if (!EnsureDirectory(home, &error))
    std::fprintf(stderr, "sorrel: home directory %s: %s\n", home.c_str(), error.c_str());

  // The single-instance lock: the main window's bus name.
  MainWindowPort port;
  desktop::PublishedWindow published(QString::fromLatin1(kMainClass), QString::fromLatin1(kPlayerCaption),
                                     port);
  const auto lock = published.Publish();
  bool busUp = true;
  if (lock == desktop::PublishedWindow::Result::NameTaken) {
    // Another player runs: it gets the argument; without one this start ends silently.
    return opt.listFile.empty() ? 0 : HandOff(opt.listFile);
  }
  if (lock == desktop::PublishedWindow::Result::NoBus) {
    busUp = false;
    std::fputs("sorrel: no session bus; running alone, not reachable by other programs\n", stderr);
  }

  // Mute the wave output while starting.
  const uint32_t savedWaveVolume = MuteWaveOutput();

  // The windows in their fixed order.
  BusEnvironment env(busUp);
  const QString homeDir = QString::fromStdString(home);
  auto fm_PlayerMain = std::make_unique<Tfm_PlayerMain>(homeDir, env);
  auto fm_SearchSts = std::make_unique<Tfm_SearchSts>();
  fm_PlayerMain->Messages().CopyData(kCopySavedWaveVolume, savedWaveVolume, {});
  auto fm_Command = std::make_unique<Tfm_Command>();
  auto fm_OvisAlarm = std::make_unique<Tfm_OvisAlarm>();
  auto fm_PlayFileList = std::make_unique<Tfm_PlayFileList>();
  auto fm_PlayList = std::make_unique<Tfm_PlayList>(homeDir, *fm_PlayerMain, fm_PlayFileList->PlayFiles());
  fm_PlayList->SetSearchWindow(fm_SearchSts.get());
  fm_PlayFileList->UseSettings(&fm_PlayerMain->Settings());
  auto fm_Version = std::make_unique<Tfm_Version>();
  fm_Command->SetVersionWindow(fm_Version.get());
  fm_PlayerMain->SetCompanions(fm_PlayList.get(), fm_PlayFileList.get(), fm_OvisAlarm.get(),
                               fm_Command.get());
  // The play list's start-up: the first argument, else the default list, then playing.
  fm_PlayList->StartUpRestore(QString::fromStdString(opt.listFile));
  port.main = fm_PlayerMain.get();

  // The desktop session ending is the end-of-session message.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, fm_PlayerMain.get(),
                   [&](QSessionManager&) { fm_PlayerMain->Messages().Message(WM_QUERYENDSESSION, 0, 0); });
  SignalPipe signalPipe;
  QObject::connect(&signalPipe, &SignalPipe::Terminate, fm_PlayerMain.get(),
                   [&](int) { fm_PlayerMain->close(); });

  fm_PlayerMain->show();
  fm_PlayerMain->SetReady();
  if (busUp) fm_PlayerMain->PublishMpris();
  const int rc = QApplication::exec();
  port.main = nullptr;
  fm_PlayerMain->Shutdown();  // when the loop ended some other way
  return rc;
}

}  // namespace sorrel::app
