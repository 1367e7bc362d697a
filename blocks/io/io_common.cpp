#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "blocks/io/io.h"
#include "blocks/io/io_internal.h"
#include "runtime/fb_param.h"
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
  BLK_RegisterDualInputTypes();
  BLK_RegisterDualOutputTypes();
}

void IO_Claim(const IoClaim& c, uint16_t expected, bool output) {
  c.board->inUse = 1;
  (output ? c.channel->out.inUse : c.channel->inputInUse) = 1;
  c.channel->expectedClass = expected;
}

IoClaim IO_ClaimChannel(uint16_t block, uint16_t expected, bool output) {
  const IoClaim c = IO_ClaimOf(block);
  if (c) IO_Claim(c, expected, output);
  return c;
}

float IO_PercentFactor(float x0, float x100) {
  float k = 0.0f;
  IO_SpanFactor(x0, x100, 100.0f, &k);
  return k;
}

void IO_CalPagePrepare(const FbLayout& L, BlkCalPage& p, uint16_t startIndex, uint16_t endIndex,
                       float reading) {
  std::memset(&p, 0, sizeof p);
  p.type = L.type;
  std::memcpy(p.title, L.text, FB_TEXT_LEN);
  const auto& limits = FB_GetType(L.type)->limits->longValues;
  const float values[BLK_CAL_FIELDS] = {IO_Long(L, startIndex), IO_Long(L, endIndex), reading, 0.0f};
  for (uint16_t f = 0; f < BLK_CAL_FIELDS; ++f) {
    BlkCalField& field = p.field[f];
    field.value = values[f];
    field.min = -29999.0f;
    field.max = 999999.0f;
    field.format = limits[f == BLK_CAL_X100 ? endIndex : startIndex].attribute;
  }
  p.callback[0] = 1;
  p.callback[1] = 2;
}

void IO_CalExchange(const FbLayout& L, BlkCalPage& p, uint16_t amOut, float reading, float y,
                    uint8_t fault) {
  L.dout[amOut] = p.autoManual;
  L.dout[amOut + 1] = p.incRequest;
  L.dout[amOut + 2] = p.decRequest;
  p.incRequest = p.decRequest = 0;
  p.lock = static_cast<uint8_t>(IO_Din(L, 0) ? 1 : 0);
  p.hide = static_cast<uint8_t>(IO_Din(L, 1) ? 1 : 0);
  p.field[BLK_CAL_READING].value = reading;
  p.field[BLK_CAL_Y].value = y;
  p.fault = fault;
  p.updated = 1;
}

bool IO_StoreCalibrated(const FbLayout& L, uint16_t index, float value) {
  const uint32_t old = L.lv[index].get();
  L.lv[index] = std::bit_cast<uint32_t>(value);
  L.lv[index + L.longValues] = std::bit_cast<uint32_t>(value);
  if (FB_SaveLongParams(L.block, static_cast<uint16_t>(index + 1), 1) == 0) return true;
  L.lv[index] = old;
  L.lv[index + L.longValues] = old;
  return false;
}

bool IO_CalStartEnd(const FbLayout& L, BlkCalPage& p, uint16_t command[2], uint16_t startIndex,
                    uint16_t endIndex, float reading) {
  const bool start = p.state == BLK_CAL_STATE_START || command[0];
  if (!start && p.state != BLK_CAL_STATE_END && !command[1]) return false;
  const uint16_t index = start ? startIndex : endIndex;
  const FbTypeRecord* rec = FB_GetType(L.type);
  const bool within = rec && rec->limits && index < rec->limits->longValues.size() &&
                      FW_CheckFloatLimit(reading, &rec->limits->longValues[index], L.block);
  command[start ? 0 : 1] = 0;
  p.state = start ? BLK_CAL_STATE_START_DONE : BLK_CAL_STATE_END_DONE;
  return within && IO_StoreCalibrated(L, index, reading);
}
