// sorrel-mapple-sim: a stand-in for the map program Super Mapple Digital, for tests and
// demonstrations.  Serves "Mapple.Document" on the session bus and shows its map.
#include "tools/mapple-sim/MappleSim.h"

#include "base/CommandLine.h"
#include "platform/desktop/BusAutomation.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>
#include <set>

using namespace sorrel;

namespace {

const char* const kUsage =
    "usage: sorrel-mapple-sim [options]\n"
    "\n"
    "Serves the automation object \"Mapple.Document\" on the session bus and shows its map\n"
    "window, also among the desktop's windows on the bus.  Every call is printed on standard output as one "
    "line: the name and its\n"
    "arguments (by-reference ones marked &), then \" -> result\", or \" !failed\", \" !hang\"\n"
    "and the like when it does not succeed.\n"
    "\n"
    "options:\n"
    "  --fail NAMES     the methods or properties (comma-separated) that fail\n"
    "  --hang NAMES     stop answering for good at the first call of one of these (* any)\n"
    "  --prog-id ID     serve this programmatic name instead of Mapple.Document\n"
    "  --show           show the window from the start (else at \"Visible\")\n"
    "  --help, --version\n";

std::set<std::string> Names(const std::string& list) {
  std::set<std::string> out;
  for (const QString& n : QString::fromStdString(list).split(QLatin1Char(','), Qt::SkipEmptyParts))
    out.insert(n.trimmed().toStdString());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  base::TCommandLine cl("sorrel-mapple-sim", kUsage);
  std::string fail, hang, progId = "Mapple.Document";
  bool show = false;
  cl.Option("--fail", &fail);
  cl.Option("--hang", &hang);
  cl.Option("--prog-id", &progId);
  cl.Flag("--show", &show);
  if (cl.Parse(argc, argv) == base::TCommandLine::TResult::kExit) return cl.ExitCode();
  if (!cl.Positional().empty()) return cl.Fail("unexpected argument " + cl.Positional().front());

  QApplication app(argc, argv);
  tools::TMappleSimWindow window;
  tools::TMappleSimDocument document(window, Names(fail), Names(hang));
  window.SetDocument(&document);
  desktop::AutomationServer server(QString::fromStdString(progId), document);
  switch (server.Publish()) {
    case desktop::AutomationServer::Result::Published:
      break;
    case desktop::AutomationServer::Result::NameTaken:
      std::fprintf(stderr, "sorrel-mapple-sim: %s is already served\n", progId.c_str());
      return 1;
    case desktop::AutomationServer::Result::NoBus:
      std::fputs("sorrel-mapple-sim: no session bus (is DBUS_SESSION_BUS_ADDRESS set?)\n", stderr);
      return 3;
    case desktop::AutomationServer::Result::BadName:
      return cl.Fail("not a usable programmatic name: " + progId);
  }
  tools::TMappleSimPeer peer(window);
  if (!peer.Publish()) {
    std::fputs("sorrel-mapple-sim: cannot publish its window on the session bus\n", stderr);
    return 3;
  }
  if (show) window.Show(true);
  std::printf("# serving %s as %s\n", progId.c_str(),
              qUtf8Printable(desktop::BusNameForProgId(QString::fromStdString(progId))));
  std::fflush(stdout);
  return app.exec();
}
