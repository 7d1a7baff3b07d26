// The command line of every program of the project: long options (--name, --name VALUE,
// --name=VALUE), positional arguments, --help and --version, and one error style
// ("PROG: what went wrong" and a pointer to --help on standard error, status 2).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sorrel::base {

class TCommandLine {
 public:
  // `usage` is the whole help text, starting with the "usage:" line.
  TCommandLine(std::string program, std::string usage);

  void Flag(const std::string& name, bool* out);
  void Option(const std::string& name, std::string* out);
  // Set only when the option is given, so that "--name=" and its absence differ.
  void Option(const std::string& name, std::optional<std::string>* out);
  // Where `takeAsIs` says so for the positional arguments read so far, the next argument
  // that does not begin with "--" is positional whatever it looks like ("-x.pdr", "-h"):
  // for a free text after a verb.
  void Verbatim(std::function<bool(const std::vector<std::string>& before)> takeAsIs);

  enum class TResult { kRun, kExit };
  // kExit: --help or --version was answered, or the line was wrong (the message is
  // printed); ExitCode() is then 0 or 2.  A lone "-" and negative numbers ("-1",
  // "-0x10") are positional; "--" ends the options.
  TResult Parse(int argc, char** argv);
  TResult Parse(const std::vector<std::string>& args);
  int ExitCode() const { return exitCode_; }

  const std::vector<std::string>& Positional() const { return positional_; }

  // Prints "PROG: message" and the pointer to --help; returns 2 for `return Fail(...)`.
  int Fail(const std::string& message);
  const std::string& Program() const { return program_; }

 private:
  struct OptionDef {
    std::string name;
    bool* flag = nullptr;
    std::string* value = nullptr;
    std::optional<std::string>* given = nullptr;
  };
  const OptionDef* Find(const std::string& name) const;

  std::string program_, usage_;
  std::vector<OptionDef> options_;
  std::function<bool(const std::vector<std::string>&)> verbatim_;
  std::vector<std::string> positional_;
  int exitCode_ = 0;
};

// "PROG (Tarn's MP3Player) 9.99"
std::string VersionLine(const std::string& program);

}  // namespace sorrel::base
