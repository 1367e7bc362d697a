#include "runtime/fw_eeprom.h"

#include <algorithm>
#include <cstring>

#include "runtime/fw_defer.h"

FwEepromState g_fwEeprom{};
uint8_t g_fwErrorFlags = 0;
uint8_t g_fwInternalEeprom[FW_INTERNAL_EEPROM_SIZE]{};
const char FW_IEE_FAULT_TEXT[] = "Internal-EEPROM-Error ";

namespace {

uint8_t g_mainStandIn[FW_MAIN_EEPROM_SIZE];
uint8_t* g_mainBase = g_mainStandIn;
uint32_t g_mainSize = FW_MAIN_EEPROM_SIZE;
FwEepromChunkWriter g_mainWriter = nullptr;
FwEepromFaultHook g_faultHook = nullptr;
uint8_t g_fileChunk[FW_FILE_CHUNK];
FwStartPictureHooks g_pictureHooks;

bool defaultMainWriter(uint32_t address, const uint8_t* data, uint32_t length) {
  if (address > g_mainSize || length > g_mainSize - address) return false;
  if (g_mainBase + address != data) std::memmove(g_mainBase + address, data, length);
  return true;
}

void advance(uint16_t& pos) { pos = static_cast<uint16_t>((pos + 1) % FW_EEPROM_RING_ENTRIES); }

// Takes `chunk` bytes off the entry at the drain position; frees it when nothing remains.
void consume(FwEepromWriteRing& ring, FwEepromWriteEntry& e, uint32_t chunk) {
  e.remaining -= chunk;
  if (e.remaining != 0) {
    e.address += chunk;
    e.ram += chunk;
  } else {
    e.busy = 0;
    advance(ring.drainPos);
  }
}

uint8_t queue(FwEepromWriteRing& ring, const void* ram, uint32_t address, uint32_t length) {
  FwEepromWriteEntry& e = ring.entries[ring.writePos];
  if (e.busy) return FW_QUEUE_FULL;
  e.ram = static_cast<const uint8_t*>(ram);
  e.address = address;
  e.remaining = length;
  e.busy = 1;
  advance(ring.writePos);
  return FW_QUEUE_OK;
}

int pending(const FwEepromWriteRing& ring) { return ring.entries[ring.drainPos].busy ? 1 : 0; }

uint32_t roundUp4(uint32_t n) { return (n + 3u) & ~3u; }

}  // namespace

void FW_BindMainEeprom(uint8_t* base, uint32_t size) {
  if (base) {
    g_mainBase = base;
    g_mainSize = size;
  } else {
    g_mainBase = g_mainStandIn;
    g_mainSize = FW_MAIN_EEPROM_SIZE;
  }
}

uint8_t* FW_MainEepromBase() { return g_mainBase; }
uint32_t FW_MainEepromSize() { return g_mainSize; }

void FW_SetMainEepromWriter(FwEepromChunkWriter writer) { g_mainWriter = writer; }
void FW_SetEepromFaultHook(FwEepromFaultHook hook) { g_faultHook = hook; }

void FW_ResetEeprom() {
  g_fwEeprom = FwEepromState{};
  g_fwEeprom.idle = 1;
  g_fwErrorFlags &= static_cast<uint8_t>(~1u);
}

// ---------------------------------------------------------------------------------------
// Main ring

uint8_t FW_QueueEepromWrite(const void* ram, uint32_t address, uint32_t length) {
  if (length == 0) return FW_QUEUE_OK;  // nothing to write
  if (!ram || address > g_mainSize || length > g_mainSize - address) return FW_QUEUE_BAD;
  return queue(g_fwEeprom.main, ram, address, length);
}

int FW_EepromPending() { return pending(g_fwEeprom.main); }

void FW_EepromWriteBack() {
  FwEepromWriteRing& ring = g_fwEeprom.main;
  for (uint32_t pass = 0; pass < FW_EEPROM_PASSES_PER_TICK; ++pass) {
    g_fwEeprom.idle = 0;
    FwEepromWriteEntry& e = ring.entries[ring.drainPos];
    if (e.busy) {
      const uint32_t chunk = std::min(e.remaining, FW_EEPROM_PAGE - e.address % FW_EEPROM_PAGE);
      const bool written = g_fwEeprom.present &&
                           (g_mainWriter ? g_mainWriter : defaultMainWriter)(e.address, e.ram, chunk);
      if (written) {
        consume(ring, e, chunk);
        g_fwErrorFlags &= static_cast<uint8_t>(~1u);
      } else {
        g_fwErrorFlags |= 1u;
      }
    }
    g_fwEeprom.idle = 1;
    const uint8_t r = FW_InternalEepromWriteBack();
    if (r == FW_IEE_DONE) {
      g_fwEeprom.internalErrors &= static_cast<uint8_t>(~1u);
    } else if (r != FW_IEE_EMPTY) {
      g_fwEeprom.internalErrors |= 1u;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Internal ring

uint8_t FW_QueueInternalEepromWrite(const void* ram, uint32_t address, uint32_t length) {
  if (length == 0) return FW_QUEUE_OK;
  // The chunks are widened to whole 4-byte words on both sides, so the RAM area must be
  // the data image itself (as every caller's is), with the widened words inside it.
  const auto* p = static_cast<const uint8_t*>(ram);
  const uint8_t* base = g_fwInternalEeprom;
  if (!p || p < base || p >= base + FW_INTERNAL_EEPROM_SIZE) return FW_QUEUE_BAD;
  const uint32_t ramOffset = static_cast<uint32_t>(p - base);
  const uint32_t lead = address % 4;
  if (address >= FW_INTERNAL_EEPROM_SIZE || length > FW_INTERNAL_EEPROM_SIZE - address ||
      ramOffset < lead || roundUp4(lead + length) > FW_INTERNAL_EEPROM_SIZE - (ramOffset - lead)) {
    return FW_QUEUE_BAD;
  }
  return queue(g_fwEeprom.internal, ram, address, length);
}

int FW_InternalEepromPending() { return pending(g_fwEeprom.internal); }

uint8_t FW_InternalEepromWriteBack() {
  FwEepromWriteRing& ring = g_fwEeprom.internal;
  FwEepromWriteEntry& e = ring.entries[ring.drainPos];
  if (!e.busy || g_fwEeprom.stopped) return FW_IEE_EMPTY;

  // Align the entry to whole words.
  const uint32_t lead = e.address % 4;
  e.address -= lead;
  e.ram -= lead;
  e.remaining += lead;

  const uint32_t toPage = FW_EEPROM_PAGE - e.address % FW_EEPROM_PAGE;
  const uint32_t chunk = toPage < e.remaining ? toPage : roundUp4(e.remaining);

  if (e.address + chunk > FW_INTERNAL_EEPROM_SIZE || chunk % 4 != 0) {
    // Cannot happen for a request the queue accepted; the device stops here.
    g_fwEeprom.stopped = 1;
    e.busy = 0;
    advance(ring.drainPos);
    FW_PostStepCode(502);
    if (g_faultHook) g_faultHook(FW_IEE_FAULT_TEXT);
    return FW_IEE_FAULT;
  }
  if (g_fwEeprom.internalLock) return FW_IEE_LOCKED;
  g_fwEeprom.internalLock = 1;
  for (uint32_t i = 0; i < chunk; i += 4) {
    uint8_t* to = g_fwInternalEeprom + e.address + i;
    if (to != e.ram + i) std::memmove(to, e.ram + i, 4);
  }
  g_fwEeprom.internalLock = 0;
  // The last word may reach past the remaining bytes (rounded up); the entry ends then.
  consume(ring, e, std::min(chunk, e.remaining));
  return FW_IEE_DONE;
}

void FW_ClearInternalRing() {
  for (FwEepromWriteEntry& e : g_fwEeprom.internal.entries) e.busy = 0;
  g_fwEeprom.internal.writePos = 0;
  g_fwEeprom.internal.drainPos = 0;
  g_fwEeprom.internalLock = 0;
  g_fwEeprom.stopped = 0;  // a new start-up writes again
}

uint32_t FW_ClearArea(uint32_t address, uint32_t length) {
  if (length > FW_INTERNAL_EEPROM_SIZE) return FW_INTERNAL_EEPROM_SIZE;
  const uint32_t n = roundUp4(length);
  if (address > FW_INTERNAL_EEPROM_SIZE || n > FW_INTERNAL_EEPROM_SIZE - address) {
    return FW_INTERNAL_EEPROM_SIZE;
  }
  FW_PostStepCode(501);
  std::memset(g_fwInternalEeprom + address, 0, n);
  return 0;
}

uint32_t FW_ReadFileChunk(std::FILE* file, const uint8_t** out, uint32_t length, uint32_t offset) {
  if (out) *out = g_fileChunk;
  if (!file || std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) return 0;
  const size_t n = std::fread(g_fileChunk, 1, std::min(length, FW_FILE_CHUNK), file);
  return static_cast<uint32_t>(n);
}

void FW_SetStartPictureHooks(const FwStartPictureHooks& hooks) { g_pictureHooks = hooks; }

void FW_ShowStartPicture() {
  if (g_mainSize <= FW_IMAGE_PICTURE_FLAGS) return;
  uint8_t& flags = g_mainBase[FW_IMAGE_PICTURE_FLAGS];
  if (flags & 1u) {
    if (g_pictureHooks.draw) g_pictureHooks.draw(FW_PICTURE_JPEG);
  } else if (flags & 2u) {
    if (g_pictureHooks.draw) g_pictureHooks.draw(FW_PICTURE_GIF);
  } else {
    flags &= static_cast<uint8_t>(~0x0Fu);
    FW_QueueEepromWrite(&flags, FW_IMAGE_PICTURE_FLAGS, 1);
  }
  if (flags & 3u) {
    if (g_pictureHooks.repaint) g_pictureHooks.repaint();
    FW_PostStepCode(71);
  }
}

namespace {
struct EepromInit {
  EepromInit() { FW_ResetEeprom(); }
} g_eepromInit;
}  // namespace
