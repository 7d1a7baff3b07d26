#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "playlist/core/DirectorySearch.h"
#include "tests/playlist/TempTree.h"

using namespace sorrel::playlist;
using Entries = std::vector<std::string>;

namespace {

// A progress call as the window saw it.
struct Seen {
  TSearchPhase phase;
  std::string status;
  size_t found, scanned, checked, withMp3;
};

class DirectorySearch : public sorrel::playlist::test::TempTree {
 protected:
  // Runs the search from `start`; `onCall(n, progress)` sees call n (from 1) and may
  // set the cancel flag through `cancel_`.
  TSearchResult Search(const std::string& start,
                       std::function<void(size_t, const TSearchProgress&)> onCall = {},
                       TSearchOptions options = {}) {
    cancel_ = false;
    seen_.clear();
    return SearchAllDirectories(
        start, cancel_,
        [&](const TSearchProgress& p) {
          seen_.push_back({p.phase, std::string(p.status), p.found, p.scanned, p.checked, p.withMp3});
          if (onCall) onCall(seen_.size(), p);
        },
        options);
  }
  // The full paths of relative directories, as the search gives them.
  Entries Full(std::initializer_list<const char*> rels) const {
    Entries out;
    for (const char* r : rels) out.push_back(*r ? P(r) : root_ + "/");
    return out;
  }

  std::atomic<bool> cancel_{false};
  std::vector<Seen> seen_;
};

}  // namespace

TEST_F(DirectorySearch, StartDirectoryAloneIsAddedWithItsSlash) {
  Touch("song.mp3");
  Touch("notes.txt");
  for (const std::string& start : {root_, root_ + "/"}) {
    const TSearchResult r = Search(start);
    EXPECT_EQ(r.outcome, TSearchOutcome::kCompleted);
    EXPECT_EQ(r.entries, Full({""})) << start;
    EXPECT_EQ(r.directories, 1u);
  }
  // No MP3 file anywhere below: nothing, and no error.
  std::filesystem::remove(P("song.mp3"));
  MkDir("a/b/c");
  Touch("a/b/readme.txt");
  const TSearchResult none = Search(root_);
  EXPECT_EQ(none.outcome, TSearchOutcome::kCompleted);
  EXPECT_TRUE(none.entries.empty());
  EXPECT_EQ(none.directories, 4u);
  // A start that is not there, or empty (never the whole disk), finds nothing.
  EXPECT_TRUE(Search(P("missing")).entries.empty());
  const TSearchResult empty = Search("");
  EXPECT_EQ(empty.outcome, TSearchOutcome::kCompleted);
  EXPECT_EQ(empty.directories, 0u);
}

TEST_F(DirectorySearch, ResultsInTreeOrderWithoutRegardToCase) {
  for (const char* n : {"a/x.mp3", "a/b/x.mp3", "a-b/x.mp3", "A1/x.MP3", "B/x.Mp3", "B/c/d/x.mp3",
                        "Empty/sub/x.mp3", "b2/x.txt", "x.mp3"})
    Touch(n);
  MkDir("song.mp3.d");
  Touch("file.mp3");  // a file is no directory, whatever its name
  const TSearchResult r = Search(root_ + "/");
  EXPECT_EQ(r.outcome, TSearchOutcome::kCompleted);
  // A directory's subdirectories come right after it ("a/b" before "a-b"); "Empty" and
  // "B/c" hold no MP3 file themselves.
  EXPECT_EQ(r.entries, Full({"", "a", "a/b", "a-b", "A1", "B", "B/c/d", "Empty/sub"}));
  EXPECT_EQ(r.directories, 12u);
  EXPECT_EQ(r.unreadable, 0u);
}

TEST_F(DirectorySearch, DotDirectoriesAreNeitherSearchedNorAdded) {
  for (const char* n :
       {".hidden/x.mp3", ".hidden/sub/x.mp3", "v/.git/x.mp3", "v/x.mp3", "..dots/x.mp3", "w/.mp3"})
    Touch(n);
  const TSearchResult r = Search(root_);
  // A dot *file* still counts as an MP3 file of its directory ("w").
  EXPECT_EQ(r.entries, Full({"v", "w"}));
  EXPECT_EQ(r.directories, 3u);
  for (const Seen& s : seen_) EXPECT_EQ(s.status.find('.'), std::string::npos) << s.status;
  // The start directory itself may be a dot directory: it was chosen, not found.
  EXPECT_EQ(Search(P(".hidden")).entries, (Entries{P(".hidden") + "/", P(".hidden/sub")}));
}

TEST_F(DirectorySearch, LinkLoopsEndAndEachDirectoryIsWalkedOnce) {
  for (const char* n : {"a/x.mp3", "a/b/x.mp3", "z/x.mp3"}) Touch(n);
  ASSERT_EQ(symlink("..", P("a/up").c_str()), 0);         // back to the start
  ASSERT_EQ(symlink(".", P("a/self").c_str()), 0);        // itself
  ASSERT_EQ(symlink("../../z", P("a/b/zz").c_str()), 0);  // a directory also found at depth 1
  ASSERT_EQ(symlink("a", P("c").c_str()), 0);             // the same directory under another name
  ASSERT_EQ(symlink("gone", P("dangling").c_str()), 0);
  ASSERT_EQ(symlink("a/x.mp3", P("song").c_str()), 0);
  ASSERT_EQ(symlink("loop", P("loop").c_str()), 0);
  const TSearchResult r = Search(root_, [&](size_t n, const TSearchProgress&) {
    if (n > 10000) cancel_ = true;  // an endless walk fails here instead of hanging
  });
  EXPECT_EQ(r.outcome, TSearchOutcome::kCompleted);
  // "a" before "c" by name; "z" at depth 1 before "a/b/zz" at depth 3.
  EXPECT_EQ(r.entries, Full({"a", "a/b", "z"}));
  EXPECT_EQ(r.directories, 4u);
  EXPECT_EQ(r.revisits, 4u);  // c, a/up, a/self, a/b/zz
  // From a start reached through a link, "c/up" leads to a directory not walked yet
  // and is entered; "z" is then taken by "c/b/zz", one level up.
  const TSearchResult viaLink = Search(P("c"));
  EXPECT_EQ(viaLink.outcome, TSearchOutcome::kCompleted);
  EXPECT_EQ(viaLink.entries, (Entries{P("c/"), P("c/b"), P("c/b/zz")}));
  EXPECT_EQ(viaLink.directories, 4u);  // c, c/b, c/up, c/b/zz
}

TEST_F(DirectorySearch, UnreadableDirectoriesAreSkipped) {
  for (const char* n : {"open/x.mp3", "locked/x.mp3", "locked/inner/x.mp3", "open/deep/x.mp3"}) Touch(n);
  ASSERT_EQ(chmod(P("locked").c_str(), 0), 0);
  EXPECT_TRUE(sorrel::playlist::test::WithoutPrivileges([&] {
    std::atomic<bool> cancel{false};
    const TSearchResult r = SearchAllDirectories(root_, cancel, {});
    return r.outcome == TSearchOutcome::kCompleted && r.entries == Full({"open", "open/deep"}) &&
           r.unreadable == 1 && r.directories == 4;
  }));
}

TEST_F(DirectorySearch, DirectoriesVanishingDuringTheWalkAreSkipped) {
  for (const char* n : {"early/x.mp3", "early/sub/x.mp3", "late/x.mp3", "stay/x.mp3"}) Touch(n);
  // Gone after the start was listed, before it is entered.
  TSearchResult r = Search(root_, [&](size_t n, const TSearchProgress&) {
    if (n == 1) std::filesystem::remove_all(P("early"));
  });
  EXPECT_EQ(r.outcome, TSearchOutcome::kCompleted);
  EXPECT_EQ(r.entries, Full({"late", "stay"}));
  EXPECT_EQ(r.unreadable, 1u);
  // Gone during the checking pass: not added; nor is the start itself once it is gone.
  Touch("early/x.mp3");
  Touch("x.mp3");
  r = Search(root_, [&](size_t, const TSearchProgress& p) {
    if (p.phase == TSearchPhase::kChecking && p.checked == 1) {
      std::filesystem::remove_all(P("late"));
      std::filesystem::remove_all(P("stay"));
    }
  });
  EXPECT_EQ(r.outcome, TSearchOutcome::kCompleted);
  EXPECT_EQ(r.entries, Full({"", "early"}));
  r = Search(root_, [&](size_t n, const TSearchProgress&) {
    if (n == 1) std::filesystem::remove_all(root_);
  });
  EXPECT_EQ(r.outcome, TSearchOutcome::kCompleted);
  EXPECT_TRUE(r.entries.empty());
}

TEST_F(DirectorySearch, CancelAtAnyCallAddsNothing) {
  // Enough entries per directory that some calls come from inside a directory.
  for (int d = 0; d < 6; ++d)
    for (int f = 0; f < 5; ++f)
      Touch("d" + std::to_string(d) + "/s" + std::to_string(d % 2) + "/f" + std::to_string(f) + ".mp3");
  TSearchOptions options;
  options.entriesPerProgress = 3;
  const TSearchResult full = Search(root_, {}, options);
  ASSERT_EQ(full.outcome, TSearchOutcome::kCompleted);
  ASSERT_EQ(full.entries.size(), 6u);
  const std::vector<Seen> all = seen_;
  const size_t calls = all.size();
  size_t checkingCalls = 0, insideDirectory = 0;
  for (size_t i = 0; i < calls; ++i) {
    checkingCalls += all[i].phase == TSearchPhase::kChecking;
    // A searching call that did not finish a directory came from inside one.
    insideDirectory +=
        all[i].phase == TSearchPhase::kSearching && all[i].scanned == (i ? all[i - 1].scanned : 0);
  }
  ASSERT_EQ(checkingCalls, full.directories);  // the last call ends the checking pass
  ASSERT_GT(insideDirectory, 0u);
  for (size_t k = 1; k <= calls; ++k) {
    const TSearchResult r = Search(
        root_,
        [&](size_t n, const TSearchProgress&) {
          if (n == k) cancel_ = true;
        },
        options);
    EXPECT_EQ(r.outcome, TSearchOutcome::kCancelled) << "cancelled at call " << k;
    EXPECT_TRUE(r.entries.empty()) << "cancelled at call " << k;
    EXPECT_EQ(seen_.size(), k) << "the search went on after call " << k;
  }
  // Cancelled before it starts: no call at all.
  std::atomic<bool> cancelled{true};
  size_t n = 0;
  const TSearchResult r = SearchAllDirectories(root_, cancelled, [&](const TSearchProgress&) { ++n; });
  EXPECT_EQ(r.outcome, TSearchOutcome::kCancelled);
  EXPECT_EQ(n, 0u);
}

TEST_F(DirectorySearch, ProgressShowsEachDirectoryAndComesOftenInALargeOne) {
  for (const char* n : {"a/x.mp3", "a/b/x.mp3", "c/x.txt"}) Touch(n);
  for (int i = 0; i < 600; ++i) Touch("many/f" + std::to_string(i) + ".txt");
  const TSearchResult r = Search(root_);
  ASSERT_EQ(r.outcome, TSearchOutcome::kCompleted);
  std::vector<std::string> scannedStatus, checkedStatus;
  size_t inMany = 0;
  for (size_t i = 0; i < seen_.size(); ++i) {
    const Seen& s = seen_[i];
    if (i > 0) {
      EXPECT_GE(s.found, seen_[i - 1].found);
      EXPECT_GE(s.scanned, seen_[i - 1].scanned);
      EXPECT_GE(s.checked, seen_[i - 1].checked);
    }
    const size_t before = i ? seen_[i - 1].scanned : 0;
    if (s.phase == TSearchPhase::kSearching && s.scanned > before) scannedStatus.push_back(s.status);
    if (s.phase == TSearchPhase::kSearching && s.scanned == before && s.status == "many/") ++inMany;
    if (s.phase == TSearchPhase::kChecking) checkedStatus.push_back(s.status);
  }
  // Searching shows each directory with its "/", breadth first; checking without it, in
  // the order of the results.
  EXPECT_EQ(scannedStatus, (std::vector<std::string>{"", "a/", "c/", "many/", "a/b/"}));
  EXPECT_EQ(checkedStatus, (std::vector<std::string>{"", "a", "a/b", "c", "many"}));
  EXPECT_EQ(seen_.front().status, "");
  EXPECT_EQ(seen_.back().withMp3, 2u);
  // 602 entries with "." and "..": calls after the 256th and the 512th.
  EXPECT_EQ(inMany, 2u);
}

TEST_F(DirectorySearch, TooManyDirectoriesIsTheErrorStateAndAddsNothing) {
  for (const char* n : {"a/x.mp3", "b/x.mp3", "b/c/x.mp3", "d/x.mp3"}) Touch(n);
  TSearchOptions options;
  options.maxDirectories = 5;  // exactly enough
  EXPECT_EQ(Search(root_, {}, options).entries.size(), 4u);
  options.maxDirectories = 4;
  const TSearchResult r = Search(root_, {}, options);
  EXPECT_EQ(r.outcome, TSearchOutcome::kFailed);
  EXPECT_TRUE(r.entries.empty());
  // The error text: two lines, indented with ideographic spaces.
  const std::string text = SearchErrorText();
  const std::string space = "\u3000";
  EXPECT_EQ(text.find(space + "ディ"), 17 * space.size());
  EXPECT_EQ(text.find("\r\n") + 2 + 24 * space.size(), text.find("中止します"));
}
