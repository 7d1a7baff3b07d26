// The list files' association in a private XDG tree, checked with the desktop's own
// tools: xdg-mime (xdg-utils, with mimetype from libfile-mimeinfo-perl) reads what
// associating wrote, update-mime-database and update-desktop-database refresh it, and
// desktop-file-validate judges the entry.
#include "settings/core/XdgAssociation.h"

#include "settings/core/EmbeddedData.h"
#include "settings/core/KeyFileLines.h"
#include "tests/platform/ProcessHelpers.h"
#include "tests/playlist/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sorrel::settings {
namespace {

namespace fs = std::filesystem;
using playlist::test::TempTree;
using playlist::test::WithoutPrivileges;

constexpr const char* kPdr = "application/x-sorrel-pdr";
constexpr const char* kPfl = "application/x-sorrel-pfl";

bool Installed(const char* path) { return access(path, X_OK) == 0; }

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

class XdgAssociation : public TempTree {
 protected:
  void SetUp() override {
    TempTree::SetUp();
    for (const char* tool : {"/usr/bin/xdg-mime", "/usr/bin/mimetype", "/usr/bin/update-mime-database",
                             "/usr/bin/update-desktop-database", "/usr/bin/desktop-file-validate"})
      if (!Installed(tool))
        GTEST_SKIP() << tool << " is missing (xdg-utils, libfile-mimeinfo-perl, shared-mime-info, "
                     << "desktop-file-utils)";
    dirs_.dataHome = P("data");
    dirs_.configHome = P("config");
    dirs_.dataDirs = {"/usr/share"};
    dirs_.configDirs = {P("etc")};
    dirs_.programPath = "/usr/bin:/bin";
    program_ = Touch("bin/sorrel", "#!/bin/sh\nexit 0\n");
    chmod(program_.c_str(), 0755);
    Touch("files/x.pdr", "/music\n");
    Touch("files/x.pfl", "/music/a.mp3\n");
  }

  TXdgAssociation Make() const { return TXdgAssociation(dirs_, program_); }

  // xdg-mime's answer in the private tree, as a desktop-less session sees it.
  std::string XdgMime(std::vector<std::string> args) const {
    args.insert(args.begin(), "/usr/bin/xdg-mime");
    std::vector<std::string> env{"XDG_DATA_HOME=" + dirs_.dataHome, "XDG_CONFIG_HOME=" + dirs_.configHome,
                                 "XDG_DATA_DIRS=/usr/share", "XDG_CONFIG_DIRS=" + P("etc"), "HOME=" + P("")};
    // No desktop environment to detect: xdg-mime reads the lists itself.
    for (const char* unset : {"DE", "DESKTOP_SESSION", "KDE_FULL_SESSION", "KDE_SESSION_VERSION",
                              "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "XDG_MENU_PREFIX",
                              "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
      env.push_back(std::string(unset) + "=");
    env.push_back("XDG_CURRENT_DESKTOP=" + (dirs_.desktops.empty() ? "" : dirs_.desktops[0]));
    std::string out;
    testing_sorrel::Run(args, env, P(""), 30000, &out);
    return Trimmed(out);
  }
  std::string FileType(const char* name) const {
    return XdgMime({"query", "filetype", P(std::string("files/") + name)});
  }
  std::string Default(const char* type) const { return XdgMime({"query", "default", type}); }

  std::string UserList() const { return P("config/mimeapps.list"); }
  // Every file under the tree's XDG folders, for "nothing was written".
  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (const char* d : {"data", "config"}) {
      std::error_code ec;
      for (auto it = fs::recursive_directory_iterator(P(d), ec);
           !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        out.push_back(it->path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  TXdgDirs dirs_;
  std::string program_;
};

TEST_F(XdgAssociation, AssociateThenRemoveAsXdgMimeSeesIt) {
  ASSERT_EQ(FileType("x.pfl"), "text/plain");
  ASSERT_EQ(Default(kPfl), "");

  TXdgAssociation a = Make();
  std::string message;
  ASSERT_TRUE(a.Associate(message)) << message;
  EXPECT_EQ(message, "");
  EXPECT_EQ(FileType("x.pdr"), kPdr);
  EXPECT_EQ(FileType("x.pfl"), kPfl);
  EXPECT_EQ(Default(kPdr), "sorrel.desktop");
  EXPECT_EQ(Default(kPfl), "sorrel.desktop");
  EXPECT_TRUE(a.IsAssociated(".pdr"));
  EXPECT_TRUE(a.IsAssociated(".PFL"));
  EXPECT_FALSE(a.IsAssociated(".m3u"));

  // What was written: the entry runs this program and passes desktop-file-validate,
  // the types carry the caption, the icon is in the hicolor theme.
  const TKeyFileLines entry(Slurp(a.DesktopEntryPath()));
  EXPECT_EQ(entry.Value("Desktop Entry", "Exec"), program_ + " %f");
  EXPECT_EQ(entry.Value("Desktop Entry", "MimeType"), std::string(kPdr) + ";" + kPfl + ";");
  std::string out, err;
  EXPECT_EQ(testing_sorrel::Run({"/usr/bin/desktop-file-validate", a.DesktopEntryPath()}, {}, P(""), 30000,
                                &out, &err),
            0)
      << out << err;
  const std::string typeXml = Slurp(P("data/mime/application/x-sorrel-pfl.xml"));
  EXPECT_NE(typeXml.find("<comment>Tarn's MP3Player ListFile</comment>"), std::string::npos) << typeXml;
  EXPECT_EQ(Slurp(P("data/icons/hicolor/scalable/apps/sorrel.svg")), kIconSvg);
  EXPECT_EQ(Slurp(UserList()),
            "[Default Applications]\napplication/x-sorrel-pdr=sorrel.desktop;\n"
            "application/x-sorrel-pfl=sorrel.desktop;\n");
  // update-desktop-database saw the entry.
  EXPECT_NE(Slurp(P("data/applications/mimeinfo.cache")).find(std::string(kPfl) + "=sorrel.desktop"),
            std::string::npos);

  ASSERT_TRUE(a.RemoveAssociation(message)) << message;
  EXPECT_EQ(Default(kPdr), "");
  EXPECT_EQ(Default(kPfl), "");
  EXPECT_EQ(FileType("x.pfl"), "text/plain");
  EXPECT_FALSE(a.IsAssociated(".pdr"));
  EXPECT_FALSE(a.IsAssociated(".pfl"));
  EXPECT_FALSE(fs::exists(a.DesktopEntryPath()));
  EXPECT_FALSE(fs::exists(a.PackagePath()));
  EXPECT_FALSE(fs::exists(a.IconPath()));
  EXPECT_FALSE(fs::exists(P("data/mime/application/x-sorrel-pfl.xml")));
  EXPECT_EQ(Slurp(UserList()), "[Default Applications]\n");
}

TEST_F(XdgAssociation, TheUsersOtherLinesSurviveBothWays) {
  const std::string before =
      "# chosen by hand\r\n"
      "[Added Associations]\r\n"
      "text/plain=gvim.desktop;\r\n"
      "\r\n"
      "[Default Applications]\r\n"
      "text/html=firefox.desktop;\r\n"
      "# more to come\r\n"
      "[X-Unknown Group]\r\n"
      "application/x-sorrel-pfl=kept.desktop;\r\n";
  Touch("config/mimeapps.list", before);
  TXdgAssociation a = Make();
  std::string message;
  ASSERT_TRUE(a.Associate(message)) << message;
  EXPECT_EQ(Slurp(UserList()),
            "# chosen by hand\r\n"
            "[Added Associations]\r\n"
            "text/plain=gvim.desktop;\r\n"
            "\r\n"
            "[Default Applications]\r\n"
            "text/html=firefox.desktop;\r\n"
            "application/x-sorrel-pdr=sorrel.desktop;\r\n"
            "application/x-sorrel-pfl=sorrel.desktop;\r\n"
            "# more to come\r\n"
            "[X-Unknown Group]\r\n"
            "application/x-sorrel-pfl=kept.desktop;\r\n");
  EXPECT_EQ(Default(kPfl), "sorrel.desktop");
  ASSERT_TRUE(a.RemoveAssociation(message)) << message;
  EXPECT_EQ(Slurp(UserList()), before);
  EXPECT_EQ(Default(kPfl), "");
}

// A list kept elsewhere (a dotfiles repository) and linked in: written through the
// link, which stays.
TEST_F(XdgAssociation, ALinkedListStaysALink) {
  const std::string kept =
      Touch("dotfiles/mimeapps.list", "[Default Applications]\ntext/html=firefox.desktop;\n");
  MkDir("config");
  fs::create_symlink(kept, UserList());
  TXdgAssociation a = Make();
  std::string message;
  ASSERT_TRUE(a.Associate(message)) << message;
  EXPECT_TRUE(fs::is_symlink(UserList()));
  EXPECT_EQ(TKeyFileLines(Slurp(kept)).Value("Default Applications", kPfl), "sorrel.desktop;");
  EXPECT_EQ(Default(kPfl), "sorrel.desktop");
  ASSERT_TRUE(a.RemoveAssociation(message)) << message;
  EXPECT_TRUE(fs::is_symlink(UserList()));
  EXPECT_EQ(Slurp(kept), "[Default Applications]\ntext/html=firefox.desktop;\n");
}

TEST_F(XdgAssociation, GarbageListKeepsItsBytes) {
  const std::string garbage = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR[[[=", 20) + "\xff";
  Touch("config/mimeapps.list", garbage);
  TXdgAssociation a = Make();
  std::string message;
  ASSERT_TRUE(a.Associate(message)) << message;
  const std::string after = Slurp(UserList());
  EXPECT_EQ(after.substr(0, garbage.size()), garbage);
  EXPECT_TRUE(a.IsAssociated(".pdr"));
  EXPECT_TRUE(a.IsAssociated(".pfl"));
  ASSERT_TRUE(a.RemoveAssociation(message)) << message;
  EXPECT_EQ(Slurp(UserList()).substr(0, garbage.size()), garbage);
  EXPECT_FALSE(a.IsAssociated(".pfl"));
}

TEST_F(XdgAssociation, RunningTwiceAndRemovingWhenNeverAssociated) {
  TXdgAssociation a = Make();
  std::string message;
  // Removing what was never there succeeds and creates nothing.
  ASSERT_TRUE(a.RemoveAssociation(message)) << message;
  EXPECT_EQ(message, "");
  EXPECT_TRUE(Files().empty());

  ASSERT_TRUE(a.Associate(message)) << message;
  const std::string list = Slurp(UserList());
  const std::string entry = Slurp(a.DesktopEntryPath());
  ASSERT_TRUE(a.Associate(message)) << message;
  EXPECT_EQ(Slurp(UserList()), list);
  EXPECT_EQ(Slurp(a.DesktopEntryPath()), entry);
  EXPECT_EQ(Default(kPdr), "sorrel.desktop");

  ASSERT_TRUE(a.RemoveAssociation(message)) << message;
  const std::vector<std::string> left = Files();
  ASSERT_TRUE(a.RemoveAssociation(message)) << message;
  EXPECT_EQ(Files(), left);
  EXPECT_EQ(Default(kPdr), "");
}

// One type taken over by another application: only the other stays ours, and removing
// takes the other application's default for our type away too.
TEST_F(XdgAssociation, ATypeTakenOverByAnotherApplication) {
  TXdgAssociation a = Make();
  std::string message;
  ASSERT_TRUE(a.Associate(message)) << message;
  Touch("data/applications/other.desktop",
        "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true "
        "%f\nMimeType=application/x-sorrel-pfl;\n");
  TKeyFileLines list(Slurp(UserList()));
  list.Set("Default Applications", kPfl, "other.desktop;");
  Touch("config/mimeapps.list", list.Text());

  EXPECT_EQ(Default(kPfl), "other.desktop");
  EXPECT_EQ(Default(kPdr), "sorrel.desktop");
  TAssociation tab(a);
  EXPECT_EQ(tab.UpdateAssociationStatus(), MakeAssociationStatus(true, false));

  ASSERT_TRUE(tab.LinkResetClick()) << tab.Message();
  EXPECT_EQ(tab.Status(), MakeAssociationStatus(false, false));
  EXPECT_EQ(TKeyFileLines(Slurp(UserList())).Value("Default Applications", kPfl), std::nullopt);
  EXPECT_TRUE(fs::exists(P("data/applications/other.desktop")));

  ASSERT_TRUE(tab.LinkSetClick()) << tab.Message();
  EXPECT_EQ(tab.Status(), MakeAssociationStatus(true, true));
  EXPECT_EQ(Default(kPfl), "sorrel.desktop");
}

// A default that is not installed does not count, the next one named does; a
// desktop-specific list, read first, is made to agree.
TEST_F(XdgAssociation, LookupOrderAndTheDesktopsOwnList) {
  dirs_.desktops = {"testde"};
  Touch("data/applications/other.desktop",
        "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true %f\n");
  Touch("config/testde-mimeapps.list",
        "[Default Applications]\napplication/x-sorrel-pdr=other.desktop;\ntext/html=other.desktop;\n");
  Touch("etc/mimeapps.list",
        "[Default Applications]\napplication/x-sorrel-pfl=gone.desktop;other.desktop;\n");
  TXdgAssociation a = Make();
  EXPECT_EQ(a.DefaultApplication(kPdr), "other.desktop");
  EXPECT_EQ(a.DefaultApplication(kPfl), "other.desktop");

  std::string message;
  ASSERT_TRUE(a.Associate(message)) << message;
  EXPECT_EQ(Slurp(P("config/testde-mimeapps.list")),
            "[Default Applications]\napplication/x-sorrel-pdr=sorrel.desktop;\ntext/html=other.desktop;\n");
  EXPECT_TRUE(a.IsAssociated(".pdr"));
  EXPECT_TRUE(a.IsAssociated(".pfl"));
  EXPECT_EQ(XdgMime({"query", "default", kPdr}), "sorrel.desktop");

  ASSERT_TRUE(a.RemoveAssociation(message)) << message;
  EXPECT_EQ(Slurp(P("config/testde-mimeapps.list")), "[Default Applications]\ntext/html=other.desktop;\n");
  // The system's list is not the user's to edit: its default shows again.
  EXPECT_EQ(a.DefaultApplication(kPfl), "other.desktop");
  EXPECT_EQ(Slurp(P("etc/mimeapps.list")),
            "[Default Applications]\napplication/x-sorrel-pfl=gone.desktop;other.desktop;\n");
}

TEST_F(XdgAssociation, UnwritableOrUnreadableFolders) {
  // The configuration folder cannot be written: associating fails, names the list, and
  // leaves it as it was.
  const std::string before = "[Default Applications]\ntext/html=firefox.desktop;\n";
  Touch("config/mimeapps.list", before);
  MkDir("data");
  chmod(P("").c_str(), 0755);
  chmod(P("data").c_str(), 0777);
  chmod(P("config").c_str(), 0555);
  chmod(UserList().c_str(), 0644);
  chmod(program_.c_str(), 0755);
  chmod(P("bin").c_str(), 0755);
  EXPECT_TRUE(WithoutPrivileges([&] {
    TXdgAssociation b = Make();
    std::string message;
    return !b.Associate(message) && message.find(UserList()) != std::string::npos && !b.IsAssociated(".pdr");
  }));
  EXPECT_EQ(Slurp(UserList()), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(P("config")), fs::directory_iterator()), 1);  // no temp file

  // The list cannot be read: nothing at all is written.
  fs::remove_all(P("data"));
  MkDir("data");
  chmod(P("data").c_str(), 0777);
  chmod(P("config").c_str(), 0777);
  chmod(UserList().c_str(), 0);
  EXPECT_TRUE(WithoutPrivileges([&] {
    TXdgAssociation b = Make();
    std::string message;
    return !b.Associate(message) && message.find("nothing was changed") != std::string::npos &&
           !fs::exists(b.DesktopEntryPath()) && !fs::exists(b.PackagePath());
  }));

  // The data folder is a file: that fails even for root.
  chmod(UserList().c_str(), 0644);
  fs::remove_all(P("data"));
  Touch("data", "not a folder");
  TXdgAssociation c = Make();
  std::string message;
  EXPECT_FALSE(c.Associate(message));
  EXPECT_NE(message.find(P("data") + ": not a directory"), std::string::npos) << message;
  EXPECT_EQ(Slurp(UserList()), before);
  EXPECT_FALSE(c.IsAssociated(".pfl"));
}

TEST_F(XdgAssociation, RefreshToolsMissingOrFailing) {
  // Without the tools the files are still written, and the message says what was not
  // refreshed.
  dirs_.programPath = P("nowhere");
  TXdgAssociation a = Make();
  std::string message;
  ASSERT_TRUE(a.Associate(message));
  EXPECT_NE(message.find("update-mime-database not found"), std::string::npos) << message;
  EXPECT_NE(message.find("update-desktop-database not found"), std::string::npos) << message;
  EXPECT_TRUE(a.IsAssociated(".pfl"));

  // A tool that fails makes the step fail, with its words.
  const std::string tool =
      Touch("tools/update-mime-database", "#!/bin/sh\necho 'broken database' >&2\nexit 3\n");
  chmod(tool.c_str(), 0755);
  dirs_.programPath = "relative/dir:" + P("tools") + ":/usr/bin";
  TXdgAssociation b = Make();
  EXPECT_FALSE(b.RemoveAssociation(message));
  EXPECT_NE(message.find("update-mime-database: exit status 3 (broken database)"), std::string::npos)
      << message;
  EXPECT_FALSE(fs::exists(b.DesktopEntryPath()));
}

TEST_F(XdgAssociation, ProgramPathsTheEntryCannotHold) {
  std::string message;
  TXdgAssociation none(dirs_, "");
  EXPECT_FALSE(none.Associate(message));
  TXdgAssociation control(dirs_, "/opt/a\nb/sorrel");
  EXPECT_FALSE(control.Associate(message));
  EXPECT_NE(message.find("nothing was changed"), std::string::npos);
  EXPECT_TRUE(Files().empty());

  // A path with blanks and quotes is quoted so that xdg-mime still finds the program.
  const std::string odd = Touch("bin/my \"player\"/sorrel", "#!/bin/sh\n");
  chmod(odd.c_str(), 0755);
  TXdgAssociation quoted(dirs_, odd);
  ASSERT_TRUE(quoted.Associate(message)) << message;
  std::string out, err;
  EXPECT_EQ(testing_sorrel::Run({"/usr/bin/desktop-file-validate", quoted.DesktopEntryPath()}, {}, P(""),
                                30000, &out, &err),
            0)
      << out << err;
  EXPECT_TRUE(quoted.IsAssociated(".pdr"));
}

TEST(XdgDirs, FromTheEnvironment) {
  const char* names[] = {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS",
                         "XDG_CURRENT_DESKTOP"};
  std::vector<std::optional<std::string>> saved;
  for (const char* n : names)
    saved.push_back(getenv(n) ? std::optional<std::string>(getenv(n)) : std::nullopt);
  setenv("XDG_DATA_HOME", "relative/data", 1);
  setenv("XDG_CONFIG_HOME", "/tmp/conf//", 1);
  setenv("XDG_DATA_DIRS", "/a/:b::/c", 1);
  setenv("XDG_CONFIG_DIRS", "", 1);
  setenv("XDG_CURRENT_DESKTOP", "GNOME:ubuntu:../x:", 1);
  const TXdgDirs d = TXdgDirs::FromEnvironment();
  for (size_t i = 0; i < saved.size(); ++i) {
    if (saved[i])
      setenv(names[i], saved[i]->c_str(), 1);
    else
      unsetenv(names[i]);
  }
  EXPECT_EQ(d.dataHome.substr(d.dataHome.size() - 13), "/.local/share");
  EXPECT_EQ(d.dataHome[0], '/');
  EXPECT_EQ(d.configHome, "/tmp/conf");
  EXPECT_EQ(d.dataDirs, (std::vector<std::string>{"/a", "/c"}));
  EXPECT_EQ(d.configDirs, std::vector<std::string>{"/etc/xdg"});
  EXPECT_EQ(d.desktops, (std::vector<std::string>{"gnome", "ubuntu"}));
}

}  // namespace
}  // namespace sorrel::settings
