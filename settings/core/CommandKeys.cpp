#include "settings/core/CommandKeys.h"

namespace sorrel::settings {
namespace {

constexpr uint16_t VK_RETURN = 0x0D;
constexpr uint16_t VK_ESCAPE = 0x1B;
constexpr uint16_t VK_0 = 0x30;        // '0'..'9'
constexpr uint16_t VK_NUMPAD0 = 0x60;  // ..VK_NUMPAD9

// The digit of a key in the ten codes from `first`, or -1.
int DigitOf(uint16_t key, uint16_t first) { return key >= first && key < first + 10 ? key - first : -1; }

}  // namespace

TCommandKeyResult CommandFormKey(const TCommandKey& k) {
  using A = TCommandKeyAction;
  if (k.Key == VK_RETURN) return {k.Shift ? A::kFocusPrevious : A::kFocusNext, 0};
  if (k.Key == VK_ESCAPE) return {A::kClose, 0};
  if (!k.EqTabActive) return {};
  if (const int n = DigitOf(k.Key, VK_0); n >= 0) {
    if (k.Ctrl) return {A::kStorePreset, n};
    if (k.Shift) return {A::kRecallPreset, n};
  }
  if (const int n = DigitOf(k.Key, VK_NUMPAD0); n >= 0 && k.SlashHeld)
    return {k.BackHeld ? A::kStorePreset : A::kRecallPreset, n};
  return {};
}

}  // namespace sorrel::settings
