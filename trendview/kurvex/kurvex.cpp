// The trend library's calls: the handle table, the record locks and the trend objects.
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "host/shared_block.h"
#include "trendview/kurvex/kurvex_internal.h"

namespace {

using namespace kurvex;

static_assert(sizeof(pthread_mutex_t) <= TREND_LIB_LOCK_BYTES, "the record lock must fit the library area");
static_assert(TREND_LIB_LOCK % alignof(pthread_mutex_t) == 0, "the record lock must be aligned in a mapping");
static_assert(TREND_LIB_CREATOR >= TREND_LIB_LOCK + TREND_LIB_LOCK_BYTES && TREND_LIB_CREATOR + 4 <= TREND_REC_SAMPLES,
              "the library area holds the marker, the lock and the creator");

constexpr unsigned kMaxNames = 999;  // "KurvanTrend.1" .. "KurvanTrend.999"

enum class Kind { Created, Opened, Private };

struct Trend {
  Kind kind = Kind::Private;
  std::unique_ptr<host::SharedBlock> block;  // Created and Opened
  std::unique_ptr<uint8_t[]> own;            // Private
  uint8_t* rec = nullptr;
  size_t bytes = 0;
  std::string name;                          // full name of the shared block
  TrendLayout layout;                        // Created: fixed at creation
  pthread_mutex_t* lock = nullptr;           // in the record (shared) or ownLock
  pthread_mutex_t ownLock;
  // Who holds the lock in this process, and how deep: written only with the lock held.
  std::atomic<pthread_t> holder{};
  std::atomic<int> depth{0};
  pid_t viewer = 0;                          // the "/hTrend=" viewer this process started

  bool shared() const { return kind != Kind::Private; }
  ~Trend() {
    // A lock still held here is released first: the thread's robust-lock list must not
    // point into memory that goes away.
    if (lock && depth > 0 && pthread_equal(holder, pthread_self()))
      while (depth > 0) {
        --depth;
        pthread_mutex_unlock(lock);
      }
    if (kind == Kind::Private && lock) pthread_mutex_destroy(lock);
  }
};

std::mutex g_tableMutex;
std::map<KurvanHandle, std::shared_ptr<Trend>> g_table;
KurvanHandle g_nextHandle = 1;
std::mutex g_optionsMutex;
KurvanOptions g_options;
std::atomic<int> g_lockTimeoutMs{KurvanOptions().lockTimeoutMs};  // read on every lock

std::shared_ptr<Trend> Find(KurvanHandle h) {
  std::lock_guard<std::mutex> guard(g_tableMutex);
  auto it = g_table.find(h);
  return it == g_table.end() ? nullptr : it->second;
}

KurvanHandle Register(std::shared_ptr<Trend> t) {
  std::lock_guard<std::mutex> guard(g_tableMutex);
  KurvanHandle h = g_nextHandle++;
  g_table.emplace(h, std::move(t));
  return h;
}

// A robust, recursive mutex, shared between processes when `shared`.
bool InitLock(pthread_mutex_t* m, bool shared) {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return false;
  bool ok = pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
            pthread_mutexattr_setpshared(&attr, shared ? PTHREAD_PROCESS_SHARED : PTHREAD_PROCESS_PRIVATE) == 0 &&
            pthread_mutex_init(m, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  return ok;
}

// Takes the record's lock within the lock time-out; a lock whose holder died is taken over.
// The lock is tried (pthread_mutex_trylock, which the sanitizers understand also when it hands
// over the lock of a dead holder) in short steps until the time-out, measured on the monotonic
// clock; the record is held only for a copy, so a step of 200 us costs little.
bool LockRecord(Trend& t) {
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(g_lockTimeoutMs.load(std::memory_order_relaxed));
  int rc;
  while ((rc = pthread_mutex_trylock(t.lock)) == EBUSY && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  if (rc == EOWNERDEAD) rc = pthread_mutex_consistent(t.lock);
  if (rc != 0) return false;
  t.holder = pthread_self();
  ++t.depth;
  return true;
}

void UnlockRecord(Trend& t) {
  if (t.depth <= 0 || !pthread_equal(t.holder, pthread_self())) return;
  --t.depth;
  pthread_mutex_unlock(t.lock);
}

// The record's lock for the length of a scope.
class Locked {
 public:
  explicit Locked(Trend& t) : t_(t), ok_(LockRecord(t)) {}
  ~Locked() {
    if (ok_) UnlockRecord(t_);
  }
  explicit operator bool() const { return ok_; }

 private:
  Trend& t_;
  bool ok_;
};

// The ring layout to write by: fixed for a record made here, else checked from the record.
bool LayoutOf(const Trend& t, TrendLayout* out) {
  if (t.kind == Kind::Created) {
    *out = t.layout;
    return true;
  }
  return TrendCheckLayout(t.rec, t.bytes, out);
}

std::shared_ptr<Trend> NewPrivate(size_t bytes) {
  if (bytes < TREND_REC_SAMPLES || bytes > TREND_MAX_RECORD_BYTES) return nullptr;
  auto t = std::make_shared<Trend>();
  t->own.reset(new (std::nothrow) uint8_t[bytes]());
  if (!t->own || !InitLock(&t->ownLock, false)) return nullptr;
  t->lock = &t->ownLock;
  t->rec = t->own.get();
  t->bytes = bytes;
  return t;
}

// The viewer process showing the record (0 = none): the one that +300 names, or else one
// started here that has not put its id there yet. A viewer that has ended is reaped and its
// entry cleared. Called with the record locked.
uint32_t LiveViewer(Trend& t) {
  if (t.viewer > 0 && WaitChild(t.viewer, 0)) {
    ForgetViewer(static_cast<uint32_t>(t.viewer));
    t.viewer = 0;
  }
  const uint32_t pid = TrendGetU32(t.rec, TREND_REC_VIEWER);
  if (pid != 0) {
    if ((t.viewer > 0 && static_cast<uint32_t>(t.viewer) == pid) || ProcessAlive(static_cast<pid_t>(pid))) return pid;
    ForgetViewer(pid);
    TrendPutU32(t.rec, TREND_REC_VIEWER, 0);
  }
  return t.viewer > 0 ? static_cast<uint32_t>(t.viewer) : 0;
}

// Hides the record's frame: a viewer that listens (its id in +300) is asked to close; one
// started here is then ended if it does not, or at once if it never got as far as listening.
void StopViewer(Trend& t) {
  uint32_t listening = 0;
  {
    Locked l(t);
    if (l && LiveViewer(t)) listening = TrendGetU32(t.rec, TREND_REC_VIEWER);
  }
  const int wait = KurvanGetOptions().stopTimeoutMs;
  if (listening) Notify(listening, KURVAN_MSG_CLOSE, 0, 0);
  if (t.viewer > 0) {
    const bool asked = listening == static_cast<uint32_t>(t.viewer);
    if (!WaitChild(t.viewer, asked ? wait : 0)) EndChild(t.viewer, wait);
    ForgetViewer(static_cast<uint32_t>(t.viewer));
    t.viewer = 0;
  }
  Locked l(t);
  if (l) TrendPutU32(t.rec, TREND_REC_VIEWER, 0);
}

}  // namespace

void KurvanSetOptions(const KurvanOptions& options) {
  std::lock_guard<std::mutex> guard(g_optionsMutex);
  g_options = options;
  g_lockTimeoutMs = options.lockTimeoutMs > 0 ? options.lockTimeoutMs : 0;
}

KurvanOptions KurvanGetOptions() {
  std::lock_guard<std::mutex> guard(g_optionsMutex);
  return g_options;
}

KurvanHandle KurvanCreate(std::intptr_t /*instance*/, int analogCount, uint32_t periodMs, int ringLength, int a,
                          int b, int c) {
  if (analogCount < 0 || analogCount > static_cast<int>(TREND_MAX_ANALOG) || c < 0 ||
      c > static_cast<int>(TREND_MAX_DIGITAL) || ringLength < 1 || ringLength > 0xFFFF || periodMs == 0)
    return 0;
  auto t = std::make_shared<Trend>();
  t->kind = Kind::Created;
  t->layout.ring = static_cast<uint16_t>(ringLength);
  t->layout.analog = static_cast<uint16_t>(analogCount);
  t->layout.digital = static_cast<uint16_t>(c);
  t->layout.size = TREND_REC_SAMPLES + TrendRingBytes(t->layout.analog, t->layout.digital, t->layout.ring) +
                   TREND_TAIL_BYTES;
  // The first free name; a name left by a process that died is taken over.
  for (unsigned n = 1; n <= kMaxNames && !t->block; ++n) {
    const std::string name = "KurvanTrend." + std::to_string(n);
    if (!host::SharedBlock::InUse(name)) t->block = host::SharedBlock::Create(name, t->layout.size, 0, nullptr);
  }
  if (!t->block) return 0;
  t->name = t->block->fullName();
  if (t->name.size() >= TREND_MAPNAME_BYTES) return 0;
  t->rec = static_cast<uint8_t*>(t->block->data());
  t->bytes = t->block->mappedBytes();
  t->lock = reinterpret_cast<pthread_mutex_t*>(t->rec + TREND_LIB_LOCK);
  if (!InitLock(t->lock, true)) return 0;
  TrendPutU32(t->rec, TREND_LIB_MARK, TREND_LIB_MAGIC);
  TrendPutU32(t->rec, TREND_LIB_CREATOR, static_cast<uint32_t>(getpid()));
  InitRecord(t->rec, t->layout, periodMs, a, b, t->name);
  return Register(std::move(t));
}

KurvanHandle KurvanOpen(const char* mappingName) {
  if (!mappingName || !*mappingName || strnlen(mappingName, TREND_MAPNAME_BYTES) >= TREND_MAPNAME_BYTES) return 0;
  auto t = std::make_shared<Trend>();
  t->kind = Kind::Opened;
  t->block = host::SharedBlock::OpenFull(mappingName, nullptr);
  if (!t->block || t->block->mappedBytes() < TREND_REC_SAMPLES) return 0;
  t->name = mappingName;
  t->rec = static_cast<uint8_t*>(t->block->data());
  t->bytes = t->block->mappedBytes();
  if (TrendGetU32(t->rec, TREND_LIB_MARK) != TREND_LIB_MAGIC) return 0;
  t->lock = reinterpret_cast<pthread_mutex_t*>(t->rec + TREND_LIB_LOCK);
  {
    Locked l(*t);
    if (!l || !TrendCheckLayout(t->rec, t->bytes, nullptr)) return 0;
  }
  return Register(std::move(t));
}

void KurvanDestroy(KurvanHandle h) {
  std::shared_ptr<Trend> t;
  {
    std::lock_guard<std::mutex> guard(g_tableMutex);
    auto it = g_table.find(h);
    if (it == g_table.end()) return;
    t = std::move(it->second);
    g_table.erase(it);
  }
  if (t->kind == Kind::Created) StopViewer(*t);
}

int KurvanReset(KurvanHandle h) {
  auto t = Find(h);
  if (!t) return 0;
  uint32_t viewer;
  {
    Locked l(*t);
    TrendLayout layout;
    if (!l || !LayoutOf(*t, &layout)) return 0;
    ClearSamples(t->rec, layout);
    viewer = t->shared() ? TrendGetU32(t->rec, TREND_REC_VIEWER) : 0;
  }
  if (viewer) Notify(viewer, KURVAN_MSG_SAMPLES, 0, 0);
  return 1;
}

int KurvanCycle(KurvanHandle h, const float* analog, const unsigned char* digital, int sample) {
  auto t = Find(h);
  if (!t) return 0;
  uint32_t viewer;
  uint16_t pendingBefore;
  {
    Locked l(*t);
    TrendLayout layout;
    if (!l || !LayoutOf(*t, &layout)) return 0;
    pendingBefore = AppendSample(t->rec, layout, analog, digital, sample != 0);
    viewer = t->shared() ? TrendGetU32(t->rec, TREND_REC_VIEWER) : 0;
  }
  // A viewer with samples still to draw will draw this one with them.
  if (viewer && pendingBefore == 0) Notify(viewer, KURVAN_MSG_SAMPLES, 0, 0);
  return 1;
}

int KurvanSetTitle(KurvanHandle h, const char* text) {
  auto t = Find(h);
  if (!t || !text) return 0;
  Locked l(*t);
  if (!l) return 0;
  TrendPutText(t->rec, TREND_REC_NAME, TREND_NAME_BYTES, text);
  return 1;
}

int KurvanSetLanguage(KurvanHandle h, int language) {
  auto t = Find(h);
  if (!t || language < 0 || language > 5) return 0;
  uint32_t viewer;
  {
    Locked l(*t);
    if (!l) return 0;
    TrendPutU16(t->rec, TREND_REC_LANGUAGE, static_cast<uint16_t>(language));
    viewer = t->shared() ? TrendGetU32(t->rec, TREND_REC_VIEWER) : 0;
  }
  if (viewer) Notify(viewer, KURVAN_MSG_LANGUAGE, 0, 0);
  return 1;
}

int KurvanGetChannelConfig(KurvanHandle h, uint8_t* channels, uint8_t* extra) {
  auto t = Find(h);
  if (!t || (!channels && !extra)) return 0;
  if (channels && TrendGetU32(channels, KURVAN_CFG_SIZE) < KURVAN_CONFIG_BYTES) return 0;
  if (extra && TrendGetU32(extra, KURVAN_EXTRA_SIZE) < KURVAN_EXTRA_BYTES) return 0;
  Locked l(*t);
  if (!l) return 0;
  ConfigFromRecord(t->rec, channels, extra);
  return 1;
}

int KurvanSetChannelConfig(KurvanHandle h, const uint8_t* channels, const uint8_t* extra) {
  auto t = Find(h);
  if (!t || (!channels && !extra)) return 0;
  if (channels && TrendGetU32(channels, KURVAN_CFG_SIZE) < KURVAN_CONFIG_BYTES) return 0;
  if (extra && TrendGetU32(extra, KURVAN_EXTRA_SIZE) < KURVAN_EXTRA_BYTES) return 0;
  uint32_t viewer;
  {
    Locked l(*t);
    if (!l) return 0;
    ConfigToRecord(t->rec, channels, extra);
    TrendLayout layout;
    if (LayoutOf(*t, &layout)) TrendCountShown(t->rec, layout);
    viewer = t->shared() ? TrendGetU32(t->rec, TREND_REC_VIEWER) : 0;
  }
  // An open graph shows the new scales, names, colours and visibility at once.
  if (viewer) Notify(viewer, KURVAN_MSG_CONFIG, 0, 0);
  return 1;
}

int KurvanChannelConfigDialog(KurvanHandle h) {
  auto t = Find(h);
  if (!t || !t->shared()) return 0;
  {
    Locked l(*t);
    if (!l) return 0;
    TrendPutU16(t->rec, TREND_REC_CONFIG_CHANGED, 0);
  }
  const pid_t pid = StartViewer("/hConfig=" + t->name);
  if (!pid) return 0;
  const KurvanOptions options = KurvanGetOptions();
  if (!WaitChild(pid, options.dialogTimeoutMs)) EndChild(pid, options.stopTimeoutMs);
  ForgetViewer(static_cast<uint32_t>(pid));
  Locked l(*t);
  if (!l) return 0;
  const bool changed = TrendGetU16(t->rec, TREND_REC_CONFIG_CHANGED) != 0;
  TrendPutU16(t->rec, TREND_REC_CONFIG_CHANGED, 0);
  return changed ? 1 : 0;
}

int KurvanIsVisible(KurvanHandle h) {
  auto t = Find(h);
  if (!t || !t->shared()) return 0;
  Locked l(*t);
  return l && LiveViewer(*t) ? 1 : 0;
}

int KurvanShowFrame(KurvanHandle h, int show) {
  auto t = Find(h);
  if (!t || !t->shared()) return 0;
  if (!show) {
    StopViewer(*t);
    return 1;
  }
  {
    Locked l(*t);
    if (!l) return 0;
    if (LiveViewer(*t)) return 1;
  }
  // Visible from now on; the viewer puts its id into +300 once it listens for notifications.
  t->viewer = StartViewer("/hTrend=" + t->name);
  return t->viewer > 0 ? 1 : 0;
}

uint8_t* KurvanLock(KurvanHandle h) {
  auto t = Find(h);
  if (!t || !LockRecord(*t)) return nullptr;
  // A record other processes can write is handed out only while its layout holds.
  if (t->shared() && !TrendCheckLayout(t->rec, t->bytes, nullptr)) {
    UnlockRecord(*t);
    return nullptr;
  }
  return t->rec;
}

void KurvanUnlock(KurvanHandle h) {
  auto t = Find(h);
  if (t) UnlockRecord(*t);
}

KurvanHandle KurvanAlloc(std::intptr_t /*instance*/, size_t bytes) {
  auto t = NewPrivate(bytes);
  if (!t) return 0;
  TrendPutU32(t->rec, TREND_REC_MAGIC, TREND_MAGIC);
  TrendPutU32(t->rec, TREND_REC_SIZE, static_cast<uint32_t>(bytes));
  return Register(std::move(t));
}

KurvanHandle KurvanCopy(KurvanHandle h) {
  auto src = Find(h);
  if (!src) return 0;
  Locked l(*src);
  TrendLayout layout;
  if (!l || !TrendCheckLayout(src->rec, src->bytes, &layout)) return 0;
  auto t = NewPrivate(layout.size);
  if (!t) return 0;
  std::memcpy(t->rec, src->rec, layout.size);
  return Register(std::move(t));
}

size_t KurvanBlockBytes(KurvanHandle h) {
  auto t = Find(h);
  return t ? t->bytes : 0;
}
