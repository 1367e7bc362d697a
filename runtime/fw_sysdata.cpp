#include "runtime/fw_sysdata.h"

#include <cstring>

#include "runtime/fw_clock.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_io.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysimage.h"

FwSystemData g_fwSys{};
FwSystemHooks g_fwSysHooks{};
uint16_t g_fwDhSwitchCopy = 0;

namespace {

uint8_t* img() { return FW_SysImage(); }

uint8_t orderDigit(uint32_t i) { return img()[FW_SYS_ORDER_DIGITS + i]; }
// The numeric value of an order-code digit (0 for a character that is no digit).
uint32_t digitValue(uint32_t i) {
  const uint8_t c = orderDigit(i);
  return c >= '0' && c <= '9' ? c - '0' : 0u;
}
uint8_t commOption() { return orderDigit(2); }

bool queue(uint32_t offset, uint32_t length) {
  return FW_QueueEepromWrite(img() + offset, offset, length) == FW_QUEUE_OK;
}

// Image byte and store flag of each shadow of data 3000..3008.
constexpr uint32_t kShadowOffset[FW_SH_COUNT] = {FW_SYS_PROTOCOL, FW_SYS_BAUD,     FW_SYS_ADDRESS,
                                                 FW_SYS_BYTE44,   FW_SYS_LANGUAGE, FW_SYS_BUS_NODE,
                                                 FW_SYS_BUS_RATE, FW_SYS_BYTE50,   FW_SYS_BYTE49};
constexpr uint32_t kShadowFlag[FW_SH_COUNT] = {FW_STORE_PROTOCOL, FW_STORE_BAUD,   FW_STORE_ADDRESS,
                                               FW_STORE_BYTE44,   FW_STORE_LANGUAGE, FW_STORE_BUS,
                                               FW_STORE_BUS,      FW_STORE_BYTE50, FW_STORE_BYTE49};

// Fills the shadows from the settings bytes; with `onlyStored`, only those whose store flag is
// clear, so that a change still waiting for the write ring is not overwritten.
void loadShadows(bool onlyStored) {
  const uint32_t flags = onlyStored ? g_fwSys.storeFlags : 0;
  for (uint16_t k = 0; k < FW_SH_COUNT; ++k) {
    if (!(flags & kShadowFlag[k])) g_fwSys.shadow[k] = img()[kShadowOffset[k]];
  }
  if (!(flags & FW_STORE_FLAGS38)) {
    for (uint16_t b = 0; b < 3; ++b) g_fwSys.flagShadow[b] = (img()[FW_SYS_FLAGS38] >> b) & 1;
  }
}

// I/O board kinds from the order-code digits: board 0 the base card (1), boards 1 and 2 the
// slot digits (2 -> 2, 1 -> 3, else none), board 3 the analog card (5) or the standard (4).
uint16_t boardKind(uint32_t board) {
  switch (board) {
    case 0: return 1;
    case 1:
    case 2: {
      const uint8_t d = orderDigit(board == 1 ? 4 : 5);
      return d == '2' ? 2 : (d == '1' ? 3 : 0);
    }
    default: return (digitValue(1) & 2) ? 5 : 4;
  }
}

uint16_t maxAddress() {
  if (commOption() == '3') return 126;
  return img()[FW_SYS_PROTOCOL] == 3 ? 247 : 99;
}

// ---------------------------------------------------------------------------------------
// Answers

struct Answer {
  FbParamRequest* r;
  uint8_t byte(uint32_t v) {
    r->setU8(4, static_cast<uint8_t>(v));
    g_fwSys.answerLength = 1;
    return FB_OK;
  }
  uint8_t word(uint32_t v) {
    r->setU16(4, static_cast<uint16_t>(v));
    g_fwSys.answerLength = 2;
    return FB_OK;
  }
  uint8_t dword(uint32_t v) {
    r->setU32(4, v);
    g_fwSys.answerLength = 4;
    return FB_OK;
  }
  uint8_t words(const uint16_t* w, uint32_t n) {
    r->setU8(4, static_cast<uint8_t>(n + 1));
    r->setU8(5, 0);
    r->setU16(6, 0);
    for (uint32_t i = 0; i < n; ++i) r->setU16(8 + 2 * i, w[i]);
    g_fwSys.answerLength = static_cast<uint16_t>(4 + 2 * n);
    return FB_OK;
  }
  uint8_t text(const uint8_t* t) {
    std::memcpy(r->bytes + 4, t, 16);
    g_fwSys.answerLength = 16;
    return FB_OK;
  }
};

uint16_t flags38Read(uint32_t bit) {
  return (g_fwSys.flagShadow[bit] || g_fwSys.locks[bit]) ? 1 : 0;
}
bool writeLocked() { return FW_InterfaceWriteLocked(); }

uint8_t readData(FbParamRequest* r, int32_t number) {
  Answer a{r};
  const uint8_t* im = img();
  const uint8_t status = FW_SysStatus();
  switch (number) {
    case 0:
      return a.byte((g_fwSys.actionByte ? 1 : 0) | (im[FW_SYS_RUN_MODE] == 1 ? 2 : 0) |
                    ((im[FW_SYS_FLAGS38] >> 5 & 1) << 2) | ((g_fwSys.deviceFlags >> 1 & 1) << 3) |
                    ((g_fwSys.requestFlags >> 1 & 1) << 4) | ((status >> 3 & 1) << 5));
    case 1:
      return a.byte((status & 3) | flags38Read(0) << 2 | flags38Read(1) << 3 |
                    flags38Read(2) << 4 | (writeLocked() ? 0x20 : 0));
    case 9:
      if (commOption() != '3') return a.byte(0);
      return a.byte((g_fwSys.cardBusStatus & 0x0F) | ((g_fwSys.cardDeviceStatus >> 2 & 1) << 4) |
                    (im[FW_SYS_CARD_ADDR_SET] ? 0x20 : 0));
    case 500: return a.word(im[FW_SYS_RUN_MODE] == 1 ? 1 : 0);
    case 501: return a.word(im[FW_SYS_FLAGS38] >> 5 & 1);
    case 502: return a.word(status >> 3 & 1);
    case 503: return a.word((status & FW_STAT_LOADED) ? 0 : 1);
    case 504: return a.word(status >> 1 & 1);
    case 506: return a.word(g_fwSys.requestFlags >> 1 & 1);
    case 507: return a.word(writeLocked() ? 1 : 0);
    case 509: {
      const uint16_t k3 = boardKind(3);
      return a.word((boardKind(0) == 1 ? 2400 : 2490) + (k3 == 4 ? 1 : (k3 == 5 ? 0 : 9)));
    }
    case 510:
      return a.word(1000 * digitValue(2) + 100 * boardKind(0) + 10 * boardKind(1) + digitValue(3));
    case 511: return a.word(0);
    case 512: {
      uint32_t v = 0;
      for (uint32_t i = 0; i < 4; ++i) {
        const uint8_t c = im[FW_SYS_IDENT + i];
        v = 10 * v + (c >= '0' && c <= '9' ? c - '0' : 0u);
      }
      return a.word(v);
    }
    case 513: return a.word(('A' - '0') * 1000 + 4 * 100 + 2);
    case 514: return a.word(static_cast<uint16_t>(528 - 10 * '0' - '4'));
    case 515: return a.word(im[FW_SYS_BYTE31]);
    case 519: return a.word(im[FW_SYS_BYTE32]);
    case 516: {
      const uint16_t k3 = boardKind(3);
      const uint32_t board = k3 == 4 ? (digitValue(1) & 1) : (k3 == 5 ? (digitValue(1) & 1) + 2 : 9);
      const uint8_t c = commOption();
      const uint32_t comm = (c >= '0' && c <= '4') ? c - '0' : 9u;
      return a.word(1000 * digitValue(0) + 100 * board + 10 * comm + digitValue(3));
    }
    case 520: return a.word(230);
    case 521: return a.word(18007);
    case 522:
      if (FW_SysHasEngineering()) return FB_ERR_UNKNOWN_ID;
      return a.word(g_fwSysHooks.keyCode ? g_fwSysHooks.keyCode() : 0);
    case 527:
      if (commOption() != '3') return FB_ERR_ABSENT;
      return a.word(g_fwSys.shadow[FW_SH_ADDRESS]);
    case 528:
      if (commOption() != '3') return FB_ERR_ABSENT;
      return a.word(im[FW_SYS_CARD_ADDR_SET]);
    case 536: return a.word(im[FW_SYS_LOGIN_LEVEL]);
    case 537: return a.word(im[FW_SYS_LOGIN_TRIES]);
    case 538: return a.word(g_fwLogin.access);
    case 545: return a.dword(g_fwSys.counters[0]);
    case 546: return a.dword(g_fwSys.counters[1]);
    case 561: {
      const uint8_t c = commOption();
      const bool node = g_fwSysHooks.busNodeKnown && g_fwSysHooks.busNodeKnown();
      return a.word((c > '0' ? 1 : 0) | (c == '2' ? 2 : 0) | (c == '3' ? 4 : 0) |
                    (c == '4' ? 8 : 0) | (node ? 0x10 : 0) | (g_fwSys.boardFlags & 3) << 8 |
                    (g_fwClock.wasSet ? 0x400 : 0) | (g_fwSys.startupDone ? 0 : 0x800));
    }
    case 1250: return a.word(g_fwClock.now.year % 100);
    case 1251: return a.word(g_fwClock.now.month);
    case 1252: return a.word(g_fwClock.now.day);
    case 1253: return a.word(g_fwClock.now.hour);
    case 1254: return a.word(g_fwClock.now.minute);
    case 1255: case 1256: case 1257: return a.word(g_fwSys.flagShadow[number - 1255]);
    case 4000: {
      const FwClockFields& c = g_fwClock.now;
      const uint16_t w[8] = {static_cast<uint16_t>(c.year % 100), c.month, c.day, c.hour, c.minute,
                             g_fwSys.flagShadow[0], g_fwSys.flagShadow[1], g_fwSys.flagShadow[2]};
      return a.words(w, 8);
    }
    case 4005: {
      uint16_t w[14];
      for (uint32_t i = 0; i < 14; ++i) w[i] = im[FW_SYS_IO_SETTINGS + i];
      return a.words(w, 14);
    }
    case 4006: {
      // Bytes 59, 60, then 61..72 one by one, then 81..86; the last word stays 0.
      uint16_t w[21] = {};
      for (uint32_t i = 0; i < 14; ++i) w[i] = im[FW_SYS_IO_SETTINGS + i];
      for (uint32_t i = 0; i < 6; ++i) w[14 + i] = im[81 + i];
      return a.words(w, 21);
    }
    case 4010: return a.words(g_fwSys.shadow, FW_SH_COUNT);
    case 4082: return a.text(im + FW_SYS_TEXT4082);
    case 4110: case 4111: case 4112: case 4113: {
      uint16_t w[FW_IO_MODULE_WORDS];
      FW_IoModuleData(static_cast<uint32_t>(number - 4110), w);
      return a.words(w, FW_IO_MODULE_WORDS);
    }
    case 4130: case 4131: case 4132: case 4133: {
      // The 56 bytes of the channels as 28 little-endian words.
      uint8_t bytes[FW_IO_VALUE_BYTES];
      FW_IoChannelValues(static_cast<uint32_t>(number - 4130), bytes);
      uint16_t w[FW_IO_VALUE_BYTES / 2];
      for (uint32_t i = 0; i < FW_IO_VALUE_BYTES / 2; ++i) {
        w[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
      }
      return a.words(w, FW_IO_VALUE_BYTES / 2);
    }
    default:
      if (number >= 554 && number <= 560) return a.word(g_fwSys.boardVersion[number - 554]);
      if (number >= 3000 && number <= 3008) return a.word(g_fwSys.shadow[number - 3000]);
      return FB_ERR_UNKNOWN_ID;
  }
}

// ---------------------------------------------------------------------------------------
// Writes

uint8_t limits(uint16_t* badIndex, uint16_t index) {
  if (badIndex) *badIndex = index;
  return FB_ERR_LIMITS;
}

void setShadow(uint16_t k, uint16_t v) {
  g_fwSys.shadow[k] = v;
  g_fwSys.storeFlags |= kShadowFlag[k];
  if (k == FW_SH_ADDRESS) {
    img()[FW_SYS_CARD_ADDR_SET] = 0;
    g_fwSys.storeFlags |= FW_STORE_CARD_ADDR;
  }
}

void setFlag38(uint32_t bit, bool on) {
  uint8_t& b = img()[FW_SYS_FLAGS38];
  b = static_cast<uint8_t>(on ? (b | (1u << bit)) : (b & ~(1u << bit)));
  g_fwSys.storeFlags |= FW_STORE_FLAGS38;
}

// Checks one clock field (1-based place 1 year .. 5 minute); the day against the given month
// and year.
bool clockFieldOk(uint32_t place, int32_t v, uint32_t month, uint32_t year) {
  switch (place) {
    case 1: return FW_CheckYear(v);
    case 2: return v >= 1 && v <= 12;
    case 3: return v >= 1 && v <= FW_DaysInMonth(month, year);
    case 4: return v >= 0 && v <= 23;
    default: return v >= 0 && v <= 59;
  }
}

// Puts accepted clock fields into the edit copy; the set becomes pending when one differs.
void setClockFields(const uint16_t* fields, uint32_t first, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t place = first + i;
    const uint16_t v = place == 1 ? FW_FullYear(static_cast<int16_t>(fields[i])) : fields[i];
    if (g_fwClock.edit[place - 1] != v) {
      g_fwClock.edit[place - 1] = v;
      g_fwClock.setPending = 1;
    }
  }
}

void copyText(const FbParamRequest* r, char out[17]) {
  std::memcpy(out, r->bytes + 4, 16);
  out[16] = '\0';
  FW_TrimRight(out);
}

// The I/O card records: 4120 + k configures one channel (the record's index word at offset
// 6 names it, 1..4) of card k with eight words and two reference temperatures; 4140 + k sets
// the output test of card k with four channel masks and eight percentages. Every value is
// checked before anything is taken ('l' with the 1-based place of the first bad one).
uint8_t writeCardRecord(FbParamRequest* r, int32_t number, uint16_t* badIndex) {
  static constexpr int16_t kConfigMax[8] = {48, 2, 1, 2, 48, 2, 1, 2};
  const bool config = number < 4140;
  const uint32_t card = static_cast<uint32_t>(number - (config ? 4120 : 4140));
  const uint16_t nWords = config ? 8 : 4, nFloats = config ? 2 : 8;
  if (const uint8_t h = FB_CheckRequestHeader(r, nWords + 1, nFloats)) return h;
  const uint16_t channel = r->u16(6);
  if (config && (channel < 1 || channel > FW_IO_CHANNELS)) return FB_ERR_SUBINDEX;
  uint16_t words[8];
  float floats[8];
  for (uint16_t i = 0; i < nWords; ++i) {
    const auto x = static_cast<int16_t>(r->u16(FB_REQUEST_ITEMS + 2u * i));
    if (x < 0 || x > (config ? kConfigMax[i] : 15)) return limits(badIndex, static_cast<uint16_t>(i + 1));
    words[i] = static_cast<uint16_t>(x);
  }
  for (uint16_t j = 0; j < nFloats; ++j) {
    const float x = r->f32(FB_REQUEST_ITEMS + 2u * nWords + 4u * j);
    const bool ok = config ? (x >= 0.0f && x <= 140.0f) : (x >= -10.0f && x <= 110.0f);
    if (!ok) return limits(badIndex, static_cast<uint16_t>(nWords + j + 1));
    floats[j] = x;
  }
  if (config) {
    FW_IoConfigureChannel(card, channel - 1u, words, floats);
  } else {
    FW_IoSetCardTest(card, words, floats);
  }
  return FB_OK;
}

uint8_t writeData(FbParamRequest* r, int32_t number, uint16_t* badIndex) {
  uint8_t* im = img();
  const auto v = static_cast<int16_t>(r->u16(FB_REQUEST_VALUE));
  const bool bit = v == 0 || v == 1;
  uint8_t& status = FW_SysStatus();
  const bool stopped = g_fwRunMode == FW_RUN_MODE_STOP;
  switch (number) {
    case 500:
      if (v == 1) {
        if (im[FW_SYS_RUN_MODE] != 1) {
          g_fwSys.storeFlags = (g_fwSys.storeFlags & ~FW_STORE_RUN) | FW_STORE_STOP;
        }
        return FB_OK;
      }
      if (v == 2) {
        if (!stopped || FW_SysLoadEngineering() != 0) return FB_ERR_NOT_NOW;
        // Only an engineering that passed its checks is started.
        if (!(status & FW_STAT_CHECKED)) return FB_ERR_NOT_NOW;
        g_fwSys.storeFlags = (g_fwSys.storeFlags & ~FW_STORE_STOP) | FW_STORE_RUN;
        return FB_OK;
      }
      if (v == 0) {
        if (!(status & FW_STAT_CHECKED)) return FB_ERR_NOT_NOW;
        if (im[FW_SYS_RUN_MODE] == 1) {
          g_fwSys.storeFlags = (g_fwSys.storeFlags & ~FW_STORE_STOP) | FW_STORE_RUN;
        }
        return FB_OK;
      }
      return limits(badIndex, 0);
    case 501: case 508:
      if (!bit) return limits(badIndex, 0);
      setFlag38(5, v == 1);
      return FB_OK;
    case 502:
      if (v != 0) return limits(badIndex, 0);
      status &= static_cast<uint8_t>(~FW_STAT_CHANGED);
      return FB_OK;
    case 503:
      if (v != 1) return limits(badIndex, 0);
      if (!stopped || g_fwLogin.access == FW_ACCESS_LOCKED) return FB_ERR_NOT_NOW;
      status &= static_cast<uint8_t>(~(FW_STAT_LOADED | FW_STAT_CHECKED));
      g_fwSys.requestFlags2 &= static_cast<uint8_t>(~0x08);
      g_fwSys.actionByte = 0;
      g_fwSys.actionWord = 0;
      std::memset(g_fwSys.locks, 0, sizeof g_fwSys.locks);
      FW_SysClearEngineering();
      return FB_OK;
    case 504:
      if (v != 1) return limits(badIndex, 0);
      if (!(status & FW_STAT_CHECKED) && !(g_fwSys.deviceFlags & 2) && FW_SysLoadAndCheck() == 0) {
        status |= FW_STAT_LOADED;
      }
      return FB_OK;
    case 506:
      if (v != 1) return limits(badIndex, 0);
      g_fwSys.requestFlags |= 2;
      return FB_OK;
    case 507:
      if (!bit) return limits(badIndex, 0);
      setFlag38(4, v == 1);
      return FB_OK;
    case 522:
      if (FW_SysHasEngineering()) return FB_ERR_NOT_NOW;
      if (!bit) return limits(badIndex, 0);
      g_fwSys.keyTest = static_cast<uint8_t>(v);
      return FB_OK;
    case 527:
      if (commOption() != '3') return FB_ERR_ABSENT;
      if (im[FW_SYS_CARD_ADDR_SET]) return FB_ERR_NOT_NOW;
      if (v < 1 || v > maxAddress()) return limits(badIndex, 0);
      setShadow(FW_SH_ADDRESS, static_cast<uint16_t>(v));
      im[FW_SYS_CARD_ADDR_SET] = 1;
      return FB_OK;
    case 528:
      if (commOption() != '3') return FB_ERR_ABSENT;
      if (!bit) return limits(badIndex, 0);
      im[FW_SYS_CARD_ADDR_SET] = static_cast<uint8_t>(v);
      g_fwSys.storeFlags |= FW_STORE_CARD_ADDR;
      return FB_OK;
    case 536: case 537:
      if (g_fwLogin.access == FW_ACCESS_LOCKED) return FB_ERR_NOT_NOW;
      if (v < 0 || v > (number == 536 ? 3 : 99)) return limits(badIndex, 0);
      im[number == 536 ? FW_SYS_LOGIN_LEVEL : FW_SYS_LOGIN_TRIES] = static_cast<uint8_t>(v);
      g_fwSys.storeFlags |= FW_STORE_LOGIN_SETTINGS;
      return FB_OK;
    case 538:
      if (v != FW_ACCESS_LOCKED) return limits(badIndex, 0);
      if (g_fwLogin.access == FW_ACCESS_OPEN) return FB_ERR_NOT_NOW;
      g_fwLogin.access = FW_ACCESS_LOCKED;
      return FB_OK;
    case 1250: case 1251: case 1252: case 1253: case 1254: {
      const uint32_t place = static_cast<uint32_t>(number - 1249);
      if (!clockFieldOk(place, v, g_fwClock.edit[1], g_fwClock.edit[0])) return limits(badIndex, 0);
      const uint16_t field = static_cast<uint16_t>(v);
      setClockFields(&field, place, 1);
      return FB_OK;
    }
    case 1255: case 1256: case 1257:
      if (!bit) return limits(badIndex, 0);
      g_fwSys.flagShadow[number - 1255] = static_cast<uint16_t>(v);
      g_fwSys.storeFlags |= FW_STORE_FLAGS38;
      return FB_OK;
    case 4000: {
      if (const uint8_t h = FB_CheckRequestHeader(r, 9, 0)) return h;
      uint16_t w[8];
      for (uint32_t i = 0; i < 8; ++i) w[i] = r->u16(FB_REQUEST_ITEMS + 2 * i);
      const auto s = [&](uint32_t i) { return static_cast<int16_t>(w[i]); };
      const uint32_t year = FW_CheckYear(s(0)) ? FW_FullYear(s(0)) : 0;
      for (uint32_t place = 1; place <= 5; ++place) {
        if (!clockFieldOk(place, s(place - 1), w[1], year)) return limits(badIndex, static_cast<uint16_t>(place));
      }
      for (uint32_t i = 5; i < 8; ++i) {
        if (w[i] > 1) return limits(badIndex, static_cast<uint16_t>(i + 1));
      }
      setClockFields(w, 1, 5);
      for (uint32_t b = 0; b < 3; ++b) {
        if (g_fwSys.flagShadow[b] != w[5 + b]) {
          g_fwSys.flagShadow[b] = w[5 + b];
          g_fwSys.storeFlags |= FW_STORE_FLAGS38;
        }
      }
      return FB_OK;
    }
    case 4005: {
      if (const uint8_t h = FB_CheckRequestHeader(r, 15, 0)) return h;
      for (uint32_t i = 0; i < 14; ++i) {
        if (r->u16(FB_REQUEST_ITEMS + 2 * i) > (i < 2 ? 1u : 255u)) {
          return limits(badIndex, static_cast<uint16_t>(i + 1));
        }
      }
      for (uint32_t i = 0; i < 14; ++i) {
        im[FW_SYS_IO_SETTINGS + i] = static_cast<uint8_t>(r->u16(FB_REQUEST_ITEMS + 2 * i));
      }
      g_fwSys.storeFlags |= FW_STORE_IO_SETTINGS;
      return FB_OK;
    }
    case 4010: {
      if (const uint8_t h = FB_CheckRequestHeader(r, FW_SH_COUNT + 1, 0)) return h;
      for (uint16_t k = 0; k < FW_SH_COUNT; ++k) {
        const auto x = static_cast<int16_t>(r->u16(FB_REQUEST_ITEMS + 2u * k));
        if (!FW_CheckShortLimit(x, &g_fwSystemLimits.wordValues[k], 0)) {
          return limits(badIndex, static_cast<uint16_t>(k + 1));
        }
      }
      for (uint16_t k = 0; k < FW_SH_COUNT; ++k) {
        const uint16_t x = r->u16(FB_REQUEST_ITEMS + 2u * k);
        if (x != g_fwSys.shadow[k]) setShadow(k, x);
      }
      return FB_OK;
    }
    case 4080: {
      // A locked device takes no new password: that would bypass the login.
      if (g_fwLogin.access == FW_ACCESS_LOCKED) return FB_ERR_NOT_NOW;
      char text[17];
      copyText(r, text);
      FW_PasswordSet(text);
      return FB_OK;
    }
    case 4081: {
      if (g_fwLogin.access == FW_ACCESS_OPEN) return FB_OK;
      char text[17];
      copyText(r, text);
      if (FW_PasswordCheck(text)) return FB_OK;
      return limits(badIndex, 0);
    }
    case 4082:
      std::memcpy(im + FW_SYS_TEXT4082, r->bytes + 4, 16);
      g_fwSys.storeFlags |= FW_STORE_IO_SETTINGS;
      return FB_OK;
    case 4120: case 4121: case 4122: case 4123:
    case 4140: case 4141: case 4142: case 4143:
      return writeCardRecord(r, number, badIndex);
    default:
      if (number >= 3000 && number <= 3008) {
        const auto k = static_cast<uint16_t>(number - 3000);
        if (!FW_CheckShortLimit(v, &g_fwSystemLimits.wordValues[k], 0)) return limits(badIndex, 0);
        if (static_cast<uint16_t>(v) != g_fwSys.shadow[k]) setShadow(k, static_cast<uint16_t>(v));
        return FB_OK;
      }
      return FB_ERR_UNKNOWN_ID;
  }
}

// ---------------------------------------------------------------------------------------
// Limit records of type 0 (word values 3000..3008).

constexpr FwShortLimit kSystemWordValues[FW_SH_COUNT] = {
    {.min = FW_LIMIT_DISCRETE, .max = 0, .minFn = FW_LimitOptionMin, .maxFn = FW_LimitOptionMax},
    {.min = 0, .max = 4, .minFn = FW_LimitZero, .maxFn = FW_LimitFour},
    {.min = 1, .max = 99, .minFn = FW_LimitOne, .maxFn = FW_LimitMaxAddress},
    {.min = 0, .max = 1},
    {.min = 0, .max = 2},
    {.min = 1, .max = 24, .minFn = FW_LimitRunLockedMinA, .maxFn = FW_LimitRunLockedMaxA},
    {.min = 0, .max = 8, .minFn = FW_LimitRunLockedMinB, .maxFn = FW_LimitRunLockedMaxB},
    {.min = 0, .max = 1},
    {.min = 0, .max = 60},
};

}  // namespace

const FbLimitTable g_fwSystemLimits{.wordValues = kSystemWordValues};

// ---------------------------------------------------------------------------------------
// Limit callbacks

int16_t FW_LimitZero(uint16_t, int16_t) { return 0; }
int16_t FW_LimitFour(uint16_t, int16_t) { return 4; }
int16_t FW_LimitOne(uint16_t, int16_t) { return 1; }
int16_t FW_LimitMaxAddress(uint16_t, int16_t) { return static_cast<int16_t>(maxAddress()); }
int16_t FW_LimitOptionMax(uint16_t, int16_t) {
  const uint8_t c = commOption();
  return c == '3' ? 1 : (c == '4' ? 4 : 3);
}
int16_t FW_LimitOptionMin(uint16_t, int16_t) {
  const uint8_t c = commOption();
  return c == '3' ? 1 : (c == '4' ? 4 : 0);
}
int16_t FW_LimitRunLockedMinA(uint16_t, int16_t) {
  return g_fwRunMode == FW_RUN_MODE_STOP ? 1 : static_cast<int16_t>(g_fwSys.shadow[FW_SH_BUS_NODE]);
}
int16_t FW_LimitRunLockedMaxA(uint16_t, int16_t) {
  return g_fwRunMode == FW_RUN_MODE_STOP ? 24 : static_cast<int16_t>(g_fwSys.shadow[FW_SH_BUS_NODE]);
}
int16_t FW_LimitRunLockedMinB(uint16_t, int16_t) {
  return g_fwRunMode == FW_RUN_MODE_STOP ? 0 : static_cast<int16_t>(g_fwSys.shadow[FW_SH_BUS_RATE]);
}
int16_t FW_LimitRunLockedMaxB(uint16_t, int16_t) {
  return g_fwRunMode == FW_RUN_MODE_STOP ? 8 : static_cast<int16_t>(g_fwSys.shadow[FW_SH_BUS_RATE]);
}
float FW_LimitMax999999(uint16_t) { return 999999.0f; }

// ---------------------------------------------------------------------------------------
// Handlers

void FW_ResetSystemData() {
  g_fwSys = FwSystemData{};
  g_fwDhSwitchCopy = 0;
  g_fwClock = FwClockState{};
  FW_ClockSetDefault();
}

bool FW_InterfaceWriteLocked() {
  return (img()[FW_SYS_FLAGS38] & 0x10) || g_fwSys.locks[3];
}

uint8_t FW_GetCommOption() {
  g_fwSys.commOption = commOption();
  return g_fwSys.commOption;
}

void FW_InitSystemData() {
  loadShadows(false);
  FW_GetCommOption();
  if (!FW_ReadHostClock()) {
    g_fwClock.invalid = 1;
    FW_ClockSetDefault();
  }
  FW_ClockEditFromClock();
}

uint8_t FW_WriteSystemData(FbParamRequest* request, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  g_fwSys.answerLength = 0;
  if (!request) return FB_ERR_UNKNOWN_ID;
  const int32_t id = request->id();
  // Datum 0 is read-only, so its id (which has no negative form) reads it.
  if (id <= 0) return readData(request, -id);
  return writeData(request, id, badIndex);
}

uint8_t FW_SetDhSwitch(FbParamRequest* request, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  if (!request) return FB_ERR_UNKNOWN_ID;
  const uint8_t v = request->u8(FB_REQUEST_VALUE);
  if (v > 1) return FB_ERR_LIMITS;
  g_fwDhSwitchCopy = v;
  img()[FW_SYS_DH_SWITCH] = v;
  g_fwSys.storeFlags |= FW_STORE_LOGIN;
  return FB_OK;
}

void FW_SystemStartupHook() {}

void FW_SystemCycle() {
  uint32_t& f = g_fwSys.storeFlags;
  uint8_t* im = img();
  // 1. Run mode.
  if (f & (FW_STORE_STOP | FW_STORE_RUN)) {
    const bool run = (f & FW_STORE_RUN) != 0;
    im[FW_SYS_RUN_MODE] = run ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
    if (queue(FW_SYS_RUN_MODE, 1)) {
      if (run) {
        FW_SysStatus() &= static_cast<uint8_t>(~FW_STAT_STOPPED);
        g_fwRunMode = FW_RUN_MODE_RUN;
      } else {
        FW_SysStatus() |= FW_STAT_STOPPED;
        g_fwRunMode = FW_RUN_MODE_STOP;
      }
      f &= ~(FW_STORE_STOP | FW_STORE_RUN);
    }
  }
  // 2. Byte 38 from the three flag shadows.
  if (f & FW_STORE_FLAGS38) {
    uint8_t b = static_cast<uint8_t>(im[FW_SYS_FLAGS38] & ~7u);
    for (uint32_t i = 0; i < 3; ++i) b = static_cast<uint8_t>(b | (g_fwSys.flagShadow[i] & 1) << i);
    im[FW_SYS_FLAGS38] = b;
    if (queue(FW_SYS_FLAGS38, 1)) f &= ~FW_STORE_FLAGS38;
  }
  // 3. Serial interface: protocol, baud code, address.
  if (f & FW_STORE_PROTOCOL) {
    im[FW_SYS_PROTOCOL] = static_cast<uint8_t>(g_fwSys.shadow[FW_SH_PROTOCOL]);
    if (queue(FW_SYS_PROTOCOL, 1)) {
      f &= ~FW_STORE_PROTOCOL;
      const uint16_t a = g_fwSys.shadow[FW_SH_ADDRESS];
      if (a == 0 || a > maxAddress()) {
        g_fwSys.shadow[FW_SH_ADDRESS] = 1;
        f |= FW_STORE_ADDRESS;
      }
      if (g_fwSysHooks.serialInit) g_fwSysHooks.serialInit();
    }
  }
  if (f & FW_STORE_BAUD) {
    im[FW_SYS_BAUD] = static_cast<uint8_t>(g_fwSys.shadow[FW_SH_BAUD]);
    if (queue(FW_SYS_BAUD, 1)) {
      f &= ~FW_STORE_BAUD;
      if (g_fwSysHooks.serialInit) g_fwSysHooks.serialInit();
    }
  }
  if (f & FW_STORE_ADDRESS) {
    im[FW_SYS_ADDRESS] = static_cast<uint8_t>(g_fwSys.shadow[FW_SH_ADDRESS]);
    if (queue(FW_SYS_ADDRESS, 1)) {
      f &= ~FW_STORE_ADDRESS;
      g_fwSys.cardDeviceStatus |= 0x80;
    }
  }
  // 4. Option-card address flag, DH switch, byte 44, language.
  if ((f & FW_STORE_CARD_ADDR) && queue(FW_SYS_CARD_ADDR_SET, 1)) f &= ~FW_STORE_CARD_ADDR;
  if (f & FW_STORE_LOGIN) queue(FW_SYS_DH_SWITCH, 1);   // the login store clears the flag
  if (f & FW_STORE_BYTE44) {
    im[FW_SYS_BYTE44] = static_cast<uint8_t>(g_fwSys.shadow[FW_SH_BYTE44]);
    if (queue(FW_SYS_BYTE44, 1)) f &= ~FW_STORE_BYTE44;
  }
  if (f & FW_STORE_LANGUAGE) {
    im[FW_SYS_LANGUAGE] = static_cast<uint8_t>(g_fwSys.shadow[FW_SH_LANGUAGE]);
    if (queue(FW_SYS_LANGUAGE, 1)) f &= ~FW_STORE_LANGUAGE;
  }
  // 5. Login block and login settings.
  if ((f & FW_STORE_LOGIN) && FW_PasswordStore() == 0) f &= ~FW_STORE_LOGIN;
  if ((f & FW_STORE_LOGIN_SETTINGS) && FW_LoginSettingsStore() == 0) f &= ~FW_STORE_LOGIN_SETTINGS;
  // 6. Clock.
  FW_ClockTick();
  // 7. System bus, bytes 50 and 49, palette, the I/O settings block.
  if (f & FW_STORE_BUS) {
    im[FW_SYS_BUS_NODE] = static_cast<uint8_t>(g_fwSys.shadow[FW_SH_BUS_NODE]);
    im[FW_SYS_BUS_RATE] = static_cast<uint8_t>(g_fwSys.shadow[FW_SH_BUS_RATE]);
    if (queue(FW_SYS_BUS_NODE, 2)) f &= ~FW_STORE_BUS;
  }
  if (f & FW_STORE_BYTE50) {
    im[FW_SYS_BYTE50] = static_cast<uint8_t>(g_fwSys.shadow[FW_SH_BYTE50]);
    if (queue(FW_SYS_BYTE50, 1)) f &= ~FW_STORE_BYTE50;
  }
  if (f & FW_STORE_BYTE49) {
    im[FW_SYS_BYTE49] = static_cast<uint8_t>(g_fwSys.shadow[FW_SH_BYTE49]);
    if (queue(FW_SYS_BYTE49, 1)) f &= ~FW_STORE_BYTE49;
  }
  if (f & FW_STORE_PALETTE) {
    if (g_fwSysHooks.paletteRefresh) g_fwSysHooks.paletteRefresh();
    f &= ~FW_STORE_PALETTE;
  }
  if ((f & FW_STORE_IO_SETTINGS) && queue(FW_SYS_IO_SETTINGS, FW_SYS_IO_SETTINGS_LEN)) {
    f &= ~FW_STORE_IO_SETTINGS;
    loadShadows(true);
    if (g_fwSysHooks.applyIoSettings) g_fwSysHooks.applyIoSettings();
  }
}

void FW_RegisterSystemType() {
  FbTypeRecord rec;
  rec.run = FW_SystemCycle;
  rec.init = FW_InitSystemData;
  rec.param = FW_WriteSystemData;
  rec.limits = &g_fwSystemLimits;
  rec.wordValues = FW_SH_COUNT;
  FB_RegisterType(0, rec);
}
