// CSDO and SAFE: two types in the controller family's range of type numbers that share
// nothing of the controller core.
//   CSDO  reads or writes one object (index, sub-index, data type) of another node on the
//         system bus on a rising edge of its trigger, through a request object of the bus
//         node kept in its instance; bound to block numbers in 21..40, it runs every cycle
//         in the input-side pass.
//   SAFE  passes eight analog and eight digital signals through, or puts out its stored
//         safe values while `select` or the device's safe-state flag is set.
#pragma once

#include <cstdint>

#include "comm/com_bus.h"
#include "runtime/fb_store.h"

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_CSDO = 92,
  BLK_TYPE_SAFE = 94,
};

// Transfer states of a CSDO.
enum : uint8_t {
  CSDO_START = 1,     // first cycle after the start-up pass
  CSDO_SETTLE = 2,    // second cycle
  CSDO_INACTIVE = 3,  // no system-bus option or no trigger: never transfers
  CSDO_IDLE = 6,      // waiting for a rising trigger edge
  CSDO_RUNNING = 7,   // a transfer is starting or waiting for its answer
};

// Data types of `D-Type` (the object's coding on the bus).
enum : uint8_t {
  CSDO_UINT8 = 0, CSDO_INT8 = 1, CSDO_UINT16 = 2, CSDO_INT16 = 3,
  CSDO_UINT32 = 4, CSDO_INT32 = 5, CSDO_FLOAT = 6,
};

// Counter marks of a transfer: starts refused up to CSDO_REFUSED_LIMIT, a start accepted
// sets CSDO_ACCEPTED, and waiting for the answer ends at CSDO_WAIT_LIMIT.
constexpr uint8_t CSDO_REFUSED_LIMIT = 10;
constexpr uint8_t CSDO_ACCEPTED = 11;
constexpr uint8_t CSDO_WAIT_LIMIT = 20;

// Own state of a CSDO (its work words, all zero at creation). The float copies of the word
// parameters NodeId, D-Type and SubInd stand in for the analog inputs left unconnected.
struct CsdoState {
  uint8_t state;          // CSDO_*
  uint8_t counter;        // start retries, then cycles waited
  uint16_t lastTrigger;   // `trig` as last seen in the idle state
  uint8_t dataType;       // of the running transfer
  uint8_t writing;        // 1: the running transfer is a write
  FbF32 nodeCopy;
  FbF32 dataTypeCopy;
  FbF32 subIndexCopy;
  ComBusRequest request;
};

// Enters the family's rows into the block-type table (CSDO and SAFE).
void BLK_RegisterCsdoTypes();
// Enters SAFE's row (part of BLK_RegisterCsdoTypes).
void BLK_RegisterSafeType();

// The own state of the CSDO at `block`, or null when the block is no CSDO.
CsdoState* BLK_CsdoState(uint16_t block);

void FB_CSDO_Run();
void FB_CSDO_Init();
uint8_t FB_CSDO_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_SAFE_Run();
void FB_SAFE_Init();
uint8_t FB_SAFE_Param(FbParamRequest* request, uint16_t* badIndex);
