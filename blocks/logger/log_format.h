// Composition of the loggers' file names, time stamps and record fields. Every text is
// written into a fixed buffer through LogText, which never writes past the buffer and always
// leaves it terminated; numbers are formatted without the process locale.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/fw_clock.h"

class LogText {
 public:
  // Starts an empty text in a buffer of `capacity` bytes (at least 1).
  LogText(char* buffer, size_t capacity);

  void putChar(char c);
  // At most `maxLength` characters of a text, up to its terminator.
  void put(const char* text, size_t maxLength = static_cast<size_t>(-1));
  // A whole number in decimal with at least `width` digits (zero-padded).
  void putNumber(uint32_t value, unsigned width);
  // A value with 3 decimals, with a decimal comma in place of the point when asked.
  void putValue(float value, bool decimalComma);

  size_t length() const { return length_; }

 private:
  char* buffer_;
  size_t capacity_;
  size_t length_ = 0;
};

// The file-name prefix: text `text` (16 characters, not terminated) cut at its first blank,
// into a terminated buffer of at least 17 bytes.
void LOG_CopyPrefix(char* prefix, const char* text);

// The current file's name from the prefix and the clock, "%s_%04d_%02d_%02d__%02d_%02d_%02d",
// or "%s_Clock_Error" while the clock year is 0. Returns the file status: 0, or -3 for the
// clock error.
int16_t LOG_ComposeFileName(char* name, size_t capacity, const char* prefix,
                            const FwClockFields& clock);

// The clock in seconds since 1970 for record times and file start times. While the clock is
// not set (year 0) it counts as the year 2010, as the time stamps print it, so that records
// still follow the seconds.
uint32_t LOG_ClockSeconds();

// The time stamp that begins a text record of the format; the year 0 (clock not set) is
// written as 2010.
void LOG_PutStamp(LogText& text, uint16_t format, const FwClockFields& clock);

// The time stamp of an event record, "%04d/%02d/%02d;%02d:%02d:%02d;".
void LOG_PutEventStamp(LogText& text, const FwClockFields& clock);

// The separator of the format's text records: ';' for "CSV(DE)", ',' otherwise.
char LOG_Separator(uint16_t format);

// One analog field (separator, then the value, or "0" for an open input) and one digital
// field (separator, then the word, or "0").
void LOG_PutAnalogField(LogText& text, uint16_t format, bool connected, float value);
void LOG_PutDigitalField(LogText& text, uint16_t format, bool connected, uint16_t value);

// A float as a little-endian binary field of the "LBI" records.
void LOG_PutF32(uint8_t* at, float value);
