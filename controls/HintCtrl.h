// THintWindowEx: a borderless, always-on-top pop-up that mouse clicks pass through.  It
// shows multi-line text in which a band of lines takes the font colour and all other
// lines a second colour.  It is the tool tip of the list controls, the main window's
// message pop-up and the lyric window (where the band is the current lyric line).
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <mutex>

namespace sorrel::controls {

// A colour stored as 0x00BBGGRR (red in the lowest byte), as the settings keep them.
QColor ColorFromBgr(uint32_t bgr);

class THintWindowEx : public QWidget {
  Q_OBJECT
 public:
  explicit THintWindowEx(QWidget* parent = nullptr);
  ~THintWindowEx() override;

  // The band and the colour of the lines outside it.  Setting them only stores them;
  // the next paint shows them.
  QColor SecondColor() const { return secondColor_; }
  void SecondColor(const QColor& c);
  int FirstLine() const { return firstLine_; }
  void FirstLine(int line);
  int LineCount() const { return lineCount_; }
  void LineCount(int count);

  // The band's colour (the font's) and the background.
  QColor FontColor() const;
  void FontColor(const QColor& c);
  QColor Color() const;
  void Color(const QColor& c);

  QString Caption() const;
  // A new text outside ActivateHint sizes the window to it as one line.
  void SetCaption(const QString& text);

  // Shows `text` in `rect` (screen coordinates) made 4 pixels taller, moved as little
  // as needed to lie whole on the available area of the screen under it, on top of
  // every window and without taking the focus.
  void ActivateHint(const QRect& rect, const QString& text);
  // The size `text` needs wrapped at word breaks within `maxWidth`, widened by 8 and
  // heightened by 2 pixels for the border and margins; at (0, 0).
  QRect MeasureHint(int maxWidth, const QString& text) const;
  void HideHint();
  bool Shown() const { return shown_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor secondColor_;
  int firstLine_ = 1;
  int lineCount_ = 1;
  bool activating_ = false;
  bool shown_ = false;
  QString caption_;
  // Held while painting and while the text or band changes.
  mutable std::mutex paintLock_;
};

}  // namespace sorrel::controls
