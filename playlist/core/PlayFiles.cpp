#include "playlist/core/PlayFiles.h"

#include <numeric>
#include <utility>

#include "playlist/core/Mp3Directory.h"
#include "playlist/core/Paths.h"

namespace sorrel::playlist {

bool HasLyricFile(const std::string& songPath) {
  return IsRegularFile(ChangeFileExt(songPath, ".lrc")) || IsRegularFile(ChangeFileExt(songPath, ".txt"));
}

namespace {

// HasLyricFile for a song of a directory just read: only names the directory may hold
// are checked.
bool HasLyricBeside(const Mp3Listing& listing, const std::string& songPath, std::string_view songName) {
  for (const std::string_view ext : {".lrc", ".txt"}) {
    if (listing.lyricCandidates.contains(FoldAsciiCase(ChangeFileExt(songName, ext))) &&
        IsRegularFile(ChangeFileExt(songPath, ext)))
      return true;
  }
  return false;
}

}  // namespace

void PlayFileList::BuildPlayFiles(std::span<const std::string> entries, bool fileMode, bool lyricFilter) {
  Clear();
  if (fileMode) {
    files_.reserve(entries.size());
    for (const std::string& entry : entries) {
      if (!IsRegularFile(entry) || (lyricFilter && !HasLyricFile(entry))) continue;
      files_.push_back(PlayFile{entry, 0, 0});
    }
  } else {
    uint32_t directoryNumber = 0;
    for (const std::string& dir : entries) {
      uint32_t fileNumber = 0;
      const Mp3Listing listing = ReadMp3Listing(dir, lyricFilter);
      for (const std::string& name : listing.names) {
        std::string path = JoinPath(dir, name);
        if (lyricFilter && !HasLyricBeside(listing, path, name)) continue;
        files_.push_back(PlayFile{std::move(path), directoryNumber, ++fileNumber});
      }
      if (fileNumber > 0) {
        dirFileCounts_.push_back(fileNumber);
        ++directoryNumber;
      }
    }
  }
  order_.resize(files_.size());
  std::iota(order_.begin(), order_.end(), 0u);
}

void PlayFileList::ShufflePlayOrder(bool shuffle, uint32_t seed) {
  if (!shuffle) {
    std::iota(order_.begin(), order_.end(), 0u);
    return;
  }
  ShuffleGenerator random(seed);
  const auto n = uint32_t(order_.size());
  for (uint32_t i = 0; i < n; ++i) std::swap(order_[i], order_[random.Random(n)]);
}

std::optional<PlayFile> PlayFileList::RemoveSong(size_t row) {
  if (row >= order_.size()) return std::nullopt;
  const uint32_t k = order_[row];
  const uint32_t d = files_[k].directoryNumber;
  const uint32_t f = files_[k].fileNumber;
  // In file mode there are no directory counts to keep.
  bool emptied = false;
  if (d < dirFileCounts_.size()) {
    if (dirFileCounts_[d] > 0) --dirFileCounts_[d];
    emptied = dirFileCounts_[d] == 0;
  }
  for (uint32_t& index : order_)
    if (index > k) --index;
  for (PlayFile& file : files_) {
    if (file.directoryNumber == d && file.fileNumber > f) --file.fileNumber;
    if (emptied && file.directoryNumber > d) --file.directoryNumber;
  }
  if (emptied) dirFileCounts_.erase(dirFileCounts_.begin() + d);
  order_.erase(order_.begin() + std::ptrdiff_t(row));
  PlayFile removed = std::move(files_[k]);
  files_.erase(files_.begin() + k);
  return removed;
}

void PlayFileList::Clear() {
  files_.clear();
  order_.clear();
  dirFileCounts_.clear();
}

}  // namespace sorrel::playlist
