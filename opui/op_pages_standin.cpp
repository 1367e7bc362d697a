// The block families' pages that are not built yet, so that the block page dispatcher
// runs: every such family's page is its text screen alone; and the display objects' calls
// the menus make.
#include "opui/op_blockpage.h"
#include "opui/op_services.h"

void OP_CloseBlockView(uint16_t) {}
void OP_CloseBlockDialog() {}
void OP_ClearDisplayList() {}

const OpBlockPage g_opValuePage{.screen = 8};
const OpBlockPage g_opBarPageH{.screen = 4};
const OpBlockPage g_opBarPageV{.screen = 3};
const OpBlockPage g_opTrendPage{.screen = 5};
const OpBlockPage g_opAlarmPage{.screen = 9};
const OpBlockPage g_opUserPage{.screen = 10};
