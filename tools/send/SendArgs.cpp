#include "tools/send/SendArgs.h"

#include "base/CommandLine.h"

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
    "  --timeout MS     how long to wait for the window, to find it and for its\n"
    "                   answer together (default 5000)\n"
    "  --help           this text\n"
    "  --version        the program's version\n"
    "exit status: 0 delivered, 1 no such window (none of that class, or another\n"
    "             caption), 2 bad usage, 3 no session bus, 4 no answer in time (the\n"
    "             window is there but busy)\n"
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

std::optional<int> ParseArgs(const std::vector<std::string>& args, Request& r) {
  base::TCommandLine cl("sorrel-send", kUsage);
  std::optional<std::string> className, caption, dwData, timeout;
  bool anyCaption = false;
  cl.Option("--class", &className);
  cl.Option("--caption", &caption);
  cl.Flag("--any-caption", &anyCaption);
  cl.Option("--dwdata", &dwData);
  cl.Option("--timeout", &timeout);
  // The TEXT of copydata passes as it stands unless it begins with "--".
  cl.Verbatim([](const std::vector<std::string>& before) {
    return before.size() == 2 && before.front() == "copydata";
  });
  if (cl.Parse(args) == base::TCommandLine::TResult::kExit) return cl.ExitCode();

  int64_t n;
  if (className) r.className = *className;
  if (caption && anyCaption) return cl.Fail("--caption and --any-caption exclude each other");
  if (caption) r.caption = *caption;
  if (anyCaption) r.caption.reset();
  if (dwData) {
    if (!ParseNumber(*dwData, kI32Min, kU32Max, n)) return cl.Fail("bad --dwdata: " + *dwData);
    r.dwData = static_cast<uint32_t>(n);
  }
  if (timeout) {
    if (!ParseNumber(*timeout, 0, 600000, n)) return cl.Fail("bad --timeout: " + *timeout);
    r.timeoutMs = static_cast<int>(n);
  }

  const std::vector<std::string>& pos = cl.Positional();
  if (pos.empty()) return cl.Fail("no verb");
  const std::string verb = pos.front();
  const size_t count = pos.size() - 1;
  if (verb == "copydata") {
    r.verb = Verb::CopyData;
    if (count < 1 || count > 2 || !Param(pos[1], r.wParam))
      return cl.Fail("copydata needs WPARAM and at most one TEXT");
    if (count == 2) r.text = pos[2];
  } else if (verb == "post" || verb == "send") {
    r.verb = verb == "post" ? Verb::Post : Verb::Send;
    if (count != 3 || !ParseNumber(pos[1], 0, kU32Max, n) || !Param(pos[2], r.wParam) ||
        !Param(pos[3], r.lParam))
      return cl.Fail(verb + " needs MSG WPARAM LPARAM");
    r.msg = static_cast<uint32_t>(n);
  } else if (verb == "drop") {
    r.verb = Verb::Drop;
    if (count < 1) return cl.Fail("drop needs at least one PATH");
    r.paths.assign(pos.begin() + 1, pos.end());
  } else if (verb == "find") {
    r.verb = Verb::Find;
    if (count != 0) return cl.Fail("find takes no arguments");
  } else {
    return cl.Fail("unknown verb " + verb);
  }
  return std::nullopt;
}

}  // namespace sorrel::tools
