#include "blocks/logger/log_format.h"

#include <charconv>
#include <cstring>

#include "blocks/logger/logger.h"
#include "runtime/fb_store.h"
#include "runtime/fw_image.h"

LogText::LogText(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {
  if (capacity_ > 0) buffer_[0] = '\0';
}

void LogText::putChar(char c) {
  if (length_ + 1 >= capacity_) return;
  buffer_[length_++] = c;
  buffer_[length_] = '\0';
}

void LogText::put(const char* text, size_t maxLength) {
  for (size_t i = 0; i < maxLength && text[i] != '\0'; ++i) putChar(text[i]);
}

void LogText::putNumber(uint32_t value, unsigned width) {
  char digits[10];
  unsigned n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (unsigned i = n; i < width; ++i) putChar('0');
  while (n > 0) putChar(digits[--n]);
}

void LogText::putValue(float value, bool decimalComma) {
  // Fixed notation of the largest float with 3 decimals takes 44 characters.
  char digits[LOG_VALUE_FIELD_MAX + 3];
  const auto r = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 3);
  if (r.ec != std::errc{}) return;
  for (const char* p = digits; p != r.ptr; ++p) putChar(decimalComma && *p == '.' ? ',' : *p);
}

void LOG_CopyPrefix(char* prefix, const char* text) {
  size_t n = 0;
  while (n < FB_TEXT_LEN && text[n] != ' ' && text[n] != '\0') {
    prefix[n] = text[n];
    ++n;
  }
  prefix[n] = '\0';
}

int16_t LOG_ComposeFileName(char* name, size_t capacity, const char* prefix,
                            const FwClockFields& clock) {
  LogText t(name, capacity);
  t.put(prefix, FB_TEXT_LEN);
  if (clock.year == 0) {
    t.put("_Clock_Error");
    return LOG_STATUS_CLOCK;
  }
  const uint16_t fields[] = {clock.year, clock.month, clock.day,
                             clock.hour, clock.minute, clock.second};
  for (unsigned i = 0; i < 6; ++i) {
    t.putChar('_');
    if (i == 3) t.putChar('_');  // a double underscore between date and time
    t.putNumber(fields[i], i == 0 ? 4 : 2);
  }
  return LOG_STATUS_OK;
}

namespace {

// The year of a time stamp: the clock's, or 2010 while the clock is not set.
uint16_t stampYear(const FwClockFields& c) { return c.year == 0 ? 2010 : c.year; }

void putClockTime(LogText& t, const FwClockFields& c) {
  t.putNumber(c.hour, 2);
  t.putChar(':');
  t.putNumber(c.minute, 2);
  t.putChar(':');
  t.putNumber(c.second, 2);
}

}  // namespace

uint32_t LOG_ClockSeconds() {
  if (g_fwClock.now.year != 0) return FW_RtcToSeconds();
  FwClockFields c = g_fwClock.now;
  c.year = stampYear(c);
  return FW_DateToSeconds(c);
}

void LOG_PutStamp(LogText& t, uint16_t format, const FwClockFields& c) {
  const bool german = format == LOG_FORMAT_CSV_DE;
  const char sep = german ? '.' : '/';
  const bool monthFirst = format == LOG_FORMAT_CSV_US;
  t.putNumber(monthFirst ? c.month : c.day, 2);
  t.putChar(sep);
  t.putNumber(monthFirst ? c.day : c.month, 2);
  t.putChar(sep);
  t.putNumber(stampYear(c), 4);
  t.putChar(' ');
  putClockTime(t, c);
}

void LOG_PutEventStamp(LogText& t, const FwClockFields& c) {
  t.putNumber(stampYear(c), 4);
  t.putChar('/');
  t.putNumber(c.month, 2);
  t.putChar('/');
  t.putNumber(c.day, 2);
  t.putChar(';');
  putClockTime(t, c);
  t.putChar(';');
}

char LOG_Separator(uint16_t format) { return format == LOG_FORMAT_CSV_DE ? ';' : ','; }

void LOG_PutAnalogField(LogText& t, uint16_t format, bool connected, float value) {
  t.putChar(LOG_Separator(format));
  if (connected) {
    t.putValue(value, format == LOG_FORMAT_CSV_DE);
  } else {
    t.putChar('0');
  }
}

void LOG_PutDigitalField(LogText& t, uint16_t format, bool connected, uint16_t value) {
  t.putChar(LOG_Separator(format));
  t.putNumber(connected ? value : 0u, 1);
}

void LOG_PutF32(uint8_t* at, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  FW_PutU32(at, bits);
}
