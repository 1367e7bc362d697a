// Modbus RTU slave and the serial channels.
//
// Every register stands for one value of the device, addressed as (block, value code) and
// read or written through the value access of the character protocol (comm/com_value.h):
//
//   0x0000..0x3FFF  16-bit integer registers, index = address
//   0x8000..0xBFFF  32-bit float registers (two registers per value, most significant byte
//                   first), index = (address >> 1) & 0x3FFF, the address even
//
// The register index selects a block and a row of the code table (COM_MapRegister). Register
// 31 is the download word; register 0x3FFF carries the service memory commands while the
// device is in the download state (comm/com_service.h). Function 23 also carries whole
// requests of the character protocol.
//
// Three channels: 1 the device's serial interface (Modbus when the protocol byte is 3, else
// the character protocol), 2 the PC-tool channel of the simulator (its binary frames), 3 a
// second serial source (Modbus, CRC not checked). Requests arrive in the channel's receive
// buffer; the answer is left in its transmit buffer (comm/com_services.h).
#pragma once

#include "comm/com_bytes.h"  // big-endian values of received and sent frames

#include <cstdint>

#include "comm/com_bytes.h"
#include "comm/com_services.h"

// Function codes.
enum : uint8_t {
  COM_FN_READ_HOLDING = 3,
  COM_FN_READ_INPUT = 4,
  COM_FN_WRITE_SINGLE = 6,
  COM_FN_WRITE_MULTIPLE = 16,
  COM_FN_READ_WRITE = 23,
};

// Exception codes, and the code that sends the answer built so far.
enum : uint8_t {
  COM_EXC_FUNCTION = 1,   // unknown function
  COM_EXC_ADDRESS = 2,    // bad register address or unknown value
  COM_EXC_VALUE = 3,      // bad length, count or value
  COM_EXC_FAILURE = 4,    // too many registers, or another failure
  COM_ANSWER_NORMAL = 5,
  COM_EXC_LOCKED = 7,     // writing locked, or the download word while running
};

constexpr uint16_t COM_REG_DOWNLOAD = 31;        // the download word
constexpr uint16_t COM_REG_SERVICE = 0x3FFF;     // the service memory commands
constexpr uint16_t COM_MAX_REGISTERS = 127;      // the most a request may name
constexpr uint32_t COM_CRC_LIMIT = 253;          // answers this long or longer carry no CRC

// Download words.
enum : uint16_t {
  COM_DL_ENTER = 0x4655,        // "FU": the download state
  COM_DL_ENTER_STOPPED = 0x4554,// "ET": the download state of a stopped device, transfer flag
  COM_DL_KEEP = 0x444C,         // "DL": stays in the download state
};

// CRC-16 of Modbus RTU (low byte first in the frame).
enum ComCrcMode : uint8_t { COM_CRC_CHECK = 0, COM_CRC_APPEND = 1 };
uint16_t COM_Crc16Value(const uint8_t* bytes, uint32_t n);
// Check: 1 when the CRC over the bytes, their CRC included, is 0; 0 for length 0. Append:
// 0 for a length over 252; else the two CRC bytes are appended, *length grows by 2 and the
// frame is handed to the serial driver's transmission (the result of the start is not
// reported: 1).
int COM_Crc16(ComCrcMode mode, uint8_t* bytes, uint16_t* length);


// A register: its index and space.
enum ComRegisterSpace : uint8_t { COM_SPACE_INTEGER = 0, COM_SPACE_FLOAT = 1 };
struct ComRegisterAddress {
  uint16_t index;
  ComRegisterSpace space;
};
// From a two-byte address: false for an address outside both spaces or an odd float
// address.
bool COM_DecodeRegisterAddress(const uint8_t* bytes, ComRegisterAddress* out);

// The register map: 1 with the value code and the block of a register index, 0 when the
// index names no value (no row, a row without code, an empty place of a block list, a code
// the block's type does not have).
constexpr uint32_t COM_CODE_ROWS = 201;
extern const int16_t g_comCodeTable[COM_CODE_ROWS];
int COM_MapRegister(uint32_t index, int16_t* code, uint16_t* block);

// How a code's value is carried in a register: a status byte (its low 6 bits), a 16-bit
// integer or a float.
enum class ComRegisterCoding : uint8_t { Status, Integer, Float };
ComRegisterCoding COM_RegisterCoding(int32_t code);

// Reads the register's value into out (2 bytes in the integer space, 4 in the float space,
// big-endian) / writes the value at value: 0, or the result code of the value access
// ('i' for a register the map does not name).
uint8_t COM_ReadRegisterValue(const ComRegisterAddress& reg, uint8_t* out);
uint8_t COM_WriteRegisterValue(const ComRegisterAddress& reg, const uint8_t* value);

// Exception code of a result code of the value access: 102, 103, 105 give 2; 106, 107, 108,
// 111, 113, 116, 121, 122, 126, 128, 129, 130 give 3; any other 4.
uint8_t COM_ResultToException(uint8_t result);

// Handles the Modbus frame in the channel's receive buffer and leaves the answer in its
// transmit buffer (COM_ReceiveFrame sends binary frames here).
void COM_ModbusReceive(int channel);
// Code 5 sends the answer built so far; any other code turns it into an exception answer
// with that code. Answers shorter than 253 bytes get their CRC. Channel 1 transmits an
// answer that got its CRC unless the request was a broadcast (address 0); channel 3
// transmits every answer (one without CRC with the two bytes after it); both only while
// channel 1's receive state is 0. Channel 2's answer stays in its buffer for the adapter.
void COM_SendAnswer(int channel, uint8_t code);

// Serves the channels once: 3, then 1, then 2, each whose receive state is 1 or 2; a state
// of 3 is cleared without serving. Channel 1 takes its frame from the serial driver (from
// the option card's receive area with option "3"), drops frames for another device
// address and frames received with error bits, and goes to Modbus for protocol 3, else to
// the character protocol. Consumes one pending channel event.
void COM_ServeChannels();

// The serial channel's working settings, set by COM_InitChannel from the interface
// settings of the engineering image and the communication option.
struct ComChannelSettings {
  uint8_t baudCode;    // the interface setting (0..4; 0 with an option card)
  uint8_t protocol;    // 3 Modbus, 1 the option card's frames, 4 PROFINET, 0 ASCII
  uint8_t address;     // the device address on channel 1
  uint8_t option;      // the communication option digit
};

struct ComModbusState {
  ComChannelSettings channel;
  uint8_t transferFlag;   // set by the download word "ET", cleared by "FU" and at the end
};
extern ComModbusState g_comModbus;
