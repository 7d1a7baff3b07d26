#include "tools/navin-sim/NavinSim.h"

#include <QCoreApplication>
#include <QPainter>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>

namespace sorrel::tools {

namespace {

// Window messages as the player sends them.
constexpr uint32_t kWmNull = 0x0000;
constexpr uint32_t kWmKeyDown = 0x0100;
constexpr uint32_t kWmKeyUp = 0x0101;
constexpr uint32_t kWmCommand = 0x0111;
constexpr uint32_t kWmLButtonDown = 0x0201;
constexpr uint32_t kWmLButtonUp = 0x0202;
constexpr uint32_t kWmMouseWheel = 0x020A;
constexpr uint32_t kBmClick = 0x00F5;
constexpr uint32_t kMapMatchReport = 0x697;  // to the player
constexpr uint32_t kMapMatchAsk = 0x698;
constexpr uint32_t kMapMatchSet = 0x699;

constexpr uint32_t kVkControl = 0x11;
constexpr uint32_t kVkQ = 0x51;

constexpr double kEarthRadius = 6370000;  // as the player's own distances

// Menu commands with an effect here.
constexpr int32_t kMenuExit = 57665;
constexpr int32_t kMenuSettings = 32866;
constexpr int32_t kMenuReroute = 32981;
constexpr int32_t kMenuCloseGuidance = 32835;

const QRect kMain(100, 50, 800, 600);
constexpr QSize kSmallStatus(200, 45), kLargeStatus(300, 120);

const char* const kTabRoute = "ルートガイド";
const char* const kTabPath = "走行パス/マップマッチ";

void Print(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Hex(uint32_t v, int digits) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%0*X", digits, v);
  return b;
}

// The first two columns of each glyph are what the player reads; a third makes the
// digits look like digits to a person and is ignored by the reading.
struct TGlyphColumns {
  const char* Text;
  std::array<uint16_t, 3> Columns;  // 0 ends the glyph early
};
constexpr TGlyphColumns kGlyphs[] = {
    {".", {0x001, 0, 0}},
    {"4", {0x00C, 0x034, 0x3FF}},
    {"-", {0x010, 0x010, 0x010}},
    {"6", {0x07E, 0x0A1, 0x121}},
    {"1", {0x080, 0x080, 0x3FF}},
    {"2", {0x0C3, 0x105, 0x1F9}},
    {"3", {0x0C6, 0x101, 0x1FE}},
    {"8", {0x0EE, 0x111, 0x1EE}},
    {"9", {0x0F2, 0x109, 0x1FE}},
    {"0", {0x0FE, 0x101, 0x0FE}},
    {"7", {0x100, 0x100, 0x1FF}},
    {"\"", {0x180, 0x200, 0}},
    {"\xEF\xBE\x9F", {0x180, 0x240, 0x180}},
    {"5", {0x1F6, 0x121, 0x11E}},
    {"N", {0x1FF, 0x0C0, 0x1FF}},
    {"E", {0x1FF, 0x111, 0x111}},
    {"'", {0x380, 0, 0}},
};

// Columns drawn at (x, y) of an image, white on whatever is there.
void DrawColumns(QImage& image, int x, int y, const std::vector<uint16_t>& columns) {
  for (size_t c = 0; c < columns.size(); ++c)
    for (int row = 0; row < 10; ++row)
      if (columns[c] & (1u << (9 - row))) {
        const int px = x + int(c), py = y + row;
        if (image.rect().contains(px, py)) image.setPixel(px, py, qRgb(255, 255, 255));
      }
}

// (x, y, width, height) of an image; what lies outside it is black.
desktop::ForeignImage Cut(const QImage& image, int x, int y, int width, int height) {
  desktop::ForeignImage out;
  out.width = width;
  out.height = height;
  out.rgb = QByteArray(qsizetype(width) * height * 3, '\0');
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) {
      if (!image.rect().contains(x + col, y + row)) continue;
      const QRgb p = image.pixel(x + col, y + row);
      char* d = out.rgb.data() + (qsizetype(row) * width + col) * 3;
      d[0] = char(qRed(p));
      d[1] = char(qGreen(p));
      d[2] = char(qBlue(p));
    }
  return out;
}

double Distance(const TRoutePoint& a, const TRoutePoint& b) {
  const double k = std::numbers::pi / 180;
  const double dLat = (b.Latitude - a.Latitude) * k, dLon = (b.Longitude - a.Longitude) * k;
  const double h = std::sin(dLat / 2) * std::sin(dLat / 2) + std::cos(a.Latitude * k) *
                                                                 std::cos(b.Latitude * k) *
                                                                 std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(h)));
}

}  // namespace

TRouteFile ReadRoute(const std::string& path) {
  TRouteFile out;
  std::ifstream in(path);
  if (!in) {
    out.Error = "cannot read " + path;
    return out;
  }
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    std::istringstream fields(line);
    TRoutePoint p;
    std::string rest;
    if (!(fields >> p.Latitude >> p.Longitude) || (fields >> rest) || std::fabs(p.Latitude) > 90 ||
        std::fabs(p.Longitude) > 180) {
      out.Error = path + ":" + std::to_string(number) + ": not \"latitude longitude\" in degrees";
      out.Points.clear();
      return out;
    }
    out.Points.push_back(p);
  }
  if (out.Points.empty()) out.Error = path + ": no points";
  return out;
}

TRoutePoint PositionAlong(const std::vector<TRoutePoint>& route, double speedKmh, double seconds) {
  if (route.empty()) return {};
  double left = std::max(0.0, speedKmh) / 3.6 * std::max(0.0, seconds);
  for (size_t i = 0; i + 1 < route.size(); ++i) {
    const double leg = Distance(route[i], route[i + 1]);
    if (left < leg) {
      const double f = leg > 0 ? left / leg : 0;
      return {route[i].Latitude + (route[i + 1].Latitude - route[i].Latitude) * f,
              route[i].Longitude + (route[i + 1].Longitude - route[i].Longitude) * f};
    }
    left -= leg;
  }
  return route.back();
}

std::string CoordinateText(char hemisphere, double degrees) {
  // In tenths of a second, from a value rounded to the microdegree so that 35.5 is not
  // drawn as 35ﾟ29'59.9".
  const auto tenths = static_cast<int64_t>(std::floor(std::round(std::fabs(degrees) * 1e6) * 0.036 + 1e-6));
  char text[64];
  std::snprintf(text, sizeof text, "%c%lld\xEF\xBE\x9F%02lld'%02lld.%lld\"", hemisphere,
                static_cast<long long>(tenths / 36000), static_cast<long long>(tenths / 600 % 60),
                static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
  return text;
}

std::vector<uint16_t> GlyphColumns(const std::string& utf8) {
  std::vector<uint16_t> out;
  for (size_t i = 0; i < utf8.size();) {
    bool found = false;
    for (const TGlyphColumns& g : kGlyphs) {
      const std::string_view t(g.Text);
      if (utf8.compare(i, t.size(), t) != 0) continue;
      for (uint16_t c : g.Columns)
        if (c)
          out.push_back(c);
        else
          break;
      out.push_back(0);
      i += t.size();
      found = true;
      break;
    }
    if (!found) ++i;
  }
  return out;
}

TNavinSim::TNavinSim(TNavinSimOptions options)
    : options_(std::move(options)),
      publisher_(*this),
      busWindow_(QStringLiteral("Navin' You"), QString::fromUtf8(kNavinSimTitle), *this),
      largeStatus_(options_.LargeStatus) {
  position_ = options_.Route.empty() ? TRoutePoint{35.681236, 139.767125} : options_.Route.front();
  setWindowTitle(QString::fromUtf8(kNavinSimTitle));
  resize(kMain.size());
  Build();
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

TNavinSim::~TNavinSim() = default;

QRect TNavinSim::MainRect() const { return publisher_.Rect(main_); }

void TNavinSim::Build() {
  auto at = [](int x, int y, int w, int h) { return QRect(kMain.x() + x, kMain.y() + y, w, h); };
  main_ = publisher_.Add(0, QStringLiteral("Navin' You"), QString::fromUtf8(kNavinSimTitle), kMain);
  mapView_ =
      publisher_.Add(main_, QStringLiteral("AfxWnd42"), QStringLiteral("MapView"), at(0, 30, 800, 520));
  const QSize s = largeStatus_ ? kLargeStatus : kSmallStatus;
  status_ = publisher_.Add(mapView_, QStringLiteral("AfxWnd42"), QStringLiteral("StatusScreen"),
                           at(790 - s.width(), 40, s.width(), s.height()), desktop::kVisible,
                           [this](int x, int y, int w, int h) { return Cut(StatusImage(), x, y, w, h); });
  coordinate_ = publisher_.Add(
      mapView_, QStringLiteral("AfxWnd42"), QStringLiteral("CoordinateWnd"), at(10, 500, 200, 40),
      desktop::kVisible, [this](int x, int y, int w, int h) { return Cut(CoordinateImage(), x, y, w, h); });
  gps_ = publisher_.Add(main_, QStringLiteral("Button"), QStringLiteral("GPS"), at(10, 40, 50, 24));
  northUp_ = publisher_.Add(main_, QStringLiteral("Button"), QStringLiteral("NorthUp"), at(70, 40, 50, 24));
  bar_ = publisher_.Add(main_, QStringLiteral("AfxControlBar42"), QStringLiteral("MapControlBar"),
                        at(0, 550, 800, 50), desktop::kVisible,
                        [this](int x, int y, int w, int h) { return Cut(ControlBarImage(), x, y, w, h); });
  // A titled button first: only the untitled ones count as the bar's buttons.
  publisher_.Add(bar_, QStringLiteral("Button"), QStringLiteral("詳細"), at(4, 554, 40, 40));
  for (int i = 0; i < 5; ++i)
    barButtons_.push_back(
        publisher_.Add(bar_, QStringLiteral("Button"), QString(), at(100 + 44 * i, 554, 40, 40)));
  for (const char* title : {"ファンクションパネル", "データマネージャパネル"}) {
    const int n = int(panels_.size());
    const uint32_t panel = publisher_.Add(main_, QStringLiteral("NYControlBar"), QString::fromUtf8(title),
                                          at(600, 100 + 120 * n, 190, 110));
    publisher_.Add(panel, QStringLiteral("Static"), QString::fromUtf8(title),
                   at(604, 104 + 120 * n, 150, 20));
    panels_[publisher_.Add(panel, QStringLiteral("Button"), QStringLiteral("x"),
                           at(770, 102 + 120 * n, 16, 16))] = {panel, title};
  }
  AddGuidance();
}

void TNavinSim::AddGuidance() {
  if (guidance_) return;
  guidance_ = publisher_.Add(main_, QStringLiteral("#32770"), QString(),
                             QRect(kMain.x() + 10, kMain.y() + 300, 180, 180));
  publisher_.Add(guidance_, QStringLiteral("AfxFrameOrView42"), QStringLiteral("GuidanceView"),
                 QRect(kMain.x() + 12, kMain.y() + 302, 176, 176));
}

void TNavinSim::OpenSettings() {
  if (settings_) return;
  const QRect r(kMain.x() + 200, kMain.y() + 150, 300, 260);
  settings_ = publisher_.Add(0, QStringLiteral("#32770"), QString::fromUtf8("GPS/ルートガイド機能設定"), r);
  tabs_ = publisher_.Add(settings_, QStringLiteral("SysTabControl32"), QString(),
                         QRect(r.x() + 6, r.y() + 26, 288, 190));
  const std::pair<const char*, std::array<const char*, 2>> pages[] = {
      {kTabRoute, {"ルートから外れた時に自動再探索を行う", "音声ルートガイドを行う"}},
      {kTabPath, {"マップマッチを有効にする", "走行パスを記録(表示)する"}}};
  for (const auto& [tab, options] : pages) {
    // The route guide page shows first.
    const uint32_t page = publisher_.Add(settings_, QStringLiteral("#32770"), QString::fromUtf8(tab),
                                         QRect(r.x() + 8, r.y() + 50, 284, 160),
                                         tab == std::string_view(kTabRoute) ? desktop::kVisible : 0);
    pages_[tab] = page;
    int y = r.y() + 60;
    for (const char* option : options) {
      checks_[publisher_.Add(page, QStringLiteral("Button"), QString::fromUtf8(option),
                             QRect(r.x() + 16, y, 260, 20))] = option;
      y += 30;
    }
  }
  settingsOk_ = publisher_.Add(settings_, QStringLiteral("Button"), QStringLiteral("OK"),
                               QRect(r.x() + 130, r.y() + 224, 75, 24));
  publisher_.Add(settings_, QStringLiteral("Button"), QString::fromUtf8("キャンセル"),
                 QRect(r.x() + 215, r.y() + 224, 75, 24));
}

void TNavinSim::OpenErrorBox() {
  if (errorBox_) return;
  const QRect r(kMain.x() + 250, kMain.y() + 250, 260, 110);
  errorBox_ = publisher_.Add(0, QStringLiteral("#32770"), QString::fromUtf8("ルート再探索エラー"), r);
  publisher_.Add(errorBox_, QStringLiteral("Static"), QString::fromUtf8("ルートを再探索できませんでした。"),
                 QRect(r.x() + 10, r.y() + 30, 240, 20));
  errorOk_ = publisher_.Add(errorBox_, QStringLiteral("Button"), QStringLiteral("OK"),
                            QRect(r.x() + 92, r.y() + 70, 75, 24));
}

TNavinSim::TPublish TNavinSim::Publish() {
  if (publisher_.Publish() != desktop::ForeignWindowPublisher::Result::Published) return TPublish::NoBus;
  switch (busWindow_.Publish()) {
    case desktop::PublishedWindow::Result::Published:
      break;
    case desktop::PublishedWindow::Result::NameTaken:
      return TPublish::NameTaken;
    case desktop::PublishedWindow::Result::NoBus:
      return TPublish::NoBus;
  }
  clock_.start();
  timer_.start(200);
  return TPublish::Published;
}

void TNavinSim::Tick() {
  // Without a route it stands where it started.
  if (!options_.Route.empty())
    position_ = PositionAlong(options_.Route, options_.SpeedKmh, clock_.elapsed() / 1000.0);
  update();
}

void TNavinSim::Hang() {
  Print("hang");
  // Nothing is answered any more; only a signal ends it.
  for (;;) pause();
}

std::string TNavinSim::Describe(uint32_t window) const {
  for (size_t i = 0; i < barButtons_.size(); ++i)
    if (barButtons_[i] == window) return "MapControlBar button " + std::to_string(i + 1);
  if (auto it = panels_.find(window); it != panels_.end()) return "x " + it->second.Title;
  if (window == errorOk_) return "OK ルート再探索エラー";
  if (window == settingsOk_) return "OK GPS/ルートガイド機能設定";
  const QString title = publisher_.Title(window);
  return (title.isEmpty() ? publisher_.ClassName(window) : title).toStdString();
}

int32_t TNavinSim::Click(uint32_t window) {
  std::string line = "click " + Describe(window);
  if (auto it = checks_.find(window); it != checks_.end()) {
    bool& on = checked_[it->second];
    on = !on;
    line += on ? " on" : " off";
  }
  Print(line);
  if (auto it = panels_.find(window); it != panels_.end()) {
    const uint32_t panel = it->second.Window;
    panels_.erase(it);
    publisher_.Remove(panel);
  } else if (window == errorOk_) {
    publisher_.Remove(errorBox_);
    errorBox_ = errorOk_ = 0;
  } else if (window == settingsOk_) {
    publisher_.Remove(settings_);
    settings_ = tabs_ = settingsOk_ = 0;
    pages_.clear();
    checks_.clear();
  }
  update();
  return 0;
}

void TNavinSim::ReportMapMatch(int32_t show) {
  const auto player = desktop::RemoteWindow::Find(QString::fromStdString(options_.PlayerClass));
  if (!player) return;
  for (int i = 0; i <= options_.FloodMapMatch; ++i) player->Post(kMapMatchReport, mapMatchMode_, show);
}

int32_t TNavinSim::Message(uint32_t window, uint32_t msg, int32_t wParam, int32_t lParam, bool posted) {
  const std::string target = Describe(window);
  int32_t result = 0;
  switch (msg) {
    case kWmCommand:
      Print("command " + std::to_string(wParam & 0xFFFF));
      switch (wParam & 0xFFFF) {
        case kMenuExit:
          QCoreApplication::exit(0);
          break;
        case kMenuSettings:
          OpenSettings();
          break;
        case kMenuReroute:
          OpenErrorBox();
          break;
        case kMenuCloseGuidance:
          if (guidance_) publisher_.Remove(guidance_);
          guidance_ = 0;
          break;
      }
      break;
    case kBmClick:
      result = Click(window);
      break;
    case kWmKeyDown:
    case kWmKeyUp:
      Print(std::string("key ") + (msg == kWmKeyDown ? "down " : "up ") + Hex(uint32_t(wParam), 2) + " " +
            target);
      break;
    case kWmMouseWheel: {
      const int delta = int16_t(uint32_t(wParam) >> 16);
      Print("wheel " + std::string(delta > 0 ? "+" : "") + std::to_string(delta) + " " + target);
      break;
    }
    case kWmLButtonDown:
    case kWmLButtonUp: {
      const int x = int16_t(lParam & 0xFFFF), y = int16_t(uint32_t(lParam) >> 16);
      Print(std::string("button ") + (msg == kWmLButtonDown ? "down " : "up ") + std::to_string(x) + "," +
            std::to_string(y) + " " + target);
      if (msg == kWmLButtonUp && window == tabs_ && tabs_) {
        const char* tab = x < 110 ? kTabRoute : kTabPath;
        for (const auto& [name, page] : pages_)
          publisher_.SetState(page, name == tab ? desktop::kVisible : 0);
        Print(std::string("tab ") + tab);
      }
      break;
    }
    case kMapMatchSet:
      mapMatchMode_ = wParam;
      Print("mapmatch set " + std::to_string(wParam));
      break;
    case kMapMatchAsk:
      Print("mapmatch ask " + std::to_string(wParam));
      ReportMapMatch(wParam == 1 ? 1 : 0);
      break;
    default:
      Print("message " + Hex(msg, 4) + " " + std::to_string(wParam) + " " + std::to_string(lParam) + " " +
            target + (posted ? "" : " (sent)"));
      break;
  }
  if (options_.HangOnAny || options_.HangOn.count(msg)) Hang();
  return result;
}

int32_t TNavinSim::WindowMessage(uint32_t msg, int32_t wParam, int32_t lParam, bool posted) {
  return Message(main_, msg, wParam, lParam, posted);
}

int32_t TNavinSim::WindowCopyData(int32_t wParam, uint32_t dwData, const QByteArray& data) {
  Print("copydata " + std::to_string(wParam) + " " + std::to_string(dwData) + " " +
        std::to_string(data.size()));
  return 0;
}

void TNavinSim::SetSmallStatus() {
  if (!largeStatus_) return;
  largeStatus_ = false;
  const QRect r = publisher_.Rect(status_);
  publisher_.SetRect(status_, QRect(r.right() + 1 - kSmallStatus.width(), r.y(), kSmallStatus.width(),
                                    kSmallStatus.height()));
  Print("status small");
  update();
}

void TNavinSim::Key(uint32_t virtualKey, bool up) {
  Print(std::string("keyboard ") + (up ? "up " : "down ") + Hex(virtualKey, 2));
  if (virtualKey == kVkControl) controlDown_ = !up;
  if (virtualKey == kVkQ && !up && controlDown_) SetSmallStatus();
  if (options_.HangOnAny) Hang();
}

bool TNavinSim::Show(uint32_t window, desktop::ShowCommand command) {
  Print(std::string("show ") + desktop::ShowCommandName(uint32_t(command)) + " " + Describe(window));
  if (window == main_) {
    switch (command) {
      case desktop::ShowCommand::Forward:
        raise();
        break;
      case desktop::ShowCommand::Minimise:
        showMinimized();
        break;
      case desktop::ShowCommand::Maximise:
        showMaximized();
        break;
      case desktop::ShowCommand::Restore:
      case desktop::ShowCommand::Normal:
        showNormal();
        break;
    }
  }
  if (options_.HangOnAny) Hang();
  return true;
}

QImage TNavinSim::StatusImage() const {
  const QRect r = publisher_.Rect(status_);
  QImage image(r.size(), QImage::Format_RGB32);
  image.fill(qRgb(0, 0, 80));
  if (largeStatus_) {
    // The large display: speed and heading in big letters, no digits to read.
    QPainter p(&image);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(28);
    p.setFont(f);
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("%1 km/h").arg(int(options_.SpeedKmh)));
    return image;
  }
  DrawColumns(image, 14, 11, GlyphColumns(CoordinateText('N', position_.Latitude)));
  DrawColumns(image, 14, 28, GlyphColumns(CoordinateText('E', position_.Longitude)));
  return image;
}

QImage TNavinSim::CoordinateImage() const {
  const QRect r = publisher_.Rect(coordinate_);
  QImage image(r.size(), QImage::Format_RGB32);
  image.fill(qRgb(0, 0, 80));
  DrawColumns(
      image, 2, 23,
      GlyphColumns(CoordinateText('N', position_.Latitude) + CoordinateText('E', position_.Longitude)));
  return image;
}

QImage TNavinSim::ControlBarImage() const {
  const QRect r = publisher_.Rect(bar_);
  QImage image(r.size(), QImage::Format_RGB32);
  image.fill(qRgb(200, 200, 200));
  QPainter p(&image);
  p.fillRect(60, 24, 8, 8, options_.ProbeWhite ? QColor(255, 255, 255) : QColor(0, 120, 220));
  return image;
}

void TNavinSim::DrawMap(QPainter& p, const QRect& area) const {
  // The route fitted into the map view, the car on it, and the position in words for a
  // person watching (the screen's own digits are ten pixels high).
  std::vector<TRoutePoint> points = options_.Route;
  points.push_back(position_);
  double minLat = points[0].Latitude, maxLat = minLat, minLon = points[0].Longitude, maxLon = minLon;
  for (const TRoutePoint& r : points) {
    minLat = std::min(minLat, r.Latitude);
    maxLat = std::max(maxLat, r.Latitude);
    minLon = std::min(minLon, r.Longitude);
    maxLon = std::max(maxLon, r.Longitude);
  }
  const double span = std::max({maxLat - minLat, maxLon - minLon, 1e-4});
  const QRectF box = QRectF(area).adjusted(160, 80, -220, -80);
  const double scale = std::min(box.width(), box.height()) / span;
  auto toScreen = [&](const TRoutePoint& r) {
    return QPointF(box.center().x() + (r.Longitude - (minLon + maxLon) / 2) * scale,
                   box.center().y() - (r.Latitude - (minLat + maxLat) / 2) * scale);
  };
  p.setPen(QPen(QColor(240, 220, 120), 3));
  for (size_t i = 0; i + 1 < options_.Route.size(); ++i)
    p.drawLine(toScreen(options_.Route[i]), toScreen(options_.Route[i + 1]));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(220, 40, 40));
  p.drawEllipse(toScreen(position_), 7, 7);
  p.setBrush(Qt::NoBrush);
  p.setPen(Qt::white);
  p.drawText(area.adjusted(140, 8, 0, 0), Qt::AlignLeft | Qt::AlignTop,
             QStringLiteral("%1, %2   %3 km/h   map match %4")
                 .arg(position_.Latitude, 0, 'f', 6)
                 .arg(position_.Longitude, 0, 'f', 6)
                 .arg(options_.SpeedKmh)
                 .arg(mapMatchMode_));
}

void TNavinSim::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(90, 130, 90));
  const QPoint origin = MainRect().topLeft();
  DrawMap(p, publisher_.Rect(mapView_).translated(-origin));
  const desktop::ForeignWindowPublisher::TreeReply tree = publisher_.Tree();
  for (qsizetype i = 0; i < tree.ids.size(); ++i) {
    const uint32_t id = tree.ids[i];
    if (id == main_ || !(tree.states[i] & desktop::kVisible)) continue;
    const QRect r = publisher_.Rect(id).translated(-origin);
    if (id == status_)
      p.drawImage(r.topLeft(), StatusImage());
    else if (id == coordinate_)
      p.drawImage(r.topLeft(), CoordinateImage());
    else if (id == bar_)
      p.drawImage(r.topLeft(), ControlBarImage());
    else if (id != mapView_) {
      p.setPen(Qt::black);
      p.drawRect(r.adjusted(0, 0, -1, -1));
      p.drawText(r, Qt::AlignCenter, tree.titles[i]);
    }
  }
}

}  // namespace sorrel::tools
