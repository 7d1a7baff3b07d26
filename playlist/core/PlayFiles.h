// The play files: what the player walks through, built from the play list.
//
// - `PlayFiles`: the full path of every song, in list order, each with its directory
//   number (from 0, counting only the play list directories that gave at least one
//   song) and its file number within that directory (from 1).  In file mode both are 0.
//   The 32-bit tag of a song is (file number << 16) + directory number.
// - The play order: row i (the i-th song to play; `MusicIndex` is a row) holds an index
//   into `PlayFiles`.  Unshuffled, row i holds i.
// - `DirFileCounts`: how many songs each directory number has.
//
// Sized for libraries of 100,000 songs and more: building costs one directory read per
// play list entry (plus two existence checks per song with the lyric filter on),
// shuffling is one pass over an array of indices, removing a song is linear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sorrel::playlist {

struct PlayFile {
  std::string path;
  uint32_t directoryNumber = 0;
  uint32_t fileNumber = 0;

  // (file number << 16) + directory number, in 32 bits.
  uint32_t Tag() const { return (fileNumber << 16) + directoryNumber; }
  bool operator==(const PlayFile&) const = default;
};

// The generator behind shuffling: seed := seed * 134775813 + 1 (mod 2^32), then
// Random(n) is the high 32 bits of the 64-bit product seed * n, in 0..n-1.
class ShuffleGenerator {
 public:
  explicit ShuffleGenerator(uint32_t seed) : seed_(seed) {}
  uint32_t Random(uint32_t n) {
    seed_ = seed_ * 134775813u + 1u;
    return uint32_t((uint64_t(seed_) * n) >> 32);
  }
  uint32_t Seed() const { return seed_; }

 private:
  uint32_t seed_;
};

// A song passes the lyric filter when a file of its path with the extension replaced
// by ".lrc", or by ".txt", exists.
bool HasLyricFile(const std::string& songPath);

class PlayFileList {
 public:
  // Replaces everything by the songs of the play list `entries`.  File mode: each entry
  // that is an existing file (and passes the lyric filter when `lyricFilter` is on).
  // Directory mode: the MP3 files of each entry's directory, as ListMp3Files lists them,
  // that pass the filter; a directory that gives none takes no directory number.  The
  // play order is the list order.
  void BuildPlayFiles(std::span<const std::string> entries, bool fileMode, bool lyricFilter);

  // Shuffled: for every row i in turn, exchange rows i and Random(count) of the
  // generator seeded with `seed`; the current order is permuted, so a second call
  // shuffles further, and the same seed on the same order gives the same result.  Not
  // shuffled: row i holds i again.
  void ShufflePlayOrder(bool shuffle, uint32_t seed);

  // Removes the song at `row` (one that could not be played) and renumbers the rest:
  // indices above it in the play order go down by one; in its directory, file numbers
  // above its own go down by one; when that was the directory's last song, the
  // directory leaves `DirFileCounts` and the directory numbers above it go down by one.
  // Returns the removed song (for the error log), or nothing when `row` is out of range.
  std::optional<PlayFile> RemoveSong(size_t row);

  void Clear();

  // Number of rows (songs to play).
  size_t Count() const { return order_.size(); }
  bool Empty() const { return order_.empty(); }
  // The song at a row; `row` must be below Count().
  const PlayFile& AtRow(size_t row) const { return files_[order_[row]]; }

  const std::vector<PlayFile>& PlayFiles() const { return files_; }
  const std::vector<uint32_t>& PlayOrder() const { return order_; }
  const std::vector<uint32_t>& DirFileCounts() const { return dirFileCounts_; }

 private:
  std::vector<PlayFile> files_;
  std::vector<uint32_t> order_;
  std::vector<uint32_t> dirFileCounts_;
};

}  // namespace sorrel::playlist
