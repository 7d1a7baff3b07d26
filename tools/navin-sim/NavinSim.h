// The simulated navigation program Navin'You: its windows on the bus, its drawing of the
// position, its drive along a route and what it does with what it is sent.
#pragma once

#include "platform/desktop/BusWindow.h"
#include "platform/desktop/ForeignWindows.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sorrel::tools {

struct TRoutePoint {
  double Latitude = 0, Longitude = 0;  // degrees
};

// Lines "lat lon" in degrees; blank lines and lines starting with "#" are skipped.  An
// error names the line.
struct TRouteFile {
  std::vector<TRoutePoint> Points;
  std::string Error;
};
TRouteFile ReadRoute(const std::string& path);

// Where a drive at `speedKmh` is after `seconds` (at the last point once it has arrived).
TRoutePoint PositionAlong(const std::vector<TRoutePoint>& route, double speedKmh, double seconds);

// The screen's text of one coordinate: N35ﾟ41'22.3" (seconds in tenths, truncated).
std::string CoordinateText(char hemisphere, double degrees);

// The pixel columns of a text in the screen's glyphs (10 rows, the top row the highest
// bit), each glyph followed by one blank column.  Characters without a glyph are left out.
std::vector<uint16_t> GlyphColumns(const std::string& utf8);

struct TNavinSimOptions {
  std::vector<TRoutePoint> Route;
  double SpeedKmh = 40;
  bool LargeStatus = true;    // the large status display until Ctrl+Q
  bool ProbeWhite = false;    // the map control bar's probe pixel white
  std::set<uint32_t> HangOn;  // messages after which it stops answering
  bool HangOnAny = false;
  int FloodMapMatch = 0;  // extra 0x697 posts for every 0x698
  std::string PlayerClass = "Tfm_PlayerMain";
};

class TNavinSim final : public QWidget, desktop::ForeignWindowReceiver, desktop::WindowReceiver {
 public:
  explicit TNavinSim(TNavinSimOptions options);
  ~TNavinSim() override;

  enum class TPublish { Published, NameTaken, NoBus };
  TPublish Publish();

  // ForeignWindowReceiver
  int32_t Message(uint32_t window, uint32_t msg, int32_t wParam, int32_t lParam, bool posted) override;
  void Key(uint32_t virtualKey, bool up) override;
  bool Show(uint32_t window, desktop::ShowCommand command) override;
  // WindowReceiver (the main window as BusWindow publishes it)
  int32_t WindowMessage(uint32_t msg, int32_t wParam, int32_t lParam, bool posted) override;
  int32_t WindowCopyData(int32_t wParam, uint32_t dwData, const QByteArray& data) override;

  TRoutePoint Position() const { return position_; }
  QImage StatusImage() const;
  QImage CoordinateImage() const;
  QImage ControlBarImage() const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  void Build();
  void DrawMap(QPainter& p, const QRect& area) const;
  void AddGuidance();
  void OpenSettings();
  void OpenErrorBox();
  void Tick();
  void SetSmallStatus();
  void Hang();
  std::string Describe(uint32_t window) const;
  int32_t Click(uint32_t window);
  void ReportMapMatch(int32_t show);
  QRect MainRect() const;

  TNavinSimOptions options_;
  desktop::ForeignWindowPublisher publisher_;
  desktop::PublishedWindow busWindow_;
  QTimer timer_;
  QElapsedTimer clock_;
  TRoutePoint position_;
  bool largeStatus_;
  bool controlDown_ = false;
  int32_t mapMatchMode_ = 4;

  uint32_t main_ = 0, mapView_ = 0, status_ = 0, coordinate_ = 0, gps_ = 0, northUp_ = 0, bar_ = 0;
  std::vector<uint32_t> barButtons_;  // the untitled ones, in order
  uint32_t guidance_ = 0;
  struct TPanel {
    uint32_t Window;
    std::string Title;
  };
  std::map<uint32_t, TPanel> panels_;  // by its "x" button
  uint32_t settings_ = 0, tabs_ = 0, settingsOk_ = 0, errorBox_ = 0, errorOk_ = 0;
  std::map<std::string, uint32_t> pages_;
  std::map<uint32_t, std::string> checks_;  // check box -> its title
  std::map<std::string, bool> checked_;     // by title, kept while the dialog is closed
};

inline constexpr const char* kNavinSimTitle = "Navin' You - Simulated drive";

}  // namespace sorrel::tools
