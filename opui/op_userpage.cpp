#include "opui/op_userpage.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "blocks/block_family.h"
#include "opui/op_dialogs.h"
#include "opui/op_display.h"
#include "opui/op_input.h"
#include "opui/op_links.h"
#include "opui/op_objects.h"
#include "opui/op_services.h"
#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_main_state.h"
#include "runtime/fw_numeric.h"

OpUserView g_opUserView;

// --- VUSER: the view ------------------------------------------------------------------------------

namespace {

// The view area by the bars shown.
constexpr OpRect kFullScreen{0, 0, 320, 240};
constexpr OpRect kBelowTopBar{0, OP_BODY_Y, 320, OP_BODY_HEIGHT};
constexpr OpRect kBelowTitle{0, OP_TITLE_LINE_Y + 1, 320, 240 - (OP_TITLE_LINE_Y + 1)};

struct UserPage {
  FbLayout L;
  UserPageState* s = nullptr;
  bool get(uint32_t block) {
    if (!FB_GetLayout(block, &L) || L.type != OP_TYPE_VUSER || L.texts < VUSER_TEXT_PICTURE ||
        L.workWords < BLK_WorkWordsOf<UserPageState>()) {
      return false;
    }
    s = &BLK_WorkState<UserPageState>(L);
    return true;
  }
  uint16_t word(uint16_t i) const { return i >= 1 && i <= L.wordValues ? L.wv[i - 1] : 0; }
};

// The page's draw routine, run once after the page was selected: the block's view.
int openViewOfPage() {
  if (g_opUserView.block != g_opBlockPage.block) OP_UserViewOpen(g_opBlockPage.block);
  return 0;
}

// The user page of `block` is the page shown.
bool pageShown(uint16_t block) {
  return g_opPage.current == OP_BlockPageProc && g_opBlockPage.page == &g_opUserPage &&
         g_opBlockPage.block == block;
}

uint16_t* userPagePending(const FbLayout& L) {
  return L.workWords * 2u >= sizeof(UserPageState) ? &BLK_WorkState<UserPageState>(L).valuesPending
                                                    : nullptr;
}

}  // namespace

const OpBlockPage g_opUserPage{.screen = 10, .open = openViewOfPage};

OpRect OP_UserViewArea(bool topBar, bool title) {
  if (!topBar && !title) return kFullScreen;
  return topBar && !title ? kBelowTopBar : kBelowTitle;
}

bool OP_UserViewFullScreen() { return g_opUserView.block != 0 && g_opUserView.fullScreen; }

OpViewSlot* OP_UserViewSlotOf(uint16_t block) {
  const OpObjectState* obj = OP_ObjectState(block);
  if (!obj || obj->slot < 1 || obj->slot > OP_VIEW_SLOTS || !g_opUserView.block) return nullptr;
  OpViewSlot& s = g_opUserView.slots[obj->slot - 1];
  return s.block == block ? &s : nullptr;
}

int OP_UserViewBind(uint16_t block) {
  OpUserView& v = g_opUserView;
  UserPage p;
  if (!p.get(block)) return 0;
  int bound = 0;
  for (int k = 0; k < OP_VIEW_SLOTS; ++k) {
    OpViewSlot& s = v.slots[k];
    s = OpViewSlot{};
    if (k >= p.L.analogInputs) continue;
    // The input carries a block number; it must name a display object not bound already.
    const int32_t b = FW_FloatToI32(BLK_AnalogIn(p.L, static_cast<unsigned>(k)));
    if (b < 1 || b > FB_MAX_BLOCK) continue;
    OpObjectState* obj = OP_ObjectState(static_cast<uint32_t>(b));
    if (!obj || OP_UserViewSlotOf(static_cast<uint16_t>(b))) continue;
    s.block = static_cast<uint16_t>(b);
    s.type = FB_GetInstance(s.block)[FB_HDR_TYPE];
    obj->slot = static_cast<uint16_t>(k + 1);
    obj->made = 0;
    obj->touch = OP_TOUCH_IDLE;
    obj->request = OP_OBJ_REQ_NONE;
    ++bound;
  }
  v.bound = static_cast<uint8_t>(bound);
  p.s->bound = static_cast<uint16_t>(bound > 1 ? 2 : bound);
  return bound;
}

WM_HWIN OP_UserViewCreateObject(int slot) {
  OpUserView& v = g_opUserView;
  UserPage p;
  if (slot < 0 || slot >= OP_VIEW_SLOTS || !p.get(v.block) || !OP_WinExists(v.window)) return 0;
  OpViewSlot& s = v.slots[slot];
  const OpObjectKind* kind = OP_FindObjectKind(s.type);
  if (!s.block || !kind) return 0;
  const int x = p.word(static_cast<uint16_t>(VUSER_WORD_FIRST_PLACE + 2 * slot));
  const int y = p.word(static_cast<uint16_t>(VUSER_WORD_FIRST_PLACE + 2 * slot + 1));
  // The object sizes its window to what it shows when it lays itself out.
  const uint32_t flags = WM_CF_SHOW | (kind->transparent ? uint32_t{WM_CF_HASTRANS} : 0u);
  s.window = WM_CreateWindowAsChild(x, y, 1, 1, v.window, flags, kind->proc, 0);
  return s.window;
}

int OP_UserViewOpen(uint16_t block) {
  UserPage p;
  if (!p.get(block)) return 0;
  OpUserView& v = g_opUserView;
  if (v.block) OP_CloseBlockView(v.block);
  v = OpUserView{};
  const FwPicture* picture = OP_FindUserPicture(p.L.text + (VUSER_TEXT_PICTURE - 1) * FB_TEXT_LEN);
  v.picture = picture ? picture->memdev : 0;
  const OpRect area = OP_UserViewArea(p.word(VUSER_WORD_TOPBAR) != 0, p.word(VUSER_WORD_TITLE) != 0);
  v.x = area.x, v.y = area.y, v.xSize = area.xSize, v.ySize = area.ySize;
  v.fullScreen = area.y < OP_BODY_Y ? 1 : 0;
  v.pictureCovers = picture && picture->xSize >= area.xSize && picture->ySize >= area.ySize ? 1 : 0;
  // Below the top bar the view is a child of the body, so that the dialogs (children of the
  // body, made later) lie above it; over the whole screen it covers the body and the dialogs
  // open in the view instead.
  const WM_HWIN body = OP_WinExists(g_opDisplay.body) ? g_opDisplay.body : 0;
  const WM_HWIN parent = v.fullScreen || !body ? 0 : body;
  const int y = parent ? area.y - OP_BODY_Y : area.y;
  v.window = WM_CreateWindowAsChild(area.x, y, area.xSize, area.ySize, parent, WM_CF_SHOW, OP_UserViewProc, 0);
  if (!v.window) {
    v = OpUserView{};
    return 0;
  }
  v.block = block;
  p.s->open = 1;
  OP_UserViewBind(block);
  for (int k = 0; k < OP_VIEW_SLOTS; ++k) OP_UserViewCreateObject(k);
  if (v.fullScreen) OP_SetDialogParent(v.window);
  g_opDisplay.pageColorIndex = 5;  // palette slot 5, colour code 250
  return 1;
}

void OP_UserViewProc(WM_MESSAGE* msg) {
  const OpUserView& v = g_opUserView;
  switch (msg->MsgId) {
    case WM_MSG_PAINT:
      // The background colour where the picture leaves room, then the picture.
      if (!v.pictureCovers) {
        GUI_SetBkColor(OP_ColorFromCode(OP_CC_BACKGROUND));
        GUI_Clear();
      }
      if (v.picture) {
        OP_GfxWriteDeviceAt(v.picture, WM_GetWindowOrgX(msg->hWin), WM_GetWindowOrgY(msg->hWin));
      }
      return;
    case WM_MSG_NOTIFY_PARENT:
      for (const OpViewSlot& s : v.slots) {
        if (s.block && msg->hWinSrc && s.window == msg->hWinSrc) OP_ObjectTouch(s.block, static_cast<int>(msg->Data.v));
      }
      return;
    default:
      WM_DefaultProc(msg);
  }
}

void OP_CloseBlockView(uint16_t block) {
  OpUserView& v = g_opUserView;
  if (!v.block || v.block != block) return;
  for (const OpViewSlot& s : v.slots) {
    if (OpObjectState* obj = OP_ObjectState(s.block); obj && s.block) {
      obj->slot = 0;
      obj->made = 0;
    }
  }
  UserPage p;
  if (p.get(block)) p.s->open = 0;
  const WM_HWIN window = v.window;
  if (v.fullScreen) OP_SetDialogParent(0);
  v = OpUserView{};
  if (OP_WinExists(window)) WM_DeleteWindow(window);
  OP_CloseOverlays();
}

// --- VUSER: the block ----------------------------------------------------------------------------

void FB_VUSER_Init() {
  UserPage p;
  if (!p.get(g_fbStore.currentBlock)) return;
  OP_TakeOverValues(p.L);
  // A view left from before goes, this block's and the one of the page shown alike.
  if (g_opUserView.block) OP_CloseBlockView(g_opUserView.block);
  *p.s = UserPageState{};
  p.s->page.type = OP_TYPE_VUSER;
  g_fbStore.list[p.L.block].pageData = &p.s->page;
  if (p.L.analogOutputs > 0) p.L.ao[0] = static_cast<float>(p.L.block);
}

uint8_t FB_VUSER_Param(FbParamRequest* request, uint16_t* badIndex) {
  return OP_BlockParam(request, badIndex, userPagePending);
}

void FB_VUSER_Run() {
  UserPage p;
  if (!p.get(g_fbStore.currentBlock)) return;
  const uint16_t block = p.L.block;
  bool rebuild = false;
  if (p.s->valuesPending) {
    p.s->valuesPending = 0;
    OP_TakeOverValues(p.L);
    rebuild = true;
  }
  if (!pageShown(block)) {
    if (g_opUserView.block == block) OP_CloseBlockView(block);
    return;
  }
  if (g_opUserView.block != block) {
    // The page is shown without its view (it was closed at a start-up pass): build it.
    OP_UserViewOpen(block);
    return;
  }
  for (const OpViewSlot& slot : g_opUserView.slots) {
    OpObjectState* obj = slot.block ? OP_ObjectState(slot.block) : nullptr;
    if (!obj) continue;
    if (obj->request == OP_OBJ_REQ_PAGE) {
      // A page link: the view goes, the page manager opens the linked block's page.
      obj->request = OP_OBJ_REQ_TAKEN;
      const uint16_t target = obj->target;
      OP_CloseBlockView(block);
      OpPageRequest = target;
      return;
    }
    if (obj->request == OP_OBJ_REQ_REBUILD) {
      obj->request = OP_OBJ_REQ_NONE;
      rebuild = true;
    }
  }
  if (rebuild) {
    OP_CloseBlockView(block);
    OP_UserViewOpen(block);
    p.s->rebuilt = 1;
  }
}

// --- VMSG -----------------------------------------------------------------------------------------

namespace {

// The open message box: its block and result flag.
struct OpenMessage {
  uint16_t block;
  uint8_t done;
};
OpenMessage g_message;

struct MessageBlock {
  FbLayout L;
  MessageBlockState* s = nullptr;
  bool get(uint32_t block) {
    if (!FB_GetLayout(block, &L) || L.type != OP_TYPE_VMSG || L.texts < VMSG_TEXT_ICON ||
        L.digitalInputs < VMSG_IN_HOLD || L.digitalOutputs < VMSG_OUT_SHOWN || L.floatParams < 1 ||
        L.workWords < BLK_WorkWordsOf<MessageBlockState>()) {
      return false;
    }
    s = &BLK_WorkState<MessageBlockState>(L);
    return true;
  }
};

// Text k of the block as it is stored (16 characters, blanks kept).
const char* rawText(const FbLayout& L, uint16_t k) { return L.text + (k - 1) * FB_TEXT_LEN; }

void trimRight(char* text) {
  for (size_t n = std::strlen(text); n > 0 && text[n - 1] == ' '; --n) text[n - 1] = 0;
}

uint16_t* messagePending(const FbLayout& L) {
  return L.workWords * 2u >= sizeof(MessageBlockState) ? &BLK_WorkState<MessageBlockState>(L).valuesPending
                                                        : nullptr;
}

bool openBox(const MessageBlock& m) {
  const MessageBlockState& s = *m.s;
  uint32_t count = 0;
  const FwPicture* pictures = OP_LinkUserPictures(&count);
  const GUI_MEMDEV_Handle icon =
      s.icon >= 0 && pictures && static_cast<uint32_t>(s.icon) < count ? pictures[s.icon].memdev : 0;
  g_message = OpenMessage{m.L.block, OP_DIALOG_OPEN};
  if (!OP_OpenMessageBoxWithDevice(icon, s.title, s.line1, s.line2, &g_message.done)) {
    g_message = OpenMessage{};
    return false;
  }
  OpAlarmDisplayFlags[1] = 1;
  return true;
}

}  // namespace

uint16_t OP_OpenMessageBlock() { return g_message.block; }

void OP_VmsgCompose(uint16_t block) {
  MessageBlock m;
  if (!m.get(block)) return;
  MessageBlockState& s = *m.s;
  std::snprintf(s.title, sizeof s.title, "%.16s", rawText(m.L, VMSG_TEXT_TITLE));
  trimRight(s.title);
  // Each line joins its two halves as they are stored.
  std::snprintf(s.line1, sizeof s.line1, "%.16s%.16s", rawText(m.L, 3), rawText(m.L, 4));
  std::snprintf(s.line2, sizeof s.line2, "%.16s%.16s", rawText(m.L, 5), rawText(m.L, 6));
  trimRight(s.line1);
  trimRight(s.line2);
  // The icon: a user picture of exactly 50 x 50, else the built-in one.
  const FwPicture* picture = OP_FindUserPicture(rawText(m.L, VMSG_TEXT_ICON));
  uint32_t count = 0;
  const FwPicture* table = OP_LinkUserPictures(&count);
  s.icon = picture && picture->xSize == OP_VMSG_ICON_SIZE && picture->ySize == OP_VMSG_ICON_SIZE
               ? static_cast<int16_t>(picture - table)
               : int16_t{-1};
  s.composed = 1;
}

void OP_CloseBlockDialog() {
  if (!g_message.block) return;
  g_message = OpenMessage{};
  OP_CloseMessageBox();
  OpAlarmDisplayFlags[1] = 0;
}

void FB_VMSG_Init() {
  MessageBlock m;
  if (!m.get(g_fbStore.currentBlock)) return;
  OP_TakeOverValues(m.L);
  if (g_message.block == m.L.block) OP_CloseBlockDialog();
  *m.s = MessageBlockState{};
  m.s->icon = -1;
  if (!g_fwEng.warmStart && m.L.digitalOutputs > 0) m.L.dout[VMSG_OUT_SHOWN - 1] = 0;
}

uint8_t FB_VMSG_Param(FbParamRequest* request, uint16_t* badIndex) {
  return OP_BlockParam(request, badIndex, messagePending);
}

void FB_VMSG_Run() {
  MessageBlock m;
  if (!m.get(g_fbStore.currentBlock)) return;
  const FbLayout& L = m.L;
  MessageBlockState& s = *m.s;
  FB_ApplyPendingFloats(L.block);
  if (s.valuesPending) {
    s.valuesPending = 0;
    OP_TakeOverValues(L);
  }
  if (!s.composed) OP_VmsgCompose(L.block);
  const bool trigger = BLK_DigitalIn(L, VMSG_IN_TRIGGER - 1) != 0;
  const bool close = BLK_DigitalIn(L, VMSG_IN_CLOSE - 1) != 0;
  const bool blocked = BLK_DigitalIn(L, VMSG_IN_BLOCK - 1) != 0;
  const bool hold = BLK_DigitalIn(L, VMSG_IN_HOLD - 1) != 0;
  const bool timed = L.wordValues < 1 || L.wv[VMSG_WORD_MODE - 1] == 0;
  const bool rising = trigger && !s.lastTrigger;
  uint16_t& shown = L.dout[VMSG_OUT_SHOWN - 1];
  uint32_t countdown = s.countdown;
  // The trigger.
  if (rising && !blocked) {
    shown = 1;
    if (timed) countdown = FW_FloatToU32(std::round(L.fp[0].get() / FB_BlockCycleTime(L.block)));
  } else if (!trigger && timed && countdown == 0) {
    shown = 0;
  }
  if (g_message.block == L.block) {
    // The open box closes on OK, on "close" and when its time is up; the message is then
    // done. A box closed from outside (the page manager's overlays) comes again.
    const bool done = g_message.done == OP_DIALOG_OK;
    if (done || g_message.done != OP_DIALOG_OPEN || close || (timed && countdown == 0)) {
      if (done || close || (timed && countdown == 0)) shown = 0;
      OP_CloseBlockDialog();
    }
  } else if ((shown || (rising && !blocked)) && !close && !hold && g_message.block < L.block) {
    if (g_message.block) OP_CloseBlockDialog();
    openBox(m);
  }
  if (countdown > 0) --countdown;
  s.countdown = countdown;
  s.lastTrigger = trigger ? 1 : 0;
}

// --- The display-object list -------------------------------------------------------------------

void OP_ClearDisplayList() {
  OpUserView& v = g_opUserView;
  const WM_HWIN window = v.window;
  if (v.fullScreen) OP_SetDialogParent(0);
  v = OpUserView{};
  if (OP_WinExists(window)) WM_DeleteWindow(window);
  OP_CloseBlockDialog();
  OP_ForgetObjectDialog();
}

void OP_ForgetDisplayList() {
  g_opUserView = OpUserView{};
  g_message = OpenMessage{};
  OP_ForgetObjectDialog();
}

// --- Type rows ------------------------------------------------------------------------------------

namespace {

constexpr uint16_t kGroupPages = 17;

constexpr const char* kUserTexts[] = {"VUSER", ""};
constexpr uint16_t kUserValues[2 + 2 * OP_VIEW_SLOTS] = {1, 1};
constexpr FbTemplate kUserTemplate = FB_SizedTemplate(FbTemplate{
    .type = OP_TYPE_VUSER, .analogOutputs = 1, .analogInputs = OP_VIEW_SLOTS, .wordValues = kUserValues,
    .texts = kUserTexts, .workWords = BLK_WorkWordsOf<UserPageState>()});

constexpr FwShortLimit kBar{0, 1}, kX{0, 319}, kY{0, 239};
constexpr FwShortLimit kUserValueLimits[2 + 2 * OP_VIEW_SLOTS] = {
    kBar, kBar, kX, kY, kX, kY, kX, kY, kX, kY, kX, kY, kX, kY, kX, kY, kX, kY,
    kX,   kY,   kX, kY, kX, kY, kX, kY, kX, kY, kX, kY, kX, kY, kX, kY};
constexpr FbLimitTable kUserLimits{.wordValues = kUserValueLimits};

constexpr const char* kMessageTexts[] = {"VMSG", "", "", "", "", "", ""};
constexpr float kMessageFloats[] = {5.0f};
constexpr uint16_t kMessageValues[] = {0, 0};
constexpr FbTemplate kMessageTemplate = FB_SizedTemplate(FbTemplate{
    .type = OP_TYPE_VMSG, .digitalOutputs = 1, .digitalInputs = 4, .floatParams = kMessageFloats,
    .wordValues = kMessageValues, .texts = kMessageTexts, .workWords = BLK_WorkWordsOf<MessageBlockState>()});
constexpr FwFloatLimit kMessageFloatLimits[] = {{.min = 0.0f, .max = 959999.0f, .attribute = 1}};
constexpr FwShortLimit kMessageValueLimits[] = {{0, 1}, {0, 1}};
constexpr FbLimitTable kMessageLimits{.floatParams = kMessageFloatLimits, .wordValues = kMessageValueLimits};

constexpr BlkTypeRow kRows[] = {
    {&kUserTemplate, FB_VUSER_Run, FB_VUSER_Init, FB_VUSER_Param, &kUserLimits, 4, kGroupPages},
    {&kMessageTemplate, FB_VMSG_Run, FB_VMSG_Init, FB_VMSG_Param, &kMessageLimits, 2, kGroupPages},
};

}  // namespace

void OP_RegisterUserPageTypes() { BLK_RegisterTimeGroupTypes(kRows); }
