// Logic blocks: gates, flip-flop, debouncer, step sequencer, analog/binary conversion and
// truncation. Digital values are 16-bit words, normally 0 or 1.
#pragma once

#include <cstdint>

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_AND = 60,
  BLK_TYPE_NOT = 61,
  BLK_TYPE_OR = 62,
  BLK_TYPE_BOUNCE = 63,
  BLK_TYPE_EXOR = 64,
  BLK_TYPE_FLIP = 65,
  BLK_TYPE_STEP = 68,
  BLK_TYPE_ABIN = 71,
  BLK_TYPE_TRUNC = 72,
};

// ABIN "Select": the conversion between the analog value and the eight digital points.
enum : uint16_t { ABIN_BINARY = 0, ABIN_BCD = 1, ABIN_ONE_OF_EIGHT = 2 };

// Digital inputs of STEP after its ten end inputs (1-based).
enum : uint16_t { STEP_IN_RESET = 11, STEP_IN_STOP = 12, STEP_IN_SKIP = 13 };

// Enters the family's rows into the block-type table. The types without parameters take
// BLK_RefuseParams as their parameter handler.
void BLK_RegisterLogicTypes();

void FB_AND_Run();
void FB_AND_Init();
void FB_NOT_Run();
void FB_NOT_Init();
void FB_OR_Run();
void FB_OR_Init();
void FB_BOUNCE_Run();
void FB_BOUNCE_Init();
uint8_t FB_BOUNCE_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_EXOR_Run();
void FB_EXOR_Init();
void FB_FLIP_Run();
void FB_FLIP_Init();
void FB_STEP_Run();
void FB_STEP_Init();
void FB_ABIN_Run();
void FB_ABIN_Init();
uint8_t FB_ABIN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TRUNC_Run();
void FB_TRUNC_Init();
