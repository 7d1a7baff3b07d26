#include "settings/ui/PlayCommand.h"

#include "platform/input/Bell.h"
#include "settings/core/CommandKeys.h"
#include "settings/core/XdgAssociation.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace sorrel::settings {
namespace {

// The bar a label's click focuses.
const char* const kFocusBarProperty = "focusBar";
// The edit's TNumericEdit or TColorEdit.
const char* const kNumericProperty = "numericEdit";
const char* const kColorProperty = "colorEdit";

const char* const kBarNames[kDeskBars] = {"tb_EQ0",      "tb_EQ1",         "tb_EQ2",    "tb_EQ3", "tb_EQ4",
                                          "tb_EQ5",      "tb_EQ6",         "tb_EQ7",    "tb_EQ8", "tb_EQ9",
                                          "tb_PreLevel", "tb_MasterLevel", "tb_Balance"};

const char* const kColorEditNames[kColorEdits] = {
    "med_BKColor",           "med_ActiveTitleColor",   "med_DeactiveTitleColor",
    "med_ActiveFrameColor",  "med_DeactiveFrameColor", "med_LabelColor",
    "med_ArtistColor",       "med_AlbumColor",         "med_TimeColor",
    "med_CurTimeColor",      "med_LyricBackColor",     "med_LyricColor",
    "med_LyricDeactiveColor"};

// A colour edit that is left incomplete: the mask's own refusal.
const char* const kIncompleteColorText = "色は $ に続けて16進数6桁で入力してください";
const char* const kProgramCaption = "Tarn's MP3Player";
const char* const kLabelSample = "Title:　　　Artist:　　　Album:　　　シャッフル";
const char* const kVersionText = "Version 9.99x";

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

QColor ToQColor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
TColor FromQColor(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

// A label's or combo's colours; no `back` keeps the style's background.
void PaintColors(QWidget* w, const TColor* back, TColor text) {
  QPalette p = QApplication::palette(w);
  for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(r, ToQColor(text));
  if (back)
    for (QPalette::ColorRole r : {QPalette::Window, QPalette::Base, QPalette::Button})
      p.setColor(r, ToQColor(*back));
  w->setPalette(p);
  w->setAutoFillBackground(back != nullptr);
}

QString ValueLabelName(TDeskBar bar) {
  // "tb_X" -> "lb_X"
  return QStringLiteral("lb_") + QString::fromLatin1(kBarNames[static_cast<int>(bar)] + 3);
}

QSlider* MakeBar(TDeskBar bar, QStyle* style, QWidget* parent) {
  const TDeskBarRange r = DeskBarRange(bar);
  auto* s = new QSlider(r.Vertical ? Qt::Vertical : Qt::Horizontal, parent);
  if (style) s->setStyle(style);
  s->setObjectName(QString::fromLatin1(kBarNames[static_cast<int>(bar)]));
  s->setRange(r.Min, r.Max);
  s->setSingleStep(r.LineSize);
  s->setPageStep(r.PageSize);
  s->setTickInterval(r.Frequency);
  s->setFocusPolicy(Qt::StrongFocus);
  if (r.Vertical) {
    // A track bar has its minimum at the top, and Up moves the thumb up.
    s->setInvertedAppearance(true);
    s->setInvertedControls(true);
    s->setTickPosition(QSlider::TicksRight);
    s->setMinimumHeight(130);
  } else {
    s->setTickPosition(QSlider::TicksBelow);
  }
  if (IsEqBar(bar)) s->setProperty("tag", BandOf(bar));
  return s;
}

QLabel* MakeLabel(const QString& name, const QString& text, const QFont& font, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->setFont(font);
  l->setAlignment(Qt::AlignCenter);
  return l;
}

QLabel* Caption(const char* text, QWidget* parent) { return new QLabel(Q(text), parent); }

QGroupBox* Group(const char* name, const char* caption, QWidget* parent) {
  auto* g = new QGroupBox(Q(caption), parent);
  g->setObjectName(QString::fromLatin1(name));
  return g;
}

// The screen fonts: every family but the system's private ones.
const QStringList& ScreenFonts() {
  static const QStringList families = [] {
    QStringList list;
    for (const QString& f : QFontDatabase::families())
      if (!QFontDatabase::isPrivateFamily(f)) list << f;
    return list;
  }();
  return families;
}

// cmbox_FontDrawItem: each row in its own face, in the combo's font colour and style,
// on the combo's background, the text 2 pixels from the row's left edge.
class FontRowDelegate : public QStyledItemDelegate {
 public:
  explicit FontRowDelegate(QComboBox* combo) : QStyledItemDelegate(combo), combo_(combo) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QString family = index.data(Qt::DisplayRole).toString();
    const QPalette& pal = combo_->palette();
    p->save();
    const bool selected = option.state & QStyle::State_Selected;
    p->fillRect(option.rect,
                selected ? option.palette.brush(QPalette::Highlight) : pal.brush(QPalette::Base));
    p->setFont(RowFont(family));
    p->setPen(selected ? option.palette.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    p->drawText(option.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                family);
    p->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
    const QString family = index.data(Qt::DisplayRole).toString();
    const QFontMetrics m(RowFont(family));
    return {m.horizontalAdvance(family) + 6, std::max(m.height(), combo_->fontMetrics().height()) + 2};
  }

 private:
  QFont RowFont(const QString& family) const {
    QFont f = combo_->font();
    f.setFamilies({family});
    return f;
  }

  QComboBox* combo_;
};

// Selects `name` in a font combo, adding it first when no installed family has it (a
// name from the settings, drawn through the font substitution), so it is kept.
void SelectFont(QComboBox* combo, const QString& name) {
  int i = combo->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
  if (i < 0) {
    combo->insertItem(0, name);
    i = 0;
  }
  combo->setCurrentIndex(i);
}

}  // namespace

Tfm_Command::Tfm_Command(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("fm_Command"));
  setWindowTitle(QStringLiteral("設定"));

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  // Every tab in sight, so the window is as wide as their captions.
  PageControl1->setUsesScrollButtons(false);
  TabSheet1 = AddPage("TabSheet1", QStringLiteral("ｲｺﾗｲｻﾞ設定"));
  QWidget* TabSheet5 = AddPage("TabSheet5", QStringLiteral("表示設定Ⅰ"));
  QWidget* TabSheet6 = AddPage("TabSheet6", QStringLiteral("表示設定Ⅱ"));
  QWidget* TabSheet2 = AddPage("TabSheet2", QStringLiteral(" 表示設定 Ⅲ"));
  QWidget* TabSheet8 = AddPage("TabSheet8", QStringLiteral("表示設定Ⅳ"));
  QWidget* TabSheet7 = AddPage("TabSheet7", QStringLiteral("歌詞表示設定"));
  TabSheet3 = AddPage("TabSheet3", QStringLiteral("Ovis警報設定"));
  TabSheet4 = AddPage("TabSheet4", Q(kAssociationTabCaption));

  ColorDialog_ = new QColorDialog(this);
  ColorDialog_->setObjectName(QStringLiteral("ColorDialog"));
  // Qt's own dialog: a desktop's dialog would not show the custom colours.
  ColorDialog_->setOption(QColorDialog::DontUseNativeDialog);
  OpenPictureDialog = new QFileDialog(this);
  OpenPictureDialog->setObjectName(QStringLiteral("OpenPictureDialog"));
  OpenPictureDialog->setOption(QFileDialog::DontUseNativeDialog);
  OpenPictureDialog->setFileMode(QFileDialog::ExistingFile);
  OpenPictureDialog->setAcceptMode(QFileDialog::AcceptOpen);
  {
    QStringList patterns;
    for (const QByteArray& f : QImageReader::supportedImageFormats())
      patterns << QStringLiteral("*.") + QString::fromLatin1(f);
    OpenPictureDialog->setNameFilters(
        {QStringLiteral("画像ファイル (%1)").arg(patterns.join(QLatin1Char(' '))),
         QStringLiteral("すべてのファイル (*)")});
  }

  BuildEqualizerTab(TabSheet1);
  BuildDisplay1Tab(TabSheet5);
  BuildDisplay2Tab(TabSheet6);
  BuildDisplay3Tab(TabSheet2);
  BuildDisplay4Tab(TabSheet8);
  BuildLyricTab(TabSheet7);
  BuildAlarmTab(TabSheet3);
  BuildAssociationTab(TabSheet4);
  // The bold and italic boxes add or remove their own style bit in the previews.
  for (int i = 0; i < kFontCombos; ++i)
    for (QCheckBox* b : {boldBoxes_[i], italicBoxes_[i]})
      connect(b, &QCheckBox::toggled, this, &Tfm_Command::ShowPreviews);

  bbtn_Set = new QPushButton(QStringLiteral("設 定"), this);
  bbtn_Set->setObjectName(QStringLiteral("bbtn_Set"));
  bbtn_Cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  bbtn_Cancel->setObjectName(QStringLiteral("bbtn_Cancel"));
  // Enter moves the focus here; it never presses a button.
  for (QPushButton* b : {bbtn_Set, bbtn_Cancel}) b->setAutoDefault(false);
  connect(bbtn_Set, &QPushButton::clicked, this, &Tfm_Command::bbtn_SetClick);
  connect(bbtn_Cancel, &QPushButton::clicked, this, &Tfm_Command::bbtn_CancelClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(bbtn_Set);
  buttons->addWidget(bbtn_Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);

  ownStore_ = std::make_unique<TXdgAssociation>(TXdgAssociation::ForThisProgram());
  association_ = std::make_unique<TAssociation>(*ownStore_);

  connect(PageControl1, &QTabWidget::currentChanged, this, &Tfm_Command::PageControl1Change);
  PageControl1Change();
  FormShow();  // the defaults, until a host is bound
  // Sized with every tab, so showing the alarm tab later keeps all captions in sight.
  setFixedSize(sizeHint());
  PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), false);

  // Key preview: the form sees every key of its controls first.
  qApp->installEventFilter(this);
}

Tfm_Command::Tfm_Command(TSoundDesk& desk, QWidget* parent) : Tfm_Command(parent) { SetSoundDesk(desk); }

Tfm_Command::~Tfm_Command() {
  qApp->removeEventFilter(this);
  if (desk_) desk_->Unlisten(listener_);
}

QWidget* Tfm_Command::AddPage(const char* name, const QString& caption) {
  auto* page = new QWidget(PageControl1);
  page->setObjectName(QString::fromLatin1(name));
  PageControl1->addTab(page, caption);
  return page;
}

QLineEdit* Tfm_Command::MakeNumericEdit(TNumericEdit e, QWidget* parent) {
  const TNumericEditField& field = NumericEditField(e);
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(field.Name));
  edit->setProperty(kNumericProperty, static_cast<int>(e));
  // Fixed pitch, so "%5d" lines its digits up on the right.
  edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (field.Width + 2) + 8);
  numeric_[static_cast<int>(e)] = edit;
  return edit;
}

QLineEdit* Tfm_Command::MakeColorEdit(TColorEdit e, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(kColorEditNames[static_cast<int>(e)]));
  edit->setProperty(kColorProperty, static_cast<int>(e));
  // "\$AAAAAA;1;_": a fixed "$" and six characters, which the key filter and the mask
  // keep to upper-case hexadecimal digits.
  edit->setInputMask(QStringLiteral("\\$>HHHHHH;_"));
  edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 9 + 8);
  edit->setToolTip(QStringLiteral("ダブルクリックで色を選択"));
  colors_[static_cast<int>(e)] = edit;
  connect(edit, &QLineEdit::textChanged, this, [this, e] { ColorEditChange(e); });
  return edit;
}

QComboBox* Tfm_Command::MakeFontCombo(int i, const char* name, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  combo->setItemDelegate(new FontRowDelegate(combo));
  combo->addItems(ScreenFonts());
  combo->setMaxVisibleItems(16);
  combo->setMinimumContentsLength(14);
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  fontCombos_[i] = combo;
  connect(combo, &QComboBox::currentIndexChanged, this, &Tfm_Command::ShowPreviews);
  return combo;
}

QCheckBox* Tfm_Command::MakeCheckBox(const char* name, const QString& text, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

void Tfm_Command::BuildEqualizerTab(QWidget* page) {
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  // Qt's Windows style draws a slider as a track bar: a sunken channel and a pointed
  // thumb over the ticks, without a filled part that would read as a level meter.
  QStyle* trackBar = QStyleFactory::create(QStringLiteral("Windows"));
  if (trackBar) trackBar->setParent(this);
  auto* grid = new QGridLayout(page);
  grid->setHorizontalSpacing(2);
  grid->setVerticalSpacing(2);

  // Columns 0..9 the bands, 10 a gap, 11 the pre-amplifier, 12 the master level.
  const auto column = [&](TDeskBar bar, int col, QLabel* caption) {
    const int i = static_cast<int>(bar);
    values_[i] = MakeLabel(ValueLabelName(bar), QString(), fixed, page);
    values_[i]->setProperty(kFocusBarProperty, i);
    bars_[i] = MakeBar(bar, trackBar, page);
    caption->setProperty(kFocusBarProperty, i);
    grid->addWidget(values_[i], 0, col);
    grid->addWidget(bars_[i], 1, col, Qt::AlignHCenter);
    grid->addWidget(caption, 2, col);
  };
  for (int b = 0; b < kBands; ++b) {
    captions_[b] =
        MakeLabel(QStringLiteral("Label%1").arg(b), QString::fromLatin1(BandCaption(b)), fixed, page);
    column(EqBar(b), b, captions_[b]);
  }
  grid->setColumnMinimumWidth(10, 14);
  lb_PreCaption = MakeLabel(QStringLiteral("lb_PreCaption"), QStringLiteral("Pre"), font(), page);
  column(TDeskBar::tb_PreLevel, 11, lb_PreCaption);
  lb_MasterCaption = MakeLabel(QStringLiteral("lb_MasterCaption"), QStringLiteral("Master"), font(), page);
  column(TDeskBar::tb_MasterLevel, 12, lb_MasterCaption);

  const int balance = static_cast<int>(TDeskBar::tb_Balance);
  auto* balanceCaption =
      MakeLabel(QStringLiteral("lb_BalanceCaption"), QStringLiteral("Balance"), font(), page);
  bars_[balance] = MakeBar(TDeskBar::tb_Balance, trackBar, page);
  values_[balance] = MakeLabel(ValueLabelName(TDeskBar::tb_Balance), QString(), fixed, page);
  bbtn_Flat = new QPushButton(QStringLiteral("Flat"), page);
  bbtn_Flat->setObjectName(QStringLiteral("bbtn_Flat"));
  bbtn_Flat->setToolTip(QStringLiteral("初期設定に戻す"));
  bbtn_Flat->setAutoDefault(false);
  connect(bbtn_Flat, &QPushButton::clicked, this, &Tfm_Command::bbtn_FlatClick);
  grid->setRowMinimumHeight(3, 6);
  grid->addWidget(balanceCaption, 4, 0, 1, 2);
  grid->addWidget(bars_[balance], 4, 2, 1, 7);
  grid->addWidget(values_[balance], 4, 9);
  grid->addWidget(bbtn_Flat, 4, 11, 1, 2);

  for (int i = 0; i < kDeskBars; ++i) {
    const auto bar = static_cast<TDeskBar>(i);
    connect(bars_[i], &QSlider::valueChanged, this, [this, bar](int position) {
      if (desk_) desk_->SetPosition(bar, position);
    });
    bars_[i]->setEnabled(false);
  }
  bbtn_Flat->setEnabled(false);
}

void Tfm_Command::BuildDisplay1Tab(QWidget* page) {
  auto* layout = new QVBoxLayout(page);

  auto* back = Group("gb_Back", "背景", page);
  auto* backGrid = new QGridLayout(back);
  backGrid->addWidget(Caption("背景色", back), 0, 0);
  backGrid->addWidget(MakeColorEdit(TColorEdit::med_BKColor, back), 0, 1);
  backGrid->addWidget(Caption("背景画像", back), 1, 0);
  ed_Picture = new QLineEdit(back);
  ed_Picture->setObjectName(QStringLiteral("ed_Picture"));
  ed_Picture->setToolTip(QStringLiteral("ダブルクリックで画像を選択"));
  backGrid->addWidget(ed_Picture, 1, 1, 1, 4);
  backGrid->setColumnStretch(4, 1);
  layout->addWidget(back);

  auto* title = Group("gb_Title", "タイトル", page);
  auto* titleGrid = new QGridLayout(title);
  titleGrid->addWidget(MakeFontCombo(0, "cmbox_TitleFont", title), 0, 0, 1, 2);
  boldBoxes_[0] = MakeCheckBox("cbx_TitleBold", QStringLiteral("太字"), title);
  italicBoxes_[0] = MakeCheckBox("cbx_TitleItalic", QStringLiteral("斜体"), title);
  titleGrid->addWidget(boldBoxes_[0], 0, 2);
  titleGrid->addWidget(italicBoxes_[0], 0, 3);
  titleGrid->addWidget(Caption("ｱｸﾃｨﾌﾞ色", title), 1, 0);
  titleGrid->addWidget(MakeColorEdit(TColorEdit::med_ActiveTitleColor, title), 1, 1);
  titleGrid->addWidget(Caption("非ｱｸﾃｨﾌﾞ色", title), 1, 2);
  titleGrid->addWidget(MakeColorEdit(TColorEdit::med_DeactiveTitleColor, title), 1, 3);
  titleGrid->setColumnStretch(4, 1);
  layout->addWidget(title);

  auto* frame = Group("gb_Frame", "枠の色", page);
  auto* frameRow = new QHBoxLayout(frame);
  frameRow->addWidget(MakeColorEdit(TColorEdit::med_ActiveFrameColor, frame));
  lb_ActiveFrameColor =
      MakeLabel(QStringLiteral("lb_ActiveFrameColor"), QStringLiteral("ｱｸﾃｨﾌﾞ"), font(), frame);
  lb_ActiveFrameColor->setMinimumWidth(80);
  frameRow->addWidget(lb_ActiveFrameColor);
  frameRow->addSpacing(12);
  frameRow->addWidget(MakeColorEdit(TColorEdit::med_DeactiveFrameColor, frame));
  lb_DeactiveFrameColor =
      MakeLabel(QStringLiteral("lb_DeactiveFrameColor"), QStringLiteral("非ｱｸﾃｨﾌﾞ"), font(), frame);
  lb_DeactiveFrameColor->setMinimumWidth(80);
  frameRow->addWidget(lb_DeactiveFrameColor);
  frameRow->addStretch();
  layout->addWidget(frame);

  auto* labels = Group("gb_LabelColor", "見出しの色", page);
  auto* labelRow = new QHBoxLayout(labels);
  labelRow->addWidget(MakeColorEdit(TColorEdit::med_LabelColor, labels));
  pnl_LabelColor = MakeLabel(QStringLiteral("pnl_LabelColor"), Q(kLabelSample), font(), labels);
  pnl_LabelColor->setFrameShape(QFrame::Panel);
  pnl_LabelColor->setFrameShadow(QFrame::Sunken);
  labelRow->addWidget(pnl_LabelColor, 1);
  layout->addWidget(labels);
  layout->addStretch();
}

void Tfm_Command::BuildDisplay2Tab(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  auto* group = Group("gb_Fonts", "文字", page);
  auto* grid = new QGridLayout(group);
  struct Row {
    int combo;
    const char* caption;
    const char* comboName;
    const char* boldName;
    const char* italicName;
    TColorEdit color;
  };
  const Row rows[] = {
      {1, "アーティスト", "cmbox_ArtistFont", "cbx_ArtistBold", "cbx_ArtistItalic",
       TColorEdit::med_ArtistColor},
      {2, "アルバム", "cmbox_AlbumFont", "cbx_AlbumBold", "cbx_AlbumItalic", TColorEdit::med_AlbumColor},
      {3, "演奏時間", "cmbox_TimeFont", "cbx_TimeBold", "cbx_TimeItalic", TColorEdit::med_TimeColor},
      {4, "時計", "cmbox_CurTimeFont", "cbx_CurTimeBold", "cbx_CurTimeItalic", TColorEdit::med_CurTimeColor},
  };
  int r = 0;
  for (const Row& row : rows) {
    grid->addWidget(Caption(row.caption, group), r, 0);
    grid->addWidget(MakeFontCombo(row.combo, row.comboName, group), r, 1);
    boldBoxes_[row.combo] = MakeCheckBox(row.boldName, QStringLiteral("太字"), group);
    italicBoxes_[row.combo] = MakeCheckBox(row.italicName, QStringLiteral("斜体"), group);
    grid->addWidget(boldBoxes_[row.combo], r, 2);
    grid->addWidget(italicBoxes_[row.combo], r, 3);
    grid->addWidget(Caption("色", group), r, 4);
    grid->addWidget(MakeColorEdit(row.color, group), r, 5);
    ++r;
  }
  cbx_CurTimeShowSec = MakeCheckBox("cbx_CurTimeShowSec", QStringLiteral("秒も表示する"), group);
  grid->addWidget(cbx_CurTimeShowSec, r, 1);
  grid->setColumnStretch(6, 1);
  layout->addWidget(group);
  layout->addStretch();
}

void Tfm_Command::BuildDisplay3Tab(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  auto* files = Group("gb_PlayFileList", "プレイファイルリスト", page);
  auto* fileGrid = new QGridLayout(files);
  fileGrid->addWidget(Caption("表示する親フォルダの数", files), 0, 0);
  fileGrid->addWidget(MakeNumericEdit(TNumericEdit::ed_FLFLimit, files), 0, 1);
  fileGrid->addWidget(Caption("ヒントの文字サイズに足す値", files), 1, 0);
  fileGrid->addWidget(MakeNumericEdit(TNumericEdit::ed_FLHFontPlus, files), 1, 1);
  cb_FLHFontBold = MakeCheckBox("cb_FLHFontBold", QStringLiteral("太字"), files);
  fileGrid->addWidget(cb_FLHFontBold, 1, 2);
  fileGrid->setColumnStretch(3, 1);
  layout->addWidget(files);

  auto* list = Group("gb_PlayList", "プレイリスト", page);
  auto* listGrid = new QGridLayout(list);
  listGrid->addWidget(Caption("表示する親フォルダの数（フォルダ）", list), 0, 0);
  listGrid->addWidget(MakeNumericEdit(TNumericEdit::ed_PLDLimit, list), 0, 1);
  listGrid->addWidget(Caption("表示する親フォルダの数（ファイル）", list), 1, 0);
  listGrid->addWidget(MakeNumericEdit(TNumericEdit::ed_PLFLimit, list), 1, 1);
  listGrid->setColumnStretch(2, 1);
  layout->addWidget(list);
  layout->addStretch();
}

void Tfm_Command::BuildDisplay4Tab(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  auto* title = Group("gb_TitleAdd", "タイトル表示に加える", page);
  auto* titleBox = new QVBoxLayout(title);
  cbx_TitleAddTrack = MakeCheckBox("cbx_TitleAddTrack", QStringLiteral("タイトルにトラック番号"), title);
  cbx_ArtistAddYear = MakeCheckBox("cbx_ArtistAddYear", QStringLiteral("アーティストに年"), title);
  titleBox->addWidget(cbx_TitleAddTrack);
  titleBox->addWidget(cbx_ArtistAddYear);
  layout->addWidget(title);

  auto* info = Group("gb_InfoAdd", "情報表示に加える", page);
  auto* infoRow = new QHBoxLayout(info);
  cbx_InfoAddTitle = MakeCheckBox("cbx_InfoAddTitle", QStringLiteral("タイトル"), info);
  cbx_InfoAddArtist = MakeCheckBox("cbx_InfoAddArtist", QStringLiteral("アーティスト"), info);
  cbx_InfoAddAlbum = MakeCheckBox("cbx_InfoAddAlbum", QStringLiteral("アルバム"), info);
  cbx_InfoAddYear = MakeCheckBox("cbx_InfoAddYear", QStringLiteral("年"), info);
  for (QCheckBox* b : {cbx_InfoAddTitle, cbx_InfoAddArtist, cbx_InfoAddAlbum, cbx_InfoAddYear})
    infoRow->addWidget(b);
  infoRow->addStretch();
  layout->addWidget(info);
  layout->addStretch();
}

void Tfm_Command::BuildLyricTab(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  auto* place = Group("gb_LyricPos", "表示位置", page);
  auto* placeGrid = new QGridLayout(place);
  const auto radio = [place](const char* name, const char* text) {
    auto* r = new QRadioButton(Q(text), place);
    r->setObjectName(QString::fromLatin1(name));
    return r;
  };
  rb_LyricBottom = radio("rb_LyricBottom", "下");
  rb_LyricLeft = radio("rb_LyricLeft", "左");
  rb_LyricRight = radio("rb_LyricRight", "右");
  rb_LyricTop = radio("rb_LyricTop", "上");
  placeGrid->addWidget(rb_LyricBottom, 0, 0);
  placeGrid->addWidget(rb_LyricLeft, 0, 1);
  placeGrid->addWidget(rb_LyricRight, 0, 2);
  placeGrid->addWidget(rb_LyricTop, 0, 3);
  cbx_LyricWindowWidth = MakeCheckBox("cbx_LyricWindowWidth", QStringLiteral("幅を制限する"), place);
  cbx_DeActiveLyricOff = MakeCheckBox("cbx_DeActiveLyricOff", QStringLiteral("非ｱｸﾃｨﾌﾞ時 表示しない"), place);
  placeGrid->addWidget(cbx_LyricWindowWidth, 0, 4);
  placeGrid->addWidget(cbx_DeActiveLyricOff, 0, 5);
  placeGrid->addWidget(Caption("左右の行数", place), 1, 0, 1, 2);
  placeGrid->addWidget(MakeNumericEdit(TNumericEdit::ed_LyricLine, place), 1, 2);
  placeGrid->addWidget(Caption("大画面の文字サイズ", place), 1, 4);
  placeGrid->addWidget(MakeNumericEdit(TNumericEdit::ed_KSLyricFontSize, place), 1, 5, Qt::AlignLeft);
  placeGrid->setColumnStretch(6, 1);
  layout->addWidget(place);

  auto* look = Group("gb_LyricFont", "文字", page);
  auto* lookGrid = new QGridLayout(look);
  lookGrid->addWidget(MakeFontCombo(kLyricFontCombo, "cmbox_LyricFont", look), 0, 0, 1, 2);
  boldBoxes_[kLyricFontCombo] = MakeCheckBox("cbx_LyricBold", QStringLiteral("太字"), look);
  italicBoxes_[kLyricFontCombo] = MakeCheckBox("cbx_LyricItalic", QStringLiteral("斜体"), look);
  lookGrid->addWidget(boldBoxes_[kLyricFontCombo], 0, 2);
  lookGrid->addWidget(italicBoxes_[kLyricFontCombo], 0, 3);
  lookGrid->addWidget(Caption("サイズ", look), 0, 4);
  lookGrid->addWidget(MakeNumericEdit(TNumericEdit::ed_LyricFontSize, look), 0, 5);
  lookGrid->addWidget(Caption("背景色", look), 1, 0);
  lookGrid->addWidget(MakeColorEdit(TColorEdit::med_LyricBackColor, look), 1, 1);
  lookGrid->addWidget(Caption("ｱｸﾃｨﾌﾞ色", look), 1, 2);
  lookGrid->addWidget(MakeColorEdit(TColorEdit::med_LyricColor, look), 1, 3);
  lookGrid->addWidget(Caption("非ｱｸﾃｨﾌﾞ色", look), 1, 4);
  lookGrid->addWidget(MakeColorEdit(TColorEdit::med_LyricDeactiveColor, look), 1, 5);
  lookGrid->setColumnStretch(6, 1);

  lb_LyricSample =
      MakeLabel(QStringLiteral("lb_LyricSample"), QStringLiteral("こんな感じです"), font(), look);
  // Room for the largest sample size, so the window keeps its size.
  lb_LyricSample->setFixedHeight(64);
  lb_LyricSample->setMinimumWidth(360);
  lb_ActiveSample = MakeLabel(QStringLiteral("lb_ActiveSample"), QStringLiteral("ｱｸﾃｨﾌﾞ色"), font(), look);
  lb_DeActiveSample =
      MakeLabel(QStringLiteral("lb_DeActiveSample"), QStringLiteral("非ｱｸﾃｨﾌﾞ色"), font(), look);
  auto* samples = new QHBoxLayout;
  samples->setSpacing(0);
  samples->addWidget(lb_LyricSample, 3);
  auto* small = new QVBoxLayout;
  small->setSpacing(0);
  small->addWidget(lb_ActiveSample);
  small->addWidget(lb_DeActiveSample);
  samples->addLayout(small, 1);
  lookGrid->addLayout(samples, 2, 0, 1, 7);
  layout->addWidget(look);
  layout->addStretch();
}

void Tfm_Command::BuildAlarmTab(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  auto* group = Group("gb_Alarm", "警報", page);
  auto* grid = new QGridLayout(group);
  struct Row {
    TNumericEdit edit;
    const char* caption;
    const char* unit;
  };
  const Row rows[] = {
      {TNumericEdit::ed_Distance, "警報を始める距離", "m"},
      {TNumericEdit::ed_Velocity, "警報を止める速度", "km/h"},
      {TNumericEdit::ed_AimDegree, "進行方向とオービスの向きの差", "度"},
      {TNumericEdit::ed_OpsDegree, "進行方向とオービスの方角の差", "度"},
      {TNumericEdit::ed_PlaySoundInterval, "音声警告の間隔", "秒"},
      {TNumericEdit::ed_PreLevelDownVal, "音声警告中に下げる音量", ""},
  };
  int r = 0;
  for (const Row& row : rows) {
    grid->addWidget(Caption(row.caption, group), r, 0);
    grid->addWidget(MakeNumericEdit(row.edit, group), r, 1);
    grid->addWidget(Caption(row.unit, group), r, 2);
    ++r;
  }
  grid->setColumnStretch(3, 1);
  layout->addWidget(group);
  bbtn_Default = new QPushButton(QStringLiteral("規定値"), page);
  bbtn_Default->setObjectName(QStringLiteral("bbtn_Default"));
  bbtn_Default->setToolTip(QStringLiteral("初期設定に戻す"));
  bbtn_Default->setAutoDefault(false);
  connect(bbtn_Default, &QPushButton::clicked, this, &Tfm_Command::bbtn_DefaultClick);
  auto* row = new QHBoxLayout;
  row->addWidget(bbtn_Default);
  row->addStretch();
  layout->addLayout(row);
  layout->addStretch();
}

void Tfm_Command::BuildAssociationTab(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  int n = 1;
  for (const char* line : kAssociationExplanation) {
    auto* l = new QLabel(Q(line), page);
    l->setObjectName(QStringLiteral("lb_LinkText%1").arg(n++));
    layout->addWidget(l);
  }
  // The third text label shows the version window too.
  lb_LinkText3 = page->findChild<QLabel*>(QStringLiteral("lb_LinkText3"));

  auto* group = Group("gb_LinkStatus", kAssociationGroupCaption, page);
  auto* status = new QVBoxLayout(group);
  lb_pdrStatus = new QLabel(group);
  lb_pdrStatus->setObjectName(QStringLiteral("lb_pdrStatus"));
  lb_pflStatus = new QLabel(group);
  lb_pflStatus->setObjectName(QStringLiteral("lb_pflStatus"));
  status->addWidget(lb_pdrStatus);
  status->addWidget(lb_pflStatus);
  layout->addWidget(group);

  bbtn_LinkSet = new QPushButton(Q(kLinkSetCaption), page);
  bbtn_LinkSet->setObjectName(QStringLiteral("bbtn_LinkSet"));
  bbtn_LinkReset = new QPushButton(Q(kLinkResetCaption), page);
  bbtn_LinkReset->setObjectName(QStringLiteral("bbtn_LinkReset"));
  for (QPushButton* b : {bbtn_LinkSet, bbtn_LinkReset}) b->setAutoDefault(false);
  connect(bbtn_LinkSet, &QPushButton::clicked, this, &Tfm_Command::bbtn_LinkSetClick);
  connect(bbtn_LinkReset, &QPushButton::clicked, this, &Tfm_Command::bbtn_LinkResetClick);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(bbtn_LinkSet);
  buttons->addWidget(bbtn_LinkReset);
  buttons->addStretch();
  layout->addLayout(buttons);
  layout->addStretch();

  // The program's name and version; a double click shows the version window.
  lb_Title = new QLabel(Q(kProgramCaption), page);
  lb_Title->setObjectName(QStringLiteral("lb_Title"));
  QFont big = lb_Title->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.3);
  lb_Title->setFont(big);
  lb_Version = new QLabel(Q(kVersionText), page);
  lb_Version->setObjectName(QStringLiteral("lb_Version"));
  auto* about = new QHBoxLayout;
  about->addStretch();
  about->addWidget(lb_Title);
  about->addWidget(lb_Version, 0, Qt::AlignBottom);
  layout->addLayout(about);
}

void Tfm_Command::SetSoundDesk(TSoundDesk& desk) {
  if (desk_) desk_->Unlisten(listener_);
  desk_ = &desk;
  listener_ = desk.Listen([this](TDeskBar bar) { ShowBar(bar); });
  desk.Load();
  for (QSlider* s : bars_) s->setEnabled(true);
  bbtn_Flat->setEnabled(true);
  ShowAll();
}

void Tfm_Command::SetHost(TCommandFormHost& host) {
  host_ = &host;
  // FormCreate: the colour dialog's custom colours.
  const TCustomColors colors = ParseCustomColors(host.CommandValues().ColorDialogOption);
  for (int i = 0; i < kCustomColors; ++i) QColorDialog::setCustomColor(i, ToQColor(colors[i]));
  customColors_ = FormatCustomColors(colors);
  if (isVisible()) FormShow();
}

void Tfm_Command::SetAssociationStore(TAssociationStore& store) {
  association_ = std::make_unique<TAssociation>(store);
  ownStore_.reset();
  if (isVisible()) ShowAssociationStatus();
}

void Tfm_Command::SetAlarmTabVisible(bool visible) {
  PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), visible);
}

bool Tfm_Command::AlarmTabVisible() const {
  return PageControl1->isTabVisible(PageControl1->indexOf(TabSheet3));
}

void Tfm_Command::ShowBar(TDeskBar bar) {
  const int i = static_cast<int>(bar);
  const QSignalBlocker quiet(bars_[i]);
  bars_[i]->setValue(desk_->Position(bar));
  values_[i]->setText(QString::fromStdString(desk_->Label(bar)));
}

void Tfm_Command::ShowAll() {
  for (int i = 0; i < kDeskBars; ++i) ShowBar(static_cast<TDeskBar>(i));
}

bool Tfm_Command::EqTabActive() const { return PageControl1->currentWidget() == TabSheet1; }

void Tfm_Command::PageControl1Change() {
  const QWidget* page = PageControl1->currentWidget();
  const bool shown = page != TabSheet1 && page != TabSheet4;
  bbtn_Set->setVisible(shown);
  bbtn_Cancel->setVisible(shown);
}

void Tfm_Command::showEvent(QShowEvent* event) {
  FormShow();
  QWidget::showEvent(event);
}

void Tfm_Command::hideEvent(QHideEvent* event) {
  if (version_) version_->hide();
  keyboard_.FocusLost();
  QWidget::hideEvent(event);
}

void Tfm_Command::FormShow() {
  const TCommandValues v = host_ ? host_->CommandValues() : TCommandValues{};
  preview_ = v;
  edits_.Load(v);
  for (int i = 0; i < kNumericEdits; ++i) numeric_[i]->setText(Q(edits_.Text(static_cast<TNumericEdit>(i))));

  {
    // The texts first, the previews once at the end.
    std::array<std::unique_ptr<QSignalBlocker>, kColorEdits> quiet;
    for (int i = 0; i < kColorEdits; ++i) quiet[i] = std::make_unique<QSignalBlocker>(colors_[i]);
    const auto text = [this](TColorEdit e, TColor c) { ColorEdit(e)->setText(Q(FormatColorText(c))); };
    using C = TColorEdit;
    text(C::med_BKColor, v.BackColor);
    text(C::med_ActiveTitleColor, v.ActiveTitleFontColor);
    text(C::med_DeactiveTitleColor, v.DeactiveTitleFontColor);
    text(C::med_ActiveFrameColor, v.ActiveFrameColor);
    text(C::med_DeactiveFrameColor, v.DeactiveFrameColor);
    text(C::med_LabelColor, v.LabelFontColor);
    text(C::med_ArtistColor, v.Font(TLabelFont::kArtist).Color);
    text(C::med_AlbumColor, v.Font(TLabelFont::kAlbum).Color);
    text(C::med_TimeColor, v.Font(TLabelFont::kPlayTime).Color);
    text(C::med_CurTimeColor, v.Font(TLabelFont::kClock).Color);
    text(C::med_LyricBackColor, v.Lyric.LyricBackColor);
    text(C::med_LyricColor, v.Lyric.LyricFontColor);
    text(C::med_LyricDeactiveColor, v.Lyric.LyricDeActiveFontColor);

    for (int i = 0; i < kFontCombos; ++i) {
      const QSignalBlocker q1(fontCombos_[i]), q2(boldBoxes_[i]), q3(italicBoxes_[i]);
      const bool lyric = i == kLyricFontCombo;
      const TTextFont& f = lyric ? TTextFont{v.Lyric.LyricFontName, v.Lyric.LyricFontColor,
                                             v.Lyric.LyricFontBold, v.Lyric.LyricFontItalic}
                                 : v.Fonts[i];
      SelectFont(fontCombos_[i], Q(f.Name));
      boldBoxes_[i]->setChecked(f.Bold);
      italicBoxes_[i]->setChecked(f.Italic);
    }
  }
  ed_Picture->setText(Q(v.BackPictureFileName));
  cbx_CurTimeShowSec->setChecked(v.CurTimeShowSec);
  cb_FLHFontBold->setChecked(v.Lists.FLHFontBold);
  cbx_TitleAddTrack->setChecked(v.Additions.TitleAddTrack);
  cbx_ArtistAddYear->setChecked(v.Additions.ArtistAddYear);
  cbx_InfoAddTitle->setChecked(v.Additions.InfoAddTitle);
  cbx_InfoAddArtist->setChecked(v.Additions.InfoAddArtist);
  cbx_InfoAddAlbum->setChecked(v.Additions.InfoAddAlbum);
  cbx_InfoAddYear->setChecked(v.Additions.InfoAddYear);
  // A stored position none of the buttons stands for leaves them all unchecked.
  const QRadioButton* const radios[] = {rb_LyricBottom, rb_LyricLeft, rb_LyricRight, rb_LyricTop};
  for (int i = 0; i < 4; ++i) {
    auto* r = const_cast<QRadioButton*>(radios[i]);
    r->setAutoExclusive(false);
    r->setChecked(i == v.LyricPlacement.LyricPos);
    r->setAutoExclusive(true);
  }
  cbx_LyricWindowWidth->setChecked(v.LyricPlacement.LyricWinWidthLimited);
  cbx_DeActiveLyricOff->setChecked(v.LyricPlacement.DeActiveLyricOff);
  ShowPreviews();
  ShowAssociationStatus();
}

void Tfm_Command::ShowPreviews() {
  TColor titleColor = preview_.ActiveTitleFontColor;
  if (deactiveTitleFocused_)
    if (const auto c =
            ParseColorText(ColorEdit(TColorEdit::med_DeactiveTitleColor)->displayText().toStdString()))
      titleColor = *c;
  for (int i = 0; i < kFontCombos; ++i) {
    QComboBox* combo = fontCombos_[i];
    QFont f = font();
    f.setFamilies({combo->currentText()});
    f.setBold(boldBoxes_[i]->isChecked());
    f.setItalic(italicBoxes_[i]->isChecked());
    combo->setFont(f);
    const auto label = static_cast<TLabelFont>(i);
    if (i == kLyricFontCombo) continue;  // the samples below show the lyric's colours
    const TColor text = label == TLabelFont::kTitle ? titleColor : preview_.Font(label).Color;
    // On the window's colour, as the main window draws them; the light colours of the
    // times would not read on a combo's own white.
    PaintColors(combo, &preview_.BackColor, text);
    combo->view()->setPalette(combo->palette());
  }
  PaintColors(pnl_LabelColor, &preview_.BackColor, preview_.LabelFontColor);
  const TColor inverseActive = InverseColor(preview_.ActiveFrameColor);
  const TColor inverseDeactive = InverseColor(preview_.DeactiveFrameColor);
  PaintColors(lb_ActiveFrameColor, &preview_.ActiveFrameColor, inverseActive);
  PaintColors(lb_DeactiveFrameColor, &preview_.DeactiveFrameColor, inverseDeactive);

  const TLyricLook& lyric = preview_.Lyric;
  QFont sample = font();
  sample.setFamilies({fontCombos_[kLyricFontCombo]->currentText()});
  sample.setBold(boldBoxes_[kLyricFontCombo]->isChecked());
  sample.setItalic(italicBoxes_[kLyricFontCombo]->isChecked());
  lb_ActiveSample->setFont(sample);
  lb_DeActiveSample->setFont(sample);
  sample.setPointSize(edits_.Value(TNumericEdit::ed_LyricFontSize));
  lb_LyricSample->setFont(sample);
  PaintColors(lb_LyricSample, &lyric.LyricBackColor, lyric.LyricFontColor);
  PaintColors(lb_ActiveSample, &lyric.LyricBackColor, lyric.LyricFontColor);
  PaintColors(lb_DeActiveSample, &lyric.LyricBackColor, lyric.LyricDeActiveFontColor);
}

void Tfm_Command::ColorEditChange(TColorEdit e) {
  const std::optional<TColor> c = ParseColorText(ColorEdit(e)->displayText().toStdString());
  if (!c) return;  // blanks still in it: the preview keeps its colour
  using C = TColorEdit;
  TCommandValues& p = preview_;
  switch (e) {
    case C::med_BKColor:
      p.BackColor = *c;
      break;
    case C::med_ActiveTitleColor:
      p.ActiveTitleFontColor = *c;
      break;
    case C::med_DeactiveTitleColor:
      p.DeactiveTitleFontColor = *c;
      break;
    case C::med_ActiveFrameColor:
      p.ActiveFrameColor = *c;
      break;
    case C::med_DeactiveFrameColor:
      p.DeactiveFrameColor = *c;
      break;
    case C::med_LabelColor:
      p.LabelFontColor = *c;
      break;
    case C::med_ArtistColor:
      p.Font(TLabelFont::kArtist).Color = *c;
      break;
    case C::med_AlbumColor:
      p.Font(TLabelFont::kAlbum).Color = *c;
      break;
    case C::med_TimeColor:
      p.Font(TLabelFont::kPlayTime).Color = *c;
      break;
    case C::med_CurTimeColor:
      p.Font(TLabelFont::kClock).Color = *c;
      break;
    case C::med_LyricBackColor:
      p.Lyric.LyricBackColor = *c;
      break;
    case C::med_LyricColor:
      p.Lyric.LyricFontColor = *c;
      break;
    case C::med_LyricDeactiveColor:
      p.Lyric.LyricDeActiveFontColor = *c;
      break;
  }
  ShowPreviews();
}

bool Tfm_Command::ColorEditKey(QLineEdit* edit, const QKeyEvent& key) {
  const QString text = key.text();
  if (text.isEmpty() || (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier))) return false;
  // Editing keys (BackSpace, Delete, Tab …) carry control characters or none.
  const char32_t ch = text.toUcs4().value(0);
  if (ch < 0x20 || ch == 0x7F) return false;
  const char32_t kept = FilterColorKey(ch);
  if (!kept) return true;
  if (kept != ch) {
    edit->insert(QString::fromUcs4(&kept, 1));
    return true;
  }
  return false;
}

void Tfm_Command::ColorEditDblClick(QLineEdit* edit) {
  if (const auto c = ParseColorText(edit->displayText().toStdString()))
    ColorDialog_->setCurrentColor(ToQColor(*c));
  // Beside the settings window, where it hides none of the previews.
  const QRect g = frameGeometry();
  ColorDialog_->adjustSize();
  ColorDialog_->move(g.right() + 1 - ColorDialog_->width() / 2, g.top() + 20);
  const bool ok = ColorDialog_->exec() == QDialog::Accepted;
  if (ok) edit->setText(Q(FormatColorText(FromQColor(ColorDialog_->selectedColor()))));
  TCustomColors colors;
  for (int i = 0; i < kCustomColors; ++i) colors[i] = FromQColor(QColorDialog::customColor(i));
  const std::string text = FormatCustomColors(colors);
  if (text != customColors_) {
    customColors_ = text;
    if (host_) host_->StoreColorDialogOption(text);
  }
}

void Tfm_Command::ed_PictureDblClick() {
  const QString home = host_ ? Q(host_->HomeDir()) : QDir::homePath();
  QString dir = home;
  if (!ed_Picture->text().isEmpty()) {
    const QFileInfo current(QDir(home), ed_Picture->text());
    if (current.absoluteDir().exists()) dir = current.absolutePath();
  }
  OpenPictureDialog->setDirectory(dir);
  if (OpenPictureDialog->exec() != QDialog::Accepted) return;
  const QStringList files = OpenPictureDialog->selectedFiles();
  if (!files.isEmpty()) ed_Picture->setText(files.first());
}

bool Tfm_Command::NumericEditExit(QLineEdit* edit, TNumericEdit e) {
  const bool ok = edits_.Check(e, edit->text().toStdString());
  edit->setText(Q(edits_.Text(e)));
  if (e == TNumericEdit::ed_LyricFontSize) ShowPreviews();
  if (!ok) RefuseExit(edit, Q(kNotAnIntegerText));
  return ok;
}

bool Tfm_Command::ColorEditExit(QLineEdit* edit) {
  if (ParseColorText(edit->displayText().toStdString())) return true;
  RefuseExit(edit, Q(kIncompleteColorText));
  return false;
}

void Tfm_Command::RefuseExit(QLineEdit* edit, const QString& text) {
  input::WarningBeep();
  refusing_ = edit;
  // After the focus change that is going on: a modal box inside it would leave the
  // control that took the focus (a pressed button) half-way.
  QTimer::singleShot(0, this, [this, edit = QPointer<QLineEdit>(edit), text] {
    if (isVisible() && edit) {
      QMessageBox box(QMessageBox::Warning, Q(kInputErrorCaption), text, QMessageBox::Ok, this);
      box.exec();
    }
    refusing_ = nullptr;
    if (isVisible() && edit) {
      activateWindow();
      edit->setFocus(Qt::OtherFocusReason);
    }
  });
}

void Tfm_Command::bbtn_FlatClick() {
  if (desk_) desk_->Flat();
}

TCommandValues Tfm_Command::EditedValues() const {
  TCommandValues v = preview_;
  edits_.Store(v);
  v.Lists.FLHFontBold = cb_FLHFontBold->isChecked();
  v.BackPictureFileName = ed_Picture->text().toStdString();
  if (const auto c =
          ParseColorText(ColorEdit(TColorEdit::med_DeactiveTitleColor)->displayText().toStdString()))
    v.DeactiveTitleFontColor = *c;
  for (int i = 0; i < kLabelFonts; ++i) {
    v.Fonts[i].Name = fontCombos_[i]->currentText().toStdString();
    v.Fonts[i].Bold = boldBoxes_[i]->isChecked();
    v.Fonts[i].Italic = italicBoxes_[i]->isChecked();
  }
  v.CurTimeShowSec = cbx_CurTimeShowSec->isChecked();
  v.LyricPlacement.LyricPos =
      LyricPosFromRadios(rb_LyricBottom->isChecked(), rb_LyricLeft->isChecked(), rb_LyricRight->isChecked(),
                         rb_LyricTop->isChecked(), preview_.LyricPlacement.LyricPos);
  v.LyricPlacement.LyricWinWidthLimited = cbx_LyricWindowWidth->isChecked();
  v.LyricPlacement.DeActiveLyricOff = cbx_DeActiveLyricOff->isChecked();
  v.Lyric.LyricFontName = fontCombos_[kLyricFontCombo]->currentText().toStdString();
  v.Lyric.LyricFontBold = boldBoxes_[kLyricFontCombo]->isChecked();
  v.Lyric.LyricFontItalic = italicBoxes_[kLyricFontCombo]->isChecked();
  v.Additions = {cbx_TitleAddTrack->isChecked(), cbx_ArtistAddYear->isChecked(),
                 cbx_InfoAddTitle->isChecked(),  cbx_InfoAddArtist->isChecked(),
                 cbx_InfoAddAlbum->isChecked(),  cbx_InfoAddYear->isChecked()};
  return v;
}

void Tfm_Command::bbtn_SetClick() {
  if (refusing_) return;  // an edit refused to be left; its message comes first
  if (!host_) {
    Q_EMIT CloseRequested();
    return;
  }
  const TCommandValues edited = EditedValues();
  ApplyCommandSettings(host_->CommandValues(), edited, *host_);
}

void Tfm_Command::bbtn_CancelClick() {
  if (refusing_) return;
  Q_EMIT CloseRequested();
}

void Tfm_Command::bbtn_DefaultClick() {
  edits_.Default();
  for (int i = 0; i < kNumericEdits; ++i)
    if (NumericEditField(static_cast<TNumericEdit>(i)).HasDefault)
      numeric_[i]->setText(Q(edits_.Text(static_cast<TNumericEdit>(i))));
}

void Tfm_Command::ShowAssociationStatus() { ShowStatus(association_->UpdateAssociationStatus()); }

void Tfm_Command::ShowStatus(const TAssociationStatus& s) {
  lb_pdrStatus->setText(Q(s.pdrStatus));
  lb_pflStatus->setText(Q(s.pflStatus));
  bbtn_LinkSet->setEnabled(s.linkSetEnabled);
  bbtn_LinkReset->setEnabled(s.linkResetEnabled);
}

void Tfm_Command::bbtn_LinkSetClick() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = association_->LinkSetClick();
  QApplication::restoreOverrideCursor();
  LinkButtonDone(ok);
}

void Tfm_Command::bbtn_LinkResetClick() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = association_->LinkResetClick();
  QApplication::restoreOverrideCursor();
  LinkButtonDone(ok);
}

void Tfm_Command::LinkButtonDone(bool ok) {
  // A failed step leaves the status as it was shown, and says why; a note on success
  // (a refresh tool missing) goes to the log.
  const std::string& message = association_->Message();
  if (!ok) {
    QMessageBox::warning(this, Q(kProgramCaption), Q(message));
    return;
  }
  if (!message.empty()) std::fprintf(stderr, "sorrel: %s\n", message.c_str());
  ShowStatus(association_->Status());
}

void Tfm_Command::lb_TitleDblClick() {
  if (!version_) return;
  const QRect g = frameGeometry();
  const QSize own = version_->frameGeometry().size();
  version_->move(g.left() + (g.width() - own.width()) / 2, g.top() + 20);
  version_->show();
  version_->raise();
  version_->activateWindow();
}

void Tfm_Command::LabelClick(QLabel* label) {
  const QVariant bar = label->property(kFocusBarProperty);
  if (bar.isValid()) bars_[bar.toInt()]->setFocus(Qt::MouseFocusReason);
}

bool Tfm_Command::FormKeyDown(const QKeyEvent& event) {
  const input::TKeyStroke stroke = keyboard_.KeyDown(event);
  const input::TKeypadChordKeys held = keyboard_.Held().ChordKeys();
  TCommandKey key;
  key.Key = stroke.vk;
  key.Shift = stroke.modifiers.shift;
  key.Ctrl = stroke.modifiers.ctrl;
  key.Alt = stroke.modifiers.alt;
  key.SlashHeld = held.slash;
  key.BackHeld = held.backSpace;
  key.EqTabActive = EqTabActive();
  const TCommandKeyResult r = CommandFormKey(key);
  switch (r.Action) {
    case TCommandKeyAction::kNone:
      return false;
    case TCommandKeyAction::kFocusNext:
    case TCommandKeyAction::kFocusPrevious:
      focusNextPrevChild(r.Action == TCommandKeyAction::kFocusNext);
      return true;
    case TCommandKeyAction::kClose:
      Q_EMIT CloseRequested();
      return true;
    case TCommandKeyAction::kStorePreset:
      Q_EMIT StoreEqPreset(r.Preset);
      return true;
    case TCommandKeyAction::kRecallPreset:
      Q_EMIT RecallEqPreset(r.Preset);
      return true;
  }
  return false;
}

bool Tfm_Command::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::MouseButtonRelease &&
      type != QEvent::MouseButtonDblClick && type != QEvent::FocusIn && type != QEvent::FocusOut)
    return false;
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || w->window() != this) return false;
  auto* edit = qobject_cast<QLineEdit*>(w);
  const QVariant numeric = edit ? edit->property(kNumericProperty) : QVariant();
  const QVariant color = edit ? edit->property(kColorProperty) : QVariant();
  const bool deactiveTitle =
      color.isValid() && color.toInt() == static_cast<int>(TColorEdit::med_DeactiveTitleColor);

  switch (type) {
    case QEvent::FocusIn:
      // Each numeric edit selects its whole text when entered or clicked.
      if (numeric.isValid()) QTimer::singleShot(0, edit, &QLineEdit::selectAll);
      if (deactiveTitle) {
        deactiveTitleFocused_ = true;
        ShowPreviews();
      }
      return false;
    case QEvent::FocusOut: {
      if (deactiveTitle) {
        deactiveTitleFocused_ = false;
        ShowPreviews();
      }
      // Leaving for another control of this window; not the window losing the keyboard.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || !isVisible() ||
          refusing_)
        return false;
      if (numeric.isValid())
        NumericEditExit(edit, static_cast<TNumericEdit>(numeric.toInt()));
      else if (color.isValid())
        ColorEditExit(edit);
      return false;
    }
    case QEvent::MouseButtonDblClick:
      if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
      if (color.isValid()) {
        ColorEditDblClick(edit);
        return true;
      }
      if (edit && edit == ed_Picture) {
        ed_PictureDblClick();
        return true;
      }
      if (w == lb_Title || w == lb_Version || w == lb_LinkText3) {
        lb_TitleDblClick();
        return true;
      }
      return false;
    case QEvent::MouseButtonRelease: {
      if (numeric.isValid()) QTimer::singleShot(0, edit, &QLineEdit::selectAll);
      auto* label = qobject_cast<QLabel*>(w);
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (label && mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint()))
        LabelClick(label);
      return false;
    }
    case QEvent::KeyRelease: {
      // X sends a release before every repeated press; Windows sends none.
      const auto* key = static_cast<QKeyEvent*>(event);
      if (!key->isAutoRepeat()) keyboard_.KeyUp(*key);
      return false;
    }
    default: {
      // An ignored key goes on to the parent and comes here again: pressing and
      // releasing a held key twice leaves the same state, and a used key stops at once.
      const auto* key = static_cast<QKeyEvent*>(event);
      if (FormKeyDown(*key)) return true;
      return color.isValid() && ColorEditKey(edit, *key);
    }
  }
}

void Tfm_Command::changeEvent(QEvent* event) {
  // Releases may never come while another window has the keyboard.
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) keyboard_.FocusLost();
  QWidget::changeEvent(event);
}

}  // namespace sorrel::settings
