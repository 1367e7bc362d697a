// The user page VUSER (view, background picture, bound objects, page links), the message
// block VMSG, the display-object list, the label lists of the operating interface's types,
// and a user page built from an engineering description, drawn against its golden image.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "blocks/block_family.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/memdev/GUI_Memdev.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_values.h"
#include "runtime/fw_image.h"
#include "runtime/fw_text.h"
#include "tools/engbuild/eng_builder.h"
#include "tools/engbuild/eng_names.h"
#include "opui/op_objects2.h"
#include "userpage_fixture.h"

namespace {

using userpagetest::kTargetType;

constexpr uint16_t kPage = 500, kOtherPage = 510, kObject = 300, kMessage = 700;

using userpagetest::Pictures;

class UserViewTest : public UserPageTest {
 protected:
  void SetUp() override {
    UserPageTest::SetUp();
    make(OP_TYPE_VUSER, kPage);
  }
  void bars(uint16_t page, uint16_t top, uint16_t title) {
    setValue(page, VUSER_WORD_TOPBAR, top);
    setValue(page, VUSER_WORD_TITLE, title);
  }
};

// The view area by the bars shown, and where the view window goes.
TEST_F(UserViewTest, ViewAreaByTheBarsShown) {
  struct Case {
    uint16_t top, title;
    OpRect area;
    bool fullScreen;
  };
  const Case cases[] = {
      {0, 0, {0, 0, 320, 240}, true},
      {1, 0, {0, 34, 320, 206}, false},
      {1, 1, {0, 59, 320, 181}, false},
      {0, 1, {0, 59, 320, 181}, false},
  };
  initAll();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.top << c.title);
    const OpRect a = OP_UserViewArea(c.top != 0, c.title != 0);
    EXPECT_EQ(a.x, c.area.x);
    EXPECT_EQ(a.y, c.area.y);
    EXPECT_EQ(a.xSize, c.area.xSize);
    EXPECT_EQ(a.ySize, c.area.ySize);
    bars(kPage, c.top, c.title);
    ASSERT_EQ(OP_UserViewOpen(kPage), 1);
    GUI_RECT r{};
    WM_GetWindowRectEx(g_opUserView.window, &r);
    EXPECT_EQ(r.y0, c.area.y);
    EXPECT_EQ(r.y1 - r.y0 + 1, c.area.ySize);
    EXPECT_EQ(r.x1 - r.x0 + 1, c.area.xSize);
    EXPECT_EQ(OP_UserViewFullScreen(), c.fullScreen);
    // Below the top bar the view is a child of the body; over the whole screen the dialogs
    // open in the view.
    EXPECT_EQ(WM_GetParent(g_opUserView.window) == g_opDisplay.body, !c.fullScreen);
    uint8_t done = 0;
    float value = 0;
    const WM_HWIN keypad = OP_OpenKeypad(OP_KEYPAD_NUMBER, &value, 0, 1, 0, &done);
    EXPECT_EQ(WM_GetParent(keypad), c.fullScreen ? g_opUserView.window : g_opDisplay.body);
    OP_CloseTouchDialogs();
    OP_CloseBlockView(kPage);
    EXPECT_EQ(g_opUserView.block, 0);
    EXPECT_FALSE(OP_UserViewFullScreen());
  }
}

// Over the whole screen the view takes the touches where the top bar's zones would be.
TEST_F(UserViewTest, FullScreenViewHasNoTopBarZones) {
  initAll();
  showPage(kPage);
  g_opInput.pointer = OpPointerCopy{10, 10, OP_POINTER_PRESSED, 0};
  EXPECT_EQ(FW_GetTouchZone(), OP_ZONE_LEFT);
  bars(kPage, 0, 0);
  OP_UserViewOpen(kPage);
  EXPECT_EQ(FW_GetTouchZone(), OP_ZONE_NONE);
}

// The background picture by its name without trailing blanks; an unknown name gives none
// and reads no entry past the loaded ones.
TEST_F(UserViewTest, BackgroundPictureByName) {
  Pictures pictures;
  pictures.add("Other", 8, 8, 0x00FF00);
  pictures.add("Bild1", 320, 181, 0x0000FF);
  initAll();
  struct Case {
    const char* name;
    int index;  // -1: none
  };
  for (const Case& c : {Case{"Bild1   ", 1}, Case{"Bild1", 1}, Case{"  Bild1", -1}, Case{"Bild", -1},
                        Case{"", -1}}) {
    SCOPED_TRACE(c.name);
    setText(kPage, VUSER_TEXT_PICTURE, c.name);
    ASSERT_EQ(OP_UserViewOpen(kPage), 1);
    const FwPicture* p = OP_FindUserPicture(c.name);
    EXPECT_EQ(p ? static_cast<int>(p - g_opDeviceState.pictures) : -1, c.index);
    EXPECT_EQ(g_opUserView.picture, c.index < 0 ? 0 : g_opDeviceState.pictures[c.index].memdev);
  }
  // A table that claims more entries than it holds is read only up to its 200 entries.
  std::vector<FwPicture> full(FW_PICTURE_TABLE_SIZE);
  std::vector<uint8_t> record(FW_PICTURE_HEADER, 'x');
  for (FwPicture& p : full) p.record = record.data();
  g_opDeviceState.pictures = full.data();
  g_opDeviceState.pictureCount = 100000;
  EXPECT_EQ(OP_FindUserPicture("Bild1"), nullptr);
  EXPECT_NE(OP_FindUserPicture("xxxxxxxxxxxxxxxx"), nullptr);
}

// The slots bind display objects only: a number out of range, a block of another type, a
// missing block and an object given twice leave their slots empty.
TEST_F(UserViewTest, SlotsBindDisplayObjectsOnly) {
  textObject(kObject, TXTOBJ_NUMBER, 1, "", "");
  make(kTargetType, 400);
  place(kPage, 1, kObject, 0, 0);
  fx->setAnalogInput(kPage, 2, 0.0f);
  fx->setAnalogInput(kPage, 3, 5000.0f);
  fx->setAnalogInput(kPage, 4, -1.0f);
  fx->setAnalogInput(kPage, 5, 400.0f);   // the target type
  fx->setAnalogInput(kPage, 6, 401.0f);   // no block
  place(kPage, 7, kObject, 0, 0);         // twice
  fx->setAnalogInput(kPage, 8, 300.4f);   // the object again, as a rounded number
  initAll();
  ASSERT_EQ(OP_UserViewOpen(kPage), 1);
  EXPECT_EQ(g_opUserView.bound, 1);
  EXPECT_EQ(g_opUserView.slots[0].block, kObject);
  for (int k = 1; k < OP_VIEW_SLOTS; ++k) EXPECT_EQ(g_opUserView.slots[k].block, 0) << k;
  EXPECT_EQ(BLK_WorkState<UserPageState>(fx->layout(kPage)).bound, 1);
  EXPECT_NE(g_opUserView.slots[0].window, 0);
  // Closing the view forgets the objects' windows.
  OP_CloseBlockView(kPage);
  EXPECT_EQ(OP_ObjectState(kObject)->slot, 0);
  EXPECT_EQ(OP_UserViewSlotOf(kObject), nullptr);
}

// Pressing a page-link object closes the view and asks the page manager for the page of the
// block its input names; a number that names no block with a page does nothing.
TEST_F(UserViewTest, PageLinkClosesTheViewAndOpensTheLinkedPage) {
  make(OP_TYPE_VUSER, kOtherPage);
  make(kTargetType, 400);
  textObject(kObject, TXTOBJ_TWO_STATE, 0, "Next page", "Next page");
  setValue(kObject, TXTOBJ_WORD_INKIND, OP_INKIND_PAGE);
  place(kPage, 1, kObject, 40, 60);
  fx->setAnalogInput(kObject, TXTOBJ_IN_VALUE, 400.0f);
  initAll();
  showPage(kPage);
  ASSERT_NE(OP_UserViewSlotOf(kObject), nullptr);
  touchObject(kObject);
  EXPECT_EQ(g_opUserView.block, kPage) << "block 400 has no page";
  EXPECT_EQ(OP_ObjectState(kObject)->request, OP_OBJ_REQ_NONE);

  fx->setAnalogInput(kObject, TXTOBJ_IN_VALUE, static_cast<float>(kOtherPage));
  touchObject(kObject);
  EXPECT_EQ(OP_ObjectState(kObject)->request, OP_OBJ_REQ_PAGE);
  deviceCycle();
  EXPECT_EQ(OP_ObjectState(kObject)->request, OP_OBJ_REQ_TAKEN);
  EXPECT_EQ(g_opUserView.block, 0);
  deviceCycles(3);
  EXPECT_EQ(g_opBlockPage.block, kOtherPage);
  EXPECT_EQ(g_opUserView.block, kOtherPage) << "the linked user page shows its own view";
  EXPECT_EQ(OP_UserViewSlotOf(kObject), nullptr);
}

// Leaving the page closes the view; the page shown again builds it anew.
TEST_F(UserViewTest, ViewFollowsThePage) {
  textObject(kObject, TXTOBJ_NUMBER, 1, "", "");
  place(kPage, 1, kObject, 0, 0);
  initAll();
  showPage(kPage);
  EXPECT_EQ(g_opUserView.block, kPage);
  EXPECT_EQ(OP_ObjectState(kObject)->made, 1);
  g_opDeviceState.keyCode = OP_KEY_EXIT;
  deviceCycle();
  g_opDeviceState.keyCode = 0;
  deviceCycle();
  EXPECT_NE(g_opPage.current, OP_BlockPageProc);
  EXPECT_EQ(g_opUserView.block, 0);
  EXPECT_EQ(BLK_WorkState<UserPageState>(fx->layout(kPage)).open, 0);
  // A start-up pass closes the view; the block's next run builds it again.
  showPage(kPage);
  fx->init(kPage);
  EXPECT_EQ(g_opUserView.block, 0);
  deviceCycle();
  EXPECT_EQ(g_opUserView.block, kPage);
  EXPECT_EQ(g_fbStore.list[kPage].pageData, &BLK_WorkState<UserPageState>(fx->layout(kPage)).page);
}

// The display-object list reset: the view and the message box go.
TEST_F(UserViewTest, ClearDisplayListClosesViewAndMessage) {
  initAll();
  showPage(kPage);
  ASSERT_NE(g_opUserView.window, 0);
  const WM_HWIN view = g_opUserView.window;
  OP_ClearDisplayList();
  EXPECT_FALSE(WM_IsWindow(view));
  EXPECT_EQ(g_opUserView.block, 0);
}

// --- VMSG -------------------------------------------------------------------------------------

class MessageTest : public UserPageTest {
 protected:
  void message(uint16_t block, uint16_t mode, float seconds) {
    make(OP_TYPE_VMSG, block);
    setValue(block, VMSG_WORD_MODE, mode);
    fx->floatParam(block, 1) = seconds;
    fx->floatParam(block, 1, true) = seconds;
    setText(block, VMSG_TEXT_TITLE, "Alarm");
    setText(block, 3, "Tank ");
    setText(block, 4, "full");
    fx->setDigitalInput(block, VMSG_IN_TRIGGER, 0);
  }
  void trigger(uint16_t block, uint16_t on) { fx->setDigitalInput(block, VMSG_IN_TRIGGER, on); }
  uint16_t shown(uint16_t block) { return fx->digitalOut(block, VMSG_OUT_SHOWN); }
};

// The icon: a user picture of exactly 50 x 50, else the built-in icon.
TEST_F(MessageTest, IconOnlyFromAPictureOfFiftyByFifty) {
  Pictures pictures;
  pictures.add("Small", 48, 48, 0x00FF00);
  pictures.add("Icon", 50, 50, 0x0000FF);
  message(kMessage, 0, 1.0f);
  for (const auto& [name, icon] : {std::pair{"Small", -1}, std::pair{"Icon", 1}, std::pair{"None", -1}}) {
    SCOPED_TRACE(name);
    setText(kMessage, VMSG_TEXT_ICON, name);
    OP_VmsgCompose(kMessage);
    const auto& s = BLK_WorkState<MessageBlockState>(fx->layout(kMessage));
    EXPECT_EQ(s.icon, icon);
    EXPECT_STREQ(s.title, "Alarm");
    EXPECT_STREQ(s.line1, "Tank            full") << "the halves are joined as they are stored";
    EXPECT_STREQ(s.line2, "");
  }
  // The box draws the picture as its icon at 5, 20 of its client area.
  setText(kMessage, VMSG_TEXT_ICON, "Icon");
  initAll();
  trigger(kMessage, 1);
  deviceCycles(2);
  ASSERT_EQ(OP_OpenMessageBlock(), kMessage);
  const WM_HWIN client = WM_GetClientWindow(topDialog());
  const int x = WM_GetWindowOrgX(client) + 5, y = WM_GetWindowOrgY(client) + 20;
  EXPECT_EQ(lcdtest::ReadRaw(x + 30, y + 20), 0xFF0000u) << "the picture's red";
  EXPECT_EQ(lcdtest::ReadRaw(x + 1, y + 1), 0xFFFFFFu) << "its white frame";
}

// In mode 0 the box closes when the display time is up: 2.0 s in a 0.1 s group are 20 cycles.
TEST_F(MessageTest, TimedBoxClosesAfterItsDisplayTime) {
  message(kMessage, 0, 2.0f);
  initAll();
  trigger(kMessage, 1);
  for (int i = 1; i <= 20; ++i) {
    deviceCycle();
    ASSERT_EQ(OP_OpenMessageBlock(), kMessage) << "cycle " << i;
    ASSERT_EQ(shown(kMessage), 1);
  }
  EXPECT_EQ(OpAlarmDisplayFlags[1], 1);
  EXPECT_EQ(g_opOverlay.nesting, 1);
  deviceCycle();
  EXPECT_EQ(OP_OpenMessageBlock(), 0);
  EXPECT_EQ(shown(kMessage), 0);
  EXPECT_EQ(OpAlarmDisplayFlags[1], 0);
  EXPECT_EQ(g_opOverlay.nesting, 0);
  deviceCycles(3);
  EXPECT_EQ(OP_OpenMessageBlock(), 0) << "a held trigger does not show it again";
}

// Two blocks triggered in one cycle: only the box of the higher block number stays open,
// whichever runs first.
TEST_F(MessageTest, HigherBlockNumberKeepsTheBox) {
  for (bool higherFirst : {false, true}) {
    SCOPED_TRACE(higherFirst);
    blocks.clear();
    fx = std::make_unique<BlockFixture>(userpagetest::registerTypes);
    message(higherFirst ? 720 : 710, 1, 0.0f);
    message(higherFirst ? 710 : 720, 1, 0.0f);
    initAll();
    trigger(710, 1);
    trigger(720, 1);
    deviceCycle();
    EXPECT_EQ(OP_OpenMessageBlock(), 720);
    deviceCycles(2);
    EXPECT_EQ(OP_OpenMessageBlock(), 720);
    EXPECT_EQ(g_opOverlay.nesting, 1);
    EXPECT_EQ(shown(710), 1) << "the lower one waits";
    OP_ClearDisplayList();
  }
}

// In mode 1 the box stays until OK; then the message is done. "close" ends it too, "block"
// keeps a trigger out and "hold" keeps the box closed.
TEST_F(MessageTest, UntilOkCloseBlockAndHold) {
  message(kMessage, 1, 0.0f);
  initAll();
  trigger(kMessage, 1);
  deviceCycles(30);
  ASSERT_EQ(OP_OpenMessageBlock(), kMessage);
  const WM_HWIN box = topDialog();
  touchDialogItem(box, OP_ID_MSG_OK);
  EXPECT_EQ(OP_OpenMessageBlock(), 0);
  EXPECT_EQ(shown(kMessage), 0);
  EXPECT_FALSE(WM_IsWindow(box));

  trigger(kMessage, 0);
  deviceCycle();
  trigger(kMessage, 1);
  deviceCycle();
  ASSERT_EQ(OP_OpenMessageBlock(), kMessage);
  fx->setDigitalInput(kMessage, VMSG_IN_CLOSE, 1);
  deviceCycle();
  EXPECT_EQ(OP_OpenMessageBlock(), 0);
  EXPECT_EQ(shown(kMessage), 0);
  fx->setDigitalInput(kMessage, VMSG_IN_CLOSE, 0);

  trigger(kMessage, 0);
  fx->setDigitalInput(kMessage, VMSG_IN_BLOCK, 1);
  deviceCycle();
  trigger(kMessage, 1);
  deviceCycle();
  EXPECT_EQ(shown(kMessage), 0);
  EXPECT_EQ(OP_OpenMessageBlock(), 0);
  fx->setDigitalInput(kMessage, VMSG_IN_BLOCK, 0);

  trigger(kMessage, 0);
  fx->setDigitalInput(kMessage, VMSG_IN_HOLD, 1);
  deviceCycle();
  trigger(kMessage, 1);
  deviceCycle();
  EXPECT_EQ(shown(kMessage), 1);
  EXPECT_EQ(OP_OpenMessageBlock(), 0);
  fx->setDigitalInput(kMessage, VMSG_IN_HOLD, 0);
  deviceCycle();
  EXPECT_EQ(OP_OpenMessageBlock(), kMessage) << "the held message comes once hold ends";
  // The firmware's close of the block dialog.
  OP_CloseBlockDialog();
  EXPECT_EQ(OP_OpenMessageBlock(), 0);
  EXPECT_EQ(g_opOverlay.nesting, 0);
}

// The parameter protocol of VMSG and VUSER.
TEST_F(MessageTest, Parameters) {
  message(kMessage, 0, 1.0f);
  make(OP_TYPE_VUSER, kPage);
  initAll();
  struct Case {
    FbParamRequest request;
    uint8_t result;
  };
  const uint16_t topBarBad[] = {2};
  const Case cases[] = {
      {FB_FloatRequest(kMessage, 1000, 2.5f), 0},
      {FB_FloatRequest(kMessage, 1000, -1.0f), 'l'},
      {FB_WordRequest(kMessage, 3000, 1), 0},
      {FB_WordRequest(kMessage, 3000, 2), 'l'},
      {FB_WordRequest(kMessage, 3002, 0), 'i'},
      {FB_WordRequest(kMessage, 2001, 0), 'i'},
      {FB_WordRequest(kPage, 3000, 0), 0},
      {FB_WordRequest(kPage, 3002, 320), 'l'},
      {FB_WordRequest(kPage, 3033, 239), 0},
      {FB_WordRequest(kPage, 3034, 0), 'i'},
      {FB_FloatRequest(kPage, 1000, 0), 'i'},
      {FB_SetRequest(kPage, 4010, topBarBad, {}), 'y'},
  };
  for (const Case& c : cases) {
    FbParamRequest r = c.request;
    SCOPED_TRACE(r.id());
    const FbTypeRecord* t = FB_GetType(FB_GetInstance(r.block())[FB_HDR_TYPE]);
    EXPECT_EQ(t->param(&r, nullptr), c.result);
  }
  // All 34 words of VUSER at once: the first bad one is reported.
  std::vector<uint16_t> words(2 + 2 * OP_VIEW_SLOTS, 0);
  words[5] = 240;  // Y 2
  FbParamRequest all = FB_SetRequest(kPage, 4010, words, {});
  uint16_t bad = 0;
  EXPECT_EQ(FB_VUSER_Param(&all, &bad), 'l');
  EXPECT_EQ(bad, 6);
  // Taken over by the next run while the device runs.
  EXPECT_EQ(fx->wordValue(kMessage, VMSG_WORD_MODE), 0);
  fx->run(kMessage);
  EXPECT_EQ(fx->wordValue(kMessage, VMSG_WORD_MODE), 1);
  EXPECT_EQ(fx->floatParam(kMessage, 1).get(), 2.5f);
}

// --- Types, labels and an engineering with a user page ----------------------------------------

// Every slot of the operating interface's types has a label of its own.
TEST_F(UserPageTest, EverySlotHasALabel) {
  const std::string fallback = FW_GetText(0);
  uint16_t block = 800;
  for (uint16_t type : {OP_TYPE_VUSER, OP_TYPE_TXTOBJ, OP_TYPE_PAROBJ, OP_TYPE_VMSG, OP_TYPE_IMGOBJ, OP_TYPE_PROOBJ,
                        OP_TYPE_BAROBJ, OP_TYPE_TRDOBJ}) {
    SCOPED_TRACE(type);
    ASSERT_NE(FB_GetType(type), nullptr);
    EXPECT_NE(g_fbLabelListStart[type], 0);
    make(type, block);
    for (int cls : {0, 1, 2}) {
      int16_t status = 0;
      FB_ReadValuesByClass(cls, block, &status);
      ASSERT_EQ(status, 1);
      const FbValueLists& l = g_fbValueLists;
      if (l.rowCount == 1 && l.rows[0].entry == nullptr) continue;
      for (uint16_t r = 0; r < l.rowCount; ++r) {
        EXPECT_NE(l.rows[r].textId, 0) << "class " << cls << " row " << r;
        EXPECT_NE(FW_GetText(l.rows[r].textId), fallback) << "class " << cls << " row " << r;
      }
    }
    ++block;
  }
}

// A user page with two text objects and a parameter field over a background picture, as an
// engineering description places them.
constexpr const char* kDescription = R"(run 2
block 200 TARGET group 1
  float 1 42.5
block 300 TXTOBJ group 1 after 200
  in 1 200.1
  set format 1
  set prefix "Level"
  set suffix "%"
  set font 1
  set colour 16777215
block 301 TXTOBJ group 1 after 300
  set mode 1
  set prefix "Pump off"
  set suffix "Pump on"
  set colour 255
  set bkcolour 16777215
  in 1 200.2
block 302 PAROBJ group 1 after 301
  set target 200
  set parno 1
  set kind 2
  set decimals 1
  set inkind 1
  set prefix "W ="
  set suffix "`C"
  set font 2
  set colour 65535
block 500 VUSER group 1 after 302
  text 1 "Tank 1"
  set picture "Bild1"
  in 1 300.1
  set x1 10
  set y1 10
  in 2 301.1
  set x2 10
  set y2 60
  in 3 302.1
  set x3 10
  set y3 110
)";

TEST_F(UserPageTest, UserPageFromAnEngineering) {
  Pictures pictures;
  pictures.add("Bild1", 320, 181, 0x604020);
  EngBuilder b;
  std::string error;
  ASSERT_TRUE(EngParseDescription(kDescription, b, &error)) << error;
  std::vector<uint8_t> image;
  ASSERT_TRUE(b.build(image)) << b.error();
  std::memcpy(g_fwImage, image.data(), image.size());
  ASSERT_EQ(FW_LoadEngineering(), 0);
  ASSERT_EQ(g_fwEng.lastError, FwImageError::None);
  FbF32* level = nullptr;
  ASSERT_EQ(FB_GetAnalogOutputPtr(200, 1, &level), 1);
  *level = 73.26f;
  FbF32* pump = nullptr;
  ASSERT_EQ(FB_GetAnalogOutputPtr(200, 2, &pump), 1);
  *pump = 1.0f;
  FB_RunStartupPass();
  blocks = {300, 301, 302, 500};
  EXPECT_EQ(fx->wordValue(300, TXTOBJ_WORD_FONT), 1);
  EXPECT_EQ(fx->longValue(301, TXTOBJ_LONG_COLOUR), 255.0f);
  EXPECT_EQ(fx->wordValue(500, VUSER_WORD_FIRST_PLACE + 5), 110) << "y3";
  deviceCycle();  // the page manager takes the engineering's language
  showPage(500);
  deviceCycle();
  EXPECT_EQ(composedText(300), "Level   73.3 %");
  EXPECT_EQ(composedText(301), "Pump on");
  EXPECT_EQ(composedText(302), "W = 42.5 \xb0" "C");
  EXPECT_TRUE(lcdtest::MatchesGolden("opui", "user_page"));
}

// A description that names a setting the type does not have is refused with its line.
TEST_F(UserPageTest, UnknownSettingNamesAreRefused) {
  for (const char* text : {"block 300 TXTOBJ\n  set target 1", "block 500 VUSER\n  set x17 3",
                           "block 500 VUSER\n  set x0 3", "set mode 1",
                           "block 300 TXTOBJ\n  set prefix \"seventeen chars!!\""}) {
    SCOPED_TRACE(text);
    EngBuilder b;
    std::string error;
    EXPECT_FALSE(EngParseDescription(text, b, &error));
    EXPECT_NE(error.find("line"), std::string::npos) << error;
  }
  uint16_t index = 0;
  ASSERT_NE(EngFindSetting(OP_TYPE_VUSER, "y16", &index), nullptr);
  EXPECT_EQ(index, VUSER_WORD_FIRST_PLACE + 31);
}

}  // namespace
