// The links to the engineering image, the login, the system data, the clock and the I/O
// boards.
#include "firmware/fw_links.h"

#include <algorithm>
#include <cstring>

#include "runtime/fb_blockdata.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_image.h"
#include "runtime/fw_io.h"
#include "runtime/fw_login.h"
#include "runtime/fw_sysdata.h"

uint8_t* FW_LinkImage() { return g_fwImage; }
uint8_t& FW_LinkEngStatus() { return g_fwEng.status; }
uint8_t& FW_LinkEngErrors() { return g_fwEng.errors; }
uint8_t& FW_LinkStartFlags() { return g_fwEng.startFlags; }
uint16_t& FW_LinkWarmStart() { return g_fwEng.warmStart; }

void FW_LinkConnectImage() { FW_ConnectImage(); }
int FW_LinkLoadEngineering() { return FW_LoadEngineering(); }
int FW_LinkSaveEngineering() { return FW_SaveEngineering(); }
bool FW_LinkLoadSucceeded() { return g_fwEng.lastError == FwImageError::None; }
bool FW_LinkTakeStayStopped() {
  const bool stay = g_fwEng.stayStopped != 0;
  g_fwEng.stayStopped = 0;
  return stay;
}

void FW_LinkPasswordLoad() { FW_PasswordLoad(); }
void FW_LinkPasswordClear() { FW_PasswordClear(); }
void FW_LinkInitSystemData() { FW_InitSystemData(); }
void FW_LinkSystemCycle() { FW_SystemCycle(); }
void FW_LinkSystemStartupHook() { FW_SystemStartupHook(); }
uint16_t FW_LinkWarmStartSetting() { return g_fwSys.shadow[FW_SH_BYTE50]; }
bool FW_LinkKeyTest() { return g_fwSys.keyTest != 0; }
void FW_LinkClockHook() { FW_ReadHostClock(); }
uint16_t FW_LinkDeviceAddress() { return g_fwSys.shadow[FW_SH_ADDRESS]; }

bool FW_LinkReadDeviceIdent(uint8_t* record, uint32_t size) {
  FbParamRequest request(0, static_cast<int16_t>(-FB_ID_EXTRA));
  uint16_t length = 0;
  // The reply: from offset 4 two count bytes and the type, the record's data from 8.
  if (FB_BlockDataRead(&request, &length) != FB_OK || length <= 4) return false;
  const uint32_t n = std::min<uint32_t>(length - 4u, size);
  std::memset(record, 0, size);
  std::memcpy(record, request.bytes + 8, std::min<uint32_t>(n, FB_REQUEST_BYTES - 8));
  return true;
}

uint8_t FW_LinkAnalogInputFailures() { return g_fwAnalogInputFailures; }

void FW_LinkSystemHooks(const FwLinkSystemHooks& hooks) {
  g_fwSysHooks.keyCode = hooks.keyCode;
  g_fwSysHooks.paletteRefresh = hooks.paletteRefresh;
  g_fwSysHooks.serialInit = hooks.serialInit;
}

void FW_LinkRegisterSystemType() { FW_RegisterSystemType(); }
