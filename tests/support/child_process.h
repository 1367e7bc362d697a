// A peer in another process for tests of what crosses processes: the child runs a function
// and reports lines through a pipe, while the parent goes on serving (its own endpoints, its
// channel) until the child has ended. A child that outlives the time-out is killed. The
// default time-out only bounds a hang: a sanitizer build on a loaded machine can be 20 times
// slower than a plain one, and a test's verdict must not depend on that.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

class ChildProcess {
 public:
  static constexpr int kHangMs = 120000;

  // Starts `body` in a child process; its return value is the child's exit code. The child
  // leaves with _exit, so that nothing of the parent's is cleaned up twice.
  explicit ChildProcess(const std::function<int(ChildProcess&)>& body) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      out_ = fds[1];
      _exit(body(*this));
    }
    ::close(fds[1]);
    in_ = fds[0];
    fcntl(in_, F_SETFL, O_NONBLOCK);
  }
  ~ChildProcess() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) ::close(in_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // In the child: one line for the parent.
  void say(const std::string& line) {
    const std::string l = line + "\n";
    const ssize_t n = write(out_, l.data(), l.size());
    (void)n;
  }

  // In the parent: takes what the child said so far; false once it has ended.
  bool step() {
    char buf[512];
    ssize_t n;
    while ((n = read(in_, buf, sizeof buf)) > 0) said_.append(buf, static_cast<size_t>(n));
    if (ended_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      ended_ = true;
      code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      while ((n = read(in_, buf, sizeof buf)) > 0) said_.append(buf, static_cast<size_t>(n));
      return false;
    }
    return true;
  }
  // In the parent: calls `serve` (if any) until the child has ended or the time-out passed;
  // returns the child's exit code, -1 after the time-out.
  int wait(const std::function<void()>& serve = {}, int timeoutMs = kHangMs) {
    return waitUntil([] { return false; }, serve, timeoutMs) ? code_ : -1;
  }
  // In the parent: serves until `done` holds or the child has ended; false after the time-out
  // (the child is then killed).
  bool waitUntil(const std::function<bool()>& done, const std::function<void()>& serve, int timeoutMs = kHangMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      if (serve) serve();
      const bool running = step();
      if (done() || !running) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    ended_ = true;
    code_ = -1;
    return false;
  }
  const std::string& said() const { return said_; }
  bool saidLine(const std::string& line) const { return said_.find(line + "\n") != std::string::npos; }
  int code() const { return code_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool ended_ = false;
  int code_ = -1;
  std::string said_;
};
