// How the shell drives the firmware: the hardware adapter's four entries (init, start, one
// tick, the hard-key mask), the one state record of the process with its shadow copy, and the
// shell operations the firmware calls back.
#pragma once

#include <cstdint>

#include "shell/sim_services.h"

struct SimFirmwareAdapter {
  void (*init)();                    // display set-up before a start
  void (*start)();                   // copies the images in and starts the firmware
  void (*cycle)();                   // one firmware tick
  void (*setKeyMask)(uint32_t mask); // the hard keys held, bit i = key i
};

// The adapter in use: the device firmware unless a test installed another.
const SimFirmwareAdapter& SimFirmware();
// Installs an adapter (tests); null restores the device firmware.
void SimSetFirmware(const SimFirmwareAdapter* adapter);
// The device firmware's adapter.
const SimFirmwareAdapter& SimDeviceFirmware();

// The shadow copy of the state record, taken after every cycle.
SimHostState& SimShadowState();

// What the shell's windows do when the firmware restarts or asks for a new process; set by the
// main window (null = nothing beyond the firmware calls).
struct SimRestartHooks {
  void (*beforeFirmwareRestart)();   // update the main window, show the front
  void (*afterFirmwareInit)();       // update the front
  void (*requestProcessRestart)();   // save the restart project and close (message 2043)
};
void SimSetRestartHooks(const SimRestartHooks* hooks);

// Set by SimRequestRestart: at its end the program is to start again (the firmware's own
// restart flag in the state record keeps its meaning for the next tick).
bool SimProcessRestartRequested();
void SimClearProcessRestart();

// Hands the project's start-up logo and user data to the firmware (after every load).
void SimHandPicturesToFirmware();
