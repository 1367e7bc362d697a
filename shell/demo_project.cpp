#include "shell/demo_project.h"

#include <cstring>

#include "firmware/fw_main.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_io.h"

namespace {

// The factory colours of the demo and of a new project, slots 1..10 (0xRRGGBB): white text on a
// black page (slots 5 and 6) as the device shows it without engineering; the menus' title band
// (slot 7) in the device's blue; the top bar (slot 9) dark blue, so that the red line under the
// logo stands out, with white logo and clock (slot 10). The other slots are the device's defaults.
constexpr uint32_t kFactoryColours[FW_PALETTE_COLOURS] = {0,        0x4880C0, 0,        0xFFFFFF, 0,
                                                          0xFFFFFF, 0x4880C0, 0,        0x1C3460, 0xFFFFFF};

}  // namespace

void SimDemoDataImage(uint8_t* data, size_t size) {
  std::memset(data, 0, size);
  if (size >= FW_IEE_TAG + sizeof FW_IMAGE_TAG) std::memcpy(data + FW_IEE_TAG, FW_IMAGE_TAG, sizeof FW_IMAGE_TAG);
  // The four palettes start as the factory colours (stored 0xRRGGBB, little-endian).
  if (size < FW_IEE_PALETTES + FW_IEE_PALETTE_BYTES) return;
  for (uint32_t palette = 0; palette < 4; ++palette) {
    for (uint32_t i = 0; i < FW_PALETTE_COLOURS; ++i) {
      uint8_t* p = data + FW_IEE_PALETTES + (palette * FW_PALETTE_COLOURS + i) * 4;
      for (int b = 0; b < 4; ++b) p[b] = static_cast<uint8_t>(kFactoryColours[i] >> (8 * b));
    }
  }
}

const SimDeviceConfig& SimDemoDeviceConfig() {
  // Order-code digits 000010 (assets/demo.eng): the settings' first-run device, slot B with
  // the digital I/O card and the Uni-Input at A4 that carries the plant's process value.
  static const SimDeviceConfig kDemo = {
      .ksx = 0, .anschluss = 0, .power = 0, .commOpt = 0, .unused1 = 0, .slotB = 1, .slotC = 0,
      .relais = 0, .unused2 = 0,
      .modules = {21, 0, 0, FW_CLASS_UNI_INPUT, 22, 22, 22, 41, 0, 0, 0, 0, 43, 43, 0, 0}};
  return kDemo;
}
