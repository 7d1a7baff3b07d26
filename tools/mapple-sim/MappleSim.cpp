#include "tools/mapple-sim/MappleSim.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>

namespace sorrel::tools {

using base::TAutoArg;
using base::TAutoResult;
using base::TAutoStatus;
using base::TAutoValue;
using base::TInvokeKind;

namespace {

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string Format(const TAutoValue& v) {
  if (const auto* i = std::get_if<int32_t>(&v)) return std::to_string(*i);
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (const auto* s = std::get_if<std::string>(&v)) return Quote(*s);
  return "-";
}

std::string CallLine(const std::string& name, TInvokeKind kind, const std::vector<TAutoArg>& args) {
  std::string line = name;
  if (kind == TInvokeKind::PropertyPut) {
    line += "=";
    if (!args.empty()) line += Format(args.front().value);
    return line;
  }
  if (kind == TInvokeKind::PropertyGet && args.empty()) return line;
  line += "(";
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) line += ",";
    if (args[i].byRef) line += "&";
    line += Format(args[i].value);
  }
  return line + ")";
}

void Print(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Argument types: i integer, b Boolean, s string.
bool Matches(const std::vector<TAutoArg>& args, const char* types) {
  if (args.size() != std::strlen(types)) return false;
  for (size_t i = 0; i < args.size(); ++i) {
    const TAutoValue& v = args[i].value;
    const bool ok = (types[i] == 'i' && std::holds_alternative<int32_t>(v)) ||
                    (types[i] == 'b' && std::holds_alternative<bool>(v)) ||
                    (types[i] == 's' && std::holds_alternative<std::string>(v));
    if (!ok) return false;
  }
  return true;
}

int32_t Int(const std::vector<TAutoArg>& args, size_t i) { return std::get<int32_t>(args[i].value); }

constexpr int32_t kWest = 120 * 3600000, kEast = 160 * 3600000;
constexpr int32_t kSouth = 20 * 3600000, kNorth = 50 * 3600000;

}  // namespace

TAutoResult TMappleSimDocument::Invoke(const std::string& name, TInvokeKind kind,
                                       std::vector<TAutoArg>& args) {
  const std::string line = CallLine(name, kind, args);
  if (hanging_.count(name) || hanging_.count("*")) {
    Print(line + " !hang");
    // Stops answering anything, as a map program stuck in a dialog does.
    for (;;) pause();
  }
  if (failing_.count(name)) {
    Print(line + " !failed");
    return {TAutoStatus::Failed, {}, name + " failed (--fail)"};
  }
  const std::vector<TAutoArg> before = args;
  TAutoResult r = Dispatch(name, kind, args);
  if (!r.Ok()) {
    Print(line + " !" + base::AutoStatusName(r.status));
    return r;
  }
  std::string out = line;
  if (!std::holds_alternative<std::monostate>(r.value)) out += " -> " + Format(r.value);
  // By-reference arguments the call changed, as "&n=value" (n from 1).
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i].byRef && args[i].value != before[i].value)
      out += " &" + std::to_string(i + 1) + "=" + Format(args[i].value);
  Print(out);
  return r;
}

TAutoResult TMappleSimDocument::Dispatch(const std::string& name, TInvokeKind kind,
                                         std::vector<TAutoArg>& args) {
  const TAutoResult bad{TAutoStatus::BadArguments, {}, "wrong arguments for " + name};
  const bool method = kind == TInvokeKind::Method;
  // Getters answer as methods and as properties alike, as late binding allows.
  const bool getter = kind == TInvokeKind::Method || kind == TInvokeKind::PropertyGet;
  const QRect place = window_.Placement();
  static const std::map<std::string, int (*)(const QRect&)> kGetters = {
      {"GetWindowLeft", [](const QRect& r) { return r.x(); }},
      {"GetWindowTop", [](const QRect& r) { return r.y(); }},
      {"GetWindowRight", [](const QRect& r) { return r.x() + r.width(); }},
      {"GetWindowBottom", [](const QRect& r) { return r.y() + r.height(); }},
  };
  if (const auto g = kGetters.find(name); g != kGetters.end()) {
    if (!getter || !args.empty()) return bad;
    return {TAutoStatus::Ok, g->second(place), {}};
  }
  if (name == "GetZoom" || name == "GetMapClass") {
    if (!getter || !args.empty()) return bad;
    return {TAutoStatus::Ok, name == "GetZoom" ? zoom_ : mapClass_, {}};
  }
  if (name == "Visible") {
    if (kind == TInvokeKind::PropertyGet && args.empty()) return {TAutoStatus::Ok, window_.isVisible(), {}};
    if (kind != TInvokeKind::PropertyPut || !Matches(args, "b")) return bad;
    window_.Show(std::get<bool>(args[0].value));
    return {};
  }
  if (name == "MoveWindow") {
    if (!method || !Matches(args, "iiii")) return bad;
    window_.Place(Int(args, 0), Int(args, 1), Int(args, 2), Int(args, 3));
    return {};
  }
  if (name == "SetMapClass" || name == "SetZoom") {
    if (!method || !Matches(args, "i")) return bad;
    // Values the map cannot show (the player's default class -1) leave it as it is.
    const int v = Int(args, 0);
    if (name == "SetMapClass" && v >= 0 && v <= 2) mapClass_ = v;
    if (name == "SetZoom" && v >= 1) zoom_ = v;
    window_.update();
    return {};
  }
  if (name == "DeleteAllCustom") {
    if (!method || !args.empty()) return bad;
    icons_.clear();
    window_.update();
    return {};
  }
  if (name == "Move") {
    if (!method || !Matches(args, "ii")) return bad;
    // The map covers 120..160 degrees east and 20..50 north; a centre outside is moved to
    // its edge, and the caller's x and y say where it went.
    centreX_ = std::clamp(Int(args, 0), kWest, kEast);
    centreY_ = std::clamp(Int(args, 1), kSouth, kNorth);
    args[0].value = centreX_;
    args[1].value = centreY_;
    window_.update();
    return {};
  }
  if (name == "AddIcon") {
    if (!method || !Matches(args, "iisssiiiii")) return bad;
    icons_.push_back({Int(args, 0), Int(args, 1), Int(args, 5), std::get<std::string>(args[2].value)});
    window_.update();
    return {};
  }
  return {TAutoStatus::UnknownName, {}, "no member " + name};
}

TMappleSimWindow::TMappleSimWindow() {
  setWindowTitle(QString::fromUtf8(kSimTitle));
  setGeometry(100, 100, 480, 480);
}

void TMappleSimWindow::Place(int left, int top, int right, int bottom) {
  wanted_ = QRect(left, top, right - left, bottom - top);
  Replace();
}

void TMappleSimWindow::Replace() {
  if (!wanted_.isValid()) return;
  // The rectangle is the outer one, frame included, as the map program's own.
  const QSize frame = frameGeometry().size() - size();
  move(wanted_.topLeft());
  resize(std::max(wanted_.width() - frame.width(), 1), std::max(wanted_.height() - frame.height(), 1));
  if (changed_) changed_();
}

void TMappleSimWindow::Show(bool visible) {
  setVisible(visible);
  // The frame is known once the window is shown.
  if (visible) Replace();
  if (changed_) changed_();
}

QRect TMappleSimWindow::Placement() const { return frameGeometry(); }

void TMappleSimWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!document_) return;
  const TMappleSimDocument& d = *document_;
  static const QColor kClassColour[3] = {QColor(214, 232, 200), QColor(240, 234, 200), QColor(232, 232, 236)};
  const int cls = std::clamp(d.MapClass(), 0, 2);
  p.fillRect(rect(), kClassColour[cls]);

  // Screen pixels (96 per inch) per 1/1000 arc-second at this scale.
  static constexpr int kBase[3] = {20000000, 5000000, 1000000};
  const double denominator = double(kBase[cls]) / std::max(d.Zoom(), 1);
  const double metresPerPixel = denominator * 0.0254 / 96;
  const double metresPerUnit = 6370000.0 * std::numbers::pi / 180 / 3600000;
  const double latitude = d.CentreY() / 3600000.0;
  const double ky = metresPerUnit / metresPerPixel;
  const double kx = ky * std::cos(latitude * std::numbers::pi / 180);
  const QPointF centre(width() / 2.0, height() / 2.0);
  auto toScreen = [&](double x, double y) {
    return QPointF(centre.x() + (x - d.CentreX()) * kx, centre.y() - (y - d.CentreY()) * ky);
  };

  // Grid lines at the smallest round step (1, 2 or 5 times a power of ten units) that
  // is at least 60 pixels.
  const double step = [&] {
    for (double decade = 1; decade < 1e10; decade *= 10)
      for (double s : {1.0, 2.0, 5.0})
        if (s * decade * ky >= 60) return s * decade;
    return 1e10;
  }();
  p.setPen(QPen(QColor(160, 160, 170), 1));
  const double x0 = d.CentreX() - centre.x() / kx, x1 = d.CentreX() + centre.x() / kx;
  const double y0 = d.CentreY() - centre.y() / ky, y1 = d.CentreY() + centre.y() / ky;
  for (double x = std::floor(x0 / step) * step; x <= x1; x += step)
    p.drawLine(toScreen(x, y0), toScreen(x, y1));
  for (double y = std::floor(y0 / step) * step; y <= y1; y += step)
    p.drawLine(toScreen(x0, y), toScreen(x1, y));

  // The centre.
  p.setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
  p.drawLine(QPointF(centre.x() - 12, centre.y()), QPointF(centre.x() + 12, centre.y()));
  p.drawLine(QPointF(centre.x(), centre.y() - 12), QPointF(centre.x(), centre.y() + 12));

  // The icons: 1..16 are arrows pointing (n - 1) * 22.5 degrees clockwise from north.
  for (const TSimIcon& icon : d.Icons()) {
    const QPointF at = toScreen(icon.X, icon.Y);
    p.save();
    p.translate(at);
    p.setRenderHint(QPainter::Antialiasing);
    if (icon.Number >= 1 && icon.Number <= 16) {
      p.rotate((icon.Number - 1) * 22.5);
      QPainterPath arrow;
      arrow.moveTo(0, -14);
      arrow.lineTo(9, 10);
      arrow.lineTo(0, 4);
      arrow.lineTo(-9, 10);
      arrow.closeSubpath();
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(QColor(220, 30, 30));
      p.drawPath(arrow);
    } else {
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(QColor(30, 30, 220));
      p.drawEllipse(QPointF(0, 0), 5, 5);
    }
    p.restore();
  }

  // What the map shows.
  const QString status = QStringLiteral("class %1  zoom %2  1:%3\nN%4  E%5")
                             .arg(d.MapClass())
                             .arg(d.Zoom())
                             .arg(qlonglong(denominator))
                             .arg(d.CentreY() / 3600000.0, 0, 'f', 5)
                             .arg(d.CentreX() / 3600000.0, 0, 'f', 5);
  p.setPen(Qt::black);
  p.drawText(rect().adjusted(6, 4, -6, -4), Qt::AlignLeft | Qt::AlignBottom, status);
}

TMappleSimPeer::TMappleSimPeer(TMappleSimWindow& window) : window_(window), publisher_(*this) {
  id_ = publisher_.Add(0, QStringLiteral("Mapple"), QString::fromUtf8(kSimTitle), window_.Placement(), 0);
  window_.OnChanged([this] { Sync(); });
}

bool TMappleSimPeer::Publish() {
  return publisher_.Publish() == desktop::ForeignWindowPublisher::Result::Published;
}

void TMappleSimPeer::Sync() {
  publisher_.SetRect(id_, window_.Placement());
  const uint32_t state = publisher_.State(id_) & ~desktop::kVisible;
  publisher_.SetState(id_, state | (window_.isVisible() ? desktop::kVisible : 0));
}

int32_t TMappleSimPeer::Message(uint32_t, uint32_t msg, int32_t wParam, int32_t lParam, bool) {
  Print("message " + std::to_string(msg) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
  return 0;
}

void TMappleSimPeer::Key(uint32_t virtualKey, bool up) {
  Print("key " + std::to_string(virtualKey) + (up ? " up" : " down"));
}

bool TMappleSimPeer::Show(uint32_t, desktop::ShowCommand command) {
  Print(std::string("show ") + desktop::ShowCommandName(uint32_t(command)));
  // The state is the publisher's; the window follows it as far as the platform lets it.
  switch (command) {
    case desktop::ShowCommand::Forward:
      window_.raise();
      break;
    case desktop::ShowCommand::Minimise:
      window_.setWindowState(window_.windowState() | Qt::WindowMinimized);
      break;
    case desktop::ShowCommand::Maximise:
    case desktop::ShowCommand::Restore:
    case desktop::ShowCommand::Normal:
      window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
      break;
  }
  return true;
}

}  // namespace sorrel::tools
