#include "trendview/text_view.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "trendview/child_frame.h"
#include "trendview/graf_view.h"
#include "trendview/kurvan_ids.h"
#include "trendview/trend_doc.h"
#include "trendview/trend_text.h"

namespace {

QColor Colour(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QString Latin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// A channel's row: "<name> = " in its colour.
KurvanTextRow ChannelRow(KurvanTextRow::Kind kind, const uint8_t* rec, uint32_t channel) {
  KurvanTextRow row;
  row.kind = kind;
  row.label = Latin1(TrendGetText(rec, channel + TREND_CH_NAME, TREND_CH_NAME_BYTES)) + " = ";
  row.colour = TrendGetU32(rec, channel + TREND_CH_COLOR);
  return row;
}

constexpr int kScreenMargin = 4;
constexpr double kPrintMarginMm = 20.0;  // the page's frame lies 20 mm in
constexpr double kPrintPaddingMm = 1.0;  // the printed table keeps clear of the frame

}  // namespace

std::vector<KurvanTextRow> KurvanTextTable(const CTrendDoc& doc, const uint8_t* rec) {
  std::vector<KurvanTextRow> rows;
  const TrendLayout& l = doc.layout();
  const int slot = doc.cursorSlot();
  const float time = doc.cursorTime();
  if (!rec || TrendGetU16(rec, TREND_REC_VALID) == 0 || slot < 0 || !(time >= 0.0f) || slot >= l.ring) return rows;

  std::string date, clock;
  const int64_t base = TrendGetI16(rec, TREND_REC_ABS_TIME) ? TrendGetI32(rec, TREND_REC_TIME_BASE) : 0;
  const double whole = std::min<double>(std::floor(time), 4e18);
  KurvanTimeTexts(static_cast<int64_t>(whole), base, TrendGetU16(rec, TREND_REC_LANGUAGE), false, &date, &clock);
  if (!date.empty()) rows.push_back({KurvanTextRow::Date, QStringLiteral("t = "), Latin1(date)});
  rows.push_back({KurvanTextRow::Clock, date.empty() ? QStringLiteral("t = ") : QString(), Latin1(clock)});

  for (unsigned i = 0; i < l.analog; ++i) {
    const uint32_t ch = TrendAnalogChannel(i);
    if (!TrendGetU16(rec, ch + TREND_CH_SHOWN)) continue;
    KurvanTextRow row = ChannelRow(KurvanTextRow::Analog, rec, ch);
    if (doc.analogBits(i, slot) != TREND_GAP_ANALOG_BITS)
      row.value = QString::fromStdString(KurvanFixedText(doc.analogValue(i, slot), 3, 7));
    rows.push_back(row);
  }
  for (unsigned j = 0; j < l.digital; ++j) {
    const uint32_t ch = TrendDigitalChannel(j);
    if (!TrendGetU16(rec, ch + TREND_CH_SHOWN)) continue;
    KurvanTextRow row = ChannelRow(KurvanTextRow::Digital, rec, ch);
    const uint8_t v = doc.digitalValue(j, slot);
    row.state = v == TREND_GAP_DIGITAL ? -1 : v != 0;
    rows.push_back(row);
  }
  return rows;
}

CTrendTextView::CTrendTextView(CTrendDoc* doc, CChildFrame* frame, QWidget* parent)
    : QWidget(parent), CTrendView(doc, frame) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

intptr_t CTrendTextView::send(int id, intptr_t /*wParam*/, intptr_t lParam) {
  switch (id) {
    case KURVAN_MSG_NEW_SAMPLES:
      refresh();
      return 0;
    case KURVAN_MSG_GET_BITMAP:
      return offscreen_.image().isNull() ? 0 : reinterpret_cast<intptr_t>(&offscreen_.image());
    case KURVAN_MSG_PRINT:
      return print(reinterpret_cast<QPainter*>(lParam));
    default:
      return 0;
  }
}

void CTrendTextView::onUpdate() { refresh(); }

CTrendTextView::Metrics CTrendTextView::Layout(const QFontMetrics& fm, const std::vector<KurvanTextRow>& rows,
                                               int margin) {
  Metrics m;
  m.left = margin;
  m.top = margin;
  m.labelWidth = std::max(fm.horizontalAdvance(QStringLiteral("t = ")), fm.horizontalAdvance(QStringLiteral(" = ")));
  for (const KurvanTextRow& r : rows) m.labelWidth = std::max(m.labelWidth, fm.horizontalAdvance(r.label));
  m.valueWidth = std::max(fm.horizontalAdvance(QStringLiteral("-000.000")),
                          fm.horizontalAdvance(QStringLiteral("28-MAY-2000 ")));
  // Every value whole, also a date or a run time wider than the samples.
  for (const KurvanTextRow& r : rows) m.valueWidth = std::max(m.valueWidth, fm.horizontalAdvance(r.value + ' '));
  m.rowHeight = fm.height();
  return m;
}

void CTrendTextView::drawTable(QPainter& p, const Metrics& m, const std::vector<KurvanTextRow>& rows, bool monochrome,
                               bool paper) const {
  // On paper the texts are black on white, the channels' values and states in their colours.
  const QColor text = monochrome || paper ? QColor(Qt::black) : palette().color(QPalette::WindowText);
  const QColor back = monochrome || paper ? QColor(Qt::white) : palette().color(QPalette::Base);
  int y = m.top;
  for (const KurvanTextRow& r : rows) {
    const QRect label(m.left, y, m.labelWidth, m.rowHeight);
    const QRect value(m.left + m.labelWidth, y, m.valueWidth, m.rowHeight);
    p.setPen(text);
    p.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, r.label);
    if (r.kind == KurvanTextRow::Digital) {
      if (r.state >= 0) {
        const int d = std::max(2, m.rowHeight - 4);
        const QRect circle(value.left(), y + (m.rowHeight - d) / 2, d, d);
        const QColor on = monochrome ? QColor(Qt::black) : Colour(r.colour);
        if (m.line > 1)
          p.setPen(QPen(on, m.line));
        else
          p.setPen(on);
        p.setBrush(r.state ? on : back);
        p.drawEllipse(circle);
        p.setBrush(Qt::NoBrush);
      }
    } else if (!r.value.isEmpty()) {
      p.setPen(r.kind == KurvanTextRow::Analog && !monochrome ? Colour(r.colour) : text);
      p.drawText(value, Qt::AlignLeft | Qt::AlignVCenter, r.value);
    }
    y += m.rowHeight;
  }
}

void CTrendTextView::refresh() {
  if (printing_) return;
  CTrendDoc* doc = document();
  if (!offscreen_.resize(width(), height())) return;
  offscreen_.fill(palette().color(QPalette::Base));
  rows_.clear();
  if (doc) {
    if (const uint8_t* rec = doc->Lock()) {
      rows_ = KurvanTextTable(*doc, rec);
      doc->Unlock();
    }
  }
  QPainter p(&offscreen_.image());
  p.setFont(font());
  drawTable(p, Layout(QFontMetrics(font()), rows_, kScreenMargin), rows_, false, false);
  p.end();
  update();
  // A table wider than the pane widens it (unless the user sized the panes).
  if (frame() && tableWidth() > width()) frame()->layoutPanes();
}

int CTrendTextView::tableWidth() const {
  const Metrics m = Layout(QFontMetrics(font()), rows_, kScreenMargin);
  return m.left + m.labelWidth + m.valueWidth + kScreenMargin;
}

int CTrendTextView::print(QPainter* painter) {
  if (!painter || !painter->device() || printing_) return 0;
  CTrendDoc* doc = document();
  if (!doc) return 0;
  printing_ = true;
  QPaintDevice* device = painter->device();
  const QFont printFont = KurvanPrintFont();
  const bool monochrome = KurvanPrintsInBlack(device);
  const int frame = static_cast<int>(std::lround(kPrintMarginMm * device->logicalDpiX() / 25.4));
  const int padding = static_cast<int>(std::lround(kPrintPaddingMm * device->logicalDpiX() / 25.4));
  std::vector<KurvanTextRow> rows;
  if (const uint8_t* rec = doc->Lock()) {
    rows = KurvanTextTable(*doc, rec);
    doc->Unlock();
  }
  painter->save();
  painter->setFont(printFont);
  Metrics m = Layout(QFontMetrics(printFont, device), rows, frame + padding);
  // The first row below the page's header line as well.
  m.top = static_cast<int>(std::lround(kPrintMarginMm * device->logicalDpiY() / 25.4)) + padding;
  // A state that is off is a ring: as wide as on the screen, so that the page shows it.
  m.line = std::max(1, device->logicalDpiX() / 96);
  drawTable(*painter, m, rows, monochrome, true);
  painter->restore();
  printing_ = false;
  // The width from the frame on: the table, the padding before and after it.
  return rows.empty() ? 0 : padding + m.labelWidth + m.valueWidth + padding;
}

void CTrendTextView::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  if (offscreen_.image().isNull())
    p.fillRect(e->rect(), palette().color(QPalette::Base));
  else
    p.drawImage(e->rect().topLeft(), offscreen_.image(), e->rect());
}

void CTrendTextView::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  refresh();
}
