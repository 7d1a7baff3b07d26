#include "app/ui/PlayerMainPower.h"

#include <cstdio>
#include <exception>

namespace sorrel::app {

Tfm_PlayerMain::TWindowPower::TWindowPower(Tfm_PlayerMain& w)
    : w_(w),
      manager_(*this, *w.playerControl_, *w.navigator_, *w.desk_, w.waitLoop_, *this),
      backend_(power::ConnectPowerBackend(*this)) {}

TPlayerSettings& Tfm_PlayerMain::TWindowPower::Settings() { return w_.settings_; }

int Tfm_PlayerMain::TWindowPower::PlayerVolume() const { return w_.MP3Player->Volume(); }

void Tfm_PlayerMain::TWindowPower::SetPlayerVolume(int volume) { w_.desk_->SetMasterLevel(volume); }

void Tfm_PlayerMain::TWindowPower::StopAndClosePlayer() {
  w_.MP3Player->Stop();
  w_.MP3Player->Close();
}

void Tfm_PlayerMain::TWindowPower::PlayFile(const std::string& path) {
  try {
    w_.MP3Player->SetFileName(path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sorrel: %s: %s\n", path.c_str(), e.what());
  }
}

int Tfm_PlayerMain::TWindowPower::FadeStep() const { return w_.desk_->FadeStep(); }

void Tfm_PlayerMain::TWindowPower::SetFadeStep(int step) {
  if (step < 0)
    w_.desk_->StartFadeIn();
  else
    w_.desk_->SetFadeStep(step);
}

void Tfm_PlayerMain::TWindowPower::StopTimer(TPowerTimer timer) {
  if (QTimer* t = Timer(timer)) t->stop();
}

void Tfm_PlayerMain::TWindowPower::StartTimer(TPowerTimer timer) {
  if (QTimer* t = Timer(timer)) t->start();
}

void Tfm_PlayerMain::TWindowPower::WriteSettings() {
  w_.StoreLiveValues();
  std::string error;
  if (!w_.settingsFile_.Write(w_.settings_, &error) && !error.empty())
    std::fprintf(stderr, "sorrel: %s\n", error.c_str());
}

void Tfm_PlayerMain::TWindowPower::SetSuspended(bool suspended) { w_.suspended_ = suspended; }

int32_t Tfm_PlayerMain::TWindowPower::ResumeAdjustment() const { return w_.resumeAdjustment_; }

void Tfm_PlayerMain::TWindowPower::SetResumeAdjustment(int32_t ms) { w_.resumeAdjustment_ = ms; }

void Tfm_PlayerMain::TWindowPower::Repaint() { w_.update(); }

void Tfm_PlayerMain::TWindowPower::ParkCursor() { w_.ParkCursor(); }

void Tfm_PlayerMain::TWindowPower::QueueMapLink(char command) { w_.SendMapLink(command); }

QTimer* Tfm_PlayerMain::TWindowPower::Timer(TPowerTimer timer) {
  switch (timer) {
    case TPowerTimer::CurrentTimer:
      return &w_.CurrentTimer;
    case TPowerTimer::TitleTimer:
      return &w_.TitleTimer;
    case TPowerTimer::tm_CheckMapple:
      return &w_.tm_CheckMapple;
    case TPowerTimer::tm_OvisCheck:
      return nullptr;  // the alarm's timer, when the alarm runs
  }
  return nullptr;
}

}  // namespace sorrel::app
