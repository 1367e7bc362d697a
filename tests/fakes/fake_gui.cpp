#include "fakes/fake_gui.h"

#include <map>
#include <set>

#include "gui/GUI.h"
#include "gui/WM.h"
#include "gui/draw/GUI_Font.h"

namespace fakegui {

namespace {

struct State {
  std::vector<Call> calls;
  std::map<std::string, int64_t> results;
  const GUI_FONT* font = nullptr;
  GUI_MEMDEV_Handle selected = 0;
  unsigned alpha = 0;
  int multiBuf = 0;
  int32_t nextHandle = 1;
  std::set<int32_t> windows;
};

State& S() {
  static State s;
  return s;
}

int64_t P(const void* p) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(p)); }

void Record(const char* name, std::vector<int64_t> args, const char* text = nullptr) {
  S().calls.push_back(Call{name, std::move(args), text ? text : ""});
}

// The result set for that function, else the fallback.
int64_t Result(const char* name, int64_t fallback) {
  auto it = S().results.find(name);
  return it == S().results.end() ? fallback : it->second;
}

int32_t NewHandle(const char* name) {
  int32_t h = static_cast<int32_t>(Result(name, S().nextHandle++));
  if (h) S().windows.insert(h);
  return h;
}

}  // namespace

const std::vector<Call>& Calls() { return S().calls; }

std::vector<std::string> Names() {
  std::vector<std::string> out;
  for (const Call& c : S().calls) out.push_back(c.name);
  return out;
}

void Reset() { S() = State{}; }

void SetResult(const std::string& name, int64_t value) { S().results[name] = value; }

}  // namespace fakegui

using fakegui::P;
using fakegui::Record;
using fakegui::Result;

// The default font and the idle screen's clock font, so that code that selects them links
// against the stand-in.
const GUI_FONT GUI_Font8_1 = {};
const GUI_FONT GUI_FontDigits80 = {};

// --- graphics core --------------------------------------------------------------------------
int GUI_BMP_GetXSize(const void* pFile) {
  Record("GUI_BMP_GetXSize", {P(pFile)});
  return static_cast<int>(Result("GUI_BMP_GetXSize", 0));
}
int GUI_BMP_GetYSize(const void* pFile) {
  Record("GUI_BMP_GetYSize", {P(pFile)});
  return static_cast<int>(Result("GUI_BMP_GetYSize", 0));
}
int GUI_BMP_Draw(const void* pFile, int x0, int y0) {
  Record("GUI_BMP_Draw", {P(pFile), x0, y0});
  return static_cast<int>(Result("GUI_BMP_Draw", 0));
}
int GUI_BMP_DrawSized(const void* pFile, uint32_t numBytes, int x0, int y0) {
  Record("GUI_BMP_DrawSized", {P(pFile), numBytes, x0, y0});
  return static_cast<int>(Result("GUI_BMP_DrawSized", 0));
}
void GUI_Clear() { Record("GUI_Clear", {}); }
void GUI_DispStringAt(const char* s, int x, int y) { Record("GUI_DispStringAt", {x, y}, s); }
void GUI_DrawHLine(int y, int x0, int x1) { Record("GUI_DrawHLine", {y, x0, x1}); }
unsigned GUI_EnableAlpha(unsigned onOff) {
  Record("GUI_EnableAlpha", {onOff});
  unsigned old = fakegui::S().alpha;
  fakegui::S().alpha = onOff ? 1 : 0;
  return old;
}
int GUI_GIF_GetInfo(const void* pGIF, uint32_t numBytes, GUI_GIF_INFO* pInfo) {
  Record("GUI_GIF_GetInfo", {P(pGIF), numBytes, P(pInfo)});
  if (pInfo) *pInfo = GUI_GIF_INFO{};
  return static_cast<int>(Result("GUI_GIF_GetInfo", 0));
}
int GUI_GIF_Draw(const void* pGIF, uint32_t numBytes, int x0, int y0) {
  Record("GUI_GIF_Draw", {P(pGIF), numBytes, x0, y0});
  return static_cast<int>(Result("GUI_GIF_Draw", 0));
}
void GUI_ErrorOut(const char* s) { Record("GUI_ErrorOut", {}, s); }
void GUI_ErrorOut1(const char* s, int32_t a) { Record("GUI_ErrorOut", {a}, s); }
int GUI_Init() {
  Record("GUI_Init", {});
  return static_cast<int>(Result("GUI_Init", 0));
}
int GUI_JPEG_Draw(const void* pFileData, int numBytes, int x0, int y0) {
  Record("GUI_JPEG_Draw", {P(pFileData), numBytes, x0, y0});
  return static_cast<int>(Result("GUI_JPEG_Draw", 0));
}
void GUI_MEMDEV_CopyToLCD(GUI_MEMDEV_Handle hMem) { Record("GUI_MEMDEV_CopyToLCD", {hMem}); }
GUI_MEMDEV_Handle GUI_MEMDEV_Create(int x0, int y0, int xSize, int ySize) {
  Record("GUI_MEMDEV_Create", {x0, y0, xSize, ySize});
  return fakegui::NewHandle("GUI_MEMDEV_Create");
}
void GUI_MEMDEV_Delete(GUI_MEMDEV_Handle hMem) { Record("GUI_MEMDEV_Delete", {hMem}); }
GUI_MEMDEV_Handle GUI_MEMDEV_Select(GUI_MEMDEV_Handle hMem) {
  Record("GUI_MEMDEV_Select", {hMem});
  GUI_MEMDEV_Handle old = fakegui::S().selected;
  fakegui::S().selected = hMem;
  return old;
}
void GUI_MEMDEV_Write(GUI_MEMDEV_Handle hMem) { Record("GUI_MEMDEV_Write", {hMem}); }
void GUI_SetBkColor(GUI_COLOR color) { Record("GUI_SetBkColor", {color}); }
void GUI_SetColor(GUI_COLOR color) { Record("GUI_SetColor", {color}); }
const GUI_FONT* GUI_SetFont(const GUI_FONT* pFont) {
  Record("GUI_SetFont", {P(pFont)});
  const GUI_FONT* old = fakegui::S().font;
  if (pFont) fakegui::S().font = pFont;
  return old;
}

// --- window manager -------------------------------------------------------------------------
WM_HWIN GUI_CreateDialogBox(const GUI_DIALOG_ITEM* paItem, int numItems, WM_CALLBACK* cb, WM_HWIN hParent, int x0,
                            int y0) {
  Record("GUI_CreateDialogBox", {P(paItem), numItems, P(reinterpret_cast<const void*>(cb)), hParent, x0, y0});
  return fakegui::NewHandle("GUI_CreateDialogBox");
}
void WM_Activate() { Record("WM_Activate", {}); }
WM_HWIN WM_CreateWindow(int x0, int y0, int xSize, int ySize, uint32_t style, WM_CALLBACK* cb, int numExtraBytes) {
  Record("WM_CreateWindow", {x0, y0, xSize, ySize, style, P(reinterpret_cast<const void*>(cb)), numExtraBytes});
  return fakegui::NewHandle("WM_CreateWindow");
}
int WM_EnableMultiBuf(int onOff) {
  Record("WM_EnableMultiBuf", {onOff});
  int old = fakegui::S().multiBuf;
  fakegui::S().multiBuf = onOff ? 1 : 0;
  return old;
}
void WM_HideWindow(WM_HWIN hWin) { Record("WM_HideWindow", {hWin}); }
void WM_ShowWindow(WM_HWIN hWin) { Record("WM_ShowWindow", {hWin}); }
void WM_InvalidateWindow(WM_HWIN hWin) { Record("WM_InvalidateWindow", {hWin}); }
int WM_IsWindow(WM_HWIN hWin) {
  Record("WM_IsWindow", {hWin});
  return static_cast<int>(Result("WM_IsWindow", fakegui::S().windows.count(hWin) ? 1 : 0));
}
void WM_Paint(WM_HWIN hWin) { Record("WM_Paint", {hWin}); }
