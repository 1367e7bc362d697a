// Fuzz target of the option card's receive handler: any frame from the card, with or without
// error bits, in the download state or not, with the line free or still busy, is handled
// without reading or writing outside the receive area and the nine exchange records; channel
// 1 then serves whatever was not an exchange. Record 0 keeps its first 20 bytes at 0 and its
// copy of the bus status byte, the link counter stays within 0..101, and every reply is the
// 57 bytes of an exchange.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "comm/com_card.h"
#include "comm/com_links.h"
#include "comm/com_modbus.h"
#include "comm/com_services.h"
#include "firmware/fw_main.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysimage.h"

namespace {

void setUp() {
  FB_ClearTypeTable();
  FW_ClearEngineering();
  uint8_t* im = FW_SysImage();
  im[FW_SYS_ORDER_DIGITS + 2] = '3';
  im[FW_SYS_ADDRESS] = 0;   // the address digits "00" of the exchange frame's fixed bytes
  COM_Init();
  COM_SerialTestAttach(true);
  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int runs = 0;
  if (runs++ % 256 == 0) setUp();
  if (size < 1) return 0;
  // The first byte: the reception's error bits, the download state, the run mode, whether the
  // reply of the frame before is left on the line, whether the frame gets the fixed bytes of
  // an exchange in front, and a reset (warm or cold) before it.
  const uint8_t mode = data[0];
  ++data, --size;
  const uint8_t errors = mode & 0x07;
  COM_LinkDeviceMode() = (mode & 0x08) ? FW_DEVICE_SERVICE : FW_DEVICE_ENGINEERING;
  g_fwRunMode = (mode & 0x10) ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  const bool leaveOnLine = (mode & 0x20) != 0;
  if (mode & 0x80) {
    g_fwEng.warmStart = (mode & 0x40) ? 1 : 0;
    FW_OptionCardReset();
  }
  uint8_t frame[COM_SERIAL_SIZE + 64];
  uint32_t n = 0;
  if ((mode & 0xC0) == 0x40) {
    std::memcpy(frame, kComCardHeader, COM_CARD_HEADER);
    n = COM_CARD_HEADER;
  }
  const size_t rest = size < sizeof frame - n ? size : sizeof frame - n;
  std::memcpy(frame + n, data, rest);
  n += static_cast<uint32_t>(rest);

  // What is still on the line from before is taken first, unless it is to stay there.
  uint8_t out[COM_SERIAL_SIZE];
  if (!leaveOnLine) COM_SerialTestTakeTransmission(out, sizeof out);
  COM_SerialTestReceive(1, frame, n, errors);
  if (!leaveOnLine) {
    const uint16_t sent = COM_SerialTestTakeTransmission(out, sizeof out);
    check(sent == 0 || (sent == COM_CARD_REPLY && out[0] == 0x02));
  }
  COM_ServeChannels();
  if (!leaveOnLine) COM_SerialTestTakeTransmission(out, sizeof out);
  FW_OptionCardCycle();

  for (uint32_t j = 0; j < COM_FB_DEVICE_STATUS; ++j) check(g_comFieldbus[0][j] == 0);
  check(g_comFieldbus[0][COM_FB_BUS_STATUS] == g_fwSys.cardBusStatus);
  check(g_comFieldbus[0][COM_FB_DEVICE_STATUS] == g_fwSys.cardDeviceStatus);
  check(g_comCard.linkCounter >= 0 && g_comCard.linkCounter <= COM_CARD_LOST_CYCLES + 1);
  return 0;
}
