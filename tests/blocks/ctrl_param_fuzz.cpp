// Parameter requests with arbitrary bytes to the controller blocks, in either run mode and
// with the write ring full or not: every answer is one of the handlers' result codes, a read
// names its length, a refused request changes no instance, no request touches another block,
// and the next runs keep the outputs finite.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

#include "blocks/arith/arith.h"
#include "blocks/ctrl/ctrl.h"
#include "blocks/register_all.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_mode.h"

namespace {

constexpr uint16_t kBlocks[] = {300, 301, 302, 303};  // CONTR, CONTR+, PIDMA, ABSV
constexpr uint16_t kTypes[] = {BLK_TYPE_CONTR, BLK_TYPE_CONTR_PLUS, BLK_TYPE_PIDMA,
                               BLK_TYPE_ABSV};

uint8_t fullRing(FbSaveGroup, uint16_t, uint16_t, uint16_t) { return 1; }
uint8_t saved(FbSaveGroup, uint16_t, uint16_t, uint16_t) { return 0; }

std::vector<uint16_t> words(uint16_t block) {
  const uint16_t* p = FB_GetInstance(block);
  return {p, p + p[FB_HDR_SIZE]};
}

void call(uint16_t block, bool init) {
  const FbTypeRecord* t = FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE]);
  g_fbStore.currentBlock = block;
  (init ? t->init : t->run)();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  FB_ClearStore();
  g_fwRunMode = FW_RUN_MODE_STOP;
  for (size_t i = 0; i < std::size(kBlocks); ++i) {
    if (FB_CreateInstance(kTypes[i], kBlocks[i])) std::abort();
    g_fbStore.list[kBlocks[i]].wiring[FB_WIRE_GROUP] = 1;
    call(kBlocks[i], true);
  }

  const uint8_t control = data[0];
  g_fwRunMode = (control & 1) ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  FB_SetSaveHook((control & 2) ? fullRing : saved);
  FbParamRequest r;
  std::memcpy(r.bytes, data + 1, std::min<size_t>(size - 1, FB_REQUEST_BYTES));
  const uint16_t block = kBlocks[(control >> 2) % 3];
  r.setU16(0, block);

  std::vector<std::vector<uint16_t>> before;
  for (uint16_t b : kBlocks) before.push_back(words(b));
  uint16_t bad = 0xFFFF;
  g_fbReadLength = 0;
  const int16_t id = r.id();
  const uint8_t result = FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE])->param(&r, &bad);
  switch (result) {
    case FB_OK: case FB_ERR_UNKNOWN_ID: case FB_ERR_LIMITS: case FB_ERR_COUNT_Y:
    case FB_ERR_COUNT_Z: break;
    default: std::abort();
  }
  if (result != FB_ERR_LIMITS && bad != 0) std::abort();
  if (result == FB_OK && id <= 0 && g_fbReadLength != 1 && g_fbReadLength != 2 &&
      g_fbReadLength != 4) {
    std::abort();
  }
  for (size_t i = 0; i < std::size(kBlocks); ++i) {
    if ((result != FB_OK || kBlocks[i] != block) && words(kBlocks[i]) != before[i]) std::abort();
  }

  for (int cycle = 0; cycle < 2; ++cycle) {
    for (uint16_t b : kBlocks) call(b, false);
  }
  for (uint16_t b : kBlocks) {
    FbLayout L;
    if (!FB_GetLayout(b, &L)) std::abort();
    for (uint16_t o = 0; o < L.analogOutputs; ++o) {
      const float y = L.ao[o];
      if (!std::isfinite(y) || std::fabs(y) > 1.5e37f) std::abort();
    }
  }
  FB_SetSaveHook(nullptr);
  g_fwRunMode = FW_RUN_MODE_STOP;
  return 0;
}
