// Operating-interface hot paths: one firmware cycle of key read, page manager and display
// update with a menu screen shown, drawn through the display driver into the LCD memory; the
// value texts of a page's rows, which the pages format every cycle.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "gui/GUI.h"
#include "gui/LCD.h"
#include "host/shared_block.h"
#include "opui/op_display.h"
#include "opui/op_format.h"
#include "opui/op_input.h"
#include "opui/op_links.h"
#include "opui/op_services.h"
#include "runtime/fw_image.h"
#include "shell/sim/LCDSIM.h"
#include "shell/sim/SIM.h"

namespace {

struct Display {
  Display() {
    host::SetSharedNamePrefix("simbench" + std::to_string(getpid()) + ".");
    SIM_InitHost();
    SIM_ShowErrorBoxes(0);
    GUI_Init();
    LCDSIM_InitServerData();
    LCD_SetClipRectMax();
    OP_ResetDisplay();
    OP_ResetUi();
    std::memcpy(g_fwImage, FW_IMAGE_TAG, 4);
    std::strcpy(g_opMenuRows.title.text, "Hauptmen\xFC");
    for (int i = 0; i < OP_MENU_VISIBLE_ROWS; ++i) std::strcpy(g_opMenuRows.items[i].text, "Ger\xE4teeinstellungen");
    OP_ShowTextScreen(7, 1);
  }
  ~Display() {
    GUI_Exit();
    SIM_ExitHost();
  }
};

Display& display() {
  static Display d;
  return d;
}

// A cycle in which every menu row changed (the cursor moved over the whole list).
void BM_MenuCycle(benchmark::State& state) {
  display();
  uint8_t key = 0;
  for (auto _ : state) {
    for (int i = 0; i < OP_MENU_VISIBLE_ROWS; ++i) g_opMenuRows.items[i].changed = 1;
    g_opStandIn.keyCode = key;
    key = key ? 0 : 2;
    OP_ReadKeysAndPointer();
    OP_RunPageManager(key);
    OP_UpdateDisplay();
  }
}
BENCHMARK(BM_MenuCycle);

// The values of sixteen rows: numbers with and without a value, and durations.
void BM_FormatRows(benchmark::State& state) {
  char rows[16][28];
  std::memset(rows, ' ', sizeof rows);
  float v = 12.5f;
  for (auto _ : state) {
    for (int r = 0; r < 16; r += 4) {
      OP_FormatNumber(rows[r] + 17, 10, v, 1, OP_ALIGN_RIGHT, 9);
      OP_FormatNumber(rows[r + 1] + 17, 10, -32000.0f, 2, OP_ALIGN_RIGHT, 9);
      OP_FormatMinSec(v * 10.0f, 9, rows[r + 2] + 17, 10);
      OP_FormatHms(v * 3.0f, 9, rows[r + 3] + 17, 10);
    }
    v += 0.1f;
    benchmark::DoNotOptimize(rows);
  }
}
BENCHMARK(BM_FormatRows);

}  // namespace
