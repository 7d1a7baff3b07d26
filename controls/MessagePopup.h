// The main window's message pop-up: a short text in large type, centred on the main
// window a little below its top, that `PopTimer` hides again after 2999 ms.  Lines from
// the highlighted one on are drawn in the font colour, those before it in the second
// colour.
#pragma once

#include "controls/HintCtrl.h"

#include <QTimer>

#include <functional>
#include <memory>

namespace sorrel::controls {

class TMessagePopup {
 public:
  static constexpr int kPopTimerInterval = 2999;
  static constexpr int kBelowTop = 29;  // pixels from the main window's top

  TMessagePopup();
  ~TMessagePopup();
  TMessagePopup(const TMessagePopup&) = delete;
  TMessagePopup& operator=(const TMessagePopup&) = delete;

  // Stops PopTimer, shows `text` with the band from `highlightedLine` to the end,
  // centred horizontally on `anchor` (the main window's frame, screen coordinates) and
  // kBelowTop pixels below its top, and starts PopTimer.
  void ShowMessage(const QString& text, int highlightedLine, const QRect& anchor);
  // PopTimer's handler: stops the timer, hides the pop-up and calls the pop-down
  // handler (where the main window clears its pop-up flag and puts itself on top).
  void PopTimerTimer();
  // Hides the pop-up at once; PopTimer keeps running and still calls the handler.
  void Hide();
  bool Shown() const { return window_->Shown(); }

  void SetOnPopDown(std::function<void()> handler) { onPopDown_ = std::move(handler); }
  QTimer& PopTimer() { return popTimer_; }
  THintWindowEx& Window() { return *window_; }

 private:
  std::unique_ptr<THintWindowEx> window_;
  QTimer popTimer_;
  std::function<void()> onPopDown_;
};

}  // namespace sorrel::controls
