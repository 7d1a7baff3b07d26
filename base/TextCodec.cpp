#include "base/TextCodec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sorrel::base {

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return uint8_t(s[k]); };
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
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
  if (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
  return n;
}

void PutUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// One converter per thread, opened on first use: lists of many CP932 lines must not
// pay for iconv_open each time.
class Cp932Converter {
 public:
  Cp932Converter() : cd_(iconv_open("UTF-8", "CP932")) {}
  ~Cp932Converter() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != iconv_t(-1); }

  void Convert(std::string_view bytes, std::string& out, bool& damaged) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buf[4096];
    while (inLeft > 0) {
      char* o = buf;
      size_t oLeft = sizeof buf;
      const size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
      out.append(buf, size_t(o - buf));
      if (r != size_t(-1)) continue;
      if (errno == E2BIG) continue;
      // An undecodable byte, or a lead byte cut off at the end: that byte alone goes.
      out += kReplacementChar;
      damaged = true;
      ++in;
      --inLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    // ASCII runs are the common case.
    if (uint8_t(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t n = Utf8SequenceLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string DecodeText(std::string_view bytes, bool* damaged) {
  if (damaged) *damaged = false;
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  bool bad = false;
  thread_local Cp932Converter converter;
  if (converter.ok()) {
    converter.Convert(bytes, out, bad);
  } else {
    // No converter installed: ASCII stays, the rest is marked.
    for (unsigned char c : bytes) {
      if (c < 0x80) {
        out += char(c);
      } else {
        out += kReplacementChar;
        bad = true;
      }
    }
  }
  if (damaged) *damaged = bad;
  return out;
}

std::string Utf16ToUtf8(const uint8_t* p, size_t n) {
  const size_t units = n / 2;
  size_t i = 0;
  bool big = false;
  if (units > 0) {
    if (p[0] == 0xFE && p[1] == 0xFF) {
      big = true;
      i = 1;
    } else if (p[0] == 0xFF && p[1] == 0xFE) {
      i = 1;
    }
  }
  const auto unit = [&](size_t k) -> uint32_t {
    return big ? (uint32_t(p[2 * k]) << 8) | p[2 * k + 1] : (uint32_t(p[2 * k + 1]) << 8) | p[2 * k];
  };
  std::string out;
  for (; i < units; ++i) {
    uint32_t u = unit(i);
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const uint32_t v = unit(i + 1);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        PutUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    PutUtf8(out, u);
  }
  return out;
}

bool LooksLikeUtf16(std::string_view bytes) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
    return true;
  // The first 128 units: mostly NUL on one side and (almost) none on the other.
  const size_t units = std::min<size_t>(bytes.size() / 2, 128);
  if (units < 2) return false;
  size_t evenZeros = 0, oddZeros = 0;
  for (size_t i = 0; i < units; ++i) {
    evenZeros += bytes[2 * i] == 0;
    oddZeros += bytes[2 * i + 1] == 0;
  }
  const auto mostly = [units](size_t n) { return n * 2 >= units; };
  const auto few = [units](size_t n) { return n * 8 <= units; };
  return (mostly(oddZeros) && few(evenZeros)) || (mostly(evenZeros) && few(oddZeros));
}

size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

void ForEachLine(std::string_view bytes, const std::function<bool(std::string_view)>& line) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  while (!bytes.empty()) {
    // memchr, not find_first_of (which tests each byte against the set): files of many
    // megabytes pass through here.
    const char* lf = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
    const size_t lfAt = lf ? size_t(lf - bytes.data()) : bytes.size();
    const char* cr = static_cast<const char*>(std::memchr(bytes.data(), '\r', lfAt));
    const size_t end = cr ? size_t(cr - bytes.data()) : lf ? lfAt : std::string_view::npos;
    if (end == std::string_view::npos) {
      line(bytes);
      return;
    }
    if (!line(bytes.substr(0, end))) return;
    const bool crlf = bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n';
    bytes.remove_prefix(end + (crlf ? 2 : 1));
  }
}

}  // namespace sorrel::base
