// The engineering's own screens: the user page VUSER, a full view with a background picture
// and up to 16 display objects, and the message block VMSG, which pops up the message box
// with its texts and icon when its trigger rises.
//
// A VUSER block's operating page is page 180 of the block page dispatcher (text screen 10).
// Selecting it opens the block's view; the view lives until the page is left or the block
// closes it. At most one view is open at a time (the page shown), so the view's windows are
// kept here, not in the instance. Likewise one message box is open at a time; a VMSG block
// knows whether it is the one that owns it.
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/WM.h"
#include "opui/op_blockpage.h"
#include "opui/op_services.h"

struct FbParamRequest;

// --- VUSER (type 180) -----------------------------------------------------------------------
//
// Inputs "Obj 1" .. "Obj 16": each carries the block number of a display object (wire it to
// the object's output "Obj-No"); output "No" (its own block number: a page link to this page);
// word values (3000..3033) "TopBar" (1: the top bar stays visible), "Title" (1: the title
// band with the tag stays visible), then "X 1", "Y 1" .. "X 16", "Y 16", the place of object
// k inside the view; text "Picture" (the background's name among the user pictures).
constexpr uint16_t OP_TYPE_VUSER = 180;
constexpr int OP_VIEW_SLOTS = 16;
enum : uint16_t {
  VUSER_WORD_TOPBAR = 1, VUSER_WORD_TITLE = 2, VUSER_WORD_FIRST_PLACE = 3,
  VUSER_TEXT_PICTURE = 2,
};

// VUSER's work words: its page record (installed as its page data) and the view flags.
struct UserPageState {
  OpBlockPageData page;
  uint16_t open;        // its view is open
  uint16_t rebuilt;     // the view was built anew (a rebuild request)
  uint16_t bound;       // 0, 1 or more objects bound at the last open
  uint16_t valuesPending;  // changed word values wait for the next run
};

// One object slot of the open view.
struct OpViewSlot {
  uint16_t block;       // 0: the slot is empty
  uint16_t type;
  WM_HWIN window;       // the object window made by the view
  WM_HWIN inner;        // what the object made inside it (its TEXT widget)
};

// The open view.
struct OpUserView {
  uint16_t block;       // the VUSER block whose view is open, 0 none
  WM_HWIN window;
  GUI_MEMDEV_Handle picture;  // the background picture, 0 none
  int16_t x, y, xSize, ySize; // screen place of the view
  uint8_t fullScreen;   // the view covers the top bar
  uint8_t pictureCovers;  // the picture fills the whole view
  uint8_t bound;        // number of bound objects
  OpViewSlot slots[OP_VIEW_SLOTS];
};
extern OpUserView g_opUserView;

// The page of the dispatcher's type table (text screen 10): its draw routine opens the view.
extern const OpBlockPage g_opUserPage;

// Opens the view of a VUSER block: background picture, view area by the bars shown, the
// view window, the bound objects and their windows. 1 done, 0 for a block that is no VUSER.
int OP_UserViewOpen(uint16_t block);
// The view area for the bars shown: {x, y, xSize, ySize} on the screen.
OpRect OP_UserViewArea(bool topBar, bool title);
// Binds the 16 slots of the view from the block's inputs: the count of bound objects.
int OP_UserViewBind(uint16_t block);
// Makes the window of slot k (0-based) at the object's place.
WM_HWIN OP_UserViewCreateObject(int slot);
void OP_UserViewProc(WM_MESSAGE* msg);
// The slot of the open view that shows a block (null: not shown).
OpViewSlot* OP_UserViewSlotOf(uint16_t block);
// The open view covers the whole screen, top bar included.
bool OP_UserViewFullScreen();

void FB_VUSER_Init();
uint8_t FB_VUSER_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_VUSER_Run();

// --- VMSG (type 190) ------------------------------------------------------------------------
//
// Digital inputs "trigger" (a rising edge shows the message), "close" (closes the box),
// "block" (a trigger is not taken while set) and "hold" (the box is not opened while set);
// digital output "shown"; float parameter "Time" (1000: the display time in seconds); word
// values "Mode" (3000: 0 the box closes after the display time, 1 it stays until OK or
// "close") and "Spare" (3001, not used); texts "Title", "Line1a", "Line1b", "Line2a",
// "Line2b" (line 1 and line 2 are the two halves joined) and "Icon" (the name of a 50 x 50
// user picture; any other picture or none gives the built-in icon).
constexpr uint16_t OP_TYPE_VMSG = 190;
enum : uint16_t {
  VMSG_IN_TRIGGER = 1, VMSG_IN_CLOSE = 2, VMSG_IN_BLOCK = 3, VMSG_IN_HOLD = 4,
  VMSG_OUT_SHOWN = 1,
  VMSG_WORD_MODE = 1,
  VMSG_TEXT_TITLE = 2, VMSG_TEXT_ICON = 7,
};
constexpr int OP_VMSG_ICON_SIZE = 50;

// VMSG's work words.
struct MessageBlockState {
  uint16_t composed;        // the texts were composed (first run)
  int16_t icon;             // index of the icon in the user pictures, -1 the built-in one
  uint16_t lastTrigger;
  uint16_t valuesPending;   // changed word values wait for the next run
  FbU32 countdown;          // cycles left in mode 0
  char title[18];
  char line1[34];
  char line2[34];
};

// Composes the texts and looks up the icon (the first run).
void OP_VmsgCompose(uint16_t block);

void FB_VMSG_Init();
uint8_t FB_VMSG_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_VMSG_Run();

// The block whose message box is open, 0 none.
uint16_t OP_OpenMessageBlock();

// Forgets the open view, the open message box and an object's dialog without touching a
// window (the display and its windows were reset).
void OP_ForgetDisplayList();

// Enters the rows of VUSER and VMSG into the block-type table.
void OP_RegisterUserPageTypes();
