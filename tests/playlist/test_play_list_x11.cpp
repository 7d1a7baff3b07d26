// The play list editor on a real X server (a private Xvfb), used as a user would with
// xdotool: a directory list built and reordered with clicks and keys and played with
// Enter, and in file mode a drag from the file list into the play list (a real XDND
// drag inside the program).  Skipped when Xvfb or xdotool is not installed.
#include "controls/DirTree.h"
#include "controls/FileListBoxEX.h"
#include "controls/ListBoxEx.h"
#include "playlist/ui/PlayList.h"
#include "tests/controls/BrowseTree.h"
#include "tests/platform/XvfbSession.h"
#include "tests/playlist/PlayListWindowFakes.h"

#include <QProcess>
#include <QRadioButton>
#include <QTest>

#include <filesystem>

#include <gtest/gtest.h>

using namespace sorrel::playlist;
using sorrel::playlist::test::FakeHost;
using sorrel::playlist::test::FakeVolumes;
using sorrel::testing::TXvfbSession;
using sorrel::testing::TXvfbSuite;
namespace controls = sorrel::controls;

namespace {

class X11Editor : public TXvfbSuite<controls::test::TempTree> {
 protected:
  void SetUp() override {
    TXvfbSuite::SetUp();
    if (IsSkipped()) return;
    disk_ = MkDir("disk");
    home_ = MkDir("home");
    music_ = MkDir("disk/music");
    for (const char* f : {"a/a1.mp3", "a/a2.mp3", "b/b1.mp3", "c/c1.mp3"})
      Touch("disk/music/" + std::string(f));
    volumes_ = {{disk_, "ext4", "/dev/sda1", "", true}};
    host_.music.CurFile = music_ + "/a/a1.mp3";
  }

  std::vector<std::string> Entries(const Tfm_PlayList& ed) const {
    std::vector<std::string> out;
    for (const QString& e : ed.Entries()) out.push_back(e.toStdString());
    return out;
  }
  std::string M(const std::string& rel) const { return music_ + "/" + rel; }

  // xdotool's pointer to a point of `w`, and a click there.
  static void Click(QWidget* w, QPoint pos) {
    const QPoint g = w->mapToGlobal(pos);
    TXvfbSession::Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(g.x()),
                           QString::number(g.y()), QStringLiteral("click"), QStringLiteral("1")});
    QTest::qWait(150);
  }
  static void Keys(const QStringList& keys) {
    for (const QString& k : keys) {
      TXvfbSession::Xdotool({QStringLiteral("key"), k});
      QTest::qWait(80);
    }
  }

  std::string disk_, home_, music_;
  std::vector<controls::TVolume> volumes_;
  FakeHost host_;
  PlayFileList files_;
};

QTreeWidgetItem* NodeOf(controls::TDirTreeView* tree, const std::string& dir) {
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if (controls::TDirTreeView::DirectoryOf(*it) == dir + "/") return *it;
  return nullptr;
}

}  // namespace

TEST_F(X11Editor, AUserBuildsReordersAndPlaysAListByKeyboard) {
  Tfm_PlayList ed(QString::fromStdString(home_), host_, files_, nullptr,
                  std::make_unique<FakeVolumes>(volumes_));
  ed.move(40, 40);
  ASSERT_TRUE(TXvfbSession::ShowFocused(ed));
  // tm_Splash finishes the set-up.
  auto* tree = ed.findChild<controls::TDirTreeView*>(QStringLiteral("DirTreeView"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ed.CurDir() == M("a/"); }, 5000));
  // The directory "a" clicked, then "l", Down, "l", Down, "l".
  QTreeWidgetItem* a = NodeOf(tree, M("a"));
  ASSERT_TRUE(a);
  Click(tree->viewport(), tree->visualItemRect(a).center());
  Keys({"l", "Down", "l", "Down", "l"});
  ASSERT_EQ(Entries(ed), (std::vector<std::string>{M("a"), M("b"), M("c")}));
  // The last entry clicked and moved up with Alt+Up; then the middle one deleted.
  auto* list = ed.findChild<controls::TListBoxEx*>(QStringLiteral("PlayListBox"));
  Click(list->viewport(), list->visualItemRect(list->item(2)).center());
  Keys({"alt+Up"});
  EXPECT_EQ(Entries(ed), (std::vector<std::string>{M("a"), M("c"), M("b")}));
  Click(list->viewport(), list->visualItemRect(list->item(1)).center());
  Keys({"Delete"});
  EXPECT_EQ(Entries(ed), (std::vector<std::string>{M("a"), M("b")}));
  // Enter plays: the play files are built, the editor closes through the main window.
  Keys({"Return"});
  EXPECT_EQ(files_.Count(), 3u);
  EXPECT_EQ(host_.closes, 1);
  EXPECT_EQ(host_.starts, 1);
}

TEST_F(X11Editor, FilesDraggedFromTheFileListIntoThePlayList) {
  Tfm_PlayList ed(QString::fromStdString(home_), host_, files_, nullptr,
                  std::make_unique<FakeVolumes>(volumes_));
  ed.move(40, 40);
  ASSERT_TRUE(TXvfbSession::ShowFocused(ed));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ed.CurDir() == M("a/"); }, 5000));
  Click(ed.findChild<QRadioButton*>(QStringLiteral("rb_FileMode")), QPoint(8, 8));
  ASSERT_TRUE(ed.FileMode());
  auto* files = ed.findChild<controls::TFileListBoxEX*>(QStringLiteral("FileListBox"));
  auto* list = ed.findChild<controls::TListBoxEx*>(QStringLiteral("PlayListBox"));
  ASSERT_EQ(files->count(), 2);
  // The second file pressed and dragged down into the play list, in steps.
  const QPoint from = files->viewport()->mapToGlobal(files->visualItemRect(files->item(1)).center());
  const QPoint to = list->viewport()->mapToGlobal(QPoint(40, 30));
  QStringList args{QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                   QStringLiteral("mousedown"), QStringLiteral("1")};
  for (int i = 1; i <= 8; ++i) {
    const QPoint p = from + (to - from) * i / 8;
    args << QStringLiteral("sleep") << QStringLiteral("0.1") << QStringLiteral("mousemove")
         << QString::number(p.x()) << QString::number(p.y());
  }
  args << QStringLiteral("sleep") << QStringLiteral("0.3") << QStringLiteral("mouseup")
       << QStringLiteral("1");
  // The drag runs its own event loop, so xdotool runs alongside.
  QProcess xdotool;
  xdotool.start(QStringLiteral("xdotool"), args);
  ASSERT_TRUE(QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, 15000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Entries(ed).empty(); }, 3000));
  EXPECT_EQ(Entries(ed), std::vector<std::string>{M("a/a2.mp3")});
  EXPECT_TRUE(files->SelectedNames().empty());
  EXPECT_EQ(list->HotColor(), -38);  // the drop highlight is gone
}
