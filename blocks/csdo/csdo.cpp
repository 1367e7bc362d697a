// CSDO: one object of another node on the system bus, read or written on a rising edge of
// `trig`, with the node, data type, sub-index, index and value to write taken from the
// inputs or, where those are unconnected, from the block's parameters.
#include "blocks/csdo/csdo.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "blocks/block_family.h"
#include "comm/com_bus.h"
#include "runtime/fb_param.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_sysdata.h"

namespace {

// Slots. Analog inputs: Node, D-Type, SubInd, Index, X1writ; digital inputs: r/w, trig;
// analog output Y1read; digital outputs err, ready.
enum : uint16_t { kInNode = 0, kInDataType = 1, kInSubIndex = 2, kInIndex = 3, kInValue = 4 };
enum : uint16_t { kInAccess = 0, kInTrigger = 1 };
enum : uint16_t { kErr = 0, kReady = 1 };
// Float parameters Index, Value; word parameters Access, NodeId, D-Type, SubInd.
enum : uint16_t { kIndex = 0, kValue = 1 };
enum : uint16_t { kAccess = 0, kNodeId = 1, kDataType = 2, kSubIndex = 3 };

constexpr const char* kCsdoTexts[] = {"CSDO"};
constexpr float kCsdoFloats[] = {4096.0f, 0.0f};
constexpr uint16_t kCsdoWords[] = {0, 2, CSDO_UINT32, 0};

constexpr FbTemplate kCsdoTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_CSDO, .analogOutputs = 1, .digitalOutputs = 2, .analogInputs = 5,
     .digitalInputs = 2, .floatParams = kCsdoFloats, .wordParams = kCsdoWords,
     .texts = kCsdoTexts, .workWords = BLK_WorkWordsOf<CsdoState>()});

// The word limits double as the checks of a transfer's inputs.
constexpr uint16_t kLastNode = 42;
constexpr uint16_t kLastSubIndex = 255;
constexpr float kLastIndex = 65535.0f;
constexpr FwFloatLimit kCsdoFloatLimits[] = {
    {.min = 1.0f, .max = kLastIndex},
    {.min = -29999.0f, .max = 999999.0f, .attribute = 3},
};
constexpr FwShortLimit kCsdoWordLimits[] = {
    {.min = 0, .max = 1},
    {.min = 1, .max = kLastNode},
    {.min = CSDO_UINT8, .max = CSDO_FLOAT},
    {.min = 0, .max = kLastSubIndex},
};
constexpr FbLimitTable kCsdoLimits{.wordParams = kCsdoWordLimits,
                                   .floatParams = kCsdoFloatLimits};

// Bound to the block numbers of the input-side pass, like the other bus blocks.
constexpr FbBlockRange kCsdoBlocks[] = {{21, 40}, {0, 0}};
constexpr uint16_t kCsdoFixedPlaceId = 15;

CsdoState* stateOf(FbLayout& L) {
  if (L.type != BLK_TYPE_CSDO || L.workWords < BLK_WorkWordsOf<CsdoState>()) return nullptr;
  return &BLK_WorkState<CsdoState>(L);
}

CsdoState* currentState(FbLayout& L) {
  return FB_CurrentLayout(&L) ? stateOf(L) : nullptr;
}

void refreshCopies(const FbLayout& L, CsdoState& s) {
  s.nodeCopy = static_cast<float>(L.wp[kNodeId]);
  s.dataTypeCopy = static_cast<float>(L.wp[kDataType]);
  s.subIndexCopy = static_cast<float>(L.wp[kSubIndex]);
}

void pointIfUnconnected(FbRef& ref, const void* value) {
  if (ref == FB_REF_ZERO) ref = BLK_HandleOf(value);
}

// Bytes of an object by data type.
uint16_t lengthOf(uint8_t dataType) {
  return dataType <= CSDO_INT8 ? 1 : dataType <= CSDO_INT16 ? 2 : 4;
}

// The inputs of a transfer, checked in float before any of them becomes an integer: false
// when one fails (the node is taken as an integer, truncated toward zero; the own node, a
// read/write choice other than 0 or 1, and any value outside its parameter's limits fail).
bool fillRequest(const FbLayout& L, CsdoState& s) {
  const float node = std::trunc(BLK_AnalogIn(L, kInNode));
  const uint16_t access = BLK_DigitalIn(L, kInAccess);
  const float dataType = BLK_AnalogIn(L, kInDataType);
  const float subIndex = BLK_AnalogIn(L, kInSubIndex);
  const float index = BLK_AnalogIn(L, kInIndex);
  if (!FW_Within(node, 1.0f, kLastNode) || access > 1 ||
      !FW_Within(dataType, 0.0f, static_cast<float>(CSDO_FLOAT)) ||
      !FW_Within(subIndex, 0.0f, kLastSubIndex) ||
      !FW_Within(index, 1.0f, kLastIndex)) {
    return false;
  }
  ComBusRequest& r = s.request;
  r = ComBusRequest{};
  r.node = FW_FloatToU16(node);
  if (r.node == COM_BusOwnAddress()) return false;
  s.dataType = FW_FloatToU8(dataType);
  s.writing = static_cast<uint8_t>(access);
  r.subIndex = FW_FloatToU8(subIndex);
  r.index = FW_FloatToU16(index);
  r.length = lengthOf(s.dataType);
  if (s.writing) {
    // A whole number keeps its low bytes (two's complement of the value saturated to 64
    // bits); "Float" sends the value's IEEE bits. Lowest byte first.
    const float x = BLK_AnalogIn(L, kInValue);
    const uint32_t bits = s.dataType == CSDO_FLOAT ? std::bit_cast<uint32_t>(x)
                                                   : FW_FloatToLow32(x);
    for (unsigned i = 0; i < 4; ++i) r.data[i] = static_cast<uint8_t>(bits >> (8 * i));
  }
  return true;
}

// Hands the request to the bus node; a refused start counts towards the ten tries.
void tryStart(CsdoState& s) {
  const int accepted = s.writing ? COM_BusStartRequest(&s.request)
                                 : COM_BusStartReadRequest(&s.request);
  if (accepted) {
    s.counter = CSDO_ACCEPTED;
  } else {
    ++s.counter;
    s.request.state = COM_REQ_FREE;
  }
}

// The value of an answered read, lowest byte first; a float is kept within the device's
// value range (NaN read as 0).
float decode(uint8_t dataType, const uint8_t* d) {
  const uint32_t le32 = static_cast<uint32_t>(d[0]) | static_cast<uint32_t>(d[1]) << 8 |
                        static_cast<uint32_t>(d[2]) << 16 | static_cast<uint32_t>(d[3]) << 24;
  switch (dataType) {
    case CSDO_UINT8: return d[0];
    case CSDO_INT8: return static_cast<int8_t>(d[0]);
    case CSDO_UINT16: return static_cast<float>(d[1] * 256 + d[0]);
    case CSDO_INT16: return static_cast<float>(static_cast<int8_t>(d[1]) * 256 + d[0]);
    case CSDO_UINT32: return static_cast<float>(le32);
    case CSDO_INT32: return static_cast<float>(static_cast<int32_t>(le32));
    case CSDO_FLOAT: return FW_ClampValue(std::bit_cast<float>(le32));
    default: return 0.0f;
  }
}

void finish(FbLayout& L, CsdoState& s, float y, bool failed) {
  L.ao[0] = y;
  L.dout[kErr] = failed ? 1 : 0;
  L.dout[kReady] = 1;
  s.state = CSDO_IDLE;
}

void idle(FbLayout& L, CsdoState& s) {
  const uint16_t trigger = BLK_DigitalIn(L, kInTrigger);
  const bool edge = s.lastTrigger == 0 && trigger == 1;
  s.lastTrigger = trigger;
  if (!edge) return;
  refreshCopies(L, s);
  if (!fillRequest(L, s)) {
    s.request = ComBusRequest{};
    L.dout[kErr] = 1;
    L.dout[kReady] = 1;
    return;
  }
  s.counter = 0;
  tryStart(s);
  L.dout[kErr] = 0;
  L.dout[kReady] = 0;
  s.state = CSDO_RUNNING;
}

void running(FbLayout& L, CsdoState& s) {
  if (s.counter < CSDO_REFUSED_LIMIT) {
    tryStart(s);
    return;
  }
  if (s.counter == CSDO_REFUSED_LIMIT || s.counter >= CSDO_WAIT_LIMIT) {
    // Given up: the bus node forgets the request, so that it holds no slot for it.
    COM_BusCancelRequest(&s.request);
    s.request.state = COM_REQ_FREE;
    finish(L, s, 0.0f, true);
    return;
  }
  switch (s.request.state) {
    case COM_REQ_SENT: ++s.counter; return;
    case COM_REQ_ANSWERED:
      finish(L, s, s.writing ? 0.0f : decode(s.dataType, s.request.data), false);
      return;
    default:
      COM_BusCancelRequest(&s.request);
      finish(L, s, 0.0f, true);
      return;
  }
}

}  // namespace

CsdoState* BLK_CsdoState(uint16_t block) {
  FbLayout L;
  return FB_GetLayout(block, &L) ? stateOf(L) : nullptr;
}

void FB_CSDO_Init() {
  FbLayout L;
  CsdoState* s = currentState(L);
  if (!s) return;
  COM_BusCancelRequest(&s->request);  // a transfer cut short by a new start-up pass
  *s = CsdoState{};
  L.ao[0] = 0.0f;
  L.dout[kErr] = 0;
  L.dout[kReady] = 1;
  if (FW_GetCommOption() < '1' || L.di[kInTrigger] == FB_REF_ZERO) {
    L.dout[kErr] = 1;
    s->state = CSDO_INACTIVE;
    return;
  }
  refreshCopies(L, *s);
  pointIfUnconnected(L.di[kInAccess], &L.wp[kAccess]);
  pointIfUnconnected(L.ai[kInNode], &s->nodeCopy);
  pointIfUnconnected(L.ai[kInDataType], &s->dataTypeCopy);
  pointIfUnconnected(L.ai[kInSubIndex], &s->subIndexCopy);
  pointIfUnconnected(L.ai[kInIndex], &L.fp[kIndex]);
  pointIfUnconnected(L.ai[kInValue], &L.fp[kValue]);
  s->state = CSDO_START;
}

void FB_CSDO_Run() {
  FbLayout L;
  CsdoState* s = currentState(L);
  if (!s) return;
  switch (s->state) {
    case CSDO_START: s->state = CSDO_SETTLE; break;
    case CSDO_SETTLE: s->state = CSDO_IDLE; break;
    case CSDO_IDLE: idle(L, *s); break;
    case CSDO_RUNNING: running(L, *s); break;
    default: break;
  }
  FB_ApplyPendingFloats(L.block);
  FB_ApplyPendingWords(L.block);
}

uint8_t FB_CSDO_Param(FbParamRequest* r, uint16_t* bad) { return FB_StandardParam(r, bad); }

void BLK_RegisterCsdoTypes() {
  static constexpr BlkFixedTypeRow kCsdoRows[] = {
      {{&kCsdoTemplate, FB_CSDO_Run, FB_CSDO_Init, FB_CSDO_Param, &kCsdoLimits, 13, 23},
       kCsdoBlocks, kCsdoFixedPlaceId},
  };
  BLK_RegisterFixedPlaceTypes(kCsdoRows);
  BLK_RegisterSafeType();
}
