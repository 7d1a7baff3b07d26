#include "engine/MP3Info.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

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

const uint8_t* Bytes(std::string_view s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// A byte text: up to its end, without trailing spaces and control characters, decoded.
std::string ByteText(std::string_view s) { return Field(Bytes(s), s.size()); }

uint32_t Synchsafe(const uint8_t* p) {
  return (uint32_t(p[0] & 0x7F) << 21) | (uint32_t(p[1] & 0x7F) << 14) | (uint32_t(p[2] & 0x7F) << 7) |
         (p[3] & 0x7F);
}

bool IsFrameIdChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// ID3v2.2's frame identifiers and the ID3v2.3 ones that replaced them.
constexpr std::pair<std::string_view, std::string_view> kV22Names[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"}, {"GEO", "GEOB"},
    {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"},
    {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"},
    {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"}, {"TP1", "TPE1"},
    {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"},
    {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"},
    {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"}};

// Unknown ID3v2.2 identifiers keep their three letters.
std::string V23Name(std::string_view v22) {
  for (const auto& [from, to] : kV22Names) {
    if (from == v22) return std::string(to);
  }
  return std::string(v22);
}

// Undoes unsynchronisation: a zero byte after 0xFF was put there by the writer.
std::string Resynchronise(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    out += s[i];
    if (uint8_t(s[i]) == 0xFF && i + 1 < s.size() && s[i + 1] == 0) ++i;
  }
  return out;
}

bool HasUtf16Mark(std::string_view s) {
  return s.size() >= 2 && ((s[0] == '\xFF' && s[1] == '\xFE') || (s[0] == '\xFE' && s[1] == '\xFF'));
}

// The values of a text after its encoding byte: ID3v2.4 separates several by a NUL (a zero
// unit in UTF-16), and any text may end with one.  Encodings 1 (UTF-16 with a byte-order
// mark; a value without one keeps the order of the value before it) and 2 (UTF-16
// big-endian) are converted; the others are bytes, read as every byte text is (UTF-8
// when valid, else CP932): encoding 3 is UTF-8, and encoding 0, Latin-1 by the standard,
// holds CP932 in files from the original platform.
std::vector<std::string> TextValues(uint8_t encoding, std::string_view s) {
  std::vector<std::string> values;
  if (encoding == 1 || encoding == 2) {
    std::string mark = encoding == 2 ? "\xFE\xFF" : "";
    const size_t units = s.size() / 2;
    size_t from = 0;
    for (size_t u = 0; u <= units; ++u) {
      if (u < units && (s[2 * u] != 0 || s[2 * u + 1] != 0)) continue;
      std::string piece(s.substr(2 * from, 2 * (u - from)));
      if (HasUtf16Mark(piece)) {
        if (encoding == 1) mark = piece.substr(0, 2);
      } else {
        piece.insert(0, mark);
      }
      values.push_back(RightTrim(base::Utf16ToUtf8(Bytes(piece), piece.size())));
      from = u + 1;
    }
    return values;
  }
  for (;;) {
    const size_t nul = s.find('\0');
    values.push_back(ByteText(s.substr(0, nul)));
    if (nul == std::string_view::npos) return values;
    s.remove_prefix(nul + 1);
  }
}

// "COMM" (after a three-letter language) and "WXXX" hold a description, its terminator and
// then the comment or the URL (the URL always in bytes).
std::string DescribedText(bool url, uint8_t encoding, std::string_view s) {
  if (encoding == 1 || encoding == 2) {
    const size_t start = url ? 0 : std::min<size_t>(3, s.size());
    for (size_t i = start; i + 1 < s.size(); i += 2) {
      if (s[i] != 0 || s[i + 1] != 0) continue;
      const std::string_view rest = s.substr(i + 2);
      return url ? TextValues(0, rest)[0] : TextValues(encoding, rest)[0];
    }
    return {};
  }
  // Bytes: the text after the last NUL (a terminator at the very end aside).
  while (!s.empty() && s.back() == 0) s.remove_suffix(1);
  const size_t last = s.rfind('\0');
  if (last != std::string_view::npos) s.remove_prefix(last + 1);
  return RightTrim(base::DecodeText(s));
}

// A frame's text by its (ID3v2.3) identifier.  ID3v2.4's several values are joined by "/",
// as earlier versions write several artists; "TXXX" (a description and a value) gives its
// description in every version.
std::string FrameText(const std::string& id, uint8_t version, std::string_view data) {
  if (data.empty()) return {};
  const uint8_t encoding = uint8_t(data[0]);
  data.remove_prefix(1);
  if (id[0] == 'T') {
    const std::vector<std::string> values = TextValues(encoding, data);
    if (version < 4 || id == "TXXX") return values[0];
    std::string joined;
    for (const std::string& v : values) {
      if (v.empty()) continue;
      if (!joined.empty()) joined += '/';
      joined += v;
    }
    return joined;
  }
  if (id == "COMM" || id == "WXXX") return DescribedText(id == "WXXX", encoding, data);
  return ByteText(data);
}

// The bytes of a tag after its header, in order, up to the end of its frames, through
// the reader.  ID3v2.2 and 2.3 unsynchronise the whole tag: then a zero after 0xFF is
// dropped, also across calls.
class TagBytes {
 public:
  TagBytes(TMPStreamReader& reader, int64_t end, bool unsynchronised)
      : reader_(reader), end_(end), unsynchronised_(unsynchronised) {}

  // Stored bytes left before the end.
  int64_t Left() const { return end_ - reader_.Position(); }

  // The next n bytes, appended to *out when given; false when the tag or the stream ends
  // first.
  bool Take(int64_t n, std::string* out) {
    if (n < 0) return false;
    if (!unsynchronised_) {
      if (n > Left()) return false;
      if (!out) return reader_.Skip(n);
    }
    while (n > 0) {
      int64_t want = std::min(Left(), reader_.RingSize());
      want = unsynchronised_ ? std::min<int64_t>(want, 4096) : std::min(want, n);
      if (want <= 0 || !reader_.Need(want)) return false;
      const uint8_t* p = reader_.Peek();
      int64_t used = 0;
      if (!unsynchronised_) {
        used = want;
        out->append(reinterpret_cast<const char*>(p), size_t(used));
        n -= used;
      } else {
        while (used < want && n > 0) {
          const uint8_t c = p[used++];
          if (afterFF_ && c == 0) {
            afterFF_ = false;
            continue;
          }
          afterFF_ = c == 0xFF;
          if (out) out->push_back(char(c));
          --n;
        }
      }
      reader_.Skip(used);
    }
    return true;
  }

 private:
  TMPStreamReader& reader_;
  int64_t end_;
  bool unsynchronised_;
  bool afterFF_ = false;
};

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
    int64_t size = uint32_t(LE32(p + 4));
    const bool data = std::memcmp(p, "data", 4) == 0;
    // A streaming writer that could not go back leaves the data size 0 or 0xFFFFFFFF:
    // either way the data runs to the end of the file.
    if (data && size == 0) size = 0xFFFFFFFF;
    if (size < 1) return fail();
    if (data) {
      if (!reader_->Skip(8)) return fail();
      riffStart_ = reader_->Position();
      // A size beyond the file means the data runs to its end.
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
  const int64_t size = Synchsafe(p + 6);
  if (size < 1) return false;
  const uint8_t version = p[3], flags = p[5];
  const int64_t tagStart = reader_->Position();
  const int64_t bodyEnd = tagStart + 10 + size;
  // ID3v2.4's footer follows the frames and belongs to the tag.
  const int64_t tagEnd = bodyEnd + (version == 4 && (flags & 0x10) ? 10 : 0);
  TMPStringList frames;
  // ID3v2.2's compression flag: no scheme for it was ever defined.  Other versions are
  // skipped whole.
  const bool readable = (version == 2 && !(flags & 0x40)) || version == 3 || version == 4;
  if (reader_->Skip(10) && readable) ID3v2Frames(version, flags, bodyEnd, frames);
  // The tag's declared end; a file that ends before it has no tag.
  const int64_t rest = tagEnd - reader_->Position();
  if (rest < 0 || !reader_->Skip(rest)) {
    SeekTo(tagStart);
    return false;
  }
  for (int i = 0; i < frames.Count(); ++i) id3v2_.Add(frames[i]);
  audioStart_ = reader_->Position();
  if (audioLength_ != kMPMaxInt) audioLength_ -= tagEnd - tagStart;
  found_ |= mitID3V2;
  return true;
}

// Frames are read until one is damaged (a size running past the tag, an identifier that
// is not one, a header that does not fit); the tag still ends where its header says.
void TMP3Info::ID3v2Frames(uint8_t version, uint8_t tagFlags, int64_t bodyEnd, TMPStringList& frames) {
  const bool v24 = version == 4;
  // ID3v2.4 unsynchronises frame by frame; the tag's flag then means every frame.
  TagBytes body(*reader_, bodyEnd, !v24 && (tagFlags & 0x80));
  std::string bytes;
  if (version >= 3 && (tagFlags & 0x40)) {
    // The extended header's size counts itself in ID3v2.4 (synchsafe), not in 2.3.
    if (!body.Take(4, &bytes)) return;
    const int64_t rest = v24 ? int64_t(Synchsafe(Bytes(bytes))) - 4 : int64_t(int32_t(BE32(Bytes(bytes))));
    if (rest < (v24 ? 2 : 0) || rest > body.Left() || !body.Take(rest, nullptr)) return;
  }
  const int header = version == 2 ? 6 : 10, idLength = version == 2 ? 3 : 4;
  int sizeMode = 0;
  while (body.Left() >= header) {
    bytes.clear();
    if (!body.Take(header, &bytes)) return;
    const uint8_t* f = Bytes(bytes);
    // Padding (zeros) or damage.
    if (!std::all_of(f, f + idLength, IsFrameIdChar)) return;
    int64_t s;
    uint8_t format = 0;
    if (version == 2) {
      s = (int64_t(f[3]) << 16) | (int64_t(f[4]) << 8) | f[5];
    } else if (version == 3) {
      s = BE32(f + 4);
      format = f[9];
    } else {
      s = V24FrameSize(f + 4, body.Left(), sizeMode);
      format = f[9];
    }
    if (s < 1 || s > body.Left()) return;
    std::string id = version == 2 ? V23Name(bytes.substr(0, 3)) : bytes.substr(0, 4);
    // Frames larger than the ring are skipped unread.
    const bool keep = s + header <= reader_->RingSize();
    std::string data;
    if (!body.Take(s, keep ? &data : nullptr)) return;
    if (!keep) continue;
    if (version == 3) {
      // Compressed and encrypted frames are not read; a group byte comes before the data.
      if (format & 0xC0) continue;
      if (format & 0x20) data.erase(0, 1);
    } else if (v24) {
      // Compressed and encrypted frames are not read.  Before the data come a group byte
      // and a data length indicator (not needed: the frame's size bounds its data).
      if (format & 0x0C) continue;
      const size_t extra = (format & 0x40 ? 1 : 0) + (format & 0x01 ? 4 : 0);
      if (extra > data.size()) continue;
      data.erase(0, extra);
      if ((format & 0x02) || (tagFlags & 0x80)) data = Resynchronise(data);
    }
    frames.Add(id + "=" + FrameText(id, version, data));
  }
}

// ID3v2.4 frame sizes are synchsafe, but some writers (iTunes among them) put plain ones
// there.  The first frame whose two readings differ decides for the whole tag: the
// reading after which a frame header or the tag's end follows, synchsafe first; failing
// that, the one after which zeros (padding) follow, or nothing can be seen.  A size byte
// with its top bit set can only be plain.
int64_t TMP3Info::V24FrameSize(const uint8_t* sizeBytes, int64_t left, int& sizeMode) {
  enum { kUndecided, kSynchsafe, kPlain };
  const int64_t plain = BE32(sizeBytes);
  if (sizeMode == kPlain) return plain;
  if ((sizeBytes[0] | sizeBytes[1] | sizeBytes[2] | sizeBytes[3]) & 0x80) {
    sizeMode = kPlain;
    return plain;
  }
  const int64_t safe = Synchsafe(sizeBytes);
  if (sizeMode == kSynchsafe || safe == plain) return safe;
  const int afterSafe = FrameFollows(safe, left), afterPlain = FrameFollows(plain, left);
  if (afterSafe == kSure || (afterSafe == kLikely && afterPlain != kSure)) {
    sizeMode = kSynchsafe;
    return safe;
  }
  if (afterPlain != kNo) {
    sizeMode = kPlain;
    return plain;
  }
  return safe;  // damaged either way
}

// What lies `distance` bytes ahead, within the `left` bytes of the frames: a frame header
// or the end (kSure), zeros or what cannot be seen, beyond the ring of a stream that
// cannot seek (kLikely), anything else (kNo).
int TMP3Info::FrameFollows(int64_t distance, int64_t left) {
  if (distance > left) return kNo;
  const int64_t n = std::min<int64_t>(4, left - distance);
  if (n == 0) return kSure;
  uint8_t next[4] = {};
  if (distance + n <= reader_->RingSize()) {
    if (!reader_->Need(distance + n)) return kNo;
    std::memcpy(next, reader_->Peek() + distance, size_t(n));
  } else if (reader_->Seekable()) {
    const int64_t back = reader_->Position();
    const bool seen = SeekTo(back + distance) && reader_->Need(n);
    if (seen) std::memcpy(next, reader_->Peek(), size_t(n));
    SeekTo(back);
    if (!seen) return kNo;
  } else {
    return kLikely;
  }
  if (n == 4 && std::all_of(next, next + 4, IsFrameIdChar)) return kSure;
  return std::all_of(next, next + n, [](uint8_t c) { return c == 0; }) ? kLikely : kNo;
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

std::string TMP3Info::Pick(const std::string& v1, const std::string& v2, const std::string& riff) const {
  std::string best;
  size_t bestLen = 0;
  auto consider = [&](const std::string& v) {
    size_t len = base::Utf8Length(v);
    if (len > bestLen) {
      best = v;
      bestLen = len;
    }
  };
  if (NeedInfoType & mitID3V1) consider(v1);
  if (NeedInfoType & mitID3V2) consider(v2);
  if (NeedInfoType & mitRiff) consider(riff);
  return best;
}

std::string TMP3Info::Title() const {
  return Pick(id3v1_.Values("TITLE"), id3v2_.Values("TIT2"), riff_.Values("INAM"));
}
std::string TMP3Info::Artist() const {
  return Pick(id3v1_.Values("ARTIST"), id3v2_.Values("TPE1"), riff_.Values("IART"));
}
std::string TMP3Info::Album() const {
  return Pick(id3v1_.Values("ALBUM"), id3v2_.Values("TALB"), riff_.Values("IPRD"));
}

std::string TMP3Info::Year() const {
  std::string v2 = id3v2_.Values("TYER");
  if (v2.empty()) {
    // ID3v2.4's times, "2021-05-03T10:00" and the like: the year of the recording, else
    // of the release (eyeD3 writes its year there).
    v2 = id3v2_.Values("TDRC");
    if (v2.empty()) v2 = id3v2_.Values("TDRL");
    size_t chars = 0, end = 0;
    while (end < v2.size() && (chars < 4 || (uint8_t(v2[end]) & 0xC0) == 0x80)) {
      if ((uint8_t(v2[end]) & 0xC0) != 0x80) ++chars;
      ++end;
    }
    v2.resize(end);
  }
  return Pick(id3v1_.Values("YEAR"), v2, riff_.Values("ICRD"));
}

int TMP3Info::Track() const {
  // The leading number, after spaces; more than six digits is no track number.
  const auto number = [](const std::string& s) {
    size_t i = s.find_first_not_of(' ');
    int n = 0, digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
      if (++digits <= 6) n = n * 10 + (s[i] - '0');
    }
    return digits > 6 ? 0 : n;
  };
  int track = NeedInfoType & mitID3V2 ? number(id3v2_.Values("TRCK")) : 0;
  if (track == 0 && (NeedInfoType & mitID3V1)) track = number(id3v1_.Values("TRACK"));
  return track;
}

}  // namespace sorrel::engine
