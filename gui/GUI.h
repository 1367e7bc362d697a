// Public interface of the graphics library (without the window manager, see gui/WM.h).
//
// Colours are 32-bit 0x00BBGGRR values (red in the low byte); pixels are stored as colour
// indices of the display's format (16-bit 5-6-5, red in the high bits). Every public
// function takes the recursive GUI lock for its whole body; names that begin with an
// underscore or hold a double underscore expect the caller to hold it. Functions return 0
// for success and 1 (or a null handle) for failure and never throw.
//
// The library is plain C++: it reaches the lock, the time, delays, error output and the
// LCD memory only through the platform hooks declared at the end of this header and in
// gui/LCD.h.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------------------
// Basic types.
typedef uint32_t GUI_COLOR;
typedef int32_t GUI_HMEM;          // handle of the GUI heap; 0 = none
typedef GUI_HMEM GUI_MEMDEV_Handle;

struct GUI_RECT {
  int16_t x0, y0, x1, y1;          // inclusive
};

constexpr GUI_COLOR GUI_INVALID_COLOR = 0xFF345678u;  // marks a cached colour as invalid

// ---------------------------------------------------------------------------------------
// The fixed configuration of the device.
constexpr uint32_t GUI_HEAP_BYTES = 0x600000;   // 6 MiB
constexpr uint32_t GUI_AVG_BLOCK_SIZE = 128;
constexpr int GUI_MAX_TASKS = 5;
constexpr int GUI_NUM_LAYERS = 16;
constexpr int LCD_XSIZE = 320;
constexpr int LCD_YSIZE = 240;

// Draw modes (context field; bit values).
enum : uint8_t {
  GUI_DRAWMODE_NORMAL = 0,
  GUI_DRAWMODE_XOR = 1,
  GUI_DRAWMODE_TRANS = 2,
  GUI_DRAWMODE_REV = 4,
};
// Text modes.
enum : int16_t {
  GUI_TEXTMODE_NORMAL = 0,
  GUI_TEXTMODE_TRANS = 2,
};

// ---------------------------------------------------------------------------------------
// Fonts. The record is read by text output; each font type supplies its operations.
struct GUI_FONT;
struct GUI_FONTINFO {
  uint16_t Flags;                  // 1 proportional, 2 fixed-width
  uint8_t Baseline, LHeight, CHeight;
};
struct GUI_FONT_LINE_API {
  void (*pfDispLine)(const char* s, int n);
  int (*pfGetLineDistX)(const char* s, int n);
};
typedef void GUI_DISPCHAR(uint16_t c);
typedef int GUI_GETCHARDISTX(uint16_t c, int* pSizeX);
typedef void GUI_GETFONTINFO(const GUI_FONT* pFont, GUI_FONTINFO* pInfo);
typedef char GUI_ISINFONT(const GUI_FONT* pFont, uint16_t c);
typedef int GUI_GETCHARINFO(uint16_t c, void* pInfo);

struct GUI_FONT {
  GUI_DISPCHAR* pfDispChar;
  GUI_GETCHARDISTX* pfGetCharDistX;
  GUI_GETFONTINFO* pfGetFontInfo;
  GUI_ISINFONT* pfIsInFont;
  GUI_GETCHARINFO* pfGetCharInfo;  // may be null
  const GUI_FONT_LINE_API* pLineAPI;  // null = character by character
  uint8_t YSize;                   // height
  uint8_t YDist;                   // line distance
  uint8_t XMag;
  uint8_t YMag;
  const void* pData;               // glyph data of the font type
  uint8_t Baseline;
  uint8_t LHeight;                 // lower-case height
  uint8_t CHeight;                 // capital height
};

// The 8-pixel fixed-width default font.
extern const GUI_FONT GUI_Font8_1;

// ---------------------------------------------------------------------------------------
// Start, stop and the drawing context.
void GUI__InitOnce();
int GUI_Init();
void GUI_Exit();
int GUI_IsInitialized();

struct GUI_REGISTER_HOOK {         // node of the after-init hook list
  GUI_REGISTER_HOOK* pNext;
  void (*pHook)();
};
struct GUI_REGISTER_EXIT {         // node of the exit hook list
  GUI_REGISTER_EXIT* pNext;
  void (*pfVoid)();
};
void GUI_RegisterAfterInitHook(GUI_REGISTER_HOOK* pNode);
void GUI__AddExitHook(GUI_REGISTER_EXIT* pNode);

struct GUI_CONTEXT;                // see gui/GUI_Private.h
void GUI_SaveContext(GUI_CONTEXT* pContext);
void GUI_RestoreContext(const GUI_CONTEXT* pContext);
void GUI_SetDefault();

void GUI_SetColor(GUI_COLOR color);
void GUI_SetBkColor(GUI_COLOR color);
void GUI_SetColorIndex(uint32_t index);
void GUI_SetBkColorIndex(uint32_t index);
GUI_COLOR GUI_GetColor();
GUI_COLOR GUI_GetBkColor();
uint32_t GUI_GetColorIndex();
uint32_t GUI_GetBkColorIndex();

const GUI_FONT* GUI_SetFont(const GUI_FONT* pFont);
const GUI_FONT* GUI_GetFont();

int GUI_SetTextAlign(int align);
int GUI_SetTextMode(int mode);
int GUI_SetTextStyle(int style);
int GUI_SetLineStyle(int style);
int GUI_SetPenSize(int size);
int GUI_SetPenShape(int shape);
int GUI_SetLBorder(int x);
int GUI_SetDrawMode(int mode);
int GUI_GetPenSize();
int GUI_GetPenShape();
int GUI_GetLineStyle();
int GUI_GetDrawMode();
int GUI_GetTextAlign();
int GUI_GetTextMode();
int GUI_GetTextStyle();
int GUI_GetDispPosX();
int GUI_GetDispPosY();
int GUI_GotoX(int x);
int GUI_GotoY(int y);
int GUI_GotoXY(int x, int y);

void GUI_SetOrg(int x, int y);
void GUI_GetOrg(int* px, int* py);
void GUI_SetScreenSizeX(int n);
void GUI_SetScreenSizeY(int n);
int GUI_GetScreenSizeX();
int GUI_GetScreenSizeY();
void GUI_SetVirtualScreenSize(int x, int y);
int GUI_GetVirtualScreenSizeX();
int GUI_GetVirtualScreenSizeY();
char GUI_SetDecChar(char c);
char GUI_GetDecChar();
const char* GUI_GetVersionString();

// Display-driver command callback of the configuration: 0 for commands 1..6, else -1.
int GUI_DisplayDriverCallback(int layer, int cmd, void* pData);

// ---------------------------------------------------------------------------------------
// Error output. Texts name the module, then after a line break the fault and the function.
void GUI_ErrorOut(const char* s);
void GUI_ErrorOut1(const char* s, int32_t a);
void GUI_ErrorOut2(const char* s, int32_t a, int32_t b);
void GUI_ErrorOut3(const char* s, int32_t a, int32_t b, int32_t c);
void GUI_DebugErrorOut(const char* s);
void GUI_DebugErrorOut1(const char* s, int32_t a);
void GUI_DebugErrorOut2(const char* s, int32_t a, int32_t b);
void GUI_DebugErrorOut3(const char* s, int32_t a, int32_t b, int32_t c);
void GUI_DebugErrorOut4(const char* s, int32_t a, int32_t b, int32_t c, int32_t d);
void GUI_SetErrorHook(void (*pfHook)(const char* s));

// Hooks the application may set; each is called only when set.
void GUI_SetMemsetHook(void* (*pfMemset)(void* p, int c, size_t n));
void GUI_SetMemcpyHook(void* (*pfMemcpy)(void* d, const void* s, size_t n));
void GUI_SetSignalEventHook(void (*pfSignal)());
void GUI_SetWaitEventHook(void (*pfWait)());
void GUI_SetWaitEventTimedHook(void (*pfWaitTimed)(int ms));

// ---------------------------------------------------------------------------------------
// GUI lock and task contexts.
int GUI_Lock();
void GUI_Unlock();
void GUITASK_SetMaxTaskCount(int n);
int GUITASK_GetMaxTaskCount();
void GUITASK_Init();
void GUITASK_CopyContext();
GUI_CONTEXT* GUITASK_GetpContext(int n);
int GUITASK_GetEntranceCnt();      // nesting depth of the lock (for diagnostics and tests)
int32_t GUI_Delay(int ms);
void GUI_X_Delay(int ms);
void GUI_WaitEvent();
int GUI_SignalEvent();
void GUI_SetDelayStep(int ms);
int GUI_GetDelayStep();
int32_t GUI_GetTime();

// ---------------------------------------------------------------------------------------
// Memory allocator with handles.
struct GUI_ALLOC_INFO {
  uint32_t TotalBytes, AllocatedBytes, FreeBytes, HeapEnd, FixedBytes, MaxUsedBytes;
};
void GUI_ALLOC_AssignMemory(void* p, uint32_t numBytes);
void GUI_ALLOC_SetAvBlockSize(uint32_t blockSize);
int GUI_ALLOC_SetMaxPercentage(int p);
int GUI_ALLOC_FreezePeak(int on);

GUI_HMEM GUI_ALLOC_AllocNoInit(int32_t size);
GUI_HMEM GUI_ALLOC_AllocZero(int32_t size);
GUI_HMEM GUI_ALLOC_AllocInit(const void* pInitData, int32_t size);
GUI_HMEM GUI_ALLOC_Realloc(GUI_HMEM hOld, int32_t newSize);
void GUI_ALLOC_Free(GUI_HMEM h);
void GUI_ALLOC_FreePtr(GUI_HMEM* ph);
void GUI_ALLOC_FreePtrArray(GUI_HMEM* pArray, int n);
void* GUI_ALLOC_h2p(GUI_HMEM h);
void* GUI_ALLOC_LockH(GUI_HMEM h);
void GUI_ALLOC_UnlockH(void** pp);
template <class T>
inline void GUI_ALLOC_UnlockH(T** pp) {
  void* p = *pp;
  GUI_ALLOC_UnlockH(&p);
  *pp = static_cast<T*>(p);
}
int32_t GUI_ALLOC_GetSize(GUI_HMEM h);
void* GUI_ALLOC_GetFixedBlock(uint32_t size);
void GUI_ALLOC_FreeFixedBlock(void* p);

uint32_t GUI_ALLOC_GetNumFreeBytes();
uint32_t GUI_ALLOC_GetNumUsedBytes();
int32_t GUI_ALLOC_GetNumFreeBlocks();
int32_t GUI_ALLOC_GetNumUsedBlocks();
uint32_t GUI_ALLOC_GetMaxUsedBytes();
void GUI_ALLOC_GetMemInfo(GUI_ALLOC_INFO* pInfo);
uint32_t GUI_ALLOC_GetMaxSize();
int32_t GUI_ALLOC_GetNumLockedHandles();
int32_t GUI_ALLOC_GetNumHandles();

// ---------------------------------------------------------------------------------------
// Colour helpers for the selected layer.
uint32_t GUI_Color2Index(GUI_COLOR color);
GUI_COLOR GUI_Index2Color(uint32_t index);
GUI_COLOR GUI_GetColorNearest(GUI_COLOR color);
int GUI_ColorIsAvailable(GUI_COLOR color);
uint32_t GUI_CalcColorDist(GUI_COLOR a, GUI_COLOR b);
uint32_t GUI_CalcVisColorError(GUI_COLOR color);

// ---------------------------------------------------------------------------------------
// Window-level clearing and pixel reading (window coordinates).
void GUI_Clear();
void GUI_ClearRect(int x0, int y0, int x1, int y1);
void GUI_ClearRectEx(const GUI_RECT* pRect);
void GUI_InvertRect(int x0, int y0, int x1, int y1);
uint32_t GUI_GetPixelIndex(int x, int y);

// Layers.
int GUI_SelectLayer(int layer);
int GUI_GetSelLayer();
int GUI_GetLayerPosEx(int layer, int* px, int* py);
int GUI_SetLayerPosEx(int layer, int x, int y);
int GUI_SetLayerSizeEx(int layer, int x, int y);
int GUI_SetLayerBufferEx(int layer, int value);
int GUI_SetLayerVRAMEx(int layer, int value);
void GUI_SetLayerValueEx(int layer, int value);
int GUI_GetLayerValueEx(int layer);
int GUI_SetMaxPalEntries(int n);

// Library defaults.
void GUI_SetDefaultColor(GUI_COLOR color);
void GUI_SetDefaultBkColor(GUI_COLOR color);
void GUI_SetDefaultFont(const GUI_FONT* pFont);
GUI_COLOR GUI_GetDefaultColor();
GUI_COLOR GUI_GetDefaultBkColor();
const GUI_FONT* GUI_GetDefaultFont();

// ---------------------------------------------------------------------------------------
// Drawing services that the firmware uses; their modules are built with text output,
// lines, memory devices, alpha colours and the picture decoders.
void GUI_DispStringAt(const char* s, int x, int y);
void GUI_DrawHLine(int y, int x0, int x1);
unsigned GUI_EnableAlpha(unsigned onOff);

int GUI_BMP_GetXSize(const void* pFile);
int GUI_BMP_GetYSize(const void* pFile);
int GUI_BMP_Draw(const void* pFile, int x0, int y0);
// The same for a file of numBytes bytes: nothing outside them is read.
int GUI_BMP_DrawSized(const void* pFile, uint32_t numBytes, int x0, int y0);

struct GUI_GIF_INFO {
  int32_t xSize, ySize, NumImages;
};
int GUI_GIF_GetInfo(const void* pGIF, uint32_t numBytes, GUI_GIF_INFO* pInfo);
int GUI_GIF_Draw(const void* pGIF, uint32_t numBytes, int x0, int y0);

int GUI_JPEG_Draw(const void* pFileData, int numBytes, int x0, int y0);

GUI_MEMDEV_Handle GUI_MEMDEV_Create(int x0, int y0, int xSize, int ySize);
void GUI_MEMDEV_Delete(GUI_MEMDEV_Handle hMem);
GUI_MEMDEV_Handle GUI_MEMDEV_Select(GUI_MEMDEV_Handle hMem);
void GUI_MEMDEV_CopyToLCD(GUI_MEMDEV_Handle hMem);
void GUI_MEMDEV_Write(GUI_MEMDEV_Handle hMem);

// ---------------------------------------------------------------------------------------
// Platform hooks. The simulation layer installs them; until then the lock is a no-op, the
// time is 0, delays return at once and error texts go only to the error hook.
struct GUI_PLATFORM_HOOKS {
  void (*pfInitOS)();              // create the platform lock
  void (*pfLock)();
  void (*pfUnlock)();
  uint32_t (*pfGetTaskId)();       // non-zero id of the calling thread
  int32_t (*pfGetTime)();          // milliseconds
  void (*pfDelay)(int ms);
  void (*pfExecIdle)();
  void (*pfErrorOut)(const char* s);
  void (*pfLog)(const char* s);    // debug error output
  void (*pfInit)();                // init hook, called by GUI_Init
};
void GUI_SetPlatformHooks(const GUI_PLATFORM_HOOKS* pHooks);  // null = the defaults
