// Blocks of the device's own I/O cards: the analog inputs (AINP1, TPS_IN, AINP3..AINP6,
// UNI_IN), the two-channel inputs (TC_IN, R_IN, U_IN, F_INP), the analog/logic and relay
// outputs (OUT1..OUT4, REL_OUT, SSR_OUT, S_OUT), the two-channel outputs (I_OUT, U_OUT,
// PWM_OUT) and digital points (DIDO), the digital output and input cards (D_OUT, DIGOUT,
// D_IN, DINPUT) and the front-panel LEDs.
//
// Each type is bound to fixed block numbers and through them to one channel of the board
// records (runtime/fw_io.h): Init claims the channel and writes the class it expects, Run
// checks the class the hardware reports and reads the measurement or writes the outputs.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "runtime/fb_store.h"

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_TC_IN = 46,
  BLK_TYPE_I_OUT = 47,
  BLK_TYPE_U_OUT = 48,
  BLK_TYPE_DIDO = 49,
  BLK_TYPE_F_INP = 76,
  BLK_TYPE_R_IN = 77,
  BLK_TYPE_U_IN = 78,
  BLK_TYPE_D_OUT = 105,
  BLK_TYPE_D_IN = 106,
  BLK_TYPE_S_OUT = 108,
  BLK_TYPE_AINP1 = 110,
  BLK_TYPE_TPS_IN = 111,
  BLK_TYPE_AINP3 = 112,
  BLK_TYPE_AINP4 = 113,
  BLK_TYPE_AINP5 = 114,
  BLK_TYPE_AINP6 = 115,
  BLK_TYPE_OUT1 = 116,
  BLK_TYPE_OUT2 = 117,
  BLK_TYPE_OUT3 = 118,
  BLK_TYPE_OUT4 = 119,
  BLK_TYPE_REL_OUT = 120,
  BLK_TYPE_DINPUT = 121,
  BLK_TYPE_DIGOUT = 122,
  BLK_TYPE_LED = 123,
  BLK_TYPE_SSR_OUT = 128,
  BLK_TYPE_UNI_IN = 129,
  BLK_TYPE_PWM_OUT = 240,
};

// Sensor codes of the analog inputs' `Typ`.
enum : uint16_t {
  AIN_TYPE_L = 0, AIN_TYPE_J = 1, AIN_TYPE_K = 2, AIN_TYPE_D = 10,
  AIN_PT100_850 = 20, AIN_PT100_250 = 21, AIN_2PT100_85 = 25, AIN_2PT100_25 = 26,
  AIN_MV30 = 27, AIN_MV100 = 28, AIN_MV300 = 29,
  AIN_MA_0_20 = 30, AIN_MA_4_20 = 31, AIN_V_0_10 = 32, AIN_V_2_10 = 33, AIN_MV1500 = 34,
  AIN_POT_TRANS = 40, AIN_OHM500 = 45, AIN_OHM250 = 46, AIN_MV_LINEAR = 50,
};
constexpr uint16_t AIN_CODE_COUNT = 51;   // codes 0..50

// `Fail` of the analog inputs.
enum : uint16_t { AIN_FAIL_DISABLED = 0, AIN_FAIL_UPSCALE = 1, AIN_FAIL_DOWNSCALE = 2, AIN_FAIL_SUBST = 3 };

// Parameter indexes of the analog inputs: word values and 4-byte values.
enum : uint16_t { AIN_WV_TYP = 0, AIN_WV_FAIL = 1, AIN_WV_XCORR = 2, AIN_WV_UNIT = 3, AIN_WV_STK = 4 };
enum : uint16_t { AIN_LV_X0 = 0, AIN_LV_X100 = 1, AIN_LV_XFAIL = 2, AIN_LV_TFM = 3, AIN_LV_TKREF = 4 };

// Calibration commands: take the current reading as x0 (500) or x100 (501).
enum : int16_t { AIN_CMD_CAL_X0 = 500, AIN_CMD_CAL_X100 = 501 };

// ---------------------------------------------------------------------------------------
// Calibration page record of AINP1, AINP6 and UNI_IN (potentiometric transmitters, code 40;
// AINP1 and UNI_IN also the offset of the 2Pt100 inputs, codes 25 and 26) and of R_IN (its
// potentiometer codes, one sub-channel at a time). It lives in the
// block's instance and is registered as the block's page data; the calibration page reads it
// and writes the operator's requests, which the block takes at its next run.
//
// The header has the layout of OpBlockPageData (hide, lock, updated, then the auto/manual
// byte in the header's fourth byte, and the block type).
struct BlkCalField {
  FbF32 value;
  FbF32 min;                 // -29999
  FbF32 max;                 // 999999
  uint16_t format;           // decimals shown, from the limit record of x0 or x100
};
static_assert(sizeof(BlkCalField) == 14);

enum : uint16_t { BLK_CAL_X0 = 0, BLK_CAL_X100 = 1, BLK_CAL_READING = 2, BLK_CAL_Y = 3, BLK_CAL_FIELDS = 4 };

// Page states.
enum : uint16_t {
  BLK_CAL_STATE_OFFSET = 1,     // take the reading as the offset (codes 25, 26)
  BLK_CAL_STATE_START = 2,      // take the reading as x0
  BLK_CAL_STATE_END = 3,        // take the reading as x100
  BLK_CAL_STATE_START_DONE = 4,
  BLK_CAL_STATE_END_DONE = 5,
  BLK_CAL_STATE_OFFSET_DONE = 6,
};

struct BlkCalPage {
  uint8_t hide;
  uint8_t lock;
  uint8_t updated;
  uint8_t autoManual;
  uint16_t type;
  char title[FB_TEXT_LEN];
  BlkCalField field[BLK_CAL_FIELDS];
  uint8_t fault;
  uint8_t startRequest;
  FbU32 callback[2];         // handles of BLK_CalCallback: field kind and field access
  uint16_t state;            // BLK_CAL_STATE_*
  uint8_t incRequest;
  uint8_t decRequest;
  uint8_t offsetMode;        // codes 25 and 26
  uint8_t channel;           // R_IN: the sub-channel calibrated, 0 a, 1 b (others 0)
};
static_assert(sizeof(BlkCalPage) % 2 == 0 && alignof(BlkCalPage) == 2);
static_assert(offsetof(BlkCalPage, type) == 4);

// The page's callbacks, called with (block number, field index 0..3):
//   handle 1: 2 for field 3 (the Y input), else 0;
//   handle 2: 2 (code 40, and R_IN's potentiometers) or 1 (other codes) for fields 0 and 1,
//             3 for fields 2 and 3, else 0.
using BlkCalCallbackFn = uint16_t (*)(uint16_t block, uint16_t field);
// The function of a handle, or null for a handle that names none.
BlkCalCallbackFn BLK_CalCallback(uint32_t handle);

// The calibration page record of a block, or null when its type has none.
BlkCalPage* BLK_CalPageOf(uint16_t block);

// ---------------------------------------------------------------------------------------

// Enters the family's rows into the block-type table.
void BLK_RegisterIoTypes();

// Analog inputs.
void FB_AINP1_Run();
void FB_AINP1_Init();
uint8_t FB_AINP1_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TPS_IN_Run();
void FB_TPS_IN_Init();
uint8_t FB_TPS_IN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_AINP3_Run();
void FB_AINP3_Init();
uint8_t FB_AINP3_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_AINP4_Run();
void FB_AINP4_Init();
uint8_t FB_AINP4_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_AINP5_Run();
void FB_AINP5_Init();
uint8_t FB_AINP5_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_AINP6_Run();
void FB_AINP6_Init();
uint8_t FB_AINP6_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_UNI_IN_Run();
void FB_UNI_IN_Init();
uint8_t FB_UNI_IN_Param(FbParamRequest* request, uint16_t* badIndex);

// Two-channel inputs: word values and 4-byte values per sub-channel, b's after a's, in the
// order of the single-channel inputs (AIN_WV_*, AIN_LV_*); R_IN has the calibrated start and
// end after Tfm and "Mode" after both sub-channels.
enum : uint16_t { RIN_LV_KAL1 = 4, RIN_LV_KAL2 = 5, RIN_WV_MODE = 8 };
// R_IN sensor codes 0..13 ("Pt100 850" .. "Poti4500"); 10..13 are the potentiometers.
enum : uint16_t { RIN_R160 = 6, RIN_POTI160 = 10, RIN_POTI450 = 11, RIN_POTI4500 = 13 };
void FB_TC_IN_Run();
void FB_TC_IN_Init();
uint8_t FB_TC_IN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_R_IN_Run();
void FB_R_IN_Init();
uint8_t FB_R_IN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_U_IN_Run();
void FB_U_IN_Init();
uint8_t FB_U_IN_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_F_INP_Run();
void FB_F_INP_Init();
uint8_t FB_F_INP_Param(FbParamRequest* request, uint16_t* badIndex);

// Two-channel outputs and the digital points.
void FB_I_OUT_Run();
void FB_I_OUT_Init();
uint8_t FB_I_OUT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_U_OUT_Run();
void FB_U_OUT_Init();
uint8_t FB_U_OUT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_PWM_OUT_Run();
void FB_PWM_OUT_Init();
uint8_t FB_PWM_OUT_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_DIDO_Run();
void FB_DIDO_Init();
uint8_t FB_DIDO_Param(FbParamRequest* request, uint16_t* badIndex);

// Outputs and digital cards (their parameters go through the standard handler).
void FB_OUT1_Run();
void FB_OUT1_Init();
void FB_OUT2_Run();
void FB_OUT2_Init();
void FB_OUT3_Run();
void FB_OUT3_Init();
void FB_OUT4_Run();
void FB_OUT4_Init();
void FB_REL_OUT_Run();
void FB_REL_OUT_Init();
void FB_SSR_OUT_Run();
void FB_SSR_OUT_Init();
void FB_S_OUT_Run();
void FB_S_OUT_Init();
void FB_D_OUT_Run();
void FB_D_OUT_Init();
void FB_DIGOUT_Run();
void FB_DIGOUT_Init();
void FB_D_IN_Run();
void FB_D_IN_Init();
void FB_DINPUT_Run();
void FB_DINPUT_Init();
void FB_LED_Run();
void FB_LED_Init();

// The factor that maps the span x0..x100 onto `full` units: full / (x100 - x0). False, with
// `k` left as it is, when x0 and x100 are equal or the factor is no finite number.
inline bool IO_SpanFactor(float x0, float x100, float full, float* k) {
  if (x100 == x0) return false;
  const float f = full / (x100 - x0);
  if (!std::isfinite(f)) return false;
  *k = f;
  return true;
}
