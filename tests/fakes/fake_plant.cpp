// The shell's plant exchange, recorded in the fake shell's log; the answer is the fake
// shell's (a plug-in "loaded" or not). The tests that run the shell's plant plug-in host
// link that instead.
#include "fakes/fake_shell.h"

int SimPlantCycle(SimPlantActuators* actuators, SimPlantParams* params, SimPlantResult* result) {
  FakeShell& f = TheFakeShell();
  f.log.add("SimPlantCycle", actuators->y1, actuators->y2, int{params->outputKind});
  if (f.plantLoaded) *result = f.plantAnswer;
  return f.plantLoaded;
}
