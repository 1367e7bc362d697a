// Configuration, start and stop of the library, the drawing context and error output.
#include <cstdio>
#include <cstring>

#include "gui/GUI_Private.h"

namespace {

// --- platform hooks -------------------------------------------------------------------
void NoOp() {}
// Without a platform the time only advances by the delays, so that waits still end.
int32_t g_defaultClock;
uint32_t DefaultTaskId() { return 1; }
int32_t DefaultTime() { return g_defaultClock; }
void DefaultDelay(int ms) { g_defaultClock += ms > 0 ? ms : 0; }
void DefaultText(const char*) {}

const GUI_PLATFORM_HOOKS kDefaultHooks = {NoOp,        NoOp,         NoOp,         DefaultTaskId,
                                          DefaultTime, DefaultDelay, NoOp,         DefaultText,
                                          DefaultText, NoOp};
GUI_PLATFORM_HOOKS g_hooks = kDefaultHooks;

// --- library state --------------------------------------------------------------------
alignas(8) uint8_t g_heap[GUI_HEAP_BYTES];
GUI_CONTEXT g_startContext;        // used until the task slots exist

int g_xSizeOverride, g_ySizeOverride;
int g_vxSize, g_vySize;
int g_orgX, g_orgY;
bool g_initialized;
bool g_initOnceDone;
char g_decChar = '.';
void (*g_pfErrorHook)(const char*);
GUI_REGISTER_HOOK* g_pAfterInitHooks;
GUI_REGISTER_EXIT* g_pExitHooks;

void* (*g_pfMemset)(void*, int, size_t) = std::memset;
void* (*g_pfMemcpy)(void*, const void*, size_t) = std::memcpy;

GUI_COLOR g_defaultColor = 0x00FFFFFF;
GUI_COLOR g_defaultBkColor = 0x00000000;
const GUI_FONT* g_pDefaultFont = &GUI_Font8_1;

const char kVersion[] = "MX74-2 GUI 1.00";

GUI_WM_LINK g_wmLink;

void ExitOwn();
GUI_REGISTER_EXIT g_exitOwn = {nullptr, ExitOwn};

void ExitOwn() {
  // The task slots and device records lived in the heap that GUI_Exit clears: forget them.
  std::memset(&g_startContext, 0, sizeof g_startContext);
  GUI_pContext = &g_startContext;
  GUI_DEVICE__ClearChains();
  g_initOnceDone = false;
  g_xSizeOverride = g_ySizeOverride = 0;
  g_vxSize = g_vySize = 0;
}

// Applies the memory and task configuration.
void ConfigMemory() {
  GUI_ALLOC_AssignMemory(g_heap, GUI_HEAP_BYTES);
  GUI_ALLOC_SetAvBlockSize(GUI_AVG_BLOCK_SIZE);
  GUITASK_SetMaxTaskCount(GUI_MAX_TASKS);
}

// Applies the display configuration: the simulation driver on layer 0, 320 x 240.
void ConfigDisplay() {
  GUI_DEVICE_CreateAndLink(&GUIDRV_Sim_API, &GUICC_565R, 0, 0);
  LCD_SetSizeEx(0, LCD_XSIZE, LCD_YSIZE);
  LCD_SetVSizeEx(0, LCD_XSIZE, LCD_YSIZE);
  LCD_SetVRAMSizeEx(0, 0, 0);
}

void AppendHex(char* buf, size_t cap, int32_t v) {
  size_t len = std::strlen(buf);
  std::snprintf(buf + len, cap - len, " 0x%08X", static_cast<unsigned>(v));
}

void ErrorOutN(void (*pfOut)(const char*), const char* s, int n, const int32_t* v) {
  char buf[100 + 4 * 11 + 1];
  std::snprintf(buf, sizeof buf, "%.100s", s ? s : "");
  for (int i = 0; i < n; ++i) AppendHex(buf, sizeof buf, v[i]);
  pfOut(buf);
}

}  // namespace

GUI_CONTEXT* GUI_pContext = &g_startContext;
const GUI_PLATFORM_HOOKS* GUI__pHooks = &g_hooks;

void GUI_SetPlatformHooks(const GUI_PLATFORM_HOOKS* pHooks) {
  g_hooks = pHooks ? *pHooks : kDefaultHooks;
  // Every member must be callable: fill gaps with the defaults.
  const GUI_PLATFORM_HOOKS& d = kDefaultHooks;
  GUI_PLATFORM_HOOKS& h = g_hooks;
  if (!h.pfInitOS) h.pfInitOS = d.pfInitOS;
  if (!h.pfLock) h.pfLock = d.pfLock;
  if (!h.pfUnlock) h.pfUnlock = d.pfUnlock;
  if (!h.pfGetTaskId) h.pfGetTaskId = d.pfGetTaskId;
  if (!h.pfGetTime) h.pfGetTime = d.pfGetTime;
  if (!h.pfDelay) h.pfDelay = d.pfDelay;
  if (!h.pfExecIdle) h.pfExecIdle = d.pfExecIdle;
  if (!h.pfErrorOut) h.pfErrorOut = d.pfErrorOut;
  if (!h.pfLog) h.pfLog = d.pfLog;
  if (!h.pfInit) h.pfInit = d.pfInit;
}

void* GUI__memset(void* p, int c, size_t n) { return g_pfMemset(p, c, n); }
void* GUI__memcpy(void* d, const void* s, size_t n) { return g_pfMemcpy(d, s, n); }
void GUI_SetMemsetHook(void* (*pf)(void*, int, size_t)) { g_pfMemset = pf ? pf : std::memset; }
void GUI_SetMemcpyHook(void* (*pf)(void*, const void*, size_t)) {
  g_pfMemcpy = pf ? pf : std::memcpy;
}

void GUI__SetWMLink(const GUI_WM_LINK* pLink) {
  if (pLink)
    g_wmLink = *pLink;
  else
    g_wmLink = GUI_WM_LINK{};
}

// Without a window manager, window-level drawing runs once with the context's clipping.
int WM__IterateStart(const GUI_RECT* pRect) {
  return g_wmLink.pfIterateStart ? g_wmLink.pfIterateStart(pRect) : 1;
}
int WM__IterateNext() { return g_wmLink.pfIterateNext ? g_wmLink.pfIterateNext() : 0; }
void WM__SelectLayer(int layer) {
  if (g_wmLink.pfSelectLayer) g_wmLink.pfSelectLayer(layer);
}

// --- start and stop ---------------------------------------------------------------------
void GUI__InitOnce() {
  if (g_initOnceDone) return;
  g_initOnceDone = true;
  ConfigMemory();
  GUITASK_Init();
  ConfigDisplay();
  GUI__AddExitHook(&g_exitOwn);
}

void GUI__InitContext(GUI_CONTEXT* p) {
  GUI__RepointContext(p);
  GUI_DEVICE* pTop = GUI_DEVICE__GetHead(p->SelLayer);
  if (pTop) {
    GUI_RECT r;
    pTop->pDeviceAPI->pfGetRect(pTop, &r);
    p->ClipRect = r;
  }
  if (!GUI_DEVICE_GetDriver(0)) GUI_ErrorOut("GUI_Core:\nNo display driver has been added in _InitContext().");
  p->pLCD_HL = &LCD_APIListClipped;
  p->pAFont = g_pDefaultFont;
  if (!g_pDefaultFont) GUI_ErrorOut("GUI_Core:\nNo default font has been defined in _InitContext().");
  p->PenSize = 1;
  p->StyleLineThickness = 1;
  p->hAWin = g_wmLink.hNoWindow;
  p->AA_Factor = 3;
  p->pVersion = kVersion;
  p->Color = GUI_INVALID_COLOR;
  p->BkColor = GUI_INVALID_COLOR;
  GUI_CONTEXT* pSave = GUI_pContext;
  GUI_pContext = p;
  LCD__pSetColorAPI->pfSetBkColor(g_defaultBkColor);
  LCD__pSetColorAPI->pfSetColor(g_defaultColor);
  GUI_pContext = pSave;
}

int GUI_Init() {
  GUI__InitOnce();
  g_decChar = '.';
  GUI__pHooks->pfInit();
  GUI__InitContext(GUI_pContext);
  int r = LCD_Init();
  if (g_vxSize == 0 || g_vySize == 0) GUI_SetVirtualScreenSize(LCD_GetXSizeMax(), LCD_GetYSizeMax());
  GUI_SetOrg(0, 0);
  if (g_wmLink.pfInit) g_wmLink.pfInit();
  GUITASK_CopyContext();
  while (g_pAfterInitHooks) {
    GUI_REGISTER_HOOK* pNode = g_pAfterInitHooks;
    g_pAfterInitHooks = pNode->pNext;
    if (pNode->pHook) pNode->pHook();
  }
  g_initialized = true;
  return r;
}

void GUI_Exit() {
  GUI_REGISTER_EXIT* pNode = g_pExitHooks;
  g_pExitHooks = nullptr;
  while (pNode) {
    GUI_REGISTER_EXIT* pNext = pNode->pNext;
    pNode->pNext = nullptr;
    if (pNode->pfVoid) pNode->pfVoid();
    pNode = pNext;
  }
  g_initialized = false;
  GUI__ExitAlloc();
}

int GUI_IsInitialized() { return g_initialized ? 1 : 0; }

void GUI_RegisterAfterInitHook(GUI_REGISTER_HOOK* pNode) {
  pNode->pNext = g_pAfterInitHooks;
  g_pAfterInitHooks = pNode;
}

void GUI__AddExitHook(GUI_REGISTER_EXIT* pNode) {
  for (GUI_REGISTER_EXIT* p = g_pExitHooks; p; p = p->pNext)
    if (p == pNode) return;  // already listed: a second push would make a loop
  pNode->pNext = g_pExitHooks;
  g_pExitHooks = pNode;
}

// --- context ----------------------------------------------------------------------------
void GUI_SaveContext(GUI_CONTEXT* p) { *p = *GUI_pContext; }
void GUI_RestoreContext(const GUI_CONTEXT* p) { *GUI_pContext = *p; }

void GUI_SetDefault() {
  GUI_LockGuard lock;
  GUI_SetBkColor(g_defaultBkColor);
  GUI_SetColor(g_defaultColor);
  GUI_pContext->PenSize = 1;
  GUI_pContext->TextAlign = 0;
  GUI_pContext->TextMode = 0;
  LCD__pSetColorAPI->pfSetDrawMode(0);
  GUI_pContext->pAFont = g_pDefaultFont;
  GUI_pContext->LineStyle = 0;
}

void GUI_SetColor(GUI_COLOR color) {
  GUI_LockGuard lock;
  LCD__pSetColorAPI->pfSetColor(color);
}
void GUI_SetBkColor(GUI_COLOR color) {
  GUI_LockGuard lock;
  LCD__pSetColorAPI->pfSetBkColor(color);
}
void GUI_SetColorIndex(uint32_t index) {
  GUI_LockGuard lock;
  LCD_SetColorIndex(index);
  GUI_pContext->Color = GUI_INVALID_COLOR;
}
void GUI_SetBkColorIndex(uint32_t index) {
  GUI_LockGuard lock;
  LCD_SetBkColorIndex(index);
  GUI_pContext->BkColor = GUI_INVALID_COLOR;
}
GUI_COLOR GUI_GetColor() {
  GUI_LockGuard lock;
  return LCD_Index2Color(LCD_GetColorIndex());
}
GUI_COLOR GUI_GetBkColor() {
  GUI_LockGuard lock;
  return LCD_Index2Color(LCD_GetBkColorIndex());
}
uint32_t GUI_GetColorIndex() {
  GUI_LockGuard lock;
  return LCD_GetColorIndex();
}
uint32_t GUI_GetBkColorIndex() {
  GUI_LockGuard lock;
  return LCD_GetBkColorIndex();
}

const GUI_FONT* GUI_SetFont(const GUI_FONT* pFont) {
  GUI_LockGuard lock;
  const GUI_FONT* pOld = GUI_pContext->pAFont;
  if (pFont) GUI_pContext->pAFont = pFont;
  return pOld;
}
const GUI_FONT* GUI_GetFont() {
  GUI_LockGuard lock;
  return GUI_pContext->pAFont;
}

namespace {
template <class F>
int SwapField(F& field, int value) {
  GUI_LockGuard lock;
  int old = field;
  field = static_cast<F>(value);
  return old;
}
template <class F>
int ReadField(const F& field) {
  GUI_LockGuard lock;
  return field;
}
}  // namespace

int GUI_SetTextAlign(int v) { return SwapField(GUI_pContext->TextAlign, v); }
int GUI_SetTextMode(int v) { return SwapField(GUI_pContext->TextMode, v); }
// The style-line drawer of text output reads this field after every character.
int GUI_SetTextStyle(int v) { return SwapField(GUI_pContext->TextStyle, v); }
int GUI_SetLineStyle(int v) { return SwapField(GUI_pContext->LineStyle, v); }
int GUI_SetPenSize(int v) { return SwapField(GUI_pContext->PenSize, v); }
int GUI_SetPenShape(int v) { return SwapField(GUI_pContext->PenShape, v); }
int GUI_SetLBorder(int v) { return SwapField(GUI_pContext->LBorder, v); }
int GUI_SetDrawMode(int mode) {
  GUI_LockGuard lock;
  return LCD__pSetColorAPI->pfSetDrawMode(mode);
}
int GUI_GetPenSize() { return ReadField(GUI_pContext->PenSize); }
int GUI_GetPenShape() { return ReadField(GUI_pContext->PenShape); }
int GUI_GetLineStyle() { return ReadField(GUI_pContext->LineStyle); }
int GUI_GetDrawMode() { return ReadField(GUI_pContext->DrawMode); }
int GUI_GetTextAlign() { return ReadField(GUI_pContext->TextAlign); }
int GUI_GetTextMode() { return ReadField(GUI_pContext->TextMode); }
int GUI_GetTextStyle() { return ReadField(GUI_pContext->TextStyle); }
int GUI_GetDispPosX() { return ReadField(GUI_pContext->DispPosX); }
int GUI_GetDispPosY() { return ReadField(GUI_pContext->DispPosY); }

int GUI_GotoX(int x) {
  GUI_LockGuard lock;
  GUI_pContext->DispPosX = static_cast<int16_t>(x);
  return 0;
}
int GUI_GotoY(int y) {
  GUI_LockGuard lock;
  GUI_pContext->DispPosY = static_cast<int16_t>(y);
  return 0;
}
int GUI_GotoXY(int x, int y) {
  GUI_LockGuard lock;
  GUI_pContext->DispPosX = static_cast<int16_t>(x);
  GUI_pContext->DispPosY = static_cast<int16_t>(y);
  return 0;
}

void GUI_SetOrg(int x, int y) {
  GUI_LockGuard lock;
  g_orgX = x;
  g_orgY = y;
  GUI_DEVICE* pTop = LCD__GetTopDevice();
  if (pTop) pTop->pDeviceAPI->pfSetOrg(pTop, x, y);
}
void GUI_GetOrg(int* px, int* py) {
  if (px) *px = g_orgX;
  if (py) *py = g_orgY;
}

void GUI_SetScreenSizeX(int n) { g_xSizeOverride = n; }
void GUI_SetScreenSizeY(int n) { g_ySizeOverride = n; }
int GUI_GetScreenSizeX() {
  if (g_xSizeOverride == 0) g_xSizeOverride = LCD_GetXSizeEx(GUI_pContext->SelLayer);
  return g_xSizeOverride;
}
int GUI_GetScreenSizeY() {
  if (g_ySizeOverride == 0) g_ySizeOverride = LCD_GetYSizeEx(GUI_pContext->SelLayer);
  return g_ySizeOverride;
}
void GUI_SetVirtualScreenSize(int x, int y) {
  g_vxSize = x;
  g_vySize = y;
}
int GUI_GetVirtualScreenSizeX() { return g_vxSize; }
int GUI_GetVirtualScreenSizeY() { return g_vySize; }

char GUI_SetDecChar(char c) {
  char old = g_decChar;
  g_decChar = c;
  return old;
}
char GUI_GetDecChar() { return g_decChar; }
const char* GUI_GetVersionString() { return kVersion; }

int GUI_DisplayDriverCallback(int, int cmd, void*) { return (cmd >= 1 && cmd <= 6) ? 0 : -1; }

// --- defaults ---------------------------------------------------------------------------
void GUI_SetDefaultColor(GUI_COLOR color) { g_defaultColor = color; }
void GUI_SetDefaultBkColor(GUI_COLOR color) { g_defaultBkColor = color; }
void GUI_SetDefaultFont(const GUI_FONT* pFont) { g_pDefaultFont = pFont; }
GUI_COLOR GUI_GetDefaultColor() { return g_defaultColor; }
GUI_COLOR GUI_GetDefaultBkColor() { return g_defaultBkColor; }
const GUI_FONT* GUI_GetDefaultFont() { return g_pDefaultFont; }

// --- error output -----------------------------------------------------------------------
void GUI_ErrorOut(const char* s) {
  GUI__pHooks->pfErrorOut(s);
  if (g_pfErrorHook) g_pfErrorHook(s);
}
namespace {
template <class... A>
void ErrorOutWith(void (*pfOut)(const char*), const char* s, A... a) {
  const int32_t v[] = {a...};
  ErrorOutN(pfOut, s, static_cast<int>(sizeof...(a)), v);
}
}  // namespace

void GUI_ErrorOut1(const char* s, int32_t a) { ErrorOutWith(GUI_ErrorOut, s, a); }
void GUI_ErrorOut2(const char* s, int32_t a, int32_t b) { ErrorOutWith(GUI_ErrorOut, s, a, b); }
void GUI_ErrorOut3(const char* s, int32_t a, int32_t b, int32_t c) { ErrorOutWith(GUI_ErrorOut, s, a, b, c); }
void GUI_DebugErrorOut(const char* s) { GUI__pHooks->pfLog(s); }
void GUI_DebugErrorOut1(const char* s, int32_t a) { ErrorOutWith(GUI_DebugErrorOut, s, a); }
void GUI_DebugErrorOut2(const char* s, int32_t a, int32_t b) { ErrorOutWith(GUI_DebugErrorOut, s, a, b); }
void GUI_DebugErrorOut3(const char* s, int32_t a, int32_t b, int32_t c) {
  ErrorOutWith(GUI_DebugErrorOut, s, a, b, c);
}
void GUI_DebugErrorOut4(const char* s, int32_t a, int32_t b, int32_t c, int32_t d) {
  ErrorOutWith(GUI_DebugErrorOut, s, a, b, c, d);
}
void GUI_SetErrorHook(void (*pfHook)(const char*)) { g_pfErrorHook = pfHook; }
