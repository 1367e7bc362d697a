// The default page procedure: the current menu as the type-7 text screen with its touch
// list, built over a few cycles, kept up to date, and operated by the keys and the touch
// list; the firmware states that force the main menu anew; the jumps between block pages
// that pass through the operating-pages list.
#include <cstdio>
#include <cstring>

#include "gui/widgets/WIDGET.h"
#include "opui/op_blockpage.h"
#include "opui/op_dialogs.h"
#include "opui/op_editor.h"
#include "opui/op_keys.h"
#include "opui/op_menu_build.h"
#include "opui/op_pages.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_text.h"

using namespace opmenu;

OpMenuPageState g_opMenuPage;

namespace {

constexpr int kWindowRows = OP_MENU_ITEM_ROWS;       // text rows kept
constexpr int kVisibleRows = OP_MENU_VISIBLE_ROWS;   // text rows shown
constexpr int kTitleChars = 21;
constexpr uint8_t kStartStatusClock = 0x10;
constexpr uint8_t kEngLocked = 0x01, kEngChangeable = 0x02;
constexpr uint16_t kTextOnly = FB_ROW_TEXT_ONLY & ~FB_ROW_LINE;   // 0x40
constexpr uint16_t kAlarmFirst = 41, kAlarmLast = 46;
constexpr uint16_t kKeyRepeatEvery = 4, kKeyRepeatStart = 8;
// Where the value of a row is edited: its column and width.
constexpr int kValueColumn = 17, kValueWidth = 9;
constexpr int kParamColumn = 13, kParamWidth = 6, kParamChoiceWidth = 9;
constexpr int kDhcpColumn = 10, kDhcpWidth = 3;
constexpr int kDhcpRow = 3;
// Jump flags kept by the two ways back (the others are cleared).
constexpr uint16_t kKeepB = 0xAA, kKeepA = 0xD9;

OpTextRow* rowOf(int item) {
  const int r = item - g_opMenuPage.rowTop;
  return r >= 0 && r < kWindowRows ? &g_opMenuRows.items[r] : nullptr;
}

void setRowColors(OpTextRow& row, uint8_t c) {
  for (int i = 0; i < OP_ROW_CHARS - 1; ++i) {
    if (row.colors[i] == c) continue;
    std::memset(row.colors, c, OP_ROW_CHARS - 1);
    row.changed = 1;
    return;
  }
}

// Moves the window of text rows: rows that stay are moved, the others built anew.
void moveWindow(int top) {
  OpMenuPageState& mp = g_opMenuPage;
  const int shift = top - mp.rowTop;
  OpTextRow* rows = g_opMenuRows.items;
  int first = 0, end = kWindowRows;   // rows to build
  if (shift > 0 && shift < kWindowRows) {
    std::memmove(rows, rows + shift, sizeof(OpTextRow) * (kWindowRows - shift));
    first = kWindowRows - shift;
  } else if (shift < 0 && -shift < kWindowRows) {
    std::memmove(rows - shift, rows, sizeof(OpTextRow) * (kWindowRows + shift));
    end = -shift;
  }
  mp.rowTop = static_cast<uint16_t>(top);
  for (int r = first; r < end; ++r) rows[r] = OpTextRow{};
  for (OpTextRow& r : g_opMenuRows.items) r.changed = 1;
  const int n = OP_MenuItemCount();
  for (int r = first; r < end && top + r < n; ++r) OP_BuildListRow(top + r);
}

bool emptyItem(const OpMenuItem& item) {
  return (item.textId == 0 || item.textId == FW_TXT_EMPTY) && !item.ownText &&
         !(item.flags & (OP_MENU_HANDLER | OP_MENU_VALUE));
}

void selectInList() {
  if (g_opMenuPage.parked) {
    OP_ListSelectNone();
  } else {
    OP_ListSelectCurrent();
  }
}

void setCursor(int index) {
  OpMenuState& m = g_opMenu;
  m.cursor = m.header->items + index;
  m.index = static_cast<uint16_t>(index);
  m.cursorMoved = 1;
}

void park() {
  OpMenuPageState& mp = g_opMenuPage;
  mp.parked = 1;
  if (mp.editing) {
    OP_EditAbort();
    mp.editing = 0;
  }
  OP_MenuShowCursor();
}

// Goes back one menu; its page id is known at once.
void popMenu() {
  OP_MenuPop();
  if (g_opMenu.header && g_opMenu.header->value) g_opPage.pageId = g_opMenu.header->value;
}

bool addressModeOn() { return OP_LinkImage()[OP_IMG_ADDRESS_MODE] != 0; }

uint16_t typeOf(uint16_t block) {
  const uint16_t* inst = FB_GetInstance(block);
  return inst ? inst[FB_HDR_TYPE] : 0;
}

const OpBlockPageData* pageRecord(uint16_t block) {
  return block < FB_LIST_SIZE ? static_cast<const OpBlockPageData*>(g_fbStore.list[block].pageData) : nullptr;
}

bool jumpActive() {
  const OpJumpRecord& j = g_opJump;
  return j.flags != 0 || j.targetA != 0 || j.targetB != 0;
}

// --- Stages -----------------------------------------------------------------------------------

// The touch zones of the top bar: true when one was touched.
bool topBarTouch() {
  OpPageManager& pm = g_opPage;
  switch (FW_GetTouchZone()) {
    case OP_ZONE_LEFT:
      if (g_fwRunMode == FW_RUN_MODE_RUN) {
        OP_PageEnter(0);
        pm.current = OP_MenuPageProc;
        OP_RequestPageAction(OP_ShowOperatingPages);
      }
      return true;
    case OP_ZONE_MIDDLE:
      if ((OP_LinkClockSet() == 1 || !g_opDisplay.uptimeFlag) && pm.pageId != OP_PAGE_DATE_TIME) {
        OP_MenuDateTime();
      }
      return true;
    case OP_ZONE_RIGHT:
      if (g_opStatusIcon.request) {
        for (uint16_t b = kAlarmFirst; b <= kAlarmLast; ++b) {
          if (!FB_GetInstance(b)) continue;
          pm.currentBlock = b;
          OP_SelectBlockPage(b);
          break;
        }
      }
      g_opStatusIcon.request = 0;
      return true;
    default:
      return false;
  }
}

// The operating-pages list's change detector: one entry per call.
void watchDetector() {
  OpListState& L = g_opListState;
  if (L.detectorCount == 0) return;
  if (L.detectorRead >= L.detectorCount) L.detectorRead = 0;
  const OpChangeEntry& e = L.detector[L.detectorRead];
  // A page record that is no longer the block's counts as a change, and is not read.
  const bool same = e.record && pageRecord(e.block) && &pageRecord(e.block)->hide == e.record;
  if (!same || *e.record != e.first) g_opMenuPage.rebuildNeeded = 1;
  if (++L.detectorRead >= L.detectorCount) L.detectorRead = 0;
}

// Value lists whose values a PC tool or a block may change while they are shown.
bool followsValues(uint16_t page) {
  return page == OP_PAGE_PARAM_LIST || page == OP_PAGE_CONFIG_LIST || page == OP_PAGE_DEVICE_DATA;
}

void buildStep() {
  OpMenuState& m = g_opMenu;
  OpMenuPageState& mp = g_opMenuPage;
  OpPageManager& pm = g_opPage;
  const OpMenuHeader* h = m.header;
  if (!h) return;
  const int n = OP_MenuItemCount();
  const uint16_t step = m.buildStep;
  if (step == OP_STEP_TITLE) {
    if (h->value) pm.pageId = h->value;
    g_opMenuRows = OpMenuRows{};
    mp.rowTop = m.index >= kVisibleRows ? static_cast<uint16_t>(m.index - kVisibleRows + 1) : 0;
    mp.highlighted = OP_NO_ROW;
    // A value list of one block has no title text of its own: it keeps the page's title.
    char title[sizeof g_opPageTitle.text];
    std::snprintf(title, sizeof title, "%s", h->textId ? FW_GetText(h->textId) : g_opPageTitle.text);
    OP_SetPageTitle(&g_opMenuRows.title, title);
    OP_ShowTextScreen(7, 1);
    g_opListState.rotateCounter = 0;
    g_opListState.rotateIndex = 0;
    m.buildStep = OP_STEP_LIST;
  } else if (step == OP_STEP_LIST) {
    OP_OpenTouchList();
    mp.itemCount = static_cast<uint16_t>(n > 0 ? n - 1 : 0);
    if (const WM_HWIN box = OP_TouchListBox()) LISTBOX_SetAutoScrollV(box, OP_IsDisplayOnlyPage() ? 0 : 1);
    mp.listFilled = 0;
    mp.listDisabled = 0;
    mp.fillNext = 0;
    m.buildStep = OP_STEP_FILL;
  } else if (step <= OP_STEP_FILL_LAST) {
    if (!mp.listFilled) {
      const int start = mp.fillNext;
      const int end = start + OP_FILL_ROWS < n ? start + OP_FILL_ROWS : n;
      if (OP_TouchListBox()) {
        OP_FillTouchList(start, end - start);
      } else {
        for (int r = start; r < end; ++r) OP_BuildListRow(r);
      }
      mp.fillNext = static_cast<uint16_t>(end);
      mp.listFilled = end >= n ? 1 : 0;
    }
    selectInList();
    OP_MenuShowCursor();
    OP_ShowTextScreen(7, 0);
    // A list longer than eight steps of rows goes on filling in the last step.
    if (mp.listFilled) {
      m.buildStep = OP_STEP_SUFFIX;
    } else if (step < OP_STEP_FILL_LAST) {
      ++m.buildStep;
    }
  } else if (step == OP_STEP_SUFFIX) {
    const uint16_t p = pm.pageId;
    const bool statusPage = (p >= OP_PAGE_SLOT && p <= OP_PAGE_CHANNEL_INFO) || p == OP_PAGE_PROGRESS;
    const bool rotating = g_opListState.rotateIndex != 0 && OP_LinkOperatingState() != kOffline;
    if (!statusPage && h->textId && !rotating) {
      OpTextRow& t = g_opMenuRows.title;
      char title[OP_ROW_CHARS];
      std::snprintf(title, sizeof title, "%-*.*s%5s", kTitleChars, kTitleChars, FW_GetText(h->textId),
                    OP_StateSuffix());
      if (std::strcmp(title, t.text) != 0) {
        std::memcpy(t.text, title, sizeof title);
        t.changed = 1;
      }
    }
    m.buildStep = OP_STEP_SUFFIX + 1;
  } else {
    if (OP_IsDisplayOnlyPage() || (followsValues(pm.pageId) && !mp.refill)) {
      // Two rows a cycle around the selection follow the values the blocks hold.
      const WM_HWIN box = OP_TouchListBox();
      const int sel = box ? LISTBOX_GetSel(box) : -1;
      const int s = sel > 9 ? sel - 9 : 0;
      OP_FillTouchList(s + 2 * (step - (OP_STEP_SUFFIX + 1)), 2);
    } else if (mp.refill) {
      mp.refill = 0;
      OP_FillTouchList(m.index);
    }
    m.buildStep = step >= OP_STEP_REFRESH_LAST ? uint16_t{OP_STEP_SUFFIX} : static_cast<uint16_t>(step + 1);
  }
}

// A status page asked to be built anew: back to it, one more level to the menu it was opened
// from, and built from there.
void rebuildStatusPage() {
  OpMenuPageState& mp = g_opMenuPage;
  const uint16_t target = mp.rebuildPage;
  mp.rebuildPage = 0;
  auto shown = [] { return g_opMenu.header ? g_opMenu.header->value : uint16_t{0}; };
  while (g_opMenu.depth > 0 && shown() != target && shown() > OP_PAGE_SLOT && shown() <= OP_PAGE_CHANNEL_INFO) {
    popMenu();
  }
  if (shown() != target || g_opMenu.depth == 0) return;
  popMenu();
  g_opMenu.buildStep = OP_STEP_TITLE;
  mp.parked = 0;
  if (target == OP_PAGE_SLOT) {
    OP_BuildSlotPage();
  } else {
    OP_ShowChannelPage();
  }
  OP_ShowTextScreen(7, 0);
}

void touchListEnable() {
  OpMenuPageState& mp = g_opMenuPage;
  const WM_HWIN box = OP_TouchListBox();
  if (g_opOverlay.nesting != 0) {
    if (mp.listDisabled) return;
    mp.listDisabled = 1;
    if (box) {
      LISTBOX_SetAutoScrollV(box, 0);
      WM_DisableWindow(box);
    }
  } else if (mp.listDisabled && !OP_AddressDialog()) {
    mp.listDisabled = 0;
    if (box) {
      WM_EnableWindow(box);
      WM_SetFocus(box);
      if (!OP_IsDisplayOnlyPage()) LISTBOX_SetAutoScrollV(box, 1);
    }
  }
}

// A pending jump to a block of the operating-pages list: the list is built anew and the
// block's item opened. True when the stage ran.
bool blockJump() {
  OpJumpRecord& j = g_opJump;
  OpPageManager& pm = g_opPage;
  if (pm.pageId != OP_PAGE_OPERATING || (!j.targetA && !j.targetB)) return false;
  if (!j.pendingReturn && g_opMenu.cursor) j.pendingReturn = g_opMenu.cursor->sub;
  const bool viaB = j.targetB != 0;
  const uint16_t target = viaB ? j.targetB : j.targetA;
  OP_PageEnter(1);
  bool found = false;
  OpListPages& pages = g_opListPages;
  for (uint16_t p = 0; p < pages.count && p < OP_LIST_PAGES && !found; ++p) {
    const OpMenuHeader* h = pages.pages[p];
    for (uint16_t i = 0; i < h->capacity; ++i) {
      const OpMenuItem& item = h->items[i];
      if (!(item.flags & OP_MENU_BLOCK) || item.sub != target) continue;
      if (g_opMenu.header != h) {
        pages.index = p;
        OP_MenuShow(h);
      }
      setCursor(i);
      found = true;
      break;
    }
  }
  if (!found) {
    j.pendingReturn = 0;
    j.flags = 0;
    j.returnA = j.targetA = j.returnB = j.targetB = 0;
    return true;
  }
  const bool back = (j.flags & OP_JUMP_RETURN) != 0;
  if (viaB) {
    if (!back) {
      if (j.flags & OP_JUMP_B_FIRST) {
        pm.currentBlock = j.returnB;
      } else if (!(j.flags & OP_JUMP_B_AGAIN)) {
        j.returnB = 0;
      }
      j.flags = static_cast<uint16_t>((j.flags & kKeepB) | OP_JUMP_VIA_B);
    } else {
      j.flags &= kKeepB;
    }
    j.targetB = 0;
  } else {
    if (!back) {
      pm.currentBlock = j.returnA;
      j.flags = static_cast<uint16_t>((j.flags & kKeepA) | OP_JUMP_VIA_A);
    } else {
      j.flags &= kKeepA;
    }
    j.targetA = 0;
  }
  if (typeOf(pm.currentBlock) == OP_TYPE_USER_PAGE) OP_CloseBlockView(pm.currentBlock);
  OP_OpenListedBlock();
  return true;
}

// The exit key (and the enter key on an end item): back one menu, or back along a jump.
// 1 when the way back to a jump's origin starts.
int goBack() {
  OpJumpRecord& j = g_opJump;
  OpMenuPageState& mp = g_opMenuPage;
  if (g_opMenu.depth == 0) return 0;
  if (j.flags & (OP_JUMP_VIA_B | OP_JUMP_VIA_A)) {
    const bool viaB = (j.flags & OP_JUMP_VIA_B) != 0;
    uint16_t& ret = viaB ? j.returnB : j.returnA;
    if (ret) {
      (viaB ? j.targetB : j.targetA) = ret;
      ret = 0;
      j.flags |= OP_JUMP_RETURN;
      OP_PageEnter(1);
      mp.parked = 0;
      return 1;
    }
    j.flags &= viaB ? kKeepB : kKeepA;
    OP_PageEnter(1);
    return 0;
  }
  popMenu();
  g_opMenu.buildStep = OP_STEP_TITLE;
  mp.parked = 0;
  return 0;
}

// Starts the value editor on the cursor row of a value item.
void startEdit(const OpMenuItem& item) {
  OpMenuPageState& mp = g_opMenuPage;
  OpPageManager& pm = g_opPage;
  const FbValueEntry* e = item.entry;
  if (!e || !e->limits || (item.flags & kTextOnly)) return;
  const uint8_t eng = OP_LinkEngineeringState();
  const bool anyLock = OP_LinkAccessLock(0) || OP_LinkAccessLock(1);
  switch (pm.pageId) {
    case OP_PAGE_ETHERNET:
      if (addressModeOn() && g_opMenu.index != kDhcpRow) return;
      break;
    case OP_PAGE_PUBLISH:
      if (const OpBlockPageData* rec = pageRecord(pm.currentBlock); rec && rec->lock) return;
      break;
    case OP_PAGE_PARAM_LIST:
      if ((eng & kEngLocked) || OP_LinkAccessLock(0)) return;
      break;
    case OP_PAGE_CONFIG_LIST:
      if (online() || (eng & (kEngLocked | kEngChangeable)) || anyLock) return;
      break;
    default:
      break;
  }
  const uint16_t choices = item.textId ? FW_GetTextCode(item.textId + 1u) : 0;
  const uint16_t textBase = choices ? static_cast<uint16_t>(item.textId + 2) : 0;
  int column = kValueColumn, width = kValueWidth;
  uint16_t base = textBase;
  if (pm.pageId == OP_PAGE_PUBLISH) {
    column = kParamColumn;
    width = choices ? kParamChoiceWidth : kParamWidth;
  } else if (pm.pageId == OP_PAGE_ETHERNET) {
    column = kDhcpColumn;
    width = kDhcpWidth;
    base = FW_TXT_DHCP_OFF;
  }
  OP_MenuShowCursor();
  OpTextRow* row = rowOf(g_opMenu.index);
  if (!row || !OP_EditStart(e, item.sub)) return;
  // The value's field lies inside the row's text.
  const size_t len = strnlen(row->text, OP_ROW_CHARS - 1);
  std::memset(row->text + len, ' ', OP_ROW_CHARS - 1 - len);
  row->text[OP_ROW_CHARS - 1] = 0;
  OP_EditSetTarget(row->text + column, &row->changed, width, row->colors + column, base, nullptr, 0,
                   OP_EDIT_MODE_DIALOG);
  setRowColors(*row, OP_ROW_NORMAL);
  mp.highlighted = OP_NO_ROW;
  mp.editing = 1;
  row->changed = 1;
}

// A move of the cursor by the down (+1) or up (-1) key.
void moveCursor(int direction) {
  OpMenuState& m = g_opMenu;
  OpMenuPageState& mp = g_opMenuPage;
  OpKeyState& k = g_opKeys;
  const uint16_t page = g_opPage.pageId;
  const int n = OP_MenuItemCount();
  const int lastIndex = n - 1;
  const bool down = direction > 0;
  const bool atEnd = down ? m.index >= lastIndex : m.index == 0;
  if (atEnd) {
    // Only a new press wraps (every event on page 20).
    const bool newPress = down ? k.downStep : k.upStep;
    if (!newPress && page != OP_PAGE_PUBLISH) return;
    (down ? k.holdDown : k.holdUp) = 1;
    if (page == OP_PAGE_PUBLISH && !mp.parked) {
      mp.parked = 1;
    } else {
      setCursor(down ? 0 : lastIndex);
      mp.parked = 0;
    }
  } else if (mp.parked) {
    mp.parked = 0;
  } else {
    const bool skip = page != OP_PAGE_SD_FILES && page != OP_PAGE_PUBLISH;
    int i = m.index + direction;
    while (skip && i > 0 && i < lastIndex && emptyItem(m.header->items[i])) i += direction;
    setCursor(i);
  }
  selectInList();
  OP_MenuShowCursor();
}

// The enter key on the cursor item: a handler is called, a sub-menu shown, a value edited;
// an end item (or a parked cursor) goes back.
int enterItem() {
  OpMenuState& m = g_opMenu;
  OpMenuPageState& mp = g_opMenuPage;
  const OpPageManager& pm = g_opPage;
  if (pm.pageId == OP_PAGE_PROGRESS) {
    OP_PageEnter(0);
    return 0;
  }
  const OpMenuItem* item = m.cursor;
  if (!item) return 0;
  const bool handler = (item->flags & OP_MENU_HANDLER) != 0;
  if ((item->textId == FW_TXT_END || mp.parked) && !handler) {
    if (m.depth > 0) return goBack();
    m.buildStep = OP_STEP_TITLE;
    mp.parked = 0;
    return 0;
  }
  if (handler) {
    // With DHCP on the addresses are not the device's to set.
    if (pm.pageId == OP_PAGE_ETHERNET && addressModeOn()) return 0;
    // The handler's answer is its own: a block page it selected stays current.
    if (item->pageProc) item->pageProc();
  } else if (item->flags & OP_MENU_VALUE) {
    startEdit(*item);
  } else if (item->submenu) {
    OP_MenuPush();
    OP_MenuShow(item->submenu);
  }
  return 0;
}

void keys() {
  const OpPageManager& pm = g_opPage;
  const OpKeyState& k = g_opKeys;
  const bool held = k.idleTicks == 0;
  auto repeats = [&](uint8_t hold) {
    return hold >= kKeyRepeatStart && (pm.pageId != OP_PAGE_PUBLISH || hold % kKeyRepeatEvery == 0);
  };
  if (OP_MenuItemCount() > 0) {
    if (held && (k.downStep || repeats(k.holdDown))) {
      moveCursor(1);
    } else if (held && (k.upStep || repeats(k.holdUp))) {
      moveCursor(-1);
    }
  }
}

}  // namespace

// --- Rows --------------------------------------------------------------------------------------

void OP_MenuRowBuilt(int row, const char* text) {
  const OpMenuPageState& mp = g_opMenuPage;
  OpTextRow* r = rowOf(row);
  if (!r || (mp.editing && row == g_opMenu.index)) return;
  if (std::strncmp(r->text, text, OP_ROW_CHARS - 1) == 0) return;
  std::snprintf(r->text, OP_ROW_CHARS, "%s", text);
  r->changed = 1;
}

void OP_MenuShowCursor() {
  OpMenuPageState& mp = g_opMenuPage;
  const int n = OP_MenuItemCount();
  if (n == 0) return;
  const int index = g_opMenu.index;
  int top = mp.rowTop;
  if (index < top) top = index;
  if (index >= top + kVisibleRows) top = index - kVisibleRows + 1;
  if (top != mp.rowTop) moveWindow(top);
  const uint16_t want = mp.parked ? OP_NO_ROW : static_cast<uint16_t>(index);
  for (int r = 0; r < kWindowRows; ++r) {
    if (mp.editing && mp.rowTop + r == index) continue;
    setRowColors(g_opMenuRows.items[r], mp.rowTop + r == want ? OP_ROW_HIGHLIGHT : OP_ROW_NORMAL);
  }
  mp.highlighted = want;
}

void OP_MenuPageReset() {
  g_opMenuPage = OpMenuPageState{};
  OpMenuPageState& mp = g_opMenuPage;
  mp.highlighted = OP_NO_ROW;
  mp.lastUsb = OP_LinkUsbStickPresent() ? 1 : 0;
  mp.lastOperatingState = OP_LinkOperatingState();
}

// --- The page procedure -------------------------------------------------------------------------

int OP_MenuPageProc() {
  OpMenuState& m = g_opMenu;
  OpMenuPageState& mp = g_opMenuPage;
  OpPageManager& pm = g_opPage;
  OpJumpRecord& j = g_opJump;
  const OpKeyState& k = g_opKeys;
  // A block asked for its page.
  if (OP_ServePageRequest()) return 0;
  // 1. The top bar.
  if (topBarTouch()) return 0;
  // 2. The operating-pages list: rebuilt on request, or back at the block left for a menu.
  if (pm.pageId == OP_PAGE_OPERATING) {
    if (j.listRebuild) {
      j.listRebuild = 0;
      OP_PageEnter(1);
      return 0;
    }
    if (j.pendingReturn && !jumpActive()) {
      pm.currentBlock = j.pendingReturn;
      j.pendingReturn = 0;
      j.returnToBlock = 0;
      OP_PageEnter(1);
      return 0;
    }
  }
  // 3. A USB stick put in or taken out while a settings page is shown.
  const uint8_t usb = OP_LinkUsbStickPresent() ? 1 : 0;
  const uint8_t low = static_cast<uint8_t>(pm.pageId & 0xFF);
  if (low >= 7 && low <= 42 && usb != mp.lastUsb) {
    OP_PageEnter(0);
    pm.current = OP_MenuPageProc;
  }
  mp.lastUsb = usb;
  // 4. The operating state changed: the main menu of the new state.
  const uint16_t state = OP_LinkOperatingState();
  const bool noEng = noEngineering();
  if (state != mp.lastOperatingState) {
    mp.lastOperatingState = state;
    mp.lastNoEngineering = noEng ? 1 : 0;
    const OpMenuHeader* main = OP_MainMenu();
    if (m.header != main) {
      m.depth = 0;
      OP_MenuShow(main);
    }
    return 0;
  }
  // 5. The date and time menu shortly after start, when the clock asks for it.
  if (pm.counter2 == OP_CLOCK_START_CYCLE && (OP_LinkStartStatus() & kStartStatusClock)) {
    OP_MenuDeviceSettings();
    OP_MenuDateTime();
    return 0;
  }
  // 6. The operating pages by themselves, online, after 40 cycles without a key.
  if (pm.counter1 == OP_AUTO_PAGES_CYCLE && k.idleTicks >= OP_AUTO_PAGES_CYCLE && pm.pageId == OP_PAGE_MAIN_MENU &&
      (noEng || m.index == 0) && state == kOnline) {
    OP_RequestPageAction(OP_ShowOperatingPages);
    return 0;
  }
  // 7. Watch for changes that need the page built anew.
  if (state == kOnline) {
    if (pm.pageId == OP_PAGE_OPERATING) watchDetector();
    if (pm.pageId != OP_PAGE_BLOCK && pm.pageId != OP_PAGE_PUBLISH && noEng != (mp.lastNoEngineering != 0)) {
      mp.lastNoEngineering = noEng ? 1 : 0;
      mp.rebuildNeeded = 1;
    }
  }
  // 8. Rebuild, at most every 50 cycles.
  if (mp.rebuildCountdown < OP_REBUILD_DELAY) ++mp.rebuildCountdown;
  if (mp.rebuildCountdown >= OP_REBUILD_DELAY && mp.rebuildNeeded) {
    mp.rebuildCountdown = 0;
    OP_PageEnter(1);
    return 0;
  }
  // 9. Page upkeep: a parameter page switched off, the cursor parked after a minute.
  if (pm.pageId == OP_PAGE_PUBLISH) {
    if (const OpBlockPageData* rec = pageRecord(pm.currentBlock); rec && rec->hide) {
      OP_PageEnter(1);
      return 0;
    }
  }
  if (k.idleTicks >= OP_PARK_IDLE && !mp.parked) {
    park();
    OP_ListSelectNone();
  }
  if (pm.pageId == OP_PAGE_PUBLISH || pm.pageId == OP_PAGE_OPERATING) OP_RotateTitleText();
  // 10. One build step.
  buildStep();
  // 11. A status page to build anew.
  if (mp.rebuildPage) rebuildStatusPage();
  // 12. The touch list follows the overlays.
  touchListEnable();
  // 13.-17. Editor, jumps, dialogs, keys, once the list is being filled.
  int result = 0;
  if (m.buildStep >= OP_STEP_FILL) {
    if (mp.editing) {
      if (OP_EditStep()) {
        mp.editing = 0;
        if (pm.pageId == OP_PAGE_DATE_TIME && g_opEdit.result) mp.clockChanged = 1;
        mp.refill = 1;
        OP_MenuShowCursor();
      }
    } else if (blockJump()) {
      return 0;
    } else if (const WM_HWIN dialog = OP_AddressDialog()) {
      // The address dialog: its byte editor, or the enter key closes it.
      if (OP_EditActive()) {
        OP_EditStep();
      } else if (OP_IsShortPress(k.enterReleased)) {
        OP_PressDialogButton(dialog, OP_ID_ADDR_CLOSE);
      }
      return 0;
    } else if (g_opOverlay.nesting != 0) {
      return 0;
    } else if (pm.pageId == OP_PAGE_PUBLISH && j.targetB) {
      if (j.flags & OP_JUMP_RETURN) {
        mp.parked = 0;
      } else {
        j.flags |= (j.flags & OP_JUMP_VIA_B) ? OP_JUMP_B_AGAIN : OP_JUMP_B_FIRST;
      }
      popMenu();
      OP_PageEnter(1);
      pm.pageId = OP_PAGE_OPERATING;
      return 0;
    } else {
      keys();
      const bool settled = state == g_fwRunMode;
      if (settled && OP_IsShortPress(k.exitReleased) && (!noEng || pm.pageId != OP_PAGE_OPERATING)) {
        if (pm.pageId == OP_PAGE_DATE_TIME && mp.clockChanged) {
          mp.clockChanged = 0;
          g_fwClock.wasSet = 1;
        }
        if (pm.pageId == OP_PAGE_PROGRESS) OP_PageEnter(0);
        result = goBack();
      } else if (settled && OP_IsShortPress(k.enterReleased)) {
        result = enterItem();
      }
    }
  }
  // 18. What the cursor item publishes for the value editor.
  if (!OP_AddressDialog()) {
    const OpMenuItem* item = m.cursor;
    mp.publishedId = item ? item->sub : 0;
    mp.publishedField = item && item->entry ? item->sub : 0;
  }
  return result;
}
