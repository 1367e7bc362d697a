// The steps the pages of the visualisation blocks share (op_pages_visual_internal.h).
#include "opui/op_pages_visual_internal.h"

#include <cstdio>
#include <cstring>

#include "opui/op_keys.h"
#include "runtime/fb_param.h"

namespace opvis {

void setRow(OpTextRow* row, const char* text, uint8_t colour, bool allColours) {
  OpTextRow next = *row;
  std::snprintf(next.text, sizeof next.text, "%s", text ? text : "");
  std::memset(next.colors, allColours ? colour : uint8_t{OP_ROW_NORMAL}, sizeof next.colors);
  next.colors[0] = colour;
  if (std::memcmp(next.text, row->text, sizeof next.text) != 0 ||
      std::memcmp(next.colors, row->colors, sizeof next.colors) != 0) {
    next.changed = 1;
    *row = next;
  }
}

void markRow(OpTextRow* row, uint8_t colour) {
  bool differs = false;
  for (uint8_t& c : row->colors) {
    differs |= c != colour;
    c = colour;
  }
  if (differs) row->changed = 1;
}

void clearPageArea() {
  for (OpTextRow& r : g_opPageRows.rows) r = OpTextRow{};
  for (int16_t& b : g_opPageRows.bars) b = 0;
}

void textPart(char* out, const char* text, int n, bool trim) {
  int len = 0;
  while (len < n && text[len]) ++len;
  std::memcpy(out, text, static_cast<size_t>(len));
  out[len] = 0;
  if (trim) FW_TrimRight(out);
}

bool repeatStep(uint8_t step, uint8_t hold, uint8_t key) {
  return step || (g_opKeys.lastKeyCode == key && hold > 6);
}

}  // namespace opvis
