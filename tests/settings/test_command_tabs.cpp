// The settings window's other tabs on Qt's offscreen platform, against a main window
// that keeps the settings record: the numeric and colour edits' checks and keys, the
// previews, "規定値", "設 定" / "ｷｬﾝｾﾙ" / Esc, the colour and picture dialogs, the font
// combos, the alarm tab's visibility, the association tab, the version window, and bad
// input in every edit.  A screenshot of each tab lands in the build's screenshots/.
#include "settings/ui/PlayCommand.h"

#include "engine/MPOwnerQueue.h"
#include "tests/engine/FakePlayer.h"
#include "tests/settings/CommandFormFakes.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace sorrel::settings;
using sorrel::engine::TFakeMP3Player;
using sorrel::engine::TMPRunLoop;
using sorrel::settings::test::FakeHost;
using E = TNumericEdit;
using C = TColorEdit;

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "settings_tabs_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

class FakeStore : public TAssociationStore {
 public:
  bool IsAssociated(std::string_view ext) override {
    return ext == ".pdr" ? pdr : ext == ".pfl" ? pfl : false;
  }
  bool Associate(std::string& message) override {
    if (fail) {
      message = "cannot write mimeapps.list";
      return false;
    }
    pdr = pfl = true;
    return true;
  }
  bool RemoveAssociation(std::string& message) override {
    if (fail) {
      message = "cannot write mimeapps.list";
      return false;
    }
    pdr = pfl = false;
    return true;
  }
  bool pdr = false, pfl = false, fail = false;
};

// Answers the modal boxes that open while it lives: `answer` gets each one.
class ModalWatch {
 public:
  explicit ModalWatch(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (QWidget* w = QApplication::activeModalWidget()) {
        ++count;
        answer_(w);
      }
    });
    timer_.start(5);
  }
  int count = 0;

 private:
  std::function<void(QWidget*)> answer_;
  QTimer timer_;
};

struct Message {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

struct Tabs : ::testing::Test {
  Tabs() {
    player.SetEqualizerCount(kBands);
    host.record.Alarm = {1500, 55, 100, 60, 20, 9000};
    host.record.Lists = {4, 5, 6, 2, true};
    host.record.BackColor = 0x203040;
    host.record.BackPictureFileName = "Lumen.jpg";
    host.record.LyricPlacement = {1, false, true, 3};
    host.record.Lyric.LyricFontName = "IPAPGothic";
    host.record.Lyric.LyricFontSize = 20;
    host.record.Font(TLabelFont::kTitle).Name = "IPAGothic";
    host.record.Font(TLabelFont::kArtist).Name = "IPAMincho";
    host.form = &form;
    form.SetSoundDesk(desk);
    form.SetHost(host);
    form.SetAssociationStore(store);
    form.SetAlarmTabVisible(true);
  }

  void Show() {
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  void Page(const char* name) {
    form.PageControl()->setCurrentWidget(form.findChild<QWidget*>(QString::fromLatin1(name)));
  }
  template <typename T>
  T* Child(const char* name) {
    T* w = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLineEdit* Num(E e) { return form.NumericEdit(e); }
  QLineEdit* Col(C e) { return form.ColorEdit(e); }
  // Types into `edit` (after selecting its text) and leaves it with Enter.
  void TypeAndLeave(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  // Lets the deferred message of a refused edit come; the boxes it saw.
  std::vector<Message> Messages(const std::function<void()>& act) {
    std::vector<Message> seen;
    ModalWatch watch([&](QWidget* w) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        seen.push_back({box->windowTitle(), box->text(), box->icon()});
        box->accept();
      }
    });
    act();
    QTest::qWait(10);
    while (QApplication::activeModalWidget()) QTest::qWait(5);
    if (!seen.empty() && form.isVisible()) {
      // The platform gives the window the keyboard back after the box; offscreen,
      // the test does.
      QApplication::setActiveWindow(&form);
      EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    return seen;
  }
  QColor TextColor(QWidget* w) { return w->palette().color(QPalette::Text); }
  QColor BackColor(QWidget* w) { return w->palette().color(QPalette::Base); }

  QApplication& app = App();
  TMPRunLoop loop;
  TFakeMP3Player player{loop};
  TSoundDeskSettings desk_settings;
  TSoundDesk desk{player, desk_settings};
  FakeHost host;
  FakeStore store;
  Tfm_Command form;
};

QColor Rgb(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

void Screenshot(QWidget& w, const QString& name) {
  const QString dir = QStringLiteral(SORREL_BUILD_DIR "/screenshots");
  QDir().mkpath(dir);
  w.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

TEST_F(Tabs, EveryTabShowsTheSettings) {
  Show();
  EXPECT_EQ(Num(E::ed_Distance)->text(), " 1500");
  EXPECT_EQ(Num(E::ed_Velocity)->text(), "   55");
  EXPECT_EQ(Num(E::ed_PlaySoundInterval)->text(), "    9");
  EXPECT_EQ(Num(E::ed_PLDLimit)->text(), "  4");
  EXPECT_EQ(Num(E::ed_FLHFontPlus)->text(), "  2");
  EXPECT_EQ(Num(E::ed_LyricLine)->text(), "  3");
  EXPECT_EQ(Num(E::ed_LyricFontSize)->text(), " 20");
  EXPECT_EQ(Num(E::ed_KSLyricFontSize)->text(), " 48");
  EXPECT_EQ(Col(C::med_BKColor)->text(), "$203040");
  EXPECT_EQ(Col(C::med_ActiveFrameColor)->text(), "$FF70F0");
  EXPECT_EQ(Col(C::med_LyricColor)->text(), "$00FFFF");
  EXPECT_EQ(Child<QLineEdit>("ed_Picture")->text(), "Lumen.jpg");
  EXPECT_TRUE(Child<QCheckBox>("cb_FLHFontBold")->isChecked());
  EXPECT_TRUE(Child<QRadioButton>("rb_LyricLeft")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>("cbx_LyricWindowWidth")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>("cbx_TitleBold")->isChecked());
  EXPECT_EQ(form.FontCombo(0)->currentText(), "IPAGothic");
  EXPECT_EQ(Child<QPushButton>("bbtn_Default")->text(), "規定値");
  EXPECT_EQ(Child<QPushButton>("bbtn_Default")->toolTip(), "初期設定に戻す");

  // The previews: the window's colour behind the title, artist and album and the
  // captions' sample; the frame samples in their colour with the inverse text.
  EXPECT_EQ(BackColor(form.FontCombo(0)), Rgb(0x203040));
  EXPECT_EQ(TextColor(form.FontCombo(0)), Rgb(0xFFFF));
  EXPECT_EQ(TextColor(form.FontCombo(1)), Rgb(0xFF00));
  EXPECT_EQ(Child<QLabel>("pnl_LabelColor")->palette().color(QPalette::Window), Rgb(0x203040));
  EXPECT_EQ(Child<QLabel>("pnl_LabelColor")->text(), "Title:　　　Artist:　　　Album:　　　シャッフル");
  auto* frame = Child<QLabel>("lb_ActiveFrameColor");
  EXPECT_EQ(frame->palette().color(QPalette::Window), Rgb(0xFF70F0));
  EXPECT_EQ(frame->palette().color(QPalette::WindowText), Rgb(0x008F0F));
  auto* sample = Child<QLabel>("lb_LyricSample");
  EXPECT_EQ(sample->text(), "こんな感じです");
  EXPECT_EQ(sample->font().pointSize(), 20);
  EXPECT_TRUE(sample->font().bold());
  EXPECT_EQ(sample->palette().color(QPalette::WindowText), Rgb(0x00FFFF));
  EXPECT_EQ(Child<QLabel>("lb_DeActiveSample")->palette().color(QPalette::WindowText), Rgb(0xC0C0C0));

  QTabWidget* pages = form.PageControl();
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    QApplication::processEvents();
    Screenshot(form, QStringLiteral("settings_tab%1_%2").arg(i).arg(pages->widget(i)->objectName()));
  }
}

TEST_F(Tabs, NumericEditsCheckedWhenLeft) {
  Show();
  Page("TabSheet3");
  // Out of range: clamped silently.
  const auto none = Messages([&] { TypeAndLeave(Num(E::ed_Distance), "5000"); });
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(Num(E::ed_Distance)->text(), " 2000");
  EXPECT_EQ(form.Edits().Value(E::ed_Distance), 2000);
  // Enter moved on to the next edit, which selects its whole text.
  EXPECT_EQ(form.focusWidget(), Num(E::ed_Velocity));
  EXPECT_EQ(Num(E::ed_Velocity)->selectedText(), "   55");

  // Not a number: the message, the value back, the focus back.
  const auto seen = Messages([&] { TypeAndLeave(Num(E::ed_Velocity), "x"); });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, "入力エラ");
  EXPECT_EQ(seen[0].text, "整数を入力してください");
  EXPECT_EQ(seen[0].icon, QMessageBox::Warning);
  EXPECT_EQ(Num(E::ed_Velocity)->text(), "   55");
  EXPECT_EQ(form.Edits().Value(E::ed_Velocity), 55);
  EXPECT_EQ(form.focusWidget(), Num(E::ed_Velocity));

  // Shift+Enter goes back, checking on the way.
  Num(E::ed_Velocity)->selectAll();
  QTest::keyClicks(Num(E::ed_Velocity), "10");
  QTest::keyClick(Num(E::ed_Velocity), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(form.focusWidget(), Num(E::ed_Distance));
  EXPECT_EQ(Num(E::ed_Velocity)->text(), "   20");

  // A click on a button while an edit holds a bad number: the message first, and the
  // button does nothing.
  Page("TabSheet2");
  Num(E::ed_PLDLimit)->setFocus();
  Num(E::ed_PLDLimit)->setText("abc");
  const auto clicked = Messages([&] { QTest::mouseClick(Child<QPushButton>("bbtn_Set"), Qt::LeftButton); });
  EXPECT_EQ(clicked.size(), 1u);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(host.steps.empty());
  EXPECT_EQ(Num(E::ed_PLDLimit)->text(), "  4");

  // The lyric sample takes a checked size at once.
  Page("TabSheet7");
  TypeAndLeave(Num(E::ed_LyricFontSize), "50");
  EXPECT_EQ(Num(E::ed_LyricFontSize)->text(), " 36");
  EXPECT_EQ(Child<QLabel>("lb_LyricSample")->font().pointSize(), 36);
}

TEST_F(Tabs, BadInputInEveryNumericEdit) {
  Show();
  const QString inputs[] = {
      "", "99999999999999999999", "-99999999999999999999", "-5", "１２", "\x01\x02", "\t", "1e3", "٣"};
  for (int i = 0; i < kNumericEdits; ++i) {
    const auto e = static_cast<E>(i);
    const TNumericEditField& field = NumericEditField(e);
    QLineEdit* edit = Num(e);
    form.PageControl()->setCurrentWidget(edit->parentWidget()->parentWidget());
    for (const QString& in : inputs) {
      // Pasted rather than typed: the characters arrive whatever the keyboard.
      QApplication::clipboard()->setText(in);
      Messages([&] {
        edit->setFocus();
        edit->selectAll();
        edit->paste();
        QTest::keyClick(edit, Qt::Key_Tab);
      });
      const int v = form.Edits().Value(e);
      EXPECT_GE(v, field.Min) << field.Name << " " << in.toStdString();
      EXPECT_LE(v, field.Max) << field.Name << " " << in.toStdString();
      EXPECT_EQ(edit->text().toStdString(), FormatNumber(v, field.Width));
    }
    EXPECT_EQ(form.Edits().Value(e), std::min(std::max(12, field.Min), field.Max)) << field.Name;
  }
}

TEST_F(Tabs, ColourEditsTakeHexadecimalDigitsOnly) {
  Show();
  Page("TabSheet5");
  QLineEdit* bk = Col(C::med_BKColor);
  bk->setFocus();
  bk->setCursorPosition(1);
  QTest::keyClicks(bk, "abc");
  EXPECT_EQ(bk->text(), "$ABC040");
  QTest::keyClicks(bk, "g");
  EXPECT_EQ(bk->text(), "$ABC040");
  EXPECT_EQ(bk->cursorPosition(), 4);
  QTest::keyClicks(bk, "@z9");
  EXPECT_EQ(bk->text(), "$ABC940");
  // The preview follows each complete colour.
  EXPECT_EQ(BackColor(form.FontCombo(0)), Rgb(0xABC940));
  EXPECT_EQ(BackColor(form.FontCombo(1)), Rgb(0xABC940));
  EXPECT_EQ(BackColor(form.FontCombo(2)), Rgb(0xABC940));
  EXPECT_EQ(BackColor(form.FontCombo(4)), Rgb(0xABC940));

  // Pasted garbage and control characters leave no trace beyond the digits.
  QApplication::clipboard()->setText(QStringLiteral("\x01\x1b$zz\n12"));
  bk->selectAll();
  bk->paste();
  EXPECT_TRUE(bk->displayText().startsWith(QLatin1Char('$')));
  for (QChar ch : bk->displayText().mid(1))
    EXPECT_TRUE(QStringLiteral("0123456789ABCDEF_").contains(ch)) << int{ch.unicode()};

  // Blanks left: the preview keeps its colour, and the edit may not be left.
  bk->selectAll();
  bk->del();
  QTest::keyClicks(bk, "12");
  EXPECT_EQ(bk->displayText(), "$12____");
  EXPECT_EQ(BackColor(form.FontCombo(0)), Rgb(0xABC940));
  const auto seen = Messages([&] { QTest::keyClick(bk, Qt::Key_Return); });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, "入力エラ");
  EXPECT_EQ(form.focusWidget(), bk);
  QTest::keyClicks(bk, "3456");
  EXPECT_EQ(bk->text(), "$123456");
  EXPECT_EQ(BackColor(form.FontCombo(0)), Rgb(0x123456));

  // The frame samples: their colour, the text in the inverse.
  Col(C::med_DeactiveFrameColor)->setText("$0000FF");
  EXPECT_EQ(Child<QLabel>("lb_DeactiveFrameColor")->palette().color(QPalette::Window), Rgb(0x0000FF));
  EXPECT_EQ(Child<QLabel>("lb_DeactiveFrameColor")->palette().color(QPalette::WindowText), Rgb(0xFFFF00));
}

TEST_F(Tabs, TheInactiveTitleColourShowsWhileItsEditHasTheFocus) {
  Show();
  Page("TabSheet5");
  QLineEdit* deactive = Col(C::med_DeactiveTitleColor);
  deactive->setFocus();
  EXPECT_EQ(TextColor(form.FontCombo(0)), Rgb(0xC0C0C0));
  deactive->setText("$0000AA");
  EXPECT_EQ(TextColor(form.FontCombo(0)), Rgb(0x0000AA));
  QTest::keyClick(deactive, Qt::Key_Return);
  EXPECT_EQ(TextColor(form.FontCombo(0)), Rgb(0xFFFF));
  // Bold and italic each change their own bit.
  Child<QCheckBox>("cbx_TitleItalic")->setChecked(true);
  EXPECT_TRUE(form.FontCombo(0)->font().italic());
  EXPECT_TRUE(form.FontCombo(0)->font().bold());
  Child<QCheckBox>("cbx_TitleBold")->setChecked(false);
  EXPECT_TRUE(form.FontCombo(0)->font().italic());
  EXPECT_FALSE(form.FontCombo(0)->font().bold());
}

TEST_F(Tabs, DefaultTouchesTheAlarmValuesOnly) {
  Show();
  Page("TabSheet2");
  TypeAndLeave(Num(E::ed_PLFLimit), "7");
  Page("TabSheet3");
  Child<QPushButton>("bbtn_Default")->click();
  EXPECT_EQ(Num(E::ed_Distance)->text(), " 1000");
  EXPECT_EQ(Num(E::ed_Velocity)->text(), "   30");
  EXPECT_EQ(Num(E::ed_AimDegree)->text(), "  120");
  EXPECT_EQ(Num(E::ed_OpsDegree)->text(), "   80");
  EXPECT_EQ(Num(E::ed_PreLevelDownVal)->text(), "   40");
  EXPECT_EQ(Num(E::ed_PlaySoundInterval)->text(), "    7");
  EXPECT_EQ(Num(E::ed_PLFLimit)->text(), "  7");
  EXPECT_EQ(Num(E::ed_LyricLine)->text(), "  3");
  EXPECT_EQ(Num(E::ed_KSLyricFontSize)->text(), " 48");
  Child<QPushButton>("bbtn_Set")->click();
  EXPECT_EQ(host.record.Alarm, (TAlarmParameters{1000, 30, 120, 80, 40, 7000}));
  EXPECT_EQ(host.record.Lists.PLFileLimit, 7);
  EXPECT_EQ(host.record.LyricPlacement.LyricLine, 3);
}

TEST_F(Tabs, SetAppliesEverySettingInOrderAndCloses) {
  Show();
  const TCommandValues before = host.record;
  Page("TabSheet5");
  Col(C::med_BKColor)->setText("$010203");
  Col(C::med_ActiveTitleColor)->setText("$0A0B0C");
  Col(C::med_DeactiveTitleColor)->setText("$0D0E0F");
  Col(C::med_ActiveFrameColor)->setText("$111111");
  Col(C::med_DeactiveFrameColor)->setText("$222222");
  Col(C::med_LabelColor)->setText("$333333");
  Child<QLineEdit>("ed_Picture")->setText("/pictures/new.png");
  form.FontCombo(0)->setCurrentText("IPAMincho");
  Child<QCheckBox>("cbx_TitleItalic")->setChecked(true);
  Page("TabSheet6");
  Col(C::med_ArtistColor)->setText("$444444");
  Child<QCheckBox>("cbx_AlbumBold")->setChecked(false);
  Col(C::med_CurTimeColor)->setText("$555555");
  Child<QCheckBox>("cbx_CurTimeShowSec")->setChecked(true);
  Page("TabSheet2");
  TypeAndLeave(Num(E::ed_FLFLimit), "9");
  Child<QCheckBox>("cb_FLHFontBold")->setChecked(false);
  Page("TabSheet8");
  Child<QCheckBox>("cbx_TitleAddTrack")->setChecked(true);
  Child<QCheckBox>("cbx_InfoAddYear")->setChecked(true);
  Page("TabSheet7");
  Child<QRadioButton>("rb_LyricTop")->setChecked(true);
  Child<QCheckBox>("cbx_LyricWindowWidth")->setChecked(true);
  TypeAndLeave(Num(E::ed_LyricLine), "12");
  TypeAndLeave(Num(E::ed_KSLyricFontSize), "30");
  Col(C::med_LyricBackColor)->setText("$666666");
  Col(C::med_LyricDeactiveColor)->setText("$777777");
  form.FontCombo(kLyricFontCombo)->setCurrentText("IPAMincho");
  Child<QCheckBox>("cbx_LyricItalic")->setChecked(true);
  Page("TabSheet3");
  TypeAndLeave(Num(E::ed_PlaySoundInterval), "15");
  // A number typed but not yet left is checked as the focus leaves for the button.
  Num(E::ed_AimDegree)->setFocus();
  Num(E::ed_AimDegree)->selectAll();
  QTest::keyClicks(Num(E::ed_AimDegree), "10");
  QTest::mouseClick(Child<QPushButton>("bbtn_Set"), Qt::LeftButton);

  const std::vector<std::string> steps = {
      "lists",     "alarm",         "close",  "back",        "frames",     "show /pictures/new.png",
      "picture",   "title colours", "font",   "font",        "font",       "font",
      "font",      "labels",        "sec",    "lyric place", "lyric look", "ks",
      "additions", "refresh",       "changed"};
  EXPECT_EQ(host.steps, steps);
  EXPECT_FALSE(form.isVisible());

  TCommandValues expected = before;
  expected.Lists = {4, 5, 9, 2, false};
  expected.Alarm = {1500, 55, 20, 60, 20, 15000};
  expected.BackColor = 0x010203;
  expected.ActiveTitleFontColor = 0x0A0B0C;
  expected.DeactiveTitleFontColor = 0x0D0E0F;
  expected.ActiveFrameColor = 0x111111;
  expected.DeactiveFrameColor = 0x222222;
  expected.LabelFontColor = 0x333333;
  expected.BackPictureFileName = "/pictures/new.png";
  expected.Font(TLabelFont::kTitle) = {"IPAMincho", 0x0A0B0C, true, true};
  expected.Font(TLabelFont::kArtist).Color = 0x444444;
  expected.Font(TLabelFont::kAlbum).Bold = false;
  expected.Font(TLabelFont::kClock).Color = 0x555555;
  expected.CurTimeShowSec = true;
  expected.LyricPlacement = {3, true, true, 9};
  expected.Lyric.LyricBackColor = 0x666666;
  expected.Lyric.LyricDeActiveFontColor = 0x777777;
  expected.Lyric.LyricFontName = "IPAMincho";
  expected.Lyric.LyricFontItalic = true;
  expected.KSLyricFontSize = 30;
  expected.Additions.TitleAddTrack = true;
  expected.Additions.InfoAddYear = true;
  EXPECT_EQ(host.record, expected);

  // The next showing reloads from the settings.
  host.steps.clear();
  Show();
  EXPECT_EQ(Num(E::ed_LyricLine)->text(), "  9");
  EXPECT_EQ(Col(C::med_BKColor)->text(), "$010203");
  EXPECT_TRUE(Child<QRadioButton>("rb_LyricTop")->isChecked());
}

TEST_F(Tabs, APictureThatDoesNotLoadLeavesTheOldNameAndAStoredLyricPositionStays) {
  host.record.LyricPlacement.LyricPos = 7;  // from the file: no button stands for it
  host.pictureLoads = false;
  Show();
  for (const char* r : {"rb_LyricBottom", "rb_LyricLeft", "rb_LyricRight", "rb_LyricTop"})
    EXPECT_FALSE(Child<QRadioButton>(r)->isChecked()) << r;
  Child<QLineEdit>("ed_Picture")->setText("notapicture.txt");
  Page("TabSheet5");
  Child<QPushButton>("bbtn_Set")->click();
  EXPECT_EQ(host.record.BackPictureFileName, "Lumen.jpg");
  EXPECT_EQ(host.record.LyricPlacement.LyricPos, 7);
  EXPECT_EQ(host.steps.back(), "changed");
}

TEST_F(Tabs, CancelAndEscApplyNothingButTheDeskKeepsItsChanges) {
  Show();
  const TCommandValues before = host.record;
  QSignalSpy closing(&form, &Tfm_Command::CloseRequested);
  Page("TabSheet1");
  form.Bar(TDeskBar::tb_EQ3)->setValue(-10);
  Page("TabSheet5");
  Col(C::med_BKColor)->setText("$FFFFFF");
  Page("TabSheet2");
  TypeAndLeave(Num(E::ed_FLFLimit), "1");
  Child<QPushButton>("bbtn_Cancel")->click();
  EXPECT_EQ(closing.count(), 1);
  Page("TabSheet7");
  Child<QRadioButton>("rb_LyricBottom")->setChecked(true);
  QTest::keyClick(form.focusWidget() ? form.focusWidget() : &form, Qt::Key_Escape);
  EXPECT_EQ(closing.count(), 2);
  EXPECT_TRUE(host.steps.empty());
  EXPECT_EQ(host.record, before);
  EXPECT_EQ(player.EqualizerValue(3), 10);
  // Shown again: the settings, not the abandoned edits.
  form.hide();
  Show();
  EXPECT_EQ(Col(C::med_BKColor)->text(), "$203040");
  EXPECT_TRUE(Child<QRadioButton>("rb_LyricLeft")->isChecked());
}

TEST_F(Tabs, TheColourDialogAndItsCustomColours) {
  host.record.ColorDialogOption = "ColorA=0000FF,ColorB=00FF00";
  form.SetHost(host);  // FormCreate's load
  EXPECT_EQ(QColorDialog::customColor(0), QColor(255, 0, 0));
  EXPECT_EQ(QColorDialog::customColor(1), QColor(0, 255, 0));
  Show();
  Page("TabSheet6");
  QColor offered;
  ModalWatch watch([&](QWidget* w) {
    auto* dialog = qobject_cast<QColorDialog*>(w);
    if (!dialog) return;
    offered = dialog->currentColor();
    QColorDialog::setCustomColor(2, QColor(0x12, 0x34, 0x56));
    dialog->setCurrentColor(QColor(0x10, 0x20, 0x30));
    dialog->accept();
  });
  QTest::mouseDClick(Col(C::med_AlbumColor), Qt::LeftButton);
  EXPECT_EQ(watch.count, 1);
  EXPECT_EQ(offered, Rgb(0xFF00FF));  // it starts from the edit's colour
  EXPECT_EQ(Col(C::med_AlbumColor)->text(), "$302010");
  EXPECT_EQ(TextColor(form.FontCombo(2)), QColor(0x10, 0x20, 0x30));
  EXPECT_EQ(host.record.ColorDialogOption.substr(0, 41), "ColorA=0000FF,ColorB=00FF00,ColorC=563412");
}

TEST_F(Tabs, ThePictureDialogStartsInTheCurrentPicturesFolder) {
  QTemporaryDir home;
  ASSERT_TRUE(QDir(home.path()).mkpath("pics"));
  QFile picture(home.path() + "/pics/new.png");
  ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
  picture.close();
  host.home = home.path().toStdString();
  host.record.BackPictureFileName = "pics/old.jpg";  // relative to the home folder
  Show();
  Page("TabSheet5");
  QString startedIn;
  ModalWatch watch([&](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      ADD_FAILURE() << "message: " << box->text().toStdString();
      box->accept();
      return;
    }
    auto* dialog = qobject_cast<QFileDialog*>(w);
    if (!dialog) {
      ADD_FAILURE() << "modal " << w->metaObject()->className();
      w->close();
      return;
    }
    startedIn = dialog->directory().absolutePath();
    const QString chosen = home.path() + "/pics/new.png";
    // Typed, as a user would: selectFile depends on the folder being read already.
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name) name->setText(QStringLiteral("new.png"));
    if (!name || dialog->selectedFiles() != QStringList{chosen}) {
      ADD_FAILURE() << "the file could not be chosen";
      dialog->reject();
      return;
    }
    static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
  });
  QTest::mouseDClick(Child<QLineEdit>("ed_Picture"), Qt::LeftButton);
  EXPECT_EQ(startedIn, home.path() + "/pics");
  EXPECT_EQ(Child<QLineEdit>("ed_Picture")->text(), home.path() + "/pics/new.png");
}

TEST_F(Tabs, FontCombosListTheInstalledFamiliesEachInItsOwnFace) {
  Show();
  QStringList families;
  for (const QString& f : QFontDatabase::families())
    if (!QFontDatabase::isPrivateFamily(f)) families << f;
  QComboBox* artist = form.FontCombo(1);
  // A stored name no installed family has is kept, first.
  EXPECT_EQ(artist->currentText(), "IPAMincho");
  QComboBox* album = form.FontCombo(2);
  EXPECT_EQ(album->currentText(), "ＭＳ Ｐゴシック");
  EXPECT_EQ(album->count(), families.size() + (families.contains("ＭＳ Ｐゴシック") ? 0 : 1));
  for (const QString& f : families) EXPECT_GE(artist->findText(f), 0) << f.toStdString();

  // Rows of two families, drawn by the combo's own painter, differ; the same family
  // drawn twice does not.
  const auto row = [&](const QString& family) {
    QImage image(200, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.palette = artist->palette();
    const int i = artist->findText(family);
    artist->itemDelegate()->paint(&p, option, artist->model()->index(i, 0));
    return image;
  };
  if (!families.contains("IPAMincho") || !families.contains("IPAGothic")) GTEST_SKIP() << "no IPA fonts";
  EXPECT_EQ(row("IPAMincho"), row("IPAMincho"));
  EXPECT_NE(row("IPAMincho"), row("IPAGothic"));
  // The row is drawn on the combo's background (the window's colour) in its colour.
  const QImage r = row("IPAGothic");
  EXPECT_EQ(QColor(r.pixel(1, 1)), Rgb(0x203040));
  EXPECT_EQ(QColor(r.pixel(0, 12)), Rgb(0x203040));  // the text starts 2 pixels in
}

TEST_F(Tabs, TheAlarmTabOnlyWithPoints) {
  form.SetAlarmTabVisible(false);
  Show();
  EXPECT_FALSE(form.AlarmTabVisible());
  EXPECT_FALSE(form.PageControl()->isTabVisible(6));
  form.SetAlarmTabVisible(true);
  EXPECT_TRUE(form.PageControl()->isTabVisible(6));
  EXPECT_EQ(form.PageControl()->tabText(6), "Ovis警報設定");
}

TEST_F(Tabs, TheAssociationTab) {
  store.pdr = true;  // ".pfl" taken over by another program
  Show();
  Page("TabSheet4");
  auto* pdr = Child<QLabel>("lb_pdrStatus");
  auto* pfl = Child<QLabel>("lb_pflStatus");
  auto* set = Child<QPushButton>("bbtn_LinkSet");
  auto* reset = Child<QPushButton>("bbtn_LinkReset");
  EXPECT_EQ(pdr->text(), ".pdr は 関連付けられています。");
  EXPECT_EQ(pfl->text(), ".pfl は 関連付けられていません。");
  EXPECT_TRUE(set->isEnabled());
  EXPECT_TRUE(reset->isEnabled());
  EXPECT_EQ(set->text(), " 関連付け");
  EXPECT_EQ(reset->text(), "解 除");
  EXPECT_EQ(Child<QWidget>("gb_LinkStatus")->property("title").toString(), " 関連付け状況 ");
  EXPECT_EQ(Child<QLabel>("lb_LinkText1")->text(), "関連付けを行うと '.pdr' '.pfl' ファイルが");

  set->click();
  EXPECT_EQ(pfl->text(), ".pfl は 関連付けられています。");
  EXPECT_FALSE(set->isEnabled());
  EXPECT_TRUE(reset->isEnabled());
  Screenshot(form, "settings_association_associated");

  // A failure says why and leaves the status as shown.
  store.fail = true;
  const auto seen = Messages([&] { reset->click(); });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "cannot write mimeapps.list");
  EXPECT_EQ(pdr->text(), ".pdr は 関連付けられています。");
  store.fail = false;
  reset->click();
  EXPECT_EQ(pdr->text(), ".pdr は 関連付けられていません。");
  EXPECT_TRUE(set->isEnabled());
  EXPECT_FALSE(reset->isEnabled());
}

TEST_F(Tabs, TheVersionWindowOnADoubleClickOfTheTitle) {
  QWidget version(nullptr, Qt::Dialog);
  version.setFixedSize(363, 230);
  form.SetVersionWindow(&version);
  form.move(100, 200);
  Show();
  Page("TabSheet4");
  for (const char* name : {"lb_Title", "lb_Version", "lb_LinkText3"}) {
    version.hide();
    QTest::mouseDClick(Child<QLabel>(name), Qt::LeftButton);
    EXPECT_TRUE(version.isVisible()) << name;
  }
  const QRect g = form.frameGeometry();
  EXPECT_EQ(version.frameGeometry().top(), g.top() + 20);
  EXPECT_LE(std::abs(version.frameGeometry().center().x() - g.center().x()), 1);
  form.hide();
  EXPECT_FALSE(version.isVisible());
}

}  // namespace
