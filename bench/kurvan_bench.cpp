// The trend viewer's graph view: the live update for one new sample (scroll of the image by
// whole pixels, the new strip and one segment per channel) and the full drawing it saves,
// on the simulator's standard trend (7 analog channels, 5 digital, 1800 slots, all filled)
// in an 800 x 500 view.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <clocale>
#include <cmath>
#include <memory>
#include <string>

#include "host/shared_block.h"
#include "trendview/graf_view.h"
#include "trendview/kurvan_ids.h"
#include "trendview/trend_doc.h"

namespace {

QApplication* App() {
  static int argc = 1;
  static char name[] = "kurvan_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    auto* a = new QApplication(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    return a;
  }();
  return app;
}

void Sample(KurvanHandle h, int i) {
  float analog[7];
  for (int c = 0; c < 7; ++c) analog[c] = 50.0f + 40.0f * std::sin(i / (10.0f + c));
  unsigned char digital[5];
  for (int c = 0; c < 5; ++c) digital[c] = static_cast<unsigned char>(i / (7 + c) % 2);
  KurvanCycle(h, analog, digital, 1);
}

// A filled standard trend in a shown view; null on failure.
struct Rig {
  KurvanHandle h = 0;
  std::unique_ptr<CTrendDoc> doc;
  std::unique_ptr<CTrendGrafView> view;
  int samples = 0;
  bool make() {
    App();
    host::SetSharedNamePrefix("simbench" + std::to_string(getpid()) + ".");
    h = KurvanCreate(0, 7, 200, 1800, 0, 7, 5);
    if (!h) return false;
    for (; samples < 1800; ++samples) Sample(h, samples);
    doc = std::make_unique<CTrendDoc>(h);
    view = std::make_unique<CTrendGrafView>(doc.get(), nullptr, nullptr);
    view->resize(800, 500);
    view->show();
    QCoreApplication::processEvents();
    view->drawNow();
    return !view->image().isNull();
  }
  ~Rig() {
    view.reset();
    doc.reset();
    if (h) KurvanDestroy(h);
  }
};

void BM_GrafLiveUpdate(benchmark::State& state) {
  Rig rig;
  if (!rig.make()) {
    state.SkipWithError("no view");
    return;
  }
  for (auto _ : state) {
    Sample(rig.h, rig.samples++);
    rig.view->send(KURVAN_MSG_NEW_SAMPLES, 0, 0);
  }
}
BENCHMARK(BM_GrafLiveUpdate);

void BM_GrafFullDrawing(benchmark::State& state) {
  Rig rig;
  if (!rig.make()) {
    state.SkipWithError("no view");
    return;
  }
  for (auto _ : state) {
    rig.view->onUpdate();
    rig.view->drawNow();
  }
}
BENCHMARK(BM_GrafFullDrawing);

}  // namespace
