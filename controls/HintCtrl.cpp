#include "controls/HintCtrl.h"

#include "controls/core/HintLines.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

#include <algorithm>
#include <climits>
#include <vector>

namespace sorrel::controls {

namespace {

constexpr int kBorder = 1;     // the raised edge
constexpr int kTextInset = 2;  // from the inside of the edge to the text

struct TScreenLine {
  QString text;
  bool band = false;
  int top = 0;
  int height = 0;
};

struct TLayout {
  std::vector<TScreenLine> lines;
  int width = 0;
  int height = 0;
};

// The text broken into screen lines, each wrapped at word breaks within `maxWidth`.
// Measuring and painting both use it, so the window fits what it draws.
TLayout LayOut(const QFontMetrics& fm, int maxWidth, const QString& text, int firstLine, int lineCount) {
  TLayout layout;
  const std::u16string_view view(reinterpret_cast<const char16_t*>(text.constData()),
                                 static_cast<size_t>(text.size()));
  for (const THintLine& line : SplitHintLines(view, firstLine, lineCount)) {
    for (const std::u16string_view part : SplitScreenLines(line.text)) {
      TScreenLine s;
      s.text = QString::fromUtf16(part.data(), static_cast<qsizetype>(part.size()));
      s.band = line.place == THintLinePlace::Band;
      s.top = layout.height;
      if (s.text.isEmpty()) {
        s.height = fm.height();
      } else {
        const QRect r =
            fm.boundingRect(QRect(0, 0, std::max(maxWidth, 1), INT_MAX / 4), Qt::TextWordWrap, s.text);
        s.height = r.height();
        layout.width = std::max(layout.width, r.width());
      }
      layout.height += s.height;
      layout.lines.push_back(std::move(s));
    }
  }
  return layout;
}

QScreen* ScreenUnder(const QRect& r) {
  if (QScreen* s = QGuiApplication::screenAt(r.center())) return s;
  // Off every screen: the nearest one.
  QScreen* best = QGuiApplication::primaryScreen();
  qint64 bestDistance = LLONG_MAX;
  for (QScreen* s : QGuiApplication::screens()) {
    const QRect g = s->geometry();
    const qint64 dx = std::max({0, g.left() - r.center().x(), r.center().x() - g.right()});
    const qint64 dy = std::max({0, g.top() - r.center().y(), r.center().y() - g.bottom()});
    if (dx * dx + dy * dy < bestDistance) {
      bestDistance = dx * dx + dy * dy;
      best = s;
    }
  }
  return best;
}

}  // namespace

QColor ColorFromBgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

THintWindowEx::THintWindowEx(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
      secondColor_(ColorFromBgr(0xC0C0C0)) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setFont(QToolTip::font());
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ColorFromBgr(0x80FFFF));
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);
}

THintWindowEx::~THintWindowEx() = default;

void THintWindowEx::SecondColor(const QColor& c) {
  std::lock_guard lock(paintLock_);
  secondColor_ = c;
}

void THintWindowEx::FirstLine(int line) {
  std::lock_guard lock(paintLock_);
  firstLine_ = line;
}

void THintWindowEx::LineCount(int count) {
  std::lock_guard lock(paintLock_);
  lineCount_ = count;
}

QColor THintWindowEx::FontColor() const { return palette().color(QPalette::WindowText); }

void THintWindowEx::FontColor(const QColor& c) {
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, c);
  setPalette(pal);
}

QColor THintWindowEx::Color() const { return palette().color(QPalette::Window); }

void THintWindowEx::Color(const QColor& c) {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, c);
  setPalette(pal);
}

QString THintWindowEx::Caption() const {
  std::lock_guard lock(paintLock_);
  return caption_;
}

void THintWindowEx::SetCaption(const QString& text) {
  {
    std::lock_guard lock(paintLock_);
    caption_ = text;
  }
  if (!activating_) {
    const QFontMetrics fm(font());
    QString oneLine = text;
    oneLine.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    resize(fm.horizontalAdvance(oneLine) + 8, fm.height() + 4);
  }
  update();
}

void THintWindowEx::ActivateHint(const QRect& rect, const QString& text) {
  activating_ = true;
  shown_ = true;
  SetCaption(text);
  QRect r(rect.x(), rect.y(), rect.width(), rect.height() + 4);
  if (const QScreen* screen = ScreenUnder(r)) {
    const QRect desk = screen->availableGeometry();
    if (r.x() + r.width() > desk.x() + desk.width()) r.moveLeft(desk.x() + desk.width() - r.width());
    if (r.x() < desk.x()) r.moveLeft(desk.x());
    if (r.y() + r.height() > desk.y() + desk.height()) r.moveTop(desk.y() + desk.height() - r.height());
    if (r.y() < desk.y()) r.moveTop(desk.y());
  }
  setGeometry(r);
  // A window being shown goes on top by itself; one already shown is restacked.
  const bool wasVisible = isVisible();
  show();
  if (wasVisible) raise();
  update();
  activating_ = false;
}

QRect THintWindowEx::MeasureHint(int maxWidth, const QString& text) const {
  const TLayout layout = LayOut(fontMetrics(), maxWidth, text, 1, 1);
  return QRect(0, 0, layout.width + 8, layout.height + 2);
}

void THintWindowEx::HideHint() {
  hide();
  shown_ = false;
}

void THintWindowEx::paintEvent(QPaintEvent*) {
  std::lock_guard lock(paintLock_);
  QPainter p(this);
  const QRect all = rect();
  p.fillRect(all, Color());

  const int left = kBorder + kTextInset;
  const int top = kBorder + kTextInset;
  const int width = all.width() - left - kBorder;
  const TLayout layout = LayOut(fontMetrics(), width, caption_, firstLine_, lineCount_);
  const QColor fontColor = FontColor();
  p.setFont(font());
  for (const TScreenLine& line : layout.lines) {
    if (line.text.isEmpty()) continue;
    p.setPen(line.band ? fontColor : secondColor_);
    p.drawText(QRect(left, top + line.top, width, line.height), Qt::TextWordWrap, line.text);
  }

  // The raised outer edge: light above and left, dark below and right.
  const int r = all.width() - 1;
  const int b = all.height() - 1;
  p.setPen(palette().color(QPalette::Light));
  p.drawLine(0, 0, r - 1, 0);
  p.drawLine(0, 0, 0, b - 1);
  p.setPen(palette().color(QPalette::Shadow));
  p.drawLine(r, 0, r, b);
  p.drawLine(0, b, r, b);
}

}  // namespace sorrel::controls
