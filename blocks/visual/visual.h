// Visualisation blocks: the blocks behind the user-defined operating pages.
//
//   VWERT  (96)  up to six values with adjustable settings: analog, time, text and switch rows
//   VBAR   (97)  two values with bar graphs and their marks
//   VPARA  (98)  six parameters of other blocks, written from the inputs on a "store" edge
//   VTREND (99)  the trend of one value in a ring of 250 samples
//   VIDLE  (107, block 88) the display's idle screen
//
// The page records the operating pages read are in visual_pages.h.
#pragma once

#include <cstdint>

#include "blocks/visual/visual_pages.h"

struct FbParamRequest;

constexpr uint16_t VIDLE_BLOCK = 88;

// Inputs and outputs by their 0-based positions in their groups.
enum : unsigned {
  VWERT_AI_CASC = 6,                 // after X 1 .. X 6
  VWERT_DI_HIDE = 0, VWERT_DI_LOCK = 1, VWERT_DI_D1 = 2, VWERT_DI_STORE = 8,
  VWERT_AO_BLNO = 6, VWERT_AO_LINE = 7,
  VWERT_DO_CHANGE = 6,
};
enum : unsigned {
  VBAR_AI_X1 = 0, VBAR_AI_BAR1 = 2, VBAR_AI_MARK11 = 4,
  VBAR_DI_HIDE = 0, VBAR_DI_LOCK = 1, VBAR_DI_STORE = 2,
  VBAR_AO_BLNO = 2,
};
enum : unsigned {
  VPARA_DI_HIDE = 0, VPARA_DI_LOCK = 1, VPARA_DI_STORE = 2,
  VPARA_AO_BLNO = 6,
};
enum : unsigned {
  VTREND_DI_HIDE = 0, VTREND_DI_DISABL = 1, VTREND_DI_RESET = 2, VTREND_DI_SAMPLE = 3,
  VTREND_AO_X125 = 0, VTREND_AO_BLNO = 1,
  VTREND_DO_READY = 0,
};

// VTREND's "Unit" and its reads of the float ring: -4180 - k answers 25 samples from 25 x k.
enum : uint16_t { VTREND_UNIT_S = 0, VTREND_UNIT_MIN = 1, VTREND_UNIT_H = 2 };
constexpr int16_t VTREND_ID_RING_READ = -4180;
constexpr uint16_t VTREND_READ_CHUNKS = 10, VTREND_READ_SAMPLES = 25;

// Enters the family's rows into the block-type table.
void BLK_RegisterVisualTypes();

void FB_VWERT_Run();
void FB_VWERT_Init();
uint8_t FB_VWERT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_VBAR_Run();
void FB_VBAR_Init();
void FB_VPARA_Run();
void FB_VPARA_Init();
void FB_VTREND_Run();
void FB_VTREND_Init();
uint8_t FB_VTREND_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_VIDLE_Run();
void FB_VIDLE_Init();
