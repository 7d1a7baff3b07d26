// The main player window: a borderless, always-on-top strip showing the current song.
// It owns the settings record, answers the messages of other programs (through its
// message table) and runs the orderly shutdown.
#pragma once

#include "app/core/MessageTable.h"
#include "app/core/Settings.h"
#include "settings/ui/PlayCommand.h"

#include <QPixmap>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class QLabel;
class QCheckBox;
class QListWidget;
class QFrame;

namespace sorrel::app {

class Tfm_PlayList;
class Tfm_PlayFileList;
class Tfm_OvisAlarm;
using settings::Tfm_Command;

// The outside world as the main window sees it: the keyboard tool, Navin'You and the
// wave-out volume.  The application connects it to the bus and the wave device; tests
// record the calls.
class TPlayerMainEnvironment {
 public:
  virtual ~TPlayerMainEnvironment() = default;
  virtual bool KeyboardToolRunning() = 0;
  virtual void PostToKeyboardTool(int32_t wParam) = 0;  // WM_USER+0x198
  virtual bool NavinYouRunning() = 0;
  virtual void PostToNavinYou(uint32_t msg, int32_t wParam, int32_t lParam) = 0;
  // Writes the saved wave volume back; false when the device cannot be opened.
  virtual bool RestoreWaveVolume(uint32_t volume) = 0;
};

inline constexpr const char* kPlayerCaption = "Tarn's MP3Player";
inline constexpr uint32_t kDefaultSavedWaveVolume = 30;

class Tfm_PlayerMain : public QWidget, public TSettingsHost, public TMainMessageHandler {
  Q_OBJECT
 public:
  Tfm_PlayerMain(QString homeDir, TPlayerMainEnvironment& env, QWidget* parent = nullptr);
  ~Tfm_PlayerMain() override;

  // The windows created after this one, known once they exist.
  void SetCompanions(Tfm_PlayList* playList, Tfm_PlayFileList* playFileList, Tfm_OvisAlarm* alarm,
                     Tfm_Command* command);
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
  int FadeStep() const { return fadeStep_; }

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
  void AppCommand(uint32_t lParam) override;

  // TSettingsHost
  void MoveWindow(int left, int top) override { move(left, top); }
  void ResizeWindow(int width, int height) override;
  void SetBackColor(TColor c) override;
  bool LoadBackPicture(const std::string& fileName) override;
  void SetTextStyle(TTextRole role, const TFontStyle& f) override;
  void SetCaptionColor(TColor c) override;
  void StartFadeIn() override;
  void SetPlayerBalance(int) override {}
  void SetPlayerBand(int, int) override {}
  void ApplyLyricStyle(const TLyricStyle&) override {}
  void ApplyMappleLink(const maplink::TMappleLinkSettings&) override {}

  static QColor ToQColor(TColor c);
  static TColor FromQColor(const QColor& c);

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void FormCreate();
  void KeepOnScreen();
  void CurrentTimerTimer();
  void StoreLiveValues();
  void HideCompanionWindow(QWidget* w, bool parkCursor);
  void PostNavinMapMatchMode();
  QLabel* StyledLabel(TTextRole role) const;

  QString homeDir_;
  TPlayerMainEnvironment& env_;
  TPlayerSettings settings_;
  TSettingsFile settingsFile_{SettingsPath().toStdString()};
  TMessageTable messages_{*this};

  Tfm_PlayList* playList_ = nullptr;
  Tfm_PlayFileList* playFileList_ = nullptr;
  Tfm_OvisAlarm* ovisAlarm_ = nullptr;
  Tfm_Command* command_ = nullptr;

  // Controls.
  QLabel* Image;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* lb_Title;
  QLabel* lb_Artist;
  QLabel* lb_Album;
  QLabel* lb_Time;
  QLabel* lb_CurTime;
  QLabel* lb_Shuffle;
  QCheckBox* cbx_Shuffle;
  QLabel* img_Close;
  QFrame* pnl_GPSStatus;
  QFrame* pnl_LyricStatus;
  QListWidget* lbx_Dummy;
  QTimer PopTimer, TitleTimer, CurrentTimer, tm_CheckMapple, tm_DrawMapple;
  QPixmap backPicture_;

  // State.
  bool ready_ = false;
  bool closed_ = false;
  bool suspended_ = false;
  bool powerSuspended_ = false;
  bool busy_ = false;
  bool positionLinkActive_ = false;
  bool firstActivation_ = true;
  bool shuffleChangeSuppressed_ = true;
  bool companionHidden_ = true;
  bool popupShown_ = false;
  int displayMode_ = 0;
  int pendingCommand_ = 0;
  int inputMode_ = 0;
  int fadeStep_ = 0;
  int32_t resumeAdjustment_ = 0;
  uint32_t savedWaveVolume_ = kDefaultSavedWaveVolume;
  QPoint homePosition_;
  TColor frameColor_ = 0xC0C0C0;
};

}  // namespace sorrel::app
