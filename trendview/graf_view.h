// The graph view: the right pane of a child frame. It draws the trend of its document into
// an off-screen image and copies that to the window: an analog area with the curves and a
// value scale at the left and/or right, a time band with time labels, and a digital area
// with one row per shown digital channel. It follows the live record sample by sample by
// scrolling the image by whole pixels, scrolls and zooms in time (horizontal bar) and value
// (vertical bar), shows the program's measuring cursor, zooms to a rubber band, and copies,
// prints and exports what it shows.
//
// Private messages: 1125 (new samples: the live update), 1126 (the cursor was switched).
// Commands: 32776 zoom reset, 57634 copy, 32778 CSV export, 57607 print, 57609 print
// preview, 57606 print setup. Its peer is the text view: 1125 after every change of the
// cursor data, 1128 for its image, 1129 to print its table.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <cstdint>
#include <string>
#include <vector>

#include "trendview/graf_draw.h"
#include "trendview/graf_scale.h"
#include "trendview/kurvan_ui.h"
#include "trendview/trend_view.h"

class QPaintDevice;
class QPrinter;

// The printer of the whole program (print, print preview and print setup share it).
QPrinter& KurvanPrinter();
// The font of a printed page: "Arial", 9 points (tests put a font of their own in its place;
// an empty font restores "Arial").
QFont KurvanPrintFont();
void KurvanSetPrintFont(const QFont& font);
// Whether a page on `device` is printed in black: a device of at most 8 bits per pixel, or a
// printer set to grey scale. Every other device prints in the record's colours.
bool KurvanPrintsInBlack(const QPaintDevice* device);

// The CSV text of what the zoom shows of a locked record: the header line (";\"name\"" per
// shown analog, then per shown digital channel), then one row per visible slot from the
// oldest to the newest: the time (hours run on, or date and clock time), ";%.3f" per shown
// analog channel with a decimal comma (a gap is the scale minimum), ";%d" per shown digital
// channel (a gap is 255); lines end in CR LF.
std::string KurvanCsvText(const CTrendDoc& doc, const uint8_t* rec, const KurvanZoom& zoom);

class CTrendGrafView : public QAbstractScrollArea, public CTrendView {
 public:
  CTrendGrafView(CTrendDoc* doc, CChildFrame* frame, QWidget* parent);

  intptr_t send(int id, intptr_t wParam, intptr_t lParam) override;
  void onUpdate() override;
  bool onCommand(int id, KurvanCmdUI* ui) override;
  QWidget* widget() override { return this; }

  // Draws now what the next paint would show into the off-screen image.
  void drawNow();
  const QImage& image() const { return offscreen_.image(); }
  const KurvanGrafLayout& geometry() const { return layout_; }
  const KurvanZoom& zoom() const { return zoom_; }
  int cursorX() const { return cursorX_; }
  bool tooSmall() const { return layout_.tooSmall; }
  // The sub-pixel remainder of the live scrolling, and the pixels the last live update
  // scrolled.
  int scrollRest() const { return marks_.rest; }
  int lastAdvance() const { return lastAdvance_; }

  // Zooms to the rectangle between two points of the window (nothing unless it is at least
  // 2 pixels wide and high); resets the zoom.
  void ZoomTo(QPoint a, QPoint b);
  void ZoomReset();
  // The cursor data into the document (under its lock), then 1125 to the text view.
  void UpdateCursorData();

  // The clipboard image: the text view's image and the graph side by side in a black frame.
  QImage ClipboardImage();
  void CopyToClipboard();
  // Prints a page with the text view's table, the header and the graph onto a printer (or
  // any other paint device: an image shows the page as a printer would get it). The header
  // tells the time `now` (seconds since 1970; -1: the current time). False when nothing
  // could be printed (no painter, no record).
  bool Print(QPaintDevice* target, int64_t now = -1);
  // The CSV export of the visible part to `path` through "<path>.tmp"; false (and message
  // 61228) when the file cannot be written.
  bool ExportCsv(const std::string& path);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  // The bars' positions are the view's own offsets: nothing is moved by the base class.
  void scrollContentsBy(int, int) override {}

 private:
  bool EnsureImage();
  void Rebuild(uint8_t* rec);
  void Layout(uint8_t* rec);
  void DrawAll();
  void LiveUpdate();
  void ScrollImage(const KurvanRect& box, int advance);
  void SetScrollBars();
  void OnScrollAction(bool horizontal, int action);
  void Invalidate();
  void MoveCursor(QPoint pos);
  void Export();
  void PrintCommand(bool preview);
  void PrintSetup();
  void PaintPage(QPainter& p, const QPaintDevice& page, const uint8_t* rec, int64_t now);
  QRect bandRect() const;

  KurvanOffscreen offscreen_;
  KurvanGrafLayout layout_;
  KurvanGrafStyle style_;
  KurvanGrafMarks marks_;
  KurvanZoom zoom_;
  bool rebuild_ = true;     // the first paint sets up zoom and styles
  bool relayout_ = true;    // the layout is redone at the next drawing
  bool dirty_ = true;       // the image needs the full drawing
  int lastAdvance_ = 0;
  std::vector<int> xs_;     // x positions of the samples a live update brings

  // Cursor and rubber band.
  int cursorX_ = 0;
  int drawnCursorX_ = -1;
  bool inside_ = false;
  bool dragging_ = false;
  QPoint dragStart_, dragNow_;
};
