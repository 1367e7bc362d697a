#include "runtime/fw_login.h"

#include <algorithm>
#include <cstring>

#include "runtime/fw_eeprom.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"

FwLoginState g_fwLogin{};

namespace {

uint32_t g_random = 0x2545F491u;

// Any generator serves for the filler words of the login block.
uint8_t randomByte() {
  g_random ^= g_random << 13;
  g_random ^= g_random >> 17;
  g_random ^= g_random << 5;
  return static_cast<uint8_t>(g_random >> 11);
}

bool noPassword(const uint8_t* r) {
  return std::all_of(r, r + FW_PASSWORD_LEN, [](uint8_t b) { return b == 0xFF; }) ||
         std::all_of(r, r + FW_PASSWORD_LEN, [](uint8_t b) { return b == 0x00; });
}

// Bytes of the size-test pattern written at start-up: 0, 1 and the powers of two.
bool isPatternByte(uint32_t offset) {
  return offset <= 1 || (offset & (offset - 1)) == 0;
}

uint8_t upper(uint8_t c) { return (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 32) : c; }

void raiseStore(uint32_t flags) { g_fwSys.storeFlags |= flags; }

}  // namespace

void FW_ResetLogin() {
  g_fwLogin.access = FW_ACCESS_OPEN;
  g_fwLogin.wrongTries = 0;
  std::fill(std::begin(g_fwLogin.record), std::end(g_fwLogin.record), uint8_t{0xFF});
}

int FW_PasswordEncode(const char* text, uint8_t out[FW_PASSWORD_LEN]) {
  if (!text || !out || text[0] == '\0') return 0;
  uint8_t e[FW_PASSWORD_LEN];
  std::memcpy(e, out, sizeof e);
  uint32_t a = 0;
  uint8_t sum = 0;
  for (; a < FW_PASSWORD_LEN && text[a] != '\0'; ++a) {
    e[a] = static_cast<uint8_t>(upper(static_cast<uint8_t>(text[a])) - 32);
    sum = static_cast<uint8_t>(sum + e[a]);
  }
  if (a < FW_PASSWORD_LEN) {
    // Spread the short text over the rest of the field (a >= 1, so 16 - a - k stays in 1..15).
    for (uint32_t k = 0; k <= FW_PASSWORD_LEN - 1 - a; ++k) {
      const uint32_t from = FW_PASSWORD_LEN - a - k;
      e[a + k] = static_cast<uint8_t>(e[from] << (from % 8));
    }
  }
  e[0] = static_cast<uint8_t>(e[0] + sum);
  for (uint32_t p = 1; p < FW_PASSWORD_LEN; ++p) e[p] = static_cast<uint8_t>(e[p] + e[p - 1]);
  uint8_t mixed[FW_PASSWORD_LEN];
  for (uint32_t p = 0; p < FW_PASSWORD_LEN; ++p) {
    const uint8_t prev = e[(p + FW_PASSWORD_LEN - 1) % FW_PASSWORD_LEN];
    mixed[p] = static_cast<uint8_t>((e[p] >> 2) ^ (prev << 5));
  }
  std::memcpy(out, mixed, sizeof mixed);
  return 1;
}

int FW_PasswordCheck(const char* text) {
  // Without a password there is nothing to log in to: no lock, no count.
  if (g_fwLogin.access == FW_ACCESS_OPEN) return 0;
  uint8_t e[FW_PASSWORD_LEN];
  std::fill(std::begin(e), std::end(e), uint8_t{0xFF});
  if (FW_PasswordEncode(text, e) &&
      std::memcmp(e, g_fwLogin.record, FW_PASSWORD_LEN) == 0) {
    g_fwLogin.access = FW_ACCESS_LOGGED_IN;
    if (g_fwLogin.wrongTries != 0) raiseStore(FW_STORE_LOGIN_SETTINGS);
    g_fwLogin.wrongTries = 0;
    return 1;
  }
  const uint32_t allowed = FW_SysImage()[FW_SYS_LOGIN_TRIES];
  if (allowed != 0) {
    if (g_fwLogin.wrongTries < 0xFF) ++g_fwLogin.wrongTries;
    raiseStore(FW_STORE_LOGIN_SETTINGS);
  }
  if (allowed == 0 || 2 * allowed >= g_fwLogin.wrongTries) {
    g_fwLogin.access = FW_ACCESS_LOCKED;
    return 0;
  }
  FW_PasswordClear();
  return 0;
}

void FW_PasswordSet(const char* text) {
  uint8_t* img = FW_SysImage();
  std::fill(std::begin(g_fwLogin.record), std::end(g_fwLogin.record), uint8_t{0xFF});
  g_fwLogin.wrongTries = 0;
  if (!text || text[0] == '\0' || text[0] == ' ') {
    g_fwLogin.access = FW_ACCESS_OPEN;
  } else {
    FW_PasswordEncode(text, g_fwLogin.record);
    g_fwLogin.access = FW_ACCESS_LOGGED_IN;
    if (img[FW_SYS_LOGIN_LEVEL] > 3) img[FW_SYS_LOGIN_LEVEL] = 0;
    if (img[FW_SYS_LOGIN_TRIES] >= 100) img[FW_SYS_LOGIN_TRIES] = 10;
  }
  raiseStore(FW_STORE_LOGIN | FW_STORE_LOGIN_SETTINGS);
}

int FW_PasswordClear() {
  uint8_t* img = FW_SysImage();
  g_fwRunMode = FW_RUN_MODE_STOP;
  img[FW_SYS_RUN_MODE] = FW_RUN_MODE_STOP;
  uint8_t& status = FW_SysStatus();
  status |= FW_STAT_STOPPED;
  if (FW_QueueEepromWrite(&img[FW_SYS_RUN_MODE], FW_SYS_RUN_MODE, 1) != FW_QUEUE_OK) {
    raiseStore(FW_STORE_STOP);  // the system block queues it at a later tick
  }
  FW_SysErrors() &= static_cast<uint8_t>(~FW_SYS_ERR_FAULTY);
  status &= static_cast<uint8_t>(~(FW_STAT_LOADED | FW_STAT_CHECKED));
  g_fwLogin.access = FW_ACCESS_OPEN;
  g_fwLogin.wrongTries = 0;
  std::fill(std::begin(g_fwLogin.record), std::end(g_fwLogin.record), uint8_t{0xFF});
  // The removed password must not come back at the next start.
  raiseStore(FW_STORE_LOGIN | FW_STORE_LOGIN_SETTINGS);
  FW_SysClearEngineering();
  FW_SysStatus() |= FW_STAT_REWRITE;
  return FW_SysSaveEngineering();
}

void FW_PasswordLoad() {
  const uint8_t* block = FW_SysImage() + FW_SYS_LOGIN_BLOCK;
  uint8_t r[FW_PASSWORD_LEN];
  for (uint32_t i = 0; i < 8; ++i) {
    r[2 * i] = block[FW_LOGIN_RECORD_OFFSETS[i]];
    r[2 * i + 1] = block[FW_LOGIN_RECORD_OFFSETS[i] + 1];
  }
  if (noPassword(r)) return;
  std::memcpy(g_fwLogin.record, r, sizeof r);
  g_fwLogin.access = FW_ACCESS_LOCKED;
}

int FW_PasswordStore() {
  uint8_t* block = FW_SysImage() + FW_SYS_LOGIN_BLOCK;
  // Fresh filler only when the block is to carry another record or count: a store of what
  // it already holds leaves the image as it was, so an untouched project stays unchanged.
  bool same = block[FW_LOGIN_TRIES_OFFSET] == g_fwLogin.wrongTries;
  for (uint32_t i = 0; same && i < 8; ++i) {
    same = block[FW_LOGIN_RECORD_OFFSETS[i]] == g_fwLogin.record[2 * i] &&
           block[FW_LOGIN_RECORD_OFFSETS[i] + 1] == g_fwLogin.record[2 * i + 1];
  }
  for (uint32_t at = 0; !same && at < FW_SYS_LOGIN_BLOCK_LEN; ++at) {
    if (!isPatternByte(at)) block[at] = randomByte();
  }
  block[FW_LOGIN_TRIES_OFFSET] = g_fwLogin.wrongTries;
  for (uint32_t i = 0; i < 8; ++i) {
    block[FW_LOGIN_RECORD_OFFSETS[i]] = g_fwLogin.record[2 * i];
    block[FW_LOGIN_RECORD_OFFSETS[i] + 1] = g_fwLogin.record[2 * i + 1];
  }
  return FW_QueueEepromWrite(block, FW_SYS_LOGIN_BLOCK, FW_SYS_LOGIN_BLOCK_LEN) == FW_QUEUE_OK ? 0
                                                                                           : 1;
}

int FW_LoginSettingsStore() {
  uint8_t* img = FW_SysImage();
  uint8_t* counter = img + FW_SYS_LOGIN_BLOCK + FW_LOGIN_TRIES_OFFSET;
  *counter = g_fwLogin.wrongTries;
  if (FW_QueueEepromWrite(img + FW_SYS_LOGIN_LEVEL, FW_SYS_LOGIN_LEVEL, 2) != FW_QUEUE_OK) return 1;
  // The settings bytes are queued; should the ring be full now, the counter goes with the
  // next store of the login block or settings.
  return FW_QueueEepromWrite(counter, FW_SYS_LOGIN_BLOCK + FW_LOGIN_TRIES_OFFSET, 1) ==
                 FW_QUEUE_OK
             ? 0
             : 1;
}

int FW_CheckEditAccess(uint16_t type, uint16_t item, uint16_t source) {
  const bool locked = g_fwLogin.access == FW_ACCESS_LOCKED;
  const uint8_t level = FW_SysImage()[FW_SYS_LOGIN_LEVEL];
  if (type == 180) return locked ? 0 : 1;
  if (((type >= 113 && type <= 149) || type == 179) && locked && level >= 1) return 0;
  if (type == 178 && item == 0) return 1;
  if (type == 178 || (type >= 65 && type <= 101)) return locked && level >= 2 ? 0 : 1;
  if (type == 177 || (type <= 57 && (item != 0 || source == 1))) {
    return locked && level >= 3 ? 0 : 1;
  }
  return 1;
}
