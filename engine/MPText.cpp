#include "engine/MPText.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace sorrel::engine {

namespace {

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

constexpr uint32_t kReplacement = 0xFFFD;

}  // namespace

bool MPIsValidUtf8(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    uint8_t c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp, min;
    if ((c & 0xE0) == 0xC0) {
      len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4, cp = c & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

std::string MPBytesToUtf8(const uint8_t* p, size_t n) {
  if (MPIsValidUtf8(p, n)) return std::string(reinterpret_cast<const char*>(p), n);
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == iconv_t(-1)) {
    // No converter: keep ASCII, mark the rest.
    for (size_t i = 0; i < n; ++i) {
      if (p[i] < 0x80)
        out += char(p[i]);
      else
        PutUtf8(out, kReplacement);
    }
    return out;
  }
  std::vector<char> buf(n * 4 + 16);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(p));
  size_t inLeft = n;
  while (inLeft > 0) {
    char* o = buf.data();
    size_t oLeft = buf.size();
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf.data(), size_t(o - buf.data()));
    if (r == size_t(-1)) {
      if (errno == E2BIG) continue;
      // An undecodable byte (or a lead byte cut off at the end): mark it, go on.
      PutUtf8(out, kReplacement);
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

std::string MPUtf16ToUtf8(const uint8_t* p, size_t n) {
  size_t units = n / 2, i = 0;
  bool big = false;
  if (units > 0) {
    if (p[0] == 0xFE && p[1] == 0xFF) {
      big = true;
      i = 1;
    } else if (p[0] == 0xFF && p[1] == 0xFE) {
      i = 1;
    }
  }
  auto unit = [&](size_t k) -> uint32_t {
    return big ? (uint32_t(p[2 * k]) << 8) | p[2 * k + 1] : (uint32_t(p[2 * k + 1]) << 8) | p[2 * k];
  };
  std::string out;
  for (; i < units; ++i) {
    uint32_t u = unit(i);
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      uint32_t v = unit(i + 1);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        PutUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = kReplacement;
    PutUtf8(out, u);
  }
  return out;
}

size_t MPUtf8Length(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace sorrel::engine
