#include "opui/op_menu.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <span>

#include "gui/draw/GUI_Font.h"
#include "gui/widgets/WIDGET.h"
#include "opui/op_dialogs.h"
#include "opui/op_editor.h"
#include "opui/op_input.h"
#include "opui/op_keys.h"
#include "opui/op_links.h"
#include "opui/op_menu_build.h"
#include "opui/op_pages_prog.h"
#include "opui/op_services.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"

OpMenuState g_opMenu;
OpListPages g_opListPages;
OpServiceRequests g_opServiceRequests;
OpPageTitle g_opPageTitle;

using namespace opmenu;

namespace {

constexpr uint8_t kEngineeringEditBit = 0x02; // bit 1: the engineering may be changed offline
constexpr int16_t kOnlineDatum = 500;         // system datum of the online/offline request
constexpr uint8_t kSlotFailed = OP_SLOT_FAILED;
constexpr uint8_t kStartLogoUse = 0x04, kStartLogoBits = 0x0F;
constexpr uint8_t kCustomLogoUse = 0x40, kCustomLogoBits = 0xF0;

uint8_t& pictureFlags() { return OP_LinkImage()[FW_IMG_PICTURE_FLAGS]; }
void queuePictureFlags() { FW_QueueEepromWrite(&pictureFlags(), FW_IMG_PICTURE_FLAGS, 1); }

uint8_t g_postResult;
uint8_t postOnlineState(uint16_t state) {
  const uint8_t data[2] = {static_cast<uint8_t>(state & 0xFF), static_cast<uint8_t>(state >> 8)};
  return FW_PostDeferredCall(0, kOnlineDatum, data, sizeof data, FW_WriteSystemData, &g_postResult);
}

}  // namespace

// --- The constant tree ------------------------------------------------------------------------

namespace {

const OpMenuItem kMainItems[] = {
    handlerItem(OP_PAGE_OPERATING, FW_TXT_OPERATING_PAGES, OP_MenuOpenList),
    handlerItem(OP_PAGE_PARAMETER, FW_TXT_PARAMETER, OP_MenuOpenList),
    handlerItem(OP_PAGE_SIGNALS, FW_TXT_SIGNALS, OP_MenuOpenList),
    handlerItem(OP_PAGE_CONFIGURATION, FW_TXT_CONFIGURATION, OP_MenuOpenList),
    handlerItem(0, FW_TXT_DEVICE_SETTINGS, OP_MenuDeviceSettings, OP_MENU_LAST),
};

const OpMenuItem kDeviceSettingsItems[] = {
    handlerItem(OP_PAGE_DATE_TIME, FW_TXT_DATE_TIME, OP_MenuDateTime),
    handlerItem(OP_PAGE_DEVICE_DATA, FW_TXT_DEVICE_DATA, OP_MenuDeviceData),
    subItem(OP_PAGE_ONLINE, FW_TXT_ONLINE_OFFLINE, &g_opOnlineMenu),
    handlerItem(OP_PAGE_CALIBRATION, FW_TXT_CALIBRATION, OP_MenuOpenList),
    subItem(OP_PAGE_INFO, FW_TXT_INFO, &g_opInfoMenu),
    handlerItem(OP_PAGE_STATUS_IO, FW_TXT_STATUS_IO, OP_MenuStatusIo),
    handlerItem(OP_PAGE_STATUS_CAN, FW_TXT_STATUS_CAN, OP_MenuStatusCan),
    handlerItem(OP_PAGE_PROFINET, FW_TXT_STATUS_PROFINET, OP_MenuStatusProfinet),
    subItem(OP_PAGE_PROFIBUS, FW_TXT_STATUS_PROFIBUS, &g_opProfibusMenu),
    handlerItem(OP_PAGE_LOGO, FW_TXT_LOGO, OP_MenuLogo),
    handlerItem(OP_PAGE_SD, FW_TXT_SD_MENU, OP_MenuSd),
    handlerItem(OP_PAGE_USB, FW_TXT_USB_MENU, OP_MenuUsb, OP_MENU_LAST),
};

const OpMenuItem kSettingsItems[] = {
    subItem(OP_PAGE_INFO, FW_TXT_INFO, &g_opInfoMenu),
    handlerItem(OP_PAGE_DATE_TIME, FW_TXT_DATE_TIME, OP_MenuDateTime),
    handlerItem(OP_PAGE_STATUS_IO, FW_TXT_STATUS_IO, OP_MenuStatusIo),
    handlerItem(OP_PAGE_STATUS_CAN, FW_TXT_STATUS_CAN, OP_MenuStatusCan),
    subItem(OP_PAGE_PROFIBUS, FW_TXT_STATUS_PROFIBUS, &g_opProfibusMenu),
    handlerItem(OP_PAGE_PROFINET, FW_TXT_STATUS_PROFINET, OP_MenuStatusProfinet),
    handlerItem(OP_PAGE_OPERATING, FW_TXT_END, OP_MenuOpenList, OP_MENU_LAST),
};

const OpMenuItem kOnlineItems[] = {
    handlerItem(0, FW_TXT_OFFLINE, OP_MenuOnlineOffline),
    handlerItem(1, FW_TXT_ONLINE_APPLY, OP_MenuOnlineOffline),
    handlerItem(2, FW_TXT_ONLINE_REJECT, OP_MenuOnlineOffline, OP_MENU_LAST),
};

const OpMenuItem kInfoItems[] = {
    inertItem(1, FW_TXT_INFO_DEVICE),     inertItem(2, FW_TXT_INFO_VERSION),
    inertItem(3, FW_TXT_INFO_DATE),       inertItem(4, FW_TXT_EMPTY),
    inertItem(5, FW_TXT_INFO_PROJECT),    inertItem(6, FW_TXT_INFO_OP_VERSION),
    inertItem(7, FW_TXT_EMPTY),           subItem(8, FW_TXT_MORE, &g_opInfo2Menu, OP_MENU_LAST),
};

const OpMenuItem kInfo2Items[] = {
    inertItem(1, FW_TXT_INFO_HW_ACT), inertItem(2, FW_TXT_INFO_HW_ORG),
    inertItem(3, FW_TXT_INFO_SERIAL), inertItem(4, FW_TXT_EMPTY),
    inertItem(5, FW_TXT_INFO_CPU),    inertItem(6, FW_TXT_INFO_SW_FW),
    inertItem(7, FW_TXT_INFO_SW_EE),  inertItem(8, FW_TXT_INFO_EE_VERSION, OP_MENU_LAST),
};

const OpMenuItem kProfibusItems[] = {
    inertItem(1, FW_TXT_BUS_ACCESS),
    inertItem(2, FW_TXT_PB_PARAMETER),
    inertItem(3, FW_TXT_PB_CONFIG),
    inertItem(4, FW_TXT_PB_DATA, OP_MENU_LAST),
};

const OpMenuItem kCanResetItems[] = {
    inertItem(1, FW_TXT_ARE_YOU_SURE),
    handlerItem(2, FW_TXT_YES, OP_MenuConfirm, OP_MENU_LAST),
};

}  // namespace

constinit const OpMenuHeader g_opMainMenu = menuHeader(OP_PAGE_MAIN_MENU, FW_TXT_MAIN_MENU, kMainItems);
constinit const OpMenuHeader g_opDeviceSettingsMenu =
    menuHeader(OP_PAGE_DEVICE_SETTINGS, FW_TXT_DEVICE_SETTINGS, kDeviceSettingsItems);
constinit const OpMenuHeader g_opSettingsMenu =
    menuHeader(OP_PAGE_MAIN_MENU, FW_TXT_SETTINGS, kSettingsItems);
constinit const OpMenuHeader g_opOnlineMenu = menuHeader(OP_PAGE_ONLINE, FW_TXT_ONLINE_OFFLINE, kOnlineItems);
constinit const OpMenuHeader g_opInfoMenu = menuHeader(OP_PAGE_INFO, FW_TXT_INFO, kInfoItems);
constinit const OpMenuHeader g_opInfo2Menu = menuHeader(OP_PAGE_INFO2, FW_TXT_INFO, kInfo2Items);
constinit const OpMenuHeader g_opProfibusMenu =
    menuHeader(OP_PAGE_PROFIBUS, FW_TXT_STATUS_PROFIBUS, kProfibusItems);
constinit const OpMenuHeader g_opCanResetMenu =
    menuHeader(OP_PAGE_CAN_RESET, FW_TXT_CAN_NODE_RESET, kCanResetItems);
constinit const OpMenuItem g_opMenuPrevPageItem = handlerItem(0, FW_TXT_PREV_PAGE, OP_MenuPrevPage);
constinit const OpMenuItem g_opMenuNextPageItem = handlerItem(0, FW_TXT_NEXT_PAGE, OP_MenuNextPage);

// --- Menu state ---------------------------------------------------------------------------------

const OpMenuItem* OP_MenuShow(const OpMenuHeader* header) {
  if (!header || !header->items || header->capacity == 0) return nullptr;
  OpMenuState& m = g_opMenu;
  const OpMenuItem* first = header->items;
  uint16_t lastIndex = static_cast<uint16_t>(header->capacity - 1);
  for (uint16_t i = 0; i < header->capacity; ++i) {
    if (first[i].flags & OP_MENU_LAST) {
      lastIndex = i;
      break;
    }
  }
  m.header = header;
  m.last = first + lastIndex;
  m.pageId = header->value;
  const bool startAtLast = header->value == OP_PAGE_INFO || header->value == OP_PAGE_PROFIBUS ||
                           (header->value == OP_PAGE_MAIN_MENU && noEngineering());
  m.index = startAtLast ? lastIndex : 0;
  m.cursor = first + m.index;
  m.cursorMoved = 1;
  m.buildStep = 0;
  return m.cursor;
}

int OP_MenuPush() {
  OpMenuState& m = g_opMenu;
  if (m.depth >= OP_MENU_DEPTH) return 0;
  m.stack[m.depth++] = OpMenuLevel{m.cursor, m.header, m.last, m.index};
  m.fromPage20 = g_opPage.pageId == OP_PAGE_PUBLISH ? 1 : 0;
  return 1;
}

int OP_MenuPop() {
  OpMenuState& m = g_opMenu;
  if (m.depth == 0) return 0;
  const OpMenuLevel& l = m.stack[--m.depth];
  m.cursor = l.cursor;
  m.header = l.header;
  m.last = l.last;
  m.index = l.index;
  m.pageId = l.header ? l.header->value : 0;
  m.cursorMoved = 1;
  return 1;
}

int OP_MenuItemCount() {
  const OpMenuState& m = g_opMenu;
  return m.header && m.last ? static_cast<int>(m.last - m.header->items) + 1 : 0;
}

const OpMenuItem* OP_MenuItemAt(int index) {
  const int n = OP_MenuItemCount();
  if (n == 0) return nullptr;
  return g_opMenu.header->items + (index < 0 ? 0 : index >= n ? n - 1 : index);
}

void OP_MenuResetState() { g_opMenu = OpMenuState{}; }

void OP_SetPageTitle(OpTextRow* row, const char* text) {
  if (!text) text = "";
  if (row) {
    std::snprintf(row->text, OP_ROW_CHARS, "%s", text);
    row->changed = 1;
  }
  g_opPageTitle.row = row;
  std::snprintf(g_opPageTitle.text, sizeof g_opPageTitle.text, "%s", text);
}

// --- Handlers -----------------------------------------------------------------------------------

int OP_MenuOpenList() {
  const OpMenuItem* item = g_opMenu.cursor;
  if (!item) return 0;
  const uint16_t id = item->sub;
  const uint16_t state = OP_LinkOperatingState();
  const bool online = state == kOnline;
  const bool locked = OP_LinkEngineeringLocked();
  const bool transfer = OP_LinkConfigTransfer();
  const bool editable = online || (state == kOffline && (OP_LinkEngineeringState() & kEngineeringEditBit));
  bool accepted = true;
  uint16_t title = 0;
  switch (id) {
    case OP_PAGE_OPERATING:
      accepted = online;
      title = FW_TXT_LIST_PAGES;
      break;
    case OP_PAGE_CALIBRATION:
      accepted = online;
      title = FW_TXT_LIST_CALIBRATION;
      break;
    case OP_PAGE_PARAMETER:
      accepted = !locked && !transfer && editable;
      title = FW_TXT_LIST_PARAMS;
      break;
    case OP_PAGE_CONFIGURATION:
      accepted = !locked && !transfer && !OP_LinkLoadRunning() && editable;
      title = FW_TXT_LIST_CONFIG;
      break;
    case OP_PAGE_SIGNALS:
      accepted = online && !locked && !transfer;
      title = FW_TXT_LIST_SIGNALS;
      break;
    default:
      break;
  }
  if (!accepted) return 0;
  g_opPage.pageId = id;
  if (title) {
    OP_SetPageTitle(&g_opMenuRows.title, FW_GetText(title));
    OP_ShowTextScreen(7, 1);
  }
  OP_RequestPageAction(OP_BuildBlockList);
  return 1;
}

const OpMenuHeader* OP_BuildDeviceSettingsMenu() {
  static RuntimeMenu<std::size(kDeviceSettingsItems)> menu;
  const uint8_t comm = OP_LinkCommOption();
  const bool logo = (OP_LinkStartLogoPresent() || OP_LinkCustomLogoPresent()) && !OP_LinkPictureLock();
  MenuBuilder b(menu, OP_PAGE_DEVICE_SETTINGS, g_opDeviceSettingsMenu.textId);
  for (const OpMenuItem& item : kDeviceSettingsItems) {
    switch (item.sub) {
      case OP_PAGE_PROFIBUS: if (comm != '3') continue; break;
      case OP_PAGE_STATUS_CAN: if (comm < '1') continue; break;
      case OP_PAGE_PROFINET: if (comm != '4') continue; break;
      case OP_PAGE_LOGO: if (!logo) continue; break;
      case OP_PAGE_SD: if (!OP_LinkSdCardPresent()) continue; break;
      case OP_PAGE_USB: if (!OP_LinkUsbStickPresent()) continue; break;
      default: break;
    }
    b.add(item);
  }
  return b.finish();
}

int OP_MenuDeviceSettings() { return openMenu(OP_BuildDeviceSettingsMenu(), OP_PAGE_DEVICE_SETTINGS); }

int OP_MenuStatusIo() {
  static RuntimeMenu<4> menu;
  static constexpr uint16_t kSlotTexts[4] = {FW_TXT_SLOT_A, FW_TXT_SLOT_B, FW_TXT_SLOT_C, FW_TXT_SLOT_P};
  MenuBuilder b(menu, OP_PAGE_STATUS_IO, FW_TXT_STATUS_IO);
  for (uint16_t slot = 0; slot < 4; ++slot) {
    const uint8_t module = OP_LinkSlotModule(slot);
    const uint16_t id = static_cast<uint16_t>(slot + 1);
    if (module == 0 || module == kSlotFailed) {
      b.add(inertItem(id, kSlotTexts[slot]));
    } else {
      b.add(handlerItem(id, kSlotTexts[slot], OP_BuildSlotPage));
    }
  }
  return openMenu(b.finish(), OP_PAGE_STATUS_IO);
}

int OP_MenuStatusCan() {
  static RuntimeMenu<COM_CAN_NODES + 1> menu;
  MenuBuilder b(menu, OP_PAGE_STATUS_CAN, FW_TXT_STATUS_CAN);
  for (uint16_t node = 1; node <= COM_CAN_NODES; ++node) b.add(inertItem(node, FW_TXT_ITS_ME));
  if (!OP_LinkEngineeringLocked() && !OP_LinkServiceState()) {
    b.add(handlerItem(COM_CAN_NODES + 1, FW_TXT_NODE_RESET, OP_ShowCanResetList));
  }
  return openMenu(b.finish(), OP_PAGE_STATUS_CAN);
}

int OP_MenuStatusProfinet() {
  static RuntimeMenu<1> menu;
  MenuBuilder b(menu, OP_PAGE_PROFINET, FW_TXT_STATUS_PROFINET);
  b.add(inertItem(1, FW_TXT_STATUS));
  return openMenu(b.finish(), OP_PAGE_PROFINET);
}

int OP_MenuLogo() {
  static RuntimeMenu<6> menu;
  MenuBuilder b(menu, OP_PAGE_LOGO, FW_TXT_LOGO);
  if (OP_LinkStartLogoPresent()) {
    b.add(handlerItem(1, FW_TXT_USE_DEF_START_LOGO, OP_MenuConfirm));
    b.add(handlerItem(2, FW_TXT_USE_NEW_START_LOGO, OP_MenuConfirm));
    b.add(handlerItem(3, FW_TXT_DELETE_START_LOGO, OP_MenuConfirm));
  }
  if (OP_LinkCustomLogoPresent()) {
    b.add(handlerItem(4, FW_TXT_USE_DEF_CUSTOM_LOGO, OP_MenuConfirm));
    b.add(handlerItem(5, FW_TXT_USE_NEW_CUSTOM_LOGO, OP_MenuConfirm));
    b.add(handlerItem(6, FW_TXT_DELETE_CUSTOM_LOGO, OP_MenuConfirm));
  }
  return openMenu(b.finish(), OP_PAGE_LOGO);
}

int OP_MenuSd() {
  static RuntimeMenu<1> menu;
  MenuBuilder b(menu, OP_PAGE_SD, FW_TXT_SD_MENU);
  b.add(handlerItem(1, FW_TXT_SD_ENGINEERING, OP_ShowSdEngineering));
  return openMenu(b.finish(), OP_PAGE_SD);
}

int OP_MenuUsb() {
  static RuntimeMenu<3> menu;
  MenuBuilder b(menu, OP_PAGE_USB, FW_TXT_USB_MENU);
  if (OP_LinkUsbLogoFile()) b.add(handlerItem(1, FW_TXT_USB_LOGO, OP_ShowUsbLogo));
  if (OP_LinkUsbUpdateFile()) b.add(handlerItem(2, FW_TXT_USB_UPDATE, OP_ShowUsbUpdate));
  b.add(handlerItem(3, FW_TXT_DISCONNECT, OP_MenuConfirm));
  return openMenu(b.finish(), OP_PAGE_USB);
}

namespace {

// Whether a service item belongs to the USB stick: the nearest SD or USB menu of the way
// back (the current menu first) decides; the SD card without one.
bool onUsbStick() {
  const OpMenuState& m = g_opMenu;
  if (m.header && (m.header->value == OP_PAGE_USB || m.header->value == OP_PAGE_SD)) {
    return m.header->value == OP_PAGE_USB;
  }
  for (int i = m.depth - 1; i >= 0; --i) {
    const OpMenuHeader* h = m.stack[i].header;
    if (h && (h->value == OP_PAGE_USB || h->value == OP_PAGE_SD)) return h->value == OP_PAGE_USB;
  }
  return false;
}

// The progress menu of a confirmed item: titled with its text, one item that the progress
// row shows the request's state in (its id: the request + 1, 0 for none).
int showProgress(uint16_t title, int request) {
  static RuntimeMenu<1> menu;
  MenuBuilder b(menu, OP_PAGE_PROGRESS, title);
  b.add(inertItem(static_cast<uint16_t>(request + 1), FW_TXT_IN_PROGRESS));
  return openMenu(b.finish(), OP_PAGE_PROGRESS);
}

}  // namespace

int OP_MenuConfirm() {
  OpMenuState& m = g_opMenu;
  const OpMenuItem* item = m.cursor;
  if (!item) return 0;
  const OpMenuItem* parent = m.depth > 0 ? m.stack[m.depth - 1].cursor : nullptr;
  const bool usb = onUsbStick();
  uint8_t& flags = pictureFlags();
  int request = -1;
  bool queue = false, topBar = false;
  switch (item->textId) {
    case FW_TXT_DISCONNECT: request = usb ? OP_REQ_USB_EJECT : OP_REQ_SD_EJECT; break;
    case FW_TXT_SAVE_ENGINEERING: request = usb ? OP_REQ_USB_SAVE : OP_REQ_SD_SAVE; break;
    case FW_TXT_USE_DEF_START_LOGO: flags &= static_cast<uint8_t>(~kStartLogoUse); queue = true; break;
    case FW_TXT_USE_NEW_START_LOGO: flags |= kStartLogoUse; queue = true; break;
    // The deletion queues the byte itself.
    case FW_TXT_DELETE_START_LOGO:
      flags &= static_cast<uint8_t>(~kStartLogoBits);
      request = OP_REQ_DELETE_START_LOGO;
      break;
    case FW_TXT_USE_DEF_CUSTOM_LOGO:
      flags &= static_cast<uint8_t>(~kCustomLogoUse);
      queue = topBar = true;
      break;
    case FW_TXT_USE_NEW_CUSTOM_LOGO: flags |= kCustomLogoUse; queue = topBar = true; break;
    case FW_TXT_DELETE_CUSTOM_LOGO:
      flags &= static_cast<uint8_t>(~kCustomLogoBits);
      queue = topBar = true;
      request = OP_REQ_DELETE_CUSTOM_LOGO;
      break;
    case FW_TXT_LOAD_START_LOGO: request = OP_REQ_LOAD_START_LOGO; break;
    case FW_TXT_LOAD_CUSTOM_LOGO: request = OP_REQ_LOAD_CUSTOM_LOGO; break;
    default:
      if (!parent) break;
      if (parent->textId == FW_TXT_FORMAT) {
        request = usb ? OP_REQ_USB_FORMAT : OP_REQ_SD_FORMAT;
      } else if (parent->textId == FW_TXT_LOAD_ENGINEERING) {
        request = usb ? OP_REQ_USB_LOAD : OP_REQ_SD_LOAD;
        g_opServiceRequests.loadFile = item->sub;
      } else if (parent->textId == FW_TXT_CAN_RESET) {
        // The node of the list item the confirmation was opened from.
        OP_LinkBusSetAddress(parent->sub);
        OP_MenuPop();
      }
      break;
  }
  if (queue) queuePictureFlags();
  if (request >= 0) g_opServiceRequests.state[request] = 1;
  if (request == OP_REQ_DELETE_START_LOGO) OP_DeleteStartLogo();
  if (request == OP_REQ_DELETE_CUSTOM_LOGO) OP_DeleteCustomLogo();
  if (topBar) OP_ClearTopBar();
  return showProgress(m.cursor ? m.cursor->textId : 0, request);
}

void OP_DeleteStartLogo() {
  uint8_t& flags = pictureFlags();
  flags &= static_cast<uint8_t>(~kStartLogoBits);
  queuePictureFlags();
  g_opDisplay.userPictureFlag = 0;
  // The stored start picture is gone: its length is 0.
  OP_SetStartPicture(nullptr, 0);
  g_opDeviceState.startLogo = 0;
  g_opServiceRequests.state[OP_REQ_DELETE_START_LOGO] = OP_REQ_DONE;
}

void OP_DeleteCustomLogo() {
  // Only the custom logo's nibble: the start logo's state stays as it is.
  uint8_t& flags = pictureFlags();
  flags &= static_cast<uint8_t>(~kCustomLogoBits);
  g_opDisplay.userPictureFlag = 0;
  g_opDeviceState.customLogo = 0;
  g_opServiceRequests.state[OP_REQ_DELETE_CUSTOM_LOGO] = OP_REQ_DONE;
}

int OP_MenuOnlineOffline() {
  const OpMenuItem* item = g_opMenu.cursor;
  if (!item) return 0;
  uint16_t state;
  switch (item->sub) {
    case 0:
      if (OP_LinkEngineeringLocked() || OP_LinkConfigTransfer()) return 0;
      state = 1;
      break;
    case 1: state = 0; break;
    case 2: state = 2; break;
    default: return 0;
  }
  postOnlineState(state);
  OP_PageEnter(0);
  return 1;
}

int OP_RequestOffline() {
  postOnlineState(0);
  OP_PageEnter(0);
  return 1;
}

int OP_MenuDateTime() {
  static const FwShortLimit kLimits[5] = {
      {1970, 2069}, {1, 12}, {1, 31, nullptr, FW_LimitMaxDay}, {0, 23}, {0, 59},
  };
  static constexpr uint16_t kTexts[5] = {FW_TXT_YEAR, FW_TXT_MONTH, FW_TXT_DAY, FW_TXT_HOUR, FW_TXT_MINUTE};
  static FbValueEntry entries[5];
  static RuntimeMenu<5> menu;
  // The fields show the clock, or the values of a set that is still pending.
  if (!g_fwClock.setPending) FW_ClockEditFromClock();
  MenuBuilder b(menu, OP_PAGE_DATE_TIME, FW_TXT_DATE_TIME);
  for (uint16_t i = 0; i < 5; ++i) {
    entries[i] = FbValueEntry{FB_KIND_WORD, 0, &g_fwClock.edit[i], FW_SetClockField, &kLimits[i], 0, 0};
    b.add(valueItem(static_cast<uint16_t>(FW_CLOCK_YEAR + i), kTexts[i], &entries[i]));
  }
  return openMenu(b.finish(), OP_PAGE_DATE_TIME);
}

int OP_MenuDeviceData() {
  g_opPage.pageId = OP_PAGE_DEVICE_DATA;
  // The device data are the values of the system-data block.
  g_opPage.currentBlock = 0;
  OP_SetPageTitle(&g_opMenuRows.title, FW_GetText(FW_TXT_DEVICE_DATA));
  OP_ShowTextScreen(7, 1);
  OP_RequestPageAction(OP_BuildDeviceDataList);
  return 1;
}

int OP_MenuPrevPage() {
  OpListPages& l = g_opListPages;
  if (l.index == 0 || l.index >= l.count) return 0;
  --l.index;
  return OP_MenuShow(l.pages[l.index]) ? 1 : 0;
}

int OP_MenuNextPage() {
  OpListPages& l = g_opListPages;
  if (l.count > OP_LIST_PAGES || l.index + 1 >= l.count) return 0;
  ++l.index;
  return OP_MenuShow(l.pages[l.index]) ? 1 : 0;
}

bool OP_IsDisplayOnlyPage() {
  const uint16_t p = g_opPage.pageId;
  return p == OP_PAGE_PUBLISH || p == OP_PAGE_DATE_TIME || p == 1803 ||
         (p >= OP_PAGE_PROFIBUS && p <= OP_PAGE_PROFINET) || (p >= 2332 && p <= 2336) ||
         p == OP_PAGE_PROGRESS;
}

// --- Touch list ---------------------------------------------------------------------------------

namespace {

constexpr GUI_DIALOG_ITEM touchItem(GUI_CREATE_INDIRECT* create, int id, int x, int y, int w, int h) {
  return GUI_DIALOG_ITEM{create, "", int16_t(id), int16_t(x), int16_t(y), int16_t(w), int16_t(h), 0, 0, 0};
}
// Over the item rows of the menu screen, below the title line and above the soft-key marks
// in the last two rows (screen positions).
constexpr int kTouchListHeight = 240 - OP_TITLE_LINE_Y - 1 - 2;
const GUI_DIALOG_ITEM kTouchListItems[] = {
    touchItem(WINDOW_CreateIndirect, 2048, 0, OP_TITLE_LINE_Y + 1, 320, kTouchListHeight),
    touchItem(LISTBOX_CreateIndirect, OP_TOUCH_LIST_ID, 0, 0, 320, kTouchListHeight),
};

// The list in the screen's colours; the selected entry inverted.
void touchListColors(WM_HWIN box) {
  const GUI_COLOR bg = OP_ColorFromCode(OP_CC_SCREEN), fg = OP_ColorFromCode(OP_CC_FOREGROUND);
  LISTBOX_SetBkColor(box, LISTBOX_CI_UNSEL, bg);
  LISTBOX_SetTextColor(box, LISTBOX_CI_UNSEL, fg);
  for (unsigned i : {LISTBOX_CI_SEL, LISTBOX_CI_SELFOCUS}) {
    LISTBOX_SetBkColor(box, i, fg);
    LISTBOX_SetTextColor(box, i, bg);
  }
}

}  // namespace

WM_HWIN FW_OpenTouchDialog() {
  const WM_HWIN parent = OP_WinExists(g_opDisplay.body) ? g_opDisplay.body : 0;
  const int x0 = parent ? -WM_GetWindowOrgX(parent) : 0;
  const int y0 = parent ? -WM_GetWindowOrgY(parent) : 0;
  return GUI_CreateDialogBox(kTouchListItems, static_cast<int>(std::size(kTouchListItems)),
                             OP_TouchListProc, parent, x0, y0);
}

WM_HWIN OP_TouchListBox() {
  const WM_HWIN h = g_opTouchList;
  return h && WM_IsWindow(h) ? WM_GetDialogItem(h, OP_TOUCH_LIST_ID) : 0;
}

void OP_CloseTouchList() {
  const WM_HWIN h = g_opTouchList;
  g_opTouchList = 0;
  if (h && WM_IsWindow(h)) WM_DeleteWindow(h);
}

void OP_TouchListProc(WM_MESSAGE* msg) {
  switch (msg->MsgId) {
    case WM_MSG_INIT_DIALOG: {
      const WM_HWIN box = WM_GetDialogItem(msg->hWin, OP_TOUCH_LIST_ID);
      LISTBOX_SetFont(box, &GUI_FontProp22);
      LISTBOX_SetItemSpacing(box, OP_TOUCH_LIST_SPACING);
      touchListColors(box);
      return;
    }
    case WM_MSG_NOTIFY_PARENT:
      if (msg->Data.v == WM_NOTE_RELEASED && WM_GetId(msg->hWinSrc) == OP_TOUCH_LIST_ID) {
        const int sel = LISTBOX_GetSel(msg->hWinSrc);
        if (sel >= 0) {
          OP_TouchListSelect(sel);
          OP_EditTouchKey(sel);
        }
        return;
      }
      break;
    case WM_MSG_DELETE:
      if (g_opTouchList == msg->hWin) g_opTouchList = 0;
      return;
    default:
      break;
  }
  WM_DefaultProc(msg);
}

void OP_TouchListSelect(int index) {
  OpMenuState& m = g_opMenu;
  const int n = OP_MenuItemCount();
  if (n == 0) return;
  if (index < 0) index = 0;
  if (index >= n) index = n - 1;
  m.cursor = m.header->items + index;
  m.index = static_cast<uint16_t>(index);
  m.cursorMoved = 1;
  OP_KeyEnter();
}

void OP_ListSelectNone() {
  if (const WM_HWIN box = OP_TouchListBox()) LISTBOX_SetSel(box, -1);
}

void OP_ListSelectCurrent() {
  const WM_HWIN box = OP_TouchListBox();
  if (!box || OP_TouchWindowOpen()) return;
  LISTBOX_SetSel(box, OP_IsDisplayOnlyPage() || !g_opMenu.cursor ? -1 : g_opMenu.index);
}

void OP_FillTouchList(int index, int rows) {
  const WM_HWIN box = OP_TouchListBox();
  if (!box) return;
  const int count = OP_MenuItemCount();
  if (index < 0) index = 0;
  const int end = rows > 0 && index + rows < count ? index + rows : count;
  int have = LISTBOX_GetNumItems(box);
  for (int i = index; i < end; ++i) {
    const char* text = OP_BuildListRow(i);
    if (i < have) {
      LISTBOX_SetString(box, text, static_cast<unsigned>(i));
      continue;
    }
    for (; have < i; ++have) LISTBOX_AddString(box, "");
    LISTBOX_AddString(box, text);
    ++have;
  }
  // Filled to the end: entries of a longer menu shown before go.
  if (end == count) {
    while (have > count) LISTBOX_DeleteItem(box, static_cast<unsigned>(--have));
  }
}

void OP_TouchListColors() {
  if (const WM_HWIN box = OP_TouchListBox()) touchListColors(box);
}

// --- Overlays -------------------------------------------------------------------------------

void OP_CloseOverlays() {
  bool closed = OP_EditActive() || g_opOverlay.nesting != 0;
  OP_EditAbort();
  OP_ClearPageFlag();
  OP_CloseTouchDialogs();
  g_opOverlay.flag = 0;
  g_opOverlay.nesting = 0;
  if (g_opTouchList) {
    OP_CloseTouchList();
    closed = true;
  }
  // The menu screen is drawn anew, with its touch list.
  if (closed) {
    g_opMenu.buildStep = 0;
    OP_RequestTextScreen();
  }
}
