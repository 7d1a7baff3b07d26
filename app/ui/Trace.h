// A trace of what the player does, for scripts and tests: with SORREL_TRACE set (to
// anything but empty or 0), one line per event on standard error,
//   sorrel: trace +MILLISECONDS EVENT
// with the milliseconds since the program started.  Events: "settings read", "window
// shown", "play files N", "play ROW PATH", "first buffer queued", "end ROW REASON",
// "error PATH", "shutdown".
#pragma once

#include <string>

namespace sorrel::app {

bool TraceOn();
void Trace(const std::string& event);

}  // namespace sorrel::app
