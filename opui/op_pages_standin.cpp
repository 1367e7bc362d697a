// The least of the pages that are not built yet, so that the page manager, the menus and
// the block page dispatcher run: the default page keeps the current menu, the page enter
// shows the main menu, the lists and info pages show nothing new, a list row is the item's
// label, and every block family's page is its text screen alone.
#include <cstdio>

#include "opui/op_blockpage.h"
#include "opui/op_display.h"
#include "opui/op_input.h"
#include "opui/op_menu.h"
#include "opui/op_services.h"
#include "runtime/fw_text.h"

int OP_MenuPageProc() { return 0; }

void OP_PageEnter(int mode) {
  g_opPage.pageId = OP_PAGE_MAIN_MENU;
  if (mode == 0) {
    OpJumpRecord& j = g_opJump;
    j.flags = 0;
    j.returnA = j.targetA = j.returnB = j.targetB = 0;
    g_opPage.jumpPending = 0;
  }
  g_opBlockPage.reselect = g_opBlockPage.leave = 0;
  g_opMenu.depth = 0;
  OP_MenuShow(&g_opMainMenu);
}

void OP_CloseBlockView(uint16_t) {}
void OP_CloseBlockDialog() {}
void OP_ClearDisplayList() {}
int OP_OpenEthernetPage() { return 0; }

int OP_BuildBlockList() { return 0; }
int OP_BuildDeviceDataList() { return 0; }
int OP_BuildSlotPage() { return 0; }
int OP_ShowCanResetList() { return 0; }
int OP_ShowSdEngineering() { return 0; }
int OP_ShowUsbLogo() { return 0; }
int OP_ShowUsbUpdate() { return 0; }
int OP_ShowOperatingPages() { return 0; }
void OP_RotateTitleText() {}

const char* OP_BuildListRow(int row) {
  static char text[OP_ROW_CHARS];
  const OpMenuItem* item = OP_MenuItemAt(row);
  if (!item) {
    text[0] = 0;
  } else if (item->ownText) {
    std::snprintf(text, sizeof text, "%.16s", item->ownText);
  } else {
    std::snprintf(text, sizeof text, "%s", item->textId ? FW_GetText(item->textId) : "");
  }
  return text;
}

const OpBlockPage g_opValuePage{.screen = 8};
const OpBlockPage g_opBarPageH{.screen = 4};
const OpBlockPage g_opBarPageV{.screen = 3};
const OpBlockPage g_opTrendPage{.screen = 5};
const OpBlockPage g_opAlarmPage{.screen = 9};
const OpBlockPage g_opUserPage{.screen = 10};
