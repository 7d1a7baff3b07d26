#include "playlist/ui/PlayList.h"

#include "base/TextCodec.h"
#include "controls/DirTree.h"
#include "controls/DrvCombo.h"
#include "controls/FileListBoxEX.h"
#include "controls/ListBoxEx.h"
#include "controls/core/BrowsePaths.h"
#include "controls/core/DirEntries.h"
#include "controls/core/ListBoxRules.h"
#include "playlist/core/DirectorySearch.h"
#include "playlist/core/Paths.h"
#include "playlist/ui/SearchSts.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <climits>

namespace sorrel::playlist {

namespace {

constexpr const char* kTreeMime = Tfm_PlayList::kTreeMime;
constexpr const char* kFileListMime = Tfm_PlayList::kFileListMime;
constexpr const char* kPlayListMime = Tfm_PlayList::kPlayListMime;

enum class TDragKind { kNone, kTree, kFileList, kPlayList, kShell };

TDragKind KindOf(const QMimeData* m) {
  if (!m) return TDragKind::kNone;
  if (m->hasFormat(QLatin1String(kTreeMime))) return TDragKind::kTree;
  if (m->hasFormat(QLatin1String(kFileListMime))) return TDragKind::kFileList;
  if (m->hasFormat(QLatin1String(kPlayListMime))) return TDragKind::kPlayList;
  for (const QUrl& u : m->urls())
    if (u.isLocalFile()) return TDragKind::kShell;
  return TDragKind::kNone;
}

std::vector<std::string> LocalFiles(const QMimeData* m) {
  std::vector<std::string> names;
  for (const QUrl& u : m->urls())
    if (u.isLocalFile()) {
      const QByteArray b = QFile::encodeName(u.toLocalFile());
      names.emplace_back(b.constData(), size_t(b.size()));
    }
  return names;
}

std::string Local(const QString& s) {
  const QByteArray b = QFile::encodeName(s);
  return std::string(b.constData(), size_t(b.size()));
}

QString Shown(std::string_view bytes) { return QString::fromStdString(base::DecodeText(bytes)); }
QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

std::string ParentOf(const std::string& dir) {
  const size_t slash = dir.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return dir.substr(0, slash);
}

std::string CurrentDirectoryOfProcess() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? std::string(buf) : std::string("/");
}

// A list whose drags the editor starts itself, with its own data format.
template <class Base>
class TDragSourceList : public Base {
 public:
  using Base::Base;
  std::function<void()> OnStartDrag;

 protected:
  void startDrag(Qt::DropActions) override {
    if (OnStartDrag) OnStartDrag();
  }
};

QToolButton* SpeedButton(QWidget* parent, const char* name, const QIcon& icon, const QString& hint) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setIcon(icon);
  b->setIconSize(QSize(20, 20));
  b->setFixedSize(30, 30);
  b->setAutoRaise(true);
  b->setToolTip(hint);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

QIcon Themed(const char* name, QStyle::StandardPixmap fallback) {
  return QIcon::fromTheme(QString::fromLatin1(name), QApplication::style()->standardIcon(fallback));
}

}  // namespace

Tfm_PlayList::Tfm_PlayList(QString homeDir, TPlayListHost& host, PlayFileList& playFiles, QWidget* parent,
                           std::unique_ptr<controls::TVolumeSource> volumes)
    : QWidget(parent, Qt::Window),
      homeDir_(std::move(homeDir)),
      host_(host),
      controller_(Local(homeDir_), list_, playFiles, host) {
  setObjectName(QStringLiteral("fm_PlayList"));
  setWindowTitle(QStringLiteral("プレイリスト"));
  DrvCombo = new controls::TDrvCombo(nullptr, std::move(volumes));
  CreateControls();

  // FormCreate.
  const TCurrentMusic& cm = host_.CurrentMusic();
  cbx_Shuffle->setChecked(cm.Shuffle);
  CheckLook(cbx_Shuffle);
  list_.FileMode = cm.ListFileMode;
  (list_.FileMode ? rb_FileMode : rb_DirMode)->setChecked(true);
  StartDir_ =
      cm.CurFile.empty() ? CurrentDirectoryOfProcess() : controls::SplitFilePath(cm.CurFile).directory;
  if (StartDir_.empty()) StartDir_ = CurrentDirectoryOfProcess();
  PlayListBox->HotColor(controls::kNoHotColor);
  setAcceptDrops(true);

  // The window sees every key first, and every mouse move (FormKeyDown, FormMouseMove).
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

  OpenDialog = new QFileDialog(this);
  OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
  OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
  OpenDialog->setFileMode(QFileDialog::ExistingFile);
  SaveDialog = new QFileDialog(this);
  SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
  SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog->setFileMode(QFileDialog::AnyFile);  // asks before overwriting
  SetModeLook(list_.FileMode);

  tm_PLBScroll.setInterval(100);
  connect(&tm_PLBScroll, &QTimer::timeout, this, &Tfm_PlayList::tm_PLBScrollTimer);
  tm_Splash.setInterval(50);
  tm_Splash.setSingleShot(true);
  connect(&tm_Splash, &QTimer::timeout, this, &Tfm_PlayList::tm_SplashTimer);
}

Tfm_PlayList::~Tfm_PlayList() = default;

void Tfm_PlayList::UseSettings(TPlayListSettings* settings) {
  settings_ = settings ? settings : &ownSettings_;
}

void Tfm_PlayList::CreateControls() {
  resize(kDesignWidth, kDesignHeight);
  setMinimumSize(kMinWidth, kMinHeight);

  Splt_Hz = new QSplitter(Qt::Vertical, this);
  Splt_Hz->setObjectName(QStringLiteral("Splt_Hz"));
  Splt_Hz->setChildrenCollapsible(false);

  pnl_DirSelect = new QFrame;
  pnl_DirSelect->setObjectName(QStringLiteral("pnl_DirSelect"));
  pnl_DirSelect->setMinimumHeight(100);
  pnl_DirSel_Top = new QFrame(pnl_DirSelect);
  pnl_DirSel_Top->setObjectName(QStringLiteral("pnl_DirSel_Top"));
  pnl_DirSel_Top->setFixedHeight(50);
  rb_DirMode = new QRadioButton(QStringLiteral("ディレクトリ指定"), pnl_DirSel_Top);
  rb_DirMode->setObjectName(QStringLiteral("rb_DirMode"));
  rb_DirMode->setToolTip(QStringLiteral("ディレクトリで指定する"));
  rb_FileMode = new QRadioButton(QStringLiteral("ファイル指定"), pnl_DirSel_Top);
  rb_FileMode->setObjectName(QStringLiteral("rb_FileMode"));
  rb_FileMode->setToolTip(QStringLiteral("ファイルで指定する"));
  DrvCombo->setParent(pnl_DirSel_Top);
  DrvCombo->setObjectName(QStringLiteral("DrvCombo"));
  spb_Open = SpeedButton(pnl_DirSel_Top, "spb_Open", Themed("document-open", QStyle::SP_DialogOpenButton),
                         QStringLiteral("リストを開く"));
  spb_Save = SpeedButton(pnl_DirSel_Top, "spb_Save", Themed("document-save", QStyle::SP_DialogSaveButton),
                         QStringLiteral("リストを保存"));
  Label1 = new QLabel(pnl_DirSel_Top);
  Label1->setObjectName(QStringLiteral("Label1"));

  Splt_Vt = new QSplitter(Qt::Horizontal, pnl_DirSelect);
  Splt_Vt->setObjectName(QStringLiteral("Splt_Vt"));
  Splt_Vt->setChildrenCollapsible(false);
  pnl_DirSel_Left = new QFrame;
  pnl_DirSel_Left->setObjectName(QStringLiteral("pnl_DirSel_Left"));
  pnl_DirSel_Left->setMinimumWidth(150);
  DirTreeView = new controls::TDirTreeView(pnl_DirSel_Left);
  DirTreeView->setObjectName(QStringLiteral("DirTreeView"));
  DirTreeView->ShowHiddenDir(true);
  DirTreeView->setMouseTracking(true);
  (new QVBoxLayout(pnl_DirSel_Left))->setContentsMargins(0, 0, 0, 0);
  pnl_DirSel_Left->layout()->addWidget(DirTreeView);
  pnl_DirSel_Right = new QFrame;
  pnl_DirSel_Right->setObjectName(QStringLiteral("pnl_DirSel_Right"));
  pnl_DirSel_Right->setMinimumWidth(120);
  auto* files = new TDragSourceList<controls::TFileListBoxEX>(pnl_DirSel_Right);
  FileListBox = files;
  FileListBox->setObjectName(QStringLiteral("FileListBox"));
  FileListBox->SetMask("*.MP3");
  FileListBox->SetFileType(controls::ftNormal | controls::ftHidden);
  FileListBox->ToolTips(true);
  (new QVBoxLayout(pnl_DirSel_Right))->setContentsMargins(0, 0, 0, 0);
  pnl_DirSel_Right->layout()->addWidget(FileListBox);
  Splt_Vt->addWidget(pnl_DirSel_Left);
  Splt_Vt->addWidget(pnl_DirSel_Right);
  Splt_Vt->setStretchFactor(1, 1);
  Splt_Vt->setSizes({170, kDesignWidth - 170});
  auto* browsing = new QVBoxLayout(pnl_DirSelect);
  browsing->setContentsMargins(0, 0, 0, 0);
  browsing->setSpacing(0);
  browsing->addWidget(pnl_DirSel_Top);
  browsing->addWidget(Splt_Vt);

  pnl_PlayList = new QFrame;
  pnl_PlayList->setObjectName(QStringLiteral("pnl_PlayList"));
  pnl_PlayList->setMinimumHeight(120);
  auto* list = new TDragSourceList<controls::TListBoxEx>(pnl_PlayList);
  PlayListBox = list;
  PlayListBox->setObjectName(QStringLiteral("PlayListBox"));
  PlayListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
  PlayListBox->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  PlayListBox->HotTrack(true);
  PlayListBox->ToolTips(true);
  PlayListBox->setDragDropMode(QAbstractItemView::DragDrop);
  PlayListBox->OnDrawText = [this](int index, QString& text) {
    if (index >= 0 && size_t(index) < list_.Entries.size())
      text = Shown(ShortenPath(list_.Entries[size_t(index)], PathDepth_));
  };
  (new QVBoxLayout(pnl_PlayList))->setContentsMargins(0, 0, 0, 0);
  pnl_PlayList->layout()->addWidget(PlayListBox);

  Splt_Hz->addWidget(pnl_DirSelect);
  Splt_Hz->addWidget(pnl_PlayList);
  Splt_Hz->setStretchFactor(1, 1);
  Splt_Hz->setSizes({180, kDesignHeight - 180 - 41});

  pnl_Bottom = new QFrame(this);
  pnl_Bottom->setObjectName(QStringLiteral("pnl_Bottom"));
  pnl_Bottom->setFixedHeight(41);
  spb_GetAllDir = SpeedButton(pnl_Bottom, "spb_GetAllDir",
                              Themed("folder-new", QStyle::SP_FileDialogNewFolder), QString());
  spb_Up = SpeedButton(pnl_Bottom, "spb_Up", Themed("go-up", QStyle::SP_ArrowUp),
                       QStringLiteral("選択されたものを上へ"));
  spb_Down = SpeedButton(pnl_Bottom, "spb_Down", Themed("go-down", QStyle::SP_ArrowDown),
                         QStringLiteral("選択されたものを下へ"));
  spb_Delete = SpeedButton(pnl_Bottom, "spb_Delete", Themed("list-remove", QStyle::SP_DialogDiscardButton),
                           QStringLiteral("選択されたものを除く"));
  spb_Clear = SpeedButton(pnl_Bottom, "spb_Clear", Themed("edit-clear", QStyle::SP_DialogResetButton),
                          QStringLiteral("すべてクリア"));
  cbx_PlayWithLyric = new QCheckBox(QStringLiteral("歌詞付のみ"), pnl_Bottom);
  cbx_PlayWithLyric->setObjectName(QStringLiteral("cbx_PlayWithLyric"));
  cbx_PlayWithLyric->setToolTip(QStringLiteral("歌詞のあるものだけを再生する"));
  cbx_Shuffle = new QCheckBox(QStringLiteral("シャッフル"), pnl_Bottom);
  cbx_Shuffle->setObjectName(QStringLiteral("cbx_Shuffle"));
  cbx_Shuffle->setToolTip(QStringLiteral("シャッフルプレイ"));
  btb_Play = new QPushButton(Themed("media-playback-start", QStyle::SP_MediaPlay), QStringLiteral("再生"),
                             pnl_Bottom);
  btb_Play->setObjectName(QStringLiteral("btb_Play"));
  btb_Play->setToolTip(QStringLiteral("リストを再生"));
  btb_Play->setDefault(true);
  btb_Cancel = new QPushButton(Themed("dialog-cancel", QStyle::SP_DialogCancelButton), QStringLiteral("取消"),
                               pnl_Bottom);
  btb_Cancel->setObjectName(QStringLiteral("btb_Cancel"));
  btb_Cancel->setToolTip(QStringLiteral("キャンセル"));
  auto* buttons = new QHBoxLayout(pnl_Bottom);
  buttons->setContentsMargins(4, 4, 4, 4);
  buttons->setSpacing(2);
  for (QWidget* w : std::initializer_list<QWidget*>{spb_GetAllDir, spb_Up, spb_Down, spb_Delete, spb_Clear})
    buttons->addWidget(w);
  buttons->addStretch();
  buttons->addWidget(cbx_PlayWithLyric);
  buttons->addWidget(cbx_Shuffle);
  buttons->addSpacing(6);
  buttons->addWidget(btb_Play);
  buttons->addWidget(btb_Cancel);

  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(0);
  l->addWidget(Splt_Hz);
  l->addWidget(pnl_Bottom);

  // Handlers.
  DrvCombo->OnChange = [this] { DrvComboChange(); };
  DirTreeView->OnChange = [this](const std::string& dir) { DirTreeViewChange(dir); };
  connect(Splt_Vt, &QSplitter::splitterMoved, this, [this] { LayoutTop(); });
  const auto modeClick = [this] {
    if (rb_FileMode->isChecked() != list_.FileMode) SetMode(rb_FileMode->isChecked());
  };
  connect(rb_DirMode, &QRadioButton::clicked, this, modeClick);
  connect(rb_FileMode, &QRadioButton::clicked, this, modeClick);
  connect(spb_Open, &QToolButton::clicked, this, &Tfm_PlayList::spb_OpenClick);
  connect(spb_Save, &QToolButton::clicked, this, &Tfm_PlayList::spb_SaveClick);
  connect(spb_GetAllDir, &QToolButton::clicked, this, &Tfm_PlayList::spb_GetAllDirClick);
  connect(spb_Up, &QToolButton::clicked, this, &Tfm_PlayList::spb_UpClick);
  connect(spb_Down, &QToolButton::clicked, this, &Tfm_PlayList::spb_DownClick);
  connect(spb_Delete, &QToolButton::clicked, this, &Tfm_PlayList::spb_DeleteClick);
  connect(spb_Clear, &QToolButton::clicked, this, &Tfm_PlayList::spb_ClearClick);
  connect(cbx_Shuffle, &QCheckBox::toggled, this, [this] { CheckLook(cbx_Shuffle); });
  connect(cbx_PlayWithLyric, &QCheckBox::toggled, this, [this] { CheckLook(cbx_PlayWithLyric); });
  connect(btb_Play, &QPushButton::clicked, this, &Tfm_PlayList::PlayClick);
  connect(btb_Cancel, &QPushButton::clicked, this, &Tfm_PlayList::btb_CancelClick);
  connect(PlayListBox, &QListWidget::itemSelectionChanged, this, &Tfm_PlayList::UpdateButtons);

  files->OnStartDrag = [this] {
    auto* drag = new QDrag(FileListBox);
    auto* data = new QMimeData;
    data->setData(QLatin1String(kFileListMime), QByteArray::fromStdString(FileListBox->Directory()));
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
    // DirTreeViewEndDrag.
    ScrollDir_ = TScrollDir::kNone;
    tm_PLBScroll.stop();
    DropHighlight(false);
  };
  list->OnStartDrag = [this] {
    auto* drag = new QDrag(PlayListBox);
    auto* data = new QMimeData;
    data->setData(QLatin1String(kPlayListMime), {});
    drag->setMimeData(data);
    listDragStart_ = QCursor::pos();  // PlayListBoxStartDrag
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    listDragStart_ = QPoint();
    DropHighlight(false);
  };
}

void Tfm_PlayList::LayoutTop() {
  // pnl_DirSel_LeftResize: the drive box as wide as the tree, Label1 10 pixels into the
  // file list's side.
  const int treeWidth = pnl_DirSel_Left->width();
  const int rightLeft = pnl_DirSel_Right->mapTo(pnl_DirSelect, QPoint(0, 0)).x();
  const int w = pnl_DirSel_Top->width();
  rb_DirMode->setGeometry(6, 3, 130, 20);
  rb_FileMode->setGeometry(140, 3, 110, 20);
  spb_Save->move(w - 32, 0);
  spb_Open->move(w - 64, 0);
  DrvCombo->setGeometry(0, 26, treeWidth, 23);
  Label1->setGeometry(rightLeft + 10, 30, std::max(0, w - rightLeft - 10), 18);
}

void Tfm_PlayList::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  LayoutTop();
}

// ---- the list -----------------------------------------------------------------------

TSelection Tfm_PlayList::Selection() const {
  TSelection s;
  for (int i = 0; i < PlayListBox->count(); ++i)
    if (PlayListBox->item(i)->isSelected()) s.push_back(size_t(i));
  return s;
}

void Tfm_PlayList::SetSelection(const TSelection& selection) {
  const QSignalBlocker block(PlayListBox);
  PlayListBox->clearSelection();
  QItemSelection sel;
  for (const size_t i : selection)
    if (i < size_t(PlayListBox->count())) {
      const QModelIndex index = PlayListBox->model()->index(int(i), 0);
      sel.select(index, index);
    }
  PlayListBox->selectionModel()->select(sel, QItemSelectionModel::Select);
  if (!selection.empty() && selection.front() < size_t(PlayListBox->count()))
    PlayListBox->selectionModel()->setCurrentIndex(PlayListBox->model()->index(int(selection.front()), 0),
                                                   QItemSelectionModel::NoUpdate);
}

int Tfm_PlayList::TopIndex() const { return PlayListBox->verticalScrollBar()->value(); }

void Tfm_PlayList::SetTopIndex(int index) { PlayListBox->verticalScrollBar()->setValue(index); }

void Tfm_PlayList::ShowEntries(const TSelection& selection) {
  const int top = TopIndex();
  {
    const QSignalBlocker block(PlayListBox);
    PlayListBox->setUpdatesEnabled(false);
    PlayListBox->clear();
    QStringList texts;
    texts.reserve(qsizetype(list_.Entries.size()));
    for (const std::string& e : list_.Entries) texts << Shown(e);
    PlayListBox->addItems(texts);
    PlayListBox->setUpdatesEnabled(true);
  }
  SetSelection(selection);
  SetTopIndex(top);
  UpdateButtons();
}

void Tfm_PlayList::Edited(TEditResult r, const TSelection& selection) {
  if (r == TEditResult::kChanged) ShowEntries(selection);
  if (r == TEditResult::kRefused) Beep();
  UpdateButtons();
}

void Tfm_PlayList::ScrollAfterAppend() {
  if (const std::optional<size_t> top = TopIndexAfterAppend(list_.Entries.size())) SetTopIndex(int(*top));
}

void Tfm_PlayList::AddDirectory(size_t index, const std::string& dir) {
  TSelection sel = Selection();
  Edited(playlist::AddDirectory(list_.Entries, sel, index, dir), sel);
}

void Tfm_PlayList::AddDirectoryAtEnd(const std::string& dir) {
  AddDirectory(list_.Entries.size(), dir);
  ScrollAfterAppend();
}

void Tfm_PlayList::AddFile(const std::string& fileName) {
  TSelection sel = Selection();
  Edited(playlist::AddFile(list_.Entries, sel, fileName), sel);
  ScrollAfterAppend();
}

void Tfm_PlayList::AddSelectedFiles(size_t index) {
  const std::vector<std::string> names = FileListBox->SelectedNames();
  FileListBox->clearSelection();
  TSelection sel = Selection();
  Edited(playlist::AddSelectedFiles(list_.Entries, sel, index, FileListBox->Directory(), names), sel);
}

void Tfm_PlayList::AddSelectedFilesAtEnd() {
  AddSelectedFiles(list_.Entries.size());
  ScrollAfterAppend();
}

void Tfm_PlayList::UpdateButtons() {
  DirTreeView->ToolTips(true);
  const bool entries = !list_.Entries.empty();
  spb_Clear->setEnabled(entries);
  btb_Play->setEnabled(entries);
  spb_Save->setEnabled(entries);
  const bool selected = !PlayListBox->selectedItems().isEmpty();
  spb_Delete->setEnabled(selected);
  spb_Up->setEnabled(selected);
  spb_Down->setEnabled(selected);
  spb_GetAllDir->setEnabled(DirTreeView->currentItem() != nullptr);
}

void Tfm_PlayList::spb_UpClick() {
  TSelection sel = Selection();
  if (MoveSelectionUp(list_.Entries, sel)) ShowEntries(sel);
}

void Tfm_PlayList::spb_DownClick() {
  TSelection sel = Selection();
  if (MoveSelectionDown(list_.Entries, sel)) ShowEntries(sel);
}

void Tfm_PlayList::spb_DeleteClick() {
  TSelection sel = Selection();
  if (DeleteSelection(list_.Entries, sel)) ShowEntries(sel);
  UpdateButtons();
}

void Tfm_PlayList::spb_ClearClick() {
  list_.Entries.clear();
  ShowEntries();
}

QStringList Tfm_PlayList::Entries() const {
  QStringList out;
  for (const std::string& e : list_.Entries) out << QString::fromStdString(e);
  return out;
}

// ---- modes, showing, the list operations with the main window ------------------------

void Tfm_PlayList::SetModeLook(bool fileMode) {
  list_.FileMode = fileMode;
  {
    const QSignalBlocker a(rb_FileMode), b(rb_DirMode);
    (fileMode ? rb_FileMode : rb_DirMode)->setChecked(true);
  }
  FileListBox->clearSelection();
  FileListBox->setSelectionMode(fileMode ? QAbstractItemView::ExtendedSelection
                                         : QAbstractItemView::NoSelection);
  FileListBox->setDragEnabled(fileMode);
  FileListBox->setDragDropMode(fileMode ? QAbstractItemView::DragOnly : QAbstractItemView::NoDragDrop);
  OpenDialog->selectFile(QString());
  SaveDialog->selectFile(QString());
  rb_FileMode->setFocusPolicy(fileMode ? Qt::StrongFocus : Qt::NoFocus);
  rb_DirMode->setFocusPolicy(fileMode ? Qt::NoFocus : Qt::StrongFocus);
  FileListBox->setFocusPolicy(fileMode ? Qt::StrongFocus : Qt::ClickFocus);
  FileListBox->HotTrack(fileMode);
  spb_GetAllDir->setVisible(!fileMode);
  const TModeView view = ModeTexts(fileMode, Settings());
  Label1->setText(Utf8(view.label1));
  setWindowTitle(Utf8(view.caption));
  PathDepth_ = view.pathDepth;
  PlayListBox->viewport()->update();
}

void Tfm_PlayList::SetMode(bool fileMode) {
  SetModeLook(fileMode);
  // The other mode's default list; the list being edited is not saved.
  controller_.LoadDefaultList();
  ShowEntries();
  if (isVisible()) (fileMode ? rb_FileMode : rb_DirMode)->setFocus();
}

void Tfm_PlayList::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  // FormShow: the list shows again once tm_Splash has loaded the default list.
  {
    const QSignalBlocker block(PlayListBox);
    PlayListBox->clear();
  }
  LayoutTop();
  tm_Splash.start();
}

void Tfm_PlayList::tm_SplashTimer() {
  tm_Splash.stop();
  if (!StartDir_.empty()) {
    NavigateTo(StartDir_);
    StartDir_.clear();
  }
  const auto existing = [this](const std::string& dir) {
    return !dir.empty() && IsDirectory(dir) ? QFile::decodeName(QByteArray::fromStdString(dir)) : homeDir_;
  };
  openDir_ = existing(Settings().OpenDialogInitialDir);
  saveDir_ = existing(Settings().SaveDialogInitialDir);
  cbx_Shuffle->setChecked(host_.CurrentMusic().Shuffle);
  SetMode(host_.CurrentMusic().ListFileMode);
  if (!CurDir_.empty()) FileListBox->SetDirectory(CurDir_);
  cbx_PlayWithLyric->setChecked(host_.PlayWithLyric());
  cbx_PlayWithLyric->setVisible(host_.TarnLyric());
  UpdateButtons();
}

void Tfm_PlayList::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  tm_PLBScroll.stop();
  ScrollDir_ = TScrollDir::kNone;
  const auto stored = [](const QString& dir) {
    return dir.isEmpty() ? std::string() : controls::WithTrailingSlash(Local(dir));
  };
  settings_->OpenDialogInitialDir = stored(openDir_);
  settings_->SaveDialogInitialDir = stored(saveDir_);
}

void Tfm_PlayList::closeEvent(QCloseEvent* e) {
  // Through the main window, which takes its place back.
  if (isVisible()) host_.CloseEditor();
  QWidget::closeEvent(e);
}

void Tfm_PlayList::btb_CancelClick() {
  host_.CloseEditor();
  if (isVisible()) hide();  // a main window not ready yet hides nothing
}

void Tfm_PlayList::PlayClick() {
  controller_.PlayClick({cbx_Shuffle->isChecked(), cbx_PlayWithLyric->isChecked()});
}

bool Tfm_PlayList::OpenListFileAndPlay(const QString& fileName) {
  const bool ok = controller_.OpenListFileAndPlay(Local(fileName));
  if (ok) {
    SetModeLook(list_.FileMode);
    ShowEntries();
  }
  return ok;
}

bool Tfm_PlayList::PlaySong(const QString& fileName) {
  const bool ok = controller_.OpenEntriesAndPlay({Local(fileName)}, true);
  if (ok) {
    SetModeLook(list_.FileMode);
    ShowEntries();
  }
  return ok;
}

void Tfm_PlayList::StartUpRestore(const QString& firstArgument) {
  controller_.StartUpRestore(Local(firstArgument));
  SetModeLook(list_.FileMode);
  ShowEntries();
}

void Tfm_PlayList::CheckLook(QCheckBox* box) {
  QPalette p = box->palette();
  p.setColor(QPalette::WindowText, box->isChecked() ? QColor(128, 0, 0) : QColor(Qt::black));
  box->setPalette(p);
  QFont f = box->font();
  f.setBold(box->isChecked());
  box->setFont(f);
}

// ---- open and save -------------------------------------------------------------------

void Tfm_PlayList::spb_OpenClick() {
  const TModeView view = playlist::ModeTexts(list_.FileMode, Settings());
  OpenDialog->setNameFilter(Utf8(view.filter));
  OpenDialog->setDirectory(openDir_);
  OpenDialog->selectFile(QString());
  if (OpenDialog->exec() != QDialog::Accepted || OpenDialog->selectedFiles().isEmpty()) return;
  const QString chosen = OpenDialog->selectedFiles().front();
  controller_.LoadListFile(Local(chosen));
  ShowEntries();
  NavigateTo(FileListBox->Directory());
  openDir_ = QFileInfo(chosen).absolutePath() + QLatin1Char('/');
}

void Tfm_PlayList::spb_SaveClick() {
  if (!spb_Save->isEnabled()) return;
  const TModeView view = playlist::ModeTexts(list_.FileMode, Settings());
  SaveDialog->setNameFilter(Utf8(view.filter));
  SaveDialog->setDefaultSuffix(Utf8(view.defaultExt));
  SaveDialog->setDirectory(saveDir_);
  SaveDialog->selectFile(QString());
  if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty()) return;
  const QString chosen = SaveDialog->selectedFiles().front();
  controller_.SaveListFile(Local(chosen));
  saveDir_ = QFileInfo(chosen).absolutePath() + QLatin1Char('/');
}

// ---- browsing ------------------------------------------------------------------------

bool Tfm_PlayList::CanEnter(const std::string& dir) const { return controls::CanEnterDirectory(dir); }

std::string Tfm_PlayList::DriveOf(const std::string& path) const {
  const std::string drive = controls::DriveOf(DrvCombo->List().Entries(), path);
  return drive.empty() ? std::string("/") : drive;
}

bool Tfm_PlayList::DriveReady(const std::string& drive) const {
  for (const controls::TDriveEntry& e : DrvCombo->List().Entries())
    if (e.drive == drive) return DrvCombo->DriveAnswers(drive);
  // A drive the box does not list (the root in a container, say) answers when it can
  // be entered.
  return CanEnter(drive);
}

void Tfm_PlayList::ShowTree(const std::string& dir) {
  const std::string drive = DriveOf(dir);
  DrvCombo->SetCurrentDirectory(dir);
  DirTreeView->SetCurrentDirectory(dir);
  if (DirTreeView->Drive() != drive && DirTreeView->SetDrive(drive)) return;
  DirTreeView->Rebuild();
}

void Tfm_PlayList::NavigateTo(const std::string& path) {
  Busy_ = true;
  std::string dir = controls::NormalizePath(path);
  if (!DriveReady(DriveOf(dir))) dir = controls::NormalizePath(DrvCombo->CurrentDirectory());
  while (!CanEnter(dir) && dir.size() > 1) dir = ParentOf(dir);
  ShowTree(dir);
  CurDir_ = controls::WithTrailingSlash(dir);
  Busy_ = false;
  DirTreeViewChange(CurDir_);
}

void Tfm_PlayList::RecoverTree() {
  Busy_ = true;
  std::string dir = controls::NormalizePath(CurDir_.empty() ? DrvCombo->CurrentDirectory() : CurDir_);
  if (!DriveReady(DriveOf(dir))) {
    // The medium went away: the drive box falls back to a directory that answers.
    DrvCombo->RefreshDrives();
    dir = controls::NormalizePath(DrvCombo->CurrentDirectory());
  }
  while (!CanEnter(dir) && dir.size() > 1) dir = ParentOf(dir);
  ShowTree(dir);
  if (QTreeWidgetItem* item = DirTreeView->currentItem()) DirTreeView->scrollToItem(item);
  CurDir_ = controls::WithTrailingSlash(dir);
  Busy_ = false;
  // The file list follows the tree to the directory it fell back to.
  DirTreeViewChange(CurDir_);
}

void Tfm_PlayList::RefreshBrowsers() {
  RecoverTree();
  DrvCombo->RefreshDrives();
  FileListBox->Refill();
}

void Tfm_PlayList::ShowError(const QString& text) {
  Beep();
  if (OnShowError) {
    OnShowError(text);
    return;
  }
  QMessageBox::warning(this, QStringLiteral("無効なドライブ指定"), text);
}

void Tfm_PlayList::DrvComboChange() {
  if (Busy_ || CurDir_.empty()) return;
  DirTreeView->setFocus();
  const std::string drive = DrvCombo->Drive();
  const std::string dir = controls::NormalizePath(DrvCombo->CurrentDirectory());
  const bool ready = !drive.empty() && DriveReady(drive) && CanEnter(dir);
  // Already there: nothing to do (a medium that went away is still looked at).
  if (ready && DirTreeView->Drive() == drive &&
      controls::NormalizePath(DirTreeView->CurrentDirectory()) == dir &&
      dir == controls::NormalizePath(CurDir_))
    return;
  if (ready) {
    Busy_ = true;
    ShowTree(dir);
    Busy_ = false;
  } else {
    ShowError(Shown(drive) + QStringLiteral(" ドライブは準備されていません"));
    RefreshBrowsers();
  }
  CurDir_ = controls::WithTrailingSlash(DrvCombo->CurrentDirectory());
  if (QTreeWidgetItem* item = DirTreeView->currentItem()) DirTreeView->scrollToItem(item);
  DirTreeViewChange(CurDir_);
}

void Tfm_PlayList::DirTreeViewChange(const std::string& dir) {
  if (Busy_) return;
  CurDir_ = controls::WithTrailingSlash(dir);
  if (CanEnter(CurDir_)) {
    FileListBox->SetDirectory(CurDir_);
    DrvCombo->SetCurrentDirectory(CurDir_);
    spb_GetAllDir->setToolTip(Utf8(GetAllDirHint(CurDir_)));
  } else {
    ShowError(QStringLiteral(" ディレクトリが無効です"));
    RefreshBrowsers();
  }
  UpdateButtons();
}

// ---- dropped from the desktop --------------------------------------------------------

void Tfm_PlayList::DropFiles(const std::vector<std::string>& names, const QPoint& pos) {
  const int listTop = pnl_PlayList->mapTo(this, QPoint(0, 0)).y();
  const TShellDropArea area = pos.y() < listTop ? TShellDropArea::kBrowsing : TShellDropArea::kPlayList;
  TSelection sel = Selection();
  const TShellDrop drop = DropFromShell(list_.Entries, sel, names, area, list_.FileMode);
  if (area == TShellDropArea::kBrowsing) {
    if (drop.navigateTo.empty())
      Beep();
    else
      NavigateTo(drop.navigateTo);
    return;
  }
  if (drop.added > 0) {
    ShowEntries(sel);
    ScrollAfterAppend();
  }
  if (drop.refused > 0) Beep();
  if (!CurDir_.empty()) FileListBox->SetDirectory(CurDir_);
  UpdateButtons();
}

void Tfm_PlayList::dragEnterEvent(QDragEnterEvent* e) {
  if (KindOf(e->mimeData()) == TDragKind::kShell) e->acceptProposedAction();
}

void Tfm_PlayList::dropEvent(QDropEvent* e) {
  if (KindOf(e->mimeData()) != TDragKind::kShell) return;
  DropFiles(LocalFiles(e->mimeData()), e->position().toPoint());
  e->acceptProposedAction();
}

// ---- drag and drop onto the list ----------------------------------------------------

void Tfm_PlayList::DropHighlight(bool on) {
  controls::THintWindowEx& hot = PlayListBox->HotFont();
  QFont f = hot.font();
  f.setBold(on);
  f.setItalic(on);
  hot.setFont(f);
  hot.FontColor(on ? QColor(Qt::blue) : QColor(Qt::black));
  PlayListBox->HotColor(on ? kDropHotColor : controls::kNoHotColor);
}

void Tfm_PlayList::tm_PLBScrollTimer() {
  if (ScrollDir_ == TScrollDir::kUp) SetTopIndex(TopIndex() - 1);
  if (ScrollDir_ == TScrollDir::kDown) SetTopIndex(TopIndex() + 1);
}

bool Tfm_PlayList::PlayListBoxDrag(QEvent* event) {
  QWidget* vp = PlayListBox->viewport();
  if (event->type() == QEvent::DragLeave) {
    DropHighlight(false);
    return true;
  }
  auto* e = static_cast<QDropEvent*>(event);
  const TDragKind kind = KindOf(e->mimeData());
  if (kind == TDragKind::kNone) {
    e->ignore();
    return true;
  }
  const QPoint pos = e->position().toPoint();
  const int itemHeight = PlayListBox->ItemHeight();
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    if (event->type() == QEvent::DragEnter && kind == TDragKind::kPlayList && listDragStart_.isNull())
      listDragStart_ = vp->mapToGlobal(pos);
    DropHighlight(true);
    // The hot item follows the pointer.
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(vp->mapToGlobal(pos)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    if (kind == TDragKind::kTree || kind == TDragKind::kFileList) {
      ScrollDir_ = AutoScrollDirection(pos.y(), vp->height());
      if (ScrollDir_ == TScrollDir::kNone)
        tm_PLBScroll.stop();
      else if (!tm_PLBScroll.isActive())
        tm_PLBScroll.start();
    } else if (kind == TDragKind::kPlayList && event->type() == QEvent::DragMove) {
      const QRect g(PlayListBox->mapToGlobal(QPoint(0, 0)), PlayListBox->size());
      const TRect bounds = ListDragBounds({g.left(), g.top(), g.right() + 1, g.bottom() + 1}, itemHeight);
      const QPoint cursor = vp->mapToGlobal(pos);
      const TListDragStep step = ListDragOver(bounds, {listDragStart_.x(), listDragStart_.y()},
                                              {cursor.x(), cursor.y()}, itemHeight);
      if (step.move == TDragMove::kUp) spb_UpClick();
      if (step.move == TDragMove::kDown) spb_DownClick();
      listDragStart_ = QPoint(step.start.x, step.start.y);
      if (step.pointer) QCursor::setPos(step.pointer->x, step.pointer->y);
    }
    e->setDropAction(Qt::CopyAction);
    e->accept();
    return true;
  }
  // Drop.
  const size_t index = DropIndex(pos.y(), size_t(std::max(TopIndex(), 0)), itemHeight, list_.Entries.size());
  TSelection sel = Selection();
  switch (kind) {
    case TDragKind::kTree:
      Edited(DropTreeDirectory(list_.Entries, sel, index, CurDir_, list_.FileMode), sel);
      break;
    case TDragKind::kFileList: {
      const std::vector<std::string> names = FileListBox->SelectedNames();
      FileListBox->clearSelection();
      Edited(
          DropFileListSelection(list_.Entries, sel, index, FileListBox->Directory(), names, list_.FileMode),
          sel);
      break;
    }
    case TDragKind::kShell:
      DropFiles(LocalFiles(e->mimeData()), vp->mapTo(this, pos));
      break;
    default:
      break;
  }
  listDragStart_ = QPoint();
  ScrollDir_ = TScrollDir::kNone;
  tm_PLBScroll.stop();
  DropHighlight(false);
  e->setDropAction(Qt::CopyAction);
  e->accept();
  return true;
}

// ---- keys and mouse -----------------------------------------------------------------

bool Tfm_PlayList::FormKeyDown(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_O:
      spb_OpenClick();
      return true;
    case Qt::Key_S:
      spb_SaveClick();
      return true;
    case Qt::Key_F5:
      RefreshBrowsers();
      return true;
    default:
      return false;
  }
}

bool Tfm_PlayList::DirTreeViewKeyDown(QKeyEvent* e) {
  if (e->key() != Qt::Key_L) return false;
  if (!list_.FileMode) AddDirectoryAtEnd(DirTreeView->GetSelectedDirectory());
  return true;
}

bool Tfm_PlayList::FileListBoxKeyDown(QKeyEvent* e) {
  if (!list_.FileMode) return false;
  if (e->key() == Qt::Key_A && (e->modifiers() & Qt::ControlModifier)) {
    FileListBox->selectAll();
    return true;
  }
  if (e->key() == Qt::Key_L) {
    AddSelectedFilesAtEnd();
    return true;
  }
  return false;
}

bool Tfm_PlayList::PlayListBoxKeyDown(QKeyEvent* e) {
  const Qt::KeyboardModifiers m = e->modifiers() & ~Qt::KeypadModifier;
  if (e->key() == Qt::Key_A && (m & Qt::ControlModifier)) {
    TSelection sel;
    SelectAll(list_.Entries, sel);
    SetSelection(sel);
    UpdateButtons();
    return true;
  }
  if (e->key() == Qt::Key_Up && (m & Qt::AltModifier)) {
    spb_UpClick();
    return true;
  }
  if (e->key() == Qt::Key_Down && (m & Qt::AltModifier)) {
    spb_DownClick();
    return true;
  }
  if (e->key() == Qt::Key_Delete) {
    spb_DeleteClick();
    return true;
  }
  return false;
}

bool Tfm_PlayList::DirTreeViewMouse(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  switch (e->type()) {
    case QEvent::MouseButtonPress: {
      treeDragArmed_ = false;
      const std::string dir = DirTreeView->GetDirectoryAt(pos);
      if (dir.empty()) return false;
      if (e->button() == Qt::RightButton) {
        if (CanEnter(dir)) {
          if (!list_.FileMode) AddDirectoryAtEnd(dir);
        } else {
          CurDir_ = dir;
          RecoverTree();
        }
        UpdateButtons();
        return true;  // the selection stays where it was
      }
      if (e->button() == Qt::LeftButton) {
        if (!CanEnter(dir)) {
          CurDir_ = dir;
          RecoverTree();
          UpdateButtons();
          return true;
        }
        if (dir == DirTreeView->GetSelectedDirectory() && !list_.FileMode && FileListBox->count() > 0 &&
            controls::WithTrailingSlash(FileListBox->Directory()) == dir) {
          treeDragArmed_ = true;
          treeDragPoint_ = pos;
        }
      }
      UpdateButtons();
      return false;
    }
    case QEvent::MouseMove: {
      if (!treeDragArmed_ || !(e->buttons() & Qt::LeftButton)) return false;
      const QPoint d = pos - treeDragPoint_;
      if (d.x() * d.x() + d.y() * d.y() <= 49) return true;
      treeDragArmed_ = false;
      DirTreeView->ToolTips(false);
      auto* drag = new QDrag(DirTreeView);
      auto* data = new QMimeData;
      data->setData(QLatin1String(kTreeMime), QByteArray::fromStdString(CurDir_));
      drag->setMimeData(data);
      drag->exec(Qt::CopyAction, Qt::CopyAction);
      // DirTreeViewEndDrag.
      ScrollDir_ = TScrollDir::kNone;
      tm_PLBScroll.stop();
      DropHighlight(false);
      DirTreeView->ToolTips(true);
      return true;
    }
    case QEvent::MouseButtonRelease:
      treeDragArmed_ = false;
      DirTreeView->viewport()->update();
      return false;
    default:
      return false;
  }
}

bool Tfm_PlayList::FileListBoxMouse(QMouseEvent* e) {
  if (!list_.FileMode || e->type() != QEvent::MouseButtonPress || e->button() != Qt::RightButton)
    return false;
  // A right click adds the file under the mouse with the ones selected.
  if (QListWidgetItem* item = FileListBox->itemAt(e->position().toPoint())) item->setSelected(true);
  AddSelectedFilesAtEnd();
  return true;
}

bool Tfm_PlayList::eventFilter(QObject* watched, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || w->window() != this) return false;
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* e = static_cast<QKeyEvent*>(event);
      if (FormKeyDown(e)) return true;
      if (watched == DirTreeView && DirTreeViewKeyDown(e)) return true;
      if (watched == FileListBox && FileListBoxKeyDown(e)) return true;
      if (watched == PlayListBox && PlayListBoxKeyDown(e)) return true;
      if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !qobject_cast<QAbstractButton*>(w)) {
        if (btb_Play->isEnabled()) btb_Play->click();
        return true;
      }
      if (e->key() == Qt::Key_Escape) {
        btb_Cancel->click();
        return true;
      }
      // FormKeyPress: characters go nowhere, so the lists do no incremental search.
      const QString text = e->text();
      const bool character = !text.isEmpty() && text.at(0).isPrint() && text.at(0) != QLatin1Char(' ') &&
                             !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
      return character && qobject_cast<QAbstractItemView*>(w);
    }
    case QEvent::MouseMove:
      // FormMouseMove: the window takes the focus.
      if (!isActiveWindow() && isVisible()) activateWindow();
      if (watched == DirTreeView->viewport()) return DirTreeViewMouse(static_cast<QMouseEvent*>(event));
      return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
      if (watched == DirTreeView->viewport()) return DirTreeViewMouse(static_cast<QMouseEvent*>(event));
      if (watched == FileListBox->viewport()) return FileListBoxMouse(static_cast<QMouseEvent*>(event));
      return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
      if (watched == PlayListBox->viewport()) return PlayListBoxDrag(event);
      return false;
    default:
      return false;
  }
}

// ---- the directory search -----------------------------------------------------------

void Tfm_PlayList::spb_GetAllDirClick() {
  const std::string start = DirTreeView->GetSelectedDirectory();
  if (start.empty() || list_.FileMode) return;
  if (!searchSts_) {
    ownSearchSts_ = std::make_unique<Tfm_SearchSts>();
    searchSts_ = ownSearchSts_.get();
  }
  setEnabled(false);
  const TSearchResult result = searchSts_->Search(start, this);
  if (result.outcome == TSearchOutcome::kCompleted && !result.entries.empty()) {
    TSelection sel = Selection();
    list_.Entries.insert(list_.Entries.end(), result.entries.begin(), result.entries.end());
    ShowEntries(sel);
  }
  UpdateButtons();
  setEnabled(true);
  activateWindow();
  PlayListBox->setFocus();
}

}  // namespace sorrel::playlist
