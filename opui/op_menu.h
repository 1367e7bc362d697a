// The device's menus: the menu record and header they are built of, the menu state with its
// navigation stack, the constant menu tree (main menu, device settings, info, status and
// service menus), the handlers that build the run-time menus or carry out an item, and the
// touch list that shows the current menu on the display.
//
// A menu is a header and the items it names. The value lists of the runtime are menus of
// the same records (FbListHeader, FbListRow), so the menu page shows constant menus,
// run-time menus and value lists alike. An item is one of:
//   - a handler (OP_MENU_HANDLER): pageProc is called when the item is entered;
//   - a value item (OP_MENU_VALUE): entry is the edit descriptor of its value;
//   - a sub-menu (no kind flag): submenu is the menu it opens; without one the item is inert.
// The walk of a menu stops at the first item with OP_MENU_LAST and never reads beyond the
// header's capacity.
#pragma once

#include <cstdint>

#include "opui/op_display.h"
#include "runtime/fb_values.h"

using OpMenuItem = FbListRow;
using OpMenuHeader = FbListHeader;
using OpMenuHandler = int (*)();

// Item flags.
enum : uint16_t {
  OP_MENU_HEADER = FB_LIST_HEADER_FLAGS,  // 0x1000
  OP_MENU_HANDLER = FB_ROW_PAGE,          // 0x0100
  OP_MENU_BLOCK = 0x0004,                 // a block of a block list (with OP_MENU_HANDLER)
  OP_MENU_VALUE = FB_ROW_LINE,            // 0x0200
  OP_MENU_LAST = FB_ROW_LAST,             // 0x0800
};

// Page ids of the menus.
enum : uint16_t {
  OP_PAGE_DATE_TIME = 270,
  OP_PAGE_DEVICE_DATA = 271,
  OP_PAGE_ONLINE = 272,
  OP_PAGE_CALIBRATION_BLOCK = 273,
  OP_PAGE_OPERATING = 2050,
  OP_PAGE_DEVICE_SETTINGS = 2311,
  OP_PAGE_CALIBRATION = 2312,
  OP_PAGE_INFO = 2322,
  OP_PAGE_INFO2 = 2323,
  OP_PAGE_PROFIBUS = 2325,
  OP_PAGE_STATUS_IO = 2326,
  OP_PAGE_STATUS_CAN = 2327,
  OP_PAGE_PROFINET = 2328,
  OP_PAGE_CAN_RESET_LIST = 2330,
  OP_PAGE_CAN_RESET = 2331,
  OP_PAGE_LOGO = 2338,
  OP_PAGE_SD = 2339,
  OP_PAGE_USB = 2340,
  OP_PAGE_PROGRESS = 2346,
  OP_PAGE_CONFIGURATION = 3333,
  OP_PAGE_PARAMETER = 3843,
  OP_PAGE_SIGNALS = 3844,
};

// --- Menu state ---------------------------------------------------------------------------

constexpr int OP_MENU_DEPTH = 10;

struct OpMenuLevel {
  const OpMenuItem* cursor;
  const OpMenuHeader* header;
  const OpMenuItem* last;
  uint16_t index;
};

struct OpMenuState {
  const OpMenuHeader* header;   // the current menu
  const OpMenuItem* cursor;     // the item under the cursor
  const OpMenuItem* last;       // the menu's last item
  uint16_t index;               // the cursor's index (0 = the first item)
  uint16_t pageId;              // the header's id
  uint16_t cursorMoved;         // set when the cursor or the menu changes
  uint16_t buildStep;           // the menu page's build step; 0 when a menu is shown
  OpMenuLevel stack[OP_MENU_DEPTH];
  uint8_t depth;
  uint8_t fromPage20;           // the last push was made on the page with id 20
};
extern OpMenuState g_opMenu;

// Makes the menu current: the cursor on its first item (on its last item for the pages 2322
// and 2325, and for 2305 while there is no engineering), the last item found. The cursor;
// null (nothing changed) for a menu without items.
const OpMenuItem* OP_MenuShow(const OpMenuHeader* header);
// Saves the current menu as one level of the way back: 1, or 0 at depth 10 (not saved).
int OP_MenuPush();
// Goes back one level: 1, or 0 at depth 0 (nothing changes).
int OP_MenuPop();
// The item of the current menu at an index (clamped to the menu), null without a menu.
const OpMenuItem* OP_MenuItemAt(int index);
// Number of items of the current menu.
int OP_MenuItemCount();
// Forgets every menu: no menu, depth 0 (start-up and tests).
void OP_MenuResetState();

// --- The constant tree --------------------------------------------------------------------

extern const OpMenuHeader g_opMainMenu;            // 2305 "Hauptmenü"
extern const OpMenuHeader g_opDeviceSettingsMenu;  // 2311, filtered by OP_MenuDeviceSettings
extern const OpMenuHeader g_opSettingsMenu;        // 2305 "Einstellungen" without engineering
extern const OpMenuHeader g_opOnlineMenu;          // 272 "Online/Offline"
extern const OpMenuHeader g_opInfoMenu;            // 2322 "Info"
extern const OpMenuHeader g_opInfo2Menu;           // 2323 "Info", second part
extern const OpMenuHeader g_opProfibusMenu;        // 2325 "Status PROFIBUS"
extern const OpMenuHeader g_opCanResetMenu;        // 2331 "CAN Node Reset" confirmation
// The paging records of the list pages.
extern const OpMenuItem g_opMenuPrevPageItem;      // "[ previous page ]", OP_MenuPrevPage
extern const OpMenuItem g_opMenuNextPageItem;      // "[ next page ]", OP_MenuNextPage

// --- Handlers (no arguments; they read the cursor item) ------------------------------------

int OP_MenuOpenList();
int OP_MenuDeviceSettings();
int OP_MenuStatusIo();
int OP_MenuStatusCan();
int OP_MenuStatusProfinet();
int OP_MenuLogo();
int OP_MenuSd();
int OP_MenuUsb();
int OP_MenuConfirm();
int OP_MenuOnlineOffline();
int OP_MenuDateTime();
int OP_MenuDeviceData();
int OP_MenuPrevPage();
int OP_MenuNextPage();

// Builds the filtered device-settings menu (page 2311) without showing it.
const OpMenuHeader* OP_BuildDeviceSettingsMenu();

// Posts the end of the offline state (system datum 500 := 0) and returns to the main page.
int OP_RequestOffline();
// True for the pages whose touch list shows no selected item: 20, 270, 1803, 2325..2328,
// 2332..2336 and 2346 (the page id of the page manager).
bool OP_IsDisplayOnlyPage();

// --- List pages -----------------------------------------------------------------------------

// The pages of the list last built (each a menu): the list builder fills them; the paging
// handlers step through them.
constexpr int OP_LIST_PAGES = 48;
struct OpListPages {
  const OpMenuHeader* pages[OP_LIST_PAGES];
  uint16_t count;
  uint16_t index;    // the page shown
};
extern OpListPages g_opListPages;

// --- Service requests -----------------------------------------------------------------------

// The requests the confirmed service items make; each state byte is 1 while the request is
// to be served, 0 idle; the logo deletions end in 2 (done).
enum : uint8_t {
  OP_REQ_SD_EJECT, OP_REQ_USB_EJECT, OP_REQ_SD_SAVE, OP_REQ_USB_SAVE, OP_REQ_SD_FORMAT,
  OP_REQ_USB_FORMAT, OP_REQ_SD_LOAD, OP_REQ_USB_LOAD, OP_REQ_LOAD_START_LOGO,
  OP_REQ_LOAD_CUSTOM_LOGO, OP_REQ_DELETE_START_LOGO, OP_REQ_DELETE_CUSTOM_LOGO, OP_REQ_COUNT,
};
constexpr uint8_t OP_REQ_DONE = 2;
struct OpServiceRequests {
  uint8_t state[OP_REQ_COUNT];
  uint16_t loadFile;   // the file number of a load request
};
extern OpServiceRequests g_opServiceRequests;

// The logo deletions that follow a confirmed "Lösche Aufst.Logo" or "Lösche Kundenlogo":
// the start logo's picture-flag nibble (queued for the EEPROM) or the custom logo's, the
// user-picture flag, the stored picture and the deletion state (done).
void OP_DeleteStartLogo();
void OP_DeleteCustomLogo();

// --- Touch list -----------------------------------------------------------------------------

constexpr int OP_TOUCH_LIST_ID = 2050;       // its listbox
constexpr int OP_TOUCH_LIST_SPACING = 20;    // pixels per entry
// Opens the touch list dialog (FW_OpenTouchDialog, declared with the display) over the
// menu's item rows; its listbox, 0 when the list is not open.
WM_HWIN OP_TouchListBox();
// Window procedure of the touch list.
void OP_TouchListProc(WM_MESSAGE* msg);
// Moves the menu cursor to the entry and counts it as a press of the enter key.
void OP_TouchListSelect(int index);
// Clears the touch list's selection, or selects the cursor item (none while a touch window
// is open or on a display-only page).
void OP_ListSelectNone();
void OP_ListSelectCurrent();
// Writes the rows of the current menu into the touch list through the row builder: `rows`
// rows from `index` on (0: all the rest); entries beyond the list's end are appended, and
// a fill to the menu's end removes the entries behind it.
void OP_FillTouchList(int index, int rows = 0);

// --- What the default, list and info pages provide -----------------------------------------
// (opened by the handlers above; run as pending page actions where they build a screen)

int OP_BuildBlockList();          // the list of the kind of the cursor item's id
int OP_BuildDeviceDataList();     // the device data of block 0
int OP_BuildSlotPage();           // the status page of the cursor item's slot
int OP_ShowCanResetList();        // the nodes that can be reset
int OP_ShowSdEngineering();       // the engineering menu of the SD card
int OP_ShowUsbLogo();             // the logo files of the USB stick
int OP_ShowUsbUpdate();           // the update of the USB stick
int OP_ShowOperatingPages();      // the first operating page
void OP_RotateTitleText();        // the rotating title of the pages 20, 2050 and block pages
// The row of the item at `row` of the current menu (0 = the first item), at most 26
// characters in a buffer that stays valid until the next call.
const char* OP_BuildListRow(int row);

// The title of the page shown: the title row the title rotation writes and the page's own
// title it restores.
struct OpPageTitle {
  OpTextRow* row;
  char text[OP_ROW_CHARS + 1];
};
extern OpPageTitle g_opPageTitle;
// Writes a title (at most 26 characters) into a row and into the page title.
void OP_SetPageTitle(OpTextRow* row, const char* text);
