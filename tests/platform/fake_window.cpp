// A peer for tests: publishes a window of the given class and caption and appends every
// message it receives to a log file, one line each:
//   post MSG WPARAM LPARAM | send MSG WPARAM LPARAM | copydata WPARAM DWDATA BYTES |
//   drop COUNT
// Usage: fake_window [--busy MS | --hang] [--answer N] CLASS CAPTION LOGFILE.  It writes
// LOGFILE.ready once it is on the bus and runs until it is killed.  With --busy its event
// loop then stands still for MS milliseconds, with --hang for good: the name stays owned
// but nothing is answered, as with a player that is busy or stuck.  --answer is what
// copy-data and drops answer (default 1; 0 refuses them).  With --text a copy-data line
// ends with its text (up to the first NUL) after the byte count.
#include "base/CommandLine.h"
#include "platform/desktop/BusWindow.h"

#include <QCoreApplication>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace sorrel::desktop;

namespace {

const char* const kUsage =
    "usage: fake_window [--busy MS | --hang] [--answer N] [--text] CLASS CAPTION LOGFILE\n";

class Logger : public sorrel::desktop::WindowReceiver {
 public:
  Logger(const char* path, int answer, bool text) : f_(std::fopen(path, "a")), answer_(answer), text_(text) {}
  int32_t WindowMessage(uint32_t msg, int32_t w, int32_t l, bool posted) override {
    std::fprintf(f_, "%s %u %d %d\n", posted ? "post" : "send", msg, w, l);
    std::fflush(f_);
    return 7;
  }
  int32_t WindowCopyData(int32_t w, uint32_t dw, const QByteArray& d) override {
    std::fprintf(f_, "copydata %d %u %lld", w, dw, static_cast<long long>(d.size()));
    if (text_) std::fprintf(f_, " %s", d.left(d.indexOf('\0') < 0 ? d.size() : d.indexOf('\0')).constData());
    std::fputc('\n', f_);
    std::fflush(f_);
    return answer_;
  }
  int32_t WindowDropFiles(const QStringList& paths) override {
    std::fprintf(f_, "drop %lld\n", static_cast<long long>(paths.size()));
    std::fflush(f_);
    return answer_;
  }

 private:
  FILE* f_;
  int answer_;
  bool text_;
};

}  // namespace

int main(int argc, char** argv) {
  sorrel::base::TCommandLine cl("fake_window", kUsage);
  std::string busy, answer = "1";
  bool hang = false, text = false;
  cl.Option("--busy", &busy);
  cl.Flag("--text", &text);
  cl.Flag("--hang", &hang);
  cl.Option("--answer", &answer);
  if (cl.Parse(argc, argv) == sorrel::base::TCommandLine::TResult::kExit) return cl.ExitCode();
  if (cl.Positional().size() != 3) return cl.Fail("CLASS CAPTION LOGFILE wanted");
  const std::string& log = cl.Positional()[2];

  QCoreApplication app(argc, argv);
  Logger logger(log.c_str(), std::atoi(answer.c_str()), text);
  PublishedWindow w(QString::fromStdString(cl.Positional()[0]), QString::fromStdString(cl.Positional()[1]),
                    logger);
  if (w.Publish() != PublishedWindow::Result::Published) {
    std::fputs("fake_window: could not publish\n", stderr);
    return 1;
  }
  std::fclose(std::fopen((log + ".ready").c_str(), "w"));
  if (hang)
    for (;;) pause();
  if (!busy.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(busy.c_str())));
  return QCoreApplication::exec();
}
