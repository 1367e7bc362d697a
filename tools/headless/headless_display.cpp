// The display of a headless device, drawn in memory and never shown: the simulation layer and
// the graphics library on the emulated LCD, under shared-memory names of the process's own (a
// simulator may run beside it).
#include <unistd.h>

#include <string>

#include "gui/GUI.h"
#include "host/shared_block.h"
#include "links/sim_links.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"
#include "tools/headless/headless.h"

bool SimHeadlessStartDisplay(const char* program) {
  host::SetSharedNamePrefix(std::string(program) + std::to_string(getpid()) + ".");
  if (SIM_InitHost() != 0) return false;
  SIM_ShowErrorBoxes(0);
  SIM_SetDelayCallback([](int) {});
  GUI_Init();
  if (LCDSIM_InitServerData() != nullptr) return false;
  SIM_InstallOpuiLinks();
  return true;
}

void SimHeadlessStopDisplay() {
  GUI_Exit();
  SIM_ExitHost();
}
