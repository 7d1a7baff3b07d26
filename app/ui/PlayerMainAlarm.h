// The speed-camera alarm as the main window holds it: the alarm with its window, voice,
// Navin'You and the status panel.
#pragma once

#include "alarm/core/OvisAlarm.h"
#include "alarm/ui/AlarmVoice.h"
#include "alarm/ui/GPSStatusPanel.h"
#include "alarm/ui/OvisAlarmWindow.h"
#include "app/ui/PlayerMain.h"

namespace sorrel::app {

class Tfm_PlayerMain::TWindowAlarm : public alarm::TAlarmHostIntf,
                                     public alarm::TPreLevelBarIntf,
                                     public alarm::TOvisAlarmWindowHost {
 public:
  TWindowAlarm(Tfm_PlayerMain& w, alarm::Tfm_OvisAlarm& window);
  ~TWindowAlarm() override;

  alarm::TOvisAlarm& Ovis() { return ovis_; }
  // Navin'You's windows as the last search found them.
  alarm::TNavinYou& Navin() { return navin_; }
  void SetMapMatchStyle(const alarm::TMapMatchStyle& style) { gps_.SetMapMatchStyle(style); }
  void Stop();

  // TAlarmHostIntf
  void SetGPSStatus(alarm::TColor color, const std::string& caption) override;
  void HideSubWindows() override;
  void RaiseMainWindow() override;

  // TPreLevelBarIntf: the sound desk's pre-amplifier bar.
  int Position() const override;
  void SetPosition(int position) override;

  // TOvisAlarmWindowHost: the window hands the main window what it gets.
  void AlarmKeyPress(QKeyEvent& e) override;
  void AlarmKeyRelease(QKeyEvent& e) override;
  void AlarmWheel(QWheelEvent& e) override;
  void AlarmDoubleClick(QMouseEvent& e) override;
  void AlarmAppCommand(uint32_t lParam) override;
  void ShowAlarmWindow(QWidget& alarmWindow) override;
  void HideAlarmWindow(QWidget& alarmWindow) override;

 private:
  Tfm_PlayerMain& w_;
  alarm::Tfm_OvisAlarm& window_;
  alarm::TAlarmVoice voice_;
  alarm::TNavinYou navin_;
  alarm::TOvisAlarm ovis_;
  alarm::TGPSStatusPanel gps_;
};

}  // namespace sorrel::app
