// List files: ".pfl" (files), ".pdr" (directories), ".m3u" (read as ".pfl") and the
// default lists "Default.tfl" / "Default.tdr" in the home directory.
//
// Reading takes each line whole (no trimming); lines end at CR LF, LF or a lone CR.  A
// relative line is taken relative to the home directory (never the process's current
// directory) and expanded lexically to a full path.  A line is kept only when it names
// - in file mode: a regular file whose name ends in ".mp3", compared case-sensitively;
// - in directory mode: a directory holding at least one file that matches "*.MP3".
// Everything else (blank lines, "#" lines of an ".m3u", junk) is dropped silently.
//
// Encoding: a line that is valid UTF-8 is the path itself.  Any other line is tried as
// CP932 converted to UTF-8 first (the name a file copied from Windows has here) and, if
// that names nothing, as its own bytes (a name stored in a legacy encoding on this
// file system).  The kept entry is the path that worked, byte for byte, so file access
// always uses the file system's real name; show entries through base::DecodeText.
//
// Writing puts each entry on its own line ended by CR LF, unchanged (so UTF-8, or the
// file system's own bytes for the rare legacy name), and replaces the file atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/FileIO.h"

namespace sorrel::playlist {

inline constexpr std::string_view kDefaultFileList = "Default.tfl";
inline constexpr std::string_view kDefaultDirList = "Default.tdr";

// Lines longer than this cannot name a file (a path is at most 4096 bytes) and are
// dropped without being held.
inline constexpr size_t kMaxListLineBytes = 32768;

// The default list of a mode in `homeDir`.
std::string DefaultListPath(const std::string& homeDir, bool fileMode);

// The mode a list file's extension gives, compared without regard to case: ".pfl" and
// ".m3u" file mode (true), ".pdr" directory mode (false); nothing for any other.
std::optional<bool> ListFileModeOf(std::string_view path);

// The entry a list line stands for, or nothing when the line is dropped (rules above).
std::optional<std::string> ResolveListLine(std::string_view line, bool fileMode, const std::string& homeDir);

// Turns list-file bytes, fed in pieces of any size, into the kept entries.  Holds one
// unfinished line at a time, never the whole text.
class ListFileParser {
 public:
  ListFileParser(bool fileMode, std::string homeDir);

  void Feed(std::string_view bytes);
  // Ends the last line when the text does not end with a line end.
  void Finish();

  const std::vector<std::string>& Entries() const { return entries_; }
  std::vector<std::string> TakeEntries() { return std::move(entries_); }
  // Lines seen, kept or not.
  size_t LineCount() const { return lines_; }

 private:
  void Line(std::string_view raw);
  void EndPending();

  bool fileMode_;
  std::string homeDir_;
  std::vector<std::string> entries_;
  std::string pending_;          // the line read so far
  bool pendingTooLong_ = false;  // the line grew beyond kMaxListLineBytes
  bool pendingCr_ = false;       // the last piece ended in CR: a LF next belongs to it
  size_t lines_ = 0;
  // Verdicts on short lines seen lately (forgotten all at once when there are too
  // many): lists that repeat lines, or junk that does, cost one check per distinct line.
  struct LineHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, std::optional<std::string>, LineHash, std::equal_to<>> verdicts_;
};

// The kept entries of a whole text (tests and the fuzzer; the reader streams).
std::vector<std::string> ParseListText(std::string_view bytes, bool fileMode, const std::string& homeDir);

struct ListFileRead {
  // kOk, or why the file was not read: kMissing (the play list is then simply empty),
  // kNotRegular (a FIFO, device or directory: refused without blocking), kTooLarge
  // (over base::kMaxTextFileBytes), kError (an open or read error).
  base::TReadStatus status = base::TReadStatus::kError;
  std::string error;  // for a message, naming the file
  std::vector<std::string> entries;
  size_t lines = 0;
  bool ok() const { return status == base::TReadStatus::kOk; }
};

// Reads a list file in `fileMode` (the caller picks it, from ListFileModeOf or the
// default list's mode), resolving relative lines against `homeDir`.  On any refusal
// the entries are empty.
ListFileRead ReadListFile(const std::string& path, bool fileMode, const std::string& homeDir,
                          uint64_t maxBytes = base::kMaxTextFileBytes);

// The text of a list file: each entry followed by CR LF.  Entries that cannot stand on
// one line (empty, or holding CR, LF or NUL) are left out.
std::string FormatListFile(std::span<const std::string> entries);

// Writes a list file whole or not at all; on failure the old file stays as it was and
// `error` says why.
bool WriteListFile(const std::string& path, std::span<const std::string> entries,
                   std::string* error = nullptr);

}  // namespace sorrel::playlist
