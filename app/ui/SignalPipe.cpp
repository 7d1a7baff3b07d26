#include "app/ui/SignalPipe.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace sorrel::app {

namespace {
int g_fds[2] = {-1, -1};

void OnSignal(int sig) {
  const int saved = errno;
  const unsigned char b = static_cast<unsigned char>(sig);
  [[maybe_unused]] const ssize_t n = ::write(g_fds[1], &b, 1);
  errno = saved;
}
}  // namespace

SignalPipe::SignalPipe(QObject* parent) : QObject(parent) {
  if (g_fds[0] < 0 && ::pipe2(g_fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(g_fds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

SignalPipe::~SignalPipe() {
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
}

void SignalPipe::Drain() {
  unsigned char b[16];
  ssize_t n;
  int last = 0;
  while ((n = ::read(g_fds[0], b, sizeof b)) > 0) last = b[n - 1];
  if (last) Q_EMIT Terminate(last);
}

}  // namespace sorrel::app
