// The controller family's entry for the plant link, kept in the runtime library so that
// programs without the firmware's main cycle (the engineering tool) can register it too.
#include "runtime/fw_plant.h"

namespace {
const FwPlantProvider* g_provider;
}  // namespace

void FW_RegisterPlantProvider(const FwPlantProvider* provider) { g_provider = provider; }
const FwPlantProvider* FW_PlantProvider() { return g_provider; }
