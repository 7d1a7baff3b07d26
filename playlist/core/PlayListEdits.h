// The play list editor's rules for changing its list, without the window: moving the
// selection up and down (the buttons, Alt+Up/Down, dragging inside the list), deleting,
// selecting all, adding directories and files from the tree, the file list and the
// desktop's file manager with what each mode allows, and the mode switch.
//
// The list is its entries (full paths, in list order) and its selection (indices).
// Every function keeps the two in step: an insertion moves the selected indices behind
// it, as a list box's items carry their selection.  A refused addition is the warning
// beep; an action a mode does not offer does nothing, without a beep.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/core/PlaylistSettings.h"

namespace sorrel::playlist {

using TEntries = std::vector<std::string>;
// Selected indices.  Functions take any order, repeats and stale indices, and leave it
// ascending, without repeats, within the list.
using TSelection = std::vector<size_t>;

enum class TEditResult {
  kUnchanged,  // nothing to do, or not in this mode
  kChanged,
  kRefused,  // the warning beep
};

// `spb_UpClick`: every selected entry whose upper neighbour is not selected moves one
// place up and stays selected, from the top down, so a block moves as one and a block
// at the top stays.  True when something moved.
bool MoveSelectionUp(TEntries& entries, TSelection& selection);
// `spb_DownClick`: the same downwards, from the bottom up.
bool MoveSelectionDown(TEntries& entries, TSelection& selection);
// `spb_DeleteClick`: removes the selected entries; nothing stays selected.
bool DeleteSelection(TEntries& entries, TSelection& selection);
// Ctrl+A.
void SelectAll(const TEntries& entries, TSelection& selection);

// `AddDirectory(Index, Dir)`: inserts `dir` (held without a trailing "/", the root
// excepted) before entry `index` (the end when beyond it) when it is a directory with
// at least one MP3 file; otherwise refused.
TEditResult AddDirectory(TEntries& entries, TSelection& selection, size_t index, std::string_view dir);
// `AddDirectoryAtEnd(Dir)`.
TEditResult AddDirectoryAtEnd(TEntries& entries, TSelection& selection, std::string_view dir);
// `AddFile(FileName)`: appends a file that exists and whose extension is exactly
// ".mp3" (case counts); otherwise refused.
TEditResult AddFile(TEntries& entries, TSelection& selection, std::string_view fileName);
// `AddSelectedFiles(Index)`: inserts `dir` + each of `names` (the file list's selected
// names, in order) that exists as a file, one after the other from `index`; refused
// when none did.  The names come through the file list's mask, so the case of their
// extension is not looked at again.
TEditResult AddSelectedFiles(TEntries& entries, TSelection& selection, size_t index, std::string_view dir,
                             std::span<const std::string> names);

// The top index after an addition at the end (the "AtEnd" operations and AddFile):
// count - 5 when the list holds more than 5 entries, else no scrolling.
std::optional<size_t> TopIndexAfterAppend(size_t count);

// The events, with their mode rules.

// A right click on a tree directory, or "L" in the tree: directory mode appends it;
// file mode does nothing.
TEditResult AddTreeDirectory(TEntries& entries, TSelection& selection, std::string_view dir, bool fileMode);
// A right click on a file, or "L", in the file list: file mode appends the selected
// names; in directory mode the file list is for reference only and nothing happens.
TEditResult AddFileListSelection(TEntries& entries, TSelection& selection, std::string_view dir,
                                 std::span<const std::string> names, bool fileMode);

// A drop from the window's own browsers onto the list, at insertion index `index`
// (DropIndex): a tree directory (the tree can be dragged in directory mode only), or
// the file list's selected names (draggable in file mode only).
TEditResult DropTreeDirectory(TEntries& entries, TSelection& selection, size_t index, std::string_view dir,
                              bool fileMode);
TEditResult DropFileListSelection(TEntries& entries, TSelection& selection, size_t index,
                                  std::string_view dir, std::span<const std::string> names, bool fileMode);

// Files and folders dropped from the desktop's file manager.
enum class TShellDropArea {
  kBrowsing,  // above `Splt_Hz`: the tree, the file list and their top row
  kPlayList,  // anywhere else
};
struct TShellDrop {
  size_t added = 0;
  size_t refused = 0;      // one or more: the warning beep
  std::string navigateTo;  // browsing area: the directory to show (empty when refused)
};
// Browsing area: the first name, without a trailing "/", must be a directory, which
// the browsers then show.  Play list: each name in order through AddFile in file mode
// (so a folder is refused) and AddDirectoryAtEnd in directory mode (so a file, or a
// folder without MP3 files, is refused).
TShellDrop DropFromShell(TEntries& entries, TSelection& selection, std::span<const std::string> names,
                         TShellDropArea area, bool fileMode);

// What `SetMode(FileMode)` shows.  The list is the mode's default list as saved in
// `homeDir`: edits not committed with Play are dropped, never saved.
struct TModeView {
  bool fileMode = false;
  std::string caption;  // the window's
  std::string label1;   // the file list's heading
  int pathDepth = 0;    // `PathDepth`: `PLFileLimit` or `PLDirLimit`
  std::string filter;   // the open and save dialogs' filter, as "text (*.ext)"
  std::string defaultExt;
  TEntries entries;
};
TModeView ModeView(bool fileMode, const TPlayListSettings& settings, const std::string& homeDir);
// The same without the list (`entries` stays empty).
TModeView ModeTexts(bool fileMode, const TPlayListSettings& settings);

}  // namespace sorrel::playlist
