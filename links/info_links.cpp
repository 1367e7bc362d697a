#include "base/link_hooks.h"
#include "blocks/info/info_links.h"
#include "links/sim_links.h"
#include "opui/op_services.h"
#include "runtime/fw_main.h"

bool SIM_InstallInfoLinks() {
  const InfoLinkHooks hooks{.displaySwitches = &OpDisplaySwitches,
                            .pageRequest = &OpPageRequest,
                            .shownPageBlock = &OpShownPageBlock,
                            .selectPalette = FW_SelectPalette,
                            .ioBoardsReady = FW_AllIoBoardsReady};
  INFO_InstallLinks(hooks);
  return LinkHooksComplete(hooks);
}
