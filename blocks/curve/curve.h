// Characteristic-curve blocks: an input mapped through a static characteristic of up to 11
// points (LINEAR changeable while running, CHAR at the next start-up) or a dead band (GAP).
#pragma once

#include <cstdint>

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_LINEAR = 7,
  BLK_TYPE_GAP = 20,
  BLK_TYPE_CHAR = 21,
};

// Points of a curve: point k (1-based) is x(k), y(k); LINEAR keeps them as float parameters
// 2k - 1 and 2k, CHAR as 4-byte values 2k - 1 and 2k (1-based indexes of the groups).
constexpr uint16_t CURVE_POINTS = 11;
constexpr uint16_t CURVE_VALUES = 2 * CURVE_POINTS;
// CHAR's "Seg": the number of segments in use (points 1 .. Seg + 1).
constexpr uint16_t CHAR_SEG_MIN = 1;
constexpr uint16_t CHAR_SEG_MAX = 10;

// Smallest rise from the neighbouring x value v to the next: max(0.0009, |v| * 1e-6), in
// single precision.
float CURVE_MinStep(float v);

// Enters the family's rows into the block-type table.
void BLK_RegisterCurveTypes();

void FB_LINEAR_Run();
void FB_LINEAR_Init();
uint8_t FB_LINEAR_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_GAP_Run();
void FB_GAP_Init();
uint8_t FB_GAP_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_CHAR_Run();
void FB_CHAR_Init();
uint8_t FB_CHAR_Param(FbParamRequest* request, uint16_t* badIndex);
