#include "app/core/TitleScroll.h"

#include <algorithm>

namespace sorrel::app {

namespace {

TScrollLine Scrolled(TScrollLabel label, const std::string& text, int gapBlanks,
                     const TTextMeasure& measure) {
  const std::string gap(static_cast<size_t>(gapBlanks), ' ');
  TScrollLine line;
  line.Scrolls = true;
  line.Drawn = text + gap + text;
  line.TextWidth = measure.TextWidth(label, text);
  line.WrapDistance = measure.TextWidth(label, text + gap);
  return line;
}

}  // namespace

bool TTitleScroller::Setup(bool allowed, const TScrollSource& source, const TTextMeasure& measure) {
  if (!allowed) return false;
  pending_ = false;
  ready_ = true;

  const int titleWidth = source.LabelWidths[0];
  TScrollLine& title = lines_[0];
  title = Scrolled(TScrollLabel::lb_Title, source.Texts[0], std::max(titleWidth, 0) / 15 + 6, measure);
  title.Offset = std::max(titleWidth - title.TextWidth, kTitleMinStart);

  for (int i = 1; i < kScrollLabelCount; ++i) {
    const auto label = static_cast<TScrollLabel>(i);
    const std::string& text = source.Texts[i];
    const int width = source.LabelWidths[i];
    if (measure.TextWidth(label, text) > width) {
      lines_[i] = Scrolled(label, text, std::max(width, 0) / 10 + 6, measure);
      lines_[i].Offset = 0;
    } else {
      lines_[i] = TScrollLine{};
      lines_[i].Caption = text;
    }
  }
  return true;
}

TTitleScroller::TRepaint TTitleScroller::Tick(bool playing, bool artistVisible, bool albumVisible) {
  TRepaint repaint{};
  if (!ready_) return repaint;
  const std::array<bool, kScrollLabelCount> visible{true, artistVisible, albumVisible};
  for (int i = 0; i < kScrollLabelCount; ++i) {
    TScrollLine& line = lines_[i];
    if (!line.Scrolls || !visible[i]) continue;
    if (playing) {
      line.Offset -= i == 0 ? kTitleStep : kLineStep;
      if (line.Offset < -line.TextWidth) {
        // A font without width for blanks would never wrap: start again instead.
        line.Offset = line.WrapDistance > 0 ? line.Offset + line.WrapDistance : 0;
      }
    }
    repaint[i] = true;
  }
  return repaint;
}

}  // namespace sorrel::app
