#include "controls/ListBoxEx.h"

#include "controls/core/ListBoxRules.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace sorrel::controls {

namespace {

// Hands the painting of every item to the list, and gives every item its height.
class TListBoxExDelegate : public QStyledItemDelegate {
 public:
  explicit TListBoxExDelegate(TListBoxEx* list) : QStyledItemDelegate(list), list_(list) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    list_->DrawItem(*painter, option.rect, index.row(), option.state & QStyle::State_Selected);
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {1, list_->ItemHeight()};
  }

 private:
  TListBoxEx* list_;
};

}  // namespace

TListBoxEx::TListBoxEx(QWidget* parent)
    : QListWidget(parent),
      hotColor_(kNoHotColor),
      hotItem_(kMouseOutside),
      previousHotItem_(kMouseOutside),
      tip_(std::make_unique<THintWindowEx>()) {
  setItemDelegate(new TListBoxExDelegate(this));
  setUniformItemSizes(true);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  MeasureFont();
  timer_.setInterval(kTimerInterval);
  connect(&timer_, &QTimer::timeout, this, &TListBoxEx::TimerTick);
  timer_.start();
}

TListBoxEx::~TListBoxEx() {
  timer_.stop();
  tip_.reset();
}

void TListBoxEx::HotTrack(bool on) {
  hotTrack_ = on;
  viewport()->update();
}

void TListBoxEx::ToolTips(bool on) {
  toolTips_ = on;
  if (!on) HideToolTip();
  viewport()->update();
}

void TListBoxEx::HotColor(int color) {
  if (color == hotColor_) return;
  hotColor_ = color;
  viewport()->update();
}

THintWindowEx& TListBoxEx::HotFont() {
  viewport()->update();
  return *tip_;
}

void TListBoxEx::HideToolTip() {
  if (tip_->Shown()) tip_->HideHint();
  tipText_.clear();
}

void TListBoxEx::MeasureFont() {
  const QFontMetrics fm(font());
  textHeight_ = fm.height();
  textAscent_ = fm.ascent();
  itemHeight_ = textHeight_ + 2;
  tip_->setFont(font());
  doItemsLayout();
}

void TListBoxEx::MouseMoved(const QPoint& viewportPos) {
  mousePos_ = viewportPos;
  const QModelIndex index = indexAt(viewportPos);
  hotItem_ = index.isValid() ? index.row() : kNoHotItem;
  if (!HotItemRepaints(hotItem_, previousHotItem_)) return;
  previousHotItem_ = hotItem_;
  viewport()->update();
  // With no item under the mouse no item's drawing would hide the tool tip.
  if (hotItem_ < 0 && toolTips_) HideToolTip();
}

void TListBoxEx::mouseMoveEvent(QMouseEvent* event) {
  QListWidget::mouseMoveEvent(event);
  MouseMoved(event->position().toPoint());
}

void TListBoxEx::enterEvent(QEnterEvent* event) {
  QListWidget::enterEvent(event);
  previousHotItem_ = kMouseOutside;
  MouseMoved(viewport()->mapFromGlobal(event->globalPosition().toPoint()));
}

void TListBoxEx::leaveEvent(QEvent* event) {
  QListWidget::leaveEvent(event);
  HideToolTip();
  hotItem_ = kMouseOutside;
  viewport()->update();
}

void TListBoxEx::keyPressEvent(QKeyEvent* event) {
  QListWidget::keyPressEvent(event);
  if (hotItem_ != kMouseOutside) MouseMoved(mousePos_);
}

void TListBoxEx::scrollContentsBy(int dx, int dy) {
  QListWidget::scrollContentsBy(dx, dy);
  if (dy != 0) previousHotItem_ = kMouseOutside;
}

void TListBoxEx::changeEvent(QEvent* event) {
  QListWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) MeasureFont();
}

void TListBoxEx::hideEvent(QHideEvent* event) {
  QListWidget::hideEvent(event);
  HideToolTip();
}

void TListBoxEx::TimerTick() {
  const TTimerStep step =
      sorrel::controls::TimerTick(window()->isVisible(), hasFocus(), focusedAtLastTick_,
                                  QGuiApplication::applicationState() == Qt::ApplicationActive);
  if (step.repaint) {
    viewport()->update();
    focusedAtLastTick_ = hasFocus();
  }
  if (step.hideToolTip) HideToolTip();
}

void TListBoxEx::DrawItem(QPainter& painter, const QRect& rect, int index, bool selected) {
  if (hotItem_ >= 0) {
    const QModelIndex under = indexAt(mousePos_);
    hotItem_ = under.isValid() ? under.row() : kNoHotItem;
  }
  QColor brush = palette().color(QPalette::Base);
  QColor textColor = palette().color(QPalette::Text);
  if (selected) {
    const bool focused = hasFocus();
    brush = focused ? palette().color(QPalette::Highlight) : QColor(0xC0, 0xC0, 0xC0);
    textColor = focused ? palette().color(QPalette::HighlightedText) : QColor(Qt::black);
  }
  painter.fillRect(rect, brush);

  const QListWidgetItem* it = item(index);
  QString text = it ? it->text() : QString();
  if (OnDrawText) OnDrawText(index, text);

  const int yOffset = TextOffset(rect.height(), textHeight_);
  const QRect textRect(rect.left() + 4, rect.top() + yOffset, rect.width() - 4, rect.height() - yOffset);
  const QFontMetrics fm(font());
  const int textRight = textRect.left() + fm.horizontalAdvance(text);
  painter.setFont(font());
  painter.setPen(textColor);
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);

  const bool hotColored = HotColorSet(hotColor_);
  switch (ToolTipFor(toolTips_, index, hotItem_, textRight, rect.right() + 1, hotColored)) {
    case TToolTipAction::kKeep:
      break;
    case TToolTipAction::kHide:
      HideToolTip();
      break;
    case TToolTipAction::kShow: {
      if (hotColored) {
        tip_->Color(ColorFromBgr(uint32_t(hotColor_)));
      } else if (selected) {
        tip_->Color(brush);
        tip_->FontColor(textColor);
      } else {
        tip_->Color(QToolTip::palette().color(QPalette::ToolTipBase));
        tip_->FontColor(QToolTip::palette().color(QPalette::ToolTipText));
      }
      const QPoint p = viewport()->mapToGlobal(rect.topLeft());
      const QScreen* screen = this->screen();
      const int maxWidth = screen ? screen->geometry().width() : 1 << 16;
      const QRect m = tip_->MeasureHint(maxWidth, text);
      const TTipRect r = ToolTipRect(p.x(), p.y(), yOffset, m.width(), m.height());
      const QRect place(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
      // Painting again with the same tip leaves the window alone.
      if (!tip_->Shown() || text != tipText_ || place != tipRect_) {
        tipText_ = text;
        tipRect_ = place;
        tip_->ActivateHint(place, text);
      } else {
        tip_->update();
      }
      break;
    }
  }

  if (hotTrack_ && index == hotItem_) {
    const int y = rect.top() + yOffset + textAscent_;
    painter.setPen(underlineColor_);
    painter.drawLine(textRect.left(), y, textRight, y);
  }
}

}  // namespace sorrel::controls
