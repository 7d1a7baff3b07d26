// Prints the time from assigning FileName to the first buffer queued at the sound
// output, over several runs on one file (the null backend, real time).
//   engine_bench FILE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/MP3Player.h"
#include "platform/audio/WaveOut.h"

using namespace sorrel::engine;
using namespace sorrel::audio;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: engine_bench FILE [RUNS]\n");
    return 2;
  }
  int runs = argc > 2 ? std::atoi(argv[2]) : 20;
  sorrel::audio::SelectBackend("null");
  TMPRunLoop loop;
  TMP3Player player(loop);
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    player.SetFileName(argv[1]);
    while (player.OutputQueued() == 0) std::this_thread::yield();
    auto t1 = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    player.SetFileName("");
    loop.RunFor(5);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("FileName to first buffer queued: median %.2f ms, min %.2f ms, max %.2f ms (%d runs)\n",
              ms[ms.size() / 2], ms.front(), ms.back(), runs);
  return 0;
}
