// Stand-ins for what the controller blocks give the plant link, until they exist: the view
// points at a resting controller (process value 0, range 0..100, outputs 0, output kind 0)
// and the plant answers with the start of its range.
#include "runtime/fw_plant.h"

namespace {
FbF32 g_values[11];   // process value, lower, upper, setpoint, 2 analog, 3 outputs
uint8_t g_status[5];
}  // namespace

int CTRL_PlantView(uint16_t, FwPlantController* view) {
  for (FbF32& v : g_values) v = 0.0f;
  g_values[2] = 100.0f;
  view->processValue = &g_values[0];
  view->rangeLower = &g_values[1];
  view->rangeUpper = &g_values[2];
  view->setpoint = &g_values[3];
  view->analog[0] = &g_values[4];
  view->analog[1] = &g_values[5];
  for (int i = 0; i < 3; ++i) view->outputs[i] = &g_values[6 + i];
  for (int i = 0; i < 5; ++i) view->status[i] = &g_status[i];
  view->outputKind = 0;
  view->mode = 0;
  view->outputConfig = 0;
  return 1;
}

void CTRL_SimulateOutput(SimPlantActuators*, SimPlantParams* params, SimPlantResult* result) {
  result->x = params->rangeStart;
  result->position = 0.0f;
  result->valid = 1;
}
