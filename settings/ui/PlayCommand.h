// The settings window fm_Command.  Its first tab is the sound desk: the track bars show
// the positions of settings::TSoundDesk and move them, so a change reaches the player
// at once and a change made elsewhere (level steps, presets, the fade-in) shows here.
// The display, list, lyric and alarm tabs edit a copy of the settings, previewed in the
// window's own controls, that "設 定" hands to the main window (TCommandFormHost) in
// the order of ApplyCommandSettings.  The last tab associates the list files with the
// program.  The window is created at start-up and lives until the end, shown or not;
// the main window shows, places and hides it.
#pragma once

#include "platform/input/KeyTranslate.h"
#include "settings/core/Association.h"
#include "settings/core/CommandEdits.h"
#include "settings/core/CommandSettings.h"
#include "settings/core/SoundDesk.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <string>

class QCheckBox;
class QColorDialog;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace sorrel::settings {

// The colour edits, med_*.
enum class TColorEdit {
  med_BKColor,
  med_ActiveTitleColor,
  med_DeactiveTitleColor,
  med_ActiveFrameColor,
  med_DeactiveFrameColor,
  med_LabelColor,
  med_ArtistColor,
  med_AlbumColor,
  med_TimeColor,
  med_CurTimeColor,
  med_LyricBackColor,
  med_LyricColor,
  med_LyricDeactiveColor,
};
inline constexpr int kColorEdits = 13;

// The font combos with their bold and italic boxes: the five labels', then the lyric's.
inline constexpr int kFontCombos = kLabelFonts + 1;
inline constexpr int kLyricFontCombo = kLabelFonts;

inline constexpr const char* kInputErrorCaption = "入力エラ";
inline constexpr const char* kNotAnIntegerText = "整数を入力してください";

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

  // Binds the other tabs to the main window, once the settings are read: loads the
  // colour dialog's custom colours.  Every showing then fills the tabs from
  // host.CommandValues(), and "設 定" applies them through `host`.
  void SetHost(TCommandFormHost& host);
  // The association tab's database; by default the XDG one of this program.
  void SetAssociationStore(TAssociationStore& store);
  // The alarm tab is shown only when the point file gave at least one point.
  void SetAlarmTabVisible(bool visible);
  bool AlarmTabVisible() const;
  // The version window, shown by a double click on the title labels and hidden with
  // this window.
  void SetVersionWindow(QWidget* window) { version_ = window; }

  // The pages in their order: TabSheet1 (the sound desk), TabSheet5, TabSheet6,
  // TabSheet2, TabSheet8, TabSheet7, TabSheet3, TabSheet4.
  QTabWidget* PageControl() const { return PageControl1; }
  bool EqTabActive() const;

  QSlider* Bar(TDeskBar bar) const { return bars_[static_cast<int>(bar)]; }
  QLabel* ValueLabel(TDeskBar bar) const { return values_[static_cast<int>(bar)]; }
  QLineEdit* NumericEdit(TNumericEdit e) const { return numeric_[static_cast<int>(e)]; }
  QLineEdit* ColorEdit(TColorEdit e) const { return colors_[static_cast<int>(e)]; }
  QComboBox* FontCombo(int i) const { return fontCombos_[i]; }
  const TCommandEdits& Edits() const { return edits_; }
  QColorDialog* ColorDialog() const { return ColorDialog_; }
  QFileDialog* PictureDialog() const { return OpenPictureDialog; }

 Q_SIGNALS:
  // What the main window does for the dialog: recall or store equaliser preset n
  // (with its pop-up), and close the dialog as one of its sub-windows (Esc and
  // "ｷｬﾝｾﾙ"; "設 定" closes through TCommandFormHost::CloseCommandForm).
  void RecallEqPreset(int n);
  void StoreEqPreset(int n);
  void CloseRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildEqualizerTab(QWidget* page);
  void BuildDisplay1Tab(QWidget* page);
  void BuildDisplay2Tab(QWidget* page);
  void BuildDisplay3Tab(QWidget* page);
  void BuildDisplay4Tab(QWidget* page);
  void BuildLyricTab(QWidget* page);
  void BuildAlarmTab(QWidget* page);
  void BuildAssociationTab(QWidget* page);
  QWidget* AddPage(const char* name, const QString& caption);
  QLineEdit* MakeNumericEdit(TNumericEdit e, QWidget* parent);
  QLineEdit* MakeColorEdit(TColorEdit e, QWidget* parent);
  QComboBox* MakeFontCombo(int i, const char* name, QWidget* parent);
  QCheckBox* MakeCheckBox(const char* name, const QString& text, QWidget* parent);

  void PageControl1Change();
  void bbtn_FlatClick();
  void bbtn_SetClick();
  void bbtn_CancelClick();
  void bbtn_DefaultClick();
  void bbtn_LinkSetClick();
  void bbtn_LinkResetClick();
  void FormShow();
  // The form's key preview; true when the key was used here.
  bool FormKeyDown(const QKeyEvent& event);
  // A click on a value, frequency or caption label: the focus goes to its bar.
  void LabelClick(QLabel* label);
  void lb_TitleDblClick();
  void ShowBar(TDeskBar bar);
  void ShowAll();

  // Leaving a numeric or colour edit; false when the edit refused.
  bool NumericEditExit(QLineEdit* edit, TNumericEdit e);
  bool ColorEditExit(QLineEdit* edit);
  // The refusal's message, shown after the focus change that caused it has ended.
  void RefuseExit(QLineEdit* edit, const QString& text);
  // A colour edit's text changed: the preview follows when it parses.
  void ColorEditChange(TColorEdit e);
  // A colour typed into an edit: digits and "A"-"F" only.  True when the key was used.
  bool ColorEditKey(QLineEdit* edit, const QKeyEvent& key);
  void ColorEditDblClick(QLineEdit* edit);
  void ed_PictureDblClick();
  // Paints the previews from the previewed values and the check boxes.
  void ShowPreviews();
  void ShowAssociationStatus();
  void ShowStatus(const TAssociationStatus& s);
  // After a button of the association tab.
  void LinkButtonDone(bool ok);
  // What the controls hold, as "設 定" takes it.
  TCommandValues EditedValues() const;

  TSoundDesk* desk_ = nullptr;
  int listener_ = 0;
  input::TKeyboardInput keyboard_;
  TCommandFormHost* host_ = nullptr;
  std::unique_ptr<TAssociationStore> ownStore_;
  std::unique_ptr<TAssociation> association_;
  QPointer<QWidget> version_;

  // The working values of the numeric edits, and the colours and fonts the previews
  // show: what "設 定" applies.
  TCommandEdits edits_;
  TCommandValues preview_;
  // An edit that refused to be left, whose message is still to come; the buttons do
  // nothing until it has been shown.
  QPointer<QLineEdit> refusing_;
  // med_DeactiveTitleColor has the focus: the title combo previews the inactive colour.
  bool deactiveTitleFocused_ = false;
  // "ColorDialogOption" as last loaded or stored.
  std::string customColors_;

  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet3;
  QWidget* TabSheet4;
  QPushButton* bbtn_Flat;
  QPushButton* bbtn_Set;
  QPushButton* bbtn_Cancel;
  QPushButton* bbtn_Default;
  QPushButton* bbtn_LinkSet;
  QPushButton* bbtn_LinkReset;
  QLabel* lb_PreCaption;
  QLabel* lb_MasterCaption;
  // By TDeskBar: tb_EQ0..tb_EQ9, tb_PreLevel, tb_MasterLevel, tb_Balance and their
  // value labels lb_EQ0..lb_EQ9, lb_PreLevel, lb_MasterLevel, lb_Balance.
  std::array<QSlider*, kDeskBars> bars_{};
  std::array<QLabel*, kDeskBars> values_{};
  // Label0..Label9: the band frequencies.
  std::array<QLabel*, kBands> captions_{};

  std::array<QLineEdit*, kNumericEdits> numeric_{};
  std::array<QLineEdit*, kColorEdits> colors_{};
  // By TLabelFont, then the lyric's: cmbox_TitleFont … cmbox_CurTimeFont, cmbox_LyricFont.
  std::array<QComboBox*, kFontCombos> fontCombos_{};
  std::array<QCheckBox*, kFontCombos> boldBoxes_{};
  std::array<QCheckBox*, kFontCombos> italicBoxes_{};
  QLineEdit* ed_Picture;
  QLabel* pnl_LabelColor;
  QLabel* lb_ActiveFrameColor;
  QLabel* lb_DeactiveFrameColor;
  QCheckBox* cbx_CurTimeShowSec;
  QCheckBox* cb_FLHFontBold;
  QCheckBox* cbx_TitleAddTrack;
  QCheckBox* cbx_ArtistAddYear;
  QCheckBox* cbx_InfoAddTitle;
  QCheckBox* cbx_InfoAddArtist;
  QCheckBox* cbx_InfoAddAlbum;
  QCheckBox* cbx_InfoAddYear;
  QRadioButton* rb_LyricBottom;
  QRadioButton* rb_LyricLeft;
  QRadioButton* rb_LyricRight;
  QRadioButton* rb_LyricTop;
  QCheckBox* cbx_LyricWindowWidth;
  QCheckBox* cbx_DeActiveLyricOff;
  QLabel* lb_LyricSample;
  QLabel* lb_ActiveSample;
  QLabel* lb_DeActiveSample;
  QLabel* lb_pdrStatus;
  QLabel* lb_pflStatus;
  QLabel* lb_Title;
  QLabel* lb_Version;
  QLabel* lb_LinkText3;
  QColorDialog* ColorDialog_;
  QFileDialog* OpenPictureDialog;
};

}  // namespace sorrel::settings
