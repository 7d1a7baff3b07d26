#include "app/ui/Trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sorrel::app {

namespace {

// Set while the program's static objects are made, before main runs.
const auto kStart = std::chrono::steady_clock::now();

bool ReadTraceSetting() {
  const char* v = std::getenv("SORREL_TRACE");
  return v && *v && std::strcmp(v, "0") != 0;
}

}  // namespace

bool TraceOn() {
  static const bool on = ReadTraceSetting();
  return on;
}

void Trace(const std::string& event) {
  if (!TraceOn()) return;
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - kStart).count();
  std::fprintf(stderr, "sorrel: trace +%.1f %s\n", ms, event.c_str());
}

}  // namespace sorrel::app
