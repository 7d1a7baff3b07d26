#include "tools/send/SendArgs.h"

#include <cerrno>
#include <cstdlib>

namespace sorrel::tools {

const char* const kUsage =
    "usage: sorrel-send [OPTIONS] copydata WPARAM [TEXT]\n"
    "       sorrel-send [OPTIONS] post MSG WPARAM LPARAM\n"
    "       sorrel-send [OPTIONS] send MSG WPARAM LPARAM\n"
    "       sorrel-send [OPTIONS] drop PATH...\n"
    "       sorrel-send [OPTIONS] find\n"
    "Sends a window message to the running player (or another published window).\n"
    "Numbers are decimal or 0x hexadecimal and may be negative.\n"
    "  copydata  the copy-data record: WPARAM, dwData (--dwdata) and TEXT (UTF-8, sent\n"
    "            with a closing NUL); prints the answer (1 taken, 0 ignored)\n"
    "  post      queues the message and returns at once\n"
    "  send      waits for the window to handle it and prints its answer\n"
    "  drop      as files dropped on the window\n"
    "  find      prints the window's bus name and caption\n"
    "options:\n"
    "  --class CLASS    window class (default Tfm_PlayerMain)\n"
    "  --caption TEXT   required caption (default \"Tarn's MP3Player\")\n"
    "  --any-caption    any caption\n"
    "  --dwdata N       dwData of the copy-data record (default 0)\n"
    "  --timeout MS     how long copydata, send and drop wait (default 5000)\n"
    "exit status: 0 delivered, 1 no such window, 2 bad usage, 3 no session bus,\n"
    "             4 no answer in time\n"
    "examples:\n"
    "  sorrel-send copydata 99 ~/music/car.pdr     open and play a list\n"
    "  sorrel-send post 0x599 4 0                   command 4: close the player\n"
    "  sorrel-send send 0x597 0 3                   show input-mode picture 3\n";

bool ParseNumber(const std::string& s, int64_t lo, int64_t hi, int64_t& out) {
  if (s.empty()) return false;
  size_t i = 0;
  bool neg = false;
  if (s[0] == '-' || s[0] == '+') {
    neg = s[0] == '-';
    i = 1;
  }
  int base = 10;
  if (s.size() > i + 1 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v * base + d;
    if (v > (int64_t{1} << 33)) return false;
  }
  if (neg) v = -v;
  if (v < lo || v > hi) return false;
  out = v;
  return true;
}

namespace {

constexpr int64_t kI32Min = INT32_MIN, kI32Max = INT32_MAX, kU32Max = UINT32_MAX;

// wParam and lParam take any 32-bit pattern: 0xFFFFFFFF is -1.
bool Param(const std::string& s, int32_t& out) {
  int64_t v;
  if (!ParseNumber(s, kI32Min, kU32Max, v)) return false;
  out = static_cast<int32_t>(static_cast<uint32_t>(v));
  return true;
}

}  // namespace

bool ParseArgs(const std::vector<std::string>& args, Request& r, std::string& error) {
  std::vector<std::string> pos;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto next = [&](std::string& v) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      v = args[++i];
      return true;
    };
    std::string v;
    int64_t n;
    if (!pos.empty() && pos.front() == "copydata" && pos.size() == 2 && a.rfind("--", 0) != 0) {
      pos.push_back(a);  // the text, whatever it looks like
    } else if (a == "--class") {
      if (!next(v)) return false;
      r.className = v;
    } else if (a == "--caption") {
      if (!next(v)) return false;
      r.caption = v;
    } else if (a == "--any-caption") {
      r.caption.reset();
    } else if (a == "--dwdata") {
      if (!next(v)) return false;
      if (!ParseNumber(v, kI32Min, kU32Max, n)) {
        error = "bad --dwdata: " + v;
        return false;
      }
      r.dwData = static_cast<uint32_t>(n);
    } else if (a == "--timeout") {
      if (!next(v)) return false;
      if (!ParseNumber(v, 0, 600000, n)) {
        error = "bad --timeout: " + v;
        return false;
      }
      r.timeoutMs = static_cast<int>(n);
    } else if (a == "--") {
      pos.insert(pos.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
      error = "unknown option " + a;
      return false;
    } else {
      pos.push_back(a);
    }
  }
  if (pos.empty()) {
    error = "no verb";
    return false;
  }
  const std::string verb = pos.front();
  const size_t n = pos.size() - 1;
  if (verb == "copydata") {
    r.verb = Verb::CopyData;
    if (n < 1 || n > 2 || !Param(pos[1], r.wParam)) {
      error = "copydata needs WPARAM and at most one TEXT";
      return false;
    }
    if (n == 2) r.text = pos[2];
  } else if (verb == "post" || verb == "send") {
    r.verb = verb == "post" ? Verb::Post : Verb::Send;
    int64_t m;
    if (n != 3 || !ParseNumber(pos[1], 0, kU32Max, m) || !Param(pos[2], r.wParam) ||
        !Param(pos[3], r.lParam)) {
      error = verb + " needs MSG WPARAM LPARAM";
      return false;
    }
    r.msg = static_cast<uint32_t>(m);
  } else if (verb == "drop") {
    r.verb = Verb::Drop;
    if (n < 1) {
      error = "drop needs at least one PATH";
      return false;
    }
    r.paths.assign(pos.begin() + 1, pos.end());
  } else if (verb == "find") {
    r.verb = Verb::Find;
    if (n != 0) {
      error = "find takes no arguments";
      return false;
    }
  } else {
    error = "unknown verb " + verb;
    return false;
  }
  return true;
}

}  // namespace sorrel::tools
