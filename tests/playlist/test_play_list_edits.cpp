#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "playlist/core/ListFile.h"
#include "playlist/core/PlayListEdits.h"
#include "tests/playlist/TempTree.h"

using namespace sorrel::playlist;

namespace {

TEntries Letters(size_t n) {
  TEntries e;
  for (size_t i = 0; i < n; ++i) e.push_back(std::string(1, char('A' + i)));
  return e;
}

// Moving up as blocks: every run of selected entries that does not start at the top
// changes places with the entry above it.  Written apart from the step-by-step rule,
// to check it against.
void MoveBlocksUp(TEntries& entries, std::vector<bool>& selected) {
  for (size_t i = 0; i < entries.size();) {
    if (!selected[i]) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < entries.size() && selected[end]) ++end;
    if (i > 0) {
      std::rotate(entries.begin() + long(i) - 1, entries.begin() + long(i), entries.begin() + long(end));
      selected[i - 1] = true;
      selected[end - 1] = false;
    }
    i = end;
  }
}

TSelection Indices(const std::vector<bool>& selected) {
  TSelection s;
  for (size_t i = 0; i < selected.size(); ++i)
    if (selected[i]) s.push_back(i);
  return s;
}

class ListEdits : public sorrel::playlist::test::TempTree {};

}  // namespace

TEST(ListMoves, WholeListOrAnEdgeBlockStaysInPlace) {
  TEntries e = Letters(5);
  TSelection all = {0, 1, 2, 3, 4};
  EXPECT_FALSE(MoveSelectionUp(e, all));
  EXPECT_FALSE(MoveSelectionDown(e, all));
  EXPECT_EQ(e, Letters(5));
  EXPECT_EQ(all, (TSelection{0, 1, 2, 3, 4}));
  // With the first entry: it stays, the others move.
  TSelection s = {0, 2, 3};
  EXPECT_TRUE(MoveSelectionUp(e, s));
  EXPECT_EQ(e, (TEntries{"A", "C", "D", "B", "E"}));
  EXPECT_EQ(s, (TSelection{0, 1, 2}));
  EXPECT_FALSE(MoveSelectionUp(e, s));
  // With the last entry, downwards.
  e = Letters(5);
  s = {1, 4};
  EXPECT_TRUE(MoveSelectionDown(e, s));
  EXPECT_EQ(e, (TEntries{"A", "C", "B", "D", "E"}));
  EXPECT_EQ(s, (TSelection{2, 4}));
  // Nothing selected, nothing there.
  s.clear();
  EXPECT_FALSE(MoveSelectionUp(e, s));
  TEntries none;
  s = {0};
  EXPECT_FALSE(MoveSelectionDown(none, s));
  EXPECT_TRUE(s.empty());
}

TEST(ListMoves, EverySelectionMovesAsBlocks) {
  // All 128 selections of 7 entries, up and down (down as up on the reversed list).
  for (unsigned mask = 0; mask < 128; ++mask) {
    std::vector<bool> flags(7);
    for (size_t i = 0; i < 7; ++i) flags[i] = mask >> i & 1;
    TEntries expected = Letters(7);
    std::vector<bool> expectedFlags = flags;
    MoveBlocksUp(expected, expectedFlags);
    TEntries e = Letters(7);
    TSelection s = Indices(flags);
    EXPECT_EQ(MoveSelectionUp(e, s), expected != Letters(7)) << mask;
    EXPECT_EQ(e, expected) << mask;
    EXPECT_EQ(s, Indices(expectedFlags)) << mask;

    TEntries reversed = Letters(7);
    std::reverse(reversed.begin(), reversed.end());
    std::vector<bool> reversedFlags(flags.rbegin(), flags.rend());
    MoveBlocksUp(reversed, reversedFlags);
    std::reverse(reversed.begin(), reversed.end());
    std::reverse(reversedFlags.begin(), reversedFlags.end());
    e = Letters(7);
    s = Indices(flags);
    MoveSelectionDown(e, s);
    EXPECT_EQ(e, reversed) << mask;
    EXPECT_EQ(s, Indices(reversedFlags)) << mask;
  }
}

TEST(ListMoves, SelectionIsTakenInAnyOrderAndStaleIndicesAreDropped) {
  TEntries e = Letters(5);
  TSelection s = {3, 1, 1, 9};
  EXPECT_TRUE(MoveSelectionUp(e, s));
  EXPECT_EQ(e, (TEntries{"B", "A", "D", "C", "E"}));
  EXPECT_EQ(s, (TSelection{0, 2}));
}

TEST(ListMoves, DeleteAndSelectAll) {
  TEntries e = Letters(5);
  TSelection s = {4, 0, 2};
  EXPECT_TRUE(DeleteSelection(e, s));
  EXPECT_EQ(e, (TEntries{"B", "D"}));
  EXPECT_TRUE(s.empty());
  EXPECT_FALSE(DeleteSelection(e, s));
  EXPECT_EQ(e.size(), 2u);
  s = {7};
  SelectAll(e, s);
  EXPECT_EQ(s, (TSelection{0, 1}));
  EXPECT_TRUE(DeleteSelection(e, s));
  EXPECT_TRUE(e.empty());
  SelectAll(e, s);
  EXPECT_TRUE(s.empty());
  // The entries before the first deleted one keep their text, short or long.
  const std::string longPath = "/music/" + std::string(60, 'x');
  e = {"/a", longPath, "/c"};
  s = {2};
  EXPECT_TRUE(DeleteSelection(e, s));
  EXPECT_EQ(e, (TEntries{"/a", longPath}));
}

TEST_F(ListEdits, DirectoriesNeedAnMp3File) {
  for (const char* n :
       {"Album/x.mp3", "Album/notes.txt", "Upper/X.MP3", "Empty/readme.txt", "Only/sub/x.mp3"})
    Touch(n);
  TEntries e = {"e0", "e1", "e2"};
  TSelection s = {1, 2};
  EXPECT_EQ(AddDirectory(e, s, 1, P("Album") + "/"), TEditResult::kChanged);
  EXPECT_EQ(e, (TEntries{"e0", P("Album"), "e1", "e2"}));
  EXPECT_EQ(s, (TSelection{2, 3}));  // the selected entries moved along
  // The mask is "*.MP3" without regard to case; beyond the end is the end.
  EXPECT_EQ(AddDirectory(e, s, 99, P("Upper")), TEditResult::kChanged);
  EXPECT_EQ(e.back(), P("Upper"));
  const TEntries before = e;
  for (const std::string& refused : {P("Empty"), P("Only"), P("Missing"), P("Album/x.mp3"), std::string()})
    EXPECT_EQ(AddDirectoryAtEnd(e, s, refused), TEditResult::kRefused) << refused;
  EXPECT_EQ(e, before);
  EXPECT_EQ(s, (TSelection{2, 3}));
}

TEST_F(ListEdits, FilesNeedTheExactExtension) {
  const std::string a = Touch("a.mp3"), hidden = Touch(".mp3");
  Touch("b.MP3");
  Touch("c.mp3.txt");
  Touch("noext");
  MkDir("dir.mp3");
  ASSERT_EQ(symlink("a.mp3", P("link.mp3").c_str()), 0);
  ASSERT_EQ(symlink("gone.mp3", P("dangling.mp3").c_str()), 0);
  TEntries e;
  TSelection s;
  for (const std::string& f : {a, hidden, P("link.mp3")})
    EXPECT_EQ(AddFile(e, s, f), TEditResult::kChanged) << f;
  for (const char* f : {"b.MP3", "c.mp3.txt", "noext", "dir.mp3", "dangling.mp3", "gone.mp3"})
    EXPECT_EQ(AddFile(e, s, P(f)), TEditResult::kRefused) << f;
  EXPECT_EQ(e, (TEntries{a, hidden, P("link.mp3")}));
}

TEST_F(ListEdits, SelectedFilesAreInsertedTogether) {
  Touch("d/a.mp3");
  Touch("d/B.Mp3");
  TEntries e = {"e0", "e1"};
  TSelection s = {1};
  const std::vector<std::string> names = {"a.mp3", "gone.mp3", "B.Mp3"};
  EXPECT_EQ(AddSelectedFiles(e, s, 1, P("d") + "/", names), TEditResult::kChanged);
  // B.Mp3 came through the file list's mask: taken as it is.
  EXPECT_EQ(e, (TEntries{"e0", P("d/a.mp3"), P("d/B.Mp3"), "e1"}));
  EXPECT_EQ(s, (TSelection{3}));
  const std::vector<std::string> gone = {"gone.mp3"};
  EXPECT_EQ(AddSelectedFiles(e, s, 0, P("d"), gone), TEditResult::kRefused);
  EXPECT_EQ(AddSelectedFiles(e, s, 0, P("d"), {}), TEditResult::kRefused);
  EXPECT_EQ(e.size(), 4u);
  EXPECT_EQ(TopIndexAfterAppend(5), std::nullopt);
  EXPECT_EQ(TopIndexAfterAppend(6), 1u);
}

TEST_F(ListEdits, WhatEachModeTakesFromTheBrowsersAndTheShell) {
  const std::string song = Touch("Album/song.mp3");
  Touch("Album/Other.MP3");
  const std::string empty = MkDir("Empty");
  const std::vector<std::string> names = {"song.mp3"};
  TEntries e;
  TSelection s;
  // The tree: a right click or "L" in file mode adds nothing, and does not beep.
  EXPECT_EQ(AddTreeDirectory(e, s, P("Album/"), true), TEditResult::kUnchanged);
  EXPECT_EQ(DropTreeDirectory(e, s, 0, P("Album/"), true), TEditResult::kUnchanged);
  // The file list in directory mode is for reference only.
  EXPECT_EQ(AddFileListSelection(e, s, P("Album"), names, false), TEditResult::kUnchanged);
  EXPECT_EQ(DropFileListSelection(e, s, 0, P("Album"), names, false), TEditResult::kUnchanged);
  EXPECT_TRUE(e.empty());
  EXPECT_EQ(AddTreeDirectory(e, s, empty, false), TEditResult::kRefused);
  EXPECT_EQ(AddTreeDirectory(e, s, P("Album/"), false), TEditResult::kChanged);
  EXPECT_EQ(DropTreeDirectory(e, s, 0, P("Album"), false), TEditResult::kChanged);
  EXPECT_EQ(e, (TEntries{P("Album"), P("Album")}));
  e.clear();
  EXPECT_EQ(AddFileListSelection(e, s, P("Album"), names, true), TEditResult::kChanged);
  EXPECT_EQ(DropFileListSelection(e, s, 0, P("Album"), std::vector<std::string>{"Other.MP3"}, true),
            TEditResult::kChanged);
  EXPECT_EQ(e, (TEntries{P("Album/Other.MP3"), song}));

  // The shell, onto the list.  File mode: a folder beeps.
  e.clear();
  TShellDrop d = DropFromShell(e, s, std::vector<std::string>{P("Album"), song, P("Album/Other.MP3")},
                               TShellDropArea::kPlayList, true);
  EXPECT_EQ(d.added, 1u);
  EXPECT_EQ(d.refused, 2u);
  EXPECT_TRUE(d.navigateTo.empty());
  EXPECT_EQ(e, (TEntries{song}));
  // Directory mode: folders with MP3s only; a file is not taken as its folder.
  e.clear();
  d = DropFromShell(e, s, std::vector<std::string>{song, P("Album") + "/", empty}, TShellDropArea::kPlayList,
                    false);
  EXPECT_EQ(d.added, 1u);
  EXPECT_EQ(d.refused, 2u);
  EXPECT_EQ(e, (TEntries{P("Album")}));
  // Onto the browsing area, in either mode: the first name must be a folder to show.
  for (const bool fileMode : {true, false}) {
    e.clear();
    d = DropFromShell(e, s, std::vector<std::string>{empty + "/", song}, TShellDropArea::kBrowsing, fileMode);
    EXPECT_EQ(d.navigateTo, empty);
    EXPECT_EQ(d.refused, 0u);
    d = DropFromShell(e, s, std::vector<std::string>{song, empty}, TShellDropArea::kBrowsing, fileMode);
    EXPECT_TRUE(d.navigateTo.empty());
    EXPECT_EQ(d.refused, 1u);
    EXPECT_EQ(DropFromShell(e, s, {}, TShellDropArea::kBrowsing, fileMode).refused, 1u);
    EXPECT_TRUE(e.empty());
  }
}

TEST_F(ListEdits, SwitchingModesShowsEachModesSavedListAndDropsEdits) {
  const std::string home = MkDir("home");
  const std::string song = Touch("song.mp3");
  Touch("Album/x.mp3");
  const std::string album = P("Album");
  ASSERT_TRUE(WriteListFile(DefaultListPath(home, false), TEntries{album}));
  ASSERT_TRUE(WriteListFile(DefaultListPath(home, true), TEntries{song}));
  const std::string dirText = Slurp(DefaultListPath(home, false));
  const std::string fileText = Slurp(DefaultListPath(home, true));
  TPlayListSettings settings;
  settings.PLDirLimit = 1;
  settings.PLFileLimit = 4;

  TModeView view = ModeView(false, settings, home);
  EXPECT_EQ(view.entries, (TEntries{album}));
  EXPECT_EQ(view.pathDepth, 1);
  EXPECT_EQ(view.defaultExt, "pdr");
  // Edits in directory mode, then file mode and back: the edits are gone, unsaved.
  TSelection s = {0};
  ASSERT_TRUE(DeleteSelection(view.entries, s));
  ASSERT_EQ(AddDirectoryAtEnd(view.entries, s, album), TEditResult::kChanged);
  ASSERT_EQ(AddDirectoryAtEnd(view.entries, s, album), TEditResult::kChanged);
  view = ModeView(true, settings, home);
  EXPECT_EQ(view.entries, (TEntries{song}));
  EXPECT_EQ(view.pathDepth, 4);
  EXPECT_EQ(view.defaultExt, "pfl");
  view.entries.clear();
  view = ModeView(false, settings, home);
  EXPECT_EQ(view.entries, (TEntries{album}));
  EXPECT_EQ(ModeView(true, settings, home).entries, (TEntries{song}));
  EXPECT_EQ(Slurp(DefaultListPath(home, false)), dirText);
  EXPECT_EQ(Slurp(DefaultListPath(home, true)), fileText);
  // No default list yet: an empty list.
  EXPECT_TRUE(ModeView(true, settings, P("nowhere")).entries.empty());
}
