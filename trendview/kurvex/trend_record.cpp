// The trend record: layout check, defaults of a new record, appending samples, the channel
// configuration buffers and the reading rules the viewer draws with.
#include <atomic>
#include <cstdio>
#include <ctime>
#include <limits>

#include "trendview/kurvex/kurvex_internal.h"

std::string TrendGetText(const uint8_t* rec, uint32_t off, uint32_t bytes) {
  if (bytes == 0) return {};
  const char* p = reinterpret_cast<const char*>(rec + off);
  return std::string(p, strnlen(p, bytes - 1));
}

void TrendPutText(uint8_t* rec, uint32_t off, uint32_t bytes, const char* text) {
  if (bytes == 0) return;
  size_t n = text ? strnlen(text, bytes - 1) : 0;
  if (n) std::memcpy(rec + off, text, n);
  std::memset(rec + off + n, 0, bytes - n);
}

bool TrendCheckLayout(const uint8_t* rec, size_t blockBytes, TrendLayout* out) {
  if (!rec || blockBytes < TREND_REC_SAMPLES || TrendGetU32(rec, TREND_REC_MAGIC) != TREND_MAGIC) return false;
  const uint32_t size = TrendGetU32(rec, TREND_REC_SIZE);
  if (size < TREND_REC_SAMPLES || size > blockBytes || size > TREND_MAX_RECORD_BYTES) return false;
  TrendLayout l;
  l.size = size;
  l.ring = TrendGetU16(rec, TREND_REC_RING);
  l.analog = TrendGetU16(rec, TREND_REC_ANALOG_COUNT);
  l.digital = TrendGetU16(rec, TREND_REC_DIGITAL_COUNT);
  if (l.analog > TREND_MAX_ANALOG || l.digital > TREND_MAX_DIGITAL || l.ring == 0) return false;
  if (TREND_REC_SAMPLES + TrendRingBytes(l.analog, l.digital, l.ring) > size) return false;
  if (TrendGetU16(rec, TREND_REC_HEAD) >= l.ring || TrendGetU16(rec, TREND_REC_VALID) > l.ring) return false;
  if (out) *out = l;
  return true;
}

unsigned TrendSlotBefore(unsigned head, unsigned k, unsigned ring) {
  if (ring == 0) return 0;
  long slot = static_cast<long>(head % ring) - static_cast<long>(k % ring) - 1;
  if (slot < 0) slot += ring;
  return static_cast<unsigned>(slot);
}

float TrendAnalogForDrawing(const uint8_t* rec, const TrendLayout& layout, unsigned channel, unsigned slot) {
  if (channel >= layout.analog || layout.ring == 0) return 0.0f;
  const uint32_t ring = layout.AnalogRing(channel);
  slot %= layout.ring;
  if (TrendGetU32(rec, ring + 4 * slot) != TREND_GAP_ANALOG_BITS) return TrendGetF32(rec, ring + 4 * slot);
  const unsigned older = (slot + layout.ring - 1) % layout.ring;
  if (TrendGetU32(rec, ring + 4 * older) != TREND_GAP_ANALOG_BITS) return TrendGetF32(rec, ring + 4 * older);
  return TrendGetF32(rec, TrendAnalogChannel(channel) + TREND_CH_MIN);
}

uint8_t TrendDigitalForDrawing(const uint8_t* rec, const TrendLayout& layout, unsigned channel, unsigned slot) {
  if (channel >= layout.digital || layout.ring == 0) return 0;
  const uint32_t ring = layout.DigitalRing(channel);
  slot %= layout.ring;
  if (rec[ring + slot] != TREND_GAP_DIGITAL) return rec[ring + slot];
  return rec[ring + (slot + layout.ring - 1) % layout.ring];
}

double TrendSampleTime(const uint8_t* rec, const TrendLayout& layout, unsigned k) {
  const double newest = TrendGetI32(rec, TREND_REC_TIME_S) + 0.001 * TrendGetI32(rec, TREND_REC_TIME_MS);
  if (layout.ring == 0) return newest;
  return newest - k * static_cast<double>(TrendGetF32(rec, TREND_REC_SPAN)) / layout.ring;
}

void TrendCountShown(uint8_t* rec, const TrendLayout& layout) {
  uint16_t analog = 0, digital = 0;
  for (unsigned i = 0; i < layout.analog; ++i) analog += TrendGetU16(rec, TrendAnalogChannel(i) + TREND_CH_SHOWN) != 0;
  for (unsigned j = 0; j < layout.digital; ++j)
    digital += TrendGetU16(rec, TrendDigitalChannel(j) + TREND_CH_SHOWN) != 0;
  TrendPutU16(rec, TREND_REC_SHOWN_ANALOG, analog);
  TrendPutU16(rec, TREND_REC_SHOWN_DIGITAL, digital);
}

namespace kurvex {

namespace {

// Defaults of a new record.
constexpr uint32_t kAnalogColours[TREND_MAX_ANALOG] = {0x008000, 0x000080, 0x800000, 0x808000,
                                                       0x800080, 0x008080, 0x404040, 0x0000FF};
constexpr uint32_t kBackColour = 0xFFFFFF, kFrameColour = 0x808080, kTextColour = 0x000000;
constexpr int16_t kMargin = 10;
constexpr float kScaleMin = 0.0f, kScaleMax = 100.0f;

int32_t NowSeconds() {
  const time_t now = time(nullptr);
  return now > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(now);
}

void InitChannel(uint8_t* rec, uint32_t at, const char* kind, unsigned number, bool shown, uint32_t colour) {
  char name[TREND_CH_NAME_BYTES];
  std::snprintf(name, sizeof name, "%s %u", kind, number);
  TrendPutText(rec, at + TREND_CH_NAME, TREND_CH_NAME_BYTES, name);
  TrendPutU16(rec, at + TREND_CH_SHOWN, shown ? 1 : 0);
  TrendPutU32(rec, at + TREND_CH_COLOR, colour);
}

}  // namespace

void InitRecord(uint8_t* rec, const TrendLayout& layout, uint32_t periodMs, int absTime, int shownAnalog,
                const std::string& mapName) {
  TrendPutU32(rec, TREND_REC_SIZE, layout.size);
  TrendPutText(rec, TREND_REC_MAPNAME, TREND_MAPNAME_BYTES, mapName.c_str());
  TrendPutU32(rec, TREND_REC_PERIOD, periodMs);
  TrendPutU16(rec, TREND_REC_RING, layout.ring);
  TrendPutU16(rec, TREND_REC_ANALOG_COUNT, layout.analog);
  TrendPutU16(rec, TREND_REC_DIGITAL_COUNT, layout.digital);
  TrendPutF32(rec, TREND_REC_SPAN, static_cast<float>(static_cast<double>(periodMs) * layout.ring / 1000.0));
  TrendPutU32(rec, TREND_REC_BACK_COLOR, kBackColour);
  TrendPutU32(rec, TREND_REC_FRAME_COLOR, kFrameColour);
  TrendPutU32(rec, TREND_REC_TEXT_COLOR, kTextColour);
  for (uint32_t off : {TREND_REC_LEFT_MARGIN, TREND_REC_TOP_MARGIN, TREND_REC_AREA_GAP, TREND_REC_BOTTOM_MARGIN})
    TrendPutI16(rec, off, kMargin);
  TrendPutI16(rec, TREND_REC_ABS_TIME, absTime ? 1 : 0);
  TrendPutText(rec, TREND_REC_NAME, TREND_NAME_BYTES, "Trend");
  TrendPutI16(rec, TREND_REC_LEFT_SCALE, layout.analog > 0 ? 0 : -1);
  TrendPutI16(rec, TREND_REC_RIGHT_SCALE, -1);
  for (uint32_t off : {TREND_REC_TEMPLATE, TREND_REC_CONFIG_ENABLED, TREND_REC_TOOLBAR, TREND_REC_TOOLBAR_DEFAULT,
                       TREND_REC_STATUSBAR, TREND_REC_STATUSBAR_DEFAULT})
    TrendPutU16(rec, off, 1);
  TrendPutI16(rec, TREND_REC_VISIBLE_PART, 100);
  for (unsigned i = 0; i < TREND_MAX_ANALOG; ++i) {
    const uint32_t at = TrendAnalogChannel(i);
    InitChannel(rec, at, "Analog", i + 1, static_cast<int>(i) < shownAnalog && i < layout.analog, kAnalogColours[i]);
    TrendPutF32(rec, at + TREND_CH_MIN, kScaleMin);
    TrendPutF32(rec, at + TREND_CH_MAX, kScaleMax);
  }
  for (unsigned j = 0; j < TREND_MAX_DIGITAL; ++j)
    InitChannel(rec, TrendDigitalChannel(j), "Digital", j + 1, j < layout.digital, 0);
  TrendCountShown(rec, layout);
  ClearSamples(rec, layout);
  // The magic last: a record is recognised only once it is complete.
  std::atomic_thread_fence(std::memory_order_release);
  TrendPutU32(rec, TREND_REC_MAGIC, TREND_MAGIC);
}

void ClearSamples(uint8_t* rec, const TrendLayout& layout) {
  for (uint32_t off : {TREND_REC_HEAD, TREND_REC_VALID, TREND_REC_PENDING}) TrendPutU16(rec, off, 0);
  TrendPutI32(rec, TREND_REC_TIME_S, 0);
  TrendPutI32(rec, TREND_REC_TIME_MS, 0);
  TrendPutI32(rec, TREND_REC_TIME_BASE, NowSeconds());
  for (unsigned i = 0; i < layout.analog; ++i)
    for (unsigned s = 0; s < layout.ring; ++s) TrendPutU32(rec, layout.AnalogRing(i) + 4 * s, TREND_GAP_ANALOG_BITS);
  if (layout.digital) std::memset(rec + layout.DigitalRing(0), TREND_GAP_DIGITAL, layout.digital * layout.ring);
}

uint16_t AppendSample(uint8_t* rec, const TrendLayout& layout, const float* analog, const unsigned char* digital,
                      bool sample) {
  const uint16_t ring = layout.ring;
  uint16_t head = TrendGetU16(rec, TREND_REC_HEAD);
  if (head >= ring) head = 0;
  for (unsigned i = 0; i < layout.analog; ++i) {
    const uint32_t at = layout.AnalogRing(i) + 4u * head;
    if (sample && analog)
      TrendPutF32(rec, at, analog[i]);
    else
      TrendPutU32(rec, at, TREND_GAP_ANALOG_BITS);
  }
  for (unsigned j = 0; j < layout.digital; ++j)
    rec[layout.DigitalRing(j) + head] = (sample && digital) ? (digital[j] != 0) : TREND_GAP_DIGITAL;
  TrendPutU16(rec, TREND_REC_HEAD, static_cast<uint16_t>((head + 1u) % ring));
  const uint16_t valid = TrendGetU16(rec, TREND_REC_VALID);
  TrendPutU16(rec, TREND_REC_VALID, valid >= ring ? ring : valid + 1);
  const uint16_t pending = TrendGetU16(rec, TREND_REC_PENDING);
  TrendPutU16(rec, TREND_REC_PENDING, pending >= ring ? ring : pending + 1);

  // Newest time + one period, kept as whole seconds and milliseconds 0..999.
  constexpr int64_t kMaxMs = std::numeric_limits<int32_t>::max() * 1000LL + 999;
  int64_t ms = TrendGetI32(rec, TREND_REC_TIME_S) * 1000LL + TrendGetI32(rec, TREND_REC_TIME_MS) +
               TrendGetU32(rec, TREND_REC_PERIOD);
  if (ms > kMaxMs) ms = kMaxMs;
  int64_t seconds = ms / 1000;
  if (ms % 1000 < 0) --seconds;
  TrendPutI32(rec, TREND_REC_TIME_S, static_cast<int32_t>(seconds));
  TrendPutI32(rec, TREND_REC_TIME_MS, static_cast<int32_t>(ms - seconds * 1000));
  return pending;
}

void ConfigFromRecord(const uint8_t* rec, uint8_t* channels, uint8_t* extra) {
  if (channels) {
    TrendPutU32(channels, KURVAN_CFG_SIZE, KURVAN_CONFIG_BYTES);
    TrendPutI16(channels, KURVAN_CFG_LEFT_SCALE, TrendGetI16(rec, TREND_REC_LEFT_SCALE));
    TrendPutI16(channels, KURVAN_CFG_RIGHT_SCALE, TrendGetI16(rec, TREND_REC_RIGHT_SCALE));
    TrendPutI16(channels, KURVAN_CFG_ABS_TIME, TrendGetI16(rec, TREND_REC_ABS_TIME));
    TrendPutI16(channels, KURVAN_CFG_TIME_OPTION, TrendGetI16(rec, TREND_REC_TIME_OPTION));
    std::memcpy(channels + KURVAN_CFG_ANALOG, rec + TREND_REC_ANALOG, TREND_MAX_ANALOG * TREND_ANALOG_BYTES);
    std::memcpy(channels + KURVAN_CFG_DIGITAL, rec + TREND_REC_DIGITAL, TREND_MAX_DIGITAL * TREND_DIGITAL_BYTES);
  }
  if (extra) {
    std::memset(extra, 0, KURVAN_EXTRA_BYTES);
    TrendPutU32(extra, KURVAN_EXTRA_SIZE, KURVAN_EXTRA_BYTES);
    std::memcpy(extra + KURVAN_EXTRA_LOOK, rec + TREND_REC_BACK_COLOR, TREND_REC_ABS_TIME - TREND_REC_BACK_COLOR);
    std::memcpy(extra + KURVAN_EXTRA_FRAME, rec + TREND_REC_TEMPLATE, TREND_REC_ANALOG - TREND_REC_TEMPLATE);
  }
}

void ConfigToRecord(uint8_t* rec, const uint8_t* channels, const uint8_t* extra) {
  if (channels) {
    for (uint32_t pair : {KURVAN_CFG_LEFT_SCALE, KURVAN_CFG_RIGHT_SCALE}) {
      int16_t scale = TrendGetI16(channels, pair);
      if (scale < -1 || scale >= static_cast<int16_t>(TREND_MAX_ANALOG)) scale = -1;
      TrendPutI16(rec, pair == KURVAN_CFG_LEFT_SCALE ? TREND_REC_LEFT_SCALE : TREND_REC_RIGHT_SCALE, scale);
    }
    TrendPutI16(rec, TREND_REC_ABS_TIME, TrendGetI16(channels, KURVAN_CFG_ABS_TIME));
    TrendPutI16(rec, TREND_REC_TIME_OPTION, TrendGetI16(channels, KURVAN_CFG_TIME_OPTION));
    std::memcpy(rec + TREND_REC_ANALOG, channels + KURVAN_CFG_ANALOG, TREND_MAX_ANALOG * TREND_ANALOG_BYTES);
    std::memcpy(rec + TREND_REC_DIGITAL, channels + KURVAN_CFG_DIGITAL, TREND_MAX_DIGITAL * TREND_DIGITAL_BYTES);
    // Names and source texts stay terminated whatever the caller sent.
    for (unsigned i = 0; i < TREND_MAX_ANALOG + TREND_MAX_DIGITAL; ++i) {
      const uint32_t at = i < TREND_MAX_ANALOG ? TrendAnalogChannel(i) : TrendDigitalChannel(i - TREND_MAX_ANALOG);
      rec[at + TREND_CH_NAME + TREND_CH_NAME_BYTES - 1] = 0;
      rec[at + TREND_CH_SOURCE + TREND_CH_SOURCE_BYTES - 1] = 0;
    }
  }
  if (extra) {
    std::memcpy(rec + TREND_REC_BACK_COLOR, extra + KURVAN_EXTRA_LOOK, TREND_REC_ABS_TIME - TREND_REC_BACK_COLOR);
    std::memcpy(rec + TREND_REC_TEMPLATE, extra + KURVAN_EXTRA_FRAME, TREND_REC_ANALOG - TREND_REC_TEMPLATE);
  }
}

}  // namespace kurvex

void TrendConfigFromRecord(const uint8_t* rec, uint8_t* channels, uint8_t* extra) {
  kurvex::ConfigFromRecord(rec, channels, extra);
}

void TrendConfigToRecord(uint8_t* rec, const uint8_t* channels, const uint8_t* extra) {
  kurvex::ConfigToRecord(rec, channels, extra);
}
