// Prints how long the settings file takes to read (at start) and to write (at shutdown)
// for generated files of 1, 10 and 50 MB in two shapes: many foreign sections before
// the player's own, and one section holding everything.  Wall-clock time (the write
// includes its fsync) and processor time, which a busy machine disturbs less.  Figures
// only, no limits.
#include "app/core/Settings.h"

#include <unistd.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

using namespace sorrel::app;

namespace {

// Wall-clock and processor time of one call.
struct TTimes {
  double wall, cpu;
};
template <class F>
TTimes Time(F f) {
  timespec c0{}, c1{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
  const auto t0 = std::chrono::steady_clock::now();
  f();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
  return {wall, double(c1.tv_sec - c0.tv_sec) + double(c1.tv_nsec - c0.tv_nsec) * 1e-9};
}

// Foreign sections of six keys each (ASCII and Japanese values), then the player's own
// sections with a few keys, so that a write inserts most of its keys.
std::string ManySections(size_t bytes) {
  std::string f = "[Tarn's MP3PLayer Version]\r\nVersion=9.99x\r\n";
  for (int i = 0; f.size() < bytes; ++i) {
    f += "[Extra" + std::to_string(i) + "]\r\n";
    for (int k = 0; k < 6; ++k)
      f += "Key" + std::to_string(k) + "=" +
           (k % 2 ? "/music/日本語のアルバム/曲.mp3" : "some plain value 12345") + "\r\n";
  }
  f += "[PlayerMainForm]\r\nLeft=10\r\n[Player]\r\nMainLevel=70\r\n[CurrentMusic]\r\nCurFile=/a.mp3\r\n";
  return f;
}

// One section holding everything: the player's keys found among many foreign ones.
std::string OneSection(size_t bytes) {
  std::string f = "[Tarn's MP3PLayer Version]\r\nVersion=9.99x\r\n[PlayerMainForm]\r\n";
  for (int i = 0; f.size() < bytes; ++i) f += "Foreign" + std::to_string(i) + "=/music/日本語/曲.mp3\r\n";
  f += "Left=10\r\n";
  return f;
}

// The file as the player meets it: read from disk at start, merged and replaced at
// shutdown (with its fsync).
void Report(const char* shape, int mb, const std::string& file, const std::string& path) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << file;
  TSettingsHost host;
  TPlayerSettings s;
  TSettingsFile settings(path);
  const TTimes read = Time([&] { settings.Read(s, host); });
  std::string error;
  bool written = false;
  const TTimes write = Time([&] { written = settings.Write(s, &error); });
  std::printf("%-13s %3d MB  read %6.3f s (cpu %6.3f s)  write %6.3f s (cpu %6.3f s)%s%s\n", shape, mb,
              read.wall, read.cpu, write.wall, write.cpu, written ? "" : "  ", error.c_str());
  std::fflush(stdout);
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/sorrel-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const std::string path = dir + "/sorrel.ini";
  for (int mb : {1, 10, 50}) {
    Report("many sections", mb, ManySections(size_t(mb) << 20), path);
    Report("one section", mb, OneSection(size_t(mb) << 20), path);
  }
  unlink(path.c_str());
  rmdir(dir.c_str());
  return 0;
}
