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

// False with a reason in `error` for a bad command line.
bool ParseArgs(const std::vector<std::string>& args, Request& r, std::string& error);

}  // namespace sorrel::tools
