#include "app/core/Power.h"

#include <algorithm>
#include <climits>

namespace sorrel::app {

namespace {

// The fade-in has reached its end; until then the player's volume is not the level
// the user chose.
constexpr int kFadeDone = 99;
constexpr int kFadeRestart = -2;
// tb_MasterLevel runs opposite to its level: position 100 is level 0.
constexpr int kMasterBarSilent = 100;

constexpr TPowerTimer kStoppedTimers[] = {TPowerTimer::tm_OvisCheck, TPowerTimer::CurrentTimer,
                                          TPowerTimer::TitleTimer, TPowerTimer::tm_CheckMapple};

}  // namespace

void TPowerManager::PowerBroadcast(int32_t event) {
  switch (event) {
    case PBT_APMSUSPEND:
      if (powerSuspended_) return;
      powerSuspended_ = true;
      ++suspends_;
      // The resume waiting now has not touched the player yet: nothing to store.
      if (!playerDown_) Suspend();
      break;
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMESUSPEND:
      if (!powerSuspended_) return;
      powerSuspended_ = false;
      Resume();
      break;
    default:
      break;
  }
}

void TPowerManager::KeepVolumeAsMainLevel() {
  if (host_.FadeStep() >= kFadeDone) host_.Settings().MainLevel = host_.PlayerVolume();
}

void TPowerManager::Suspend() {
  TPlayerSettings& s = host_.Settings();
  const TPlayerStatus status = player_.Status();
  s.CurPos =
      status == TPlayerStatus::mpsPlaying || status == TPlayerStatus::mpsPaused ? player_.Position() : 0;
  for (TPowerTimer t : kStoppedTimers) host_.StopTimer(t);
  KeepVolumeAsMainLevel();
  host_.SetPlayerVolume(0);
  host_.StopAndClosePlayer();
  playerDown_ = true;
  host_.WriteSettings();
  host_.SetSuspended(true);
}

void TPowerManager::Resume() {
  const uint64_t suspend = suspends_;
  host_.Repaint();
  waitLoop_.Wait(host_.Settings().OnResumeWait);
  if (suspends_ != suspend) return;  // the computer went to sleep again meanwhile

  desk_.SetPosition(TDeskBar::tb_MasterLevel, kMasterBarSilent);
  host_.SetFadeStep(kFadeRestart);
  const TPlayerSettings s = host_.Settings();
  host_.PlayFile(s.CurFile);
  playerDown_ = false;
  // CurPos and the adjustment come from outside (the settings file, the keyboard tool).
  const int64_t target = int64_t{s.CurPos} - 100 * int64_t{s.MainLevel} - host_.ResumeAdjustment();
  navigator_.BackSeek(static_cast<int>(std::clamp<int64_t>(target, INT32_MIN, INT32_MAX)));
  host_.SetResumeAdjustment(0);
  host_.SetSuspended(false);
  if (host_.Settings().OnResumeSetCursorPos) host_.ParkCursor();
  host_.QueueMapLink('L');
  host_.StartTimer(TPowerTimer::CurrentTimer);
  host_.StartTimer(TPowerTimer::TitleTimer);
  host_.StartTimer(TPowerTimer::tm_OvisCheck);
  if (host_.Settings().UseMappleLink) host_.StartTimer(TPowerTimer::tm_CheckMapple);
}

void TPowerManager::PowerCommand() {
  const TPlayerSettings& s = host_.Settings();
  if (!s.Tarn_Lyric || s.SuspendMode == kSuspendModeOff) return;
  switch (s.SuspendMode) {
    case kSuspendModePowerOff:
      KeepVolumeAsMainLevel();
      host_.WriteSettings();
      waitLoop_.Clock().SleepFor(int64_t{kPowerOffDelayMs} * 1000);
      control_.PowerOff();
      break;
    case kSuspendModeSuspend:
      control_.Suspend();
      break;
    default:
      control_.Hibernate();
      break;
  }
}

}  // namespace sorrel::app
