#include "tools/pctool/pc_channel_transport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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
// way's lock file from its request to the answer. The lock is the kernel's (flock), so it is
// released when its holder dies. A tool that has just had its turn lets the tools already
// waiting (they hold the wait file shared) go first, so that none of them starves.
class WayLock {
 public:
  explicit WayLock(const std::string& requestName) : name_(requestName) {}
  ~WayLock() {
    for (int fd : {lock_, wait_})
      if (fd >= 0) ::close(fd);
  }
  WayLock(const WayLock&) = delete;
  WayLock& operator=(const WayLock&) = delete;

  // Waits at most timeoutMs for the way; false with the reason.
  bool acquire(int timeoutMs, std::string* error) {
    if (!openFiles(error)) return false;
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
    return openFiles(&ignored) && flock(lock_, LOCK_EX | LOCK_NB) == 0;
  }
  void release() {
    if (lock_ >= 0) flock(lock_, LOCK_UN);
  }

 private:
  bool openFiles(std::string* error) {
    if (lock_ >= 0) return true;
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
    const std::string lockPath = base + ".lock";
    const std::string waitPath = base + ".wait";
    auto open = [&](const std::string& path) {
      const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd < 0) *error = "cannot open the lock \"" + path + "\": " + std::strerror(errno);
      return fd;
    };
    wait_ = open(waitPath);
    if (wait_ < 0) return false;
    lock_ = open(lockPath);
    if (lock_ < 0) {
      ::close(wait_);
      wait_ = -1;
      return false;
    }
    return true;
  }

  std::string name_;
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
        lock_(SimComChannelName("Share", false, kind, number)) {}

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
    responseEvent->take();  // an answer nobody took
    std::memcpy(requestShare->data(), text.c_str(), text.size() + 1);
    requestEvent->set();    // last: the simulator may read the share from now on
    if (!wait_.await([&](int ms) { return responseEvent->wait(ms); }, error)) return false;
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

// A request window and its response window; the simulator's notification tells that the
// answer is there.
class WindowTransport : public PcTransport {
 public:
  WindowTransport(std::string request, std::string response, const PcChannelWaits& waits)
      : request_(std::move(request)), response_(std::move(response)), timeoutMs_(waits.timeoutMs),
        wait_(waits), lock_(request_) {}

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
    const std::string prefix = host::SharedNamePrefix();
    if (call(request_, SIM_COM_REGISTER_NOTIFY, endpoint_->fullName(), nullptr) != 1 ||
        call(response_, SIM_COM_SETTEXT, "", nullptr) != 1) {
      *error = "no simulator window \"" + prefix + request_ + "\"";
      return false;
    }
    endpoint_->serve(0);  // a notification that came too late for an earlier request
    notified_ = false;
    if (call(request_, SIM_COM_SETTEXT, text, nullptr) != 1) {
      *error = "the simulator did not take the request";
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
    if (!wait_.await(notified, error)) return false;
    std::string reply;
    call(response_, SIM_COM_GETTEXT, "", &reply, SIM_COM_WINDOW_TEXT_MAX + 1);
    return DecodeAnswer(reply.data(), reply.size(), answer, error);
  }

 private:
  int32_t call(const std::string& window, uint32_t message, const std::string& payload, std::string* reply,
               uint32_t wParam = 0) {
    host::IpcFrame f;
    f.message = message;
    f.wParam = wParam;
    f.payload = payload;
    return host::IpcSendFull(host::SharedNamePrefix() + window, f, reply, timeoutMs_);
  }

  std::string request_;
  std::string response_;
  int timeoutMs_;
  AnswerWait wait_;
  WayLock lock_;
  std::unique_ptr<host::IpcEndpoint> endpoint_;
  bool notified_ = false;
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
