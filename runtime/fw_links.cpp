// Plain defaults of the links: the image lives here, nothing is loaded or saved, and the
// system data, login and clock do nothing. The modules replace them as they join.
#include "runtime/fw_links.h"

#include <cstring>

#include "runtime/fw_eeprom.h"
#include "runtime/fw_text.h"

namespace {
uint8_t g_image[FW_MAIN_EEPROM_SIZE];
uint8_t g_status;
uint8_t g_errors;
uint8_t g_startFlags;
uint16_t g_warmStart;
}  // namespace

uint8_t* FW_LinkImage() { return g_image; }
uint8_t& FW_LinkEngStatus() { return g_status; }
uint8_t& FW_LinkEngErrors() { return g_errors; }
uint8_t& FW_LinkStartFlags() { return g_startFlags; }
uint16_t& FW_LinkWarmStart() { return g_warmStart; }

void FW_LinkConnectImage() {
  FW_BindMainEeprom(g_image, FW_MAIN_EEPROM_SIZE);
  FW_BindLanguageByte(g_image + FW_LANGUAGE_OFFSET);
}

int FW_LinkLoadEngineering() {
  FW_LinkConnectImage();
  g_status |= 0x04;  // stopped: nothing loaded
  return 1;
}
int FW_LinkSaveEngineering() { return 0; }

void FW_LinkPasswordLoad() {}
void FW_LinkPasswordClear() {}
void FW_LinkInitSystemData() {}
void FW_LinkSystemCycle() {}
uint16_t FW_LinkWarmStartSetting() { return 0; }
bool FW_LinkKeyTest() { return false; }
void FW_LinkClockHook() {}
uint16_t FW_LinkDeviceAddress() { return g_image[58]; }
bool FW_LinkReadDeviceIdent(uint8_t*, uint32_t) { return false; }
uint8_t FW_LinkAnalogInputFailures() { return 0; }
