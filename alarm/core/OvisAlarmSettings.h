// The camera alarm's and the position link's section of the settings file ("OvisAlarm").
#pragma once

#include "base/KeyList.h"

namespace sorrel::alarm {

inline constexpr const char* kOvisAlarmSection = "OvisAlarm";

struct TOvisAlarmSettings {
  int AlarmDistance = 1000, AlarmVelocity = 30, AlarmAimDegree = 120, AlarmOpsDegree = 80;
  int PreLevelDownVal = 40, PreLevelDownWait = 2199, PlaySoundInterval = 7000;
  int DistanceOffset = 0, SpeedCancelDelay = 3000, AlarmHideDelay = 0;
  bool UseTNLink = false;
  int NavinYouComWait = 999;  // ms between steps when operating Navin'You
  bool OnActiveNavinFG = false;
  int NYMapMatchNo = 4;
  bool operator==(const TOvisAlarmSettings&) const = default;
};

void OvisAlarmKeys(base::TKeyList& keys, TOvisAlarmSettings& v);

}  // namespace sorrel::alarm
