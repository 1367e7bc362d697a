// The graph view: layout, the too-small text, value rows, odd records, the live scrolling,
// zoom and rubber band, the cursor, the clipboard image, printing, the CSV export and the
// golden drawings.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QClipboard>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <clocale>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>

#include "support/graf_fixture.h"
#include "support/process_locale.h"
#include "trendview/language.h"
#include "trendview/text_view.h"

namespace {

using kurvantest::FakeTextView;
using kurvantest::ForeignLock;
using kurvantest::GrafTest;
using kurvantest::LockIsFree;
using kurvantest::Px;
using kurvantest::Rgb;
using trendtest::ReadText;

constexpr uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000;

uint16_t Field16(KurvanHandle h, uint32_t off) {
  const uint8_t* rec = KurvanLock(h);
  const uint16_t v = rec ? TrendGetU16(rec, off) : 0xFFFF;
  KurvanUnlock(h);
  return v;
}

class GrafViewTest : public GrafTest {
 protected:
  // Samples of a sawtooth 0..98 on every analog channel and a slow square wave on the
  // digital ones.
  void Saw(KurvanHandle h, int n) {
    for (int i = 0; i < n; ++i) {
      const float v = static_cast<float>(i % 50 * 2);
      const unsigned char d = static_cast<unsigned char>(i / 10 % 2);
      Cycle(h, {v, v, v, v}, {d, d, d});
    }
  }
  // A trend of one analog and one digital channel with `ring` slots and `samples` samples, in
  // a view with a text-view stand-in whose analog inside is 300 x 150 pixels.
  struct Rig {
    KurvanHandle h;
    CTrendDoc* doc;
    FakeTextView* peer;
    CTrendGrafView* view;
  };
  Rig SawView(int ring, int samples) {
    Rig r;
    r.h = Make(1, 200, ring, 0, 1, 1);
    Saw(r.h, samples);
    r.doc = Doc(r.h);
    r.peer = Fake(r.doc);
    r.view = View(r.doc, 500, 300, r.peer);
    InnerSize(r.view, 300, 150);
    EXPECT_EQ(r.view->geometry().innerWidth, 300);
    return r;
  }
  void Mouse(CTrendGrafView* v, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), v->viewport()->mapToGlobal(QPointF(at)), button, buttons, modifiers);
    QCoreApplication::sendEvent(v->viewport(), &e);
  }
  // What the window shows now (the image, the cursor and the rubber band).
  static QImage Shown(CTrendGrafView* v) { return v->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  static std::string Csv(CTrendDoc* doc, const CTrendGrafView* v) {
    const uint8_t* rec = doc->Lock();
    std::string text = rec ? KurvanCsvText(*doc, rec, v->zoom()) : "";
    doc->Unlock();
    return text;
  }
};

TEST_F(GrafViewTest, LayoutFollowsTheRecord) {
  KurvanHandle h = Make(2, 200, 900, 0, 2, 2);
  Edit(h, [](uint8_t* rec) {
    TrendPutI16(rec, TREND_REC_LEFT_SCALE, -1);
    TrendPutI16(rec, TREND_REC_RIGHT_SCALE, -1);
  });
  CTrendDoc* doc = Doc(h);
  CTrendGrafView* v = View(doc, 600, 400);
  const KurvanGrafLayout& l = v->geometry();
  // Neither scale set: the right one with channel 0, written back; the legend at the right.
  EXPECT_TRUE(l.rightScale);
  EXPECT_FALSE(l.leftScale);
  EXPECT_EQ(l.rightChannel, 0);
  EXPECT_TRUE(l.legendRight);
  EXPECT_EQ(static_cast<int16_t>(Field16(h, TREND_REC_RIGHT_SCALE)), 0);
  EXPECT_EQ(Field16(h, TREND_REC_SHOWN_ANALOG), 2);
  EXPECT_EQ(Field16(h, TREND_REC_SHOWN_DIGITAL), 2);
  // From the bottom margin up: two digital rows, the gap, the time band, the gap, the curves.
  EXPECT_EQ(l.analog.left, 10);
  EXPECT_EQ(l.analog.right, 600 - 10 - l.legendWidth - 5);
  EXPECT_EQ(l.digital.bottom, 400 - 10);
  EXPECT_EQ(l.digital.height(), 2 * l.rowHeight + 1);
  EXPECT_EQ(l.rowHeight, l.textHeight + 8);
  EXPECT_EQ(l.timeBand.bottom, l.digital.top - 10);
  EXPECT_EQ(l.timeBand.height(), 2 * l.textHeight);
  EXPECT_EQ(l.analog.bottom, l.timeBand.top - 10);
  EXPECT_EQ(l.analog.top, 10 + 10 + l.textHeight * 3 / 2);
  EXPECT_EQ(l.innerWidth, l.analog.width() - 2);
  EXPECT_EQ(l.innerHeight, l.analog.height() - 2);
  EXPECT_EQ(l.rightName, "[Analog 1]");
  EXPECT_FALSE(l.tooSmall);

  // Hidden channels are counted at the next layout.
  Edit(h, [](uint8_t* rec) {
    TrendPutU16(rec, TrendAnalogChannel(1) + TREND_CH_SHOWN, 0);
    TrendPutU16(rec, TrendDigitalChannel(0) + TREND_CH_SHOWN, 0);
    TrendPutI16(rec, TREND_REC_LEFT_SCALE, 1);
    TrendPutI16(rec, TREND_REC_RIGHT_SCALE, -1);
  });
  doc->UpdateAllViews();
  v->drawNow();
  EXPECT_EQ(Field16(h, TREND_REC_SHOWN_ANALOG), 1);
  EXPECT_EQ(Field16(h, TREND_REC_SHOWN_DIGITAL), 1);
  EXPECT_EQ(l.analogCount, 1);
  EXPECT_EQ(l.digitalShown[0], 1);
  // Only the left scale: the legend goes to the left, the areas end 10 pixels from the edge.
  EXPECT_FALSE(l.rightScale);
  EXPECT_FALSE(l.legendRight);
  EXPECT_EQ(l.analog.left, 10 + l.legendWidth + 4);
  EXPECT_EQ(l.analog.right, 600 - 10);
  EXPECT_EQ(l.leftName, "[Analog 2]");

  // No shown analog channel: the time band and the digital row are centred.
  Edit(h, [](uint8_t* rec) { TrendPutU16(rec, TrendAnalogChannel(0) + TREND_CH_SHOWN, 0); });
  doc->UpdateAllViews();
  v->drawNow();
  EXPECT_EQ(l.analogCount, 0);
  const int block = 2 * l.textHeight + 10 + l.digital.height();
  EXPECT_EQ(l.timeBand.top, (400 - block) / 2);
  EXPECT_EQ(l.digital.top, l.timeBand.bottom + 10);
  EXPECT_FALSE(l.tooSmall);
}

TEST_F(GrafViewTest, ATooSmallWindowShowsOnlyItsText) {
  KurvanHandle h = Make(1, 200, 100, 0, 1, 0);
  Saw(h, 100);
  CTrendDoc* doc = Doc(h);
  const QString text = KurvanLanguages().string(KURVAN_STR_TOO_SMALL);
  ASSERT_FALSE(text.isEmpty());
  for (QSize size : {QSize(400, 90), QSize(60, 400)}) {
    CTrendGrafView* v = View(doc, size.width(), size.height());
    EXPECT_TRUE(v->tooSmall()) << size.width() << " x " << size.height();
    // Black text on the background, centred; no frame, no curve.
    const QImage& img = v->image();
    int x0 = img.width(), x1 = -1, y0 = img.height(), y1 = -1;
    for (int y = 0; y < img.height(); ++y) {
      for (int x = 0; x < img.width(); ++x) {
        const uint32_t c = Px(img, x, y);
        ASSERT_TRUE(c == kWhite || c == kBlack) << x << ", " << y;
        if (c != kBlack) continue;
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    }
    ASSERT_GE(x1, 0) << "the text is drawn";
    EXPECT_NEAR((y0 + y1) / 2.0, img.height() / 2.0, 3);
    if (size.width() > 300) {
      EXPECT_NEAR((x0 + x1) / 2.0, img.width() / 2.0, 3);
    }
  }
  CTrendGrafView* v = View(doc, 400, 300);
  EXPECT_FALSE(v->tooSmall());
  EXPECT_EQ(Px(v->image(), v->geometry().analog.left, v->geometry().analog.top), Rgb(0x808080)) << "the frame";
}

TEST_F(GrafViewTest, ValuesLandOnTheirRows) {
  KurvanHandle h = Make(3, 200, 100, 0, 3, 0);
  const uint32_t red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000;
  Edit(h, [&](uint8_t* rec) {
    TrendPutU32(rec, TrendAnalogChannel(0) + TREND_CH_COLOR, red);
    TrendPutU32(rec, TrendAnalogChannel(1) + TREND_CH_COLOR, green);
    TrendPutU32(rec, TrendAnalogChannel(2) + TREND_CH_COLOR, blue);
    TrendPutF32(rec, TrendAnalogChannel(2) + TREND_CH_MIN, 5.0f);
    TrendPutF32(rec, TrendAnalogChannel(2) + TREND_CH_MAX, 5.0f);
  });
  // Channel 0 at 50; channel 1 at 30 with a last sample far beyond its scale; channel 2
  // with equal limits.
  for (int i = 0; i < 100; ++i) Cycle(h, {50.0f, i == 99 ? 1e9f : 30.0f, 7.0f});
  CTrendDoc* doc = Doc(h);
  CTrendGrafView* v = View(doc, 500, 300);
  InnerSize(v, 300, 101);
  const KurvanGrafLayout& l = v->geometry();
  ASSERT_EQ(l.innerWidth, 300);
  ASSERT_EQ(l.innerHeight, 101);
  const QImage& img = v->image();
  const int top = l.analog.top + 1, x = l.left() + 150;
  EXPECT_EQ(Px(img, x, top + 50), Rgb(red)) << "50 of 0..100 on row 50 of 101";
  EXPECT_NE(Px(img, x, top + 49), Rgb(red));
  EXPECT_NE(Px(img, x, top + 51), Rgb(red));
  EXPECT_EQ(Px(img, x, top + 70), Rgb(green));
  EXPECT_EQ(Px(img, x, top + 100), Rgb(blue)) << "equal limits draw at the minimum";
  // The jump far beyond the scale still reaches the top edge.
  bool reached = false;
  for (int xx = l.newestX() - 4; xx <= l.newestX(); ++xx) reached = reached || Px(img, xx, top) == Rgb(green);
  EXPECT_TRUE(reached);
  // Nothing outside the inside: the frame above stays.
  EXPECT_EQ(Px(img, l.newestX(), top - 1), Rgb(0x808080));
  EXPECT_EQ(Field16(h, TREND_REC_PENDING), 0);
}

TEST_F(GrafViewTest, OddRecordsDrawWithoutHanging) {
  // No record at all: an empty window, every command that needs one disabled.
  CTrendGrafView* empty = View(Doc(0), 200, 100);
  const QImage blank = empty->image();
  ASSERT_FALSE(blank.isNull());
  const uint32_t base = empty->palette().color(QPalette::Base).rgb() & 0xFFFFFF;
  int others = 0;
  for (int y = 0; y < blank.height(); ++y)
    for (int x = 0; x < blank.width(); ++x) others += Px(blank, x, y) != base;
  EXPECT_EQ(others, 0) << "the window's background, no stale memory";
  for (int id : {KURVAN_CMD_COPY, KURVAN_CMD_CSV, KURVAN_CMD_PRINT}) {
    KurvanCmdUI ui;
    EXPECT_TRUE(empty->onCommand(id, &ui));
    EXPECT_FALSE(ui.enabled) << id;
  }
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const std::vector<std::function<void(uint8_t*)>> edits = {
      [](uint8_t*) {},
      [](uint8_t* rec) { TrendPutF32(rec, TrendAnalogChannel(0) + TREND_CH_MAX, 1.5e37f);
                         TrendPutF32(rec, TrendAnalogChannel(0) + TREND_CH_MIN, -1.5e37f); },
      [](uint8_t* rec) { TrendPutF32(rec, TrendAnalogChannel(0) + TREND_CH_MAX, 1.5e37f);
                         TrendPutF32(rec, TrendAnalogChannel(0) + TREND_CH_MIN, 1.5e37f); },
      [=](uint8_t* rec) { TrendPutF32(rec, TrendAnalogChannel(0) + TREND_CH_MIN, nan);
                          TrendPutF32(rec, TrendAnalogChannel(1) + TREND_CH_MAX, inf); },
      [](uint8_t* rec) { TrendPutF32(rec, TREND_REC_SPAN, 1e30f); },
      [=](uint8_t* rec) { TrendPutF32(rec, TREND_REC_SPAN, nan); },
      [](uint8_t* rec) { TrendPutF32(rec, TREND_REC_SPAN, -5.0f); },
      [](uint8_t* rec) { TrendPutF32(rec, TREND_REC_SPAN, 0.0f); },
      [](uint8_t* rec) { TrendPutI32(rec, TREND_REC_TIME_S, 0x7FFFFFFF);
                         TrendPutI32(rec, TREND_REC_TIME_MS, -0x7FFFFFFF); },
      [](uint8_t* rec) { TrendPutI16(rec, TREND_REC_ABS_TIME, 1); TrendPutI32(rec, TREND_REC_TIME_BASE, -5); },
      [](uint8_t* rec) { for (uint32_t off : {TREND_REC_LEFT_MARGIN, TREND_REC_TOP_MARGIN, TREND_REC_AREA_GAP,
                                              TREND_REC_BOTTOM_MARGIN}) TrendPutI16(rec, off, 32767); },
      [](uint8_t* rec) { for (uint32_t off : {TREND_REC_LEFT_MARGIN, TREND_REC_TOP_MARGIN, TREND_REC_AREA_GAP,
                                              TREND_REC_BOTTOM_MARGIN}) TrendPutI16(rec, off, -32768); },
      [](uint8_t* rec) { TrendPutI16(rec, TREND_REC_LEFT_SCALE, 99); TrendPutI16(rec, TREND_REC_RIGHT_SCALE, -7); },
      [](uint8_t* rec) { TrendPutI16(rec, TREND_REC_VISIBLE_PART, 0); },
      [](uint8_t* rec) { TrendPutI16(rec, TREND_REC_VISIBLE_PART, 1); },
  };
  int n = 0;
  for (const auto& edit : edits) {
    SCOPED_TRACE(n++);
    KurvanHandle h = Make(2, 200, 50, 0, 2, 2);
    for (int i = 0; i < 60; ++i) Cycle(h, {i % 3 ? nan : 1.5e37f, i % 2 ? -inf : 3.0f}, {1, 0});
    Edit(h, edit);
    CTrendDoc* doc = Doc(h);
    FakeTextView* peer = Fake(doc);
    CTrendGrafView* v = View(doc, 400, 300, peer);
    Cycle(h, {nan, 2.0f});
    Cycle(h, {-1.5e37f, 2.0f});
    v->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
    v->ZoomTo({v->geometry().left() + 5, 0}, {v->geometry().left() + 8, 299});
    v->ZoomTo({0, v->geometry().analog.top + 5}, {399, v->geometry().analog.top + 7});
    v->send(KURVAN_MSG_CURSOR, 0, 0);
    v->drawNow();
    EXPECT_FALSE(v->ClipboardImage().isNull());
    EXPECT_FALSE(Csv(doc, v).empty());
    Resize(v, 0, 0);
    v->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
    EXPECT_TRUE(LockIsFree(h));
  }
}

TEST_F(GrafViewTest, LiveSamplesScrollTheImageByWholePixels) {
  const auto [h, doc, peer, v] = SawView(900, 100);
  const KurvanGrafLayout& l = v->geometry();
  ASSERT_EQ(v->zoom().visibleSamples, 900);

  auto shiftedByOne = [&](const QImage& before, const QImage& after, const KurvanRect& area) {
    int differences = 0;
    for (int y = area.top + 1; y < area.bottom - 1; ++y)
      for (int x = area.left + 1; x < area.left + 150; ++x) differences += Px(after, x, y) != Px(before, x + 1, y);
    return differences;
  };
  for (int round = 0; round < 2; ++round) {
    const QImage before = v->image().copy();
    Saw(h, 3);
    ASSERT_EQ(Field16(h, TREND_REC_PENDING), 3);
    const int refreshes = peer->refreshes;
    v->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
    EXPECT_EQ(v->lastAdvance(), 1) << "three samples of 900 on 300 pixels";
    EXPECT_EQ(v->scrollRest(), 0);
    EXPECT_EQ(Field16(h, TREND_REC_PENDING), 0);
    EXPECT_GT(peer->refreshes, refreshes) << "the cursor data follow";
    EXPECT_EQ(shiftedByOne(before, v->image(), l.analog), 0);
    EXPECT_EQ(shiftedByOne(before, v->image(), l.digital), 0);
    EXPECT_EQ(Px(v->image(), l.analog.left, l.analog.top + 20), Px(before, l.analog.left, l.analog.top + 20))
        << "the frame stays";
  }
  Saw(h, 1);
  v->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
  EXPECT_EQ(v->lastAdvance(), 0);
  EXPECT_EQ(v->scrollRest(), 300);

  // While held the live record is left alone.
  doc->onCommand(KURVAN_CMD_HOLD, nullptr);
  ASSERT_TRUE(doc->hold());
  Saw(h, 1);
  v->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
  EXPECT_EQ(Field16(h, TREND_REC_PENDING), 1);
  doc->onCommand(KURVAN_CMD_HOLD, nullptr);
  v->drawNow();
  EXPECT_EQ(Field16(h, TREND_REC_PENDING), 0) << "drawn again as a whole";

  // A failed lock skips the drawing: the image stays as it was.
  Saw(h, 3);
  const QImage before = v->image().copy();
  {
    ForeignLock lock(h);
    ASSERT_TRUE(lock.locked());
    v->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
    doc->UpdateAllViews();
    v->drawNow();
  }
  EXPECT_EQ(v->image(), before);
  EXPECT_EQ(Field16(h, TREND_REC_PENDING), 3);
}

TEST_F(GrafViewTest, RubberBandZoomsInTimeAndValue) {
  KurvanHandle h = Make(1, 200, 900, 0, 1, 1);
  Saw(h, 900);
  CTrendDoc* doc = Doc(h);
  CTrendGrafView* v = View(doc, 500, 400);
  const KurvanGrafLayout& l = v->geometry();
  const KurvanZoom& z = v->zoom();
  auto state = [&] {
    KurvanCmdUI ui;
    EXPECT_TRUE(v->onCommand(KURVAN_CMD_ZOOM_RESET, &ui));
    return ui.enabled;
  };
  EXPECT_FALSE(state());

  // A band one pixel wide, dragged with the mouse: shown inverted, no zoom.
  const QPoint start(l.left() + 50, l.analog.top + 10);
  Mouse(v, QEvent::MouseButtonPress, start, Qt::LeftButton);
  Mouse(v, QEvent::MouseMove, start + QPoint(1, 60), Qt::LeftButton);
  const QImage shown = Shown(v);
  EXPECT_EQ(Px(shown, start.x(), start.y() + 30), ~Px(v->image(), start.x(), start.y() + 30) & 0xFFFFFF);
  EXPECT_EQ(Px(shown, start.x() + 5, start.y() + 30), Px(v->image(), start.x() + 5, start.y() + 30));
  Mouse(v, QEvent::MouseButtonRelease, start + QPoint(1, 60), Qt::NoButton);
  EXPECT_EQ(z.visibleSamples, 900);
  EXPECT_EQ(z.visibleUnits, 8000);
  EXPECT_EQ(Shown(v), v->image()) << "the band is gone";

  // A vertical slice zooms in time alone; the same with the mouse.
  Mouse(v, QEvent::MouseButtonPress, {l.left() + 1 + l.innerWidth / 2, 2}, Qt::LeftButton);
  Mouse(v, QEvent::MouseMove, {l.left() + 1 + l.innerWidth - 1, 397}, Qt::LeftButton);
  Mouse(v, QEvent::MouseButtonRelease, {l.left() + 1 + l.innerWidth - 1, 397}, Qt::NoButton);
  EXPECT_NEAR(z.visibleSamples, 451, 2);
  EXPECT_EQ(z.timeOffset, 0);
  EXPECT_EQ(z.visibleUnits, 8000);
  EXPECT_TRUE(state());
  EXPECT_TRUE(v->horizontalScrollBar()->isEnabled());

  // A horizontal slice zooms in value alone.
  const int visible = z.visibleSamples;
  v->ZoomTo({0, l.analog.top + 1}, {499, l.analog.top + 1 + l.innerHeight / 2});
  EXPECT_EQ(z.visibleSamples, visible);
  EXPECT_NEAR(z.visibleUnits, 4000, 60);
  EXPECT_NEAR(z.valueOffset, 4000, 60) << "the upper half";

  // Tiny bands: never fewer than total / 50 slots or total / 500 units.
  for (int i = 0; i < 6; ++i) v->ZoomTo({l.left() + 20, l.analog.top + 20}, {l.left() + 22, l.analog.top + 22});
  EXPECT_EQ(z.visibleSamples, 18);
  EXPECT_EQ(z.visibleUnits, 16);
  EXPECT_GE(z.timeOffset, 0);
  EXPECT_LE(z.timeOffset, 900 - 18);
  EXPECT_LE(z.valueOffset, 8000 - 16);

  // The scroll bars move in slots and units.
  const int offset = z.timeOffset;
  v->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(z.timeOffset, std::min(offset + 1, 900 - 18)) << "a line is visible / 20, at least one slot";
  v->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(z.timeOffset, 0) << "the right end shows the newest";

  // Outside the areas: everything again; and the reset command.
  v->ZoomTo({0, 0}, {5, 5});
  EXPECT_EQ(z.visibleSamples, 900);
  EXPECT_EQ(z.visibleUnits, 8000);
  EXPECT_EQ(z.valueOffset, 0);
  v->ZoomTo({l.left() + 20, 0}, {l.left() + 40, 399});
  EXPECT_TRUE(state());
  v->onCommand(KURVAN_CMD_ZOOM_RESET, nullptr);
  EXPECT_FALSE(state());
  EXPECT_EQ(z.visibleSamples, 900);
  EXPECT_EQ(z.timeOffset, 0);
  EXPECT_FALSE(v->horizontalScrollBar()->isEnabled());
}

TEST_F(GrafViewTest, TheCursorFollowsThePointer) {
  const auto [h, doc, peer, v] = SawView(100, 100);
  const KurvanGrafLayout& l = v->geometry();
  // Off: the time at the right edge and the newest slot.
  EXPECT_EQ(doc->cursorSlot(), 99);
  EXPECT_FLOAT_EQ(doc->cursorTime(), 20.0f);

  SwitchCursor();
  v->send(KURVAN_MSG_CURSOR, 0, 0);
  ASSERT_TRUE(KurvanCursorOn());
  EXPECT_EQ(v->cursorX(), l.right() - 2);
  EXPECT_EQ(doc->cursorSlot(), 99);
  EXPECT_FLOAT_EQ(doc->cursorTime(), 20.0f);

  v->activateWindow();
  v->setFocus();
  QCoreApplication::processEvents();
  ASSERT_TRUE(v->hasFocus());
  const int refreshes = peer->refreshes;
  // 101 pixels into the inside of 300: 199 pixels of 100 slots before the right edge.
  const int x = l.left() + 101;
  Mouse(v, QEvent::MouseMove, {x, l.analog.top + 20}, Qt::NoButton);
  EXPECT_EQ(v->cursorX(), x);
  EXPECT_EQ(doc->cursorSlot(), 33);
  EXPECT_NEAR(doc->cursorTime(), 101 * 20.0 / 300, 1e-4);
  EXPECT_GT(peer->refreshes, refreshes);
  // The dotted line through both areas.
  const QImage shown = Shown(v);
  int dots = 0;
  for (int y = l.analog.top + 1; y < l.analog.bottom - 1; ++y) dots += Px(shown, x, y) == kBlack;
  EXPECT_NEAR(dots, l.innerHeight / 2, 2);
  EXPECT_EQ(Px(shown, x, l.digital.top + 1), kBlack);

  // With Ctrl, or from outside the areas, the cursor stays; dragged out sideways it stops
  // at the edge.
  Mouse(v, QEvent::MouseMove, {x + 30, l.analog.top + 20}, Qt::NoButton, Qt::ControlModifier);
  EXPECT_EQ(v->cursorX(), x);
  Mouse(v, QEvent::MouseMove, {x + 40, l.analog.top - 5}, Qt::NoButton);
  Mouse(v, QEvent::MouseMove, {x + 50, l.analog.top - 4}, Qt::NoButton);
  EXPECT_EQ(v->cursorX(), x);
  Mouse(v, QEvent::MouseMove, {x + 60, l.digital.top + 3}, Qt::NoButton);
  EXPECT_EQ(v->cursorX(), x + 60);
  Mouse(v, QEvent::MouseMove, {499, l.digital.top + 3}, Qt::NoButton);
  EXPECT_EQ(v->cursorX(), l.right() - 2);

  SwitchCursor();
  v->send(KURVAN_MSG_CURSOR, 0, 0);
  EXPECT_EQ(doc->cursorSlot(), 99);
  EXPECT_FLOAT_EQ(doc->cursorTime(), 20.0f);
  EXPECT_EQ(Shown(v), v->image());
}

TEST_F(GrafViewTest, TheClipboardImageJoinsTheTableAndTheGraph) {
  KurvanHandle h = Make(1, 200, 100, 0, 1, 1);
  Saw(h, 50);
  CTrendDoc* doc = Doc(h);
  FakeTextView* peer = Fake(doc);
  peer->image = QImage(40, 200, QImage::Format_RGB32);
  peer->image.fill(Qt::red);
  CTrendGrafView* v = View(doc, 300, 200, peer);
  const QImage& graph = v->image();
  const QImage c = v->ClipboardImage();
  ASSERT_EQ(c.size(), QSize(300 + 40 + 3, 202));
  EXPECT_EQ(Px(c, 0, 0), kBlack);
  EXPECT_EQ(Px(c, c.width() - 1, c.height() - 1), kBlack);
  EXPECT_EQ(Px(c, 1, 1), 0xFF0000u);
  EXPECT_EQ(Px(c, 40, 200), 0xFF0000u);
  for (int y = 1; y <= 200; ++y) ASSERT_EQ(Px(c, 41, y), kBlack) << y;
  int differences = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) differences += Px(c, 42 + x, 1 + y) != Px(graph, x, y);
  EXPECT_EQ(differences, 0);

  // The cursor line goes in too; the command puts the image on the clipboard.
  SwitchCursor();
  const QImage withCursor = v->ClipboardImage();
  EXPECT_EQ(Px(withCursor, 42 + v->cursorX(), 1 + v->geometry().analog.top + 1), kBlack);
  v->onCommand(KURVAN_CMD_COPY, nullptr);
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), c.size());

  // Without the table's image: a white column, then the graph.
  peer->image = QImage();
  const QImage alone = v->ClipboardImage();
  ASSERT_EQ(alone.size(), QSize(303, 202));
  EXPECT_EQ(Px(alone, 1, 100), kWhite);
  EXPECT_EQ(Px(alone, 2, 1), Px(graph, 0, 0));
}

TEST_F(GrafViewTest, CsvOfTheVisiblePart) {
  KurvanHandle h = Make(2, 500, 10, 0, 2, 2);
  Edit(h, [](uint8_t* rec) {
    TrendPutText(rec, TrendAnalogChannel(0) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Flow");
    TrendPutText(rec, TrendAnalogChannel(1) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Temp");
    TrendPutText(rec, TrendDigitalChannel(0) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Pump");
    TrendPutText(rec, TrendDigitalChannel(1) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Alarm");
    TrendPutF32(rec, TrendAnalogChannel(1) + TREND_CH_MIN, -10.0f);
    TrendPutI16(rec, TREND_REC_VISIBLE_PART, 40);
  });
  Cycle(h, {12.5f, -1.0f}, {1, 0});
  Cycle(h, {13.25f, 2.0f}, {0, 1});
  Cycle(h, {-0.5f, 0.0f}, {1, 1});
  Cycle(h, {100.0f, 3.14159f}, {0, 0});
  // Gaps in the third sample (slot 2) of analog 1 and digital 1.
  Edit(h, [](uint8_t* rec) {
    TrendPutU32(rec, TREND_REC_SAMPLES + 10 * 4 + 2 * 4, TREND_GAP_ANALOG_BITS);
    rec[TREND_REC_SAMPLES + 2 * 10 * 4 + 10 + 2] = TREND_GAP_DIGITAL;
  });
  CTrendDoc* doc = Doc(h);
  CTrendGrafView* v = View(doc, 400, 300);
  ASSERT_EQ(v->zoom().visibleSamples, 4);
  const std::string expected =
      ";\"Flow\";\"Temp\";\"Pump\";\"Alarm\"\r\n"
      "00:00:00;12,500;-1,000;1;0\r\n"
      "00:00:00;13,250;2,000;0;1\r\n"
      "00:00:01;-0,500;-10,000;1;255\r\n"
      "00:00:01;100,000;3,142;0;0\r\n";
  EXPECT_EQ(Csv(doc, v), expected);
  {
    ProcessLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.set) << "no de_DE.UTF-8 locale (Debian package: locales)";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(Csv(doc, v), expected);
  }

  // Written through "<name>.tmp".
  const std::string path = folder + "/out.csv";
  EXPECT_TRUE(v->ExportCsv(path));
  EXPECT_EQ(ReadText(path), expected);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path + ".tmp")));
  // A record that cannot be locked: nothing written, the old file kept, no message.
  {
    ForeignLock lock(h);
    ASSERT_TRUE(lock.locked());
    std::ofstream(path) << "old";
    EXPECT_FALSE(v->ExportCsv(path));
  }
  EXPECT_EQ(ReadText(path), "old");
  EXPECT_TRUE(boxes.empty());
  // A file that cannot be made: message 61228.
  EXPECT_FALSE(v->ExportCsv(folder + "/missing/out.csv"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], KurvanLanguages().string(KURVAN_STR_CSV_ERROR));
  // A FIFO at the temporary name: refused at once (no wait for a reader), the old file kept.
  ASSERT_EQ(mkfifo((path + ".tmp").c_str(), 0600), 0);
  EXPECT_FALSE(v->ExportCsv(path));
  EXPECT_EQ(ReadText(path), "old");
  ASSERT_EQ(boxes.size(), 2u);
  std::remove((path + ".tmp").c_str());

  // The command: the save dialog offers "<title>.csv" with the filter of string 61227.
  QString offered, filter;
  hooks.fileDialog = [&](QWidget*, bool save, const QString& f, const QString& name) {
    EXPECT_TRUE(save);
    offered = name;
    filter = f;
    return QString::fromStdString(folder + "/command");
  };
  KurvanSetUiHooks(&hooks);
  doc->setPath(folder + "/run.1.krv");
  v->onCommand(KURVAN_CMD_CSV, nullptr);
  EXPECT_EQ(offered, "run.1.csv");
  EXPECT_EQ(filter, KurvanLanguages().string(KURVAN_STR_CSV_FILTER));
  EXPECT_EQ(ReadText(folder + "/command.csv"), expected);

  // Absolute times: date and clock; without shown channels only the times.
  setenv("TZ", "UTC", 1);
  tzset();
  Edit(h, [](uint8_t* rec) {
    TrendPutI16(rec, TREND_REC_ABS_TIME, 1);
    TrendPutI32(rec, TREND_REC_TIME_BASE, 959558400);  // 29 May 2000 0:00
    for (unsigned i = 0; i < 2; ++i) TrendPutU16(rec, TrendAnalogChannel(i) + TREND_CH_SHOWN, 0);
    for (unsigned j = 0; j < 2; ++j) TrendPutU16(rec, TrendDigitalChannel(j) + TREND_CH_SHOWN, 0);
  });
  EXPECT_EQ(Csv(doc, v),
            "\r\n29.05.2000 00:00:00\r\n29.05.2000 00:00:00\r\n29.05.2000 00:00:01\r\n29.05.2000 00:00:01\r\n");
  Edit(h, [](uint8_t* rec) { TrendPutI16(rec, TREND_REC_ABS_TIME, 0); });
  EXPECT_EQ(Csv(doc, v), "\r\n00:00:00\r\n00:00:00\r\n00:00:01\r\n00:00:01\r\n");
  unsetenv("TZ");
  tzset();
}

TEST_F(GrafViewTest, PrintingHoldsALiveTrendForThePage) {
  KurvanHandle h = Make(2, 200, 100, 0, 2, 2);
  Saw(h, 100);
  CTrendDoc* doc = Doc(h);
  FakeTextView* peer = Fake(doc);
  peer->printWidth = 600;
  CTrendGrafView* v = View(doc, 500, 300, peer);
  const std::string pdf = folder + "/page.pdf";
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));

  ASSERT_FALSE(doc->hold());
  EXPECT_TRUE(v->Print(&printer));
  EXPECT_EQ(peer->prints, 1);
  EXPECT_TRUE(peer->heldWhilePrinting);
  EXPECT_NE(peer->printedOn, 0);
  EXPECT_TRUE(doc->hold()) << "released by a posted command";
  QCoreApplication::processEvents();
  EXPECT_FALSE(doc->hold());
  EXPECT_EQ(doc->trendHandle(), h);
  EXPECT_GT(QFileInfo(QString::fromStdString(pdf)).size(), 1000);
  EXPECT_TRUE(LockIsFree(h));

  // A held document stays held.
  doc->onCommand(KURVAN_CMD_HOLD, nullptr);
  const KurvanHandle snapshot = doc->trendHandle();
  EXPECT_TRUE(v->Print(&printer));
  QCoreApplication::processEvents();
  EXPECT_TRUE(doc->hold());
  EXPECT_EQ(doc->trendHandle(), snapshot);
  // A record that cannot be locked prints no graph.
  {
    ForeignLock lock(snapshot);
    ASSERT_TRUE(lock.locked());
    EXPECT_FALSE(v->Print(&printer));
  }
  doc->onCommand(KURVAN_CMD_HOLD, nullptr);

  // The commands run the print dialog (then print), the preview and the page set-up.
  QPrinter& shared = KurvanPrinter();
  shared.setOutputFormat(QPrinter::PdfFormat);
  shared.setOutputFileName(QString::fromStdString(folder + "/command.pdf"));
  std::vector<std::string> kinds;
  onDialog = [&](QDialog* d) {
    kinds.push_back(d->metaObject()->className());
    return KURVAN_ID_OK;
  };
  for (int id : {KURVAN_CMD_PRINT, KURVAN_CMD_PRINT_PREVIEW, KURVAN_CMD_PRINT_SETUP}) {
    KurvanCmdUI ui;
    EXPECT_TRUE(v->onCommand(id, &ui));
    EXPECT_TRUE(ui.enabled);
    v->onCommand(id, nullptr);
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(kinds, (std::vector<std::string>{"QPrintDialog", "QPrintPreviewDialog", "QPageSetupDialog"}));
  EXPECT_GT(QFileInfo(QString::fromStdString(folder + "/command.pdf")).size(), 1000);
  EXPECT_FALSE(doc->hold());
}

// One minute into a trend of six: the labels and the vertical grid run over the whole width,
// over the part no sample has reached yet too, also after a resize and with a time base.
TEST_F(GrafViewTest, TimeLabelsAndGridCoverTheWholeWidth) {
  KurvanHandle h = Make(1, 1000, 360, 0, 1, 1);
  Saw(h, 60);
  CTrendDoc* doc = Doc(h);
  CTrendGrafView* v = View(doc, 600, 300);
  // Something drawn in the time band's and the analog inside's part left of x (the record's
  // time 0 lies at five sixths of the width).
  auto inked = [&](const KurvanRect& box, int x1) {
    int n = 0;
    for (int y = box.top + 1; y < box.bottom - 1; ++y)
      for (int x = box.left + 1; x < x1; ++x) n += Px(v->image(), x, y) != kWhite;
    return n;
  };
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) Resize(v, 800, 360);
    if (round == 2) {
      setenv("TZ", "UTC", 1);
      tzset();
      Edit(h, [](uint8_t* rec) {
        TrendPutI16(rec, TREND_REC_ABS_TIME, 1);
        TrendPutI32(rec, TREND_REC_TIME_BASE, 959558400);
      });
      doc->UpdateAllViews();
      v->drawNow();
    }
    const KurvanGrafLayout& l = v->geometry();
    const int timeZero = l.left() + l.innerWidth * 5 / 6;
    const KurvanRect band{l.left(), l.timeBand.top, l.right(), l.timeBand.bottom};
    EXPECT_GT(inked(band, l.left() + l.innerWidth / 3), 0) << "labels over the empty part";
    EXPECT_GT(inked(l.analog, timeZero - 5), 0) << "grid over the empty part";
    EXPECT_GT(inked(band, timeZero - 5), inked(band, l.left() + l.innerWidth / 3));
  }
  unsetenv("TZ");
  tzset();
}

// The printed page: the table clear of the page's frame, the header, the graph with its frames,
// grid and traces as on the screen, the lines one screen pixel wide.
class GrafPrintTest : public GrafViewTest {
 protected:
  void SetUp() override {
    GrafViewTest::SetUp();
    QFont f = kurvantest::TestFont();
    f.setPointSize(9);
    KurvanSetPrintFont(f);
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    KurvanSetPrintFont(QFont());
    unsetenv("TZ");
    tzset();
    texts.clear();
    GrafViewTest::TearDown();
  }
  // An A4 landscape page at 200 dots per inch, white.
  static QImage Page(QImage::Format format = QImage::Format_RGB32) {
    QImage page(2339, 1654, format);
    page.setDotsPerMeterX(7874);
    page.setDotsPerMeterY(7874);
    page.fill(Qt::white);
    return page;
  }
  CTrendGrafView* PrintView(CTrendDoc* doc) {
    texts.push_back(std::make_unique<CTrendTextView>(doc, nullptr, nullptr));
    CTrendTextView* text = texts.back().get();
    text->setFont(kurvantest::TestFont());
    CTrendGrafView* v = View(doc, 480, 300, text);
    text->resize(200, 300);
    v->UpdateCursorData();
    return v;
  }
  std::vector<std::unique_ptr<CTrendTextView>> texts;
};

// The longest run of pixels of colour c in row y, and the rows with such a run of at least n.
int LongestRun(const QImage& img, int y, uint32_t c) {
  int best = 0, run = 0;
  for (int x = 0; x < img.width(); ++x) {
    run = Px(img, x, y) == c ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best;
}
int RowsWithRun(const QImage& img, uint32_t c, int n) {
  int rows = 0;
  for (int y = 0; y < img.height(); ++y) rows += LongestRun(img, y, c) >= n;
  return rows;
}

TEST_F(GrafPrintTest, ThePageShowsWhatTheScreenShows) {
  KurvanHandle h = Make(2, 1000, 120, 0, 2, 2);
  Edit(h, [](uint8_t* rec) {
    TrendPutText(rec, TrendAnalogChannel(0) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Istwert");
    TrendPutText(rec, TrendAnalogChannel(1) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Stellgrad");
    TrendPutText(rec, TrendDigitalChannel(0) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Auto/Hand");
    TrendPutText(rec, TrendDigitalChannel(1) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Alarm");
    TrendPutU32(rec, TrendAnalogChannel(0) + TREND_CH_COLOR, 0x0000C0);
    TrendPutU32(rec, TrendAnalogChannel(1) + TREND_CH_COLOR, 0x008000);
    TrendPutU32(rec, TrendDigitalChannel(0) + TREND_CH_COLOR, 0x800000);
    TrendPutU32(rec, TrendDigitalChannel(1) + TREND_CH_COLOR, 0x008080);
    TrendPutI16(rec, TREND_REC_LEFT_SCALE, 0);
    TrendPutI16(rec, TREND_REC_RIGHT_SCALE, 1);
  });
  for (int i = 0; i < 100; ++i)
    Cycle(h, {50.0f + 40.0f * std::sin(i / 8.0f), 50.0f + 30.0f * std::cos(i / 10.0f)},
          {static_cast<unsigned char>(i / 15 % 2 == 0), static_cast<unsigned char>(i / 7 % 2)});
  CTrendDoc* doc = Doc(h);
  CTrendGrafView* v = PrintView(doc);
  QImage page = Page();
  ASSERT_TRUE(v->Print(&page, 959558400 + 3723));
  EXPECT_TRUE(kurvantest::MatchesGoldenImage("trendview", "graf_printed_page", page));

  // At 200 dpi a line is 2 pixels wide: the page's frame (black), the frames of the analog
  // and the digital area (the frame colour) and the dotted grid (black) are there.
  const int unit = 2;
  EXPECT_GE(RowsWithRun(page, Rgb(0x808080), 1000), 4 * unit) << "tops and bottoms of both areas";
  EXPECT_GE(RowsWithRun(page, kBlack, 1500), 2 * unit) << "the page's frame";
  // A grid row: many short black dashes, each a whole number of line widths long.
  int gridRows = 0;
  for (int y = 0; y < page.height(); ++y) {
    int dashes = 0, run = 0;
    for (int x = 0; x < page.width(); ++x) {
      if (Px(page, x, y) == kBlack) {
        ++run;
        continue;
      }
      dashes += run > 0 && run <= 4 * unit && run % unit == 0;
      run = 0;
    }
    gridRows += dashes > 100;
  }
  EXPECT_GE(gridRows, 3 * unit) << "horizontal grid lines";
}

TEST_F(GrafPrintTest, BlackOnAMonochromeDeviceAndColoursElsewhere) {
  QPrinter grey(QPrinter::HighResolution);
  grey.setColorMode(QPrinter::GrayScale);
  QPrinter colour(QPrinter::HighResolution);
  colour.setColorMode(QPrinter::Color);
  QImage rgb = Page(), gray = Page(QImage::Format_Grayscale8);
  const struct {
    const QPaintDevice* device;
    bool black;
  } cases[] = {{&grey, true}, {&colour, false}, {&rgb, false}, {&gray, true}, {nullptr, false}};
  for (const auto& c : cases) EXPECT_EQ(KurvanPrintsInBlack(c.device), c.black);
}

// An empty trend prints its frames and header without a table; a printer that does not take
// the page says so and leaves the document as it was.
TEST_F(GrafPrintTest, AnEmptyTrendAndAFailingPrinter) {
  KurvanHandle h = Make(1, 200, 100, 0, 1, 1);
  CTrendDoc* doc = Doc(h);
  CTrendGrafView* v = PrintView(doc);
  QImage page = Page();
  EXPECT_TRUE(v->Print(&page, 0));
  QCoreApplication::processEvents();
  EXPECT_FALSE(doc->hold());
  EXPECT_GE(RowsWithRun(page, Rgb(0x808080), 1000), 2) << "the analog area's frame";
  {
    QPainter p(&page);
    EXPECT_EQ(texts.back()->send(KURVAN_MSG_PRINT, 0, reinterpret_cast<intptr_t>(&p)), 0)
        << "no table: the graph takes the whole page";
  }
  EXPECT_TRUE(boxes.empty());

  QPrinter broken(QPrinter::HighResolution);
  broken.setOutputFormat(QPrinter::PdfFormat);
  broken.setOutputFileName(QString::fromStdString(folder + "/no/such/folder/page.pdf"));
  EXPECT_FALSE(v->Print(&broken));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], KurvanLanguages().string(KURVAN_STR_PRINT_ERROR));
  EXPECT_FALSE(boxes[0].isEmpty());
  QCoreApplication::processEvents();
  EXPECT_FALSE(doc->hold()) << "the hold for the print is left again";
  EXPECT_EQ(doc->trendHandle(), h);
  EXPECT_TRUE(LockIsFree(h));
}

// A trend with two analog channels on a scale each and two digital channels, 100 of its 120
// slots filled, a gap on the second curve.
class GrafGoldenTest : public GrafViewTest {
 protected:
  KurvanHandle Trend() {
    KurvanHandle h = Make(2, 1000, 120, 0, 2, 2);
    Edit(h, [](uint8_t* rec) {
      TrendPutText(rec, TrendAnalogChannel(0) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Flow");
      TrendPutText(rec, TrendAnalogChannel(1) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Level");
      TrendPutText(rec, TrendDigitalChannel(0) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Pump");
      TrendPutText(rec, TrendDigitalChannel(1) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Valve");
      TrendPutU32(rec, TrendAnalogChannel(0) + TREND_CH_COLOR, 0x0000C0);
      TrendPutU32(rec, TrendAnalogChannel(1) + TREND_CH_COLOR, 0x008000);
      TrendPutU32(rec, TrendDigitalChannel(0) + TREND_CH_COLOR, 0x800000);
      TrendPutU32(rec, TrendDigitalChannel(1) + TREND_CH_COLOR, 0x008080);
      TrendPutF32(rec, TrendAnalogChannel(1) + TREND_CH_MIN, -50.0f);
      TrendPutF32(rec, TrendAnalogChannel(1) + TREND_CH_MAX, 50.0f);
      TrendPutI16(rec, TREND_REC_LEFT_SCALE, 0);
      TrendPutI16(rec, TREND_REC_RIGHT_SCALE, 1);
    });
    for (int i = 0; i < 100; ++i)
      Cycle(h, {50.0f + 40.0f * std::sin(i / 8.0f), 30.0f * std::cos(i / 10.0f)},
            {static_cast<unsigned char>(i / 15 % 2), static_cast<unsigned char>(i / 7 % 2)});
    Edit(h, [](uint8_t* rec) {
      for (unsigned s = 60; s < 64; ++s) TrendPutU32(rec, TREND_REC_SAMPLES + 120 * 4 + 4 * s, TREND_GAP_ANALOG_BITS);
    });
    return h;
  }
};

TEST_F(GrafGoldenTest, TwoAnalogAndTwoDigitalChannels) {
  KurvanHandle h = Trend();
  CTrendDoc* doc = Doc(h);
  CTrendGrafView* v = View(doc, 480, 300);
  EXPECT_TRUE(kurvantest::MatchesGoldenImage("trendview", "graf_two_analog_two_digital", v->image()));
  // Zoomed into the middle, with the cursor.
  v->ZoomTo({v->geometry().left() + 100, v->geometry().analog.top + 20},
            {v->geometry().left() + 300, v->geometry().analog.bottom - 20});
  v->drawNow();
  SwitchCursor();
  EXPECT_TRUE(kurvantest::MatchesGoldenImage("trendview", "graf_zoomed_with_cursor", v->ClipboardImage()));
}

TEST_F(GrafGoldenTest, MonochromePrintDrawing) {
  KurvanHandle h = Trend();
  CTrendDoc* doc = Doc(h);
  QImage page(560, 360, QImage::Format_RGB32);
  page.fill(Qt::white);
  uint8_t* rec = doc->Lock();
  ASSERT_NE(rec, nullptr);
  QPainter p(&page);
  const QFont font = kurvantest::TestFont();
  KurvanZoom zoom;
  zoom.reset(doc->layout().ring);
  const KurvanGrafLayout l = KurvanGrafLayoutFor(rec, doc->layout(), {20, 20, 540, 340}, QFontMetrics(font, &page), 1, true);
  KurvanGrafStyle s = KurvanGrafStyleFor(rec, font, true, true, 96);
  KurvanGrafMarks marks;
  KurvanGrafDraw(p, *doc, rec, l, zoom, s, &marks);
  p.end();
  doc->Unlock();
  // Printed, the digital level 1 is still near the top of its row.
  EXPECT_LT(KurvanDigitalRow(0, true, l.rowHeight, l.levelMargin, true), l.rowHeight / 2);
  EXPECT_TRUE(kurvantest::MatchesGoldenImage("trendview", "graf_monochrome_print", page));
}

}  // namespace
