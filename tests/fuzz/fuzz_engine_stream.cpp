// Opening a stream in the player: finding the first frame after the tags, the header
// checks and the Xing/VBRI parsing, then a seek across the data.  Nothing is played.
#include <cstddef>
#include <cstdint>

#include "engine/MP3Player.h"
#include "platform/audio/WaveOut.h"

using namespace sorrel::engine;
using namespace sorrel::audio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    sorrel::audio::SelectBackend("null:fast");
    SetMPExceptionDisplay([](const std::exception_ptr&) {});
    return true;
  }();
  (void)ready;
  static TMPRunLoop loop;
  static TMP3Player player(loop);
  player.SetAutoPlay(false);
  TMPMemoryStream s(data, int64_t(size));  // lent: closed before it goes
  try {
    player.Open(s, true);
  } catch (const EMPError&) {
    loop.RunFor(0);
    return 0;  // refused: the player closed
  }
  (void)player.Duration();
  (void)player.Title();
  player.Close();
  loop.RunFor(0);
  return 0;
}
