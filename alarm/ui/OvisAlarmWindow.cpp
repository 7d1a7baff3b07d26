#include "alarm/ui/OvisAlarmWindow.h"

#include "alarm/core/OvisAlarm.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QWheelEvent>

namespace sorrel::alarm {

namespace {

QFont PixelFont(int pixels) {
  QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
  f.setPixelSize(pixels);
  f.setBold(true);
  return f;
}

QLabel* Panel(QWidget* parent, const char* name, QRect rect, int fontPixels, QColor text, QColor back = {}) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setGeometry(rect);
  l->setAlignment(Qt::AlignCenter);
  l->setFont(PixelFont(fontPixels));
  QPalette p = l->palette();
  p.setColor(QPalette::WindowText, text);
  if (back.isValid()) {
    p.setColor(QPalette::Window, back);
    l->setAutoFillBackground(true);
  }
  l->setPalette(p);
  return l;
}

// The point file's warning as a box shows it: its lines are joined by LF CR.
void WarningBox(QWidget* parent, const std::string& text) {
  QApplication::beep();
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  QMessageBox::warning(parent, QStringLiteral("警告"), shown);
}

}  // namespace

Tfm_OvisAlarm::Tfm_OvisAlarm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("fm_OvisAlarm"));
  setWindowTitle(QStringLiteral("オービス警報"));
  setFixedSize(kOvisAlarmWidth, kOvisAlarmHeight);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::yellow);
  setPalette(p);
  setFont(PixelFont(12));
  // Key preview: the window takes every key, its panels take none.
  setFocusPolicy(Qt::StrongFocus);

  const int w = kOvisAlarmWidth;
  Panel1 = Panel(this, "Panel1", {85, 8, 201, 49}, 29, Qt::white, Qt::red);
  Panel1->setText(QStringLiteral("オービス警報"));
  pnl_OvisType = Panel(this, "pnl_OvisType", {0, 61, w, 41}, 29, QColor(0x00, 0x00, 0x80));
  pnl_Distance = Panel(this, "pnl_Distance", {0, 104, w, 36}, 29, Qt::red);
  pnl_LinNo = Panel(this, "pnl_LinNo", {w - 121 - 8, 148, 121, 23}, 15, Qt::black);
  pnl_LinNo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  pnl_OvisText = Panel(this, "pnl_OvisText", {0, kOvisAlarmHeight - 33, w, 33}, 16, Qt::black);
  // A wheel turn over a panel is the window's: Qt hands it on to the parent only when it
  // comes from the window system, not when it is sent.
  for (QLabel* l : {Panel1, pnl_OvisType, pnl_Distance, pnl_LinNo, pnl_OvisText}) l->installEventFilter(this);

  tm_OvisCheck.setObjectName(QStringLiteral("tm_OvisCheck"));
  tm_OvisCheck.setInterval(kOvisCheckInterval);
  connect(&tm_OvisCheck, &QTimer::timeout, this, &Tfm_OvisAlarm::CheckTimerTick);
  warn_ = [this](const std::string& text) { WarningBox(this, text); };
}

Tfm_OvisAlarm::~Tfm_OvisAlarm() = default;

TPointFileLoad Tfm_OvisAlarm::FormCreate(TOvisAlarm& alarm) {
  alarm_ = &alarm;
  TPointFileLoad load = alarm.LoadPoints();
  for (const std::string& warning : load.Warnings) warn_(warning);
  tm_OvisCheck.start();
  return load;
}

void Tfm_OvisAlarm::CheckTimerTick() {
  // The check may speak the distance to its end: no tick piles up behind it.
  tm_OvisCheck.stop();
  if (alarm_) alarm_->OnCheckTimer();
  tm_OvisCheck.start();
}

QPoint Tfm_OvisAlarm::TopRightPosition(const QRect& screen) {
  return {screen.left() + screen.width() - kOvisAlarmWidth, screen.top()};
}

void Tfm_OvisAlarm::PlaceAtTopRight() {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (s) move(TopRightPosition(s->geometry()));
}

void Tfm_OvisAlarm::Show() {
  if (host_) {
    host_->ShowAlarmWindow(*this);
    return;
  }
  PlaceAtTopRight();
  show();
}

void Tfm_OvisAlarm::Hide() {
  if (host_)
    host_->HideAlarmWindow(*this);
  else
    hide();
}

void Tfm_OvisAlarm::SetOvisType(const std::string& text) {
  pnl_OvisType->setText(QString::fromStdString(text));
}
void Tfm_OvisAlarm::SetDistance(const std::string& text) {
  pnl_Distance->setText(QString::fromStdString(text));
}
void Tfm_OvisAlarm::SetLinNo(const std::string& text) { pnl_LinNo->setText(QString::fromStdString(text)); }
void Tfm_OvisAlarm::SetOvisText(const std::string& text) {
  pnl_OvisText->setText(QString::fromStdString(text));
}

bool Tfm_OvisAlarm::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::KeyPress:
      if (host_) host_->AlarmKeyPress(*static_cast<QKeyEvent*>(e));
      e->accept();
      return true;
    case QEvent::KeyRelease:
      if (host_) host_->AlarmKeyRelease(*static_cast<QKeyEvent*>(e));
      e->accept();
      return true;
    case QEvent::ShortcutOverride:
      // Every key goes to the main window: no shortcut takes one away (Tab neither).
      e->accept();
      return true;
    default:
      return QWidget::event(e);
  }
}

bool Tfm_OvisAlarm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::Wheel && watched != this) {
    wheelEvent(static_cast<QWheelEvent*>(e));
    return true;
  }
  return QWidget::eventFilter(watched, e);
}

void Tfm_OvisAlarm::mouseDoubleClickEvent(QMouseEvent* e) {
  e->accept();
  if (host_) host_->AlarmDoubleClick(*e);
}

void Tfm_OvisAlarm::mousePressEvent(QMouseEvent* e) {
  e->accept();
  // The mouse's back and forward buttons are WM_APPCOMMAND's browser back (1) and
  // forward (2), in lParam's high word.
  if (host_ && (e->button() == Qt::BackButton || e->button() == Qt::ForwardButton))
    host_->AlarmAppCommand(uint32_t{e->button() == Qt::BackButton ? 1u : 2u} << 16);
}

void Tfm_OvisAlarm::wheelEvent(QWheelEvent* e) {
  e->accept();
  if (host_) host_->AlarmWheel(*e);
}

}  // namespace sorrel::alarm
