// TListBoxEx: an owner-drawn list box with hot tracking (the item under the mouse is
// underlined in red), a tool tip that shows an item's whole text over the item when it
// is cut off, a hot colour that turns that tool tip into a highlight of the hot item,
// and `OnDrawText`, through which the owner changes the text drawn for an item.
#pragma once

#include "controls/HintCtrl.h"

#include <QListWidget>
#include <QTimer>

#include <functional>
#include <memory>

namespace sorrel::controls {

class TListBoxEx : public QListWidget {
  Q_OBJECT
 public:
  static constexpr int kTimerInterval = 999;

  explicit TListBoxEx(QWidget* parent = nullptr);
  ~TListBoxEx() override;

  bool HotTrack() const { return hotTrack_; }
  void HotTrack(bool on);
  bool ToolTips() const { return toolTips_; }
  void ToolTips(bool on);
  // 0x00BBGGRR, or any value below -29 for none (the default, -38).
  int HotColor() const { return hotColor_; }
  void HotColor(int color);
  // The tool tip window, whose font and font colour are the hot item's when a hot
  // colour is set; a repaint is requested first, so changes show at once.
  THintWindowEx& HotFont();
  void HideToolTip();

  // Called with an item's index and text before it is drawn; may replace the text.
  std::function<void(int index, QString& text)> OnDrawText;

  // The item under the mouse: an index, kNoHotItem over no item, kMouseOutside when
  // the mouse is not over the list.
  int HotItem() const { return hotItem_; }
  int ItemHeight() const { return itemHeight_; }
  THintWindowEx& ToolTipWindow() { return *tip_; }
  QTimer& Timer() { return timer_; }
  // One tick of the timer (tests call it instead of waiting).
  void TimerTick();

  // Draws one item (the delegate's paint).
  void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void MouseMoved(const QPoint& viewportPos);
  void MeasureFont();

  bool hotTrack_ = false;
  bool toolTips_ = false;
  int hotColor_;
  int itemHeight_ = 16;
  int textHeight_ = 14;
  int textAscent_ = 11;
  int hotItem_;
  int previousHotItem_;
  QPoint mousePos_{-1, -1};  // in the viewport, where the last mouse event was
  bool focusedAtLastTick_ = false;
  QColor underlineColor_{255, 0, 0};
  std::unique_ptr<THintWindowEx> tip_;
  QString tipText_;
  QRect tipRect_;
  QTimer timer_;
};

}  // namespace sorrel::controls
