#include "alarm/core/OvisAlarm.h"

#include "alarm/core/Numbers.h"

#include <algorithm>
#include <cstdio>

namespace sorrel::alarm {

namespace {

constexpr int64_t kSentenceStaleMs = 3000;

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Clears a flag when the scope ends, however it ends.
struct TBusy {
  bool& flag;
  explicit TBusy(bool& f) : flag(f) { flag = true; }
  ~TBusy() { flag = false; }
};

}  // namespace

TColor StatusColor(int state) {
  switch (state) {
    case kStateWatching:
      return kStatusLime;
    case kStateSuppressed:
      return kStatusYellow;
    case kStateDisabled:
      return kStatusRed;
    default:
      return kStatusSilver;
  }
}

std::string CompassWord(int32_t direction) {
  static const char* const kWords[] = {"北", "北東", "東", "南東", "南", "南西", "西", "北西", "北"};
  const int32_t index = (direction / 100000 + 22) / 45;
  return index >= 0 && index < int32_t(std::size(kWords)) ? kWords[index] : "";
}

std::string RoadWord(std::string_view text) {
  const bool road = Contains(text, "道"), high = Contains(text, "高");
  if ((!road && !high) || (Contains(text, "産業道路") && Contains(text, "街道"))) return "一般";
  return "高速";
}

std::string TypeWord(std::string_view text) {
  for (const char* word : {"Hシステム", "ループ", "レーダ"})
    if (Contains(text, word)) return word;
  return "オービス";
}

std::string DistanceVoiceFile(int distance) {
  const int m = distance / 100 * 100;
  return m <= 900 ? std::to_string(m) + "m.wav" : "このさき.wav";
}

std::string TypeVoiceFile(std::string_view text) { return RoadWord(text) + TypeWord(text) + ".wav"; }

std::string DistanceText(int distance) {
  char text[48];
  std::snprintf(text, sizeof text, "あと%4dm", distance / 50 * 50);
  return text;
}

std::string LinNoText(int pointNumber) {
  char text[32];
  std::snprintf(text, sizeof text, "No.=%4d  ", pointNumber);
  return text;
}

// --- The alarm ---------------------------------------------------------------------

TOvisAlarm::TOvisAlarm(const TOvisAlarmSettings& settings, std::string homeDir, TPorts ports)
    : settings_(settings), homeDir_(std::move(homeDir)), ports_(ports) {
  ApplySettings();
}

void TOvisAlarm::ApplySettings() {
  taken_ = {settings_.AlarmDistance,  settings_.AlarmVelocity,     settings_.AlarmAimDegree,
            settings_.AlarmOpsDegree, settings_.PlaySoundInterval, settings_.PreLevelDownVal};
}

std::string TOvisAlarm::PointFilePath() const { return homeDir_ + "/" + kPointFileName; }

std::string TOvisAlarm::VoicePath(std::string_view file) const {
  return homeDir_ + "/" + kVoiceFolder + "/" + std::string(file);
}

TPointFileLoad TOvisAlarm::LoadPoints() {
  points_.Clear();
  return LoadPointFile(PointFilePath(), points_);
}

void TOvisAlarm::OnCheckTimer() {
  if (!settings_.UseTNLink) {
    CheckWithStatus();
    return;
  }
  TNavinYou& navin = ports_.Navin;
  if (!navin.Running())
    navin.ForgetWindows();
  else if (!navin.Windows().Main)
    navin.FindNavinWindows();
  if (ports_.Clock.TickCount() - arrivalTick_ > kSentenceStaleMs) {
    sentenceValid_ = false;
    ShowStatus(enabled_ ? kStateIdle : kStateDisabled, kUnknownDirection);
    // No sentence will come to run the check that hides the window: a link that fell
    // silent during an alarm must not leave the window up and the music lowered.
    if (ports_.View.IsVisible()) HideAlarm();
  } else {
    sentenceValid_ = true;
  }
}

TAlarmCheck TOvisAlarm::CheckWithStatus() {
  const TAlarmCheck r = Check();
  ShowStatus(r.State, r.Heading);
  return r;
}

void TOvisAlarm::ShowStatus(int state, int32_t heading) {
  ports_.Host.SetGPSStatus(StatusColor(state), state == kStateIdle ? "" : CompassWord(heading));
}

TAlarmCheck TOvisAlarm::Check() {
  const int64_t now = ports_.Clock.TickCount();
  TAlarmCheck r;
  int32_t latitude, longitude;
  if (settings_.UseTNLink) {
    if (!sentenceValid_) {
      HideAlarm();
      return r;
    }
    latitude = SaturateToInt32(sentence_.Latitude * 100000);
    longitude = SaturateToInt32(sentence_.Longitude * 100000);
    r.Heading = SaturateToInt32(sentence_.Direction * 100000);
    r.Speed = SaturateToInt32(sentence_.Velocity + 0.5);
  } else {
    reading_ = ports_.Navin.ReadNavinPosition();
    latitude = reading_.Fix.Latitude;
    longitude = reading_.Fix.Longitude;
    r.Heading = reading_.Fix.Direction;
    r.Speed = reading_.Fix.Speed;
  }
  lastSeen_ = {latitude, longitude, r.Heading};

  if (!enabled_) {
    HideAlarm();
    r.State = kStateDisabled;
    return r;
  }

  bool suppressed = false;
  if (r.Speed < taken_.AlarmVelocity)
    suppressed = now >= suppressionTick_;
  else
    suppressionTick_ = now + settings_.SpeedCancelDelay;

  const std::optional<TOvisPointList::TNearest> best =
      points_.NearestAhead(latitude, longitude, r.Heading, taken_.AlarmDistance,
                           int64_t(taken_.AlarmOpsDegree) * 100000, int64_t(taken_.AlarmAimDegree) * 100000);
  if (best && !suppressed)
    Alarm(best->Index, best->Distance, now);
  else if (ports_.View.IsVisible() && now - lastAlarmTick_ > settings_.AlarmHideDelay)
    HideAlarm();

  if (latitude >= 0 && longitude >= 0 && points_.Count() > 0) {
    r.State = suppressed ? kStateSuppressed : kStateWatching;
  } else {
    r.State = kStateIdle;
    r.Heading = kUnknownDirection;
  }
  return r;
}

void TOvisAlarm::Alarm(size_t point, int32_t distance, int64_t now) {
  const int32_t shown = std::max(0, distance - settings_.DistanceOffset);
  lastAlarmTick_ = now;
  TOvisAlarmViewIntf& view = ports_.View;
  view.SetLinNo(LinNoText(int(point) + 1));
  view.SetOvisText(std::string(points_.Text(point)));
  view.SetDistance(DistanceText(shown));
  ports_.Host.HideSubWindows();
  if (!view.IsVisible()) {
    view.SetOvisType("");
    view.Show();
  }
  Voice(point, shown, now);
}

void TOvisAlarm::Voice(size_t point, int32_t distance, int64_t now) {
  const std::string_view text = points_.Text(point);
  ports_.View.SetOvisType(RoadWord(text) + "道路 " + TypeWord(text));
  if (now < voiceTick_) return;
  if (savedPreLevel_) {
    voiceTick_ = now + taken_.PlaySoundInterval;
    ports_.Voice.PlaySync(VoicePath(DistanceVoiceFile(distance)));
    ports_.Voice.PlayAsync(VoicePath(TypeVoiceFile(text)));
  } else {
    // Lower the music first; the voice follows once it has gone down.
    TPreLevelBarIntf& bar = ports_.PreLevel;
    savedPreLevel_ = bar.Position();
    bar.SetPosition(bar.Position() + taken_.PreLevelDownVal);
    voiceTick_ = now + settings_.PreLevelDownWait;
  }
}

bool TOvisAlarm::OnSentence(std::string_view data) {
  const int64_t now = ports_.Clock.TickCount();
  if (busy_) {
    arrivalTick_ = now;
    return false;
  }
  sentence_ = ParseTNLinkSentence(data);
  if (!sentence_.Valid()) return false;
  arrivalTick_ = now;
  const TBusy busy(busy_);
  CheckWithStatus();
  return true;
}

void TOvisAlarm::ToggleEnabled() {
  enabled_ = !enabled_;
  CheckWithStatus();
}

void TOvisAlarm::RestoreLevel() {
  if (!savedPreLevel_) return;
  const int position = *savedPreLevel_;
  savedPreLevel_.reset();
  ports_.PreLevel.SetPosition(position);
}

void TOvisAlarm::HideAlarm() {
  if (!ports_.View.IsVisible()) return;
  ports_.View.Hide();
  ports_.Voice.PlaySync(VoicePath(kNilVoiceFile));
  voiceTick_ = 0;
  RestoreLevel();
  ports_.Host.RaiseMainWindow();
  ports_.Navin.BringForward();
}

bool TOvisAlarm::AppendCurrentPosition(std::string* error) {
  if (lastSeen_.Latitude < 0 && lastSeen_.Longitude < 0) {
    if (error) *error = "no position yet";
    return false;
  }
  return AppendPointLine(PointFilePath(),
                         NewPointLine(lastSeen_.Latitude, lastSeen_.Longitude, lastSeen_.Direction), error);
}

}  // namespace sorrel::alarm
