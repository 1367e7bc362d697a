#include "comm/com_bus.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#include "comm/com_services.h"
#include "comm/com_value.h"
#include "runtime/fb_param.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_sysdata.h"

namespace {

// Bit rates of system datum 3006 (0..8), in kbit/s; another value takes the bus's default.
constexpr uint16_t kBitRates[] = {10, 20, 50, 100, 125, 250, 500, 800, 1000};
constexpr uint16_t kDefaultBitRate = 125;

constexpr char kOwnName[] = "MX74+";
constexpr uint16_t kIdentityIndex = 0x1008;
constexpr uint8_t kPeriodTicks = 10;
// State 1 goes on in the tick that sees the own identity answered and two ticks later.
constexpr uint8_t kOwnAnswerTicks = 3;

// Device names of the known device families, 8 characters each: entry i gives node kind
// i + 1 (1..3 the controllers of the other family, 4 the own family, 5..7 bus couplers).
constexpr uint32_t kNameChars = 8;
constexpr char kKnownNames[8][kNameChars + 1] = {"MX60", "MX62", "MX64", "MX74+",
                                                 "TQ 500", "TQ 510", "TQ 512", "MX80"};

// Own objects: index 0x2000 + 16 x block + kind.
constexpr uint16_t kOwnBase = 0x2000;
constexpr uint16_t kOwnFirst = kOwnBase + 16 * 1;
constexpr uint16_t kOwnLast = kOwnBase + 16 * FB_MAX_BLOCK + 15;
constexpr uint16_t kDataCodes = 180;  // block-data codes behind kinds 13..15

struct Registered {
  ComBusRequest* request;
  uint16_t node;
};

struct BusState {
  ComBusNode nodes[COM_BUS_NODES];
  Registered outstanding[COM_BUS_MAX_OUTSTANDING];
  uint8_t outstandingCount;
  ComBusRequest* byNode[COM_BUS_NODES];    // the one outstanding request of each node
  ComBusRequest identity[COM_BUS_NODES];   // the node's identity requests to the others
  ComBusRequest own;                       // the own identity request
  ComBusMap input;
  ComBusMap output;
  uint16_t selected;
  uint8_t state;
  uint8_t ownAnswerTicks;
  uint8_t countdown;
};

BusState g_bus;
const FwBusDriver* g_driver = &g_fwBusDriver;
FbParamRequest g_request;   // the parameter request of an access to an own object
ComCanNodeTable g_canTable;

const FwBusDriver& driver() { return *g_driver; }

// --- bytes, most significant first --------------------------------------------------------

void put16(uint8_t* out, uint16_t v) {
  out[0] = static_cast<uint8_t>(v >> 8);
  out[1] = static_cast<uint8_t>(v);
}
void put32(uint8_t* out, uint32_t v) {
  put16(out, static_cast<uint16_t>(v >> 16));
  put16(out + 2, static_cast<uint16_t>(v));
}
void putF(uint8_t* out, float f) { put32(out, std::bit_cast<uint32_t>(f)); }
uint16_t get16(const uint8_t* in) { return static_cast<uint16_t>(in[0] << 8 | in[1]); }
uint32_t get32(const uint8_t* in) {
  return static_cast<uint32_t>(get16(in)) << 16 | get16(in + 2);
}

// A message with the header filled in; returns its length with `length` data bytes.
uint32_t header(uint8_t* m, uint8_t kind, uint16_t node, uint16_t index, uint8_t sub,
                uint8_t length) {
  m[0] = kind;
  m[1] = static_cast<uint8_t>(node);
  put16(m + 2, index);
  m[4] = sub;
  m[5] = length;
  return COM_BUS_MSG_DATA + length;
}

bool isNode(uint32_t address) { return address >= 1 && address <= COM_BUS_LAST_NODE; }
bool master() { return COM_BusOwnAddress() == COM_BUS_MASTER_ADDRESS; }

// --- request tables -----------------------------------------------------------------------

void drop(uint8_t i) {
  Registered& e = g_bus.outstanding[i];
  if (g_bus.byNode[e.node] == e.request) g_bus.byNode[e.node] = nullptr;
  e = g_bus.outstanding[--g_bus.outstandingCount];
}

// Forgets the requests whose owner changed their state (given up, or answered elsewhere).
void sweep() {
  for (uint8_t i = g_bus.outstandingCount; i-- > 0;) {
    if (g_bus.outstanding[i].request->state != COM_REQ_SENT) drop(i);
  }
}

// The request is done (answered or aborted): its node may take the next one.
void release(ComBusRequest* r) {
  for (uint8_t i = 0; i < g_bus.outstandingCount; ++i) {
    if (g_bus.outstanding[i].request == r) {
      drop(i);
      return;
    }
  }
  for (ComBusRequest*& slot : g_bus.byNode) {
    if (slot == r) slot = nullptr;
  }
}

int start(ComBusRequest* r, bool upload) {
  if (!r) return 0;
  sweep();
  const uint16_t node = r->node;
  if (!isNode(node) || g_bus.byNode[node] || g_bus.outstandingCount >= COM_BUS_MAX_OUTSTANDING) {
    return 0;
  }
  for (uint8_t i = 0; i < g_bus.outstandingCount; ++i) {
    if (g_bus.outstanding[i].request == r) return 0;  // already running under another node
  }
  if (!upload && r->length > COM_BUS_DATA_BYTES) return 0;
  uint8_t m[COM_BUS_MSG_SIZE] = {};
  const uint8_t length = upload ? 0 : static_cast<uint8_t>(r->length);
  const uint32_t n = header(m, upload ? COM_MSG_UPLOAD : COM_MSG_DOWNLOAD, node, r->index,
                            r->subIndex, length);
  std::memcpy(m + COM_BUS_MSG_DATA, r->data, length);
  if (!driver().request(m, n)) return 0;
  r->state = COM_REQ_SENT;
  r->abortIndex = 0;
  r->abortCode = 0;
  g_bus.outstanding[g_bus.outstandingCount++] = Registered{r, node};
  g_bus.byNode[node] = r;
  return 1;
}

// --- identities ---------------------------------------------------------------------------

// A name text as sent: at most `n` bytes, up to a NUL, without trailing blanks.
uint32_t nameLength(const uint8_t* name, uint32_t n) {
  uint32_t len = 0;
  while (len < n && name[len]) ++len;
  while (len > 0 && name[len - 1] == ' ') --len;
  return len;
}

bool sameName(const uint8_t* name, uint32_t n, const char* known) {
  const uint32_t len = nameLength(name, n);
  return len == std::strlen(known) && std::memcmp(name, known, len) == 0;
}

void setName(ComBusNode& d, const uint8_t* name, uint32_t n) {
  std::memset(d.name, 0, sizeof d.name);
  std::memcpy(d.name, name, std::min<uint32_t>(nameLength(name, n), kNameChars));
}

void clearFailures(ComBusNode& d) {
  d.failCount = 0;
  d.failIndex = 0;
  d.failCode = 0;
}

// A node whose identity was read: it is started and known.
void identified(uint16_t node, uint8_t kind) {
  ComBusNode& d = g_bus.nodes[node];
  d.kind = kind;
  clearFailures(d);
  driver().command(static_cast<uint8_t>(node), COM_NMT_START);
  d.remoteState = COM_REMOTE_KNOWN;
  d.retry = COM_BUS_RETRY_LIMIT;
}

// Takes the answer of a node's identity request once it has come.
void evaluateIdentity(uint16_t node) {
  ComBusRequest& r = g_bus.identity[node];
  if (r.state == COM_REQ_FREE || r.state == COM_REQ_SENT) return;
  ComBusNode& d = g_bus.nodes[node];
  if (r.state == COM_REQ_ANSWERED) {
    const uint32_t n = std::min<uint32_t>(r.length, COM_BUS_DATA_BYTES);
    uint8_t kind = COM_KIND_FOREIGN;
    for (uint8_t i = 0; i < 8; ++i) {
      if (sameName(r.data, n, kKnownNames[i])) {
        kind = static_cast<uint8_t>(i + 1);
        break;
      }
    }
    setName(d, r.data, n);
    identified(node, kind);
  } else if (r.abortCode == COM_ABORT_NO_NAME) {
    std::memset(d.name, 0, sizeof d.name);
    identified(node, COM_KIND_NO_NAME);
  } else {
    d.remoteState = COM_REMOTE_LOST;
  }
  r.state = COM_REQ_FREE;
}

// Whether the node's identity is to be asked: every other node in master mode, else the
// nodes that a block claimed and that do not announce themselves.
bool asked(uint16_t node) {
  if (node == COM_BusOwnAddress()) return false;
  if (master()) return true;
  const ComBusNode& d = g_bus.nodes[node];
  return d.configStage != COM_USE_NONE && d.identityQuery != COM_QUERY_NEVER;
}

bool requestIdentity(uint16_t node) {
  ComBusRequest& r = g_bus.identity[node];
  r = ComBusRequest{};
  r.node = node;
  r.index = kIdentityIndex;
  if (!COM_BusStartReadRequest(&r)) return false;
  g_bus.nodes[node].remoteState = COM_REMOTE_ASKED;
  return true;
}

bool identityOutstanding() {
  for (const ComBusRequest& r : g_bus.identity) {
    if (r.state == COM_REQ_SENT) return true;
  }
  return false;
}

void sendOwnIdentity() {
  uint8_t m[COM_BUS_MSG_SIZE] = {};
  const auto len = static_cast<uint8_t>(sizeof kOwnName - 1);
  const uint32_t n = header(m, COM_MSG_IDENTITY, COM_BusOwnAddress(), kIdentityIndex, 0, len);
  std::memcpy(m + COM_BUS_MSG_DATA, kOwnName, len);
  driver().sendBlock(m, n);
}

uint32_t ownNmtState() {
  switch (driver().nodeState(static_cast<uint8_t>(COM_BusOwnAddress()))) {
    case COM_DRIVER_PREOPERATIONAL: return COM_NODE_PREOPERATIONAL;
    case COM_DRIVER_OPERATIONAL: return COM_NODE_OPERATIONAL;
    default: return COM_NODE_NMT_OTHER;
  }
}

// --- own objects --------------------------------------------------------------------------

struct OwnObject {
  uint16_t block = 0;
  uint8_t kind = 0;
  FbLayout layout;
  const FbTypeRecord* type = nullptr;
};

uint32_t locate(uint16_t index, OwnObject* o) {
  if (index < kOwnFirst || index > kOwnLast) return COM_ABORT_NO_OBJECT;
  o->block = static_cast<uint16_t>((index - kOwnBase) >> 4);
  o->kind = static_cast<uint8_t>(index & 0xF);
  if (!FB_GetLayout(o->block, &o->layout)) return COM_ABORT_NO_OBJECT;
  o->type = FB_GetType(o->layout.type);
  return o->type ? 0u : uint32_t{COM_ABORT_NO_OBJECT};
}

// Elements of the object's group: the type's count (and never more than the instance has).
uint16_t elements(const OwnObject& o) {
  const FbTypeRecord& t = *o.type;
  const FbLayout& L = o.layout;
  switch (o.kind) {
    case 1: case 9: return std::min(t.analogInputs, L.analogInputs);
    case 2: return std::min(t.digitalInputs, L.digitalInputs);
    case 3: case 10: return std::min(t.analogOutputs, L.analogOutputs);
    case 4: return std::min(t.digitalOutputs, L.digitalOutputs);
    case 5: case 11: return std::min(t.floatParams, L.floatParams);
    case 6: return std::min(t.wordParams, L.wordParams);
    case 7: case 12: return std::min(t.longValues, L.longValues);
    case 8: return std::min(t.wordValues, L.wordValues);
    case 13: case 14: case 15: return kDataCodes;
    default: return 0;
  }
}

// A value x 10 as a 16-bit number; the no-value marker stays -32000.
uint16_t tenths(float f) {
  if (f == FW_NO_VALUE) return static_cast<uint16_t>(FW_NO_VALUE_S);
  return static_cast<uint16_t>(FW_FloatToI16(f * 10.0f));
}

// Block data code of kinds 13, 14, 15 for a sub-index.
int16_t dataCode(uint8_t kind, uint8_t sub) {
  return static_cast<int16_t>(kind == 13 ? sub - 1 : (kind == 14 ? 499 + sub : 299 + sub));
}

uint8_t callHandler(const OwnObject& o) {
  uint16_t bad = 0;
  g_fbReadLength = 0;
  return o.type->param ? o.type->param(&g_request, &bad) : uint8_t{FB_ERR_UNKNOWN_ID};
}

void beginRequest(uint16_t block, int16_t id) {
  std::memset(g_request.bytes, 0, sizeof g_request.bytes);
  g_request.setU16(0, block);
  g_request.setU16(2, static_cast<uint16_t>(id));
}

// Reads block data through the type's parameter handler: 1, 2 or 4 bytes.
uint32_t readBlockData(const OwnObject& o, uint8_t sub, uint8_t* out, uint8_t* length) {
  const int16_t code = dataCode(o.kind, sub);
  beginRequest(o.block, static_cast<int16_t>(-code));
  const uint8_t r = callHandler(o);
  if (r == FB_ERR_UNKNOWN_ID) return COM_ABORT_NO_SUBINDEX;
  if (r != FB_OK) return COM_ABORT_GENERAL;
  uint16_t n = g_fbReadLength;
  if (n == 0) {
    n = o.kind == 14 ? 2 : (COM_ValueKind(static_cast<uint32_t>(code)) == ComValueKind::Status ? 1 : 4);
  }
  if (n != 1 && n != 2 && n != 4) return COM_ABORT_GENERAL;
  for (uint16_t i = 0; i < n; ++i) out[i] = g_request.u8(FB_REQUEST_VALUE + n - 1u - i);
  *length = static_cast<uint8_t>(n);
  return 0;
}

uint32_t readOwn(uint16_t index, uint8_t sub, uint8_t* out, uint8_t* length) {
  OwnObject o;
  if (const uint32_t a = locate(index, &o)) return a;
  const FbLayout& L = o.layout;
  if (o.kind == 0) {
    if (sub != 0) return COM_ABORT_NO_SUBINDEX;
    put16(out, L.type);
    *length = 2;
    return 0;
  }
  if (sub == 0 || sub > elements(o)) return COM_ABORT_NO_SUBINDEX;
  const uint32_t k = sub - 1u;
  *length = 2;
  switch (o.kind) {
    case 1: putF(out, FB_ReadAnalogRef(L.ai[k])); *length = 4; break;
    case 2: put16(out, FB_ReadDigitalRef(L.di[k])); break;
    case 3: putF(out, L.ao[k]); *length = 4; break;
    case 4: put16(out, L.dout[k]); break;
    case 5: putF(out, L.fp[k]); *length = 4; break;
    case 6: put16(out, L.wp[k]); break;
    case 7: put32(out, L.lv[k]); *length = 4; break;
    case 8: put16(out, L.wv[k]); break;
    case 9: put16(out, tenths(FB_ReadAnalogRef(L.ai[k]))); break;
    case 10: put16(out, tenths(L.ao[k])); break;
    case 11: put16(out, tenths(L.fp[k])); break;
    case 12: put16(out, tenths(std::bit_cast<float>(L.lv[k].get()))); break;
    default: return readBlockData(o, sub, out, length);
  }
  return 0;
}

// Writes a value into an own object through the block's parameter handler.
uint32_t writeOwn(uint16_t index, uint8_t sub, const uint8_t* data, uint8_t length) {
  OwnObject o;
  if (const uint32_t a = locate(index, &o)) return a;
  if (o.kind == 7 || o.kind == 8 || o.kind == 12) return COM_ABORT_UNSUPPORTED;
  const bool writable = o.kind == 5 || o.kind == 6 || o.kind == 11 || o.kind == 14 || o.kind == 15;
  if (!writable || sub == 0) return COM_ABORT_READ_ONLY;
  if (sub > elements(o)) return COM_ABORT_NO_SUBINDEX;
  const bool isFloat = o.kind == 5 || o.kind == 15;
  if (length != (isFloat ? 4 : 2)) return COM_ABORT_GENERAL;
  switch (o.kind) {
    case 5:
      beginRequest(o.block, static_cast<int16_t>(FB_ID_FLOAT + sub - 1));
      g_request.setF32(FB_REQUEST_VALUE, std::bit_cast<float>(get32(data)));
      break;
    case 11: {
      const auto v = static_cast<int16_t>(get16(data));
      beginRequest(o.block, static_cast<int16_t>(FB_ID_FLOAT + sub - 1));
      g_request.setF32(FB_REQUEST_VALUE, v == FW_NO_VALUE_S ? FW_NO_VALUE : v / 10.0f);
      break;
    }
    case 6:
      beginRequest(o.block, static_cast<int16_t>(FB_ID_WORD + sub - 1));
      g_request.setU16(FB_REQUEST_VALUE, get16(data));
      break;
    case 14:
      beginRequest(o.block, dataCode(o.kind, sub));
      g_request.setU16(FB_REQUEST_VALUE, get16(data));
      break;
    default:  // 15
      beginRequest(o.block, dataCode(o.kind, sub));
      g_request.setF32(FB_REQUEST_VALUE, std::bit_cast<float>(get32(data)));
      break;
  }
  return callHandler(o) == FB_OK ? 0u : uint32_t{COM_ABORT_REFUSED};
}

void answer(uint8_t kind, uint16_t node, uint16_t index, uint8_t sub, const uint8_t* data,
            uint8_t length) {
  uint8_t m[COM_BUS_MSG_SIZE] = {};
  const uint32_t n = header(m, kind, node, index, sub, length);
  if (length) std::memcpy(m + COM_BUS_MSG_DATA, data, length);
  driver().sendReply(m, n);
}

void answerAbort(uint16_t node, uint16_t index, uint8_t sub, uint32_t code) {
  uint8_t data[4];
  put32(data, code);
  answer(COM_MSG_ABORT, node, index, sub, data, 4);
}

// --- received events ----------------------------------------------------------------------

// Handles one event; false ends the tick's events.
bool handleEvent(const uint8_t* m) {
  const uint8_t kind = m[0];
  const uint16_t node = m[1];
  const uint16_t index = get16(m + 2);
  const uint8_t sub = m[4];
  const uint8_t length = std::min<uint8_t>(m[5], COM_BUS_DATA_BYTES);
  const uint8_t* data = m + COM_BUS_MSG_DATA;

  switch (kind) {
    case COM_MSG_NONE: return false;
    case COM_MSG_WRITE: {
      const uint32_t a = writeOwn(index, sub, data, length);
      if (a) {
        answerAbort(node, index, sub, a);
      } else {
        answer(COM_MSG_DOWNLOADED, node, index, sub, nullptr, 0);
      }
      return true;
    }
    case COM_MSG_READ: {
      uint8_t value[4] = {};
      uint8_t n = 0;
      const uint32_t a = readOwn(index, sub, value, &n);
      if (a) {
        answerAbort(node, index, sub, a);
      } else {
        answer(COM_MSG_UPLOADED, node, index, sub, value, n);
      }
      return true;
    }
    default: break;
  }
  if (!isNode(node)) return true;
  ComBusNode& d = g_bus.nodes[node];
  ComBusRequest* r = g_bus.byNode[node];
  switch (kind) {
    case COM_MSG_DOWNLOADED:
    case COM_MSG_UPLOADED:
      if (r) {
        if (kind == COM_MSG_UPLOADED) {
          r->length = length;
          std::memcpy(r->data, data, length);
        }
        r->state = COM_REQ_ANSWERED;
        release(r);
      }
      return true;
    case COM_MSG_IDENTITY:
      if (node == COM_BusOwnAddress()) return true;
      if (!sameName(data, length, kOwnName)) {
        d.remoteState = COM_REMOTE_LOST;
      } else {
        setName(d, data, length);
        identified(node, COM_KIND_OWN_FAMILY);
      }
      return true;
    case COM_MSG_ABORT:
      if (length >= 4) {
        const uint32_t code = get32(data);
        ++d.failCount;
        d.failIndex = index;
        d.failCode = code;
        if (r) {
          r->state = COM_REQ_ABORTED;
          r->abortIndex = index;
          r->abortCode = code;
          release(r);
        }
        return code != COM_ABORT_STOP_EVENTS;
      }
      if (length >= 1) {
        // A state report: the node is alive.
        const bool operational = data[0] == COM_DRIVER_OPERATIONAL;
        d.retry = 0;
        d.nmtState = operational ? COM_NODE_OPERATIONAL : COM_NODE_PREOPERATIONAL;
        if (operational && (d.kind == COM_KIND_COUPLER || d.kind == COM_KIND_COUPLER_20)) {
          g_bus.selected = node;
        }
      }
      return true;
    case COM_MSG_LOST: d.remoteState = COM_REMOTE_LOST; return true;
    default: return true;
  }
}

void receiveEvents() {
  driver().poll();
  uint8_t m[COM_BUS_MSG_SIZE];
  for (uint8_t i = 0; i < COM_BUS_EVENTS_PER_TICK; ++i) {
    std::memset(m, 0, sizeof m);
    if (driver().receive(m, sizeof m) <= 0) return;
    if (!handleEvent(m)) return;
  }
}

// --- the state machine --------------------------------------------------------------------

void supervise() {
  const uint16_t own = COM_BusOwnAddress();
  for (uint16_t n = COM_BUS_FIRST_NODE; n <= COM_BUS_LAST_NODE; ++n) {
    if (n == own) continue;
    ComBusNode& d = g_bus.nodes[n];
    if (g_bus.identity[n].state != COM_REQ_FREE) {
      evaluateIdentity(n);
    } else if (d.configStage != COM_USE_NONE && d.remoteState == COM_REMOTE_KNOWN &&
               d.kind != COM_KIND_OWN_FAMILY) {
      if (++d.retry > COM_BUS_RETRY_LIMIT) {
        driver().command(static_cast<uint8_t>(n), COM_NMT_RESET);
        d.remoteState = COM_REMOTE_KNOWN;
        d.retry = 0;
      }
    } else if (d.remoteState != COM_REMOTE_ASKED && d.remoteState != COM_REMOTE_KNOWN && asked(n) &&
               g_bus.outstandingCount < COM_BUS_MAX_OUTSTANDING) {
      requestIdentity(n);
    }
  }
}

void step() {
  BusState& g = g_bus;
  const uint16_t own = COM_BusOwnAddress();
  switch (g.state) {
    case 0:
      COM_BusReset();
      if (!master()) sendOwnIdentity();
      g.state = 1;
      break;
    case 1:
      if (g.own.state != COM_REQ_SENT && ++g.ownAnswerTicks >= kOwnAnswerTicks) g.state = 2;
      break;
    case 2: {
      bool all = true;
      for (uint16_t n = COM_BUS_FIRST_NODE; n <= COM_BUS_LAST_NODE && all; ++n) {
        const uint32_t remote = g.nodes[n].remoteState;
        if (asked(n) && (remote == COM_REMOTE_UNKNOWN || remote == COM_REMOTE_LOST)) {
          all = requestIdentity(n);
        }
      }
      if (all) g.state = 3;
      break;
    }
    case 3:
      for (uint16_t n = COM_BUS_FIRST_NODE; n <= COM_BUS_LAST_NODE; ++n) {
        if (n == own) continue;
        evaluateIdentity(n);
        ComBusNode& d = g.nodes[n];
        if (d.configStage == COM_USE_CLAIMED && d.nmtState == COM_NODE_PREOPERATIONAL &&
            d.kind != COM_KIND_OWN_FAMILY) {
          d.configStage = COM_USE_STARTED;
          driver().command(static_cast<uint8_t>(n), COM_NMT_START);
        }
      }
      if (!identityOutstanding()) g.state = 4;
      break;
    case 4: {
      bool waiting = false;
      for (uint16_t n = COM_BUS_FIRST_NODE; n <= COM_BUS_LAST_NODE; ++n) {
        const ComBusNode& d = g.nodes[n];
        waiting |= d.remoteState == COM_REMOTE_KNOWN && d.configStage == COM_USE_STARTED;
      }
      if (!waiting) g.state = 7;
      break;
    }
    case 5:
      driver().command(0, COM_NMT_START);
      g.state = 7;
      break;
    case 6:
      if (ownNmtState() == COM_NODE_OPERATIONAL) g.state = 7;
      break;
    case 7:
      if (driver().status() & 1) {
        if (g.countdown == 0) g.countdown = kPeriodTicks;
        if (--g.countdown == 0) {
          uint8_t m[COM_BUS_MSG_SIZE] = {};
          driver().sendBlock(m, header(m, COM_MSG_PERIODIC, own, 0, 0, 0));
          g.countdown = kPeriodTicks;
        }
      } else {
        if (own && g.nodes[own].nmtState == COM_NODE_PREOPERATIONAL) {
          driver().command(static_cast<uint8_t>(own), COM_NMT_START);
        }
        supervise();
      }
      break;
    default: g.state = 0; break;
  }
}

// The own identity request, once answered or aborted, frees the own node's place.
void finishOwnRequest() {
  const uint16_t own = COM_BusOwnAddress();
  if (g_bus.own.state != COM_REQ_SENT && own && g_bus.byNode[own] == &g_bus.own) {
    g_bus.byNode[own] = nullptr;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------

ComBusNode* COM_BusNode(uint32_t address) {
  return address < COM_BUS_NODES ? &g_bus.nodes[address] : nullptr;
}

uint16_t COM_BusOwnAddress() {
  const uint16_t a = g_fwSys.shadow[FW_SH_BUS_NODE];
  return isNode(a) ? a : 0;
}

int COM_BusStartReadRequest(ComBusRequest* request) { return start(request, true); }
int COM_BusStartRequest(ComBusRequest* request) { return start(request, false); }

void COM_BusCancelRequest(ComBusRequest* request) {
  if (request && request != &g_bus.own) release(request);
}

uint8_t COM_BusOutstanding() {
  sweep();
  return g_bus.outstandingCount;
}

const ComBusMap& COM_BusInputMap() { return g_bus.input; }
const ComBusMap& COM_BusOutputMap() { return g_bus.output; }

namespace {
uint8_t* addObject(ComBusMap& map, uint32_t id) {
  if (map.used >= COM_BUS_MAP_ENTRIES) return nullptr;
  ComBusMapEntry& e = map.entries[map.used++];
  e.id = id;
  e.count = 1;
  map.changed = 1;
  return map.area + e.offset;
}
}  // namespace

uint8_t* COM_BusMapInput(uint32_t id) {
  ComBusMap& map = g_bus.input;
  for (uint16_t i = 0; i < map.used; ++i) {
    ComBusMapEntry& e = map.entries[i];
    if (e.id == id) {
      if (e.count < UINT16_MAX) ++e.count;
      return map.area + e.offset;
    }
  }
  return addObject(map, id);
}

uint8_t* COM_BusMapOutput(uint32_t id) {
  ComBusMap& map = g_bus.output;
  for (uint16_t i = 0; i < map.used; ++i) {
    if (map.entries[i].id == id) return nullptr;
  }
  return addObject(map, id);
}

namespace {
int32_t offsetIn(const ComBusMap& map, const uint8_t* data) {
  if (!data || data < map.area || data >= map.area + COM_BUS_AREA_BYTES) return -1;
  return static_cast<int32_t>(data - map.area);
}
uint8_t* objectAt(ComBusMap& map, uint32_t offset) {
  const bool place = offset % COM_BUS_OBJECT_BYTES == 0 &&
                     offset < COM_BUS_MAP_ENTRIES * COM_BUS_OBJECT_BYTES;
  return place ? map.area + offset : nullptr;
}
}  // namespace

int32_t COM_BusInputOffset(const uint8_t* data) { return offsetIn(g_bus.input, data); }
int32_t COM_BusOutputOffset(const uint8_t* data) { return offsetIn(g_bus.output, data); }
uint8_t* COM_BusInputObject(uint32_t offset) { return objectAt(g_bus.input, offset); }
uint8_t* COM_BusOutputObject(uint32_t offset) { return objectAt(g_bus.output, offset); }

void COM_BusReset() {
  g_bus = BusState{};
  for (uint16_t i = 0; i < COM_BUS_MAP_ENTRIES; ++i) {
    g_bus.input.entries[i].offset = static_cast<uint16_t>(i * COM_BUS_OBJECT_BYTES);
    g_bus.output.entries[i].offset = static_cast<uint16_t>(i * COM_BUS_OBJECT_BYTES);
  }
  const uint16_t own = COM_BusOwnAddress();
  const uint16_t rate = g_fwSys.shadow[FW_SH_BUS_RATE];
  driver().reset();
  driver().setBitRate(rate < std::size(kBitRates) ? kBitRates[rate] : kDefaultBitRate);
  driver().setNode(static_cast<uint8_t>(own));
  driver().setMode(master() ? 1 : 0);
  driver().start();
  if (!own) return;
  ComBusNode& d = g_bus.nodes[own];
  d.remoteState = COM_REMOTE_KNOWN;
  d.kind = COM_KIND_OWN_FAMILY;
  ComBusRequest& r = g_bus.own;
  r.node = own;
  r.index = kIdentityIndex;
  uint8_t m[COM_BUS_MSG_SIZE] = {};
  if (driver().request(m, header(m, COM_MSG_UPLOAD, own, kIdentityIndex, 0, 0))) {
    r.state = COM_REQ_SENT;
    g_bus.byNode[own] = &r;
  }
}

void COM_BusStateMachine() {
  sweep();
  if (FW_IsRunning()) {
    step();
  } else {
    g_bus.state = 0;
  }
  const uint16_t own = COM_BusOwnAddress();
  if (own) g_bus.nodes[own].nmtState = ownNmtState();
  receiveEvents();
  finishOwnRequest();
  driver().cycleEnd();
}

void COM_BusCycle() { COM_BusStateMachine(); }

uint8_t COM_BusMachineState() { return g_bus.state; }

const FwBusDriver* COM_BusSetDriver(const FwBusDriver* d) {
  const FwBusDriver* previous = g_driver;
  g_driver = d ? d : &g_fwBusDriver;
  return previous;
}

uint16_t COM_BusSelectedNode() { return g_bus.selected; }

void COM_BusSetAddress(uint16_t node) {
  if (node >= COM_BUS_FIRST_NODE && node <= COM_BUS_LAST_NODE) g_bus.selected = node;
}

bool COM_BusOtherNodeKnown() {
  const uint16_t own = COM_BusOwnAddress();
  for (uint16_t n = 1; n <= COM_BUS_LAST_NODE; ++n) {
    if (n != own && g_bus.nodes[n].remoteState == COM_REMOTE_KNOWN) return true;
  }
  return false;
}

const ComCanNodeTable& COM_CanNodeTable() {
  auto bounded = [](uint32_t v, uint32_t max) { return static_cast<uint8_t>(v <= max ? v : 0); };
  for (uint16_t n = 1; n <= COM_CAN_NODES; ++n) {
    const ComBusNode& d = g_bus.nodes[n];
    ComCanNodeEntry& e = g_canTable.nodes[n];
    e.remote = bounded(d.remoteState, COM_REMOTE_LOST);
    e.nmt = bounded(d.nmtState, COM_NODE_OPERATIONAL);
    e.use = bounded(d.configStage, COM_USE_CONFIGURED);
    e.state = d.kind;
    e.type = d.kind;
    std::memset(e.name, 0, sizeof e.name);
    std::memcpy(e.name, d.name, strnlen(d.name, COM_CAN_NAME_LEN));
  }
  g_canTable.ownNode = g_fwSys.shadow[FW_SH_BUS_NODE];
  return g_canTable;
}
