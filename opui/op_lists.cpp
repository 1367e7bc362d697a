// The list pages: the block lists (operating pages, calibration, parameters, signals,
// configuration) stored as pages of 51 records, the value lists of one block, the settings
// menu without engineering, the service lists of the SD card, the USB stick and the CAN
// bus, the page enter that resets the menus, and the rotating title.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "opui/op_blockpage.h"
#include "opui/op_editor.h"
#include "opui/op_menu_build.h"
#include "opui/op_pages.h"
#include "runtime/fb_values.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_text.h"

using namespace opmenu;

OpListState g_opListState;

namespace {

constexpr uint16_t kRotateEvery = 50;
constexpr uint8_t kRotateMark = 160;
constexpr uint16_t kCalibrationTypes[] = {19, 77, 110, 115, 129};

// The pages of the list last built: each a header and up to 50 records.
struct ListBuffer {
  OpMenuHeader headers[OP_LIST_PAGES];
  OpMenuItem items[OP_LIST_PAGES][OP_LIST_PAGE_RECORDS - 1];
};
ListBuffer g_list;

const OpBlockPageData* pageRecord(uint16_t block) {
  return block < FB_LIST_SIZE ? static_cast<const OpBlockPageData*>(g_fbStore.list[block].pageData) : nullptr;
}

bool isCalibrationType(uint16_t type) {
  for (uint16_t t : kCalibrationTypes) {
    if (t == type) return true;
  }
  return false;
}

// The block item of a list: handler and block flag, the block number, the tag, the name text
// of the block's type.
void fillRecord(uint16_t block, uint16_t type, OpMenuHandler handler, OpMenuItem* record) {
  char* tag = nullptr;
  FB_GetTextParamPtr(block, 1, &tag);
  *record = handlerItem(block, type < 256 ? g_fbLabelListStart[type] : 0, handler, OP_MENU_BLOCK);
  record->ownText = tag;
}

// Writes the items of a list into its pages: the first page holds 49 items and "[ next page
// ]", every further page "[ previous page ]", 48 items and, when more follow, "[ next page ]".
class ListWriter {
 public:
  ListWriter(uint16_t kind, uint16_t title) : kind_(kind), title_(title) { startPage(0); }

  // The record for the next item, null when the buffer is full.
  OpMenuItem* next() {
    if (n_ == OP_LIST_FIRST_ITEMS) {
      if (page_ + 1 >= OP_LIST_PAGES) return nullptr;
      g_list.items[page_][n_++] = g_opMenuNextPageItem;
      closePage();
      startPage(page_ + 1);
    }
    ++listed_;
    return &g_list.items[page_][n_++];
  }
  uint16_t page() const { return page_; }
  uint16_t listed() const { return listed_; }

  // Ends the list (an empty one with its end item) and hands its pages to the paging handlers.
  void finish(uint16_t emptyText) {
    if (listed_ == 0 && n_ == 0) g_list.items[page_][n_++] = inertItem(0, emptyText);
    closePage();
    OpListPages& pages = g_opListPages;
    pages.count = static_cast<uint16_t>(page_ + 1);
    for (uint16_t p = 0; p <= page_; ++p) pages.pages[p] = &g_list.headers[p];
    pages.index = 0;
  }

 private:
  void startPage(uint16_t p) {
    page_ = p;
    n_ = 0;
    g_list.headers[p] = OpMenuHeader{OP_MENU_HEADER, kind_, noCallback, 0, title_, g_list.items[p], 0};
    if (p > 0) g_list.items[p][n_++] = g_opMenuPrevPageItem;
  }
  // Every page ends with its last record (the walk of a page stops there).
  void closePage() {
    for (uint16_t i = 0; i < n_; ++i) g_list.items[page_][i].flags &= static_cast<uint16_t>(~OP_MENU_LAST);
    g_list.items[page_][n_ - 1].flags |= OP_MENU_LAST;
    g_list.headers[page_].capacity = n_;
  }

  uint16_t kind_, title_;
  uint16_t page_ = 0, n_ = 0, listed_ = 0;
};

uint16_t listTitle(uint16_t kind) {
  switch (kind) {
    case OP_PAGE_OPERATING: return FW_TXT_LIST_PAGES;
    case OP_PAGE_CALIBRATION: return FW_TXT_LIST_CALIBRATION;
    case OP_PAGE_PARAMETER: return FW_TXT_LIST_PARAMS;
    case OP_PAGE_SIGNALS: return FW_TXT_LIST_SIGNALS;
    case OP_PAGE_CONFIGURATION: return FW_TXT_LIST_CONFIG;
    default: return 0;
  }
}

bool isListKind(uint16_t kind) { return listTitle(kind) != 0; }

// Whether a block goes into a list, and with which handler; the operating-pages list also
// notes its page record in the change detector.
OpMenuHandler listHandler(uint16_t kind, uint16_t block, uint16_t type) {
  const OpBlockPageData* rec = pageRecord(block);
  const FbTypeRecord* t = FB_GetType(type);
  switch (kind) {
    case OP_PAGE_OPERATING: {
      if (!rec || type == OP_TYPE_CALIBRATION_INPUT) return nullptr;
      OpListState& L = g_opListState;
      L.detector[L.detectorCount++] = OpChangeEntry{&rec->hide, rec->hide, block};
      return rec->hide == 0 ? OP_OpenListedBlock : nullptr;
    }
    case OP_PAGE_CALIBRATION:
      return rec && rec->hide == 0 && isCalibrationType(type) ? OP_OpenCalibrationBlock : nullptr;
    case OP_PAGE_PARAMETER:
      return t && t->floatParams + t->wordParams != 0 ? OP_OpenParamList : nullptr;
    case OP_PAGE_CONFIGURATION:
      return t && t->longValues + t->wordValues != 0 ? OP_OpenConfigList : nullptr;
    case OP_PAGE_SIGNALS:
      return OP_OpenSignalList;
    default:
      return nullptr;
  }
}

// Scans blocks first..last into the list; a block left out for a zero second instance word
// moves the end on by one, never beyond the block list.
void scan(ListWriter& w, uint16_t kind, uint16_t first, uint16_t last) {
  const uint16_t current = g_opPage.currentBlock;
  for (uint32_t b = first; b <= last && b <= FB_MAX_BLOCK; ++b) {
    const uint16_t block = static_cast<uint16_t>(b);
    const uint16_t* inst = FB_GetInstance(block);
    if (!inst) continue;
    if (kind != OP_PAGE_OPERATING && inst[FB_HDR_SIZE] == 0) {
      if (last < FB_MAX_BLOCK) ++last;
      continue;
    }
    const uint16_t type = inst[FB_HDR_TYPE];
    const OpMenuHandler handler = listHandler(kind, block, type);
    if (!handler) continue;
    OpMenuItem* record = w.next();
    if (!record) return;
    fillRecord(block, type, handler, record);
    if (block == current) g_opListState.currentPage = w.page();
  }
}

// Moves the cursor of the page shown to the item of a block: true when it is there.
bool cursorOnBlock(uint16_t block) {
  OpMenuState& m = g_opMenu;
  const int n = OP_MenuItemCount();
  for (int i = 0; i < n; ++i) {
    const OpMenuItem& item = m.header->items[i];
    if ((item.flags & OP_MENU_BLOCK) && item.sub == block) {
      m.cursor = &item;
      m.index = static_cast<uint16_t>(i);
      m.cursorMoved = 1;
      return true;
    }
  }
  return false;
}

void clearItemRows() {
  for (OpTextRow& r : g_opMenuRows.items) r = OpTextRow{};
}

// A service list one level deeper.
template <size_t N>
int showServiceList(RuntimeMenu<N>& menu, uint16_t pageId, uint16_t title,
                    std::initializer_list<OpMenuItem> items) {
  MenuBuilder b(menu, pageId, title);
  for (const OpMenuItem& item : items) b.add(item);
  return openMenu(b.finish(), pageId);
}

// A value list: its rows from the runtime, the page id and title in its header, one level
// deeper; the title row is already drawn.
int showValueList(int32_t cls, uint16_t block, uint16_t pageId, uint16_t title) {
  clearItemRows();
  OP_ShowTextScreen(7, 0);
  int16_t status = 0;
  FB_ReadValuesByClass(cls, block, &status);
  if (status != 1) {
    // The block is gone: the menu it was chosen from is drawn again.
    g_opMenu.buildStep = OP_STEP_TITLE;
    return 0;
  }
  OpMenuHeader& h = g_fbValueLists.header;
  h.value = pageId;
  h.textId = title;
  g_opPage.pageId = pageId;
  OP_MenuPush();
  OP_MenuShow(&h);
  g_opMenu.buildStep = OP_STEP_LIST;
  return 1;
}

// Opens the value list of the cursor item's block: its title row, then the builder.
int openValueList(uint16_t pageId, uint16_t kindText, OpPageProc builder) {
  const OpMenuItem* item = g_opMenu.cursor;
  if (!item) return 0;
  g_opPage.pageId = pageId;
  g_opPage.currentBlock = item->sub;
  char title[OP_ROW_CHARS];
  std::snprintf(title, sizeof title, "%03d: %-6.6s %s", item->sub, FW_GetText(item->textId),
                FW_GetText(kindText));
  OP_SetPageTitle(&g_opMenuRows.title, title);
  OP_ShowTextScreen(7, 1);
  OP_RequestPageAction(builder);
  return 1;
}

}  // namespace

// --- Block lists --------------------------------------------------------------------------------

bool OP_MakeListRecord(uint16_t block, OpMenuItem* record, OpMenuHandler handler) {
  const uint16_t* inst = FB_GetInstance(block);
  const OpBlockPageData* rec = pageRecord(block);
  if (!inst || !record || (rec && rec->hide)) return false;
  fillRecord(block, inst[FB_HDR_TYPE], handler ? handler : OP_OpenListedBlock, record);
  return true;
}

int OP_BuildBlockList() {
  const OpMenuItem* cursor = g_opMenu.cursor;
  const uint16_t kind = cursor ? cursor->sub : 0;
  OpListState& L = g_opListState;
  L.currentPage = 0;
  L.itemsListed = 0;
  L.detectorCount = 0;
  L.detectorRead = 0;
  clearItemRows();
  OP_ShowTextScreen(7, 0);

  ListWriter w(kind, listTitle(kind));
  switch (kind) {
    case OP_PAGE_OPERATING:
      scan(w, kind, 100, 1949);
      // The six alarm blocks come last.
      scan(w, kind, 41, 46);
      break;
    case OP_PAGE_CALIBRATION:
      scan(w, kind, 61, FB_MAX_BLOCK);
      break;
    default:
      if (isListKind(kind)) scan(w, kind, 1, FB_MAX_BLOCK);
      break;
  }
  L.itemsListed = w.listed();
  w.finish(kind == OP_PAGE_OPERATING && noEngineering() ? FW_TXT_EMPTY : FW_TXT_END);
  L.detector[L.detectorCount] = OpChangeEntry{nullptr, 0, 0};

  g_opPage.pageId = kind;
  OP_MenuPush();
  OpListPages& pages = g_opListPages;
  if (L.currentPage >= pages.count) L.currentPage = 0;
  pages.index = L.currentPage;
  OP_MenuShow(pages.pages[pages.index]);
  const uint16_t current = g_opPage.currentBlock;
  if (kind == OP_PAGE_CALIBRATION) return 0;
  if (current && cursorOnBlock(current)) return current;
  pages.index = 0;
  OP_MenuShow(pages.pages[0]);
  return 0;
}

int OP_ShowOperatingPages() {
  // The cursor on the main menu's operating-pages item.
  if (OP_MenuItemCount() == 0 || g_opMenu.header != OP_MainMenu()) OP_MenuShow(OP_MainMenu());
  for (int i = 0; i < OP_MenuItemCount(); ++i) {
    const OpMenuItem* item = OP_MenuItemAt(i);
    if (item->sub == OP_PAGE_OPERATING) {
      g_opMenu.cursor = item;
      g_opMenu.index = static_cast<uint16_t>(i);
      break;
    }
  }
  OpJumpRecord& j = g_opJump;
  j.flags = 0;
  j.returnB = j.targetB = 0;
  j.pendingReturn = 0;
  g_opPage.currentBlock = 0;
  OP_BuildBlockList();
  if (g_opListState.itemsListed == 0) {
    OP_PageEnter(1);
    return 0;
  }
  return OP_OpenListedBlock();
}

int OP_OpenListedBlock() {
  const OpMenuItem* item = g_opMenu.cursor;
  if (!item) return 0;
  const uint16_t block = item->sub;
  OpPageManager& pm = g_opPage;
  pm.currentBlock = block;
  const OpBlockPageData* rec = pageRecord(block);
  if (rec && rec->type == FB_TYPE_VPARA) {
    // The parameter page of a VPARA block is a value list of the menu page.
    pm.current = OP_MenuPageProc;
    pm.pageId = OP_PAGE_PUBLISH;
    char* tag = nullptr;
    const int n = FB_GetTextParamPtr(block, 1, &tag) && tag ? int{FB_TEXT_LEN} : 0;
    char title[OP_ROW_CHARS];
    std::snprintf(title, sizeof title, "%.*s", n, n ? tag : "");
    OP_SetPageTitle(&g_opMenuRows.title, title);
    g_opListState.rotateCounter = 0;
    OP_ShowTextScreen(7, 1);
    OP_RequestPageAction(OP_BuildVparaList);
    return 1;
  }
  if (rec && rec->type == OP_TYPE_USER_PAGE) OP_LinkOpenBlockView(block);
  pm.pageId = OP_PAGE_BLOCK;
  g_opMenu.buildStep = OP_STEP_TITLE;
  return OP_SelectBlockPage(block);
}

int OP_OpenCalibrationBlock() {
  const OpMenuItem* item = g_opMenu.cursor;
  if (!item) return 0;
  g_opPage.pageId = OP_PAGE_CALIBRATION_BLOCK;
  g_opMenu.buildStep = OP_STEP_TITLE;
  g_opPage.currentBlock = item->sub;
  return OP_SelectBlockPage(item->sub);
}

int OP_OpenParamList() { return openValueList(OP_PAGE_PARAM_LIST, FW_TXT_KIND_PARAMS, OP_BuildParamList); }
int OP_OpenSignalList() { return openValueList(OP_PAGE_SIGNAL_LIST, FW_TXT_KIND_IO, OP_BuildSignalList); }
int OP_OpenConfigList() { return openValueList(OP_PAGE_CONFIG_LIST, FW_TXT_KIND_CONFIG, OP_BuildConfigList); }

// --- Value lists --------------------------------------------------------------------------------

int OP_BuildDeviceDataList() {
  // The Ethernet line of the device data opens the Ethernet page.
  g_fbEthernetPage = OP_OpenEthernetPage;
  return showValueList(2, 0, OP_PAGE_DEVICE_DATA, FW_TXT_DEVICE_DATA);
}
int OP_BuildParamList() { return showValueList(1, g_opPage.currentBlock, OP_PAGE_PARAM_LIST, 0); }
int OP_BuildSignalList() { return showValueList(0, g_opPage.currentBlock, OP_PAGE_SIGNAL_LIST, 0); }
int OP_BuildConfigList() { return showValueList(2, g_opPage.currentBlock, OP_PAGE_CONFIG_LIST, 0); }
int OP_BuildVparaList() { return showValueList(3, g_opPage.currentBlock, OP_PAGE_PUBLISH, 0); }

// --- Menus --------------------------------------------------------------------------------------

const OpMenuHeader* OP_BuildSettingsMenu() {
  static RuntimeMenu<8> menu;
  const OpMenuHeader& src = g_opSettingsMenu;
  const uint8_t comm = OP_LinkCommOption();
  MenuBuilder b(menu, src.value, src.textId);
  for (uint16_t i = 0; i < src.capacity; ++i) {
    const OpMenuItem& item = src.items[i];
    const bool last = (item.flags & OP_MENU_LAST) != 0;
    bool keep = true;
    switch (item.sub) {
      case OP_PAGE_PROFIBUS: keep = comm == '3'; break;
      case OP_PAGE_STATUS_CAN: keep = comm > '0'; break;
      case OP_PAGE_PROFINET: keep = comm == '4'; break;
      default: break;
    }
    if (keep) b.add(item);
    if (last) break;
  }
  return b.finish();
}

const OpMenuHeader* OP_MainMenu() { return noEngineering() ? OP_BuildSettingsMenu() : &g_opMainMenu; }

int OP_ShowSdEngineering() {
  static RuntimeMenu<2> menu;
  if (g_fwRunMode == FW_RUN_MODE_STOP) {
    return showServiceList(menu, OP_PAGE_SD_ENGINEERING, FW_TXT_SD_ENGINEERING,
                           {handlerItem(1, FW_TXT_LOAD_ENGINEERING, OP_ShowSdFileList),
                            handlerItem(2, FW_TXT_SAVE_ENGINEERING, OP_MenuConfirm)});
  }
  return showServiceList(menu, OP_PAGE_SD_ENGINEERING, FW_TXT_SD_ENGINEERING,
                         {handlerItem(1, FW_TXT_SAVE_ENGINEERING, OP_MenuConfirm)});
}

int OP_ShowUsbLogo() {
  static RuntimeMenu<2> menu;
  if (g_fwRunMode == FW_RUN_MODE_STOP) {
    return showServiceList(menu, OP_PAGE_USB_LOGO, FW_TXT_USB_LOGO,
                           {handlerItem(1, FW_TXT_LOAD_START_LOGO, OP_MenuConfirm),
                            handlerItem(2, FW_TXT_LOAD_CUSTOM_LOGO, OP_MenuConfirm)});
  }
  return showServiceList(menu, OP_PAGE_USB_LOGO, FW_TXT_USB_LOGO,
                         {handlerItem(1, FW_TXT_LOAD_CUSTOM_LOGO, OP_MenuConfirm)});
}

int OP_ShowUsbUpdate() {
  static RuntimeMenu<2> menu;
  return showServiceList(menu, OP_PAGE_USB_UPDATE, FW_TXT_USB_UPDATE,
                         {inertItem(1, FW_TXT_ARE_YOU_SURE), handlerItem(2, FW_TXT_YES, OP_MenuConfirm)});
}

int OP_ShowSdFileList() {
  static RuntimeMenu<1> menu;
  // The SD-card service fills the table anew.
  std::memset(OP_LinkSdFiles(), 0, sizeof(OpSdFile) * OP_SD_FILES);
  return showServiceList(menu, OP_PAGE_SD_FILES, FW_TXT_LOAD_ENGINEERING, {inertItem(1, FW_TXT_NO_FILES)});
}

int OP_ShowCanResetList() {
  static RuntimeMenu<COM_CAN_NODES> menu;
  const ComCanNodeTable& table = OP_LinkCanNodeTable();
  MenuBuilder b(menu, OP_PAGE_CAN_RESET_LIST, FW_TXT_CAN_NODE_RESET);
  for (uint16_t node = 2; node <= COM_CAN_NODES; ++node) {
    const uint8_t state = table.nodes[node].state;
    if (state >= 6 && state <= 9) b.add(subItem(node, FW_TXT_CAN_RESET, &g_opCanResetMenu));
  }
  if (b.count() == 0) b.add(inertItem(1, FW_TXT_NO_DEVICE));
  return openMenu(b.finish(), OP_PAGE_CAN_RESET_LIST);
}

// --- Page enter ---------------------------------------------------------------------------------

void OP_PageEnter(int mode) {
  OpMenuPageState& mp = g_opMenuPage;
  if (mp.editing) {
    OP_EditAbort();
    mp.editing = 0;
  }
  OpPageManager& pm = g_opPage;
  pm.pageId = OP_PAGE_MAIN_MENU;
  g_opMenu.depth = 0;
  mp.lastOperatingState = OP_LinkOperatingState();
  mp.rebuildCountdown = 0;
  mp.rebuildNeeded = 0;
  mp.parked = 0;
  if (mode == 0) {
    OpJumpRecord& j = g_opJump;
    j.flags = 0;
    j.returnA = j.targetA = j.returnB = j.targetB = 0;
    pm.jumpPending = 0;
  }
  g_opBlockPage.reselect = g_opBlockPage.leave = 0;
  if (online()) mp.lastNoEngineering = noEngineering() ? 1 : 0;
  OpListState& L = g_opListState;
  L.detectorCount = L.detectorRead = 0;
  L.detector[0] = OpChangeEntry{nullptr, 0, 0};
  OP_MenuShow(OP_MainMenu());
  if (mode != 1 || OP_MenuItemCount() == 0) return;
  g_opMenu.cursor = OP_MenuItemAt(0);
  g_opMenu.index = 0;
  // The first item of the main menu is the operating-pages list in normal operation.
  if (isListKind(g_opMenu.cursor->sub)) OP_BuildBlockList();
}

void OP_MenuReset() {
  OP_MenuPageReset();
  OP_PageEnter(0);
  g_opMenuPage.lastNoEngineering = 0;
  g_opListState.rotateCounter = 0;
  g_opListState.rotateIndex = 0;
  g_opJump.pendingReturn = 0;
}

// --- Rotating title ----------------------------------------------------------------------------

void OP_RotateTitleText() {
  const auto* rec = static_cast<const OpInfoPageRecord*>(g_fbStore.list[OP_INFO_BLOCK].pageData);
  if (!rec || rec->header.type != OP_TYPE_INFO) return;
  OpListState& L = g_opListState;
  if (++L.rotateCounter < kRotateEvery) return;
  L.rotateCounter = 0;
  OpTextRow* row = g_opPageTitle.row;
  if (!row) return;
  int next = 0;
  if (rec->header.hide == 0) {
    for (int i = L.rotateIndex + 1; i <= OP_INFO_TEXTS && !next; ++i) {
      if (rec->shown[i - 1]) next = i;
    }
  }
  if (next) {
    std::snprintf(row->text, OP_ROW_CHARS, "%c%c%c%c %.*s", kRotateMark, kRotateMark, kRotateMark,
                  kRotateMark, int{FB_TEXT_LEN}, rec->texts[next - 1]);
  } else {
    std::snprintf(row->text, OP_ROW_CHARS, "%.*s", OP_ROW_CHARS - 1, g_opPageTitle.text);
  }
  L.rotateIndex = static_cast<uint8_t>(next);
  row->changed = 1;
}
