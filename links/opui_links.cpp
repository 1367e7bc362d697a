#include "comm/com_services.h"
#include "links/sim_links.h"
#include "opui/op_links.h"
#include "runtime/fw_adapter.h"
#include "runtime/fw_main.h"

void SIM_InstallOpuiLinks() {
  OP_InstallLinks({FW_GetKeyCode, &g_fwMain, COM_BusSetAddress, COM_CanNodeTable, FW_SlotRecord});
}
