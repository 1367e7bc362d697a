// Steps the pages of the visualisation blocks share: writing and marking the page rows, the
// texts of a record, the key repeat and the page record of the shown block. Each page keeps
// its own steps in its own source (op_pages_visual_<page>.cpp).
#pragma once

#include <cstdint>

#include "opui/op_blockpage.h"
#include "opui/op_display.h"
#include "opui/op_pages_visual.h"

namespace opvis {

constexpr int kUnitChars = 6;   // characters of a unit beside a value (value and bar pages)

inline OpTextRow* pageRow(int i) { return &g_opPageRows.rows[i]; }

// Writes a page row; the row is marked changed only when its text or colours differ, so that
// a refresh that finds nothing new draws nothing.
void setRow(OpTextRow* row, const char* text, uint8_t colour = OP_ROW_NORMAL, bool allColours = true);

// The colour bytes of a row that marks a selected (5) or operated (13) item, or none (0).
void markRow(OpTextRow* row, uint8_t colour);

void clearPageArea();

// The first n characters of a blank-padded text, NUL-terminated; `trim` cuts the blanks.
void textPart(char* out, const char* text, int n, bool trim);

// A key 2 or 4 event that repeats after six held cycles (trend and alarm pages).
bool repeatStep(uint8_t step, uint8_t hold, uint8_t key);

// The page record of the page's block, when the block set one of the type.
template <typename Record>
Record* pageRecord(uint16_t type) {
  return VIS_Page<Record>(g_opBlockPage.block, type);
}

}  // namespace opvis
