// The least of the menu pages, the block pages and the touch dialogs that the page manager and
// the display frame need until those pages are built: the default page keeps the main menu,
// the block page stays until it is left, and closing the overlays ends the value editor and
// the touch dialogs.
#include "opui/op_dialogs.h"
#include "opui/op_display.h"
#include "opui/op_editor.h"
#include "opui/op_input.h"
#include "opui/op_services.h"

namespace {
uint8_t g_pageFlags;  // jump and return flags of the block pages
}

int OP_MenuPageProc() { return 0; }
int OP_BlockPageProc() { return 0; }

void OP_PageEnter(int flag) {
  g_opPage.pageId = OP_PAGE_MAIN_MENU;
  if (flag == 0) {
    g_pageFlags = 0;
    g_opPage.jumpPending = 0;
  }
}

void OP_PageLeave() {
  if (g_opPage.current == OP_BlockPageProc) OP_CloseBlockView(g_opPage.currentBlock);
  OP_CloseOverlays();
  OP_PageEnter(g_pageFlags);
}

void OP_CloseOverlays() {
  OP_EditAbort();
  OP_CloseTouchDialogs();
  g_opOverlay.flag = 0;
  g_opOverlay.nesting = 0;
}

void OP_CloseBlockView(uint16_t) {}
void OP_CloseBlockDialog() {}
void OP_ClearDisplayList() {}
void OP_OpenEthernetPage() {}

WM_HWIN FW_OpenTouchDialog() { return 0; }
void OP_CloseTouchList() { g_opTouchList = 0; }
