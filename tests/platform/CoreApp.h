// The one QCoreApplication of a test program that talks over the bus, made on first use
// and kept to the end (Qt's bus connections need it).
#pragma once

#include <QCoreApplication>

namespace testing_sorrel {

inline void EnsureCoreApp() {
  static int argc = 1;
  static char name[] = "sorrel-tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  (void)app;
}

}  // namespace testing_sorrel
