// The one text decoder of the program.  Text inside is UTF-8.  Bytes from files and tags
// are taken as UTF-8 when they are valid UTF-8, else as CP932 (Shift-JIS as Windows
// writes it), so files made on the original platform read correctly; only the bytes
// that neither reading can decode become U+FFFD.  Files are decided line by line, so one
// stray byte damages one line, not the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sorrel::base {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// One text (a line, a tag field): a leading byte-order mark dropped, UTF-8 as it stands,
// else CP932 with each undecodable byte (a lone lead byte included) replaced by U+FFFD.
// `damaged`, when given, tells whether anything was replaced.
std::string DecodeText(std::string_view bytes, bool* damaged = nullptr);

// UTF-16 (ID3v2 encoding 1): big-endian after FE FF, else little-endian; the mark is
// dropped, the text ends at the first zero unit, an odd last byte is ignored and a lone
// surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const uint8_t* p, size_t n);

// True for UTF-16 text: a UTF-16 byte-order mark, or NUL bytes in every other place as
// UTF-16 puts them beside Latin letters.  No text of the other encodings has NULs so.
bool LooksLikeUtf16(std::string_view bytes);

// Characters (code points) in a UTF-8 text.
size_t Utf8Length(std::string_view s);

// Calls `line` for every line of `bytes`: lines end at CR LF, LF or a lone CR; a final
// line without an end counts; a byte-order mark at the very start is dropped.  The
// lines are the raw bytes (decode each with DecodeText).  Stops early when `line`
// returns false.
void ForEachLine(std::string_view bytes, const std::function<bool(std::string_view)>& line);

}  // namespace sorrel::base
