// The tag reader on hand-built files: wrappers, ID3v2 versions, ID3v1/1.1, Lyrics3,
// RIFF INFO, the getters' source order and text decoding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/TextCodec.h"
#include "engine/MP3Info.h"
#include "tests/engine/tag_builder.h"

using namespace sorrel::engine;
using namespace sorrel::engine::test;

TEST(MP3Info, ID3v1GenresTrackAndComment) {
  Bytes f = Audio(1000);
  Append(f, ID3v1("Song", "Band", 255, 7, "a comment that is long enough to be cut"));
  Parsed p(f);
  ASSERT_TRUE(p.info.Found() & mitID3V1);
  EXPECT_EQ(p.info.ID3V1().Values("GENRE"), "Anime(J)");
  EXPECT_EQ(p.info.ID3V1().Values("GENREIDX"), "255");
  EXPECT_EQ(p.info.ID3V1().Values("TRACK"), "7");
  EXPECT_EQ(p.info.ID3V1().Values("COMMENT"), "a comment that is long enoug");  // 28 bytes
  EXPECT_EQ(p.info.ID3V1Offset(), 1000);
  EXPECT_EQ(p.info.Title(), "Song");
  EXPECT_EQ(p.info.Artist(), "Band");
  EXPECT_EQ(p.info.Album(), "Album");
  EXPECT_EQ(p.info.Year(), "1999");
  // The tag stays inside the audio length (it is skipped as non-audio when played).
  EXPECT_EQ(p.info.AudioLength(), 1128);

  Bytes g = Audio(500);
  Append(g, ID3v1("Other", "", 150, -1, "a comment filling all 30 bytes"));
  Parsed q(g);
  EXPECT_TRUE(q.info.ID3V1().HasName("GENRE"));
  EXPECT_EQ(q.info.ID3V1().Values("GENRE"), "");
  EXPECT_FALSE(q.info.ID3V1().HasName("TRACK"));  // byte 125 not zero: version 1.0
  EXPECT_EQ(q.info.ID3V1()[0], "TITLE=Other");
  EXPECT_EQ(q.info.ID3V1().Count(), 7);
  EXPECT_STREQ(kMPGenres[147], "Synthpop");
  EXPECT_STREQ(kMPGenres[248], "Heavy Rock(J)");
}

TEST(MP3Info, FixedFieldsEndAtNulAndLoseTrailingSpaceAndControls) {
  Bytes f = Audio(10);
  Bytes t = ID3v1("", "", 0);
  std::memcpy(t.data() + 3, "Ti tle  \t\x01", 11);
  std::memcpy(t.data() + 33, "A\0junk", 6);
  Append(f, t);
  Parsed p(f);
  EXPECT_EQ(p.info.ID3V1().Values("title"), "Ti tle");  // names ignore case
  EXPECT_EQ(p.info.Artist(), "A");
}

TEST(MP3Info, TheLongerTitleWinsAndTiesGoToID3v1) {
  Bytes longer = ID3v2(3, TextFrame("TIT2", "A longer title"));
  Append(longer, Audio(100));
  Append(longer, ID3v1("Short", "", 0));
  Parsed a(longer);
  EXPECT_EQ(a.info.Title(), "A longer title");

  Bytes tie = ID3v2(3, TextFrame("TIT2", "Tag2!"));
  Append(tie, Audio(100));
  Append(tie, ID3v1("Tag1!", "", 0));
  Parsed b(tie);
  EXPECT_EQ(b.info.Title(), "Tag1!");

  // Only RIFF allowed: neither ID3 title counts.
  Parsed c(tie, mitRiff);
  EXPECT_EQ(c.info.Title(), "");
  Parsed d(tie, mitID3V2);
  EXPECT_EQ(d.info.Title(), "Tag2!");
}

TEST(MP3Info, ID3v23FramesAndTheAudioStart) {
  Bytes frames = TextFrame("TIT2", "Title");
  Append(frames, TextFrame("TPE1", "Artist"));
  Bytes comm{0};
  Append(comm, "eng");
  Append(comm, std::string("desc\0the comment  ", 18));
  Append(frames, Frame("COMM", comm));
  Bytes wxxx{0};
  Append(wxxx, std::string("\0http://example.org/", 20));
  Append(frames, Frame("WXXX", wxxx));
  Bytes tag = ID3v2(3, frames, 64);
  Bytes f = tag;
  Append(f, Audio(300));
  Parsed p(f);
  ASSERT_TRUE(p.info.Found() & mitID3V2);
  EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size()));
  EXPECT_EQ(p.info.AudioLength(), 300);
  EXPECT_EQ(p.info.ID3V2().Count(), 4);
  EXPECT_EQ(p.info.ID3V2()[0], "TIT2=Title");
  EXPECT_EQ(p.info.ID3V2().Values("TPE1"), "Artist");
  EXPECT_EQ(p.info.ID3V2().Values("COMM"), "the comment");
  EXPECT_EQ(p.info.ID3V2().Values("WXXX"), "http://example.org/");
}

TEST(MP3Info, ExtendedHeaderIsSkipped) {
  Bytes ext;
  BE32(ext, 6);
  ext.insert(ext.end(), 6, 0);
  Append(ext, TextFrame("TALB", "Album X"));
  Bytes tag = ID3v2(3, ext, 0, 0x40);
  Bytes f = tag;
  Append(f, Audio(10));
  Parsed p(f);
  EXPECT_EQ(p.info.ID3V2().Values("TALB"), "Album X");
  EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size()));
}

TEST(MP3Info, UnknownID3v2VersionsAreSkippedWithoutFrames) {
  for (uint8_t v : {uint8_t(0), uint8_t(1), uint8_t(5), uint8_t(0xFF)}) {
    Bytes tag = ID3v2(v, TextFrame("TIT2", "Hidden"), 20);
    Bytes f = tag;
    Append(f, Audio(50));
    Parsed p(f);
    EXPECT_TRUE(p.info.Found() & mitID3V2) << int(v);
    EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size())) << int(v);
    EXPECT_EQ(p.info.ID3V2().Count(), 0) << int(v);
  }
}

TEST(MP3Info, ADamagedFrameEndsTheFrameWalkButNotTheTag) {
  // A frame size beyond the tag, after one good frame, in a tag longer than the 4 KiB
  // the first-frame search looks at: the audio still starts after the declared size.
  Bytes frames = TextFrame("TIT2", "Title");
  Bytes bad;
  Append(bad, "TPE1");
  BE32(bad, 100000);
  bad.insert(bad.end(), 2, 0);
  Append(frames, bad);
  Append(frames, TextFrame("TALB", "Never read"));
  Bytes tag = ID3v2(3, frames, 6000);
  Bytes f = tag;
  Append(f, Audio(2000));
  Parsed p(f);
  EXPECT_TRUE(p.info.Found() & mitID3V2);
  EXPECT_EQ(p.info.AudioStart(), int64_t(tag.size()));
  EXPECT_EQ(p.info.AudioLength(), 2000);
  EXPECT_EQ(p.info.ID3V2().Values("TIT2"), "Title");
  EXPECT_EQ(p.info.ID3V2().Count(), 1);
  // Junk after the last frame and a damaged extended header likewise.
  Bytes junk = TextFrame("TIT2", "T");
  Append(junk, Bytes{'x', 1, 2});
  Bytes ext;
  BE32(ext, 0x7FFFFFF0);
  Append(ext, TextFrame("TIT2", "T"));
  for (const Bytes& t : {ID3v2(3, junk), ID3v2(3, ext, 0, 0x40)}) {
    Bytes g = t;
    Append(g, Audio(100));
    Parsed q(g);
    EXPECT_TRUE(q.info.Found() & mitID3V2);
    EXPECT_EQ(q.info.AudioStart(), int64_t(t.size()));
  }
  // A tag that claims more than the file holds is no tag.
  Bytes cut(tag.begin(), tag.begin() + 5000);
  Parsed c(cut);
  EXPECT_FALSE(c.info.Found() & mitID3V2);
  EXPECT_EQ(c.info.AudioStart(), 0);
  EXPECT_EQ(c.info.ID3V2().Count(), 0);
}

TEST(MP3Info, UTF16TextsHonourTheByteOrderMarkAndLoseItAndTheTerminator) {
  // "Ab€" little-endian with BOM and terminator; "Zé" big-endian.
  Bytes le{1, 0xFF, 0xFE, 'A', 0, 'b', 0, 0xAC, 0x20, 0, 0};
  Bytes be{1, 0xFE, 0xFF, 0, 'Z', 0, 0xE9};
  Bytes frames = Frame("TIT2", le);
  Append(frames, Frame("TPE1", be));
  Bytes f = ID3v2(3, frames);
  Append(f, Audio(10));
  Parsed p(f);
  EXPECT_EQ(p.info.ID3V2().Values("TIT2"), "Ab\xE2\x82\xAC");
  EXPECT_EQ(p.info.ID3V2().Values("TPE1"), "Z\xC3\xA9");
}

TEST(MP3Info, ByteTextsAreUTF8WhenValidElseCP932) {
  const uint8_t sjis[] = {0x83, 0x65, 0x83, 0x58, 0x83, 0x67};  // テスト
  // The artist: テ, a byte CP932 has no character for, ス; only that byte is lost.  The
  // comment: UTF-8 behind a byte-order mark, which goes as in every other text.
  Bytes f = Audio(10);
  Bytes t = ID3v1("", "\x83\x65\x80\x83\x58", 0, -1, "\xEF\xBB\xBFok");
  std::memcpy(t.data() + 3, sjis, 6);
  Append(f, t);
  Parsed p(f);
  EXPECT_EQ(p.info.Title(), "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
  EXPECT_EQ(sorrel::base::Utf8Length(p.info.Title()), 3u);
  EXPECT_EQ(p.info.Artist(), "\xE3\x83\x86\xEF\xBF\xBD\xE3\x82\xB9");
  EXPECT_EQ(p.info.ID3V1().Values("COMMENT"), "ok");
}

TEST(MP3Info, RiffWaveWithDataChunkAndInfoList) {
  Bytes audio = Audio(401);  // odd: the chunk is padded
  Bytes info;
  Append(info, "INFO");
  Append(info, "INAM");
  LE32(info, 9);
  Append(info, std::string("RiffSong\0\0", 10));
  Append(info, "IART");
  LE32(info, 4);
  Append(info, "Duo ");
  Bytes f;
  Append(f, "RIFF");
  LE32(f, 0);
  Append(f, "WAVE");
  Append(f, "fmt ");
  LE32(f, 16);
  f.insert(f.end(), 16, 1);
  Append(f, "data");
  LE32(f, uint32_t(audio.size()));
  size_t dataAt = f.size();
  Append(f, audio);
  f.push_back(0);
  Append(f, "LIST");
  LE32(f, uint32_t(info.size()));
  Append(f, info);
  Parsed p(f);
  ASSERT_TRUE(p.info.Found() & mitRiff);
  EXPECT_EQ(p.info.AudioStart(), int64_t(dataAt));
  EXPECT_EQ(p.info.AudioLength(), 401);
  EXPECT_EQ(p.info.RiffDataLength(), 401);
  EXPECT_EQ(p.info.RiffInfo().Values("INAM"), "RiffSong");
  EXPECT_EQ(p.info.Artist(), "Duo");
  Parsed only(f, mitRiff);
  EXPECT_EQ(only.info.Title(), "RiffSong");
}

TEST(MP3Info, ARiffDataSizeBeyondTheFileRunsToItsEnd) {
  // 0xFFFFFFFF or 0 as streaming writers leave it, and a size merely too large; seekable
  // or not.
  for (uint32_t size : {0xFFFFFFFFu, 0x80000000u, 5000u, 0u}) {
    Bytes f;
    Append(f, "RIFF");
    LE32(f, 0xFFFFFFFFu);
    Append(f, "WAVE");
    Append(f, "data");
    LE32(f, size);
    Append(f, Audio(700));
    Parsed p(f);
    ASSERT_TRUE(p.info.Found() & mitRiff) << size;
    EXPECT_EQ(p.info.AudioStart(), 20);
    EXPECT_EQ(p.info.AudioLength(), 700) << size;
    TMPMemoryStream stream(f.data(), int64_t(f.size()));
    TMPStreamReader reader(327680);
    reader.Open(&stream, false);
    TMP3Info info;
    info.SetReader(&reader);
    info.AnalyzeHead();
    ASSERT_TRUE(info.Found() & mitRiff) << size;
    EXPECT_EQ(info.AudioLength(), size == 0 || size > uint32_t(kMPMaxInt) ? kMPMaxInt : int64_t(size))
        << size;
  }
}

TEST(MP3Info, MacBinaryDataForkHoldsTheAudioAndItsID3v1) {
  Bytes fork = Audio(600);
  Append(fork, ID3v1("MacSong", "", 1));
  Bytes f(128, 0);
  f[1] = 5;
  std::memcpy(f.data() + 2, "hello", 5);
  uint32_t n = uint32_t(fork.size());
  f[83] = uint8_t(n >> 24), f[84] = uint8_t(n >> 16), f[85] = uint8_t(n >> 8), f[86] = uint8_t(n);
  f[90] = 200;  // resource fork after the data fork
  Append(f, fork);
  f.insert(f.end(), 200 + 56, 0x77);
  Parsed p(f);
  ASSERT_TRUE(p.info.Found() & mitMacBin);
  EXPECT_EQ(p.info.AudioStart(), 128);
  EXPECT_EQ(p.info.AudioLength(), int64_t(fork.size()));
  EXPECT_EQ(p.info.Title(), "MacSong");
  EXPECT_EQ(p.info.ID3V1Offset(), 128 + 600);
  // Name length 0 is no MacBinary header.
  f[1] = 0;
  Parsed q(f);
  EXPECT_FALSE(q.info.Found() & mitMacBin);
}

TEST(MP3Info, Lyrics3Version1WithinAndBeyond5100Bytes) {
  Bytes f = Audio(100);
  Append(f, "LYRICSBEGIN");
  Append(f, "[00:01]la la");
  Append(f, "LYRICSEND");
  Append(f, ID3v1("T", "", 0));
  Parsed p(f);
  ASSERT_TRUE(p.info.Found() & mitLyrics);
  EXPECT_EQ(p.info.Lyrics3().Values("LYRICS"), "[00:01]la la");
  EXPECT_EQ(p.info.LyricsOffset(), 100);

  Bytes g = Audio(100);
  Append(g, "LYRICSBEGIN");
  g.insert(g.end(), 5100, 'x');
  Append(g, "LYRICSEND");
  Parsed q(g);
  EXPECT_FALSE(q.info.Found() & mitLyrics);
  EXPECT_EQ(q.info.Lyrics3().Count(), 0);
}

TEST(MP3Info, Lyrics3Version200Fields) {
  auto block = [](const std::string& fields) {
    std::string b = "LYRICSBEGIN" + fields;
    char size[8];
    std::snprintf(size, sizeof size, "%06zu", b.size());
    return b + size + "LYRICS200";
  };
  Bytes f = Audio(50);
  Append(f, block("IND00003110LYR00010[00:01]abcAUT00003Tom"));
  Parsed p(f);
  ASSERT_TRUE(p.info.Found() & mitLyrics);
  EXPECT_EQ(p.info.Lyrics3().Count(), 3);
  EXPECT_EQ(p.info.Lyrics3().Values("LYR"), "[00:01]abc");
  EXPECT_EQ(p.info.Lyrics3().Values("AUT"), "Tom");
  EXPECT_EQ(p.info.LyricsOffset(), 50);
  // A field running past the block is refused.
  Bytes g = Audio(50);
  Append(g, block("LYR00099abc"));
  Parsed q(g);
  EXPECT_FALSE(q.info.Found() & mitLyrics);
  EXPECT_EQ(q.info.Lyrics3().Count(), 0);
}

TEST(MP3Info, EmptyAndTinyFilesAreQuiet) {
  for (size_t n : {size_t(0), size_t(1), size_t(3), size_t(9), size_t(127)}) {
    Bytes f(n, 'T');
    Parsed p(f);
    EXPECT_EQ(p.info.Found(), 0u) << n;
    EXPECT_EQ(p.info.Title(), "") << n;
  }
}
