// sorrel-send: any message of the player's message table from the shell.
#include "tools/send/SendArgs.h"

#include "platform/desktop/BusWindow.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace sorrel;

int main(int argc, char** argv) {
  tools::Request r;
  if (const auto exitCode = tools::ParseArgs(std::vector<std::string>(argv + 1, argv + argc), r))
    return *exitCode;
  QCoreApplication app(argc, argv);
  // One time-out for the whole errand: the look-up and the delivery share it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(r.timeoutMs);
  const auto remainingMs = [&] {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(left.count(), 1));
  };
  const auto noAnswer = [] {
    std::fputs("sorrel-send: no answer in time\n", stderr);
    return 4;
  };
  const auto wentAway = [] {
    std::fputs("sorrel-send: the window went away\n", stderr);
    return 1;
  };

  const QString cls = QString::fromStdString(r.className);
  const std::optional<QString> caption =
      r.caption ? std::optional<QString>(QString::fromStdString(*r.caption)) : std::nullopt;
  const auto found = desktop::RemoteWindow::Look(cls, caption, r.timeoutMs);
  using desktop::Lookup;
  switch (found.status) {
    case Lookup::Found:
      break;
    case Lookup::NoBus:
      std::fputs("sorrel-send: no session bus (is DBUS_SESSION_BUS_ADDRESS set?)\n", stderr);
      return 3;
    case Lookup::NoAnswer:
      return noAnswer();
    case Lookup::Absent:
      if (r.className == "Tfm_PlayerMain")
        std::fputs("sorrel-send: no player is running\n", stderr);
      else
        std::fprintf(stderr, "sorrel-send: no window of class %s\n", r.className.c_str());
      return 1;
    case Lookup::OtherCaption:
      std::fprintf(stderr, "sorrel-send: the window of class %s is captioned %s, not \"%s\"\n",
                   r.className.c_str(),
                   found.caption ? ("\"" + found.caption->toStdString() + "\"").c_str() : "nothing readable",
                   r.caption->c_str());
      return 1;
  }
  const desktop::RemoteWindow& w = *found.window;
  // Whether a call that brought no answer met a busy window or one that has gone.
  const auto failed = [&] { return w.Exists() ? noAnswer() : wentAway(); };

  std::optional<int32_t> answer;
  switch (r.verb) {
    case tools::Verb::Find: {
      auto c = found.caption;
      if (!c) c = w.Caption(remainingMs());
      if (!c) return failed();
      std::printf("%s\t%s\n", qUtf8Printable(w.BusName()), qUtf8Printable(*c));
      return 0;
    }
    case tools::Verb::Post:
      return w.Post(r.msg, r.wParam, r.lParam) ? 0 : wentAway();
    case tools::Verb::Send:
      answer = w.Send(r.msg, r.wParam, r.lParam, remainingMs());
      break;
    case tools::Verb::CopyData: {
      QByteArray data;
      if (r.text) {
        data = QByteArray::fromStdString(*r.text);
        data.append('\0');
      }
      answer = w.CopyData(r.wParam, r.dwData, data, remainingMs());
      break;
    }
    case tools::Verb::Drop: {
      QStringList paths;
      for (const std::string& p : r.paths) paths << QString::fromStdString(p);
      answer = w.DropFiles(paths, remainingMs());
      break;
    }
  }
  if (!answer) return failed();
  std::printf("%d\n", *answer);
  return 0;
}
