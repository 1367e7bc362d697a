// Deferred parameter calls, the event ring and the step-code ring.
//
// Code that must change another block's parameters from inside a cycle posts the request
// into the deferred-call ring; the adapter runs the posted requests after the firmware
// cycle until the ring is empty or a request fails. The event ring and the step-code ring
// record events for diagnostics and the bus; entries are overwritten in turn.
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"

constexpr uint32_t FW_DEFER_ENTRIES = 32;
constexpr uint32_t FW_DEFER_DATA = 4;
constexpr uint32_t FW_EVENT_ENTRIES = 100;
constexpr uint32_t FW_EVENT_BYTES = 7;   // u32 value, u16 code, u8 kind (little-endian)
constexpr uint32_t FW_STEP_CODE_ENTRIES = 200;

// Results of a post: 0 posted, 1 ring full, 2 a request that cannot be posted (more than
// four data bytes, no handler, no data).
enum : uint8_t { FW_POST_OK = 0, FW_POST_FULL = 1, FW_POST_BAD = 2 };
// FW_RunDeferredCall's answer for an empty ring; handlers never answer it.
constexpr uint8_t FW_DEFER_EMPTY = 255;

struct FwDeferredCall {
  uint16_t block;
  int16_t id;
  uint8_t data[FW_DEFER_DATA];
  FbParamHandler handler;
  uint8_t* result;   // where the result byte goes (may be null)
  uint16_t busy;
};

struct FwDeferredCallRing {
  FwDeferredCall entries[FW_DEFER_ENTRIES];
  uint16_t postPos;
  uint16_t runPos;
};

struct FwEventRing {
  uint8_t entries[FW_EVENT_ENTRIES][FW_EVENT_BYTES];
  uint16_t writeIndex;
};

struct FwStepCode {
  uint16_t code;
  uint16_t subCode;
};

struct FwStepCodeRing {
  FwStepCode entries[FW_STEP_CODE_ENTRIES];
  uint16_t writeIndex;
  uint16_t subCode;  // stored with the next code, then cleared
};

extern FwDeferredCallRing g_fwDeferredCalls;
extern FwEventRing g_fwEvents;
extern FwStepCodeRing g_fwStepCodes;

// Posts a parameter request {block, id, `length` data bytes, the rest of the four 0}. The
// result byte is set to 255 until the request has run.
uint8_t FW_PostDeferredCall(uint16_t block, int16_t id, const void* data, uint32_t length,
                            FbParamHandler handler, uint8_t* result);
// Runs the request at the run position: its result (also stored through its result
// pointer), or 255 when the ring is empty. A request for a block that no longer exists
// (other than block 0, the system data) does not reach its handler and answers 'j'.
uint8_t FW_RunDeferredCall();
// Runs the posted requests until the ring is empty or one answers non-zero (the adapter's
// step after the firmware cycle), at most 32 of them: the failing answer, 255 when the ring
// is empty, 0 when requests posted meanwhile wait for the next tick.
uint8_t FW_RunDeferredCalls();
// Frees all entries (start-up, engineering cleared or reloaded).
void FW_ClearDeferredCalls();

// Writes {value, code, kind} at the write index and advances it modulo 100.
void FW_PushEvent(uint16_t code, uint8_t kind, uint32_t value);
// Reads event slot `index` (0..99); false for an index out of range.
bool FW_GetEvent(uint32_t index, uint16_t* code, uint8_t* kind, uint32_t* value);
void FW_ClearEvents();

// Appends {code, sub-code} to the step-code ring (wrapping) and clears the sub-code.
void FW_PostStepCode(uint16_t code);
void FW_ClearStepCodes();
