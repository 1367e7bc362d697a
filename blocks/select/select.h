// Selection and storage blocks: types that pick one of several values by digital or analog
// selectors, sort three values, hold peaks and tracked values, keep recipe sets and vote two
// out of three inputs.
#pragma once

#include <cstdint>

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_SELD = 6,
  BLK_TYPE_EXTR = 30,
  BLK_TYPE_PEAK = 31,
  BLK_TYPE_TRST = 32,
  BLK_TYPE_SELC = 33,
  BLK_TYPE_SELP = 34,
  BLK_TYPE_SELV1 = 35,
  BLK_TYPE_SELOUT = 36,
  BLK_TYPE_RECIPE = 37,
  BLK_TYPE_2OF3 = 38,
  BLK_TYPE_SELV2 = 39,
};

// SELV2's inputs and outputs by their 1-based numbers, as the wiring and FB_GetInputSource
// name them. The setpoint programmer's program selection walks chains of SELV2 blocks: the
// first feeds the programmer from "Y 1", each further one feeds "Select" of the one before
// from "Casc"; the programs' data blocks hang on "X 1".."X 4".
enum : uint16_t {
  SELV2_IN_X1 = 1,
  SELV2_IN_X2 = 2,
  SELV2_IN_X3 = 3,
  SELV2_IN_X4 = 4,
  SELV2_IN_SELECT = 5,
  SELV2_OUT_Y1 = 1,
  SELV2_OUT_CASC = 2,
};

// RECIPE: five sets of four values; set s, value i is float parameter 4 (s - 1) + i.
constexpr uint16_t RECIPE_SETS = 5;
constexpr uint16_t RECIPE_VALUES = 4;

// Enters the family's rows into the block-type table.
void BLK_RegisterSelectTypes();

void FB_SELD_Run();
void FB_SELD_Init();
uint8_t FB_SELD_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_EXTR_Run();
void FB_EXTR_Init();
uint8_t FB_EXTR_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_PEAK_Run();
void FB_PEAK_Init();
uint8_t FB_PEAK_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TRST_Run();
void FB_TRST_Init();
uint8_t FB_TRST_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_SELC_Run();
void FB_SELC_Init();
uint8_t FB_SELC_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_SELP_Run();
void FB_SELP_Init();
uint8_t FB_SELP_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_SELV1_Run();
void FB_SELV1_Init();
uint8_t FB_SELV1_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_SELOUT_Run();
void FB_SELOUT_Init();
uint8_t FB_SELOUT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_RECIPE_Run();
void FB_RECIPE_Init();
uint8_t FB_RECIPE_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_2OF3_Run();
void FB_2OF3_Init();
uint8_t FB_2OF3_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_SELV2_Run();
void FB_SELV2_Init();
uint8_t FB_SELV2_Param(FbParamRequest* request, uint16_t* badIndex);
