#include "app/core/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace sorrel::app {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t c = b(i);
  if (c < 0x80) return 1;
  size_t n;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else
    return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
  if (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
  return n;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::optional<std::string> Cp932ToUtf8(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.resize(bytes.size() * 3 + 16);  // a CP932 character never grows beyond 3 bytes
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  const size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

std::string DecodeText(std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
  }
  if (auto s = Cp932ToUtf8(bytes)) return *s;
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceLength(bytes, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(bytes.substr(i, n));
      i += n;
    }
  }
  return out;
}

}  // namespace sorrel::app
