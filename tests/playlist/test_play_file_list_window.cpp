// The play file list on Qt's offscreen platform: the rows as shortened paths, the
// highlight that only the main window moves, Enter and double clicks asking to play,
// the item hint following the focused row through scrolling, the keys for the main
// window, and an empty list.
#include "playlist/ui/PlayFileList.h"
#include "tests/controls/BrowseTree.h"
#include "tests/playlist/PlayListWindowFakes.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <filesystem>

#include <gtest/gtest.h>

using namespace sorrel::playlist;

namespace {

class FileListWindow : public sorrel::controls::test::TempTree {
 protected:
  void SetUp() override {
    sorrel::playlist::test::OffscreenApp("play_list_window_tests");
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = sorrel::controls::test::TreeBase() + "/files-" + info->name() + "-" + std::to_string(getpid());
    std::filesystem::remove_all(root_);
    for (int i = 0; i < 40; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "lib/Artist/Album/%02d.mp3", i);
      entries_.push_back(Touch(name));
    }
  }
  // The window filled and shown, the song at `playing` highlighted.
  void Fill(Tfm_PlayFileList& w, int playing) {
    w.PlayFiles().BuildPlayFiles(entries_, true, false);
    w.RowsChanged();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.SelectRow(playing);
  }
  static QPoint RowCenter(Tfm_PlayFileList& w, int row) {
    QListView* list = w.ListBox();
    return list->visualRect(list->model()->index(row, 0)).center();
  }
  static QPoint RowTopOnScreen(Tfm_PlayFileList& w, int row) {
    QListView* list = w.ListBox();
    return list->viewport()->mapToGlobal(list->visualRect(list->model()->index(row, 0)).topLeft());
  }

  std::vector<std::string> entries_;
};

}  // namespace

TEST_F(FileListWindow, ClicksNeverMoveTheHighlightEnterAndDoubleClicksPlay) {
  Tfm_PlayFileList w;
  QSignalSpy play(&w, &Tfm_PlayFileList::PlayRowRequested);
  Fill(w, 3);
  EXPECT_EQ(w.size(), QSize(510, 203));
  EXPECT_EQ(w.RowText(0), QStringLiteral("lib/Artist/Album/00.mp3"));
  EXPECT_EQ(w.SelectedRow(), 3);
  QListView* list = w.ListBox();
  // Another song clicked: the focus moves, the highlight stays, and the hint shows the
  // clicked song over its row.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCenter(w, 5));
  EXPECT_EQ(w.SelectedRow(), 3);
  EXPECT_EQ(list->selectionModel()->selectedIndexes().size(), 1);
  EXPECT_EQ(w.FocusedRow(), 5);
  ASSERT_TRUE(w.ItemHint().Shown());
  EXPECT_EQ(w.ItemHint().Caption(), w.RowText(5));
  EXPECT_EQ(w.ItemHint().geometry().top(), RowTopOnScreen(w, 5).y());
  EXPECT_EQ(w.ItemHint().geometry().left(), RowTopOnScreen(w, 5).x() + 2);
  // The song that plays clicked: still highlighted.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCenter(w, 3));
  EXPECT_EQ(w.SelectedRow(), 3);
  // Page Down and the arrows move the focus only.
  QTest::keyClick(list, Qt::Key_PageDown);
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(w.SelectedRow(), 3);
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list->selectionModel()->selectedIndexes().size(), 1);
  EXPECT_TRUE(play.isEmpty());
  // Enter asks the main window to play the focused song; only SelectRow moves the
  // highlight.
  const int focused = w.FocusedRow();
  EXPECT_GT(focused, 5);
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_EQ(play.size(), 1);
  EXPECT_EQ(play.takeFirst().at(0).toInt(), focused);
  EXPECT_EQ(w.SelectedRow(), 3);
  w.SelectRow(focused);
  EXPECT_EQ(w.SelectedRow(), focused);
  EXPECT_EQ(list->indexAt(QPoint(2, 2)).row(), focused - 5);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, RowCenter(w, focused + 1));
  ASSERT_EQ(play.size(), 1);
  EXPECT_EQ(play.takeFirst().at(0).toInt(), focused + 1);
  sorrel::playlist::test::Screenshot(w, "playfilelist");
  sorrel::playlist::test::Screenshot(w.ItemHint(), "playfilelist_hint");
}

TEST_F(FileListWindow, KeysForTheMainWindowAndTheButton) {
  qRegisterMetaType<QKeyEvent*>();
  Tfm_PlayFileList w;
  QSignalSpy close(&w, &Tfm_PlayFileList::CloseRequested);
  QSignalSpy editor(&w, &Tfm_PlayFileList::ShowPlayListRequested);
  QSignalSpy key(&w, &Tfm_PlayFileList::MainWindowKey);
  Fill(w, 0);
  QTest::keyClick(w.ListBox(), Qt::Key_Space);
  EXPECT_EQ(key.size(), 1);
  EXPECT_EQ(w.SelectedRow(), 0);  // Space toggles nothing here
  QTest::keyClick(w.ListBox(), Qt::Key_Escape);
  EXPECT_EQ(close.size(), 1);
  auto* button = w.findChild<QPushButton*>(QStringLiteral("BBtn_ShowPlayList"));
  ASSERT_TRUE(button);
  EXPECT_EQ(button->text(), QStringLiteral("リスト変更"));
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(editor.size(), 1);
  w.ShowNumbers(QStringLiteral("12 / 40"), QStringLiteral("1/ 1"), Qt::red, false);
  EXPECT_EQ(w.FileNoText(), QStringLiteral("12 / 40"));
  EXPECT_FALSE(w.findChild<QLabel*>(QStringLiteral("lb_DirNo"))->isVisible());
}

TEST_F(FileListWindow, TheHintFollowsTheWheel) {
  Tfm_PlayFileList w;
  Fill(w, 0);
  QListView* list = w.ListBox();
  QWheelEvent down(QPointF(20, 20), QPointF(list->viewport()->mapToGlobal(QPoint(20, 20))), QPoint(),
                   QPoint(0, -120 * 3), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(list->viewport(), &down);
  const int top = list->indexAt(QPoint(2, 2)).row();
  ASSERT_GT(top, 0);
  // The focused row (0) went out of sight: the top row takes the focus and the hint.
  EXPECT_EQ(w.FocusedRow(), top);
  ASSERT_TRUE(w.ItemHint().Shown());
  EXPECT_EQ(w.ItemHint().Caption(), w.RowText(top));
  EXPECT_EQ(w.ItemHint().geometry().top(), RowTopOnScreen(w, top).y());
  EXPECT_EQ(w.SelectedRow(), 0);
  // An arrow key down hides it, its key up shows it again.
  QTest::keyPress(list, Qt::Key_Down);
  EXPECT_FALSE(w.ItemHint().Shown());
  QTest::keyRelease(list, Qt::Key_Down);
  EXPECT_TRUE(w.ItemHint().Shown());
  EXPECT_EQ(w.ItemHint().Caption(), w.RowText(top + 1));
  w.hide();
  EXPECT_FALSE(w.ItemHint().Shown());
}

TEST_F(FileListWindow, FileNamesOnlyWithDepthZeroAndAnEmptyList) {
  Tfm_PlayFileList w;
  TFileListSettings settings;
  settings.FLFileLimit = 0;
  settings.FLHFontPlus = 3;
  settings.FLHFontBold = true;
  w.UseSettings(&settings);
  // Empty: no rows, a click changes nothing and shows no hint.
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QTest::mouseClick(w.ListBox()->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
  EXPECT_EQ(w.SelectedRow(), -1);
  EXPECT_FALSE(w.ItemHint().Shown());
  w.hide();
  Fill(w, 2);
  EXPECT_EQ(w.PathDepth(), 0);
  EXPECT_EQ(w.RowText(2), QStringLiteral("02.mp3"));
  EXPECT_TRUE(w.ItemHint().font().bold());
  EXPECT_EQ(w.ItemHint().font().pixelSize(), w.ListBox()->font().pixelSize() + 3);
  // A name that is not UTF-8 shows with replacement characters.
  const std::string bad = Touch("lib/\xff\xfe.mp3");
  w.PlayFiles().BuildPlayFiles(std::vector<std::string>{bad}, true, false);
  w.RowsChanged();
  EXPECT_EQ(w.RowText(0), QStringLiteral("\uFFFD\uFFFD.mp3"));
  EXPECT_EQ(w.PlayFiles().AtRow(0).path, bad);
}
