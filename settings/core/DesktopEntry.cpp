#include "settings/core/DesktopEntry.h"

#include "base/TextCodec.h"
#include "settings/core/KeyFileLines.h"

namespace sorrel::settings {

std::string EscapeString(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::optional<std::string> ExecValue(std::string_view program, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<std::string> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (program.empty() || program[0] != '/') return fail("the program's path is not absolute");
  for (char c : program)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return fail("the program's path holds a control character");
  if (!base::IsValidUtf8(program)) return fail("the program's path is not UTF-8");
  // The characters that make an argument need quotes.
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string arg;
  if (program.find_first_of(kReserved) == std::string_view::npos) {
    arg = std::string(program);
  } else {
    arg = "\"";
    for (char c : program) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') arg += '\\';
      arg += c;
    }
    arg += "\"";
  }
  // "%" would start a field code; then the string value's own escaping.
  std::string withPercent;
  for (char c : arg) {
    withPercent += c;
    if (c == '%') withPercent += '%';
  }
  return EscapeString(withPercent) + " %f";
}

std::string UserDesktopEntry(std::string_view templ, std::string_view execValue, std::string_view tryExec,
                             const std::vector<std::string>& mimeTypes) {
  TKeyFileLines entry(templ);
  entry.Set(kDesktopEntryGroup, "Exec", execValue);
  entry.Set(kDesktopEntryGroup, "TryExec", EscapeString(tryExec));
  std::string types;
  for (const std::string& t : mimeTypes) types += t + ";";
  entry.Set(kDesktopEntryGroup, "MimeType", types);
  return entry.Text();
}

}  // namespace sorrel::settings
