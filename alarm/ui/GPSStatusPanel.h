// The main window's pnl_GPSStatus as the alarm and the map-match exchange paint it: the
// alarm's state as the panel's colour with the heading's compass word on it
// (TAlarmHostIntf::SetGPSStatus), the map-match mode as the word's colour and the
// border.  It dresses a QFrame the main window already has, and reports its double
// clicks (command 36: the alarm on or off).
#pragma once

#include "alarm/core/MapMatch.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QFrame;
class QLabel;

namespace sorrel::alarm {

// 0x00BBGGRR as Qt's colour.
QColor ToQColor(TColor color);

class TGPSStatusPanel : public QObject {
  Q_OBJECT
 public:
  // `panel` outlives this helper (it is the helper's parent).
  explicit TGPSStatusPanel(QFrame& panel, std::function<void()> onDoubleClick = {});

  // The alarm's status: the panel's colour and its caption (a compass word, or empty).
  void SetStatus(TColor color, const std::string& caption);
  // The map-match mode Navin'You reported: the caption's colour; mode 4's single
  // border, the other modes the panel's raised edge.
  void SetMapMatchStyle(const TMapMatchStyle& style);

  QColor Color() const;
  QString Caption() const;
  QColor CaptionColor() const;
  bool SingleBorder() const { return singleBorder_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QFrame& panel_;
  QLabel* caption_;
  std::function<void()> onDoubleClick_;
  bool singleBorder_ = false;
};

}  // namespace sorrel::alarm
