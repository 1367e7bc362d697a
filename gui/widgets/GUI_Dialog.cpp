// Dialogs built from tables of item records: the first item makes the frame, every further
// item a widget in the frame's client window; the modal form runs the exec step until the
// dialog ends.
#include "gui/GUI_Private.h"
#include "gui/widgets/Widget_Intern.h"

WM_HWIN GUI_CreateDialogBox(const GUI_DIALOG_ITEM* paItem, int numItems, WM_CALLBACK* cb, WM_HWIN hParent, int x0,
                            int y0) {
  GUI_LockGuard lock;
  if (!paItem || numItems < 1 || !paItem[0].pfCreateIndirect) return 0;
  if (hParent == 0) hParent = WM_GetDesktopWindow();
  WM_HWIN hFrame = paItem[0].pfCreateIndirect(&paItem[0], hParent, x0, y0, cb);
  if (!hFrame) return 0;
  WM_HWIN hClient = WM_GetClientWindow(hFrame);
  WIDGET_OrState(hFrame, paItem[0].Flags);
  WM_ShowWindow(hFrame);
  WM_ShowWindow(hClient);
  for (int i = 1; i < numItems; ++i) {
    const GUI_DIALOG_ITEM& item = paItem[i];
    WM_HWIN h = item.pfCreateIndirect ? item.pfCreateIndirect(&item, hClient, 0, 0, nullptr) : 0;
    if (!h) {
      WM_DeleteWindow(hFrame);
      return 0;
    }
    WM_ShowWindow(h);
  }
  WM_SendMessageNoPara(hClient, WM_MSG_INIT_DIALOG);
  if (hParent == -1) return hFrame;
  WM_HWIN hFocus = WM_GetFocus();
  if (!(hFocus && (WM_GetParent(hFocus) == hFrame || WM_IsAncestor(hFocus, hFrame))))
    WM_SetFocusOnNextChild(hFrame);
  return hFrame;
}

int GUI_ExecCreatedDialog(WM_HWIN hDialog) {
  WM_DIALOG_STATUS status{};
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_HANDLE_DIALOG_STATUS;
  msg.Data.p = &status;
  WM_SendMessage(hDialog, &msg);
  // A dialog deleted without ending it ends the wait too, so that nothing waits for ever
  // on a status that no window can set any more.
  while (!status.Done && WM_IsWindow(hDialog)) {
    if (!GUI_Exec()) GUI_WaitEvent();
  }
  return status.ReturnValue;
}

int GUI_ExecDialogBox(const GUI_DIALOG_ITEM* paItem, int numItems, WM_CALLBACK* cb, WM_HWIN hParent, int x0,
                      int y0) {
  WM_HWIN hDialog = GUI_CreateDialogBox(paItem, numItems, cb, hParent, x0, y0);
  return hDialog ? GUI_ExecCreatedDialog(hDialog) : 0;
}

void GUI_EndDialog(WM_HWIN hDialog, int r) {
  GUI_LockGuard lock;
  if (!hDialog) return;
  WM_MESSAGE msg{};
  msg.MsgId = WM_MSG_HANDLE_DIALOG_STATUS;
  WM_SendMessage(hDialog, &msg);
  auto* pStatus = static_cast<WM_DIALOG_STATUS*>(const_cast<void*>(msg.Data.p));
  if (pStatus) {
    pStatus->Done = 1;
    pStatus->ReturnValue = r;
  }
  WM_MarkForDeletion(hDialog);
}
