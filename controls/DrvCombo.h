// TDrvCombo: a drop-down list of the drives worth browsing (ready, real file systems
// from QStorageInfo; removable media under their labels), then the user's documents and
// desktop folders, each with its theme icon.  The box keeps a current directory of its
// own and the directory each drive was last left in (controls/core/Drives.h).
#pragma once

#include "controls/core/Drives.h"

#include <QComboBox>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace sorrel::controls {

// The mounted volumes as Qt reports them.
class TStorageVolumes : public TVolumeSource {
 public:
  std::vector<TVolume> MountedVolumes() override;
};

class TDrvCombo : public QComboBox {
  Q_OBJECT
 public:
  // `source` is where the volumes come from; QStorageInfo when none is given.
  explicit TDrvCombo(QWidget* parent = nullptr, std::unique_ptr<TVolumeSource> source = {});
  ~TDrvCombo() override;

  // The selected drive's mount point; empty for none.
  const std::string& Drive() const { return list_.Drive(); }
  // `SetDrive`: nothing when that drive is selected already; else its entry (or none)
  // is selected and OnChange raised.
  void SetDrive(std::string_view root);
  // `RefreshDrives`: the list built again; the current directory stays when its drive
  // still answers, else the fallback directory becomes current.  True when it fell
  // back.
  bool RefreshDrives();
  // `BuildDriveList`: the items from the volumes and folders now.
  void BuildDriveList();

  const std::string& CurrentDirectory() const { return list_.CurrentDirectory(); }
  void SetCurrentDirectory(std::string_view dir);
  void SetFallbackDirectory(std::string_view dir) { list_.SetFallbackDirectory(dir); }
  // The documents and desktop folders (the desktop's own when not set).
  void SetFolders(std::string documents, std::string desktop);
  // Whether the drive at `root` is listed by the volume source and answers.
  bool DriveAnswers(const std::string& root);
  const TDriveList& List() const { return list_; }
  // A click on entry `index`, as choosing it in the drop-down list does.
  void Click(int index);

  std::function<void()> OnChange;
  std::function<void()> OnDropDown;

  void showPopup() override;

 private:
  void ShowEntries();

  std::unique_ptr<TVolumeSource> source_;
  TDriveList list_;
  std::string documents_, desktop_;
};

}  // namespace sorrel::controls
