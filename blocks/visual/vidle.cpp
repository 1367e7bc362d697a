// VIDLE (block 88): the display's idle handling. After "Time" seconds without a touch the
// display shows the idle screen, the clock in white on black; the touch that ends it only
// wakes the display (on its release) and reaches no page.
#include "blocks/page_records.h"
#include "blocks/visual/visual_internal.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_image.h"

using vis::VidleState;

namespace {

constexpr const char* kTexts[] = {"VIDLE"};
constexpr uint16_t kWords[] = {50, 60};   // Dim, Time
constexpr FbTemplate kTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_VIDLE, .digitalOutputs = 1, .digitalInputs = 1, .wordParams = kWords,
     .texts = kTexts, .workWords = BLK_WorkWordsOf<VidleState>()});

enum : unsigned { kDim = 0, kTime = 1 };
// "Time" is kept to what the engineering image can hold: word parameters are stored there
// as their low byte.
constexpr uint16_t kTimeMax = 255;
constexpr FwShortLimit kWordLimits[] = {{.min = 5, .max = 100}, {.min = 1, .max = kTimeMax}};
constexpr FbLimitTable kLimits{.wordParams = kWordLimits};
constexpr FbBlockRange kBlocks[] = {{VIDLE_BLOCK, VIDLE_BLOCK}, {0, 0}};
constexpr uint16_t kRunsPerSecond = 10;

// The clock as "hh:mm".
void clockText(char (&text)[6]) {
  const auto two = [](char* at, uint16_t v) {
    v = v > 99 ? 99 : v;
    at[0] = static_cast<char>('0' + v / 10);
    at[1] = static_cast<char>('0' + v % 10);
  };
  two(text, g_fwClock.now.hour);
  text[2] = ':';
  two(text + 3, g_fwClock.now.minute);
  text[5] = 0;
}

}  // namespace

void FB_VIDLE_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  BLK_WorkState<VidleState>(L) = VidleState{};
}

void FB_VIDLE_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  VidleState& s = BLK_WorkState<VidleState>(L);
  uint8_t& shown = OpIdleShown;
  const uint32_t touch = OpTouchPressed;
  const uint8_t* alarms = OpAlarmDisplayFlags;
  const bool awake = BLK_DigitalIn(L, 0) != 0 || alarms[0] != 0 || alarms[1] != 0 ||
                     (!shown && touch) || (s.latch && !touch);
  uint16_t time = L.wp[kTime];
  time = time < 1 ? 1 : time > kTimeMax ? kTimeMax : time;
  const uint16_t idleAfter = static_cast<uint16_t>(time * kRunsPerSecond);
  if (awake) {
    s.counter = 0;
  } else if (s.counter < idleAfter) {
    ++s.counter;
  }
  if (s.counter < idleAfter) {
    shown = 0;
    L.dout[0] = 0;
    s.latch = 0;
  } else {
    L.dout[0] = 1;
    s.latch = touch ? 1 : 0;
    if (g_fwEng.status & FW_ENG_LOADED) {
      char text[6];
      clockText(text);
      VIS_LinkDrawIdleScreen(text, shown == 0);
      shown = 1;
    }
  }
  FB_ApplyPendingWords(L.block);
}

namespace vis {

void registerVidleType() {
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kTemplate, FB_VIDLE_Run, FB_VIDLE_Init, FB_StandardParam, &kLimits, 1, kGroupDevice},
       kBlocks, VIDLE_BLOCK},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace vis
