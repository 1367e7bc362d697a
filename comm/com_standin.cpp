// Plain stand-ins for the device communication that is not built yet: the option cards' links
// keep no state.
#include "comm/com_cards.h"
#include "comm/com_serial.h"
#include "comm/com_services.h"

void FW_OptionCardCycle() {}

void FW_OptionCardReset() {}
void COM_PnCardReset() {}

namespace {
uint8_t g_cardArea[COM_SERIAL_SIZE];
uint16_t g_cardLength;
}  // namespace

// Without the card's exchange every frame is one for channel 1.
void FW_OptionCardReceive() {
  if (COM_SerialFetch(1, g_cardArea, sizeof g_cardArea, &g_cardLength)) {
    g_cardLength = 0;
    return;
  }
  COM_SerialFrameReceived(1);
}

const uint8_t* FW_OptionCardReceiveArea(uint16_t* length) {
  *length = g_cardLength;
  return g_cardArea;
}
