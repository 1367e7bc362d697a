// Arithmetic and function blocks: stateless types that compute their outputs from their
// inputs and parameters in every cycle.
#pragma once

#include <cstdint>

struct FbParamRequest;

// Type numbers of the family (type 4 stays an empty row).
enum : uint16_t {
  BLK_TYPE_ABSV = 1,
  BLK_TYPE_A2BYTE = 2,
  BLK_TYPE_ADSU = 3,
  BLK_TYPE_MUDI = 5,
  BLK_TYPE_SQRT = 8,
  BLK_TYPE_SCAL = 9,
  BLK_TYPE_10EXP = 10,
  BLK_TYPE_EEXP = 11,
  BLK_TYPE_LN = 12,
  BLK_TYPE_LG10 = 13,
};

// Byte formats of A2BYTE's "Ioct" and "Ooct".
enum : uint16_t {
  A2BYTE_UINT8 = 0,
  A2BYTE_INT8 = 1,
  A2BYTE_UINT16 = 2,
  A2BYTE_INT16 = 3,
  A2BYTE_UINT32 = 4,
  A2BYTE_INT32 = 5,
  A2BYTE_FLOAT = 6,
};

// Enters the family's rows into the block-type table.
void BLK_RegisterArithTypes();

void FB_ABSV_Run();
void FB_ABSV_Init();
uint8_t FB_ABSV_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_A2BYTE_Run();
void FB_A2BYTE_Init();
uint8_t FB_A2BYTE_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_ADSU_Run();
void FB_ADSU_Init();
uint8_t FB_ADSU_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_MUDI_Run();
void FB_MUDI_Init();
uint8_t FB_MUDI_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_SQRT_Run();
void FB_SQRT_Init();
uint8_t FB_SQRT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_SCAL_Run();
void FB_SCAL_Init();
uint8_t FB_SCAL_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_10EXP_Run();
void FB_10EXP_Init();
uint8_t FB_10EXP_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_EEXP_Run();
void FB_EEXP_Init();
uint8_t FB_EEXP_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_LN_Run();
void FB_LN_Init();
uint8_t FB_LN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_LG10_Run();
void FB_LG10_Init();
uint8_t FB_LG10_Param(FbParamRequest* request, uint16_t* badIndex);
