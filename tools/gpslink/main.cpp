// sorrel-gpslink: the position link for Linux.  Reads fixes from gpsd and hands each
// 2D or 3D position to the running player as a TNLink sentence (copy-data 9999), as
// the position link tool of the car does.  Waits for gpsd and for the player, and
// carries on when either restarts.
#include "base/CommandLine.h"
#include "platform/desktop/BusWindow.h"
#include "tools/gpslink/Sentence.h"

#include <gps.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

using namespace sorrel;

namespace {

const char kUsage[] =
    "usage: sorrel-gpslink [--host HOST] [--port PORT] [--count N] [--quiet]\n"
    "Sends the running player (Tarn's MP3Player) one position sentence per GPS fix\n"
    "read from gpsd, for its speed-camera alarm.\n"
    "  --host HOST  gpsd's host (default localhost)\n"
    "  --port PORT  gpsd's port (default 2947)\n"
    "  --count N    end after N sentences taken by the player (default: run until\n"
    "               stopped with SIGINT or SIGTERM)\n"
    "  --quiet      say nothing but errors\n"
    "exit status: 0 stopped or N sentences sent; 2 bad usage\n";

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct TOptions {
  std::string host = "localhost";
  std::string port = "2947";
  long count = 0;
  bool quiet = false;
};

void Sleep(int ms) {
  for (int i = 0; i < ms / 50 && !g_stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace

int main(int argc, char** argv) {
  TOptions opt;
  base::TCommandLine cl("sorrel-gpslink", kUsage);
  std::string count;
  cl.Option("--host", &opt.host);
  cl.Option("--port", &opt.port);
  cl.Option("--count", &count);
  cl.Flag("--quiet", &opt.quiet);
  if (cl.Parse(argc, argv) == base::TCommandLine::TResult::kExit) return cl.ExitCode();
  if (!cl.Positional().empty()) return cl.Fail("unexpected argument " + cl.Positional().front());
  if (!count.empty()) {
    char* end = nullptr;
    opt.count = std::strtol(count.c_str(), &end, 10);
    if (*end || opt.count < 1) return cl.Fail("--count takes a number above 0");
  }
  QCoreApplication app(argc, argv);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  const auto say = [&](const char* text) {
    if (!opt.quiet) std::fprintf(stderr, "sorrel-gpslink: %s\n", text);
  };

  long sent = 0;
  double lastTrack = 0;
  bool saidNoGpsd = false, saidNoPlayer = false;
  while (!g_stop) {
    gps_data_t gps{};
    if (gps_open(opt.host.c_str(), opt.port.c_str(), &gps) != 0) {
      if (!saidNoGpsd)
        say(("waiting for gpsd at " + opt.host + ":" + opt.port + " (" + gps_errstr(errno) + ")").c_str());
      saidNoGpsd = true;
      Sleep(1000);
      continue;
    }
    saidNoGpsd = false;
    say("connected to gpsd");
    gps_stream(&gps, WATCH_ENABLE | WATCH_JSON, nullptr);
    while (!g_stop) {
      if (!gps_waiting(&gps, 500000)) continue;
      if (gps_read(&gps, nullptr, 0) == -1) {
        say("gpsd went away; waiting for it again");
        break;
      }
      if (!(gps.set & MODE_SET)) continue;
      const tools::TGpsFix fix{gps.fix.mode, gps.fix.latitude, gps.fix.longitude, gps.fix.track,
                               gps.fix.speed};
      const auto sentence = tools::TNLinkSentence(fix, lastTrack);
      if (!sentence) continue;
      const auto player =
          desktop::RemoteWindow::Find(QStringLiteral("Tfm_PlayerMain"), QStringLiteral("Tarn's MP3Player"));
      if (!player) {
        if (!saidNoPlayer) say("waiting for the player");
        saidNoPlayer = true;
        continue;
      }
      saidNoPlayer = false;
      QByteArray data = QByteArray::fromStdString(*sentence);
      data.append('\0');
      const auto answer = player->CopyData(9999, 0, data, 2000);
      if (answer && *answer == 1 && opt.count > 0 && ++sent >= opt.count) g_stop = 1;
    }
    gps_stream(&gps, WATCH_DISABLE, nullptr);
    gps_close(&gps);
  }
  return 0;
}
