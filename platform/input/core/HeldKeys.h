// Which keys are held down at this moment: what the keypad chords look at
// (GetAsyncKeyState's role).  Fed with every key press and release; a key that changes
// its code while held (NumLock pressed meanwhile) is released by its physical key code.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

namespace sorrel::input {

// The keys the keypad chords watch.
struct TKeypadChordKeys {
  bool plus = false;   // keypad +
  bool minus = false;  // keypad -
  bool point = false;  // keypad . (with NumLock; without it the key is Delete)
  bool star = false;   // keypad *
  bool slash = false;  // keypad /
  bool zero = false;   // keypad 0 (with NumLock; without it the key is Insert)
  bool backSpace = false;
  bool operator==(const TKeypadChordKeys&) const = default;
};

class THeldKeys {
 public:
  // `keyCode` is the platform's code of the physical key, 0 when unknown.  Auto-repeated
  // presses may come again; auto-repeated releases must not come at all.
  void Press(uint16_t vk, uint32_t keyCode);
  void Release(uint16_t vk, uint32_t keyCode);
  // Nothing held: the window lost the keyboard, so releases may never arrive.
  void Clear();

  bool IsHeld(uint16_t vk) const;
  TKeypadChordKeys ChordKeys() const;

 private:
  static constexpr size_t kKeyCodes = 256;
  std::bitset<256> withoutKeyCode_;              // held keys whose physical key is unknown
  std::array<uint16_t, kKeyCodes> byKeyCode_{};  // the code each physical key went down with
};

}  // namespace sorrel::input
