// A private X server for tests that need real X11 windows and input: Xvfb on a free
// display, a QApplication on the xcb platform, and xdotool to press keys and click.
#pragma once

#include <QApplication>
#include <QProcess>
#include <QStringList>

#include <memory>

class QWidget;

namespace sorrel::testing {

class TXvfbSession {
 public:
  // Xvfb and xdotool are installed.
  static bool Available();

  // Starts the server and the application; false when either fails.
  bool Start(const char* appName);
  ~TXvfbSession();

  // Runs xdotool with `args`; its exit status.
  static int Xdotool(const QStringList& args);
  // Shows `w`, gives it the input focus and waits until it is the active window.
  static bool ShowFocused(QWidget& w);

 private:
  std::unique_ptr<QProcess> server_;
  std::unique_ptr<QApplication> app_;
};

}  // namespace sorrel::testing
