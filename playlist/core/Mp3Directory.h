// The MP3 files of one directory, as the browsing file list shows them with the mask
// "*.MP3": names ending in ".mp3" in any case (a.mp3 and B.Mp3), hidden (dot) names
// included, regular files and symbolic links to regular files only, sorted without
// regard to case.  Subdirectories are not entered.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace sorrel::playlist {

// True when `name` matches "*.MP3" without regard to case (".mp3" alone matches too).
bool MatchesMp3Mask(std::string_view name);

// The browsing list's order: ASCII letters compared without regard to case, other
// bytes by value; names equal that way are ordered by their bytes, so the order is
// total and the same on every run.
bool NameLess(std::string_view a, std::string_view b);

// The matching names (not paths) of `dir`, in NameLess order.  A directory that is
// missing, unreadable or not a directory gives nothing; entries that vanish while
// they are read, or are links that lead nowhere (a loop included), are left out.
std::vector<std::string> ListMp3Files(const std::string& dir);

// Whether ListMp3Files(dir) would give at least one name; stops at the first.
bool HasMp3File(const std::string& dir);

// One read of a directory for the play files.
struct Mp3Listing {
  std::vector<std::string> names;  // as ListMp3Files gives them
  // With lyric candidates asked for: every name ending in ".lrc" or ".txt", of any
  // type, with ASCII letters folded to lower case.  A song whose lyric names are not
  // among them has no lyric file beside it, which spares most songs an existence check;
  // a name that is among them is still checked on the file system, which decides about
  // case.
  std::unordered_set<std::string> lyricCandidates;
};
Mp3Listing ReadMp3Listing(const std::string& dir, bool withLyricCandidates);

// `name` with ASCII letters in lower case.
std::string FoldAsciiCase(std::string_view name);

}  // namespace sorrel::playlist
