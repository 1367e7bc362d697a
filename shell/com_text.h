// What the simulator and the PC tools share of the channel for PC tools: the messages and
// sizes of its windows and shares, their names and those of its events, the frame text that
// carries a frame between processes, the frames that the simulator builds from a typed
// request, and how the communication view shows a frame.
//
// Frame text: an optional '#' (a binary frame: its length carries 0x8000), then two
// characters per byte, '0' + high nibble and '0' + low nibble (nibbles 10..15 appear as
// ':' ';' '<' '=' '>' '?'). Decoding takes the low 4 bits of the first character as the high
// nibble and the second character minus '0' as the low nibble; an odd last character is
// ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Messages of the hidden windows (the window-text messages keep their usual numbers).
enum SimComMessage : uint32_t {
  SIM_COM_SETTEXT = 0x000C,        // payload: the new text; 1 = taken
  SIM_COM_GETTEXT = 0x000D,        // wParam: room for the text and its NUL; reply: the text
  SIM_COM_GETTEXTLENGTH = 0x000E,
  SIM_COM_CLIENT_REQUEST = 1047,   // 16-bit clients: not supported, answered 0
  SIM_COM_CLIENT_RESPONSE = 1048,
  SIM_COM_REGISTER_NOTIFY = 0x1097,  // payload: the full endpoint name of the notify window
  SIM_COM_NOTIFY = 0x1098,
};

constexpr unsigned SIM_COM_PORT = 10;
constexpr const char* SIM_COM_MAIN_NAME = "Class::Mx74Main";
constexpr size_t SIM_COM_SHARE_SIZE = 1024;
constexpr size_t SIM_COM_WINDOW_TEXT_MAX = 1023;  // longest text a window keeps
constexpr size_t SIM_COM_REQUEST_TEXT_MAX = 519;  // longest request text taken from a window
constexpr size_t SIM_COM_ANSWER_MAX = 256;        // longest answer published

constexpr uint16_t SIM_COM_BINARY = 0x8000;   // length flag of a binary frame
constexpr uint8_t SIM_COM_EOT = 4, SIM_COM_STX = 2, SIM_COM_ETX = 3, SIM_COM_ENQ = 5;
constexpr uint8_t SIM_COM_ACK = 6, SIM_COM_NAK = 21;

// "Share::SimComRequest.Com10" and the like: `kind` is "Share", "Event" or "Class", `way`
// is "Com" (port number) or "Adr" (device address), the number printed with two digits.
std::string SimComChannelName(const char* kind, bool response, const char* way, unsigned number);
// The response window of a main window name ("Class::Mx74Main" -> "Class::Mx74Main.Response").
std::string SimComResponseName(const std::string& mainName);
// The locks by which PC tools take turns on a request share: "<request name>.turn" and
// "<request name>.wait" (the simulator removes them when it closes the channel).
std::string SimComTurnName(const std::string& requestName, bool wait);

// Decodes `n` characters of frame text into at most `capacity` bytes; false (and nothing
// written) when the frame would not fit. *length gets the byte count with the binary flag.
bool SimComDecodeText(const char* text, size_t n, uint8_t* out, size_t capacity, uint16_t* length);
// Encodes a frame as NUL-terminated frame text; false when it does not fit `capacity`
// characters with its NUL. *textLength gets the characters without the NUL.
bool SimComEncodeText(const uint8_t* frame, size_t n, bool binary, char* out, size_t capacity,
                      size_t* textLength);

// The Modbus check word of a binary frame (sent low byte first).
uint16_t SimComCrc16(const uint8_t* bytes, size_t n);

// Builds the frame of a request typed into the communication view or played by a script:
// "#" and hexadecimal bytes (separated by blanks or commas; a longer group is read in pairs)
// is a binary frame, the check word appended unless its last two bytes are already it; a text
// with "=" becomes EOT "00" STX text ETX and the XOR of the text and ETX; any other text
// EOT "00" text ENQ. False (nothing to send) for an empty or malformed text or a frame over
// `capacity` bytes.
bool SimComBuildInjected(std::string_view text, uint8_t* out, size_t capacity, uint16_t* length);

// How the communication view shows a frame: a binary one as "# " and "%02X " per byte (a
// frame that begins with EOT and is longer than 3 bytes without its two header bytes and its
// last byte); a text frame of ACK or NAK as "(ACK)" or "(NAK)", else its text after STX (from
// the fourth character when there is none) up to ETX or ENQ.
std::string SimComViewText(const uint8_t* frame, uint16_t length);
