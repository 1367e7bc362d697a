// Trigonometric blocks (sine to arc cotangent, angles in degrees or radians) and the text
// block, which carries a text index and the links of a chain of text blocks for the display
// objects that show texts.
#pragma once

#include <cstdint>

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_TEXT = 79,
  BLK_TYPE_SIN = 80,
  BLK_TYPE_COS = 81,
  BLK_TYPE_TAN = 82,
  BLK_TYPE_COT = 83,
  BLK_TYPE_ARCSIN = 84,
  BLK_TYPE_ARCCOS = 85,
  BLK_TYPE_ARCTAN = 86,
  BLK_TYPE_ARCCOT = 87,
};

// "Select" of the trigonometric types: the unit of the angle (of the input for SIN .. COT,
// of the output for the arc functions).
enum : uint16_t { TRIG_DEGREES = 0, TRIG_RADIANS = 1 };

// TEXT's inputs, output and texts by their 1-based numbers, as the wiring, FB_GetInputSource
// and the text lookups name them. Chains of TEXT blocks run through "Casc": each further
// block feeds input 2 of the one before; the setpoint programmer's program selection and
// the display objects walk them.
enum : uint16_t {
  TEXT_IN_INDEX = 1,
  TEXT_IN_CASC = 2,
  TEXT_IN_ALTLAN = 3,
  TEXT_OUT_USRTXT = 1,
  TEXT_FIRST_TEXT = 2,  // "Text 1"; "Text 2" .. "Text 4" follow (text 1 is the tag)
  TEXT_TEXT_COUNT = 4,
};

// TEXT's own state (its 4 work words), as the display objects read it.
struct TextBlockState {
  uint16_t reserved;       // not used by the block
  uint16_t altLanBlock;    // number of the TEXT block wired to "AltLan", 0 when none
  uint16_t cascNotText;    // 1 once "Casc" was found not fed by a TEXT block
  uint16_t altLanNotText;  // 1 once "AltLan" was found not fed by a TEXT block
};

// Enters the family's rows into the block-type table.
void BLK_RegisterTrigTypes();

void FB_SIN_Run();
void FB_SIN_Init();
uint8_t FB_SIN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_COS_Run();
void FB_COS_Init();
uint8_t FB_COS_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TAN_Run();
void FB_TAN_Init();
uint8_t FB_TAN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_COT_Run();
void FB_COT_Init();
uint8_t FB_COT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_ARCSIN_Run();
void FB_ARCSIN_Init();
uint8_t FB_ARCSIN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_ARCCOS_Run();
void FB_ARCCOS_Init();
uint8_t FB_ARCCOS_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_ARCTAN_Run();
void FB_ARCTAN_Init();
uint8_t FB_ARCTAN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_ARCCOT_Run();
void FB_ARCCOT_Init();
uint8_t FB_ARCCOT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TEXT_Run();
void FB_TEXT_Init();
uint8_t FB_TEXT_Param(FbParamRequest* request, uint16_t* badIndex);
