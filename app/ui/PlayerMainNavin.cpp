#include "app/ui/PlayerMainNavin.h"

#include "app/ui/PlayerMainAlarm.h"
#include "app/ui/Trace.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

namespace sorrel::app {

Tfm_PlayerMain::TWindowNavin::TWindowNavin(Tfm_PlayerMain& w)
    : w_(w),
      mapMatch_(w.settings_.NYMapMatchNo),
      control_(w.env_.NavinWindows(), *this, mapMatch_, w.clock_) {}

bool Tfm_PlayerMain::TWindowNavin::CanForwardKeys() {
  return NavinWindows().MapView != 0 && control_.Running();
}

void Tfm_PlayerMain::TWindowNavin::Post(const std::vector<alarm::TNavinMessage>& messages) {
  for (const alarm::TNavinMessage& m : messages)
    w_.env_.PostToNavinYou(m.Msg, static_cast<int32_t>(m.WParam), static_cast<int32_t>(m.LParam));
}

void Tfm_PlayerMain::TWindowNavin::PostStartMode() {
  // The handle is not kept: the position reader finds the window afresh.
  if (w_.settings_.UseTNLink && w_.env_.NavinYouRunning()) Post(mapMatch_.StartMessages());
}

void Tfm_PlayerMain::TWindowNavin::MapMatchStatus(int32_t mode, bool show) {
  const alarm::TMapMatchReportAction a =
      mapMatch_.Report(mode, show ? 1 : 0, w_.settings_.UseTNLink, w_.env_.NavinYouRunning());
  if (!a.Post.empty()) {
    Post(a.Post);
    return;
  }
  if (w_.alarm_) w_.alarm_->SetMapMatchStyle(a.Style);
  if (!a.PopUp.empty()) w_.ShowMessage(a.PopUp);
}

void Tfm_PlayerMain::TWindowNavin::InputModeShown(int mode) {
  if (mode != 7 || !w_.settings_.OnActiveNavinFG) return;
  alarm::TNavinWindowsIntf& windows = w_.env_.NavinWindows();
  const alarm::TWindowHandle main = windows.FindWindowByClass(alarm::kNavinClass);
  if (main != 0 && !windows.IsMinimized(main)) foregroundCount_ = 2;
}

void Tfm_PlayerMain::TWindowNavin::ClockTick() {
  if (foregroundCount_ <= 0) return;
  alarm::TNavinWindowsIntf& windows = w_.env_.NavinWindows();
  if (const alarm::TWindowHandle main = windows.FindWindowByClass(alarm::kNavinClass))
    windows.ForceForeground(main);
  MainWindowToForeground();
  --foregroundCount_;
}

void Tfm_PlayerMain::TWindowNavin::Wait(int ms) { w_.waitLoop_.Wait(ms); }
int Tfm_PlayerMain::TWindowNavin::NavinYouComWait() const { return w_.settings_.NavinYouComWait; }
void Tfm_PlayerMain::TWindowNavin::Sleep(int ms) {
  QThread::msleep(static_cast<unsigned long>(std::max(ms, 0)));
}
void Tfm_PlayerMain::TWindowNavin::ProcessMessages() { QCoreApplication::processEvents(); }
void Tfm_PlayerMain::TWindowNavin::ShowPopUp(const std::string& text) { w_.ShowMessage(text); }

void Tfm_PlayerMain::TWindowNavin::MainWindowToForeground() {
  w_.raise();
  w_.activateWindow();
}

void Tfm_PlayerMain::TWindowNavin::MoveCursorOutside() { w_.MoveCursorOutside(); }
std::string Tfm_PlayerMain::TWindowNavin::HomeDir() const { return w_.homeDir_.toStdString(); }

void Tfm_PlayerMain::TWindowNavin::StartProgram(const std::string& path,
                                                const std::vector<std::string>& arguments) {
  QStringList args;
  for (const std::string& a : arguments) args << QString::fromStdString(a);
  const bool started = QProcess::startDetached(QString::fromStdString(path), args);
  Trace(std::string(started ? "started " : "could not start ") + path);
}

bool Tfm_PlayerMain::TWindowNavin::TarnLyric() const { return w_.settings_.Tarn_Lyric; }
bool Tfm_PlayerMain::TWindowNavin::UseTNLink() const { return w_.settings_.UseTNLink; }

const alarm::TNavinWindows& Tfm_PlayerMain::TWindowNavin::NavinWindows() {
  static const alarm::TNavinWindows none;
  return w_.alarm_ ? w_.alarm_->Navin().Windows() : none;
}

}  // namespace sorrel::app
