// Fakes of what the alarm drives (its window, the main window, the pre-amplifier bar,
// the voice, Navin'You's windows) that write what is asked of them into one log, and a
// pixel-glyph painter made from the glyph table as the navigation program draws it.
#pragma once

#include "alarm/core/AlarmPorts.h"
#include "alarm/core/NavinScreen.h"
#include "base/Clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <numbers>
#include <string>
#include <vector>

namespace sorrel::alarm::testing {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/sorrel-alarm-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Everything the fakes were asked, in order.
struct Log {
  std::vector<std::string> lines;
  void Add(std::string line) { lines.push_back(std::move(line)); }
  void Clear() { lines.clear(); }
  bool Has(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

class FakeView : public TOvisAlarmViewIntf {
 public:
  explicit FakeView(Log& log) : log_(log) {}
  bool IsVisible() const override { return visible; }
  void Show() override {
    visible = true;
    log_.Add("show");
  }
  void Hide() override {
    visible = false;
    log_.Add("hide");
  }
  void SetOvisType(const std::string& t) override { ovisType = t; }
  void SetDistance(const std::string& t) override { distance = t; }
  void SetLinNo(const std::string& t) override { linNo = t; }
  void SetOvisText(const std::string& t) override { ovisText = t; }

  bool visible = false;
  std::string ovisType, distance, linNo, ovisText;

 private:
  Log& log_;
};

class FakeHost : public TAlarmHostIntf {
 public:
  explicit FakeHost(Log& log) : log_(log) {}
  void SetGPSStatus(TColor c, const std::string& caption) override {
    color = c;
    this->caption = caption;
    ++statusUpdates;
  }
  void HideSubWindows() override { log_.Add("hide sub-windows"); }
  void RaiseMainWindow() override { log_.Add("raise main"); }

  TColor color = -1;
  std::string caption = "?";
  int statusUpdates = 0;

 private:
  Log& log_;
};

// tb_PreLevel: -30 ... 70, as on the sound desk.
class FakePreLevel : public TPreLevelBarIntf {
 public:
  explicit FakePreLevel(Log& log) : log_(log) {}
  int Position() const override { return position; }
  void SetPosition(int p) override {
    p = std::clamp(p, -30, 70);
    if (p == position) return;
    position = p;
    log_.Add("pre-level " + std::to_string(p));
  }
  int position = 0;

 private:
  Log& log_;
};

// Logs "sync FILE" / "async FILE" with the file's name in Voice/ and the clock's time in
// ms since `origin`; a synchronous play lasts `syncMs` of fake time and may run `during`
// (as a message delivered while the sound plays).
class FakeVoice : public TVoicePlayerIntf {
 public:
  FakeVoice(Log& log, base::TFakeClock& clock) : log_(log), clock_(clock) {}
  void PlaySync(const std::string& path) override {
    log_.Add("sync " + Name(path));
    timed.push_back(At() + " sync " + Name(path));
    clock_.Advance(syncMs * 1000);
    if (during) during();
  }
  void PlayAsync(const std::string& path) override {
    log_.Add("async " + Name(path));
    timed.push_back(At() + " async " + Name(path));
  }
  std::string At() const { return "+" + std::to_string(clock_.NowMicros() / 1000 - origin); }

  int64_t origin = 0;
  int64_t syncMs = 0;
  std::function<void()> during;
  std::vector<std::string> timed;
  std::string voiceDir;  // expected folder of every file

 private:
  std::string Name(const std::string& path) {
    const size_t slash = path.rfind('/');
    EXPECT_EQ(path.substr(0, slash + 1), voiceDir) << path;
    return path.substr(slash + 1);
  }
  Log& log_;
  base::TFakeClock& clock_;
};

// The glyphs as the navigation program draws them: the two column codes of the table
// (first column's 10 bits, top row highest, then the second's), written out here from
// the program's documentation rather than taken from the library.
inline const std::map<std::string, std::pair<uint32_t, uint32_t>>& DrawnGlyphs() {
  static const std::map<std::string, std::pair<uint32_t, uint32_t>> glyphs = {
      {".", {0x0001, 0x0000}},
      {"4", {0x000C, 0x0034}},
      {"-", {0x0010, 0x0010}},
      {"6", {0x007E, 0x00A1}},
      {"1", {0x0080, 0x0080}},
      {"2", {0x00C3, 0x0105}},
      {"3", {0x00C6, 0x0101}},
      {"8", {0x00EE, 0x0111}},
      {"9", {0x00F2, 0x0109}},
      {"0", {0x00FE, 0x0101}},
      {"7", {0x0100, 0x0100}},
      {"\"", {0x0180, 0x0200}},
      {"\xEF\xBE\x9F", {0x0180, 0x0240}},  // ﾟ
      {"5", {0x01F6, 0x0121}},
      {"N", {0x01FF, 0x00C0}},
      {"E", {0x01FF, 0x0111}},
      {"'", {0x0380, 0x0000}}};
  return glyphs;
}

// The characters of a UTF-8 text.
inline std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    while (i + n < text.size() && (uint8_t(text[i + n]) & 0xC0) == 0x80) ++n;
    out.push_back(text.substr(i, n));
    i += n;
  }
  return out;
}

// Column codes for `text`: `lead` blank columns, then per glyph its first column, its
// second when not blank, a third column `extra` (part of wider glyphs, never read), and
// one blank column.
inline std::vector<uint32_t> GlyphColumns(const std::string& text, int lead = 2, uint32_t extra = 0) {
  std::vector<uint32_t> columns(lead, 0);
  for (const std::string& c : Characters(text)) {
    const auto [first, second] = DrawnGlyphs().at(c);
    columns.push_back(first);
    if (second) columns.push_back(second);
    if (extra && second) columns.push_back(extra);
    columns.push_back(0);
  }
  return columns;
}

// A strip of `width` x 10 pixels showing `columns`: set pixels in `ink`, the rest in
// `paper`.
inline TRgbImage Strip(const std::vector<uint32_t>& columns, int width,
                       std::array<uint8_t, 3> ink = {255, 255, 255},
                       std::array<uint8_t, 3> paper = {0, 0, 64}) {
  TRgbImage image{width, 10, std::vector<uint8_t>(size_t(width) * 10 * 3)};
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < width; ++x) {
      const bool set = x < int(columns.size()) && (columns[x] >> (9 - y) & 1);
      const auto& c = set ? ink : paper;
      std::copy(c.begin(), c.end(), image.Pixels.begin() + (size_t(y) * width + x) * 3);
    }
  return image;
}

// Navin'You's text for a coordinate in 1/100000 degree: N35ﾟ41'23.5".
inline std::string NavinText(char letter, int32_t value) {
  const int64_t tenths = int64_t(value) * 36 / 100;  // tenths of a second of arc (0.36 per unit)
  char text[64];
  std::snprintf(text, sizeof text, "%c%d\xEF\xBE\x9F%02d'%02d.%d\"", letter, int(tenths / 36000),
                int(tenths / 600 % 60), int(tenths / 10 % 60), int(tenths % 10));
  return text;
}

// Navin'You's windows: a tree of windows with rectangles, and the pixels of the status
// screen's and the coordinate window's position lines.
class FakeScreen : public TNavinScreenIntf {
 public:
  struct Window {
    TForeignWindow info;
    TWindowHandle parent = 0;
    bool visible = true;
    TWindowRect rect;
  };
  explicit FakeScreen(Log& log) : log_(log) {}

  TWindowHandle Add(TWindowHandle parent, std::string cls, std::string title,
                    TWindowRect rect = {0, 0, 200, 100}) {
    const TWindowHandle h = next_++;
    windows[h] = {{h, std::move(cls), std::move(title)}, parent, true, rect};
    order.push_back(h);
    return h;
  }
  void Remove(TWindowHandle h) {
    windows.erase(h);
    std::erase(order, h);
  }

  // A Navin'You with a status screen of the given width and a coordinate window.
  struct Navin {
    TWindowHandle main, status, coordinate, bar;
  };
  Navin AddNavin(int statusWidth = 220) {
    Navin n;
    n.main = Add(0, std::string(kNavinClass), "Navin' You - 東京");
    const TWindowHandle frame = Add(n.main, "AfxFrameOrView42", "");
    n.status = Add(frame, "Static", "StatusScreen", {800, 500, 800 + statusWidth, 560});
    n.coordinate = Add(frame, "Static", "CoordinateWnd", {600, 700, 800, 740});
    Add(frame, "AfxWnd42", "MapView");
    n.bar = Add(n.main, "ToolbarWindow32", "MapControlBar");
    return n;
  }

  std::vector<TForeignWindow> TopLevelWindows() override {
    std::vector<TForeignWindow> out;
    for (TWindowHandle h : order)
      if (windows[h].parent == 0) out.push_back(windows[h].info);
    return out;
  }
  std::vector<TForeignWindow> ChildWindows(TWindowHandle parent) override {
    std::vector<TForeignWindow> out;
    for (TWindowHandle h : order)
      if (windows[h].parent == parent) {
        out.push_back(windows[h].info);
        for (const TForeignWindow& c : ChildWindows(h)) out.push_back(c);
      }
    return out;
  }
  TWindowHandle FindWindowByClass(std::string_view cls) override {
    for (TWindowHandle h : order)
      if (windows[h].parent == 0 && windows[h].info.ClassName == cls) return h;
    return 0;
  }
  bool IsVisible(TWindowHandle h) override { return windows.count(h) && windows[h].visible; }
  std::optional<TWindowRect> WindowRect(TWindowHandle h) override {
    if (!windows.count(h)) return std::nullopt;
    return windows[h].rect;
  }
  bool Capture(TWindowHandle h, int x, int y, int width, int height, TRgbImage& image) override {
    captures.push_back({h, x, y, width, height});
    const auto it = strips.find({h, x, y});
    if (!windows.count(h) || it == strips.end()) return false;
    image = it->second;
    return true;
  }
  void ForceForeground(TWindowHandle h) override { log_.Add("foreground " + std::to_string(h)); }
  void KeyEvent(uint8_t vk, bool up) override {
    log_.Add(std::string("key ") +
             (vk == kVkControl ? "Ctrl"
              : vk == kVkQ     ? "Q"
                               : std::to_string(vk)) +
             (up ? " up" : " down"));
  }

  // The status screen shows this position (threshold 384: white on dark blue).
  void ShowStatus(TWindowHandle status, int32_t latitude, int32_t longitude) {
    strips[{status, 12, 11}] = Strip(GlyphColumns(NavinText('N', latitude)), 110);
    strips[{status, 12, 28}] = Strip(GlyphColumns(NavinText('E', longitude)), 110);
  }
  // The coordinate window's line (threshold 256: grey on black still counts).
  void ShowCoordinates(TWindowHandle window, int32_t latitude, int32_t longitude) {
    strips[{window, 0, 23}] = Strip(GlyphColumns(NavinText('N', latitude) + NavinText('E', longitude)), 180,
                                    {100, 100, 100}, {0, 0, 0});
  }

  struct CaptureCall {
    TWindowHandle window;
    int x, y, width, height;
    bool operator==(const CaptureCall&) const = default;
  };
  std::map<TWindowHandle, Window> windows;
  std::vector<TWindowHandle> order;
  std::map<std::tuple<TWindowHandle, int, int>, TRgbImage> strips;
  std::vector<CaptureCall> captures;

 private:
  Log& log_;
  TWindowHandle next_ = 100;
};

// Test geometry on the alarm's sphere: the latitude offset (1/100000 degree) of a point
// `metres` due north, rounded up so that the truncated distance is at least `metres`.
inline int32_t UnitsNorth(double metres) {
  return int32_t(std::ceil(metres / 6370000.0 * 180.0 / std::numbers::pi * 100000.0));
}
// The truncated distance of a north-south offset, from the arc length R x angle.
inline int32_t MetresOfUnits(int32_t units) {
  return int32_t(units * 1e-5 * std::numbers::pi / 180.0 * 6370000.0);
}

}  // namespace sorrel::alarm::testing
