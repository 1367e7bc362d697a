// Run mode of the device: 1 stopped, 2 running. The main cycle's run-state machine sets
// it; parameter handlers read it to decide whether a change applies at once or waits in
// the pending copy for the block's next run.
#pragma once

#include <cstdint>

enum : uint16_t { FW_RUN_MODE_STOP = 1, FW_RUN_MODE_RUN = 2 };

extern uint16_t g_fwRunMode;

inline bool FW_IsRunning() { return g_fwRunMode == FW_RUN_MODE_RUN; }
