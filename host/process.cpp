#include "host/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace host {

std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  path[n] = 0;
  const char* slash = std::strrchr(path, '/');
  return slash ? std::string(path, static_cast<size_t>(slash - path)) : std::string();
}

pid_t StartProcess(const std::vector<std::string>& args) { return StartProcess(args, {}); }

pid_t StartProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment) {
  if (args.empty() || args[0].empty()) return 0;
  // This process's environment without the names given, then the entries given.
  std::vector<char*> envp;
  auto given = [&](const char* entry) {
    for (const std::string& e : environment) {
      const size_t eq = e.find('=');
      const size_t n = eq == std::string::npos ? e.size() : eq;
      if (std::strncmp(entry, e.c_str(), n) == 0 && entry[n] == '=') return true;
    }
    return false;
  };
  for (char** e = environ; e && *e; ++e)
    if (!given(*e)) envp.push_back(*e);
  for (const std::string& e : environment)
    if (e.find('=') != std::string::npos) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  // posix_spawnp takes a name with '/' as a path and looks others up on PATH.
  const int rc = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  return rc == 0 ? pid : 0;
}

bool ReapProcess(pid_t pid) {
  if (pid <= 0) return true;
  const pid_t r = waitpid(pid, nullptr, WNOHANG);
  return r == pid || (r < 0 && errno == ECHILD);
}

bool WaitProcess(pid_t pid, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
  for (;;) {
    if (ReapProcess(pid)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace host
