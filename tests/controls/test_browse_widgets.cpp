// The list box and the browsing controls on Qt's offscreen platform: tool tips and hot
// tracking as painted, the file list's mask, order, bytes and bad directories, the
// tree's lazy filling, and the drive box following a medium that comes and goes.
// Screenshots land in the build directory's screenshots folder.
#include "controls/DirTree.h"
#include "controls/DrvCombo.h"
#include "controls/FileListBoxEX.h"
#include "controls/ListBoxEx.h"
#include "controls/core/BrowsePaths.h"
#include "controls/core/ListBoxRules.h"
#include "tests/controls/BrowseTree.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace sorrel::controls;
using sorrel::controls::test::TempTree;
using sorrel::controls::test::WithoutPrivileges;

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "browse_widget_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

void Screenshot(QWidget& w, const char* name) {
  const QString dir = QStringLiteral(SORREL_BUILD_DIR "/screenshots");
  QDir().mkpath(dir);
  w.grab().save(dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png"));
}

void MoveMouse(QWidget* viewport, QPoint pos) {
  QMouseEvent move(QEvent::MouseMove, pos, viewport->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(viewport, &move);
}

// Paints the list now, so that the tool tip decisions are taken (a repaint does not
// paint before the offscreen window is exposed; a grab always does).
void Paint(QAbstractItemView& view) { view.viewport()->grab(); }

int RedPixels(const QImage& image, QRect area) {
  int n = 0;
  area = area.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixelColor(x, y) == QColor(255, 0, 0)) ++n;
  return n;
}

class Widgets : public TempTree {
 protected:
  void SetUp() override {
    App();
    TempTree::SetUp();
  }
};

}  // namespace

TEST_F(Widgets, ListBoxToolTipForCutOffItemsAndTheHotColour) {
  TListBoxEx list;
  list.resize(120, 120);
  list.ToolTips(true);
  list.HotTrack(true);
  list.addItems({QStringLiteral("short"), QStringLiteral("a rather long item that cannot fit in the list")});
  list.show();
  const int h = list.ItemHeight();
  // Over the short item: no tip; over the long one: its whole text, over the item.
  MoveMouse(list.viewport(), {10, h / 2});
  Paint(list);
  EXPECT_EQ(list.HotItem(), 0);
  EXPECT_FALSE(list.ToolTipWindow().Shown());
  const QImage hot = list.viewport()->grab().toImage();
  EXPECT_GT(RedPixels(hot, QRect(0, 0, 120, h)), 10);  // the underline
  EXPECT_EQ(RedPixels(hot, QRect(0, h, 120, h)), 0);
  MoveMouse(list.viewport(), {10, h + h / 2});
  Paint(list);
  EXPECT_EQ(list.HotItem(), 1);
  ASSERT_TRUE(list.ToolTipWindow().Shown());
  EXPECT_EQ(list.ToolTipWindow().Caption(), list.item(1)->text());
  const QPoint itemTop = list.viewport()->mapToGlobal(list.visualItemRect(list.item(1)).topLeft());
  EXPECT_EQ(list.ToolTipWindow().geometry().left(), itemTop.x() + 1);
  EXPECT_LE(std::abs(list.ToolTipWindow().geometry().top() - (itemTop.y() - 3)), 1);
  EXPECT_GT(list.ToolTipWindow().width(), list.viewport()->width());
  Screenshot(list, "listboxex_hot");
  Screenshot(list.ToolTipWindow(), "listboxex_tooltip");
  // A hot colour forces the tip over a short item too, in that colour; -38 ends it.
  MoveMouse(list.viewport(), {10, h / 2});
  list.HotColor(0x9F9FFF);
  Paint(list);
  ASSERT_TRUE(list.ToolTipWindow().Shown());
  EXPECT_EQ(list.ToolTipWindow().Caption(), QStringLiteral("short"));
  EXPECT_EQ(list.ToolTipWindow().Color(), QColor(255, 159, 159));
  list.HotColor(kNoHotColor);
  Paint(list);
  EXPECT_FALSE(list.ToolTipWindow().Shown());
  // OnDrawText's text is drawn and shown.
  list.OnDrawText = [](int index, QString& text) {
    if (index == 0) text = QStringLiteral("replaced by the owner, and now far too long");
  };
  list.viewport()->update();
  Paint(list);
  ASSERT_TRUE(list.ToolTipWindow().Shown());
  EXPECT_EQ(list.ToolTipWindow().Caption(), QStringLiteral("replaced by the owner, and now far too long"));
  // The mouse leaving hides it; so does the owner being hidden, at the next tick.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&list, &leave);
  EXPECT_FALSE(list.ToolTipWindow().Shown());
  EXPECT_EQ(list.HotItem(), kMouseOutside);
  Paint(list);
  EXPECT_FALSE(list.ToolTipWindow().Shown());
  MoveMouse(list.viewport(), {10, h / 2});
  Paint(list);
  ASSERT_TRUE(list.ToolTipWindow().Shown());
  list.hide();
  EXPECT_FALSE(list.ToolTipWindow().Shown());
}

TEST_F(Widgets, ListBoxItemHeightFollowsTheFont) {
  TListBoxEx list;
  QFont f = list.font();
  f.setPixelSize(30);
  list.setFont(f);
  EXPECT_EQ(list.ItemHeight(), QFontMetrics(f).height() + 2);
  list.addItem(QStringLiteral("x"));
  EXPECT_EQ(list.visualItemRect(list.item(0)).height(), list.ItemHeight());
  EXPECT_EQ(list.ToolTipWindow().font().pixelSize(), 30);
}

TEST_F(Widgets, FileListMaskOrderAndBytes) {
  for (const char* n : {"B.Mp3", "a.mp3", "c.txt", ".hidden.mp3"}) Touch(std::string("d/") + n);
  const std::string bad = "caf\xE9.mp3";  // not UTF-8
  Touch("d/" + bad);
  MkDir("d/sub.mp3");
  TFileListBoxEX list;
  QLineEdit edit;
  list.SetFileEdit(&edit);
  int changes = 0;
  list.OnChange = [&] { ++changes; };
  list.SetMask("*.MP3");
  ASSERT_TRUE(list.SetDirectory(P("d")));
  EXPECT_GE(changes, 1);
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.item(0)->text(), QStringLiteral("a.mp3"));
  EXPECT_EQ(list.item(1)->text(), QStringLiteral("B.Mp3"));
  EXPECT_TRUE(list.item(2)->text().contains(QChar(0xFFFD)));
  EXPECT_EQ(edit.text(), QStringLiteral("*.MP3"));
  // Hidden files with ftHidden.
  list.SetFileType(ftNormal | ftHidden);
  EXPECT_EQ(list.count(), 4);
  EXPECT_EQ(list.NameAt(0), ".hidden.mp3");
  // The selected path keeps the real bytes.
  list.setCurrentRow(3);
  EXPECT_EQ(list.SelectedFilePath(), P("d") + "/" + bad);
  EXPECT_EQ(access(list.SelectedFilePath().c_str(), F_OK), 0);
  EXPECT_EQ(list.SelectedNames(), std::vector<std::string>{bad});
  // ApplyFilePath: a directory, a mask, a file, a missing one.
  EXPECT_EQ(list.ApplyFilePath(P("d") + "/*.txt"), TFileListBoxEX::TApplyResult::kDone);
  EXPECT_EQ(list.Mask(), "*.txt");
  EXPECT_EQ(list.count(), 1);
  list.SetMask("*.mp3;*.TXT");
  EXPECT_EQ(list.ApplyFilePath(P("d") + "/B.Mp3"), TFileListBoxEX::TApplyResult::kDone);
  EXPECT_EQ(list.SelectedFilePath(), P("d") + "/B.Mp3");
  EXPECT_EQ(edit.text(), QStringLiteral("B.Mp3"));
  EXPECT_EQ(list.ApplyFilePath(P("d") + "/none.mp3"), TFileListBoxEX::TApplyResult::kNoFile);
  EXPECT_EQ(list.ApplyFilePath(P("missing") + "/x.mp3"), TFileListBoxEX::TApplyResult::kNoDirectory);
  EXPECT_EQ(list.Directory(), P("d"));
  list.resize(160, 120);
  list.show();
  Screenshot(list, "filelistboxex");
}

TEST_F(Widgets, FileListSurvivesBadDirectories) {
  Touch("d/a.mp3");
  Touch("locked/x.mp3");
  chmod(P("locked").c_str(), 0);
  const std::string d = P("d"), locked = P("locked");
  EXPECT_TRUE(WithoutPrivileges([&] {
    TFileListBoxEX list;
    list.SetMask("*.mp3");
    return list.SetDirectory(d) && list.count() == 1 && !list.SetDirectory(locked) && list.Directory() == d &&
           list.count() == 1;
  }));
  // Deleted while shown: the refill shows nothing, and the list is still usable.
  TFileListBoxEX list;
  list.SetMask("*.mp3");
  ASSERT_TRUE(list.SetDirectory(d));
  list.setCurrentRow(0);
  std::filesystem::remove_all(d);
  EXPECT_FALSE(list.Refill());
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.SelectedFilePath(), "");
}

TEST_F(Widgets, FileListWithTenThousandFiles) {
  MkDir("big");
  for (int i = 0; i < 10000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/%s%05d.mp3", i % 2 ? "S" : "s", 9999 - i);
    close(open((P("big") + name).c_str(), O_CREAT | O_WRONLY, 0644));
  }
  TFileListBoxEX list;
  list.SetMask("*.MP3");
  ASSERT_TRUE(list.SetDirectory(P("big")));
  ASSERT_EQ(list.count(), 10000);
  EXPECT_EQ(list.NameAt(0), "S00000.mp3");
  EXPECT_EQ(list.NameAt(9999), "s09999.mp3");
  list.resize(160, 200);
  list.show();
  list.scrollToBottom();
  Paint(list);
  EXPECT_GT(list.indexAt({5, 5}).row(), 9000);
}

std::vector<std::string> ChildNames(QTreeWidgetItem* item) {
  std::vector<std::string> out;
  for (int i = 0; i < item->childCount(); ++i) out.push_back(item->child(i)->text(0).toStdString());
  return out;
}

TEST_F(Widgets, TreeFillsLazilyWithoutDotNames) {
  for (const char* d :
       {"r/Music/Rock", "r/music2", "r/.config/x", "r/Empty", "r/secret/inner", "r/Music/.git"})
    MkDir(d);
  Touch("r/.hidden", "secret\n");
  TDirTreeView tree;
  std::vector<std::string> changes;
  tree.OnChange = [&](const std::string& dir) { changes.push_back(dir); };
  tree.SetCurrentDirectory(P("r"));
  ASSERT_TRUE(tree.SetDrive(P("r")));
  QTreeWidgetItem* root = tree.topLevelItem(0);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->text(0), QStringLiteral("/"));
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"Empty", "Music", "music2"}));
  EXPECT_EQ(changes, std::vector<std::string>{P("r") + "/"});  // once, after the rebuild
  // A placeholder until expanded; "Music/.git" gives none.
  QTreeWidgetItem* music = root->child(1);
  EXPECT_EQ(ChildNames(music), std::vector<std::string>{"???"});
  EXPECT_EQ(root->child(0)->childCount(), 0);
  MkDir("r/Music/Jazz");
  music->setExpanded(true);
  EXPECT_EQ(ChildNames(music), (std::vector<std::string>{"Jazz", "Rock"}));
  // Created after the first expansion: only after a rebuild.
  MkDir("r/Music/Blues");
  music->setExpanded(false);
  music->setExpanded(true);
  EXPECT_EQ(music->childCount(), 2);
  tree.ShowHiddenDir(true);  // rebuilds
  root = tree.topLevelItem(0);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"Empty", "Music", "music2", "secret"}));
  root->child(1)->setExpanded(true);
  EXPECT_EQ(ChildNames(root->child(1)), (std::vector<std::string>{"Blues", "Jazz", "Rock"}));
  tree.ShowDriveName(true);
  EXPECT_EQ(tree.topLevelItem(0)->text(0).toStdString(), P("r"));
  // Deleted while shown: expanding finds nothing and nothing breaks.
  std::filesystem::remove_all(P("r/Music"));
  QTreeWidgetItem* gone = tree.topLevelItem(0)->child(1);
  gone->setExpanded(true);
  EXPECT_EQ(gone->childCount(), 0);
  tree.resize(200, 200);
  tree.show();
  Screenshot(tree, "dirtreeview");
}

TEST_F(Widgets, TreeSelectsTheCurrentDirectoryAndNamesPaths) {
  MkDir("r/A/B/C");
  MkDir("r/a2");
  Link("..", "r/A/B/up");
  TDirTreeView tree;
  std::string changed;
  int busyChanges = 0;
  tree.OnChange = [&](const std::string& dir) {
    changed = dir;
    busyChanges += tree.Busy();
  };
  tree.SetCurrentDirectory(P("r/A/B/C"));
  ASSERT_TRUE(tree.SetDrive(P("r")));
  EXPECT_EQ(tree.GetSelectedDirectory(), P("r/A/B/C") + "/");
  EXPECT_EQ(changed, P("r/A/B/C") + "/");
  EXPECT_EQ(busyChanges, 0);
  // The loop back up is a leaf.
  QTreeWidgetItem* b = tree.currentItem()->parent();
  ASSERT_EQ(ChildNames(b), (std::vector<std::string>{"C", "up"}));
  EXPECT_EQ(b->child(1)->childCount(), 0);
  // A directory that went away: the deepest node left.
  tree.SetCurrentDirectory(P("r/A/gone/deeper"));
  tree.SelectCurrentDirectory();
  EXPECT_EQ(tree.GetSelectedDirectory(), P("r/A") + "/");
  // Outside the drive: the root.
  tree.SetCurrentDirectory("/");
  tree.SelectCurrentDirectory();
  EXPECT_EQ(tree.GetSelectedDirectory(), P("r") + "/");
  tree.resize(200, 200);
  tree.show();
  Paint(tree);
  const QRect r = tree.visualItemRect(tree.topLevelItem(0)->child(0));
  EXPECT_EQ(tree.GetDirectoryAt(r.center()), P("r/A") + "/");
  EXPECT_EQ(tree.GetDirectoryAt({5, 190}), "");
  EXPECT_FALSE(tree.SetDrive(P("missing")));
  EXPECT_EQ(tree.Drive(), P("r"));
}

class FakeVolumes : public TVolumeSource {
 public:
  std::vector<TVolume>* volumes;
  std::vector<TVolume> MountedVolumes() override { return *volumes; }
};

TEST_F(Widgets, DriveBoxFollowsAMediumAfterARefresh) {
  const std::string disk = MkDir("disk"), usb = MkDir("usb"), docs = MkDir("disk/Documents");
  MkDir("usb/Album");
  std::vector<TVolume> volumes = {{disk, "ext4", "/dev/sda1", "", true}};
  auto source = std::make_unique<FakeVolumes>();
  source->volumes = &volumes;
  TDrvCombo box(nullptr, std::move(source));
  box.SetFolders(docs, "");
  box.SetFallbackDirectory(docs);
  box.SetCurrentDirectory(disk);
  int changes = 0;
  box.OnChange = [&] { ++changes; };
  ASSERT_EQ(box.count(), 2);
  EXPECT_EQ(box.currentIndex(), 0);
  EXPECT_EQ(box.itemText(1), QStringLiteral("Documents"));
  // Plugged in: shown after F5, the current place unchanged.
  volumes.push_back({usb, "vfat", "/dev/sdb1", "MUSIC", true});
  EXPECT_EQ(box.count(), 2);
  EXPECT_FALSE(box.RefreshDrives());
  ASSERT_EQ(box.count(), 3);
  EXPECT_EQ(box.itemText(1).toStdString(), usb);
  box.Click(1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(box.Drive(), usb);
  box.SetCurrentDirectory(usb + "/Album");
  box.SetDrive(usb);  // already selected: no change event
  EXPECT_EQ(changes, 1);
  // Pulled out: after F5 the box falls back to a reachable directory and its drive.
  volumes.pop_back();
  EXPECT_TRUE(box.RefreshDrives());
  EXPECT_EQ(box.count(), 2);
  EXPECT_EQ(box.CurrentDirectory(), docs);
  EXPECT_EQ(box.currentIndex(), 0);
  EXPECT_EQ(box.Drive(), disk);
  // The documents folder: current, shown by its drive.
  box.Click(1);
  EXPECT_EQ(box.CurrentDirectory(), docs);
  EXPECT_EQ(box.currentIndex(), 0);
  box.resize(220, 24);
  box.show();
  Screenshot(box, "drvcombo");
  box.showPopup();
  Screenshot(*box.view(), "drvcombo_list");
  box.hidePopup();
}

TEST_F(Widgets, DriveBoxOnTheRealVolumes) {
  // Whatever this machine mounts: at least the root, nothing from /proc or /sys.
  TDrvCombo box;
  ASSERT_GE(box.count(), 1);
  for (const TDriveEntry& e : box.List().Entries()) {
    EXPECT_FALSE(PathUnder("/proc", e.path)) << e.path;
    EXPECT_FALSE(PathUnder("/sys", e.path)) << e.path;
  }
  EXPECT_FALSE(box.Drive().empty());
}
