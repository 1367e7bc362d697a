// Information, status, constant and page-call blocks: single-instance device functions.
//
//   INFO   (block 97) up to twelve information texts on an operating page, each shown while
//          its digital input is set;
//   STATUS (block 98) the device's clock, language, page and error state as outputs, and the
//          operator-interface switches (hide, lock, palette, user language) from inputs;
//   CONST  (block 99) sixteen adjustable constants and the logic constants 0 and 1;
//   CALLPG (block 90) opens the operating page of another block on a rising edge.
#pragma once

#include <cstdint>

#include "blocks/page_records.h"

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_INFO = 124,
  BLK_TYPE_STATUS = 125,
  BLK_TYPE_CONST = 126,
  BLK_TYPE_CALLPG = 127,
};

constexpr uint16_t INFO_BLOCK = 97, STATUS_BLOCK = 98, CONST_BLOCK = 99, CALLPG_BLOCK = 90;
constexpr unsigned INFO_TEXTS = 12;
constexpr unsigned CONST_VALUES = 16;

// INFO's page record, the block's page data: text i is shown while shown[i] is 1.
struct InfoPageRecord {
  OpBlockPageData header;   // type 124
  uint8_t spare;
  uint8_t shown[INFO_TEXTS];
  char texts[INFO_TEXTS][16];
  uint8_t pad;
};
static_assert(sizeof(InfoPageRecord) % 2 == 0 && alignof(InfoPageRecord) == 2);

// Outputs of STATUS (0-based).
enum : unsigned {
  STATUS_AO_MINUTE = 0, STATUS_AO_HOUR, STATUS_AO_DAY, STATUS_AO_MONTH, STATUS_AO_YEAR,
  STATUS_AO_WEEKDAY, STATUS_AO_LANGUAGE, STATUS_AO_PAGE, STATUS_AO_SYSERR,
};
enum : unsigned {
  STATUS_DO_PHIDE = 0, STATUS_DO_CHIDE, STATUS_DO_MHIDE, STATUS_DO_BLOCK, STATUS_DO_SWITCH,
  STATUS_DO_FAIL, STATUS_DO_SAFE, STATUS_DO_PWRCHK, STATUS_DO_START, STATUS_DO_DPERR,
  STATUS_DO_CLOCK, STATUS_DO_FKEY, STATUS_DO_IOERR,
};
// Digital inputs of STATUS: the four switches, then pwrchk, colour, di-inv.
enum : unsigned { STATUS_DI_PWRCHK = 4, STATUS_DI_COLOUR = 5, STATUS_DI_INVERT = 6 };

// The device's power-check byte: bit 1 is set by STATUS's "pwrchk" input and stays set; bit
// 2 (start) belongs to the device's power supervision, which the simulator does not have.
constexpr uint8_t INFO_POWER_CHECKED = 0x02, INFO_POWER_START = 0x04;
extern uint8_t g_infoPowerCheck;

// The page types CALLPG opens.
bool INFO_HasOperatingPage(uint16_t type);

// Enters the family's rows into the block-type table.
void BLK_RegisterInfoTypes();

void FB_INFO_Run();
void FB_INFO_Init();
void FB_STATUS_Run();
void FB_STATUS_Init();
void FB_CONST_Run();
void FB_CONST_Init();
uint8_t FB_CONST_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_CALLPG_Run();
void FB_CALLPG_Init();
