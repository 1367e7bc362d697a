// The links to the engineering image are connected; the system data, login, clock and I/O
// blocks keep plain defaults until they join.
#include "runtime/fw_links.h"

#include "runtime/fw_image.h"

uint8_t* FW_LinkImage() { return g_fwImage; }
uint8_t& FW_LinkEngStatus() { return g_fwEng.status; }
uint8_t& FW_LinkEngErrors() { return g_fwEng.errors; }
uint8_t& FW_LinkStartFlags() { return g_fwEng.startFlags; }
uint16_t& FW_LinkWarmStart() { return g_fwEng.warmStart; }

void FW_LinkConnectImage() { FW_ConnectImage(); }
int FW_LinkLoadEngineering() { return FW_LoadEngineering(); }
int FW_LinkSaveEngineering() { return FW_SaveEngineering(); }
bool FW_LinkTakeStayStopped() {
  const bool stay = g_fwEng.stayStopped != 0;
  g_fwEng.stayStopped = 0;
  return stay;
}

void FW_LinkPasswordLoad() {}
void FW_LinkPasswordClear() {}
void FW_LinkInitSystemData() {}
void FW_LinkSystemCycle() {}
uint16_t FW_LinkWarmStartSetting() { return 0; }
bool FW_LinkKeyTest() { return false; }
void FW_LinkClockHook() {}
uint16_t FW_LinkDeviceAddress() { return g_fwImage[FW_IMG_ADDRESS]; }
bool FW_LinkReadDeviceIdent(uint8_t*, uint32_t) { return false; }
uint8_t FW_LinkAnalogInputFailures() { return 0; }
