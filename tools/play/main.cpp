// sorrel-play: a console player on the engine.  Plays the files in order on one
// updating status line; Space pauses, Left/Right seek 3 s, q quits.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "engine/MP3Player.h"
#include "platform/audio/WaveOut.h"

using namespace sorrel::engine;
using namespace sorrel::audio;

namespace {

const char kUsage[] =
    "usage: sorrel-play [--audio BACKEND] FILE...\n"
    "Plays the MPEG audio files in order, showing title, artist, album and\n"
    "elapsed / total time.  Keys: Space pause/resume, Left/Right seek 3 s, q quit.\n"
    "  --audio BACKEND  sound output: alsa (default), alsa:PCM, null, null:fast,\n"
    "                   wav:FILE, wav-rt:FILE (default from $SORREL_AUDIO)\n"
    "  --help, --version\n"
    "Files must be regular files (a FIFO or a device is refused at once).\n"
    "SIGINT and SIGTERM stop playing and end the program.\n"
    "Exit status: 0 when every file played, 1 when one could not, 2 on a usage error.\n";

volatile std::sig_atomic_t g_quit = 0;
void OnSignal(int) { g_quit = 1; }

struct Terminal {
  bool raw = false;
  termios saved{};
  void Enter() {
    if (!isatty(0) || tcgetattr(0, &saved) != 0) return;
    termios t = saved;
    t.c_lflag &= ~tcflag_t(ICANON | ECHO);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    raw = tcsetattr(0, TCSANOW, &t) == 0;
  }
  ~Terminal() {
    if (raw) tcsetattr(0, TCSANOW, &saved);
  }
};

std::string Clock(int ms) {
  if (ms < 0) ms = 0;
  char b[32];
  int s = ms / 1000;
  if (s >= 3600)
    std::snprintf(b, sizeof b, "%d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(b, sizeof b, "%02d:%02d", s / 60, s % 60);
  return b;
}

enum class Key { None, Pause, Back, Forward, Quit };

Key ReadKey() {
  pollfd p{0, POLLIN, 0};
  if (poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) return Key::None;
  char c[8];
  ssize_t n = read(0, c, sizeof c);
  if (n <= 0) return Key::None;
  if (c[0] == ' ') return Key::Pause;
  if (c[0] == 'q' || c[0] == 'Q') return Key::Quit;
  if (n >= 3 && c[0] == 27 && c[1] == '[') {
    if (c[2] == 'D') return Key::Back;
    if (c[2] == 'C') return Key::Forward;
  }
  return Key::None;
}

}  // namespace

int main(int argc, char** argv) {
  std::string backend;
  sorrel::base::TCommandLine cl("sorrel-play", kUsage);
  cl.Option("--audio", &backend);
  if (cl.Parse(argc, argv) == sorrel::base::TCommandLine::TResult::kExit) return cl.ExitCode();
  const std::vector<std::string>& files = cl.Positional();
  if (files.empty()) return cl.Fail("wants at least one file");
  std::string err;
  if (!backend.empty() && !sorrel::audio::SelectBackend(backend, &err)) return cl.Fail(err);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  const bool tty = isatty(1);
  Terminal term;
  term.Enter();

  SetMPExceptionDisplay([tty](const std::exception_ptr& e) {
    std::fprintf(stderr, "%ssorrel-play: %s\n", tty ? "\r\033[K" : "", MPExceptionMessage(e).c_str());
  });

  TMPRunLoop loop;
  int status = 0;
  bool songOver = false, quit = false;
  {
    TMP3Player player(loop);
    player.SetChangePosStep(100);
    player.OnEndPlay = [&](TMP3PlayerIntf*, TMP3EndPlayReason r) {
      if (r == merError) status = 1;
      songOver = true;
    };
    for (size_t i = 0; i < files.size() && !quit && !g_quit; ++i) {
      songOver = false;
      try {
        player.SetFileName(files[i]);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%ssorrel-play: %s: %s\n", tty ? "\r\033[K" : "", files[i].c_str(), e.what());
        status = 1;
        continue;
      }
      std::string head = player.Title();
      if (!player.Artist().empty()) head += " / " + player.Artist();
      if (!player.Album().empty()) head += " / " + player.Album();
      int total = player.Duration();
      if (!tty) std::printf("%s  [%s]\n", head.c_str(), Clock(total).c_str());
      auto lastDraw = std::chrono::steady_clock::time_point{};
      while (!songOver && !quit) {
        loop.RunUntil([&] { return songOver; }, 50);
        if (g_quit) quit = true;
        try {
          switch (term.raw ? ReadKey() : Key::None) {
            case Key::Pause:
              if (player.Status() == mpsPaused)
                player.Resume();
              else
                player.Pause();
              break;
            case Key::Back:
              player.Seek(std::max(0, player.Position() - 3000));
              break;
            case Key::Forward:
              player.Seek(player.Position() + 3000);
              break;
            case Key::Quit:
              quit = true;
              break;
            case Key::None:
              break;
          }
          auto now = std::chrono::steady_clock::now();
          if (tty && !songOver && now - lastDraw > std::chrono::milliseconds(200)) {
            lastDraw = now;
            std::printf("\r\033[K%s  %s / %s%s", head.c_str(), Clock(player.Position()).c_str(),
                        Clock(total).c_str(), player.Status() == mpsPaused ? "  (paused)" : "");
            std::fflush(stdout);
          }
        } catch (const std::exception& e) {
          std::fprintf(stderr, "%ssorrel-play: %s\n", tty ? "\r\033[K" : "", e.what());
          status = 1;
          player.Stop();
        }
      }
      if (tty) std::printf("\r\033[K%s  %s\n", head.c_str(), Clock(total).c_str());
      if (quit) {
        try {
          player.Stop();
        } catch (...) {}
      }
    }
    // Let the last notifications run before the player goes.
    loop.RunFor(10);
  }
  return status;
}
