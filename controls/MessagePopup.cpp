#include "controls/MessagePopup.h"

#include <QGuiApplication>
#include <QScreen>

namespace sorrel::controls {

TMessagePopup::TMessagePopup() : window_(std::make_unique<THintWindowEx>()) {
  window_->setObjectName(QStringLiteral("MessagePopup"));
  window_->Color(Qt::white);
  QFont font(QStringLiteral("ＭＳ 明朝"));
  font.setPointSize(28);
  font.setBold(true);
  window_->setFont(font);
  window_->FontColor(ColorFromBgr(0x800080));
  window_->SecondColor(ColorFromBgr(0xA0B0C0));
  window_->LineCount(999);
  popTimer_.setObjectName(QStringLiteral("PopTimer"));
  popTimer_.setInterval(kPopTimerInterval);
  QObject::connect(&popTimer_, &QTimer::timeout, &popTimer_, [this] { PopTimerTimer(); });
}

TMessagePopup::~TMessagePopup() = default;

void TMessagePopup::ShowMessage(const QString& text, int highlightedLine, const QRect& anchor) {
  popTimer_.stop();
  window_->FirstLine(highlightedLine);
  const QScreen* screen = QGuiApplication::screenAt(anchor.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  const int maxWidth = screen ? screen->availableGeometry().width() : 1 << 16;
  const QRect size = window_->MeasureHint(maxWidth, text);
  const int left = anchor.x() + (anchor.width() - size.width()) / 2;
  const int top = anchor.y() + kBelowTop;
  window_->ActivateHint(QRect(left, top, size.width(), size.height()), text);
  popTimer_.start();
}

void TMessagePopup::PopTimerTimer() {
  popTimer_.stop();
  window_->HideHint();
  if (onPopDown_) onPopDown_();
}

void TMessagePopup::Hide() { window_->HideHint(); }

}  // namespace sorrel::controls
