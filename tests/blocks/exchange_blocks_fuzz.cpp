// Fuzz target of the data-exchange, device-function and PROFINET blocks: with any block and
// parameter numbers in their word values, any chains between the PROFINET blocks (loops
// included), any bytes in the fieldbus records and the PROFINET data area, and any parameter
// requests from the bus side, the blocks read and write nothing outside their instances, the
// records and the data area, no chain walk hangs, and no NaN or infinity reaches an analog
// output.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "blocks/exchange/exchange.h"
#include "blocks/info/info.h"
#include "blocks/profinet/profinet.h"
#include "blocks/register_all.h"
#include "comm/com_card.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"
#include "support/fuzz_blocks.h"

namespace {

using fuzzblocks::Placed;
constexpr Placed kBlocks[] = {
    {BLK_TYPE_DPREAD, 1},    {BLK_TYPE_L1READ, 5},   {BLK_TYPE_L1WRIT, 6},
    {BLK_TYPE_DPWRIT, 11},   {BLK_TYPE_MBDATA, 56},  {BLK_TYPE_CALLPG, 90},
    {BLK_TYPE_INFO, 97},     {BLK_TYPE_STATUS, 98},  {BLK_TYPE_CONST, 99},
    {BLK_TYPE_AND_2, 100},   {BLK_TYPE_CMP, 101},    {BLK_TYPE_OR_2, 102},
    {BLK_TYPE_PNSERV, 110},  {BLK_TYPE_PNREAD, 111}, {BLK_TYPE_PNREAD, 112},
    {BLK_TYPE_PNREAD, 113},  {BLK_TYPE_PNWRIT, 114}, {BLK_TYPE_PNWRIT, 115},
    {BLK_TYPE_PNWRIT, 116},
};
// What a chain input may be wired to: nothing, the chain output of a PROFINET block, or
// an output of a block of another type.
struct Source {
  uint16_t block, output;
};
constexpr Source kChainEnds[] = {{0, 0},    {111, 1},   {112, 1},   {113, 1},
                                 {114, 11}, {115, 11}, {116, 11}, {99, 1}};
// The blocks that take parameter requests.
constexpr uint16_t kParamBlocks[] = {5, 6, 56, 99, 101, 111, 114};

void wire(uint16_t block, uint16_t input, uint16_t source, uint16_t output) {
  fuzzblocks::Wire(block, input, source, output);
}
void wireChain(uint16_t block, uint16_t input, uint8_t pick) {
  const Source& end = kChainEnds[pick % std::size(kChainEnds)];
  wire(block, input, end.block, end.output);
}

void runAll(bool init) {
  fuzzblocks::RunAll(kBlocks, init);
  FW_RunDeferredCalls();
}
void checkOutputs() { fuzzblocks::CheckOutputs(kBlocks); }

uint16_t u16(const uint8_t* b) { return static_cast<uint16_t>(b[0] | b[1] << 8); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (FB_ClearTypeTable(), BLK_RegisterAllTypes(), true);
  (void)ready;
  constexpr size_t kHeader = 16;
  if (size < kHeader) return 0;
  FB_ClearStore();
  FW_ClearDeferredCalls();
  std::memset(g_comFieldbus, 0, sizeof g_comFieldbus);
  g_comPnData = ComPnData{};
  g_fwRunMode = data[0] & 1 ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  g_fwEng.warmStart = (data[0] >> 1) & 1;

  for (const Placed& p : kBlocks) {
    if (FB_CreateInstance(p.type, p.block) != FB_OK) __builtin_trap();
  }
  for (uint16_t i = 1; i <= 7; ++i) wire(5, i, 6, i);
  wire(101, 1, 99, 1);
  wire(101, 2, data[1] & 1 ? 99 : 0, data[1] & 1 ? 2 : 0);
  wire(111, 1, 6, 1);
  wire(90, 1, 99, 3);
  // The chains: every PNSERV input and every chain input names any of the blocks.
  for (uint16_t c = 1; c <= 8; ++c) wireChain(110, c, data[1 + c]);
  for (uint16_t b = 111; b <= 113; ++b) wireChain(b, PN_VALUES + 1, data[b - 101]);
  for (uint16_t b = 114; b <= 116; ++b) wireChain(b, 1, data[b - 101]);
  if (FB_ResolveConnections() != 0) __builtin_trap();

  // Steps: 8 bytes of configuration or received data, then a parameter request.
  size_t at = kHeader;
  bool started = false;
  while (at + 12 <= size) {
    const uint8_t* s = data + at;
    at += 12;
    switch (s[0] % 6) {
      case 0: {   // a word value of a linking block, current and pending, unchecked
        const uint16_t blocks[] = {56, 111, 112, 113, 114, 115, 116};
        FbLayout L;
        if (!FB_GetLayout(blocks[s[1] % std::size(blocks)], &L) || !L.wordValues) break;
        const uint16_t k = s[2] % L.wordValues;
        L.wv[k] = L.wv[L.wordValues + k] = u16(s + 3);
        break;
      }
      case 1:     // fieldbus record bytes
        std::memcpy(&g_comFieldbus[s[1] % COM_FB_RECORDS][s[2] % (COM_FB_RECORD_SIZE - 4)], s + 3, 4);
        break;
      case 2: {   // PROFINET data area bytes
        const uint32_t p = u16(s + 1) % (COM_PN_AREA_SIZE - 4);
        std::memcpy(g_comPnData.bytes + p, s + 3, 4);
        break;
      }
      case 3:     // the card's status and the digital inputs
        g_fwSys.cardBusStatus = s[1];
        COM_PnDataType() = s[2];
        break;
      default: {  // a request from the bus side
        const uint16_t block = kParamBlocks[s[1] % std::size(kParamBlocks)];
        FbParamRequest r(block, static_cast<int16_t>(u16(s + 2)));
        for (int i = 0; i < 4; ++i) r.setU8(FB_REQUEST_VALUE + i, s[4 + i]);
        r.setU8(FB_REQUEST_COUNT1, s[8]);
        r.setU8(FB_REQUEST_COUNT2, s[9]);
        uint16_t bad = 0;
        g_fbReadLength = 0;
        const FbTypeRecord* rec = FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE]);
        rec->param(&r, &bad);
        if (r.block() != block) __builtin_trap();
        break;
      }
    }
    if (!started || s[11] == 0xA5) runAll(true);   // a start-up pass now and then
    started = true;
    runAll(false);
    checkOutputs();
  }
  FW_ClearDeferredCalls();
  g_fwRunMode = FW_RUN_MODE_STOP;
  g_fwEng.warmStart = 0;
  return 0;
}
