// The windows created after the main window.  Each is a single instance living until
// the program ends; most are shells that later work fills.
#pragma once

#include "alarm/ui/OvisAlarmWindow.h"
#include "app/core/DisplayText.h"
#include "app/core/PlayOrder.h"
#include "playlist/core/PlayListController.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QListView;
class QListWidget;
class QPushButton;

namespace sorrel::app {

class Tfm_SearchSts : public QWidget {
  Q_OBJECT
 public:
  explicit Tfm_SearchSts(QWidget* parent = nullptr);
};

// The alarm window belongs to the alarm (alarm/ui); the application knows it under its
// name here.  A class rather than an alias, so that a declaration `class Tfm_OvisAlarm;`
// in this namespace names it.
class Tfm_OvisAlarm : public alarm::Tfm_OvisAlarm {
 public:
  using alarm::Tfm_OvisAlarm::Tfm_OvisAlarm;
};

// The play file list: the play files and their order (what the main window walks
// through), shown one row per song with the song's path shortened to "FLFileLimit"
// parent names, the current row selected.  The rows are drawn from the play files as
// they scroll into view, so a library of 100,000 songs costs no widget per song.
class Tfm_PlayFileList : public QWidget, public TPlayFileView {
  Q_OBJECT
 public:
  explicit Tfm_PlayFileList(QWidget* parent = nullptr);
  ~Tfm_PlayFileList() override;

  playlist::PlayFileList& PlayFiles() { return files_; }
  // "FLFileLimit": parent names shown before each song's name.
  void SetPathDepth(int depth);
  // The row's text as the list shows it.
  QString RowText(int row) const;
  int SelectedRow() const;
  // lb_FileNo and lb_DirNo (Label2 with it), from the main window's refresh.
  void ShowNumbers(const TLabelTexts& texts);
  QString FileNoText() const;

  // TPlayFileView
  void RowsChanged() override;
  void SelectRow(int row) override;

 private:
  class TRowModel;
  playlist::PlayFileList files_;
  TRowModel* model_;
  QListView* PlayFileListBox;
  QLabel* Label2;
  QLabel* lb_DirNo;
  QLabel* lb_FileNo;
};

// The play list editor.  For now it holds the play list (entries and mode) and runs the
// list operations on it: opening a list file, the Play button, the start-up restore.
class Tfm_PlayList : public QWidget {
  Q_OBJECT
 public:
  Tfm_PlayList(QString homeDir, playlist::TPlayListHost& host, playlist::PlayFileList& playFiles,
               QWidget* parent = nullptr);

  // OpenListFileAndPlay; false (a warning beep) when the list gives nothing to play.
  bool OpenListFileAndPlay(const QString& fileName);
  // An MP3 file as a one-file list.
  bool PlaySong(const QString& fileName);
  void StartUpRestore(const QString& firstArgument);
  // btb_PlayClick with the editor's check boxes.
  void PlayClick();

  QStringList Entries() const;
  bool FileMode() const { return list_.FileMode; }
  playlist::TPlayListController& Controller() { return controller_; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void ShowEntries();

  QString homeDir_;
  playlist::TPlayListHost& host_;
  playlist::TPlayList list_;
  playlist::TPlayListController controller_;
  QListWidget* PlayListBox;
  QCheckBox* cbx_Shuffle;
  QCheckBox* cbx_PlayWithLyric;
  QPushButton* btb_Play;
};

class Tfm_Version : public QDialog {
  Q_OBJECT
 public:
  explicit Tfm_Version(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};

}  // namespace sorrel::app
