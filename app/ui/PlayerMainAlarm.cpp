#include "app/ui/PlayerMainAlarm.h"

#include "app/ui/CompanionWindows.h"
#include "app/ui/Trace.h"

#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace sorrel::app {

Tfm_PlayerMain::TWindowAlarm::TWindowAlarm(Tfm_PlayerMain& w, alarm::Tfm_OvisAlarm& window)
    : w_(w),
      window_(window),
      voice_(w.clock_),
      navin_(w.env_.NavinWindows(), w.clock_),
      ovis_(w.settings_, w.homeDir_.toStdString(), {window, *this, *this, voice_, navin_, w.clock_}),
      gps_(*w.pnl_GPSStatus, [&w] { w.RunCommand(36, 0); }) {
  window_.SetHost(this);
  window_.FormCreate(ovis_);
}

Tfm_PlayerMain::TWindowAlarm::~TWindowAlarm() { window_.SetHost(nullptr); }

void Tfm_PlayerMain::TWindowAlarm::Stop() {
  window_.StopCheck();
  ovis_.RestoreLevel();
}

void Tfm_PlayerMain::TWindowAlarm::SetGPSStatus(alarm::TColor color, const std::string& caption) {
  gps_.SetStatus(color, caption);
  // The status follows every reading of Navin'You's screen, which also says where the
  // large lyrics must end: clear of its coordinate display.
  if (w_.settings_.UseTNLink) return;
  const alarm::TNavinReading& r = ovis_.LastReading();
  if (r.LyricLimitsFromWindow)
    w_.lyricLayout_.SetLimits(r.LyricRight, r.LyricBottom);
  else
    w_.lyricLayout_.ResetLimits();
}

void Tfm_PlayerMain::TWindowAlarm::HideSubWindows() {
  w_.HideCompanionWindow(w_.command_, false);
  w_.HideCompanionWindow(w_.playList_, false);
  w_.HideCompanionWindow(w_.playFileList_, false);
}

void Tfm_PlayerMain::TWindowAlarm::RaiseMainWindow() { w_.raise(); }

int Tfm_PlayerMain::TWindowAlarm::Position() const { return w_.desk_->Position(TDeskBar::tb_PreLevel); }

void Tfm_PlayerMain::TWindowAlarm::SetPosition(int position) {
  w_.desk_->SetPosition(TDeskBar::tb_PreLevel, position);
}

void Tfm_PlayerMain::TWindowAlarm::AlarmKeyPress(QKeyEvent& e) { w_.KeyDown(&e); }
void Tfm_PlayerMain::TWindowAlarm::AlarmKeyRelease(QKeyEvent& e) { w_.KeyUp(&e); }
void Tfm_PlayerMain::TWindowAlarm::AlarmWheel(QWheelEvent& e) { w_.wheelEvent(&e); }
void Tfm_PlayerMain::TWindowAlarm::AlarmDoubleClick(QMouseEvent& e) { w_.mouseDoubleClickEvent(&e); }
void Tfm_PlayerMain::TWindowAlarm::AlarmAppCommand(uint32_t lParam) { w_.AppCommand(lParam); }

void Tfm_PlayerMain::TWindowAlarm::ShowAlarmWindow(QWidget& alarmWindow) {
  window_.PlaceAtTopRight();
  // The main window steps aside, below the alarm, when they would overlap.
  const QRect a = alarmWindow.frameGeometry();
  if (a.intersects(w_.frameGeometry())) w_.move(w_.x(), a.bottom() + 1);
  alarmWindow.show();
  alarmWindow.raise();
  Trace("alarm window shown");
}

void Tfm_PlayerMain::TWindowAlarm::HideAlarmWindow(QWidget& alarmWindow) {
  alarmWindow.hide();
  Trace("alarm window hidden");
}

}  // namespace sorrel::app
