#include "app/ui/CompanionWindows.h"

#include "base/FileIO.h"
#include "base/TextCodec.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

namespace sorrel::app {

Tfm_SearchSts::Tfm_SearchSts(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("fm_SearchSts"));
}

Tfm_OvisAlarm::Tfm_OvisAlarm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("fm_OvisAlarm"));
}

Tfm_PlayFileList::Tfm_PlayFileList(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("fm_PlayFileList"));
}

Tfm_PlayList::Tfm_PlayList(QString homeDir, QWidget* parent)
    : QWidget(parent, Qt::Window), homeDir_(std::move(homeDir)) {
  setObjectName(QStringLiteral("fm_PlayList"));
  PlayListBox = new QListWidget(this);
  PlayListBox->setObjectName(QStringLiteral("PlayListBox"));
  auto* l = new QVBoxLayout(this);
  l->addWidget(PlayListBox);
  resize(400, 300);
}

bool Tfm_PlayList::OpenListFileAndPlay(const QString& fileName) {
  const QString ext = QFileInfo(fileName).suffix().toLower();
  const bool fileMode = ext == QLatin1String("pfl") || ext == QLatin1String("m3u");
  if (!fileMode && ext != QLatin1String("pdr")) {
    QApplication::beep();
    return false;
  }
  // Regular files only, checked without blocking: a FIFO or a device must not freeze
  // the window thread.  Bounded like every text file the player reads.
  const base::TReadResult file = base::ReadRegularFile(fileName.toStdString());
  if (!file.ok()) {
    std::fprintf(stderr, "sorrel: play list not opened: %s\n", file.error.c_str());
    QApplication::beep();
    return false;
  }
  const QString text = QString::fromStdString(base::DecodeText(file.data));
  const QDir base(homeDir_);
  QStringList entries;
  for (QString line : text.split(QLatin1Char('\n'))) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    entries << QDir::cleanPath(base.absoluteFilePath(line));
  }
  fileMode_ = fileMode;
  PlayListBox->clear();
  PlayListBox->addItems(entries);
  std::fprintf(stderr, "sorrel: play list %s: %lld entries (%s mode)\n", qUtf8Printable(fileName),
               static_cast<long long>(entries.size()), fileMode ? "file" : "directory");
  Q_EMIT ListOpened(fileName, fileMode, entries);
  return true;
}

QStringList Tfm_PlayList::Entries() const {
  QStringList out;
  for (int i = 0; i < PlayListBox->count(); ++i) out << PlayListBox->item(i)->text();
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
