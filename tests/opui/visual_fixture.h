// Fixture of the visualisation pages: the operating interface with its windows, the block
// types of the operating interface (VALARM), the text block, and stand-ins of VWERT, VBAR and
// VTREND whose work words hold their page records, which the tests fill as the blocks would.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "blocks/block_family.h"
#include "blocks/trig/trig.h"
#include "blocks/visual/visual_pages.h"
#include "opui/op_blocktypes.h"
#include "opui/op_pages_visual.h"
#include "opui_fixture.h"
#include "support/block_fixture.h"

namespace visualtest {

inline void noRun() {}
inline const char* const kVwertTexts[] = {"VWERT"};
inline const char* const kVbarTexts[] = {"VBAR"};
inline const char* const kVtrendTexts[] = {"VTREND"};
inline const uint16_t kVbarValues[5] = {1, 1, 0, 0, 0};   // Disp 1, Disp 2, Dp 1, Dp 2, Typ

// VTREND's work words: the page record, then the value ring (floats) and the per-mille ring.
struct TrendWork {
  VtrendPage page;
  FbF32 values[VTREND_RING];
  int16_t points[VTREND_RING];
};

inline constexpr FbTemplate kVwertTemplate = FB_SizedTemplate(FbTemplate{
    .type = BLK_TYPE_VWERT, .texts = kVwertTexts, .workWords = BLK_WorkWordsOf<VwertPage>()});
inline constexpr FbTemplate kVbarTemplate = FB_SizedTemplate(FbTemplate{
    .type = BLK_TYPE_VBAR, .wordValues = kVbarValues, .texts = kVbarTexts, .workWords = BLK_WorkWordsOf<VbarPage>()});
inline constexpr FbTemplate kVtrendTemplate = FB_SizedTemplate(FbTemplate{
    .type = BLK_TYPE_VTREND, .texts = kVtrendTexts, .workWords = BLK_WorkWordsOf<TrendWork>()});

inline void registerTypes() {
  OP_RegisterBlockTypes();
  BLK_RegisterTrigTypes();
  for (const FbTemplate* t : {&kVwertTemplate, &kVbarTemplate, &kVtrendTemplate}) {
    FB_RegisterType(t->type, FB_TypeFromTemplate(t, noRun, nullptr, nullptr, nullptr, FB_COMMON_BLOCK_RANGES, 0, 1, 17));
  }
}

// A text of VBAR's names and units: its first characters, 0-ended.
inline void putShort(char (&to)[8], const std::string& text) {
  std::memset(to, 0, sizeof to);
  std::memcpy(to, text.data(), text.size() < sizeof to - 1 ? text.size() : sizeof to - 1);
}

// A 16-character blank-padded text.
inline void putText(char* to, const std::string& text) {
  std::string padded = text;
  padded.resize(FB_TEXT_LEN, ' ');
  std::memcpy(to, padded.data(), FB_TEXT_LEN);
}

}  // namespace visualtest

class VisualPageTest : public OpuiDialogTest {
 protected:
  void SetUp() override {
    OpuiDialogTest::SetUp();
    fx = std::make_unique<BlockFixture>(visualtest::registerTypes);
    g_opAlarms = OpAlarmCollector{};
    g_opStatusIcon = OpStatusIcon{};
    g_opTrendState = OpTrendPageState{};
  }
  void TearDown() override {
    fx.reset();
    OpuiDialogTest::TearDown();
  }

  // The record of a block of a stand-in type, entered as its page data.
  template <typename Record>
  Record& record(uint16_t type, uint16_t block) {
    fx->create(type, block);
    FbLayout L = fx->layout(block);
    auto& r = BLK_WorkState<Record>(L);
    std::memset(static_cast<void*>(&r), 0, sizeof r);
    reinterpret_cast<OpBlockPageData&>(r).type = type;
    g_fbStore.list[block].pageData = &r;
    return r;
  }
  VwertPage& vwert(uint16_t block) { return record<VwertPage>(BLK_TYPE_VWERT, block); }
  VbarPage& vbar(uint16_t block, uint16_t typ) {
    VbarPage& r = record<VbarPage>(BLK_TYPE_VBAR, block);
    fx->wordValue(block, 5) = typ;
    r.typ = typ;
    return r;
  }
  // A trend whose rings are its own work words; the ring references are their handles.
  visualtest::TrendWork& vtrend(uint16_t block) {
    auto& w = record<visualtest::TrendWork>(BLK_TYPE_VTREND, block);
    w.page.values = BLK_HandleOf(w.values);
    w.page.points = BLK_HandleOf(w.points);
    w.page.length = VTREND_RING;
    return w;
  }
  // Alarm blocks, started as the start-up pass starts them.
  void alarmBlocks(std::vector<uint16_t> numbers) {
    alarms = numbers;
    for (uint16_t b : alarms) fx->create(OP_TYPE_VALARM, b, 0);
    for (uint16_t b : alarms) {
      for (uint16_t k = 1; k <= OP_ALARM_INPUTS + 1; ++k) fx->setDigitalInput(b, k, 0);
    }
    for (uint16_t b : alarms) fx->init(b);
  }

  // One device cycle: keys and pointer, page manager, the alarm blocks, the display update.
  void deviceCycle(uint8_t key = 0) {
    g_opDeviceState.keyCode = key;
    OP_ReadKeysAndPointer();
    OP_RunPageManager(key);
    for (uint16_t b : alarms) fx->run(b);
    OP_UpdateDisplay();
  }
  void deviceCycles(int n) {
    for (int i = 0; i < n; ++i) deviceCycle();
  }
  // A short press: one cycle down, then released.
  void press(uint8_t key) {
    deviceCycle(key);
    deviceCycle();
  }
  void showPage(uint16_t block) {
    ASSERT_EQ(OP_SelectBlockPage(block), 1);
    deviceCycles(4);
  }
  void touchAt(int x, int y) {
    SIM_POINTER_STATE s{static_cast<int16_t>(x), static_cast<int16_t>(y), 2};
    SIM_StorePointerState(&s);
    deviceCycle();
    s.state = 0;
    SIM_StorePointerState(&s);
    deviceCycle();
  }
  static std::string row(int i) { return g_opPageRows.rows[i].text; }

  std::unique_ptr<BlockFixture> fx;
  std::vector<uint16_t> alarms;
};
