// The speed-camera alarm: once a second (or at every position sentence) it takes the
// car's position, finds the nearest camera ahead among the points, and while one is
// near shows the alarm window, lowers the music through the pre-amplifier bar and
// speaks the distance and the camera's type; it also paints the GPS status panel.
#pragma once

#include "alarm/core/AlarmPorts.h"
#include "alarm/core/GpsUtil.h"
#include "alarm/core/NavinScreen.h"
#include "alarm/core/OvisAlarmSettings.h"
#include "alarm/core/PointFile.h"
#include "alarm/core/TNLink.h"
#include "base/Clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorrel::alarm {

// The alarm's states, as the status panel shows them.
inline constexpr int kStateWatching = 0;    // lime: a position and points, no suppression
inline constexpr int kStateIdle = 1;        // silver: no position, or no points
inline constexpr int kStateSuppressed = 2;  // yellow: slower than "AlarmVelocity" for long enough
inline constexpr int kStateDisabled = 3;    // red: the alarm is switched off

inline constexpr TColor kStatusLime = 0x00FF00;
inline constexpr TColor kStatusSilver = 0xC0C0C0;
inline constexpr TColor kStatusYellow = 0x00FFFF;
inline constexpr TColor kStatusRed = 0x0000FF;
TColor StatusColor(int state);

// "北", "北東", ... "北西", "北" by (direction / 100000 + 22) / 45; "" outside them
// (the unknown direction among them).
std::string CompassWord(int32_t direction);

// The words and voice files for a point's text and a distance.
std::string RoadWord(std::string_view text);  // "高速" or "一般"
std::string TypeWord(std::string_view text);  // "Hシステム", "ループ", "レーダ" or "オービス"
std::string DistanceVoiceFile(int distance);  // "800m.wav" ... "0m.wav", or "このさき.wav" above 900
std::string TypeVoiceFile(std::string_view text);  // road word + type word + ".wav"
std::string DistanceText(int distance);            // "あと%4dm", the distance down to a multiple of 50
std::string LinNoText(int pointNumber);            // "No.=%4d  "
inline constexpr const char* kNilVoiceFile = "nil.wav";
inline constexpr const char* kVoiceFolder = "Voice";

struct TAlarmCheck {
  int State = kStateIdle;
  int32_t Speed = 0;
  int32_t Heading = kUnknownDirection;
  bool operator==(const TAlarmCheck&) const = default;
};

class TOvisAlarm {
 public:
  struct TPorts {
    TOvisAlarmViewIntf& View;
    TAlarmHostIntf& Host;
    TPreLevelBarIntf& PreLevel;
    TVoicePlayerIntf& Voice;
    TNavinYou& Navin;
    base::TClock& Clock;
  };
  // `settings` is the main window's record: "DistanceOffset", "SpeedCancelDelay",
  // "AlarmHideDelay", "PreLevelDownWait" and "UseTNLink" are read from it at each use,
  // the rest now and at ApplySettings.  `homeDir` holds "ovis.pot" and "Voice/".
  TOvisAlarm(const TOvisAlarmSettings& settings, std::string homeDir, TPorts ports);

  // The alarm window's creation: loads "ovis.pot" (once; the warnings are for the
  // window to show).  The settings dialog's alarm tab is shown only when Points() holds
  // at least one point.
  TPointFileLoad LoadPoints();
  const TOvisPointList& Points() const { return points_; }
  TOvisPointList& Points() { return points_; }

  // The settings dialog applied its values.
  void ApplySettings();

  // tm_OvisCheck's tick (the window stops its timer around it).  With the position link
  // it only watches the sentences (older than 3000 ms: the data is stale, the panel
  // shows no heading) and Navin'You's windows; otherwise it reads Navin'You's screen and
  // runs the check with the status update.
  void OnCheckTimer();

  // The alarm check, and the check with the status panel painted.
  TAlarmCheck Check();
  TAlarmCheck CheckWithStatus();

  // A position sentence (copy-data 9999), delivered while the position link is active.
  // True when it was valid and ran the check: the map link may then draw the position.
  // One arriving while the check of the previous one still runs (inside the spoken
  // distance) only counts as a sign of life.
  bool OnSentence(std::string_view data);
  const TTNLinkSentence& LastSentence() const { return sentence_; }
  bool SentenceDataValid() const { return sentenceValid_; }

  // Command 36 and a double click on the status panel: switch the alarm on or off and
  // check at once.
  void ToggleEnabled();
  bool Enabled() const { return enabled_; }

  // The music is lowered while the alarm speaks; the level steps wait for the idle alarm.
  bool LevelLowered() const { return savedPreLevel_.has_value(); }
  // The pre-amplifier bar back where the alarm found it.
  void RestoreLevel();
  // Hides a visible alarm window: nil.wav, the voice may start at once next time, the
  // level restored, the main window on top and Navin'You brought forward.
  void HideAlarm();

  // The last position the check saw (-999 each before any; used for a new point).
  struct TLastSeen {
    int32_t Latitude = -999, Longitude = -999, Direction = 0;
    bool operator==(const TLastSeen&) const = default;
  };
  const TLastSeen& LastSeen() const { return lastSeen_; }
  // Command 37: appends the last seen position to an existing "ovis.pot" (not to the
  // points in memory).  True when a line was written ("New Ovis Saved").
  bool AppendCurrentPosition(std::string* error = nullptr);

  // The last screen reading (the large lyric display's limits follow it).
  const TNavinReading& LastReading() const { return reading_; }

  std::string PointFilePath() const;
  std::string VoicePath(std::string_view file) const;

 private:
  // Values taken at creation and when the settings dialog applies them.
  struct TTaken {
    int AlarmDistance, AlarmVelocity, AlarmAimDegree, AlarmOpsDegree, PlaySoundInterval, PreLevelDownVal;
  };
  void ShowStatus(int state, int32_t heading);
  void Alarm(size_t point, int32_t distance, int64_t now);
  void Voice(size_t point, int32_t distance, int64_t now);

  const TOvisAlarmSettings& settings_;
  TTaken taken_{};
  std::string homeDir_;
  TPorts ports_;
  TOvisPointList points_;

  bool enabled_ = true;
  std::optional<int> savedPreLevel_;  // the bar's position before the alarm lowered it
  int64_t lastAlarmTick_ = 0;
  int64_t voiceTick_ = 0;        // no voice starts before this (0: at once)
  int64_t suppressionTick_ = 0;  // from here a low speed suppresses the alarm
  TLastSeen lastSeen_;
  TNavinReading reading_;

  TTNLinkSentence sentence_;
  int64_t arrivalTick_ = 0;
  bool sentenceValid_ = false;
  bool busy_ = false;
};

}  // namespace sorrel::alarm
