#include "base/link_hooks.h"
#include "comm/com_links.h"
#include "firmware/fw_main.h"
#include "links/sim_links.h"
#include "shell/sim_services.h"

bool SIM_InstallCommLinks() {
  const ComLinkHooks hooks{.main = &g_fwMain, .shell = &SimState()};
  COM_InstallLinks(hooks);
  return LinkHooksComplete(hooks);
}
