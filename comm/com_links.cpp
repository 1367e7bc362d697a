#include "comm/com_links.h"

#include "runtime/fw_main.h"

// The main cycle's state, when the firmware is linked.
extern FwMainState g_fwMain __attribute__((weak));

namespace {
uint16_t g_standInDeviceMode = FW_DEVICE_ENGINEERING;
}

uint16_t& COM_LinkDeviceMode() { return &g_fwMain ? g_fwMain.deviceMode : g_standInDeviceMode; }
