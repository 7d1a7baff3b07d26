// The Play button, opening a list file and playing it, and the start-up restore, on
// private trees with a recording host in place of the windows.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playlist/core/PlayListController.h"
#include "tests/playlist/TempTree.h"

using namespace sorrel::playlist;
using Entries = std::vector<std::string>;

namespace {

class RecordingHost : public TPlayListHost {
 public:
  TCurrentMusic cm;
  bool tarnLyric = false;
  bool playWithLyric = false;
  std::string playerFile;
  bool playerOpened = false;
  std::vector<std::string> log;
  const PlayFileList* files = nullptr;

  TCurrentMusic& CurrentMusic() override { return cm; }
  bool TarnLyric() const override { return tarnLyric; }
  bool PlayWithLyric() const override { return playWithLyric; }
  void SetPlayWithLyric(bool on) override { playWithLyric = on; }
  void SetMainShuffle(bool checked) override {
    log.push_back(std::string("main shuffle ") + (checked ? "on" : "off"));
  }
  void ShowShuffle(bool checked) override {
    log.push_back(std::string("show shuffle ") + (checked ? "on" : "off"));
  }
  std::string PlayerFileName() const override { return playerFile; }
  bool PlayerIsOpened() const override { return playerOpened; }
  // Playing as the main window does: the row's song becomes the player's.
  void StartPlaying() override {
    const int row = cm.MusicIndex >= 0 && size_t(cm.MusicIndex) < files->Count() ? cm.MusicIndex : 0;
    log.push_back("play " + std::to_string(row));
    if (files->Empty()) return;
    playerFile = cm.CurFile = files->AtRow(size_t(row)).path;
    playerOpened = true;
  }
  void StartAfterStartUp(bool resume) override {
    log.push_back("start " + std::to_string(cm.MusicIndex) + (resume ? " resume " : " ") +
                  std::to_string(cm.CurPos));
  }
  void SelectCurrentRow() override { log.push_back("select"); }
  void RefreshDisplay() override { log.push_back("refresh"); }
  void CloseEditor() override { log.push_back("close editor"); }
  void SetLabel4(TLabel4 t) override {
    if (t == TLabel4::kNoPlayFiles) log.push_back("no play files");
  }
  void WarningBeep() override { log.push_back("beep"); }
  void NoLyricSongsMessage() override { log.push_back("no lyric songs"); }
  void PlayFilesChanged() override {}
  void Report(const std::string& m) override { reports.push_back(m); }
  std::vector<std::string> reports;
};

class Controller : public sorrel::playlist::test::TempTree {
 protected:
  void SetUp() override {
    TempTree::SetUp();
    host_.files = &files_;
  }
  TPlayListController& C() {
    if (!controller_) controller_ = std::make_unique<TPlayListController>(root_, list_, files_, host_);
    return *controller_;
  }
  Entries Paths() const {
    Entries v;
    for (size_t r = 0; r < files_.Count(); ++r) v.push_back(files_.AtRow(r).path);
    return v;
  }
  // Three songs in a file list, played from the first, the log cleared.
  void PlayingFileList() {
    list_ = {{Touch("a/1.mp3"), Touch("a/2.mp3"), Touch("b/3.mp3")}, true};
    host_.cm.ListFileMode = true;
    ASSERT_TRUE(C().BuildPlayFiles(true));
    host_.cm.MusicIndex = 1;
    host_.StartPlaying();
    host_.log.clear();
  }

  TPlayList list_;
  PlayFileList files_;
  RecordingHost host_;
  std::unique_ptr<TPlayListController> controller_;
};

// The same order the generator gives by its definition: seed := seed * 134775813 + 1,
// j := high half of seed * n, exchange i and j, for every i.
std::vector<uint32_t> ShuffledByDefinition(size_t n, uint32_t seed) {
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = uint32_t(i);
  for (uint64_t i = 0; i < n; ++i) {
    seed = uint32_t(uint64_t(seed) * 0x08088405u + 1u);
    std::swap(order[i], order[(uint64_t(seed) * n) >> 32]);
  }
  return order;
}

}  // namespace

TEST_F(Controller, PlayWithNothingChangedKeepsTheSongPlaying) {
  PlayingFileList();
  C().PlayClick({false, false});
  EXPECT_EQ(host_.log, (Entries{"select", "refresh", "close editor"}));
  EXPECT_EQ(host_.cm.MusicIndex, 1);
  EXPECT_EQ(host_.playerFile, P("a/2.mp3"));
  // The play list was saved as the default list of its mode.
  EXPECT_EQ(Slurp(P("Default.tfl")), P("a/1.mp3") + "\r\n" + P("a/2.mp3") + "\r\n" + P("b/3.mp3") + "\r\n");
}

TEST_F(Controller, PlayRestartsWhenTheSongLeftItsPlaceOrTheModeChanged) {
  PlayingFileList();
  // The song that plays is no longer at MusicIndex.
  list_.Entries.erase(list_.Entries.begin());
  host_.cm.CurPos = 5000;
  C().PlayClick({false, false});
  EXPECT_EQ(host_.log, (Entries{"play 0", "main shuffle off", "close editor"}));
  EXPECT_EQ(host_.cm.CurPos, 0);
  EXPECT_EQ(host_.playerFile, P("a/2.mp3"));

  // Directory mode now: not the same, although the song would be at its place.
  host_.log.clear();
  list_ = {{P("a"), P("b")}, false};
  host_.cm.MusicIndex = 0;
  host_.playerFile = P("a/1.mp3");
  C().PlayClick({false, false});
  EXPECT_FALSE(host_.cm.ListFileMode);
  EXPECT_EQ(host_.log, (Entries{"play 0", "main shuffle off", "close editor"}));

  // Same choices, but the player has no file open: from the first row.
  host_.log.clear();
  host_.playerOpened = false;
  host_.cm.MusicIndex = 2;
  host_.playerFile = P("b/3.mp3");
  C().PlayClick({false, false});
  EXPECT_EQ(host_.log, (Entries{"select", "refresh", "play 0", "close editor"}));
}

TEST_F(Controller, PlayWithAnotherShuffleLeavesTheSwitchToTheMainWindow) {
  PlayingFileList();
  C().PlayClick({true, false});
  // No restart here: the main window's shuffle switch keeps the song or picks the row.
  EXPECT_EQ(host_.log, (Entries{"main shuffle on", "close editor"}));
  EXPECT_EQ(Paths(), (Entries{P("a/1.mp3"), P("a/2.mp3"), P("b/3.mp3")}));

  // Both on: the order is shuffled with the kept seed, the same order as before.
  host_.log.clear();
  host_.cm.Shuffle = true;
  host_.cm.ShuffleSeed = 12345;
  C().PlayClick({true, false});
  std::vector<uint32_t> order = files_.PlayOrder();
  EXPECT_EQ(order, ShuffledByDefinition(3, 12345));
}

TEST_F(Controller, PlayThatGivesNothingKeepsTheEditorOpenAndTheOldOrder) {
  PlayingFileList();
  host_.tarnLyric = true;
  // No song has a lyric file: with the filter nothing is left.
  C().PlayClick({false, true});
  EXPECT_EQ(host_.log, (Entries{"no play files", "beep", "no lyric songs"}));
  EXPECT_FALSE(host_.playWithLyric);
  EXPECT_EQ(Paths().size(), 3u);
  // With a lyric file beside one song, that song alone plays.
  host_.log.clear();
  Touch("b/3.lrc");
  C().PlayClick({false, true});
  EXPECT_TRUE(host_.playWithLyric);
  EXPECT_EQ(Paths(), Entries{P("b/3.mp3")});
  EXPECT_EQ(host_.log, (Entries{"play 0", "main shuffle off", "close editor"}));

  // Without the lyric choice an empty play list only keeps the editor open, silently.
  host_.log.clear();
  list_.Entries = {P("gone.mp3")};
  C().PlayClick({false, false});
  EXPECT_EQ(host_.log, Entries{});
  EXPECT_EQ(Paths(), Entries{P("b/3.mp3")});
}

TEST_F(Controller, OpenListFileTakesItsModeFromTheExtension) {
  Touch("T/01.mp3");
  Touch("T/02.MP3");
  Touch("one.mp3");
  const std::string pdr = Touch("car.PDR", "T\r\n");
  const std::string m3u = Touch("mix.M3U", "#EXTM3U\n" + P("one.mp3") + "\n");
  host_.cm.Shuffle = true;
  host_.cm.MusicIndex = 7;
  ASSERT_TRUE(C().OpenListFileAndPlay(pdr));
  EXPECT_FALSE(host_.cm.ListFileMode);
  EXPECT_FALSE(host_.cm.Shuffle);
  EXPECT_EQ(host_.log, (Entries{"show shuffle off", "play 0"}));
  EXPECT_EQ(Paths(), (Entries{P("T/01.mp3"), P("T/02.MP3")}));
  // The opened list is the default list of its mode now.
  EXPECT_EQ(Slurp(P("Default.tdr")), P("T") + "\r\n");

  ASSERT_TRUE(C().OpenListFileAndPlay(m3u));
  EXPECT_TRUE(host_.cm.ListFileMode);
  EXPECT_EQ(Paths(), Entries{P("one.mp3")});
  EXPECT_EQ(Slurp(P("Default.tfl")), P("one.mp3") + "\r\n");
}

TEST_F(Controller, UnknownExtensionOrAListWithoutSongsBeepsAndChangesNothing) {
  Touch("T/01.mp3");
  const std::string pdr = Touch("car.pdr", "T\r\n");
  ASSERT_TRUE(C().OpenListFileAndPlay(pdr));
  const std::string defaults = Slurp(P("Default.tdr"));
  host_.log.clear();

  for (const std::string& bad :
       {Touch("car.txt", "T\r\n"), Touch("nothing.pfl", "missing.mp3\r\nT/01.MP3\r\n"), P("absent.pdr"),
        Touch("junk.pfl", std::string("\0\x01\xff\xfe\r\n\r\x80", 9)), MkDir("folder.pfl"),
        Touch("long.pdr", std::string(1 << 20, 'T') + "\r\n")}) {
    EXPECT_FALSE(C().OpenListFileAndPlay(bad)) << bad;
    EXPECT_EQ(host_.log, Entries{"beep"}) << bad;
    host_.log.clear();
  }
  EXPECT_FALSE(host_.cm.ListFileMode);
  EXPECT_FALSE(list_.FileMode);
  EXPECT_EQ(list_.Entries, Entries{P("T")});
  EXPECT_EQ(Paths(), Entries{P("T/01.mp3")});
  EXPECT_EQ(Slurp(P("Default.tdr")), defaults);
  EXPECT_FALSE(std::filesystem::exists(P("Default.tfl")));
}

TEST_F(Controller, ListWhoseSongsVanishBeforeTheBuildChangesNothing) {
  Touch("T/01.mp3");
  ASSERT_TRUE(C().OpenEntriesAndPlay({P("T/01.mp3")}, true));
  host_.log.clear();
  // Read, then gone before the play files are built: as a list without songs.
  EXPECT_FALSE(C().OpenEntriesAndPlay({P("gone.mp3")}, true));
  EXPECT_EQ(host_.log, Entries{"beep"});
  EXPECT_EQ(list_.Entries, Entries{P("T/01.mp3")});
  EXPECT_EQ(Paths(), Entries{P("T/01.mp3")});
  EXPECT_EQ(Slurp(P("Default.tfl")), P("T/01.mp3") + "\r\n");
}

TEST_F(Controller, StartUpRestoreResumesTheStoredSongOrStartsOver) {
  for (const char* n : {"A/1.mp3", "A/2.mp3", "B/1.mp3"}) Touch(n);
  Touch("Default.tdr", "A\r\nB\r\n");
  host_.cm.MusicIndex = 2;
  host_.cm.CurFile = P("B/1.mp3");
  host_.cm.CurPos = 4000;
  C().StartUpRestore("");
  EXPECT_EQ(host_.log, Entries{"start 2 resume 4000"});

  // Another song at MusicIndex than the stored one: the first row, at its start.
  TPlayList list2;
  PlayFileList files2;
  RecordingHost host2;
  host2.files = &files2;
  host2.cm.MusicIndex = 1;
  host2.cm.CurFile = P("B/1.mp3");
  host2.cm.CurPos = 4000;
  TPlayListController c2(root_, list2, files2, host2);
  c2.StartUpRestore("");
  EXPECT_EQ(host2.log, Entries{"start 0 resume 0"});

  // A MusicIndex beyond the play files becomes 0 before the comparison.
  host2 = {};
  host2.files = &(files2 = {});
  host2.cm.MusicIndex = 99;
  host2.cm.CurFile = P("A/1.mp3");
  host2.cm.CurPos = 1234;
  c2.StartUpRestore("");
  EXPECT_EQ(host2.log, Entries{"start 0 resume 1234"});
}

TEST_F(Controller, StartUpRestoreWithoutSongsSaysSoAndPlaysNothing) {
  // No default list at all.
  C().StartUpRestore("");
  EXPECT_EQ(host_.log, Entries{"no play files"});
  // A negative MusicIndex: nothing plays either.
  Touch("A/1.mp3");
  Touch("Default.tdr", "A\r\n");
  TPlayList list2;
  PlayFileList files2;
  RecordingHost host2;
  host2.files = &files2;
  host2.cm.MusicIndex = -1;
  TPlayListController(root_, list2, files2, host2).StartUpRestore("");
  EXPECT_EQ(host2.log, Entries{"no play files"});
  EXPECT_EQ(files2.Count(), 1u);
}

TEST_F(Controller, StartUpRestoreOpensTheFirstArgumentAndStartsItOnce) {
  for (const char* n : {"A/1.mp3", "A/2.mp3", "B/1.mp3"}) Touch(n);
  Touch("Default.tfl", P("A/2.mp3") + "\r\n");
  const std::string pdr = Touch("car.pdr", "B\r\nA\r\n");
  host_.cm.ListFileMode = true;
  host_.cm.MusicIndex = 0;
  host_.cm.CurFile = P("B/1.mp3");
  host_.cm.CurPos = 4000;
  C().StartUpRestore(pdr);
  // Not resumed, and started once (by the restore, not by the opening as well).
  EXPECT_EQ(host_.log, (Entries{"show shuffle off", "start 0 0"}));
  EXPECT_FALSE(host_.cm.ListFileMode);
  EXPECT_EQ(Paths(), (Entries{P("B/1.mp3"), P("A/1.mp3"), P("A/2.mp3")}));
  EXPECT_EQ(Slurp(P("Default.tfl")), P("A/2.mp3") + "\r\n");
}

TEST_F(Controller, StartUpRestoreFallsBackToTheDefaultListWhenTheArgumentFails) {
  Touch("A/1.mp3");
  Touch("Default.tfl", P("A/1.mp3") + "\r\n");
  host_.cm.ListFileMode = true;
  host_.cm.CurFile = P("A/1.mp3");
  host_.cm.CurPos = 4000;
  C().StartUpRestore(P("car.txt"));
  // The argument's CurPos of 0 stays, and the default list resumes there.
  EXPECT_EQ(host_.log, (Entries{"beep", "start 0 resume 0"}));
}

TEST_F(Controller, StartUpRestoreRestoresTheShuffledOrderOfTheStoredSeed) {
  for (int i = 0; i < 7; ++i) Touch("A/" + std::to_string(i) + ".mp3");
  Touch("Default.tdr", "A\r\n");
  host_.cm.Shuffle = true;
  host_.cm.ShuffleSeed = -559038737;  // 0xDEADBEEF as the settings file stores it
  host_.cm.MusicIndex = 3;
  C().StartUpRestore("");
  EXPECT_EQ(files_.PlayOrder(), ShuffledByDefinition(7, 0xDEADBEEFu));
  const std::string third = P("A/" + std::to_string(ShuffledByDefinition(7, 0xDEADBEEFu)[3]) + ".mp3");
  EXPECT_EQ(files_.AtRow(3).path, third);
}

TEST_F(Controller, UnreadableVanishedAndLoopingDirectoriesGiveWhatIsLeft) {
  Touch("ok/1.mp3");
  Touch("locked/1.mp3");
  Touch("gone/1.mp3");
  std::filesystem::create_directory_symlink(P("loop"), P("loop"));
  Touch("Default.tdr", "ok\r\nlocked\r\ngone\r\nloop\r\n");
  host_.cm.CurFile = P("ok/1.mp3");
  // The list is read first; then one directory is locked and one removed before the
  // play files are built from it.
  struct ChangingHost : RecordingHost {
    std::function<void()> onWaiting;
    int waits = 0;
    void SetLabel4(TLabel4 t) override {
      if (t == TLabel4::kWaiting && ++waits == 2) onWaiting();
      RecordingHost::SetLabel4(t);
    }
  } host;
  host.files = &files_;
  host.cm.CurFile = P("ok/1.mp3");
  host.onWaiting = [&] {
    chmod(P("locked").c_str(), 0);
    std::filesystem::remove_all(P("gone"));
  };
  // The child without privileges locks and removes them itself: the tree is its own.
  if (geteuid() == 0) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(root_))
      ASSERT_EQ(lchown(e.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(root_.c_str(), 65534, 65534), 0);
  }
  const bool ok = sorrel::playlist::test::WithoutPrivileges([&] {
    TPlayListController c(root_, list_, files_, host);
    c.StartUpRestore("");
    return list_.Entries == Entries{P("ok"), P("locked"), P("gone")} && Paths() == Entries{P("ok/1.mp3")} &&
           host.log == Entries{"start 0 resume 0"};
  });
  EXPECT_TRUE(ok);
}
