#include "trendview/graf_view.h"

#include <QPaintEvent>
#include <QPainter>

#include "trendview/kurvan_ids.h"
#include "trendview/trend_doc.h"

CTrendGrafView::CTrendGrafView(CTrendDoc* doc, CChildFrame* frame, QWidget* parent)
    : QWidget(parent), CTrendView(doc, frame), background_(Qt::white) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

intptr_t CTrendGrafView::send(int id, intptr_t /*wParam*/, intptr_t /*lParam*/) {
  switch (id) {
    case KURVAN_MSG_NEW_SAMPLES:
    case KURVAN_MSG_CURSOR:
      drawAll();
      return 0;
    default:
      return 0;
  }
}

void CTrendGrafView::onUpdate() { drawAll(); }

void CTrendGrafView::drawAll() {
  CTrendDoc* doc = document();
  if (!doc) return;
  if (uint8_t* rec = doc->Lock()) {
    const uint32_t c = TrendGetU32(rec, TREND_REC_BACK_COLOR);
    background_ = QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    const TrendLayout& l = doc->layout();
    if (TrendGetU16(rec, TREND_REC_VALID) > 0 && l.ring > 0) {
      const unsigned newest = TrendSlotBefore(TrendGetU16(rec, TREND_REC_HEAD), 0, l.ring);
      doc->setCursor(static_cast<int>(newest), static_cast<float>(TrendSampleTime(rec, l, 0)));
    } else {
      doc->setCursor(-1, -1.0f);
    }
    TrendPutU16(rec, TREND_REC_PENDING, 0);
    doc->Unlock();
  }
  update();
  if (peer()) peer()->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
}

void CTrendGrafView::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  p.fillRect(e->rect(), background_);
}
