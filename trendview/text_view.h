// The text view: the left pane of a child frame. A small table with the time at the cursor
// and the value of every shown channel there, drawn into an off-screen image and copied to
// the window; printed at the left of a page, and handed to the clipboard copy as an image.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "trendview/kurvan_ui.h"
#include "trendview/trend_view.h"

class QFontMetrics;
class QPainter;

// One row of the table.
struct KurvanTextRow {
  enum Kind { Date, Clock, Analog, Digital };
  Kind kind = Clock;
  QString label;        // "t = " on the first time row, "<name> = " on a channel row
  QString value;        // the date or clock text, "%7.3f" of an analog sample; empty for a gap
  uint32_t colour = 0;  // the channel's colour (0x00BBGGRR)
  int state = 0;        // digital rows: 1 on, 0 off, -1 gap (no circle)
};

// The table of the locked record at the document's cursor: the time rows (the date row only
// when the date text is not empty), then one row per shown analog and per shown digital
// channel. Empty unless the record holds samples (+278 > 0) and the cursor's slot and time
// are not negative.
std::vector<KurvanTextRow> KurvanTextTable(const CTrendDoc& doc, const uint8_t* rec);

class CTrendTextView : public QWidget, public CTrendView {
 public:
  CTrendTextView(CTrendDoc* doc, CChildFrame* frame, QWidget* parent);

  // 1125: draw the table again; 1128: the off-screen image (a QImage*, null without one);
  // 1129: print into the QPainter* in lParam, inside the page's frame, returning the width
  // taken from the frame on in device units (0 without a painter, while printing already,
  // or with nothing to show).
  intptr_t send(int id, intptr_t wParam, intptr_t lParam) override;
  void onUpdate() override;
  QWidget* widget() override { return this; }

  // The rows last drawn on the screen.
  const std::vector<KurvanTextRow>& rows() const { return rows_; }
  // The width the table of these rows takes on the screen, margins included.
  int tableWidth() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  struct Metrics {
    int left = 0, top = 0, labelWidth = 0, valueWidth = 0, rowHeight = 0;
    int line = 1;  // width of the state circles' outline (a screen pixel's width on a page)
  };
  void refresh();
  int print(QPainter* painter);
  static Metrics Layout(const QFontMetrics& fm, const std::vector<KurvanTextRow>& rows, int margin);
  // `paper`: black texts on white, as a page is printed.
  void drawTable(QPainter& p, const Metrics& m, const std::vector<KurvanTextRow>& rows, bool monochrome,
                 bool paper) const;

  KurvanOffscreen offscreen_;
  std::vector<KurvanTextRow> rows_;
  bool printing_ = false;
};
