#include "comm/com_remoteio.h"

#include <cstdio>
#include <cstring>

#include "comm/com_services.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_sysdata.h"
#include "shell/sim_services.h"

namespace {

ComCouplerRecord g_couplers[COM_COUPLERS];
// --- little-endian slot images ------------------------------------------------------------

void putLe16(uint8_t* p, int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
}
void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
int16_t getLe16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

// --- scan ---------------------------------------------------------------------------------

// Clears a record for a new scan; the panel id and the previous configuration stay the shell's.
void clearRecord(ComCouplerRecord& r) {
  const int32_t panel = r.panel;
  int16_t previousKinds[COM_SLOTS], previousBlocks[COM_SLOTS];
  std::memcpy(previousKinds, r.previousKinds, sizeof previousKinds);
  std::memcpy(previousBlocks, r.previousBlocks, sizeof previousBlocks);
  r = ComCouplerRecord{};
  r.panel = panel;
  std::memcpy(r.previousKinds, previousKinds, sizeof previousKinds);
  std::memcpy(r.previousBlocks, previousBlocks, sizeof previousBlocks);
  r.moduleCount = -1;
}

// Scale and offset from the panel's number to the module's raw value: electrical signals map
// the channel's scale v..w onto the signal's raw range A..B, other channels take their scale
// as it is; a channel with v = w reads A.
void scaleChannel(ComCouplerRecord& r, uint8_t s, int j, const ComIoModule& m) {
  const uint8_t code = m.signalType[j];
  const ComSignalRow* row = COM_SignalRow(code);
  const float v = m.x0[j], w = m.x100[j];
  float a = v, b = w;
  if (code >= COM_SIGNAL_ELECTRICAL && row && row->range) {
    a = row->low;
    b = row->high;
  }
  float scale = 0.0f, offset = a;
  if (w != v) {
    scale = (b - a) / (w - v);
    offset = a - scale * v;
  }
  r.scale[s][j] = scale;
  r.offset[s][j] = offset;
  r.span[s][j] = code == COM_SIGNAL_LIVE_ZERO ? COM_LIVE_ZERO_SPAN : 0.0f;
  r.substitute[s][j] = row ? (m.downscale[j] ? row->downscale : row->upscale) : 0.0f;
}

void fillSlot(ComCouplerRecord& r, uint8_t s, uint16_t type, uint16_t block, const ComIoModule& m) {
  const int16_t kind = COM_ModuleKind(type, m.mode);
  r.kinds[s] = kind;
  r.blocks[s] = static_cast<int16_t>(block);
  r.settings[s] = 0;
  for (int j = 0; j < COM_SLOT_CHANNELS; ++j) {
    r.scale[s][j] = r.offset[s][j] = r.span[s][j] = r.substitute[s][j] = 0.0f;
  }
  switch (type) {
    case COM_TYPE_TQ_DI:
    case COM_TYPE_TQ_DO: r.settings[s] = m.inversion; break;
    case COM_TYPE_TQ_AI:
    case COM_TYPE_TQ_AIPLUS:
      for (int j = 0; j < COM_SLOT_CHANNELS; ++j) scaleChannel(r, s, j, m);
      break;
    default:  // TQ_AO
      for (int j = 0; j < COM_SLOT_CHANNELS; ++j) {
        r.span[s][j] = m.signalType[j] == COM_OUTPUT_LIVE_ZERO ? COM_LIVE_ZERO_SPAN : 0.0f;
      }
      break;
  }
  ComIoSlotView v;
  const ComIoBlockAccess* access = COM_IoBlockAccess();
  const bool found = access->slot && access->slot(r.couplerBlock, s, &v) && v.kind && v.input &&
                     v.channelStatus && v.output && v.raw;
  r.slotViews[s] = found ? v : ComIoSlotView{};
  if (found) *v.kind = static_cast<uint8_t>(kind);
}

// A coupler found: its node counts as known and operational, a bus coupler.
void markCouplerNode(uint16_t address) {
  if (address < COM_BUS_FIRST_NODE || address > COM_BUS_LAST_NODE) return;
  ComBusNode* d = COM_BusNode(address);
  d->remoteState = COM_REMOTE_KNOWN;
  d->nmtState = COM_NODE_OPERATIONAL;
  d->kind = COM_KIND_COUPLER;
}

// --- exchange -----------------------------------------------------------------------------

// The number of a panel word, bits 28..30 restored from the sign.
int32_t panelNumber(uint32_t w) {
  return static_cast<int32_t>((w & 0x80000000u) ? w | COM_PANEL_SIGN_BITS : w & ~COM_PANEL_SIGN_BITS);
}

uint32_t query(int c, int i, int j, const ComIoSlotView& v) {
  const auto w = static_cast<uint32_t>(SimModulePanelQuery(c, i, j));
  putLe32(v.raw + 4 * j, w);
  return w;
}

// Analog input: a fault reads the substitute, a raw value less the offset, else the
// reading scaled.
int16_t analogValue(const ComCouplerRecord& r, int i, int j, uint32_t w) {
  if (w & COM_PANEL_FAULT) return FW_FloatToI16(r.substitute[i][j]);
  const auto n = static_cast<float>(panelNumber(w));
  if (w & COM_PANEL_RAW) return FW_FloatToI16(n - r.offset[i][j]);
  return FW_FloatToI16(n / 1000.0f * r.scale[i][j] + r.offset[i][j]);
}

// Temperature input in tenths: the reading / 100 (fault: the substitute x 10), nudged by
// 0.001 away from zero before the truncation.
int16_t tenthsValue(const ComCouplerRecord& r, int i, int j, uint32_t w) {
  float v;
  if (w & COM_PANEL_FAULT) {
    v = r.substitute[i][j] * 10.0f;
  } else if (w & COM_PANEL_RAW) {
    v = static_cast<float>(panelNumber(w)) - r.offset[i][j];
  } else {
    v = static_cast<float>(panelNumber(w)) / 100.0f;
  }
  v += v < 0.0f ? -0.001f : 0.001f;
  return FW_FloatToI16(v);
}

// Strain-gauge input: the number as it comes (fault: the substitute x 1000).
int32_t gaugeValue(const ComCouplerRecord& r, int i, int j, uint32_t w) {
  if (w & COM_PANEL_FAULT) return FW_FloatToI32(static_cast<double>(r.substitute[i][j]) * 1000.0);
  if (w & COM_PANEL_RAW) return FW_FloatToI32(static_cast<double>(panelNumber(w)) - r.offset[i][j]);
  return panelNumber(w);
}

void exchangeSlot(int c, int i, const ComCouplerRecord& r) {
  const int16_t kind = r.kinds[i];
  const ComIoSlotView& v = r.slotViews[i];
  if (!kind || !v.input) return;
  *v.kind = static_cast<uint8_t>(kind);
  switch (kind) {
    case COM_KIND_TQ_DO:
    case COM_KIND_TQ_DO_4:
      SimModulePanelSend(c, i, 0, (v.output[0] ^ r.settings[i]) & 0xFF);
      break;
    case COM_KIND_TQ_DI:
    case COM_KIND_TQ_DI_8:
    case COM_KIND_TQ_DI_4:
      v.input[0] = static_cast<uint8_t>(query(c, i, 0, v) ^ r.settings[i]);
      break;
    case COM_KIND_TQ_AI: case COM_KIND_TQ_AI_V: case COM_KIND_TQ_AI_1:
    case COM_KIND_TQ_AI_V1: case COM_KIND_TQ_AI_2: case COM_KIND_TQ_AI_V2:
      for (int j = 0; j < COM_SLOT_CHANNELS; ++j) {
        putLe16(v.input + 2 * j, analogValue(r, i, j, query(c, i, j, v)));
      }
      break;
    case COM_KIND_TQ_AO: case COM_KIND_TQ_AO_1: case COM_KIND_TQ_AO_2:
      for (int j = 0; j < COM_SLOT_CHANNELS; ++j) {
        SimModulePanelSend(c, i, j, getLe16(v.output + 2 * j) + FW_FloatToI32(r.span[i][j]));
      }
      break;
    case COM_KIND_TQ_AI_TC:
    case COM_KIND_TQ_AI_TC2: {
      const int channels = kind == COM_KIND_TQ_AI_TC ? COM_SLOT_CHANNELS : 2;
      for (int j = 0; j < channels; ++j) {
        putLe16(v.input + 2 * j, tenthsValue(r, i, j, query(c, i, j, v)));
      }
      break;
    }
    case COM_KIND_TQ_DMS:
      for (int j = 0; j < 2; ++j) {
        putLe32(v.input + 4 * j, static_cast<uint32_t>(gaugeValue(r, i, j, query(c, i, j, v))));
      }
      break;
    case COM_KIND_TQ_AI_MIXED: {
      putLe16(v.input, analogValue(r, i, 0, query(c, i, 0, v)));
      const uint32_t w = query(c, i, 1, v);
      v.channelStatus[1] = (w & COM_PANEL_FAULT) ? 1 : 0;
      putLe16(v.input + 2, tenthsValue(r, i, 1, w));
      break;
    }
    default: break;
  }
}

// The coupler's bus request is answered at once: there is no bus behind the panels.
void answerCouplerRequest(uint16_t coupler) {
  const ComIoBlockAccess* access = COM_IoBlockAccess();
  if (!access || !access->request) return;
  ComBusRequest* q = access->request(coupler);
  if (!q || q->state != COM_REQ_SENT) return;
  q->state = COM_REQ_ANSWERED;
  q->length = 0;
  COM_BusCancelRequest(q);
}

}  // namespace

ComCouplerRecord* COM_CouplerRecord(int coupler) {
  return coupler >= 0 && coupler < COM_COUPLERS ? &g_couplers[coupler] : nullptr;
}

void COM_ScanIoModules(int32_t instance) {
  const bool option = FW_GetCommOption() > '0';
  for (int c = 0; c < COM_COUPLERS; ++c) {
    ComCouplerRecord& r = g_couplers[c];
    clearRecord(r);
    if (!option) continue;
    const auto block = static_cast<uint16_t>(COM_FIRST_COUPLER + c);
    uint16_t* inst = FB_GetInstance(block);
    if (!inst || inst[FB_HDR_TYPE] != COM_TYPE_C_TQ5X) continue;
    r.instance = inst;
    r.couplerBlock = static_cast<int16_t>(block);
    r.moduleCount = 0;
    uint16_t* nodeId = nullptr;
    const uint16_t address = FB_GetWordValuePtr(block, 1, &nodeId) ? *nodeId : 0;
    std::snprintf(r.title, sizeof r.title, "TQ500 - #%d", address);
    markCouplerNode(address);
  }
  const ComIoBlockAccess* access = COM_IoBlockAccess();
  if (option && access && access->module) {
    for (uint16_t block = COM_FIRST_MODULE_BLOCK; block <= FB_MAX_BLOCK; ++block) {
      const uint16_t* inst = FB_GetInstance(block);
      if (!inst) continue;
      const uint16_t type = inst[FB_HDR_TYPE];
      if (type < COM_TYPE_TQ_DI || type > COM_TYPE_TQ_AIPLUS) continue;
      ComIoModule m;
      uint16_t coupler = 0;
      uint8_t slot = 0;
      if (!access->module(block, &m) || !m.claimed ||
          !COM_DecodeSlotAddress(m.slotInput, &coupler, &slot)) {
        continue;
      }
      ComCouplerRecord& r = g_couplers[coupler - COM_FIRST_COUPLER];
      if (r.moduleCount < 0) continue;
      ++r.moduleCount;
      fillSlot(r, slot, type, block, m);
    }
  }
  SimModulePanelOpen(instance);
}

void COM_ExchangeIoModules() {
  for (int c = 0; c < COM_COUPLERS; ++c) {
    const ComCouplerRecord& r = g_couplers[c];
    if (!r.instance) continue;
    answerCouplerRequest(static_cast<uint16_t>(r.couplerBlock));
    for (int i = 0; i < COM_SLOTS; ++i) exchangeSlot(c, i, r);
  }
}
