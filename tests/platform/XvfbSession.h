// A private X server for tests that need real X11 windows and input: Xvfb on a free
// display, a QApplication on the xcb platform, and xdotool to press keys and click.
#pragma once

#include <gtest/gtest.h>
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

// A test suite on one private X server, started before its first test and ended after
// its last; its tests skip when Xvfb or xdotool is missing.
template <class Base = ::testing::Test>
class TXvfbSuite : public Base {
 public:
  static void SetUpTestSuite() {
    if (!TXvfbSession::Available()) return;
    session_ = std::make_unique<TXvfbSession>();
    if (!session_->Start("sorrel-x11-tests")) session_.reset();
  }
  static void TearDownTestSuite() { session_.reset(); }

 protected:
  void SetUp() override {
    if (!session_) GTEST_SKIP() << "no Xvfb or xdotool";
    Base::SetUp();
  }

  static inline std::unique_ptr<TXvfbSession> session_;
};

}  // namespace sorrel::testing
