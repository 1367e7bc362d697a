// Operating-interface hot paths: one firmware cycle of key read, page manager and display
// update with a menu screen shown, a status page that follows live data, a block page whose
// field cursor moves, or a user page whose display objects change their texts, drawn through
// the display driver into the LCD memory; the value texts of a page's rows, which the pages
// format every cycle, and the rows of a value list; the controller overview over a running
// controller; the count of a programmer's segment table over its longest list of data blocks.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>

#include "blocks/block_family.h"
#include "blocks/ctrl/ctrl.h"
#include "blocks/prog/prog.h"
#include "blocks/register_all.h"
#include "firmware/fw_main.h"
#include "gui/GUI.h"
#include "gui/LCD.h"
#include "gui/memdev/GUI_Memdev.h"
#include "host/shared_block.h"
#include "opui/op_blockpage.h"
#include "opui/op_blocktypes.h"
#include "opui/op_display.h"
#include "opui/op_field_editor.h"
#include "opui/op_format.h"
#include "opui/op_input.h"
#include "opui/op_links.h"
#include "opui/op_menu.h"
#include "opui/op_objects.h"
#include "opui/op_objects2.h"
#include "opui/op_pages.h"
#include "opui/op_pages_prog.h"
#include "opui/op_services.h"
#include "opui/op_userpage.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"
#include "tests/support/block_page_override.h"

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
    g_opDeviceState.keyCode = key;
    key = key ? 0 : 2;
    OP_ReadKeysAndPointer();
    OP_RunPageManager(key);
    OP_UpdateDisplay();
  }
}
BENCHMARK(BM_MenuCycle);

// A controller's page of six fields over its word values, each row rewritten every cycle.
const FwShortLimit kFieldLimits{0, 100};
const FbValueEntry kFieldEntry{FB_KIND_WORD, 0, nullptr, nullptr, &kFieldLimits, 0, 0};
OpPageField g_benchFields[6];
const OpFieldTable kBenchTable{nullptr, g_benchFields};
int benchPageCycle(uint16_t) {
  for (int i = 0; i < 6; ++i) g_opPageRows.rows[i].changed = 1;
  return 0;
}
const OpBlockPage kBenchPage{.screen = 1, .cycle = benchPageCycle, .fields = &kBenchTable};

void benchNoRun() {}

// A cycle of a block page in which key 2 moves the field cursor every other cycle.
void BM_BlockPageCycle(benchmark::State& state) {
  display();
  static const uint16_t words[6] = {};
  static const char* const texts[1] = {"TIC 101"};
  static const FbBlockRange range[] = {{100, 1950}, {0, 0}};
  static FbTemplate tmpl = FB_SizedTemplate(FbTemplate{.type = 90, .wordValues = words, .texts = texts});
  FB_ClearStore();
  FB_RegisterType(90, FB_TypeFromTemplate(&tmpl, benchNoRun, nullptr, nullptr, nullptr, range, 0, 0, 0));
  FB_CreateInstance(90, 150);
  FbLayout L{};
  FB_GetLayout(150, &L);
  for (int i = 0; i < 6; ++i) {
    const auto offset =
        static_cast<uint32_t>(reinterpret_cast<uint8_t*>(L.wv + i) - reinterpret_cast<uint8_t*>(L.base));
    g_benchFields[i] =
        OpPageField{&kFieldEntry, nullptr, offset, OP_PF_WORD, nullptr, &g_opPageRows.rows[i], 0, 8, 0};
  }
  const ScopedBlockPage benchPage(90, &kBenchPage);
  OP_SelectBlockPage(150);
  uint8_t key = 0;
  for (auto _ : state) {
    g_opDeviceState.keyCode = key;
    key = key ? 0 : 2;
    OP_ReadKeysAndPointer();
    OP_RunPageManager(key);
    OP_UpdateDisplay();
  }
  OP_ResetUi();
}
BENCHMARK(BM_BlockPageCycle);

// A user page with two text objects and a parameter field, each showing a new value every
// cycle: the blocks' runs (compose, compare, new text), page manager and display update.
void BM_UserPageCycle(benchmark::State& state) {
  display();
  FB_ClearTypeTable();
  FB_ClearStore();
  OP_RegisterBlockTypes();
  const uint16_t blocks[] = {300, 301, 302, 500};
  const uint16_t types[] = {OP_TYPE_TXTOBJ, OP_TYPE_TXTOBJ, OP_TYPE_PAROBJ, OP_TYPE_VUSER};
  for (int i = 0; i < 4; ++i) FB_CreateInstance(types[i], blocks[i]);
  FbLayout page{}, a{}, b{}, field{};
  FB_GetLayout(500, &page);
  FB_GetLayout(300, &a);
  FB_GetLayout(301, &b);
  FB_GetLayout(302, &field);
  a.wv[TXTOBJ_WORD_INKIND - 1] = b.wv[TXTOBJ_WORD_INKIND - 1] = OP_INKIND_ENTRY;
  field.wv[PAROBJ_WORD_BLOCK - 1] = 300;   // the first object's own value
  for (int k = 0; k < 3; ++k) {
    uint32_t handle = 0;
    FB_AnalogOutputHandle(blocks[k], 1, &handle);
    page.ai[k] = handle;
    page.wv[VUSER_WORD_FIRST_PLACE - 1 + 2 * k + 1] = static_cast<uint16_t>(20 + 50 * k);
  }
  g_fwRunMode = FW_RUN_MODE_RUN;
  auto run = [](uint16_t block, bool init) {
    g_fbStore.currentBlock = block;
    const FbTypeRecord* t = FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE]);
    init ? t->init() : t->run();
  };
  for (uint16_t block : blocks) run(block, true);
  OP_SelectBlockPage(500);
  float v = 1.0f;
  for (auto _ : state) {
    a.fp[0] = v;
    b.fp[0] = -v;
    v += 0.1f;
    OP_ReadKeysAndPointer();
    OP_RunPageManager(0);
    for (uint16_t block : blocks) run(block, false);
    OP_UpdateDisplay();
  }
  OP_ClearDisplayList();
  g_fwRunMode = FW_RUN_MODE_STOP;
  OP_ResetUi();
}
BENCHMARK(BM_UserPageCycle);

// A user page with one display object of each kind: a text, a picture, a programmer's
// progress, a bar with a marker and a trend of four curves that takes a sample
// every cycle; every object's run and the redraw into the LCD memory.
void BM_DrawnObjectsCycle(benchmark::State& state) {
  display();
  FB_ClearTypeTable();
  FB_ClearStore();
  OP_RegisterBlockTypes();
  BLK_RegisterProgTypes();
  // Two user pictures.
  static uint8_t records[2][FW_PICTURE_HEADER] = {{'O', 'f', 'f'}, {'O', 'n'}};
  static FwPicture pictures[2];
  for (int k = 0; k < 2; ++k) {
    pictures[k] = FwPicture{records[k], GUI_MEMDEV_Create(0, 0, 40, 40), 40, 40};
    const GUI_MEMDEV_Handle previous = GUI_MEMDEV_Select(pictures[k].memdev);
    GUI_SetBkColor(k ? 0x00C000 : 0x808080);
    GUI_Clear();
    GUI_MEMDEV_Select(previous);
  }
  g_opDeviceState.pictures = pictures;
  g_opDeviceState.pictureCount = 2;
  FB_CreateInstance(FB_TYPE_APROG, 103);
  const uint16_t blocks[] = {301, 302, 303, 304, 305, 500};
  const uint16_t types[] = {OP_TYPE_TXTOBJ, OP_TYPE_IMGOBJ, OP_TYPE_PROOBJ, OP_TYPE_BAROBJ, OP_TYPE_TRDOBJ, OP_TYPE_VUSER};
  const uint16_t places[][2] = {{4, 4}, {270, 4}, {4, 28}, {170, 28}, {0, 56}};
  for (int i = 0; i < 6; ++i) FB_CreateInstance(types[i], blocks[i]);
  FbLayout page{}, picture{}, progress{}, bar{}, trend{};
  FB_GetLayout(500, &page);
  FB_GetLayout(302, &picture);
  FB_GetLayout(303, &progress);
  FB_GetLayout(304, &bar);
  FB_GetLayout(305, &trend);
  std::memcpy(picture.text + FB_TEXT_LEN, "Off", 3);
  std::memcpy(picture.text + 2 * FB_TEXT_LEN, "On", 2);
  bar.wv[BAROBJ_WORD_TEXT - 1] = 1;
  trend.fp[TRDOBJ_FLOAT_PERIOD - 1] = 0.0f;
  // The text, the bar and the trend's curves follow the text object's own value; the
  // progress object shows the programmer.
  uint32_t prog = 0;
  FB_AnalogOutputHandle(103, APROG_AO_BLNO + 1, &prog);
  FbLayout text{};
  FB_GetLayout(301, &text);
  const uint32_t textValue = BLK_HandleOf(text.fp[0].w);
  text.ai[TXTOBJ_IN_VALUE - 1] = textValue;
  bar.ai[BAROBJ_IN_VALUE - 1] = textValue;
  bar.ai[BAROBJ_IN_MARKER - 1] = textValue;
  for (int k = 0; k < OP_TREND_CURVES; ++k) trend.ai[k] = textValue;
  progress.ai[PROOBJ_IN_PROG - 1] = prog;
  for (int k = 0; k < 5; ++k) {
    uint32_t handle = 0;
    FB_AnalogOutputHandle(blocks[k], 1, &handle);
    page.ai[k] = handle;
    page.wv[VUSER_WORD_FIRST_PLACE - 1 + 2 * k] = places[k][0];
    page.wv[VUSER_WORD_FIRST_PLACE - 1 + 2 * k + 1] = places[k][1];
  }
  g_fwRunMode = FW_RUN_MODE_RUN;
  auto run = [](uint16_t block, bool init) {
    g_fbStore.currentBlock = block;
    const FbTypeRecord* t = FB_GetType(FB_GetInstance(block)[FB_HDR_TYPE]);
    init ? t->init() : t->run();
  };
  run(103, true);
  for (uint16_t block : blocks) run(block, true);
  OP_SelectBlockPage(500);
  float v = 0.0f;
  for (auto _ : state) {
    text.fp[0] = 50.0f + 40.0f * std::sin(v);
    v += 0.05f;
    OP_ReadKeysAndPointer();
    OP_RunPageManager(0);
    for (uint16_t block : blocks) run(block, false);
    OP_UpdateDisplay();
  }
  OP_ClearDisplayList();
  g_fwRunMode = FW_RUN_MODE_STOP;
  OP_ResetUi();
  g_opDeviceState.pictures = nullptr;
  g_opDeviceState.pictureCount = 0;
  for (FwPicture& p : pictures) GUI_MEMDEV_Delete(p.memdev);
}
BENCHMARK(BM_DrawnObjectsCycle)->Unit(benchmark::kMicrosecond);

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

// A display-only page of the menus that follows live data: the CAN bus status with its 43
// rows, two of them built anew and written into the touch list every cycle.
void BM_StatusPageCycle(benchmark::State& state) {
  display();
  OP_PageEnter(0);
  OP_MenuStatusCan();
  for (int i = 0; i < 12; ++i) {
    OP_ReadKeysAndPointer();
    OP_RunPageManager(0);
    OP_UpdateDisplay();
  }
  g_opDeviceState.keyCode = 0;
  for (auto _ : state) {
    OP_ReadKeysAndPointer();
    OP_RunPageManager(0);
    OP_UpdateDisplay();
  }
  OP_PageEnter(0);
}
BENCHMARK(BM_StatusPageCycle);

// The rows of a value list as the menu page builds them: sixteen lines of a block's
// parameters.
void BM_ValueListRows(benchmark::State& state) {
  display();
  static float values[16];
  static const FbFloatLimitData limits{0.0f, 1000.0f, nullptr, nullptr, nullptr, 1};
  static FbFloatLimitData lim = limits;
  lim.attribute = &lim.ownAttribute;
  static FbValueEntry entries[16];
  static OpMenuItem items[16];
  for (int i = 0; i < 16; ++i) {
    values[i] = 1.5f * static_cast<float>(i);
    entries[i] = FbValueEntry{FB_KIND_FLOAT, 0, &values[i], nullptr, &lim, 150, 0};
    items[i] = OpMenuItem{OP_MENU_VALUE, static_cast<uint16_t>(1000 + i), &entries[i], 0, 0,
                          "Param         kg", nullptr, nullptr, nullptr};
  }
  items[15].flags |= OP_MENU_LAST;
  static const OpMenuHeader header{OP_MENU_HEADER, OP_PAGE_PARAM_LIST, nullptr, 0, 0, items, 16};
  OP_MenuShow(&header);
  g_opPage.pageId = OP_PAGE_PARAM_LIST;
  for (auto _ : state) {
    for (int i = 0; i < 16; ++i) benchmark::DoNotOptimize(OP_BuildListRow(i));
    values[0] += 0.1f;
  }
  OP_PageEnter(0);
}
BENCHMARK(BM_ValueListRows);

// A block of the library created and started as the current block.
void startBlock(uint16_t type, uint16_t block) {
  FB_CreateInstance(type, block);
  g_fbStore.currentBlock = block;
  if (const FbTypeRecord* t = FB_GetType(type); t && t->init) t->init();
}
void runBlock(uint16_t block) {
  g_fbStore.currentBlock = block;
  const uint16_t* inst = FB_GetInstance(block);
  if (const FbTypeRecord* t = inst ? FB_GetType(inst[FB_HDR_TYPE]) : nullptr; t && t->run) t->run();
}

// A cycle of the controller overview while its controller runs: the page's step of the
// refresh round, its watch over the shown values, and the redraw of what changed.
void BM_CtrlPageCycle(benchmark::State& state) {
  display();
  FB_ClearStore();
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  startBlock(BLK_TYPE_CONTR, 150);
  OP_SelectBlockPage(150);
  CtrlBlockState* s = CTRL_StateOf(150);
  float x = 0.0f;
  for (auto _ : state) {
    OP_ReadKeysAndPointer();
    OP_RunPageManager(0);
    OP_UpdateDisplay();
    runBlock(150);
    s->link.x.value = x;   // a process value that moves: the rounds go on
    x = x < 100.0f ? x + 0.5f : 0.0f;
  }
  OP_ResetUi();
}
BENCHMARK(BM_CtrlPageCycle);

// The count of a segment table over 160 data blocks with segment types (4802 lines), as a
// rebuild after an edit runs it.
void BM_SegmentTableCount(benchmark::State& state) {
  display();
  FB_ClearStore();
  FB_ClearTypeTable();
  BLK_RegisterAllTypes();
  startBlock(FB_TYPE_APROG, 100);
  ProgWork* w = PROG_Work(100);
  for (uint16_t i = 0; i < FB_PROG_DATA_LIST_SIZE; ++i) {
    const auto block = static_cast<uint16_t>(200 + i);
    FB_CreateInstance(FB_TYPE_APRGD2, block);
    w->page.dataBlocks[i] = block;
  }
  w->page.dataBlocks[FB_PROG_DATA_LIST_SIZE] = 0;
  g_opBlockPage.block = 100;
  for (auto _ : state) benchmark::DoNotOptimize(OP_SegmentCount());
  g_opBlockPage = OpBlockPageState{};
}
BENCHMARK(BM_SegmentTableCount);

}  // namespace
