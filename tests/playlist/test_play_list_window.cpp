// The play list editor on Qt's offscreen platform, driven through its real controls:
// keys, right clicks, drops at positions over the list, dragging inside the list,
// files dropped from the desktop, the mode switch, open and save, Play, the directory
// search, and a medium that comes and goes.  Screenshots land in the build
// directory's screenshots folder.
#include "controls/DirTree.h"
#include "controls/DrvCombo.h"
#include "controls/FileListBoxEX.h"
#include "controls/ListBoxEx.h"
#include "controls/core/BrowsePaths.h"
#include "controls/core/ListBoxRules.h"
#include "playlist/ui/PlayList.h"
#include "playlist/ui/SearchSts.h"
#include "tests/controls/BrowseTree.h"
#include "tests/playlist/PlayListWindowFakes.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

using namespace sorrel::playlist;
using sorrel::playlist::test::FakeHost;
using sorrel::playlist::test::FakeVolumes;
namespace controls = sorrel::controls;

namespace {

class Editor : public controls::test::TempTree {
 protected:
  void SetUp() override {
    sorrel::playlist::test::OffscreenApp("play_list_window_tests");
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = sorrel::controls::test::TreeBase() + "/editor-" + info->name() + "-" + std::to_string(getpid());
    std::filesystem::remove_all(root_);
    disk_ = MkDir("disk");
    home_ = MkDir("home");
    music_ = MkDir("disk/music");
    Touch("disk/music/a/a1.mp3");
    Touch("disk/music/a/a2.mp3");
    Touch("disk/music/b/B.MP3");
    Touch("disk/music/c/c.mp3");
    Touch("disk/music/empty/notes.txt");
    Touch("disk/music/.hidden/h.mp3");
    volumes_ = {{disk_, "ext4", "/dev/sda1", "", true}};
    host_.music.CurFile = music_ + "/a/a1.mp3";
  }

  // The editor shown, with its deferred set-up done.
  std::unique_ptr<Tfm_PlayList> Open() {
    auto ed = std::make_unique<Tfm_PlayList>(QString::fromStdString(home_), host_, files_, nullptr,
                                             std::make_unique<FakeVolumes>(volumes_));
    ed->OnShowError = [this](const QString& text) { errors_ << text; };
    ed->show();
    ed->tm_SplashTimer();
    return ed;
  }

  template <class T>
  static T* Child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(c) << name;
    return c;
  }
  static controls::TDirTreeView* Tree(QWidget& w) { return Child<controls::TDirTreeView>(w, "DirTreeView"); }
  static controls::TFileListBoxEX* Files(QWidget& w) {
    return Child<controls::TFileListBoxEX>(w, "FileListBox");
  }
  static controls::TListBoxEx* List(QWidget& w) { return Child<controls::TListBoxEx>(w, "PlayListBox"); }

  // Selects the tree's node of `dir` (expanding on the way), as a click does.
  static void SelectDir(QWidget& w, const std::string& dir) {
    controls::TDirTreeView* tree = Tree(w);
    tree->SetCurrentDirectory(dir);
    tree->SelectCurrentDirectory();
    ASSERT_EQ(tree->GetSelectedDirectory(), dir + "/");
  }
  static QTreeWidgetItem* NodeOf(QWidget& w, const std::string& dir) {
    controls::TDirTreeView* tree = Tree(w);
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
      if (controls::TDirTreeView::DirectoryOf(*it) == dir + "/") return *it;
    return nullptr;
  }
  static void RightClick(QAbstractItemView* view, QPoint pos) {
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, pos);
  }
  std::vector<std::string> Entries(const Tfm_PlayList& ed) const {
    std::vector<std::string> out;
    for (const QString& e : ed.Entries()) out.push_back(e.toStdString());
    return out;
  }
  std::string M(const std::string& rel) const { return music_ + "/" + rel; }
  static std::string Slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // One drag over the list's viewport, ending in a drop when `drop`.
  // Drop events go where the drag entered, as Qt's drag manager delivers them.
  static void DragTo(controls::TListBoxEx* list, QMimeData* data, QPoint pos, bool drop) {
    DragTo(list->viewport(), data, pos, drop);
  }
  static void DragTo(QWidget* vp, QMimeData* data, QPoint pos, bool drop) {
    QDragEnterEvent enter(pos, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(vp, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(vp, &move);
    if (!drop) return;
    QDropEvent dropped(QPointF(pos), Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(vp, &dropped);
  }
  static QMimeData* Mime(const char* format) {
    auto* m = new QMimeData;
    m->setData(QLatin1String(format), {});
    return m;
  }
  static QMimeData* Urls(const std::vector<std::string>& paths) {
    auto* m = new QMimeData;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    m->setUrls(urls);
    return m;
  }

  std::string disk_, home_, music_;
  std::vector<controls::TVolume> volumes_;
  FakeHost host_;
  PlayFileList files_;
  QStringList errors_;
};

}  // namespace

TEST_F(Editor, KeysBuildAndReorderADirectoryList) {
  auto ed = Open();
  EXPECT_EQ(ed->windowTitle(), QStringLiteral("プレイリスト （ディレクトリ指定）"));
  EXPECT_EQ(Child<QLabel>(*ed, "Label1")->text(), QStringLiteral("MP3ファイル（参考）"));
  EXPECT_EQ(ed->CurDir(), M("a/"));
  EXPECT_EQ(Files(*ed)->count(), 2);
  EXPECT_FALSE(Child<QPushButton>(*ed, "btb_Play")->isEnabled());
  // The hidden directory and the dot-name never show.
  SelectDir(*ed, music_);
  EXPECT_EQ(NodeOf(*ed, M(".hidden")), nullptr);
  EXPECT_NE(NodeOf(*ed, M("empty")), nullptr);
  EXPECT_EQ(Child<QToolButton>(*ed, "spb_GetAllDir")->toolTip().toStdString(),
            M("") + " 以下の.mp3を含むすべてのディレクトリを追加");

  // "L" in the tree adds its directory; one without MP3 files is refused with a beep.
  for (const char* dir : {"a", "b", "c", "empty"}) {
    SelectDir(*ed, M(dir));
    QTest::keyClick(Tree(*ed), Qt::Key_L);
  }
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("a"), M("b"), M("c")}));
  EXPECT_EQ(host_.beeps, 1);
  EXPECT_TRUE(Child<QPushButton>(*ed, "btb_Play")->isEnabled());

  // Ctrl+A, then Alt+Up: the whole list moved up changes nothing.
  controls::TListBoxEx* list = List(*ed);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(ed->Selection(), (TSelection{0, 1, 2}));
  EXPECT_TRUE(Child<QToolButton>(*ed, "spb_Up")->isEnabled());
  QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("a"), M("b"), M("c")}));
  // A selection with the first entry: the first stays, the others move.
  ed->SetSelection({0, 2});
  QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("a"), M("c"), M("b")}));
  EXPECT_EQ(ed->Selection(), (TSelection{0, 1}));
  QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("b"), M("a"), M("c")}));
  EXPECT_EQ(ed->Selection(), (TSelection{1, 2}));
  // Characters do nothing in the lists (no incremental search), F5 keeps the place.
  QTest::keyClick(list, Qt::Key_C);
  EXPECT_EQ(ed->Selection(), (TSelection{1, 2}));
  QTest::keyClick(Tree(*ed), Qt::Key_F5);
  EXPECT_EQ(ed->CurDir(), M("empty/"));
  // Delete removes the selection.
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("b")}));
  EXPECT_FALSE(Child<QToolButton>(*ed, "spb_Delete")->isEnabled());
  ed->resize(560, 420);
  sorrel::playlist::test::Screenshot(*ed, "playlist_editor_dirmode");
  ed->resize(300, 200);  // no smaller than its minimum
  EXPECT_EQ(ed->size(), QSize(470, 300));
  sorrel::playlist::test::Screenshot(*ed, "playlist_editor_min");
}

TEST_F(Editor, RightClicksAndKeysFollowTheMode) {
  auto ed = Open();
  controls::TDirTreeView* tree = Tree(*ed);
  // Directory mode: a right-clicked directory is added, and the tree stays where it was.
  QTreeWidgetItem* node = NodeOf(*ed, M("c"));
  ASSERT_TRUE(node);
  RightClick(tree, tree->visualItemRect(node).center());
  EXPECT_EQ(Entries(*ed), std::vector<std::string>{M("c")});
  EXPECT_EQ(tree->GetSelectedDirectory(), M("a/"));
  // The file list is for reference: a click selects nothing, "L" adds nothing.
  controls::TFileListBoxEX* files = Files(*ed);
  QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(files->item(0)).center());
  EXPECT_TRUE(files->SelectedNames().empty());

  // File mode (its default list is empty): the tree adds nothing, and does not beep.
  QTest::mouseClick(Child<QRadioButton>(*ed, "rb_FileMode"), Qt::LeftButton);
  EXPECT_TRUE(ed->FileMode());
  EXPECT_EQ(ed->windowTitle(), QStringLiteral("プレイリスト （ファイル指定）"));
  EXPECT_TRUE(Entries(*ed).empty());
  RightClick(tree, tree->visualItemRect(NodeOf(*ed, M("c"))).center());
  QTest::keyClick(tree, Qt::Key_L);
  EXPECT_TRUE(Entries(*ed).empty());
  EXPECT_EQ(host_.beeps, 0);
  EXPECT_FALSE(Child<QToolButton>(*ed, "spb_GetAllDir")->isVisible());
  // A right-clicked file is added; Ctrl+A and "L" add them all.
  RightClick(files, files->visualItemRect(files->item(1)).center());
  EXPECT_EQ(Entries(*ed), std::vector<std::string>{M("a/a2.mp3")});
  files->setFocus();
  QTest::keyClick(files, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(files->SelectedNames().size(), 2u);
  QTest::keyClick(files, Qt::Key_L);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("a/a2.mp3"), M("a/a1.mp3"), M("a/a2.mp3")}));
  EXPECT_TRUE(files->SelectedNames().empty());
  ed->resize(560, 420);
  sorrel::playlist::test::Screenshot(*ed, "playlist_editor_filemode");
}

TEST_F(Editor, SwitchingModesDiscardsUnsavedEdits) {
  std::ofstream(home_ + "/Default.tdr", std::ios::binary) << M("a") << "\r\n";
  std::ofstream(home_ + "/Default.tfl", std::ios::binary) << M("c/c.mp3") << "\r\n";
  auto ed = Open();
  EXPECT_EQ(Entries(*ed), std::vector<std::string>{M("a")});
  SelectDir(*ed, M("b"));
  QTest::keyClick(Tree(*ed), Qt::Key_L);
  EXPECT_EQ(Entries(*ed).size(), 2u);
  QTest::mouseClick(Child<QRadioButton>(*ed, "rb_FileMode"), Qt::LeftButton);
  EXPECT_EQ(Entries(*ed), std::vector<std::string>{M("c/c.mp3")});
  QTest::mouseClick(Child<QRadioButton>(*ed, "rb_DirMode"), Qt::LeftButton);
  EXPECT_EQ(Entries(*ed), std::vector<std::string>{M("a")});
  // Nothing was saved on the way.
  EXPECT_EQ(Slurp(home_ + "/Default.tdr"), M("a") + "\r\n");
  // Showing again reloads the default list as well.
  SelectDir(*ed, M("b"));
  QTest::keyClick(Tree(*ed), Qt::Key_L);
  ed->hide();
  ed->show();
  ed->tm_SplashTimer();
  EXPECT_EQ(Entries(*ed), std::vector<std::string>{M("a")});
}

TEST_F(Editor, DropsFromTheBrowsersGoWhereThePointerIs) {
  auto ed = Open();
  controls::TListBoxEx* list = List(*ed);
  for (const char* dir : {"a", "b"}) {
    SelectDir(*ed, M(dir));
    QTest::keyClick(Tree(*ed), Qt::Key_L);
  }
  SelectDir(*ed, M("c"));
  const int h = list->ItemHeight();
  // The tree's directory dropped on the second entry goes before it.
  std::unique_ptr<QMimeData> d1(Mime(Tfm_PlayList::kTreeMime));
  DragTo(list, d1.get(), QPoint(20, h + h / 2), false);
  EXPECT_EQ(list->HotColor(), Tfm_PlayList::kDropHotColor);
  EXPECT_TRUE(list->HotFont().font().bold());
  list->viewport()->grab();  // painting places the highlight over the hot entry
  ASSERT_TRUE(list->HotFont().Shown());
  EXPECT_EQ(list->HotFont().Caption(), QStringLiteral("disk/music/b"));  // "PLDirLimit" 2
  sorrel::playlist::test::Screenshot(list->HotFont(), "playlist_drop_highlight");
  std::unique_ptr<QMimeData> data(Mime(Tfm_PlayList::kTreeMime));
  QDropEvent drop(QPointF(20, h + h / 2), Qt::CopyAction, data.get(), Qt::LeftButton, {});
  QApplication::sendEvent(list->viewport(), &drop);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("a"), M("c"), M("b")}));
  EXPECT_EQ(list->HotColor(), controls::kNoHotColor);
  EXPECT_FALSE(list->HotFont().font().bold());
  // Below the last entry: at the end.
  std::unique_ptr<QMimeData> d2(Mime(Tfm_PlayList::kTreeMime));
  DragTo(list, d2.get(), QPoint(20, 10 * h), true);
  EXPECT_EQ(Entries(*ed).back(), M("c"));

  // Near the edges the list scrolls while a browser's item is dragged over it.
  std::unique_ptr<QMimeData> d3(Mime(Tfm_PlayList::kFileListMime));
  DragTo(list, d3.get(), QPoint(20, 2), false);
  EXPECT_EQ(ed->ScrollDir(), TScrollDir::kUp);
  DragTo(list, d3.get(), QPoint(20, list->viewport()->height() - 2), false);
  EXPECT_EQ(ed->ScrollDir(), TScrollDir::kDown);
  DragTo(list, d3.get(), QPoint(20, list->viewport()->height() / 2), false);
  EXPECT_EQ(ed->ScrollDir(), TScrollDir::kNone);

  // Dragging the selection inside the list moves it an entry per item height.
  ed->SetSelection({3});
  std::unique_ptr<QMimeData> self(Mime(Tfm_PlayList::kPlayListMime));
  const QPoint start(20, 3 * h + h / 2);
  QDragEnterEvent enter(start, Qt::MoveAction, self.get(), Qt::LeftButton, {});
  QApplication::sendEvent(list->viewport(), &enter);
  QDragMoveEvent up(start - QPoint(0, h), Qt::MoveAction, self.get(), Qt::LeftButton, {});
  QApplication::sendEvent(list->viewport(), &up);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("a"), M("c"), M("c"), M("b")}));
  EXPECT_EQ(ed->Selection(), TSelection{2});
  QDragMoveEvent small(start - QPoint(0, h + h / 2), Qt::MoveAction, self.get(), Qt::LeftButton, {});
  QApplication::sendEvent(list->viewport(), &small);
  EXPECT_EQ(ed->Selection(), TSelection{2});  // less than an item height from the new start
  QDropEvent done(QPointF(start - QPoint(0, h)), Qt::MoveAction, self.get(), Qt::LeftButton, {});
  QApplication::sendEvent(list->viewport(), &done);
  EXPECT_EQ(Entries(*ed).size(), 4u);  // the drop itself adds nothing

  // File mode: the file list's selection dropped on the first entry goes first.
  QTest::mouseClick(Child<QRadioButton>(*ed, "rb_FileMode"), Qt::LeftButton);
  SelectDir(*ed, M("a"));
  RightClick(Files(*ed), Files(*ed)->visualItemRect(Files(*ed)->item(0)).center());
  Files(*ed)->item(1)->setSelected(true);
  std::unique_ptr<QMimeData> d4(Mime(Tfm_PlayList::kFileListMime));
  DragTo(list, d4.get(), QPoint(20, h / 2), true);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("a/a2.mp3"), M("a/a1.mp3")}));
}

TEST_F(Editor, FilesDroppedFromTheDesktop) {
  auto ed = Open();
  controls::TListBoxEx* list = List(*ed);
  QWidget* browsing = Tree(*ed)->viewport();
  // Directory mode: folders onto the list are added, one without MP3 files beeps.
  std::unique_ptr<QMimeData> dirs(Urls({M("b"), M("empty"), M("c/")}));
  DragTo(list, dirs.get(), QPoint(10, 10), true);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("b"), M("c")}));
  EXPECT_EQ(host_.beeps, 1);
  // A folder onto the browsing area is shown there; a file there beeps.
  std::unique_ptr<QMimeData> folder(Urls({M("c")}));
  DragTo(browsing, folder.get(), QPoint(10, 10), true);
  EXPECT_EQ(ed->CurDir(), M("c/"));
  EXPECT_EQ(Tree(*ed)->GetSelectedDirectory(), M("c/"));
  std::unique_ptr<QMimeData> file(Urls({M("a/a1.mp3")}));
  DragTo(browsing, file.get(), QPoint(10, 10), true);
  EXPECT_EQ(host_.beeps, 2);
  EXPECT_EQ(ed->CurDir(), M("c/"));

  // File mode: a folder onto the list beeps; MP3 files are added, "B.MP3" is not.
  QTest::mouseClick(Child<QRadioButton>(*ed, "rb_FileMode"), Qt::LeftButton);
  std::unique_ptr<QMimeData> mixed(Urls({M("a"), M("a/a1.mp3"), M("b/B.MP3")}));
  DragTo(list, mixed.get(), QPoint(10, 10), true);
  EXPECT_EQ(Entries(*ed), std::vector<std::string>{M("a/a1.mp3")});
  EXPECT_EQ(host_.beeps, 3);
  // The file list is back at the tree's directory.
  EXPECT_EQ(Files(*ed)->Directory(), M("c"));
}

TEST_F(Editor, OpenAndSaveThroughTheirDialogs) {
  auto ed = Open();
  SelectDir(*ed, M("b"));
  QTest::keyClick(Tree(*ed), Qt::Key_L);
  // "S": the save dialog offers ".pdr" lists and adds the extension.
  auto* save = ed->findChild<QFileDialog*>(QStringLiteral("SaveDialog"));
  ASSERT_TRUE(save);
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(save->nameFilters(), QStringList{QStringLiteral("ディレクトリ指定用 (*.pdr)")});
    EXPECT_EQ(save->directory().absolutePath().toStdString(), home_);
    save->selectFile(QString::fromStdString(home_ + "/mine"));
    static_cast<QDialog*>(save)->accept();
  });
  QTest::keyClick(List(*ed), Qt::Key_S);
  EXPECT_EQ(Slurp(home_ + "/mine.pdr"), M("b") + "\r\n");

  QTest::mouseClick(Child<QToolButton>(*ed, "spb_Clear"), Qt::LeftButton);
  EXPECT_TRUE(Entries(*ed).empty());
  EXPECT_FALSE(Child<QToolButton>(*ed, "spb_Save")->isEnabled());
  auto* open = ed->findChild<QFileDialog*>(QStringLiteral("OpenDialog"));
  ASSERT_TRUE(open);
  QTimer::singleShot(0, [&] {
    open->selectFile(QString::fromStdString(home_ + "/mine.pdr"));
    static_cast<QDialog*>(open)->accept();
  });
  QTest::keyClick(Tree(*ed), Qt::Key_O);
  EXPECT_EQ(Entries(*ed), std::vector<std::string>{M("b")});
  // The folders are remembered in the settings when the editor hides.
  TPlayListSettings settings;
  ed->UseSettings(&settings);
  ed->hide();
  EXPECT_EQ(settings.OpenDialogInitialDir, home_ + "/");
  EXPECT_EQ(settings.SaveDialogInitialDir, home_ + "/");
}

TEST_F(Editor, PlayCommitsTheListAndCancelClosesWithoutPlaying) {
  auto ed = Open();
  QTest::mouseClick(Child<QPushButton>(*ed, "btb_Cancel"), Qt::LeftButton);
  EXPECT_EQ(host_.closes, 1);
  EXPECT_EQ(host_.starts, 0);
  ed->show();
  ed->tm_SplashTimer();
  for (const char* dir : {"b", "a"}) {
    SelectDir(*ed, M(dir));
    QTest::keyClick(Tree(*ed), Qt::Key_L);
  }
  Child<QCheckBox>(*ed, "cbx_Shuffle")->setChecked(true);
  EXPECT_EQ(Child<QCheckBox>(*ed, "cbx_Shuffle")->palette().color(QPalette::WindowText), QColor(128, 0, 0));
  QTest::mouseClick(Child<QPushButton>(*ed, "btb_Play"), Qt::LeftButton);
  ASSERT_EQ(files_.Count(), 3u);
  EXPECT_EQ(files_.PlayFiles()[0].path, M("b/B.MP3"));
  EXPECT_EQ(files_.PlayFiles()[2].path, M("a/a2.mp3"));
  EXPECT_TRUE(host_.mainShuffle);
  EXPECT_EQ(host_.closes, 2);
  EXPECT_EQ(host_.starts, 1);  // the player had nothing open
  EXPECT_EQ(Slurp(home_ + "/Default.tdr"), M("b") + "\r\n" + M("a") + "\r\n");
}

TEST_F(Editor, SearchAddsTheMp3DirectoriesBelowAndACancelAddsNothing) {
  auto ed = Open();
  Tfm_SearchSts sts;
  ed->SetSearchWindow(&sts);
  SelectDir(*ed, music_);
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(sts.windowTitle(), QStringLiteral("ディレクトリ検索中"));
    EXPECT_EQ(sts.size(), QSize(442, 72));
    sorrel::playlist::test::Screenshot(sts, "searchsts");
    EXPECT_FALSE(ed->isEnabled());
    Child<QPushButton>(sts, "btn_Cancel")->click();
  });
  QTest::mouseClick(Child<QToolButton>(*ed, "spb_GetAllDir"), Qt::LeftButton);
  EXPECT_TRUE(sts.Cancelled());
  EXPECT_TRUE(Entries(*ed).empty());
  EXPECT_TRUE(ed->isEnabled());
  EXPECT_FALSE(sts.isVisible());

  QTest::mouseClick(Child<QToolButton>(*ed, "spb_GetAllDir"), Qt::LeftButton);
  EXPECT_EQ(Entries(*ed), (std::vector<std::string>{M("a"), M("b"), M("c")}));
  // A start directory with MP3 files of its own comes first, with its "/".
  SelectDir(*ed, M("a"));
  QTest::mouseClick(Child<QToolButton>(*ed, "spb_GetAllDir"), Qt::LeftButton);
  EXPECT_EQ(Entries(*ed).back(), M("a/"));
}

TEST_F(Editor, AMediumComesAndGoesAndADirectoryVanishes) {
  const std::string usb = MkDir("usb");
  Touch("usb/Album/x.mp3");
  auto ed = Open();
  auto* drives = Child<controls::TDrvCombo>(*ed, "DrvCombo");
  const int before = drives->count();
  // Plugged in: listed after F5, and chosen, the tree shows it.
  volumes_.push_back({usb, "vfat", "/dev/sdb1", "STICK", true});
  QTest::keyClick(Tree(*ed), Qt::Key_F5);
  ASSERT_EQ(drives->count(), before + 1);
  int index = -1;
  for (int i = 0; i < drives->count(); ++i)
    if (drives->itemData(i).toString().toStdString() == usb) index = i;
  ASSERT_GE(index, 0);
  drives->Click(index);
  EXPECT_EQ(ed->CurDir(), usb + "/");
  EXPECT_EQ(Tree(*ed)->Drive(), usb);
  SelectDir(*ed, usb + "/Album");
  EXPECT_EQ(Files(*ed)->count(), 1);
  // Pulled out: choosing it says so and falls back to a directory that answers.
  volumes_.pop_back();
  drives->Click(index);
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_EQ(errors_[0].toStdString(), usb + " ドライブは準備されていません");
  EXPECT_FALSE(controls::PathUnder(usb, ed->CurDir()));
  EXPECT_EQ(drives->count(), before);
  // A directory deleted while the tree shows it.
  SelectDir(*ed, M("a"));
  QTreeWidgetItem* node = NodeOf(*ed, M("b"));
  ASSERT_TRUE(node);
  std::filesystem::remove_all(M("b"));
  Tree(*ed)->setCurrentItem(node);
  ASSERT_EQ(errors_.size(), 2);
  EXPECT_EQ(errors_[1], QStringLiteral(" ディレクトリが無効です"));
  EXPECT_EQ(ed->CurDir(), M(""));
  EXPECT_EQ(NodeOf(*ed, M("b")), nullptr);
}

TEST_F(Editor, NamesThatAreNotUtf8AreShownReplacedAndKeptByTheirBytes) {
  const std::string bad = Touch("disk/music/odd/\xff\xfe song.mp3");
  auto ed = Open();
  QTest::mouseClick(Child<QRadioButton>(*ed, "rb_FileMode"), Qt::LeftButton);
  SelectDir(*ed, M("odd"));
  controls::TFileListBoxEX* files = Files(*ed);
  ASSERT_EQ(files->count(), 1);
  RightClick(files, files->visualItemRect(files->item(0)).center());
  ASSERT_EQ(ed->Controller().PlayList().Entries, std::vector<std::string>{bad});
  EXPECT_EQ(List(*ed)->item(0)->text(),
            QString::fromStdString(M("odd/")) + QStringLiteral("\uFFFD\uFFFD song.mp3"));
  // Played by its bytes.
  QTest::mouseClick(Child<QPushButton>(*ed, "btb_Play"), Qt::LeftButton);
  ASSERT_EQ(files_.Count(), 1u);
  EXPECT_EQ(files_.AtRow(0).path, bad);
}
