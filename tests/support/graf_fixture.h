// Fixture for the trend viewer's graph view: the viewer's application without a document
// (languages, dialog parent, the cursor switch), a font loaded from a file so that drawings
// do not depend on the machine's fonts, views of a given inside size, a stand-in peer for
// the text view, and the comparison of an image with a golden PNG.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QScrollBar>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/kurvan_fixture.h"
#include "support/lcd_harness.h"
#include "trendview/graf_view.h"
#include "trendview/kurvan_ids.h"
#include "trendview/main_frame.h"
#include "trendview/trend_doc.h"

namespace kurvantest {

// The font every graph test draws with: DejaVu Sans (Debian's fonts-dejavu-core) from its
// file, 11 pixels, without antialiasing.
inline QFont TestFont() {
  static const QString family = [] {
    const int id = QFontDatabase::addApplicationFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.first();
  }();
  QFont f(family);
  f.setPixelSize(11);
  f.setStyleStrategy(QFont::NoAntialias);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

// A peer in place of the text view: it counts refreshes, hands out an image of its own and,
// asked to print, notes whether the document was held then and reports a width.
class FakeTextView : public CTrendView {
 public:
  explicit FakeTextView(CTrendDoc* doc) : CTrendView(doc, nullptr) {}
  intptr_t send(int id, intptr_t, intptr_t lParam) override {
    switch (id) {
      case KURVAN_MSG_NEW_SAMPLES:
        ++refreshes;
        return 0;
      case KURVAN_MSG_GET_BITMAP:
        return image.isNull() ? 0 : reinterpret_cast<intptr_t>(&image);
      case KURVAN_MSG_PRINT:
        ++prints;
        heldWhilePrinting = document()->hold();
        printedOn = lParam;
        return printWidth;
      default:
        return 0;
    }
  }
  void onUpdate() override {}
  QWidget* widget() override { return nullptr; }
  int refreshes = 0, prints = 0;
  bool heldWhilePrinting = false;
  intptr_t printedOn = 0;
  int printWidth = 0;
  QImage image;
};

inline uint32_t Px(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
// A record's colour (0x00BBGGRR) as an image pixel (0x00RRGGBB).
inline uint32_t Rgb(uint32_t colorref) {
  return (colorref & 0xFF) << 16 | (colorref & 0xFF00) | (colorref >> 16 & 0xFF);
}

// Compares the image with tests/<folder>/golden/<name>.png at tolerance 0. On a mismatch (or
// a missing golden file) the image is written beside it as <name>.actual.png; with
// SIM_UPDATE_GOLDEN=1 the golden file is (re)written instead.
inline ::testing::AssertionResult MatchesGoldenImage(const std::string& folder, const std::string& name,
                                                     const QImage& image) {
  const char* src = std::getenv("SIM_SOURCE_DIR");
  const std::filesystem::path dir = std::filesystem::path(src ? src : SIM_SOURCE_TOP) / "tests" / folder / "golden";
  const std::filesystem::path golden = dir / (name + ".png"), actualPath = dir / (name + ".actual.png");
  std::vector<uint32_t> actual;
  actual.reserve(static_cast<size_t>(image.width()) * image.height());
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) actual.push_back(Px(image, x, y));
  std::filesystem::create_directories(dir);
  const char* update = std::getenv("SIM_UPDATE_GOLDEN");
  if (update && std::strcmp(update, "1") == 0) {
    if (!lcdtest::WritePng(golden.string(), image.width(), image.height(), actual))
      return ::testing::AssertionFailure() << "cannot write " << golden;
    return ::testing::AssertionSuccess();
  }
  int w = 0, h = 0;
  std::vector<uint32_t> expected;
  if (!lcdtest::ReadPng(golden.string(), &w, &h, &expected)) {
    lcdtest::WritePng(actualPath.string(), image.width(), image.height(), actual);
    return ::testing::AssertionFailure() << "no golden image " << golden << "; actual written to " << actualPath;
  }
  if (w != image.width() || h != image.height()) {
    lcdtest::WritePng(actualPath.string(), image.width(), image.height(), actual);
    return ::testing::AssertionFailure() << golden << " is " << w << " x " << h << ", the image " << image.width()
                                         << " x " << image.height();
  }
  for (size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] != expected[i]) {
      lcdtest::WritePng(actualPath.string(), image.width(), image.height(), actual);
      return ::testing::AssertionFailure() << "first difference at (" << i % w << ", " << i / w << "); actual written to "
                                           << actualPath;
    }
  }
  std::filesystem::remove(actualPath);
  return ::testing::AssertionSuccess();
}

class GrafTest : public KurvanTest {
 protected:
  void SetUp() override {
    KurvanTest::SetUp();
    ASSERT_TRUE(Start(""));
  }
  void TearDown() override {
    if (KurvanCursorOn()) SwitchCursor();
    views.clear();
    fakes.clear();
    docs.clear();
    KurvanTest::TearDown();
  }
  // The program's cursor switch (command 32772 of the main frame).
  void SwitchCursor() { app->mainFrame()->command(KURVAN_CMD_CURSOR); }

  CTrendDoc* Doc(KurvanHandle h) {
    docs.push_back(std::make_unique<CTrendDoc>(h));
    return docs.back().get();
  }
  FakeTextView* Fake(CTrendDoc* doc) {
    fakes.push_back(std::make_unique<FakeTextView>(doc));
    return fakes.back().get();
  }
  // A shown graph view whose window inside is w x h pixels, drawn once.
  CTrendGrafView* View(CTrendDoc* doc, int w, int h, CTrendView* peer = nullptr) {
    views.push_back(std::make_unique<CTrendGrafView>(doc, nullptr, nullptr));
    CTrendGrafView* v = views.back().get();
    v->setFont(TestFont());
    if (peer) {
      v->setPeer(peer);
      peer->setPeer(v);
    }
    v->resize(w + 20, h + 20);
    v->show();
    Resize(v, w, h);
    return v;
  }
  static void Resize(CTrendGrafView* v, int w, int h) {
    const QSize frame = v->size() - v->viewport()->size();
    v->resize(w + frame.width(), h + frame.height());
    QCoreApplication::processEvents();
    v->drawNow();
  }
  // Resizes the view so that the analog area's inside is w x h pixels.
  static void InnerSize(CTrendGrafView* v, int w, int h) {
    const KurvanGrafLayout& l = v->geometry();
    Resize(v, v->viewport()->width() + w - l.innerWidth, v->viewport()->height() + h - l.innerHeight);
  }

  std::vector<std::unique_ptr<CTrendDoc>> docs;
  std::vector<std::unique_ptr<FakeTextView>> fakes;
  std::vector<std::unique_ptr<CTrendGrafView>> views;
};

}  // namespace kurvantest
