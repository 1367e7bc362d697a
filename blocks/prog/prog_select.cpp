// Program selection through chains of selector and text blocks, the list of a program's
// data blocks for the page, master and slave, the page commands beyond stop, run and reset,
// and the page's callbacks.
#include <cstdint>

#include "blocks/block_family.h"
#include "blocks/prog/prog_core.h"
#include "blocks/select/select.h"
#include "blocks/trig/trig.h"
#include "runtime/fb_blockdata.h"

namespace {

bool inputConnected(const FbLayout& L, uint16_t input) {
  return input >= 1 && input <= L.analogInputs && L.ai[input - 1] != FB_REF_ZERO;
}

// The value that names the first data block of program n: "DBlock" without selectors, else
// the input of the kept selector that program n selects.
float firstDataValue(const ProgCycle& c, uint16_t n) {
  const ProgOwn& o = *c.own;
  const uint16_t count = o.selectorCount < PROG_SELECTOR_LIST_SIZE ? o.selectorCount
                                                                    : PROG_SELECTOR_LIST_SIZE;
  if (count == 0) return c.ai(c.v->io.aiDBlock);
  // Entry 0 is the selector farthest from the programmer; the first picks programs 1..4,
  // each further one the next three (its "X 1" carries the selection before it).
  const int32_t entry = (static_cast<int32_t>(n) - 2) / 3;
  uint16_t input = SELV2_IN_X1;
  if (n != 1) {
    static constexpr uint16_t kByRemainder[] = {SELV2_IN_X2, SELV2_IN_X3, SELV2_IN_X4};
    input = kByRemainder[(n + 1u) % 3u];
  }
  uint16_t selector = 0;
  if (entry >= count) {
    selector = o.selectors[count - 1];
    input = SELV2_IN_X4;
  } else {
    selector = o.selectors[entry];
  }
  FbLayout S;
  if (!FB_GetLayout(selector, &S) || S.type != BLK_TYPE_SELV2 || input > S.analogInputs) {
    return 0.0f;
  }
  return FB_ReadAnalogRef(S.ai[input - 1]);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Program selection

void PROG_InitSelection(ProgCycle& c) {
  ProgOwn& o = *c.own;
  const ProgIo& io = c.v->io;
  const uint16_t block = c.L.block;

  uint16_t nearestFirst[PROG_SELECTOR_LIST_SIZE] = {};
  const uint16_t selectors =
      io.aiDBlock == PROG_NONE
          ? 0
          : BLK_WalkSources(block, io.aiDBlock + 1u, BLK_TYPE_SELV2, SELV2_OUT_Y1,
                            SELV2_IN_SELECT, SELV2_OUT_CASC, nearestFirst,
                            PROG_SELECTOR_LIST_SIZE);
  // Kept from the farthest (entry 0) towards the nearest.
  for (uint16_t k = 0; k < PROG_SELECTOR_LIST_SIZE; ++k) {
    o.selectors[k] = k < selectors ? nearestFirst[selectors - 1 - k] : 0;
  }
  o.selectorCount = selectors;

  for (uint16_t& t : o.texts) t = 0;
  o.textCount = io.aiProgNo == PROG_NONE
                    ? 0
                    : BLK_WalkSources(block, io.aiProgNo + 1u, BLK_TYPE_TEXT, 0,
                                      TEXT_IN_CASC, 0, o.texts, PROG_TEXT_LIST_SIZE);

  // The number comes from "ProgNo" unless the text block there only names the programs.
  bool fromInput = c.aiConnected(io.aiProgNo);
  FbLayout T;
  if (fromInput && o.textCount > 0) {
    fromInput = FB_GetLayout(o.texts[0], &T) && inputConnected(T, TEXT_IN_INDEX);
  }
  o.progNoFromInput = fromInput ? 1 : 0;
}

void PROG_ListProgram(ProgCycle& c, uint16_t n) {
  uint16_t* list = c.w->page.dataBlocks;
  uint16_t count = 0;
  ProgData d;
  if (n >= 1 && n <= PROG_RecMax(c) &&
      PROG_ResolveData(PROG_BlockNumber(firstDataValue(c, n)), 0, &d) &&
      PROG_AcceptsData(*c.v, d.L.type)) {
    const uint16_t type = d.L.type;
    while (count < FB_PROG_DATA_LIST_SIZE && !BLK_ListContains(list, count, d.block)) {
      list[count++] = d.block;
      ProgData next;
      if (d.st->lastInChain || !PROG_ResolveData(PROG_DataNext(d), type, &next)) break;
      d = next;
    }
  }
  list[count] = 0;
}

void PROG_PageCommand(ProgCycle& c, uint16_t command, uint16_t argument) {
  ProgOwn& o = *c.own;
  switch (command) {
    case PROG_CMD_SEARCH:
      if (c.v->search && !c.diConnected(c.v->io.diSearch)) o.pageSearch = 1;
      break;
    case PROG_CMD_SELECT:
      if (!o.progNoFromInput && argument >= 1 && argument <= PROG_RecMax(c)) {
        o.progNo = static_cast<float>(argument);
      }
      PROG_ListProgram(c, argument);
      break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------
// Master and slave

void PROG_MasterSlave(ProgCycle& c) {
  ProgPage& p = c.w->page;
  const ProgIo& io = c.v->io;
  const uint16_t own = c.L.block;
  uint16_t slave = c.aiConnected(io.aiSlavNo) ? PROG_BlockNumber(c.ai(io.aiSlavNo)) : 0;
  ProgWork* sw = slave != own ? PROG_Work(slave) : nullptr;
  if (!sw) slave = 0;
  if (sw) sw->own.master = c.own->master ? c.own->master : own;
  p.slave = slave;
  p.groupFlag = slave && c.own->master == 0 ? 0 : 1;
}

bool PROG_AnalogSlaveRange(const ProgCycle& c, float* w0, float* w100) {
  FbLayout S;
  const uint16_t slave = c.w->page.slave;
  if (!slave || !FB_GetLayout(slave, &S) || S.type != FB_TYPE_APROG ||
      S.floatParams <= APROG_FP_W100) {
    return false;
  }
  *w0 = S.fp[APROG_FP_W0];
  *w100 = S.fp[APROG_FP_W100];
  return true;
}

// ---------------------------------------------------------------------------------------
// The page's callbacks

namespace {

// The programmer `block` as its page sees it, when the page may operate it at all.
bool operable(uint32_t block, ProgCycle* c) {
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return false;
  const ProgVariant* v = PROG_VariantOf(L.type);
  return v && PROG_Locate(*v, block, c) && c->di(v->io.diLock) == 0 &&
         c->s->chainStatus != PROG_CHAIN_INVALID;
}

}  // namespace

uint16_t PROG_PageControl(uint32_t block) {
  ProgCycle c;
  if (!operable(block, &c)) return 0;
  const ProgIo& io = c.v->io;
  uint16_t offers = 0;
  if (!c.diConnected(io.diRun)) offers |= PROG_OFFER_RUN_STOP;
  if (!c.diConnected(io.diReset)) offers |= PROG_OFFER_RESET;
  return offers;
}

uint16_t PROG_PageSearch(uint32_t block) {
  ProgCycle c;
  if (!operable(block, &c) || !c.v->search) return 0;
  const ProgIo& io = c.v->io;
  const bool offered = !c.diConnected(io.diSearch) && c.aiConnected(io.aiXVal) &&
                       c.word(io.wpSMode) != PROG_SMODE_OFF && c.doutValue(io.doEnd) == 0;
  return offered ? 1 : 0;
}

const ProgVariant* PROG_VariantOf(uint16_t type) {
  switch (type) {
    case FB_TYPE_APROG: return &PROG_AprogVariant();
    case FB_TYPE_DPROG: return &PROG_DprogVariant();
    default: return nullptr;
  }
}
