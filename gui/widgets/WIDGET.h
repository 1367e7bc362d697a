// Widgets of the graphics library: the widget base shared by all of them, dialogs built
// from item tables, and the FRAMEWIN, EDIT, TEXT, BUTTON, CHECKBOX, IMAGE, WINDOW,
// SCROLLBAR, LISTBOX and GRAPH widgets; GUI_ARRAY keeps lists of items in handle memory.
//
// A widget is a window whose extra bytes begin with the widget record. Every public
// function takes the GUI lock; a handle of another widget type is reported through
// GUI_ErrorOut and the call then works on nothing (result 0).
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/WM.h"
#include "gui/widgets/WM_Use.h"

// ---- Widget base -----------------------------------------------------------------------------
constexpr uint16_t WIDGET_STATE_FOCUS = 0x0001;
constexpr uint16_t WIDGET_STATE_VERTICAL = 0x0008;
constexpr uint16_t WIDGET_STATE_FOCUSABLE = 0x0010;
constexpr uint16_t WIDGET_STATE_PRESSED = 0x0100;

struct WIDGET;
// The frame drawn around a widget: its width and the routines that draw it around a
// rectangle of the window being drawn (window coordinates).
struct WIDGET_EFFECT {
  int EffectSize;
  void (*pfDrawUpRect)(const GUI_RECT* pRect);
  void (*pfDrawDownRect)(const GUI_RECT* pRect);
};
extern const WIDGET_EFFECT WIDGET_Effect_None;
extern const WIDGET_EFFECT WIDGET_Effect_Simple;  // one-pixel flat frame (the default)
extern const WIDGET_EFFECT WIDGET_Effect_3D;      // two-pixel raised or sunken frame

struct WIDGET {
  WM_Obj Win;
  const WIDGET_EFFECT* pEffect;
  int16_t Id;
  uint16_t State;
  uint32_t DebugId;  // type tag: four letters read as a big-endian number
};

void WIDGET__Init(WIDGET* pWidget, int id, uint16_t state);
void WIDGET_SetState(WM_HWIN hObj, int state);
void WIDGET_OrState(WM_HWIN hObj, int bits);
void WIDGET_AndState(WM_HWIN hObj, int bits);
int WIDGET_GetState(WM_HWIN hObj);
void WIDGET_SetFocusable(WM_HWIN hObj, int onOff);
int WIDGET_HandleActive(WM_HWIN hObj, WM_MESSAGE* pMsg);
void WIDGET_SetEffect(WM_HWIN hObj, const WIDGET_EFFECT* pEffect);
const WIDGET_EFFECT* WIDGET_SetDefaultEffect(const WIDGET_EFFECT* pEffect);
const WIDGET_EFFECT* WIDGET_GetDefaultEffect();
GUI_COLOR WIDGET_SetDefaultBkColor(GUI_COLOR color);
GUI_COLOR WIDGET__GetBkColor(WM_HWIN hObj);
void WIDGET__GetEffectInsideRect(const WIDGET* pWidget, GUI_RECT* pRect);
void WIDGET__GetInsideRect(const WIDGET* pWidget, GUI_RECT* pRect);
int WIDGET__GetXSize(const WIDGET* pWidget);
int WIDGET__GetYSize(const WIDGET* pWidget);
void WIDGET_SetWidth(WM_HWIN hObj, int width);
void WIDGET_SetScrollStates(WM_HWIN hObj, const WM_SCROLL_STATE* pStateV, const WM_SCROLL_STATE* pStateH);

// Drawing in the window being drawn; for a vertical widget the coordinates are turned by 90
// degrees (x0' = w - y1, y0' = x0, x1' = w - y0, y1' = x1 with w = window width - 1).
void WIDGET__RotateRect90(const WIDGET* pWidget, GUI_RECT* pDest, const GUI_RECT* pSrc);
void WIDGET__DrawVLine(const WIDGET* pWidget, int x, int y0, int y1);
void WIDGET__DrawHLine(const WIDGET* pWidget, int y, int x0, int x1);
void WIDGET__FillRectEx(const WIDGET* pWidget, const GUI_RECT* pRect);
void WIDGET__DrawRectEx(const WIDGET* pWidget, const GUI_RECT* pRect);
void WIDGET__DrawTriangle(const WIDGET* pWidget, int x, int y, int size, int inc);
void WIDGET__EFFECT_DrawDownRect(const WIDGET* pWidget, const GUI_RECT* pRect);
void WIDGET__EFFECT_DrawDown(const WIDGET* pWidget);
void WIDGET__EFFECT_DrawUpRect(const WIDGET* pWidget, const GUI_RECT* pRect);
void WIDGET__FillStringInRect(const char* pText, const GUI_RECT* pFillRect, const GUI_RECT* pTextRectMax,
                              const GUI_RECT* pTextRectAct);

// User bytes after the window header (plain windows) or after a widget's own record.
int WM_GetUserData(WM_HWIN hWin, void* pDest, int size);
int WM_SetUserData(WM_HWIN hWin, const void* pSrc, int size);
int WIDGET__GetUserData(WM_HWIN hObj, void* pDest, int size, int offset);
int WIDGET__SetUserData(WM_HWIN hObj, const void* pSrc, int size, int offset);

// ---- Dialogs ---------------------------------------------------------------------------------
struct WM_DIALOG_STATUS {
  int32_t Done;
  int32_t ReturnValue;
};
int GUI_ExecCreatedDialog(WM_HWIN hDialog);
int GUI_ExecDialogBox(const GUI_DIALOG_ITEM* paItem, int numItems, WM_CALLBACK* cb, WM_HWIN hParent, int x0,
                      int y0);
void GUI_EndDialog(WM_HWIN hDialog, int r);

// ---- FRAMEWIN --------------------------------------------------------------------------------
constexpr uint16_t FRAMEWIN_SF_ACTIVE = 0x0008;
constexpr uint16_t FRAMEWIN_SF_TITLEVIS = 0x0020;
constexpr int FRAMEWIN_CF_TITLEFRAME = 0x0040;  // the title visibility shows or hides the whole frame
// Hook of the frame procedure: non-zero ends the handling of the message.
struct FRAMEWIN_HOOK {
  FRAMEWIN_HOOK* pNext;
  int (*pHook)(WM_MESSAGE* pMsg);
};
WM_HWIN FRAMEWIN_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                            int id, const char* pTitle, WM_CALLBACK* cb, int numExtraBytes);
WM_HWIN FRAMEWIN_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                          int id, const char* pTitle, WM_CALLBACK* cb);
WM_HWIN FRAMEWIN_Create(const char* pTitle, WM_CALLBACK* cb, uint32_t flags, int x0, int y0, int xSize, int ySize);
WM_HWIN FRAMEWIN_CreateAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, const char* pTitle,
                               WM_CALLBACK* cb, uint32_t flags);
WM_HWIN FRAMEWIN_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
void FRAMEWIN_SetText(WM_HWIN hObj, const char* s);
void FRAMEWIN_SetActive(WM_HWIN hObj, int onOff);
int FRAMEWIN_IsActive(WM_HWIN hObj);
int FRAMEWIN_SetTitleHeight(WM_HWIN hObj, int height);
void FRAMEWIN_SetTitleVisibility(WM_HWIN hObj, int onOff);
void FRAMEWIN_AddHook(WM_HWIN hObj, FRAMEWIN_HOOK* pHook);
int FRAMEWIN_GetUserData(WM_HWIN hObj, void* pDest, int size);
int FRAMEWIN_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- EDIT ------------------------------------------------------------------------------------
constexpr int GUI_EDIT_SIGNED = 1;           // value mode: the sign is always shown
constexpr int GUI_EDIT_SUPPRESS_LEADING_ZEROES = 2;
typedef void EDIT_ADDKEYEX(WM_HWIN hObj, int key);
typedef void EDIT_UPDATE_FUNC(WM_HWIN hObj);
WM_HWIN EDIT_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                        int id, int maxLen, int numExtraBytes);
WM_HWIN EDIT_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id,
                      int maxLen);
WM_HWIN EDIT_Create(int x0, int y0, int xSize, int ySize, int id, int maxLen, uint32_t flags);
WM_HWIN EDIT_CreateAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t flags,
                           int maxLen);
WM_HWIN EDIT_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
void EDIT_SetText(WM_HWIN hObj, const char* s);
void EDIT_GetText(WM_HWIN hObj, char* pBuffer, int size);
int EDIT_GetNumChars(WM_HWIN hObj);
void EDIT_SetMaxLen(WM_HWIN hObj, int maxLen);
void EDIT_SetCursorAtChar(WM_HWIN hObj, int pos);
int EDIT_GetCursorCharPos(WM_HWIN hObj);
void EDIT_SetSel(WM_HWIN hObj, int firstChar, int lastChar);
void EDIT_SetFont(WM_HWIN hObj, const GUI_FONT* pFont);
void EDIT_SetTextAlign(WM_HWIN hObj, int align);
void EDIT_SetTextColor(WM_HWIN hObj, unsigned index, GUI_COLOR color);
void EDIT_SetBkColor(WM_HWIN hObj, unsigned index, GUI_COLOR color);
void EDIT_EnableBlink(WM_HWIN hObj, int period, int onOff);
void EDIT_AddKey(WM_HWIN hObj, int key);
void EDIT_SetValue(WM_HWIN hObj, int32_t value);
void EDIT_SetUlongValue(WM_HWIN hObj, uint32_t value);
int32_t EDIT_GetValue(WM_HWIN hObj);
void EDIT_SetDecMode(WM_HWIN hObj, int32_t value, int32_t min, int32_t max, int shift, uint8_t flags);
int EDIT_GetUserData(WM_HWIN hObj, void* pDest, int size);
int EDIT_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- TEXT ------------------------------------------------------------------------------------
WM_HWIN TEXT_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id,
                        const char* pText, int numExtraBytes);
WM_HWIN TEXT_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id,
                      const char* pText);
WM_HWIN TEXT_Create(int x0, int y0, int xSize, int ySize, int id, uint32_t flags, const char* s, int align);
WM_HWIN TEXT_CreateAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t flags,
                           const char* s, int align);
WM_HWIN TEXT_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
int TEXT_SetText(WM_HWIN hObj, const char* s);
void TEXT_SetFont(WM_HWIN hObj, const GUI_FONT* pFont);
void TEXT_SetTextColor(WM_HWIN hObj, GUI_COLOR color);
void TEXT_SetBkColor(WM_HWIN hObj, GUI_COLOR color);
void TEXT_SetTextAlign(WM_HWIN hObj, int align);
int TEXT_GetUserData(WM_HWIN hObj, void* pDest, int size);
int TEXT_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- BUTTON ----------------------------------------------------------------------------------
WM_HWIN BUTTON_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                          int id, int numExtraBytes);
WM_HWIN BUTTON_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                        int id);
WM_HWIN BUTTON_Create(int x0, int y0, int xSize, int ySize, int id, uint32_t flags);
WM_HWIN BUTTON_CreateAsChild(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t flags);
WM_HWIN BUTTON_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
int BUTTON_SetText(WM_HWIN hObj, const char* s);
void BUTTON_SetFont(WM_HWIN hObj, const GUI_FONT* pFont);
void BUTTON_SetState(WM_HWIN hObj, int state);
void BUTTON_SetPressed(WM_HWIN hObj, int onOff);
int BUTTON_IsPressed(WM_HWIN hObj);
void BUTTON_SetReactOnLevel();
void BUTTON_SetReactOnTouch();
int BUTTON_GetUserData(WM_HWIN hObj, void* pDest, int size);
int BUTTON_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- CHECKBOX --------------------------------------------------------------------------------
WM_HWIN CHECKBOX_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                            int id, int numExtraBytes);
WM_HWIN CHECKBOX_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                          int id);
WM_HWIN CHECKBOX_Create(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t flags);
WM_HWIN CHECKBOX_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
void CHECKBOX_SetState(WM_HWIN hObj, unsigned state);
int CHECKBOX_GetState(WM_HWIN hObj);
int CHECKBOX_IsChecked(WM_HWIN hObj);
void CHECKBOX_SetText(WM_HWIN hObj, const char* s);
void CHECKBOX_SetBkColor(WM_HWIN hObj, GUI_COLOR color);
struct GUI_BITMAP;
void CHECKBOX_SetDefaultImage(const GUI_BITMAP* pBitmap, unsigned index);
int CHECKBOX_GetUserData(WM_HWIN hObj, void* pDest, int size);
int CHECKBOX_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- IMAGE -----------------------------------------------------------------------------------
constexpr int IMAGE_CF_MEMDEV = 0x01;
constexpr int IMAGE_CF_TILE = 0x02;
constexpr int IMAGE_CF_ALPHA = 0x04;
constexpr int IMAGE_CF_ATTACHED = 0x08;
constexpr int IMAGE_CF_AUTOSIZE = 0x10;
WM_HWIN IMAGE_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                         int id, int numExtraBytes);
WM_HWIN IMAGE_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id);
WM_HWIN IMAGE_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
void IMAGE_SetGIF(WM_HWIN hObj, const void* pData, uint32_t fileSize);
int IMAGE_GetCurrentFrame(WM_HWIN hObj);
int IMAGE_GetUserData(WM_HWIN hObj, void* pDest, int size);
int IMAGE_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- WINDOW ----------------------------------------------------------------------------------
WM_HWIN WINDOW_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                          int id, WM_CALLBACK* cb, int numExtraBytes);
WM_HWIN WINDOW_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                        int id, WM_CALLBACK* cb);
WM_HWIN WINDOW_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
void WINDOW_SetBkColor(WM_HWIN hObj, GUI_COLOR color);
GUI_COLOR WINDOW_SetDefaultBkColor(GUI_COLOR color);
GUI_COLOR WINDOW_GetDefaultBkColor();
int WINDOW_GetUserData(WM_HWIN hObj, void* pDest, int size);
int WINDOW_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- SCROLLBAR -------------------------------------------------------------------------------
constexpr int SCROLLBAR_CF_VERTICAL = 0x0008;
constexpr int GUI_ID_HSCROLL = 255;
constexpr int GUI_ID_VSCROLL = 254;
// Layout numbers of a scrollbar, along the bar (pixels).
struct SCROLLBAR_POSITIONS {
  int x1_LeftArrow;   // last pixel of the first arrow
  int x0_Thumb, x1_Thumb;
  int x0_RightArrow;  // first pixel of the second arrow
  int x1;             // last pixel of the bar
  int xSizeMoveable;  // scroll range of the thumb
  int ThumbSize;
};
WM_HWIN SCROLLBAR_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                             int id, int numExtraBytes);
WM_HWIN SCROLLBAR_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                           int id);
WM_HWIN SCROLLBAR_Create(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, int id, uint32_t winFlags,
                         int barFlags);
WM_HWIN SCROLLBAR_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
WM_HWIN SCROLLBAR_CreateAttached(WM_HWIN hParent, int barFlags);
void SCROLLBAR_SetValue(WM_HWIN hObj, int v);
void SCROLLBAR_AddValue(WM_HWIN hObj, int add);
void SCROLLBAR_Inc(WM_HWIN hObj);
void SCROLLBAR_Dec(WM_HWIN hObj);
int SCROLLBAR_GetValue(WM_HWIN hObj);
void SCROLLBAR_SetNumItems(WM_HWIN hObj, int numItems);
void SCROLLBAR_SetPageSize(WM_HWIN hObj, int pageSize);
void SCROLLBAR_SetState(WM_HWIN hObj, const WM_SCROLL_STATE* pState);
GUI_COLOR SCROLLBAR_SetColor(WM_HWIN hObj, int index, GUI_COLOR color);
void SCROLLBAR_SetWidth(WM_HWIN hObj, int width);
int SCROLLBAR_GetDefaultWidth();
int SCROLLBAR_SetDefaultWidth(int width);
GUI_COLOR SCROLLBAR_SetDefaultColor(GUI_COLOR color, unsigned index);
void SCROLLBAR_GetPositions(WM_HWIN hObj, SCROLLBAR_POSITIONS* pPos);
// Shows (creating it when missing) or hides and deletes the horizontal or vertical scrollbar
// child of a window; 1 when the window had one before the call.
int WM_SetScrollbarH(WM_HWIN hWin, int onOff);
int WM_SetScrollbarV(WM_HWIN hWin, int onOff);
int SCROLLBAR_GetUserData(WM_HWIN hObj, void* pDest, int size);
int SCROLLBAR_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- LISTBOX ---------------------------------------------------------------------------------
// A list of text entries with one selected entry or none (-1). The selection moves with the
// up and down keys (page keys by the lines shown), the previous/next commands and the pointer,
// and is kept in view. The parent is told WM_NOTE_SEL_CHANGED on every change of the
// selection, WM_NOTE_CLICKED and WM_NOTE_RELEASED for a press and its release, and
// WM_NOTE_MOVED_OUT when the pointer leaves while pressed.
constexpr int LISTBOX_CF_AUTOSCROLLBAR_V = 0x0002;  // vertical auto-scroll from the start
// Colour indices: entries not selected, the selected one, the selected one while focused.
constexpr unsigned LISTBOX_CI_UNSEL = 0, LISTBOX_CI_SEL = 1, LISTBOX_CI_SELFOCUS = 2;
// ppText: null, or a list of entries ended by a null pointer.
WM_HWIN LISTBOX_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                           int id, const char* const* ppText, int numExtraBytes);
WM_HWIN LISTBOX_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id,
                         const char* const* ppText);
WM_HWIN LISTBOX_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
void LISTBOX_AddString(WM_HWIN hObj, const char* s);
// Inserts before entry `index` (at the end when beyond it); the selected entry stays selected.
void LISTBOX_InsertString(WM_HWIN hObj, const char* s, unsigned index);
// Replaces the text of an existing entry.
void LISTBOX_SetString(WM_HWIN hObj, const char* s, unsigned index);
void LISTBOX_DeleteItem(WM_HWIN hObj, unsigned index);
int LISTBOX_GetNumItems(WM_HWIN hObj);
// Copies the entry's text (cut to maxSize - 1 characters): 0, or 1 for no such entry.
int LISTBOX_GetItemText(WM_HWIN hObj, unsigned index, char* pBuffer, int maxSize);
// Selects an entry; -1 or an index beyond the entries selects none.
void LISTBOX_SetSel(WM_HWIN hObj, int sel);
int LISTBOX_GetSel(WM_HWIN hObj);
void LISTBOX_IncSel(WM_HWIN hObj);
void LISTBOX_DecSel(WM_HWIN hObj);
// The first entry shown.
int LISTBOX_GetScrollPos(WM_HWIN hObj);
void LISTBOX_SetFont(WM_HWIN hObj, const GUI_FONT* pFont);
const GUI_FONT* LISTBOX_GetFont(WM_HWIN hObj);
// The height of one entry's line in pixels; 0 takes the font's line distance.
void LISTBOX_SetItemSpacing(WM_HWIN hObj, int pixels);
int LISTBOX_GetItemSpacing(WM_HWIN hObj);
void LISTBOX_SetBkColor(WM_HWIN hObj, unsigned index, GUI_COLOR color);
void LISTBOX_SetTextColor(WM_HWIN hObj, unsigned index, GUI_COLOR color);
// Vertical auto-scroll: a scrollbar is shown while the entries do not fit.
void LISTBOX_SetAutoScrollV(WM_HWIN hObj, int onOff);
int LISTBOX_GetUserData(WM_HWIN hObj, void* pDest, int size);
int LISTBOX_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- GRAPH -----------------------------------------------------------------------------------
// A window in a background colour with up to four curves. A curve is a data object of at most
// 500 points; a point's value is its height in pixels above the bottom of the data area (the
// inside of the frame), one point per column from the left, the newest at the right when
// there are more points than columns; GRAPH_NO_VALUE leaves a gap. Attached curves belong to
// the graph: deleting the graph deletes them.
typedef GUI_HMEM GRAPH_DATA_Handle;
constexpr int GRAPH_MAX_CURVES = 4;
constexpr int GRAPH_MAX_POINTS = 500;
constexpr int16_t GRAPH_NO_VALUE = -32768;
// The owner's paint hook: stage GRAPH_DRAW_FIRST after the background, GRAPH_DRAW_LAST after
// the curves and the frame; it draws in the graph window's coordinates.
enum : int { GRAPH_DRAW_FIRST = 0, GRAPH_DRAW_LAST = 1 };
typedef void GRAPH_USER_DRAW(WM_HWIN hObj, int stage);
WM_HWIN GRAPH_CreateUser(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags,
                         int id, int numExtraBytes);
WM_HWIN GRAPH_CreateEx(int x0, int y0, int xSize, int ySize, WM_HWIN hParent, uint32_t winFlags, int exFlags, int id);
WM_HWIN GRAPH_CreateIndirect(const GUI_DIALOG_ITEM* pItem, WM_HWIN hParent, int x0, int y0, WM_CALLBACK* cb);
void GRAPH_SetBkColor(WM_HWIN hObj, GUI_COLOR color);
void GRAPH_SetUserDraw(WM_HWIN hObj, GRAPH_USER_DRAW* pfUserDraw);
// The data area in window coordinates (its height scales the points).
void GRAPH_GetDataRect(WM_HWIN hObj, GUI_RECT* pRect);
// 0 attached; 1 when four curves are attached already or the curve belongs to a graph.
int GRAPH_AttachData(WM_HWIN hObj, GRAPH_DATA_Handle hData);
void GRAPH_DetachData(WM_HWIN hObj, GRAPH_DATA_Handle hData);
// A curve of up to maxNumItems (1..500) points in a colour, filled with numItems points of
// pData (the last ones when there are more); 0 for another size or without memory.
GRAPH_DATA_Handle GRAPH_DATA_YT_Create(GUI_COLOR color, int maxNumItems, const int16_t* pData, int numItems);
void GRAPH_DATA_YT_Delete(GRAPH_DATA_Handle hData);
// Appends a point; a full curve drops its oldest one.
void GRAPH_DATA_YT_AddValue(GRAPH_DATA_Handle hData, int16_t v);
// Replaces all points (the last maxNumItems of them when there are more).
void GRAPH_DATA_YT_SetValues(GRAPH_DATA_Handle hData, const int16_t* pValues, int numItems);
void GRAPH_DATA_YT_Clear(GRAPH_DATA_Handle hData);
void GRAPH_DATA_YT_SetColor(GRAPH_DATA_Handle hData, GUI_COLOR color);
int GRAPH_DATA_YT_GetNumItems(GRAPH_DATA_Handle hData);
int GRAPH_GetUserData(WM_HWIN hObj, void* pDest, int size);
int GRAPH_SetUserData(WM_HWIN hObj, const void* pSrc, int size);

// ---- GUI_ARRAY -------------------------------------------------------------------------------
typedef GUI_HMEM GUI_ARRAY;
GUI_ARRAY GUI_ARRAY_Create();
int GUI_ARRAY_GetNumItems(GUI_ARRAY hArray);
int GUI_ARRAY_AddItem(GUI_ARRAY hArray, const void* pData, int size);
GUI_HMEM GUI_ARRAY_SetItem(GUI_ARRAY hArray, unsigned index, const void* pData, int size);
GUI_HMEM GUI_ARRAY_GethItem(GUI_ARRAY hArray, unsigned index);
void* GUI_ARRAY_GetpItem(GUI_ARRAY hArray, unsigned index);
bool GUI_ARRAY_InsertBlankItem(GUI_ARRAY hArray, unsigned index);
GUI_HMEM GUI_ARRAY_InsertItem(GUI_ARRAY hArray, unsigned index, int size);
void GUI_ARRAY_DeleteItem(GUI_ARRAY hArray, unsigned index);
void* GUI_ARRAY_ResizeItem(GUI_ARRAY hArray, unsigned index, int size);
void GUI_ARRAY_Delete(GUI_ARRAY hArray);
