// Recording fake of the shell operations the firmware calls, with a state record of its
// own. Tests set the plant answer and the panel values it returns.
#pragma once

#include <map>
#include <tuple>

#include "fakes/call_log.h"
#include "shell/sim_services.h"

struct FakeShell {
  CallLog log;
  int plantLoaded = 0;             // SimPlantCycle's result
  SimPlantResult plantAnswer{};    // written to the result record when a plug-in is "loaded"
  std::map<std::tuple<int, int, int>, int32_t> panelValues;  // {coupler, slot, channel}
  void (*restartFirmware)() = nullptr;  // what SimRestartFirmware runs (the firmware restart)
  void reset();
};

FakeShell& TheFakeShell();
