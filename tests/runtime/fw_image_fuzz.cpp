// Fuzz target of the engineering image loader. The input is one fill byte followed by the
// start of an image; the rest of the 0x20000 bytes takes the fill byte, so that lists may run
// off into zeros or into garbage. A load must never crash; an image that loads cleanly must
// save back to the same lists and load again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/fb_store.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "support/image_types.h"

namespace {
std::vector<uint8_t> g_loaded(FW_IMAGE_SIZE);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = (IMG_RegisterTestTypes(), true);
  (void)registered;
  if (size < 1) return 0;
  const uint8_t fill = data[0];
  const size_t n = size - 1 < FW_IMAGE_SIZE ? size - 1 : FW_IMAGE_SIZE;
  std::memset(g_fwImage, fill, FW_IMAGE_SIZE);
  std::memcpy(g_fwImage, data + 1, n);
  g_fwEng = FwEngineeringState{};
  FB_ClearStore();
  FW_ResetEeprom();
  FW_ClearStepCodes();

  if (FW_LoadEngineering() != 0 || g_fwEng.lastError != FwImageError::None) return 0;

  // Loaded cleanly: the save writes the same lists back. The used length is even; the byte
  // before it is the end word's or the padding behind it, which the image may hold as anything.
  std::memcpy(g_loaded.data(), g_fwImage, FW_IMAGE_SIZE);
  if (FW_SaveEngineering() != 0) std::abort();
  const uint32_t used = g_fwEng.usedLength;
  if (used % 2 != 0 || used <= FW_IMG_BLOCK_LIST ||
      std::memcmp(g_fwImage + FW_IMG_ENG_VALUE, g_loaded.data() + FW_IMG_ENG_VALUE,
                  used - 1 - FW_IMG_ENG_VALUE) != 0) {
    std::abort();
  }
  if (FW_LoadEngineering() != 0 || g_fwEng.lastError != FwImageError::None) std::abort();

  // Single saves on every block stay inside the image.
  for (uint16_t block = 1; block <= FB_MAX_BLOCK; ++block) {
    if (!FB_GetInstance(block)) continue;
    FB_SaveFloatParams(block, 1, 60);
    FB_SaveFloatParams(block, 1, 1);
    FB_SaveWordParams(block, 1, 1);
    FB_SaveLongParams(block, 1, 1);
    FB_SaveStateWords(block, 1, 1);
  }
  return 0;
}
