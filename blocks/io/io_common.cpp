#include <algorithm>

#include "blocks/io/io.h"
#include "blocks/io/io_internal.h"
#include "runtime/fw_text.h"

IoClaim IO_ClaimOf(uint16_t block) {
  IoClaim c;
  if (FW_IoChannelOf(block, &c.boardIndex, &c.channelIndex)) {
    c.board = &g_fwIoBoards[c.boardIndex];
    c.channel = &c.board->channel[c.channelIndex];
  }
  return c;
}

void IO_TakeOverValues(const FbLayout& L) {
  std::copy(L.wv + L.wordValues, L.wv + 2 * L.wordValues, L.wv);
  std::copy(L.lv + L.longValues, L.lv + 2 * L.longValues, L.lv);
}

uint16_t IO_ChoiceText(uint16_t type, uint16_t index, uint16_t choice) {
  const int32_t id = FB_GetTextOffset(type, index, choice);
  return id > 0 && id < static_cast<int32_t>(FW_TEXT_COUNT) ? static_cast<uint16_t>(id) : 0;
}

void BLK_RegisterIoTypes() {
  BLK_RegisterAnalogInputTypes();
  BLK_RegisterOutputTypes();
}
