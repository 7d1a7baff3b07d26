// The scrolling of the title, artist and album labels.  The window measures texts in
// the labels' fonts (TTextMeasure) and paints what the scroller says: a caption that
// the label shows itself, or a text that the scroller draws at an x offset, moved left
// on every tick of TitleTimer (400 ms) while the player plays.
//
// The title always scrolls (13 pixels a tick); the artist and the album (9 pixels a
// tick) scroll only when they do not fit their labels.  A scrolled text is drawn as
// text + gap + text, and the offset jumps forward by the width of text + gap once the
// first copy has left the label, so the second copy stands where the first stood.
#pragma once

#include <array>
#include <string>

namespace sorrel::app {

enum class TScrollLabel { lb_Title, lb_Artist, lb_Album };
inline constexpr int kScrollLabelCount = 3;

// Widths in pixels of texts in a label's font (QFontMetrics in the window).
class TTextMeasure {
 public:
  virtual ~TTextMeasure() = default;
  virtual int TextWidth(TScrollLabel label, const std::string& text) const = 0;
};

// What the scroll setup works from: the labels' hints (the full texts, from the
// refresh of the labels) and their widths (from the layout).
struct TScrollSource {
  std::array<std::string, kScrollLabelCount> Texts;
  std::array<int, kScrollLabelCount> LabelWidths{};
};

struct TScrollLine {
  // The label's own caption; empty when the scroller draws the label.
  std::string Caption;
  bool Scrolls = false;
  // What the scroller draws at Offset (x in the label), and the arithmetic.
  std::string Drawn;
  int Offset = 0;
  int TextWidth = 0;
  int WrapDistance = 0;
};

class TTitleScroller {
 public:
  static constexpr int kTitleStep = 13;  // pixels per tick
  static constexpr int kLineStep = 9;    // artist and album
  static constexpr int kTitleMinStart = 50;

  // A song started or shuffle changed: the next tick runs the setup.
  void RequestSetup() { pending_ = true; }
  bool SetupPending() const { return pending_; }

  // The scroll setup, at a tick with a pending request and after every resize; it does
  // nothing until start-up is complete and while the play order is empty (`allowed`),
  // and otherwise clears the request.  True when it ran.
  bool Setup(bool allowed, const TScrollSource& source, const TTextMeasure& measure);

  // Which labels the scroller repaints on a tick (at Line(label).Offset).
  using TRepaint = std::array<bool, kScrollLabelCount>;

  // One TitleTimer tick after the setup: moves the scrolling texts while `playing` and
  // says which labels to repaint.  The artist and the album count only while visible.
  TRepaint Tick(bool playing, bool artistVisible, bool albumVisible);

  const TScrollLine& Line(TScrollLabel label) const { return lines_[static_cast<int>(label)]; }

 private:
  bool pending_ = false;
  bool ready_ = false;  // a setup has run
  std::array<TScrollLine, kScrollLabelCount> lines_;
};

}  // namespace sorrel::app
