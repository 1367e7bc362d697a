// One dialog of each widget drawn on the emulated LCD in the flat skin and compared with
// its golden image.
#include <gtest/gtest.h>

#include <functional>

#include "gui/draw/GUI_Draw.h"
#include "widget_fixture.h"

namespace widgettest {
namespace {

// The graph's legend, drawn by its owner through the paint hook.
void GraphLegend(WM_HWIN, int stage) {
  if (stage != GRAPH_DRAW_LAST) return;
  GUI_SetFont(&GUI_FontProp13);
  GUI_SetTextMode(GUI_TEXTMODE_TRANS);
  GUI_SetColor(0x0000FF);
  GUI_DispStringAt("Flow", 4, 2);
  GUI_SetColor(0x00FF00);
  GUI_DispStringAt("Level", 40, 2);
}

struct DialogCase {
  const char* golden;
  std::vector<GUI_DIALOG_ITEM> items;
  std::function<void(WM_HWIN hDlg)> setUp;
};

TEST_F(WidgetTest, OneDialogOfEachWidgetMatchesItsGoldenImage) {
  const std::vector<DialogCase> cases = {
      {"widget_framewin",
       {{FRAMEWIN_CreateIndirect, "Settings", 0, 20, 20, 200, 120, 0, 0, 0}},
       [](WM_HWIN) {}},
      {"widget_text",
       {{FRAMEWIN_CreateIndirect, "Text", 0, 20, 20, 200, 120, 0, 0, 0},
        {TEXT_CreateIndirect, "Left", 1, 5, 5, 120, 20, GUI_TA_LEFT | GUI_TA_VCENTER, 0, 0},
        {TEXT_CreateIndirect, "Centred", 2, 5, 30, 180, 20, GUI_TA_HCENTER | GUI_TA_VCENTER, 0, 0}},
       [](WM_HWIN h) {
         WM_HWIN t = WM_GetDialogItem(h, 2);
         TEXT_SetBkColor(t, 0x00FFFF);
         TEXT_SetTextColor(t, 0x0000FF);
       }},
      {"widget_button",
       {{FRAMEWIN_CreateIndirect, "Buttons", 0, 20, 20, 200, 120, 0, 0, 0},
        {BUTTON_CreateIndirect, "Focused", 1, 10, 10, 80, 24, 0, 0, 0},
        {BUTTON_CreateIndirect, "Pressed", 2, 100, 10, 80, 24, 0, 0, 0},
        {BUTTON_CreateIndirect, "Disabled", 3, 10, 50, 80, 24, 0, 0, 0}},
       [](WM_HWIN h) {
         BUTTON_SetPressed(WM_GetDialogItem(h, 2), 1);
         WM_DisableWindow(WM_GetDialogItem(h, 3));
       }},
      {"widget_checkbox",
       {{FRAMEWIN_CreateIndirect, "Options", 0, 20, 20, 200, 120, 0, 0, 0},
        {CHECKBOX_CreateIndirect, nullptr, 1, 10, 10, 150, 20, 0, 0, 0},
        {CHECKBOX_CreateIndirect, nullptr, 2, 10, 40, 150, 20, 0, 0, 0}},
       [](WM_HWIN h) {
         CHECKBOX_SetText(WM_GetDialogItem(h, 1), "Checked");
         CHECKBOX_SetState(WM_GetDialogItem(h, 1), 1);
         CHECKBOX_SetText(WM_GetDialogItem(h, 2), "Not checked");
       }},
      {"widget_edit",
       {{FRAMEWIN_CreateIndirect, "Edit", 0, 20, 20, 200, 120, 0, 0, 0},
        {EDIT_CreateIndirect, nullptr, 1, 10, 10, 120, 22, 0, 16, 0},
        {EDIT_CreateIndirect, nullptr, 2, 10, 45, 80, 22, 0, 5, 0}},
       [](WM_HWIN h) {
         EDIT_SetText(WM_GetDialogItem(h, 1), "Hello");
         WM_HWIN e = WM_GetDialogItem(h, 2);
         EDIT_SetDecMode(e, 123, 0, 9999, 1, 0);
         EDIT_SetCursorAtChar(e, 4);
         WM_SetFocus(e);
       }},
      {"widget_scrollbar",
       {{FRAMEWIN_CreateIndirect, "Scroll", 0, 20, 20, 200, 120, 0, 0, 0},
        {SCROLLBAR_CreateIndirect, nullptr, 1, 10, 10, 160, 14, 0, 0, 0},
        {SCROLLBAR_CreateIndirect, nullptr, 2, 170, 30, 14, 60, SCROLLBAR_CF_VERTICAL, 0, 0}},
       [](WM_HWIN h) {
         SCROLLBAR_SetValue(WM_GetDialogItem(h, 1), 30);
         SCROLLBAR_SetValue(WM_GetDialogItem(h, 2), 90);
       }},
      {"widget_listbox",
       {{FRAMEWIN_CreateIndirect, "List", 0, 20, 20, 260, 150, 0, 0, 0},
        {LISTBOX_CreateIndirect, nullptr, 1, 4, 4, 120, 110, 0, 0, 0},
        {LISTBOX_CreateIndirect, nullptr, 2, 130, 4, 110, 70, LISTBOX_CF_AUTOSCROLLBAR_V, 0, 0}},
       [](WM_HWIN h) {
         WM_HWIN a = WM_GetDialogItem(h, 1);
         LISTBOX_SetFont(a, &GUI_FontProp22);
         LISTBOX_SetItemSpacing(a, 20);
         LISTBOX_SetBkColor(a, LISTBOX_CI_UNSEL, 0xFFFFFF);
         for (const char* s : {"Operating pages", "Parameters", "Signals", "Configuration", "End"})
           LISTBOX_AddString(a, s);
         LISTBOX_SetSel(a, 2);
         WM_SetFocus(a);
         WM_HWIN b = WM_GetDialogItem(h, 2);
         for (const char* s : {"one", "two", "three", "four", "five", "six", "seven"}) LISTBOX_AddString(b, s);
         LISTBOX_SetBkColor(b, LISTBOX_CI_UNSEL, 0xE0FFFF);
         LISTBOX_SetSel(b, 6);
       }},
      {"widget_graph",
       {{FRAMEWIN_CreateIndirect, "Trend", 0, 20, 20, 260, 150, 0, 0, 0},
        {GRAPH_CreateIndirect, nullptr, 1, 4, 4, 240, 110, 0, 0, 0}},
       [](WM_HWIN h) {
         WM_HWIN g = WM_GetDialogItem(h, 1);
         GRAPH_SetBkColor(g, 0x400000);
         GRAPH_SetUserDraw(g, GraphLegend);
         int16_t flow[238], level[200];
         for (int i = 0; i < 238; ++i) flow[i] = int16_t(50 + (i * 7 % 60) - 30 + (i / 40) * 5);
         for (int i = 0; i < 200; ++i) level[i] = i >= 90 && i < 110 ? GRAPH_NO_VALUE : int16_t(10 + i / 3);
         GRAPH_AttachData(g, GRAPH_DATA_YT_Create(0x0000FF, GRAPH_MAX_POINTS, flow, 238));
         GRAPH_AttachData(g, GRAPH_DATA_YT_Create(0x00FF00, GRAPH_MAX_POINTS, level, 200));
       }},
      {"widget_window",
       {{WINDOW_CreateIndirect, nullptr, 0, 20, 20, 200, 120, 0, 0, 0},
        {TEXT_CreateIndirect, "In a window", 1, 10, 10, 150, 20, GUI_TA_LEFT, 0, 0},
        {BUTTON_CreateIndirect, "Ok", 2, 10, 40, 60, 24, 0, 0, 0}},
       [](WM_HWIN h) { WINDOW_SetBkColor(h, 0xC0FFC0); }},
  };
  for (const DialogCase& c : cases) {
    WM_HWIN hDlg = GUI_CreateDialogBox(c.items.data(), int(c.items.size()), RecordingDialog, 0, 0, 0);
    ASSERT_NE(hDlg, 0) << c.golden;
    c.setUp(hDlg);
    Exec();
    EXPECT_TRUE(golden(c.golden)) << c.golden;
    WM_DeleteWindow(hDlg);
    Exec();
  }
  EXPECT_TRUE(errors.empty()) << errors[0];
}

}  // namespace
}  // namespace widgettest
