#include "app/ui/PlayerMain.h"

#include "app/core/DisplayText.h"
#include "app/core/MediaKeys.h"
#include "app/ui/CompanionWindows.h"
#include "app/ui/MapLinkHost.h"
#include "app/ui/PlayerMainAlarm.h"
#include "app/ui/PlayerMainCursor.h"
#include "app/ui/PlayerMainNavin.h"
#include "app/ui/PlayerMainPower.h"
#include "app/ui/PlayerMainSettingsHost.h"
#include "app/ui/ScrollingLabel.h"
#include "app/ui/Trace.h"
#include "base/FileIO.h"
#include "controls/HintCtrl.h"
#include "controls/MessagePopup.h"
#include "platform/desktop/Mpris.h"
#include "platform/input/Bell.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
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
      env_(env),
      clock_(base::SystemClock()) {
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
  lb_Title = new TScrollingLabel(this);
  lb_Artist = new TScrollingLabel(this);
  lb_Album = new TScrollingLabel(this);
  for (auto [l, name, g] : {std::tuple{lb_Title, "lb_Title", QRect(48, 4, 377, 24)},
                            std::tuple{lb_Artist, "lb_Artist", QRect(50, 34, 170, 16)},
                            std::tuple{lb_Album, "lb_Album", QRect(264, 34, 170, 16)}}) {
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(g);
  }
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
  pnl_LyricStatus = new QLabel(this);
  pnl_LyricStatus->setObjectName(QStringLiteral("pnl_LyricStatus"));
  pnl_LyricStatus->setGeometry(437, 52, 27, 21);
  pnl_LyricStatus->setFrameShape(QFrame::Panel);
  pnl_LyricStatus->setFrameShadow(QFrame::Sunken);
  pnl_LyricStatus->setAlignment(Qt::AlignCenter);
  pnl_LyricStatus->setFont(PixelFont(kDefaultLabelFont, 11, true));
  // Its double click switches the lyrics, not the pause of a double click elsewhere.
  pnl_LyricStatus->installEventFilter(this);
  pnl_LyricStatus->setToolTip(QStringLiteral("歌詞ステータス"));
  lbx_Dummy = new QListWidget(this);
  lbx_Dummy->setObjectName(QStringLiteral("lbx_Dummy"));
  lbx_Dummy->hide();
  // The window itself takes the keys (its controls never hold the focus), as a form
  // with key preview sees every key.
  setFocusPolicy(Qt::StrongFocus);
  connect(cbx_Shuffle, &QCheckBox::clicked, this, [this] { ShuffleClicked(); });

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

  // Moves over the window and its labels reach the window: the zones, the parking.
  setMouseTracking(true);
  for (QWidget* c : findChildren<QWidget*>()) c->setMouseTracking(true);
  cursorHost_ = std::make_unique<TWindowCursor>(*this);
  parking_ = std::make_unique<TCursorParking>(*cursorHost_, *cursorHost_, clock_);

  TitleTimer.setInterval(400);
  CurrentTimer.setInterval(100);
  tm_CheckMapple.setInterval(500);
  tm_DrawMapple.setInterval(99);
  connect(&CurrentTimer, &QTimer::timeout, this, &Tfm_PlayerMain::CurrentTimerTimer);
  connect(&TitleTimer, &QTimer::timeout, this, &Tfm_PlayerMain::TitleTimerTimer);
  connect(&tm_CheckMapple, &QTimer::timeout, this, [this] {
    tm_CheckMapple.stop();
    SendMapLink('M');
    tm_CheckMapple.start();
  });
  connect(&tm_DrawMapple, &QTimer::timeout, this, [this] {
    tm_DrawMapple.stop();
    SendMapLink('N');
  });

  FormCreate();
}

Tfm_PlayerMain::~Tfm_PlayerMain() {
  CloseLyric();
  // The bus side first: it calls back into the window.  Then the player, whose events
  // reach the objects below.
  mpris_.reset();
  mapLink_.reset();
  if (MP3Player) {
    MP3Player->OnChangePosition = nullptr;
    MP3Player->OnChangeStatus = nullptr;
    MP3Player->OnEndPlay = nullptr;
  }
  settingsHost_.reset();
  navin_.reset();
  alarm_.reset();
  power_.reset();
  keyboard_.reset();
  dispatcher_.reset();
  navigator_.reset();
  presets_.reset();
  desk_.reset();
  playerControl_.reset();
  MP3Player.reset();
}

void Tfm_PlayerMain::CreatePlayer() {
  // The values the main window's stored description gives the component, then its
  // Loaded step (which spreads the band frequencies from 60 to 16000 Hz).
  MP3Player = std::make_unique<engine::TMP3Player>(ownerQueue_);
  engine::TMP3Player& p = *MP3Player;
  p.BeginLoading();
  p.SetAutoOpen(true);
  p.SetAutoPlay(true);
  p.SetChangePosStep(100);
  p.SetDecodePriority(engine::tpHighest);
  p.SetEqualizerEnabled(true);
  p.SetEqualizerCount(10);
  p.SetEqualizerMode(engine::memFreq);
  p.SetVolBalance(0);
  p.SetVolume(0);  // while loading: the device's own volume stays
  p.Loaded();
  p.OnEndPlay = [this](engine::TMP3PlayerIntf*, engine::TMP3EndPlayReason r) { MP3PlayerEndPlay(r); };
  p.OnChangePosition = [this](engine::TMP3PlayerIntf*) { MP3PlayerChangePosition(); };
  p.OnChangeStatus = [this](engine::TMP3PlayerIntf*) { MprisChanged(); };
  playerControl_ = std::make_unique<TEnginePlayerControl>(p, [this](int ms) {
    if (mpris_) mpris_->Seeked(int64_t{ms} * 1000);
  });
}

QString Tfm_PlayerMain::SettingsPath() const {
  return QDir(homeDir_).filePath(QString::fromLatin1(kSettingsFileName));
}

void Tfm_PlayerMain::SetCompanions(Tfm_PlayList* playList, Tfm_PlayFileList* playFileList,
                                   Tfm_OvisAlarm* alarm, Tfm_Command* command) {
  playList_ = playList;
  playFileList_ = playFileList;
  ovisAlarm_ = alarm;
  command_ = command;
  if (command_) {
    command_->SetSoundDesk(*desk_);
    connect(command_, &Tfm_Command::RecallEqPreset, this, [this](int n) { presets_->RecallEqPreset(n); });
    connect(command_, &Tfm_Command::StoreEqPreset, this, [this](int n) { presets_->StoreEqPreset(n); });
    connect(command_, &Tfm_Command::CloseRequested, this, [this] { HideCompanionWindow(command_, true); });
  }
  if (!playFileList_ || navigator_) return;
  playFileList_->SetPathDepth(settings_.FLFileLimit);
  // What the play file list asks of the main window.
  connect(playFileList_, &Tfm_PlayFileList::PlayRowRequested, this, [this](int row) {
    if (Busy() || row < 0 || row >= playOrder_->Count()) return;
    settings_.MusicIndex = row;
    navigator_->PlayCurrent();
  });
  connect(playFileList_, &Tfm_PlayFileList::CloseRequested, this,
          [this] { HideCompanionWindow(playFileList_, true); });
  connect(playFileList_, &Tfm_PlayFileList::ShowPlayListRequested, this, [this] {
    HideCompanionWindow(playFileList_, false);
    ShowCompanionWindow(playList_);
  });
  connect(playFileList_, &Tfm_PlayFileList::MainWindowKey, this, [this](QKeyEvent* e) { KeyDown(e); });
  playOrder_ = std::make_unique<TPlayFilesOrder>(playFileList_->PlayFiles(), settings_, *playFileList_);
  navigator_ = std::make_unique<TNavigator>(*playOrder_, *playerControl_, *this, *errorLog_, clock_);
  dispatcher_ = std::make_unique<TCommandDispatcher>(*navigator_, *presets_, *this);
  keyboard_ = std::make_unique<TKeyboard>(*dispatcher_, *this);
  power_ = std::make_unique<TWindowPower>(*this);
  CreateAlarm();
  ConnectSettingsDialog();
}

void Tfm_PlayerMain::PublishMpris() {
  if (mpris_ || !dispatcher_) return;
  mpris_ = std::make_unique<desktop::TMpris>(*this);
  if (mpris_->Publish() != desktop::TMpris::Result::Published) mpris_.reset();
}

void Tfm_PlayerMain::FormCreate() {
  ready_ = false;
  QThread::currentThread()->setPriority(QThread::HighestPriority);
  ShowInputMode(0);
  suspended_ = powerSuspended_ = positionLinkActive_ = false;
  firstActivation_ = true;
  shuffleChangeSuppressed_ = true;

  CreatePlayer();
  static constexpr std::array<int, 10> kBandFrequencies{60,   170,  310,   600,   1000,
                                                        3000, 6000, 12000, 14000, 16000};
  for (int i = 0; i < 10; ++i) MP3Player->SetEqualizerFreq(i, kBandFrequencies[i]);
  popup_ = std::make_unique<controls::TMessagePopup>();
  popup_->SetOnPopDown([this] {
    popupShown_ = false;
    raise();  // back on top, without taking the focus
  });
  lyricWindow_ = std::make_unique<controls::THintWindowEx>();
  lyricWindow_->setObjectName(QStringLiteral("LyricWindow"));
  if (const QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect g = s->geometry();
    lyricLayout_.SetScreen(TLyricRect{g.left(), g.top(), g.right() + 1, g.bottom() + 1});
  }
  errorLog_ = std::make_unique<TErrorLog>(
      QDir(homeDir_).filePath(QString::fromLatin1(kErrorLogFileName)).toStdString(), clock_, *this);

  // At the top of the screen, centred; this is also the default of "Left" and "Top".
  const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                        : QRect(0, 0, 1024, 768);
  move(screen.x() + (screen.width() - width()) / 2, screen.y());
  settings_.Left = x();
  settings_.Top = y();

  // The one holder of the live levels; reading the settings starts its fade-in.
  desk_ = std::make_unique<settings::TSoundDesk>(*MP3Player, settings_);
  desk_->OnFadeStep = [this] { shuffleChangeSuppressed_ = false; };
  desk_->Listen([this](TDeskBar bar) {
    if (bar == TDeskBar::tb_MasterLevel) MprisChanged();
  });
  // The map link takes its section of the settings as they are read.
  mapLink_ = std::make_unique<TMapLinkHost>(tm_CheckMapple, env_.MappleWindows());
  navin_ = std::make_unique<TWindowNavin>(*this);
  // An unusable file is said once; the player runs on the defaults.
  if (const std::string why = settingsFile_.Read(settings_, *this); !why.empty())
    std::fprintf(stderr, "sorrel: %s\n", why.c_str());
  Trace("settings read");
  presets_ = std::make_unique<TPresets>(*desk_, *this, *this);
  navin_->PostStartMode();
  KeepOnScreen();
  homePosition_ = pos();

  ShowShuffle(settings_.Shuffle);
  resumeAdjustment_ = 0;
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
    if (s == Qt::ApplicationActive) FocusDummy();
  });
  setAcceptDrops(true);
  companionHidden_ = true;
  popupShown_ = false;

  if (env_.KeyboardToolRunning()) env_.PostToKeyboardTool(0);
  CurrentTimer.start();
}

void Tfm_PlayerMain::KeepOnScreen() {
  if (!QGuiApplication::primaryScreen()) return;
  const QRect g = frameGeometry();
  const TPoint p = app::KeepOnScreen({g.x(), g.y(), g.width(), g.height()}, ScreenRect());
  move(p.X, p.Y);
}

void Tfm_PlayerMain::CurrentTimerTimer() {
  CurrentTimer.stop();
  if (navin_) navin_->ClockTick();
  FrameAndCursorStep();
  if (closed_) {
    close();
    return;
  }
  const QString text = QString::fromStdString(ClockText(clock_.LocalTime(), settings_.CurTimeShowSec));
  if (lb_CurTime->text() != text) lb_CurTime->setText(text);
  CurrentTimer.start();
}

void Tfm_PlayerMain::FrameAndCursorStep() {
  if (frameStepRunning_ || suspended_) return;
  frameStepRunning_ = true;
  const bool active = parking_->CursorStep(settings_.MoveMouseTime, lb_CurTime->y());
  const TFrameLook look = FrameLook(active, wasActive_, settings_);
  wasActive_ = active;
  if (look.LyricRedraw) lyrics_.Invalidate();
  if (!look.LyricMayShow) CloseLyric();
  if (look.ResetCursor) unsetCursor();
  const QColor title = ToQColor(look.TitleColor);
  if (lb_Title->palette().color(QPalette::WindowText) != title) SetTextColor(lb_Title, title);
  if (look.FrameColor != frameColor_) {
    frameColor_ = look.FrameColor;
    update();
  }
  frameStepRunning_ = false;
}

void Tfm_PlayerMain::Shutdown() {
  if (closed_) return;
  if (playList_) playList_->hide();
  suspended_ = true;
  // Timers, the position link, the alarm; the lyric window is not to come back.
  TitleTimer.stop();
  CurrentTimer.stop();
  tm_CheckMapple.stop();
  tm_DrawMapple.stop();
  // The worker ends after the command it is running; what is queued is left.
  if (mapLink_) mapLink_->Shutdown();
  if (popup_) popup_->PopTimer().stop();
  positionLinkActive_ = false;
  StopAlarm();
  companionHidden_ = false;
  Trace("shutdown");
  MP3Player->OnChangePosition = nullptr;
  CloseLyric();
  // The place to resume at, and the level the fade-in reached (a fade that has not
  // finished keeps the level read at start).
  const engine::TMP3PlayerStatus status = MP3Player->Status();
  settings_.CurPos = status == engine::mpsPlaying || status == engine::mpsPaused ? MP3Player->Position() : 0;
  if (desk_->FadeStep() >= 99) settings_.MainLevel = MP3Player->Volume();
  MP3Player->OnEndPlay = nullptr;
  MP3Player->Stop();
  MP3Player->Close();
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
  // The map's place as the link last read it.
  if (mapLink_) static_cast<maplink::TMappleLinkSettings&>(s) = mapLink_->Link().Settings();
  s.Balance = MP3Player->VolBalance();
  for (int i = 0; i < settings::kBands; ++i) s.EQ[i] = MP3Player->EqualizerValue(i);
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
  const TWindowSize size{width(), height()};
  RememberWindowSize(size, settings_);
  // The captions size to their text, as auto-sized labels do.
  TCaptionPlaces captions;
  for (auto [label, place] : {std::pair{Label1, &captions.Label1}, std::pair{Label2, &captions.Label2},
                              std::pair{Label3, &captions.Label3}})
    place->Width = label->sizeHint().width();
  ApplyLayout(LayoutMainWindow(size, captions));
  scrollSetupPending_ = true;
  lyrics_.Invalidate();
}

QWidget* Tfm_PlayerMain::Control(TControl c) const {
  switch (c) {
    case TControl::Image:
      return Image;
    case TControl::Label1:
      return Label1;
    case TControl::Label2:
      return Label2;
    case TControl::Label3:
      return Label3;
    case TControl::Label4:
      return Label4;
    case TControl::lb_Title:
      return lb_Title;
    case TControl::lb_Artist:
      return lb_Artist;
    case TControl::lb_Album:
      return lb_Album;
    case TControl::lb_Time:
      return lb_Time;
    case TControl::lb_CurTime:
      return lb_CurTime;
    case TControl::lb_Shuffle:
      return lb_Shuffle;
    case TControl::cbx_Shuffle:
      return cbx_Shuffle;
    case TControl::img_Close:
      return img_Close;
    case TControl::pnl_GPSStatus:
      return pnl_GPSStatus;
    case TControl::pnl_LyricStatus:
      return pnl_LyricStatus;
  }
  return nullptr;
}

void Tfm_PlayerMain::ApplyLayout(const TMainLayout& layout) {
  for (int i = 0; i < kControlCount; ++i) {
    const auto c = static_cast<TControl>(i);
    QWidget* w = Control(c);
    if (!w || c == TControl::Label4) continue;  // Label4 shows and hides with its text
    const TControlPlace& place = layout[c];
    w->setGeometry(place.Rect.Left, place.Rect.Top, place.Rect.Width, place.Rect.Height);
    w->setVisible(place.Visible);
    if (auto* label = qobject_cast<QLabel*>(w);
        label && (c == TControl::lb_Time || c == TControl::lb_CurTime))
      label->setAlignment((place.Align == TAlign::kCenter ? Qt::AlignHCenter : Qt::AlignLeft) |
                          Qt::AlignVCenter);
  }
}

void Tfm_PlayerMain::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ToQColor(settings_.BackColor));
  const QColor c = ToQColor(frameColor_);
  for (const TFrameLine& line : FrameLines({width(), height()})) {
    p.setPen(QPen(c, line.PenWidth));
    p.drawLine(line.From.X, line.From.Y, line.To.X, line.To.Y);
  }
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

TRect Tfm_PlayerMain::ScreenRect() const {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  const QRect g = s ? s->geometry() : QRect(0, 0, 1024, 768);
  return {g.x(), g.y(), g.width(), g.height()};
}

void Tfm_PlayerMain::HideCompanionWindow(QWidget* w, bool parkCursor) {
  if (!ready_ || !w || !w->isVisible()) return;
  const QRect g = frameGeometry();
  const QPoint cursor = QCursor::pos();
  const TCompanionHide hide =
      HideCompanion({g.x(), g.y(), g.width(), g.height()}, {homePosition_.x(), homePosition_.y()},
                    {cursor.x(), cursor.y()}, parkCursor);
  companionHidden_ = true;
  lyrics_.Invalidate();
  w->hide();
  move(hide.MainPos.X, hide.MainPos.Y);
  raise();
  update();
  QCursor::setPos(hide.CursorPos.X, hide.CursorPos.Y);
  if (hide.Park) parking_->Park();
}

void Tfm_PlayerMain::OpenListFileAndPlay(const std::string& path, bool hideCompanions) {
  if (hideCompanions) {
    HideCompanionWindow(playFileList_, true);
    HideCompanionWindow(playList_, true);
  }
  if (playList_) playList_->OpenListFileAndPlay(QString::fromStdString(path));
}

// Copy-data 999 and command 2 park the cursor also while the keyboard tool runs.
void Tfm_PlayerMain::ParkCursor() { parking_->ParkAlways(); }

void Tfm_PlayerMain::CreateAlarm() {
  if (ovisAlarm_ && !alarm_) alarm_ = std::make_unique<TWindowAlarm>(*this, *ovisAlarm_);
}

void Tfm_PlayerMain::StopAlarm() {
  if (alarm_) alarm_->Stop();
}

// ---- the settings dialog -------------------------------------------------------------------

void Tfm_PlayerMain::ConnectSettingsDialog() {
  if (!command_ || settingsHost_) return;
  settingsHost_ = std::make_unique<TWindowSettingsHost>(*this);
  command_->SetHost(*settingsHost_);
  command_->SetAlarmTabVisible(alarm_ && alarm_->Ovis().Points().Count() > 0);
}

bool Tfm_PlayerMain::ShowBackPicture(const std::string& fileName) {
  if (fileName.empty()) {
    backPicture_ = QPixmap();
    Image->clear();
    return true;
  }
  const QPixmap old = backPicture_;
  if (LoadBackPicture(fileName)) return true;
  // Not a picture: the one shown stays.
  backPicture_ = old;
  if (!old.isNull()) Image->setPixmap(old);
  return false;
}

bool Tfm_PlayerMain::AlarmIdle() const {
  // The level steps keep off the pre-amplifier while the alarm has lowered it.
  return !alarm_ || !alarm_->Ovis().LevelLowered();
}

void Tfm_PlayerMain::ToggleAlarm() {
  if (alarm_) alarm_->Ovis().ToggleEnabled();
}

void Tfm_PlayerMain::StoreAlarmPoint() {
  if (!alarm_) return;
  std::string error;
  if (alarm_->Ovis().AppendCurrentPosition(&error))
    ShowMessage("New Ovis Saved");
  else if (!error.empty())
    std::fprintf(stderr, "sorrel: %s\n", error.c_str());
}

void Tfm_PlayerMain::PositionSentence(const std::string& sentence) {
  if (!alarm_) return;
  if (!alarm_->Ovis().OnSentence(sentence)) return;
  const alarm::TTNLinkSentence& p = alarm_->Ovis().LastSentence();
  mapLink_->Link().SetPosition(p.Latitude, p.Longitude, p.Direction);
  if (settings_.UseMappleLink) tm_DrawMapple.start();
}

void Tfm_PlayerMain::ApplyMappleLink(const maplink::TMappleLinkSettings& s) {
  if (mapLink_) mapLink_->Link().ApplyMappleLink(s);
}

void Tfm_PlayerMain::MapLink(char letter) {
  // "E" starts the link only when it has positions to draw.
  if (letter == 'E' && !(settings_.UseTNLink && settings_.UseMappleLink)) return;
  SendMapLink(letter);
}

void Tfm_PlayerMain::SendMapLink(char letter) {
  if (mapLink_) mapLink_->Link().SendMappleCommand(letter);
}

void Tfm_PlayerMain::ShowInputMode(int mode) {
  if (mode < 0 || mode >= kInputModeCount) return;
  inputMode_ = mode;
  img_Close->setPixmap(InputModePicture(mode));
  if (navin_) navin_->InputModeShown(mode);
}

void Tfm_PlayerMain::RunCommand(int command, int32_t argument) {
  // A command arriving while another runs is dropped by the dispatcher.
  if (dispatcher_) dispatcher_->Run(command, argument);
}

void Tfm_PlayerMain::MapMatchStatus(int32_t mode, bool showMessage) {
  if (navin_) navin_->MapMatchStatus(mode, showMessage);
}

void Tfm_PlayerMain::NavinYou(int command) {
  if (navin_) navin_->Control().NavinYou(command);
}

void Tfm_PlayerMain::QueryEndSession() {
  suspended_ = true;
  Shutdown();
  QThread::msleep(199);
  if (mapLink_) maplink::EndMappleProgram(env_.MappleSessionEnd(), mapLink_->MapWindow());
}

void Tfm_PlayerMain::PowerBroadcast(int32_t event) {
  if (power_) power_->Manager().PowerBroadcast(event);
}

void Tfm_PlayerMain::PowerCommand() {
  if (power_) power_->Manager().PowerCommand();
}

void Tfm_PlayerMain::AppCommand(uint32_t lParam) {
  // Alt+Left or Alt+Right (with Shift when the key-state word is not 0) for the key
  // handler; both run at key down.
  if (keyboard_) keyboard_->KeyDown(AppCommandKey(lParam));
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
  desk_->StartFadeIn();
}

void Tfm_PlayerMain::SetPlayerBalance(int balance) { MP3Player->SetVolBalance(balance); }

void Tfm_PlayerMain::SetPlayerBand(int band, int value) { MP3Player->SetEqualizerValue(band, value); }

// ---- title timer, fade-in ---------------------------------------------------------------

void Tfm_PlayerMain::TitleTimerTimer() {
  TitleTimer.stop();
  if (scrollSetupPending_) ScrollSetup();
  ShowScrollLines(scroller_.Tick(MP3Player->Status() == engine::mpsPlaying, lb_Artist->isVisible(),
                                 lb_Album->isVisible()));
  const bool fading = desk_->FadeRunning();
  desk_->FadeTick();
  if (fading && !desk_->FadeRunning()) MprisChanged();
  TitleTimer.start();
}

namespace {

// Text widths in the scrolling labels' fonts.
class TLabelMeasure : public TTextMeasure {
 public:
  explicit TLabelMeasure(std::array<const QLabel*, kScrollLabelCount> labels) : labels_(labels) {}
  int TextWidth(TScrollLabel label, const std::string& text) const override {
    return labels_[static_cast<int>(label)]->fontMetrics().horizontalAdvance(QString::fromStdString(text));
  }

 private:
  std::array<const QLabel*, kScrollLabelCount> labels_;
};

}  // namespace

void Tfm_PlayerMain::ScrollSetup() {
  // Only once start-up is complete and there is something to show.
  if (!ready_ || !HasSongs()) return;
  scrollSetupPending_ = false;
  const std::array<TScrollingLabel*, kScrollLabelCount> labels{lb_Title, lb_Artist, lb_Album};
  TScrollSource source;
  for (int i = 0; i < kScrollLabelCount; ++i) {
    source.Texts[i] = labels[i]->toolTip().toStdString();
    source.LabelWidths[i] = labels[i]->width();
  }
  scroller_.Setup(true, source, TLabelMeasure({lb_Title, lb_Artist, lb_Album}));
  for (int i = 0; i < kScrollLabelCount; ++i) {
    const TScrollLine& line = scroller_.Line(static_cast<TScrollLabel>(i));
    labels[i]->setText(QString::fromStdString(line.Caption));
  }
  ShowScrollLines({true, true, true});
}

void Tfm_PlayerMain::ShowScrollLines(const TTitleScroller::TRepaint& repaint) {
  const std::array<TScrollingLabel*, kScrollLabelCount> labels{lb_Title, lb_Artist, lb_Album};
  for (int i = 0; i < kScrollLabelCount; ++i) {
    if (!repaint[i]) continue;
    const TScrollLine& line = scroller_.Line(static_cast<TScrollLabel>(i));
    labels[i]->SetScroll(line.Scrolls, QString::fromStdString(line.Drawn), line.Offset);
  }
}

// ---- songs ------------------------------------------------------------------------------

void Tfm_PlayerMain::PlayRow(int row) {
  const std::string path = playOrder_->PathOf(row);
  Label4->clear();
  Label4->hide();
  TitleTimer.stop();
  MP3Player->Close();
  settings_.CurFile = path;
  bool opened = true;
  try {
    MP3Player->SetFileName(path);
  } catch (const std::exception& e) {
    opened = false;
    std::fprintf(stderr, "sorrel: %s: %s\n", path.c_str(), e.what());
  } catch (...) {
    opened = false;
  }
  Trace("play " + std::to_string(row) + " " + path);
  RefreshLabels();
  scrollSetupPending_ = true;
  if (desk_->FadeRunning()) desk_->FadeTick();
  LoadLyrics();
  playOrder_->SelectRow(row);
  TitleTimer.start();
  MprisChanged();
  if (!opened) OpenFailed(row, path);
}

void Tfm_PlayerMain::OpenFailed(int row, const std::string& path) {
  // Ends as a song that failed while playing: logged, removed, the next one plays.  Queued,
  // so a list of nothing but broken files is walked one event at a time, never recursively.
  QMetaObject::invokeMethod(
      this,
      [this, row, path] {
        if (closed_ || !navigator_ || settings_.MusicIndex != row || settings_.CurFile != path) return;
        if (MP3Player->IsOpened()) return;
        Trace("error " + path);
        navigator_->EndOfSong(engine::merError);
      },
      Qt::QueuedConnection);
}

void Tfm_PlayerMain::MP3PlayerEndPlay(engine::TMP3EndPlayReason reason) {
  Trace("end " + std::to_string(settings_.MusicIndex) + " " + std::to_string(static_cast<int>(reason)));
  if (reason == engine::merError) Trace("error " + settings_.CurFile);
  if (navigator_ && !closed_) navigator_->EndOfSong(reason);
  MprisChanged();
}

void Tfm_PlayerMain::MP3PlayerChangePosition() {
  if (!firstBufferTraced_) {
    firstBufferTraced_ = true;
    Trace("first buffer queued");
  }
  // While a pop-up is up, the time stays as it was.
  if (popup_->PopTimer().isActive()) return;
  const std::string text = ElapsedTimeText(MP3Player->Position(), MP3Player->Duration());
  const QString caption = QString::fromStdString(text);
  if (lb_Time->text() != caption) lb_Time->setText(caption);
  LyricStep();
}

// ---- lyrics -----------------------------------------------------------------------------

namespace {

// Lines of the lyric window measured in its font, as it will draw them.
class TLyricWindowMeasure : public TLyricMeasure {
 public:
  TLyricWindowMeasure(controls::THintWindowEx& window, const TLyricStyle& style)
      : window_(window), style_(style) {}
  int LineHeight(int fontSize) override { return QFontMetrics(Font(fontSize)).height(); }
  TSize MeasureText(int fontSize, int maxWidth, const std::string& text) override {
    window_.setFont(Font(fontSize));
    const QRect r = window_.MeasureHint(maxWidth, QString::fromStdString(text));
    return {r.width(), r.height()};
  }
  QFont Font(int fontSize) const {
    QFont f(QString::fromStdString(style_.LyricFontName));
    f.setPointSize(std::max(fontSize, 1));
    f.setBold(style_.LyricFontBold);
    f.setItalic(style_.LyricFontItalic);
    return f;
  }

 private:
  controls::THintWindowEx& window_;
  const TLyricStyle& style_;
};

}  // namespace

void Tfm_PlayerMain::LoadLyrics() {
  CloseLyric();
  const std::string why = lyrics_.Load(settings_.CurFile, {settings_.LyricOffset, settings_.StandardLrc});
  if (!why.empty()) std::fprintf(stderr, "sorrel: %s\n", why.c_str());
  // The panel says whether there are lyrics; the step colours it.
  pnl_LyricStatus->setText(lyrics_.HasLyrics() ? QString::fromUtf8(kLyricStatusCaption) : QString());
}

void Tfm_PlayerMain::ShowLyricStatus(const TLyricStatusPanel& panel) {
  const QString caption = QString::fromStdString(panel.Caption);
  if (pnl_LyricStatus->text() != caption) pnl_LyricStatus->setText(caption);
  const QColor c = ToQColor(panel.Color);
  if (pnl_LyricStatus->palette().color(QPalette::WindowText) != c) SetTextColor(pnl_LyricStatus, c);
}

void Tfm_PlayerMain::LyricStep() {
  if (!lyrics_.HasLyrics()) return;
  const TLyricStepContext context{!companionHidden_, isActiveWindow(), settings_.DeActiveLyricOff};
  const int position = MP3Player->Position();
  const TLyricAction action = lyrics_.Step(position, context);
  if (action == TLyricAction::kDraw) lyricDrawnAt_ = {lyrics_.CurrentLine(), position};
  ShowLyricStatus(LyricStatusPanel(lyrics_.HasLyrics(), lyrics_.LyricsOff()));
  switch (action) {
    case TLyricAction::kNone:
      break;
    case TLyricAction::kClose:
      CloseLyric();
      break;
    case TLyricAction::kDraw:
      DrawLyric();
      break;
  }
}

void Tfm_PlayerMain::DrawLyric() {
  const int mode = dispatcher_ ? dispatcher_->DisplayMode() : 0;
  const QRect g = frameGeometry();
  const TLyricRect main{g.left(), g.top(), g.right() + 1, g.bottom() + 1};
  TLyricWindowMeasure measure(*lyricWindow_, settings_.Lyric);
  const TLyricWindowPlan plan = lyricLayout_.Plan(lyrics_, mode, main, settings_, measure);
  controls::THintWindowEx& w = *lyricWindow_;
  w.setFont(measure.Font(plan.FontSize));
  w.Color(ToQColor(settings_.Lyric.LyricBackColor));
  w.FontColor(ToQColor(settings_.Lyric.LyricFontColor));
  w.SecondColor(ToQColor(settings_.Lyric.LyricDeActiveFontColor));
  w.FirstLine(plan.Page.MarkedRow);
  w.LineCount(1);
  w.ActivateHint(QRect(plan.Bounds.Left, plan.Bounds.Top, plan.Bounds.Width(), plan.Bounds.Height()),
                 QString::fromStdString(plan.Page.Text));
}

void Tfm_PlayerMain::CloseLyric() {
  if (!lyricWindow_ || !lyricWindow_->Shown()) return;
  lyricWindow_->HideHint();
  raise();  // back on top, without taking the focus
}

void Tfm_PlayerMain::ToggleLyrics() {
  lyrics_.ToggleLyrics();
  lyrics_.Invalidate();
  ShowLyricStatus(LyricStatusPanel(lyrics_.HasLyrics(), lyrics_.LyricsOff()));
  if (lyrics_.LyricsOff()) CloseLyric();
}

void Tfm_PlayerMain::RedrawLyricLine(int) {
  lyrics_.Invalidate();
  LyricStep();
}

bool Tfm_PlayerMain::eventFilter(QObject* watched, QEvent* e) {
  if (watched == pnl_LyricStatus && e->type() == QEvent::MouseButtonDblClick) {
    RunCommand(20, 0);
    return true;
  }
  return QWidget::eventFilter(watched, e);
}

TPlayOrderFacts Tfm_PlayerMain::OrderFacts() const {
  TPlayOrderFacts f;
  f.ListFileMode = settings_.ListFileMode;
  f.Shuffle = settings_.Shuffle;
  f.MusicIndex = settings_.MusicIndex;
  if (!playFileList_) return f;
  const playlist::PlayFileList& files = playFileList_->PlayFiles();
  f.SongCount = static_cast<int>(files.Count());
  f.DirectoryCount = static_cast<int>(files.DirFileCounts().size());
  if (f.MusicIndex >= 0 && f.MusicIndex < f.SongCount) {
    const playlist::PlayFile& pf = files.AtRow(static_cast<size_t>(f.MusicIndex));
    f.DirectoryNo = static_cast<int>(pf.directoryNumber);
    f.FileNo = static_cast<int>(pf.fileNumber);
    if (pf.directoryNumber < files.DirFileCounts().size())
      f.DirectorySongCount = static_cast<int>(files.DirFileCounts()[pf.directoryNumber]);
  }
  return f;
}

void Tfm_PlayerMain::RefreshLabels() {
  if (popup_->Shown()) popup_->Hide();
  const TSongFacts song{MP3Player->Title(), MP3Player->Artist(), MP3Player->Album(), MP3Player->Year()};
  const TPlayOrderFacts order = OrderFacts();
  const TLabelTexts t = RefreshLabelTexts(song, order, settings_);
  std::string title = t.TitleHint;
  lb_Title->setToolTip(QString::fromStdString(title));
  lb_Artist->setToolTip(QString::fromStdString(t.ArtistHint));
  lb_Album->setToolTip(QString::fromStdString(t.AlbumHint));
  infoText_ = t.InfoText;
  if (playFileList_) playFileList_->ShowNumbers(t);
  // The captions follow with the scroll setup, at the title timer's next tick.
}

// ---- shuffle ----------------------------------------------------------------------------

void Tfm_PlayerMain::SetShuffleLook(bool checked) {
  QFont f = lb_Shuffle->font();
  f.setBold(checked);
  f.setItalic(checked);
  lb_Shuffle->setFont(f);
}

void Tfm_PlayerMain::SetShuffle(bool on) {
  settings_.Shuffle = on;
  const QSignalBlocker block(cbx_Shuffle);
  cbx_Shuffle->setChecked(on);
  SetShuffleLook(on);
  MprisChanged();
}

void Tfm_PlayerMain::ShowShuffle(bool checked) { SetShuffle(checked); }

void Tfm_PlayerMain::SetMainShuffle(bool checked) {
  if (checked == cbx_Shuffle->isChecked()) return;
  // As a click: the order follows, the song keeps playing.
  if (navigator_) navigator_->ToggleShuffle(TShuffleChoice::kKeepSong);
}

void Tfm_PlayerMain::ShuffleClicked() {
  // The box has flipped itself; the navigator flips it again as it switches.
  const QSignalBlocker block(cbx_Shuffle);
  cbx_Shuffle->setChecked(settings_.Shuffle);
  if (dispatcher_ && !dispatcher_->Busy()) navigator_->ToggleShuffle(TShuffleChoice::kKeepSong);
  FocusDummy();
}

void Tfm_PlayerMain::FocusDummy() { setFocus(Qt::OtherFocusReason); }

void Tfm_PlayerMain::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); }

// ---- commands ---------------------------------------------------------------------------

void Tfm_PlayerMain::MoveCursorOutside() {
  const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                        : QRect(0, 0, 1024, 768);
  const QRect r = frameGeometry();
  const int x = screen.center().x() < r.left() ? r.left() - 99 : r.left() + r.width() + 99;
  const int y = screen.center().y() < r.top() ? r.top() - 99 : r.top() + r.height() + 99;
  QCursor::setPos(x, y);
  waitLoop_.Wait(99);
}

void Tfm_PlayerMain::Close() { close(); }

void Tfm_PlayerMain::ShowSongInformation() {
  popupShown_ = true;
  informationShowing_ = true;
  ShowMessage(infoText_);
  informationShowing_ = false;
}

void Tfm_PlayerMain::ShowMessage(const std::string& text) {
  Trace("pop-up " + text);
  const int highlight = PopUpHighlightLine(informationShowing_, OrderFacts());
  popup_->ShowMessage(QString::fromStdString(text), highlight, frameGeometry());
  MprisChanged();
}

// ---- presets ----------------------------------------------------------------------------

std::string Tfm_PlayerMain::EqPresetName(int n) const { return settings_.Presets[n].AEQName; }

TEqLevels Tfm_PlayerMain::EqPreset(int n) const {
  const settings::TEqPreset& p = settings_.Presets[n];
  TEqLevels l;
  l.Volume = p.AVolume;
  l.Balance = p.ABalance;
  l.PreLevel = p.APreLevel;
  for (int i = 0; i < settings::kBands; ++i) l.Bands[i] = p.AEQ[i];
  return l;
}

void Tfm_PlayerMain::SetEqPreset(int n, const TEqLevels& l) {
  settings::TEqPreset& p = settings_.Presets[n];
  p.AVolume = l.Volume;
  p.ABalance = l.Balance;
  p.APreLevel = l.PreLevel;
  for (int i = 0; i < settings::kBands; ++i) p.AEQ[i] = l.Bands[i];
}

TWindowSize Tfm_PlayerMain::SizePreset(int n) const {
  switch (n) {
    case 0:
      return {settings_.Width0, settings_.Height0};
    case 1:
      return {settings_.Width1, settings_.Height1};
    default:
      return {settings_.Width2, settings_.Height2};
  }
}

void Tfm_PlayerMain::SetSizePreset(int n, TWindowSize size) {
  int& w = n == 0 ? settings_.Width0 : n == 1 ? settings_.Width1 : settings_.Width2;
  int& h = n == 0 ? settings_.Height0 : n == 1 ? settings_.Height1 : settings_.Height2;
  w = size.Width;
  h = size.Height;
}

// ---- MPRIS ------------------------------------------------------------------------------

void Tfm_PlayerMain::MprisChanged() {
  if (mpris_) mpris_->Changed();
}

desktop::TMprisStatus Tfm_PlayerMain::Status() const {
  switch (MP3Player->Status()) {
    case engine::mpsPlaying:
      return desktop::TMprisStatus::Playing;
    case engine::mpsPaused:
      return desktop::TMprisStatus::Paused;
    default:
      return desktop::TMprisStatus::Stopped;
  }
}

desktop::TMprisTrack Tfm_PlayerMain::CurrentTrack() const {
  desktop::TMprisTrack t;
  if (!HasSongs()) return t;
  t.row = settings_.MusicIndex;
  t.fileName = settings_.CurFile;
  if (MP3Player->IsOpened()) {
    t.lengthUs = int64_t{MP3Player->Duration()} * 1000;
    t.title = MP3Player->Title();
    t.artist = MP3Player->Artist();
    t.album = MP3Player->Album();
  }
  return t;
}

int64_t Tfm_PlayerMain::PositionUs() const {
  return MP3Player->IsOpened() ? int64_t{MP3Player->Position()} * 1000 : 0;
}

int Tfm_PlayerMain::MasterLevel() const { return desk_->MasterLevel(); }

bool Tfm_PlayerMain::HasSongs() const { return playOrder_ && playOrder_->Count() > 0; }

void Tfm_PlayerMain::PlayCurrent() {
  if (navigator_ && !Busy()) navigator_->PlayCurrent();
}

void Tfm_PlayerMain::Stop() {
  if (Busy()) return;
  MP3Player->Close();
  MprisChanged();
}

void Tfm_PlayerMain::SetPositionUs(int64_t us) {
  if (Busy() || !MP3Player->IsOpened()) return;
  playerControl_->Seek(static_cast<int>(us / 1000));
}

void Tfm_PlayerMain::SetMasterLevel(int level) {
  if (Busy()) return;
  desk_->SetMasterLevel(std::clamp(level, 0, 100));
  // The user chose a level: the fade-in does not take it back.
  desk_->SetFadeStep(999);
  MprisChanged();
}

void Tfm_PlayerMain::PlaySong(const std::string& path) {
  if (Busy() || !playList_) return;
  HideCompanionWindow(playFileList_, true);
  HideCompanionWindow(playList_, true);
  playList_->PlaySong(QString::fromStdString(path));
}

void Tfm_PlayerMain::Raise() {
  show();
  raise();
  activateWindow();
}

// ---- the play list's side ---------------------------------------------------------------

void Tfm_PlayerMain::StartPlaying() {
  if (navigator_) navigator_->PlayCurrent();
}

void Tfm_PlayerMain::StartAfterStartUp(bool resume) {
  if (navigator_) navigator_->StartAfterStartUp(resume);
}

void Tfm_PlayerMain::SelectCurrentRow() {
  if (playOrder_ && settings_.MusicIndex >= 0 && settings_.MusicIndex < playOrder_->Count())
    playOrder_->SelectRow(settings_.MusicIndex);
}

void Tfm_PlayerMain::CloseEditor() { HideCompanionWindow(playList_, true); }

void Tfm_PlayerMain::SetLabel4(playlist::TLabel4 text) {
  switch (text) {
    case playlist::TLabel4::kClear:
      Label4->clear();
      Label4->hide();
      return;
    case playlist::TLabel4::kWaiting:
      Label4->setText(QString::fromUtf8(kLabel4Waiting));
      break;
    case playlist::TLabel4::kNoPlayFiles:
      Label4->setText(QString::fromUtf8(kLabel4NoPlayFiles));
      break;
  }
  Label4->show();
  Label4->raise();
}

void Tfm_PlayerMain::WarningBeep() { input::QuestionBeep(); }

void Tfm_PlayerMain::NoLyricSongsMessage() {
  QMessageBox::warning(this, QStringLiteral("演奏不可"), QStringLiteral("歌詞付のMP3ファイルがありません"));
}

void Tfm_PlayerMain::PlayFilesChanged() {
  if (playFileList_) playFileList_->RowsChanged();
  Trace("play files " + std::to_string(playOrder_ ? playOrder_->Count() : 0));
  MprisChanged();
}

void Tfm_PlayerMain::Report(const std::string& message) {
  std::fprintf(stderr, "sorrel: %s\n", message.c_str());
}

}  // namespace sorrel::app
