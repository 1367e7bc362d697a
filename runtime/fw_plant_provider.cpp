// The block families' entries for the plant link (the controller family's plant, the analog
// inputs' reading), kept in the runtime library so that programs without the firmware's main
// cycle (the engineering tool) can register them too.
#include "runtime/fw_plant_provider.h"

namespace {
const FwPlantProvider* g_provider;
FwInputReading g_reading;
}  // namespace

void FW_RegisterPlantProvider(const FwPlantProvider* provider) { g_provider = provider; }
const FwPlantProvider* FW_PlantProvider() { return g_provider; }

void FW_RegisterInputReading(FwInputReading reading) { g_reading = reading; }
FwInputReading FW_InputReading() { return g_reading; }
