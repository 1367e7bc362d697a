// Time-function blocks: the dynamic elements of the block network (differentiator,
// integrator, first-order lag, dead times, filter). They are discrete-time and take the
// cycle time of their own time group, so that their time constants are in seconds wherever
// a block is placed.
#pragma once

#include <cstdint>

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_LEAD = 50,
  BLK_TYPE_INTE = 51,
  BLK_TYPE_LAG = 52,
  BLK_TYPE_DELAY = 53,
  BLK_TYPE_DELAY2 = 54,
  BLK_TYPE_FILTER = 55,
};

// LEAD "Mode": which changes of the input are differentiated.
enum : uint16_t { LEAD_MODE_BOTH = 0, LEAD_MODE_RISING = 1, LEAD_MODE_FALLING = 2 };

// INTE "Mode": where a preset takes its value from.
enum : uint16_t { INTE_PRESET_PARAM = 0, INTE_PRESET_INPUT = 1 };

// Length of the sample ring of DELAY and DELAY2.
constexpr uint16_t BLK_DELAY_RING = 256;

// Enters the family's rows into the block-type table.
void BLK_RegisterTimeFunctionTypes();

void FB_LEAD_Run();
void FB_LEAD_Init();
uint8_t FB_LEAD_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_INTE_Run();
void FB_INTE_Init();
uint8_t FB_INTE_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_LAG_Run();
void FB_LAG_Init();
uint8_t FB_LAG_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_DELAY_Run();
void FB_DELAY_Init();
uint8_t FB_DELAY_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_DELAY2_Run();
void FB_DELAY2_Init();
uint8_t FB_DELAY2_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_FILTER_Run();
void FB_FILTER_Init();
uint8_t FB_FILTER_Param(FbParamRequest* request, uint16_t* badIndex);
