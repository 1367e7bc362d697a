#include "trendview/graf_draw.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "trendview/line_pattern.h"
#include "trendview/trend_doc.h"
#include "trendview/trend_text.h"

namespace {

// Label loops never run longer than this, whatever a record holds.
constexpr int kMaxLabels = 4096;

QColor Colour(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QString Latin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QRect Rect(const KurvanRect& b) { return QRect(b.left, b.top, std::max(b.width(), 0), std::max(b.height(), 0)); }

// The inside of an area: one pixel in from its frame.
QRect Inside(const KurvanRect& b) { return QRect(b.left + 1, b.top + 1, std::max(b.width() - 2, 0), std::max(b.height() - 2, 0)); }

int Margin(const uint8_t* rec, uint32_t off, int unit) { return std::clamp<int>(TrendGetI16(rec, off), 0, 10000) * unit; }

// A frame on the edges of the box: one pixel on the screen; `unit` pixels on a page, the
// further ones outside the box, so that the inside stays the curves'.
void Frame(QPainter& p, const KurvanRect& b, const QColor& c, int unit) {
  if (b.empty()) return;
  const int u = std::max(unit, 1), out = u - 1;
  p.fillRect(QRect(b.left - out, b.top - out, b.width() + 2 * out, u), c);
  p.fillRect(QRect(b.left - out, b.bottom - 1, b.width() + 2 * out, u), c);
  p.fillRect(QRect(b.left - out, b.top - out, u, b.height() + 2 * out), c);
  p.fillRect(QRect(b.right - 1, b.top - out, u, b.height() + 2 * out), c);
}

// The pen of a curve: the thinnest on the screen, `unit` pixels wide on a page.
QPen CurvePen(const QColor& c, int unit) { return QPen(c, unit > 1 ? unit : 0); }

int PatternDpi(const QPainter& p, bool vertical) {
  const QPaintDevice* d = p.device();
  if (!d) return 96;
  return vertical ? d->logicalDpiY() : d->logicalDpiX();
}

// A dotted (pattern 1) line from `from` up to, not including, `to`, `unit` pixels wide.
// A wide line (on a page) is kept to the inside of its area, off the area's frame.
void GridLine(QPainter& p, QPoint from, QPoint to, int unit, const KurvanRect& area, long long phase = 0) {
  KurvanLinePattern pattern =
      KurvanSelectPattern(KURVAN_PATTERN_GRID, PatternDpi(p, from.x() == to.x()), Qt::black, unit);
  pattern.skip(phase);
  if (unit <= 1) {
    KurvanPatternLine(p, pattern, from, to);
    return;
  }
  p.save();
  p.setClipRect(Inside(area), Qt::IntersectClip);
  KurvanPatternLine(p, pattern, from, to);
  p.restore();
}

// Points of a polyline, with the points that fall into one pixel column reduced to the
// first, the lowest, the highest and the last of them: the same pixels, far fewer points
// when many samples share a column.
class ColumnPoints {
 public:
  explicit ColumnPoints(std::vector<QPoint>* out) : out_(out) { out_->clear(); }
  void add(int x, int y) {
    if (open_ && x == x_) {
      min_ = std::min(min_, y);
      max_ = std::max(max_, y);
      last_ = y;
      return;
    }
    flush();
    open_ = true;
    x_ = x;
    first_ = min_ = max_ = last_ = y;
  }
  void flush() {
    if (!open_) return;
    put(first_);
    put(min_);
    put(max_);
    put(last_);
    open_ = false;
  }

 private:
  void put(int y) {
    if (!out_->empty() && out_->back() == QPoint(x_, y)) return;
    out_->emplace_back(x_, y);
  }
  std::vector<QPoint>* out_;
  bool open_ = false;
  int x_ = 0, first_ = 0, min_ = 0, max_ = 0, last_ = 0;
};

void Polyline(QPainter& p, const std::vector<QPoint>& points, const QColor& colour, int pattern, bool patterned,
              int unit) {
  if (points.empty()) return;
  if (points.size() == 1 || !patterned) {
    p.setPen(CurvePen(colour, unit));
    if (points.size() == 1)
      p.drawPoint(points[0]);
    else
      p.drawPolyline(points.data(), static_cast<int>(points.size()));
    return;
  }
  KurvanLinePattern pen = KurvanSelectPattern(pattern, PatternDpi(p, false), colour, unit);
  for (size_t i = 1; i < points.size(); ++i) KurvanPatternLine(p, pen, points[i - 1], points[i]);
  // The walk leaves each line's last point to the next line: the polyline's end is set here.
  if ((pen.index & 1) == 0) {
    p.setPen(CurvePen(colour, unit));
    p.drawPoint(points.back());
  }
}

double ChannelMin(const uint8_t* rec, unsigned i) { return TrendGetF32(rec, TrendAnalogChannel(i) + TREND_CH_MIN); }
double ChannelMax(const uint8_t* rec, unsigned i) { return TrendGetF32(rec, TrendAnalogChannel(i) + TREND_CH_MAX); }

int ValueY(const KurvanGrafLayout& l, const KurvanZoom& zoom, double v, double min, double max) {
  return l.analog.top + 1 + KurvanValueRow(v, min, max, zoom, l.innerHeight);
}

int LevelY(const KurvanGrafLayout& l, int row, uint8_t level) {
  const bool high = level != 0 && level != TREND_GAP_DIGITAL;
  return l.digital.top + KurvanDigitalRow(row, high, l.rowHeight, l.levelMargin, l.printing);
}

// x of sample s of the n visible ones (0 = the oldest).
int SampleX(const KurvanGrafLayout& l, int64_t s, int n) {
  return l.left() + static_cast<int>((s + 1) * l.innerWidth / std::max(n, 1));
}

// The time base the texts use: with the absolute-time flag the record's (a negative one
// counts as 1), else 0 (elapsed time).
int64_t TextBase(const uint8_t* rec) {
  if (!TrendGetI16(rec, TREND_REC_ABS_TIME)) return 0;
  const int32_t base = TrendGetI32(rec, TREND_REC_TIME_BASE);
  return base < 0 ? 1 : base;
}

// The texts of a time label. Times before the record's time 0 (the part of the axis that no
// sample has reached yet) are labelled too: with a time base as the clock time they stand
// for, else as the elapsed time before 0 with a minus sign.
void LabelTexts(double t, int64_t base, int language, std::string* date, std::string* clock) {
  if (t >= 0) {
    KurvanTimeTexts(static_cast<int64_t>(t), base, language, false, date, clock);
    return;
  }
  const int64_t before = static_cast<int64_t>(std::min(-t, 9.2e18));
  if (base) {
    KurvanTimeTexts(0, std::max<int64_t>(base - before, 1), language, false, date, clock);
    return;
  }
  KurvanTimeTexts(before, 0, language, false, date, clock);
  clock->insert(0, 1, '-');
  if (!date->empty()) date->insert(0, 1, '-');
}

void DrawValueScale(QPainter& p, const uint8_t* rec, const KurvanGrafLayout& l, const KurvanZoom& zoom,
                    const KurvanGrafStyle& s, int channel, bool right, KurvanGrafMarks* marks, int* rows) {
  const double min = ChannelMin(rec, static_cast<unsigned>(channel));
  const double max = ChannelMax(rec, static_cast<unsigned>(channel));
  const double range = max > min ? max - min : 0.0;
  const double lo = min + range * zoom.valueOffset / zoom.totalUnits;
  const double span = range * zoom.visibleUnits / zoom.totalUnits;
  if (!std::isfinite(lo) || !std::isfinite(span) || l.innerHeight <= 0) return;
  const int count = std::max(1, l.innerHeight / std::max(1, 3 * l.textHeight));
  const double step = KurvanValueStep(span, count);
  const double n0 = std::ceil(lo / step), n1 = std::floor((lo + span) / step);
  if (!std::isfinite(n0) || !std::isfinite(n1) || n1 - n0 > kMaxLabels) return;
  // The left scale's column runs from the margin to the area, the right one's from the area
  // to the margin; labels are aligned to the area's side.
  const int margin = Margin(rec, TREND_REC_LEFT_MARGIN, l.unit);
  const int x0 = right ? l.analog.right + 2 * l.unit : l.client.left + margin;
  const int x1 = right ? l.client.right - margin : l.analog.left - 2 * l.unit;
  const int width = std::max(x1 - x0, 1);
  p.setPen(s.text);
  // Counted in whole labels: near 1e37 adding 1 to n would change nothing.
  const int labels = static_cast<int>(n1 - n0) + 1;
  for (int i = 0; i < labels; ++i) {
    const double v = (n0 + i) * step + 0.0;  // + 0.0: no "-0.000"
    const int row = KurvanValueRow(v, min, max, zoom, l.innerHeight);
    if (row < 0 || row >= l.innerHeight) continue;
    const int y = l.analog.top + 1 + row;
    const QString text = QString::fromStdString(KurvanFixedText(v, 3, right ? 7 : 0));
    p.drawText(QRect(x0, y - l.textHeight / 2, width, l.textHeight),
               (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextDontClip, text);
    bool known = false;
    for (int i = 0; i < *rows; ++i) known = known || marks->gridRows[i] == y;
    if (!known && *rows < KurvanGrafMarks::kMaxGridRows && y != 0) marks->gridRows[(*rows)++] = y;
  }
}

}  // namespace

KurvanTimeEdges KurvanTimeAtEdges(const uint8_t* rec, const KurvanZoom& zoom) {
  KurvanTimeEdges e;
  double span = TrendGetF32(rec, TREND_REC_SPAN);
  if (!std::isfinite(span) || span < 0) span = 0;
  const double newest = TrendGetI32(rec, TREND_REC_TIME_S) + 0.001 * TrendGetI32(rec, TREND_REC_TIME_MS);
  const double perSlot = span / std::max(zoom.totalSamples, 1);
  e.right = newest - zoom.timeOffset * perSlot;
  e.left = e.right - zoom.visibleSamples * perSlot;
  return e;
}

double KurvanLastLabelTime(const KurvanGrafLayout& l, const KurvanTimeEdges& e) {
  if (l.innerWidth <= 0) return e.right;
  const int x = std::min(l.newestX(), l.client.right - (l.labelWidth + 1) / 2 - 1);
  return e.left + static_cast<double>(x - l.left()) * (e.right - e.left) / l.innerWidth;
}

double KurvanDrawValue(const CTrendDoc& doc, unsigned channel, unsigned slot, double min) {
  const unsigned ring = doc.layout().ring;
  for (int tries = 0; tries < 2 && ring > 0; ++tries) {
    const uint32_t bits = doc.analogBits(channel, slot);
    const float v = doc.analogValue(channel, slot);
    if (bits != TREND_GAP_ANALOG_BITS && !std::isnan(v)) return v;
    slot = slot == 0 ? ring - 1 : slot - 1;
  }
  return min;
}

uint8_t KurvanDrawLevel(const CTrendDoc& doc, unsigned channel, unsigned slot) {
  const unsigned ring = doc.layout().ring;
  const uint8_t v = doc.digitalValue(channel, slot);
  if (v != TREND_GAP_DIGITAL || ring == 0) return v;
  return doc.digitalValue(channel, slot == 0 ? ring - 1 : slot - 1);
}

KurvanGrafLayout KurvanGrafLayoutFor(uint8_t* rec, const TrendLayout& rings, const KurvanRect& c,
                                     const QFontMetrics& fm, int unit, bool printing) {
  KurvanGrafLayout l;
  l.client = c;
  l.unit = std::max(unit, 1);
  l.printing = printing;
  const int u = l.unit;

  // 1. The shown channels.
  TrendCountShown(rec, rings);
  for (unsigned i = 0; i < rings.analog && i < TREND_MAX_ANALOG; ++i)
    if (TrendGetU16(rec, TrendAnalogChannel(i) + TREND_CH_SHOWN)) l.analogShown[l.analogCount++] = static_cast<uint8_t>(i);
  int widest = 0;
  for (unsigned j = 0; j < rings.digital && j < TREND_MAX_DIGITAL; ++j) {
    const uint32_t ch = TrendDigitalChannel(j);
    if (!TrendGetU16(rec, ch + TREND_CH_SHOWN)) continue;
    l.digitalNames[l.digitalCount] = Latin1(TrendGetText(rec, ch + TREND_CH_NAME, TREND_CH_NAME_BYTES));
    widest = std::max(widest, fm.horizontalAdvance(l.digitalNames[l.digitalCount]));
    l.digitalShown[l.digitalCount++] = static_cast<uint8_t>(j);
  }

  // 2. Text sizes.
  l.textHeight = fm.height();
  l.scaleWidth = fm.horizontalAdvance(QStringLiteral(" -888.888 "));
  l.labelWidth = fm.horizontalAdvance(QStringLiteral("28-MAY-2000 "));
  l.rowHeight = std::max(0, l.textHeight + 8 * u);
  l.levelMargin = printing ? l.rowHeight * 6 / 7 : 2 * u;

  // 3. The scales; with neither set the right one shows channel 0.
  auto channel = [](int ch) { return ch >= 0 && ch < static_cast<int>(TREND_MAX_ANALOG) ? ch : -1; };
  l.leftChannel = channel(TrendGetI16(rec, TREND_REC_LEFT_SCALE));
  l.rightChannel = channel(TrendGetI16(rec, TREND_REC_RIGHT_SCALE));
  if (l.leftChannel < 0 && l.rightChannel < 0) {
    l.rightChannel = 0;
    TrendPutI16(rec, TREND_REC_RIGHT_SCALE, 0);
  }
  l.leftScale = l.leftChannel >= 0;
  l.rightScale = l.rightChannel >= 0;
  auto header = [rec](int ch) {
    return ch < 0 ? QString()
                  : "[" + Latin1(TrendGetText(rec, TrendAnalogChannel(static_cast<unsigned>(ch)) + TREND_CH_NAME,
                                              TREND_CH_NAME_BYTES)) + "]";
  };
  l.leftName = header(l.leftChannel);
  l.rightName = header(l.rightChannel);

  // 4., 5. The legend's width and the horizontal extent of the areas.
  l.legendWidth = std::max(widest, l.scaleWidth);
  const int margin = Margin(rec, TREND_REC_LEFT_MARGIN, u);
  int left, right;
  if (l.rightScale) {
    left = c.left + margin + (l.leftScale ? l.scaleWidth + 4 * u : 0);
    right = c.right - margin - l.legendWidth - 5 * u;
    l.legendRight = true;
  } else {
    left = c.left + margin + l.legendWidth + 4 * u;
    right = c.right - 10 * u;
  }

  // 6. Vertical: from the bottom the digital area, the time band and the analog area.
  const int cy = l.textHeight;
  const int gap = Margin(rec, TREND_REC_AREA_GAP, u);
  const int top = Margin(rec, TREND_REC_TOP_MARGIN, u);
  const int bottom = Margin(rec, TREND_REC_BOTTOM_MARGIN, u);
  const int digitalHeight = l.digitalCount ? l.digitalCount * l.rowHeight + 1 : 0;
  bool fits = true;
  if (l.analogCount) {
    int timeBottom = c.bottom - bottom;
    if (l.digitalCount) {
      l.digital = {left, timeBottom - digitalHeight, right, timeBottom};
      timeBottom = l.digital.top - gap;
    }
    l.timeBand = {c.left, timeBottom - 2 * cy, c.right, timeBottom};
    l.analog = {left, c.top + top + gap + cy * 3 / 2, right, l.timeBand.top - gap};
  } else {
    const int total = 2 * cy + (l.digitalCount ? gap + digitalHeight : 0);
    const int y = c.top + (c.height() - total) / 2;
    fits = total <= c.height();
    l.timeBand = {c.left, y, c.right, y + 2 * cy};
    if (l.digitalCount) l.digital = {left, l.timeBand.bottom + gap, right, l.timeBand.bottom + gap + digitalHeight};
    l.analog = {left, y, right, y};
  }
  if (!l.digitalCount) l.digital = {left, l.timeBand.bottom, right, l.timeBand.bottom};

  // 7. Scale headers above the analog area.
  l.leftHeader = {c.left + margin, c.top + top, c.right - margin, c.top + top + cy};
  l.rightHeader = l.leftHeader;

  // 8. The insides, and whether there is room at all.
  l.innerWidth = right - left - 2;
  l.innerHeight = l.analogCount ? std::max(l.analog.height() - 2, 0) : 0;
  l.tooSmall = (l.analogCount && l.analog.height() < 50 * u) || right - left < 40 * u || !fits;
  return l;
}

KurvanGrafStyle KurvanGrafStyleFor(const uint8_t* rec, const QFont& font, bool monochrome, bool printing, int dpi) {
  KurvanGrafStyle s;
  s.font = font;
  s.monochrome = monochrome;
  s.printing = printing;
  s.dpi = dpi;
  s.back = Colour(TrendGetU32(rec, TREND_REC_BACK_COLOR));
  s.frame = monochrome ? QColor(Qt::black) : Colour(TrendGetU32(rec, TREND_REC_FRAME_COLOR));
  s.text = monochrome ? QColor(Qt::black) : Colour(TrendGetU32(rec, TREND_REC_TEXT_COLOR));
  for (unsigned i = 0; i < TREND_MAX_ANALOG; ++i)
    s.analog[i] = monochrome ? QColor(Qt::black) : Colour(TrendGetU32(rec, TrendAnalogChannel(i) + TREND_CH_COLOR));
  for (unsigned j = 0; j < TREND_MAX_DIGITAL; ++j)
    s.digital[j] = monochrome ? QColor(Qt::black) : Colour(TrendGetU32(rec, TrendDigitalChannel(j) + TREND_CH_COLOR));
  return s;
}

void KurvanDrawTimeLabels(QPainter& p, const uint8_t* rec, const KurvanGrafLayout& l, const KurvanZoom& zoom,
                          const KurvanGrafStyle& s, double from, double to, bool backwards, KurvanGrafMarks* marks) {
  const KurvanTimeEdges edges = KurvanTimeAtEdges(rec, zoom);
  const double span = edges.right - edges.left;
  if (!(span > 0) || !std::isfinite(span) || l.innerWidth <= 0 || !(to > from)) return;
  const int count = std::max(1, 2 * l.innerWidth / std::max(1, 3 * l.labelWidth));
  const double step = KurvanTimeStep(span, count);
  marks->timeStep = step;
  const int64_t base = TextBase(rec);
  const double align = base ? std::fmod(static_cast<double>(base), step) : 0.0;
  const int language = TrendGetU16(rec, TREND_REC_LANGUAGE);
  const QFontMetrics fm = p.fontMetrics();
  const int cy = l.textHeight;
  const int gapPx = 10 * l.unit;

  p.save();
  if (l.printing) p.setClipRect(Rect(l.client));
  p.setPen(s.text);
  // The labels' times: the multiples of the step (of the absolute time with a time base).
  double first = std::floor((to + align) / step) * step - align;
  if (first > to) first -= step;
  double last = std::ceil((from + align) / step) * step - align;
  if (last <= from) last += step;
  const double labels = (first - last) / step + 1;
  if (!std::isfinite(labels) || labels < 1) {
    p.restore();
    return;
  }
  const int n = static_cast<int>(std::min<double>(labels, kMaxLabels));
  int previousLeft = INT_MAX;
  bool drawnAny = false;
  for (int i = 0; i < n; ++i) {
    const double t = backwards ? first - i * step : last + i * step;
    const int x = l.left() + static_cast<int>(std::lround((t - edges.left) * l.innerWidth / span));
    std::string date, clock;
    LabelTexts(t, base, language, &date, &clock);
    const QString dateText = QString::fromStdString(date), clockText = QString::fromStdString(clock);
    const int w = std::max(fm.horizontalAdvance(dateText), fm.horizontalAdvance(clockText));
    const QRect box(x - w / 2, l.timeBand.top, w, 2 * cy);
    if (backwards ? previousLeft - (box.right() + 1) <= gapPx && previousLeft != INT_MAX
                  : box.left() - marks->lastLabelRight <= gapPx)
      continue;
    if (dateText.isEmpty()) {
      p.drawText(box, Qt::AlignCenter | Qt::TextDontClip, clockText);
    } else {
      p.drawText(QRect(box.left(), box.top(), w, cy), Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, dateText);
      p.drawText(QRect(box.left(), box.top() + cy, w, cy), Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip,
                 clockText);
    }
    if (backwards) {
      previousLeft = box.left();
      if (!drawnAny) marks->lastLabelRight = box.right() + 1;
    } else {
      marks->lastLabelRight = box.right() + 1;
    }
    drawnAny = true;
    // The vertical grid line through the insides of the areas.
    if (x > l.left() && x < l.right() - 1) {
      if (l.analogCount) GridLine(p, QPoint(x, l.analog.top + 1), QPoint(x, l.analog.bottom - 1), l.unit, l.analog);
      if (l.digitalCount) GridLine(p, QPoint(x, l.digital.top + 1), QPoint(x, l.digital.bottom - 1), l.unit, l.digital);
    }
  }
  p.restore();
}

void KurvanDrawGridRows(QPainter& p, const KurvanGrafLayout& l, const KurvanGrafStyle& /*s*/,
                        const KurvanGrafMarks& marks, int x0, int x1) {
  if (!l.analogCount || x1 <= x0) return;
  for (int i = 0; i < KurvanGrafMarks::kMaxGridRows && marks.gridRows[i]; ++i)
    GridLine(p, QPoint(x0, marks.gridRows[i]), QPoint(x1, marks.gridRows[i]), l.unit, l.analog,
             x0 - (l.left() + 1) + marks.scrolled);
}

void KurvanGrafDraw(QPainter& p, const CTrendDoc& doc, const uint8_t* rec, const KurvanGrafLayout& l,
                    const KurvanZoom& zoom, const KurvanGrafStyle& s, KurvanGrafMarks* marks) {
  p.save();
  p.setFont(s.font);
  marks->rest = 0;
  marks->scrolled = 0;
  marks->lastLabelRight = INT_MIN / 2;
  marks->gridRows[0] = 0;
  if (l.tooSmall) {
    p.setPen(Qt::black);
    p.drawText(Rect(l.client), Qt::AlignCenter, s.tooSmallText);
    p.restore();
    return;
  }
  if (l.analogCount) Frame(p, l.analog, s.frame, l.unit);
  if (l.digitalCount) Frame(p, l.digital, s.frame, l.unit);

  const KurvanTimeEdges edges = KurvanTimeAtEdges(rec, zoom);
  KurvanDrawTimeLabels(p, rec, l, zoom, s, edges.left, KurvanLastLabelTime(l, edges), true, marks);

  // Value scales with their grid rows, and the scale headers.
  int rows = 0;
  if (l.analogCount) {
    if (l.leftScale) DrawValueScale(p, rec, l, zoom, s, l.leftChannel, false, marks, &rows);
    if (l.rightScale) DrawValueScale(p, rec, l, zoom, s, l.rightChannel, true, marks, &rows);
    marks->gridRows[rows] = 0;
    KurvanDrawGridRows(p, l, s, *marks, l.left() + 1, l.left() + 1 + l.innerWidth);
    p.setPen(s.text);
    if (l.leftScale) p.drawText(Rect(l.leftHeader), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, l.leftName);
    if (l.rightScale)
      p.drawText(Rect(l.rightHeader), Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, l.rightName);
  }

  // The legend beside the digital rows.
  p.setPen(s.text);
  const int margin = Margin(rec, TREND_REC_LEFT_MARGIN, l.unit);
  for (int r = 0; r < l.digitalCount; ++r) {
    const int y = l.digital.top + r * l.rowHeight;
    if (l.legendRight)
      p.drawText(QRect(l.digital.right + 5 * l.unit, y, l.legendWidth, l.rowHeight),
                 Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, l.digitalNames[r]);
    else
      p.drawText(QRect(l.client.left + margin, y, l.legendWidth, l.rowHeight),
                 Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, l.digitalNames[r]);
  }

  // The traces.
  const int valid = TrendGetU16(rec, TREND_REC_VALID);
  const TrendLayout& rings = doc.layout();
  const int n = zoom.visibleSamples;
  const int offset = zoom.timeOffset;
  if (l.innerWidth > 0 && valid > 1 && offset < valid && rings.ring > 0) {
    const unsigned head = TrendGetU16(rec, TREND_REC_HEAD);
    // Samples s with k = offset + n - 1 - s at or beyond the valid count stay empty.
    const int first = std::max(0, offset + n - valid);
    if (l.analogCount && l.innerHeight > 0) {
      p.save();
      p.setClipRect(Inside(l.analog));
      for (int c = 0; c < l.analogCount; ++c) {
        const unsigned ch = l.analogShown[c];
        const double min = ChannelMin(rec, ch), max = ChannelMax(rec, ch);
        ColumnPoints points(&marks->points);
        for (int sIdx = first; sIdx < n; ++sIdx) {
          const unsigned slot = TrendSlotBefore(head, static_cast<unsigned>(offset + n - 1 - sIdx), rings.ring);
          points.add(SampleX(l, sIdx, n), ValueY(l, zoom, KurvanDrawValue(doc, ch, slot, min), min, max));
        }
        points.flush();
        Polyline(p, marks->points, s.analog[ch], KURVAN_PATTERN_FIRST_CURVE + static_cast<int>(ch), s.monochrome,
                 l.unit);
      }
      p.restore();
    }
    if (l.digitalCount) {
      p.save();
      p.setClipRect(Inside(l.digital));
      for (int r = 0; r < l.digitalCount; ++r) {
        const unsigned ch = l.digitalShown[r];
        ColumnPoints points(&marks->points);
        int previous = 0;
        for (int sIdx = first; sIdx < n; ++sIdx) {
          const unsigned slot = TrendSlotBefore(head, static_cast<unsigned>(offset + n - 1 - sIdx), rings.ring);
          const int x = SampleX(l, sIdx, n);
          const int y = LevelY(l, r, KurvanDrawLevel(doc, ch, slot));
          if (sIdx > first) points.add(x, previous);
          points.add(x, y);
          previous = y;
        }
        points.flush();
        Polyline(p, marks->points, s.digital[ch], 0, false, l.unit);
      }
      p.restore();
    }
  }
  p.restore();
}

void KurvanDrawNewSegments(QPainter& p, const CTrendDoc& doc, const uint8_t* rec, const KurvanGrafLayout& l,
                           const KurvanZoom& zoom, const KurvanGrafStyle& s, const int* xs, int count) {
  const int valid = TrendGetU16(rec, TREND_REC_VALID);
  const TrendLayout& rings = doc.layout();
  if (zoom.timeOffset >= valid || rings.ring == 0 || count <= 0) return;
  const unsigned head = TrendGetU16(rec, TREND_REC_HEAD);
  auto slotOf = [&](int j) { return TrendSlotBefore(head, static_cast<unsigned>(zoom.timeOffset + j), rings.ring); };
  if (l.analogCount && l.innerHeight > 0) {
    p.save();
    p.setClipRect(Inside(l.analog));
    for (int c = 0; c < l.analogCount; ++c) {
      const unsigned ch = l.analogShown[c];
      const double min = ChannelMin(rec, ch), max = ChannelMax(rec, ch);
      KurvanLinePattern pattern =
          KurvanSelectPattern(KURVAN_PATTERN_FIRST_CURVE + static_cast<int>(ch), PatternDpi(p, false), s.analog[ch]);
      for (int j = count - 1; j >= 0; --j) {
        if (zoom.timeOffset + j >= valid) continue;
        const QPoint to(xs[j], ValueY(l, zoom, KurvanDrawValue(doc, ch, slotOf(j), min), min, max));
        p.setPen(QPen(s.analog[ch], 0));
        if (zoom.timeOffset + j + 1 >= valid) {
          p.drawPoint(to);
          continue;
        }
        const QPoint from(xs[j + 1], ValueY(l, zoom, KurvanDrawValue(doc, ch, slotOf(j + 1), min), min, max));
        if (s.monochrome)
          KurvanPatternLine(p, pattern, from, to);
        else
          p.drawLine(from, to);
      }
    }
    p.restore();
  }
  if (l.digitalCount) {
    p.save();
    p.setClipRect(Inside(l.digital));
    for (int r = 0; r < l.digitalCount; ++r) {
      const unsigned ch = l.digitalShown[r];
      p.setPen(QPen(s.digital[ch], 0));
      for (int j = count - 1; j >= 0; --j) {
        if (zoom.timeOffset + j >= valid) continue;
        const int y = LevelY(l, r, KurvanDrawLevel(doc, ch, slotOf(j)));
        if (zoom.timeOffset + j + 1 < valid) {
          const int y0 = LevelY(l, r, KurvanDrawLevel(doc, ch, slotOf(j + 1)));
          const QPoint step[3] = {{xs[j + 1], y0}, {xs[j], y0}, {xs[j], y}};
          p.drawPolyline(step, 3);
        } else {
          p.drawPoint(xs[j], y);
        }
      }
    }
    p.restore();
  }
}

void KurvanDrawCursorLine(QPainter& p, const KurvanGrafLayout& l, int x, int dx, int dy) {
  if (l.analogCount)
    GridLine(p, QPoint(x + dx, l.analog.top + 1 + dy), QPoint(x + dx, l.analog.bottom - 1 + dy), l.unit, l.analog);
  if (l.digitalCount)
    GridLine(p, QPoint(x + dx, l.digital.top + 1 + dy), QPoint(x + dx, l.digital.bottom - 1 + dy), l.unit,
             l.digital);
}
