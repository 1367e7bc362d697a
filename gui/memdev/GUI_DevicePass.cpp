// Operations of devices that pass a call on to the device below them unchanged.
#include "gui/memdev/GUI_Memdev.h"

void GUI_DEVICE__PassDrawBitmap(GUI_DEVICE* d, int x0, int y0, int xSize, int ySize, int bpp, int bytesPerLine,
                                const uint8_t* pData, int diff, const uint32_t* pTrans) {
  if (GUI_DEVICE* n = d->pNext) n->pDeviceAPI->pfDrawBitmap(n, x0, y0, xSize, ySize, bpp, bytesPerLine, pData, diff, pTrans);
}
void GUI_DEVICE__PassDrawHLine(GUI_DEVICE* d, int x0, int y, int x1) {
  if (GUI_DEVICE* n = d->pNext) n->pDeviceAPI->pfDrawHLine(n, x0, y, x1);
}
void GUI_DEVICE__PassDrawVLine(GUI_DEVICE* d, int x, int y0, int y1) {
  if (GUI_DEVICE* n = d->pNext) n->pDeviceAPI->pfDrawVLine(n, x, y0, y1);
}
void GUI_DEVICE__PassFillRect(GUI_DEVICE* d, int x0, int y0, int x1, int y1) {
  if (GUI_DEVICE* n = d->pNext) n->pDeviceAPI->pfFillRect(n, x0, y0, x1, y1);
}
uint32_t GUI_DEVICE__PassGetPixelIndex(GUI_DEVICE* d, int x, int y) {
  GUI_DEVICE* n = d->pNext;
  return n ? n->pDeviceAPI->pfGetPixelIndex(n, x, y) : 0;
}
void GUI_DEVICE__PassSetPixelIndex(GUI_DEVICE* d, int x, int y, uint32_t index) {
  if (GUI_DEVICE* n = d->pNext) n->pDeviceAPI->pfSetPixelIndex(n, x, y, index);
}
void GUI_DEVICE__PassXorPixel(GUI_DEVICE* d, int x, int y) {
  if (GUI_DEVICE* n = d->pNext) n->pDeviceAPI->pfXorPixel(n, x, y);
}
void GUI_DEVICE__PassSetOrg(GUI_DEVICE* d, int x, int y) {
  if (GUI_DEVICE* n = d->pNext) n->pDeviceAPI->pfSetOrg(n, x, y);
}
// A function found below is returned with the device variable moved to the device that has it.
tLCDDEV_Func GUI_DEVICE__PassGetDevFunc(GUI_DEVICE** pp, int index) {
  GUI_DEVICE* n = (*pp)->pNext;
  if (!n) return nullptr;
  tLCDDEV_Func f = n->pDeviceAPI->pfGetDevFunc(&n, index);
  if (f) *pp = n;
  return f;
}
int32_t GUI_DEVICE__PassGetDevProp(GUI_DEVICE* d, int index) {
  GUI_DEVICE* n = d->pNext;
  return n ? n->pDeviceAPI->pfGetDevProp(n, index) : -1;
}
void* GUI_DEVICE__PassGetDevData(GUI_DEVICE* d, int index) {
  GUI_DEVICE* n = d->pNext;
  return n ? n->pDeviceAPI->pfGetDevData(n, index) : nullptr;
}
void GUI_DEVICE__PassGetRect(GUI_DEVICE* d, GUI_RECT* r) {
  if (GUI_DEVICE* n = d->pNext)
    n->pDeviceAPI->pfGetRect(n, r);
  else
    *r = GUI_RECT{0, 0, -1, -1};
}
