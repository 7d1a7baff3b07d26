// Text of files made here or on the original platform: UTF-8 when the bytes are valid
// UTF-8, otherwise CP932 (Shift-JIS with the Windows extensions).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sorrel::app {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// CP932 to UTF-8 through iconv; nullopt when the bytes are not valid CP932.
std::optional<std::string> Cp932ToUtf8(std::string_view bytes);

// UTF-8 as it stands (a leading byte-order mark dropped) when valid, else the CP932
// reading, else the bytes with every invalid sequence replaced by U+FFFD.
std::string DecodeText(std::string_view bytes);

}  // namespace sorrel::app
