#include "alarm/ui/GPSStatusPanel.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>

namespace sorrel::alarm {

QColor ToQColor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

TGPSStatusPanel::TGPSStatusPanel(QFrame& panel, std::function<void()> onDoubleClick)
    : QObject(&panel), panel_(panel), onDoubleClick_(std::move(onDoubleClick)) {
  setObjectName(QStringLiteral("GPSStatusPainter"));
  panel_.setAutoFillBackground(true);
  caption_ = new QLabel(&panel_);
  caption_->setObjectName(QStringLiteral("lb_GPSStatusCaption"));
  caption_->setAlignment(Qt::AlignCenter);
  // Clicks belong to the panel.
  caption_->setAttribute(Qt::WA_TransparentForMouseEvents);
  QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
  f.setPixelSize(12);
  f.setBold(true);
  caption_->setFont(f);
  // The word fills the panel within its border, whatever the main window's layout makes
  // of its size.
  auto* layout = new QHBoxLayout(&panel_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(caption_);
  panel_.installEventFilter(this);
  SetMapMatchStyle({});
  SetStatus(0xC0C0C0, {});  // silver until the alarm has looked
}

void TGPSStatusPanel::SetStatus(TColor color, const std::string& caption) {
  QPalette p = panel_.palette();
  p.setColor(QPalette::Window, ToQColor(color));
  panel_.setPalette(p);
  caption_->setText(QString::fromStdString(caption));
}

void TGPSStatusPanel::SetMapMatchStyle(const TMapMatchStyle& style) {
  QPalette p = caption_->palette();
  p.setColor(QPalette::WindowText, ToQColor(style.FontColor));
  caption_->setPalette(p);
  singleBorder_ = style.SingleBorder;
  if (singleBorder_) {
    panel_.setFrameStyle(QFrame::Box | QFrame::Plain);
    panel_.setLineWidth(1);
  } else {
    panel_.setFrameStyle(QFrame::Panel | QFrame::Raised);
  }
}

QColor TGPSStatusPanel::Color() const { return panel_.palette().color(QPalette::Window); }
QString TGPSStatusPanel::Caption() const { return caption_->text(); }
QColor TGPSStatusPanel::CaptionColor() const { return caption_->palette().color(QPalette::WindowText); }

bool TGPSStatusPanel::eventFilter(QObject* watched, QEvent* e) {
  if (watched == &panel_ && e->type() == QEvent::MouseButtonDblClick && onDoubleClick_) {
    onDoubleClick_();
    return true;
  }
  return QObject::eventFilter(watched, e);
}

}  // namespace sorrel::alarm
