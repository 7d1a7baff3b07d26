// Prints how long one alarm check takes (a position sentence parsed and checked against
// every camera point) with 100,000 and 1,000,000 points, spread over Japan or crowded
// around the car, and how long loading such a point file takes.  Figures only, no limits.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "alarm/core/OvisAlarm.h"
#include "tests/alarm/QuietPorts.h"

using namespace sorrel;
using namespace sorrel::alarm;

namespace {

using Quiet = alarm::testing::QuietPorts;

constexpr int32_t kCarLat = 3568945, kCarLon = 13969861;  // Tokyo

// Points over Japan (24..46° N, 123..146° E), or all within 0.5° of the car.
void FillPoints(TOvisPointList& points, int64_t count, bool crowded) {
  std::mt19937 random(6);
  std::uniform_int_distribution<int32_t> lat(crowded ? kCarLat - 50000 : 2400000,
                                             crowded ? kCarLat + 50000 : 4600000);
  std::uniform_int_distribution<int32_t> lon(crowded ? kCarLon - 50000 : 12300000,
                                             crowded ? kCarLon + 50000 : 14600000);
  std::uniform_int_distribution<int32_t> dir(0, 359);
  for (int64_t i = 0; i < count; ++i)
    points.Add("首都高速 Hシステム", lat(random), lon(random), dir(random) * 100000);
}

void BM_AlarmCheck(benchmark::State& state) {
  base::TFakeClock clock(1'000'000'000);
  Quiet quiet;
  TOvisAlarmSettings settings;
  settings.UseTNLink = true;
  TNavinYou navin(quiet, clock);
  TOvisAlarm alarm(settings, "/nonexistent", {quiet, quiet, quiet, quiet, navin, clock});
  FillPoints(alarm.Points(), state.range(0), state.range(1) != 0);
  alarm.OnSentence("$tnlink_data,ido=35.68945,kei=139.69861,dir=90,vel=60");
  alarm.OnCheckTimer();  // the sentence data is fresh from here on
  int heading = 0;
  for (auto _ : state) {
    char sentence[96];
    std::snprintf(sentence, sizeof sentence, "$tnlink_data,ido=35.68945,kei=139.69861,dir=%d,vel=60",
                  heading);
    heading = (heading + 37) % 360;
    benchmark::DoNotOptimize(alarm.OnSentence(sentence));
    clock.Advance(1000);
  }
  state.SetLabel(state.range(1) ? "crowded within 0.5 degree" : "spread over Japan");
}
BENCHMARK(BM_AlarmCheck)
    ->Args({100'000, 0})
    ->Args({1'000'000, 0})
    ->Args({100'000, 1})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMicrosecond);

// Reading "ovis.pot" and the first check (which sorts the points by latitude).
void BM_LoadPointFile(benchmark::State& state) {
  const std::string dir =
      std::filesystem::temp_directory_path() / ("sorrel-bench-alarm-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/ovis.pot";
  {
    TOvisPointList points;
    FillPoints(points, state.range(0), false);
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < points.Count(); ++i)
      out << "ORD=poi/tex=" << points.Text(i) << "/kei=" << FormatDmst(points.Longitude(i))
          << "/ido=" << FormatDmst(points.Latitude(i)) << "/deg=" << points.Direction(i) / 100000 << "\n";
  }
  for (auto _ : state) {
    TOvisPointList points;
    const TPointFileLoad load = LoadPointFile(path, points);
    benchmark::DoNotOptimize(points.NearestAhead(kCarLat, kCarLon, 0, 1000, 8000000, 12000000));
    if (int64_t(points.Count()) != state.range(0) || !load.Warnings.empty()) state.SkipWithError("bad load");
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadPointFile)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
