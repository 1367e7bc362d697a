#include "comm/com_links.h"
#include "links/sim_links.h"
#include "runtime/fw_main.h"
#include "shell/sim_services.h"

void SIM_InstallCommLinks() { COM_InstallLinks({&g_fwMain, &SimState()}); }
