#include "app/ui/PlayerMainCursor.h"

#include <QCursor>
#include <QLabel>

namespace sorrel::app {

TPoint Tfm_PlayerMain::TWindowCursor::CursorPos() {
  const QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

void Tfm_PlayerMain::TWindowCursor::SetCursorPos(TPoint screen) { QCursor::setPos(screen.X, screen.Y); }

TRect Tfm_PlayerMain::TWindowCursor::WindowRect() {
  const QRect g = w_.frameGeometry();
  return {g.x(), g.y(), g.width(), g.height()};
}

TPoint Tfm_PlayerMain::TWindowCursor::CloseImagePos() {
  const QPoint p = w_.img_Close->mapToGlobal(QPoint(0, 0));
  return {p.x(), p.y()};
}

bool Tfm_PlayerMain::TWindowCursor::IsForeground() { return w_.isActiveWindow(); }

void Tfm_PlayerMain::TWindowCursor::ForceForeground() {
  w_.raise();
  w_.activateWindow();
}

bool Tfm_PlayerMain::TWindowCursor::Running() { return w_.env_.KeyboardToolRunning(); }

}  // namespace sorrel::app
