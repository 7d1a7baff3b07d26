// Suspend and resume of the computer, and the power command (38).  The platform's
// power backend reports the computer going to sleep and waking up; the main window
// forwards those reports, and the WM_POWERBROADCAST messages other programs send, to
// TPowerManager::PowerBroadcast.  The player, the timers, the settings record and the
// settings file are reached through TPowerHost, the computer's power calls through
// TPowerControl.
#pragma once

#include "app/core/Navigation.h"
#include "app/core/Presets.h"
#include "app/core/Settings.h"
#include "app/core/Wait.h"

#include <cstdint>
#include <string>

namespace sorrel::app {

// WM_POWERBROADCAST events.
inline constexpr int32_t PBT_APMSUSPEND = 4;
inline constexpr int32_t PBT_APMRESUMESUSPEND = 7;
inline constexpr int32_t PBT_APMRESUMEAUTOMATIC = 18;

// "SuspendMode" values of the power command; any other non-zero value hibernates.
inline constexpr int kSuspendModeOff = 0;
inline constexpr int kSuspendModeSuspend = 1;
inline constexpr int kSuspendModePowerOff = 3;

// The time between writing the settings and switching the computer off.
inline constexpr int kPowerOffDelayMs = 499;

// The main window's timers that stop while the computer sleeps.
enum class TPowerTimer { tm_OvisCheck, CurrentTimer, TitleTimer, tm_CheckMapple };

// The computer's power calls.  Each asks and returns; the sleep itself is reported
// back later as a suspend event.
class TPowerControl {
 public:
  virtual ~TPowerControl() = default;
  virtual void Suspend() = 0;
  virtual void Hibernate() = 0;
  virtual void PowerOff() = 0;
};

// The main window's side of suspend and resume.
class TPowerHost {
 public:
  virtual ~TPowerHost() = default;
  // The settings record: CurFile, CurPos, MainLevel, "SuspendMode", "Tarn_Lyric",
  // "OnResumeWait", "OnResumeSetCursorPos", "UseMappleLink".
  virtual TPlayerSettings& Settings() = 0;

  virtual int PlayerVolume() const = 0;
  virtual void SetPlayerVolume(int volume) = 0;
  virtual void StopAndClosePlayer() = 0;
  // Gives the player this file as its FileName: it opens the file and starts playing.
  virtual void PlayFile(const std::string& path) = 0;

  // The fade-in's step (99 and more: done; -2: starting again).
  virtual int FadeStep() const = 0;
  virtual void SetFadeStep(int step) = 0;

  virtual void StopTimer(TPowerTimer timer) = 0;
  virtual void StartTimer(TPowerTimer timer) = 0;

  // Writes the settings record to the settings file.
  virtual void WriteSettings() = 0;
  // The suspended flag that the main window's message handling reads.
  virtual void SetSuspended(bool suspended) = 0;
  // Set by the keyboard tool: how much further back to resume (ms).
  virtual int32_t ResumeAdjustment() const = 0;
  virtual void SetResumeAdjustment(int32_t ms) = 0;

  virtual void Repaint() = 0;
  virtual void ParkCursor() = 0;
  // Queues a command for the map program link.
  virtual void QueueMapLink(char command) = 0;
};

class TPowerManager {
 public:
  TPowerManager(TPowerHost& host, TPlayerControl& player, TNavigator& navigator, TSoundDeskIntf& desk,
                TWaitLoop& waitLoop, TPowerControl& control)
      : host_(host),
        player_(player),
        navigator_(navigator),
        desk_(desk),
        waitLoop_(waitLoop),
        control_(control) {}

  // 4 suspends unless already suspended; 7 and 18 resume after a suspend; any other
  // event, a second suspend and a resume without a suspend are ignored.
  //
  // A suspend that comes while a resume waits "OnResumeWait" (its wait handles
  // messages) finds the player still closed and the settings of the first suspend on
  // disk: it only marks the computer suspended again, so that the stored position is
  // not overwritten with 0, and the waiting resume then stops where it is.
  void PowerBroadcast(int32_t event);

  // Command 38: only with "Tarn_Lyric" on and "SuspendMode" not 0.  3 writes the
  // settings (MainLevel from the player's volume when the fade-in is done), waits
  // 499 ms and switches off; 1 suspends; any other value hibernates.
  void PowerCommand();

  // Between a suspend and the resume after it.
  bool PowerSuspended() const { return powerSuspended_; }

 private:
  void Suspend();
  void Resume();
  void KeepVolumeAsMainLevel();

  TPowerHost& host_;
  TPlayerControl& player_;
  TNavigator& navigator_;
  TSoundDeskIntf& desk_;
  TWaitLoop& waitLoop_;
  TPowerControl& control_;
  bool powerSuspended_ = false;
  // From a suspend until a resume has started the player again.
  bool playerDown_ = false;
  // Counts suspends; a resume whose wait saw a new one stops.
  uint64_t suspends_ = 0;
};

}  // namespace sorrel::app
