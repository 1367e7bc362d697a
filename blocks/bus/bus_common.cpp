#include "blocks/bus/bus_internal.h"
#include "runtime/fw_sysdata.h"

namespace busblk {

bool busOption() { return FW_GetCommOption() >= '1'; }

void takePendingWordValues(const FbLayout& L) {
  for (uint16_t i = 0; i < L.wordValues; ++i) L.wv[i] = L.wv[L.wordValues + i];
}

bool wordValuesAllowed(const FbLayout& L, const FbLimitTable& limits) {
  if (limits.wordValues.size() < L.wordValues) return false;
  for (uint16_t i = 0; i < L.wordValues; ++i) {
    if (!FW_CheckShortLimit(static_cast<int16_t>(L.wv[i]), &limits.wordValues[i], L.block)) {
      return false;
    }
  }
  return true;
}

bool identifyPartner(ComBusNode& node, uint8_t& retry, uint16_t& idErr, const PartnerRule& rule) {
  node.configStage = COM_USE_CLAIMED;
  if (rule.announces) node.identityQuery = COM_QUERY_NEVER;
  if (node.remoteState == COM_REMOTE_KNOWN) {
    retry = 0;
    const bool accepted = rule.kinds == 0 || (node.kind < 16 && (rule.kinds >> node.kind) & 1u);
    if (!accepted) {
      idErr = 1;
      return false;
    }
    idErr = 0;
    node.configStage = COM_USE_STARTED;
    return true;
  }
  if (retry <= rule.retryLimit) ++retry;
  if (retry > rule.retryLimit) idErr = 1;
  return false;
}

bool partnerOperational(uint8_t& link, const ComBusNode& node, uint16_t& valid) {
  if (node.nmtState == COM_NODE_OPERATIONAL) {
    link = BUS_LINK_EXCHANGING;
    return true;
  }
  if (link == BUS_LINK_WAIT_OPERATIONAL && node.nmtState == COM_NODE_PREOPERATIONAL) return false;
  link = BUS_LINK_WAIT_PARTNER;
  valid = 0;
  return false;
}

}  // namespace busblk

uint8_t BLK_BusLinkState(uint16_t block) {
  FbLayout L;
  if (!FB_GetLayout(block, &L) || L.workWords == 0) return 0;
  switch (L.type) {
    case BLK_TYPE_CRCV:
    case BLK_TYPE_CSEND:
    case BLK_TYPE_C_MX6X:
    case BLK_TYPE_CPREAD:
    case BLK_TYPE_CPWRIT:
      // The link state is the first byte of each of these records.
      return reinterpret_cast<const uint8_t*>(L.work)[0];
    default: return 0;
  }
}

void BLK_RegisterBusTypes() {
  busblk::registerCrossTypes();
  busblk::registerCouplerTypes();
  busblk::registerRawTypes();
}
