// fm_PlayFileList: the play files in play order, one row per song, the song that plays
// highlighted.  The user jumps to a song with Enter or a double click (the main window
// plays it), goes on to the play list editor ("リスト変更") or closes the window (Esc).
//
// The highlight is the list's selection, and only the main window moves it
// (SelectRow): clicks move the focused row, never the highlight.  The focused row's
// path shows in a hint over the row, which follows scrolling.
//
// Rows are drawn from the play files as they come into view, so 100,000 songs cost no
// widget and no string per song.
#pragma once

#include "controls/HintCtrl.h"
#include "playlist/core/PlayFiles.h"
#include "playlist/core/PlaylistSettings.h"

#include <QListView>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QFrame;

namespace sorrel::playlist {

class TPlayFileRows;

// PlayFileListBox: the list with the window's own mouse and key rules.
class TPlayFileListBox : public QListView {
  Q_OBJECT
 public:
  using QListView::QListView;

  // Called after the list has handled a mouse button (down or up), a double click, a
  // key down or up, a wheel turn or a scroll bar action.
  std::function<void(QMouseEvent*)> OnMouse;
  std::function<void()> OnDoubleClick;
  // True when the key was taken.
  std::function<bool(QKeyEvent*)> OnKeyDown;
  std::function<void(QKeyEvent*)> OnKeyUp;
  std::function<void()> OnScrolled;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyboardSearch(const QString& search) override;
};

class Tfm_PlayFileList : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 510;
  static constexpr int kClientHeight = 203;
  static constexpr int kItemHeight = 14;

  explicit Tfm_PlayFileList(QWidget* parent = nullptr);
  ~Tfm_PlayFileList() override;

  // `PlayFiles` with the play order.
  PlayFileList& PlayFiles() { return files_; }
  // "FLFileLimit", "FLHFontPlus", "FLHFontBold" from the main window's settings, read
  // at each showing; without them the defaults.
  void UseSettings(const TFileListSettings* settings) { settings_ = settings; }
  // `PathDepth`: parent names shown before each song's name.
  void SetPathDepth(int depth);
  int PathDepth() const { return pathDepth_; }

  // The row's text as the list draws it.
  QString RowText(int row) const;
  // The highlighted row (the first selected one), -1 for none.
  int SelectedRow() const;
  // The focused row, -1 for none.
  int FocusedRow() const;
  QString FileNoText() const;
  // lb_FileNo and lb_DirNo (with Label2) as the main window's display refresh writes
  // them; `dirColor` for Label2 and lb_DirNo.
  void ShowNumbers(const QString& fileNo, const QString& dirNo, const QColor& dirColor, bool dirVisible);

  // The rows changed (built, shuffled, put back in order, one removed).
  void RowsChanged();
  // Highlights `row` alone, with row - 5 the top row shown: the song that plays.
  void SelectRow(int row);

  // `ShowItemHint`: the focused row's path over the row, the focused row first moved
  // into the visible rows.
  void ShowItemHint();
  controls::THintWindowEx& ItemHint() { return *hint_; }
  TPlayFileListBox* ListBox() { return PlayFileListBox; }

 signals:
  // Enter or a double click: the main window plays `row` of the play order.
  void PlayRowRequested(int row);
  // Esc: close this window through the main window, which takes its place back.
  void CloseRequested();
  // "リスト変更": close this window (the focus stays) and show the play list editor.
  void ShowPlayListRequested();
  // Space, for the main window's key handler.
  void MainWindowKey(QKeyEvent* e);

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void ListMouse();
  bool ListKeyDown(QKeyEvent* e);
  void ListKeyUp(QKeyEvent* e);
  void PlayFocused();

  PlayFileList files_;
  const TFileListSettings* settings_ = nullptr;
  int pathDepth_ = 3;
  int playingRow_ = -1;
  TPlayFileRows* rows_;
  std::unique_ptr<controls::THintWindowEx> hint_;

  QFrame* Panel1;
  TPlayFileListBox* PlayFileListBox;
  QFrame* Panel2;
  QLabel* Label1;
  QLabel* lb_FileNo;
  QLabel* Label2;
  QLabel* lb_DirNo;
  QPushButton* BBtn_ShowPlayList;
};

}  // namespace sorrel::playlist
