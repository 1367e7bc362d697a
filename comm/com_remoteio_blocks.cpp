// The part of the module link the remote I/O block family calls: the installed calls, the
// slot addresses, the module kind codes and the signal types of the analog inputs.
#include <iterator>

#include "comm/com_remoteio.h"
#include "runtime/fw_numeric.h"

namespace {

const ComIoBlockAccess* g_access = nullptr;

constexpr float kRawUp = 32767.0f, kRawDown = -32768.0f;
constexpr float kTempUp = 3276.7f, kTempDown = -3276.8f;
constexpr ComSignalRow kSignals[] = {
    {0, false, 0, 0, 0, 0},                       // no sensor
    {1, false, 0, 0, kTempUp, kTempDown},  {2, false, 0, 0, kTempUp, kTempDown},
    {3, false, 0, 0, kTempUp, kTempDown},  {4, false, 0, 0, kTempUp, kTempDown},
    {5, false, 0, 0, kTempUp, kTempDown},  {6, false, 0, 0, kTempUp, kTempDown},
    {7, false, 0, 0, kTempUp, kTempDown},  {8, false, 0, 0, kTempUp, kTempDown},
    {9, false, 0, 0, kTempUp, kTempDown},  {10, false, 0, 0, kTempUp, kTempDown},  // thermocouples
    {30, false, 0, 0, kTempUp, kTempDown},                                         // PT100
    {40, true, 0.0f, 10000.0f, kRawUp, kRawDown},        // 0..10 V, mV
    {41, true, -10000.0f, 10000.0f, kRawUp, kRawDown},   // -10..10 V, mV
    {42, true, -3000.0f, 3000.0f, kRawUp, kRawDown},     // -3..3 V, mV
    {51, true, 0.0f, 16000.0f, kRawUp, kRawDown},        // 4..20 mA, uA above 4 mA
    {52, true, 0.0f, 20000.0f, kRawUp, kRawDown},        // 0..20 mA, uA
};

// Analog-input kinds by "MTyp" 0..8; any other model is the first.
constexpr int16_t kAnalogInputKinds[] = {
    COM_KIND_TQ_AI,    COM_KIND_TQ_AI_1,  COM_KIND_TQ_AI_2,    COM_KIND_TQ_AI_V, COM_KIND_TQ_AI_V1,
    COM_KIND_TQ_AI_V2, COM_KIND_TQ_AI_TC, COM_KIND_TQ_AI_TC2, COM_KIND_TQ_AI_MIXED};

}  // namespace

const ComIoBlockAccess* COM_SetIoBlockAccess(const ComIoBlockAccess* access) {
  const ComIoBlockAccess* previous = g_access;
  g_access = access;
  return previous;
}

const ComIoBlockAccess* COM_IoBlockAccess() { return g_access; }

const ComSignalRow* COM_SignalRow(uint8_t code) {
  for (const ComSignalRow& r : kSignals) {
    if (r.code == code) return &r;
  }
  return nullptr;
}

bool COM_DecodeSlotAddress(float value, uint16_t* coupler, uint8_t* slot) {
  const int32_t a = FW_FloatToI32(value);
  if (a <= 0 || static_cast<float>(a) != value) return false;
  const int32_t block = a / 1000, place = a % 1000;
  if (block < COM_FIRST_COUPLER || block >= COM_FIRST_COUPLER + COM_COUPLERS) return false;
  const int32_t from = place - static_cast<int32_t>(COM_SLOT_ADDRESS_FIRST);
  if (from < 0 || from % COM_SLOT_ADDRESS_STEP != 0) return false;
  const int32_t s = from / static_cast<int32_t>(COM_SLOT_ADDRESS_STEP);
  if (s >= COM_SLOTS) return false;
  *coupler = static_cast<uint16_t>(block);
  *slot = static_cast<uint8_t>(s);
  return true;
}

int16_t COM_ModuleKind(uint16_t type, uint8_t mode) {
  switch (type) {
    case COM_TYPE_TQ_DI:
      return mode == 1 ? COM_KIND_TQ_DI_8 : (mode == 2 ? COM_KIND_TQ_DI_4 : COM_KIND_TQ_DI);
    case COM_TYPE_TQ_DO: return mode == 1 ? COM_KIND_TQ_DO_4 : COM_KIND_TQ_DO;
    case COM_TYPE_TQ_AI:
    case COM_TYPE_TQ_AIPLUS:
      return mode < std::size(kAnalogInputKinds) ? kAnalogInputKinds[mode] : int16_t{COM_KIND_TQ_AI};
    case COM_TYPE_TQ_AO:
      return mode == 1 ? COM_KIND_TQ_AO_1 : (mode == 2 ? COM_KIND_TQ_AO_2 : COM_KIND_TQ_AO);
    case COM_TYPE_TQ_DMS: return COM_KIND_TQ_DMS;
    default: return 0;
  }
}
