// fm_PlayList: the play list editor.  The user browses drives, directories and MP3
// files and moves them into the play list by button, key, right click, drag and drop
// from the window's own browsers, or files and folders dropped from the desktop's file
// manager; "再生" commits the list and plays it, "取消" closes without playing.
//
// The list rules (moves, additions, what each mode allows, where drops go) are the
// Qt-free functions of playlist/core; the list operations that reach the main window
// (loading, saving, Play, the start-up restore) are TPlayListController.  This window
// holds the controls, forwards their events and shows the list.
//
// The browsers never change the process's current directory: the drive box, the tree
// and the file list keep their own, and `CurDir` is the tree's.
#pragma once

#include "controls/core/Drives.h"
#include "playlist/core/PlayListController.h"
#include "playlist/core/PlayListDrag.h"
#include "playlist/core/PlayListEdits.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QFileDialog;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QSplitter;
class QToolButton;
class QDragMoveEvent;
class QDropEvent;

namespace sorrel::controls {
class TDirTreeView;
class TDrvCombo;
class TFileListBoxEX;
class TListBoxEx;
}  // namespace sorrel::controls

namespace sorrel::playlist {

class Tfm_SearchSts;

class Tfm_PlayList : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kDesignWidth = 470, kDesignHeight = 377;
  static constexpr int kMinWidth = 470, kMinHeight = 300;
  static constexpr int kItemHeight = 14;
  // The drop highlight's hot colour, RGB 255, 159, 159 as 0x00BBGGRR.
  static constexpr int kDropHotColor = 0x9F9FFF;
  // The data formats of drags from the tree, the file list and the list itself: what
  // is dragged is told by the format, whichever window delivers the drag's events.
  static constexpr const char* kTreeMime = "application/x-sorrel-tree-directory";
  static constexpr const char* kFileListMime = "application/x-sorrel-file-list-selection";
  static constexpr const char* kPlayListMime = "application/x-sorrel-play-list-selection";

  // `volumes` is where the drive box takes the mounted volumes from (QStorageInfo when
  // none is given).
  Tfm_PlayList(QString homeDir, TPlayListHost& host, PlayFileList& playFiles, QWidget* parent = nullptr,
               std::unique_ptr<controls::TVolumeSource> volumes = {});
  ~Tfm_PlayList() override;

  // The main window's "PlayList" section (path depths, the dialogs' folders); without
  // it the defaults, kept here.
  void UseSettings(TPlayListSettings* settings);
  // fm_SearchSts; without one the editor makes its own.
  void SetSearchWindow(Tfm_SearchSts* window) { searchSts_ = window; }

  // OpenListFileAndPlay; false (a warning beep) when the list gives nothing to play.
  bool OpenListFileAndPlay(const QString& fileName);
  // An MP3 file as a one-file list.
  bool PlaySong(const QString& fileName);
  // Once, after the settings are read (the first argument, else the default list).
  void StartUpRestore(const QString& firstArgument);
  // `btb_PlayClick`.
  void PlayClick();

  QStringList Entries() const;
  bool FileMode() const { return list_.FileMode; }
  TPlayListController& Controller() { return controller_; }

  // The list operations, as the buttons, keys and drops run them.
  void AddDirectory(size_t index, const std::string& dir);
  void AddDirectoryAtEnd(const std::string& dir);
  void AddFile(const std::string& fileName);
  void AddSelectedFiles(size_t index);
  void AddSelectedFilesAtEnd();
  void UpdateButtons();
  void SetMode(bool fileMode);
  // The browsers.
  void NavigateTo(const std::string& path);
  void RecoverTree();
  void RefreshBrowsers();
  const std::string& CurDir() const { return CurDir_; }
  // Files and folders dropped from the desktop at `pos` (window coordinates).
  void DropFiles(const std::vector<std::string>& names, const QPoint& pos);
  // `tm_Splash`: the deferred set-up after showing (tests run it at once).
  void tm_SplashTimer();
  // `spb_GetAllDirClick`.
  void spb_GetAllDirClick();

  // A message box with the exclamation icon under "無効なドライブ指定"; tests replace it.
  std::function<void(const QString& text)> OnShowError;

  // The list's selection, ascending.
  TSelection Selection() const;
  void SetSelection(const TSelection& selection);
  int TopIndex() const;
  TScrollDir ScrollDir() const { return ScrollDir_; }
  bool Busy() const { return Busy_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void CreateControls();
  void LayoutTop();
  // Shows list_ in PlayListBox with `selection`.
  void ShowEntries(const TSelection& selection = {});
  void Edited(TEditResult r, const TSelection& selection);
  void ScrollAfterAppend();
  void SetTopIndex(int index);
  void ShowError(const QString& text);
  void Beep() { host_.WarningBeep(); }
  bool CanEnter(const std::string& dir) const;
  std::string DriveOf(const std::string& path) const;
  bool DriveReady(const std::string& drive) const;
  // The drive box and the tree at `dir` (which can be entered).
  void ShowTree(const std::string& dir);
  // SetMode without loading the list: the controls, texts and path depth of a mode.
  void SetModeLook(bool fileMode);
  const TPlayListSettings& Settings() const { return *settings_; }

  // Handlers.
  bool FormKeyDown(QKeyEvent* e);
  void DrvComboChange();
  void DirTreeViewChange(const std::string& dir);
  bool DirTreeViewMouse(QMouseEvent* e);
  bool DirTreeViewKeyDown(QKeyEvent* e);
  bool FileListBoxMouse(QMouseEvent* e);
  bool FileListBoxKeyDown(QKeyEvent* e);
  bool PlayListBoxKeyDown(QKeyEvent* e);
  bool PlayListBoxMouse(QMouseEvent* e);
  bool PlayListBoxDrag(QEvent* e);
  void spb_UpClick();
  void spb_DownClick();
  void spb_DeleteClick();
  void spb_ClearClick();
  void spb_OpenClick();
  void spb_SaveClick();
  void btb_CancelClick();
  void CheckLook(QCheckBox* box);
  void tm_PLBScrollTimer();
  void DropHighlight(bool on);

  QString homeDir_;
  TPlayListHost& host_;
  TPlayList list_;
  TPlayListController controller_;
  TPlayListSettings ownSettings_;
  TPlayListSettings* settings_ = &ownSettings_;
  Tfm_SearchSts* searchSts_ = nullptr;
  std::unique_ptr<Tfm_SearchSts> ownSearchSts_;

  int PathDepth_ = 2;
  std::string CurDir_;
  std::string StartDir_;
  bool Busy_ = false;
  bool treeDragArmed_ = false;
  QPoint treeDragPoint_;
  QPoint listDragStart_;  // screen coordinates
  TScrollDir ScrollDir_ = TScrollDir::kNone;
  QString openDir_, saveDir_;

  QSplitter* Splt_Hz;
  QFrame* pnl_DirSelect;
  QFrame* pnl_DirSel_Top;
  QRadioButton* rb_DirMode;
  QRadioButton* rb_FileMode;
  controls::TDrvCombo* DrvCombo;
  QToolButton* spb_Open;
  QToolButton* spb_Save;
  QLabel* Label1;
  QSplitter* Splt_Vt;
  QFrame* pnl_DirSel_Left;
  controls::TDirTreeView* DirTreeView;
  QFrame* pnl_DirSel_Right;
  controls::TFileListBoxEX* FileListBox;
  QFrame* pnl_PlayList;
  controls::TListBoxEx* PlayListBox;
  QFrame* pnl_Bottom;
  QToolButton* spb_GetAllDir;
  QToolButton* spb_Up;
  QToolButton* spb_Down;
  QToolButton* spb_Delete;
  QToolButton* spb_Clear;
  QCheckBox* cbx_PlayWithLyric;
  QCheckBox* cbx_Shuffle;
  QPushButton* btb_Play;
  QPushButton* btb_Cancel;
  QTimer tm_PLBScroll;
  QTimer tm_Splash;
  QFileDialog* OpenDialog;
  QFileDialog* SaveDialog;
};

}  // namespace sorrel::playlist
