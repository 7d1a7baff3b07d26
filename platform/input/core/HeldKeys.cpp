#include "platform/input/core/HeldKeys.h"

#include "platform/input/core/VirtualKeys.h"

namespace sorrel::input {

void THeldKeys::Press(uint16_t vk, uint32_t keyCode) {
  if (vk == 0 || vk > 0xFF) return;
  if (keyCode > 0 && keyCode < kKeyCodes)
    byKeyCode_[keyCode] = vk;
  else
    withoutKeyCode_.set(vk);
}

void THeldKeys::Release(uint16_t vk, uint32_t keyCode) {
  if (keyCode > 0 && keyCode < kKeyCodes) {
    // The physical key comes up whatever code it now gives.
    byKeyCode_[keyCode] = 0;
    if (vk <= 0xFF) withoutKeyCode_.reset(vk);
    return;
  }
  if (vk == 0 || vk > 0xFF) return;
  withoutKeyCode_.reset(vk);
  for (uint16_t& held : byKeyCode_)
    if (held == vk) held = 0;
}

void THeldKeys::Clear() {
  withoutKeyCode_.reset();
  byKeyCode_.fill(0);
}

bool THeldKeys::IsHeld(uint16_t vk) const {
  if (vk == 0 || vk > 0xFF) return false;
  if (withoutKeyCode_.test(vk)) return true;
  for (const uint16_t held : byKeyCode_)
    if (held == vk) return true;
  return false;
}

TKeypadChordKeys THeldKeys::ChordKeys() const {
  return {IsHeld(kVkAdd),    IsHeld(kVkSubtract), IsHeld(kVkDecimal), IsHeld(kVkMultiply),
          IsHeld(kVkDivide), IsHeld(kVkNumpad0),  IsHeld(kVkBack)};
}

}  // namespace sorrel::input
