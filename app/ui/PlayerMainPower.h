// The power manager's view of the main window, and logind's reports and requests.
#pragma once

#include "app/core/Power.h"
#include "app/ui/PlayerMain.h"
#include "platform/power/PowerBackend.h"

#include <memory>

namespace sorrel::app {

class Tfm_PlayerMain::TWindowPower : public TPowerHost, public TPowerControl, public power::PowerListener {
 public:
  explicit TWindowPower(Tfm_PlayerMain& w);

  TPowerManager& Manager() { return manager_; }

  // TPowerHost
  TPlayerSettings& Settings() override;
  int PlayerVolume() const override;
  // Through the master bar, so the bar and the fade-in see the level the player has.
  void SetPlayerVolume(int volume) override;
  void StopAndClosePlayer() override;
  void PlayFile(const std::string& path) override;
  int FadeStep() const override;
  void SetFadeStep(int step) override;
  void StopTimer(TPowerTimer timer) override;
  void StartTimer(TPowerTimer timer) override;
  void WriteSettings() override;
  void SetSuspended(bool suspended) override;
  int32_t ResumeAdjustment() const override;
  void SetResumeAdjustment(int32_t ms) override;
  void Repaint() override;
  void ParkCursor() override;
  void QueueMapLink(char command) override;

  // TPowerControl
  void Suspend() override { backend_->Suspend(); }
  void Hibernate() override { backend_->Hibernate(); }
  void PowerOff() override { backend_->PowerOff(); }

  // power::PowerListener
  void Suspending() override { manager_.PowerBroadcast(PBT_APMSUSPEND); }
  void Resumed() override { manager_.PowerBroadcast(PBT_APMRESUMEAUTOMATIC); }

 private:
  QTimer* Timer(TPowerTimer timer);

  Tfm_PlayerMain& w_;
  TPowerManager manager_;
  std::unique_ptr<power::PowerBackend> backend_;
};

}  // namespace sorrel::app
