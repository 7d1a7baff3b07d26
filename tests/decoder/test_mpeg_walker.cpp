// The frame walker on hand-built streams and the free-format conformance stream: the
// first-frame search and what it passes over, VBR header frames, the check against the
// first header, resynchronisation and where it gives up.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "decoder/MPEGWalker.h"
#include "tests/decoder/layer3_test_util.h"

using namespace sorrel::decoder;

namespace {

using Bytes = std::vector<uint8_t>;

// A frame of zero bytes behind the given header (length from the header itself).
Bytes Frame(uint8_t b1, uint8_t b2, uint8_t b3) {
  const uint8_t h[4] = {0xFF, b1, b2, b3};
  TMPEGHead head{};
  const int32_t raw = HeadInfo(h, 0, head);
  EXPECT_GT(raw, 0);
  Bytes f(size_t(MPEGPaddedFrameBytes(head, raw)), 0);
  std::memcpy(f.data(), h, 4);
  return f;
}
// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo: 417 bytes.
Bytes L3() { return Frame(0xFB, 0x90, 0x40); }

Bytes Repeat(const Bytes& frame, int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) b.insert(b.end(), frame.begin(), frame.end());
  return b;
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

struct Opened {
  bool ok;
  TMPEGData data;
  int64_t position;
};
Opened Open(TMPEGWalker& w, const Bytes& b, int64_t length = kMPEGUnknownLength) {
  TMPEGMemorySource src(b.data(), int64_t(b.size()));
  TMPEGData d{0, length};
  const bool ok = w.Open(src, d);
  return {ok, d, src.Position()};
}

// Offsets of every frame Next finds from `from` on.
std::vector<int64_t> Walk(const TMPEGWalker& w, const Bytes& b, int64_t from,
                          int64_t dataEnd = kMPEGUnknownLength) {
  TMPEGMemorySource src(b.data(), int64_t(b.size()));
  src.Skip(from);
  std::vector<int64_t> at;
  int skipped = 0;
  TMPEGFrame f;
  while (w.Next(src, dataEnd, skipped, f)) {
    at.push_back(src.Position());
    skipped = 0;
    src.Skip(f.length);
  }
  return at;
}

TEST(MPEGWalker, TheFirstFrameIsFoundPastFalseSyncs) {
  const Bytes stream = Repeat(L3(), 5);
  struct Case {
    const char* what;
    Bytes before;
  } cases[] = {
      {"one 0xFF byte", {0xFF}},
      {"0xFF 0xFF", {0xFF, 0xFF}},
      {"FF E0: no layer", {0xFF, 0xE0, 0x00, 0x00, 0x11}},
      {"FF FF FF: bit-rate index 15", {0xFF, 0xFF, 0xFF, 0xFF}},
      {"reserved sampling frequency", {0xFF, 0xFB, 0x9C, 0x00}},
      {"the 11-bit sync with MPEG-1", {0xFF, 0xEB, 0x90, 0x00}},
      {"the 11-bit sync with Layer II", {0xFF, 0xE5, 0x80, 0x00}},
      // A whole valid-looking frame of another sampling frequency, then the stream.
      {"a frame not followed by its like", Frame(0xFB, 0x94, 0x40)},
      // A header whose frame would be followed by junk.
      {"a header followed by junk",
       [] {
         Bytes b = Frame(0xFD, 0x10, 0x00);  // Layer II, 32 kbit/s: 104 bytes
         b.resize(b.size() + 7, 0x33);
         return b;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = c.before;
    Append(file, stream);
    TMPEGWalker w;
    const Opened o = Open(w, file);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(w.JunkBytes(), int32_t(c.before.size()));
    EXPECT_EQ(o.position, int64_t(c.before.size()));
    EXPECT_EQ(o.data.start, int64_t(c.before.size()));
    EXPECT_EQ(o.data.length, kMPEGUnknownLength);
    EXPECT_EQ(w.First().length, 417);
    EXPECT_EQ(w.Layer(), 3);
    EXPECT_EQ(w.Version(), 1);
    EXPECT_EQ(w.BitRate(), 128000);
    EXPECT_EQ(Walk(w, file, o.position).size(), 5u);
  }
}

TEST(MPEGWalker, TheFirstHeaderLiesWithinTheWindowAndItsFrameIsWhole) {
  const Bytes stream = Repeat(L3(), 3);
  for (int32_t junk : {4091, 4092, 4093}) {
    Bytes file(size_t(junk), 0);
    Append(file, stream);
    TMPEGWalker w;
    EXPECT_EQ(Open(w, file).ok, junk + 4 <= kMPEGSearchWindow) << junk;
  }
  // A known data length ends the search and the stream there.
  Bytes file(100, 0);
  Append(file, stream);
  TMPEGWalker w;
  EXPECT_FALSE(Open(w, file, 100 + 416).ok);
  const Opened o = Open(w, file, 100 + 417 + 1);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.data.start, 100);
  EXPECT_EQ(o.data.length, 418);
  // A frame alone, or followed by an ID3v1 tag, is a stream.
  Bytes one = L3();
  EXPECT_TRUE(Open(w, one).ok);
  Bytes tagged = L3();
  Bytes tag(128, 0);
  std::memcpy(tag.data(), "TAG", 3);
  Append(tagged, tag);
  EXPECT_TRUE(Open(w, tagged).ok);
  EXPECT_FALSE(Open(w, Bytes(5000, 0xFF)).ok);
  EXPECT_FALSE(Open(w, Bytes{0xFF, 0xFB, 0x90}).ok);
}

TEST(MPEGWalker, LaterFramesAreCheckedAgainstTheFirst) {
  Bytes file = L3();
  TMPEGWalker w;
  ASSERT_TRUE(Open(w, Repeat(file, 2)).ok);
  TMPEGFrame f;
  const auto check = [&](uint8_t b1, uint8_t b2, uint8_t b3) {
    const uint8_t h[4] = {0xFF, b1, b2, b3};
    return w.Check(h, f);
  };
  EXPECT_EQ(check(0xFB, 0x92, 0x00), 418);               // padding, another mode
  EXPECT_EQ(check(0xFA, 0xC0, 0x40), 2880 * 224 / 882);  // CRC, another bit rate
  EXPECT_EQ(check(0xFB, 0x94, 0x40), 0);                 // another sampling frequency
  EXPECT_EQ(check(0xFD, 0x90, 0x40), 0);                 // another layer
  EXPECT_EQ(check(0xF3, 0x90, 0x40), 0);                 // MPEG-2
  EXPECT_EQ(check(0xFB, 0xF0, 0x40), 0);                 // bit-rate index 15
  EXPECT_EQ(check(0xFB, 0x00, 0x40), 0);                 // free format in a stream that is not
}

TEST(MPEGWalker, VbrHeaderFramesAreSkippedInEveryLayer) {
  struct Case {
    const char* what;
    Bytes frame;
    int32_t at;  // where the tag goes
    const char* tag;
    TMPEGVbrHeader::TKind kind;
  } cases[] = {
      {"Xing, MPEG-1 stereo", L3(), 36, "Xing", TMPEGVbrHeader::kXing},
      {"Info, MPEG-1 mono with CRC", Frame(0xFA, 0x90, 0xC0), 4 + 17 + 2, "Info", TMPEGVbrHeader::kInfo},
      {"Xing, MPEG-2 mono", Frame(0xF3, 0x80, 0xC0), 13, "Xing", TMPEGVbrHeader::kXing},
      {"VBRI, MPEG-2.5 stereo", Frame(0xE3, 0x80, 0x00), 21, "VBRI", TMPEGVbrHeader::kVBRI},
      {"Xing in Layer II", Frame(0xFD, 0xA0, 0x00), 36, "Xing", TMPEGVbrHeader::kXing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes head = c.frame;
    std::memcpy(head.data() + c.at, c.tag, 4);
    auto put = [&](int32_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) head[size_t(at + i)] = uint8_t(v >> (24 - 8 * i));
    };
    const int32_t frames = 40, bytes = 12345;
    if (c.kind == TMPEGVbrHeader::kVBRI) {
      put(c.at + 10, bytes);
      put(c.at + 14, frames);
    } else {
      put(c.at + 4, 3);
      put(c.at + 8, frames);
      put(c.at + 12, bytes);
    }
    Bytes file(10, 0x22);
    Append(file, head);
    Append(file, Repeat(c.frame, 3));
    TMPEGWalker w;
    const Opened o = Open(w, file);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(w.Vbr().kind, c.kind);
    EXPECT_EQ(w.Vbr().frames, frames);
    EXPECT_EQ(w.Vbr().bytes, bytes);
    EXPECT_EQ(o.position, int64_t(10 + head.size()));
    EXPECT_EQ(o.data.start, o.position);
    EXPECT_EQ(o.data.length, bytes - int64_t(head.size()));
    EXPECT_EQ(Walk(w, file, o.position).size(), 3u);
    // The same frame without the tag is audio.
    Bytes plain(10, 0x22);
    Append(plain, Repeat(c.frame, 4));
    ASSERT_TRUE(Open(w, plain).ok);
    EXPECT_EQ(w.Vbr().kind, TMPEGVbrHeader::kNone);
  }
  // Counts that are not above 0 say nothing; a tag that does not fit is none.
  Bytes head = L3();
  std::memcpy(head.data() + 36, "Xing", 4);
  head[36 + 7] = 3;
  std::memset(head.data() + 44, 0xFF, 8);
  TMPEGFrame f;
  f.rawLength = HeadInfo(head.data(), 0, f.head);
  f.length = 417;
  TMPEGVbrHeader v = TMPEGWalker::ReadVbrHeader(head.data(), f);
  EXPECT_EQ(v.kind, TMPEGVbrHeader::kXing);
  EXPECT_EQ(v.frames, 0);
  EXPECT_EQ(v.bytes, 0);
  f.length = 36 + 15;
  EXPECT_EQ(TMPEGWalker::ReadVbrHeader(head.data(), f).kind, TMPEGVbrHeader::kNone);
}

TEST(MPEGWalker, FreeFormatFramesAllHaveTheFirstFramesLength) {
  const Bytes bits = l3test::ReadBytes(std::string(SORREL_TEST_DATA) + "/vectors/l3-he_free.bit");
  ASSERT_FALSE(bits.empty());
  TMPEGWalker w;
  Bytes file{0xFF, 0xFB, 0x00};  // a false free-format sync first
  Append(file, bits);
  const Opened o = Open(w, file);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.position, 3);
  EXPECT_EQ(w.First().head.br_index, 0);
  TMPEGHead h{};
  const int32_t raw = HeadInfo(bits.data(), int32_t(bits.size()), h);
  ASSERT_GT(raw, 0);
  EXPECT_EQ(w.First().rawLength, raw);
  EXPECT_GT(w.BitRate(), 0);
  const std::vector<int64_t> at = Walk(w, file, o.position);
  ASSERT_GT(at.size(), 10u);
  for (size_t i = 1; i < at.size(); ++i) {
    const int64_t step = at[i] - at[i - 1];
    ASSERT_TRUE(step == raw || step == raw + 1) << i;
  }
  EXPECT_GE(at.back() + raw, int64_t(file.size()) - 4);
}

TEST(MPEGWalker, ResynchronisesOverJunkAndGivesUpAfter4096Bytes) {
  const Bytes frame = L3();
  // Junk between the second and third frames, with false syncs in it.
  Bytes junk(333, 0x5A);
  junk[10] = 0xFF;
  junk[11] = 0xFB;
  junk[100] = 0xFF;
  junk[101] = 0xFB;
  junk[102] = 0x94;  // another sampling frequency
  for (size_t gap : {size_t(333), size_t(4095), size_t(4096)}) {
    SCOPED_TRACE(gap);
    Bytes file = Repeat(frame, 2);
    Bytes j = junk;
    j.resize(gap, 0x5A);
    Append(file, j);
    Append(file, Repeat(frame, 2));
    TMPEGWalker w;
    ASSERT_TRUE(Open(w, file).ok);
    const std::vector<int64_t> at = Walk(w, file, 0);
    if (gap < 4096) {
      ASSERT_EQ(at.size(), 4u);
      EXPECT_EQ(at[2], int64_t(2 * frame.size() + gap));
    } else {
      EXPECT_EQ(at.size(), 2u);  // the data ends in the junk
    }
  }
  // Where the data ends 4096 bytes into junk, and the budget carried across calls.
  Bytes file = frame;
  Append(file, Bytes(6000, 0));
  Append(file, frame);
  TMPEGWalker w;
  ASSERT_TRUE(Open(w, file, 417).ok);
  TMPEGMemorySource src(file.data(), int64_t(file.size()));
  src.Skip(417);
  int skipped = 0;
  TMPEGFrame f;
  EXPECT_FALSE(w.Next(src, kMPEGUnknownLength, skipped, f));
  EXPECT_EQ(src.Position(), 417 + 4096);
  EXPECT_EQ(skipped, 4096);
  TMPEGMemorySource src2(file.data(), int64_t(file.size()));
  src2.Skip(417 + 6000 - 100);
  skipped = 4000;
  EXPECT_FALSE(w.Next(src2, kMPEGUnknownLength, skipped, f));
  EXPECT_EQ(src2.Position(), 417 + 6000 - 100 + 96);
  skipped = 3900;
  TMPEGMemorySource src3(file.data(), int64_t(file.size()));
  src3.Skip(417 + 6000 - 100);
  EXPECT_TRUE(w.Next(src3, kMPEGUnknownLength, skipped, f));
  EXPECT_EQ(src3.Position(), 417 + 6000);
  // Never past the end of the data, nor with fewer than 4 bytes left.
  Bytes near = frame;
  Append(near, Bytes(100, 0));
  Append(near, frame);
  EXPECT_EQ(Walk(w, near, 0, 417 + 100).size(), 1u);
  EXPECT_EQ(Walk(w, near, 0, 417 + 101).size(), 2u);
  Bytes tail = frame;
  Append(tail, Bytes{1, 2, 0xFF});
  EXPECT_EQ(Walk(w, tail, 0).size(), 1u);
}

}  // namespace
