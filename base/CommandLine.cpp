#include "base/CommandLine.h"

#include <cstdio>

namespace sorrel::base {

namespace {

bool LooksNegativeNumber(const std::string& a) {
  return a.size() >= 2 && a[0] == '-' && a[1] >= '0' && a[1] <= '9';
}

}  // namespace

std::string VersionLine(const std::string& program) {
  return program + " (Tarn's MP3Player) " + SORREL_VERSION;
}

TCommandLine::TCommandLine(std::string program, std::string usage)
    : program_(std::move(program)), usage_(std::move(usage)) {}

void TCommandLine::Flag(const std::string& name, bool* out) { options_.push_back({name, out, nullptr}); }

void TCommandLine::Option(const std::string& name, std::string* out) {
  options_.push_back({name, nullptr, out});
}

void TCommandLine::Option(const std::string& name, std::optional<std::string>* out) {
  options_.push_back({name, nullptr, nullptr, out});
}

void TCommandLine::Verbatim(std::function<bool(const std::vector<std::string>& before)> takeAsIs) {
  verbatim_ = std::move(takeAsIs);
}

const TCommandLine::OptionDef* TCommandLine::Find(const std::string& name) const {
  for (const OptionDef& s : options_)
    if (s.name == name) return &s;
  return nullptr;
}

int TCommandLine::Fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program_.c_str(), message.c_str(),
               program_.c_str());
  exitCode_ = 2;
  return 2;
}

TCommandLine::TResult TCommandLine::Parse(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return Parse(args);
}

TCommandLine::TResult TCommandLine::Parse(const std::vector<std::string>& args) {
  positional_.clear();
  exitCode_ = 0;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool asIs = verbatim_ && a.compare(0, 2, "--") != 0 && verbatim_(positional_);
    if (optionsEnded || asIs || a == "-" || a.empty() || a[0] != '-' || LooksNegativeNumber(a)) {
      positional_.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      std::fputs(usage_.c_str(), stdout);
      return TResult::kExit;
    }
    if (a == "--version") {
      std::printf("%s\n", VersionLine(program_).c_str());
      return TResult::kExit;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    const OptionDef* def = a.compare(0, 2, "--") == 0 ? Find(name) : nullptr;
    if (!def) {
      Fail("unknown option " + name);
      return TResult::kExit;
    }
    if (def->flag) {
      if (eq != std::string::npos) {
        Fail(name + " takes no value");
        return TResult::kExit;
      }
      *def->flag = true;
    } else if (eq != std::string::npos || i + 1 < args.size()) {
      std::string v = eq != std::string::npos ? a.substr(eq + 1) : args[++i];
      if (def->given)
        *def->given = std::move(v);
      else
        *def->value = std::move(v);
    } else {
      Fail(name + " wants a value");
      return TResult::kExit;
    }
  }
  return TResult::kRun;
}

}  // namespace sorrel::base
