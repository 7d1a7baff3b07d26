// Prints how long the settings file takes to read and to write: a file as the writer
// makes it, a CP932 one, and one bloated with foreign keys.  Figures only, no limits.
#include "app/core/Settings.h"

#include <chrono>
#include <cstdio>
#include <string>

using namespace sorrel::app;

namespace {

template <class F>
double MicrosPerRun(F f, int runs) {
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) f();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() / runs;
}

void Report(const char* name, const std::string& file) {
  TSettingsHost host;
  const double read = MicrosPerRun(
      [&] {
        TPlayerSettings s;
        ReadSettings(IniFile::Parse(file), s, host);
      },
      200);
  const double write = MicrosPerRun(
      [&] {
        IniFile ini = IniFile::Parse(file);
        WriteSettings(ini, TPlayerSettings{});
        volatile size_t n = ini.Text().size();
        (void)n;
      },
      200);
  std::printf("%-28s %7zu bytes  read %8.1f us  parse+write %8.1f us\n", name, file.size(), read, write);
}

}  // namespace

int main() {
  IniFile ini;
  WriteSettings(ini, TPlayerSettings{});
  const std::string written = ini.Text();
  Report("as written", written);
  std::string cp932 = written + "[Extra]\r\nName=\x83\x8d\x83\x62\x83\x4e\r\n";
  Report("CP932 (iconv path)", cp932);
  std::string bloated = written;
  for (int i = 0; i < 5000; ++i) bloated += "Foreign" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  Report("with 5000 foreign keys", bloated);
  return 0;
}
