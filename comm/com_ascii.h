// The device's character protocol. A PC tool reads and writes single values, groups of values,
// whole records and the device's identification with short texts: hexadecimal codes, decimal
// block numbers and decimal values, framed by control characters and checked by an XOR block
// check character.
//
//   read:   EOT, two address digits, code [",", block [",", sub-index]], ENQ
//   write:  EOT, two address digits, STX, code [",", block [",", sub-index]], "=", value,
//           ETX, BCC
//   answer: STX, text, ETX, BCC to a read; ACK or NAK to a write (any failure answers NAK
//           and leaves its reason in the result registers).
//
// The three bytes before the code (read) or before STX (write) are not examined: inside a
// Modbus frame they only stand where EOT and the address stand, and which device a frame on
// the serial line is for, the channel's receive path decides.
#pragma once

#include <cstdint>

#include "comm/com_value.h"

// Control characters.
enum : uint8_t {
  COM_STX = 0x02, COM_ETX = 0x03, COM_EOT = 0x04, COM_ENQ = 0x05, COM_ACK = 0x06, COM_NAK = 0x15
};

// Result codes of the protocol, beside those of the parameter protocol ('f', 'g', 'i', 'j',
// 'k', 'l', 'y', 'z', 131 = the answer does not fit).
constexpr uint8_t COM_ERR_LIST = 'e';          // list data malformed (too long)
constexpr uint8_t COM_ERR_SEPARATOR = 'o';     // not "=" where the value begins
constexpr uint8_t COM_ERR_SEPARATOR_Q = 'q';   // a missing comma between list elements
constexpr uint8_t COM_ERR_NUMBER_R = 'r';      // a list byte malformed or above 255
constexpr uint8_t COM_ERR_NUMBER_T = 't';      // a float malformed or out of range
constexpr uint8_t COM_ERR_FRAME_END = 'u';     // the frame does not end where expected
constexpr uint8_t COM_ERR_NO_STX = 'x';
constexpr uint8_t COM_ERR_HANDSHAKE = 126;     // download handshake out of order
constexpr uint8_t COM_ERR_BCC = 127;
constexpr uint8_t COM_ERR_LIST_INDEX = 128;    // list header: the index word
constexpr uint8_t COM_ERR_LIST_FLOATS = 129;   // list header: the float count
constexpr uint8_t COM_ERR_LIST_COUNT = 130;    // list header: the word, text or byte count

// Kinds of a parsed request.
enum : uint16_t {
  COM_KIND_NO_BLOCK = 0,     // identification, version, download handshake
  COM_KIND_VALUE = 1,        // one value, record or list by (sub-index, code)
  COM_KIND_BLOCK_DATA = 2,   // the nine values after a code that is a multiple of 0x10
  COM_KIND_ERROR_INFO = 3,   // the result registers (block 0, sub-index 2, codes 21..23)
};

constexpr uint16_t COM_CODE_MAX = 0xB4;      // codes 0x00..0xB4 without 0x9A..0xB0
constexpr uint16_t COM_SUBINDEX_MAX = 0x89;
constexpr uint32_t COM_VALUE_AREA = 256;     // bytes a written list may fill in the record
constexpr uint32_t COM_IDENT_LEN = 16;

// A parsed request: code, block, sub-index, kind and the value record (the id negative for a
// read). A write without block keeps its value text.
struct ComAsciiRequest {
  uint16_t code;
  uint16_t block;
  uint16_t subIndex;
  uint16_t kind;
  ComValueAccess value;
  uint8_t text[COM_IDENT_LEN];   // the value text of a write without block
  uint8_t textLength;
};

// The result of the last write ("21="), its bad index ("22="), the result of the last read
// ("23=").
struct ComAsciiResults {
  uint8_t write;
  uint16_t badIndex;
  uint8_t read;
};

struct ComAsciiState {
  ComAsciiResults results;
  uint8_t handshake;                // download handshake: 0, 1 (F written), 2 (F read back)
  uint8_t ident[COM_IDENT_LEN];     // the identification (read 0x18)
  char version[32];                 // the firmware version text (read 0x92)
};
extern ComAsciiState g_comAscii;

// Builds the identification from the engineering image ("23,15", the six identification
// bytes at offset 14, a comma, order-code digits 1..4), sets the version text, clears the
// result registers and the handshake.
void COM_AsciiInit();

// Serves the text frame in the channel's receive buffer (channels 1..3) and leaves the answer
// in its transmit buffer: a frame whose next-to-last byte is ETX is a write, any other a
// read.
void COM_AsciiServe(int channel);
// The same for a frame of n bytes anywhere (Modbus function 23 frames its text so): the
// answer goes to tx (COM_TX_SIZE bytes, not overlapping the frame) and its length.
void COM_AsciiHandle(int channel, const uint8_t* frame, uint32_t n, uint8_t* tx,
                     uint16_t* txLength);

// The grammar of a read (frame ends with ENQ) and of a write (STX ... ETX BCC), over the whole
// frame including its three prefix bytes: 0 with the request filled in, or the result code,
// which is also left in the read (write) result register.
uint8_t COM_AsciiParseRead(const uint8_t* bytes, uint32_t length, ComAsciiRequest* request,
                           ComAsciiResults* results);
uint8_t COM_AsciiParseWrite(const uint8_t* bytes, uint32_t length, ComAsciiRequest* request,
                            ComAsciiResults* results);

// XOR of n bytes.
uint8_t COM_Bcc(const uint8_t* bytes, uint32_t n);

// ---------------------------------------------------------------------------------------
// Answer texts. They are built into bounded buffers: what does not fit marks the text full,
// and a full text is answered NAK, never cut.
struct ComText {
  char* data;
  uint32_t size;
  uint32_t length = 0;
  bool full = false;

  void put(char c);
  void put(const char* s);
  void putBytes(const uint8_t* s, uint32_t n);
  void putInt(int64_t v);
  void putHex(uint32_t v, int minDigits, bool upper);
  void putFloat(float v);  // the float coding: 6 integer digits, 3 decimals
};

// "%.*f" of a value clamped to integerDigits nines, without the locale; trailing zeros of the
// decimals removed, a whole number keeping its point ("12."). The length written (with a
// terminating 0 when there is room), or 0 when the text does not fit in size.
uint32_t COM_FormatFloat(char* text, uint32_t size, float value, int integerDigits, int decimals);

// The coding of one read value by its kind: a float, "%d", the status character 64 + the low
// 6 bits, or the 16 characters of a text. False when the kind has no coding or the reply does
// not carry it.
bool COM_FormatValue(ComText& text, const ComValueAccess& a, ComValueKind kind);

// Block data (kind 2): "%02x=<value>," for each readable value of the nine codes after the
// request's code, the last comma dropped; for block 0, sub-index 2 and code 0x20 the three
// result registers. 0, or 'i' when no value was readable (131 when the text is full).
uint8_t COM_FormatBlockData(ComText& text, const ComAsciiRequest& request, uint16_t source);

// The error information (kind 3): "21=", "22=" or "23=" with the register's value.
void COM_AsciiErrorInfo(ComText& text, uint16_t code, const ComAsciiResults& results);

// ---------------------------------------------------------------------------------------
// Records and lists (codes 0xB1..0xB4 and the whole-record ids).

// True for the ids whose reads answer a record: the sets 4000..4019, the tables and extra
// data 4080..4089, the data requests 4100, 4101, 4110..4113, 4130..4133, 4180..4189 and the
// wiring 4200.
bool COM_IsRecordId(uint32_t id);

// A read record: "%02X,%d,%x=" (code, block, sub-index), the index word, the float count, the
// floats, then the word count and the words; tables and extra data give their words as bytes.
void COM_FormatRecord(ComText& text, const ComAsciiRequest& request);

// Parses a written list (from just after "=" up to the frame's ETX) into the request's value
// record: 0, or the result code.
uint8_t COM_AsciiParseList(const uint8_t* p, const uint8_t* etx, ComAsciiRequest* request);

// The position in the list text of a bad element a handler reported (1-based).
uint16_t COM_AsciiListPosition(const ComAsciiRequest& request, uint16_t badIndex);
