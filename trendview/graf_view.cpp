#include "trendview/graf_view.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstring>

#include "trendview/kurvan_ids.h"
#include "trendview/language.h"
#include "trendview/main_frame.h"
#include "trendview/trend_doc.h"

CTrendGrafView::CTrendGrafView(CTrendDoc* doc, CChildFrame* frame, QWidget* parent)
    : QAbstractScrollArea(parent), CTrendView(doc, frame) {
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(true);
  viewport()->setCursor(Qt::CrossCursor);
  // The initial update: both bars shown over 10000 pixels, the time bar disabled.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) bar->setRange(0, 10000);
  horizontalScrollBar()->setEnabled(false);
  connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this](int a) { OnScrollAction(true, a); });
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int a) { OnScrollAction(false, a); });
}

intptr_t CTrendGrafView::send(int id, intptr_t /*wParam*/, intptr_t /*lParam*/) {
  switch (id) {
    case KURVAN_MSG_NEW_SAMPLES:
      if (document() && !document()->hold()) LiveUpdate();
      return 0;
    case KURVAN_MSG_CURSOR:
      UpdateCursorData();
      Invalidate();
      return 0;
    default:
      return 0;
  }
}

void CTrendGrafView::onUpdate() {
  relayout_ = true;
  Invalidate();
  UpdateCursorData();
}

bool CTrendGrafView::onCommand(int id, KurvanCmdUI* ui) {
  const bool record = document() && document()->trendHandle();
  switch (id) {
    case KURVAN_CMD_ZOOM_RESET:
      if (ui)
        ui->enabled = zoom_.zoomedInTime();
      else
        ZoomReset();
      return true;
    case KURVAN_CMD_COPY:
      if (ui)
        ui->enabled = record;
      else
        CopyToClipboard();
      return true;
    case KURVAN_CMD_CSV:
      if (ui)
        ui->enabled = record;
      else if (record)
        Export();
      return true;
    case KURVAN_CMD_PRINT:
    case KURVAN_CMD_PRINT_PREVIEW:
      if (ui)
        ui->enabled = record;
      else if (record)
        PrintCommand(id == KURVAN_CMD_PRINT_PREVIEW);
      return true;
    case KURVAN_CMD_PRINT_SETUP:
      if (!ui) PrintSetup();
      return true;
    default:
      return false;
  }
}

void CTrendGrafView::Invalidate() {
  dirty_ = true;
  viewport()->update();
}

// The first drawing of a record (and of a record with another ring length): the whole ring
// and scale, or the record's initial part of the ring.
void CTrendGrafView::Rebuild(uint8_t* rec) {
  zoom_.reset(document()->layout().ring, TrendGetI16(rec, TREND_REC_VISIBLE_PART));
  xs_.reserve(static_cast<size_t>(zoom_.totalSamples) + 1);
  marks_.points.reserve(4 * static_cast<size_t>(std::min(zoom_.totalSamples, 8192)));
  rebuild_ = false;
  relayout_ = true;
}

void CTrendGrafView::Layout(uint8_t* rec) {
  const KurvanRect client{0, 0, viewport()->width(), viewport()->height()};
  const QFont f = font();
  // Measured as the off-screen image draws (its resolution, not the screen's).
  QImage probe(1, 1, QImage::Format_RGB32);
  const QPaintDevice* device = offscreen_.image().isNull() ? static_cast<QPaintDevice*>(&probe) : &offscreen_.image();
  layout_ = KurvanGrafLayoutFor(rec, document()->layout(), client, QFontMetrics(f, device), 1, false);
  style_ = KurvanGrafStyleFor(rec, f, false, false, device->logicalDpiX());
  style_.tooSmallText = KurvanLanguages().string(KURVAN_STR_TOO_SMALL);
  relayout_ = false;
}

// The off-screen image in the window's size; a new one starts in the background colour (the
// window's own without a drawing yet), so that no stale memory is ever shown.
bool CTrendGrafView::EnsureImage() {
  const QSize size = viewport()->size();
  if (offscreen_.image().size() == size && !offscreen_.image().isNull()) return true;
  if (!offscreen_.resize(size.width(), size.height())) return false;
  offscreen_.fill(style_.back.isValid() ? style_.back : palette().color(QPalette::Base));
  return true;
}

void CTrendGrafView::drawNow() {
  if (dirty_) DrawAll();
}

void CTrendGrafView::DrawAll() {
  CTrendDoc* doc = document();
  if (!EnsureImage() || !doc) return;
  uint8_t* rec = doc->Lock();
  if (!rec) return;
  const bool first = rebuild_ || zoom_.totalSamples != std::max<int>(doc->layout().ring, 1);
  if (first) Rebuild(rec);
  if (relayout_ || doc->configChanged()) {
    Layout(rec);
    doc->setConfigChanged(false);
  }
  offscreen_.fill(style_.back);
  QPainter p(&offscreen_.image());
  KurvanGrafDraw(p, *doc, rec, layout_, zoom_, style_, &marks_);
  p.end();
  TrendPutU16(rec, TREND_REC_PENDING, 0);
  doc->Unlock();
  dirty_ = false;
  if (first) {
    cursorX_ = layout_.right() - 2;
    drawnCursorX_ = -1;
    SetScrollBars();
    UpdateCursorData();
  }
}

void CTrendGrafView::paintEvent(QPaintEvent* e) {
  if (dirty_) DrawAll();
  QPainter p(viewport());
  const QImage& img = offscreen_.image();
  if (img.isNull())
    p.fillRect(e->rect(), palette().color(QPalette::Base));
  else
    p.drawImage(e->rect().topLeft(), img, e->rect());
  drawnCursorX_ = -1;
  if (KurvanCursorOn() && !layout_.tooSmall && !img.isNull()) {
    KurvanDrawCursorLine(p, layout_, cursorX_);
    drawnCursorX_ = cursorX_;
  }
  // The rubber band inverts what lies under it.
  if (dragging_) {
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.fillRect(bandRect(), Qt::black);
  }
}

QRect CTrendGrafView::bandRect() const { return QRect(dragStart_, dragNow_).normalized(); }

void CTrendGrafView::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  CTrendDoc* doc = document();
  EnsureImage();
  relayout_ = true;
  if (uint8_t* rec = doc ? doc->Lock() : nullptr) {
    if (!rebuild_) Layout(rec);
    TrendPutU16(rec, TREND_REC_PENDING, 0);
    doc->Unlock();
  }
  SetScrollBars();
  Invalidate();
  cursorX_ = layout_.right() - 2;
  drawnCursorX_ = -1;
}

// Scrolls the box's pixels left by `advance`; the freed strip at the right gets the
// background.
void CTrendGrafView::ScrollImage(const KurvanRect& box, int advance) {
  QImage& img = offscreen_.image();
  const int x0 = std::max(box.left, 0), x1 = std::min(box.right, img.width());
  const int y0 = std::max(box.top, 0), y1 = std::min(box.bottom, img.height());
  if (x1 - x0 <= 0 || y1 <= y0) return;
  const int a = std::min(advance, x1 - x0);
  const QRgb back = style_.back.rgb();
  for (int y = y0; y < y1; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    std::memmove(row + x0, row + x0 + a, static_cast<size_t>(x1 - x0 - a) * sizeof(QRgb));
    std::fill(row + x1 - a, row + x1, back);
  }
}

void CTrendGrafView::LiveUpdate() {
  CTrendDoc* doc = document();
  uint8_t* rec = doc ? doc->Lock() : nullptr;
  if (!rec) return;
  const int pending = TrendGetU16(rec, TREND_REC_PENDING);
  const int n = zoom_.visibleSamples;
  const int width = layout_.innerWidth;
  if (pending == 0) {
    doc->Unlock();
    UpdateCursorData();
    return;
  }
  // Before the first drawing, after a change, or with more new samples than the view shows:
  // everything is drawn now (which sets the pending count to 0). A view without an image
  // (no size yet) draws nothing, as a too small one.
  if (dirty_ || rebuild_ || relayout_ || doc->configChanged() || offscreen_.image().isNull() ||
      zoom_.totalSamples != std::max<int>(doc->layout().ring, 1) || pending >= n || pending > width) {
    doc->Unlock();
    dirty_ = true;
    DrawAll();
    if (dirty_ && (rec = doc->Lock())) {
      TrendPutU16(rec, TREND_REC_PENDING, 0);
      doc->Unlock();
    }
    lastAdvance_ = 0;
    if (!dragging_) viewport()->update();
    UpdateCursorData();
    return;
  }
  lastAdvance_ = 0;
  if (layout_.tooSmall || width <= 0) {
    TrendPutU16(rec, TREND_REC_PENDING, 0);
    doc->Unlock();
    UpdateCursorData();
    return;
  }
  // Each new sample moves the traces on by whole pixels, the rest carried: xs[j] is where the
  // sample j steps before the right edge ends up.
  xs_.resize(static_cast<size_t>(pending) + 1);
  int advances = 0;
  int* xs = xs_.data();
  for (int j = pending - 1; j >= 0; --j) {
    const int a = KurvanAdvance(width, &marks_.rest, n);
    xs[j + 1] = a;  // for now the advance that came with sample j
    advances += a;
    TrendPutU16(rec, TREND_REC_PENDING, static_cast<uint16_t>(j));
  }
  xs[0] = layout_.newestX();
  for (int j = 0; j < pending; ++j) xs[j + 1] = xs[j] - xs[j + 1];

  const KurvanGrafLayout& l = layout_;
  QPainter p(&offscreen_.image());
  p.setFont(style_.font);
  if (advances > 0) {
    const int insideRight = l.left() + 1 + width;
    if (l.analogCount) {
      ScrollImage({l.left() + 1, l.analog.top + 1, insideRight, l.analog.bottom - 1}, advances);
      marks_.scrolled += advances;
      KurvanDrawGridRows(p, l, style_, marks_, insideRight - advances, insideRight);
    }
    if (l.digitalCount) ScrollImage({l.left() + 1, l.digital.top + 1, insideRight, l.digital.bottom - 1}, advances);
    ScrollImage(l.timeBand, advances);
    marks_.lastLabelRight -= advances;
  }
  // The labels of the time the new samples brought, then one segment per sample and channel.
  const KurvanTimeEdges edges = KurvanTimeAtEdges(rec, zoom_);
  const double perSlot = (edges.right - edges.left) / std::max(n, 1);
  const double last = KurvanLastLabelTime(l, edges);
  KurvanDrawTimeLabels(p, rec, l, zoom_, style_, last - pending * perSlot, last, false, &marks_);
  KurvanDrawNewSegments(p, *doc, rec, l, zoom_, style_, xs, pending);
  p.end();
  doc->Unlock();
  lastAdvance_ = advances;
  if (!dragging_) viewport()->update();
  UpdateCursorData();
}

void CTrendGrafView::SetScrollBars() {
  const int cw = std::max(viewport()->width(), 1), ch = std::max(viewport()->height(), 1);
  const KurvanScrollBar t = KurvanTimeBar(zoom_, cw);
  const KurvanScrollBar v = KurvanValueBar(zoom_, ch);
  struct {
    QScrollBar* bar;
    KurvanScrollBar state;
    int client;
  } bars[] = {{horizontalScrollBar(), t, cw}, {verticalScrollBar(), v, ch}};
  for (auto& b : bars) {
    const QSignalBlocker block(b.bar);
    b.bar->setRange(0, std::max(b.state.range - b.client, 0));
    b.bar->setPageStep(b.client);
    b.bar->setSingleStep(std::max(b.client / 20, 1));
    b.bar->setValue(b.state.position);
    b.bar->setEnabled(b.state.enabled);
  }
}

void CTrendGrafView::OnScrollAction(bool horizontal, int action) {
  QScrollBar* bar = horizontal ? horizontalScrollBar() : verticalScrollBar();
  int& offset = horizontal ? zoom_.timeOffset : zoom_.valueOffset;
  const int visible = horizontal ? zoom_.visibleSamples : zoom_.visibleUnits;
  const int client = horizontal ? viewport()->width() : viewport()->height();
  const int line = std::max(visible / 20, 1), page = std::max(visible * 2 / 5, 1);
  // Towards the start of a bar (left, up) is older, and higher values.
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      offset += line;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      offset -= line;
      break;
    case QAbstractSlider::SliderPageStepSub:
      offset += page;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      offset -= page;
      break;
    case QAbstractSlider::SliderMove:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
      offset = horizontal ? KurvanTimeOffsetAt(zoom_, bar->sliderPosition(), client)
                          : KurvanValueOffsetAt(zoom_, bar->sliderPosition(), client);
      break;
    default:
      return;
  }
  zoom_.limit();
  const KurvanScrollBar state = horizontal ? KurvanTimeBar(zoom_, client) : KurvanValueBar(zoom_, client);
  bar->setSliderPosition(state.position);
  UpdateCursorData();
  Invalidate();
}

void CTrendGrafView::UpdateCursorData() {
  CTrendDoc* doc = document();
  const uint8_t* rec = doc ? doc->Lock() : nullptr;
  if (!rec) return;
  const KurvanTimeEdges edges = KurvanTimeAtEdges(rec, zoom_);
  const int ring = doc->layout().ring;
  const int64_t head = TrendGetU16(rec, TREND_REC_HEAD);
  const int width = layout_.innerWidth;
  double time = edges.right;
  int64_t slot = head - zoom_.timeOffset - 1;
  if (KurvanCursorOn() && width > 0 && !layout_.tooSmall) {
    time = edges.left + static_cast<double>(cursorX_ - layout_.left()) * (edges.right - edges.left) / width;
    slot -= KurvanMulDiv(layout_.left() + width - cursorX_, zoom_.visibleSamples, width);
  }
  doc->setCursor(ring > 0 ? KurvanWrapSlot(slot, ring) : -1, static_cast<float>(time));
  doc->Unlock();
  if (peer()) peer()->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
}

void CTrendGrafView::MoveCursor(QPoint pos) {
  const KurvanGrafLayout& l = layout_;
  const int x = pos.x(), y = pos.y();
  const bool inAnalog = l.analogCount && l.analog.contains(x, y);
  const bool inDigital = l.digitalCount && l.digital.contains(x, y);
  const bool alongAnalog = l.analogCount && y >= l.analog.top && y < l.analog.bottom;
  const bool alongDigital = l.digitalCount && y >= l.digital.top && y < l.digital.bottom;
  if (inAnalog || inDigital || (inside_ && (alongAnalog || alongDigital))) {
    const int nx = std::clamp(x, l.left() + 1, std::max(l.left() + 1, l.right() - 2));
    if (nx != cursorX_) {
      // Only the old and the new column are drawn again.
      const int h = viewport()->height();
      viewport()->update(QRect(drawnCursorX_ >= 0 ? drawnCursorX_ : cursorX_, 0, 1, h));
      cursorX_ = nx;
      viewport()->update(QRect(cursorX_, 0, 1, h));
      UpdateCursorData();
    }
  }
  inside_ = inAnalog || inDigital;
}

void CTrendGrafView::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(e);
  const QRect client = viewport()->rect();
  dragStart_ = dragNow_ = QPoint(std::clamp(e->position().toPoint().x(), 0, std::max(client.right(), 0)),
                                 std::clamp(e->position().toPoint().y(), 0, std::max(client.bottom(), 0)));
  dragging_ = true;
  viewport()->update(bandRect());
}

void CTrendGrafView::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (dragging_) {
    const QRect client = viewport()->rect();
    viewport()->update(bandRect());
    dragNow_ = QPoint(std::clamp(pos.x(), 0, std::max(client.right(), 0)),
                      std::clamp(pos.y(), 0, std::max(client.bottom(), 0)));
    viewport()->update(bandRect());
    return;
  }
  if (KurvanCursorOn() && hasFocus() && !layout_.tooSmall && !(e->modifiers() & Qt::ControlModifier))
    MoveCursor(pos);
}

void CTrendGrafView::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !dragging_) return QAbstractScrollArea::mouseReleaseEvent(e);
  dragging_ = false;
  viewport()->update(bandRect());
  ZoomTo(dragStart_, dragNow_);
}

void CTrendGrafView::ZoomTo(QPoint p1, QPoint p2) {
  const int x1 = std::min(p1.x(), p2.x()), x2 = std::max(p1.x(), p2.x());
  const int y1 = std::min(p1.y(), p2.y()), y2 = std::max(p1.y(), p2.y());
  if (x2 - x1 < 2 || y2 - y1 < 2) return;
  const KurvanGrafLayout& l = layout_;
  const KurvanRect& area = l.analogCount ? l.analog : l.digital;
  if (area.empty() || l.innerWidth <= 0) return;
  // Which edges of the rectangle lie inside the reference area (and the analog area).
  auto inX = [&](int x) { return x >= area.left && x < area.right; };
  auto inY = [](const KurvanRect& b, int y) { return y >= b.top && y < b.bottom; };
  const bool acrossX = x1 < area.right && x2 >= area.left;
  const bool acrossY = y1 < area.bottom && y2 >= area.top;
  const bool verticalEdge = acrossY && (inX(x1) || inX(x2));
  const bool horizontalEdge = acrossX && (inY(area, y1) || inY(area, y2));
  const bool valueEdge = l.analogCount && x1 < l.analog.right && x2 >= l.analog.left &&
                         (inY(l.analog, y1) || inY(l.analog, y2));
  if (verticalEdge) {
    const int a = std::max(x1 - (l.left() + 1), 0);
    const int b = std::min(x2 - (l.left() + 1), l.innerWidth - 1);
    if (b >= a) KurvanZoomTime(&zoom_, a, b, l.innerWidth);
  } else if (!horizontalEdge) {
    zoom_.timeOffset = 0;
    zoom_.visibleSamples = zoom_.totalSamples;
  }
  if (valueEdge) {
    const int a = std::max(y1 - (l.analog.top + 1), 0);
    const int b = std::min(y2 - (l.analog.top + 1), l.innerHeight - 1);
    if (b >= a) KurvanZoomValue(&zoom_, a, b, l.innerHeight);
  } else if (!verticalEdge && !horizontalEdge) {
    zoom_.valueOffset = 0;
    zoom_.visibleUnits = zoom_.totalUnits;
  }
  zoom_.limit();
  SetScrollBars();
  UpdateCursorData();
  Invalidate();
}

void CTrendGrafView::ZoomReset() {
  zoom_.visibleSamples = zoom_.totalSamples;
  zoom_.visibleUnits = zoom_.totalUnits;
  zoom_.timeOffset = 0;
  zoom_.valueOffset = 0;
  SetScrollBars();
  UpdateCursorData();
  Invalidate();
}
