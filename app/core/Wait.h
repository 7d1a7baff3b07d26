// The program's wait loop and the search for a window that may not be there yet.  The
// waits of the Navin'You operations, the map link and the resume all go through
// TWaitLoop, so messages keep flowing while the program waits and tests run the waits
// on virtual time.
#pragma once

#include "base/Clock.h"

#include <cstdint>
#include <optional>
#include <string>

namespace sorrel::app {

// What a wait needs from the main window.
class TWaitHost {
 public:
  virtual ~TWaitHost() = default;
  // Handles the window messages that are waiting, then returns.
  virtual void ProcessMessages() = 0;
  // "MinSleepTime": the sleep of one round, read afresh for every wait.
  virtual int MinSleepTime() const = 0;
};

class TWaitLoop {
 public:
  TWaitLoop(TWaitHost& host, base::TClock& clock) : host_(host), clock_(clock) {}

  // Rounds of "process the messages, sleep MinSleepTime ms" until `ms` have passed
  // since the call; always at least one round, so Wait(0) still handles the messages.
  // A MinSleepTime below 1 sleeps 1 ms, so a wait never spins a core.
  void Wait(int ms);

  base::TClock& Clock() { return clock_; }

 private:
  TWaitHost& host_;
  base::TClock& clock_;
};

// How often the search for a window is repeated.
inline constexpr int kFindWindowRetryMs = 99;

// One look for a window: a child of `parent` (a top-level window when there is none)
// of that class, with that caption (any caption when there is none).  The main window
// implements it over the bus layer's window search.
template <class Window>
class TWindowFinder {
 public:
  virtual ~TWindowFinder() = default;
  virtual std::optional<Window> FindWindow(const Window* parent, const std::string& className,
                                           const std::optional<std::string>& caption) = 0;
};

// Looks at once, then again every 99 ms of the wait loop, until the window is found or
// `timeoutMs` have passed since the call (the last look comes after the wait that
// passes the time-out).  A time-out of 0 or less looks once.
template <class Window>
std::optional<Window> FindWindowWithWait(TWaitLoop& waitLoop, TWindowFinder<Window>& finder,
                                         const Window* parent, const std::string& className, int timeoutMs,
                                         const std::optional<std::string>& caption = std::nullopt) {
  const int64_t start = waitLoop.Clock().TickCount();
  for (;;) {
    if (std::optional<Window> window = finder.FindWindow(parent, className, caption)) return window;
    if (waitLoop.Clock().TickCount() - start >= timeoutMs) return std::nullopt;
    waitLoop.Wait(kFindWindowRetryMs);
  }
}

}  // namespace sorrel::app
