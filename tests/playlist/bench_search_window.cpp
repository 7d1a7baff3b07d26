// The directory search behind "add all directories" as the editor runs it, through
// fm_SearchSts (Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise): wall
// time over a generated tree of 10,010 directories, how often events were processed,
// and the longest time between two such times, as the window measures it and as a
// 10 ms timer of the event loop sees it.  Prints figures; asserts nothing.
#include "playlist/ui/SearchSts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using sorrel::playlist::Tfm_SearchSts;

namespace {

// 10 directories, 10 below each, 99 below each of those: 10,010 directories below the
// start; every third of the deepest holds two songs, every directory a text file.
size_t Generate(const std::string& root) {
  size_t dirs = 0;
  char name[64];
  for (int a = 0; a < 10; ++a)
    for (int b = 0; b < 10; ++b)
      for (int c = 0; c < 99; ++c) {
        std::snprintf(name, sizeof name, "/Artist %02d/album %02d/Disc %02d", a, b, c);
        const std::string dir = root + name;
        ++dirs;
        if (std::filesystem::exists(dir)) continue;
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "/notes.txt");
        if (c % 3 == 0) {
          std::ofstream(dir + "/01 song.mp3");
          std::ofstream(dir + "/02 Song.MP3");
        }
      }
  return dirs + 110;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string root = std::string(SORREL_BUILD_DIR) + "/bench-trees/search-window";
  const size_t dirs = Generate(root);
  std::printf("tree of %zu directories below %s\n", dirs, root.c_str());

  Tfm_SearchSts sts;
  // A timer of the event loop: the longest time between its ticks is how long the
  // interface waited for events at worst.
  QElapsedTimer sinceTick;
  double longestTick = 0;
  QTimer tick;
  tick.setInterval(10);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    longestTick = std::max(longestTick, double(sinceTick.nsecsElapsed()) / 1e6);
    sinceTick.restart();
  });
  std::vector<double> walls;
  for (int round = 0; round < 5; ++round) {
    longestTick = 0;
    sinceTick.start();
    tick.start();
    QElapsedTimer t;
    t.start();
    const auto result = sts.Search(root + "/", nullptr);
    const double wall = double(t.nsecsElapsed()) / 1e6;
    tick.stop();
    walls.push_back(wall);
    std::printf(
        "round %d: %8.1f ms wall, %zu directories with songs, %d event rounds, longest gap %.2f ms "
        "(window), %.2f ms (timer)\n",
        round + 1, wall, result.entries.size(), sts.EventRounds(), sts.LongestGapMs(), longestTick);
  }
  std::sort(walls.begin(), walls.end());
  std::printf("median wall %.1f ms\n", walls[walls.size() / 2]);
  return 0;
}
