// The command line of sorrel-send, parsed without Qt so that it can be tested alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sorrel::tools {

enum class Verb { CopyData, Post, Send, Drop, Find };

struct Request {
  Verb verb = Verb::Find;
  std::string className = "Tfm_PlayerMain";
  std::optional<std::string> caption = std::string("Tarn's MP3Player");  // nullopt: any
  uint32_t msg = 0;
  int32_t wParam = 0;
  int32_t lParam = 0;
  uint32_t dwData = 0;
  std::optional<std::string> text;  // copydata; sent with a closing NUL
  std::vector<std::string> paths;   // drop
  int timeoutMs = 5000;
};

extern const char* const kUsage;

// Decimal or 0x hexadecimal, optionally negative, within 32 bits (signed or unsigned).
bool ParseNumber(const std::string& s, int64_t lo, int64_t hi, int64_t& out);

// Parses sorrel-send's arguments (without the program name).  nullopt: run the request
// now in `r`.  A number: exit with it at once, --help or --version having been answered
// (0) or the line being wrong (2, the message on standard error in the style of every
// program of the project).
std::optional<int> ParseArgs(const std::vector<std::string>& args, Request& r);

}  // namespace sorrel::tools
