// Prints how long the play list work takes on a generated library of 100,000 songs (empty
// files) in 5,000 directories, and the time and peak memory of reading huge list files.
// Figures only, no limits.
//
//   bench_playlist [DIR]      generates the library under DIR (default: a temporary
//                             directory) and removes it afterwards
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "playlist/core/ListFile.h"
#include "playlist/core/PlayFiles.h"

using namespace sorrel::playlist;
namespace fs = std::filesystem;

namespace {

constexpr int kDirectories = 5000;
constexpr int kSongsPerDirectory = 20;

using Clock = std::chrono::steady_clock;

// Wall time and the processor time (user + system) of this process, in ms: the machine
// may be shared, and then the processor time tells what the work itself cost.
struct Timing {
  double wall = 0, cpu = 0;
};

double CpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

template <class F>
Timing Measure(F f) {
  const auto t0 = Clock::now();
  const double c0 = CpuMs();
  f();
  return {std::chrono::duration<double, std::milli>(Clock::now() - t0).count(), CpuMs() - c0};
}

// The run with the median processor time of `runs`.
template <class F>
Timing Median(F f, int runs) {
  std::vector<Timing> t;
  for (int i = 0; i < runs; ++i) t.push_back(Measure(f));
  std::sort(t.begin(), t.end(), [](const Timing& a, const Timing& b) { return a.cpu < b.cpu; });
  return t[t.size() / 2];
}

void Print(const char* what, Timing t, const std::string& note = "") {
  std::printf("%-44s %9.2f ms wall %9.2f ms cpu%s%s\n", what, t.wall, t.cpu, note.empty() ? "" : "  ",
              note.c_str());
  std::fflush(stdout);
}

bool DropCaches() {
  sync();
  std::ofstream drop("/proc/sys/vm/drop_caches");
  drop << "3\n";
  drop.flush();
  return bool(drop);
}

// The library: D0000 .. D4999, each with 20 songs; every other song has a lyric file.
std::vector<std::string> Generate(const std::string& root) {
  std::vector<std::string> dirs;
  for (int d = 0; d < kDirectories; ++d) {
    char name[32];
    std::snprintf(name, sizeof name, "/D%04d", d);
    const std::string dir = root + name;
    fs::create_directories(dir);
    for (int s = 0; s < kSongsPerDirectory; ++s) {
      char song[64];
      // Mixed case, so the listing's case-insensitive mask and order do their work.
      std::snprintf(song, sizeof song, "/%s %02d.%s", s % 3 ? "track" : "Track", s, s % 4 ? "mp3" : "MP3");
      std::ofstream(dir + song);
      if (s % 2 == 0)
        std::ofstream(dir + "/" + (s % 3 ? "track " : "Track ") + (s < 10 ? "0" : "") + std::to_string(s) +
                      ".lrc");
    }
    dirs.push_back(dir);
  }
  return dirs;
}

// Peak resident memory of this process so far, in MiB (VmHWM starts anew at exec,
// unlike the rusage figure, which keeps the forking parent's).
double PeakResidentMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  return 0;
}

// Reads a list file in a fresh process, so that its peak memory is its own.
void ReadInChild(const char* self, const std::string& what, const std::string& list, bool fileMode,
                 const std::string& home) {
  const pid_t pid = fork();
  if (pid == 0) {
    execl(self, self, "--read", list.c_str(), fileMode ? "file" : "dir", home.c_str(), what.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

int ReadMain(const std::string& list, bool fileMode, const std::string& home, const std::string& what) {
  const double before = PeakResidentMiB();
  ListFileRead r;
  const Timing t = Measure([&] { r = ReadListFile(list, fileMode, home); });
  Print(what.c_str(), t,
        "(" + std::to_string(r.lines) + " lines, " + std::to_string(r.entries.size()) + " kept" +
            (r.ok() ? "" : ", refused: " + r.error) + ")");
  std::printf("%-44s %9.1f MiB (%.1f MiB before reading)\n", "  peak resident memory", PeakResidentMiB(),
              before);
  std::fflush(stdout);
  return 0;
}

std::string MakeHugeList(const std::string& path, size_t lines, const std::string& (*line)(size_t)) {
  std::string text;
  for (size_t i = 0; i < lines; ++i) text += line(i);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--read") == 0)
    return ReadMain(argv[2], std::strcmp(argv[3], "file") == 0, argv[4], argv[5]);

  const bool ownRoot = argc < 2;
  const std::string root =
      ownRoot ? (fs::temp_directory_path() / ("sorrel-bench-playlist-" + std::to_string(getpid()))).string()
              : argv[1];
  fs::create_directories(root);
  const std::string home = root + "/home";
  fs::create_directories(home);

  std::printf("library: %d songs in %d directories under %s\n", kDirectories * kSongsPerDirectory,
              kDirectories, root.c_str());
  std::vector<std::string> dirs;
  Print("generate", Measure([&] { dirs = Generate(root); }));

  PlayFileList list;
  const bool cold = DropCaches();
  Print("BuildPlayFiles, directories, first run", Measure([&] { list.BuildPlayFiles(dirs, false, false); }),
        cold ? "(page cache dropped: cold)" : "(could not drop the page cache: not cold)");
  Print("BuildPlayFiles, directories, warm", Median([&] { list.BuildPlayFiles(dirs, false, false); }, 5),
        "(" + std::to_string(list.Count()) + " songs)");
  Print("BuildPlayFiles, directories, lyric filter",
        Median([&] { list.BuildPlayFiles(dirs, false, true); }, 5),
        "(" + std::to_string(list.Count()) + " songs)");

  list.BuildPlayFiles(dirs, false, false);
  std::vector<std::string> songs;
  for (const PlayFile& f : list.PlayFiles()) songs.push_back(f.path);
  Print("BuildPlayFiles, files, warm", Median([&] { list.BuildPlayFiles(songs, true, false); }, 5),
        "(" + std::to_string(list.Count()) + " songs)");
  Print("BuildPlayFiles, files, lyric filter", Median([&] { list.BuildPlayFiles(songs, true, true); }, 5),
        "(" + std::to_string(list.Count()) + " songs)");

  list.BuildPlayFiles(dirs, false, false);
  Print("ShufflePlayOrder(true), 100,000 rows", Median([&] { list.ShufflePlayOrder(true, 9999); }, 21));
  Print("ShufflePlayOrder(false)", Median([&] { list.ShufflePlayOrder(false, 0); }, 21));
  list.ShufflePlayOrder(true, 9999);
  Print("RemoveSong (middle row)", Median([&] { list.RemoveSong(list.Count() / 2); }, 21));

  const std::string fileList = root + "/songs.pfl";
  const std::string dirList = root + "/dirs.pdr";
  Print("WriteListFile, 100,000 songs (with fsync)", Measure([&] { WriteListFile(fileList, songs); }));
  Print("WriteListFile, 5,000 directories", Measure([&] { WriteListFile(dirList, dirs); }));
  // A quarter of the songs end in ".MP3", which a file list does not keep.
  size_t kept = 0;
  Timing t = Median([&] { kept = ReadListFile(fileList, true, home).entries.size(); }, 5);
  Print("ReadListFile, 100,000 songs", t, "(" + std::to_string(kept) + " kept)");
  t = Median([&] { kept = ReadListFile(dirList, false, home).entries.size(); }, 5);
  Print("ReadListFile, 5,000 directories", t, "(" + std::to_string(kept) + " kept)");

  // Huge lists, each read by a process of its own.
  ReadInChild(argv[0], "ReadListFile, 100,000 songs (own process)", fileList, true, home);
  const std::string oneChar =
      MakeHugeList(root + "/onechar.pfl", 8u << 20, [](size_t i) -> const std::string& {
        static std::string lines[26];
        std::string& l = lines[i % 26];
        if (l.empty()) l = std::string(1, char('a' + i % 26)) + "\n";
        return l;
      });
  ReadInChild(argv[0], "16 MiB list, 8 Mi lines of one letter", oneChar, true, home);
  ReadInChild(argv[0], "  the same as a directory list", oneChar, false, home);
  const std::string distinct =
      MakeHugeList(root + "/distinct.pfl", 16u << 20 >> 4, [](size_t i) -> const std::string& {
        static std::string l;
        char buf[32];
        std::snprintf(buf, sizeof buf, "n%010zu.mp3\n", i);  // 16 bytes
        l = buf;
        return l;
      });
  ReadInChild(argv[0], "16 MiB list, 1 Mi distinct missing songs", distinct, true, home);
  // Every line a song that exists: the memory goes to the kept entries.
  fs::copy_file(root + "/D0000/Track 00.MP3", home + "/a.mp3");
  const std::string valid =
      MakeHugeList(root + "/valid.pfl", 8u << 20 >> 3, [](size_t) -> const std::string& {
        static const std::string l = "./a.mp3\n";  // 8 bytes
        return l;
      });
  ReadInChild(argv[0], "8 MiB list, 1 Mi lines naming one song", valid, true, home);

  if (ownRoot) fs::remove_all(root);
  return 0;
}
