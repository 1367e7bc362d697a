// Limit and alarm blocks: analog signals watched against limits and turned into digital
// alarm outputs, a comparison of two inputs and a ramp limiter.
#pragma once

#include <cstdint>

#include "runtime/fb_blockdata.h"

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_ALLP = FB_TYPE_ALLP,  // 40
  BLK_TYPE_ALLV = 41,
  BLK_TYPE_EQUAL = 42,
  BLK_TYPE_VELO = 43,
  BLK_TYPE_LIMIT = 44,
  BLK_TYPE_ALARM = 45,
};

// ALLP and ALLV "Select": the watched signal.
enum : uint16_t { ALL_SELECT_X = 0, ALL_SELECT_RATE = 1, ALL_SELECT_DEVIATION = 2 };

// LIMIT "Mode 1".."Mode 8": the kind of comparator.
enum : uint16_t { LIMIT_MODE_MAX = 0, LIMIT_MODE_MIN = 1 };

// ALARM "Fnc": what raises the alarm.
enum : uint16_t { ALARM_FNC_VALUE = 0, ALARM_FNC_VALUE_FAIL = 1, ALARM_FNC_FAIL = 2 };

// ALARM's state word (work word 3): where the input lies.
enum : uint16_t { ALARM_INSIDE = 0, ALARM_BELOW = 1, ALARM_ABOVE = 2 };

// Enters the family's rows into the block-type table.
void BLK_RegisterLimitTypes();

void FB_ALLP_Run();
void FB_ALLP_Init();
uint8_t FB_ALLP_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_ALLV_Run();
void FB_ALLV_Init();
uint8_t FB_ALLV_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_EQUAL_Run();
void FB_EQUAL_Init();
uint8_t FB_EQUAL_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_VELO_Run();
void FB_VELO_Init();
uint8_t FB_VELO_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_LIMIT_Run();
void FB_LIMIT_Init();
uint8_t FB_LIMIT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_ALARM_Run();
void FB_ALARM_Init();
uint8_t FB_ALARM_Param(FbParamRequest* request, uint16_t* badIndex);
