#include "links/sim_links.h"

bool SIM_InstallLinks() {
  bool complete = SIM_InstallCommLinks();
  complete &= SIM_InstallInfoLinks();
  complete &= SIM_InstallVisualLinks();
  complete &= SIM_InstallOpuiLinks();
  return complete;
}
