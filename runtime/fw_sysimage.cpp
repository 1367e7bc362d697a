#include "runtime/fw_sysimage.h"

#include <algorithm>
#include <cstring>

#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_eeprom.h"

// Until the image loader is linked, the image is the main EEPROM's memory (the EEPROM
// address is the image offset) and the parameter-list records are kept in a region of this
// module beside the instance heap.

namespace {

uint8_t g_status = FW_STAT_STOPPED;
uint8_t g_errors = 0;

constexpr uint32_t kRecordRoom = 20000;   // words
uint16_t g_records[kRecordRoom];
uint32_t g_recordWords = 0;

}  // namespace

uint8_t* FW_SysImage() { return FW_MainEepromBase(); }
uint8_t& FW_SysStatus() { return g_status; }
uint8_t& FW_SysErrors() { return g_errors; }

bool FW_SysHasEngineering() {
  const uint8_t* img = FW_SysImage();
  return std::memcmp(img, "MX7N", 4) == 0;
}

int FW_SysLoadEngineering() { return 1; }

int FW_SysLoadAndCheck() {
  if (FB_ResolveConnections() != 0 || FB_CheckChains() != 0) {
    g_errors |= FW_SYS_ERR_FAULTY;
    return 1;
  }
  g_status |= FW_STAT_CHECKED;
  g_errors &= static_cast<uint8_t>(~FW_SYS_ERR_FAULTY);
  return 0;
}

void FW_SysClearEngineering() {
  FB_ClearStore();
  FW_SysClearParamRecords();
  uint8_t* img = FW_SysImage();
  std::fill(img + 256, img + FW_SYS_LOGIN_BLOCK, uint8_t{0});
}

int FW_SysSaveEngineering() { return 0; }

const uint16_t* FW_SysGetParamRecord(uint32_t block) {
  if (block > FB_MAX_BLOCK) return nullptr;
  const uint16_t want = block == 0 ? 1955 : static_cast<uint16_t>(block);
  for (uint32_t at = 0; at + 1 < g_recordWords && g_records[at + 1] >= 2;
       at += g_records[at + 1]) {
    if (g_records[at] == want) return &g_records[at];
  }
  return nullptr;
}

uint8_t FW_SysAppendParamRecord(uint16_t block, const uint16_t* data, uint16_t dataWords) {
  const uint32_t words = uint32_t{dataWords} + 2;
  if (words > 100) return 'l';
  if (block > FB_MAX_BLOCK || (block != 0 && !FB_GetInstance(block))) return 'j';
  if (g_fbStore.instanceFill + g_recordWords + words >= FB_INSTANCE_HEAP_WORDS ||
      g_recordWords + words > kRecordRoom) {
    return 131;
  }
  uint16_t* rec = &g_records[g_recordWords];
  rec[0] = block == 0 ? 1955 : block;
  rec[1] = static_cast<uint16_t>(words);
  if (dataWords) std::memcpy(rec + 2, data, dataWords * sizeof(uint16_t));
  if (block != 0) {
    FbLayout L;
    if (FB_GetLayout(block, &L)) *L.link = g_recordWords + 1;
  }
  g_recordWords += words;
  return 0;
}

void FW_SysClearParamRecords() { g_recordWords = 0; }
