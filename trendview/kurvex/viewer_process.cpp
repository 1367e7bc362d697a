// The viewer as a separate program: starting it (host/process.h), waiting for it with a
// time-out, ending it, and the notification datagrams between the library and the viewer.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "host/ipc.h"
#include "host/process.h"
#include "trendview/kurvex/kurvex_internal.h"

namespace kurvex {

namespace {

// The socket address of viewer `pid`; false when the folder is unusable or the path too long.
bool SocketAddress(uint32_t pid, sockaddr_un* addr) {
  const std::string& folder = host::IpcFolder();
  if (folder.empty()) return false;
  *addr = sockaddr_un{};
  addr->sun_family = AF_UNIX;
  int n = std::snprintf(addr->sun_path, sizeof addr->sun_path, "%s/kurvan.%u", folder.c_str(), pid);
  return n > 0 && static_cast<size_t>(n) < sizeof addr->sun_path;
}

constexpr size_t kNoteBytes = 12;

void SleepMs(int ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace

bool ProcessAlive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

pid_t StartViewer(const std::string& argument) {
  std::string program = KurvanGetOptions().viewerPath;
  if (program.empty()) {
    std::string beside = host::ProgramFolder() + "/Kurvan";
    program = access(beside.c_str(), X_OK) == 0 ? beside : "Kurvan";
  }
  return host::StartProcess({program, argument});
}

bool WaitChild(pid_t pid, int timeoutMs) {
  if (pid <= 0) return true;
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    if (host::ReapProcess(pid)) return true;  // ended (or reaped elsewhere)
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long elapsed = (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
    if (elapsed >= timeoutMs) return false;
    SleepMs(2);
  }
}

void EndChild(pid_t pid, int stopTimeoutMs) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (WaitChild(pid, stopTimeoutMs)) return;
  kill(pid, SIGKILL);
  WaitChild(pid, stopTimeoutMs);
}

void Notify(uint32_t pid, uint32_t message, uint32_t wParam, int32_t lParam) {
  static const int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_un addr;
  if (sender < 0 || pid == 0 || !SocketAddress(pid, &addr)) return;
  uint8_t note[kNoteBytes];
  TrendPutU32(note, 0, message);
  TrendPutU32(note, 4, wParam);
  TrendPutI32(note, 8, lParam);
  sendto(sender, note, sizeof note, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&addr),
         sizeof addr);
}

void ForgetViewer(uint32_t pid) {
  sockaddr_un addr;
  if (pid != 0 && !ProcessAlive(static_cast<pid_t>(pid)) && SocketAddress(pid, &addr)) unlink(addr.sun_path);
}

}  // namespace kurvex

int KurvanNotifyOpen() {
  sockaddr_un addr;
  if (!kurvex::SocketAddress(static_cast<uint32_t>(getpid()), &addr)) return -1;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  unlink(addr.sun_path);  // left by an earlier process of the same id
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int KurvanNotifyRead(int fd, KurvanNote* note) {
  uint8_t buf[kurvex::kNoteBytes + 1];
  for (;;) {
    ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return 0;
    if (n != static_cast<ssize_t>(kurvex::kNoteBytes)) continue;  // not one of ours: skip it
    if (note) {
      note->message = TrendGetU32(buf, 0);
      note->wParam = TrendGetU32(buf, 4);
      note->lParam = TrendGetI32(buf, 8);
    }
    return 1;
  }
}

void KurvanNotifyClose(int fd) {
  if (fd < 0) return;
  sockaddr_un addr;
  close(fd);
  if (kurvex::SocketAddress(static_cast<uint32_t>(getpid()), &addr)) unlink(addr.sun_path);
}
