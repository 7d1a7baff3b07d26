// The main window's input: keys (through the key machine, with the media keys and the
// keys forwarded to Navin'You's map view), the mouse and the wheel.
#include "app/core/MediaKeys.h"
#include "app/ui/CompanionWindows.h"
#include "app/ui/PlayerMain.h"
#include "app/ui/PlayerMainCursor.h"
#include "app/ui/PlayerMainNavin.h"
#include "app/ui/Trace.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWindow>

namespace sorrel::app {

// ---- keys -------------------------------------------------------------------------------

TKeyContext Tfm_PlayerMain::KeySettings() const {
  TKeyContext c;
  c.Tarn_Lyric = settings_.Tarn_Lyric;
  c.LyricOn = !lyrics_.LyricsOff();
  c.DisplayMode = dispatcher_ ? dispatcher_->DisplayMode() : 0;
  c.f1Cancel = settings_.f1Cancel;
  c.f9Cancel = settings_.f9Cancel;
  return c;
}

void Tfm_PlayerMain::ForwardKey(uint16_t key) {
  if (navin_) navin_->Control().ForwardKey(key);
}

bool Tfm_PlayerMain::CanForwardKeys() const { return navin_ && navin_->CanForwardKeys(); }

void Tfm_PlayerMain::ClickTime() {
  QCursor::setPos(lb_Time->mapToGlobal(lb_Time->rect().center()));
  TimeClicked();
}

void Tfm_PlayerMain::ClickCurTime() {
  QCursor::setPos(lb_CurTime->mapToGlobal(lb_CurTime->rect().center()));
  CurTimeClicked();
}

void Tfm_PlayerMain::TimeClicked() {
  HideCompanionWindow(command_, true);
  if (!HasSongs()) ShowCompanionWindow(playList_);
  if (playList_ && !playList_->isVisible()) ShowCompanionWindow(playFileList_);
}

void Tfm_PlayerMain::CurTimeClicked() {
  HideCompanionWindow(playFileList_, true);
  if (playList_ && !playList_->isVisible()) ShowCompanionWindow(command_);
}

void Tfm_PlayerMain::ShowCompanionWindow(QWidget* w) {
  if (!w) return;
  const QRect g = frameGeometry();
  const QPoint cursor = QCursor::pos();
  const TRect screen = ScreenRect();
  const TCompanionShow show = ShowCompanion({g.x(), g.y(), g.width(), g.height()},
                                            w->frameGeometry().height(), screen, {cursor.x(), cursor.y()});
  homePosition_ = QPoint(show.Home.X, show.Home.Y);
  move(show.MainPos.X, show.MainPos.Y);
  QCursor::setPos(show.CursorPos.X, show.CursorPos.Y);
  const QRect moved = frameGeometry();
  const TPoint at = CompanionPos({moved.x(), moved.y(), moved.width(), moved.height()},
                                 {w->frameGeometry().width(), w->frameGeometry().height()}, screen);
  w->move(at.X, at.Y);
  w->show();
  w->raise();
  w->activateWindow();
  companionHidden_ = false;
}

namespace {

TKeyInput ToKeyInput(const input::TKeyStroke& k, const input::TKeypadChordKeys& held) {
  TKeyInput in;
  in.Key = k.vk;
  in.Modifiers = {k.modifiers.shift, k.modifiers.ctrl, k.modifiers.alt};
  uint8_t bits = 0;
  if (held.plus) bits |= kHeldPlus;
  if (held.minus) bits |= kHeldMinus;
  if (held.backSpace) bits |= kHeldBack;
  if (held.point) bits |= kHeldPoint;
  if (held.star) bits |= kHeldStar;
  if (held.slash) bits |= kHeldSlash;
  if (held.zero) bits |= kHeldZero;
  in.Held = bits;
  return in;
}

}  // namespace

void Tfm_PlayerMain::KeyDown(QKeyEvent* e) {
  const input::TKeyStroke k = keyInput_.KeyDown(*e);
  e->accept();
  if (!keyboard_) return;
  if (k.appCommand != 0) {
    MediaKey(k.appCommand);
    return;
  }
  if (k.vk == 0) return;
  keyboard_->KeyDown(ToKeyInput(k, keyInput_.Held().ChordKeys()));
}

void Tfm_PlayerMain::KeyUp(QKeyEvent* e) {
  const input::TKeyStroke k = keyInput_.KeyUp(*e);
  e->accept();
  // X sends a release before every repeated press; Windows sends none.
  if (!keyboard_ || k.autoRepeat || k.vk == 0) return;
  keyboard_->KeyUp(k.vk);
}

void Tfm_PlayerMain::MediaKey(uint16_t appCommand) {
  if (!dispatcher_ || dispatcher_->Busy()) return;
  switch (const TMediaAction action = MediaKeyAction(appCommand)) {
    case TMediaAction::kNone:
      return;
    case TMediaAction::kAppCommandKey:
      AppCommand(uint32_t{appCommand} << 16);
      return;
    case TMediaAction::kNextSong:
      RunCommand(9, 0);
      return;
    case TMediaAction::kPreviousSong:
      RunCommand(8, 0);
      return;
    case TMediaAction::kForward:
      RunCommand(7, 0);
      return;
    case TMediaAction::kBack:
      RunCommand(6, 0);
      return;
    case TMediaAction::kStop:
      Stop();
      return;
    case TMediaAction::kPlayPause:
    case TMediaAction::kPlay:
    case TMediaAction::kPause:
      switch (PlayRequestFor(action, MP3Player->Status())) {
        case TPlayRequest::kNothing:
          return;
        case TPlayRequest::kTogglePause:
          RunCommand(5, 0);
          return;
        case TPlayRequest::kPlayCurrent:
          PlayCurrent();
          return;
      }
  }
}

bool Tfm_PlayerMain::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::KeyPress:
      KeyDown(static_cast<QKeyEvent*>(e));
      return true;
    case QEvent::KeyRelease:
      KeyUp(static_cast<QKeyEvent*>(e));
      return true;
    case QEvent::ShortcutOverride:
      // Every key is the window's own: no shortcut takes one away.
      e->accept();
      return true;
    case QEvent::WindowDeactivate:
    case QEvent::FocusOut:
      keyInput_.FocusLost();
      break;
    case QEvent::WindowActivate:
      if (firstActivation_) {
        firstActivation_ = false;
        update();
      }
      break;
    default:
      break;
  }
  return QWidget::event(e);
}

bool Tfm_PlayerMain::focusNextPrevChild(bool) {
  // Tab is a key like the others, not a focus move.
  return false;
}

// ---- mouse ------------------------------------------------------------------------------

void Tfm_PlayerMain::mouseDoubleClickEvent(QMouseEvent* e) {
  e->accept();
  // A double click is Space with no modifier.
  if (!keyboard_) return;
  TKeyInput space;
  space.Key = 0x20;
  keyboard_->KeyDown(space);
  keyboard_->KeyUp(0x20);
}

void Tfm_PlayerMain::mousePressEvent(QMouseEvent* e) {
  e->accept();
  const QWidget* target = childAt(e->position().toPoint());
  if (e->button() == Qt::BackButton || e->button() == Qt::ForwardButton) {
    // The mouse's back and forward buttons come as WM_APPCOMMAND: back sets bit 0.
    AppCommand(uint32_t{e->button() == Qt::BackButton ? 1u : 2u} << 16);
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  if (target == lb_Time) {
    TimeClicked();
  } else if (target == lb_CurTime) {
    CurTimeClicked();
  } else if (target == lb_Shuffle) {
    if (dispatcher_ && !dispatcher_->Busy()) navigator_->ToggleShuffle(TShuffleChoice::kKeepSong);
  } else if (target == img_Close) {
    ShowInputMode(8);
    closePressed_ = true;
  } else if (windowHandle()) {
    // The borderless window moves and sizes by its zones, through the window manager.
    const QPoint p = e->position().toPoint();
    const TMouseZone zone = ZoneAt({p.x(), p.y()}, {width(), height()}, lb_CurTime->y());
    if (zone.Action == TMouseAction::kMove) {
      windowHandle()->startSystemMove();
    } else if (zone.Action == TMouseAction::kSize) {
      const TEdges edges = EdgesOf(zone.Direction);
      Qt::Edges qt;
      if (edges.Left) qt |= Qt::LeftEdge;
      if (edges.Top) qt |= Qt::TopEdge;
      if (edges.Right) qt |= Qt::RightEdge;
      if (edges.Bottom) qt |= Qt::BottomEdge;
      windowHandle()->startSystemResize(qt);
    }
    lyrics_.Invalidate();
    update();
  }
}

void Tfm_PlayerMain::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  parking_->WindowShown();
  if (!shownTraced_) {
    shownTraced_ = true;
    // Traced once the window system has it, with its first paint queued.
    QMetaObject::invokeMethod(
        this, [] { Trace("window shown"); }, Qt::QueuedConnection);
  }
}

void Tfm_PlayerMain::mouseMoveEvent(QMouseEvent* e) {
  e->accept();
  if (y() < 0) move(x(), 0);
  const QPoint p = e->position().toPoint();
  parking_->MouseMoved({p.x(), p.y()});
  if (p.y() < std::min(lb_CurTime->y(), height())) {
    HideCompanionWindow(command_, true);
    HideCompanionWindow(playFileList_, true);
    FocusDummy();
  }
  const QWidget* target = childAt(p);
  if (target == img_Close) {
    unsetCursor();
    return;
  }
  switch (ZoneAt({p.x(), p.y()}, {width(), height()}, lb_CurTime->y()).Cursor) {
    case TZoneCursor::kDefault:
      unsetCursor();
      break;
    case TZoneCursor::kSizeNWSE:
      setCursor(Qt::SizeFDiagCursor);
      break;
    case TZoneCursor::kSizeNESW:
      setCursor(Qt::SizeBDiagCursor);
      break;
    case TZoneCursor::kSizeWE:
      setCursor(Qt::SizeHorCursor);
      break;
    case TZoneCursor::kSizeNS:
      setCursor(Qt::SizeVerCursor);
      break;
  }
}

void Tfm_PlayerMain::mouseReleaseEvent(QMouseEvent* e) {
  e->accept();
  if (!closePressed_) return;
  closePressed_ = false;
  if (img_Close->geometry().contains(e->position().toPoint()))
    close();
  else
    ShowInputMode(0);
}

void Tfm_PlayerMain::wheelEvent(QWheelEvent* e) {
  e->accept();
  if (navin_) navin_->Control().WheelStep(e->angleDelta().y());
}

}  // namespace sorrel::app
