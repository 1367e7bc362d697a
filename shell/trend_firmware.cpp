// What the trend binding reads of the firmware: the L1READ reader table that the hardware
// adapter collects, block types, the values behind input references and whether the
// engineering has a controller block for the plant link.
#include "firmware/fw_adapter.h"
#include "firmware/fw_plant.h"
#include "runtime/fb_store.h"
#include "shell/trend_binding.h"

namespace {

const FwTrendReaders* Readers() { return &g_fwTrendReaders; }

uint16_t BlockType(uint16_t block) {
  const uint16_t* inst = FB_GetInstance(block);
  return inst ? inst[FB_HDR_TYPE] : uint16_t{0};
}

bool ControllerPresent() {
  FwPlantController view{};
  return FW_FindPlantController(&view) != 0;
}

constexpr SimTrendFirmware kFirmware{Readers, BlockType, FB_ReadAnalogRef, FB_ReadDigitalRef, ControllerPresent};

}  // namespace

const SimTrendFirmware* SimTrendFirmwareTable() { return &kFirmware; }
