#include "controls/FileListBoxEX.h"

#include "base/NameOrder.h"
#include "controls/core/BrowsePaths.h"

#include <unistd.h>

#include <QApplication>

#include <climits>

namespace sorrel::controls {

namespace {

std::string CurrentDirectoryOfProcess() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? std::string(buf) : std::string("/");
}

QString Shown(const std::string& name) { return QString::fromUtf8(name.data(), qsizetype(name.size())); }

}  // namespace

TFileListBoxEX::TFileListBoxEX(QWidget* parent)
    : TListBoxEx(parent), directory_(NormalizePath(CurrentDirectoryOfProcess())) {
  Timer().setInterval(kTimerInterval);
  resize(145, height());
  connect(this, &QListWidget::itemSelectionChanged, this, [this] { Changed(); });
  Refill();
}

bool TFileListBoxEX::SetDirectory(std::string_view dir) {
  const std::string path = NormalizePath(dir, directory_);
  if (path == directory_) return true;
  if (!CanEnterDirectory(path)) return false;
  directory_ = path;
  Refill();
  return true;
}

void TFileListBoxEX::SetMask(std::string_view mask) {
  if (mask == mask_) return;
  mask_ = mask;
  Refill();
}

void TFileListBoxEX::SetFileType(TFileType type) {
  if (type == fileType_) return;
  fileType_ = type;
  Refill();
}

void TFileListBoxEX::SetFileEdit(QLineEdit* edit) {
  fileEdit_ = edit;
  Changed();
}

bool TFileListBoxEX::Refill() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const TFileListing listing = ListFileNames(directory_, base::SplitMask(mask_), fileType_);
  {
    const QSignalBlocker block(this);
    setUpdatesEnabled(false);
    clear();
    for (const std::string& name : listing.names) {
      auto* it = new QListWidgetItem(Shown(name));
      it->setData(Qt::UserRole, QByteArray(name.data(), qsizetype(name.size())));
      addItem(it);
    }
    setUpdatesEnabled(true);
  }
  QApplication::restoreOverrideCursor();
  Changed();
  return listing.readable;
}

TFileListBoxEX::TApplyResult TFileListBoxEX::ApplyFilePath(std::string_view path) {
  if (path.empty() || path == SelectedFilePath()) return TApplyResult::kDone;
  const TPathParts parts = SplitFilePath(path);
  if (!parts.directory.empty() && !SetDirectory(parts.directory)) return TApplyResult::kNoDirectory;
  if (parts.name.empty()) return TApplyResult::kDone;
  if (HasWildcard(parts.name)) {
    SetMask(parts.name);
    return TApplyResult::kDone;
  }
  for (int i = 0; i < count(); ++i)
    if (NameAt(i) == parts.name) {
      clearSelection();
      setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
      return TApplyResult::kDone;
    }
  return TApplyResult::kNoFile;
}

std::string TFileListBoxEX::NameAt(int index) const {
  const QListWidgetItem* it = item(index);
  if (!it) return {};
  const QByteArray bytes = it->data(Qt::UserRole).toByteArray();
  return std::string(bytes.constData(), size_t(bytes.size()));
}

std::string TFileListBoxEX::SelectedFilePath() const {
  const QListWidgetItem* it = currentItem();
  if (!it || !it->isSelected()) return {};
  return JoinName(directory_, NameAt(row(it)));
}

std::vector<std::string> TFileListBoxEX::SelectedNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < count(); ++i)
    if (item(i)->isSelected()) names.push_back(NameAt(i));
  return names;
}

void TFileListBoxEX::Changed() {
  if (fileEdit_) {
    const std::string path = SelectedFilePath();
    fileEdit_->setText(path.empty() ? QString::fromStdString(mask_) : Shown(SplitFilePath(path).name));
  }
  if (OnChange) OnChange();
}

}  // namespace sorrel::controls
