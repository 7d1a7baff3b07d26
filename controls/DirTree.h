// TDirTreeView: the directories of one drive (a mounted file system) as a tree, filled
// lazily: a node whose directory has subdirectories not read yet carries one
// placeholder child "???", replaced by the subdirectories when the node is first
// expanded.  Names beginning with "." never show; directories hidden by their
// parent's ".hidden" file only with `ShowHiddenDir`.  A symbolic link or bind mount
// back to a directory above shows as a leaf, so no walk down the tree is endless.
//
// Paths are byte strings; a directory path handed out ends with "/".
#pragma once

#include <QIcon>
#include <QTreeWidget>

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace sorrel::controls {

class TDirTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  static constexpr const char* kPlaceholder = "???";
  // The pictures, by meaning.
  enum TImage { kClosedFolder, kOpenFolder, kClosedHidden, kOpenHidden, kDriveImage };

  explicit TDirTreeView(QWidget* parent = nullptr);

  // The mount point shown.  `SetDrive` is refused (false, nothing changed) when the
  // drive does not answer: "無効なドライブ".
  const std::string& Drive() const { return drive_; }
  bool SetDrive(std::string_view root);
  static constexpr const char* kInvalidDrive = "無効なドライブ";
  // The root node reads as the mount point instead of "/".
  bool ShowDriveName() const { return showDriveName_; }
  void ShowDriveName(bool on);
  bool ShowHiddenDir() const { return showHiddenDir_; }
  void ShowHiddenDir(bool on);
  // Item tool tips (the whole name of a cut-off node).
  bool ToolTips() const { return toolTips_; }
  void ToolTips(bool on) { toolTips_ = on; }

  // The directory the tree selects on a rebuild: its own current directory, which the
  // owner sets (the process's current directory is left alone).
  const std::string& CurrentDirectory() const { return current_; }
  void SetCurrentDirectory(std::string_view dir);

  // Clears and fills the tree again, then SelectCurrentDirectory; false when the drive
  // does not answer.
  bool Rebuild();
  // Selects the deepest node on the way to the current directory, expanding what is
  // on the way, and raises OnChange for it.
  void SelectCurrentDirectory();
  // The selected node's directory, or the one under the viewport point `pos`; with a
  // trailing "/"; empty when there is none.
  std::string GetSelectedDirectory() const;
  std::string GetDirectoryAt(const QPoint& pos) const;
  // The directory of a node (with its trailing "/").
  static std::string DirectoryOf(const QTreeWidgetItem* item);

  bool Busy() const { return busy_; }
  static QIcon Image(TImage image);

  // With the directory, ending in "/".  No change event while the tree is rebuilt.
  std::function<void(const std::string& dir)> OnChange;
  std::function<void(const std::string& dir)> OnClick;
  // Only for a node without children.
  std::function<void(const std::string& dir)> OnDblClick;

 protected:
  bool viewportEvent(QEvent* event) override;

 private:
  // Reads the subdirectories of `item`'s directory into children; their number.
  int FillChildren(QTreeWidgetItem* item);
  void Expanded(QTreeWidgetItem* item);

  std::string drive_ = "/";
  std::string current_ = "/";
  bool showDriveName_ = false;
  bool showHiddenDir_ = false;
  bool toolTips_ = true;
  bool busy_ = false;
};

}  // namespace sorrel::controls
