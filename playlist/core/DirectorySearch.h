// The search behind the play list editor's "add all directories" button: the start
// directory and every directory below it, at any depth, that holds at least one MP3
// file, for appending to a directory-mode play list.
//
// The walk runs on the caller's thread (the window's), breadth first, and calls a
// progress function often enough for the window to process its events and show
// `Tfm_SearchSts` (after every directory it lists or checks, and every
// kEntriesPerProgress entries within a large one).  After every call it looks at the
// cancel flag; a cancelled search returns nothing, in either pass.
//
// - Names beginning with "." are neither entered nor added.
// - Symbolic links to directories are followed, but every directory (by device and
//   inode) is walked once: a link loop ends, and a directory reached twice is listed
//   under its first path in walking order (the shallowest one).
// - Directories that cannot be read, or vanish during the walk, are skipped quietly
//   (and counted).
// - Results are sorted by relative path without regard to case, a directory's
//   subdirectories right after it (the order of the directory tree); the start
//   directory comes first, with its trailing "/", the others without one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::playlist {

// Texts of `Tfm_SearchSts`.
inline constexpr std::string_view kSearchingCaption = "ディレクトリ検索中";
inline constexpr std::string_view kCheckingCaption = "ディレクトリ検査中";
inline constexpr std::string_view kSearchErrorCaption = "エラー発生";
inline constexpr std::string_view kSearchCancelButton = "中 止";
inline constexpr std::string_view kSearchOkButton = "Ｏ Ｋ";

// `lb_Status` in the error state: two lines, each indented with ideographic spaces.
std::string SearchErrorText();

// The hint of `spb_GetAllDir` for the tree's directory `curDir` (with its trailing "/").
std::string GetAllDirHint(std::string_view curDir);

enum class TSearchPhase { kSearching, kChecking };
enum class TSearchOutcome { kCompleted, kCancelled, kFailed };

struct TSearchProgress {
  TSearchPhase phase = TSearchPhase::kSearching;
  // What `lb_Status` shows: the directory being looked at, relative to the start
  // directory; while searching with a trailing "/" (empty for the start directory).
  std::string_view status;
  size_t found = 0;    // directories in the directory list, the start directory included
  size_t scanned = 0;  // directories whose subdirectories have been listed
  size_t checked = 0;  // directories tested for MP3 files (checking pass)
  size_t withMp3 = 0;  // of those, the ones that hold MP3 files
};

// Called on the searching thread.  It may process window events, and may set the
// cancel flag (directly, or through a button those events reach); it must not start
// another search or change the directories' play list.  The status view is valid only
// during the call.
using TSearchProgressFn = std::function<void(const TSearchProgress&)>;

struct TSearchResult {
  TSearchOutcome outcome = TSearchOutcome::kCompleted;
  // The full paths to append to the play list, in order; empty unless completed.
  std::vector<std::string> entries;
  size_t directories = 0;  // directories found (start included)
  size_t unreadable = 0;   // directories that could not be listed or were gone
  size_t revisits = 0;     // links to directories already walked, not entered again
};

inline constexpr size_t kEntriesPerProgress = 256;

struct TSearchOptions {
  // More directories than this end the search as failed, as running out of memory
  // does.  No limit unless one is given.
  size_t maxDirectories = SIZE_MAX;
  // Directory entries read between two progress calls within one directory.
  size_t entriesPerProgress = kEntriesPerProgress;
};

// `SearchAllDirectories(StartDir)`.  `startDir` may end in "/" or not; an empty one
// finds nothing.  `Cancelled` is read after every progress call (and before the
// search starts).  Failure (the directory list outgrowing memory or
// `options.maxDirectories`) gives the error state: nothing to add.
TSearchResult SearchAllDirectories(const std::string& startDir, const std::atomic<bool>& Cancelled,
                                   const TSearchProgressFn& progress, const TSearchOptions& options = {});

}  // namespace sorrel::playlist
