#include "tests/platform/XvfbSession.h"

#include <QStandardPaths>
#include <QTest>
#include <QWidget>

namespace sorrel::testing {

bool TXvfbSession::Available() {
  return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}

bool TXvfbSession::Start(const char* appName) {
  server_ = std::make_unique<QProcess>();
  // -displayfd: the server picks a free display and writes its number.
  server_->start(
      QStringLiteral("Xvfb"),
      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
       QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
  QByteArray display;
  while (!display.contains('\n') && server_->waitForReadyRead(10000))
    display += server_->readAllStandardOutput();
  if (!display.contains('\n')) return false;
  qputenv("DISPLAY", ":" + display.trimmed());
  qputenv("QT_QPA_PLATFORM", "xcb");
  static int argc = 1;
  static char* argv[] = {const_cast<char*>(appName), nullptr};
  app_ = std::make_unique<QApplication>(argc, argv);
  return true;
}

TXvfbSession::~TXvfbSession() {
  app_.reset();
  if (server_) {
    server_->terminate();
    server_->waitForFinished(5000);
  }
}

int TXvfbSession::Xdotool(const QStringList& args) {
  return QProcess::execute(QStringLiteral("xdotool"), args);
}

bool TXvfbSession::ShowFocused(QWidget& w) {
  w.show();
  if (!QTest::qWaitForWindowExposed(&w)) return false;
  if (Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(w.winId())}) != 0)
    return false;
  return QTest::qWaitFor([&] { return w.isActiveWindow(); }, 5000);
}

}  // namespace sorrel::testing
