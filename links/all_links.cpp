#include "links/sim_links.h"

void SIM_InstallLinks() {
  SIM_InstallCommLinks();
  SIM_InstallInfoLinks();
  SIM_InstallVisualLinks();
  SIM_InstallOpuiLinks();
}
