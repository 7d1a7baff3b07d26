// TFileListBoxEX: the names of the files of one directory that match a mask, sorted
// without regard to case, drawn like TListBoxEx.  Names are kept as the file system's
// bytes (shown with replacement characters where they are not UTF-8), so a selected
// path always opens.
//
// The list keeps its directory to itself: pointing it at a directory never changes the
// process's current directory.
#pragma once

#include "controls/ListBoxEx.h"
#include "controls/core/DirEntries.h"

#include <QLineEdit>
#include <QPointer>

#include <string>
#include <string_view>
#include <vector>

namespace sorrel::controls {

class TFileListBoxEX : public TListBoxEx {
  Q_OBJECT
 public:
  static constexpr int kTimerInterval = 499;

  explicit TFileListBoxEX(QWidget* parent = nullptr);

  // The directory listed, without a trailing "/" (the root excepted).  At creation the
  // process's current directory.
  const std::string& Directory() const { return directory_; }
  // `SetDirectory`: a different directory (relative ones against the listed one) is
  // listed; false, with nothing changed, when it cannot be entered.
  bool SetDirectory(std::string_view dir);
  // Patterns separated by ";" ("*" any run, "?" one character, case ignored).
  const std::string& Mask() const { return mask_; }
  void SetMask(std::string_view mask);
  TFileType FileType() const { return fileType_; }
  void SetFileType(TFileType type);
  // An edit box that shows the selected name, or the mask when nothing is selected.
  void SetFileEdit(QLineEdit* edit);

  enum class TApplyResult { kDone, kNoDirectory, kNoFile };
  // `ApplyFilePath`: nothing for an empty path or the selected file's own path.
  // Otherwise the directory part is listed; then a name with "*" or "?" becomes the
  // mask and a plain name is selected.
  TApplyResult ApplyFilePath(std::string_view path);
  // Lists the directory again; false when it could not be read (the list is then
  // empty).
  bool Refill();

  // The directory joined with the current item's name, when that item is selected;
  // else empty.
  std::string SelectedFilePath() const;
  // The names (bytes) of the selected items, in list order.
  std::vector<std::string> SelectedNames() const;
  // The name (bytes) of item `index`.
  std::string NameAt(int index) const;

  // After a refill and after the selection changed.
  std::function<void()> OnChange;

 private:
  void Changed();

  std::string directory_;
  std::string mask_ = "*.*";
  TFileType fileType_ = ftNormal;
  QPointer<QLineEdit> fileEdit_;
};

}  // namespace sorrel::controls
