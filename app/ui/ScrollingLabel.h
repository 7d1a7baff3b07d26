// A label that either shows its caption, as any label, or draws one line of text at a
// horizontal offset for the title scrolling.
#pragma once

#include <QLabel>
#include <QPainter>

namespace sorrel::app {

class TScrollingLabel : public QLabel {
 public:
  using QLabel::QLabel;

  // Draws `drawn` from x = `offset` instead of the caption; off shows the caption again.
  void SetScroll(bool on, const QString& drawn = {}, int offset = 0) {
    if (on == scrolling_ && drawn == drawn_ && offset == offset_) return;
    scrolling_ = on;
    drawn_ = drawn;
    offset_ = offset;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (!scrolling_) {
      QLabel::paintEvent(e);
      return;
    }
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(offset_, 0, width() - offset_ + fontMetrics().horizontalAdvance(drawn_), height()),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, drawn_);
  }

 private:
  bool scrolling_ = false;
  QString drawn_;
  int offset_ = 0;
};

}  // namespace sorrel::app
