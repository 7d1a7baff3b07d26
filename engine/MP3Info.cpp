#include "engine/MP3Info.h"

#include <strings.h>
#include <cstring>

#include "base/TextCodec.h"

namespace sorrel::engine {

const char* const kMPGenres[256] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop",
    "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game",
    "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative",
    "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial",
    "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40",
    "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave",
    "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical",
    "Rock & Roll", "Hard Rock", "Folk", "Folk/Rock", "National Folk", "Swing", "Fast Fusion", "Bebob",
    "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock",
    "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic",
    "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad",
    "Rhysmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "Acapella", "Euro-House", "Dance-Hall",
    "Goa", "Drum & Bass", "Hardcore", "Club-House", "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk",
    "Beat", "Christian Gangsta Rap", "Heavy Metal", "Blank Metal", "Crossover", "Contemporrary Christian",
    "Christian Rock", "Merengue", "Salsa", "Trash Metal", "Anime", "JPop", "Synthpop",
    // 148..247: no name
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "Heavy Rock(J)",
    "Doom Rock(J)", "J-POP(J)", "Seiyu(J)", "Tecno Ambient(J)", "Moemoe(J)", "Tokusatsu(J)", "Anime(J)"};

namespace {

uint32_t BE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
int32_t LE32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
}

// A fixed-width field: its bytes up to the first NUL, without trailing spaces and
// control characters.
std::string Field(const uint8_t* p, size_t n) {
  size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  while (len > 0 && p[len - 1] <= 0x20) --len;
  return base::DecodeText({reinterpret_cast<const char*>(p), len});
}

std::string RightTrim(std::string s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.pop_back();
  return s;
}

}  // namespace

bool TMPStringList::HasName(const std::string& name) const {
  for (const auto& l : lines_) {
    size_t eq = l.find('=');
    if (eq == name.size() && strncasecmp(l.c_str(), name.c_str(), eq) == 0) return true;
  }
  return false;
}

std::string TMPStringList::Values(const std::string& name) const {
  for (const auto& l : lines_) {
    size_t eq = l.find('=');
    if (eq == name.size() && strncasecmp(l.c_str(), name.c_str(), eq) == 0) return l.substr(eq + 1);
  }
  return {};
}

TMP3Info::TMP3Info() { Clear(); }

void TMP3Info::Clear() {
  found_ = 0;
  FileName.clear();
  audioStart_ = 0;
  audioLength_ = kMPMaxInt;
  riffStart_ = 0;
  riffLength_ = kMPMaxInt;
  macStart_ = macLength_ = macEnd_ = macResLength_ = 0;
  id3v1Offset_ = lyricsOffset_ = 0;
  riff_.Clear();
  id3v1_.Clear();
  id3v2_.Clear();
  lyrics_.Clear();
}

void TMP3Info::SetReader(TMPStreamReader* reader) {
  Clear();
  reader_ = reader;
}

bool TMP3Info::SeekTo(int64_t offset) {
  if (!reader_->Seekable() || offset < 0) return false;
  return reader_->Seek(offset, 0) == offset;
}

bool TMP3Info::MacBinary() {
  if (!reader_->Need(128)) return false;
  const uint8_t* p = reader_->Peek();
  if (p[0] != 0 || p[74] != 0 || p[82] != 0 || p[1] < 1 || p[1] > 31) return false;
  int32_t data = int32_t(BE32(p + 83)), res = int32_t(BE32(p + 87));
  if (data < 0 || res < 0) return false;
  if (!reader_->Skip(128)) return false;
  macStart_ = reader_->Position();
  macLength_ = data;
  macEnd_ = macStart_ + data;
  macResLength_ = res;
  audioStart_ = macStart_;
  audioLength_ = macLength_;
  found_ |= mitMacBin;
  return true;
}

bool TMP3Info::Riff() {
  if (!reader_->Need(12) || std::memcmp(reader_->Peek(), "RIFF", 4) != 0) return false;
  int64_t back = reader_->Position();
  auto fail = [&] {
    SeekTo(back);
    return false;
  };
  if (!reader_->Skip(12)) return fail();
  for (;;) {
    if (!reader_->Need(8)) return fail();
    const uint8_t* p = reader_->Peek();
    const int64_t size = uint32_t(LE32(p + 4));
    if (size < 1) return fail();
    if (std::memcmp(p, "data", 4) == 0) {
      if (!reader_->Skip(8)) return fail();
      riffStart_ = reader_->Position();
      // A size beyond the file (0xFFFFFFFF from a writer that could not go back and
      // fill it in) means the data runs to the end of the file.
      int64_t length = size;
      if (!reader_->Seekable())
        length = size > kMPMaxInt ? kMPMaxInt : size;
      else if (riffStart_ + size > reader_->Size())
        length = reader_->Size() - riffStart_;
      riffLength_ = length;
      audioStart_ = riffStart_;
      audioLength_ = length;
      found_ |= mitRiff;
      return true;
    }
    if (!reader_->Skip((size + 8 + 1) / 2 * 2)) return fail();
  }
}

bool TMP3Info::ID3v2() {
  if (!reader_->Need(10)) return false;
  const uint8_t* p = reader_->Peek();
  if (std::memcmp(p, "ID3", 3) != 0) return false;
  int64_t size = (int64_t(p[6] & 0x7F) << 21) | (int64_t(p[7] & 0x7F) << 14) | (int64_t(p[8] & 0x7F) << 7) |
                 (p[9] & 0x7F);
  if (size < 1) return false;
  int64_t tagStart = reader_->Position();
  int64_t tagEnd = tagStart + 10 + size;
  uint8_t version = p[3], flags = p[5];
  TMPStringList frames;
  auto fail = [&] {
    SeekTo(tagStart);
    return false;
  };
  if (version == 3 && !(flags & 0x80)) {
    // Frames are read until one is damaged; the tag still ends where its header says.
    bool walk;
    if (flags & 0x40) {
      walk = reader_->Need(14);
      const int64_t e = walk ? int32_t(BE32(reader_->Peek() + 10)) : -1;
      walk = e >= 0 && 4 + e <= size && reader_->Skip(10 + 4 + e);
    } else {
      walk = reader_->Skip(10);
    }
    while (walk && tagEnd - reader_->Position() >= 10) {
      if (!reader_->Need(10)) break;
      const uint8_t* f = reader_->Peek();
      char id[5] = {char(f[0]), char(f[1]), char(f[2]), char(f[3]), 0};
      int64_t s = int32_t(BE32(f + 4));
      if (s < 1) break;                                  // padding: the rest of the tag
      if (reader_->Position() + 10 + s > tagEnd) break;  // a damaged frame size
      if (s + 10 <= reader_->RingSize()) {
        if (!reader_->Need(s + 10)) break;
        f = reader_->Peek();
        uint8_t enc = f[10];
        const uint8_t* body = f + 11;
        size_t n = size_t(s - 1);
        std::string text;
        if (id[0] == 'T' && enc == 1) {
          text = base::Utf16ToUtf8(body, size_t((s - 1) / 2) * 2);
        } else if (std::strcmp(id, "COMM") == 0 || std::strcmp(id, "WXXX") == 0) {
          size_t last = n;
          for (size_t i = 0; i < n; ++i) {
            if (body[i] == 0) last = i;
          }
          if (last < n)
            text =
                RightTrim(base::DecodeText({reinterpret_cast<const char*>(body) + last + 1, n - last - 1}));
          else
            text = RightTrim(base::DecodeText({reinterpret_cast<const char*>(body), n}));
        } else {
          text = Field(body, n);
        }
        frames.Add(std::string(id) + "=" + text);
      }
      if (!reader_->Skip(s + 10)) break;
    }
  }
  // The tag's declared end; a file that ends before it has no tag.
  const int64_t rest = tagEnd - reader_->Position();
  if (rest < 0 || !reader_->Skip(rest)) return fail();
  for (int i = 0; i < frames.Count(); ++i) id3v2_.Add(frames[i]);
  audioStart_ = reader_->Position();
  if (audioLength_ != kMPMaxInt) audioLength_ -= size + 10;
  found_ |= mitID3V2;
  return true;
}

bool TMP3Info::AnalyzeHead() {
  if (!reader_) return false;
  audioStart_ = reader_->Position();
  MacBinary();
  Riff();
  ID3v2();
  return reader_->Need(1);
}

void TMP3Info::RiffInfoTail() {
  int64_t at = (riffStart_ + riffLength_ + 1) / 2 * 2;
  if (!SeekTo(at)) return;
  for (;;) {
    if (!reader_->Need(8)) return;
    const uint8_t* p = reader_->Peek();
    int32_t size = LE32(p + 4);
    if (size < 1) return;
    if (std::memcmp(p, "LIST", 4) == 0 && reader_->Need(12) &&
        std::memcmp(reader_->Peek() + 8, "INFO", 4) == 0) {
      break;
    }
    if (!reader_->Skip((int64_t(size) + 8 + 1) / 2 * 2)) return;
  }
  int64_t listEnd = reader_->Position() + int64_t(LE32(reader_->Peek() + 4)) + 8;
  if (!reader_->Skip(12)) return;
  while (reader_->Position() < listEnd) {
    if (!reader_->Need(8)) return;
    const uint8_t* p = reader_->Peek();
    std::string id = Field(p, 4);
    int32_t size = LE32(p + 4);
    if (size < 0) return;
    if (!reader_->Skip(8)) return;
    if (id == "IID3") return;
    if (size <= reader_->RingSize()) {
      if (!reader_->Need(size)) return;
      std::string text = Field(reader_->Peek(), size_t(size));
      if (!id.empty() && !text.empty()) riff_.Add(id + "=" + text);
    }
    if (!reader_->Skip((int64_t(size) + 1) / 2 * 2)) return;
  }
}

void TMP3Info::ID3v1Tail() {
  int64_t end = (found_ & mitMacBin) ? macEnd_ : reader_->Size();
  if (end < 128 || !SeekTo(end - 128) || !reader_->Need(128)) return;
  const uint8_t* p = reader_->Peek();
  if (std::memcmp(p, "TAG", 3) != 0) return;
  id3v1_.Add("TITLE=" + Field(p + 3, 30));
  id3v1_.Add("ARTIST=" + Field(p + 33, 30));
  id3v1_.Add("ALBUM=" + Field(p + 63, 30));
  id3v1_.Add("YEAR=" + Field(p + 93, 4));
  id3v1_.Add("COMMENT=" + Field(p + 97, 30));
  id3v1_.Add(std::string("GENRE=") + kMPGenres[p[127]]);
  id3v1_.Add("GENREIDX=" + std::to_string(p[127]));
  if (p[125] == 0) id3v1_.Add("TRACK=" + std::to_string(p[126]));
  id3v1Offset_ = end - 128;
  found_ |= mitID3V1;
}

void TMP3Info::Lyrics3Tail() {
  int64_t e = (found_ & mitID3V1) ? id3v1Offset_ : (found_ & mitMacBin) ? macEnd_ : reader_->Size();
  e -= 9;
  if (e < 0 || !SeekTo(e) || !reader_->Need(9)) return;
  const uint8_t* p = reader_->Peek();
  if (std::memcmp(p, "LYRICSEND", 9) == 0) {
    int64_t from = e > 5100 ? e - 5100 : 0;
    if (!SeekTo(from) || !reader_->Need(e - from)) return;
    const uint8_t* b = reader_->Peek();
    size_t n = size_t(e - from);
    static const char kBegin[] = "LYRICSBEGIN";
    for (size_t i = 0; i + 11 <= n; ++i) {
      if (std::memcmp(b + i, kBegin, 11) == 0) {
        lyrics_.Add("LYRICS=" + base::DecodeText({reinterpret_cast<const char*>(b) + i + 11, n - i - 11}));
        lyricsOffset_ = from + int64_t(i);
        found_ |= mitLyrics;
        return;
      }
    }
    return;
  }
  if (std::memcmp(p, "LYRICS200", 9) != 0) return;
  if (e < 6 || !SeekTo(e - 6) || !reader_->Need(6)) return;
  int64_t n = 0;
  for (int i = 0; i < 6; ++i) {
    uint8_t c = reader_->Peek()[i];
    if (c < '0' || c > '9') return;
    n = n * 10 + (c - '0');
  }
  int64_t fieldsEnd = e - 6;
  int64_t start = fieldsEnd - n;
  if (n <= 0 || start < 0 || !SeekTo(start) || !reader_->Need(11) ||
      std::memcmp(reader_->Peek(), "LYRICSBEGIN", 11) != 0 || !reader_->Skip(11)) {
    return;
  }
  TMPStringList fields;
  while (reader_->Position() < fieldsEnd) {
    if (reader_->Position() + 8 > fieldsEnd || !reader_->Need(8)) return;
    const uint8_t* f = reader_->Peek();
    std::string id(reinterpret_cast<const char*>(f), 3);
    int64_t m = 0;
    for (int i = 3; i < 8; ++i) {
      if (f[i] < '0' || f[i] > '9') return;
      m = m * 10 + (f[i] - '0');
    }
    if (m <= 0 || reader_->Position() + 8 + m > fieldsEnd) return;
    if (!reader_->Skip(8) || !reader_->Need(m)) return;
    fields.Add(id + "=" + base::DecodeText({reinterpret_cast<const char*>(reader_->Peek()), size_t(m)}));
    if (!reader_->Skip(m)) return;
  }
  for (int i = 0; i < fields.Count(); ++i) lyrics_.Add(fields[i]);
  lyricsOffset_ = start;
  found_ |= mitLyrics;
}

bool TMP3Info::AnalyzeTail() {
  if (!reader_ || !reader_->Seekable()) return false;
  if (audioLength_ == kMPMaxInt) audioLength_ = reader_->Size() - audioStart_;
  if (found_ & mitRiff) RiffInfoTail();
  ID3v1Tail();
  Lyrics3Tail();
  return true;
}

std::string TMP3Info::Pick(const char* v1, const char* v2, const char* riff) const {
  std::string best;
  size_t bestLen = 0;
  auto consider = [&](const std::string& v) {
    size_t len = base::Utf8Length(v);
    if (len > bestLen) {
      best = v;
      bestLen = len;
    }
  };
  if (NeedInfoType & mitID3V1) consider(id3v1_.Values(v1));
  if (NeedInfoType & mitID3V2) consider(id3v2_.Values(v2));
  if (NeedInfoType & mitRiff) consider(riff_.Values(riff));
  return best;
}

std::string TMP3Info::Title() const { return Pick("TITLE", "TIT2", "INAM"); }
std::string TMP3Info::Artist() const { return Pick("ARTIST", "TPE1", "IART"); }
std::string TMP3Info::Album() const { return Pick("ALBUM", "TALB", "IPRD"); }
std::string TMP3Info::Year() const { return Pick("YEAR", "TYER", "ICRD"); }

}  // namespace sorrel::engine
