// Arithmetic and function blocks: stateless types that compute their outputs from their
// inputs and parameters in every cycle.
#pragma once

#include <cstdint>

struct FbParamRequest;

// Enters the family's rows into the block-type table.
void BLK_RegisterArithTypes();

void FB_ABSV_Run();
void FB_ABSV_Init();
uint8_t FB_ABSV_Param(FbParamRequest* request, uint16_t* badIndex);
