// The block families' pages that are not built yet, so that the block page dispatcher
// runs: every such family's page is its text screen alone.
#include "opui/op_blockpage.h"
#include "opui/op_services.h"

const OpBlockPage g_opInputPage{.screen = 7};
const OpBlockPage g_opProgPage{.screen = 2};
const OpBlockPage g_opCtrlPage{.screen = 1};
const OpBlockPage g_opCtrlPlusPage{.screen = 1};
const OpBlockPage g_opTunePage{.screen = 7};
const OpBlockPage g_opPidTunePage{.screen = 7};
const OpBlockPage g_opValuePage{.screen = 8};
const OpBlockPage g_opBarPageH{.screen = 4};
const OpBlockPage g_opBarPageV{.screen = 3};
const OpBlockPage g_opTrendPage{.screen = 5};
const OpBlockPage g_opAlarmPage{.screen = 9};
