// Hand-built tags and files for the tag reader's tests, and the reader run over them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/MP3Info.h"

namespace sorrel::engine::test {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
inline void Append(Bytes& b, const Bytes& s) { b.insert(b.end(), s.begin(), s.end()); }
inline void BE32(Bytes& b, uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void LE32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void Synchsafe32(Bytes& b, uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(uint8_t((v >> (7 * i)) & 0x7F));
}

// Audio stand-in: sync-free filler.
inline Bytes Audio(size_t n) { return Bytes(n, 0x55); }

inline Bytes ID3v1(const std::string& title, const std::string& artist, uint8_t genre, int track = -1,
                   const std::string& comment = "") {
  Bytes t(128, 0);
  std::memcpy(t.data(), "TAG", 3);
  std::memcpy(t.data() + 3, title.data(), std::min<size_t>(30, title.size()));
  std::memcpy(t.data() + 33, artist.data(), std::min<size_t>(30, artist.size()));
  std::memcpy(t.data() + 63, "Album", 5);
  std::memcpy(t.data() + 93, "1999", 4);
  std::memcpy(t.data() + 97, comment.data(), std::min<size_t>(30, comment.size()));
  if (track >= 0) {
    t[125] = 0;
    t[126] = uint8_t(track);
  }
  t[127] = genre;
  return t;
}

// An ID3v2.3 frame.
inline Bytes Frame(const std::string& id, const Bytes& body, uint8_t format = 0) {
  Bytes f;
  Append(f, id);
  BE32(f, uint32_t(body.size()));
  f.push_back(0);
  f.push_back(format);
  Append(f, body);
  return f;
}

// An ID3v2.4 frame: a synchsafe size, or a plain one as some writers put it.
inline Bytes Frame24(const std::string& id, const Bytes& body, uint8_t format = 0, bool plainSize = false) {
  Bytes f;
  Append(f, id);
  if (plainSize)
    BE32(f, uint32_t(body.size()));
  else
    Synchsafe32(f, uint32_t(body.size()));
  f.push_back(0);
  f.push_back(format);
  Append(f, body);
  return f;
}

// An ID3v2.2 frame: three letters and a three-byte size.
inline Bytes Frame22(const std::string& id, const Bytes& body) {
  Bytes f;
  Append(f, id);
  for (int i = 2; i >= 0; --i) f.push_back(uint8_t(body.size() >> (8 * i)));
  Append(f, body);
  return f;
}

// A text frame's body: the encoding byte and the text's bytes.
inline Bytes Text(uint8_t encoding, const std::string& bytes) {
  Bytes b{encoding};
  Append(b, bytes);
  return b;
}

inline Bytes TextFrame(const std::string& id, const std::string& text) { return Frame(id, Text(0, text)); }

inline Bytes ID3v2(uint8_t version, const Bytes& frames, size_t padding = 0, uint8_t flags = 0) {
  Bytes t;
  Append(t, "ID3");
  t.push_back(version);
  t.push_back(0);
  t.push_back(flags);
  Synchsafe32(t, uint32_t(frames.size() + padding));
  Append(t, frames);
  t.insert(t.end(), padding, 0);
  return t;
}

// Unsynchronisation as writers do it: a zero after every 0xFF that is followed by a zero
// or a byte of 0xE0 and above, or that ends the data.
inline Bytes Unsynchronise(const Bytes& b) {
  Bytes out;
  for (size_t i = 0; i < b.size(); ++i) {
    out.push_back(b[i]);
    if (b[i] == 0xFF && (i + 1 == b.size() || b[i + 1] == 0 || b[i + 1] >= 0xE0)) out.push_back(0);
  }
  return out;
}

// The reader's head and tail analyses over `data`; a stream that cannot seek gets the
// head analysis only, as in the player.
struct Parsed {
  Bytes data;
  TMPMemoryStream stream;
  TMPStreamReader reader{327680};
  TMP3Info info;
  explicit Parsed(Bytes d, TMP3InfoType need = mitID3V1 | mitID3V2 | mitRiff, bool seekable = true)
      : data(std::move(d)), stream(data.data(), int64_t(data.size())) {
    reader.Open(&stream, seekable);
    info.SetReader(&reader);
    info.NeedInfoType = need;
    info.AnalyzeHead();
    if (seekable) info.AnalyzeTail();
  }
};

}  // namespace sorrel::engine::test
