#include "base/link_hooks.h"
#include "blocks/info/info_links.h"
#include "links/sim_links.h"
#include "firmware/fw_main.h"

bool SIM_InstallInfoLinks() {
  const InfoLinkHooks hooks{.selectPalette = FW_SelectPalette,
                            .ioBoardsReady = FW_AllIoBoardsReady};
  INFO_InstallLinks(hooks);
  return LinkHooksComplete(hooks);
}
