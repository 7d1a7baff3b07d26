// The player's desktop entry: the one installed with the program is the template, and
// the user's entry that associating writes is that template with the running program's
// path in Exec and TryExec and the list file types in MimeType.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::settings {

inline constexpr const char* kDesktopEntryGroup = "Desktop Entry";

// The value of Exec= that runs `program` (an absolute path) with the selected file:
// the path, quoted and escaped as desktop entries want when it holds a reserved
// character, then " %f".  nullopt, with `error` set, when the path cannot be written
// in a desktop entry (a control character, bytes that are not UTF-8, not absolute).
std::optional<std::string> ExecValue(std::string_view program, std::string* error = nullptr);

// A string value as a desktop entry writes it ("\" doubled).
std::string EscapeString(std::string_view s);

// The user's entry made from `templ` (the installed entry's text).
std::string UserDesktopEntry(std::string_view templ, std::string_view execValue, std::string_view tryExec,
                             const std::vector<std::string>& mimeTypes);

}  // namespace sorrel::settings
