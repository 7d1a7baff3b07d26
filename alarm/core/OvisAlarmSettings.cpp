#include "alarm/core/OvisAlarmSettings.h"

namespace sorrel::alarm {

void OvisAlarmKeys(base::TKeyList& keys, TOvisAlarmSettings& v) {
  keys.Section(kOvisAlarmSection);
  keys.Int("AlarmDistance", v.AlarmDistance);
  keys.Int("AlarmVelocity", v.AlarmVelocity);
  keys.Int("AlarmAimDegree", v.AlarmAimDegree);
  keys.Int("AlarmOpsDegree", v.AlarmOpsDegree);
  keys.Int("PreLevelDownVal", v.PreLevelDownVal);
  keys.Int("PreLevelDownWait", v.PreLevelDownWait);
  keys.Int("PlaySoundInterval", v.PlaySoundInterval);
  keys.Int("DistanceOffset", v.DistanceOffset);
  keys.Int("SpeedCancelDelay", v.SpeedCancelDelay);
  keys.Int("AlarmHideDelay", v.AlarmHideDelay);
  keys.Bool("UseTNLink", v.UseTNLink);
  keys.Int("NavinYouComWait", v.NavinYouComWait);
  keys.Bool("OnActiveNavinFG", v.OnActiveNavinFG);
  keys.Int("NYMapMatchNo", v.NYMapMatchNo);
}

}  // namespace sorrel::alarm
