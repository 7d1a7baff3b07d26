// The windows created after the main window.  Each is a single instance living until
// the program ends.
#pragma once

#include "alarm/ui/OvisAlarmWindow.h"
#include "app/core/DisplayText.h"
#include "app/core/PlayOrder.h"
#include "playlist/ui/PlayFileList.h"
#include "playlist/ui/PlayList.h"
#include "playlist/ui/SearchSts.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace sorrel::app {

using playlist::Tfm_SearchSts;

// The alarm window belongs to the alarm (alarm/ui); the application knows it under its
// name here.  A class rather than an alias, so that a declaration `class Tfm_OvisAlarm;`
// in this namespace names it.
class Tfm_OvisAlarm : public alarm::Tfm_OvisAlarm {
 public:
  using alarm::Tfm_OvisAlarm::Tfm_OvisAlarm;
};

// The play file list and the play list editor of playlist/ui, as the main window
// knows them: the play file list is the view of the navigator's play order, and shows
// the display refresh's numbers.
class Tfm_PlayFileList : public playlist::Tfm_PlayFileList, public TPlayFileView {
  Q_OBJECT
 public:
  using playlist::Tfm_PlayFileList::Tfm_PlayFileList;

  // lb_FileNo and lb_DirNo (Label2 with it), from the main window's refresh.
  void ShowNumbers(const TLabelTexts& texts);

  // TPlayFileView
  void RowsChanged() override { playlist::Tfm_PlayFileList::RowsChanged(); }
  void SelectRow(int row) override { playlist::Tfm_PlayFileList::SelectRow(row); }
};

class Tfm_PlayList : public playlist::Tfm_PlayList {
  Q_OBJECT
 public:
  // With the main window as the host, the editor uses its settings record.
  Tfm_PlayList(QString homeDir, playlist::TPlayListHost& host, playlist::PlayFileList& playFiles,
               QWidget* parent = nullptr);
};

class Tfm_Version : public QDialog {
  Q_OBJECT
 public:
  explicit Tfm_Version(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};

}  // namespace sorrel::app
