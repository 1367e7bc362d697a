// Display hot paths: whole frames drawn through the display driver into the shared LCD memory.
// One iteration is one 320 x 240 frame, so the time column reads as microseconds per frame.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gui/GUI.h"
#include "gui/LCD.h"
#include "gui/bitmap/GUI_Bitmap.h"
#include "gui/draw/GUI_Draw.h"
#include "gui/memdev/GUI_Memdev.h"
#include "gui/widgets/WIDGET.h"
#include "host/shared_block.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"

namespace {

struct Display {
  Display() {
    host::SetSharedNamePrefix("simbench" + std::to_string(getpid()) + ".");
    SIM_InitHost();
    SIM_ShowErrorBoxes(0);
    GUI_Init();
    LCDSIM_InitServerData();
  }
  ~Display() {
    GUI_Exit();
    SIM_ExitHost();
  }
};

Display& display() {
  static Display d;
  return d;
}

// The references of the two full-screen benchmarks below: a plain fill and a plain copy of a
// frame of 320 x 240 32-bit words, the form of the LCD memory (frames of a fixed size, so
// that the compiler makes the fill a vector loop as it would in any plain program).
using Frame = std::array<uint32_t, LCD_XSIZE * LCD_YSIZE>;
Frame g_frameA, g_frameB;

void BM_PlainFrameFill(benchmark::State& state) {
  uint32_t n = 0;
  for (auto _ : state) {
    const uint32_t value = (++n & 1) ? 0x00FF8040u : 0x00102030u;
    std::fill(g_frameA.begin(), g_frameA.end(), value);
    benchmark::DoNotOptimize(g_frameA.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainFrameFill)->Unit(benchmark::kMicrosecond);

void BM_PlainFrameCopy(benchmark::State& state) {
  for (size_t i = 0; i < g_frameA.size(); ++i) g_frameA[i] = static_cast<uint32_t>(i * 2654435761u);
  for (auto _ : state) {
    std::copy(g_frameA.begin(), g_frameA.end(), g_frameB.begin());
    benchmark::DoNotOptimize(g_frameB.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainFrameCopy)->Unit(benchmark::kMicrosecond);

void BM_FullScreenFill(benchmark::State& state) {
  display();
  uint32_t n = 0;
  for (auto _ : state) {
    GUI_SetColor((++n & 1) ? 0x00FF8040 : 0x00102030);
    LCD_FillRect(0, 0, LCD_XSIZE - 1, LCD_YSIZE - 1);
  }
}
BENCHMARK(BM_FullScreenFill)->Unit(benchmark::kMicrosecond);

void BM_FullScreenBitmap16(benchmark::State& state) {
  display();
  std::vector<uint16_t> pixels(LCD_XSIZE * LCD_YSIZE);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
  for (auto _ : state) {
    LCD_DrawBitmap(0, 0, LCD_XSIZE, LCD_YSIZE, 1, 1, 16, LCD_XSIZE * 2,
                   reinterpret_cast<const uint8_t*>(pixels.data()), nullptr);
  }
}
BENCHMARK(BM_FullScreenBitmap16)->Unit(benchmark::kMicrosecond);

// The per-pixel path for comparison: every pixel one call through the device chain.
void BM_FullScreenPixels(benchmark::State& state) {
  display();
  for (auto _ : state) {
    for (int y = 0; y < LCD_YSIZE; ++y)
      for (int x = 0; x < LCD_XSIZE; ++x) LCD_SetPixelIndex(x, y, static_cast<uint32_t>(x ^ y));
  }
}
BENCHMARK(BM_FullScreenPixels)->Unit(benchmark::kMicrosecond);

// A text screen of the operating pages: ten rows of 27 characters in the 22-pixel font.
void BM_TextScreen(benchmark::State& state) {
  display();
  GUI_SetFont(&GUI_FontProp22);
  for (auto _ : state) {
    for (int row = 0; row < 10; ++row) GUI_DispStringAt("Sollwert 1   123.45 \xB0""C  AUTO", 0, row * 22);
  }
}
BENCHMARK(BM_TextScreen)->Unit(benchmark::kMicrosecond);

// The per-cycle redraw of a page: drawn into a screen memory device, then copied out.
void BM_MemdevPageRedraw(benchmark::State& state) {
  display();
  GUI_MEMDEV_Handle h = GUI_MEMDEV_Create(0, 0, LCD_XSIZE, LCD_YSIZE);
  GUI_SetFont(&GUI_FontProp22);
  for (auto _ : state) {
    GUI_MEMDEV_Select(h);
    GUI_SetColor(0x00303030);
    LCD_FillRect(0, 0, LCD_XSIZE - 1, LCD_YSIZE - 1);
    GUI_SetColor(0x00FFFFFF);
    for (int row = 0; row < 10; ++row) GUI_DispStringAt("Sollwert 1   123.45 \xB0""C  AUTO", 0, row * 22);
    GUI_MEMDEV_CopyToLCD(h);
    GUI_MEMDEV_Select(0);
  }
  GUI_MEMDEV_Delete(h);
}
BENCHMARK(BM_MemdevPageRedraw)->Unit(benchmark::kMicrosecond);

// A full-screen 16-bit picture whose red is in the low bits, unlike the display's: every
// pixel converted into the display's format.
void BM_FullScreenBitmap565Low(benchmark::State& state) {
  display();
  std::vector<uint16_t> pixels(LCD_XSIZE * LCD_YSIZE);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
  const GUI_BITMAP bitmap{LCD_XSIZE, LCD_YSIZE, LCD_XSIZE * 2, 16, reinterpret_cast<const uint8_t*>(pixels.data()),
                          nullptr, &GUI_DRAW_BMP565};
  for (auto _ : state) GUI_DrawBitmap(&bitmap, 0, 0);
}
BENCHMARK(BM_FullScreenBitmap565Low)->Unit(benchmark::kMicrosecond);

// The copy of a full-screen memory device to the display, with its usage bitmap (every
// pixel drawn) and without one (argument 0): the cost of the usage scan.
void BM_MemdevCopy(benchmark::State& state) {
  display();
  const bool usage = state.range(0) != 0;
  GUI_MEMDEV_Handle h = GUI_MEMDEV_CreateEx(0, 0, LCD_XSIZE, LCD_YSIZE, usage ? GUI_MEMDEV_HASTRANS : GUI_MEMDEV_NOTRANS);
  GUI_MEMDEV_Select(h);
  GUI_SetColor(0x00303030);
  LCD_FillRect(0, 0, LCD_XSIZE - 1, LCD_YSIZE - 1);
  GUI_MEMDEV_Select(0);
  for (auto _ : state) GUI_MEMDEV_CopyToLCD(h);
  GUI_MEMDEV_Delete(h);
}
BENCHMARK(BM_MemdevCopy)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The redraw of a trend display object: a graph of four full curves of 500 points.
void BM_TrendGraphRedraw(benchmark::State& state) {
  display();
  WM_Activate();
  WM_HWIN h = GRAPH_CreateEx(10, 30, 300, 180, 0, WM_CF_SHOW, 0, 1);
  std::vector<int16_t> points(GRAPH_MAX_POINTS);
  for (int c = 0; c < GRAPH_MAX_CURVES; ++c) {
    for (int i = 0; i < GRAPH_MAX_POINTS; ++i) points[i] = int16_t((i * (c + 3) + 40 * c) % 170);
    GRAPH_AttachData(h, GRAPH_DATA_YT_Create(0x0000FFu << (4 * c), GRAPH_MAX_POINTS, points.data(), GRAPH_MAX_POINTS));
  }
  for (auto _ : state) {
    WM_InvalidateWindow(h);
    GUI_Exec();
  }
  WM_DeleteWindow(h);
  GUI_Exec();
}
BENCHMARK(BM_TrendGraphRedraw)->Unit(benchmark::kMicrosecond);

}  // namespace
