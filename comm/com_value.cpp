#include "comm/com_value.h"

#include <cstring>

#include "comm/com_services.h"
#include "runtime/fb_blockdata.h"
#include "runtime/fb_store.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"

namespace {

bool in(uint32_t id, uint32_t low, uint32_t high) { return id >= low && id <= high; }

constexpr uint32_t kLoginId = 4081;   // block 0: log in with the password

bool engineeringLoaded() { return (FW_SysStatus() & FW_STAT_CHECKED) != 0; }

// The block's type for the edit access: 0 for block 0, -1 (no row refuses it) for a block
// that does not exist, whose access then answers 'j' by itself.
int32_t typeOf(uint16_t block) {
  if (block == 0) return 0;
  const uint16_t* inst = FB_GetInstance(block);
  return inst ? inst[FB_HDR_TYPE] : -1;
}

bool accessOpen(uint16_t block, uint32_t id, uint16_t source) {
  // The login itself is never locked out: it is what opens the lock.
  if (block == 0 && id == kLoginId) return true;
  const int32_t type = typeOf(block);
  if (type < 0) return true;
  return (FW_CheckEditAccess(static_cast<uint16_t>(type), static_cast<uint16_t>(id), source) &
          0xFF) != 0;
}

uint8_t systemData(ComValueAccess* a) {
  const uint8_t r = FW_WriteSystemData(&a->request, &a->badIndex);
  a->length = g_fwSys.answerLength;
  return r;
}

uint8_t typeHandler(ComValueAccess* a) {
  const uint16_t* inst = FB_GetInstance(a->request.block());
  if (!inst) return FB_ERR_NO_BLOCK;
  const FbTypeRecord* rec = FB_GetType(inst[FB_HDR_TYPE]);
  if (!rec || !rec->param) return FB_ERR_UNKNOWN_ID;
  g_fbReadLength = 0;
  const uint8_t r = rec->param(&a->request, &a->badIndex);
  a->length = g_fbReadLength;
  return r;
}

uint8_t blockDataRead(ComValueAccess* a) { return FB_BlockDataRead(&a->request, &a->length); }
uint8_t blockDataWrite(ComValueAccess* a) {
  return FB_BlockDataWrite(&a->request, &a->badIndex, a->received);
}

// Ids of single values and whole sets that block 0 answers from its system data and other
// blocks from their block data (reads) or their parameter handler (writes).
bool valueId(uint32_t id) {
  return in(id, 1000, 1099) || in(id, 1250, 1299) || in(id, 3000, 3099) || in(id, 4000, 4019);
}

}  // namespace

ComValueKind COM_ValueKind(uint32_t id) {
  if (in(id, 2000, 2026)) return ComValueKind::Text;
  if (in(id, 1250, 1299) || in(id, 3000, 3049) || in(id, 500, 679)) return ComValueKind::Integer;
  if (in(id, 3050, 3099) || in(id, 1000, 1099) || in(id, 300, 479)) return ComValueKind::Float;
  if (id <= 179) return (id % 9 <= 1) ? ComValueKind::Status : ComValueKind::Float;
  return ComValueKind::None;
}

void COM_ValueBegin(ComValueAccess* a, uint16_t block, int16_t id) {
  std::memset(a->request.bytes, 0, sizeof a->request.bytes);
  a->request.setU16(0, block);
  a->request.setU16(2, static_cast<uint16_t>(id));
  a->received = FB_REQUEST_BYTES;
  a->length = 0;
  a->badIndex = 0;
}

uint8_t COM_AsciiReadValue(ComValueAccess* a, uint16_t source) {
  a->length = 0;
  a->badIndex = 0;
  const uint16_t block = a->request.block();
  const int32_t signedId = a->request.id();
  if (signedId > 0) return FB_ERR_UNKNOWN_ID;
  const auto id = static_cast<uint32_t>(-signedId);
  if (block > FB_MAX_BLOCK) return FB_ERR_NO_BLOCK;
  if (!accessOpen(block, id, source)) return FB_ERR_ABSENT;
  const bool running = FW_IsRunning();

  if (id <= 999) {
    if (block == 0) return systemData(a);
    if (!engineeringLoaded()) return FB_ERR_ABSENT;
    return typeHandler(a);
  }
  if (valueId(id) || in(id, 2000, 2026) || in(id, 4080, 4084)) {
    return block == 0 ? systemData(a) : blockDataRead(a);
  }
  if (in(id, 4085, 4089) || id == FB_ID_CREATE) return blockDataRead(a);
  if (id == FB_ID_INPUTS || id == FB_ID_OUTPUTS) {
    if (!running) return FB_ERR_NOT_NOW;
    return blockDataRead(a);
  }
  // 4180..4189 are the type's own records (the visualisation blocks answer them).
  if (in(id, 4180, 4189)) {
    if (!running) return FB_ERR_NOT_NOW;
    return block == 0 ? systemData(a) : typeHandler(a);
  }
  if (block == 0 && (in(id, 4110, 4113) || in(id, 4130, 4133))) return systemData(a);
  return FB_ERR_UNKNOWN_ID;
}

uint8_t COM_AsciiWriteValue(ComValueAccess* a, uint16_t source) {
  a->length = 0;
  a->badIndex = 0;
  const uint16_t block = a->request.block();
  const int32_t signedId = a->request.id();
  // Id 0 cannot be told from a read: nothing is written under it.
  if (signedId <= 0) return FB_ERR_UNKNOWN_ID;
  const auto id = static_cast<uint32_t>(signedId);
  if (block > FB_MAX_BLOCK) return FB_ERR_NO_BLOCK;
  if (!accessOpen(block, id, source)) {
    if (source == COM_SOURCE_MODBUS) return FB_ERR_ABSENT;
    return FB_ERR_NOT_NOW;
  }
  const bool running = FW_IsRunning();
  const bool loaded = engineeringLoaded();

  if (id <= 999) {
    if (block == 0) return systemData(a);
    if (!loaded) return FB_ERR_NOT_NOW;
    return typeHandler(a);
  }
  if (valueId(id)) {
    if (block == 0) return systemData(a);
    if (!loaded) return FB_ERR_NOT_NOW;
    // Word values and value sets are configuration: not while the blocks run.
    if (running && (in(id, 3000, 3099) || in(id, 4010, 4019))) return FB_ERR_NOT_NOW;
    const int32_t type = typeOf(block);
    // A set is taken only by a block of the type the request names.
    if (type >= 0 && in(id, 4000, 4019) && a->request.u16(6) != static_cast<uint16_t>(type)) {
      return FB_ERR_NOT_NOW;
    }
    return typeHandler(a);
  }
  if (in(id, 4120, 4143)) {
    if (block != 0) return FB_ERR_UNKNOWN_ID;
    if (loaded) return FB_ERR_NOT_NOW;
    return systemData(a);
  }
  if (id == FB_ID_CREATE) {
    // No block is created while a load-and-check of the engineering is under way.
    if ((g_fwSys.deviceFlags & 0x02) || block == 0) return FB_ERR_NOT_NOW;
    return blockDataWrite(a);
  }
  if (in(id, 4080, 4084) && block == 0) return systemData(a);
  // Texts, tables, extra records and the other block data: only while stopped.
  if (in(id, 1100, 1249) || in(id, 1300, 2999) || in(id, 4080, 4089)) {
    if (running) return FB_ERR_NOT_NOW;
    return blockDataWrite(a);
  }
  return FB_ERR_UNKNOWN_ID;
}

bool COM_ReadNumber(const ComValueAccess& a, ComValueKind kind, double* out) {
  if (kind == ComValueKind::None || kind == ComValueKind::Text) return false;
  uint16_t length = a.length;
  if (length == 0) length = kind == ComValueKind::Status ? 1 : (kind == ComValueKind::Integer ? 2 : 4);
  const FbParamRequest& r = a.request;
  switch (length) {
    case 1: *out = r.u8(FB_REQUEST_VALUE); return true;
    case 2: *out = static_cast<int16_t>(r.u16(FB_REQUEST_VALUE)); return true;
    case 4:
      if (kind == ComValueKind::Integer) {
        *out = static_cast<int32_t>(r.u32(FB_REQUEST_VALUE));
      } else {
        *out = r.f32(FB_REQUEST_VALUE);
      }
      return true;
    default: return false;
  }
}

void COM_NoteInterfaceWrite(int channel, bool clearsChangeMark) {
  uint8_t& status = FW_SysStatus();
  if ((channel == COM_PC_CHANNEL || channel == 3) && !clearsChangeMark) status |= FW_STAT_CHANGED;
  if (g_fwRunMode == FW_RUN_MODE_STOP) status |= FW_STAT_REWRITE;
}

bool COM_ChannelWriteLocked(int channel) {
  return (channel == 1 || channel == 3) && FW_InterfaceWriteLocked();
}
