// The frame walker over arbitrary bytes: the first-frame search, the VBR header frame
// and a walk to the end, with the data's length known or not.  It must stay inside the
// data, move forward with every frame, never skip more than it may, and end.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "decoder/MPEGWalker.h"

using namespace sorrel::decoder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int64_t n = int64_t(size);
  for (int64_t length : {kMPEGUnknownLength, n, n / 2}) {
    TMPEGMemorySource src(data, n);
    TMPEGData d{0, length};
    TMPEGWalker w;
    if (!w.Open(src, d)) continue;
    const TMPEGFrame& first = w.First();
    if (first.length < 1 || w.JunkBytes() >= kMPEGSearchWindow || src.Position() > n ||
        d.start != src.Position() || w.Layer() < 1 || w.Version() < 1)
      __builtin_trap();
    int skipped = 0;
    TMPEGFrame f;
    int64_t last = -1;
    while (w.Next(src, d.End(), skipped, f)) {
      if (src.Position() <= last || f.length < 1 || skipped >= kMPEGMaxSkip || src.Position() >= d.End())
        __builtin_trap();
      last = src.Position();
      skipped = 0;
      if (!src.Skip(f.length)) break;
    }
  }
  return 0;
}
