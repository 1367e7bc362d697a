// STATUS: the device's clock, language, page and error state as block outputs, and the
// operator-interface switches from the engineering.
#include "blocks/block_family.h"
#include "blocks/info/info.h"
#include "blocks/info/info_internal.h"
#include "blocks/info/info_links.h"
#include "comm/com_card.h"
#include "runtime/fb_store.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_io.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_sysdata.h"

using info::StatusState;

uint8_t g_infoPowerCheck = 0;

namespace {

constexpr const char* kStatusTexts[] = {"STATUS"};
constexpr FbTemplate kStatusTemplate = FB_SizedTemplate(
    {.type = BLK_TYPE_STATUS, .analogOutputs = 9, .digitalOutputs = 13, .analogInputs = 1,
     .digitalInputs = 7, .texts = kStatusTexts, .workWords = BLK_WorkWordsOf<StatusState>()});

// Engineering-image bytes read here: the display flags (the switches p-hide, c-hide, m-hide,
// b-lock as bits 0, 1, 2, 4; "safe" as bit 5) and the DH switch.
constexpr uint32_t kImgDisplayFlags = 38, kImgDhSwitch = 51;
constexpr uint8_t kSwitchBits[4] = {0x01, 0x02, 0x04, 0x10};
constexpr uint8_t kSafeBit = 0x20;
constexpr uint8_t kFunctionKey = 1;   // key code of the function key

// Palette c = 2 x colour + di-inv, selected when it differs from the one selected last.
void selectPalette(const FbLayout& L, StatusState& s) {
  const uint16_t c = static_cast<uint16_t>((BLK_DigitalIn(L, STATUS_DI_COLOUR) ? 2 : 0) +
                                           (BLK_DigitalIn(L, STATUS_DI_INVERT) ? 1 : 0));
  if (c == s.palette) return;
  s.palette = c;
  INFO_LinkSelectPalette(c);
}

bool clockValid() { return g_fwClock.invalid == 0; }

}  // namespace

void FB_STATUS_Run() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  StatusState& s = BLK_WorkState<StatusState>(L);
  const uint8_t flags = g_fwImage[kImgDisplayFlags];

  OpDisplaySwitchRecord& sw = OpDisplaySwitches;
  uint8_t* states[4] = {&sw.pHide, &sw.cHide, &sw.mHide, &sw.bLock};
  for (unsigned i = 0; i < 4; ++i) {
    const bool set = BLK_DigitalIn(L, i) != 0;
    *states[i] = set ? 1 : 0;
    L.dout[STATUS_DO_PHIDE + i] = set || (flags & kSwitchBits[i]) ? 1 : 0;
  }
  if (BLK_DigitalIn(L, STATUS_DI_PWRCHK)) g_infoPowerCheck |= INFO_POWER_CHECKED;
  selectPalette(L, s);
  sw.userLanguage = FW_FloatToU16(BLK_AnalogIn(L, 0));

  L.dout[STATUS_DO_SWITCH] = g_fwImage[kImgDhSwitch];
  L.dout[STATUS_DO_FAIL] = g_fwAnalogInputFailures != 0 ? 1 : 0;
  L.dout[STATUS_DO_SAFE] = flags & kSafeBit ? 1 : 0;
  L.dout[STATUS_DO_PWRCHK] = g_infoPowerCheck & INFO_POWER_CHECKED ? 1 : 0;
  L.dout[STATUS_DO_START] = g_infoPowerCheck & INFO_POWER_START ? 1 : 0;
  L.dout[STATUS_DO_DPERR] = COM_CardBusStatus() & COM_CARD_BUS_ERRORS ? 1 : 0;
  L.dout[STATUS_DO_FKEY] = g_fwSysHooks.keyCode && g_fwSysHooks.keyCode() == kFunctionKey;
  L.dout[STATUS_DO_IOERR] = INFO_LinkIoBoardsReady() ? 0 : 1;
  L.ao[STATUS_AO_LANGUAGE] = g_fwImage[FW_IMG_LANGUAGE];
  L.ao[STATUS_AO_PAGE] = OpShownPageBlock;
  L.ao[STATUS_AO_SYSERR] = g_fwErrorFlags;

  // An invalid clock leaves the clock outputs as they are.
  if (!clockValid()) return;
  const FwClockFields& now = g_fwClock.now;
  L.dout[STATUS_DO_CLOCK] = 1;
  L.ao[STATUS_AO_MINUTE] = now.minute;
  L.ao[STATUS_AO_HOUR] = now.hour;
  L.ao[STATUS_AO_DAY] = now.day;
  L.ao[STATUS_AO_MONTH] = now.month;
  L.ao[STATUS_AO_YEAR] = now.year % 100;
  L.ao[STATUS_AO_WEEKDAY] = now.weekday;
}

void FB_STATUS_Init() {
  FbLayout L;
  if (!FB_CurrentLayout(&L)) return;
  if (!clockValid()) {
    L.dout[STATUS_DO_CLOCK] = 0;
    for (unsigned i = STATUS_AO_MINUTE; i <= STATUS_AO_WEEKDAY; ++i) L.ao[i] = 0.0f;
  }
  StatusState& s = BLK_WorkState<StatusState>(L);
  s.palette = 0;
  selectPalette(L, s);
}

namespace info {

void registerStatusType() {
  static constexpr FbBlockRange kStatusBlock[] = {{STATUS_BLOCK, STATUS_BLOCK}, {0, 0}};
  static constexpr BlkFixedTypeRow kRows[] = {
      {{&kStatusTemplate, FB_STATUS_Run, FB_STATUS_Init, BLK_RefuseParams, nullptr, 2,
        kGroupPages},
       kStatusBlock, 7},
  };
  BLK_RegisterFixedPlaceTypes(kRows);
}

}  // namespace info
