#include "playlist/ui/SearchSts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace sorrel::playlist {

namespace {

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

}  // namespace

Tfm_SearchSts::Tfm_SearchSts(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("fm_SearchSts"));
  setFixedSize(kClientWidth, kClientHeight);
  lb_Status = new QLabel(this);
  lb_Status->setObjectName(QStringLiteral("lb_Status"));
  lb_Status->setGeometry(8, 8, kClientWidth - 16, 30);
  lb_Status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  btn_Cancel = new QPushButton(Text(kSearchCancelButton), this);
  btn_Cancel->setObjectName(QStringLiteral("btn_Cancel"));
  btn_Cancel->setGeometry(193, 40, 75, 25);
  connect(btn_Cancel, &QPushButton::clicked, this, &Tfm_SearchSts::btn_CancelClick);
}

void Tfm_SearchSts::btn_CancelClick() {
  cancelled_ = true;
  close();
}

void Tfm_SearchSts::keyPressEvent(QKeyEvent* e) {
  e->accept();
  btn_CancelClick();
}

void Tfm_SearchSts::ProcessEvents() {
  const double gap = double(sinceEvents_.nsecsElapsed()) / 1e6;
  if (gap > longestGapMs_) longestGapMs_ = gap;
  ++eventRounds_;
  QApplication::processEvents();
  sinceEvents_.restart();
}

void Tfm_SearchSts::Progress(const TSearchProgress& p) {
  if (p.phase != phase_) {
    phase_ = p.phase;
    setWindowTitle(Text(kCheckingCaption));
  }
  // Painting the label and processing events on every directory would cost more than
  // the walk; the newest directory is shown when the interval is up.
  if (sinceEvents_.elapsed() < kEventIntervalMs) return;
  lb_Status->setText(QString::fromUtf8(p.status.data(), qsizetype(p.status.size())));
  ProcessEvents();
}

TSearchResult Tfm_SearchSts::Search(const std::string& startDir, const QWidget* over,
                                    const TSearchOptions& options) {
  if (over) {
    const QRect f = over->frameGeometry();
    move(f.left() + (f.width() - kClientWidth) / 2, f.top() + 200);
  }
  cancelled_ = false;
  phase_ = TSearchPhase::kSearching;
  eventRounds_ = 0;
  longestGapMs_ = 0;
  setWindowTitle(Text(kSearchingCaption));
  lb_Status->clear();
  btn_Cancel->setText(Text(kSearchCancelButton));
  show();
  raise();
  sinceEvents_.start();
  ProcessEvents();
  TSearchResult result = SearchAllDirectories(
      startDir, cancelled_, [this](const TSearchProgress& p) { Progress(p); }, options);
  if (result.outcome == TSearchOutcome::kFailed && !cancelled_) {
    // The error state: the message stays until the button (or a key) is pressed.
    setWindowTitle(Text(kSearchErrorCaption));
    lb_Status->setText(QString::fromStdString(SearchErrorText()));
    btn_Cancel->setText(Text(kSearchOkButton));
    show();
    while (!cancelled_) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  hide();
  return result;
}

}  // namespace sorrel::playlist
