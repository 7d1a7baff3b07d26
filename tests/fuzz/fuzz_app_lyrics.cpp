// The lyric reader on arbitrary bytes, in both forms and with offsets at the ends of
// the range: the timeline keeps its padding, its texts are UTF-8 within the cap, the
// LRC reading keeps the lines in time order, the binary search finds what the scan
// finds, and the step and the pages work on whatever came out.
#include "app/core/Lyrics.h"
#include "base/TextCodec.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace sorrel::app;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckTimeline(const TLyricTimeline& t, bool standardLrc) {
  if (t.empty()) return;
  constexpr size_t kPadding = kTrailingLyricEntries + kFinalLyricEntries;
  Check(t.size() > size_t{kLeadingLyricEntries} + kPadding);
  for (size_t i = 0; i < kLeadingLyricEntries; ++i) Check(t.Text(i).empty() && t.Time(i) == t.Time(0));
  const size_t last = t.size() - kPadding - 1;
  for (size_t i = last + 1; i < t.size(); ++i) Check(t.Text(i).empty() && t.Time(i) >= t.Time(last));
  // Lines with several stamps share their text: each text checked once in a row.
  const char* previous = nullptr;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t.Text(i).data() == previous) continue;
    previous = t.Text(i).data();
    Check(t.Text(i).size() <= kMaxLyricTextBytes && sorrel::base::IsValidUtf8(t.Text(i)));
  }
  if (standardLrc) {
    for (size_t i = kLeadingLyricEntries + 1; i <= last; ++i) Check(t.Time(i - 1) <= t.Time(i));
  }
  // Every entry's time and its neighbours, on a bounded number of entries.
  const size_t stride = std::max<size_t>(1, t.size() / 16);
  for (size_t i = 0; i < t.size(); i += stride) {
    const int64_t time = t.Time(i);
    for (int64_t p : {time - 1, time, time + 1}) {
      const auto position = static_cast<int32_t>(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX));
      const int found = t.Find(position);
      Check(found == t.FindByScan(position));
      if (found >= 0) Check(t.Time(found) <= position && position < t.Time(found + 1));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (bool standardLrc : {false, true}) {
    for (int offset : {-299, INT_MIN, INT_MAX}) {
      TLyricTimeline t = ParseLyrics(bytes, {offset, standardLrc});
      CheckTimeline(t, standardLrc);
      if (offset != -299) continue;
      TLyricEngine engine;
      engine.Load(std::move(t));
      for (int32_t position : {0, 1000, 60000, INT32_MAX}) {
        if (engine.Step(position, {}) == TLyricAction::kDraw) {
          const int line = engine.CurrentLine();
          Check(line >= 0 && static_cast<size_t>(line) < engine.Timeline().size());
          for (int rows : {1, 2, 5, 23}) {
            const TLyricPage page = engine.Page(rows, 2);
            Check(page.Rows == rows && sorrel::base::IsValidUtf8(page.Text));
            Check(static_cast<int>(std::count(page.Text.begin(), page.Text.end(), '\n')) == rows - 1);
          }
        }
      }
    }
  }
  return 0;
}
