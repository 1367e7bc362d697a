#include "runtime/fw_sysimage.h"

#include <cstring>

#include "runtime/fw_image.h"

// The names used here are the image's own offsets and status bits.
constexpr uint32_t u(uint32_t v) { return v; }
static_assert(FW_SYS_IMAGE_SIZE == FW_IMAGE_SIZE);
static_assert(u(FW_SYS_LOGIN_BLOCK) == u(FW_IMG_LOGIN_BLOCK));
static_assert(FW_SYS_LOGIN_BLOCK + FW_SYS_LOGIN_BLOCK_LEN == FW_IMAGE_SIZE);
static_assert(u(FW_STAT_LOADED) == u(FW_ENG_LOADED) && u(FW_STAT_CHECKED) == u(FW_ENG_VERIFIED) &&
              u(FW_STAT_STOPPED) == u(FW_ENG_STOPPED) && u(FW_STAT_CHANGED) == u(FW_ENG_RUN_OK) &&
              u(FW_STAT_REWRITE) == u(FW_ENG_REWRITE) && FW_SYS_ERR_FAULTY == FW_ENG_ERR_FAULTY);

uint8_t* FW_SysImage() { return g_fwImage; }
uint8_t& FW_SysStatus() { return g_fwEng.status; }
uint8_t& FW_SysErrors() { return g_fwEng.errors; }

bool FW_SysHasEngineering() {
  return std::memcmp(g_fwImage + FW_IMG_TAG, FW_IMAGE_TAG, sizeof FW_IMAGE_TAG) == 0;
}

int FW_SysLoadEngineering() {
  // An image without an engineering of this firmware is not loaded at all: the attempt
  // would clear what is loaded now.
  if (!FW_SysHasEngineering() || !FW_CheckImageIdentity(g_fwImage)) return 1;
  return FW_LoadEngineering();
}
int FW_SysLoadAndCheck() { return FW_LoadEngineeringData(); }
void FW_SysClearEngineering() { FW_ClearEngineering(); }
int FW_SysSaveEngineering() { return FW_SaveEngineering(); }

const uint16_t* FW_SysGetParamRecord(uint32_t block) {
  if (block > FB_MAX_BLOCK) return nullptr;
  return FW_GetParamRecord(block);
}

uint8_t FW_SysAppendParamRecord(uint16_t block, const uint16_t* data, uint16_t dataWords) {
  if (block > FB_MAX_BLOCK) return FB_ERR_NO_BLOCK;
  return FW_AppendParamRecord(block == 0 ? FW_PARAM_SYSTEM_BLOCK : block, data, dataWords);
}
