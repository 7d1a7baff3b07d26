// ID3v2.2, 2.4 and unsynchronised tags, hand-built: encodings and several values, frame
// sizes written plain, frame flags, footers, damage, the track number and the getters'
// longest-wins rule over them.
#include <gtest/gtest.h>

#include <string>

#include "engine/MP3Info.h"
#include "tests/engine/tag_builder.h"

using namespace sorrel::engine;
using namespace sorrel::engine::test;

namespace {

Bytes Utf16(const std::u16string& s, bool bigEndian, bool mark) {
  Bytes b;
  if (mark) b = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
  for (char16_t c : s) {
    if (bigEndian) b.push_back(uint8_t(c >> 8));
    b.push_back(uint8_t(c));
    if (!bigEndian) b.push_back(uint8_t(c >> 8));
  }
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) Append(b, p);
  return b;
}

Bytes WithAudio(const Bytes& tag, size_t audio = 200) { return Cat({tag, Audio(audio)}); }

// ID3v2.4's footer: the header again, behind "3DI".
Bytes WithFooter(const Bytes& tag) {
  Bytes f = tag;
  Append(f, "3DI");
  f.insert(f.end(), tag.begin() + 3, tag.begin() + 10);
  return f;
}

const Bytes kZeroUnit{0, 0};

}  // namespace

TEST(ID3v24, TextsInEveryEncodingAndSeveralValuesJoined) {
  // Artist: three values, the last without a byte-order mark (it keeps the big-endian
  // order of the one before it).
  const Bytes artist = Cat({{1},
                            Utf16(u"Ab€", false, true),
                            kZeroUnit,
                            Utf16(u"Zé", true, true),
                            kZeroUnit,
                            Utf16(u"Q", true, false)});
  const std::string cp932 = "\x83\x65\x83\x58\x83\x67";  // テスト
  const Bytes frames = Cat({Frame24("TIT2", Text(3, std::string("夜空の歌\0", 13))), Frame24("TPE1", artist),
                            Frame24("TALB", Cat({{2}, Utf16(u"アルバム", true, false)})),
                            Frame24("TCOM", Text(0, cp932 + std::string("\0Bob\0", 5))),
                            Frame24("TDRC", Text(0, "2021-05-03T10:00")), Frame24("TRCK", Text(3, "3/12")),
                            Frame24("TXXX", Text(3, std::string("desc\0value", 10)))});
  const Bytes tag = ID3v2(4, frames, 100);
  Parsed p(WithAudio(tag, 300));
  ASSERT_TRUE(p.info.Found() & mitID3V2);
  EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size()));
  EXPECT_EQ(p.info.AudioLength(), 300);
  EXPECT_EQ(p.info.Title(), "夜空の歌");
  EXPECT_EQ(p.info.Artist(), "Ab€/Zé/Q");
  EXPECT_EQ(p.info.Album(), "アルバム");
  EXPECT_EQ(p.info.ID3V2().Values("TCOM"), "テスト/Bob");
  EXPECT_EQ(p.info.ID3V2().Values("TXXX"), "desc");
  EXPECT_EQ(p.info.Year(), "2021");
  EXPECT_EQ(p.info.Track(), 3);
  EXPECT_EQ(p.info.ID3V2().Count(), 7);
}

TEST(ID3v24, YearFromTYERElseRecordingElseReleaseTime) {
  const struct {
    Bytes frames;
    std::string year;
  } cases[] = {
      {Cat({Frame24("TDRC", Text(0, "2021")), Frame24("TYER", Text(0, "1990"))}), "1990"},
      {Frame24("TDRC", Text(3, "２０２１-01-01")), "２０２１"},  // characters, not bytes
      {Frame24("TDRL", Text(0, "2019-01")), "2019"},
      {Cat({Frame24("TDRL", Text(0, "2019")), Frame24("TDRC", Text(0, "2018-12"))}), "2018"},
  };
  for (const auto& c : cases) {
    Parsed p(WithAudio(ID3v2(4, c.frames)));
    EXPECT_EQ(p.info.Year(), c.year);
  }
}

TEST(ID3v24, FrameSizesWrittenPlainAreFoundOut) {
  // A 300-byte comment (size bytes 00 00 01 2C): read as synchsafe (172) it would end
  // inside its own text.
  const Bytes comm = Cat({Text(0, "eng"), {0}, Bytes(295, 'x')});
  const Bytes title = Frame24("TIT2", Text(0, "Plain"), 0, true);
  // A synchsafe 300-byte comment, whose plain reading (556) runs past the tag.
  const Bytes safe = Cat({Frame24("COMM", comm), Frame24("TIT2", Text(0, "Plain"))});
  // Zeros where the synchsafe reading ends, a frame where the plain one does.
  const Bytes zeros = Cat({Frame24("PRIV", Bytes(300, 0), 0, true), title});
  // A size byte with its top bit set (200) cannot be synchsafe.
  const Bytes topBit = Cat({Frame24("TPE1", Text(0, std::string(199, 'a')), 0, true), title});
  for (const Bytes& frames : {Cat({Frame24("COMM", comm, 0, true), title}), safe, zeros, topBit}) {
    const Bytes tag = ID3v2(4, frames, 50);
    Parsed p(WithAudio(tag));
    EXPECT_EQ(p.info.Title(), "Plain");
    EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size()));
  }
  Parsed p(WithAudio(ID3v2(4, Cat({Frame24("COMM", comm, 0, true), title}))));
  EXPECT_EQ(p.info.ID3V2().Values("COMM"), std::string(295, 'x'));
}

TEST(ID3v24, FramesLargerThanTheRingAreSkippedOnEveryStream) {
  // 400000 bytes synchsafe; 399872 plain (size bytes 00 06 1A 00, synchsafe 101632), whose
  // end a stream that cannot seek cannot look at.
  const Bytes after = Frame24("TIT2", Text(0, "After"));
  for (bool plain : {false, true}) {
    const size_t n = plain ? 399872 : 400000;
    const Bytes tag = ID3v2(4, Cat({Frame24("PRIV", Bytes(n, 'q'), 0, plain), after}), 10);
    for (bool seekable : {true, false}) {
      Parsed p(WithAudio(tag), mitID3V2, seekable);
      EXPECT_EQ(p.info.Title(), "After") << plain << seekable;
      EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size())) << plain << seekable;
      EXPECT_FALSE(p.info.ID3V2().HasName("PRIV"));
    }
  }
}

TEST(ID3v24, FrameFlagsUnsynchronisationExtendedHeaderAndFooter) {
  // "ÿA" in UTF-16 little-endian holds FF FE and FF 00, which unsynchronisation breaks up.
  const Bytes text{1, 0xFF, 0xFE, 0xFF, 0x00, 'A', 0x00};
  Bytes withLength;
  Synchsafe32(withLength, uint32_t(text.size()));
  const Bytes frames =
      Cat({Frame24("TPE1", Cat({withLength, {0x78, 0x9C, 1, 2}}), 0x08 | 0x01),  // compressed
           Frame24("TALB", Cat({{0x80}, Text(0, "secret")}), 0x04),              // encrypted
           Frame24("TIT2", Cat({withLength, Unsynchronise(text)}), 0x02 | 0x01),
           Frame24("TCOM", Cat({{7}, Text(0, "Composer")}), 0x40)});  // group 7
  Bytes extended;
  Synchsafe32(extended, 6);
  Append(extended, Bytes{1, 0});
  const Bytes tag = WithFooter(ID3v2(4, Cat({extended, frames}), 0, 0x40 | 0x10));
  Parsed p(WithAudio(tag, 100));
  ASSERT_TRUE(p.info.Found() & mitID3V2);
  EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size()));  // after the footer
  EXPECT_EQ(p.info.AudioLength(), 100);
  EXPECT_EQ(p.info.Title(), "ÿA");
  EXPECT_EQ(p.info.ID3V2().Values("TCOM"), "Composer");
  EXPECT_FALSE(p.info.ID3V2().HasName("TPE1"));
  EXPECT_FALSE(p.info.ID3V2().HasName("TALB"));
  EXPECT_EQ(p.info.ID3V2().Count(), 2);

  // The tag's flag unsynchronises every frame, flagged or not.
  const Bytes all =
      ID3v2(4, Cat({Frame24("TIT2", Unsynchronise(text)), Frame24("TPE1", Text(0, "B"))}), 0, 0x80);
  Parsed q(WithAudio(all));
  EXPECT_EQ(q.info.Title(), "ÿA");
  EXPECT_EQ(q.info.Artist(), "B");
  EXPECT_EQ(q.info.AudioStart(), int64_t(all.size()));
}

TEST(ID3v22, FramesAreListedUnderTheirID3v23Names) {
  const Bytes frames = Cat(
      {Frame22("TT2", Text(0, "Title22")), Frame22("TP1", Cat({{1}, Utf16(u"A€", false, true)})),
       Frame22("TAL", Text(0, "Album22")), Frame22("TYE", Text(0, "1998")), Frame22("TRK", Text(0, "7/9")),
       Frame22("COM", Text(0, std::string("engd\0comment", 12))), Frame22("XYZ", Text(0, "odd"))});
  const Bytes tag = ID3v2(2, frames, 30);
  Parsed p(WithAudio(tag));
  ASSERT_TRUE(p.info.Found() & mitID3V2);
  EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size()));
  EXPECT_EQ(p.info.ID3V2()[0], "TIT2=Title22");
  EXPECT_EQ(p.info.Title(), "Title22");
  EXPECT_EQ(p.info.Artist(), "A€");
  EXPECT_EQ(p.info.Album(), "Album22");
  EXPECT_EQ(p.info.Year(), "1998");
  EXPECT_EQ(p.info.Track(), 7);
  EXPECT_EQ(p.info.ID3V2().Values("COMM"), "comment");
  EXPECT_EQ(p.info.ID3V2().Values("XYZ"), "odd");  // unknown: its own three letters
  EXPECT_EQ(p.info.ID3V2().Count(), 7);

  // Unsynchronised as a whole.
  const Bytes ff = Cat({Frame22("TT2", Cat({{1}, Utf16(u"ÿ", false, true)})), Frame22("TP1", Text(0, "B"))});
  const Bytes u = ID3v2(2, Unsynchronise(ff), 0, 0x80);
  Parsed q(WithAudio(u));
  EXPECT_EQ(q.info.Title(), "ÿ");
  EXPECT_EQ(q.info.Artist(), "B");
  EXPECT_EQ(q.info.AudioStart(), int64_t(u.size()));

  // Compressed (a scheme never defined): skipped whole.
  const Bytes c = ID3v2(2, frames, 0, 0x40);
  Parsed r(WithAudio(c));
  EXPECT_TRUE(r.info.Found() & mitID3V2);
  EXPECT_EQ(r.info.ID3V2().Count(), 0);
  EXPECT_EQ(r.info.AudioStart(), int64_t(c.size()));
}

TEST(ID3v23, UnsynchronisedTagsAndFrameFlags) {
  // The private frame ends in FF: the zero put after it lies before the next header.
  const Bytes frames =
      Cat({Frame("PRIV", {'o', 'w', 'n', 0, 0xFF}), Frame("TIT2", {1, 0xFF, 0xFE, 0xFF, 0x00, 'A', 0x00}),
           TextFrame("TPE1", "Band")});
  const Bytes tag = ID3v2(3, Unsynchronise(frames), 0, 0x80);
  ASSERT_GT(tag.size(), frames.size() + 10);  // something was unsynchronised
  Parsed p(WithAudio(tag));
  EXPECT_EQ(p.info.Title(), "ÿA");
  EXPECT_EQ(p.info.Artist(), "Band");
  EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size()));

  const Bytes flagged = Cat({Frame("TPE1", {0, 0, 0, 9, 0x78, 0x9C, 1}, 0x80),  // compressed
                             Frame("TALB", {0x80, 0, 'x'}, 0x40),               // encrypted
                             Frame("TCOM", {5, 0, 'C', 'o', 'm', 'p'}, 0x20),   // group 5
                             TextFrame("TIT2", "Last")});
  Parsed q(WithAudio(ID3v2(3, flagged)));
  EXPECT_EQ(q.info.ID3V2().Values("TCOM"), "Comp");
  EXPECT_EQ(q.info.Title(), "Last");
  EXPECT_FALSE(q.info.ID3V2().HasName("TPE1"));
  EXPECT_FALSE(q.info.ID3V2().HasName("TALB"));
}

TEST(ID3v2, DamageEndsTheFrameWalkNotTheTag) {
  Bytes huge = Frame22("TP1", Text(0, "x"));
  huge[3] = huge[4] = huge[5] = 0xFF;
  Bytes bigExtended, shortExtended;
  Synchsafe32(bigExtended, 0x0FFFFFFF);
  Synchsafe32(shortExtended, 3);
  const Bytes good4 = Frame24("TIT2", Text(0, "Good"));
  const struct {
    Bytes tag;
    int frames;
  } cases[] = {
      {ID3v2(2, Cat({Frame22("TT2", Text(0, "Good")), huge}), 40), 1},
      {ID3v2(4, Cat({good4, Frame24("tit2", Text(0, "bad")), Frame24("TALB", Text(0, "lost"))})), 1},
      {ID3v2(4, Cat({bigExtended, good4}), 0, 0x40), 0},
      {ID3v2(4, Cat({shortExtended, good4}), 0, 0x40), 0},
      // Neither reading of the size fits: 172 ends inside the text, 300 past the tag.
      {ID3v2(4, Cat({good4, Bytes{'T', 'P', 'E', '1', 0, 0, 1, 0x2C, 0, 0}, Bytes(250, 'a')})), 1},
      // A header cut by the tag's end.
      {ID3v2(4, Cat({good4, Bytes{'T', 'A', 'L', 'B', 0, 0}})), 1},
  };
  for (const auto& c : cases) {
    Parsed p(WithAudio(c.tag));
    EXPECT_TRUE(p.info.Found() & mitID3V2) << (&c - cases);
    EXPECT_EQ(p.info.AudioStart(), int64_t(c.tag.size())) << (&c - cases);
    EXPECT_GE(p.info.ID3V2().Count(), c.frames) << (&c - cases);
    if (c.frames == 1) {
      EXPECT_EQ(p.info.Title(), "Good") << (&c - cases);
    }
    EXPECT_FALSE(p.info.ID3V2().HasName("TALB")) << (&c - cases);
  }
}

TEST(MP3Info, TrackNumberFromID3v2ElseID3v11) {
  const struct {
    const char* trck;  // nullptr: no frame
    int v1;            // -1: ID3v1.0, no track
    TMP3InfoType need;
    int track;
  } cases[] = {
      {"3/12", 5, mitID3V1 | mitID3V2, 3},
      {" 07", -1, mitID3V2, 7},
      {nullptr, 5, mitID3V1 | mitID3V2, 5},
      {"x/12", 5, mitID3V1 | mitID3V2, 5},
      {"1234567", 5, mitID3V1 | mitID3V2, 5},
      {"3/12", 5, mitID3V1, 5},
      {"3/12", 5, mitRiff, 0},
      {nullptr, 0, mitID3V1 | mitID3V2, 0},
      {nullptr, -1, mitID3V1 | mitID3V2, 0},
  };
  for (const auto& c : cases) {
    Bytes f = ID3v2(4, c.trck ? Frame24("TRCK", Text(0, c.trck)) : Frame24("TIT2", Text(0, "T")));
    Append(f, Audio(100));
    Append(f, ID3v1("T", "", 0, c.v1));
    Parsed p(f, c.need);
    EXPECT_EQ(p.info.Track(), c.track) << (c.trck ? c.trck : "-") << " " << c.v1;
  }
}

TEST(MP3Info, LongestWinsOverID3v24AndID3v1ByCharacters) {
  const auto file = [](const std::string& v2Title, const std::string& v1Title) {
    Bytes f = ID3v2(4, Cat({Frame24("TIT2", Text(3, v2Title)), Frame24("TPE1", Text(3, "Duo")),
                            Frame24("TDRC", Text(3, "2021-05-03"))}));
    Append(f, Audio(100));
    Append(f, ID3v1(v1Title, "\x83\x65\x83\x58\x83\x67", 0));  // テスト in CP932
    return f;
  };
  Parsed a(file("夜空の歌", "Night"));  // 4 characters in 12 bytes against 5
  EXPECT_EQ(a.info.Title(), "Night");
  Parsed b(file("夜空の歌を聴く", "Night"));
  EXPECT_EQ(b.info.Title(), "夜空の歌を聴く");
  // Ties go to ID3v1: three characters each, and four-digit years.
  EXPECT_EQ(b.info.Artist(), "テスト");
  EXPECT_EQ(b.info.Year(), "1999");
  Parsed c(file("夜空の歌を聴く", "Night"), mitID3V2);
  EXPECT_EQ(c.info.Artist(), "Duo");
  EXPECT_EQ(c.info.Year(), "2021");
}
