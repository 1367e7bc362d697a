// Calls of the controller core into the self-tuning and the PIDMA extension. They are
// built with those parts; until then the controller runs with the parameter set loaded at
// start-up, never optimises, and no controller has an extension record.
#include "blocks/ctrl/ctrl_steps.h"

// Start-up of the self-tuning: loads the active parameter set from the retained number.
void CTRL_OptInit(CtrlInputs&, CtrlOutputs& out, CtrlParams& params, CtrlConfig&,
                  CtrlWork& work, CtrlRetained& retained) {
  const uint8_t set = retained.paramSet < CTRL_PARAM_SETS ? retained.paramSet : 0;
  out.activeSet = set;
  work.set = params.sets[set];
}

// Parameter-set selection, then one step of the optimisation.
void CTRL_SelectParamSet(CtrlInputs&, CtrlOutputs&, CtrlParams&, CtrlConfig&, CtrlWork&,
                         CtrlRetained&) {}

void CTRL_Optimize(CtrlInputs&, CtrlOutputs&, CtrlParams&, CtrlConfig&, CtrlWork&,
                   CtrlRetained&) {}
