#include "playlist/ui/PlayFileList.h"

#include "base/TextCodec.h"
#include "playlist/core/Paths.h"

#include <QAbstractListModel>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace sorrel::playlist {

// The rows of the play order, their texts made from the play files when asked for.
class TPlayFileRows : public QAbstractListModel {
 public:
  TPlayFileRows(const PlayFileList& files, const int& depth, QObject* parent)
      : QAbstractListModel(parent), files_(files), depth_(depth) {}
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : int(std::min<size_t>(files_.Count(), INT_MAX));
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid() || size_t(index.row()) >= files_.Count()) return {};
    return Text(index.row());
  }
  QString Text(int row) const {
    return QString::fromStdString(base::DecodeText(ShortenPath(files_.AtRow(size_t(row)).path, depth_)));
  }
  void Reset() {
    beginResetModel();
    endResetModel();
  }

 private:
  const PlayFileList& files_;
  const int& depth_;
};

namespace {

// `PlayFileListBoxDrawItem`: the list's brush (the selection colours for a selected
// row), the text 2 pixels in from the left at the row's top.
class TPlayFileDelegate : public QStyledItemDelegate {
 public:
  TPlayFileDelegate(const TPlayFileRows& rows, QListView* list)
      : QStyledItemDelegate(list), rows_(rows), list_(list) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = list_->palette();
    painter->fillRect(option.rect, pal.color(selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(list_->font());
    painter->drawText(option.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      rows_.Text(index.row()));
    if ((option.state & QStyle::State_HasFocus) && list_->hasFocus()) {
      QPen pen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text), 1, Qt::DotLine);
      painter->setPen(pen);
      painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    // 14 pixels, or more where the font drawn is taller than the one designed for.
    return {1, std::max(Tfm_PlayFileList::kItemHeight, list_->fontMetrics().height())};
  }

 private:
  const TPlayFileRows& rows_;
  QListView* list_;
};

}  // namespace

void TPlayFileListBox::mousePressEvent(QMouseEvent* e) {
  QListView::mousePressEvent(e);
  if (OnMouse) OnMouse(e);
}

void TPlayFileListBox::mouseReleaseEvent(QMouseEvent* e) {
  QListView::mouseReleaseEvent(e);
  if (OnMouse) OnMouse(e);
}

void TPlayFileListBox::mouseDoubleClickEvent(QMouseEvent* e) {
  QListView::mouseDoubleClickEvent(e);
  if (OnDoubleClick) OnDoubleClick();
}

void TPlayFileListBox::mouseMoveEvent(QMouseEvent* e) {
  // A move with a button held would select the rows it passes.
  if (e->buttons() != Qt::NoButton) return;
  QListView::mouseMoveEvent(e);
}

void TPlayFileListBox::keyPressEvent(QKeyEvent* e) {
  if (OnKeyDown && OnKeyDown(e)) return;
  QListView::keyPressEvent(e);
}

void TPlayFileListBox::keyReleaseEvent(QKeyEvent* e) {
  QListView::keyReleaseEvent(e);
  if (OnKeyUp) OnKeyUp(e);
}

void TPlayFileListBox::wheelEvent(QWheelEvent* e) {
  QListView::wheelEvent(e);
  if (OnScrolled) OnScrolled();
}

void TPlayFileListBox::keyboardSearch(const QString&) {
  // The rows have no text of their own to search (and 100,000 of them would be slow).
}

Tfm_PlayFileList::Tfm_PlayFileList(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      rows_(new TPlayFileRows(files_, pathDepth_, this)),
      hint_(std::make_unique<controls::THintWindowEx>()) {
  setObjectName(QStringLiteral("fm_PlayFileList"));
  setWindowTitle(QStringLiteral("プレイリスト"));
  resize(kClientWidth, kClientHeight);
  setMinimumSize(460, 160);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);

  PlayFileListBox = new TPlayFileListBox(Panel1);
  PlayFileListBox->setObjectName(QStringLiteral("PlayFileListBox"));
  QFont listFont(QStringLiteral("ＭＳ ゴシック"));
  listFont.setStyleHint(QFont::Monospace);
  listFont.setPixelSize(13);
  PlayFileListBox->setFont(listFont);
  PlayFileListBox->setUniformItemSizes(true);
  PlayFileListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PlayFileListBox->setSelectionMode(QAbstractItemView::MultiSelection);
  PlayFileListBox->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  PlayFileListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  PlayFileListBox->setModel(rows_);
  PlayFileListBox->setItemDelegate(new TPlayFileDelegate(*rows_, PlayFileListBox));

  Panel2 = new QFrame(Panel1);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFixedHeight(38);
  QFont numberFont(QStringLiteral("ＭＳ ゴシック"));
  numberFont.setStyleHint(QFont::Monospace);
  numberFont.setFixedPitch(true);
  numberFont.setBold(true);
  const auto label = [this](const QString& text, const char* name) {
    auto* l = new QLabel(text, Panel2);
    l->setObjectName(QString::fromLatin1(name));
    return l;
  };
  Label1 = label(QStringLiteral("Song:"), "Label1");
  lb_FileNo = label(QStringLiteral("999,999 / 199,999"), "lb_FileNo");
  lb_FileNo->setFont(numberFont);
  Label2 = label(QStringLiteral("Dir:"), "Label2");
  lb_DirNo = label(QStringLiteral("99,999/ 19,999"), "lb_DirNo");
  lb_DirNo->setFont(numberFont);
  BBtn_ShowPlayList = new QPushButton(QStringLiteral("リスト変更"), Panel2);
  BBtn_ShowPlayList->setObjectName(QStringLiteral("BBtn_ShowPlayList"));
  BBtn_ShowPlayList->setFocusPolicy(Qt::NoFocus);
  auto* bottom = new QHBoxLayout(Panel2);
  bottom->setContentsMargins(8, 4, 8, 4);
  bottom->addWidget(Label1);
  bottom->addWidget(lb_FileNo);
  bottom->addSpacing(16);
  bottom->addWidget(Label2);
  bottom->addWidget(lb_DirNo);
  bottom->addStretch();
  bottom->addWidget(BBtn_ShowPlayList);

  auto* inner = new QVBoxLayout(Panel1);
  inner->setContentsMargins(2, 2, 2, 2);
  inner->setSpacing(0);
  inner->addWidget(PlayFileListBox);
  inner->addWidget(Panel2);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(Panel1);

  hint_->setFont(PlayFileListBox->font());
  hint_->Color(QColor(255, 191, 255));

  PlayFileListBox->OnMouse = [this](QMouseEvent*) { ListMouse(); };
  PlayFileListBox->OnDoubleClick = [this] {
    PlayFocused();
    ShowItemHint();
  };
  PlayFileListBox->OnKeyDown = [this](QKeyEvent* e) { return ListKeyDown(e); };
  PlayFileListBox->OnKeyUp = [this](QKeyEvent* e) { ListKeyUp(e); };
  PlayFileListBox->OnScrolled = [this] { ShowItemHint(); };
  // After the scroll bar has moved the rows.
  connect(PlayFileListBox->verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this] { QTimer::singleShot(0, this, &Tfm_PlayFileList::ShowItemHint); });
  connect(BBtn_ShowPlayList, &QPushButton::clicked, this, [this] { emit ShowPlayListRequested(); });
}

Tfm_PlayFileList::~Tfm_PlayFileList() = default;

void Tfm_PlayFileList::SetPathDepth(int depth) {
  if (depth == pathDepth_) return;
  pathDepth_ = depth;
  PlayFileListBox->viewport()->update();
}

QString Tfm_PlayFileList::RowText(int row) const {
  if (row < 0 || size_t(row) >= files_.Count()) return {};
  return rows_->Text(row);
}

int Tfm_PlayFileList::SelectedRow() const {
  const QModelIndexList rows = PlayFileListBox->selectionModel()->selectedIndexes();
  int first = -1;
  for (const QModelIndex& i : rows)
    if (first < 0 || i.row() < first) first = i.row();
  return first;
}

int Tfm_PlayFileList::FocusedRow() const {
  const QModelIndex i = PlayFileListBox->currentIndex();
  return i.isValid() ? i.row() : -1;
}

QString Tfm_PlayFileList::FileNoText() const { return lb_FileNo->text(); }

void Tfm_PlayFileList::ShowNumbers(const QString& fileNo, const QString& dirNo, const QColor& dirColor,
                                   bool dirVisible) {
  lb_FileNo->setText(fileNo);
  lb_DirNo->setText(dirNo);
  for (QLabel* l : {Label2, lb_DirNo}) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, dirColor);
    l->setPalette(p);
    l->setVisible(dirVisible);
  }
}

void Tfm_PlayFileList::RowsChanged() {
  playingRow_ = -1;
  rows_->Reset();
}

void Tfm_PlayFileList::SelectRow(int row) {
  const QModelIndex index = rows_->index(row);
  if (!index.isValid()) return;
  playingRow_ = row;
  QItemSelectionModel* sel = PlayFileListBox->selectionModel();
  sel->select(index, QItemSelectionModel::ClearAndSelect);
  sel->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  // Five rows of what came before stay in sight.
  PlayFileListBox->scrollTo(rows_->index(std::max(row - 5, 0)), QAbstractItemView::PositionAtTop);
}

void Tfm_PlayFileList::PlayFocused() {
  const int row = FocusedRow();
  if (row >= 0) emit PlayRowRequested(row);
}

void Tfm_PlayFileList::ListMouse() {
  if (files_.Empty()) return;
  const QModelIndex focused = PlayFileListBox->currentIndex();
  if (focused.isValid()) {
    QItemSelectionModel* sel = PlayFileListBox->selectionModel();
    sel->select(focused, QItemSelectionModel::Deselect);
    if (focused.row() == playingRow_) sel->select(focused, QItemSelectionModel::Select);
  }
  ShowItemHint();
}

bool Tfm_PlayFileList::ListKeyDown(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      PlayFocused();
      ShowItemHint();
      return true;
    case Qt::Key_Escape:
      emit CloseRequested();
      return true;
    case Qt::Key_Space:
      emit MainWindowKey(e);
      return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
      hint_->HideHint();
      return false;
    default:
      // Select-all would move the highlight.
      return e->matches(QKeySequence::SelectAll);
  }
}

void Tfm_PlayFileList::ListKeyUp(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
      ShowItemHint();
      break;
    default:
      break;
  }
}

void Tfm_PlayFileList::ShowItemHint() {
  if (!isVisible() || files_.Empty()) {
    hint_->HideHint();
    return;
  }
  QWidget* vp = PlayFileListBox->viewport();
  const int count = rows_->rowCount({});
  int i = std::max(FocusedRow(), 0);
  const QModelIndex topIndex = PlayFileListBox->indexAt(QPoint(2, 2));
  const int top = topIndex.isValid() ? topIndex.row() : 0;
  const QModelIndex bottomIndex = PlayFileListBox->indexAt(QPoint(2, vp->height() - 4));
  const int bottom = bottomIndex.isValid() ? bottomIndex.row() : count;
  if (i < top)
    i = top;
  else if (bottom >= 0 && bottom < i)
    i = bottom;
  const QModelIndex index = rows_->index(i);
  PlayFileListBox->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);

  const QString text = rows_->Text(i);
  const QRect r = PlayFileListBox->visualRect(index);
  const QPoint p = vp->mapToGlobal(r.topLeft());
  const QScreen* s = screen();
  const QRect m = hint_->MeasureHint(s ? s->geometry().width() : 1 << 16, text);
  hint_->ActivateHint(QRect(QPoint(p.x() + 2, p.y()), QPoint(p.x() + m.width() + 1, p.y() + m.height() - 3)),
                      text);
}

void Tfm_PlayFileList::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  const TFileListSettings defaults;
  const TFileListSettings& s = settings_ ? *settings_ : defaults;
  SetPathDepth(s.FLFileLimit);
  QFont f = PlayFileListBox->font();
  // The list font is sized in pixels, so "FLHFontPlus" adds pixels.
  f.setPixelSize(std::max(1, f.pixelSize() + s.FLHFontPlus));
  f.setBold(s.FLHFontBold);
  hint_->setFont(f);
  PlayFileListBox->setFocus();
  ShowItemHint();
}

void Tfm_PlayFileList::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  hint_->HideHint();
}

}  // namespace sorrel::playlist
