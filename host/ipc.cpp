#include "host/ipc.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/byte_order.h"
#include "host/shared_block.h"

namespace host {

namespace {

constexpr int kBacklog = 16;
constexpr size_t kMaxPeers = 16;        // the oldest peer is dropped for a newer one
constexpr int kFramesPerServe = 64;     // per peer and call, so that one peer cannot hold the caller
constexpr size_t kPacketBytes = IPC_HEADER_BYTES + IPC_MAX_PAYLOAD;

uint32_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

// Milliseconds left until `deadline` (never negative).
int Left(uint32_t deadline) {
  const int32_t d = static_cast<int32_t>(deadline - NowMs());
  return d > 0 ? d : 0;
}

bool Address(const std::string& path, sockaddr_un* addr) {
  if (path.empty() || path.size() >= sizeof addr->sun_path) return false;
  *addr = sockaddr_un{};
  addr->sun_family = AF_UNIX;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

int NewSocket() { return socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

// Waits for `events` on fd until the deadline; true when they came.
bool WaitFor(int fd, short events, uint32_t deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int rc = poll(&p, 1, Left(deadline));
    if (rc > 0) return true;
    if (rc == 0) return false;
    if (errno != EINTR) return false;
  }
}

void SleepMs(int ms) {
  timespec ts{0, ms * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

// Connects a new socket to path. Returns the descriptor, or -1 with *err set: ENOENT (no
// endpoint), ECONNREFUSED (a stale socket), ETIMEDOUT (busy until the deadline), or another.
int Connect(const std::string& path, int timeoutMs, int* err) {
  sockaddr_un addr;
  if (!Address(path, &addr)) {
    *err = ENAMETOOLONG;
    return -1;
  }
  const int fd = NewSocket();
  if (fd < 0) {
    *err = errno;
    return -1;
  }
  const uint32_t deadline = NowMs() + static_cast<uint32_t>(timeoutMs > 0 ? timeoutMs : 0);
  for (;;) {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return fd;
    const int e = errno;
    if (e == EINTR) continue;
    if (e == EINPROGRESS) {
      int soErr = 0;
      socklen_t len = sizeof soErr;
      if (WaitFor(fd, POLLOUT, deadline) && getsockopt(fd, SOL_SOCKET, SO_ERROR, &soErr, &len) == 0 && soErr == 0)
        return fd;
      *err = soErr ? soErr : ETIMEDOUT;
    } else if (e == EAGAIN) {
      // The peer's backlog is full: it lives but is busy.
      if (Left(deadline) > 0) {
        SleepMs(1);
        continue;
      }
      *err = ETIMEDOUT;
    } else {
      *err = e;
    }
    ::close(fd);
    return -1;
  }
}

// Sends one frame on a connected socket before the deadline.
bool SendFrame(int fd, const IpcFrame& frame, uint32_t deadline) {
  if (frame.payload.size() > IPC_MAX_PAYLOAD) return false;
  uint8_t header[IPC_HEADER_BYTES];
  IpcEncodeHeader(frame, header);
  iovec iov[2] = {{header, sizeof header}, {const_cast<char*>(frame.payload.data()), frame.payload.size()}};
  msghdr msg{};
  msg.msg_iov = iov;
  msg.msg_iovlen = frame.payload.empty() ? 1 : 2;
  for (;;) {
    if (sendmsg(fd, &msg, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) return true;
    if (errno == EINTR) continue;
    if (errno != EAGAIN || !WaitFor(fd, POLLOUT, deadline)) return false;
  }
}

bool OwnFolder(const std::string& dir) {
  struct stat st {};
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
  // Ours, but open to others: closed again, so that nobody else can reach the endpoints.
  return (st.st_mode & 077) == 0 || chmod(dir.c_str(), 0700) == 0;
}

}  // namespace

const std::string& IpcFolder() {
  static const std::string folder = [] {
    std::string dir;
    const char* run = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (run && *run && stat(run, &st) == 0 && S_ISDIR(st.st_mode)) {
      dir = std::string(run) + "/sim74_2";
    } else {
      const char* tmp = std::getenv("TMPDIR");
      dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/sim74_2-" + std::to_string(getuid());
    }
    mkdir(dir.c_str(), 0700);
    return OwnFolder(dir) ? dir : std::string();
  }();
  return folder;
}

std::string IpcPathOf(const std::string& fullName) {
  const std::string& folder = IpcFolder();
  if (folder.empty() || fullName.empty() || fullName.find('/') != std::string::npos) return {};
  std::string path = folder + "/" + fullName;
  return path.size() < sizeof(sockaddr_un{}.sun_path) ? path : std::string();
}

void IpcEncodeHeader(const IpcFrame& frame, uint8_t out[IPC_HEADER_BYTES]) {
  FW_PutU32(out, frame.message);
  FW_PutU32(out + 4, frame.wParam);
  FW_PutU32(out + 8, static_cast<uint32_t>(frame.lParam));
}

bool IpcDecode(const uint8_t* bytes, size_t n, IpcFrame* frame) {
  if (n < IPC_HEADER_BYTES || n - IPC_HEADER_BYTES > IPC_MAX_PAYLOAD) return false;
  frame->message = FW_GetU32(bytes);
  frame->wParam = FW_GetU32(bytes + 4);
  frame->lParam = static_cast<int32_t>(FW_GetU32(bytes + 8));
  frame->payload.assign(reinterpret_cast<const char*>(bytes) + IPC_HEADER_BYTES, n - IPC_HEADER_BYTES);
  return true;
}

// --- Endpoint ------------------------------------------------------------------------------

bool IpcEndpoint::InUse(const std::string& name) {
  const std::string path = IpcPathOf(SharedNamePrefix() + name);
  struct stat st {};
  if (path.empty() || lstat(path.c_str(), &st) != 0) return false;
  if (!S_ISSOCK(st.st_mode)) return true;  // not ours to remove
  int err = 0;
  const int fd = Connect(path, 0, &err);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  if (err == ECONNREFUSED) {
    unlink(path.c_str());  // nobody listens: its process has gone
    return false;
  }
  return err != ENOENT;
}

std::unique_ptr<IpcEndpoint> IpcEndpoint::Create(const std::string& name, IpcHandler handler,
                                                 std::string* error) {
  const std::string full = SharedNamePrefix() + name;
  const std::string path = IpcPathOf(full);
  auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return nullptr;
  };
  if (path.empty()) return fail("no place for the endpoint \"" + full + "\"");
  if (InUse(name)) return fail("endpoint \"" + path + "\" is in use");
  sockaddr_un addr;
  Address(path, &addr);
  std::unique_ptr<IpcEndpoint> e(new IpcEndpoint);
  e->name_ = name;
  e->full_ = full;
  e->path_ = path;
  e->handler_ = std::move(handler);
  e->creatorPid_ = static_cast<int>(getpid());
  e->listener_ = NewSocket();
  if (e->listener_ < 0 || bind(e->listener_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    const std::string why = std::strerror(errno);
    e->path_.clear();  // not ours: nothing to remove
    return fail("cannot create endpoint \"" + path + "\": " + why);
  }
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) e->inode_ = static_cast<unsigned long>(st.st_ino);
  chmod(path.c_str(), 0600);
  e->epoll_ = epoll_create1(EPOLL_CLOEXEC);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = e->listener_;
  if (listen(e->listener_, kBacklog) != 0 || e->epoll_ < 0 ||
      epoll_ctl(e->epoll_, EPOLL_CTL_ADD, e->listener_, &ev) != 0)
    return fail("cannot listen at \"" + path + "\": " + std::strerror(errno));
  return e;
}

IpcEndpoint::~IpcEndpoint() {
  for (int fd : peers_) ::close(fd);
  if (listener_ >= 0) ::close(listener_);
  if (epoll_ >= 0) ::close(epoll_);
  // Only the creating process removes the name, and only while it is still its own socket.
  struct stat st {};
  if (!path_.empty() && creatorPid_ == static_cast<int>(getpid()) && lstat(path_.c_str(), &st) == 0 &&
      static_cast<unsigned long>(st.st_ino) == inode_)
    unlink(path_.c_str());
}

// Takes every waiting peer and answers what it has sent already.
int IpcEndpoint::accept() {
  int served = 0;
  for (;;) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return served;
    }
    if (peers_.size() >= kMaxPeers) dropIdlest();
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) != 0) {
      ::close(fd);
      continue;
    }
    peers_.push_back(fd);
    active_.push_back(++activity_);
    served += answerAll(fd);
  }
}

void IpcEndpoint::drop(size_t i) {
  epoll_ctl(epoll_, EPOLL_CTL_DEL, peers_[i], nullptr);
  ::close(peers_[i]);
  peers_.erase(peers_.begin() + static_cast<std::ptrdiff_t>(i));
  active_.erase(active_.begin() + static_cast<std::ptrdiff_t>(i));
}

// Makes room for a new peer: the one that has been quiet longest goes (peers that connect and
// send nothing must not push out one whose frame is on its way), after what it has sent
// already is answered.
void IpcEndpoint::dropIdlest() {
  size_t idlest = 0;
  for (size_t i = 1; i < peers_.size(); ++i)
    if (active_[i] < active_[idlest]) idlest = i;
  const int fd = peers_[idlest];
  const size_t before = peers_.size();
  answerAll(fd);
  if (peers_.size() == before) {
    for (size_t i = 0; i < peers_.size(); ++i) {
      if (peers_[i] == fd) {
        drop(i);
        break;
      }
    }
  }
}

// Answers the next frame of a peer: 1 answered, 0 nothing waits, -1 the peer is gone.
int IpcEndpoint::answer(int fd) {
  static thread_local std::vector<uint8_t> packet(kPacketBytes);
  ssize_t n;
  do {
    n = recv(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_TRUNC);
  } while (n < 0 && errno == EINTR);
  if (n == 0) return -1;
  if (n < 0) return errno == EAGAIN ? 0 : -1;
  IpcFrame in, out;
  // A frame too short or too long is refused: its sender gets 0 and need not wait.
  if (static_cast<size_t>(n) <= packet.size() && IpcDecode(packet.data(), static_cast<size_t>(n), &in)) {
    out.message = in.message;
    if (handler_) out.lParam = handler_(in, &out.payload);
    if (out.payload.size() > IPC_MAX_PAYLOAD) {  // never cut: a reply too long is none
      out.payload.clear();
      out.lParam = 0;
    }
  } else if (n >= 4) {
    out.message = FW_GetU32(packet.data());
  }
  // A posted frame's sender has gone already; the next read finds that out.
  SendFrame(fd, out, NowMs());
  return 1;
}

// Answers the frames a peer has sent (a bounded number); a peer that has gone is dropped.
int IpcEndpoint::answerAll(int fd) {
  int served = 0;
  for (int k = 0; k < kFramesPerServe; ++k) {
    const int r = answer(fd);
    if (r > 0) {
      ++served;
      for (size_t j = 0; j < peers_.size(); ++j)
        if (peers_[j] == fd) active_[j] = ++activity_;
      continue;
    }
    if (r < 0) {
      for (size_t j = 0; j < peers_.size(); ++j) {
        if (peers_[j] == fd) {
          drop(j);
          break;
        }
      }
    }
    break;
  }
  return served;
}

int IpcEndpoint::serve(int waitMs) {
  const uint32_t deadline = NowMs() + static_cast<uint32_t>(waitMs > 0 ? waitMs : 0);
  epoll_event events[kMaxPeers + 1];
  int served = 0;
  do {
    const int ready = epoll_wait(epoll_, events, static_cast<int>(kMaxPeers + 1), Left(deadline));
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < ready; ++i) {
      const int fd = events[i].data.fd;
      served += fd == listener_ ? accept() : answerAll(fd);
    }
  } while (served == 0 && Left(deadline) > 0);
  return served;
}

// --- Connection ----------------------------------------------------------------------------

std::unique_ptr<IpcConnection> IpcConnection::OpenFull(const std::string& fullName, int timeoutMs,
                                                       std::string* error) {
  const std::string path = IpcPathOf(fullName);
  int err = ENOENT;
  const int fd = path.empty() ? -1 : Connect(path, timeoutMs, &err);
  if (fd < 0) {
    if (error) *error = "no endpoint \"" + fullName + "\": " + std::strerror(err);
    return nullptr;
  }
  std::unique_ptr<IpcConnection> c(new IpcConnection);
  c->fd_ = fd;
  c->timeoutMs_ = timeoutMs;
  c->buffer_.resize(kPacketBytes);
  return c;
}

std::unique_ptr<IpcConnection> IpcConnection::Open(const std::string& name, int timeoutMs, std::string* error) {
  return OpenFull(SharedNamePrefix() + name, timeoutMs, error);
}

IpcConnection::~IpcConnection() { close(); }

void IpcConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int32_t IpcConnection::send(const IpcFrame& frame, std::string* reply) {
  if (reply) reply->clear();
  if (fd_ < 0) return 0;
  const uint32_t deadline = NowMs() + static_cast<uint32_t>(timeoutMs_ > 0 ? timeoutMs_ : 0);
  if (!SendFrame(fd_, frame, deadline)) {
    close();
    return 0;
  }
  for (;;) {
    if (!WaitFor(fd_, POLLIN, deadline)) break;
    const ssize_t n = recv(fd_, buffer_.data(), buffer_.size(), MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    IpcFrame in;
    if (n <= 0 || static_cast<size_t>(n) > buffer_.size() || !IpcDecode(buffer_.data(), static_cast<size_t>(n), &in) ||
        in.message != frame.message)
      break;
    if (reply) *reply = std::move(in.payload);
    return in.lParam;
  }
  // Dead, refused or silent: a late reply must never be taken for the answer to a later call.
  close();
  return 0;
}

int32_t IpcSendFull(const std::string& fullName, const IpcFrame& frame, std::string* reply, int timeoutMs) {
  if (reply) reply->clear();
  std::unique_ptr<IpcConnection> c = IpcConnection::OpenFull(fullName, timeoutMs, nullptr);
  return c ? c->send(frame, reply) : 0;
}

bool IpcPostFull(const std::string& fullName, const IpcFrame& frame, int timeoutMs) {
  const std::string path = IpcPathOf(fullName);
  int err = 0;
  const int fd = path.empty() ? -1 : Connect(path, timeoutMs, &err);
  if (fd < 0) return false;
  const bool sent = SendFrame(fd, frame, NowMs() + static_cast<uint32_t>(timeoutMs > 0 ? timeoutMs : 0));
  ::close(fd);
  return sent;
}

bool IpcExistsFull(const std::string& fullName) {
  const std::string path = IpcPathOf(fullName);
  int err = 0;
  const int fd = path.empty() ? -1 : Connect(path, 0, &err);
  if (fd >= 0) ::close(fd);
  return fd >= 0 || err == ETIMEDOUT;
}

}  // namespace host
