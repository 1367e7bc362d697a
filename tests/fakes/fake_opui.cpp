#include "fakes/fake_opui.h"

CallLog& FakeOpuiLog() {
  static CallLog log;
  return log;
}

void OP_ApplyScreenColors() { FakeOpuiLog().add("OP_ApplyScreenColors"); }
void OP_ClearDisplayList() { FakeOpuiLog().add("OP_ClearDisplayList"); }
void OP_CloseBlockDialog() { FakeOpuiLog().add("OP_CloseBlockDialog"); }
void OP_CloseBlockView(uint16_t block) { FakeOpuiLog().add("OP_CloseBlockView", block); }
void OP_CloseOverlays() { FakeOpuiLog().add("OP_CloseOverlays"); }
void OP_CreateDisplayWindows() { FakeOpuiLog().add("OP_CreateDisplayWindows"); }
void OP_ResetUi() {
  FakeOpuiLog().add("OP_ResetUi");
  OP_PageEnter(0);
  OP_CreateDisplayWindows();
}
void OP_FullScreenProc(WM_MESSAGE*) {}
void OP_ClearDisplayCounters() { FakeOpuiLog().add("OP_ClearDisplayCounters"); }
void OP_ResetFieldEditor() { FakeOpuiLog().add("OP_ResetFieldEditor"); }
void OP_ShowPageWindows(int show) { FakeOpuiLog().add("OP_ShowPageWindows", show); }
void OP_InitKeyMap() { FakeOpuiLog().add("OP_InitKeyMap"); }
int OP_OpenEthernetPage() {
  FakeOpuiLog().add("OP_OpenEthernetPage");
  return 0;
}
void OP_PageEnter(int flag) { FakeOpuiLog().add("OP_PageEnter", flag); }
void OP_PageLeave() { FakeOpuiLog().add("OP_PageLeave"); }
void OP_ReadKeysAndPointer() { FakeOpuiLog().add("OP_ReadKeysAndPointer"); }
void OP_RunPageManager(int keyEvent) { FakeOpuiLog().add("OP_RunPageManager", keyEvent); }
void OP_SetIndicator(int n, int code, int on) { FakeOpuiLog().add("OP_SetIndicator", n, code, on); }
void OP_ShowKeyTest(uint32_t colour, uint32_t textColour, const char* text, int length,
                    int counter) {
  FakeOpuiLog().add("OP_ShowKeyTest", colour, textColour, text ? text : "", length, counter);
}
void OP_ShowNoKey() { FakeOpuiLog().add("OP_ShowNoKey"); }
void OP_ShowStartupLogo() { FakeOpuiLog().add("OP_ShowStartupLogo"); }
int OP_ShowTextScreen(int type, int count) {
  FakeOpuiLog().add("OP_ShowTextScreen", type, count);
  return count == 1 ? 1 : 2;
}
void OP_ShowTouchPoint(int x, int y) { FakeOpuiLog().add("OP_ShowTouchPoint", x, y); }
int OP_TestAndSetFlag(uint8_t* flag) {
  if (*flag) return 1;
  *flag = 1;
  return 0;
}
void OP_UpdateDisplay() { FakeOpuiLog().add("OP_UpdateDisplay"); }
