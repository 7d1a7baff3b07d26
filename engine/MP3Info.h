// Where the MPEG audio lies in a file (MacBinary and RIFF WAVE wrappers, ID3v2 before
// it) and the tags' texts (ID3v1/1.1, ID3v2.2, 2.3 and 2.4, Lyrics3 v1 and 2.00, RIFF
// INFO) as name=value lists.  Texts are UTF-8.  The ID3v2 list names frames by their
// ID3v2.3 identifiers whatever the tag's version (ID3v2.2's "TT2" is listed as "TIT2"),
// so that one set of names serves every version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/MPStreamReader.h"

namespace sorrel::engine {

using TMP3InfoType = uint32_t;
inline constexpr TMP3InfoType mitID3V1 = 1;
inline constexpr TMP3InfoType mitID3V2 = 2;
inline constexpr TMP3InfoType mitRiff = 4;
inline constexpr TMP3InfoType mitMacBin = 8;
inline constexpr TMP3InfoType mitLyrics = 16;

// "Unknown" for lengths.
inline constexpr int64_t kMPMaxInt = 2147483647;

// Lines of the form name=value.
class TMPStringList {
 public:
  void Add(const std::string& line) { lines_.push_back(line); }
  void Clear() { lines_.clear(); }
  int Count() const { return int(lines_.size()); }
  const std::string& operator[](int i) const { return lines_.at(size_t(i)); }
  // The value of the first line whose name matches, ignoring ASCII case; empty if none.
  std::string Values(const std::string& name) const;
  bool HasName(const std::string& name) const;

 private:
  std::vector<std::string> lines_;
};

extern const char* const kMPGenres[256];

class TMP3Info {
 public:
  TMP3Info();
  void Clear();
  void SetReader(TMPStreamReader* reader);

  // From the reader's position (the file start).  True when a byte of data follows.
  bool AnalyzeHead();
  // Seekable streams only: RIFF INFO, ID3v1, Lyrics3 at the end.
  bool AnalyzeTail();

  std::string Title() const;
  std::string Artist() const;
  std::string Album() const;
  // ID3v2's "TYER", else the first four characters of ID3v2.4's recording time "TDRC",
  // else of its release time "TDRL".
  std::string Year() const;
  // The track number: the leading number of ID3v2's "TRCK" ("3/12" gives 3), else
  // ID3v1.1's track; 0 when neither gives one above 0.  Sources as for the texts.
  int Track() const;

  TMP3InfoType Found() const { return found_; }
  int64_t AudioStart() const { return audioStart_; }
  int64_t AudioLength() const { return audioLength_; }
  int64_t RiffDataStart() const { return riffStart_; }
  int64_t RiffDataLength() const { return riffLength_; }
  int64_t ID3V1Offset() const { return id3v1Offset_; }
  int64_t LyricsOffset() const { return lyricsOffset_; }
  const TMPStringList& RiffInfo() const { return riff_; }
  const TMPStringList& ID3V1() const { return id3v1_; }
  const TMPStringList& ID3V2() const { return id3v2_; }
  const TMPStringList& Lyrics3() const { return lyrics_; }

  TMP3InfoType NeedInfoType = mitID3V1 | mitID3V2 | mitRiff;
  std::string FileName;

 private:
  bool MacBinary();
  bool Riff();
  bool ID3v2();
  void ID3v2Frames(uint8_t version, uint8_t tagFlags, int64_t bodyEnd, TMPStringList& frames);
  int64_t V24FrameSize(const uint8_t* sizeBytes, int64_t left, int& sizeMode);
  enum { kNo, kLikely, kSure };
  int FrameFollows(int64_t distance, int64_t left);
  void RiffInfoTail();
  void ID3v1Tail();
  void Lyrics3Tail();
  bool SeekTo(int64_t offset);
  std::string Pick(const std::string& v1, const std::string& v2, const std::string& riff) const;

  TMPStreamReader* reader_ = nullptr;
  TMP3InfoType found_ = 0;
  int64_t audioStart_ = 0, audioLength_ = kMPMaxInt;
  int64_t macStart_ = 0, macLength_ = 0, macEnd_ = 0, macResLength_ = 0;
  int64_t riffStart_ = 0, riffLength_ = kMPMaxInt;
  TMPStringList riff_, id3v1_, id3v2_, lyrics_;
  int64_t id3v1Offset_ = 0, lyricsOffset_ = 0;
};

}  // namespace sorrel::engine
