// The settings-file parser and writer on arbitrary bytes: reading must never fail, and
// what the writer makes of a file must read back as the same record.
#include "app/core/Settings.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace sorrel::app;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sorrel;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TSettingsHost host;
  TPlayerSettings first;
  IniFile ini = IniFile::Parse(bytes);
  ReadSettings(ini, first, host);
  WriteSettings(ini, first);
  const std::string text = ini.Text();
  TPlayerSettings second;
  ReadSettings(IniFile::Parse(text), second, host);
  if (!(second == first)) std::abort();
  // A second write changes nothing more.
  IniFile again = IniFile::Parse(text);
  WriteSettings(again, second);
  if (again.Text() != text) std::abort();
  return 0;
}
