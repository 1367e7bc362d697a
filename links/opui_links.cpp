#include "base/link_hooks.h"
#include "comm/com_services.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_main.h"
#include "links/sim_links.h"
#include "opui/op_links.h"

bool SIM_InstallOpuiLinks() {
  const OpLinkHooks hooks{.keyCode = FW_GetKeyCode,
                          .main = &g_fwMain,
                          .busSetAddress = COM_BusSetAddress,
                          .canNodeTable = COM_CanNodeTable,
                          .slot = FW_SlotRecord};
  OP_InstallLinks(hooks);
  return LinkHooksComplete(hooks);
}
