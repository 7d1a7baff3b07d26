// The settings window fm_Command.  Its first tab is the sound desk: the track bars show
// the positions of settings::TSoundDesk and move them, so a change reaches the player
// at once and a change made elsewhere (level steps, presets, the fade-in) shows here.
// The window is created at start-up and lives until the end, shown or not; the main
// window shows, places and hides it.
#pragma once

#include "platform/input/KeyTranslate.h"
#include "settings/core/SoundDesk.h"

#include <QString>
#include <QWidget>

#include <array>

class QLabel;
class QPushButton;
class QSlider;
class QTabWidget;

namespace sorrel::settings {

class Tfm_Command : public QWidget {
  Q_OBJECT
 public:
  explicit Tfm_Command(QWidget* parent = nullptr);
  // With its sound desk bound and loaded at once.
  explicit Tfm_Command(TSoundDesk& desk, QWidget* parent = nullptr);
  ~Tfm_Command() override;

  // Binds the equaliser tab to `desk` and loads the desk from the player: the settings
  // window's creation step, run once after the main window has read the settings.
  // Until then the tab's controls are disabled.
  void SetSoundDesk(TSoundDesk& desk);
  TSoundDesk* SoundDesk() const { return desk_; }

  // The pages in their order: TabSheet1 (the sound desk), TabSheet5, TabSheet6,
  // TabSheet2, TabSheet8, TabSheet7, TabSheet3, TabSheet4.
  QTabWidget* PageControl() const { return PageControl1; }
  bool EqTabActive() const;

  QSlider* Bar(TDeskBar bar) const { return bars_[static_cast<int>(bar)]; }
  QLabel* ValueLabel(TDeskBar bar) const { return values_[static_cast<int>(bar)]; }

 Q_SIGNALS:
  // What the main window does for the dialog: recall or store equaliser preset n
  // (with its pop-up), and close the dialog as one of its sub-windows.
  void RecallEqPreset(int n);
  void StoreEqPreset(int n);
  void CloseRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildEqualizerTab(QWidget* page);
  QWidget* AddPage(const char* name, const QString& caption);
  void PageControl1Change();
  void bbtn_FlatClick();
  void bbtn_SetClick();
  void bbtn_CancelClick();
  // The form's key preview; true when the key was used here.
  bool FormKeyDown(const QKeyEvent& event);
  // A click on a value, frequency or caption label: the focus goes to its bar.
  void LabelClick(QLabel* label);
  void ShowBar(TDeskBar bar);
  void ShowAll();

  TSoundDesk* desk_ = nullptr;
  int listener_ = 0;
  input::TKeyboardInput keyboard_;

  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QPushButton* bbtn_Flat;
  QPushButton* bbtn_Set;
  QPushButton* bbtn_Cancel;
  QLabel* lb_PreCaption;
  QLabel* lb_MasterCaption;
  // By TDeskBar: tb_EQ0..tb_EQ9, tb_PreLevel, tb_MasterLevel, tb_Balance and their
  // value labels lb_EQ0..lb_EQ9, lb_PreLevel, lb_MasterLevel, lb_Balance.
  std::array<QSlider*, kDeskBars> bars_{};
  std::array<QLabel*, kDeskBars> values_{};
  // Label0..Label9: the band frequencies.
  std::array<QLabel*, kBands> captions_{};
};

}  // namespace sorrel::settings
