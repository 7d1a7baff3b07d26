#include "tests/platform/ProcessHelpers.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace testing_sorrel {

Child Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& dir) {
  static std::atomic<int> serial{0};
  const int n = serial.fetch_add(1);
  Child c;
  c.stdoutPath = dir + "/out" + std::to_string(n) + ".txt";
  c.stderrPath = dir + "/err" + std::to_string(n) + ".txt";
  const pid_t pid = fork();
  if (pid == 0) {
    for (const std::string& e : env) {
      const size_t eq = e.find('=');
      const std::string name = e.substr(0, eq), value = e.substr(eq + 1);
      if (value.empty())
        unsetenv(name.c_str());
      else
        setenv(name.c_str(), value.c_str(), 1);
    }
    const int o = open(c.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(c.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<char*> a;
    for (const std::string& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    execv(a[0], a.data());
    _exit(127);
  }
  c.pid = pid;
  return c;
}

std::optional<int> WaitExit(Child& c, int ms) {
  if (c.pid <= 0) return std::nullopt;
  int status = 0;
  const bool done = WaitFor([&] { return waitpid(c.pid, &status, WNOHANG) == c.pid; }, ms);
  if (!done) return std::nullopt;
  c.pid = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

void Kill(Child& c, int sig) {
  if (c.pid > 0) kill(c.pid, sig);
}

int Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& dir,
        int ms, std::string* out, std::string* err) {
  Child c = Spawn(argv, env, dir);
  auto rc = WaitExit(c, ms);
  if (!rc) {
    Kill(c, SIGKILL);
    WaitExit(c, 5000);
    rc = -1;
  }
  if (out) *out = Slurp(c.stdoutPath);
  if (err) *err = Slurp(c.stderrPath);
  return *rc;
}

std::string Which(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = dir + "/" + program;
    if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string MakeTempDir() {
  char tmpl[] = "/tmp/sorrel-test-XXXXXX";
  return mkdtemp(tmpl);
}

}  // namespace testing_sorrel
