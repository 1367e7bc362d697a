// Fixture of the user-page and display-object tests: the operating interface with its windows
// (OpuiDialogTest), the block types of the operating interface, the text block, and a target
// type for the parameter field, with blocks built by the block fixture and run as the device's
// cycle runs them: keys and pointer, page manager, the blocks, the display update.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "blocks/prog/prog.h"
#include "blocks/trig/trig.h"
#include "firmware/fw_main.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/memdev/GUI_Memdev.h"
#include "opui/op_blocktypes.h"
#include "opui/op_objects.h"
#include "opui/op_userpage.h"
#include "opui_fixture.h"
#include "runtime/fb_param.h"
#include "runtime/fw_mode.h"
#include "support/block_fixture.h"

namespace userpagetest {

// The parameter field's target: two float parameters ("P 1" may be off: -32000) and two word
// parameters, through the standard handler; two analog outputs the tests set.
constexpr uint16_t kTargetType = 200;
inline void noRun() {}
inline const char* const kTargetTexts[] = {"TARGET"};
inline const float kTargetFloats[] = {12.5f, 101.0f};
inline const uint16_t kTargetWords[] = {3, 1};
inline constexpr FbTemplate kTargetTemplate = FB_SizedTemplate(FbTemplate{
    .type = kTargetType, .analogOutputs = 2, .floatParams = kTargetFloats, .wordParams = kTargetWords, .texts = kTargetTexts});
inline const FwFloatLimit kTargetFloatLimits[] = {{.min = -32000.0f, .max = 500.0f, .attribute = 1},
                                                  {.min = 0.0f, .max = 111111.0f}};
inline const FwShortLimit kTargetWordLimits[] = {{0, 10}, {0, 3}};
inline const FbLimitTable kTargetLimits{.wordParams = kTargetWordLimits, .floatParams = kTargetFloatLimits};
inline void registerTypes() {
  OP_RegisterBlockTypes();
  BLK_RegisterTrigTypes();
  BLK_RegisterProgTypes();
  FB_RegisterType(kTargetType, FB_TypeFromTemplate(&kTargetTemplate, noRun, nullptr, FB_StandardParam,
                                                   &kTargetLimits, FB_COMMON_BLOCK_RANGES, 0, 1, 0));
}

// User pictures of the stand-in table: a record of a 20-byte header (the name) and a memory
// device of the picture's size.
class Pictures {
 public:
  ~Pictures() {
    for (FwPicture& p : table_) {
      if (p.memdev) GUI_MEMDEV_Delete(p.memdev);
    }
    g_opDeviceState.pictures = nullptr;
    g_opDeviceState.pictureCount = 0;
  }
  // A picture filled in `colour`, with a white frame and a diagonal line.
  void add(const std::string& name, int w, int h, GUI_COLOR colour) {
    records_.emplace_back(FW_PICTURE_HEADER, 0);
    std::memcpy(records_.back().data(), name.data(), std::min<size_t>(name.size(), 16));
    FwPicture p{};
    p.memdev = GUI_MEMDEV_Create(0, 0, w, h);
    p.xSize = static_cast<uint16_t>(w);
    p.ySize = static_cast<uint16_t>(h);
    const GUI_MEMDEV_Handle previous = GUI_MEMDEV_Select(p.memdev);
    GUI_SetColor(colour);
    GUI_FillRect(0, 0, w - 1, h - 1);
    GUI_SetColor(0xFFFFFF);
    GUI_DrawRect(0, 0, w - 1, h - 1);
    GUI_DrawLine(0, 0, w - 1, h - 1);
    GUI_MEMDEV_Select(previous);
    table_.push_back(p);
    for (size_t i = 0; i < table_.size(); ++i) table_[i].record = records_[i].data();
    g_opDeviceState.pictures = table_.data();
    g_opDeviceState.pictureCount = static_cast<uint32_t>(table_.size());
  }

 private:
  std::vector<std::vector<uint8_t>> records_;
  std::vector<FwPicture> table_;
};

}  // namespace userpagetest

class UserPageTest : public OpuiDialogTest {
 protected:
  void SetUp() override {
    OpuiDialogTest::SetUp();
    fx = std::make_unique<BlockFixture>(userpagetest::registerTypes);
    g_fwRunMode = FW_RUN_MODE_RUN;
    OpAlarmDisplayFlags[1] = 0;
  }
  void TearDown() override {
    OP_ClearDisplayList();
    g_fwRunMode = FW_RUN_MODE_STOP;
    fx.reset();
    OpuiDialogTest::TearDown();
  }

  // A block of a type; blocks run in the order they were made.
  void make(uint16_t type, uint16_t block) {
    fx->create(type, block);
    blocks.push_back(block);
  }
  // Text k of a block (16 characters, blank-padded).
  void setText(uint16_t block, uint16_t k, const std::string& text) {
    char* t = nullptr;
    ASSERT_EQ(FB_GetTextParamPtr(block, k, &t), 1);
    std::string padded = text;
    padded.resize(FB_TEXT_LEN, ' ');
    std::memcpy(t, padded.data(), FB_TEXT_LEN);
  }
  // A word value, current and pending alike.
  void setValue(uint16_t block, uint16_t k, uint16_t v) {
    fx->wordValue(block, k) = v;
    fx->wordValue(block, k, true) = v;
  }
  // A text object: display mode, format code, prefix and suffix.
  void textObject(uint16_t block, uint16_t mode, uint16_t format, const std::string& prefix,
                  const std::string& suffix) {
    make(OP_TYPE_TXTOBJ, block);
    setValue(block, TXTOBJ_WORD_MODE, mode);
    setValue(block, TXTOBJ_WORD_FORMAT, format);
    setText(block, TXTOBJ_TEXT_PREFIX, prefix);
    setText(block, TXTOBJ_TEXT_SUFFIX, suffix);
  }
  // A parameter field on the target's parameter `number`, shown as `kind`.
  void paramObject(uint16_t block, uint16_t target, uint16_t number, uint16_t kind,
                   const std::string& prefix, const std::string& suffix) {
    make(OP_TYPE_PAROBJ, block);
    setValue(block, PAROBJ_WORD_BLOCK, target);
    setValue(block, PAROBJ_WORD_PARNO, number);
    setValue(block, PAROBJ_WORD_KIND, kind);
    setText(block, PAROBJ_TEXT_PREFIX, prefix);
    setText(block, PAROBJ_TEXT_SUFFIX, suffix);
  }
  // Slot k (1-based) of a user page shows an object at x, y of the view.
  void place(uint16_t page, uint16_t slot, uint16_t object, uint16_t x, uint16_t y) {
    fx->connectAnalog(page, slot, object, 1);
    setValue(page, static_cast<uint16_t>(VUSER_WORD_FIRST_PLACE + 2 * (slot - 1)), x);
    setValue(page, static_cast<uint16_t>(VUSER_WORD_FIRST_PLACE + 2 * (slot - 1) + 1), y);
  }
  void initAll() {
    for (uint16_t b : blocks) fx->init(b);
  }
  // One device cycle.
  void deviceCycle() {
    OP_ReadKeysAndPointer();
    OP_RunPageManager(0);
    for (uint16_t b : blocks) fx->run(b);
    OP_UpdateDisplay();
  }
  void deviceCycles(int n) {
    for (int i = 0; i < n; ++i) deviceCycle();
  }
  // Shows a block's page and runs until its view is built.
  void showPage(uint16_t block) {
    ASSERT_EQ(OP_SelectBlockPage(block), 1);
    deviceCycles(3);
  }
  // A touch at a screen point: pressed one cycle, released the next, then one cycle for the
  // objects to take the release.
  void touchAt(int x, int y) {
    SIM_POINTER_STATE s{static_cast<int16_t>(x), static_cast<int16_t>(y), 2};
    SIM_StorePointerState(&s);
    deviceCycle();
    s.state = 0;
    SIM_StorePointerState(&s);
    deviceCycle();
    deviceCycle();
  }
  // The middle of an object's window on the screen.
  void touchObject(uint16_t block) {
    const OpViewSlot* slot = OP_UserViewSlotOf(block);
    ASSERT_NE(slot, nullptr) << "block " << block << " is not shown";
    GUI_RECT r{};
    WM_GetWindowRectEx(slot->window, &r);
    touchAt((r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2);
  }
  // The dialog opened last (the last child of the body, or of the full-screen view).
  static WM_HWIN topDialog() {
    const WM_HWIN parent = OP_UserViewFullScreen() ? g_opUserView.window : g_opDisplay.body;
    WM_HWIN last = 0;
    for (WM_HWIN h = WM_GetFirstChild(parent); h; h = WM_GetNextSibling(h)) last = h;
    return last;
  }
  // A touch in the middle of a dialog's item.
  void touchDialogItem(WM_HWIN dialog, int id) {
    GUI_RECT r{};
    WM_GetWindowRectEx(WM_GetDialogItem(dialog, id), &r);
    touchAt((r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2);
  }
  static std::string composedText(uint16_t block) {
    char text[OP_OBJECT_TEXT_CHARS + 1];
    if (FB_GetInstance(block)[FB_HDR_TYPE] == OP_TYPE_PAROBJ) {
      OP_ParamObjectCompose(block, text);
    } else {
      OP_TextObjectCompose(block, text);
    }
    return text;
  }

  std::unique_ptr<BlockFixture> fx;
  std::vector<uint16_t> blocks;
};
