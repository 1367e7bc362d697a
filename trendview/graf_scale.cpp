#include "trendview/graf_scale.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kTimeSteps[] = {1,    2,    5,    10,   15,    20,    30,    60,    120,    300,   600,
                                 900,  1200, 1800, 3600, 7200,  21600, 43200, 86400, 172800, 432000};

// 1-2-5 from 0.00001 to 500000 (33 entries).
constexpr double kValueSteps[] = {0.00001, 0.00002, 0.00005, 0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005,
                                  0.01,    0.02,    0.05,    0.1,    0.2,    0.5,    1,     2,     5,
                                  10,      20,      50,      100,    200,    500,    1000,  2000,  5000,
                                  10000,   20000,   50000,   100000, 200000, 500000};

constexpr double kMaxPixels = 30000.0;

int Nearest(double v) {
  if (!(v == v)) return 0;
  v = std::clamp(v, -2e9, 2e9);
  return static_cast<int>(std::lround(v));
}

// The first step of the table for which span / step <= count (the quotient's whole part with
// `whole`); past the table the next power of ten that is at least span / count.
template <size_t N>
double FirstStep(const double (&table)[N], double span, int count, bool whole) {
  if (count < 1) count = 1;
  for (double s : table) {
    const double labels = whole ? std::floor(span / s) : span / s;
    if (labels <= count) return s;
  }
  const double need = span / count;
  if (!std::isfinite(need)) return std::numeric_limits<double>::max();
  double step = std::pow(10.0, std::ceil(std::log10(need)));
  if (step < need) step *= 10.0;
  return step;
}

}  // namespace

int KurvanMulDiv(int64_t a, int64_t b, int64_t c) {
  if (c == 0) return -1;
  // The product fits: every caller passes pixel and slot counts far below 2^31.
  __int128 p = static_cast<__int128>(a) * b;
  const bool negative = (p < 0) != (c < 0);
  if (p < 0) p = -p;
  const __int128 d = c < 0 ? -static_cast<__int128>(c) : c;
  __int128 q = (p + d / 2) / d;
  if (negative) q = -q;
  const __int128 lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
  return static_cast<int>(q < lo ? lo : q > hi ? hi : q);
}

void KurvanZoom::reset(int ring, int percent) {
  totalSamples = std::max(ring, 1);
  if (percent < 1 || percent > 100) percent = 100;
  visibleSamples = KurvanMulDiv(totalSamples, percent, 100);
  timeOffset = 0;
  totalUnits = KURVAN_VALUE_UNITS;
  visibleUnits = KURVAN_VALUE_UNITS;
  valueOffset = 0;
  limit();
}

void KurvanZoom::limit() {
  totalSamples = std::max(totalSamples, 1);
  visibleSamples = std::clamp(visibleSamples, 1, totalSamples);
  timeOffset = std::clamp(timeOffset, 0, totalSamples - visibleSamples);
  totalUnits = std::max(totalUnits, 1);
  visibleUnits = std::clamp(visibleUnits, 1, totalUnits);
  valueOffset = std::clamp(valueOffset, 0, totalUnits - visibleUnits);
}

int KurvanValueRow(double v, double min, double max, const KurvanZoom& zoom, int innerHeight) {
  double fraction = 0.0;
  if (max > min) fraction = (v - min) / (max - min);
  if (!(fraction == fraction)) fraction = 0.0;
  double e = (fraction - static_cast<double>(zoom.valueOffset) / zoom.totalUnits) *
             (static_cast<double>(zoom.totalUnits) / zoom.visibleUnits) * (innerHeight - 1);
  if (!(e == e)) e = 0.0;
  e = std::clamp(e, -kMaxPixels, kMaxPixels);
  return innerHeight - Nearest(e) - 1;
}

int KurvanDigitalRow(int row, bool high, int rowHeight, int margin, bool printing) {
  const bool top = printing ? !high : high;
  return top ? row * rowHeight + margin : (row + 1) * rowHeight - margin - 2;
}

double KurvanTimeStep(double span, int count) {
  if (!(span > 0)) return 1.0;
  return std::max(1.0, FirstStep(kTimeSteps, std::floor(span), count, true));
}

double KurvanValueStep(double span, int count) {
  if (!(span > 0)) return kValueSteps[0];
  return FirstStep(kValueSteps, span, count, false);
}

int KurvanAdvance(int width, int* rest, int samples) {
  if (samples <= 0 || width <= 0) return 0;
  const int64_t sum = static_cast<int64_t>(width) + *rest;
  *rest = static_cast<int>(sum % samples);
  return static_cast<int>(sum / samples);
}

void KurvanZoomTime(KurvanZoom* z, int a, int b, int innerWidth) {
  if (innerWidth <= 0) return;
  const int visible = z->visibleSamples;
  const int wanted = KurvanMulDiv(visible, b - a + 1, innerWidth) + 1;
  const int newVisible = std::min(std::max(z->totalSamples / 50, wanted), z->totalSamples);
  const int newOffset = z->timeOffset + visible - KurvanMulDiv(visible, a, innerWidth) - newVisible;
  z->visibleSamples = std::max(newVisible, 1);
  z->timeOffset = newOffset;
  z->limit();
}

void KurvanZoomValue(KurvanZoom* z, int a, int b, int innerHeight) {
  if (innerHeight <= 1) return;
  const int visible = z->visibleUnits;
  const int wanted = KurvanMulDiv(visible, b - a + 1, innerHeight - 1);
  const int newVisible = std::min(std::max(z->totalUnits / 500, wanted), z->totalUnits);
  const int newOffset = z->valueOffset + KurvanMulDiv(visible, innerHeight - b - 1, innerHeight - 1);
  z->visibleUnits = std::max(newVisible, 1);
  z->valueOffset = newOffset;
  z->limit();
}

namespace {

KurvanScrollBar Bar(int total, int visible, int offset, int client) {
  KurvanScrollBar bar;
  client = std::max(client, 1);
  visible = std::max(visible, 1);
  const int64_t range = std::min<int64_t>(static_cast<int64_t>(total) * client / visible, 1 << 30);
  bar.range = static_cast<int>(std::max<int64_t>(range, client));
  bar.enabled = visible < total;
  if (bar.enabled && bar.range > client)
    bar.position = std::clamp(KurvanMulDiv(total - visible - offset, bar.range - client, total - visible), 0,
                              bar.range - client);
  return bar;
}

int OffsetAt(int total, int visible, int position, int client) {
  client = std::max(client, 1);
  visible = std::max(visible, 1);
  const int64_t range = std::min<int64_t>(static_cast<int64_t>(total) * client / visible, 1 << 30);
  if (range <= client || visible >= total) return 0;
  const int offset = total - KurvanMulDiv(position, total - visible, range - client) - visible;
  return std::clamp(offset, 0, total - visible);
}

}  // namespace

KurvanScrollBar KurvanTimeBar(const KurvanZoom& z, int client) {
  return Bar(z.totalSamples, z.visibleSamples, z.timeOffset, client);
}

KurvanScrollBar KurvanValueBar(const KurvanZoom& z, int client) {
  return Bar(z.totalUnits, z.visibleUnits, z.valueOffset, client);
}

int KurvanTimeOffsetAt(const KurvanZoom& z, int position, int client) {
  return OffsetAt(z.totalSamples, z.visibleSamples, position, client);
}

int KurvanValueOffsetAt(const KurvanZoom& z, int position, int client) {
  return OffsetAt(z.totalUnits, z.visibleUnits, position, client);
}

int KurvanWrapSlot(int64_t slot, int ring) {
  if (ring <= 0) return 0;
  slot %= ring;
  if (slot < 0) slot += ring;
  return static_cast<int>(slot);
}
