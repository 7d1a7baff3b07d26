#include "app/ui/CompanionWindows.h"

#include "base/TextCodec.h"
#include "playlist/core/Paths.h"

#include <QAbstractListModel>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace sorrel::app {

Tfm_SearchSts::Tfm_SearchSts(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("fm_SearchSts"));
}

// The rows of the play order, drawn on demand from the play files.
class Tfm_PlayFileList::TRowModel : public QAbstractListModel {
 public:
  TRowModel(const playlist::PlayFileList& files, QObject* parent)
      : QAbstractListModel(parent), files_(files) {}
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(std::min<size_t>(files_.Count(), INT32_MAX));
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= files_.Count()) return {};
    const std::string& path = files_.AtRow(static_cast<size_t>(index.row())).path;
    if (role == Qt::DisplayRole)
      return QString::fromStdString(base::DecodeText(playlist::ShortenPath(path, depth_)));
    if (role == Qt::ToolTipRole) return QString::fromStdString(base::DecodeText(path));
    return {};
  }
  void Reset() {
    beginResetModel();
    endResetModel();
  }
  int depth_ = 3;

 private:
  const playlist::PlayFileList& files_;
};

Tfm_PlayFileList::Tfm_PlayFileList(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("fm_PlayFileList"));
  model_ = new TRowModel(files_, this);
  PlayFileListBox = new QListView(this);
  PlayFileListBox->setObjectName(QStringLiteral("PlayFileListBox"));
  PlayFileListBox->setUniformItemSizes(true);
  PlayFileListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PlayFileListBox->setSelectionMode(QAbstractItemView::SingleSelection);
  PlayFileListBox->setModel(model_);
  Label2 = new QLabel(QStringLiteral("Dir:"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  lb_DirNo = new QLabel(this);
  lb_DirNo->setObjectName(QStringLiteral("lb_DirNo"));
  lb_FileNo = new QLabel(this);
  lb_FileNo->setObjectName(QStringLiteral("lb_FileNo"));
  auto* numbers = new QHBoxLayout;
  numbers->addWidget(Label2);
  numbers->addWidget(lb_DirNo);
  numbers->addStretch();
  numbers->addWidget(lb_FileNo);
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  l->addLayout(numbers);
  l->addWidget(PlayFileListBox);
  resize(468, 200);
}

Tfm_PlayFileList::~Tfm_PlayFileList() = default;

void Tfm_PlayFileList::SetPathDepth(int depth) {
  model_->depth_ = depth;
  model_->Reset();
}

QString Tfm_PlayFileList::RowText(int row) const { return model_->index(row).data().toString(); }

int Tfm_PlayFileList::SelectedRow() const {
  const QModelIndexList rows = PlayFileListBox->selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void Tfm_PlayFileList::ShowNumbers(const TLabelTexts& t) {
  const QString fileNo = QString::fromStdString(t.FileNoText);
  lb_FileNo->setText(fileNo);
  lb_FileNo->setToolTip(fileNo);
  const QString dirNo = QString::fromStdString(t.DirNoText);
  lb_DirNo->setText(dirNo.trimmed());
  lb_DirNo->setToolTip(dirNo);
  const QColor c = QColor(t.DirNoColor & 0xFF, (t.DirNoColor >> 8) & 0xFF, (t.DirNoColor >> 16) & 0xFF);
  for (QLabel* l : {Label2, lb_DirNo}) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, c);
    l->setPalette(p);
    l->setVisible(t.DirNoVisible);
  }
}

QString Tfm_PlayFileList::FileNoText() const { return lb_FileNo->text(); }

void Tfm_PlayFileList::RowsChanged() { model_->Reset(); }

void Tfm_PlayFileList::SelectRow(int row) {
  const QModelIndex index = model_->index(row);
  if (!index.isValid()) return;
  PlayFileListBox->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
  PlayFileListBox->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  // Five rows of what came before stay in sight.
  PlayFileListBox->scrollTo(model_->index(std::max(row - 5, 0)), QAbstractItemView::PositionAtTop);
}

Tfm_PlayList::Tfm_PlayList(QString homeDir, playlist::TPlayListHost& host, playlist::PlayFileList& playFiles,
                           QWidget* parent)
    : QWidget(parent, Qt::Window),
      homeDir_(std::move(homeDir)),
      host_(host),
      controller_(homeDir_.toStdString(), list_, playFiles, host) {
  setObjectName(QStringLiteral("fm_PlayList"));
  PlayListBox = new QListWidget(this);
  PlayListBox->setObjectName(QStringLiteral("PlayListBox"));
  cbx_Shuffle = new QCheckBox(QStringLiteral("シャッフル"), this);
  cbx_Shuffle->setObjectName(QStringLiteral("cbx_Shuffle"));
  cbx_PlayWithLyric = new QCheckBox(QStringLiteral("歌詞付のみ"), this);
  cbx_PlayWithLyric->setObjectName(QStringLiteral("cbx_PlayWithLyric"));
  btb_Play = new QPushButton(QStringLiteral("Play"), this);
  btb_Play->setObjectName(QStringLiteral("btb_Play"));
  connect(btb_Play, &QPushButton::clicked, this, &Tfm_PlayList::PlayClick);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cbx_Shuffle);
  buttons->addWidget(cbx_PlayWithLyric);
  buttons->addStretch();
  buttons->addWidget(btb_Play);
  auto* l = new QVBoxLayout(this);
  l->addWidget(PlayListBox);
  l->addLayout(buttons);
  resize(400, 300);
}

void Tfm_PlayList::showEvent(QShowEvent* e) {
  // The Play button compares these with the main window's.
  cbx_Shuffle->setChecked(host_.CurrentMusic().Shuffle);
  cbx_PlayWithLyric->setChecked(host_.PlayWithLyric());
  cbx_PlayWithLyric->setVisible(host_.TarnLyric());
  QWidget::showEvent(e);
}

void Tfm_PlayList::ShowEntries() {
  PlayListBox->clear();
  PlayListBox->setUpdatesEnabled(false);
  for (const std::string& e : list_.Entries)
    PlayListBox->addItem(QString::fromStdString(base::DecodeText(e)));
  PlayListBox->setUpdatesEnabled(true);
}

bool Tfm_PlayList::OpenListFileAndPlay(const QString& fileName) {
  const bool ok = controller_.OpenListFileAndPlay(fileName.toStdString());
  if (ok) ShowEntries();
  return ok;
}

bool Tfm_PlayList::PlaySong(const QString& fileName) {
  const bool ok = controller_.OpenEntriesAndPlay({fileName.toStdString()}, true);
  if (ok) ShowEntries();
  return ok;
}

void Tfm_PlayList::StartUpRestore(const QString& firstArgument) {
  controller_.StartUpRestore(firstArgument.toStdString());
  ShowEntries();
}

void Tfm_PlayList::PlayClick() {
  controller_.PlayClick({cbx_Shuffle->isChecked(), cbx_PlayWithLyric->isChecked()});
}

QStringList Tfm_PlayList::Entries() const {
  QStringList out;
  for (const std::string& e : list_.Entries) out << QString::fromStdString(e);
  return out;
}

Tfm_Version::Tfm_Version(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fm_Version"));
  setWindowTitle(QStringLiteral("Tarn's MP3Player　バージョン情報"));
  setFixedSize(363, 230);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor(0xFF, 0xDF, 0xE0));  // $E0DFFF
  setPalette(p);
  const auto label = [this](const QString& text, int x, int y, const char* name) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QString::fromLatin1(name));
    l->move(x, y);
    l->adjustSize();
    return l;
  };
  // The program's icon, drawn: a note on the player's frame colour.
  QPixmap icon(32, 32);
  icon.fill(Qt::transparent);
  {
    QPainter g(&icon);
    g.setRenderHint(QPainter::Antialiasing);
    g.setBrush(QColor(0xF0, 0x70, 0xFF));
    g.setPen(Qt::NoPen);
    g.drawEllipse(1, 1, 30, 30);
    g.setPen(Qt::white);
    QFont f = g.font();
    f.setPixelSize(22);
    f.setBold(true);
    g.setFont(f);
    g.drawText(icon.rect(), Qt::AlignCenter, QStringLiteral("♪"));
  }
  auto* img = new QLabel(this);
  img->setObjectName(QStringLiteral("ProgramIcon"));
  img->setPixmap(icon);
  img->setGeometry(16, 16, 32, 32);
  label(QStringLiteral("車載用ＭＰ３プレーヤ"), 64, 16, "Label1");
  label(QStringLiteral("Tarn's MP3Player"), 64, 40, "Label2");
  label(QStringLiteral("sorrel"), 64, 64, "lb_ExeName");
  label(QStringLiteral("Version 9.99x"), 64, 88, "lb_Version");
  label(QStringLiteral("2026"), 64, 112, "Label5");
  label(QStringLiteral("Sorrel developers"), 64, 128, "Label6");
  label(QStringLiteral("(Lumen)"), 64, 148, "Label7");
  label(QStringLiteral("MP3 decoding: this program's own MPEG audio decoder,\n"
                       "written for Sorrel."),
        16, 168, "Label3");
  auto* ok = new QPushButton(QStringLiteral("ＯＫ"), this);
  ok->setObjectName(QStringLiteral("btn_OK"));
  ok->setGeometry(272, 192, 75, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void Tfm_Version::keyPressEvent(QKeyEvent* e) {
  e->accept();
  accept();
}

}  // namespace sorrel::app
