// The settings-file parser and writer on arbitrary bytes: reading must never fail, what
// the writer makes of a file must read back as the same record, and it is UTF-8 except
// for the lines kept as they were because decoding damaged them.
#include "app/core/Settings.h"
#include "base/TextCodec.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace sorrel::app;
using sorrel::base::IniFile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TSettingsHost host;
  TPlayerSettings first;
  IniFile ini = IniFile::Parse(bytes);
  ReadSettings(ini, first, host);
  WriteSettings(ini, first);
  const std::string text = ini.Text();
  if (!ini.Damaged() && !sorrel::base::IsValidUtf8(text)) std::abort();
  TPlayerSettings second;
  ReadSettings(IniFile::Parse(text), second, host);
  if (!(second == first)) std::abort();
  // A second write changes nothing more.
  IniFile again = IniFile::Parse(text);
  WriteSettings(again, second);
  if (again.Text() != text) std::abort();
  return 0;
}
