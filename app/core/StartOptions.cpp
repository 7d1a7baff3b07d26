#include "app/core/StartOptions.h"

#include "base/CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace sorrel::app {

const char* const kSorrelUsage =
    "usage: sorrel [--home DIR] [--audio BACKEND] [LISTFILE]\n"
    "Tarn's MP3Player.  One player runs per session bus.\n"
    "  LISTFILE         a play list (.pdr, .pfl, .m3u) to open and play; when a player\n"
    "                   already runs, it is handed to that player and this one ends\n"
    "  --home DIR       home directory (settings sorrel.ini, default lists, error log);\n"
    "                   default $SORREL_HOME, else $XDG_CONFIG_HOME/sorrel\n"
    "  --audio BACKEND  alsa[:PCM], null, null:fast, wav:FILE or wav-rt:FILE (default\n"
    "                   $SORREL_AUDIO, else alsa); wav-rt:FILE records in real time,\n"
    "                   fade-in included, as the songs would be heard\n"
    "  --help           this text\n"
    "  --version        the program's version\n"
    "Qt's own options (-platform NAME, -style NAME ...) are passed on to Qt.\n"
    "exit status: 0 the player ended, or the list was handed to the running player;\n"
    "             1 the running player did not take the list; 2 bad usage\n";

namespace {

// QGuiApplication's and QApplication's options (and the X11 plugin's) that take a value,
// and those that do not.  Qt accepts them with one dash or two.
constexpr std::array<std::string_view, 19> kToolkitValueOptions = {"platform",
                                                                   "platformpluginpath",
                                                                   "platformtheme",
                                                                   "plugin",
                                                                   "qwindowgeometry",
                                                                   "qwindowicon",
                                                                   "qwindowtitle",
                                                                   "session",
                                                                   "display",
                                                                   "geometry",
                                                                   "title",
                                                                   "icon",
                                                                   "name",
                                                                   "style",
                                                                   "stylesheet",
                                                                   "qmljsdebugger",
                                                                   "dialogs",
                                                                   "fontengine",
                                                                   "visual"};
constexpr std::array<std::string_view, 6> kToolkitFlags = {"reverse", "widgetcount", "sync",
                                                           "nograb",  "dograb",      "testability"};

template <size_t N>
bool Contains(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

size_t ToolkitArgumentCount(const std::vector<std::string>& args, size_t i) {
  std::string_view a = args[i];
  if (a.size() < 2 || a[0] != '-') return 0;
  a.remove_prefix(a.compare(0, 2, "--") == 0 ? 2 : 1);
  const size_t eq = a.find('=');
  if (eq != std::string_view::npos) return Contains(kToolkitValueOptions, a.substr(0, eq)) ? 1 : 0;
  if (Contains(kToolkitFlags, a)) return 1;
  if (Contains(kToolkitValueOptions, a)) return i + 1 < args.size() ? 2 : 1;
  return 0;
}

std::optional<int> ParseStartOptions(const std::vector<std::string>& args, TStartOptions& o) {
  std::vector<std::string> ours;
  for (size_t i = 0; i < args.size();) {
    if (args[i] == "--") {
      ours.insert(ours.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
    const size_t qt = ToolkitArgumentCount(args, i);
    if (qt == 0) ours.push_back(args[i]);
    i += std::max<size_t>(qt, 1);
  }
  base::TCommandLine cl("sorrel", kSorrelUsage);
  cl.Option("--home", &o.home);
  cl.Option("--audio", &o.audio);
  if (cl.Parse(ours) == base::TCommandLine::TResult::kExit) return cl.ExitCode();
  // Only the first argument is the list; any further ones are ignored.
  if (!cl.Positional().empty()) o.listFile = cl.Positional().front();
  return std::nullopt;
}

int StartUsageError(const std::string& message) {
  return base::TCommandLine("sorrel", kSorrelUsage).Fail(message);
}

}  // namespace sorrel::app
