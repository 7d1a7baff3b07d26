// A whole stream's frames as the player finds them: the frame walker over bytes in
// memory, from the first frame (a VBR header frame skipped) to the end of the data.
#pragma once

#include <cstdint>
#include <vector>

#include "decoder/MPEGWalker.h"

struct TWalkedStream {
  sorrel::decoder::TMPEGWalker walker;  // First() is what the decoder is set up with
  bool ok = false;                      // a first frame was found
  std::vector<size_t> at;               // where each audio frame starts
  std::vector<sorrel::decoder::TMPEGFrame> frames;
};

inline TWalkedStream WalkStream(const std::vector<uint8_t>& bits) {
  using namespace sorrel::decoder;
  TWalkedStream s;
  TMPEGMemorySource src(bits.data(), int64_t(bits.size()));
  TMPEGData data{0, int64_t(bits.size())};
  s.ok = s.walker.Open(src, data);
  int skipped = 0;
  TMPEGFrame f;
  while (s.ok && src.Position() - data.start < data.length && s.walker.Next(src, data.End(), skipped, f) &&
         src.Need(f.length)) {
    s.at.push_back(size_t(src.Position()));
    s.frames.push_back(f);
    skipped = 0;
    src.Skip(f.length);
  }
  return s;
}
