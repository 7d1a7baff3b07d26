// Prints how long the "add all directories" search takes over a generated tree of
// 10,000 directories, and the longest gap between two progress calls (the window
// processes its events in each call, so that gap is how long the window can stall).
// Figures only, no limits.
//
//   bench_search [DIR]      generates the tree under DIR (default: a temporary
//                           directory) and removes it afterwards
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "playlist/core/DirectorySearch.h"

using namespace sorrel::playlist;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// 10 directories at depth 1, 10 below each (100), and 99 below each of those (9,900):
// 10,010 directories below the start.  Every third of the deepest holds two songs and
// every directory a text file, so the checking pass reads every directory.
constexpr int kTop = 10, kMiddle = 10, kLeaves = 99;

size_t Generate(const std::string& root) {
  size_t dirs = 0;
  char name[64];
  for (int a = 0; a < kTop; ++a)
    for (int b = 0; b < kMiddle; ++b)
      for (int c = 0; c < kLeaves; ++c) {
        std::snprintf(name, sizeof name, "/Artist %02d/album %02d/Disc %02d", a, b, c);
        const std::string dir = root + name;
        fs::create_directories(dir);
        std::ofstream(dir + "/notes.txt");
        if (c % 3 == 0) {
          std::ofstream(dir + "/01 song.mp3");
          std::ofstream(dir + "/02 Song.MP3");
        }
        ++dirs;
      }
  return dirs + kTop * kMiddle + kTop;
}

double CpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

bool DropCaches() {
  sync();
  std::ofstream drop("/proc/sys/vm/drop_caches");
  drop << "3\n";
  drop.flush();
  return bool(drop);
}

struct Run {
  double wall = 0, cpu = 0, longestGap = 0, searchingMs = 0;
  size_t calls = 0, added = 0, directories = 0;
};

Run Search(const std::string& root) {
  std::atomic<bool> cancelled{false};
  Run run;
  const auto t0 = Clock::now();
  auto last = t0;
  bool checking = false;
  const double c0 = CpuMs();
  const TSearchResult r = SearchAllDirectories(root, cancelled, [&](const TSearchProgress& p) {
    const auto now = Clock::now();
    run.longestGap = std::max(run.longestGap, std::chrono::duration<double, std::milli>(now - last).count());
    if (!checking && p.phase == TSearchPhase::kChecking) {
      checking = true;
      run.searchingMs = std::chrono::duration<double, std::milli>(now - t0).count();
    }
    last = now;
    ++run.calls;
  });
  const auto t1 = Clock::now();
  run.longestGap = std::max(run.longestGap, std::chrono::duration<double, std::milli>(t1 - last).count());
  run.wall = std::chrono::duration<double, std::milli>(t1 - t0).count();
  run.cpu = CpuMs() - c0;
  run.added = r.entries.size();
  run.directories = r.directories;
  return run;
}

void Print(const char* what, const Run& r) {
  std::printf("%-28s %8.1f ms wall %8.1f ms cpu  (walk %7.1f ms, checking %7.1f ms)\n", what, r.wall, r.cpu,
              r.searchingMs, r.wall - r.searchingMs);
  std::printf("%-28s %8.2f ms longest gap between progress calls, %zu calls; %zu directories, %zu added\n",
              "", r.longestGap, r.calls, r.directories, r.added);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const bool ownRoot = argc < 2;
  const std::string root =
      ownRoot ? (fs::temp_directory_path() / ("sorrel-bench-search-" + std::to_string(getpid()))).string()
              : argv[1];
  fs::create_directories(root);
  const auto g0 = Clock::now();
  const size_t dirs = Generate(root);
  std::printf("tree: %zu directories below %s (generated in %.0f ms)\n", dirs, root.c_str(),
              std::chrono::duration<double, std::milli>(Clock::now() - g0).count());

  const bool cold = DropCaches();
  Print(cold ? "first run (cache dropped)" : "first run (cache not dropped)", Search(root));
  std::vector<Run> warm;
  for (int i = 0; i < 5; ++i) warm.push_back(Search(root));
  std::sort(warm.begin(), warm.end(), [](const Run& a, const Run& b) { return a.wall < b.wall; });
  Print("warm, median of 5", warm[warm.size() / 2]);
  Print("warm, slowest of 5", warm.back());

  if (ownRoot) fs::remove_all(root);
  return 0;
}
