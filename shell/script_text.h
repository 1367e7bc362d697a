// The text of script files: one line read into what it asks for, the quoted text of a
// communication line with its continuation lines, the hard-key code, and the lines the
// recorder writes (wait lines and communication lines). Plain text handling, no files.
//
// A script is made of text lines; the first word is the keyword, in any case. A line whose
// first word begins with ';' or '!' is a comment. Hexadecimal numbers are written without a
// prefix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr size_t SIM_SCRIPT_LINE_MAX = 4096;      // a longer line is ignored whole
// Joined text of one communication line: room for any that the recorder writes.
constexpr size_t SIM_SCRIPT_COMM_MAX = 4096;
constexpr uint32_t SIM_SCRIPT_EEPROM_SIZE = 2048; // the EEPROM area that scripts write
constexpr size_t SIM_SCRIPT_EEPROM_VALUES = SIM_SCRIPT_EEPROM_SIZE / 2;
// Room for the longest communication line the recorder writes (500 bytes with every mark and
// continuation), with its line break and NUL.
constexpr size_t SIM_SCRIPT_RECORD_MAX = 8192;

enum class SimScriptKind : uint8_t {
  Empty,         // no word at all
  Comment,
  Wait,          // number
  Pause,         // number
  Turbo,
  Loop,
  EndLoop,
  AppStart,      // text: the command line (may be empty)
  AppStop,
  Key,           // keyBits
  OnIdle,        // number
  OutFile,       // text: the path (empty: only the current output is closed)
  InputComm,     // text: the quoted text (quoted false when there is none), continued
  InputIgnored,  // INPUT INP/DI n value, INPUT KP/TU/TG value
  EepromWrite,   // address, values
  EepromDump,
  InFile,        // text: the path
  Other,         // any other line: echoed
  Bad,           // a known keyword whose arguments do not parse: ignored
};

struct SimScriptLine {
  SimScriptKind kind = SimScriptKind::Empty;
  int32_t number = 0;          // WAIT, PAUSE, ONIDLE: 0..0x7FFFFFFF
  uint16_t keyBits = 0;        // KEY: hard-key bits 1, 2, 4, 8, 16
  uint32_t address = 0;        // EEPROM WRITE
  uint16_t valueCount = 0;     // EEPROM WRITE: values kept (those past the area are dropped)
  uint16_t values[SIM_SCRIPT_EEPROM_VALUES] = {};
  std::string_view text;       // points into the parsed line
  bool quoted = false;         // INPUT COMM: the line holds a quoted text
  bool continued = false;      // INPUT COMM: the line ends with a backslash
};

// Reads one line (without its line break; a trailing carriage return is dropped).
void SimParseScriptLine(std::string_view line, SimScriptLine* out);

// The text between the first and the last double quote of a line and whether the line ends
// with a backslash (a continuation follows). False when the line holds no such pair.
bool SimScriptQuoted(std::string_view line, std::string_view* text, bool* continued);
// Appends the text to buf (its length in *length, at most capacity characters; no NUL);
// false, and nothing appended, when it would not fit.
bool SimScriptAppend(std::string_view text, char* buf, size_t capacity, size_t* length);

// Hard-key bits (1, 2, 4, 8, 16) in the script's code: one hexadecimal digit per key, 0x1000
// for bit 1 down to 0x0001 for bit 8, and a fifth digit in front (0x10000) for bit 16; reading,
// any non-zero digit sets its bit, so a four-digit code names the first four keys only.
uint32_t SimScriptKeyCode(uint16_t bits);
uint16_t SimScriptKeyBits(uint32_t code);
// The key line's text: "key %04X", or five digits when bit 16 is down now or was in the line
// before (so that its release is written too). Returns the characters written (no line break).
size_t SimFormatKeyLine(uint16_t bits, uint16_t before, char* out, size_t capacity);

// "wait %ld (%s.%ld)": the cycles since the last wait line, the cycle count as a time
// (hh:mm:ss of cycle count / 10) and the tenths. Returns the characters written (with "\n").
size_t SimFormatWaitLine(uint32_t cycles, uint32_t cycleCount, char* out, size_t capacity);
// A communication line: prefix ("input comm  " or "output comm ", 12 characters), then the
// frame in double quotes. With bit 15 of the length set the bytes are written as "# " and
// "%02X" each, one blank apart, two blanks after every 8th byte, and the line is continued
// after every 16 bytes; otherwise as text: STX, EOT with the two address digits after it
// and ENQ left out, ETX ends the text, ACK
// and NAK as "(ACK)" and "(NAK)", the line continued before it would pass column 74. A
// continuation is a double quote, a backslash, a line break, 12 blanks and a double quote
// (and the two blanks of the byte form). Returns the characters written (with "\n"), 0 when
// they would not fit capacity (SIM_SCRIPT_RECORD_MAX always does for 500 bytes).
size_t SimFormatCommLine(const char* prefix, const uint8_t* frame, uint16_t length, char* out, size_t capacity);
