#include "shell/peers.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

#include "host/shared_block.h"

namespace {

constexpr size_t kInboxLimit = 256;  // frames waiting for the UI thread; more are dropped
constexpr int kServeWaitMs = 50;     // how soon the endpoint's thread sees the stop flag

}  // namespace

uint32_t SimRegisterMessage(const char* name) {
  // FNV-1a over the name, folded into the registered-message range.
  uint32_t h = 2166136261u;
  for (const char* p = name ? name : ""; *p; ++p) h = (h ^ static_cast<uint8_t>(*p)) * 16777619u;
  return 0xC000u + (h & 0x3FFFu);
}

SimInstancePeers::SimInstancePeers() = default;
SimInstancePeers::~SimInstancePeers() { close(); }

std::string SimInstancePeers::nameOf(SimWindowId window) {
  return std::string(SIM_HIDDEN_WINDOW_NAME) + "." + std::to_string(window);
}

bool SimInstancePeers::open(SimWindowId self, std::string* error) {
  close();
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    wake_[0] = wake_[1] = -1;
    if (error) *error = std::string("no pipe: ") + std::strerror(errno);
    return false;
  }
  endpoint_ = host::IpcEndpoint::Create(
      nameOf(self), [this](const host::IpcFrame& f, std::string*) { return answer(f); }, error);
  if (!endpoint_) {
    close();
    return false;
  }
  self_ = self;
  stop_ = false;
  thread_ = std::thread([this] {
    while (!stop_) endpoint_->serve(kServeWaitMs);
  });
  broadcast(SimRegisterMessage(SIM_WMR_NEW), 0);
  return true;
}

void SimInstancePeers::close() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  endpoint_.reset();
  for (int& fd : wake_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  inbox_.clear();
}

// On the endpoint's thread: the probe is answered at once, everything else waits for the UI
// thread.
int32_t SimInstancePeers::answer(const host::IpcFrame& frame) {
  if (frame.message == SIM_WM_NULL) return 1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (inbox_.size() >= kInboxLimit) return 0;
    inbox_.push_back(frame);
  }
  const char c = 1;
  const ssize_t n = write(wake_[1], &c, 1);  // a full pipe is awake already
  (void)n;
  return 1;
}

int SimInstancePeers::serve() {
  if (wake_[0] < 0) return 0;
  char buf[64];
  while (read(wake_[0], buf, sizeof buf) > 0) {
  }
  std::deque<host::IpcFrame> frames;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    frames.swap(inbox_);
  }
  for (const host::IpcFrame& f : frames) handle(f);
  return static_cast<int>(frames.size());
}

void SimInstancePeers::handle(const host::IpcFrame& frame) {
  if (frame.message == SIM_WM_COPYDATA) {
    if (frame.payload.size() == SIM_COPY_DATA_SIZE)
      std::memcpy(copyData_.data(), frame.payload.data(), SIM_COPY_DATA_SIZE);
    else
      copyData_.fill(0);
  } else if (frame.message == SimRegisterMessage(SIM_WMR_NEW)) {
    broadcast(SimRegisterMessage(SIM_WMR_NOTIFY), self_);
  } else if (frame.message == SimRegisterMessage(SIM_WMR_NOTIFY)) {
    if (frame.wParam != self_) addPeer(frame.wParam);
  }
}

bool SimInstancePeers::isWindow(SimWindowId window) const {
  if (window == 0) return false;
  host::IpcFrame probe;
  probe.message = SIM_WM_NULL;
  return host::IpcSendFull(host::SharedNamePrefix() + nameOf(window), probe, nullptr, timeoutMs_) == 1;
}

void SimInstancePeers::addPeer(SimWindowId window) {
  int candidate = -1;  // whether the new window answers: asked once, when first needed
  for (SimWindowId& entry : peers_) {
    if (entry != 0 && isWindow(entry)) continue;
    entry = 0;
    if (candidate < 0) candidate = isWindow(window) ? 1 : 0;
    if (candidate == 1 && std::find(peers_.begin(), peers_.end(), window) == peers_.end()) {
      entry = window;
      return;
    }
  }
}

int SimInstancePeers::broadcast(uint32_t message, uint32_t wParam) {
  const std::string& folder = host::IpcFolder();
  if (folder.empty()) return 0;
  const std::string prefix = host::SharedNamePrefix() + SIM_HIDDEN_WINDOW_NAME + ".";
  host::IpcFrame frame;
  frame.message = message;
  frame.wParam = wParam;
  int reached = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    SimWindowId id = 0;
    const char* digits = name.c_str() + prefix.size();
    const char* end = name.c_str() + name.size();
    const auto [ptr, err] = std::from_chars(digits, end, id);
    if (err != std::errc() || ptr != end || id == 0 || id == self_) continue;
    if (host::IpcPostFull(name, frame, timeoutMs_))
      ++reached;
    else
      host::IpcEndpoint::InUse(name.substr(host::SharedNamePrefix().size()));  // removes a dead one's name
  }
  return reached;
}

SimInstancePeers& SimPeers() {
  static SimInstancePeers peers;
  return peers;
}

namespace {

int g_instanceMark = -1;  // this process's running mark, kept open to its end
constexpr int kGateWaitMs = 3000;
constexpr int kGateStepMs = 5;


int OpenLockFile(const std::string& path) {
  return path.empty() ? -1 : ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
}

std::string InstanceFile(const char* what) {
  const std::string& folder = host::IpcFolder();
  return folder.empty() ? std::string() : folder + "/" + host::SharedNamePrefix() + "Sim74Instances." + what;
}

}  // namespace

std::string SimInstanceMarkPath() { return InstanceFile("run"); }

// The gate taken, or -1. Bounded: an instance stopped inside the gate must not hold every
// later start.
static int TakeGateNow() {
  int gate = OpenLockFile(InstanceFile("gate"));
  for (int waited = 0; gate >= 0 && ::flock(gate, LOCK_EX | LOCK_NB) != 0; waited += kGateStepMs) {
    if (waited >= kGateWaitMs) {
      ::close(gate);
      return -1;
    }
    ::usleep(kGateStepMs * 1000);
  }
  return gate;
}

SimInstanceGate::SimInstanceGate() {
  gate_ = TakeGateNow();
  if (g_instanceMark < 0) g_instanceMark = OpenLockFile(SimInstanceMarkPath());
  if (g_instanceMark < 0) return;  // no folder to meet in: nobody else can be seen
  // Alone when the mark can be taken exclusively (this process's own shared lock converts);
  // then shared again, which others see. The gate keeps the change between the two unseen.
  othersRun_ = ::flock(g_instanceMark, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::flock(g_instanceMark, LOCK_SH);
}

SimInstanceGate::~SimInstanceGate() {
  if (gate_ >= 0) ::close(gate_);
}

void SimInstanceMarkRelease() {
  if (g_instanceMark < 0) return;
  const int gate = TakeGateNow();
  // The last one: nobody else holds the mark (a start waits at the gate meanwhile).
  if (::flock(g_instanceMark, LOCK_EX | LOCK_NB) == 0) {
    ::unlink(SimInstanceMarkPath().c_str());
    if (gate >= 0) ::unlink(InstanceFile("gate").c_str());
  }
  ::close(g_instanceMark);
  g_instanceMark = -1;
  if (gate >= 0) ::close(gate);
}
