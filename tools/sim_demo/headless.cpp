// The demo device has no display, no operating pages and no shell windows: their services
// do nothing, except that the texts the firmware writes on its display are printed.
#include "tools/sim_demo/headless.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "blocks/register_all.h"
#include "gui/GUI.h"
#include "gui/WM.h"
#include "opui/op_services.h"
#include "runtime/fw_adapter.h"
#include "runtime/fw_eeprom.h"
#include "shell/sim_services.h"
#include "tools/engbuild/eng_builder.h"

// --- display --------------------------------------------------------------------------
const GUI_FONT GUI_Font8_1 = {};
int GUI_Init() { return 0; }
void GUI_ErrorOut(const char* s) { std::fprintf(stderr, "%s\n", s); }
void GUI_ErrorOut1(const char* s, int32_t a) { std::fprintf(stderr, "%s %d\n", s, static_cast<int>(a)); }
void GUI_Clear() {}
void GUI_DispStringAt(const char* s, int, int) {
  // Blank lines clear a line of the start screen; only text is worth showing.
  for (const char* p = s; p && *p; ++p) {
    if (*p != ' ') {
      std::printf("display: %s\n", s);
      return;
    }
  }
}
void GUI_DrawHLine(int, int, int) {}
void GUI_SetColor(GUI_COLOR) {}
void GUI_SetBkColor(GUI_COLOR) {}
const GUI_FONT* GUI_SetFont(const GUI_FONT* font) { return font; }
GUI_MEMDEV_Handle GUI_MEMDEV_Create(int, int, int, int) { return 0; }
void GUI_MEMDEV_Delete(GUI_MEMDEV_Handle) {}
GUI_MEMDEV_Handle GUI_MEMDEV_Select(GUI_MEMDEV_Handle) { return 0; }
void GUI_MEMDEV_CopyToLCD(GUI_MEMDEV_Handle) {}
int GUI_BMP_GetXSize(const void*) { return 0; }
int GUI_BMP_GetYSize(const void*) { return 0; }
int GUI_BMP_Draw(const void*, int, int) { return 1; }
int GUI_BMP_DrawSized(const void*, uint32_t, int, int) { return 1; }
int GUI_GIF_GetInfo(const void*, uint32_t, GUI_GIF_INFO*) { return 1; }
int GUI_GIF_Draw(const void*, uint32_t, int, int) { return 1; }
void WM_Activate() {}
WM_HWIN WM_CreateWindow(int, int, int, int, uint32_t, WM_CALLBACK*, int) { return 0; }
int WM_EnableMultiBuf(int) { return 0; }
void WM_HideWindow(WM_HWIN) {}
void WM_ShowWindow(WM_HWIN) {}
void WM_InvalidateWindow(WM_HWIN) {}
int WM_IsWindow(WM_HWIN) { return 0; }
void WM_Paint(WM_HWIN) {}

// --- operating pages --------------------------------------------------------------------
uint16_t OpShownPageBlock;
uint32_t OpTouchPressed;
int16_t OpTouchX, OpTouchY;
void OP_ApplyScreenColors() {}
void OP_ClearDisplayList() {}
void OP_CloseBlockDialog() {}
void OP_CloseBlockView(uint16_t) {}
void OP_CloseOverlays() {}
void OP_CreateDisplayWindows() {}
void OP_InitKeyMap() {}
void OP_ResetUi() {}
void OP_ResetFieldEditor() {}
void OP_ClearDisplayCounters() {}
void OP_FullScreenProc(WM_MESSAGE*) {}
void OP_ShowPageWindows(int) {}
void OP_PageEnter(int) {}
void OP_PageLeave() {}
void OP_ReadKeysAndPointer() {}
void OP_RunPageManager(int) {}
void OP_SetIndicator(int, int, int) {}
void OP_ShowKeyTest(uint32_t, uint32_t, const char*, int, int) {}
void OP_ShowNoKey() {}
void OP_ShowStartupLogo() {}
int OP_ShowTextScreen(int, int count) { return count == 1 ? 1 : 2; }
void OP_ShowTouchPoint(int, int) {}
void OP_UpdateDisplay() {}

// --- shell ------------------------------------------------------------------------------
SimHostState& SimState() {
  static SimHostState state{};
  return state;
}
void SimModulePanelCloseAll() {}
void SimModulePanelOpen(int32_t) {}
int32_t SimModulePanelQuery(int, int, int) { return 0; }
void SimModulePanelSend(int, int, int, int32_t) {}
int SimPlantCycle(SimPlantActuators*, SimPlantParams*, SimPlantResult*) { return 0; }
// Without a shell around it the device's restart is the firmware's own: the next tick starts
// it again (a download from a PC tool ends so).
void SimRequestRestart() { SimState().restartFlag = 1; }
void SimRestartFirmware() {
  FW_SimInit();
  FW_SimStart();
}

// --- the project ------------------------------------------------------------------------
void SimHeadlessStart(const std::vector<uint8_t>& engineering, uint8_t language) {
  static std::vector<uint8_t> image, imageRef, data, dataRef;
  image.assign(SIM_ENGINEERING_SIZE, 0);
  std::copy_n(engineering.begin(), std::min<size_t>(engineering.size(), image.size()), image.begin());
  imageRef.assign(SIM_ENGINEERING_SIZE, 0);
  data.assign(SIM_DATA_SIZE, 0);
  dataRef.assign(SIM_DATA_SIZE, 0);
  std::memcpy(data.data() + FW_IEE_TAG, "MX7N", 4);
  SimHostState& s = SimState();
  s.engineering = image.data();
  s.engineeringRef = imageRef.data();
  s.data = data.data();
  s.dataRef = dataRef.data();
  s.imagesValid = 1;
  s.reloadRequest = 1;
  s.language = language;
  FW_SimInit();
  FW_SimStart();
}

bool SimHeadlessStartDescription(const char* path, std::string_view fallback, std::string* error) {
  std::string description(fallback);
  if (path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      *error = std::string("cannot read ") + path;
      return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    description = text.str();
  }
  BLK_RegisterAllTypes();
  EngBuilder builder;
  std::vector<uint8_t> engineering;
  if (!EngParseDescription(description, builder, error)) return false;
  if (!builder.build(engineering)) {
    *error = builder.error();
    return false;
  }
  SimHeadlessStart(engineering);
  return true;
}
