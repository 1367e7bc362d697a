// The graph view: the right pane of a child frame.
//
// For now a placeholder: it fills its area with the record's background colour, and on each
// update (the library's 1125 forwarded by the frame, the document's onUpdate) it takes the
// newest sample as the cursor position (the right edge, as with the cursor off), marks every
// pending sample as drawn (+280 = 0) and asks its peer, the text view, to refresh. The real
// graph view keeps this class name and these entry points.
#pragma once

#include <QWidget>

#include "trendview/trend_view.h"

class CTrendGrafView : public QWidget, public CTrendView {
 public:
  CTrendGrafView(CTrendDoc* doc, CChildFrame* frame, QWidget* parent);

  // 1125: draw the pending samples; 1126: the cursor flag changed.
  intptr_t send(int id, intptr_t wParam, intptr_t lParam) override;
  void onUpdate() override;
  QWidget* widget() override { return this; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  void drawAll();
  QColor background_;
};
