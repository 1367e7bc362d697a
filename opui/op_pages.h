// The default page and the pages it shows: the menu page procedure that draws the current
// menu as the type-7 text screen and its touch list and operates it (op_menupage.cpp), the
// list pages built at run time: block lists, value lists, service lists (op_lists.cpp), and
// the row builder with the info and status pages (op_info.cpp).
//
// The menu page keeps a window of the menu's items in the text rows: text row r shows the
// item rowTop + r, and the cursor's row stays among the visible rows. The touch list holds
// every item, entry i being item i, and the cursor index is the item's index.
#pragma once

#include <cstddef>
#include <cstdint>

#include "opui/op_menu.h"
#include "opui/op_services.h"
#include "runtime/fb_store.h"

// --- The menu page --------------------------------------------------------------------------

constexpr uint16_t OP_REBUILD_DELAY = 50;     // cycles between two rebuilds of a page
constexpr uint16_t OP_PARK_IDLE = 600;        // cycles without a key that park the cursor
constexpr uint16_t OP_AUTO_PAGES_CYCLE = 40;  // the main menu turns to the operating pages
constexpr uint16_t OP_CLOCK_START_CYCLE = 20; // the date and time menu after start
constexpr int OP_FILL_ROWS = 10;              // touch-list rows filled per cycle
constexpr uint16_t OP_NO_ROW = 0xFFFF;

// Build steps: 0 the title, 1 the touch list, 2..9 its rows, 10 the title with the state
// suffix, 11..20 the refresh.
enum : uint16_t { OP_STEP_TITLE = 0, OP_STEP_LIST = 1, OP_STEP_FILL = 2, OP_STEP_FILL_LAST = 9,
                  OP_STEP_SUFFIX = 10, OP_STEP_REFRESH_LAST = 20 };

struct OpMenuPageState {
  uint16_t itemCount;          // index of the last item
  uint16_t fillNext;           // the next row to go into the touch list
  uint16_t rowTop;             // the item of text row 0
  uint16_t highlighted;        // the item whose row is highlighted (OP_NO_ROW: none)
  uint8_t listFilled;
  uint8_t parked;              // no item is highlighted, the touch list shows no selection
  uint8_t editing;             // the value editor runs for the cursor row
  uint8_t listDisabled;        // the touch list is disabled while an overlay is open
  uint8_t refill;              // the touch list is to be filled again from the cursor
  uint16_t rebuildPage;        // a status page to build anew (2333 or 2336), 0 none
  // Watched firmware state.
  uint16_t lastOperatingState;
  uint8_t lastUsb;
  uint8_t lastNoEngineering;
  uint8_t rebuildNeeded;
  uint16_t rebuildCountdown;   // counts up to OP_REBUILD_DELAY
  uint8_t clockChanged;        // the clock was written on the date and time menu
  // What the cursor item publishes for the value editor.
  uint16_t publishedId;
  uint16_t publishedField;
};
extern OpMenuPageState g_opMenuPage;

// Puts a row's text into its text row when the item lies in the window (the row being
// edited keeps the editor's text); the row builder calls it for every row it builds.
void OP_MenuRowBuilt(int row, const char* text);
// Marks the cursor's row highlighted (none while parked) and every other row normal,
// moving the window of text rows so that the cursor's row is visible.
void OP_MenuShowCursor();
// Resets the menu page's own state (UI reset, tests).
void OP_MenuPageReset();
// The state suffix of a title: "wait!" while the operating state differs from the run mode,
// five blanks online, "(off)" otherwise.
const char* OP_StateSuffix();

// --- List pages -------------------------------------------------------------------------------

constexpr int OP_LIST_PAGE_RECORDS = 51;      // header and items of one list page
constexpr int OP_LIST_FIRST_ITEMS = 49;       // blocks on the first page
constexpr int OP_LIST_MORE_ITEMS = 48;        // blocks on every further page
constexpr uint16_t OP_TYPE_CALIBRATION_INPUT = 19;
constexpr uint16_t OP_TYPE_USER_PAGE = 180;

// One entry of the operating-pages list's change detector: a listed or hidden block's page
// record and the first byte it had when the list was built.
struct OpChangeEntry {
  const uint8_t* record;
  uint8_t first;
  uint16_t block;
};

struct OpListState {
  uint16_t currentPage;        // the page that holds the current block
  uint16_t itemsListed;
  OpChangeEntry detector[FB_LIST_SIZE + 1];   // ended by a null record
  uint16_t detectorCount;
  uint16_t detectorRead;
  // The rotating title.
  uint16_t rotateCounter;      // wraps at 50
  uint8_t rotateIndex;         // 0 the page title, 1..12 a text of block 97
};
extern OpListState g_opListState;

// The information page record of block 97 (the INFO block), which the rotating title
// reads: the page-record header, a byte, a shown byte for each of the twelve texts and
// the twelve texts.
constexpr uint16_t OP_INFO_BLOCK = 97;
constexpr uint16_t OP_TYPE_INFO = 124;
constexpr int OP_INFO_TEXTS = 12;
struct OpInfoPageRecord {
  OpBlockPageData header;
  uint8_t spare;
  uint8_t shown[OP_INFO_TEXTS];
  char texts[OP_INFO_TEXTS][FB_TEXT_LEN];
};

// Fills one block item of a list for a block (the item handler given): false when the block
// does not exist or its operating page is switched off.
bool OP_MakeListRecord(uint16_t block, OpMenuItem* record, OpMenuHandler handler = nullptr);
// The item handlers of the block lists (they read the cursor item).
int OP_OpenListedBlock();
int OP_OpenCalibrationBlock();
int OP_OpenParamList();
int OP_OpenSignalList();
int OP_OpenConfigList();
// The value-list builders, run as pending page actions.
int OP_BuildParamList();
int OP_BuildSignalList();
int OP_BuildConfigList();
int OP_BuildVparaList();
// The settings menu shown as the main menu without an engineering.
const OpMenuHeader* OP_BuildSettingsMenu();
// The main menu of the moment: the settings menu without an engineering, else the constant one.
const OpMenuHeader* OP_MainMenu();
int OP_ShowSdFileList();
// The UI reset: the main menu, and the remembered condition, title rotation and return
// block forgotten.
void OP_MenuReset();

// --- Info pages -------------------------------------------------------------------------------

// Page ids of the info and status pages.
enum : uint16_t {
  OP_PAGE_PARAM_LIST = 778,
  OP_PAGE_SIGNAL_LIST = 1803,
  OP_PAGE_CONFIG_LIST = 1804,
  OP_PAGE_ETHERNET = 2332,
  OP_PAGE_SLOT = 2333,
  OP_PAGE_MODULE = 2334,
  OP_PAGE_TEMPERATURE = 2335,
  OP_PAGE_CHANNEL = 2336,
  OP_PAGE_CHANNEL_INFO = 2337,
  OP_PAGE_SD_ENGINEERING = 2341,
  OP_PAGE_USB_LOGO = 2342,
  OP_PAGE_USB_UPDATE = 2343,
  OP_PAGE_SD_FILES = 2345,
};
constexpr uint16_t OP_CHAR_MARK = 160;          // the marker of a row with a page behind it
constexpr uint16_t OP_CHANNEL_CODE_2DI_4DI = 22;
constexpr uint32_t OP_IMG_ADDRESS_MODE = 59;    // DHCP on (non-zero) or off

// The rows a row builder writes: at most 26 characters and the NUL.
using OpRowText = char[OP_ROW_CHARS];

// The text of a module code (20 codes; "unbekannt" for any other).
const char* OP_ModuleTypeText(uint16_t code);
// The row of a value item.
void OP_FormatValueRow(int row, char* out);
// The rows of the info and status pages.
void OP_InfoRow2(const OpMenuItem& item, char* out);
void OP_SlotListRow(const OpMenuItem& item, char* out);
void OP_SlotRow(const OpMenuItem& item, char* out);
void OP_ModuleRow(const OpMenuItem& item, char* out);
void OP_TemperatureRow(const OpMenuItem& item, char* out);
void OP_ChannelRow(const OpMenuItem& item, char* out);
void OP_ChannelInfoRow(const OpMenuItem& item, char* out);
// The Ethernet page and its address dialog, the status pages of a slot.
int OP_ShowEthernetPage();
int OP_EditAddressItem();
int OP_ShowModulePage();
int OP_ShowTemperaturePage();
int OP_ShowChannelPage();
int OP_ShowChannelInfoPage();

// The slot and channel group the status pages show (0-based).
struct OpInfoState {
  uint8_t slot;
  uint8_t group;
  uint8_t slotUp;        // the slot's state was above 1 when its page was built
  uint8_t groupPresent;  // the group had a module when the channel page was built
};
extern OpInfoState g_opInfo;
