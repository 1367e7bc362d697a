#include "tools/pctool/pc_channel_transport.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <thread>

#include "host/ipc.h"
#include "host/named_event.h"
#include "host/shared_block.h"
#include "shell/com_text.h"

namespace {

constexpr size_t kAnswerBytes = 512;   // more than any answer of the device

// Splits "Com10" / "Adr01" into the way's kind and number.
bool ParseWay(const std::string& way, const char** kind, unsigned* number) {
  if (way.size() < 4 || way.size() > 6) return false;
  const std::string k = way.substr(0, 3);
  if (k != "Com" && k != "Adr") return false;
  *kind = k == "Com" ? "Com" : "Adr";
  unsigned n = 0;
  for (size_t i = 3; i < way.size(); ++i) {
    if (way[i] < '0' || way[i] > '9') return false;
    n = n * 10 + static_cast<unsigned>(way[i] - '0');
  }
  *number = n;
  return true;
}

bool DecodeAnswer(const char* text, size_t n, std::vector<uint8_t>* answer, std::string* error) {
  uint8_t bytes[kAnswerBytes];
  uint16_t length = 0;
  if (!SimComDecodeText(text, n, bytes, sizeof bytes, &length)) {
    *error = "the answer text is too long";
    return false;
  }
  answer->assign(bytes, bytes + (length & 0x7FFFu));
  return true;
}

bool EncodeRequest(const std::vector<uint8_t>& request, bool binary, size_t maxChars, std::string* text,
                   std::string* error) {
  char buf[SIM_COM_SHARE_SIZE];
  size_t n = 0;
  if (!SimComEncodeText(request.data(), request.size(), binary, buf, sizeof buf, &n) || n > maxChars) {
    *error = "request of " + std::to_string(request.size()) + " bytes is too long for this way";
    return false;
  }
  text->assign(buf, n);
  return true;
}

// Each way has one request slot, so the tools that use one way take turns: a tool holds the
// way's turn lock from its request to the answer. The lock is the kernel's (flock), so it is
// released when its holder dies. A tool that has just had its turn lets the tools already
// waiting (they hold the wait lock shared) go first, so that none of them starves.
//
// The lock of a share way is a shared-memory object beside the way's shares, so that every
// tool that reaches those shares takes turns with every other, whatever session it runs in;
// the lock of a window way is a file in a folder beside the window endpoints (only tools that
// find those endpoints reach the windows). The lock's first byte tells whether the request of
// the last turn is still out without its answer taken (a tool that was killed or gave up):
// the next tool must not take that answer for its own.
class WayLock {
 public:
  enum Place { kBesideShares, kBesideEndpoints };
  WayLock(const std::string& requestName, Place place) : name_(requestName), place_(place) {}
  ~WayLock() {
    for (int fd : {lock_, wait_})
      if (fd >= 0) ::close(fd);
  }
  WayLock(const WayLock&) = delete;
  WayLock& operator=(const WayLock&) = delete;

  // Waits at most timeoutMs for the way; false with the reason.
  bool acquire(int timeoutMs, std::string* error) {
    if (!openLocks(error)) return false;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::milliseconds(timeoutMs);
    auto pause = [] { std::this_thread::sleep_for(std::chrono::microseconds(200)); };
    // Let those who wait go first, until none waits (or the time is up: then join them).
    while (std::chrono::steady_clock::now() < end) {
      if (flock(wait_, LOCK_EX | LOCK_NB) == 0) break;
      pause();
    }
    flock(wait_, LOCK_SH);  // I wait too (an exclusive probe holds it only for an instant)
    bool got = false;
    while (!(got = flock(lock_, LOCK_EX | LOCK_NB) == 0) && std::chrono::steady_clock::now() < end) pause();
    flock(wait_, LOCK_UN);
    if (!got) {
      *error = "\"" + name_ + "\" is busy: another PC tool has held it for " + std::to_string(timeoutMs) + " ms";
      return false;
    }
    return true;
  }
  // Takes the way only when it is free at once.
  bool tryAcquire() {
    std::string ignored;
    return openLocks(&ignored) && flock(lock_, LOCK_EX | LOCK_NB) == 0;
  }
  void release() {
    if (lock_ >= 0) flock(lock_, LOCK_UN);
  }
  // Whether a request of an earlier turn is still out (read and written while holding the way).
  bool outstanding() const {
    char c = 0;
    return lock_ >= 0 && pread(lock_, &c, 1, 0) == 1 && c == '1';
  }
  void setOutstanding(bool out) {
    const char c = out ? '1' : '0';
    if (lock_ >= 0 && pwrite(lock_, &c, 1, 0) != 1) {
      // Nothing to be done: the next tool then treats the way as it finds it.
    }
  }

 private:
  bool openLocks(std::string* error) {
    if (lock_ >= 0) return true;
    if (place_ == kBesideShares) return openBesideShares(error);
    // In a folder of their own beside the endpoints (private to this user like them): the
    // files stay, since a lock file removed while another tool opens it would split the lock.
    const std::string& endpoints = host::IpcFolder();
    const std::string folder = endpoints + "/locks";
    struct stat st {};
    if (endpoints.empty() || (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) || lstat(folder.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
      *error = "no place for the lock of \"" + name_ + "\"";
      return false;
    }
    const std::string base = folder + "/" + host::SharedNamePrefix() + name_;
    auto open = [&](const std::string& path) {
      const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd < 0) *error = "cannot open the lock \"" + path + "\": " + std::strerror(errno);
      return fd;
    };
    return keep(open(base + ".lock"), open(base + ".wait"));
  }
  // Shared-memory objects of this user that nobody else may open, like the shares.
  bool openBesideShares(std::string* error) {
    auto open = [&](bool wait) {
      const std::string path = "/" + host::SharedNamePrefix() + SimComTurnName(name_, wait);
      const int fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
      struct stat st {};
      if (fd < 0) {
        *error = "cannot open the lock \"" + path + "\": " + std::strerror(errno);
      } else if (fstat(fd, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
        *error = "the lock \"" + path + "\" " +
                 (st.st_uid != geteuid() ? "belongs to another user" : "is open to other users");
        ::close(fd);
        return -1;
      }
      return fd;
    };
    return keep(open(false), open(true));
  }
  bool keep(int lock, int wait) {
    if (lock < 0 || wait < 0) {
      if (lock >= 0) ::close(lock);
      if (wait >= 0) ::close(wait);
      return false;
    }
    lock_ = lock;
    wait_ = wait;
    return true;
  }

  std::string name_;
  Place place_;
  int lock_ = -1;
  int wait_ = -1;
};

// Holds a way's lock for one exchange.
class WayTurn {
 public:
  explicit WayTurn(WayLock& lock) : lock_(lock) {}
  ~WayTurn() {
    if (held_) lock_.release();
  }
  bool take(int timeoutMs, std::string* error) { return held_ = lock_.acquire(timeoutMs, error); }

 private:
  WayLock& lock_;
  bool held_ = false;
};

// The wait for one answer: the time-out, then (while the device may be starting) the start
// allowance, spent in vain at most once per transport.
class AnswerWait {
 public:
  explicit AnswerWait(const PcChannelWaits& waits) : waits_(waits) {}
  // `wait(ms)` waits up to ms for the answer; true when it came.
  template <typename Wait>
  bool await(Wait wait, std::string* error) {
    if (wait(waits_.timeoutMs)) return true;
    *error = "no answer within " + std::to_string(waits_.timeoutMs) + " ms";
    if (waits_.startMs <= 0 || startSpent_) return false;
    if (waits_.starting) waits_.starting();
    if (wait(waits_.startMs)) return true;
    startSpent_ = true;
    *error += ", nor in " + std::to_string(waits_.startMs) + " ms more for a device that is starting";
    return false;
  }

 private:
  PcChannelWaits waits_;
  bool startSpent_ = false;
};

// A request share with its event, and the response share with its event.
class ShareTransport : public PcTransport {
 public:
  ShareTransport(const char* kind, unsigned number, const PcChannelWaits& waits)
      : kind_(kind), number_(number), timeoutMs_(waits.timeoutMs), wait_(waits),
        lock_(SimComChannelName("Share", false, kind, number), WayLock::kBesideShares) {}

  bool exchange(const std::vector<uint8_t>& request, bool binary, std::vector<uint8_t>* answer,
                std::string* error) override {
    std::string text;
    if (!EncodeRequest(request, binary, SIM_COM_SHARE_SIZE - 1, &text, error)) return false;
    WayTurn turn(lock_);
    if (!turn.take(timeoutMs_, error)) return false;
    // Opened for each exchange: a simulator that reopened its channel has new shares.
    const std::string prefix = host::SharedNamePrefix();
    auto open = [&](const char* what, bool response) { return prefix + SimComChannelName(what, response, kind_, number_); };
    auto requestShare = host::SharedBlock::OpenFull(open("Share", false), error);
    auto responseShare = requestShare ? host::SharedBlock::OpenFull(open("Share", true), error) : nullptr;
    auto requestEvent = responseShare ? host::NamedEvent::OpenFull(open("Event", false), error) : nullptr;
    auto responseEvent = requestEvent ? host::NamedEvent::OpenFull(open("Event", true), error) : nullptr;
    if (!responseEvent) return false;
    if (requestShare->mappedBytes() < SIM_COM_SHARE_SIZE || responseShare->mappedBytes() < SIM_COM_SHARE_SIZE) {
      *error = "the simulator's shares are too small";
      return false;
    }
    if (lock_.outstanding()) {
      // The tool before gave up or died after its request. Not yet taken: it is withdrawn.
      // Taken: its answer is on the way and must not pass for the answer to this request.
      const bool withdrawn = requestEvent->take();
      if (!withdrawn && !responseEvent->wait(timeoutMs_)) {
        lock_.setOutstanding(false);  // the next tool finds the way as it is
        *error = "\"" + open("Share", false) + "\" is busy: the simulator has not answered an earlier request within " +
                 std::to_string(timeoutMs_) + " ms";
        return false;
      }
      lock_.setOutstanding(false);
    }
    responseEvent->take();  // an answer nobody took
    lock_.setOutstanding(true);
    std::memcpy(requestShare->data(), text.c_str(), text.size() + 1);
    requestEvent->set();    // last: the simulator may read the share from now on
    // No answer: the request is still out, and the next tool waits for that answer.
    if (!wait_.await([&](int ms) { return responseEvent->wait(ms); }, error)) return false;
    lock_.setOutstanding(false);
    const char* reply = static_cast<const char*>(responseShare->data());
    return DecodeAnswer(reply, strnlen(reply, SIM_COM_SHARE_SIZE), answer, error);
  }

 private:
  const char* kind_;
  unsigned number_;
  int timeoutMs_;
  AnswerWait wait_;
  WayLock lock_;
};

// The notification endpoints of tools that were killed ("<prefix>pctool.<pid>.<n>") stay in
// the endpoint folder; each new one clears away those whose process has gone.
void RemoveEndpointsOfGoneTools() {
  const std::string& folder = host::IpcFolder();
  const std::string start = host::SharedNamePrefix() + "pctool.";
  DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
  if (!dir) return;
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name.compare(0, start.size(), start) != 0) continue;
    const std::string rest = name.substr(start.size());
    const size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string::npos ||
        rest.find_first_not_of("0123456789") != dot)
      continue;
    const long pid = std::strtol(rest.c_str(), nullptr, 10);
    if (pid <= 0 || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == geteuid()) unlink(path.c_str());
  }
  closedir(dir);
}

// A request window and its response window; the simulator's notification tells that the
// answer is there.
class WindowTransport : public PcTransport {
 public:
  WindowTransport(std::string request, std::string response, const PcChannelWaits& waits)
      : request_(std::move(request)), response_(std::move(response)), timeoutMs_(waits.timeoutMs),
        wait_(waits), lock_(request_, WayLock::kBesideEndpoints) {}

  ~WindowTransport() override {
    // No longer there; unless another tool has the way now (and is registered itself).
    if (endpoint_ && lock_.tryAcquire()) {
      call(request_, SIM_COM_REGISTER_NOTIFY, "", nullptr);
      lock_.release();
    }
  }

  bool exchange(const std::vector<uint8_t>& request, bool binary, std::vector<uint8_t>* answer,
                std::string* error) override {
    std::string text;
    if (!EncodeRequest(request, binary, SIM_COM_REQUEST_TEXT_MAX, &text, error)) return false;
    WayTurn turn(lock_);
    if (!turn.take(timeoutMs_, error)) return false;
    if (!endpoint_) {
      RemoveEndpointsOfGoneTools();
      static std::atomic<unsigned> serial{0};
      endpoint_ = host::IpcEndpoint::Create(
          "pctool." + std::to_string(getpid()) + "." + std::to_string(serial++),
          [this](const host::IpcFrame& f, std::string*) {
            if (f.message == SIM_COM_NOTIFY) notified_ = true;
            return 0;
          },
          error);
      if (!endpoint_) return false;
    }
    if (call(request_, SIM_COM_REGISTER_NOTIFY, endpoint_->fullName(), nullptr) != 1) {
      *error = unreachable(request_);
      return false;
    }
    if (lock_.outstanding()) {
      // The tool before gave up or died after its request: a request not yet taken is
      // withdrawn. The simulator takes, serves and answers a request in one go on the thread
      // that answers these calls, so once the request text is cleared, the answer to a
      // request it took before is in the response window already; it is thrown away below.
      if (call(request_, SIM_COM_SETTEXT, "", nullptr) != 1) {
        *error = unreachable(request_);
        return false;
      }
      lock_.setOutstanding(false);
    }
    if (call(response_, SIM_COM_SETTEXT, "", nullptr) != 1) {
      *error = unreachable(response_);
      return false;
    }
    endpoint_->serve(0);  // a notification that came too late for an earlier request
    notified_ = false;
    lock_.setOutstanding(true);
    if (call(request_, SIM_COM_SETTEXT, text, nullptr) != 1) {
      if (!busy_) lock_.setOutstanding(false);  // busy: it may have taken the request after all
      *error = busy_ ? unreachable(request_) : "the simulator did not take the request";
      return false;
    }
    auto notified = [&](int ms) {
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
      while (!notified_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        endpoint_->serve(static_cast<int>(left.count()));
      }
      return true;
    };
    // No answer: still out, and the next tool withdraws it or throws its answer away.
    if (!wait_.await(notified, error)) return false;
    std::string reply;
    call(response_, SIM_COM_GETTEXT, "", &reply, SIM_COM_WINDOW_TEXT_MAX + 1);
    lock_.setOutstanding(false);
    return DecodeAnswer(reply.data(), reply.size(), answer, error);
  }

 private:
  // One call to a window; 0 when there is no such window or it did not answer in time (busy_
  // tells which). A simulator flooded with connections may drop one before it has read the
  // frame: the call is made again (every call here may be repeated) until the time-out.
  int32_t call(const std::string& window, uint32_t message, const std::string& payload, std::string* reply,
               uint32_t wParam = 0) {
    host::IpcFrame f;
    f.message = message;
    f.wParam = wParam;
    f.payload = payload;
    const std::string full = host::SharedNamePrefix() + window;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
    busy_ = false;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      auto c = host::IpcConnection::OpenFull(full, static_cast<int>(std::max<long long>(left.count(), 1)), nullptr);
      if (c) {
        const int32_t result = c->send(f, reply);
        if (c->alive()) return result;  // answered (with whatever result)
      } else if (!host::IpcExistsFull(full)) {
        return 0;
      }
      if (std::chrono::steady_clock::now() >= end) {
        busy_ = true;
        return 0;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  // Why a call to the window failed.
  std::string unreachable(const std::string& window) const {
    const std::string full = host::SharedNamePrefix() + window;
    return busy_ ? "\"" + full + "\" is busy: the simulator did not take the call within " + std::to_string(timeoutMs_) + " ms"
                 : "no simulator window \"" + full + "\"";
  }

  std::string request_;
  std::string response_;
  int timeoutMs_;
  AnswerWait wait_;
  WayLock lock_;
  std::unique_ptr<host::IpcEndpoint> endpoint_;
  bool notified_ = false;
  bool busy_ = false;
};

}  // namespace

std::unique_ptr<PcTransport> PcOpenChannel(const std::string& way, const PcChannelWaits& waits,
                                           std::string* error) {
  const size_t colon = way.find(':');
  const std::string kind = way.substr(0, colon);
  const std::string rest = colon == std::string::npos ? std::string() : way.substr(colon + 1);
  const char* what = nullptr;
  unsigned number = 0;
  if (kind == "share" && ParseWay(rest, &what, &number))
    return std::make_unique<ShareTransport>(what, number, waits);
  if (kind == "window" && rest == "Mx74Main")
    return std::make_unique<WindowTransport>(SIM_COM_MAIN_NAME, SimComResponseName(SIM_COM_MAIN_NAME), waits);
  if (kind == "window" && ParseWay(rest, &what, &number))
    return std::make_unique<WindowTransport>(SimComChannelName("Class", false, what, number),
                                             SimComChannelName("Class", true, what, number), waits);
  *error = "unknown way \"" + way + "\" (share:Com10, share:Adr01, window:Mx74Main, window:Com10, window:Adr01)";
  return nullptr;
}
