// What the protocols need of the firmware beyond the runtime: the device mode (1 engineering
// loaded, 2 no engineering: the service screen, or a download in progress). Programs and tests
// that link the firmware's main cycle reach its mode word; without it (the protocol's fuzz
// target) the protocols keep a mode of their own.
#pragma once

#include <cstdint>

uint16_t& COM_LinkDeviceMode();
