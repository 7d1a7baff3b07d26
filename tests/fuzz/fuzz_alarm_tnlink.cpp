// The position sentence on arbitrary bytes: fields are either missing (-99.9) or finite
// numbers, nothing is read without the prefix, validity follows the ranges, and the
// alarm takes whatever a valid sentence holds (huge directions and speeds too) without
// overflow.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "alarm/core/OvisAlarm.h"
#include "tests/alarm/QuietPorts.h"
#include "alarm/core/TNLink.h"

using namespace sorrel;
using namespace sorrel::alarm;

namespace {

using Quiet = alarm::testing::QuietPorts;

bool Sane(double v) { return v == kTNLinkMissing || std::isfinite(v); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const TTNLinkSentence s = ParseTNLinkSentence(bytes);
  if (!Sane(s.Latitude) || !Sane(s.Longitude) || !Sane(s.Direction) || !Sane(s.Velocity)) std::abort();
  const std::string_view text = bytes.substr(0, bytes.find('\0'));
  if (!text.starts_with(kTNLinkPrefix) && !(s == TTNLinkSentence{})) std::abort();
  const bool inRange = s.Latitude >= 20 && s.Latitude <= 50 && s.Longitude >= 120 && s.Longitude <= 160 &&
                       s.Velocity > -1 && s.Direction > -1;
  if (s.Valid() != inRange) std::abort();

  // Through the alarm, with one camera just north of the sentence's position.
  static base::TFakeClock clock(1'000'000'000);
  static Quiet quiet;
  static TOvisAlarmSettings settings = [] {
    TOvisAlarmSettings v;
    v.UseTNLink = true;
    v.AlarmHideDelay = 0;
    return v;
  }();
  static TNavinYou navin(quiet, clock);
  static TOvisAlarm alarm(settings, "/nonexistent", {quiet, quiet, quiet, quiet, navin, clock});
  clock.Advance(1'000'000);
  alarm.OnCheckTimer();
  if (s.Valid()) {
    alarm.Points().Clear();
    alarm.Points().Add("首都高速 レーダ", int32_t(s.Latitude * 100000) + 500, int32_t(s.Longitude * 100000),
                       int32_t(std::fmod(std::fabs(s.Direction), 360.0)) * 100000);
  }
  if (alarm.OnSentence(bytes) != s.Valid()) std::abort();
  alarm.HideAlarm();
  if (alarm.LevelLowered()) std::abort();
  return 0;
}
