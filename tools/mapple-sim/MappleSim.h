// The simulated map program: the "Mapple.Document" automation object and its window.
#pragma once

#include "base/Automation.h"
#include "platform/desktop/ForeignWindows.h"

#include <QWidget>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace sorrel::tools {

struct TSimIcon {
  int32_t X = 0, Y = 0;  // 1/1000 arc-second
  int32_t Number = 0;    // 1..16: direction icons
  std::string Text;
};

class TMappleSimWindow;

// Every call is printed as one line on standard output: the name and its arguments
// (by-reference ones marked "&"), then " -> result" or " !failed" / " !hang".
class TMappleSimDocument final : public base::TAutoObjectIntf {
 public:
  TMappleSimDocument(TMappleSimWindow& window, std::set<std::string> failing, std::set<std::string> hanging)
      : window_(window), failing_(std::move(failing)), hanging_(std::move(hanging)) {}

  base::TAutoResult Invoke(const std::string& name, base::TInvokeKind kind,
                           std::vector<base::TAutoArg>& args) override;

  int MapClass() const { return mapClass_; }
  int Zoom() const { return zoom_; }
  int32_t CentreX() const { return centreX_; }
  int32_t CentreY() const { return centreY_; }
  const std::vector<TSimIcon>& Icons() const { return icons_; }

 private:
  base::TAutoResult Dispatch(const std::string& name, base::TInvokeKind kind,
                             std::vector<base::TAutoArg>& args);

  TMappleSimWindow& window_;
  std::set<std::string> failing_, hanging_;
  int mapClass_ = 1, zoom_ = 200;
  // Tokyo station until the first "Move".
  int32_t centreX_ = 503160120, centreY_ = 128451960;
  std::vector<TSimIcon> icons_;
};

// A plain map: the class's colour, a grid of latitude and longitude, the centre and the
// icons (direction icons as arrows), with the scale written in a corner.
class TMappleSimWindow final : public QWidget {
 public:
  TMappleSimWindow();
  void SetDocument(const TMappleSimDocument* document) { document_ = document; }
  // Left, top, right, bottom of the window on the screen.
  void Place(int left, int top, int right, int bottom);
  QRect Placement() const;
  void Show(bool visible);
  // Called after every change of place or visibility.
  void OnChanged(std::function<void()> changed) { changed_ = std::move(changed); }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  void Replace();

  const TMappleSimDocument* document_ = nullptr;
  QRect wanted_;  // as last placed
  std::function<void()> changed_;
};

// The window among the desktop's windows (the foreign-window bus), so that the map link
// finds it by title and rectangle and can minimise, maximise and restore it.  Every
// request is printed as "show minimise" and the like.
class TMappleSimPeer final : public desktop::ForeignWindowReceiver {
 public:
  explicit TMappleSimPeer(TMappleSimWindow& window);
  bool Publish();

  int32_t Message(uint32_t window, uint32_t msg, int32_t wParam, int32_t lParam, bool posted) override;
  void Key(uint32_t virtualKey, bool up) override;
  bool Show(uint32_t window, desktop::ShowCommand command) override;

 private:
  void Sync();

  TMappleSimWindow& window_;
  desktop::ForeignWindowPublisher publisher_;
  uint32_t id_ = 0;
};

inline constexpr const char* kSimTitle = "Simulated map - Super Mapple Digital Ver 5.0";

}  // namespace sorrel::tools
