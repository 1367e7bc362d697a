// The GUI heap: one static area managed in movable blocks addressed by handles, and fixed
// blocks cut from its top end.
//
// Block layout (every field a 32-bit word, every link a 32-bit offset from the heap start):
//   +0 handle (0 = free block), +4 size of the whole block, +8 payload, ..., size-4 copy of
//   the size. A free block keeps {next, previous, self} in its first payload words.
// Block sizes are multiples of 8 and blocks start on 8-byte offsets, so that payloads that
// hold native pointers are aligned: a block takes 16 bytes beside its payload (the handle,
// the size, a spare word and the trailing size), and payloads are at least 16 bytes.
#include <cstring>

#include "gui/GUI_Private.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kOverhead = 16;
constexpr uint32_t kMinPayload = 16;
constexpr uint32_t kMinBlock = kMinPayload + kOverhead;
constexpr int kNumClasses = 16;
constexpr uint32_t kFixedHeader = 8;  // size word and a spare word before the caller's memory
constexpr uint32_t kMemTestBytes = 10240;

struct HandleEntry {
  uint32_t link;                   // block offset, or the next free handle
  uint8_t state;                   // 0 free, 1 allocated, 1 + n locked n times
  uint8_t pad[3];
};
static_assert(sizeof(HandleEntry) == 8);

struct AllocState {
  uint8_t* base = nullptr;
  uint32_t size = 0;
  uint32_t avBlockSize = 0;
  int maxPercent = 90;
  bool freezePeak = false;
  bool initDone = false;
  uint32_t heapEnd = 0;
  uint32_t fixedBytes = 0;
  uint32_t freeBytes = 0;
  uint32_t peak = 0;
  uint32_t classHead[kNumClasses] = {};
  GUI_HMEM hTable = 0;             // handle of the table's own block; 0 = provisional table
  uint32_t tableOff = 0;
  int32_t numHandles = 0;
  int32_t numFree = 0;
  int32_t numLocked = 0;
  GUI_HMEM firstFree = 0;
  int32_t reserve = 1;
  uint32_t recycleHead = kNone;    // given-back fixed blocks
  HandleEntry provisional[2] = {};
};
AllocState S;

uint32_t Rd(uint32_t off) {
  uint32_t v;
  std::memcpy(&v, S.base + off, 4);
  return v;
}
void Wr(uint32_t off, uint32_t v) { std::memcpy(S.base + off, &v, 4); }

HandleEntry* Table() {
  return S.hTable ? reinterpret_cast<HandleEntry*>(S.base + S.tableOff + 8) : S.provisional;
}

uint32_t Round8(uint32_t n) { return (n + 7u) & ~7u; }

int ClassOf(uint32_t s) {
  int i = 0;
  while (i < kNumClasses - 1 && s >= (16u << (i + 1))) ++i;
  return i;
}

void UpdatePeak() {
  if (S.freezePeak) return;
  uint32_t used = S.size - S.freeBytes;
  if (used > S.peak) S.peak = used;
}

void RemoveFree(uint32_t a) {
  uint32_t s = Rd(a + 4);
  if (S.freeBytes < s) {
    GUI_ErrorOut("GUI_Alloc:\nIllegal memory operation in _RemoveFreeBlock().");
    return;
  }
  uint32_t next = Rd(a + 8), prev = Rd(a + 12);
  if (prev != kNone)
    Wr(prev + 8, next);
  else
    S.classHead[ClassOf(s)] = next;
  if (next != kNone) Wr(next + 12, prev);
  S.freeBytes -= s;
}

// Enters s bytes at a as a free block, merged with free neighbours; returns its start.
uint32_t EnterFree(uint32_t a, uint32_t s) {
  uint32_t end = a + s;
  if (end < S.heapEnd && Rd(end) == 0) {
    uint32_t ns = Rd(end + 4);
    RemoveFree(end);
    s += ns;
  }
  if (a != 0) {
    uint32_t ps = Rd(a - 4);
    uint32_t p = a - ps;
    if (Rd(p) == 0) {
      RemoveFree(p);
      a = p;
      s += ps;
    }
  }
  Wr(a, 0);
  Wr(a + 4, s);
  Wr(a + s - 4, s);
  Wr(a + 16, a);
  int c = ClassOf(s);
  uint32_t head = S.classHead[c];
  Wr(a + 8, head);
  Wr(a + 12, kNone);
  if (head != kNone) Wr(head + 12, a);
  S.classHead[c] = a;
  S.freeBytes += s;
  UpdatePeak();
  return a;
}

uint32_t FindFree(uint32_t b) {
  for (int c = ClassOf(b); c < kNumClasses; ++c)
    for (uint32_t a = S.classHead[c]; a != kNone; a = Rd(a + 8))
      if (Rd(a + 4) >= b) return a;
  return kNone;
}

// Moves unlocked blocks towards the heap start until a hole of `need` bytes exists
// (need 0: the whole heap). 0 = such a hole exists now, 1 = not made.
int RemoveHolesNew(uint32_t need) {
  uint32_t off = 0;
  while (off < S.heapEnd) {
    uint32_t size = Rd(off + 4);
    if (size == 0) {
      GUI_ErrorOut("GUI_Alloc:\nIllegal block size in _RemoveHolesNew().");
      return 1;
    }
    if (Rd(off) != 0) {
      off += size;
      continue;
    }
    uint32_t q = off + size;
    if (q >= S.heapEnd) break;
    GUI_HMEM h = static_cast<GUI_HMEM>(Rd(q));
    if (h == 0) {
      GUI_ErrorOut("GUI_Alloc:\nIllegal free block in _RemoveHolesNew().");
      return 1;
    }
    uint32_t qsize = Rd(q + 4);
    if (Table()[h].state != 1) {  // locked: it stays, the walk goes on behind it
      off = q + qsize;
      continue;
    }
    RemoveFree(off);
    std::memmove(S.base + off, S.base + q, qsize);
    if (h == S.hTable) S.tableOff = off;
    Table()[h].link = off;
    uint32_t hole = EnterFree(off + qsize, size);
    if (need && Rd(hole + 4) >= need) return 0;
    off = hole;
  }
  return 1;
}

GUI_HMEM Alloc(uint32_t n);

// Grows the handle table; a failure leaves the old one.
void GrowTable() {
  int32_t oldCount = S.numHandles;
  int32_t count = S.hTable ? oldCount + oldCount / 8 + 4
                           : static_cast<int32_t>(S.size / (S.avBlockSize + 8) + 2);
  --S.reserve;
  GUI_HMEM h = Alloc(static_cast<uint32_t>(count) * sizeof(HandleEntry));
  ++S.reserve;
  if (!h) return;
  HandleEntry* old = Table();
  auto* fresh = reinterpret_cast<HandleEntry*>(S.base + Table()[h].link + 8);
  std::memcpy(fresh, old, static_cast<size_t>(oldCount) * sizeof(HandleEntry));
  for (int32_t i = oldCount; i < count; ++i) {
    fresh[i].state = 0;
    fresh[i].link = (i + 1 < count) ? static_cast<uint32_t>(i + 1) : static_cast<uint32_t>(S.firstFree);
  }
  if (count > oldCount) {
    S.firstFree = oldCount;
    S.numFree += count - oldCount;
  }
  GUI_HMEM hOld = S.hTable;
  S.tableOff = fresh[h].link;
  S.hTable = h;
  S.numHandles = count;
  if (hOld) {
    // The old table block becomes free; its handle goes back to the chain.
    HandleEntry& e = Table()[hOld];
    uint32_t blk = e.link;
    EnterFree(blk, Rd(blk + 4));
    e.state = 0;
    e.link = static_cast<uint32_t>(S.firstFree);
    S.firstFree = hOld;
    ++S.numFree;
  }
}

GUI_HMEM TakeHandle() {
  if (S.numFree <= S.reserve) GrowTable();
  if (S.firstFree == 0) return 0;
  GUI_HMEM h = S.firstFree;
  HandleEntry& e = Table()[h];
  S.firstFree = static_cast<GUI_HMEM>(e.link);
  e.state = 1;
  --S.numFree;
  return h;
}

void GiveBackHandle(GUI_HMEM h) {
  HandleEntry& e = Table()[h];
  e.state = 0;
  e.link = static_cast<uint32_t>(S.firstFree);
  S.firstFree = h;
  ++S.numFree;
}

GUI_HMEM Alloc(uint32_t n) {
  if (n > S.size) {
    GUI_DebugErrorOut("GUI_Alloc:\nNot enough memory available in _Alloc().");
    return 0;
  }
  uint32_t b = (n < kMinPayload ? kMinPayload : Round8(n)) + kOverhead;
  if (S.freeBytes < b) {
    GUI_DebugErrorOut("GUI_Alloc:\nNot enough memory available in _Alloc().");
    return 0;
  }
  GUI_HMEM h = TakeHandle();
  if (!h) {
    GUI_DebugErrorOut("GUI_Alloc:\nNo memory block available in _Alloc().");
    return 0;
  }
  uint32_t blk = FindFree(b);
  if (blk == kNone) {
    if (RemoveHolesNew(b) != 0 || (blk = FindFree(b)) == kNone) {
      GiveBackHandle(h);
      return 0;
    }
  }
  uint32_t s = Rd(blk + 4);
  RemoveFree(blk);
  if (s - b < kMinBlock) b = s;
  Wr(blk, static_cast<uint32_t>(h));
  Wr(blk + 4, b);
  Wr(blk + b - 4, b);
  Table()[h].link = blk;
  if (s > b) EnterFree(blk + b, s - b);
  UpdatePeak();
  return h;
}

void Free(GUI_HMEM h) {
  HandleEntry& e = Table()[h];
  if (e.state == 0) {
    GUI_ErrorOut("GUI_Alloc:\nBlock already free in _Free().");
    return;
  }
  if (e.state >= 2) {
    GUI_ErrorOut("GUI_Alloc:\nBlock to be deleted is already locked in _Free().");
    return;
  }
  uint32_t blk = e.link;
  uint32_t size = Rd(blk + 4);
  std::memset(S.base + blk + 8, 0xCC, size - kOverhead);
  EnterFree(blk, size);
  GiveBackHandle(h);
}

bool MemTest() {
  uint32_t n = S.size < kMemTestBytes ? S.size : kMemTestBytes;
  bool ok = true;
  for (uint32_t pass = 0; pass < 2; ++pass) {
    for (uint32_t j = 0; j < n / 4; ++j) Wr(j * 4, (pass + j) % 255);
    for (uint32_t j = 0; j < n / 4; ++j) ok = ok && Rd(j * 4) == (pass + j) % 255;
    for (uint32_t j = 0; j < n / 2; ++j) {
      uint16_t v = static_cast<uint16_t>((pass + j) % 255);
      std::memcpy(S.base + j * 2, &v, 2);
    }
    for (uint32_t j = 0; j < n / 2; ++j) {
      uint16_t v;
      std::memcpy(&v, S.base + j * 2, 2);
      ok = ok && v == (pass + j) % 255;
    }
    for (uint32_t j = 0; j < n; ++j) S.base[j] = static_cast<uint8_t>((pass + j) % 255);
    for (uint32_t j = 0; j < n; ++j) ok = ok && S.base[j] == (pass + j) % 255;
  }
  std::memset(S.base, 0, n);
  return ok;
}

void InitOnce() {
  if (S.initDone) return;
  S.initDone = true;
  if (!S.base || S.size < kMinBlock) {
    GUI_ErrorOut("GUI_Alloc:\nNo memory available in _InitOnce().");
    return;
  }
  if (!MemTest()) GUI_ErrorOut("GUI_Alloc:\nMemory test failed in _InitOnce().");
  if (S.avBlockSize == 0) S.avBlockSize = S.size / 4;
  S.maxPercent = 90;
  for (uint32_t& h : S.classHead) h = kNone;
  S.recycleHead = kNone;
  S.provisional[0] = HandleEntry{};
  S.provisional[1] = HandleEntry{0, 0, {}};
  S.hTable = 0;
  S.numHandles = 2;
  S.numFree = 1;
  S.firstFree = 1;
  S.heapEnd = S.size;
  S.freeBytes = 0;
  EnterFree(0, S.size);
  GrowTable();
  if (!S.hTable) GUI_ErrorOut("GUI_Alloc:\nNo memory for blocks available in _InitOnce().");
}

// Validates a handle for dereferencing; reports and yields false for 0, free and
// out-of-range handles.
bool CheckHandle(GUI_HMEM h) {
  if (h == 0) {
    GUI_ErrorOut("GUI_Alloc:\nGUI_ALLOC_h2p: illegal argument (0 handle) in GUI_ALLOC_h2p().");
    return false;
  }
  if (h < 0 || h >= S.numHandles) {
    GUI_ErrorOut("GUI_Alloc:\nGUI_ALLOC_h2p: illegal argument (handle out of range) in GUI_ALLOC_h2p().");
    return false;
  }
  if (Table()[h].state == 0) {
    GUI_ErrorOut("GUI_Alloc:\nDereferencing free block in GUI_ALLOC_h2p().");
    return false;
  }
  return true;
}

// Every public entry: the library's one-time start, the allocator's, then the GUI lock.
struct Entry {
  Entry() {
    GUI__InitOnce();
    InitOnce();
    GUI_Lock();
  }
  ~Entry() { GUI_Unlock(); }
  bool ready() const { return S.hTable != 0; }
};

// Entries that give memory back never start the library (they also run while it stops).
struct LightEntry {
  LightEntry() { GUI_Lock(); }
  ~LightEntry() { GUI_Unlock(); }
  bool ready() const { return S.hTable != 0; }
};

}  // namespace

void GUI__AllocInitOnce() { InitOnce(); }

void GUI__ExitAlloc() { S = AllocState{}; }

void GUI_ALLOC_AssignMemory(void* p, uint32_t numBytes) {
  auto addr = reinterpret_cast<uintptr_t>(p);
  uintptr_t aligned = (addr + 7u) & ~static_cast<uintptr_t>(7u);
  uint32_t skip = static_cast<uint32_t>(aligned - addr);
  S.base = reinterpret_cast<uint8_t*>(aligned);
  S.size = numBytes > skip ? (numBytes - skip) & ~7u : 0;
}

void GUI_ALLOC_SetAvBlockSize(uint32_t blockSize) {
  if (blockSize <= 16) blockSize = 16;
  if (S.size && blockSize >= S.size / 2) blockSize = S.size / 2;
  S.avBlockSize = blockSize;
}

int GUI_ALLOC_SetMaxPercentage(int p) {
  if (p < 10 || p > 100) return 1;
  S.maxPercent = p;
  return 0;
}

int GUI_ALLOC_FreezePeak(int on) {
  S.freezePeak = on != 0;
  return S.freezePeak ? 1 : 0;
}

GUI_HMEM GUI_ALLOC_AllocNoInit(int32_t size) {
  if (size <= 0) return 0;
  Entry e;
  return e.ready() ? Alloc(static_cast<uint32_t>(size)) : 0;
}

GUI_HMEM GUI_ALLOC_AllocZero(int32_t size) { return GUI_ALLOC_AllocInit(nullptr, size); }

GUI_HMEM GUI_ALLOC_AllocInit(const void* pInitData, int32_t size) {
  if (size <= 0) return 0;
  Entry e;
  if (!e.ready()) return 0;
  GUI_HMEM h = Alloc(static_cast<uint32_t>(size));
  if (!h) return 0;
  uint8_t* p = S.base + Table()[h].link + 8;
  if (pInitData)
    GUI__memcpy(p, pInitData, static_cast<size_t>(size));
  else
    GUI__memset(p, 0, static_cast<size_t>(size));
  return h;
}

GUI_HMEM GUI_ALLOC_Realloc(GUI_HMEM hOld, int32_t newSize) {
  Entry e;
  if (!e.ready() || newSize <= 0) return 0;
  if (hOld && !CheckHandle(hOld)) return 0;
  GUI_HMEM h = Alloc(static_cast<uint32_t>(newSize));
  if (!h || !hOld) return h;
  uint32_t oldPayload = Rd(Table()[hOld].link + 4) - kOverhead;
  uint32_t n = oldPayload < static_cast<uint32_t>(newSize) ? oldPayload : static_cast<uint32_t>(newSize);
  std::memcpy(S.base + Table()[h].link + 8, S.base + Table()[hOld].link + 8, n);
  Free(hOld);
  return h;
}

void GUI_ALLOC_Free(GUI_HMEM h) {
  if (h == 0) return;
  LightEntry e;
  if (!e.ready()) return;
  if (h < 0 || h >= S.numHandles) {
    GUI_ErrorOut("GUI_Alloc:\nIllegal handle in _Free().");
    return;
  }
  Free(h);
}

void GUI_ALLOC_FreePtr(GUI_HMEM* ph) {
  if (!ph) return;
  GUI_ALLOC_Free(*ph);
  *ph = 0;
}

void GUI_ALLOC_FreePtrArray(GUI_HMEM* pArray, int n) {
  for (int i = 0; i < n; ++i) GUI_ALLOC_FreePtr(&pArray[i]);
}

void* GUI_ALLOC_h2p(GUI_HMEM h) {
  // Drawing takes the pointers of its memory device and usage bitmap for every pixel, inside
  // the lock it already holds: there the lock is not taken once more.
  if (S.initDone && GUITASK__LockHeldByCaller()) {
    GUI__InitOnce();
    if (!S.hTable || !CheckHandle(h)) return nullptr;
    return S.base + Table()[h].link + 8;
  }
  Entry e;
  if (!e.ready() || !CheckHandle(h)) return nullptr;
  return S.base + Table()[h].link + 8;
}

void* GUI_ALLOC_LockH(GUI_HMEM h) {
  Entry e;
  if (!e.ready() || !CheckHandle(h)) return nullptr;
  HandleEntry& t = Table()[h];
  if (t.state < 0xFF) ++t.state;
  ++S.numLocked;
  return S.base + t.link + 8;
}

void GUI_ALLOC_UnlockH(void** pp) {
  if (!pp || !*pp) return;
  Entry e;
  auto* p = static_cast<uint8_t*>(*pp);
  *pp = nullptr;
  if (!e.ready() || p < S.base + 8 || p >= S.base + S.heapEnd) return;
  uint32_t blk = static_cast<uint32_t>(p - S.base) - 8;
  GUI_HMEM h = static_cast<GUI_HMEM>(Rd(blk));
  if (h <= 0 || h >= S.numHandles || Table()[h].link != blk) return;
  HandleEntry& t = Table()[h];
  if (t.state < 2) {
    GUI_ErrorOut("GUI_Alloc:\nBlock is already unlocked in GUI_ALLOC_UnlockH().");
    return;
  }
  if (S.numLocked == 0)
    GUI_ErrorOut("GUI_Alloc:\nUnderflow of locked handles in GUI_ALLOC_UnlockH().");
  else
    --S.numLocked;
  --t.state;
}

int32_t GUI_ALLOC_GetSize(GUI_HMEM h) {
  if (h == 0) return 0;
  Entry e;
  if (!e.ready() || !CheckHandle(h)) return 0;
  return static_cast<int32_t>(Rd(Table()[h].link + 4) - kOverhead);
}

void* GUI_ALLOC_GetFixedBlock(uint32_t n) {
  Entry e;
  if (!e.ready() || n > S.size) return nullptr;
  uint32_t c = (n < kMinPayload ? kMinPayload : Round8(n)) + kFixedHeader;
  // A given-back block of exactly this size first.
  for (uint32_t r = S.recycleHead; r != kNone; r = Rd(r + 8)) {
    if (Rd(r) != c) continue;
    uint32_t next = Rd(r + 8), prev = Rd(r + 12);
    if (prev != kNone)
      Wr(prev + 8, next);
    else
      S.recycleHead = next;
    if (next != kNone) Wr(next + 12, prev);
    return S.base + r + kFixedHeader;
  }
  if (S.heapEnd < kMinBlock) return nullptr;
  uint32_t last = S.heapEnd - Rd(S.heapEnd - 4);
  if (Rd(last) != 0) {
    if (Rd(last + 4) != S.heapEnd - last) {
      GUI_ErrorOut("GUI_Alloc:\nIllegal block size in GUI_ALLOC_GetFixedBlock().");
      return nullptr;
    }
    RemoveHolesNew(0);
    last = S.heapEnd - Rd(S.heapEnd - 4);
    if (Rd(last) != 0) return nullptr;
  }
  uint32_t s = Rd(last + 4);
  if (s < c) return nullptr;
  RemoveFree(last);
  // A rest too small for a free block goes with the fixed block.
  if (s - c < kMinBlock) c = s;
  S.heapEnd -= c;
  S.fixedBytes += c;
  if (s > c) EnterFree(last, s - c);
  Wr(S.heapEnd, c);
  return S.base + S.heapEnd + kFixedHeader;
}

void GUI_ALLOC_FreeFixedBlock(void* p) {
  if (!p) return;
  LightEntry e;
  auto* b = static_cast<uint8_t*>(p);
  if (!S.base || b < S.base + S.heapEnd + kFixedHeader || b >= S.base + S.size) return;
  uint32_t r = static_cast<uint32_t>(b - S.base) - kFixedHeader;
  Wr(r + 8, S.recycleHead);
  Wr(r + 12, kNone);
  if (S.recycleHead != kNone) Wr(S.recycleHead + 12, r);
  S.recycleHead = r;
}

uint32_t GUI_ALLOC_GetNumFreeBytes() {
  Entry e;
  return S.freeBytes > 12 ? S.freeBytes - 12 : 0;
}
uint32_t GUI_ALLOC_GetNumUsedBytes() {
  Entry e;
  return S.size - S.freeBytes;
}
int32_t GUI_ALLOC_GetNumFreeBlocks() {
  Entry e;
  return S.numFree;
}
int32_t GUI_ALLOC_GetNumUsedBlocks() {
  Entry e;
  return S.numHandles - S.numFree;
}
int32_t GUI_ALLOC_GetNumHandles() {
  Entry e;
  return S.numHandles;
}
int32_t GUI_ALLOC_GetNumLockedHandles() {
  Entry e;
  return S.numLocked;
}
uint32_t GUI_ALLOC_GetMaxUsedBytes() {
  Entry e;
  return S.peak;
}
void GUI_ALLOC_GetMemInfo(GUI_ALLOC_INFO* pInfo) {
  if (!pInfo) return;
  Entry e;
  pInfo->TotalBytes = S.heapEnd + S.fixedBytes;
  pInfo->AllocatedBytes = S.size - S.freeBytes;
  pInfo->FreeBytes = S.freeBytes;
  pInfo->HeapEnd = S.heapEnd;
  pInfo->FixedBytes = S.fixedBytes;
  pInfo->MaxUsedBytes = S.peak;
}
uint32_t GUI_ALLOC_GetMaxSize() {
  Entry e;
  uint32_t largest = 0;
  for (int c = kNumClasses - 1; c >= 0 && largest == 0; --c)
    for (uint32_t a = S.classHead[c]; a != kNone; a = Rd(a + 8))
      if (Rd(a + 4) > largest) largest = Rd(a + 4);
  if (largest == 0) return 0;
  uint32_t payload = largest - kOverhead;
  uint32_t p = static_cast<uint32_t>(S.maxPercent);
  return payload <= 0x400000 ? payload * p / 100 : payload / 100 * p;
}
