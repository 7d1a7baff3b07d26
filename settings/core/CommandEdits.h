// The edit boxes of the settings window: the numeric ones (range, format, check on
// leaving, "規定値"), the colour ones ("$" and six hexadecimal digits), the colour
// dialog's custom colours as "ColorDialogOption" holds them, and the working values the
// window keeps between showing it and "設 定".
#pragma once

#include "settings/core/CommandSettings.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace sorrel::settings {

enum class TNumericEdit {
  ed_Distance,
  ed_Velocity,
  ed_AimDegree,
  ed_OpsDegree,
  ed_PlaySoundInterval,  // seconds; the setting is in milliseconds
  ed_PreLevelDownVal,
  ed_FLFLimit,
  ed_FLHFontPlus,
  ed_PLDLimit,
  ed_PLFLimit,
  ed_LyricLine,
  ed_LyricFontSize,
  ed_KSLyricFontSize,
};
inline constexpr int kNumericEdits = 13;

struct TNumericEditField {
  const char* Name;  // the control's name
  int Min, Max;
  int Width;    // "%5d" or "%3d"
  int Default;  // "規定値"; only the alarm's six have one
  bool HasDefault;
};

const TNumericEditField& NumericEditField(TNumericEdit e);

// The text as a decimal integer: blanks around it, an optional sign and digits (the
// full-width forms too, as an input method gives them).  A number beyond the int range
// saturates, so clamping then gives the nearest bound.  Nothing for anything else.
std::optional<int> ParseInteger(std::string_view text);

// "%*d".
std::string FormatNumber(int value, int width);

// A colour as its edit shows it: "$" and six upper-case hexadecimal digits of the low
// three bytes.
std::string FormatColorText(TColor c);
// "$" and exactly six hexadecimal digits (either case); nothing for anything else, such
// as a text with the mask's blanks still in it.
std::optional<TColor> ParseColorText(std::string_view text);
// A character typed into a colour edit: digits and "A"–"F" pass, "a"–"f" become upper
// case, everything else is dropped (0).
char32_t FilterColorKey(char32_t ch);
// The frame colour samples' text colour.
inline TColor InverseColor(TColor c) { return (c ^ 0xFFFFFF) & 0xFFFFFF; }

// The colour dialog's sixteen custom colours, ColorA … ColorP.
inline constexpr int kCustomColors = 16;
using TCustomColors = std::array<TColor, kCustomColors>;
// "ColorDialogOption" is the list's comma text: "ColorA=FFFFFF,ColorB=…", each value
// the hexadecimal digits of a colour.  Entries that do not read leave that colour white.
TCustomColors ParseCustomColors(std::string_view text);
std::string FormatCustomColors(const TCustomColors& colors);

// "LyricPos" from the four radio buttons: the last checked of bottom, left, right, top
// wins; none checked keeps `current` (a stored position the buttons cannot show).
int LyricPosFromRadios(bool bottom, bool left, bool right, bool top, int current);

// The working values of the numeric edits, loaded when the window is shown, replaced by
// each successful check and stored by "設 定".  The lyric font size is the sample's.
class TCommandEdits {
 public:
  void Load(const TCommandValues& v);
  int Value(TNumericEdit e) const { return values_[static_cast<int>(e)]; }
  // The edit's text for its working value.
  std::string Text(TNumericEdit e) const;

  // The check on leaving an edit: false when `text` is not an integer, and the working
  // value stays; otherwise the working value becomes the number clamped to the range.
  // Either way the edit then shows Text(e).
  bool Check(TNumericEdit e, std::string_view text);

  // "規定値": the six alarm values only.
  void Default();

  // Copies the working values into `v` (the alarm's interval in milliseconds).
  void Store(TCommandValues& v) const;

 private:
  std::array<int, kNumericEdits> values_{};
};

}  // namespace sorrel::settings
