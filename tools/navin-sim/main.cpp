// sorrel-navin-sim: a stand-in for the navigation program Navin'You, for tests and
// demonstrations.  Publishes its windows on the session bus, draws its position in the
// screen's digits while it drives along a route, and prints what it is sent.
#include "tools/navin-sim/NavinSim.h"

#include "base/CommandLine.h"

#include <QApplication>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

using namespace sorrel;

namespace {

const char* const kUsage =
    "usage: sorrel-navin-sim [options]\n"
    "\n"
    "Publishes the windows of the navigation program Navin'You on the session bus (its\n"
    "main window also as the window of class \"Navin' You\"), shows them in a window, and\n"
    "drives along a route, drawing latitude and longitude on its status screen and\n"
    "coordinate window.  Everything it is sent is printed on standard output as one line:\n"
    "  command N              a menu command (57665 ends the program)\n"
    "  click WINDOW [on|off]  a button clicked (check boxes with their new state)\n"
    "  key down|up 0xVK WINDOW, wheel +120 WINDOW, button down|up X,Y WINDOW\n"
    "  keyboard down|up 0xVK  a key to the window with the keyboard (Ctrl+Q: status small)\n"
    "  show forward|minimise|restore|maximise|normal WINDOW\n"
    "  mapmatch set N, mapmatch ask N (answered with 0x697 to the player's window)\n"
    "  message 0xMSG WPARAM LPARAM WINDOW [(sent)]   anything else\n"
    "Lines starting with \"#\" are remarks.\n"
    "\n"
    "options:\n"
    "  --route FILE        lines \"latitude longitude\" in degrees (default: stands at\n"
    "                      Tokyo station)\n"
    "  --speed KMH         driving speed along the route (default 40)\n"
    "  --small             start with the small status display (else the large one)\n"
    "  --probe-white       the map control bar's probe pixel white\n"
    "  --hang-on MESSAGES  stop answering for good after one of these messages\n"
    "                      (comma-separated numbers, 0x for hexadecimal; * any delivery)\n"
    "  --hang              stop answering as soon as it runs\n"
    "  --flood-mapmatch N  answer every map-match question N extra times\n"
    "  --player-class C    the player's window class (default Tfm_PlayerMain)\n"
    "  --help, --version\n"
    "exit status: 0 ended by menu command 57665; 1 already running; 2 bad usage;\n"
    "3 no session bus\n";

bool ParseNumber(const std::string& text, long min, long max, long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (*end != '\0' || v < min || v > max) return false;
  out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  base::TCommandLine cl("sorrel-navin-sim", kUsage);
  std::string route, speed = "40", hangOn, flood = "0", playerClass = "Tfm_PlayerMain";
  bool small = false, probeWhite = false, hang = false;
  cl.Option("--route", &route);
  cl.Option("--speed", &speed);
  cl.Flag("--small", &small);
  cl.Flag("--probe-white", &probeWhite);
  cl.Option("--hang-on", &hangOn);
  cl.Flag("--hang", &hang);
  cl.Option("--flood-mapmatch", &flood);
  cl.Option("--player-class", &playerClass);
  if (cl.Parse(argc, argv) == base::TCommandLine::TResult::kExit) return cl.ExitCode();
  if (!cl.Positional().empty()) return cl.Fail("unexpected argument " + cl.Positional().front());

  tools::TNavinSimOptions options;
  options.LargeStatus = !small;
  options.ProbeWhite = probeWhite;
  options.PlayerClass = playerClass;
  char* end = nullptr;
  options.SpeedKmh = std::strtod(speed.c_str(), &end);
  if (speed.empty() || *end != '\0' || !(options.SpeedKmh >= 0 && options.SpeedKmh <= 1000))
    return cl.Fail("--speed takes km/h from 0 to 1000, not " + speed);
  long n = 0;
  if (!ParseNumber(flood, 0, 100000, n)) return cl.Fail("--flood-mapmatch takes a count, not " + flood);
  options.FloodMapMatch = int(n);
  for (const QString& m : QString::fromStdString(hangOn).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const std::string item = m.trimmed().toStdString();
    if (item == "*") {
      options.HangOnAny = true;
    } else if (ParseNumber(item, 0, 0xFFFFFFFFL, n)) {
      options.HangOn.insert(uint32_t(n));
    } else {
      return cl.Fail("--hang-on takes message numbers or *, not " + item);
    }
  }
  if (!route.empty()) {
    tools::TRouteFile file = tools::ReadRoute(route);
    if (!file.Error.empty()) return cl.Fail(file.Error);
    options.Route = std::move(file.Points);
  }

  QApplication app(argc, argv);
  tools::TNavinSim sim(options);
  switch (sim.Publish()) {
    case tools::TNavinSim::TPublish::Published:
      break;
    case tools::TNavinSim::TPublish::NameTaken:
      std::fputs("sorrel-navin-sim: a window of class \"Navin' You\" is already published\n", stderr);
      return 1;
    case tools::TNavinSim::TPublish::NoBus:
      std::fputs("sorrel-navin-sim: no session bus (is DBUS_SESSION_BUS_ADDRESS set?)\n", stderr);
      return 3;
  }
  sim.show();
  std::printf("# running as %s\n", tools::kNavinSimTitle);
  std::fflush(stdout);
  if (hang)
    QTimer::singleShot(0, [] {
      std::puts("hang");
      std::fflush(stdout);
      for (;;) pause();
    });
  return app.exec();
}
