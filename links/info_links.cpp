#include "blocks/info/info_links.h"
#include "links/sim_links.h"
#include "opui/op_services.h"
#include "runtime/fw_main.h"

void SIM_InstallInfoLinks() {
  INFO_InstallLinks({&OpDisplaySwitches, &OpPageRequest, &OpShownPageBlock, FW_SelectPalette,
                     FW_AllIoBoardsReady});
}
