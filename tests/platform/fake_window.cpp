// A peer for tests: publishes a window of the given class and caption and appends every
// message it receives to a log file, one line each:
//   post MSG WPARAM LPARAM | send MSG WPARAM LPARAM | copydata WPARAM DWDATA BYTES
// Usage: fake_window CLASS CAPTION LOGFILE.  It writes LOGFILE.ready once it is on the
// bus and runs until it is killed.
#include "platform/desktop/BusWindow.h"

#include <QCoreApplication>

#include <cstdio>

using namespace sorrel::desktop;

namespace {
class Logger : public sorrel::desktop::WindowReceiver {
 public:
  explicit Logger(const char* path) : f_(std::fopen(path, "a")) {}
  int32_t WindowMessage(uint32_t msg, int32_t w, int32_t l, bool posted) override {
    std::fprintf(f_, "%s %u %d %d\n", posted ? "post" : "send", msg, w, l);
    std::fflush(f_);
    return 7;
  }
  int32_t WindowCopyData(int32_t w, uint32_t dw, const QByteArray& d) override {
    std::fprintf(f_, "copydata %d %u %lld\n", w, dw, static_cast<long long>(d.size()));
    std::fflush(f_);
    return 1;
  }

 private:
  FILE* f_;
};
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: fake_window CLASS CAPTION LOGFILE\n", stderr);
    return 2;
  }
  QCoreApplication app(argc, argv);
  Logger log(argv[3]);
  sorrel::desktop::PublishedWindow w(QString::fromUtf8(argv[1]), QString::fromUtf8(argv[2]), log);
  if (w.Publish() != sorrel::desktop::PublishedWindow::Result::Published) {
    std::fputs("fake_window: could not publish\n", stderr);
    return 1;
  }
  std::fclose(std::fopen((std::string(argv[3]) + ".ready").c_str(), "w"));
  return QCoreApplication::exec();
}
