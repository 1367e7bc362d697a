// The rows of the menus and lists, and the info and status pages: the row builder with its
// formats (block items, value items, device identity, network addresses, bus states, the
// service progress), the Ethernet page with its address dialog, and the status pages of the
// I/O slots, which build their menus at run time and follow the slot's state.
//
// Every row is written with bounded formatting into its 27 bytes; stored texts (tags, host
// name, file names, project name) are printed with a precision and never read past their
// field.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "opui/op_dialogs.h"
#include "opui/op_editor.h"
#include "opui/op_format.h"
#include "opui/op_menu_build.h"
#include "opui/op_pages.h"
#include "runtime/fb_values.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_text.h"

using namespace opmenu;

OpInfoState g_opInfo;

namespace {

constexpr size_t kRow = OP_ROW_CHARS;
constexpr int kShortMenuItems = 8;       // a menu whose last index is below 8 is short
constexpr char kDegree = '\xB0';
constexpr uint8_t kMark = OP_CHAR_MARK;
constexpr char kSlotLetters[OP_SLOTS] = {'A', 'B', 'C', 'P'};
constexpr float kTenths = 10.0f;
constexpr int16_t kFloatTagMinSec = -31001, kFloatTagLarge = -31002, kFloatTagThird = -31003;
constexpr uint16_t kDigitalIdBit = 0x02, kOutputIdBit = 0x01;
constexpr uint16_t kMaxChoices = 100;

static_assert(FW_TXT_DHCP_ON == FW_TXT_DHCP_OFF + 1, "the DHCP choices follow each other");

// --- Module codes ---------------------------------------------------------------------------

struct ModuleCode {
  uint16_t code;
  uint16_t text;
};
constexpr ModuleCode kModuleCodes[] = {
    {0, FW_TXT_MODULE_NONE},     {1, FW_TXT_MODULE_UNI_INP},   {2, FW_TXT_MODULE_TC_INP},
    {3, FW_TXT_MODULE_TPS_INP},  {11, FW_TXT_MODULE_V_INP},    {19, FW_TXT_MODULE_I_INP},
    {12, FW_TXT_MODULE_R_INP},   {21, FW_TXT_MODULE_2DI},      {22, FW_TXT_MODULE_2DI_4DI},
    {23, FW_TXT_MODULE_4DI},     {31, FW_TXT_MODULE_UI_OUT},   {32, FW_TXT_MODULE_I_OUT},
    {33, FW_TXT_MODULE_U_OUT},   {34, FW_TXT_MODULE_PWM_OUT},  {41, FW_TXT_MODULE_4DO},
    {50, FW_TXT_MODULE_2DI_DO},  {43, FW_TXT_MODULE_RELAY},    {44, FW_TXT_MODULE_2REL},
    {45, FW_TXT_MODULE_SSR_OUT}, {46, FW_TXT_MODULE_NOT_USED},
};
static_assert(std::size(kModuleCodes) == 20);

// What the channel page shows of a module's channels.
enum class ChannelKind { None, Analog, Digital };
ChannelKind channelKind(uint16_t code) {
  switch (code) {
    case 1: case 2: case 3: case 11: case 12: case 19: case 31: case 32: case 33: case 34:
      return ChannelKind::Analog;
    case 21: case 22: case 23: case 41: case 43: case 44: case 45: case 50:
      return ChannelKind::Digital;
    default:
      return ChannelKind::None;
  }
}

// Module types of the slots: A and P take every type, B and C only their own cards.
constexpr uint16_t kSlotTypeTexts[] = {FW_TXT_SLOT_TYPE_1, FW_TXT_SLOT_TYPE_2, FW_TXT_SLOT_TYPE_3,
                                       FW_TXT_SLOT_TYPE_4, FW_TXT_SLOT_TYPE_5, FW_TXT_SLOT_TYPE_6};
const char* slotTypeText(int slot, uint8_t type) {
  const bool fits = (slot == 1 || slot == 2) ? (type == 2 || type == 3) : (type >= 1 && type <= 6);
  return FW_GetText(fits ? kSlotTypeTexts[type - 1] : FW_TXT_FAILED);
}

// The module text of a slot: "---" without a module, "Fehler" for a failed one.
bool slotFitted(const OpSlotRecord& s) { return s.moduleType != 0 && s.moduleType != OP_SLOT_FAILED; }
bool slotFailed(const OpSlotRecord& s) { return s.state < OP_SLOT_INIT || s.state > OP_SLOT_UNUSED; }
const char* slotModuleText(int slot, const OpSlotRecord& s) {
  if (s.moduleType == 0) return FW_GetText(FW_TXT_MODULE_NONE);
  if (s.moduleType == OP_SLOT_FAILED || slotFailed(s)) return FW_GetText(FW_TXT_FAILED);
  return slotTypeText(slot, s.moduleType);
}
const char* slotStateText(const OpSlotRecord& s) {
  switch (s.state) {
    case OP_SLOT_INIT: return FW_GetText(FW_TXT_SLOT_INIT);
    case OP_SLOT_CONFIG: return FW_GetText(FW_TXT_SLOT_CONFIG);
    case OP_SLOT_ONLINE: return FW_GetText(FW_TXT_SLOT_ONLINE);
    case OP_SLOT_UNUSED: return FW_GetText(FW_TXT_SLOT_UNUSED);
    default: return FW_GetText(FW_TXT_FAILED);
  }
}

const OpSlotRecord& shownSlot() { return OP_LinkSlot(g_opInfo.slot); }
const OpSlotGroup& shownGroup() { return shownSlot().groups[g_opInfo.group % OP_SLOT_GROUPS]; }

// --- Small helpers ---------------------------------------------------------------------------

// One row, cut at its 26 characters.
__attribute__((format(printf, 2, 3))) void rowf(char* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(out, kRow, format, args);
  va_end(args);
}

bool shortMenu() { return OP_MenuItemCount() - 1 < kShortMenuItems; }

const char* labelOf(const OpMenuItem& item) { return FW_GetText(item.textId); }

// A stored text of at most n characters as a NUL-terminated copy.
template <size_t N>
const char* bounded(const char* text, size_t n, char (&out)[N]) {
  size_t len = text ? strnlen(text, n < N - 1 ? n : N - 1) : 0;
  if (len) std::memcpy(out, text, len);
  out[len] = 0;
  return out;
}

// The title of a status page ("Slot A: 4opt"), completed with the state suffix.
void statusTitle(const char* text) {
  OpTextRow& t = g_opMenuRows.title;
  char title[kRow];
  std::snprintf(title, sizeof title, "%-21.21s%5s", text, OP_StateSuffix());
  if (std::strcmp(title, t.text) == 0) return;
  std::memcpy(t.text, title, sizeof title);
  t.changed = 1;
}
void slotTitle(char* buf, size_t n) {
  const OpSlotRecord& s = shownSlot();
  std::snprintf(buf, n, "%s %c: %s", FW_GetText(FW_TXT_SLOT), kSlotLetters[g_opInfo.slot % OP_SLOTS],
                slotModuleText(g_opInfo.slot, s));
}
void groupTitle(char* buf, size_t n) {
  std::snprintf(buf, n, "%s %c%d: %s", FW_GetText(FW_TXT_SECT), kSlotLetters[g_opInfo.slot % OP_SLOTS],
                g_opInfo.group + 1, OP_ModuleTypeText(shownGroup().code));
}

// A sub-page of a slot closes when the slot falls back to initialisation.
bool slotFellBack() {
  if (shownSlot().state > OP_SLOT_INIT) return false;
  g_opMenuPage.rebuildPage = OP_PAGE_SLOT;
  return true;
}

// The serial number and the versions of a slot; "---" for one the hardware does not report.
void serialText(char* out, const char* label, const uint16_t serial[4]) {
  if (serial[0] == OP_SLOT_NO_SERIAL) {
    rowf(out, "%-s:    ---", label);
    return;
  }
  rowf(out, "%-s:    %04d%04d-%03d-%03d", label, serial[0], serial[1], serial[2], serial[3]);
}
void hwVersionText(char* out, const char* label, const OpSlotRecord& s) {
  if (s.hwVersion == OP_SLOT_NO_VERSION) {
    rowf(out, "%-s:    ---", label);
  } else {
    rowf(out, "%-s:    %.2d", label, s.hwVersion);
  }
}
void swVersionText(char* out, const char* label, const OpSlotRecord& s) {
  if (s.swVersion[0] == OP_SLOT_NO_VERSION) {
    rowf(out, "%-s:    ---", label);
  } else {
    rowf(out, "%-s:    %d.%d", label, s.swVersion[0], s.swVersion[1]);
  }
}

// A temperature in tenths as "%5.1f °C", "  ---   " above the limit or when not reported.
void temperatureText(char* out, size_t n, int16_t tenths, bool limited) {
  const OpSlotRecord& s = shownSlot();
  if (tenths == OP_SLOT_NO_TEMPERATURE || (limited && tenths > s.temperatureLimit)) {
    std::snprintf(out, n, "  ---   ");
  } else {
    std::snprintf(out, n, "%5.1f %cC", tenths / kTenths, kDegree);
  }
}

// The stored order code: two, five and three characters.
struct OrderCode {
  char c[11];
};
OrderCode storedOrderCode() {
  OrderCode code{};
  const uint8_t* img = OP_LinkImage();
  for (int i = 0; i < 10; ++i) {
    const uint8_t ch = img[FW_IMG_ORDER_CODE + i];
    code.c[i] = ch >= 32 && ch < 127 ? static_cast<char>(ch) : ' ';
  }
  return code;
}

void orderCodeRow(char* out, const char* label) {
  const OrderCode code = storedOrderCode();
  rowf(out, "%-6s: MX74-2%2.2s-%5.5s-%3.3s", label, code.c, code.c + 2, code.c + 7);
}

void identRow(char* out, const char* label, const uint8_t* ident) {
  char text[7];
  for (int i = 0; i < 6; ++i) text[i] = ident[i] >= 32 && ident[i] < 127 ? static_cast<char>(ident[i]) : ' ';
  text[6] = 0;
  rowf(out, "%-6s: CSW-%6.6s%1d%02d     ", label, text, ident[6] % 10, ident[7] % 100);
}

// --- Rows of the menus --------------------------------------------------------------------------

void infoRow(const OpMenuItem& item, char* out) {
  const char* label = labelOf(item);
  const OpDeviceData d = OP_LinkDeviceData();
  switch (item.sub) {
    case 1: orderCodeRow(out, label); break;
    case 2: rowf(out, "%-6s: %d/%d.%.2d", label, d.version[0], d.version[1], d.version[2]); break;
    case 3: rowf(out, "%-6s: %-4.4d", label, d.date); break;
    case 5: {
      char name[OP_PROJECT_NAME_LEN + 1];
      bounded(OP_LinkProjectName(), OP_PROJECT_NAME_LEN, name);
      rowf(out, "%-6s: %-18.18s", label, name[0] ? name : "---");
      break;
    }
    case 6: rowf(out, "%-6s: %2.2s", label, "04"); break;
    default: rowf(out, "%s", label); break;
  }
}

void profibusRow(const OpMenuItem& item, char* out) {
  if (item.sub < 1 || item.sub > 4) {
    rowf(out, "%s", labelOf(item));
    return;
  }
  const bool error = (OP_LinkProfibusStatus() >> (item.sub - 1)) & 1;
  rowf(out, "%-*s= %s", shortMenu() ? 13 : 11, labelOf(item),
                FW_GetText(error ? FW_TXT_FAILED : FW_TXT_OK));
}

void profinetRow(const OpMenuItem& item, char* out) {
  static constexpr uint16_t kStates[] = {FW_TXT_MODULE_ERROR, FW_TXT_OFFLINE, FW_TXT_NO_CONNECTION,
                                         FW_TXT_IDLE, FW_TXT_CONNECTED, FW_TXT_DATA_EXCHANGE};
  const uint8_t state = OP_LinkProfinetState();
  if (state >= std::size(kStates)) {
    rowf(out, "%s", labelOf(item));
    return;
  }
  rowf(out, "%-*s = %s", 6, labelOf(item), FW_GetText(kStates[state]));
}

// The three state codes of a bus node; "---" for an index outside its table.
const char* nodeCode(const char* const* codes, size_t n, uint8_t index) { return index < n ? codes[index] : "---"; }

void canRow(const OpMenuItem& item, char* out) {
  static const char* const kFirst[] = {"NC-", "Ck-", "NR-", "OK-", "ES-"};
  static const char* const kSecond[] = {"NA-", "PO-", "Er-", "Op-"};
  static const char* const kThird[] = {"NU-", "Wa-", "Pa-", "OK-"};
  if (item.sub < 1 || item.sub > COM_CAN_NODES) {
    rowf(out, "%s", labelOf(item));
    return;
  }
  const ComCanNodeTable& table = OP_LinkCanNodeTable();
  const ComCanNodeEntry& node = table.nodes[item.sub];
  char name[COM_CAN_NAME_LEN + 1];
  bounded(node.name, COM_CAN_NAME_LEN, name);
  rowf(out, "%2d: %s%s%s%-8.8s", item.sub, nodeCode(kFirst, std::size(kFirst), node.remote),
                nodeCode(kSecond, std::size(kSecond), node.nmt), nodeCode(kThird, std::size(kThird), node.use),
                item.sub == table.ownNode ? FW_GetText(FW_TXT_ITS_ME) : name);
}

void canResetRow(const OpMenuItem& item, char* out) {
  if (item.sub < 2 || item.sub > COM_CAN_NODES) {
    rowf(out, "%s", labelOf(item));
    return;
  }
  const ComCanNodeEntry& node = OP_LinkCanNodeTable().nodes[item.sub];
  char name[COM_CAN_NAME_LEN + 1];
  bounded(node.name, COM_CAN_NAME_LEN, name);
  rowf(out, "%s %2d: %-8.8s", labelOf(item), item.sub, node.type == 8 ? "???" : name);
}

void ethernetRow(const OpMenuItem& item, char* out) {
  const OpEthernetData& e = OP_LinkEthernet();
  const char* label = labelOf(item);
  switch (item.sub) {
    case 1: case 2: case 3: {
      const uint8_t* a = e.address[item.sub - 1];
      rowf(out, "%-8.8s= %.3d.%.3d.%.3d.%.3d", label, a[0], a[1], a[2], a[3]);
      break;
    }
    case 5:
      rowf(out, "%-8.8s=%02X-%02X-%02X-%02X-%02X-%02X", label, e.mac[0], e.mac[1], e.mac[2],
                    e.mac[3], e.mac[4], e.mac[5]);
      break;
    case 6: {
      char host[OP_HOST_NAME_LEN + 1];
      bounded(e.host, OP_HOST_NAME_LEN, host);
      rowf(out, "%-8.8s=%17.17s", label, host);
      break;
    }
    default: rowf(out, "%s", label); break;
  }
}

void sdFileRow(const OpMenuItem& item, char* out) {
  const OpSdFile* files = OP_LinkSdFiles();
  bool any = false;
  for (int i = 0; i < OP_SD_FILES; ++i) any = any || files[i].present;
  const int n = item.sub - 1;
  char name[OP_SD_NAME_LEN + 1];
  if (!any) {
    rowf(out, "%s", FW_GetText(FW_TXT_NO_FILES));
  } else if (n >= 0 && n < OP_SD_FILES && files[n].present) {
    rowf(out, "%-s", bounded(files[n].name, OP_SD_NAME_LEN, name));
  } else {
    rowf(out, "---");
  }
}

// The state of a confirmed service request: the item's own request (its id less 1), or every
// request for an item without one. A finished logo deletion counts as done.
void progressRow(const OpMenuItem& item, char* out) {
  const OpServiceRequests& r = g_opServiceRequests;
  bool running = false, failed = false;
  for (int i = 0; i < OP_REQ_COUNT; ++i) {
    if (item.sub != 0 && i != item.sub - 1) continue;
    const uint8_t s = r.state[i];
    const bool deletion = i == OP_REQ_DELETE_START_LOGO || i == OP_REQ_DELETE_CUSTOM_LOGO;
    running = running || s == 1;
    failed = failed || (s > 1 && !(deletion && s == OP_REQ_DONE));
  }
  rowf(out, "%s", FW_GetText(running ? FW_TXT_IN_PROGRESS : failed ? FW_TXT_FAILED : FW_TXT_FINISHED));
}

// The name of a parameter-page line: its own text (ten characters of name, six of unit) or
// its label.
const char* lineText(const OpMenuItem& item, char (&buf)[FB_TEXT_LEN + 1]) {
  return item.ownText ? bounded(item.ownText, FB_TEXT_LEN, buf) : labelOf(item);
}

void blockRow(const OpMenuItem& item, char* out) {
  char tag[FB_TEXT_LEN + 1];
  bounded(item.ownText, FB_TEXT_LEN, tag);
  if (g_opPage.pageId == OP_PAGE_OPERATING) {
    rowf(out, "%.*s", int{FB_TEXT_LEN}, tag);
  } else {
    rowf(out, "%-*.*s %*d", int{FB_TEXT_LEN}, int{FB_TEXT_LEN}, tag, shortMenu() ? 9 : 7, item.sub);
  }
}

void buildRow(int row, const OpMenuItem& item, char* out) {
  const uint16_t page = g_opPage.pageId;
  if ((item.flags & OP_MENU_VALUE) && !(item.flags & FB_ROW_TEXT_ONLY & ~FB_ROW_LINE)) {
    OP_FormatValueRow(row, out);
    return;
  }
  if ((item.flags & OP_MENU_HANDLER) && (item.flags & OP_MENU_BLOCK)) {
    blockRow(item, out);
    return;
  }
  switch (page) {
    case OP_PAGE_INFO: infoRow(item, out); return;
    case OP_PAGE_INFO2: OP_InfoRow2(item, out); return;
    case OP_PAGE_PROFIBUS: profibusRow(item, out); return;
    case OP_PAGE_PROFINET: profinetRow(item, out); return;
    case OP_PAGE_STATUS_IO: OP_SlotListRow(item, out); return;
    case OP_PAGE_STATUS_CAN: canRow(item, out); return;
    case OP_PAGE_CAN_RESET_LIST: canResetRow(item, out); return;
    case OP_PAGE_ETHERNET: ethernetRow(item, out); return;
    case OP_PAGE_SD_FILES: sdFileRow(item, out); return;
    case OP_PAGE_PROGRESS: progressRow(item, out); return;
    case OP_PAGE_PUBLISH: {
      char name[FB_TEXT_LEN + 1];
      const int w = shortMenu() ? 16 : 14;
      rowf(out, "%-*.*s", w, w, lineText(item, name));
      return;
    }
    case OP_PAGE_SLOT: OP_SlotRow(item, out); return;
    case OP_PAGE_MODULE: OP_ModuleRow(item, out); return;
    case OP_PAGE_TEMPERATURE: OP_TemperatureRow(item, out); return;
    case OP_PAGE_CHANNEL: OP_ChannelRow(item, out); return;
    case OP_PAGE_CHANNEL_INFO: OP_ChannelInfoRow(item, out); return;
    default: break;
  }
  char own[FB_TEXT_LEN + 1];
  rowf(out, "%s", item.ownText ? bounded(item.ownText, FB_TEXT_LEN, own) : labelOf(item));
}

// --- Value rows ---------------------------------------------------------------------------------

// The selection text of a value whose label is followed by a code (its number of choices).
const char* choiceText(uint16_t label, uint32_t value) {
  const uint16_t choices = label ? FW_GetTextCode(label + 1u) : 0;
  if (choices == 0 || choices > kMaxChoices || value >= choices) return nullptr;
  return FW_GetText(label + 2u + value);
}

template <typename T>
T readValue(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The value text of a value item (at most 19 characters); false for a kind that has none.
bool valueText(const OpMenuItem& item, char* out, size_t n, bool* selection) {
  const FbValueEntry* e = item.entry;
  *selection = false;
  if (!e || !e->value) return false;
  const uint16_t page = g_opPage.pageId;
  switch (e->kind & OP_FIELD_KIND_MASK) {
    case OP_FIELD_FLOAT: {
      const float v = readValue<float>(e->value);
      const auto* lim = static_cast<const FbFloatLimitData*>(e->limits);
      const float tag = lim ? lim->min : 0.0f;
      if (tag == kFloatTagLarge || tag == kFloatTagThird) {
        std::snprintf(out, n, "%06.0f", v < -99999.0f ? -99999.0f : v > 999999.0f ? 999999.0f : v);
      } else if (tag == kFloatTagMinSec) {
        char t[20];
        OP_FormatMinSec(v, 0, t, sizeof t);
        std::snprintf(out, n, "%s", page == OP_PAGE_PUBLISH && t[0] == ' ' ? t + 1 : t);
      } else {
        OP_FormatNumber(out, static_cast<int>(n), v, FW_GetFieldAccess(e), OP_ALIGN_RIGHT, OP_NUMBER_CHARS);
        out[OP_NUMBER_CHARS] = 0;
      }
      return true;
    }
    case OP_FIELD_WORD: {
      const uint16_t v = readValue<uint16_t>(e->value);
      if (page == OP_PAGE_SIGNAL_LIST && (item.sub & kDigitalIdBit)) {
        std::snprintf(out, n, "%s", FW_GetText(v ? FW_TXT_ON : FW_TXT_OFF));
      } else if (const char* c = choiceText(item.textId, v)) {
        *selection = true;
        std::snprintf(out, n, "%s", c);
      } else {
        std::snprintf(out, n, "%d", static_cast<int16_t>(v));
      }
      return true;
    }
    case 9: {
      const uint16_t* w = static_cast<const uint16_t*>(e->value);
      std::snprintf(out, n, "%03d-%02d", readValue<uint16_t>(w), readValue<uint16_t>(w + 1));
      return true;
    }
    case OP_FIELD_BYTE: {
      const uint8_t v = *static_cast<const uint8_t*>(e->value);
      const char* c = choiceText(item.textId, v);
      *selection = c != nullptr;
      if (c) {
        std::snprintf(out, n, "%s", c);
      } else {
        std::snprintf(out, n, "%d", v);
      }
      return true;
    }
    default:
      return false;
  }
}

// The rows of the date and time menu: year, month (its text when the label has choices),
// day, hour, minute.
void dateTimeRow(int row, const OpMenuItem& item, char* out, const char* value) {
  const char* label = labelOf(item);
  const int v = item.entry && item.entry->value ? readValue<uint16_t>(item.entry->value) : 0;
  if (row == 0) {
    rowf(out, "%-7.7s = %16.4d", label, v);
  } else if (row == 1) {
    rowf(out, "%-7.7s = %16.16s", label, value);
  } else {
    rowf(out, "%-7.7s = %16.2d", label, v);
  }
}

}  // namespace

const char* OP_StateSuffix() {
  const uint16_t state = OP_LinkOperatingState();
  if (state != g_fwRunMode) return "wait!";
  return state == kOnline ? "     " : "(off)";
}

const char* OP_ModuleTypeText(uint16_t code) {
  for (size_t i = std::size(kModuleCodes); i-- > 0;) {
    if (kModuleCodes[i].code == code) return FW_GetText(kModuleCodes[i].text);
  }
  return FW_GetText(FW_TXT_UNKNOWN);
}

const char* OP_BuildListRow(int row) {
  static OpRowText text;
  text[0] = 0;
  if (row < 0 || row >= OP_MenuItemCount()) return text;
  buildRow(row, g_opMenu.header->items[row], text);
  OP_MenuRowBuilt(row, text);
  return text;
}

void OP_FormatValueRow(int row, char* out) {
  out[0] = 0;
  if (row < 0 || row >= OP_MenuItemCount()) return;
  const OpMenuItem& item = g_opMenu.header->items[row];
  const uint16_t page = g_opPage.pageId;
  const char* label = labelOf(item);
  if (page == OP_PAGE_ETHERNET && item.sub == 4) {
    const uint8_t on = OP_LinkImage()[OP_IMG_ADDRESS_MODE];
    rowf(out, "%-8.8s= %.3s", label, FW_GetText(on ? FW_TXT_DHCP_ON : FW_TXT_DHCP_OFF));
    return;
  }
  char value[20];
  bool selection = false;
  if (!valueText(item, value, sizeof value, &selection)) std::snprintf(value, sizeof value, "??????");
  const bool narrow = !shortMenu();
  switch (page) {
    case OP_PAGE_DATE_TIME:
      dateTimeRow(row, item, out, value);
      return;
    case OP_PAGE_SIGNAL_LIST:
      rowf(out, "%c: %-6.6s = %*s", (item.sub & kOutputIdBit) ? 'o' : 'i', label,
                    narrow ? 12 : 14, value);
      return;
    case OP_PAGE_PUBLISH: {
      char text[FB_TEXT_LEN + 1];
      const char* name = lineText(item, text);
      if (selection) {
        rowf(out, "%-6.6s =%*.*s", name, 14, 9, value);
      } else {
        // The line's text: ten characters of name, then six of unit.
        const char* unit = std::strlen(name) > 10 ? name + 10 : "";
        rowf(out, "%-6.6s =%*.*s %-6.6s", name, 11, 6, value, unit);
      }
      return;
    }
    default:
      rowf(out, "%-6.6s = %*s", item.ownText ? item.ownText : label, narrow ? 15 : 17, value);
      return;
  }
}

void OP_InfoRow2(const OpMenuItem& item, char* out) {
  const char* label = labelOf(item);
  const OpDeviceData d = OP_LinkDeviceData();
  switch (item.sub) {
    case 1: {
      // The order code as the device is fitted: relays and power from slot P's module, the
      // communication option, the cards of slots B and C.
      const OrderCode code = storedOrderCode();
      const uint8_t p = OP_LinkSlotModule(3);
      const char power = p == 4 ? '0' : p == 5 ? '2' : '9';
      const char c1 = power == '9' ? power : static_cast<char>(power + (code.c[1] & 1));
      const uint8_t comm = OP_LinkCommOption();
      const char c2 = comm >= '0' && comm <= '4' ? static_cast<char>(comm) : '9';
      auto card = [](uint8_t type) { return type == 2 ? '2' : type == 3 ? '1' : '0'; };
      rowf(out, "%-6s: MX74-2%c%c-%c%c%c%c%c-%3.3s", label, code.c[0], c1, c2, code.c[3],
                    card(OP_LinkSlotModule(1)), card(OP_LinkSlotModule(2)), code.c[6], code.c + 7);
      break;
    }
    case 2: orderCodeRow(out, label); break;
    case 3:
      rowf(out, "%-6s: %04d%04d-%03d-%03d", label, d.serial[0], d.serial[1], d.serial[2],
                    d.serial[3]);
      break;
    case 5: rowf(out, "%-6s: %02d", label, d.cpu); break;
    case 6: identRow(out, label, FW_FIRMWARE_IDENT); break;
    case 7: identRow(out, label, OP_LinkImage() + FW_IMG_IDENT); break;
    case 8: rowf(out, "%-6s: %02d      ", label, d.eepromVersion); break;
    default: rowf(out, "%s", label); break;
  }
}

void OP_SlotListRow(const OpMenuItem& item, char* out) {
  const int slot = item.sub - 1;
  if (slot < 0 || slot >= OP_SLOTS) {
    rowf(out, "%s", labelOf(item));
    return;
  }
  const OpSlotRecord& s = OP_LinkSlot(slot);
  rowf(out, "%-8s = %-12s  %c", labelOf(item), slotModuleText(slot, s), slotFitted(s) ? kMark : ' ');
}

// --- Ethernet page ------------------------------------------------------------------------------

namespace {

const FwShortLimit kByteLimit{0, 255};
const FwShortLimit kSwitchLimit{0, 1};

// The setter of an address byte: the id names the address and the byte (address x 4 + byte).
uint8_t setAddressByte(FbParamRequest* request, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  const int id = request->id();
  const uint16_t v = request->u16(FB_REQUEST_VALUE);
  if (id < 0 || id >= OP_ADDRESSES * 4) return FB_ERR_UNKNOWN_ID;
  if (v > 255) return FB_ERR_LIMITS;
  OP_LinkSetAddressByte(id / 4, id % 4, static_cast<uint8_t>(v));
  return FB_OK;
}

// The setter of the address-mode byte (0 DHCP off, 1 on), queued for the EEPROM.
uint8_t setAddressMode(FbParamRequest* request, uint16_t* badIndex) {
  if (badIndex) *badIndex = 0;
  const uint16_t v = request->u16(FB_REQUEST_VALUE);
  if (v > 1) return FB_ERR_LIMITS;
  uint8_t* mode = OP_LinkImage() + OP_IMG_ADDRESS_MODE;
  *mode = static_cast<uint8_t>(v);
  FW_QueueEepromWrite(mode, OP_IMG_ADDRESS_MODE, 1);
  return FB_OK;
}

}  // namespace

int OP_ShowEthernetPage() {
  static RuntimeMenu<6> menu;
  static FbValueEntry modeEntry;
  modeEntry = FbValueEntry{OP_FIELD_BYTE, 0, OP_LinkImage() + OP_IMG_ADDRESS_MODE, setAddressMode,
                           &kSwitchLimit, 0, 0};
  MenuBuilder b(menu, OP_PAGE_ETHERNET, FW_TXT_ETHERNET);
  b.add(handlerItem(1, FW_TXT_ETH_IP, OP_EditAddressItem));
  b.add(handlerItem(2, FW_TXT_ETH_MASK, OP_EditAddressItem));
  b.add(handlerItem(3, FW_TXT_ETH_GATEWAY, OP_EditAddressItem));
  b.add(valueItem(4, FW_TXT_ETH_DHCP, &modeEntry));
  b.add(inertItem(5, FW_TXT_ETH_MAC));
  b.add(inertItem(6, FW_TXT_ETH_HOST));
  return openMenu(b.finish(), OP_PAGE_ETHERNET);
}

int OP_OpenEthernetPage() { return OP_ShowEthernetPage(); }

int OP_EditAddressItem() {
  const OpMenuItem* item = g_opMenu.cursor;
  if (!item || item->sub < 1 || item->sub > OP_ADDRESSES) return 0;
  const int a = item->sub - 1;
  uint8_t* bytes = OP_LinkEthernet().address[a];
  OpAddressEntry entries[4];
  for (int i = 0; i < 4; ++i) {
    entries[i] = OpAddressEntry{FbValueEntry{OP_FIELD_BYTE, 0, &bytes[i], setAddressByte, &kByteLimit, 0, 0},
                                static_cast<uint16_t>(a * 4 + i)};
  }
  return OP_OpenAddressDialog(bytes, entries) ? 1 : 0;
}

// --- Slot pages ---------------------------------------------------------------------------------

int OP_BuildSlotPage() {
  static RuntimeMenu<8> menu;
  const OpMenuItem* item = g_opMenu.cursor;
  if (!item || item->sub < 1 || item->sub > OP_SLOTS) return 0;
  OpInfoState& info = g_opInfo;
  info.slot = static_cast<uint8_t>(item->sub - 1);
  const OpSlotRecord& s = shownSlot();
  info.slotUp = s.state > OP_SLOT_INIT ? 1 : 0;
  MenuBuilder b(menu, OP_PAGE_SLOT, FW_TXT_STATUS_IO);
  b.add(inertItem(1, FW_TXT_STATUS));
  b.add(inertItem(2, FW_TXT_EMPTY));
  for (uint16_t g = 0; g < OP_SLOT_GROUPS; ++g) {
    const uint16_t id = static_cast<uint16_t>(3 + g);
    if (s.groups[g].code != 0 && slotFitted(s)) {
      b.add(handlerItem(id, FW_TXT_SECT, OP_ShowChannelPage));
    } else {
      b.add(inertItem(id, FW_TXT_SECT));
    }
  }
  b.add(inertItem(7, FW_TXT_EMPTY));
  b.add(handlerItem(8, FW_TXT_MORE, OP_ShowModulePage));
  return openMenu(b.finish(), OP_PAGE_SLOT);
}

void OP_SlotRow(const OpMenuItem& item, char* out) {
  const OpSlotRecord& s = shownSlot();
  const char* label = labelOf(item);
  if (item.sub == 1) {
    rowf(out, "%-10s: %s", label, slotStateText(s));
    char title[kRow];
    slotTitle(title, sizeof title);
    statusTitle(title);
    // The slot came up or fell back: the page is built anew with the groups it has now.
    if ((s.state > OP_SLOT_INIT) != (g_opInfo.slotUp != 0)) g_opMenuPage.rebuildPage = OP_PAGE_SLOT;
  } else if (item.sub >= 3 && item.sub <= 6) {
    const OpSlotGroup& g = s.groups[item.sub - 3];
    rowf(out, "%-7s%c%d : %-11s  %c", label, kSlotLetters[g_opInfo.slot % OP_SLOTS], item.sub - 2,
                  OP_ModuleTypeText(g.code), g.code != 0 && slotFitted(s) ? kMark : ' ');
  } else {
    rowf(out, "%s", label);
  }
}

int OP_ShowModulePage() {
  static RuntimeMenu<5> menu;
  const uint8_t type = shownSlot().moduleType;
  MenuBuilder b(menu, OP_PAGE_MODULE, FW_TXT_STATUS_IO);
  b.add(inertItem(1, FW_TXT_SN));
  b.add(inertItem(2, FW_TXT_HW));
  b.add(inertItem(3, FW_TXT_SW));
  b.add(inertItem(4, FW_TXT_EMPTY));
  // Relay and digital cards have no temperature page.
  if (type >= 3 && type <= 6) {
    b.add(inertItem(5, FW_TXT_TEMP));
  } else {
    b.add(handlerItem(5, FW_TXT_TEMP, OP_ShowTemperaturePage));
  }
  return openMenu(b.finish(), OP_PAGE_MODULE);
}

void OP_ModuleRow(const OpMenuItem& item, char* out) {
  const OpSlotRecord& s = shownSlot();
  const char* label = labelOf(item);
  if (item.sub == 1 && slotFellBack()) {
    rowf(out, "%s", label);
    return;
  }
  switch (item.sub) {
    case 1: serialText(out, label, s.serial); break;
    case 2: hwVersionText(out, label, s); break;
    case 3: {
      swVersionText(out, label, s);
      char title[kRow];
      slotTitle(title, sizeof title);
      statusTitle(title);
      break;
    }
    case 5:
      if (s.moduleType >= 3 && s.moduleType <= 6) {
        rowf(out, "%-10s: ---", label);
      } else {
        char t[12];
        temperatureText(t, sizeof t, s.temperature[0], true);
        rowf(out, "%-10s: %-8s     %c", label, t, kMark);
      }
      break;
    default: rowf(out, "%s", label); break;
  }
}

int OP_ShowTemperaturePage() {
  static RuntimeMenu<3> menu;
  MenuBuilder b(menu, OP_PAGE_TEMPERATURE, FW_TXT_STATUS_IO);
  b.add(inertItem(1, FW_TXT_TEMP_MIN));
  b.add(inertItem(2, FW_TXT_TEMP_ACT));
  b.add(inertItem(3, FW_TXT_TEMP_MAX));
  return openMenu(b.finish(), OP_PAGE_TEMPERATURE);
}

void OP_TemperatureRow(const OpMenuItem& item, char* out) {
  const OpSlotRecord& s = shownSlot();
  const char* label = labelOf(item);
  if (item.sub == 1 && slotFellBack()) {
    rowf(out, "%s", label);
    return;
  }
  char t[12];
  switch (item.sub) {
    case 1: {
      temperatureText(t, sizeof t, s.temperature[1], false);
      rowf(out, "%-10s: %s", label, t);
      char title[kRow];
      slotTitle(title, sizeof title);
      statusTitle(title);
      break;
    }
    case 2:
      temperatureText(t, sizeof t, s.temperature[0], true);
      rowf(out, "%-10s: %-8s", label, t);
      break;
    case 3:
      temperatureText(t, sizeof t, s.temperature[2], false);
      rowf(out, "%-10s: %s", label, t);
      break;
    default: rowf(out, "%s", label); break;
  }
}

int OP_ShowChannelPage() {
  static RuntimeMenu<8> menu;
  const OpMenuItem* item = g_opMenu.cursor;
  if (!item || item->sub < 3 || item->sub > 6) return 0;
  OpInfoState& info = g_opInfo;
  info.group = static_cast<uint8_t>(item->sub - 3);
  const OpSlotGroup& g = shownGroup();
  info.groupPresent = g.code != 0 ? 1 : 0;
  const bool twoRows = g.code != OP_CHANNEL_CODE_2DI_4DI;
  MenuBuilder b(menu, OP_PAGE_CHANNEL, FW_TXT_STATUS_IO);
  b.add(inertItem(1, FW_TXT_STATUS));
  b.add(inertItem(2, FW_TXT_EMPTY));
  b.add(inertItem(3, FW_TXT_SIGNAL));
  b.add(inertItem(4, FW_TXT_CONF));
  b.add(inertItem(5, twoRows ? FW_TXT_SIGNAL : FW_TXT_EMPTY));
  b.add(inertItem(6, twoRows ? FW_TXT_CONF : FW_TXT_EMPTY));
  b.add(inertItem(7, FW_TXT_EMPTY));
  b.add(handlerItem(8, FW_TXT_MORE, OP_ShowChannelInfoPage));
  return openMenu(b.finish(), OP_PAGE_CHANNEL);
}

void OP_ChannelRow(const OpMenuItem& item, char* out) {
  const OpSlotGroup& g = shownGroup();
  const char* label = labelOf(item);
  if (item.sub == 1) {
    if (slotFellBack()) {
      rowf(out, "%s", label);
      return;
    }
    if ((g.code != 0) != (g_opInfo.groupPresent != 0)) g_opMenuPage.rebuildPage = OP_PAGE_CHANNEL;
    uint16_t state;
    switch (g.state) {
      case 0: state = FW_TXT_SLOT_UNUSED; break;
      case 4: state = FW_TXT_WRONG_MODULE; break;
      case 3:
        state = g.channelState == 0 ? FW_TXT_CHANNEL_OK : g.channelState == 1 ? FW_TXT_CJ_ERROR : FW_TXT_MODULE_ERROR;
        break;
      default: state = FW_TXT_CONF; break;
    }
    rowf(out, "%-10s: %s", label, FW_GetText(state));
    char title[kRow];
    groupTitle(title, sizeof title);
    statusTitle(title);
    return;
  }
  const bool empty = item.textId == FW_TXT_EMPTY;
  if (item.sub < 3 || item.sub > 6 || empty) {
    rowf(out, "%s", label);
    return;
  }
  const int ch = (item.sub - 3) / 2;        // items 3, 4: channel 1; 5, 6: channel 2
  const bool signal = (item.sub - 3) % 2 == 0;
  if (!signal) {
    char text[OP_CHANNEL_TEXT_LEN + 1];
    bounded(g.config[ch], OP_CHANNEL_TEXT_LEN, text);
    rowf(out, "%-7s %d : %s", label, ch + 1, text[0] ? text : "---");
    return;
  }
  switch (channelKind(g.code)) {
    case ChannelKind::Analog:
      switch (g.errors[ch]) {
        case 0: rowf(out, "%-7s %d : %.1f", label, ch + 1, g.values[ch]); break;
        case 1: rowf(out, "%-7s %d : %-14s", label, ch + 1, FW_GetText(FW_TXT_OPEN_CIRCUIT)); break;
        case 2: rowf(out, "%-7s %d : %-14s", label, ch + 1, FW_GetText(FW_TXT_REVERSED)); break;
        case 4: rowf(out, "%-7s %d : %-14s", label, ch + 1, FW_GetText(FW_TXT_SHORT_CIRCUIT)); break;
        default: rowf(out, "%-7s %d : %-14s", label, ch + 1, FW_GetText(FW_TXT_UNKNOWN)); break;
      }
      break;
    case ChannelKind::Digital:
      rowf(out, "%-7s %d : %s", label, ch + 1, FW_GetText(g.values[ch] != 0.0f ? FW_TXT_ON : FW_TXT_OFF));
      break;
    case ChannelKind::None:
      rowf(out, "%-7s %d : ---", label, ch + 1);
      break;
  }
}

int OP_ShowChannelInfoPage() {
  static RuntimeMenu<3> menu;
  MenuBuilder b(menu, OP_PAGE_CHANNEL_INFO, FW_TXT_STATUS_IO);
  b.add(inertItem(1, FW_TXT_SN));
  b.add(inertItem(2, FW_TXT_HW));
  b.add(inertItem(3, FW_TXT_SW));
  return openMenu(b.finish(), OP_PAGE_CHANNEL_INFO);
}

void OP_ChannelInfoRow(const OpMenuItem& item, char* out) {
  const OpSlotRecord& s = shownSlot();
  const char* label = labelOf(item);
  if (slotFellBack()) {
    rowf(out, "%s", label);
    return;
  }
  switch (item.sub) {
    case 1: {
      serialText(out, label, s.serial);
      char title[kRow];
      groupTitle(title, sizeof title);
      statusTitle(title);
      break;
    }
    case 2: hwVersionText(out, label, s); break;
    case 3: swVersionText(out, label, s); break;
    default: rowf(out, "%s", label); break;
  }
}
