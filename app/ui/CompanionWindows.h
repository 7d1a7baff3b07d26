// The windows created after the main window.  Each is a single instance living until
// the program ends; most are shells that later work fills.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QListWidget;

namespace sorrel::app {

class Tfm_SearchSts : public QWidget {
  Q_OBJECT
 public:
  explicit Tfm_SearchSts(QWidget* parent = nullptr);
};

class Tfm_OvisAlarm : public QWidget {
  Q_OBJECT
 public:
  explicit Tfm_OvisAlarm(QWidget* parent = nullptr);
};

class Tfm_PlayFileList : public QWidget {
  Q_OBJECT
 public:
  explicit Tfm_PlayFileList(QWidget* parent = nullptr);
};

// The play list editor.  For now it only takes in list files: their lines, made absolute
// against the home directory, without the existence checks the full list model makes.
class Tfm_PlayList : public QWidget {
  Q_OBJECT
 public:
  explicit Tfm_PlayList(QString homeDir, QWidget* parent = nullptr);
  // Returns false (a question beep) for an extension other than .pfl, .m3u and .pdr, and
  // for a file that is not a regular file, is larger than 64 MiB or cannot be read (with
  // a message on standard error).
  bool OpenListFileAndPlay(const QString& fileName);
  QStringList Entries() const;
  bool FileMode() const { return fileMode_; }

 Q_SIGNALS:
  void ListOpened(const QString& fileName, bool fileMode, const QStringList& entries);

 private:
  QString homeDir_;
  QListWidget* PlayListBox;
  bool fileMode_ = false;
};

class Tfm_Version : public QDialog {
  Q_OBJECT
 public:
  explicit Tfm_Version(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};

}  // namespace sorrel::app
