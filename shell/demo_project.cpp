#include "shell/demo_project.h"

#include <cstring>

#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_io.h"
#include "runtime/fw_main.h"

void SimDemoDataImage(uint8_t* data, size_t size) {
  std::memset(data, 0, size);
  if (size >= FW_IEE_TAG + sizeof FW_IMAGE_TAG) std::memcpy(data + FW_IEE_TAG, FW_IMAGE_TAG, sizeof FW_IMAGE_TAG);
  // The four palettes start as the device's default colours, so that the pages are drawn in
  // visible colours (stored 0xRRGGBB, little-endian).
  if (size < FW_IEE_PALETTES + FW_IEE_PALETTE_BYTES) return;
  for (uint32_t palette = 0; palette < 4; ++palette) {
    for (uint32_t i = 0; i < FW_PALETTE_COLOURS; ++i) {
      uint8_t* p = data + FW_IEE_PALETTES + (palette * FW_PALETTE_COLOURS + i) * 4;
      for (int b = 0; b < 4; ++b) p[b] = static_cast<uint8_t>(FW_DEFAULT_COLOURS[i] >> (8 * b));
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
