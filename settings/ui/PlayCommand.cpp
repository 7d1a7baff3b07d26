#include "settings/ui/PlayCommand.h"

#include "settings/core/CommandKeys.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QVBoxLayout>

namespace sorrel::settings {
namespace {

// The bar a label's click focuses.
const char* const kFocusBarProperty = "focusBar";

const char* const kBarNames[kDeskBars] = {"tb_EQ0",      "tb_EQ1",         "tb_EQ2",    "tb_EQ3", "tb_EQ4",
                                          "tb_EQ5",      "tb_EQ6",         "tb_EQ7",    "tb_EQ8", "tb_EQ9",
                                          "tb_PreLevel", "tb_MasterLevel", "tb_Balance"};

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

}  // namespace

Tfm_Command::Tfm_Command(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("fm_Command"));
  setWindowTitle(QStringLiteral("設定"));

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  // Every tab in sight, so the window is as wide as their captions.
  PageControl1->setUsesScrollButtons(false);
  TabSheet1 = AddPage("TabSheet1", QStringLiteral("ｲｺﾗｲｻﾞ設定"));
  AddPage("TabSheet5", QStringLiteral("表示設定Ⅰ"));
  AddPage("TabSheet6", QStringLiteral("表示設定Ⅱ"));
  AddPage("TabSheet2", QStringLiteral(" 表示設定 Ⅲ"));
  AddPage("TabSheet8", QStringLiteral("表示設定Ⅳ"));
  AddPage("TabSheet7", QStringLiteral("歌詞表示設定"));
  AddPage("TabSheet3", QStringLiteral("Ovis警報設定"));
  AddPage("TabSheet4", QStringLiteral(" 関連付け "));
  BuildEqualizerTab(TabSheet1);

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

  connect(PageControl1, &QTabWidget::currentChanged, this, &Tfm_Command::PageControl1Change);
  PageControl1Change();
  setFixedSize(sizeHint());

  // Key preview: the form sees every key of its controls first.
  qApp->installEventFilter(this);
}

Tfm_Command::Tfm_Command(TSoundDesk& desk, QWidget* parent) : Tfm_Command(parent) { SetSoundDesk(desk); }

Tfm_Command::~Tfm_Command() {
  if (desk_) desk_->Unlisten(listener_);
}

QWidget* Tfm_Command::AddPage(const char* name, const QString& caption) {
  auto* page = new QWidget(PageControl1);
  page->setObjectName(QString::fromLatin1(name));
  PageControl1->addTab(page, caption);
  return page;
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

void Tfm_Command::SetSoundDesk(TSoundDesk& desk) {
  if (desk_) desk_->Unlisten(listener_);
  desk_ = &desk;
  listener_ = desk.Listen([this](TDeskBar bar) { ShowBar(bar); });
  desk.Load();
  for (QSlider* s : bars_) s->setEnabled(true);
  bbtn_Flat->setEnabled(true);
  ShowAll();
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
  const QString page = PageControl1->currentWidget()->objectName();
  const bool shown = page != QLatin1String("TabSheet1") && page != QLatin1String("TabSheet4");
  bbtn_Set->setVisible(shown);
  bbtn_Cancel->setVisible(shown);
}

void Tfm_Command::bbtn_FlatClick() {
  if (desk_) desk_->Flat();
}

void Tfm_Command::bbtn_SetClick() {
  // Of "設 定", closing is all there is until the other tabs hold settings.
  Q_EMIT CloseRequested();
}

void Tfm_Command::bbtn_CancelClick() { Q_EMIT CloseRequested(); }

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
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::MouseButtonRelease)
    return false;
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || w->window() != this) return false;
  if (type == QEvent::MouseButtonRelease) {
    auto* label = qobject_cast<QLabel*>(w);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (label && mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint()))
      LabelClick(label);
    return false;
  }
  // An ignored key goes on to the parent and comes here again: pressing and releasing
  // a held key twice leaves the same state, and a used key stops at once.
  const auto* key = static_cast<QKeyEvent*>(event);
  if (type == QEvent::KeyRelease) {
    // X sends a release before every repeated press; Windows sends none.
    if (!key->isAutoRepeat()) keyboard_.KeyUp(*key);
    return false;
  }
  return FormKeyDown(*key);
}

void Tfm_Command::changeEvent(QEvent* event) {
  // Releases may never come while another window has the keyboard.
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) keyboard_.FocusLost();
  QWidget::changeEvent(event);
}

}  // namespace sorrel::settings
