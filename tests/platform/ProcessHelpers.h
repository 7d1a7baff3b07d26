// Running programs from tests: start with extra environment, wait with a limit, stop.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace testing_sorrel {

struct Child {
  pid_t pid = -1;
  std::string stderrPath;  // what the program wrote to standard error
  std::string stdoutPath;
};

// Starts `argv`; `env` entries are "NAME=value" added to ours ("NAME=" with nothing
// after removes NAME).  Standard output and error go to files in `dir`.
Child Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& dir);
// The exit status, or nullopt when it still runs after `ms` (then it is left running).
std::optional<int> WaitExit(Child& c, int ms);
void Kill(Child& c, int sig);
// Runs to completion (killed after `ms`); exit status, -1 when it had to be killed.
int Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& dir,
        int ms, std::string* out = nullptr, std::string* err = nullptr);
std::string Slurp(const std::string& path);
// The program's path on $PATH (Spawn does not search it), empty when it is not there.
std::string Which(const std::string& program);
std::string MakeTempDir();
// Polls `pred` every 20 ms for up to `ms`.
template <class F>
bool WaitFor(F pred, int ms);

}  // namespace testing_sorrel

#include <chrono>
#include <thread>

template <class F>
bool testing_sorrel::WaitFor(F pred, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return pred();
}
