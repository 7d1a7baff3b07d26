// fm_OvisAlarm, the speed-camera alarm window: a yellow borderless strip at the top
// right of the screen that the alarm (alarm/core/OvisAlarm.h) fills with the camera's
// type, the distance left, its number and its text.  It holds the check timer
// tm_OvisCheck, and hands every key, wheel turn, double click and application command
// to the main window, so the player stays under control while the alarm has the focus.
#pragma once

#include "alarm/core/AlarmPorts.h"
#include "alarm/core/PointFile.h"

#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

class QKeyEvent;
class QLabel;
class QMouseEvent;
class QWheelEvent;

namespace sorrel::alarm {

class TOvisAlarm;

// What the alarm window needs of the main window.
class TOvisAlarmWindowHost {
 public:
  virtual ~TOvisAlarmWindowHost() = default;
  // The main window's own handlers: keys (the media keys come as keys too), the wheel,
  // a double click, and WM_APPCOMMAND (lParam) for the mouse's back and forward buttons.
  virtual void AlarmKeyPress(QKeyEvent& e) = 0;
  virtual void AlarmKeyRelease(QKeyEvent& e) = 0;
  virtual void AlarmWheel(QWheelEvent& e) = 0;
  virtual void AlarmDoubleClick(QMouseEvent& e) = 0;
  virtual void AlarmAppCommand(uint32_t lParam) = 0;
  // Shows the alarm window at the top right of the screen (Tfm_OvisAlarm::PlaceAtTopRight),
  // moving the main window aside if they overlap; and hides it.
  virtual void ShowAlarmWindow(QWidget& alarmWindow) = 0;
  virtual void HideAlarmWindow(QWidget& alarmWindow) = 0;
};

inline constexpr int kOvisAlarmWidth = 370;
inline constexpr int kOvisAlarmHeight = 212;
inline constexpr int kOvisCheckInterval = 1000;  // ms

class Tfm_OvisAlarm : public QWidget, public TOvisAlarmViewIntf {
  Q_OBJECT
 public:
  explicit Tfm_OvisAlarm(QWidget* parent = nullptr);
  ~Tfm_OvisAlarm() override;

  // Until a host is set the window shows and hides itself, and forwards nothing.
  void SetHost(TOvisAlarmWindowHost* host) { host_ = host; }

  // The window's creation with its alarm: loads "ovis.pot", shows each warning (a beep
  // and a box "警告"), starts tm_OvisCheck.  The settings dialog shows its alarm tab only
  // when the result's points are more than none (alarm.Points().Count()).
  TPointFileLoad FormCreate(TOvisAlarm& alarm);
  // The shutdown stops the timer.
  void StopCheck() { tm_OvisCheck.stop(); }
  bool Checking() const { return tm_OvisCheck.isActive(); }
  // How a point file warning is shown; tests replace the message box.
  void SetWarningHandler(std::function<void(const std::string&)> handler) { warn_ = std::move(handler); }

  // The window's place on a screen: its top right corner.
  static QPoint TopRightPosition(const QRect& screen);
  // Moves it there on the screen it is on (the primary screen before it is shown).
  void PlaceAtTopRight();

  // TOvisAlarmViewIntf
  bool IsVisible() const override { return isVisible(); }
  void Show() override;
  void Hide() override;
  void SetOvisType(const std::string& text) override;
  void SetDistance(const std::string& text) override;
  void SetLinNo(const std::string& text) override;
  void SetOvisText(const std::string& text) override;

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  void CheckTimerTick();

  TOvisAlarmWindowHost* host_ = nullptr;
  TOvisAlarm* alarm_ = nullptr;
  std::function<void(const std::string&)> warn_;
  QTimer tm_OvisCheck;
  QLabel* Panel1;
  QLabel* pnl_OvisType;
  QLabel* pnl_Distance;
  QLabel* pnl_LinNo;
  QLabel* pnl_OvisText;
};

}  // namespace sorrel::alarm
