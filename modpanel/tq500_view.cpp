#include "modpanel/tq500_view.h"

#include "modpanel/module_dialogs.h"

CTQ500View::CTQ500View(QWidget* parent) : QWidget(parent) {}

int32_t CTQ500View::OnAddModule(uint32_t wParam, int32_t lParam) {
  if (count_ >= TQ500_MAX_PLACES) return 0;
  const int32_t code = static_cast<int32_t>(wParam);
  const TQ500ModuleRow* row = TQ500_ModuleRow(code);
  if (!row) return 0;
  CModuleDlg* dlg = TQ500_CreateModuleDlg(row->dialog, this);
  if (!dlg) return 0;
  // Neighbours share their border pixel.
  const int w = dlg->width(), h = dlg->height();
  dlg->move((w - 1) * count_, 0);
  const int clientWidth = (w - 1) * (count_ + 1) + 1;
  setFixedSize(clientWidth, h);
  if (clientSize_) clientSize_(clientWidth, h);
  dlg->SetDlgItemText(TQ500_ID_NAME, QString::fromLatin1(row->name));
  dlg->SetDlgItemText(TQ500_ID_SETTING, lParam == TQ500_NO_SETTING ? QString() : QString::number(lParam));
  dlg->ShowChannels(row->channels);
  dlg->show();
  panels_[count_] = dlg;
  codes_[count_] = row->code;
  ++count_;
  if (TQ500_IsInternalCode(code)) internal_ = true;
  return 0;
}

int CTQ500View::PlaceOf(uint32_t wParam, int* channel) const {
  const uint32_t slot = wParam >> 8, ch = wParam & 0xFF;
  if (slot >= TQ500_SLOTS || ch >= TQ500_CHANNELS) return -1;
  const int place = static_cast<int>(slot) + (internal_ ? 0 : 1);
  if (place >= count_) return -1;
  *channel = static_cast<int>(ch);
  return place;
}

uint32_t CTQ500View::OnGetInput(uint32_t wParam) const {
  int channel = 0;
  const int place = PlaceOf(wParam, &channel);
  return place < 0 ? 0 : panels_[place]->GetInput(channel);
}

int32_t CTQ500View::OnSetOutput(uint32_t wParam, int32_t lParam) {
  int channel = 0;
  const int place = PlaceOf(wParam, &channel);
  if (place >= 0) panels_[place]->SetOutput(channel, lParam);
  return 0;
}
