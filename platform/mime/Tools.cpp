#include "platform/mime/Tools.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace sorrel::mime {

namespace {

constexpr size_t kKeptStderr = 2048;

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

std::string FindProgram(std::string_view name, std::string_view searchPath) {
  if (name.empty() || name.find('/') != std::string_view::npos) return {};
  while (true) {
    const size_t colon = searchPath.find(':');
    const std::string_view dir = searchPath.substr(0, colon);
    if (!dir.empty() && dir[0] == '/') {
      const std::string candidate = std::string(dir) + "/" + std::string(name);
      struct stat st {};
      if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
        return candidate;
    }
    if (colon == std::string_view::npos) return {};
    searchPath.remove_prefix(colon + 1);
  }
}

TToolResult RunProgram(const std::string& program, const std::vector<std::string>& args, int timeoutMs) {
  TToolResult r;
  const std::string name = program.substr(program.find_last_of('/') + 1);
  int err[2];
  if (pipe2(err, O_CLOEXEC) != 0) {
    r.message = name + ": " + std::strerror(errno);
    return r;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  // The child starts with the default signal dispositions, whatever the caller set.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(err[1]);
  if (rc != 0) {
    close(err[0]);
    r.message = name + ": " + std::strerror(rc);
    return r;
  }

  // Read its standard error until it closes (the program ended) or the time is up.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string stderrText;
  bool open = true;
  while (open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{err[0], POLLIN, 0};
    const int n = poll(&p, 1, int(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    char buf[1024];
    const ssize_t got = read(err[0], buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      open = false;
    } else if (stderrText.size() < kKeptStderr) {
      stderrText.append(buf, std::min(size_t(got), kKeptStderr - stderrText.size()));
    }
  }
  close(err[0]);

  int status = 0;
  bool exited = false;
  for (;;) {
    const pid_t w = waitpid(pid, &status, WNOHANG);
    if (w == pid || (w < 0 && errno != EINTR)) {
      exited = w == pid;
      break;
    }
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
      r.message = name + ": still running after " + std::to_string(timeoutMs) + " ms, stopped";
      return r;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (exited && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    r.ok = true;
    return r;
  }
  if (!exited)
    r.message = name + ": lost track of it";
  else if (WIFEXITED(status))
    r.message = name + ": exit status " + std::to_string(WEXITSTATUS(status));
  else
    r.message = name + ": ended by signal " + std::to_string(WTERMSIG(status));
  stderrText = Trimmed(stderrText);
  if (!stderrText.empty()) r.message += " (" + stderrText + ")";
  return r;
}

}  // namespace sorrel::mime
