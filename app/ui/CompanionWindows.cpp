#include "app/ui/CompanionWindows.h"

#include "app/ui/PlayerMain.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace sorrel::app {

void Tfm_PlayFileList::ShowNumbers(const TLabelTexts& t) {
  const QColor c(t.DirNoColor & 0xFF, (t.DirNoColor >> 8) & 0xFF, (t.DirNoColor >> 16) & 0xFF);
  playlist::Tfm_PlayFileList::ShowNumbers(QString::fromStdString(t.FileNoText),
                                          QString::fromStdString(t.DirNoText).trimmed(), c, t.DirNoVisible);
}

Tfm_PlayList::Tfm_PlayList(QString homeDir, playlist::TPlayListHost& host, playlist::PlayFileList& playFiles,
                           QWidget* parent)
    : playlist::Tfm_PlayList(std::move(homeDir), host, playFiles, parent) {
  if (auto* main = dynamic_cast<Tfm_PlayerMain*>(&host)) UseSettings(&main->Settings());
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
