// The Windows font names that the settings and the windows use ("ＭＳ 明朝",
// "ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝") are kept as given and drawn with
// the IPA fonts through Qt's font substitution.
#pragma once

namespace sorrel::controls {

// Registers the substitutions; call once after the application object exists.
void RegisterFontSubstitutions();

}  // namespace sorrel::controls
