// The main player window: a borderless, always-on-top strip showing the current song.
// It owns the settings record and the player, answers the messages of other programs
// (through its message table), turns keys, clicks, the wheel and the desktop's media
// controls into commands for the one dispatcher, and runs the orderly shutdown.  What
// the commands do is decided by the Qt-free core (navigator, dispatcher, key machine,
// presets, play list controller); the window carries it out on its controls and the
// player.
#pragma once

#include "alarm/core/NavinControl.h"
#include "app/core/Commands.h"
#include "app/core/CompanionPlacement.h"
#include "app/core/CursorParking.h"
#include "app/core/DisplayText.h"
#include "app/core/FrameLook.h"
#include "app/core/Keyboard.h"
#include "app/core/LyricLayout.h"
#include "app/core/Lyrics.h"
#include "app/core/MainLayout.h"
#include "app/core/MessageTable.h"
#include "app/core/MouseZones.h"
#include "app/core/PlayOrder.h"
#include "app/core/Power.h"
#include "app/core/Settings.h"
#include "app/core/TitleScroll.h"
#include "app/core/Wait.h"
#include "app/ui/QtOwnerQueue.h"
#include "engine/MP3Player.h"
#include "maplink/core/MappleLinkPorts.h"
#include "platform/desktop/MprisHost.h"
#include "platform/input/KeyTranslate.h"
#include "playlist/core/PlayListController.h"
#include "settings/core/SoundDesk.h"
#include "settings/ui/PlayCommand.h"

#include <QPixmap>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QCheckBox;
class QListWidget;
class QFrame;

namespace sorrel::controls {
class TMessagePopup;
class THintWindowEx;
}  // namespace sorrel::controls
namespace sorrel::desktop {
class TMpris;
}

namespace sorrel::app {

class Tfm_PlayList;
class Tfm_PlayFileList;
class Tfm_OvisAlarm;
class TMapLinkHost;
using settings::Tfm_Command;

// The outside world as the main window sees it: the keyboard tool, Navin'You, the map
// program's windows and the wave-out volume.  The application connects it to the bus
// and the wave device; tests record the calls.
class TPlayerMainEnvironment {
 public:
  virtual ~TPlayerMainEnvironment() = default;
  virtual bool KeyboardToolRunning() = 0;
  virtual void PostToKeyboardTool(int32_t wParam) = 0;  // WM_USER+0x198
  virtual bool NavinYouRunning() = 0;
  virtual void PostToNavinYou(uint32_t msg, int32_t wParam, int32_t lParam) = 0;
  // Other programs' windows as the alarm reads Navin'You's screen and the remote control
  // operates it; called on this thread.
  virtual alarm::TNavinWindowsIntf& NavinWindows() = 0;
  // Writes the saved wave volume back; false when the device cannot be opened.
  virtual bool RestoreWaveVolume(uint32_t volume) = 0;
  // The desktop's windows as the map link looks for the map program's; called on the
  // link's worker thread.
  virtual maplink::TMappleWindowsIntf& MappleWindows() = 0;
  // The same windows as the end of the desktop session ends the map program.
  virtual maplink::TMappleSessionEndIntf& MappleSessionEnd() = 0;
};

inline constexpr const char* kPlayerCaption = "Tarn's MP3Player";
inline constexpr uint32_t kDefaultSavedWaveVolume = 30;

class Tfm_PlayerMain : public QWidget,
                       public TSettingsHost,
                       public TMainMessageHandler,
                       public TNavigationHost,
                       public TCommandHost,
                       public TKeyboardHost,
                       public TPresetHost,
                       public TMessagePopUp,
                       public TWaitHost,
                       public desktop::TMprisHost,
                       public playlist::TPlayListHost {
  Q_OBJECT
 public:
  Tfm_PlayerMain(QString homeDir, TPlayerMainEnvironment& env, QWidget* parent = nullptr);
  ~Tfm_PlayerMain() override;

  // The windows created after this one, known once they exist.  With the play file list
  // the play order exists, and with it the navigator, the dispatcher and the keys.
  void SetCompanions(Tfm_PlayList* playList, Tfm_PlayFileList* playFileList, Tfm_OvisAlarm* alarm,
                     Tfm_Command* command);
  // MPRIS on the session bus (the application calls it when there is a bus).
  void PublishMpris();
  void SetReady() { ready_ = true; }
  bool Ready() const { return ready_; }
  bool Closed() const { return closed_; }

  TMessageTable& Messages() { return messages_; }
  const TPlayerSettings& Settings() const { return settings_; }
  TPlayerSettings& Settings() { return settings_; }
  QString SettingsPath() const;
  uint32_t SavedWaveVolume() const { return savedWaveVolume_; }
  int InputMode() const { return inputMode_; }
  int32_t ResumeAdjustment() const { return resumeAdjustment_; }
  int FadeStep() const { return desk_->FadeStep(); }
  settings::TSoundDesk& SoundDesk() { return *desk_; }
  engine::TMP3Player& Player() { return *MP3Player; }
  TCommandDispatcher* Dispatcher() { return dispatcher_.get(); }
  controls::TMessagePopup& Popup() { return *popup_; }
  // The lyric line the last step drew, and the song position it drew it at.
  std::pair<int, int> LyricDrawnAt() const { return lyricDrawnAt_; }

  // The orderly shutdown; runs once.  Every way of ending (close, command 4, the end of
  // the session, SIGTERM) comes here.
  void Shutdown();

  // TMainMessageHandler
  bool Suspended() const override { return suspended_; }
  bool PositionLinkActive() const override { return positionLinkActive_; }
  void SetSavedWaveVolume(uint32_t volume) override { savedWaveVolume_ = volume; }
  void OpenListFileAndPlay(const std::string& path, bool hideCompanions) override;
  void ParkCursor() override;
  void PositionSentence(const std::string& sentence) override;
  void ShowInputMode(int mode) override;
  void SetResumeAdjustment(int32_t ms) override { resumeAdjustment_ = ms; }
  void RunCommand(int command, int32_t argument) override;
  void MapMatchStatus(int32_t mode, bool showMessage) override;
  void QueryEndSession() override;
  void PowerBroadcast(int32_t event) override;
  // The power command (38).
  void PowerCommand() override;
  void AppCommand(uint32_t lParam) override;

  // TSettingsHost
  void MoveWindow(int left, int top) override { move(left, top); }
  void ResizeWindow(int width, int height) override;
  void SetBackColor(TColor c) override;
  bool LoadBackPicture(const std::string& fileName) override;
  void SetTextStyle(TTextRole role, const TFontStyle& f) override;
  void SetCaptionColor(TColor c) override;
  void StartFadeIn() override;
  void SetPlayerBalance(int balance) override;
  void SetPlayerBand(int band, int value) override;
  void ApplyLyricStyle(const TLyricStyle&) override { lyrics_.Invalidate(); }
  void ApplyMappleLink(const maplink::TMappleLinkSettings& s) override;

  // TNavigationHost
  int MusicIndex() const override { return settings_.MusicIndex; }
  void SetMusicIndex(int row) override { settings_.MusicIndex = row; }
  std::string CurFile() const override { return settings_.CurFile; }
  bool Shuffle() const override { return settings_.Shuffle; }
  void SetShuffle(bool on) override;
  void SetShuffleSeed(int32_t seed) override { settings_.ShuffleSeed = seed; }
  bool ListFileMode() const override { return settings_.ListFileMode; }
  int CurPos() const override { return settings_.CurPos; }
  int MainLevel() const override { return settings_.MainLevel; }
  bool UseTNLink() const override { return settings_.UseTNLink; }
  void PlayRow(int row) override;
  void RefreshLabels() override;
  void FocusDummy() override;
  void ProcessMessages() override;
  void ActivatePositionLink() override { positionLinkActive_ = true; }

  // TCommandHost
  bool TarnLyric() const override { return settings_.Tarn_Lyric; }
  bool AlarmIdle() const override;
  void ToggleAlarm() override;
  void StoreAlarmPoint() override;
  void MoveCursorOutside() override;
  void Close() override;
  void ShowSongInformation() override;
  void ToggleLyrics() override;
  void RedrawLyricLine(int displayMode) override;
  void MapLink(char letter) override;
  void NavinYou(int command) override;

  // TKeyboardHost
  TKeyContext KeySettings() const override;
  bool CanForwardKeys() const override;
  void ForwardKey(uint16_t key) override;
  void ClickTime() override;
  void ClickCurTime() override;

  // TPresetHost
  std::string EqPresetName(int n) const override;
  TEqLevels EqPreset(int n) const override;
  void SetEqPreset(int n, const TEqLevels& levels) override;
  TWindowSize SizePreset(int n) const override;
  void SetSizePreset(int n, TWindowSize size) override;
  TWindowSize FreeSize() const override { return {settings_.Width, settings_.Height}; }
  TWindowSize WindowSize() const override { return {width(), height()}; }
  void ResizeWindow(TWindowSize size) override { ResizeWindow(size.Width, size.Height); }

  // TMessagePopUp
  void ShowMessage(const std::string& text) override;

  // TWaitHost
  int MinSleepTime() const override { return settings_.MinSleepTime; }

  // desktop::TMprisHost
  desktop::TMprisStatus Status() const override;
  desktop::TMprisTrack CurrentTrack() const override;
  int64_t PositionUs() const override;
  int MasterLevel() const override;
  bool HasSongs() const override;
  bool Busy() const override { return dispatcher_ && dispatcher_->Busy(); }
  void PlayCurrent() override;
  void Stop() override;
  void SetPositionUs(int64_t us) override;
  void SetMasterLevel(int level) override;
  void OpenList(const std::string& path) override { OpenListFileAndPlay(path, true); }
  void PlaySong(const std::string& path) override;
  void Raise() override;

  // playlist::TPlayListHost
  playlist::TCurrentMusic& CurrentMusic() override { return settings_; }
  bool PlayWithLyric() const override { return settings_.PlayWithLyric; }
  void SetPlayWithLyric(bool on) override { settings_.PlayWithLyric = on; }
  void SetMainShuffle(bool checked) override;
  void ShowShuffle(bool checked) override;
  std::string PlayerFileName() const override { return MP3Player->FileName(); }
  bool PlayerIsOpened() const override { return MP3Player->IsOpened(); }
  void StartPlaying() override;
  void StartAfterStartUp(bool resume) override;
  void SelectCurrentRow() override;
  void RefreshDisplay() override { RefreshLabels(); }
  void CloseEditor() override;
  void SetLabel4(playlist::TLabel4 text) override;
  void WarningBeep() override;
  void NoLyricSongsMessage() override;
  void PlayFilesChanged() override;
  void Report(const std::string& message) override;

  static QColor ToQColor(TColor c);
  static TColor FromQColor(const QColor& c);

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool focusNextPrevChild(bool next) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  void CreatePlayer();
  void CreateAlarm();
  void ConnectSettingsDialog();
  // The background picture from a file; false (and the old picture kept) when it cannot
  // be read as a picture.  An empty name clears it.
  bool ShowBackPicture(const std::string& fileName);
  void StopAlarm();
  // One of the map link's letters (SendMappleCommand).
  void SendMapLink(char letter);
  void FormCreate();
  void KeepOnScreen();
  QWidget* Control(TControl c) const;
  void ApplyLayout(const TMainLayout& layout);
  void FrameAndCursorStep();
  // The scroll setup of the title, artist and album, and one scrolling tick.
  void ScrollSetup();
  void ShowScrollLines(const TTitleScroller::TRepaint& repaint);
  TRect ScreenRect() const;
  void CurrentTimerTimer();
  void TitleTimerTimer();
  void StoreLiveValues();
  void HideCompanionWindow(QWidget* w, bool parkCursor);
  void ShowCompanionWindow(QWidget* w);
  QLabel* StyledLabel(TTextRole role) const;
  void SetShuffleLook(bool checked);
  void ShuffleClicked();
  // The clicks on lb_Time and lb_CurTime.
  void TimeClicked();
  void CurTimeClicked();
  // The player's events.
  void MP3PlayerEndPlay(engine::TMP3EndPlayReason reason);
  void MP3PlayerChangePosition();
  // A song the player could not open ends as one that failed while playing.
  void OpenFailed(int row, const std::string& path);
  void KeyDown(QKeyEvent* e);
  void KeyUp(QKeyEvent* e);
  void MediaKey(uint16_t appCommand);
  // Lyrics: loaded when a song starts, stepped on every position change.
  void LoadLyrics();
  void LyricStep();
  void DrawLyric();
  void CloseLyric();
  void ShowLyricStatus(const TLyricStatusPanel& panel);
  void MprisChanged();
  TPlayOrderFacts OrderFacts() const;

  QString homeDir_;
  TPlayerMainEnvironment& env_;
  TPlayerSettings settings_;
  TSettingsFile settingsFile_{SettingsPath().toStdString()};
  TMessageTable messages_{*this};
  base::TClock& clock_;

  // The player component, its owner queue, and what the navigator sees of it.
  QtOwnerQueue ownerQueue_;
  std::unique_ptr<engine::TMP3Player> MP3Player;
  std::unique_ptr<TEnginePlayerControl> playerControl_;

  std::unique_ptr<controls::TMessagePopup> popup_;
  int popupHighlight_ = 1;
  std::unique_ptr<TErrorLog> errorLog_;
  std::unique_ptr<settings::TSoundDesk> desk_;
  std::unique_ptr<TPresets> presets_;
  TWaitLoop waitLoop_{*this, clock_};

  Tfm_PlayList* playList_ = nullptr;
  Tfm_PlayFileList* playFileList_ = nullptr;
  Tfm_OvisAlarm* ovisAlarm_ = nullptr;
  Tfm_Command* command_ = nullptr;

  // Made once the play file list exists.
  std::unique_ptr<TPlayFilesOrder> playOrder_;
  std::unique_ptr<TNavigator> navigator_;
  std::unique_ptr<TCommandDispatcher> dispatcher_;
  std::unique_ptr<TKeyboard> keyboard_;
  input::TKeyboardInput keyInput_;
  std::unique_ptr<desktop::TMpris> mpris_;
  // Suspend and resume of the computer, and the power command.
  class TWindowPower;
  std::unique_ptr<TWindowPower> power_;
  // The speed-camera alarm with its window, voice and status panel.
  class TWindowAlarm;
  std::unique_ptr<TWindowAlarm> alarm_;
  // What the settings dialog reads and applies.
  class TWindowSettingsHost;
  std::unique_ptr<TWindowSettingsHost> settingsHost_;
  // Navin'You's remote control and the map-match exchange.
  class TWindowNavin;
  std::unique_ptr<TWindowNavin> navin_;
  // The map program link; made before the settings are read, which it takes.
  std::unique_ptr<TMapLinkHost> mapLink_;
  // The cursor over the window: parking on the close image, the last move.
  class TWindowCursor;
  std::unique_ptr<TWindowCursor> cursorHost_;
  std::unique_ptr<TCursorParking> parking_;
  bool frameStepRunning_ = false;
  bool wasActive_ = false;

  // Controls.
  QLabel* Image;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  class TScrollingLabel* lb_Title;
  class TScrollingLabel* lb_Artist;
  class TScrollingLabel* lb_Album;
  QLabel* lb_Time;
  QLabel* lb_CurTime;
  QLabel* lb_Shuffle;
  QCheckBox* cbx_Shuffle;
  QLabel* img_Close;
  QFrame* pnl_GPSStatus;
  QLabel* pnl_LyricStatus;
  QListWidget* lbx_Dummy;
  QTimer TitleTimer, CurrentTimer, tm_CheckMapple, tm_DrawMapple;
  QPixmap backPicture_;

  // State.
  bool ready_ = false;
  bool closed_ = false;
  bool suspended_ = false;
  bool powerSuspended_ = false;
  bool positionLinkActive_ = false;
  bool firstActivation_ = true;
  bool shuffleChangeSuppressed_ = true;
  bool companionHidden_ = true;
  bool popupShown_ = false;
  bool scrollSetupPending_ = false;
  TTitleScroller scroller_;
  bool firstBufferTraced_ = false;
  bool shownTraced_ = false;
  bool informationShowing_ = false;  // the pop-up being shown is the information (19)
  bool closePressed_ = false;
  TLyricEngine lyrics_;
  TLyricLayout lyricLayout_;
  std::unique_ptr<controls::THintWindowEx> lyricWindow_;
  std::pair<int, int> lyricDrawnAt_{-1, 0};
  int inputMode_ = 0;
  int32_t resumeAdjustment_ = 0;
  uint32_t savedWaveVolume_ = kDefaultSavedWaveVolume;
  std::string infoText_;  // the song information pop-up's text
  QPoint homePosition_;
  TColor frameColor_ = 0xC0C0C0;
};

}  // namespace sorrel::app
