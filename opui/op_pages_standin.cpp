// The block families' pages that are not built yet, so that the block page dispatcher
// runs: every such family's page is its text screen alone.
#include "opui/op_blockpage.h"
#include "opui/op_services.h"

const OpBlockPage g_opValuePage{.screen = 8};
const OpBlockPage g_opBarPageH{.screen = 4};
const OpBlockPage g_opBarPageV{.screen = 3};
const OpBlockPage g_opTrendPage{.screen = 5};
const OpBlockPage g_opAlarmPage{.screen = 9};
