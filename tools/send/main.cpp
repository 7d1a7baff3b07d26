// sorrel-send: any message of the player's message table from the shell.
#include "tools/send/SendArgs.h"

#include "platform/desktop/BusWindow.h"

#include <QCoreApplication>

#include <cstdio>

using namespace sorrel;

int main(int argc, char** argv) {
  tools::Request r;
  if (const auto exitCode = tools::ParseArgs(std::vector<std::string>(argv + 1, argv + argc), r))
    return *exitCode;
  QCoreApplication app(argc, argv);
  if (!desktop::SessionBusAvailable()) {
    std::fputs("sorrel-send: no session bus (is DBUS_SESSION_BUS_ADDRESS set?)\n", stderr);
    return 3;
  }
  const QString cls = QString::fromStdString(r.className);
  const std::optional<QString> caption =
      r.caption ? std::optional<QString>(QString::fromStdString(*r.caption)) : std::nullopt;
  const auto w = desktop::RemoteWindow::Find(cls, caption);
  if (!w) {
    if (r.className == "Tfm_PlayerMain")
      std::fputs("sorrel-send: no player is running\n", stderr);
    else
      std::fprintf(stderr, "sorrel-send: no window of class %s%s\n", r.className.c_str(),
                   r.caption ? (" captioned \"" + *r.caption + "\"").c_str() : "");
    return 1;
  }
  std::optional<int32_t> answer;
  switch (r.verb) {
    case tools::Verb::Find: {
      const auto c = w->Caption();
      std::printf("%s\t%s\n", qUtf8Printable(w->BusName()), c ? qUtf8Printable(*c) : "");
      return 0;
    }
    case tools::Verb::Post:
      if (!w->Post(r.msg, r.wParam, r.lParam)) {
        std::fputs("sorrel-send: the window went away\n", stderr);
        return 1;
      }
      return 0;
    case tools::Verb::Send:
      answer = w->Send(r.msg, r.wParam, r.lParam, r.timeoutMs);
      break;
    case tools::Verb::CopyData: {
      QByteArray data;
      if (r.text) {
        data = QByteArray::fromStdString(*r.text);
        data.append('\0');
      }
      answer = w->CopyData(r.wParam, r.dwData, data, r.timeoutMs);
      break;
    }
    case tools::Verb::Drop: {
      QStringList paths;
      for (const std::string& p : r.paths) paths << QString::fromStdString(p);
      answer = w->DropFiles(paths, r.timeoutMs);
      break;
    }
  }
  if (!answer) {
    std::fputs("sorrel-send: no answer in time\n", stderr);
    return 4;
  }
  std::printf("%d\n", *answer);
  return 0;
}
