#include "support/remoteio_standin.h"

#include "runtime/fb_param.h"
#include "runtime/fb_store.h"
#include "runtime/fw_sysimage.h"

namespace rio {
namespace {

void nothing() {}
uint8_t refuse(FbParamRequest*, uint16_t* bad) {
  if (bad) *bad = 0;
  return FB_ERR_UNKNOWN_ID;
}

constexpr uint16_t kNodeIdDefault[] = {32};
constexpr FbTemplate kCoupler = FB_SizedTemplate(
    {.type = COM_TYPE_C_TQ5X, .analogOutputs = COM_SLOTS, .digitalOutputs = 3,
     .wordValues = kNodeIdDefault});
constexpr FbTemplate moduleTemplate(uint16_t type) {
  return FB_SizedTemplate({.type = type, .digitalOutputs = 3, .analogInputs = 1});
}
constexpr FbTemplate kModules[] = {moduleTemplate(COM_TYPE_TQ_DI), moduleTemplate(COM_TYPE_TQ_DO),
                                   moduleTemplate(COM_TYPE_TQ_AI), moduleTemplate(COM_TYPE_TQ_AO),
                                   moduleTemplate(COM_TYPE_TQ_AIPLUS)};
constexpr FbBlockRange kCouplerBlocks[] = {{COM_FIRST_COUPLER, COM_FIRST_COUPLER + COM_COUPLERS - 1},
                                           {0, 0}};

struct Row {
  bool present;
  ComIoModule m;
};
Row g_rows[FB_LIST_SIZE];
SlotRecord g_slots[COM_COUPLERS][COM_SLOTS];
ComBusRequest g_requests[COM_COUPLERS];
bool g_hidden[COM_COUPLERS];

int couplerIndex(uint16_t coupler) {
  const int c = coupler - COM_FIRST_COUPLER;
  return c >= 0 && c < COM_COUPLERS ? c : -1;
}

bool readModule(uint16_t block, ComIoModule* out) {
  if (block > FB_MAX_BLOCK || !g_rows[block].present) return false;
  *out = g_rows[block].m;
  FbLayout L;
  if (FB_GetLayout(block, &L) && L.analogInputs && L.ai[0] != FB_REF_ZERO) {
    out->slotInput = FB_ReadAnalogRef(L.ai[0]);
  }
  return true;
}

bool readSlot(uint16_t coupler, uint8_t s, ComIoSlotView* out) {
  const int c = couplerIndex(coupler);
  if (c < 0 || s >= COM_SLOTS || g_hidden[c]) return false;
  SlotRecord& r = g_slots[c][s];
  *out = ComIoSlotView{&r.kind, r.input, r.status, r.output, r.raw};
  return true;
}

ComBusRequest* couplerRequest(uint16_t coupler) {
  const int c = couplerIndex(coupler);
  return c < 0 ? nullptr : &g_requests[c];
}

const ComIoBlockAccess kAccess{readModule, readSlot, couplerRequest};

ComIoModule* addRow(uint16_t block, uint16_t type) {
  if (block > FB_MAX_BLOCK || FB_CreateInstance(type, block) != FB_OK) return nullptr;
  g_rows[block] = Row{true, ComIoModule{}};
  return &g_rows[block].m;
}

}  // namespace

void registerTypes() {
  FB_RegisterType(COM_TYPE_C_TQ5X, FB_TypeFromTemplate(&kCoupler, nothing, nothing, refuse, nullptr,
                                                       kCouplerBlocks, 0, 1, 1));
  for (const FbTemplate& t : kModules) {
    FB_RegisterType(t.type, FB_TypeFromTemplate(&t, nothing, nothing, refuse, nullptr,
                                                FB_COMMON_BLOCK_RANGES, 0, 1, 1));
  }
}

void reset() {
  for (Row& r : g_rows) r = Row{};
  for (auto& coupler : g_slots) {
    for (SlotRecord& s : coupler) s = SlotRecord{};
  }
  for (ComBusRequest& q : g_requests) q = ComBusRequest{};
  for (bool& h : g_hidden) h = false;
}

const ComIoBlockAccess* access() { return &kAccess; }

void install() {
  FB_ClearTypeTable();
  FB_ClearStore();
  registerTypes();
  reset();
  COM_SetIoBlockAccess(access());
  FW_SysImage()[FW_SYS_ORDER_DIGITS + 2] = '1';
}

bool addCoupler(uint16_t block, uint16_t nodeId) {
  if (couplerIndex(block) < 0 || FB_CreateInstance(COM_TYPE_C_TQ5X, block) != FB_OK) return false;
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return false;
  L.wv[0] = nodeId;
  for (uint32_t n = 0; n < COM_SLOTS; ++n) {
    L.ao[n] = static_cast<float>(block * 1000u + COM_SLOT_ADDRESS_FIRST + COM_SLOT_ADDRESS_STEP * n);
  }
  return true;
}

ComIoModule* addModule(uint16_t block, uint16_t type, uint16_t coupler, int slot) {
  ComIoModule* m = addRow(block, type);
  FbLayout L;
  uint32_t handle = 0;
  if (!m || !FB_GetLayout(block, &L) || !FB_AnalogOutputHandle(coupler, slot, &handle)) return m;
  L.ai[0] = handle;
  m->claimed = 1;
  return m;
}

ComIoModule* addModuleReading(uint16_t block, uint16_t type, float slotValue) {
  ComIoModule* m = addRow(block, type);
  if (m) {
    m->slotInput = slotValue;
    m->claimed = 1;
  }
  return m;
}

ComIoModule* addAnalogInput(uint16_t block, uint16_t coupler, int slot, uint8_t signal, float x100) {
  ComIoModule* m = addModule(block, COM_TYPE_TQ_AI, coupler, slot);
  if (m) {
    for (int j = 0; j < COM_SLOT_CHANNELS; ++j) {
      m->signalType[j] = signal;
      m->x100[j] = x100;
    }
  }
  return m;
}

ComIoModule& module(uint16_t block) { return g_rows[block].m; }
SlotRecord& slot(uint16_t coupler, int s) { return g_slots[couplerIndex(coupler)][s]; }
ComBusRequest& request(uint16_t coupler) { return g_requests[couplerIndex(coupler)]; }
void hideSlots(uint16_t coupler, bool hidden) { g_hidden[couplerIndex(coupler)] = hidden; }

}  // namespace rio
