#include "runtime/fw_defer.h"

#include "runtime/fb_param.h"

#include <cstring>

FwDeferredCallRing g_fwDeferredCalls{};
FwEventRing g_fwEvents{};
FwStepCodeRing g_fwStepCodes{};

namespace {

// The request handed to the handler: block and id, the value bytes from offset 4, zero
// beyond them.
FbParamRequest g_request;

FbParamRequest* buildRequest(const FwDeferredCall& e) {
  g_request = FbParamRequest(e.block, e.id);
  for (uint32_t i = 0; i < FW_DEFER_DATA; ++i) g_request.setU8(4 + i, e.data[i]);
  return &g_request;
}

}  // namespace

uint8_t FW_PostDeferredCall(uint16_t block, int16_t id, const void* data, uint32_t length,
                            FbParamHandler handler, uint8_t* result) {
  if (length > FW_DEFER_DATA || !handler || (length && !data)) return FW_POST_BAD;
  FwDeferredCallRing& ring = g_fwDeferredCalls;
  FwDeferredCall& e = ring.entries[ring.postPos];
  if (e.busy) return FW_POST_FULL;
  e.block = block;
  e.id = id;
  std::memset(e.data, 0, sizeof e.data);
  if (length) std::memcpy(e.data, data, length);
  e.handler = handler;
  e.result = result;
  e.busy = 1;
  if (result) *result = FW_DEFER_EMPTY;
  ring.postPos = static_cast<uint16_t>((ring.postPos + 1) % FW_DEFER_ENTRIES);
  return FW_POST_OK;
}

uint8_t FW_RunDeferredCall() {
  FwDeferredCallRing& ring = g_fwDeferredCalls;
  FwDeferredCall& e = ring.entries[ring.runPos];
  if (!e.busy) return FW_DEFER_EMPTY;
  uint8_t r;
  if (e.block != 0 && !FB_GetInstance(e.block)) {
    r = FB_ERR_NO_BLOCK;
  } else {
    uint16_t badIndex = 0;
    r = e.handler(buildRequest(e), &badIndex);
  }
  if (e.result) *e.result = r;
  e.busy = 0;
  ring.runPos = static_cast<uint16_t>((ring.runPos + 1) % FW_DEFER_ENTRIES);
  return r;
}

uint8_t FW_RunDeferredCalls() {
  // At most one ring's worth per tick: a handler that posts again cannot hold the tick.
  for (uint32_t i = 0; i < FW_DEFER_ENTRIES; ++i) {
    const uint8_t r = FW_RunDeferredCall();
    if (r != 0) return r;
  }
  return g_fwDeferredCalls.entries[g_fwDeferredCalls.runPos].busy ? 0 : FW_DEFER_EMPTY;
}

void FW_ClearDeferredCalls() {
  for (FwDeferredCall& e : g_fwDeferredCalls.entries) e.busy = 0;
  g_fwDeferredCalls.postPos = 0;
  g_fwDeferredCalls.runPos = 0;
}

void FW_PushEvent(uint16_t code, uint8_t kind, uint32_t value) {
  FwEventRing& ring = g_fwEvents;
  uint8_t* p = ring.entries[ring.writeIndex % FW_EVENT_ENTRIES];
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
  p[4] = static_cast<uint8_t>(code);
  p[5] = static_cast<uint8_t>(code >> 8);
  p[6] = kind;
  ring.writeIndex = static_cast<uint16_t>((ring.writeIndex % FW_EVENT_ENTRIES + 1) % FW_EVENT_ENTRIES);
}

bool FW_GetEvent(uint32_t index, uint16_t* code, uint8_t* kind, uint32_t* value) {
  if (index >= FW_EVENT_ENTRIES) return false;
  const uint8_t* p = g_fwEvents.entries[index];
  if (value) *value = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
  if (code) *code = static_cast<uint16_t>(p[4] | p[5] << 8);
  if (kind) *kind = p[6];
  return true;
}

void FW_ClearEvents() { g_fwEvents = FwEventRing{}; }

void FW_PostStepCode(uint16_t code) {
  FwStepCodeRing& ring = g_fwStepCodes;
  const uint16_t at = ring.writeIndex % FW_STEP_CODE_ENTRIES;
  ring.entries[at] = FwStepCode{code, ring.subCode};
  ring.subCode = 0;
  ring.writeIndex = static_cast<uint16_t>((at + 1) % FW_STEP_CODE_ENTRIES);
}

void FW_ClearStepCodes() {
  for (FwStepCode& e : g_fwStepCodes.entries) e = FwStepCode{};
  g_fwStepCodes.writeIndex = 0;
}
