#include "app/core/Wait.h"

#include <algorithm>

namespace sorrel::app {

void TWaitLoop::Wait(int ms) {
  const int64_t end = clock_.TickCount() + ms;
  do {
    host_.ProcessMessages();
    clock_.SleepFor(int64_t{std::max(host_.MinSleepTime(), 1)} * 1000);
  } while (clock_.TickCount() < end);
}

}  // namespace sorrel::app
