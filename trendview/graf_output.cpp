// The graph view's output: the clipboard image, the printed page and the CSV export.
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "host/regular_file.h"
#include "trendview/child_frame.h"
#include "trendview/graf_view.h"
#include "trendview/kurvan_app.h"
#include "trendview/kurvan_ids.h"
#include "trendview/language.h"
#include "trendview/main_frame.h"
#include "trendview/trend_doc.h"
#include "trendview/trend_text.h"

namespace {

constexpr int kPrintMargin = 2000;    // 0.01 mm: the page's margin (the frame lies on it)
constexpr int kPrintSeparator = 200;  // 0.01 mm between the value table and the graph
constexpr int kHoldWaitMs = 250;      // the held data settle before the print

QWidget* DialogParent(QWidget* fallback) {
  CKurvanApp* app = KurvanApp();
  QWidget* parent = app ? app->dialogParent() : nullptr;
  return parent ? parent : fallback;
}

// The shown channels of a record, in order.
int ShownAnalog(const CTrendDoc& doc, const uint8_t* rec, unsigned* out) {
  int n = 0;
  for (unsigned i = 0; i < doc.layout().analog && i < TREND_MAX_ANALOG; ++i)
    if (TrendGetU16(rec, TrendAnalogChannel(i) + TREND_CH_SHOWN)) out[n++] = i;
  return n;
}
int ShownDigital(const CTrendDoc& doc, const uint8_t* rec, unsigned* out) {
  int n = 0;
  for (unsigned j = 0; j < doc.layout().digital && j < TREND_MAX_DIGITAL; ++j)
    if (TrendGetU16(rec, TrendDigitalChannel(j) + TREND_CH_SHOWN)) out[n++] = j;
  return n;
}

}  // namespace

QPrinter& KurvanPrinter() {
  // Made once and kept for the program's life, as the print settings are.
  static QPrinter* printer = new QPrinter(QPrinter::HighResolution);
  return *printer;
}

namespace {
QFont& PrintFontSlot() {
  static QFont font;
  return font;
}
}  // namespace

QFont KurvanPrintFont() {
  const QFont& set = PrintFontSlot();
  if (set != QFont()) return set;
  return QFont(QStringLiteral("Arial"), 9);
}

void KurvanSetPrintFont(const QFont& font) { PrintFontSlot() = font; }

bool KurvanPrintsInBlack(const QPaintDevice* device) {
  if (!device) return false;
  if (const auto* printer = dynamic_cast<const QPrinter*>(device))
    if (printer->colorMode() == QPrinter::GrayScale) return true;
  return device->depth() <= 8;
}

std::string KurvanCsvText(const CTrendDoc& doc, const uint8_t* rec, const KurvanZoom& zoom) {
  unsigned analog[TREND_MAX_ANALOG], digital[TREND_MAX_DIGITAL];
  const int na = ShownAnalog(doc, rec, analog), nd = ShownDigital(doc, rec, digital);
  std::string out;
  for (int c = 0; c < na; ++c)
    out += ";\"" + TrendGetText(rec, TrendAnalogChannel(analog[c]) + TREND_CH_NAME, TREND_CH_NAME_BYTES) + "\"";
  for (int c = 0; c < nd; ++c)
    out += ";\"" + TrendGetText(rec, TrendDigitalChannel(digital[c]) + TREND_CH_NAME, TREND_CH_NAME_BYTES) + "\"";
  out += "\r\n";

  const unsigned ring = doc.layout().ring;
  if (ring == 0) return out;
  const unsigned head = TrendGetU16(rec, TREND_REC_HEAD);
  const int language = TrendGetU16(rec, TREND_REC_LANGUAGE);
  int64_t base = 0;
  if (TrendGetI16(rec, TREND_REC_ABS_TIME)) {
    base = TrendGetI32(rec, TREND_REC_TIME_BASE);
    if (base < 0) base = 1;
  }
  const double period = TrendGetU32(rec, TREND_REC_PERIOD) * 0.001;
  const KurvanTimeEdges edges = KurvanTimeAtEdges(rec, zoom);
  double t = edges.left > 0 ? edges.left : 0.0;
  std::string date, clock;
  out.reserve(out.size() + static_cast<size_t>(zoom.visibleSamples) * (12 + 12 * na + 4 * nd));
  for (int k = zoom.timeOffset + zoom.visibleSamples - 1; k >= zoom.timeOffset; --k) {
    const unsigned slot = TrendSlotBefore(head, static_cast<unsigned>(k), ring);
    const double whole = std::floor(std::min(t, 9.2e18));
    KurvanTimeTexts(static_cast<int64_t>(whole), base, language, true, &date, &clock);
    out += date.empty() ? clock : date + " " + clock;
    for (int c = 0; c < na; ++c) {
      const unsigned i = analog[c];
      float v = doc.analogValue(i, slot);
      if (doc.analogBits(i, slot) == TREND_GAP_ANALOG_BITS || std::isnan(v))
        v = TrendGetF32(rec, TrendAnalogChannel(i) + TREND_CH_MIN);
      std::string text = KurvanNumberText(v, 3);
      std::replace(text.begin(), text.end(), '.', ',');
      out += ';';
      out += text;
    }
    for (int c = 0; c < nd; ++c) {
      out += ';';
      out += std::to_string(doc.digitalValue(digital[c], slot));
    }
    out += "\r\n";
    t += period;
  }
  return out;
}

QImage CTrendGrafView::ClipboardImage() {
  drawNow();
  const QImage& graph = offscreen_.image();
  if (graph.isNull()) return QImage();
  const QImage* text = peer() ? reinterpret_cast<const QImage*>(peer()->send(KURVAN_MSG_GET_BITMAP, 0, 0)) : nullptr;
  const int tw = text ? text->width() : 0;
  const int gw = graph.width(), h = graph.height();
  QImage out(gw + tw + 1 + 2, h + 2, QImage::Format_RGB32);
  out.fill(Qt::black);
  QPainter p(&out);
  p.fillRect(1, 1, out.width() - 2, out.height() - 2, Qt::white);
  const int gx = out.width() - 1 - gw;
  p.drawImage(gx, 1, graph);
  if (text) {
    p.fillRect(tw + 1, 1, 1, h, Qt::black);
    p.drawImage(QPoint(1, 1), *text, QRect(0, 0, tw, std::min(h, text->height())));
  }
  if (KurvanCursorOn() && !layout_.tooSmall) KurvanDrawCursorLine(p, layout_, cursorX_, gx, 1);
  p.end();
  return out;
}

void CTrendGrafView::CopyToClipboard() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;
  const QImage image = ClipboardImage();
  if (!image.isNull()) clipboard->setImage(image);
}

void CTrendGrafView::PrintCommand(bool preview) {
  QPrinter& printer = KurvanPrinter();
  if (preview) {
    QPrintPreviewDialog dialog(&printer, DialogParent(this));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { Print(p); });
    KurvanRunDialog(&dialog);
    return;
  }
  QPrintDialog dialog(&printer, DialogParent(this));
  if (KurvanRunDialog(&dialog) == KURVAN_ID_OK) Print(&printer);
}

void CTrendGrafView::PrintSetup() {
  QPageSetupDialog dialog(&KurvanPrinter(), DialogParent(this));
  KurvanRunDialog(&dialog);
}

bool CTrendGrafView::Print(QPaintDevice* target, int64_t now) {
  CTrendDoc* doc = document();
  if (!doc || !target) return false;
  // A live trend is held for the print, so that the page shows one moment.
  const bool wasHeld = doc->hold();
  if (!wasHeld) {
    doc->onCommand(KURVAN_CMD_HOLD, nullptr);
    Invalidate();
    KurvanWait(kHoldWaitMs, false);
  }
  const bool heldHere = !wasHeld && doc->hold();
  bool printed = false;
  QPainter p;
  if (p.begin(target)) {
    if (uint8_t* rec = doc->Lock()) {
      PaintPage(p, *target, rec, now >= 0 ? now : static_cast<int64_t>(std::time(nullptr)));
      doc->Unlock();
      printed = true;
    }
    p.end();
  } else {
    // A printer that does not take the page (no such printer, a file that cannot be
    // written): the user learns it; the document is left as it was.
    KurvanMessageBox(DialogParent(this), KurvanLanguages().string(KURVAN_STR_PRINT_ERROR), KurvanBox::Exclamation);
  }
  // The next screen paint lays the view out again for its own font.
  doc->setConfigChanged(true);
  relayout_ = true;
  Invalidate();
  // Leaving the hold is posted, as the print may still be on its way.
  if (heldHere) {
    QPointer<CTrendGrafView> self(this);
    QTimer::singleShot(0, this, [self] {
      if (self && self->document() && self->document()->hold()) self->document()->onCommand(KURVAN_CMD_HOLD, nullptr);
    });
  }
  return printed;
}

void CTrendGrafView::PaintPage(QPainter& p, const QPaintDevice& page, const uint8_t* rec, int64_t now) {
  CTrendDoc* doc = document();
  const int dpiX = std::max(page.logicalDpiX(), 1), dpiY = std::max(page.logicalDpiY(), 1);
  const int mx = KurvanMulDiv(kPrintMargin, dpiX, 2540), my = KurvanMulDiv(kPrintMargin, dpiY, 2540);
  const int pageRight = page.width() - 7 * mx / 4;
  const int pageBottom = std::min(page.height(), pageRight * 20 / 28) - my;
  if (pageRight <= mx || pageBottom <= my) return;
  // Lines are as wide on the page as one pixel of the screen is.
  const int unit = std::max(1, dpiX / 96);

  // The value table at the left, inside the frame; the graph starts 2 mm to the right of it.
  const int tableWidth = peer() ? static_cast<int>(peer()->send(KURVAN_MSG_PRINT, 0, reinterpret_cast<intptr_t>(&p))) : 0;
  const QFont font = KurvanPrintFont();
  const QFontMetrics fm(font, &page);
  const bool monochrome = KurvanPrintsInBlack(&page);
  p.save();
  p.setFont(font);
  p.setBrush(Qt::NoBrush);
  auto line = [&p, unit](int x0, int y0, int w, int h) { p.fillRect(QRect(x0, y0, w, h), Qt::black); };
  line(mx, my, pageRight - mx, unit);
  line(mx, pageBottom - unit + 1, pageRight - mx, unit);
  line(mx, my, unit, pageBottom - my + 1);
  line(pageRight - unit + 1, my, unit, pageBottom - my + 1);
  int graphLeft = mx;
  if (tableWidth > 0) {
    graphLeft = mx + tableWidth + KurvanMulDiv(kPrintSeparator, dpiX, 2540);
    line(graphLeft, my, unit, pageBottom - my + 1);
  }

  // The header: program, date and time, and the window's title.
  p.setPen(Qt::black);
  std::string date, clock;
  KurvanTimeTexts(0, now, TrendGetU16(rec, TREND_REC_LANGUAGE), false, &date, &clock);
  const int pad = KurvanMulDiv(100, dpiX, 2540);
  const QRect header(graphLeft + pad, my + pad, pageRight - graphLeft - 2 * pad, fm.height());
  p.drawText(header, Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Kurvan   %1 %2").arg(QString::fromStdString(date), QString::fromStdString(clock)));
  const QString title = frame() ? frame()->windowTitle() : QString();
  p.drawText(header, Qt::AlignRight | Qt::AlignVCenter, "[" + title + "]");

  // The graph as on the screen, with the print font, in the rest of the page.
  const KurvanRect client{graphLeft + unit, header.bottom() + 1, pageRight - unit, pageBottom - unit};
  uint8_t* record = const_cast<uint8_t*>(rec);
  const KurvanGrafLayout layout = KurvanGrafLayoutFor(record, doc->layout(), client, fm, unit, true);
  KurvanGrafStyle style = KurvanGrafStyleFor(rec, font, monochrome, true, dpiX);
  style.tooSmallText = KurvanLanguages().string(KURVAN_STR_TOO_SMALL);
  KurvanGrafMarks marks;
  KurvanGrafDraw(p, *doc, rec, layout, zoom_, style, &marks);
  p.restore();
}

void CTrendGrafView::Export() {
  CTrendDoc* doc = document();
  if (!doc) return;
  // The document's title without its extension, and ".csv".
  QString name = QFileInfo(QString::fromStdString(doc->path())).fileName();
  if (name.isEmpty()) {
    if (const uint8_t* rec = doc->Lock()) {
      name = QString::fromLatin1(TrendGetText(rec, TREND_REC_NAME, TREND_NAME_BYTES).c_str());
      doc->Unlock();
    }
  }
  if (name.isEmpty()) name = QStringLiteral("Trend");
  if (name.lastIndexOf('.') >= 0) name.truncate(name.lastIndexOf('.'));
  name += QStringLiteral(".csv");
  QString path = KurvanFileDialog(DialogParent(this), true, KurvanLanguages().string(KURVAN_STR_CSV_FILTER), name);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
  ExportCsv(path.toStdString());
}

bool CTrendGrafView::ExportCsv(const std::string& path) {
  CTrendDoc* doc = document();
  if (!doc) return false;
  auto fail = [this] {
    KurvanMessageBox(DialogParent(this), KurvanLanguages().string(KURVAN_STR_CSV_ERROR), KurvanBox::Exclamation);
    return false;
  };
  const uint8_t* rec = doc->Lock();
  if (!rec) return false;
  const std::string text = KurvanCsvText(*doc, rec, zoom_);
  doc->Unlock();
  // Written beside the target and renamed over it: a failed export loses no older file, and
  // a name that is no regular file (a FIFO) is refused without waiting.
  return host::ReplaceFileContents(path, text.data(), text.size()) ? true : fail();
}
