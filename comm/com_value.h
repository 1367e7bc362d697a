// Value access by (block, id): the one entry through which the device protocols read and
// write the device's values. Block 0 is the system-data block; the other blocks go to their
// type's parameter handler or to the block data requests, by id, with the conditions of the
// run mode, the loaded engineering and the edit access of the login.
//
// The value record is the parameter request record: block at offset 0, id at 2 (negative:
// read), the value from offset 4. A read leaves its reply in the same record and reports the
// reply's length, by which a value is widened before it is coded (one byte, a 16-bit
// integer, a float).
#pragma once

#include <cstdint>

#include "runtime/fb_param.h"

// Who asks, as the edit access tells the protocols apart.
enum : uint16_t { COM_SOURCE_MODBUS = 0, COM_SOURCE_ASCII = 1 };

// How a value is coded in an answer, by its id (absolute value): 2000..2026 texts of 16
// characters; 1250..1299, 3000..3049 and 500..679 integers; 3050..3099, 1000..1099 and
// 300..479 floats; 0..179 a status byte where id mod 9 is 0 or 1, else a float. Any other id
// has no value coding (records and lists are coded by their own layout).
enum class ComValueKind : uint8_t { None, Status, Integer, Float, Text };
ComValueKind COM_ValueKind(uint32_t id);

// One access. Fill the request (block, id, value), `received` for writes (the request bytes
// the sender filled in: block data checks its counts against it), then read or write.
struct ComValueAccess {
  FbParamRequest request;
  uint32_t received = FB_REQUEST_BYTES;
  uint16_t length = 0;    // read: bytes of the reply from offset 4 (0: not reported)
  uint16_t badIndex = 0;  // write: 1-based bad element of a refused set
};

// Clears the record and names the value: the request is all zero but block and id.
void COM_ValueBegin(ComValueAccess* a, uint16_t block, int16_t id);

// Reads the value the request names (id <= 0; id 0 is always a read). 0, or the result byte:
// 'f' absent, not readable without an engineering or not open at the current access level,
// 'g' not now (a data request while stopped), 'i' unknown id, 'j' no such block, or the
// handler's own.
uint8_t COM_AsciiReadValue(ComValueAccess* a, uint16_t source);

// Writes the value the request names (id > 0). 0 when done, or the result byte with
// a->badIndex: 'g' not permitted now (no engineering, running, a set for another block type
// than the one at request offset 6, refused by the edit access for the ASCII protocol), 'f'
// refused by the edit access for Modbus, 'i' unknown id, or the handler's own.
uint8_t COM_AsciiWriteValue(ComValueAccess* a, uint16_t source);

// The value of a successful read as a number, widened by the reply's length: 1 byte its
// value, 2 bytes a signed 16-bit integer, 4 bytes a float (a 32-bit integer for the integer
// ids). A length of 0 takes the kind's own width. False for texts, ids without a value coding
// and replies of another length.
bool COM_ReadNumber(const ComValueAccess& a, ComValueKind kind, double* out);

// After a successful write from a PC tool: channels 2 (the PC-tool channel) and 3 mark the
// data as changed through an interface (bit 3 of the status byte) unless the write is the
// one that clears that mark; any write while the device is stopped marks the whole image
// for rewriting at the next save (bit 4).
void COM_NoteInterfaceWrite(int channel, bool clearsChangeMark);

// True when writes from this channel are refused now: channels 1 and 3 while the interface
// write lock is in force. The PC-tool channel is never locked.
bool COM_ChannelWriteLocked(int channel);
