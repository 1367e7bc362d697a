#include "runtime/fw_mode.h"

// The device starts stopped; loading an engineering decides whether it runs.
uint16_t g_fwRunMode = FW_RUN_MODE_STOP;
