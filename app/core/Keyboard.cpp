#include "app/core/Keyboard.h"

namespace sorrel::app {

bool RunsAtKeyDown(int command) {
  return command == 0 || command == 1 || (command >= 5 && command <= 11) || command == 19 ||
         (command >= 28 && command <= 31) || (command >= 41 && command <= 44);
}

void TKeyboard::KeyDown(const TKeyInput& input) {
  if (input.Key == VK_NUMLOCK || pending_ != 0) return;
  TKeyContext context = host_.KeySettings();
  context.DisplayMode = dispatcher_.DisplayMode();
  const TKeyResult r = MapKey(input, context);
  if (r.ResetDisplayMode) dispatcher_.SetDisplayMode(0);

  switch (r.Action) {
    case TKeyAction::kCommand:
      forwardKey_ = 0;
      if (RunsAtKeyDown(r.Command)) {
        dispatcher_.Run(r.Command, r.Argument);
      } else {
        pending_ = r.Command;
        argument_ = r.Argument;
      }
      break;
    case TKeyAction::kClickTime:
    case TKeyAction::kClickCurTime:
      // No command was chosen, so the key is remembered for Navin'You as any other.
      forwardKey_ = input.Key;
      if (r.Action == TKeyAction::kClickTime) {
        host_.ClickTime();
      } else {
        host_.ClickCurTime();
      }
      break;
    case TKeyAction::kForward:
      forwardKey_ = input.Key;
      break;
    case TKeyAction::kNone:
      break;
  }
}

void TKeyboard::KeyUp(uint16_t key) {
  if (key == VK_NUMLOCK) return;
  if (pending_ != 0) {
    const int command = pending_;
    pending_ = 0;
    dispatcher_.Run(command, argument_);
    return;
  }
  // Once per key: a later key up (of Shift, say) does not send it again.
  const uint16_t forward = forwardKey_;
  forwardKey_ = 0;
  if (forward != 0 && host_.CanForwardKeys()) host_.ForwardKey(forward);
}

}  // namespace sorrel::app
