#include "playlist/core/PlayListEdits.h"

#include <algorithm>

#include "playlist/core/ListFile.h"
#include "playlist/core/Mp3Directory.h"
#include "playlist/core/Paths.h"

namespace sorrel::playlist {

namespace {

// One flag per entry.
std::vector<bool> Flags(size_t count, const TSelection& selection) {
  std::vector<bool> flags(count, false);
  for (const size_t i : selection)
    if (i < count) flags[i] = true;
  return flags;
}

TSelection Indices(const std::vector<bool>& flags) {
  TSelection selection;
  for (size_t i = 0; i < flags.size(); ++i)
    if (flags[i]) selection.push_back(i);
  return selection;
}

void Normalize(TSelection& selection, size_t count) {
  std::sort(selection.begin(), selection.end());
  selection.erase(std::unique(selection.begin(), selection.end()), selection.end());
  selection.erase(std::lower_bound(selection.begin(), selection.end(), count), selection.end());
}

// Inserts before `index` (the end when beyond it); the selection behind moves along.
void Insert(TEntries& entries, TSelection& selection, size_t index, std::vector<std::string> items) {
  Normalize(selection, entries.size());
  index = std::min(index, entries.size());
  entries.insert(entries.begin() + std::ptrdiff_t(index), std::make_move_iterator(items.begin()),
                 std::make_move_iterator(items.end()));
  for (size_t& i : selection)
    if (i >= index) i += items.size();
}

std::string_view WithoutTrailingSlash(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return path;
}

// The extension of the last name: from its last "." on, or nothing.
std::string_view Extension(std::string_view path) {
  const size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

}  // namespace

bool MoveSelectionUp(TEntries& entries, TSelection& selection) {
  std::vector<bool> flags = Flags(entries.size(), selection);
  bool moved = false;
  for (size_t i = 1; i < entries.size(); ++i) {
    if (!flags[i] || flags[i - 1]) continue;
    std::swap(entries[i], entries[i - 1]);
    flags[i - 1] = true;
    flags[i] = false;
    moved = true;
  }
  selection = Indices(flags);
  return moved;
}

bool MoveSelectionDown(TEntries& entries, TSelection& selection) {
  std::vector<bool> flags = Flags(entries.size(), selection);
  bool moved = false;
  for (size_t i = entries.size(); i-- > 1;) {
    // i is the lower neighbour of i - 1.
    if (!flags[i - 1] || flags[i]) continue;
    std::swap(entries[i], entries[i - 1]);
    flags[i] = true;
    flags[i - 1] = false;
    moved = true;
  }
  selection = Indices(flags);
  return moved;
}

bool DeleteSelection(TEntries& entries, TSelection& selection) {
  const std::vector<bool> flags = Flags(entries.size(), selection);
  selection.clear();
  size_t kept = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (flags[i]) continue;
    // Never onto itself: a string moved onto itself may be left empty.
    if (kept != i) entries[kept] = std::move(entries[i]);
    ++kept;
  }
  const bool changed = kept != entries.size();
  entries.resize(kept);
  return changed;
}

void SelectAll(const TEntries& entries, TSelection& selection) {
  selection.resize(entries.size());
  for (size_t i = 0; i < selection.size(); ++i) selection[i] = i;
}

TEditResult AddDirectory(TEntries& entries, TSelection& selection, size_t index, std::string_view dir) {
  const std::string entry(WithoutTrailingSlash(dir));
  if (entry.empty() || !IsDirectory(entry) || !HasMp3File(entry)) return TEditResult::kRefused;
  Insert(entries, selection, index, {entry});
  return TEditResult::kChanged;
}

TEditResult AddDirectoryAtEnd(TEntries& entries, TSelection& selection, std::string_view dir) {
  return AddDirectory(entries, selection, entries.size(), dir);
}

TEditResult AddFile(TEntries& entries, TSelection& selection, std::string_view fileName) {
  const std::string path(fileName);
  if (Extension(path) != ".mp3" || !IsRegularFile(path)) return TEditResult::kRefused;
  Insert(entries, selection, entries.size(), {path});
  return TEditResult::kChanged;
}

TEditResult AddSelectedFiles(TEntries& entries, TSelection& selection, size_t index, std::string_view dir,
                             std::span<const std::string> names) {
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    std::string path = JoinPath(dir, name);
    if (!name.empty() && IsRegularFile(path)) paths.push_back(std::move(path));
  }
  if (paths.empty()) return TEditResult::kRefused;
  Insert(entries, selection, index, std::move(paths));
  return TEditResult::kChanged;
}

std::optional<size_t> TopIndexAfterAppend(size_t count) {
  if (count > 5) return count - 5;
  return std::nullopt;
}

TEditResult AddTreeDirectory(TEntries& entries, TSelection& selection, std::string_view dir, bool fileMode) {
  if (fileMode) return TEditResult::kUnchanged;
  return AddDirectoryAtEnd(entries, selection, dir);
}

TEditResult AddFileListSelection(TEntries& entries, TSelection& selection, std::string_view dir,
                                 std::span<const std::string> names, bool fileMode) {
  if (!fileMode) return TEditResult::kUnchanged;
  return AddSelectedFiles(entries, selection, entries.size(), dir, names);
}

TEditResult DropTreeDirectory(TEntries& entries, TSelection& selection, size_t index, std::string_view dir,
                              bool fileMode) {
  if (fileMode) return TEditResult::kUnchanged;
  return AddDirectory(entries, selection, index, dir);
}

TEditResult DropFileListSelection(TEntries& entries, TSelection& selection, size_t index,
                                  std::string_view dir, std::span<const std::string> names, bool fileMode) {
  if (!fileMode) return TEditResult::kUnchanged;
  return AddSelectedFiles(entries, selection, index, dir, names);
}

TShellDrop DropFromShell(TEntries& entries, TSelection& selection, std::span<const std::string> names,
                         TShellDropArea area, bool fileMode) {
  TShellDrop drop;
  if (area == TShellDropArea::kBrowsing) {
    const std::string dir(names.empty() ? std::string_view() : WithoutTrailingSlash(names.front()));
    if (!dir.empty() && IsDirectory(dir))
      drop.navigateTo = dir;
    else
      drop.refused = 1;
    return drop;
  }
  for (const std::string& name : names) {
    const TEditResult r =
        fileMode ? AddFile(entries, selection, name) : AddDirectoryAtEnd(entries, selection, name);
    ++(r == TEditResult::kChanged ? drop.added : drop.refused);
  }
  return drop;
}

TModeView ModeTexts(bool fileMode, const TPlayListSettings& settings) {
  TModeView view;
  view.fileMode = fileMode;
  if (fileMode) {
    view.caption = "プレイリスト （ファイル指定）";
    view.label1 = "MP3ファイル";
    view.pathDepth = settings.PLFileLimit;
    view.filter = "ファイル指定用 (*.pfl)";
    view.defaultExt = "pfl";
  } else {
    view.caption = "プレイリスト （ディレクトリ指定）";
    view.label1 = "MP3ファイル（参考）";
    view.pathDepth = settings.PLDirLimit;
    view.filter = "ディレクトリ指定用 (*.pdr)";
    view.defaultExt = "pdr";
  }
  return view;
}

TModeView ModeView(bool fileMode, const TPlayListSettings& settings, const std::string& homeDir) {
  TModeView view = ModeTexts(fileMode, settings);
  view.entries = ReadListFile(DefaultListPath(homeDir, fileMode), fileMode, homeDir).entries;
  return view;
}

}  // namespace sorrel::playlist
