#include "controls/DirTree.h"

#include "base/NameOrder.h"
#include "controls/core/BrowsePaths.h"
#include "controls/core/DirEntries.h"

#include <sys/statvfs.h>

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>

namespace sorrel::controls {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kPlaceholderRole = Qt::UserRole + 1;

QString Shown(std::string_view name) { return QString::fromUtf8(name.data(), qsizetype(name.size())); }

// The tree's own pictures, 16 pixels square: a folder (closed or open; grey for a
// hidden one) and a drive.
QPixmap Picture(TDirTreeView::TImage image) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const bool hidden = image == TDirTreeView::kClosedHidden || image == TDirTreeView::kOpenHidden;
  const bool open = image == TDirTreeView::kOpenFolder || image == TDirTreeView::kOpenHidden;
  if (image == TDirTreeView::kDriveImage) {
    p.setPen(QColor(60, 60, 70));
    p.setBrush(QColor(170, 175, 190));
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 7), 1.5, 1.5);
    p.setBrush(QColor(40, 200, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(11, 8, 2.5, 2.5));
    p.setPen(QColor(90, 90, 100));
    p.drawLine(QPointF(3.5, 10.5), QPointF(8.5, 10.5));
    return pm;
  }
  const QColor back = hidden ? QColor(165, 165, 165) : QColor(214, 160, 40);
  const QColor front = hidden ? QColor(205, 205, 205) : QColor(250, 205, 80);
  const QColor edge = hidden ? QColor(110, 110, 110) : QColor(150, 100, 20);
  p.setPen(edge);
  p.setBrush(back);
  QPainterPath tab;
  tab.moveTo(1.5, 3.5);
  tab.lineTo(6, 3.5);
  tab.lineTo(7.5, 5);
  tab.lineTo(14.5, 5);
  tab.lineTo(14.5, 13.5);
  tab.lineTo(1.5, 13.5);
  tab.closeSubpath();
  p.drawPath(tab);
  p.setBrush(front);
  if (open) {
    // The front leaf tipped forward.
    QPainterPath leaf;
    leaf.moveTo(3.5, 7.5);
    leaf.lineTo(15.5, 7.5);
    leaf.lineTo(13, 13.5);
    leaf.lineTo(1.5, 13.5);
    leaf.closeSubpath();
    p.drawPath(leaf);
  } else {
    p.drawRect(QRectF(1.5, 6.5, 13, 7));
  }
  return pm;
}

}  // namespace

QIcon TDirTreeView::Image(TImage image) {
  static const std::array<QPixmap, 5> pictures = {Picture(kClosedFolder), Picture(kOpenFolder),
                                                  Picture(kClosedHidden), Picture(kOpenHidden),
                                                  Picture(kDriveImage)};
  return QIcon(pictures[image]);
}

TDirTreeView::TDirTreeView(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setMouseTracking(true);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(this, &QTreeWidget::itemExpanded, this, &TDirTreeView::Expanded);
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!busy_ && item && OnChange) OnChange(DirectoryOf(item));
  });
  connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    if (item && OnClick) OnClick(DirectoryOf(item));
  });
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (item && item->childCount() == 0 && OnDblClick) OnDblClick(DirectoryOf(item));
  });
}

bool TDirTreeView::SetDrive(std::string_view root) {
  const std::string r = NormalizePath(root);
  struct statvfs fs {};
  if (statvfs(r.c_str(), &fs) != 0 || !CanEnterDirectory(r)) return false;
  drive_ = r;
  if (!PathUnder(drive_, current_)) current_ = drive_;
  return Rebuild();
}

void TDirTreeView::ShowDriveName(bool on) {
  if (on == showDriveName_) return;
  showDriveName_ = on;
  Rebuild();
}

void TDirTreeView::ShowHiddenDir(bool on) {
  if (on == showHiddenDir_) return;
  showHiddenDir_ = on;
  Rebuild();
}

void TDirTreeView::SetCurrentDirectory(std::string_view dir) { current_ = NormalizePath(dir, current_); }

std::string TDirTreeView::DirectoryOf(const QTreeWidgetItem* item) {
  if (!item) return {};
  const QByteArray path = item->data(0, kPathRole).toByteArray();
  return WithTrailingSlash(std::string_view(path.constData(), size_t(path.size())));
}

bool TDirTreeView::Rebuild() {
  struct statvfs fs {};
  if (statvfs(drive_.c_str(), &fs) != 0) return false;
  busy_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  setUpdatesEnabled(false);
  clear();
  auto* root = new QTreeWidgetItem(QStringList(showDriveName_ ? Shown(drive_) : QStringLiteral("/")));
  root->setData(0, kPathRole, QByteArray(drive_.data(), qsizetype(drive_.size())));
  root->setIcon(0, Image(kDriveImage));
  addTopLevelItem(root);
  FillChildren(root);
  root->setExpanded(true);
  setUpdatesEnabled(true);
  QApplication::restoreOverrideCursor();
  busy_ = false;
  SelectCurrentDirectory();
  return true;
}

int TDirTreeView::FillChildren(QTreeWidgetItem* item) {
  const QByteArray bytes = item->data(0, kPathRole).toByteArray();
  const std::string dir(bytes.constData(), size_t(bytes.size()));
  const std::vector<TDirNode> nodes = ReadDirNodes(dir, showHiddenDir_, ChainIds(drive_, dir));
  for (const TDirNode& node : nodes) {
    auto* child = new QTreeWidgetItem(item, QStringList(Shown(node.name)));
    const std::string path = JoinName(dir, node.name);
    child->setData(0, kPathRole, QByteArray(path.data(), qsizetype(path.size())));
    child->setToolTip(0, child->text(0));
    QIcon icon;
    icon.addPixmap(Image(node.hidden ? kClosedHidden : kClosedFolder).pixmap(16), QIcon::Normal);
    icon.addPixmap(Image(node.hidden ? kOpenHidden : kOpenFolder).pixmap(16), QIcon::Selected);
    child->setIcon(0, icon);
    if (node.hasSubdirectories) {
      auto* placeholder = new QTreeWidgetItem(child, QStringList(QString::fromLatin1(kPlaceholder)));
      placeholder->setData(0, kPlaceholderRole, true);
    }
  }
  return int(nodes.size());
}

void TDirTreeView::Expanded(QTreeWidgetItem* item) {
  if (item->childCount() != 1 || !item->child(0)->data(0, kPlaceholderRole).toBool()) return;
  const bool wasBusy = busy_;
  busy_ = true;
  setUpdatesEnabled(false);
  delete item->takeChild(0);
  FillChildren(item);
  setUpdatesEnabled(true);
  busy_ = wasBusy;
}

void TDirTreeView::SelectCurrentDirectory() {
  QTreeWidgetItem* node = topLevelItem(0);
  if (!node) return;
  busy_ = true;
  if (PathUnder(drive_, current_)) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const std::string& name : NamesBelow(drive_, current_)) {
      node->setExpanded(true);
      QTreeWidgetItem* next = nullptr;
      QTreeWidgetItem* folded = nullptr;  // the same name but for ASCII case
      for (int i = 0; i < node->childCount() && !next; ++i) {
        QTreeWidgetItem* child = node->child(i);
        const std::string childName = LastName(DirectoryOf(child));
        if (childName == name)
          next = child;
        else if (!folded && base::FoldAsciiCase(childName) == base::FoldAsciiCase(name))
          folded = child;
      }
      if (!next) next = folded;
      if (!next) break;
      node = next;
    }
    QApplication::restoreOverrideCursor();
  }
  setCurrentItem(node);
  scrollToItem(node);
  busy_ = false;
  if (OnChange) OnChange(DirectoryOf(node));
}

std::string TDirTreeView::GetSelectedDirectory() const { return DirectoryOf(currentItem()); }

std::string TDirTreeView::GetDirectoryAt(const QPoint& pos) const { return DirectoryOf(itemAt(pos)); }

bool TDirTreeView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !toolTips_) return true;
  return QTreeWidget::viewportEvent(event);
}

}  // namespace sorrel::controls
