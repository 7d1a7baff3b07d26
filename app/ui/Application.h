// The program's entry: single instance, hand-off to a running player, muting the wave
// output while starting, the windows in their fixed order, the event loop.
#pragma once

namespace sorrel::app {

int RunSorrel(int argc, char** argv);

}  // namespace sorrel::app
