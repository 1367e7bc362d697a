// Data-exchange blocks: values of the engineering for a bus master and values from it.
//
//   L1READ / L1WRIT  the level-1 data interface (blocks 1..20): L1READ packs digital inputs
//                    and shows its analog inputs to parameter reads; L1WRIT takes a mask
//                    and eight floats by parameter writes and puts them on its outputs.
//   DPREAD / DPWRIT  the fieldbus card's cyclic data: DPREAD block n (1..4) fills fieldbus
//                    record n, DPWRIT block n (11..14) reads record n - 6.
//   MBDATA           (blocks 56..60) maps up to 16 parameters of other blocks onto itself for
//                    register access: reads show them, writes are forwarded.
// The Modbus register map and the character protocol reach L1READ, L1WRIT and MBDATA by
// parameter requests; the trend binding reads the L1READ inputs.
#pragma once

#include <cstdint>

#include "runtime/fb_schedule.h"

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_L1READ = 100,
  BLK_TYPE_L1WRIT = 101,
  BLK_TYPE_DPREAD = 102,
  BLK_TYPE_DPWRIT = 103,
  BLK_TYPE_MBDATA = 104,
};
static_assert(uint16_t{BLK_TYPE_L1WRIT} == uint16_t{FB_TYPE_L1WRIT});

// Parameter ids of L1WRIT: the mask, then floats 1..8 (negative: reads).
enum : int16_t { L1WRIT_ID_MASK = 300, L1WRIT_ID_FLOAT1 = 301 };
// Parameter ids of MBDATA: entry i (0-based) is written by 300 + i and read by -(300 + i).
enum : int16_t { MBDATA_ID_ENTRY1 = 300 };
constexpr uint16_t MBDATA_ENTRIES = 16;
constexpr uint16_t L1WRIT_MASK_MAX = 0x7FFF;   // 15 digital outputs

// Enters the family's rows into the block-type table.
void BLK_RegisterExchangeTypes();

void FB_L1READ_Run();
void FB_L1READ_Init();
uint8_t FB_L1READ_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_L1WRIT_Run();
void FB_L1WRIT_Init();
uint8_t FB_L1WRIT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_DPREAD_Run();
void FB_DPREAD_Init();
void FB_DPWRIT_Run();
void FB_DPWRIT_Init();
void FB_MBDATA_Run();
void FB_MBDATA_Init();
uint8_t FB_MBDATA_Param(FbParamRequest* request, uint16_t* badIndex);
