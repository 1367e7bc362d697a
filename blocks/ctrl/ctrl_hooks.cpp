// Calls of the controller core into the PIDMA extension. It is built with that part; until
// then no controller has an extension record.
#include "blocks/ctrl/ctrl_steps.h"

void CTRL_ExtInit(CtrlExtension*, CtrlParams&, CtrlWork&) {}

void CTRL_ExtCycle(CtrlExtension*, CtrlInputs&, CtrlOutputs&, CtrlParams&, CtrlWork&) {}
