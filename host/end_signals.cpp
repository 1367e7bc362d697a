#include "host/end_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <initializer_list>

namespace host {

namespace {

int g_endPipe[2] = {-1, -1};

void OnEndSignal(int) {
  const char c = 1;
  const ssize_t n = write(g_endPipe[1], &c, 1);
  (void)n;
}

}  // namespace

int CatchEndSignals() {
  if (g_endPipe[0] >= 0) return g_endPipe[0];
  if (pipe2(g_endPipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  struct sigaction sa {};
  sa.sa_handler = OnEndSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
  return g_endPipe[0];
}

void DrainEndSignals() {
  char buf[16];
  while (g_endPipe[0] >= 0 && read(g_endPipe[0], buf, sizeof buf) > 0) {
  }
}

}  // namespace host
