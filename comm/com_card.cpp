// The option-card links: the PROFIBUS card's record exchange and supervision (option "3")
// and the reset of the PROFINET card's link (option "4").
#include "comm/com_card.h"

#include <cstring>

#include "comm/com_links.h"
#include "comm/com_services.h"
#include "runtime/fw_main_state.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysimage.h"

ComOptionCard g_comCard{};
ComPnLink g_comPnLink{};

namespace {

constexpr uint8_t kSerialErrorBit1 = 0x02;
constexpr int16_t kCounterLimit = COM_CARD_LOST_CYCLES + 1;

uint8_t* record(uint32_t n) { return g_comFieldbus[n]; }

// Record 0 carries copies of the two status bytes: whatever goes to the card with index 0
// must show them as they are now.
void copyStatusToRecord0() {
  record(0)[COM_FB_DEVICE_STATUS] = g_fwSys.cardDeviceStatus;
  record(0)[COM_FB_BUS_STATUS] = g_fwSys.cardBusStatus;
}

void clearExchangeRecords() {
  std::memset(record(COM_FB_FIRST_OUT), 0, (COM_FB_RECORDS - 1) * COM_FB_RECORD_SIZE);
}

// One half of the exchange: the card's 26 bytes at `at` + 1 into record index + 4, and
// record index into the frame in their place. An index above 4 has no record pair.
void swapHalf(uint8_t* frame, uint32_t at) {
  const uint32_t index = frame[at];
  if (index > COM_FB_PAIRS) return;
  uint8_t* data = frame + at + 1;
  std::memcpy(record(index + COM_FB_PAIRS), data, COM_FB_RECORD_SIZE);
  std::memcpy(data, record(index), COM_FB_RECORD_SIZE);
}

}  // namespace

void FW_OptionCardReset() {
  g_fwSys.cardDeviceStatus = COM_CARD_DEV_STOPPED;
  g_fwSys.cardBusStatus = 0;
  std::memset(record(0) + COM_FB_INVALID, 0, 3);   // blocks 11..13; block 14's byte stays
  std::memset(g_comCard.area, 0, sizeof g_comCard.area);
  g_comCard.length = 0;
  if (g_fwEng.warmStart != 1) clearExchangeRecords();
  copyStatusToRecord0();
}

void FW_OptionCardClearRecords() { clearExchangeRecords(); }

void FW_OptionCardReceive() {
  ComOptionCard& c = g_comCard;
  if (COM_SerialFetch(1, c.area, sizeof c.area, &c.length)) {
    std::memset(c.area, 0, COM_CARD_FRAME);
    return;
  }
  g_comSerial.lastErrors &= static_cast<uint8_t>(~kSerialErrorBit1);
  if (COM_LinkDeviceMode() == FW_DEVICE_SERVICE) return;
  c.linkCounter = 0;
  if (std::memcmp(c.area, kComCardHeader, COM_CARD_HEADER) != 0) {
    // Not an exchange: a request for channel 1.
    ++g_comChannels.events;
    g_comChannels.rxState[0] = COM_RX_WAITING;
    return;
  }
  FW_OptionCardSwapRecords();
  // The driver copies the reply into its transmit buffer only when it takes it; a refused
  // reply is lost, and the records keep what the frame brought.
  COM_SerialTransmit(c.area + COM_CARD_REPLY_AT, COM_CARD_REPLY);
}

void FW_OptionCardSwapRecords() {
  uint8_t* frame = g_comCard.area;
  g_fwSys.cardBusStatus = frame[COM_CARD_AT_BUS_STATUS];
  frame[COM_CARD_AT_BUS_STATUS] = g_fwSys.cardDeviceStatus;
  copyStatusToRecord0();
  swapHalf(frame, COM_CARD_AT_FIRST);
  swapHalf(frame, COM_CARD_AT_SECOND);
}

void FW_OptionCardCycle() {
  const uint8_t bus = g_fwSys.cardBusStatus;
  const uint8_t* r0 = record(0);
  uint8_t dev = g_fwSys.cardDeviceStatus;
  if (bus & COM_CARD_BUS_ADDRESS_ACK) dev &= static_cast<uint8_t>(~COM_CARD_DEV_ADDRESS);
  dev &= static_cast<uint8_t>(
      ~(COM_CARD_DEV_CHANGED | COM_CARD_DEV_BUS_FAULT | COM_CARD_DEV_INPUT_FAILED | COM_CARD_DEV_STOPPED));
  if (FW_SysStatus() & FW_STAT_CHANGED) dev |= COM_CARD_DEV_CHANGED;
  if (bus | r0[COM_FB_INVALID] | r0[COM_FB_INVALID + 1] | r0[COM_FB_INVALID + 2]) {
    dev |= COM_CARD_DEV_BUS_FAULT;
  }
  if (COM_LinkStatusBits() & 1) dev |= COM_CARD_DEV_INPUT_FAILED;
  if (g_fwRunMode == FW_RUN_MODE_STOP) dev |= COM_CARD_DEV_STOPPED;
  g_fwSys.cardDeviceStatus = dev;
  if (COM_LinkDeviceMode() != FW_DEVICE_SERVICE) {
    // The counter stops one past the limit, so that a lost card stays lost however long.
    if (g_comCard.linkCounter < kCounterLimit) ++g_comCard.linkCounter;
    if (g_comCard.linkCounter > COM_CARD_LOST_CYCLES) {
      g_fwSys.cardBusStatus = static_cast<uint8_t>(bus | COM_CARD_BUS_ERRORS);
    }
  }
  copyStatusToRecord0();
}

const uint8_t* FW_OptionCardReceiveArea(uint16_t* length) {
  *length = g_comCard.length;
  return g_comCard.area;
}

void COM_PnCardReset() {
  ComPnLink& l = g_comPnLink;
  l.phase = 0;
  l.state = 0;
  l.status = 0;
  l.errorCount = 0;
  l.statusFlags = 0;
  l.receiveLength = 0;
  l.send[0] = 0;
  l.receive[0] = 0;
  if (g_fwEng.warmStart != 1) std::memset(g_comPnData.bytes, 0, sizeof g_comPnData.bytes);
  COM_PnDataType() = 0;
}
