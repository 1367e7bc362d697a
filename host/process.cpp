#include "host/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

extern char** environ;

namespace host {

namespace {

// The programs started here that have not been reaped yet.
std::mutex g_startedLock;
std::vector<pid_t> g_started;

void NoteStarted(pid_t pid) {
  std::lock_guard<std::mutex> l(g_startedLock);
  g_started.push_back(pid);
}

void NoteReaped(pid_t pid) {
  std::lock_guard<std::mutex> l(g_startedLock);
  g_started.erase(std::remove(g_started.begin(), g_started.end(), pid), g_started.end());
}

// This process's environment without the names given, then the entries given.
std::vector<char*> Environment(const std::vector<std::string>& environment) {
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
  return envp;
}

std::vector<char*> Arguments(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// The program file of a name: a name with '/' as it stands, another looked up on PATH.
std::string ProgramPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t at = 0; at <= dirs.size();) {
    const size_t colon = std::min(dirs.find(':', at), dirs.size());
    const std::string dir = colon > at ? dirs.substr(at, colon - at) : std::string(".");
    const std::string file = dir + "/" + name;
    struct stat st {};
    if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0) return file;
    at = colon + 1;
  }
  return {};
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

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
  std::vector<char*> envp = Environment(environment);
  std::vector<char*> argv = Arguments(args);
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
  if (rc != 0) return 0;
  NoteStarted(pid);
  return pid;
}

pid_t StartProcessGroup(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) return 0;
  const std::string program = ProgramPath(args[0]);
  if (program.empty()) return 0;
  std::vector<char*> envp = Environment({});
  std::vector<char*> argv = Arguments(args);
  int failed[2];  // the child's errno when it could not run the program
  if (pipe2(failed, O_CLOEXEC) != 0) return 0;
  const pid_t parent = getpid();
  // No handler of this process may run in the child before its signals are reset.
  sigset_t all, before;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &before);
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here on.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);  // this process died already
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
      if (sig != SIGKILL && sig != SIGSTOP) sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(program.c_str(), argv.data(), envp.data());
    const int e = errno;
    const ssize_t n = write(failed[1], &e, sizeof e);
    (void)n;
    _exit(127);
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  ::close(failed[1]);
  if (pid < 0) {
    ::close(failed[0]);
    return 0;
  }
  setpgid(pid, pid);  // also here, so that the group exists whoever runs first
  int e = 0;
  ssize_t n;
  do {
    n = read(failed[0], &e, sizeof e);
  } while (n < 0 && errno == EINTR);
  ::close(failed[0]);
  if (n > 0) {
    waitpid(pid, nullptr, 0);
    return 0;
  }
  NoteStarted(pid);
  return pid;
}

// True when a process of the group runs that is not a zombie (orphans that nobody reaps may
// stay zombies, and a signal to the group still finds them).
static bool GroupHasLiveMember(pid_t group) {
  DIR* proc = opendir("/proc");
  if (!proc) return true;
  bool live = false;
  while (dirent* e = readdir(proc)) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    char path[300], line[512];
    std::snprintf(path, sizeof path, "/proc/%s/stat", e->d_name);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    const ssize_t n = read(fd, line, sizeof line - 1);
    ::close(fd);
    if (n <= 0) continue;
    line[n] = 0;
    // "pid (name) state ppid pgrp ...": the name may hold blanks and parentheses.
    const char* close = std::strrchr(line, ')');
    char state = 0;
    int ppid = 0, pgrp = 0;
    if (close && std::sscanf(close + 1, " %c %d %d", &state, &ppid, &pgrp) == 3 && pgrp == group && state != 'Z') {
      live = true;
      break;
    }
  }
  closedir(proc);
  return live;
}

bool ProcessGroupAlive(pid_t group) {
  if (group <= 0) return false;
  ReapProcess(group);
  if (kill(-group, 0) != 0 && errno != EPERM) return false;
  if (GroupHasLiveMember(group)) return true;
  // A leader that ended after the reap above is a zombie now: reaped before the group counts
  // as gone, as nobody looks at a gone group again.
  ReapProcess(group);
  return false;
}

bool EndProcessGroup(pid_t group, int graceMs) {
  if (!ProcessGroupAlive(group)) return true;
  kill(-group, SIGTERM);
  for (int round = 0; round < 2; ++round) {
    const int64_t end = NowMs() + (round == 0 ? graceMs : 1000);
    while (ProcessGroupAlive(group)) {
      if (NowMs() >= end) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!ProcessGroupAlive(group)) return true;
    if (round == 0) kill(-group, SIGKILL);
  }
  return false;
}

bool ReapProcess(pid_t pid) {
  if (pid <= 0) return true;
  const pid_t r = waitpid(pid, nullptr, WNOHANG);
  const bool ended = r == pid || (r < 0 && errno == ECHILD);
  if (ended) NoteReaped(pid);
  return ended;
}

void ReapEndedProcesses() {
  std::lock_guard<std::mutex> l(g_startedLock);
  for (size_t i = 0; i < g_started.size();) {
    const pid_t r = waitpid(g_started[i], nullptr, WNOHANG);
    if (r == g_started[i] || (r < 0 && errno == ECHILD))
      g_started.erase(g_started.begin() + static_cast<std::ptrdiff_t>(i));
    else
      ++i;
  }
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
