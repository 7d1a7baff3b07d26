// Tag texts to UTF-8: byte texts are taken as UTF-8 when they are valid UTF-8, else as
// CP932 (Shift-JIS as Windows writes it); UTF-16 honours its byte-order mark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sorrel::engine {

bool MPIsValidUtf8(const uint8_t* p, size_t n);
std::string MPBytesToUtf8(const uint8_t* p, size_t n);
// UTF-16 units (bytes, n even or the odd last byte ignored); big-endian when the text
// starts with FE FF, else little-endian.  The mark is dropped and the text ends at the
// first zero unit.
std::string MPUtf16ToUtf8(const uint8_t* p, size_t n);
// Length in characters (code points) of a UTF-8 text.
size_t MPUtf8Length(const std::string& s);

}  // namespace sorrel::engine
