// Block data requests and system-data requests with arbitrary bytes: every answer is one of
// the result codes, a refused request changes nothing, and a read answer stays inside the
// request record.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/fb_blockdata.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_image.h"
#include "runtime/fw_sysimage.h"

namespace {

constexpr float kFloats[] = {1.0f, 2.0f};
constexpr uint16_t kWords[] = {4};
constexpr uint16_t kValues[] = {0};
constexpr const char* kTexts[] = {"FUZZ", "TWO"};
constexpr FbTemplate kTemplate{.size = 0, .type = 10, .analogOutputs = 1, .digitalOutputs = 1,
                               .analogInputs = 2, .digitalInputs = 1, .floatParams = kFloats,
                               .wordParams = kWords, .wordValues = kValues, .texts = kTexts};
FbTemplate g_template;
constexpr FbBlockRange kFixed[] = {{61, 85}, {0, 0}};
constexpr FbTemplate kFixedTemplate{.size = 0, .type = 12, .analogInputs = 1};
FbTemplate g_fixed;
void noop() {}

std::vector<uint16_t> heap() {
  return {g_fbStore.instanceHeap, g_fbStore.instanceHeap + g_fbStore.instanceFill};
}
std::vector<uint16_t> wiring() {
  return {g_fbStore.wiringHeap, g_fbStore.wiringHeap + g_fbStore.wiringFill + 1};
}

bool known(uint8_t r) {
  switch (r) {
    case FB_OK: case FB_ERR_ABSENT: case FB_ERR_NOT_NOW: case FB_ERR_UNKNOWN_ID:
    case FB_ERR_NO_BLOCK: case FB_ERR_LIMITS: case FB_ERR_COUNT_Y: case FB_ERR_COUNT_Z:
    case FB_ERR_NO_ROOM:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  FB_ClearTypeTable();
  g_template = kTemplate;
  g_template.size = static_cast<uint16_t>(FB_LayoutWords(g_template));
  g_fixed = kFixedTemplate;
  g_fixed.size = static_cast<uint16_t>(FB_LayoutWords(g_fixed));
  if (FB_RegisterType(10, FB_TypeFromTemplate(&g_template, noop, noop, FB_StandardParam, nullptr,
                                              FB_COMMON_BLOCK_RANGES, 0, 0, 0)) ||
      FB_RegisterType(12, FB_TypeFromTemplate(&g_fixed, noop, noop, FB_StandardParam, nullptr,
                                              kFixed, 1, 0, 0))) {
    std::abort();
  }
  FW_RegisterSystemType();
  FW_ClearEngineering();
  FW_ResetEeprom();
  std::memset(FW_SysImage(), 0, 256);
  FW_ResetSystemData();
  FW_ResetLogin();
  if (FB_CreateInstance(10, 200) || FB_CreateInstance(10, 201)) std::abort();

  const uint8_t control = data[0];
  g_fwRunMode = (control & 1) ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  if (control & 2) FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = '3';
  if (control & 4) FW_PasswordSet("pw");
  FbParamRequest r;
  const size_t n = std::min<size_t>(size - 1, FB_REQUEST_BYTES);
  std::memcpy(r.bytes, data + 1, n);

  const std::vector<uint16_t> heapBefore = heap(), wiringBefore = wiring();
  uint8_t imageBefore[256];
  std::memcpy(imageBefore, FW_SysImage(), sizeof imageBefore);
  const FwClockState clockBefore = g_fwClock;
  uint16_t bad = 0;
  uint8_t result;
  bool isWrite;
  switch ((control >> 3) & 3) {
    case 0:
      isWrite = r.id() > 0;
      result = isWrite ? FB_BlockDataWrite(&r, &bad, static_cast<uint32_t>(n))
                       : FB_BlockDataRead(&r, &bad);
      if (!isWrite && result == FB_OK && 4u + bad > FB_REQUEST_BYTES) std::abort();
      break;
    default:
      r.setU16(0, 0);
      isWrite = r.id() > 0;
      result = FW_WriteSystemData(&r, &bad);
      if (!isWrite && g_fwSys.answerLength + 4u > FB_REQUEST_BYTES) std::abort();
      break;
  }
  if (!known(result)) std::abort();
  if (isWrite && result != FB_OK) {
    if (heap() != heapBefore || wiring() != wiringBefore) std::abort();
    if (std::memcmp(imageBefore, FW_SysImage(), sizeof imageBefore) != 0) std::abort();
    if (std::memcmp(clockBefore.edit, g_fwClock.edit, sizeof clockBefore.edit) != 0) std::abort();
  }
  if (!isWrite && (heap() != heapBefore || wiring() != wiringBefore)) std::abort();
  return 0;
}
