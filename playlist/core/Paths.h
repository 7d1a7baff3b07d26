// Path helpers of the play lists.  Paths are POSIX byte strings: "/" separates, and the
// file system root "/" stands where a drive root would.  Nothing here changes the
// process's current directory.
#pragma once

#include <string>
#include <string_view>

namespace sorrel::playlist {

// `path` made absolute against `baseDir` (when relative) and normalised lexically, as a
// full-path expansion does: repeated "/" and "." components go, ".." removes the name
// before it (never above the root); symbolic links are not looked at.  A trailing "/" is
// kept, so that "song.mp3/" stays recognisable as not naming a file.  `baseDir` should
// be absolute.
std::string AbsolutePath(std::string_view path, std::string_view baseDir);

// `dir` and `name` with exactly one "/" between them ("/" + "a.mp3" gives "/a.mp3").
std::string JoinPath(std::string_view dir, std::string_view name);

// The display form of a path: its last name with `depth` parent names in front of it;
// a path no deeper than `depth` is shown whole, root included.  Depth 2 of
// /Music/Artist/Album/song.mp3 gives "Artist/Album/song.mp3"; depth 3 of /a.mp3 gives
// "/a.mp3"; a negative depth counts as 0.
std::string ShortenPath(std::string_view path, int depth);

// `path` with the extension of its last name replaced by `ext` (".lrc"), or with `ext`
// appended when the last name has none.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// Existence checks that follow symbolic links; a loop or any other error counts as
// "no".
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);

}  // namespace sorrel::playlist
