#include "runtime/fw_io.h"

#include <cstring>

#include "runtime/fw_numeric.h"
#include "runtime/fw_sysdata.h"

FwIoBoard g_fwIoBoards[FW_IO_BOARDS];
uint8_t g_fwAnalogInputFailures = 0;

namespace {

// Board and channel by block number 0..99; board -1: no channel.
struct MapEntry {
  int8_t board;
  int8_t channel;
};
constexpr uint32_t kMapSize = 100;

constexpr auto kMap = [] {
  struct Table {
    MapEntry e[kMapSize];
  } t{};
  for (MapEntry& m : t.e) m = {-1, -1};
  t.e[61] = {0, 3};
  t.e[63] = {2, 2};
  t.e[64] = {2, 2};
  t.e[65] = {0, 1};
  t.e[66] = {0, 2};
  for (int c = 0; c < 4; ++c) {
    t.e[67 + c] = {2, static_cast<int8_t>(c)};
    t.e[71 + c] = {1, static_cast<int8_t>(c)};
  }
  t.e[81] = {3, 3};
  t.e[82] = {3, 2};
  t.e[84] = {3, 1};
  t.e[85] = {3, 0};
  t.e[91] = {0, 0};
  t.e[95] = {1, 3};
  return t;
}();

FwIndicatorFn g_indicator = nullptr;

// The two version data of a board (554 serves board 0 alone).
uint16_t versionWord(uint32_t board, uint32_t which) {
  const uint32_t i = board == 0 ? 0 : 1 + 2 * (board - 1) + which;
  return g_fwSys.boardVersion[i];
}

void putU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void putF32(uint8_t* p, float f) {
  uint32_t v;
  std::memcpy(&v, &f, sizeof v);
  putU16(p, static_cast<uint16_t>(v));
  putU16(p + 2, static_cast<uint16_t>(v >> 16));
}

uint8_t bitsOf(const uint8_t* bytes) {
  uint8_t b = 0;
  for (uint32_t i = 0; i < FW_IO_BITS; ++i) b = static_cast<uint8_t>(b | (bytes[i] ? 1u << i : 0u));
  return b;
}

}  // namespace

void FW_IoReportFailure(uint8_t bits, uint16_t fail) {
  g_fwAnalogInputFailures =
      static_cast<uint8_t>(fail ? (g_fwAnalogInputFailures | bits) : (g_fwAnalogInputFailures & ~bits));
}

bool FW_IoChannelOf(uint32_t block, uint16_t* board, uint16_t* channel) {
  if (block >= kMapSize || kMap.e[block].board < 0) return false;
  if (board) *board = static_cast<uint16_t>(kMap.e[block].board);
  if (channel) *channel = static_cast<uint16_t>(kMap.e[block].channel);
  return true;
}

FwIoChannel* FW_IoChannelForBlock(uint32_t block, FwIoBoard** board) {
  uint16_t b = 0, c = 0;
  if (!FW_IoChannelOf(block, &b, &c)) return nullptr;
  if (board) *board = &g_fwIoBoards[b];
  return &g_fwIoBoards[b].channel[c];
}

void FW_IoResetBoards(const uint16_t types[FW_IO_BOARDS]) {
  for (uint32_t b = 0; b < FW_IO_BOARDS; ++b) {
    FwIoBoard& board = g_fwIoBoards[b];
    board = FwIoBoard{};
    board.type = types[b];
    for (FwIoChannel& ch : board.channel) {
      for (FwIoSubChannel& s : ch.sub) {
        s.unit = 1;
        s.coldJunction = 1;
      }
    }
  }
  g_fwAnalogInputFailures = 0;
}

uint8_t FW_IoMainsFrequency() {
  return static_cast<uint8_t>(g_fwSys.shadow[FW_SH_BYTE44] & 1);
}

void FW_IoBindIndicator(FwIndicatorFn fn) { g_indicator = fn; }

void FW_IoSetIndicator(int n, int code, int on) {
  if (g_indicator) g_indicator(n, code, on);
}

// ---------------------------------------------------------------------------------------
// System data

void FW_IoModuleData(uint32_t board, uint16_t out[FW_IO_MODULE_WORDS]) {
  for (uint32_t i = 0; i < FW_IO_MODULE_WORDS; ++i) out[i] = FW_IO_ABSENT;
  if (board >= FW_IO_BOARDS || g_fwIoBoards[board].type == FW_BOARD_NONE) return;
  const FwIoBoard& b = g_fwIoBoards[board];
  uint16_t* p = out;
  *p++ = b.inUse ? 3 : 4;
  *p++ = b.type;
  for (uint32_t c = 0; c < FW_IO_CHANNELS; ++c) {
    const FwIoChannel& ch = b.channel[c];
    *p++ = ch.reportedClass ? ch.reportedClass : FW_IO_ABSENT;
    *p++ = b.status[c];
    *p++ = static_cast<uint16_t>((ch.sub[0].fault & 7 ? 1 : 0) | (ch.sub[1].fault & 7 ? 2 : 0));
    *p++ = static_cast<uint16_t>(FW_FloatToI16(ch.sub[0].raw * 10.0));
    *p++ = static_cast<uint16_t>(FW_FloatToI16(ch.sub[1].raw * 10.0));
  }
  for (int i = 0; i < 4; ++i) *p++ = 0;  // serial number: the simulated boards have none
  *p++ = versionWord(board, 0);
  const uint16_t sw = versionWord(board, 1);
  *p++ = static_cast<uint16_t>((sw / 100) << 8 | (sw % 100));
  for (int i = 0; i < 3; ++i) *p++ = 250;  // 25.0 degrees, steady
}

void FW_IoChannelValues(uint32_t board, uint8_t out[FW_IO_VALUE_BYTES]) {
  std::memset(out, 0, FW_IO_VALUE_BYTES);
  if (board >= FW_IO_BOARDS) return;
  const FwIoBoard& b = g_fwIoBoards[board];
  for (uint32_t c = 0; c < FW_IO_CHANNELS; ++c) {
    const FwIoChannel& ch = b.channel[c];
    uint8_t* p = out + 14 * c;
    putF32(p, ch.sub[0].raw);
    putF32(p + 4, ch.sub[1].raw);
    p[8] = ch.sub[0].fault;
    p[9] = ch.sub[1].fault;
    p[10] = b.status[c];
    p[11] = ch.reportedClass;
    p[12] = static_cast<uint8_t>(bitsOf(ch.din.bits) | bitsOf(ch.out.logic) << 4);
    p[13] = static_cast<uint8_t>(ch.expectedClass);
  }
}

void FW_IoConfigureChannel(uint32_t board, uint32_t channel, const uint16_t words[8],
                           const float refs[2]) {
  if (board >= FW_IO_BOARDS || channel >= FW_IO_CHANNELS) return;
  FwIoChannel& ch = g_fwIoBoards[board].channel[channel];
  for (uint32_t s = 0; s < FW_IO_SUBCHANNELS; ++s) {
    FwIoSubChannel& sub = ch.sub[s];
    const uint16_t* w = words + 4 * s;
    sub.sensorCode = static_cast<uint8_t>(w[0]);
    sub.unit = static_cast<uint8_t>(w[1]);
    sub.mainsFrequency = static_cast<uint8_t>(w[2]);
    sub.coldJunction = static_cast<uint8_t>(w[3]);
    sub.refTemp = FW_FloatToI16(refs[s] * 10.0f);
    sub.refValid = 1;
    sub.configValid = 1;
  }
}

void FW_IoSetCardTest(uint32_t board, const uint16_t words[4], const float percent[8]) {
  if (board >= FW_IO_BOARDS) return;
  FwIoCardTest& t = g_fwIoBoards[board].test;
  t.analogMask = words[0];
  t.logicMask = words[1];
  t.logicState = words[2];
  t.spare = words[3];
  std::memcpy(t.percent, percent, sizeof t.percent);
}
