// Prints what the alarm's once-a-second screen reading costs over the bus against a
// running sorrel-navin-sim (started by scripts/bench-navin-read.sh): the window search,
// one reading, one capture and one enumeration, as the median and the slowest of N
// rounds in milliseconds.  Figures only, no limits.
#include "alarm/core/NavinScreen.h"
#include "app/ui/ForeignWindowScreens.h"
#include "base/Clock.h"
#include "platform/desktop/ForeignWindows.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace sorrel;

namespace {

void Report(const char* what, int rounds, const std::function<bool()>& step) {
  std::vector<double> ms;
  int failed = 0;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    failed += !step();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-44s median %7.3f ms   slowest %7.3f ms   (%d rounds, %d failed)\n", what, ms[ms.size() / 2],
              ms.back(), rounds, failed);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  desktop::ForeignWindowClient client;
  app::TForeignNavinWindows windows(client);
  base::TFakeClock clock(1000000);
  alarm::TNavinYou navin(windows, clock);
  navin.FindNavinWindows();
  if (!navin.Windows().StatusScreen) {
    std::fputs("bench_navin_read: no navigation program on the bus\n", stderr);
    return 1;
  }
  Report("FindNavinWindows", rounds, [&] {
    navin.FindNavinWindows();
    return navin.Windows().StatusScreen != 0;
  });
  Report("ReadNavinPosition (small status screen)", rounds, [&] {
    clock.Advance(1000000);
    return navin.ReadNavinPosition().Fix.Latitude > 0;
  });
  alarm::TRgbImage image;
  Report("Capture 110 x 10", rounds,
         [&] { return windows.Capture(navin.Windows().StatusScreen, 12, 11, 110, 10, image); });
  Report("TopLevelWindows", rounds, [&] { return !client.TopLevelWindows().empty(); });
  return 0;
}
