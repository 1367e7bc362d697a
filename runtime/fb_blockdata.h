// Block data requests: whole-record requests that address a block directly rather than
// through its type's parameter handler. An engineering tool creates and wires blocks,
// writes their texts and extra records, and reads back wiring, values, parameters, texts
// and extra records with them; the protocols dispatch them here.
//
// Requests and replies use the parameter request record: offset 0 block number, 2 id, then
// the payload. A reply is built in the same record: offset 4 a count byte, 5 a second count
// byte, 6 the block's type (u16), data from 8; the reply length counts the bytes from
// offset 4. Every id, index, count and length from a request is checked before use; a
// refused request changes nothing.
#pragma once

#include <cstdint>

#include "runtime/fb_param.h"

// Ids of the block data requests (the reads are their negatives).
enum : int16_t {
  FB_ID_TEXT_TABLE = 4080,   // the block's text table
  FB_ID_EXTRA = 4085,        // the block's extra record
  FB_ID_INPUTS = 4100,       // read: input values
  FB_ID_OUTPUTS = 4101,      // read: output values
};

// Writes: 4200 create or rewire, 4085 extra record, 4080 text table, 2000 + k text k + 1.
// `received` is the number of request bytes the sender delivered (a payload that its count
// bytes say is longer is refused with 'y'). Results: 0, 'i' (unknown id or index), 'j' (no
// such block), 'l' with *badIndex, 'g' (record exists), 'y'/'z' (count bytes), 131 (no
// room).
uint8_t FB_BlockDataWrite(FbParamRequest* request, uint16_t* badIndex,
                          uint32_t received = FB_REQUEST_BYTES);

// Reads (negative ids): builds the reply in the request record and sets *length to the
// number of reply bytes from offset 4. Results as for writes. Block 0 answers only -4085
// (its extra record) and -4200; its other data are the system data.
uint8_t FB_BlockDataRead(FbParamRequest* request, uint16_t* length);

// The source of analog input i (1-based) of a block as its wiring record names it: the pair
// and, as result, the source block's type; 0 with both outputs 0 when i exceeds the count,
// the input is unconnected or the block does not exist.
uint16_t FB_GetInputSource(uint16_t block, uint16_t i, uint16_t* sourceBlock,
                           uint16_t* sourceOutput);
// The same for digital input i.
uint16_t FB_GetDigitalInputSource(uint16_t block, uint16_t i, uint16_t* sourceBlock,
                                  uint16_t* sourceOutput);

// When analog input i is wired to an ALLP block whose first word value is 0: its float
// parameters "L 1" (low) and "H 1" (high), result 1; else 0 with both pointers null.
constexpr uint16_t FB_TYPE_ALLP = 40;
int FB_GetAllpLimits(uint16_t block, uint16_t i, FbF32** low, FbF32** high);

// The source of analog input i (1-based) with where its value is: the source block's type
// (the result, 0 when unconnected), its number and output, and the source's output value
// (null when there is none: unconnected, the block or the output missing). Built on
// FB_GetInputSource, for blocks that need to know whether and from what an input is fed.
struct FbInputSourceEx {
  uint16_t type;
  uint16_t block;
  uint16_t output;
  const FbF32* value;
};
uint16_t FB_GetInputSourceEx(uint16_t block, uint16_t i, FbInputSourceEx* out);
