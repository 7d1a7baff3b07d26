#include "app/ui/PlayerMain.h"

#include "app/ui/CompanionWindows.h"
#include "base/FileIO.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QUrl>

#include <cstdio>

namespace sorrel::app {

namespace {

// A background picture is a photograph or a drawing of a small window: far below this.
constexpr uint64_t kMaxPictureBytes = 64ull << 20;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setGeometry(geometry);
  return l;
}

void SetTextColor(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, c);
  w->setPalette(p);
}

QFont PixelFont(const char* family, int pixels, bool bold) {
  QFont f(QString::fromUtf8(family));
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

// The nine input-mode pictures, drawn rather than stored: 0 "None" ... 8 "Down".
QPixmap InputModePicture(int mode) {
  static const char* const kMarks[kInputModeCount] = {"×", "M", "A", "1", "Ａ", "１", "カ", "S", "↓"};
  QPixmap p(29, 24);
  p.fill(QColor(0x30, 0x30, 0x30));
  QPainter g(&p);
  g.setPen(QColor(0xF0, 0x70, 0xFF));
  g.setFont(PixelFont("ＭＳ Ｐゴシック", 16, true));
  g.drawText(p.rect(), Qt::AlignCenter, QString::fromUtf8(kMarks[mode]));
  return p;
}

}  // namespace

QColor Tfm_PlayerMain::ToQColor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

TColor Tfm_PlayerMain::FromQColor(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

Tfm_PlayerMain::Tfm_PlayerMain(QString homeDir, TPlayerMainEnvironment& env, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      homeDir_(std::move(homeDir)),
      env_(env) {
  setObjectName(QStringLiteral("fm_PlayerMain"));
  setWindowTitle(QString::fromLatin1(kPlayerCaption));
  resize(kFormWidth, kFormHeight);
  setMinimumSize(48, 30);
  setMaximumSize(kFormWidth, kFormHeight);  // never grows beyond the form's size
  setAutoFillBackground(false);

  Image = MakeLabel(this, "Image", {}, rect());
  Image->setAlignment(Qt::AlignCenter);
  Label1 = MakeLabel(this, "Label1", QStringLiteral("Title:"), {4, 10, 40, 16});
  Label2 = MakeLabel(this, "Label2", QStringLiteral("Artist:"), {4, 34, 44, 16});
  Label3 = MakeLabel(this, "Label3", QStringLiteral("Album:"), {222, 34, 40, 16});
  lb_Title = MakeLabel(this, "lb_Title", {}, {48, 4, 377, 24});
  lb_Artist = MakeLabel(this, "lb_Artist", {}, {50, 34, 170, 16});
  lb_Album = MakeLabel(this, "lb_Album", {}, {264, 34, 170, 16});
  lb_Time = MakeLabel(this, "lb_Time", QStringLiteral("00:00 / ??:??"), {98, 54, 191, 21});
  lb_Time->setAlignment(Qt::AlignCenter);
  lb_Time->setToolTip(QStringLiteral("クリックでプレイリスト編集"));
  lb_CurTime = MakeLabel(this, "lb_CurTime", QStringLiteral("AM ??:??"), {296, 54, 137, 21});
  lb_CurTime->setAlignment(Qt::AlignCenter);
  lb_CurTime->setToolTip(QStringLiteral("クリックで設定"));
  lb_Shuffle = MakeLabel(this, "lb_Shuffle", QStringLiteral("シャッフル"), {24, 54, 72, 21});
  lb_Shuffle->setToolTip(QStringLiteral("シャッフルプレイ"));
  cbx_Shuffle = new QCheckBox(this);
  cbx_Shuffle->setObjectName(QStringLiteral("cbx_Shuffle"));
  cbx_Shuffle->setGeometry(10, 58, 14, 14);
  cbx_Shuffle->setFocusPolicy(Qt::NoFocus);
  Label4 = MakeLabel(this, "Label4", QStringLiteral("♪待ってね"), {9, 4, 200, 28});
  Label4->setFont(PixelFont("ＭＳ Ｐゴシック", 24, true));
  SetTextColor(Label4, QColor(0xFF, 0x00, 0xFF));
  img_Close = MakeLabel(this, "img_Close", {}, {437, 4, 29, 24});
  img_Close->setToolTip(QStringLiteral("終了"));
  pnl_GPSStatus = new QFrame(this);
  pnl_GPSStatus->setObjectName(QStringLiteral("pnl_GPSStatus"));
  pnl_GPSStatus->setGeometry(437, 29, 27, 21);
  pnl_GPSStatus->setFrameShape(QFrame::Panel);
  pnl_GPSStatus->setToolTip(QStringLiteral("Ovis警報ステータス"));
  pnl_LyricStatus = new QFrame(this);
  pnl_LyricStatus->setObjectName(QStringLiteral("pnl_LyricStatus"));
  pnl_LyricStatus->setGeometry(437, 52, 27, 21);
  pnl_LyricStatus->setFrameShape(QFrame::Panel);
  pnl_LyricStatus->setToolTip(QStringLiteral("歌詞ステータス"));
  lbx_Dummy = new QListWidget(this);
  lbx_Dummy->setObjectName(QStringLiteral("lbx_Dummy"));
  lbx_Dummy->hide();

  // The form's own fonts: the defaults of the settings file's font keys.
  lb_Title->setFont(PixelFont(kDefaultLabelFont, 24, true));
  SetTextColor(lb_Title, Qt::red);
  lb_Artist->setFont(PixelFont(kDefaultLabelFont, 16, true));
  SetTextColor(lb_Artist, QColor(0x00, 0xFF, 0x00));
  lb_Album->setFont(PixelFont(kDefaultLabelFont, 16, true));
  SetTextColor(lb_Album, QColor(0xFF, 0x00, 0xFF));
  lb_Time->setFont(PixelFont(kDefaultLabelFont, 16, true));
  lb_CurTime->setFont(PixelFont(kDefaultLabelFont, 16, true));
  for (QLabel* l : {Label1, Label2, Label3, lb_Shuffle}) l->setFont(PixelFont(kDefaultLabelFont, 12, false));

  PopTimer.setInterval(2999);
  TitleTimer.setInterval(400);
  CurrentTimer.setInterval(100);
  tm_CheckMapple.setInterval(500);
  tm_DrawMapple.setInterval(99);
  connect(&CurrentTimer, &QTimer::timeout, this, &Tfm_PlayerMain::CurrentTimerTimer);
  connect(&PopTimer, &QTimer::timeout, this, [this] {
    PopTimer.stop();
    popupShown_ = false;
  });

  FormCreate();
}

Tfm_PlayerMain::~Tfm_PlayerMain() = default;

QString Tfm_PlayerMain::SettingsPath() const {
  return QDir(homeDir_).filePath(QString::fromLatin1(kSettingsFileName));
}

void Tfm_PlayerMain::SetCompanions(Tfm_PlayList* playList, Tfm_PlayFileList* playFileList,
                                   Tfm_OvisAlarm* alarm, Tfm_Command* command) {
  playList_ = playList;
  playFileList_ = playFileList;
  ovisAlarm_ = alarm;
  command_ = command;
  if (playList_) {
    connect(playList_, &Tfm_PlayList::ListOpened, this,
            [this](const QString&, bool fileMode, const QStringList& entries) {
              // What the list model will do: a fresh list plays from its first entry,
              // unshuffled, in the list's own mode.
              settings_.ListFileMode = fileMode;
              settings_.Shuffle = false;
              cbx_Shuffle->setChecked(false);
              settings_.MusicIndex = 0;
              if (!entries.isEmpty()) {
                Label4->clear();
                lb_Title->setText(QFileInfo(entries.front()).fileName());
                lb_Title->setToolTip(entries.front());
              }
            });
  }
}

void Tfm_PlayerMain::FormCreate() {
  ready_ = false;
  QThread::currentThread()->setPriority(QThread::HighestPriority);
  ShowInputMode(0);
  busy_ = suspended_ = powerSuspended_ = positionLinkActive_ = false;
  pendingCommand_ = 0;
  firstActivation_ = true;
  shuffleChangeSuppressed_ = true;

  // At the top of the screen, centred; this is also the default of "Left" and "Top".
  const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                        : QRect(0, 0, 1024, 768);
  move(screen.x() + (screen.width() - width()) / 2, screen.y());
  settings_.Left = x();
  settings_.Top = y();

  // An unusable file is said once; the player runs on the defaults.
  if (const std::string why = settingsFile_.Read(settings_, *this); !why.empty())
    std::fprintf(stderr, "sorrel: %s\n", why.c_str());
  PostNavinMapMatchMode();
  KeepOnScreen();
  homePosition_ = pos();

  cbx_Shuffle->setChecked(settings_.Shuffle);
  resumeAdjustment_ = 0;
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
    if (s == Qt::ApplicationActive) lbx_Dummy->setFocus();
  });
  setAcceptDrops(true);
  companionHidden_ = true;
  displayMode_ = 0;
  popupShown_ = false;

  if (env_.KeyboardToolRunning()) env_.PostToKeyboardTool(0);
  CurrentTimer.start();
}

void Tfm_PlayerMain::PostNavinMapMatchMode() {
  // The handle is not kept: the position reader finds the window afresh.
  if (settings_.UseTNLink && env_.NavinYouRunning())
    env_.PostToNavinYou(kMsgNavinSetMapMatch, settings_.NYMapMatchNo, 0);
}

void Tfm_PlayerMain::KeepOnScreen() {
  const QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect screen = s->geometry();
  int left = x(), top = y();
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (left + width() > screen.width()) left = screen.width() - width();
  if (top > screen.height()) top = screen.height() - height();
  move(left, top);
}

void Tfm_PlayerMain::CurrentTimerTimer() {
  CurrentTimer.stop();
  if (closed_) {
    close();
    return;
  }
  const QTime now = QTime::currentTime();
  const int h12 = now.hour() % 12 == 0 ? 12 : now.hour() % 12;
  QString text = QStringLiteral("%1 %2:%3")
                     .arg(now.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"))
                     .arg(h12, 2, 10, QChar('0'))
                     .arg(now.minute(), 2, 10, QChar('0'));
  if (settings_.CurTimeShowSec) text += QStringLiteral(":%1").arg(now.second(), 2, 10, QChar('0'));
  if (lb_CurTime->text() != text) lb_CurTime->setText(text);
  const bool active = isActiveWindow();
  const TColor frame = active ? settings_.ActiveFrameColor : settings_.DeactiveFrameColor;
  const QColor title = ToQColor(active ? settings_.ActiveTitleFontColor : settings_.DeactiveTitleFontColor);
  if (lb_Title->palette().color(QPalette::WindowText) != title) SetTextColor(lb_Title, title);
  if (frame != frameColor_) {
    frameColor_ = frame;
    update();
  }
  CurrentTimer.start();
}

void Tfm_PlayerMain::Shutdown() {
  if (closed_) return;
  if (playList_) playList_->hide();
  suspended_ = true;
  // Timers, the position link, the alarm; the lyric window is not to come back.
  TitleTimer.stop();
  PopTimer.stop();
  CurrentTimer.stop();
  tm_CheckMapple.stop();
  tm_DrawMapple.stop();
  positionLinkActive_ = false;
  companionHidden_ = false;
  // Nothing plays yet, so there is no position to resume at; without a player the
  // master level read at start is kept.
  settings_.CurPos = 0;
  StoreLiveValues();
  std::string error;
  if (!settingsFile_.Write(settings_, &error) && !error.empty())
    std::fprintf(stderr, "sorrel: %s\n", error.c_str());
  closed_ = true;
  env_.RestoreWaveVolume(savedWaveVolume_);
  // The next tick closes a window whose shutdown did not start from a close.
  CurrentTimer.start();
  if (env_.KeyboardToolRunning()) env_.PostToKeyboardTool(-1);
}

void Tfm_PlayerMain::StoreLiveValues() {
  TPlayerSettings& s = settings_;
  s.Left = x();
  s.Top = y();
  s.OrgSize = width() == kFormWidth && height() == kFormHeight;
  const auto font = [](QLabel* l, TFontStyle& f) {
    f.Name = l->font().family().toStdString();
    f.Color = FromQColor(l->palette().color(QPalette::WindowText));
    f.Bold = l->font().bold();
    f.Italic = l->font().italic();
  };
  s.TitleFontName = lb_Title->font().family().toStdString();
  s.TitleFontBold = lb_Title->font().bold();
  s.TitleFontItalic = lb_Title->font().italic();
  font(lb_Artist, s.ArtistFont);
  font(lb_Album, s.AlbumFont);
  font(lb_Time, s.PlayTimeFont);
  font(lb_CurTime, s.TimeFont);
  s.LabelFontColor = FromQColor(Label1->palette().color(QPalette::WindowText));
}

void Tfm_PlayerMain::closeEvent(QCloseEvent* e) {
  Shutdown();  // never refuses
  e->accept();
  for (QWidget* w : std::initializer_list<QWidget*>{ovisAlarm_, command_, playFileList_, playList_})
    if (w) w->close();
  QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void Tfm_PlayerMain::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Image->setGeometry(rect());
  if (width() == kFormWidth && height() == kFormHeight) {
    settings_.OrgSize = true;
  } else {
    settings_.OrgSize = false;
    settings_.Width = width();
    settings_.Height = height();
  }
}

void Tfm_PlayerMain::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ToQColor(settings_.BackColor));
  const int w = width(), h = height();
  const QColor c = ToQColor(frameColor_);
  p.setPen(QPen(c, 4));
  p.drawLine(1, 1, w - 4, 1);
  p.drawLine(1, h - 4, 1, 1);
  p.setPen(QPen(c, 2));
  p.drawLine(w - 1, 1, w - 1, h - 1);
  p.drawLine(w - 1, h - 1, 1, h - 1);
}

void Tfm_PlayerMain::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void Tfm_PlayerMain::dropEvent(QDropEvent* e) {
  std::vector<std::string> paths;
  for (const QUrl& u : e->mimeData()->urls())
    if (u.isLocalFile()) paths.push_back(u.toLocalFile().toStdString());
  messages_.DropFiles(paths);
  e->acceptProposedAction();
}

void Tfm_PlayerMain::HideCompanionWindow(QWidget* w, bool parkCursor) {
  if (!ready_ || !w || !w->isVisible()) return;
  const QPoint cursorOffset = QCursor::pos() - pos();
  const bool cursorBelow = QCursor::pos().y() >= y() + height();
  companionHidden_ = true;
  w->hide();
  move(homePosition_);
  raise();
  QCursor::setPos(pos() + cursorOffset);
  if (parkCursor && cursorBelow) ParkCursor();
}

void Tfm_PlayerMain::OpenListFileAndPlay(const std::string& path, bool hideCompanions) {
  if (hideCompanions) {
    HideCompanionWindow(playFileList_, true);
    HideCompanionWindow(playList_, true);
  }
  if (playList_) playList_->OpenListFileAndPlay(QString::fromStdString(path));
}

void Tfm_PlayerMain::ParkCursor() { QCursor::setPos(img_Close->mapToGlobal(QPoint(-6, 6))); }

void Tfm_PlayerMain::PositionSentence(const std::string&) {
  // The position sentence drives the alarm once the alarm exists.
}

void Tfm_PlayerMain::ShowInputMode(int mode) {
  if (mode < 0 || mode >= kInputModeCount) return;
  inputMode_ = mode;
  img_Close->setPixmap(InputModePicture(mode));
}

void Tfm_PlayerMain::RunCommand(int command, int32_t argument) {
  if (busy_) return;  // a command arriving while another runs is dropped
  busy_ = true;
  switch (command) {
    case 2:
      ParkCursor();
      break;
    case 4:
      // After the caller has had its answer.
      QTimer::singleShot(0, this, &QWidget::close);
      break;
    default:
      // The playing, display, level, alarm, Navin'You and map commands join as their
      // parts of the player arrive.
      (void)argument;
      break;
  }
  busy_ = false;
}

void Tfm_PlayerMain::MapMatchStatus(int32_t, bool) {
  // Reported map-match modes are compared with the player's once the link exists.
}

void Tfm_PlayerMain::QueryEndSession() {
  suspended_ = true;
  Shutdown();
  QThread::msleep(199);
  // The map program is ended here once the map link exists.
}

void Tfm_PlayerMain::PowerBroadcast(int32_t) {
  // Suspend and resume are handled with the power management.
}

void Tfm_PlayerMain::AppCommand(uint32_t) {
  // Becomes Alt+Left or Alt+Right for the key handler, once it exists.
}

void Tfm_PlayerMain::ResizeWindow(int width, int height) { resize(width, height); }

void Tfm_PlayerMain::SetBackColor(TColor c) {
  settings_.BackColor = c;
  update();
}

bool Tfm_PlayerMain::LoadBackPicture(const std::string& fileName) {
  const QString path = QDir(homeDir_).absoluteFilePath(QString::fromStdString(fileName));
  // Read through the regular-file check (a FIFO or a device would hang the start) and
  // bounded; Qt's decoders then work on the bytes.
  const base::TReadResult file = base::ReadRegularFile(path.toStdString(), kMaxPictureBytes);
  QImage image;
  if (file.ok() && !image.loadFromData(reinterpret_cast<const uchar*>(file.data.data()),
                                       static_cast<int>(file.data.size())))
    std::fprintf(stderr, "sorrel: background picture %s: not a picture Qt can read\n", qUtf8Printable(path));
  else if (!file.ok() && file.status != base::TReadStatus::kMissing)
    std::fprintf(stderr, "sorrel: background picture not loaded: %s\n", file.error.c_str());
  if (image.isNull()) {
    Image->clear();
    return false;
  }
  backPicture_ = QPixmap::fromImage(std::move(image));
  Image->setPixmap(backPicture_);
  return true;
}

QLabel* Tfm_PlayerMain::StyledLabel(TTextRole role) const {
  switch (role) {
    case TTextRole::kTitle:
      return lb_Title;
    case TTextRole::kArtist:
      return lb_Artist;
    case TTextRole::kAlbum:
      return lb_Album;
    case TTextRole::kPlayTime:
      return lb_Time;
    case TTextRole::kClock:
      return lb_CurTime;
  }
  return lb_Title;
}

void Tfm_PlayerMain::SetTextStyle(TTextRole role, const TFontStyle& f) {
  QLabel* l = StyledLabel(role);
  QFont font = l->font();
  font.setFamily(QString::fromStdString(f.Name));
  font.setBold(f.Bold);
  font.setItalic(f.Italic);
  l->setFont(font);
  SetTextColor(l, ToQColor(f.Color));
}

void Tfm_PlayerMain::SetCaptionColor(TColor c) {
  for (QLabel* l : {Label1, Label2, Label3, lb_Shuffle}) SetTextColor(l, ToQColor(c));
}

void Tfm_PlayerMain::StartFadeIn() {
  // The player starts silent; the title timer's fade-in raises it to "MainLevel".
  fadeStep_ = -2;
}

}  // namespace sorrel::app
