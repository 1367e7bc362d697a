// The block families' pages that are not built yet, so that the block page dispatcher
// runs: every such family's page is its text screen alone; and the display objects' calls
// the menus make.
#include "opui/op_blockpage.h"
#include "opui/op_services.h"

void OP_CloseBlockView(uint16_t) {}
void OP_CloseBlockDialog() {}
void OP_ClearDisplayList() {}

const OpBlockPage g_opInputPage{.screen = 7};
const OpBlockPage g_opProgPage{.screen = 2};
const OpBlockPage g_opCtrlPage{.screen = 1};
const OpBlockPage g_opCtrlPlusPage{.screen = 1};
const OpBlockPage g_opTunePage{.screen = 7};
const OpBlockPage g_opPidTunePage{.screen = 7};
const OpBlockPage g_opUserPage{.screen = 10};
