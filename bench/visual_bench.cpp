// Hot paths of the visualisation pages and the alarm collector: one cycle of the six alarm
// blocks with an alarm coming and going, and one firmware cycle of the trend page (page
// manager and display update) while the trend takes a new sample every cycle, drawn through
// the display driver into the LCD memory.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "blocks/block_family.h"
#include "blocks/visual/visual_pages.h"
#include "gui/GUI.h"
#include "gui/LCD.h"
#include "host/shared_block.h"
#include "opui/op_blockpage.h"
#include "opui/op_display.h"
#include "opui/op_input.h"
#include "opui/op_pages_visual.h"
#include "opui/op_services.h"
#include "opui/op_valarm.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"

namespace {

void BM_AlarmCollectorCycle(benchmark::State& state) {
  FB_ClearStore();
  FB_ClearTypeTable();
  OP_RegisterAlarmTypes();
  for (uint16_t b = OP_ALARM_FIRST_BLOCK; b < OP_ALARM_FIRST_BLOCK + OP_ALARM_SLOTS; ++b) {
    FB_CreateInstance(OP_TYPE_VALARM, b);
  }
  const FbTypeRecord* t = FB_GetType(OP_TYPE_VALARM);
  for (uint16_t b = OP_ALARM_FIRST_BLOCK; b < OP_ALARM_FIRST_BLOCK + OP_ALARM_SLOTS; ++b) {
    g_fbStore.currentBlock = b;
    t->init();
  }
  // Three alarms that stay, one that comes and goes every other cycle.
  FbLayout first, last;
  FB_GetLayout(OP_ALARM_FIRST_BLOCK, &first);
  FB_GetLayout(OP_ALARM_FIRST_BLOCK + OP_ALARM_SLOTS - 1, &last);
  first.di[0] = FB_REF_ONE;
  first.di[4] = FB_REF_ONE;
  last.di[7] = FB_REF_ONE;
  uint32_t n = 0;
  for (auto _ : state) {
    last.di[2] = (++n & 2) ? FB_REF_ONE : FB_REF_ZERO;
    last.di[OP_ALARM_INPUTS] = (n & 3) == 3 ? FB_REF_ONE : FB_REF_ZERO;   // acknowledge now and then
    for (uint16_t b = OP_ALARM_FIRST_BLOCK; b < OP_ALARM_FIRST_BLOCK + OP_ALARM_SLOTS; ++b) {
      g_fbStore.currentBlock = b;
      t->run();
    }
    benchmark::DoNotOptimize(g_opAlarms.counter);
  }
  FB_ClearStore();
}
BENCHMARK(BM_AlarmCollectorCycle);

// A VTREND stand-in whose work words hold its page record and its rings.
struct TrendWork {
  VtrendPage page;
  FbF32 values[VTREND_RING];
  int16_t points[VTREND_RING];
};
void noRun() {}
const char* const kTrendTexts[] = {"VTREND"};
constexpr FbTemplate kTrendTemplate = FB_SizedTemplate(
    FbTemplate{.type = BLK_TYPE_VTREND, .texts = kTrendTexts, .workWords = BLK_WorkWordsOf<TrendWork>()});

void BM_TrendPageCycle(benchmark::State& state) {
  host::SetSharedNamePrefix("simbench" + std::to_string(getpid()) + ".");
  SIM_InitHost();
  SIM_ShowErrorBoxes(0);
  GUI_Init();
  LCDSIM_InitServerData();
  LCD_SetClipRectMax();
  OP_ResetDisplay();
  OP_ResetUi();
  std::memcpy(g_fwImage, FW_IMAGE_TAG, 4);
  FB_ClearStore();
  FB_ClearTypeTable();
  FB_RegisterType(BLK_TYPE_VTREND, FB_TypeFromTemplate(&kTrendTemplate, noRun, nullptr, nullptr, nullptr,
                                                        FB_COMMON_BLOCK_RANGES, 0, 1, 17));
  const uint16_t block = 300;
  FB_CreateInstance(BLK_TYPE_VTREND, block);
  FbLayout L;
  FB_GetLayout(block, &L);
  TrendWork& w = BLK_WorkState<TrendWork>(L);
  std::memset(static_cast<void*>(&w), 0, sizeof w);
  VtrendPage& r = w.page;
  r.header.type = BLK_TYPE_VTREND;
  r.values = BLK_HandleOf(w.values);
  r.points = BLK_HandleOf(w.points);
  r.length = VTREND_RING;
  r.x100 = 1000;
  r.period = 1;
  r.timeUnit = OP_TREND_UNIT_S;
  for (uint16_t i = 0; i < VTREND_RING; ++i) {
    w.values[i] = static_cast<float>(i * 4);
    w.points[i] = static_cast<int16_t>(i * 4);
  }
  r.count = VTREND_RING;
  g_fbStore.list[block].pageData = &r;
  OP_SelectBlockPage(block);
  for (int i = 0; i < 4; ++i) {
    OP_PageManagerCycle();
    OP_UpdateDisplay();
  }
  uint16_t newest = 0;
  for (auto _ : state) {
    // A new sample: the window moves by one point.
    newest = static_cast<uint16_t>((newest + 1) % VTREND_RING);
    r.newest = newest;
    w.values[newest] = static_cast<float>(newest % 500);
    w.points[newest] = static_cast<int16_t>(newest % 500);
    OP_ReadKeysAndPointer();
    OP_PageManagerCycle();
    OP_UpdateDisplay();
  }
  FB_ClearStore();
  GUI_Exit();
  SIM_ExitHost();
}
BENCHMARK(BM_TrendPageCycle);

}  // namespace
