#include "firmware/fw_main.h"

#include <cstdio>
#include <cstring>

#include "comm/com_services.h"
#include "firmware/fw_adapter.h"
#include "firmware/fw_links.h"
#include "opui/op_services.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_text.h"
#include "shell/sim_services.h"

FwMainState g_fwMain;

namespace {

constexpr uint8_t kTag[4] = {'M', 'X', '7', 'N'};
constexpr GUI_COLOR kWhite = 0xFFFFFF;
constexpr GUI_COLOR kBlack = 0;
constexpr uint8_t kStartCold = FW_START_COLD;
constexpr uint8_t kStatusStopped = FW_ENG_STOPPED;
constexpr uint8_t kStatusRunOk = FW_ENG_RUN_OK;
constexpr uint8_t kErrorFaulty = FW_ENG_ERR_FAULTY;
constexpr uint16_t kStepKeyWait = 101;
constexpr uint16_t kStepPicture = 205;
constexpr int kInfoTextScreen = 1;
constexpr uint8_t kRunCode8 = 8;
constexpr uint32_t kBmpHeaders = 54;   // file header and information header of a BMP file

constexpr const uint32_t* kServiceColours = FW_DEFAULT_COLOURS;

// The key test of the service screen: fill colour and text by key code 1, 2, 4, 8, 16 (the
// front keys 1, 3, 4, 5, 2).
struct KeyTestEntry {
  uint8_t code;
  GUI_COLOR colour;
  const char* text;
};
constexpr KeyTestEntry kKeyTest[] = {
    {1, 0xFF0000, "Key 1 pressed!"}, {2, 0x0000FF, "Key 3 on!"},       {4, 0xFFFFFF, "Key 4 on"},
    {8, 0x00FFFF, "Key 5 !"},        {16, 0x00FF00, "Key 2 pressed !"},
};

// Lines 6, 7 and 8 of the service screen.
constexpr const char* kServiceLines[3] = {"++>> FSU-Betrieb <<++     ", "                          ",
                                          "Contact Service           "};
constexpr const char* kBlankLine = "                          ";

const uint8_t* g_userPictures;
uint32_t g_userPictureSize;

uint8_t* image() { return FW_LinkImage(); }

// Stored colours are 0xRRGGBB; the graphics library takes 0xBBGGRR.
GUI_COLOR toGuiColour(uint32_t rrggbb) {
  return ((rrggbb & 0xFF) << 16) | (rrggbb & 0xFF00) | ((rrggbb >> 16) & 0xFF);
}

void applyColours(const uint32_t* rrggbb) {
  for (uint32_t i = 0; i < FW_PALETTE_COLOURS; ++i) g_fwMain.screenColors[i] = toGuiColour(rrggbb[i]);
  GUI_MEMDEV_Select(g_fwMain.memdev[0]);
  GUI_Clear();
  GUI_DrawHLine(33, 0, 320);
  OP_ApplyScreenColors();
}

void queueImage(uint32_t offset, uint32_t length) {
  FW_QueueEepromWrite(image() + offset, offset, length);
}

// Shown when an internal EEPROM chunk broke the address rule: the firmware stops.
void eepromFault(const char* text) {
  FW_DrawTextLine(1, 5, text);
  g_fwMain.halted = 1;
}

void failStart(int error) {
  GUI_SetBkColor(kBlack);
  GUI_SetColor(kWhite);
  GUI_Clear();
  const char* text = error == FW_START_EEPROM1   ? "EEPROM 1 missing !"
                     : error == FW_START_EEPROM2 ? "EEPROM 2 missing !"
                                                 : "Internal EEPROM corrupt!";
  FW_DrawTextLine(1, 5, text);
  g_fwErrorFlags |= 0x01 | FW_ERROR_FATAL;
  FW_DrawTextLine(1, 8, "Contact Service");
  WM_Paint(g_fwMain.displayWindow);
  g_fwMain.halted = 1;
}

// The part of the start-up that follows the logo (and the wait for key code 8).
void loadEngineering() {
  uint8_t* img = image();
  if (std::memcmp(g_fwInternalEeprom + FW_IEE_PICTURE, "GIF8", 4) == 0) {
    g_fwMain.picturePresent = 1;
  } else if (img[FW_OFS_PICTURE_FLAGS] & 0x70) {
    img[FW_OFS_PICTURE_FLAGS] &= 0x0F;
    queueImage(FW_OFS_PICTURE_FLAGS, 1);
  }
  FW_CheckStoredPictures();
  FW_CheckColours();
  FW_SelectPalette(0);
  g_fwMain.deviceMode = FW_DEVICE_ENGINEERING;
  FW_LinkLoadEngineering();
}

void initPages() {
  FW_SelectTextLanguage();
  OP_ResetUi();
  OP_ResetFieldEditor();
}

void refreshPalette() { FW_SelectPalette(-1); }

// What every successful start does last.
void finishStart() {
  g_fwMain.commOption = image()[FW_OFS_ORDER_CODE + 2];
  FW_LinkPasswordLoad();
  initPages();
  FW_LinkSystemHooks(FwLinkSystemHooks{FW_GetKeyCode, refreshPalette, COM_InitChannel});
  FW_LinkInitSystemData();
  FW_RestartPictures();
  FW_LinkSystemStartupHook();
  COM_Init();
}

void showServiceStart() {
  g_fwMain.deviceMode = FW_DEVICE_SERVICE;
  FW_SelectPalette(0);
  FW_ShowStartScreen();
  FW_DrawTextLine(1, 5, "++>> FSU-Betrieb <<++     ");
  FW_DrawTextLine(1, 7, "Contact Service           ");
  WM_Paint(g_fwMain.displayWindow);
}

// The engineering is cleared: nothing the operating interface shows of it may stay open, and
// the option card's exchange records of its blocks go with it.
void closePages() {
  OP_PageLeave();
  OP_CloseOverlays();
  OP_InitKeyMap();
  OP_PageEnter(0);
  FW_OptionCardClearRecords();
}

// Loading ends: the devices of entries that this loading did not fill go back to the heap.
void endPictures() {
  FwMainState& m = g_fwMain;
  for (uint32_t i = m.pictureCount; i < FW_PICTURE_TABLE_SIZE; ++i) {
    FwPicture& p = m.pictures[i];
    if (p.memdev) GUI_MEMDEV_Delete(p.memdev);
    p = FwPicture{};
  }
  m.runState = FW_STATE_STOPPED;
}

// State 8: one picture of the user-picture data per cycle.
void loadNextPicture() {
  FwMainState& m = g_fwMain;
  const uint32_t pos = m.picturePos;
  if (!g_userPictures || m.pictureCount >= FW_PICTURE_TABLE_SIZE || pos > g_userPictureSize ||
      g_userPictureSize - pos < FW_PICTURE_HEADER) {
    endPictures();
    return;
  }
  const uint8_t* record = g_userPictures + pos;
  const uint32_t length = FW_GetU32(record + 16);
  // The list ends with -1; a length that cannot hold a file or runs past the data ends it too.
  if (length == 0xFFFFFFFFu || length <= FW_PICTURE_HEADER || length > g_userPictureSize - pos) {
    endPictures();
    return;
  }
  const uint8_t* file = record + FW_PICTURE_HEADER;
  const uint32_t fileLength = length - FW_PICTURE_HEADER;
  int xSize = 0, ySize = 0;
  const bool bmp = file[0] == 'B';
  if (bmp) {
    // The decoder reads the headers and as many bytes as the file says it has.
    if (fileLength < kBmpHeaders || FW_GetU32(file + 2) > fileLength) {
      endPictures();
      return;
    }
    xSize = GUI_BMP_GetXSize(file);
    ySize = GUI_BMP_GetYSize(file);
  } else if (file[0] == 'G') {
    GUI_GIF_INFO info{};
    if (GUI_GIF_GetInfo(file, fileLength, &info) == 0) {
      xSize = info.xSize;
      ySize = info.ySize;
    }
  }
  if (xSize <= 0 || ySize <= 0 || xSize > 0xFFFF || ySize > 0xFFFF) {
    endPictures();
    return;
  }
  FwPicture& p = m.pictures[m.pictureCount];
  FW_PostStepCode(kStepPicture);
  // A device left from an earlier loading of the same size is drawn again; one of another
  // size is given back first.
  if (p.memdev && (p.xSize != xSize || p.ySize != ySize)) {
    GUI_MEMDEV_Delete(p.memdev);
    p.memdev = 0;
  }
  if (!p.memdev) p.memdev = GUI_MEMDEV_Create(0, 0, xSize, ySize);
  if (!p.memdev) {
    endPictures();
    return;
  }
  p.record = record;
  p.xSize = static_cast<uint16_t>(xSize);
  p.ySize = static_cast<uint16_t>(ySize);
  const GUI_MEMDEV_Handle previous = GUI_MEMDEV_Select(p.memdev);
  const int drawn = bmp ? GUI_BMP_DrawSized(file, fileLength, 0, 0) : GUI_GIF_Draw(file, fileLength, 0, 0);
  GUI_MEMDEV_Select(previous);
  if (drawn != 0) {
    endPictures();
    return;
  }
  ++m.pictureCount;
  m.picturePos = pos + length;
  if (m.pictureCount >= FW_PICTURE_TABLE_SIZE) endPictures();
}

void serviceScreen() {
  FwMainState& m = g_fwMain;
  GUI_MEMDEV_Select(m.memdev[0]);
  m.fullScreen = 1;
  if (OpShownPageBlock) OP_CloseBlockView(OpShownPageBlock);
  OP_CloseBlockDialog();
  if (FW_LinkKeyTest()) {
    m.keyTestCounter = static_cast<uint16_t>(m.keyTestCounter + 3);
    m.serviceDrawn = 0;
    const uint8_t key = FW_GetKeyCode();
    for (const KeyTestEntry& e : kKeyTest) {
      if (e.code == key) {
        OP_ShowKeyTest(e.colour, e.colour == kWhite ? kBlack : kWhite, e.text,
                       static_cast<int>(std::strlen(e.text)), m.keyTestCounter);
        m.touchShown = 0;
        return;
      }
    }
    m.keyTestCounter = 0;
    if (OpTouchPressed) {
      OP_ShowTouchPoint(OpTouchX, OpTouchY);
      m.touchShown = 1;
    } else if (m.touchShown) {
      OP_ShowNoKey();
      m.touchShown = 0;
    }
    return;
  }
  if (!m.serviceDrawn) {
    GUI_SetColor(kWhite);
    GUI_SetBkColor(kBlack);
    FW_ShowStartScreen();
    for (int i = 0; i < 3; ++i) FW_DrawTextLine(1, 6 + i, m.serviceLines[i]);
    m.serviceDrawn = 1;
  }
}

void stoppedState() {
  FwMainState& m = g_fwMain;
  uint8_t* img = image();
  if (g_fwRunMode == FW_RUN_MODE_RUN) {
    if (FW_LinkSaveEngineering() != 0) {
      FW_LinkEngStatus() |= kStatusStopped;
      g_fwRunMode = FW_RUN_MODE_STOP;
      img[FW_OFS_RUN_MODE] = FW_RUN_MODE_STOP;
      queueImage(FW_OFS_RUN_MODE, 1);
      FW_LinkStartFlags() |= kStartCold;
      FW_LinkEngErrors() |= kErrorFaulty;
      FW_LinkWarmStart() = 0;
      return;
    }
    FW_SelectPalette(0);
    FW_LinkEngStatus() |= kStatusRunOk;
    m.runState = FW_STATE_STARTUP_PASS;
    return;
  }
  OP_InitKeyMap();
  if (FW_GetU16(img + FW_OFS_STATUS_WORD) != 0) {
    if (++m.statusCount > FW_STATUS_CLEAR_CYCLES) {
      img[FW_OFS_STATUS_WORD] = img[FW_OFS_STATUS_WORD + 1] = 0;
      queueImage(FW_OFS_STATUS_WORD, 2);
      m.statusCount = 0;
    }
  } else {
    m.statusCount = 0;
  }
}

void runStateStep() {
  FwMainState& m = g_fwMain;
  switch (m.runState) {
    case FW_STATE_STOPPED:
      stoppedState();
      break;
    case FW_STATE_RUNNING:
      FB_RunInputIo();
      if (g_fwRunMode == FW_RUN_MODE_RUN) {
        FB_RunSchedule();
        FB_RunOutputIo();
        uint8_t* img = image();
        if (FW_GetU16(img + FW_OFS_STATUS_WORD) != 0) {
          img[FW_OFS_STATUS_WORD] = img[FW_OFS_STATUS_WORD + 1] = 0;
          queueImage(FW_OFS_STATUS_WORD, 2);
        }
      }
      break;
    case FW_STATE_STARTUP_PASS:
      if (!(m.boardReady[0] && m.boardReady[1] && m.boardReady[2] && m.boardReady[3])) break;
      if (!FW_LinkReadDeviceIdent(m.identRecord, sizeof m.identRecord)) {
        std::memset(m.identRecord, 0, sizeof m.identRecord);
      }
      FB_RunStartupPass();
      FW_LinkStartFlags() |= FW_START_PASS;
      OP_ClearDisplayCounters();
      m.runState = FW_STATE_WAIT_INPUTS;
      break;
    case FW_STATE_WAIT_INPUTS:
      if (m.inputReady) {
        FB_RunInputIo();
        m.countdown = FW_SETTLING_CYCLES;
        OP_InitKeyMap();
        m.runState = FW_STATE_SETTLING;
      }
      break;
    case FW_STATE_SETTLING:
      FB_RunInputIo();
      FB_RunSchedule();
      if (m.countdown-- <= 1) {
        if (!FW_LinkWarmStart()) FW_LinkClockHook();
        FW_LinkStartFlags() &= static_cast<uint8_t>(~FW_START_PASS);
        g_fbSchedule.phase = 7;
        m.runState = FW_STATE_RUNNING;
      }
      break;
    case FW_STATE_SERVICE:
      serviceScreen();
      break;
    case FW_STATE_PICTURE_DELAY:
      if (m.countdown == FW_PICTURE_DELAY_CYCLES) {
        FW_CheckColours();
        FW_SelectPalette(0);
      }
      if (m.countdown == 0 || --m.countdown == 0) m.runState = FW_STATE_PICTURES;
      break;
    case FW_STATE_PICTURES:
      loadNextPicture();
      break;
    default:
      m.runState = FW_STATE_STOPPED;
      break;
  }
}

}  // namespace

void FW_ResetMain() {
  g_fwMain = FwMainState{};
  g_fwMain.runState = FW_STATE_STOPPED;
  g_fwMain.deviceMode = FW_DEVICE_SERVICE;
  g_userPictures = nullptr;
  g_userPictureSize = 0;
}

void FW_SetUserPictures(const uint8_t* data, uint32_t size) {
  g_userPictures = data;
  g_userPictureSize = data ? size : 0;
}

int FW_Init() {
  FwMainState& m = g_fwMain;
  m.halted = 0;
  m.serviceShown = 0;
  m.serviceDrawn = 0;
  for (int i = 0; i < 3; ++i) std::memcpy(m.serviceLines[i], kServiceLines[i], FW_SERVICE_LINE_LEN + 1);
  if (!m.displayWindow) m.displayWindow = WM_CreateWindow(0, 0, LCD_XSIZE, LCD_YSIZE, 0, OP_FullScreenProc, 0);
  m.fullScreen = 0;
  WM_Activate();
  GUI_MEMDEV_Select(m.memdev[0]);

  FW_LinkStartFlags() |= kStartCold;
  FW_LinkWarmStart() = 0;
  FB_ClearStore();
  FW_ClearInternalRing();
  FW_ClearDeferredCalls();
  OP_ClearDisplayList();
  FW_SetEepromFaultHook(eepromFault);
  FW_SetEngineeringClearHook(closePages);
  FW_LinkRegisterSystemType();

  // The simulator's start-mode hook always answers a normal start, and EEPROM 1 is there;
  // the internal EEPROM must carry its tag.
  if (std::memcmp(g_fwInternalEeprom + FW_IEE_TAG, kTag, sizeof kTag) != 0) {
    failStart(FW_START_INTERNAL);
    return FW_START_INTERNAL;
  }
  if (std::memcmp(image(), kTag, sizeof kTag) == 0) {
    OP_ShowStartupLogo();
    if (image()[FW_OFS_PICTURE_FLAGS] & 0x08) {
      // The rest of the start-up follows the key with code 8 (FW_Cycle).
      m.runState = FW_STATE_WAIT_KEY;
      return FW_START_OK;
    }
    loadEngineering();
  } else {
    showServiceStart();
  }
  finishStart();
  return FW_START_OK;
}

void FW_Cycle() {
  FwMainState& m = g_fwMain;
  if (m.halted) return;
  m.cycleRunning = 1;
  if (m.runState == FW_STATE_WAIT_KEY) {
    OP_ReadKeysAndPointer();
    FW_PostStepCode(kStepKeyWait);
    if (FW_GetKeyCode() == kRunCode8) {
      loadEngineering();
      finishStart();
    }
    m.cycleRunning = 0;
    return;
  }
  if (m.stopRequest == 2) {
    g_fwRunMode = FW_RUN_MODE_STOP;
    m.stopRequest = 0;
  }
  OP_ReadKeysAndPointer();
  FW_CopyHostIo();

  if (m.deviceMode == FW_DEVICE_ENGINEERING) {
    if (m.runState == FW_STATE_SERVICE) m.runState = FW_STATE_STOPPED;
    if (m.popupCountdown && --m.popupCountdown == 0 && WM_IsWindow(m.popupWindow)) {
      m.popupCountdown = 255;
      WM_InvalidateWindow(m.popupWindow);
    }
    OP_RunPageManager(FW_GetKeyCode());
    FW_LinkSystemCycle();
    if (m.commOption > '0') COM_BusCycle();
  } else if (!m.serviceShown) {
    m.serviceShown = 1;
    m.runState = FW_STATE_SERVICE;
    g_fwRunMode = FW_RUN_MODE_RUN;
    std::memset(m.boardState, 0, sizeof m.boardState);
    if (!m.suppressServiceScreen) {
      FW_SelectPalette(0);
      m.fullScreen = 1;
      GUI_Clear();
      FW_ShowStartScreen();
    }
  }

  runStateStep();

  // Stop rule.
  if (g_fwRunMode == FW_RUN_MODE_STOP && m.runState >= FW_STATE_RUNNING &&
      m.runState <= FW_STATE_SETTLING) {
    m.runState = FW_STATE_STOPPED;
    if (FW_LinkWarmStartSetting()) {
      FW_LinkWarmStart() = 1;
      FW_LinkStartFlags() &= static_cast<uint8_t>(~kStartCold);
    } else {
      FW_LinkWarmStart() = 0;
      FW_LinkStartFlags() |= kStartCold;
    }
  }

  m.statusBits = static_cast<uint16_t>((FW_LinkAnalogInputFailures() ? 1 : 0) |
                                       (g_fwErrorFlags ? 2 : 0) |
                                       (COM_SerialErrorFlags() ? 4 : 0) |
                                       (FW_LinkEngErrors() ? 8 : 0));
  if (m.commOption == '3') FW_OptionCardCycle();
  g_fbSchedule.phase = static_cast<uint16_t>((g_fbSchedule.phase + 1) % FB_PHASE_COUNT);
  m.pageState = m.runState == FW_STATE_RUNNING ? 2 : 1;

  WM_Activate();
  if (m.fullScreen) {
    OP_ShowPageWindows(0);
    WM_ShowWindow(m.displayWindow);
    WM_InvalidateWindow(m.displayWindow);
    m.fullScreen = 0;
  } else {
    WM_HideWindow(m.displayWindow);
    OP_ShowPageWindows(1);
  }
  if (!m.holdDisplay) OP_UpdateDisplay();
  m.cycleRunning = 0;
}

int FW_CheckStoredPictures() {
  if (!g_userPictures) return 0;
  uint32_t pos = 0;
  for (int n = 0; n < static_cast<int>(FW_PICTURE_TABLE_SIZE); ++n) {
    if (g_userPictureSize - pos < FW_PICTURE_HEADER) {
      GUI_ErrorOut("FW_Main:\nUser pictures without end mark in FW_CheckStoredPictures()");
      return -1;
    }
    const uint8_t* record = g_userPictures + pos;
    const uint32_t length = FW_GetU32(record + 16);
    if (length == 0xFFFFFFFFu) return n;
    const uint8_t kind = length > FW_PICTURE_HEADER && length <= g_userPictureSize - pos ? record[FW_PICTURE_HEADER] : 0;
    if (kind != 'B' && kind != 'G') {
      GUI_ErrorOut1("FW_Main:\nCorrupt user picture record in FW_CheckStoredPictures()", n + 1);
      return n;
    }
    pos += length;
  }
  return static_cast<int>(FW_PICTURE_TABLE_SIZE);   // the table is full: the rest is not read
}

void FW_RestartPictures() {
  FwMainState& m = g_fwMain;
  m.runState = FW_STATE_PICTURE_DELAY;
  m.countdown = FW_PICTURE_DELAY_CYCLES;
  m.picturePos = 0;
  // The entries are filled again from the start; their memory devices are reused.
  m.pictureCount = 0;
  if (g_fwRunMode == FW_RUN_MODE_STOP) {
    FW_LinkStartFlags() |= kStartCold;
    FW_LinkWarmStart() = 0;
  }
}

void FW_SetupDisplay() {
  FwMainState& m = g_fwMain;
  if (!m.displaySetUp) {
    GUI_Init();
    WM_EnableMultiBuf(1);
    m.memdev[0] = GUI_MEMDEV_Create(0, 0, LCD_XSIZE, LCD_YSIZE);
    m.memdev[1] = GUI_MEMDEV_Create(0, 0, LCD_XSIZE, LCD_YSIZE);
    m.displaySetUp = 1;
  }
  OP_CreateDisplayWindows();
  GUI_Clear();
  for (GUI_MEMDEV_Handle h : m.memdev) {
    GUI_MEMDEV_Select(h);
    GUI_SetFont(&GUI_Font8_1);
    GUI_MEMDEV_CopyToLCD(h);
  }
}

void FW_DrawTextLine(int column, int row, const char* text) {
  GUI_DispStringAt(text, (column - 1) * 16, row * 24);
}

void FW_ShowStartScreen() {
  const uint8_t* img = image();
  char code[11] = {};
  for (int i = 0; i < 10 && img[FW_OFS_ORDER_CODE + i]; ++i) {
    code[i] = static_cast<char>(img[FW_OFS_ORDER_CODE + i]);
  }
  char line[64];
  FW_DrawTextLine(1, 1, img[FW_OFS_OEM] ? "******  OEM-Ger\xE4t  *******" : "********  MX74-2  ********");
  std::snprintf(line, sizeof line, "SW: CSW-%6.6s%02d          ", FW_FIRMWARE_ID, FW_FIRMWARE_VERSION);
  FW_DrawTextLine(1, 2, line);
  if (code[0] >= '0' && code[0] <= '8') {
    std::snprintf(line, sizeof line, "HW: MX74-2%2.2s-%5.5s-%3.3s    ", code, code + 2, code + 7);
    FW_DrawTextLine(1, 3, line);
    std::snprintf(line, sizeof line, "SN: %04d%04d-%03d-%03d      ", FW_GetU16(img + FW_OFS_SERIAL),
                  FW_GetU16(img + FW_OFS_SERIAL + 2), FW_GetU16(img + FW_OFS_SERIAL + 4),
                  FW_GetU16(img + FW_OFS_SERIAL + 6));
    FW_DrawTextLine(1, 4, line);
  } else {
    std::snprintf(line, sizeof line, "******  %-10.10s  ******", code);
    FW_DrawTextLine(1, 3, line);
  }
  for (int row = 6; row <= 8; ++row) FW_DrawTextLine(1, row, kBlankLine);
  OP_ShowTextScreen(kInfoTextScreen, 10);
}

void FW_SelectPalette(int n) {
  FwMainState& m = g_fwMain;
  if (n >= 0) m.palette = static_cast<int16_t>(n <= 3 ? n : 0);
  // A device without engineering shows its fixed colours; its stored palettes stay as they are.
  if (m.deviceMode == FW_DEVICE_SERVICE) {
    applyColours(kServiceColours);
    return;
  }
  uint32_t colours[FW_PALETTE_COLOURS];
  const uint8_t* p = g_fwInternalEeprom + FW_IEE_PALETTES + m.palette * FW_PALETTE_COLOURS * 4;
  for (uint32_t i = 0; i < FW_PALETTE_COLOURS; ++i) colours[i] = FW_GetU32(p + 4 * i);
  applyColours(colours);
}

void FW_CheckColours() {
  bool reset = false;
  for (uint32_t palette = 0; palette < 4; ++palette) {
    for (uint32_t i = 0; i < FW_PALETTE_COLOURS; ++i) {
      uint8_t* p = g_fwInternalEeprom + FW_IEE_PALETTES + (palette * FW_PALETTE_COLOURS + i) * 4;
      if (FW_GetU32(p) <= 0xFFFFFF) continue;
      const uint32_t v = (i == 1 || i == 3 || i == 5) ? 0xFFFFFF : 0;
      for (int b = 0; b < 4; ++b) p[b] = static_cast<uint8_t>(v >> (8 * b));
      reset = true;
    }
  }
  if (reset) {
    FW_QueueInternalEepromWrite(g_fwInternalEeprom + FW_IEE_PALETTES, FW_IEE_PALETTES,
                                FW_IEE_PALETTE_BYTES);
  }
}

int FW_DisplayHookZero() { return 0; }
void FW_DisplayHookNop() {}
