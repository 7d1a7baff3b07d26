// The tag reader over arbitrary bytes: wrappers, ID3v2.2/2.3/2.4 frames (unsynchronised,
// flagged, sized plain or synchsafe), ID3v1, Lyrics3 and RIFF INFO must stay inside the
// data and the ring, seekable or not.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/MP3Info.h"

using namespace sorrel::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A small ring as well as the player's, so that the ring's edges are reached.
  for (int64_t ring : {int64_t(327680), int64_t(512)}) {
    for (bool seekable : {true, false}) {
      TMPMemoryStream stream(data, int64_t(size));
      TMPStreamReader reader(ring);
      reader.Open(&stream, seekable);
      TMP3Info info;
      info.SetReader(&reader);
      info.AnalyzeHead();
      if (seekable) info.AnalyzeTail();
      std::string all = info.Title() + info.Artist() + info.Album() + info.Year();
      for (int i = 0; i < info.ID3V2().Count(); ++i) all += info.ID3V2()[i];
      if (info.AudioStart() < 0 || (info.AudioStart() > int64_t(size) && seekable)) __builtin_trap();
      if (info.Track() < 0 || info.Track() > 999999) __builtin_trap();
      (void)all;
    }
  }
  return 0;
}
