// The browsing controls' logic without a display: paths, the file list's listing with
// its masks and file kinds, the tree's subdirectories with their loops, and the drives.
#include "base/NameOrder.h"
#include "controls/core/BrowsePaths.h"
#include "controls/core/DirEntries.h"
#include "controls/core/Drives.h"
#include "controls/core/ListBoxRules.h"
#include "tests/controls/BrowseTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>

using namespace sorrel::controls;
using sorrel::controls::test::PrivateMounts;
using sorrel::controls::test::TempTree;
using sorrel::controls::test::WithoutPrivileges;
using Names = std::vector<std::string>;

TEST(BrowsePaths, TidiedWithoutTheFileSystem) {
  EXPECT_EQ(NormalizePath("/"), "/");
  EXPECT_EQ(NormalizePath(""), "/");
  EXPECT_EQ(NormalizePath("//a///b/"), "/a/b");
  EXPECT_EQ(NormalizePath("/a/./b/../c/."), "/a/c");
  EXPECT_EQ(NormalizePath("/../.."), "/");
  EXPECT_EQ(NormalizePath("x/../y", "/base/dir"), "/base/dir/y");
  EXPECT_EQ(NormalizePath("../y", "/base/dir"), "/base/y");
  EXPECT_EQ(NormalizePath(".", "/base"), "/base");
  EXPECT_EQ(WithTrailingSlash("/"), "/");
  EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
  EXPECT_EQ(WithTrailingSlash("/a//"), "/a/");
  EXPECT_EQ(JoinName("/", "x"), "/x");
  EXPECT_EQ(JoinName("/a/", "x"), "/a/x");
}

TEST(BrowsePaths, BelowARootByWholeNames) {
  EXPECT_TRUE(PathUnder("/media/usb", "/media/usb"));
  EXPECT_TRUE(PathUnder("/media/usb/", "/media/usb/a/b"));
  EXPECT_FALSE(PathUnder("/media/usb", "/media/usb2/a"));
  EXPECT_FALSE(PathUnder("/media/usb", "/media"));
  EXPECT_TRUE(PathUnder("/", "/anything"));
  EXPECT_EQ(NamesBelow("/a", "/a/b/c/"), (Names{"b", "c"}));
  EXPECT_EQ(NamesBelow("/", "/x/y"), (Names{"x", "y"}));
  EXPECT_TRUE(NamesBelow("/a", "/a").empty());
  EXPECT_TRUE(NamesBelow("/a", "/b/c").empty());
}

TEST(BrowsePaths, SplitIntoDirectoryAndName) {
  const auto parts = [](const char* p) {
    const TPathParts s = SplitFilePath(p);
    return Names{s.directory, s.name};
  };
  EXPECT_EQ(parts("/a/b/song.mp3"), (Names{"/a/b", "song.mp3"}));
  EXPECT_EQ(parts("/a/b/"), (Names{"/a/b", ""}));
  EXPECT_EQ(parts("/song.mp3"), (Names{"/", "song.mp3"}));
  EXPECT_EQ(parts("//x"), (Names{"/", "x"}));
  EXPECT_EQ(parts("song.mp3"), (Names{"", "song.mp3"}));
  EXPECT_EQ(LastName("/media/tarn/USB/"), "USB");
  EXPECT_EQ(LastName("/"), "/");
  EXPECT_TRUE(HasWildcard("*.mp3"));
  EXPECT_TRUE(HasWildcard("a?.mp3"));
  EXPECT_FALSE(HasWildcard("a.mp3"));
}

using FileListing = TempTree;

TEST_F(FileListing, MaskIgnoresCaseAndNamesSortWithoutRegardToCase) {
  for (const char* n : {"B.Mp3", "a.mp3", "c.MP3", "note.txt", "x.mp3x", "A.mp3"})
    Touch(std::string("d/") + n);
  const TFileListing l = ListFileNames(P("d"), {"*.MP3"}, ftNormal);
  EXPECT_TRUE(l.readable);
  EXPECT_EQ(l.names, (Names{"A.mp3", "a.mp3", "B.Mp3", "c.MP3"}));
  // A name matching two patterns is listed once.
  EXPECT_EQ(ListFileNames(P("d"), sorrel::base::SplitMask("*.mp3;a*;*.TXT"), ftNormal).names,
            (Names{"A.mp3", "a.mp3", "B.Mp3", "c.MP3", "note.txt"}));
  EXPECT_TRUE(ListFileNames(P("d"), {}, ftNormal).names.empty());
}

TEST_F(FileListing, FileKindsAsOnTheSystemTheMasksComeFrom) {
  Touch("d/plain.mp3");
  Touch("d/.dot.mp3");
  Touch("d/listed.mp3");
  Touch("d/.hidden", "listed.mp3\nhidsub.mp3\n");
  MkDir("d/sub.mp3");
  MkDir("d/.dotsub.mp3");
  MkDir("d/hidsub.mp3");
  Touch("d/ro.mp3");
  chmod(P("d/ro.mp3").c_str(), 0444);
  ASSERT_EQ(mkfifo(P("d/pipe.mp3").c_str(), 0600), 0);
  Link("plain.mp3", "d/link.mp3");
  Link("nowhere.mp3", "d/gone.mp3");
  Link("loop.mp3", "d/loop.mp3");
  Link("sub.mp3", "d/dirlink.mp3");
  const auto list = [&](TFileType t) { return ListFileNames(P("d"), {"*.mp3"}, t).names; };
  const Names regular = {"link.mp3", "plain.mp3", "ro.mp3"};
  EXPECT_EQ(list(ftNormal), regular);
  EXPECT_EQ(list(ftNormal | ftHidden), (Names{".dot.mp3", "link.mp3", "listed.mp3", "plain.mp3", "ro.mp3"}));
  EXPECT_EQ(list(ftNormal | ftDirectory),
            (Names{"dirlink.mp3", "link.mp3", "plain.mp3", "ro.mp3", "sub.mp3"}));
  // A hidden directory needs both kinds.
  EXPECT_EQ(list(ftNormal | ftDirectory | ftHidden),
            (Names{".dot.mp3", ".dotsub.mp3", "dirlink.mp3", "hidsub.mp3", "link.mp3", "listed.mp3",
                   "plain.mp3", "ro.mp3", "sub.mp3"}));
  EXPECT_EQ(list(ftNormal | ftSystem), (Names{"link.mp3", "pipe.mp3", "plain.mp3", "ro.mp3"}));
  // Without ftNormal only entries of a chosen kind.
  EXPECT_EQ(list(ftReadOnly), (Names{"ro.mp3"}));
  EXPECT_EQ(list(ftHidden), (Names{".dot.mp3", "listed.mp3"}));
  EXPECT_EQ(list(ftDirectory), (Names{"dirlink.mp3", "sub.mp3"}));
  EXPECT_EQ(list(ftArchive), regular);
  EXPECT_EQ(list(ftArchive | ftHidden), (Names{".dot.mp3", "link.mp3", "listed.mp3", "plain.mp3", "ro.mp3"}));
  EXPECT_TRUE(list(ftVolumeID).empty());
  EXPECT_TRUE(list(0).empty());
  // "." and ".." never, whatever the mask.
  const Names all = ListFileNames(P("d"), {"*"}, ftNormal | ftHidden | ftDirectory | ftSystem).names;
  EXPECT_EQ(std::count(all.begin(), all.end(), "."), 0);
  EXPECT_EQ(std::count(all.begin(), all.end(), ".."), 0);
  EXPECT_EQ(std::count(all.begin(), all.end(), ".hidden"), 1);
}

TEST_F(FileListing, NamesKeepTheirBytes) {
  const std::string bad = "caf\xE9 \xFF.mp3";  // Latin-1 bytes, not UTF-8
  Touch("d/" + bad);
  Touch("d/曲.mp3");
  const TFileListing l = ListFileNames(P("d"), {"*.mp3"}, ftNormal);
  EXPECT_EQ(l.names, (Names{bad, "曲.mp3"}));
  EXPECT_EQ(access((P("d") + "/" + l.names[0]).c_str(), F_OK), 0);
}

TEST_F(FileListing, WhatCannotBeReadGivesNothing) {
  EXPECT_FALSE(ListFileNames(P("missing"), {"*.*"}, ftNormal).readable);
  Touch("file.mp3");
  EXPECT_FALSE(ListFileNames(P("file.mp3"), {"*.*"}, ftNormal).readable);
  Touch("locked/a.mp3");
  chmod(P("locked").c_str(), 0);
  const std::string locked = P("locked");
  EXPECT_TRUE(WithoutPrivileges([&] {
    const TFileListing l = ListFileNames(locked, {"*.*"}, ftNormal);
    return !l.readable && l.names.empty() && !CanEnterDirectory(locked);
  }));
  // Search permission without read permission: entered, but nothing to list.
  chmod(P("locked").c_str(), 0111);
  EXPECT_TRUE(WithoutPrivileges(
      [&] { return CanEnterDirectory(locked) && !ListFileNames(locked, {"*.*"}, ftNormal).readable; }));
  EXPECT_FALSE(CanEnterDirectory(P("file.mp3")));
  EXPECT_FALSE(CanEnterDirectory(""));
}

TEST_F(FileListing, TenThousandFiles) {
  MkDir("big");
  std::vector<int> order(10000);
  for (int i = 0; i < 10000; ++i) order[size_t(i)] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  for (const int i : order) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%05d.mp3", i % 2 ? "Song" : "song", i);
    const int fd = open((P("big") + "/" + name).c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  const TFileListing l = ListFileNames(P("big"), {"*.MP3"}, ftNormal | ftHidden);
  ASSERT_EQ(l.names.size(), 10000u);
  EXPECT_EQ(l.names.front(), "song00000.mp3");
  EXPECT_EQ(l.names[1], "Song00001.mp3");
  EXPECT_EQ(l.names.back(), "Song09999.mp3");
}

using DirNodes = TempTree;

Names NodeNames(const std::vector<TDirNode>& nodes) {
  Names out;
  for (const TDirNode& n : nodes) out.push_back(n.name);
  return out;
}

TEST_F(DirNodes, DotNamesNeverHiddenOnesOnlyWhenAsked) {
  MkDir("r/beta");
  MkDir("r/Alpha");
  MkDir("r/.config");
  MkDir("r/.music/deep");
  MkDir("r/secret");
  Touch("r/.hidden", "secret\n.music\n");
  Touch("r/file.mp3");
  Link("beta", "r/gamma");
  const auto chain = ChainIds(P("r"), P("r"));
  EXPECT_EQ(NodeNames(ReadDirNodes(P("r"), false, chain)), (Names{"Alpha", "beta", "gamma"}));
  const auto shown = ReadDirNodes(P("r"), true, chain);
  EXPECT_EQ(NodeNames(shown), (Names{"Alpha", "beta", "gamma", "secret"}));
  EXPECT_TRUE(shown[3].hidden);
  EXPECT_FALSE(shown[0].hidden);
}

TEST_F(DirNodes, PlaceholderOnlyForSubdirectoriesThatWouldShow) {
  MkDir("r/files");
  Touch("r/files/a.mp3");
  MkDir("r/dotonly/.git");
  MkDir("r/hiddenonly/inner");
  Touch("r/hiddenonly/.hidden", "inner\n");
  MkDir("r/plain/inner");
  MkDir("r/linked");
  Link("../plain", "r/linked/toplain");
  const auto chain = ChainIds(P("r"), P("r"));
  const auto has = [&](bool showHidden) {
    std::vector<bool> out;
    for (const TDirNode& n : ReadDirNodes(P("r"), showHidden, chain)) out.push_back(n.hasSubdirectories);
    return out;
  };
  // dotonly, files, hiddenonly, linked, plain
  EXPECT_EQ(has(false), (std::vector<bool>{false, false, false, true, true}));
  EXPECT_EQ(has(true), (std::vector<bool>{false, false, true, true, true}));
  // An unreadable subdirectory is shown as one without subdirectories.
  chmod(P("r/plain").c_str(), 0);
  const std::string r = P("r");
  EXPECT_TRUE(WithoutPrivileges([&] {
    const auto nodes = ReadDirNodes(r, false, ChainIds(r, r));
    return nodes.size() == 5 && nodes[4].name == "plain" && !nodes[4].hasSubdirectories;
  }));
  // Gone while shown: nothing to read, nothing to fail.
  EXPECT_TRUE(ReadDirNodes(P("r/vanished"), false, chain).empty());
  EXPECT_FALSE(HasShownSubdirectory(P("r/vanished"), true));
}

TEST_F(DirNodes, LinksBackUpTheTreeAreLeaves) {
  MkDir("r/a/b");
  Link("..", "r/a/b/up");         // to a
  Link(".", "r/a/self");          // to a itself
  Link("../../c", "r/a/b/side");  // elsewhere: a directory like any other
  MkDir("r/c/d");
  // Two links that lead into each other: x/l1 -> y, y/l2 -> x.
  MkDir("r/x/xx");
  MkDir("r/y/yy");
  Link("../y", "r/x/l1");
  Link("../x", "r/y/l2");
  const std::string r = P("r");
  const auto nodes = [&](const std::string& rel) { return ReadDirNodes(P(rel), false, ChainIds(r, P(rel))); };
  const auto a = nodes("r/a");
  ASSERT_EQ(NodeNames(a), (Names{"b", "self"}));
  EXPECT_FALSE(a[0].loop);
  EXPECT_TRUE(a[0].hasSubdirectories);
  EXPECT_TRUE(a[1].loop);
  EXPECT_FALSE(a[1].hasSubdirectories);
  const auto b = nodes("r/a/b");
  ASSERT_EQ(NodeNames(b), (Names{"side", "up"}));
  EXPECT_FALSE(b[0].loop);
  EXPECT_TRUE(b[0].hasSubdirectories);
  EXPECT_TRUE(b[1].loop);
  // x/l1 is y, a directory not yet on the way; inside it, l2 is x again.
  const auto x = nodes("r/x");
  ASSERT_EQ(NodeNames(x), (Names{"l1", "xx"}));
  EXPECT_FALSE(x[0].loop);
  const auto l1 = nodes("r/x/l1");
  ASSERT_EQ(NodeNames(l1), (Names{"l2", "yy"}));
  EXPECT_TRUE(l1[0].loop);
  EXPECT_FALSE(l1[1].loop);
}

TEST_F(DirNodes, BadHiddenListsNeitherStallNorFail) {
  MkDir("p/shown");
  ASSERT_EQ(mkfifo(P("p/.hidden").c_str(), 0600), 0);  // no writer: a read would wait for ever
  EXPECT_EQ(NodeNames(ReadDirNodes(P("p"), false, {})), (Names{"shown"}));
  MkDir("q/shown");
  MkDir("q/gone");
  Touch("q/.hidden", std::string(3 << 20, 'x') + "\ngone\n");  // the name lies past the first megabyte
  EXPECT_EQ(NodeNames(ReadDirNodes(P("q"), false, {})), (Names{"gone", "shown"}));
  MkDir("c/one");
  MkDir("c/two");
  Touch("c/.hidden", "one\r\n\n\ntwo");  // CR LF is not a line end here; the last line has none
  EXPECT_EQ(NodeNames(ReadDirNodes(P("c"), false, {})), (Names{"one"}));
}

using Drives = TempTree;

class FakeVolumes : public TVolumeSource {
 public:
  std::vector<TVolume> volumes;
  std::vector<TVolume> MountedVolumes() override { return volumes; }
};

TEST_F(Drives, OnlyReadyRealFileSystemsOutsideTheSystemsAreas) {
  const std::string disk = MkDir("disk");
  const auto is = [](std::string root, std::string fs, bool ready = true) {
    return IsDriveVolume(TVolume{std::move(root), std::move(fs), "/dev/x", "", ready});
  };
  EXPECT_TRUE(is("/", "ext4"));
  EXPECT_TRUE(is("/", "overlay"));  // a container's root
  EXPECT_TRUE(is(disk, "ext4"));
  EXPECT_TRUE(is(disk + "/", "vfat"));
  EXPECT_FALSE(is(disk, "ext4", false));
  EXPECT_FALSE(is(disk, "overlay"));
  for (const char* fs :
       {"proc", "sysfs", "tmpfs", "devtmpfs", "cgroup2", "squashfs", "autofs", "fuse.portal"})
    EXPECT_FALSE(is(disk, fs)) << fs;
  for (const char* root : {"/proc", "/sys/fs/cgroup", "/dev/shm", "/run/user/1000", "/boot", "/boot/efi",
                           "/tmp", "/var/lib/docker", "/usr", "/etc"})
    EXPECT_FALSE(is(root, "ext4")) << root;
  EXPECT_FALSE(is(disk + "/missing", "ext4"));
  EXPECT_FALSE(is(Touch("hosts"), "ext4"));  // a file bound over a file
  EXPECT_FALSE(is("relative", "ext4"));
  EXPECT_TRUE(IsRemovableRoot("/media/tarn/MUSIC"));
  EXPECT_TRUE(IsRemovableRoot("/run/media/tarn/MUSIC/"));
  EXPECT_FALSE(IsRemovableRoot("/media"));
  EXPECT_FALSE(IsRemovableRoot("/mnt/usb"));
}

TEST(DriveLabels, FirstSingleByteCharacterKeptTheRestLowered) {
  EXPECT_EQ(FormatVolumeLabel("MUSIC"), "Music");
  EXPECT_EQ(FormatVolumeLabel("my USB"), "my usb");
  EXPECT_EQ(FormatVolumeLabel("音楽CD"), "音楽cd");
  EXPECT_EQ(FormatVolumeLabel("X"), "X");
  EXPECT_EQ(FormatVolumeLabel(""), "");
}

TEST_F(Drives, RootFirstThenMountPointsThenTheTwoFolders) {
  const std::string data = MkDir("Data"), zed = MkDir("zed"), home = MkDir("home");
  const std::string docs = MkDir("home/Documents"), desk = MkDir("home/デスクトップ");
  FakeVolumes v;
  v.volumes = {{zed, "ext4", "/dev/sdc1", "", true},
               {"/", "ext4", "/dev/sda1", "", true},
               {home, "ext4", "/dev/sda3", "", true},
               {"/proc", "proc", "proc", "", true},
               {data, "xfs", "/dev/sdb1", "old", true},
               {data, "ext4", "/dev/sdd1", "", true}};  // mounted over the first one
  const auto entries = BuildDriveEntries(v.MountedVolumes(), docs, desk);
  Names paths, texts, drives;
  for (const auto& e : entries) {
    paths.push_back(e.path);
    texts.push_back(e.text);
    drives.push_back(e.drive);
  }
  EXPECT_EQ(paths, (Names{"/", data, home, zed, docs, desk}));
  EXPECT_EQ(texts, (Names{"/", data, home, zed, "Documents", "デスクトップ"}));
  // The folders belong to the deepest mount point that holds them.
  EXPECT_EQ(drives, (Names{"/", data, home, zed, home, home}));
  EXPECT_EQ(entries[4].kind, TDriveKind::Documents);
  EXPECT_EQ(entries[5].kind, TDriveKind::Desktop);
  EXPECT_EQ(DriveOf(entries, home + "/Documents/x"), home);
  EXPECT_EQ(DriveOf(entries, home + "x"), "/");
  // Missing folders are left out; one folder named twice, or a drive itself, once.
  EXPECT_EQ(BuildDriveEntries(v.volumes, P("none"), docs).size(), 5u);
  EXPECT_EQ(BuildDriveEntries(v.volumes, docs, docs).size(), 5u);
  EXPECT_EQ(BuildDriveEntries(v.volumes, home, desk).size(), 5u);
  // Without "/" among the volumes, a folder outside every drive stands for itself.
  const auto bare = BuildDriveEntries({{zed, "ext4", "", "", true}}, docs, "");
  ASSERT_EQ(bare.size(), 2u);
  EXPECT_EQ(bare[1].drive, docs);
}

TEST_F(Drives, RemovableMediaByTheirLabels) {
  if (!PrivateMounts()) GTEST_SKIP() << "needs root for a private /media";
  ASSERT_EQ(mount("tmpfs", "/media", "tmpfs", 0, "size=1m"), 0);
  std::filesystem::create_directories("/media/tarn/MUSIC");
  std::filesystem::create_directories("/media/tarn/1234-ABCD");
  const auto entries = BuildDriveEntries({{"/", "ext4", "/dev/sda1", "", true},
                                          {"/media/tarn/MUSIC", "vfat", "/dev/sdb1", "MUSIC", true},
                                          {"/media/tarn/1234-ABCD", "exfat", "/dev/sdc1", "", true}},
                                         "", "");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].text, "1234-ABCD");  // no label: the mount point's name
  EXPECT_EQ(entries[2].text, "Music");
  EXPECT_EQ(entries[2].kind, TDriveKind::Removable);
  EXPECT_EQ(entries[0].kind, TDriveKind::Fixed);
  umount("/media");
}

TEST_F(Drives, AnswersWhileListedAndThere) {
  const std::string usb = MkDir("usb");
  FakeVolumes v;
  v.volumes = {{"/", "ext4", "", "", true}, {usb, "vfat", "", "", true}};
  EXPECT_TRUE(DriveAnswers(v, usb));
  EXPECT_TRUE(DriveAnswers(v, usb + "/"));
  EXPECT_FALSE(DriveAnswers(v, usb + "/sub"));
  v.volumes[1].ready = false;
  EXPECT_FALSE(DriveAnswers(v, usb));
  v.volumes.pop_back();  // unmounted, the empty mount point left behind
  EXPECT_FALSE(DriveAnswers(v, usb));
}

// The drive box's state, with a file system of names: `enterable` says which
// directories can be entered, `answering` which drives answer.
class DriveList : public ::testing::Test {
 protected:
  static TDriveEntry Drive(const std::string& root, TDriveKind kind = TDriveKind::Fixed) {
    return {root, root, root, kind};
  }
  static TDriveEntry Folder(const std::string& path, const std::string& drive, TDriveKind kind) {
    return {path, drive, LastName(path), kind};
  }
  std::vector<TDriveEntry> Entries(bool withUsb) const {
    std::vector<TDriveEntry> e = {Drive("/")};
    if (withUsb) e.push_back(Drive("/media/u/USB", TDriveKind::Removable));
    e.push_back(Folder("/home/u/Documents", "/", TDriveKind::Documents));
    e.push_back(Folder("/media/u/USB/Desktop", withUsb ? "/media/u/USB" : "/", TDriveKind::Desktop));
    return e;
  }
  std::set<std::string> enterable = {"/",      "/home",        "/home/u",        "/home/u/Documents",
                                     "/music", "/media/u/USB", "/media/u/USB/a", "/media/u/USB/a/b"};
  std::set<std::string> answering = {"/", "/media/u/USB"};
  TDriveList list{[this](const std::string& d) { return enterable.contains(d); }};
  TDriveList::TDriveAnswers answers = [this](const std::string& r) { return answering.contains(r); };
};

TEST_F(DriveList, SetDriveSelectsTheDrivesOwnEntryAndSaysWhenNothingChanged) {
  list.SetEntries(Entries(true));
  EXPECT_TRUE(list.SetDrive("/media/u/USB/"));
  EXPECT_EQ(list.Selected(), 1);  // the drive, not the desktop folder on it
  EXPECT_EQ(list.Drive(), "/media/u/USB");
  EXPECT_FALSE(list.SetDrive("/media/u/USB"));
  EXPECT_TRUE(list.SetDrive(""));
  EXPECT_EQ(list.Selected(), -1);
  EXPECT_EQ(list.Drive(), "");
  EXPECT_TRUE(list.SetDrive("/nowhere"));
  EXPECT_EQ(list.Selected(), -1);
}

TEST_F(DriveList, ClickingADriveReturnsToWhereItWasLeftAFolderGoesThere) {
  list.SetEntries(Entries(true));
  list.SetCurrentDirectory("/media/u/USB/a/b/");
  EXPECT_EQ(list.Selected(), 1);
  list.SetCurrentDirectory("/music");
  EXPECT_EQ(list.Selected(), 0);
  EXPECT_TRUE(list.Click(1));
  EXPECT_EQ(list.CurrentDirectory(), "/media/u/USB/a/b");
  // The documents folder: its drive's entry is selected, the folder is current, and
  // the drive now returns to the folder.
  EXPECT_TRUE(list.Click(2));
  EXPECT_EQ(list.CurrentDirectory(), "/home/u/Documents");
  EXPECT_EQ(list.Selected(), 0);
  EXPECT_EQ(list.Drive(), "/");
  list.SetCurrentDirectory("/media/u/USB/a");
  EXPECT_TRUE(list.Click(0));
  EXPECT_EQ(list.CurrentDirectory(), "/home/u/Documents");
  // A place left that is gone: the mount point.
  enterable.erase("/media/u/USB/a");
  EXPECT_TRUE(list.Click(1));
  EXPECT_EQ(list.CurrentDirectory(), "/media/u/USB");
  EXPECT_FALSE(list.Click(4));
  EXPECT_FALSE(list.Click(-1));
}

TEST_F(DriveList, RefreshFollowsAMediumThatComesAndGoes) {
  list.SetFallbackDirectory("/home/u");
  list.SetEntries(Entries(false));
  list.SetCurrentDirectory("/music");
  // Plugged in: listed after the refresh; nothing else changes.
  EXPECT_FALSE(list.Refresh(Entries(true), answers));
  EXPECT_EQ(list.Entries().size(), 4u);
  EXPECT_EQ(list.Selected(), 0);
  EXPECT_TRUE(list.Click(1));
  list.SetCurrentDirectory("/media/u/USB/a/b");
  // Its directory deleted: up to the nearest one left on the medium.
  enterable.erase("/media/u/USB/a/b");
  EXPECT_TRUE(list.Refresh(Entries(true), answers));
  EXPECT_EQ(list.CurrentDirectory(), "/media/u/USB/a");
  EXPECT_EQ(list.Selected(), 1);
  // Pulled out: no longer answering, then no longer listed; either way the fallback.
  answering.erase("/media/u/USB");
  EXPECT_TRUE(list.Refresh(Entries(true), answers));
  EXPECT_EQ(list.CurrentDirectory(), "/home/u");
  EXPECT_EQ(list.Selected(), 0);
  list.SetCurrentDirectory("/media/u/USB/a");
  EXPECT_TRUE(list.Refresh(Entries(false), answers));
  EXPECT_EQ(list.CurrentDirectory(), "/home/u");
  EXPECT_EQ(list.Entries().size(), 3u);
  EXPECT_EQ(list.Selected(), 0);
  // A mount point that cannot be entered any more is no place to climb to.
  answering.insert("/media/u/USB");
  list.SetEntries(Entries(true));
  list.SetCurrentDirectory("/media/u/USB/gone/deeper");
  enterable.erase("/media/u/USB");
  EXPECT_TRUE(list.Refresh(Entries(true), answers));
  EXPECT_EQ(list.CurrentDirectory(), "/home/u");
}

TEST(ListBoxRules, ToolTipOnlyForTheHotItemWhenCutOffOrHotColoured) {
  EXPECT_FALSE(HotColorSet(kNoHotColor));
  EXPECT_FALSE(HotColorSet(-30));
  EXPECT_TRUE(HotColorSet(-29));
  EXPECT_TRUE(HotColorSet(0x9F9FFF));
  // Item 3 is hot; its text ends at 120 in an item 150 wide, or at 151.
  EXPECT_EQ(ToolTipFor(true, 3, 3, 120, 150, false), TToolTipAction::kHide);
  EXPECT_EQ(ToolTipFor(true, 3, 3, 150, 150, false), TToolTipAction::kHide);  // ends on the edge: fits
  EXPECT_EQ(ToolTipFor(true, 3, 3, 151, 150, false), TToolTipAction::kShow);
  EXPECT_EQ(ToolTipFor(true, 3, 3, 120, 150, HotColorSet(0xFF9F9F)), TToolTipAction::kShow);
  EXPECT_EQ(ToolTipFor(true, 3, 3, 120, 150, HotColorSet(kNoHotColor)), TToolTipAction::kHide);
  // Another item's drawing leaves it; no hot item hides it; without tool tips nothing.
  EXPECT_EQ(ToolTipFor(true, 2, 3, 999, 150, true), TToolTipAction::kKeep);
  EXPECT_EQ(ToolTipFor(true, 2, kMouseOutside, 999, 150, true), TToolTipAction::kHide);
  EXPECT_EQ(ToolTipFor(true, 2, kNoHotItem, 999, 150, true), TToolTipAction::kHide);
  EXPECT_EQ(ToolTipFor(false, 3, 3, 999, 150, true), TToolTipAction::kKeep);
  // The tip's text on the item's: 1 right, 3 up, plus the item's text offset.
  EXPECT_EQ(ToolTipRect(100, 200, 1, 80, 18), (TTipRect{101, 198, 180, 216}));
  EXPECT_EQ(TextOffset(16, 14), 1);
  EXPECT_EQ(TextOffset(14, 17), -1);
}

TEST(ListBoxRules, RepaintsAndTimerTicks) {
  EXPECT_TRUE(HotItemRepaints(4, 3));
  EXPECT_FALSE(HotItemRepaints(4, 4));
  EXPECT_TRUE(HotItemRepaints(kNoHotItem, kNoHotItem));  // over no item: always
  const TTimerStep quiet = TimerTick(true, true, true, true);
  EXPECT_FALSE(quiet.hideToolTip);
  EXPECT_FALSE(quiet.repaint);
  EXPECT_TRUE(TimerTick(false, true, true, true).hideToolTip);
  EXPECT_TRUE(TimerTick(true, true, true, false).hideToolTip);
  EXPECT_TRUE(TimerTick(true, false, true, true).repaint);
  EXPECT_TRUE(TimerTick(true, true, false, true).repaint);
}
