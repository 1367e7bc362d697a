// Parameter requests with arbitrary bytes, run modes and save results, through the handlers
// of the timer and counter types (COUNT rounds and pulls its "y0", MONO and TONOFF check
// their times apart from their limit tables): every answer is one of the result codes, a
// refused request changes nothing, and no request touches another block.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "blocks/timer/timer.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"

namespace {

constexpr uint16_t kTypes[] = {BLK_TYPE_MONO, BLK_TYPE_TIMER, BLK_TYPE_TONOFF, BLK_TYPE_TIME2,
                               BLK_TYPE_PULS, BLK_TYPE_COUNT, BLK_TYPE_MEAN};
constexpr uint16_t kFirst = 300;
constexpr unsigned kCount = sizeof kTypes / sizeof kTypes[0];

uint8_t fullRing(FbSaveGroup, uint16_t, uint16_t, uint16_t) { return 1; }
uint8_t saved(FbSaveGroup, uint16_t, uint16_t, uint16_t) { return 0; }

std::vector<uint16_t> words(uint16_t block) {
  const uint16_t* p = FB_GetInstance(block);
  return {p, p + p[FB_HDR_SIZE]};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  FB_ClearTypeTable();
  BLK_RegisterTimerTypes();
  FB_ClearStore();
  for (unsigned i = 0; i < kCount; ++i) {
    if (FB_CreateInstance(kTypes[i], static_cast<uint16_t>(kFirst + i))) std::abort();
  }

  const uint8_t control = data[0];
  g_fwRunMode = (control & 1) ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  FB_SetSaveHook((control & 2) ? fullRing : saved);
  FbParamRequest r;
  std::memcpy(r.bytes, data + 1, std::min<size_t>(size - 1, FB_REQUEST_BYTES));
  const unsigned target = (control >> 2) % kCount;
  // Mostly the block of the handler's type; now and then the bytes' own number.
  const uint16_t block = (control & 0x80) ? r.block() : static_cast<uint16_t>(kFirst + target);
  r.setU16(0, block);

  std::vector<std::vector<uint16_t>> before;
  for (unsigned i = 0; i < kCount; ++i) before.push_back(words(static_cast<uint16_t>(kFirst + i)));
  uint16_t bad = 0xFFFF;
  const uint8_t result = FB_GetType(kTypes[target])->param(&r, &bad);
  switch (result) {
    case FB_OK: case FB_ERR_UNKNOWN_ID: case FB_ERR_NO_BLOCK: case FB_ERR_LIMITS:
    case FB_ERR_COUNT_Y: case FB_ERR_COUNT_Z: break;
    default: std::abort();
  }
  if (result != FB_ERR_LIMITS && bad != 0) std::abort();
  for (unsigned i = 0; i < kCount; ++i) {
    const auto b = static_cast<uint16_t>(kFirst + i);
    if ((result != FB_OK || b != block) && words(b) != before[i]) std::abort();
  }
  // An accepted COUNT set keeps y0 within Min and Max.
  if (result == FB_OK && block == kFirst + 5) {
    FbLayout L;
    if (!FB_GetLayout(block, &L)) std::abort();
    const float y0 = L.fp[3 + COUNT_Y0], max = L.fp[3 + COUNT_MAX], min = L.fp[3 + COUNT_MIN];
    if (!(y0 >= min && y0 <= max)) std::abort();
  }
  for (unsigned i = 0; i < kCount; ++i) {
    FB_ApplyPendingFloats(static_cast<uint16_t>(kFirst + i));
    FB_ApplyPendingWords(static_cast<uint16_t>(kFirst + i));
  }
  FB_SetSaveHook(nullptr);
  return 0;
}
