#include "controls/DrvCombo.h"

#include "controls/core/DirEntries.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

namespace sorrel::controls {

namespace {

std::string Local(const QString& s) {
  const QByteArray b = QFile::encodeName(s);
  return std::string(b.constData(), size_t(b.size()));
}

QString Shown(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QIcon IconFor(TDriveKind kind) {
  const QStyle* style = QApplication::style();
  switch (kind) {
    case TDriveKind::Fixed:
      return QIcon::fromTheme(QStringLiteral("drive-harddisk"), style->standardIcon(QStyle::SP_DriveHDIcon));
    case TDriveKind::Removable:
      return QIcon::fromTheme(QStringLiteral("drive-removable-media"),
                              style->standardIcon(QStyle::SP_DriveFDIcon));
    case TDriveKind::Documents:
      return QIcon::fromTheme(QStringLiteral("folder-documents"), style->standardIcon(QStyle::SP_DirIcon));
    case TDriveKind::Desktop:
      return QIcon::fromTheme(QStringLiteral("user-desktop"), style->standardIcon(QStyle::SP_DesktopIcon));
  }
  return {};
}

}  // namespace

std::vector<TVolume> TStorageVolumes::MountedVolumes() {
  std::vector<TVolume> volumes;
  for (const QStorageInfo& s : QStorageInfo::mountedVolumes())
    volumes.push_back({Local(s.rootPath()), s.fileSystemType().toStdString(), s.device().toStdString(),
                       s.name().toStdString(), s.isValid() && s.isReady()});
  return volumes;
}

TDrvCombo::TDrvCombo(QWidget* parent, std::unique_ptr<TVolumeSource> source)
    : QComboBox(parent),
      source_(source ? std::move(source) : std::make_unique<TStorageVolumes>()),
      list_([](const std::string& dir) { return CanEnterDirectory(dir); }),
      documents_(Local(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))),
      desktop_(Local(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation))) {
  setIconSize(QSize(16, 16));
  list_.SetFallbackDirectory(Local(QDir::homePath()));
  char buf[4096];
  list_.SetCurrentDirectory(getcwd(buf, sizeof buf) ? buf : "/");
  BuildDriveList();
  connect(this, &QComboBox::activated, this, [this](int index) { Click(index); });
}

TDrvCombo::~TDrvCombo() = default;

void TDrvCombo::SetFolders(std::string documents, std::string desktop) {
  documents_ = std::move(documents);
  desktop_ = std::move(desktop);
  BuildDriveList();
}

void TDrvCombo::BuildDriveList() {
  list_.SetEntries(BuildDriveEntries(source_->MountedVolumes(), documents_, desktop_));
  list_.SetCurrentDirectory(list_.CurrentDirectory());
  ShowEntries();
}

void TDrvCombo::ShowEntries() {
  const QSignalBlocker block(this);
  clear();
  for (const TDriveEntry& e : list_.Entries()) addItem(IconFor(e.kind), Shown(e.text), Shown(e.path));
  setCurrentIndex(list_.Selected());
}

void TDrvCombo::SetDrive(std::string_view root) {
  if (!list_.SetDrive(root)) return;
  const QSignalBlocker block(this);
  setCurrentIndex(list_.Selected());
  if (OnChange) OnChange();
}

bool TDrvCombo::DriveAnswers(const std::string& root) { return controls::DriveAnswers(*source_, root); }

bool TDrvCombo::RefreshDrives() {
  const bool fellBack = list_.Refresh(BuildDriveEntries(source_->MountedVolumes(), documents_, desktop_),
                                      [this](const std::string& root) { return DriveAnswers(root); });
  ShowEntries();
  return fellBack;
}

void TDrvCombo::SetCurrentDirectory(std::string_view dir) {
  list_.SetCurrentDirectory(dir);
  const QSignalBlocker block(this);
  setCurrentIndex(list_.Selected());
}

void TDrvCombo::Click(int index) {
  if (!list_.Click(index)) return;
  {
    const QSignalBlocker block(this);
    setCurrentIndex(list_.Selected());
  }
  if (OnChange) OnChange();
}

void TDrvCombo::showPopup() {
  if (OnDropDown) OnDropDown();
  QComboBox::showPopup();
}

}  // namespace sorrel::controls
