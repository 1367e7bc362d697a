// The Modbus register map: register index -> (block, value code), the coding of a value in
// a register, and reads and writes of one register through the value access.
#include <cmath>
#include <cstring>

#include "comm/com_modbus.h"
#include "comm/com_value.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_numeric.h"

// The value code of each row (-1: the row has no value). Rows 0..79 are the system data,
// 80..88 the blocks 1..20, 89..104 the blocks 56..60, 105..148 a controller, 149..170 a
// programmer, 171..200 a programmer data block.
const int16_t g_comCodeTable[COM_CODE_ROWS] = {
    // 0..4, 5..12 (500..507), 13..15
    -1, 0, 1, 9, -1, 500, 501, 502, 503, 504, 505, 506, 507, -1, -1, -1,
    // 16, 17, 18, 19, 20..22, 23..26
    527, 528, -1, -1, 536, 537, 538, -1, -1, -1, -1,
    // 27..30, 31 (the download word), 32..39 (509..516)
    519, 520, 521, 522, -1, 509, 510, 511, 512, 513, 514, 515, 516,
    // 40..47 (554..561), 48..55 (1250..1257)
    554, 555, 556, 557, 558, 559, 560, 561, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257,
    // 56..61, 62, 63
    -1, -1, -1, -1, -1, -1, 545, 546,
    // 64..72 (3000..3008), 73..79
    3000, 3001, 3002, 3003, 3004, 3005, 3006, 3007, 3008, -1, -1, -1, -1, -1, -1, -1,
    // 80..88: blocks 1..20 (raised by 300 for L1WRIT)
    0, 1, 2, 3, 4, 5, 6, 7, 8,
    // 89..104: blocks 56..60
    300, 301, 302, 303, 304, 305, 306, 307, 308, 309, 310, 311, 312, 313, 314, 315,
    // 105..148: controllers
    0, 1, 9, 10, 18, -1, -1, 500, 501, 502, 503, 504, 505, 507, -1, -1, 2, 3, 4, 5, 6, 7, 8,
    11, 13, 14, 15, 309, 310, 313, 314, 318, 20, 319, 320, 321, 322, 323, 324, 325, 326, -1,
    -1, -1,
    // 149..170: programmers
    0, 1, 9, 2, 3, 4, 5, 6, 7, 8, 11, -1, 500, 501, 502, 503, 504, -1, 300, 304, 305, -1,
    // 171..200: programmer data blocks
    1000, 1250, 1001, 1002, 1251, 1003, 1004, 1252, 1005, 1006, 1253, 1007, 1008, 1254, 1009,
    1010, 1255, 1011, 1012, 1256, 1013, 1014, 1257, 1015, 1016, 1258, 1017, 1018, 1259, 1019,
};

namespace {

// The six groups of register indexes: a fixed range of block numbers or a list of the
// engineering check, the registers per block and the offset that turns an index into a row
// (row = index - n * perBlock - rowOffset).
enum class Blocks : uint8_t { System, Fixed, Controllers, Programmers, ProgramData };
struct RegisterGroup {
  uint16_t first, last;
  uint16_t perBlock;
  uint16_t rowOffset;
  Blocks blocks;
  uint16_t firstBlock;   // Fixed: the block of n = 0
};
constexpr RegisterGroup kGroups[] = {
    {0, 79, 80, 0, Blocks::System, 0},
    {80, 259, 9, 0, Blocks::Fixed, 1},
    {272, 351, 16, 183, Blocks::Fixed, 56},
    {352, 1671, 44, 247, Blocks::Controllers, 0},
    {1672, 2551, 22, 1523, Blocks::Programmers, 0},
    {2552, 7351, 30, 2381, Blocks::ProgramData, 0},
};

uint16_t typeOf(uint16_t block) {
  const uint16_t* inst = FB_GetInstance(block);
  return inst ? inst[FB_HDR_TYPE] : 0xFFFF;
}

// The n-th place of a page list; FB_LIST_UNUSED when there is none.
uint16_t listed(const uint16_t* list, uint32_t size, uint32_t n) {
  return n < size ? list[n] : FB_LIST_UNUSED;
}

bool in(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

// The one access record of the register being served (kept off the tick's stack).
ComValueAccess g_access;

}  // namespace

int COM_MapRegister(uint32_t index, int16_t* code, uint16_t* block) {
  for (const RegisterGroup& g : kGroups) {
    if (index < g.first || index > g.last) continue;
    const uint32_t n = (index - g.first) / g.perBlock;
    const uint32_t row = index - n * g.perBlock - g.rowOffset;
    uint16_t b;
    switch (g.blocks) {
      case Blocks::System: b = 0; break;
      case Blocks::Fixed: b = static_cast<uint16_t>(g.firstBlock + n); break;
      case Blocks::Controllers:
        b = listed(g_fbSchedule.ctrlBlocks, FB_CTRL_LIST_SIZE, n);
        break;
      case Blocks::Programmers:
        b = listed(g_fbSchedule.progBlocks, FB_PROG_LIST_SIZE, n);
        break;
      default: b = listed(g_fbSchedule.progDataBlocks, FB_PROG_DATA_LIST_SIZE, n); break;
    }
    if (b == FB_LIST_UNUSED || row >= COM_CODE_ROWS) return 0;
    int16_t c = g_comCodeTable[row];
    if (c < 0) return 0;
    if (g.blocks == Blocks::Fixed && g.firstBlock == 1 && typeOf(b) == FB_TYPE_L1WRIT) c += 300;
    if (g.blocks == Blocks::ProgramData && in(c, 1250, 1299) && typeOf(b) != FB_TYPE_APRGD2) {
      return 0;
    }
    *code = c;
    *block = b;
    return 1;
  }
  return 0;
}

ComRegisterCoding COM_RegisterCoding(int32_t code) {
  switch (code) {
    case 0: case 1: case 9: case 10: case 18: case 19: return ComRegisterCoding::Status;
    default: break;
  }
  if (in(code, 500, 679) || in(code, 1250, 1299) || in(code, 3000, 3049)) {
    return ComRegisterCoding::Integer;
  }
  return ComRegisterCoding::Float;
}

bool COM_DecodeRegisterAddress(const uint8_t* bytes, ComRegisterAddress* out) {
  uint16_t a;
  COM_GetBE16(&a, bytes);
  if (a <= 0x3FFF) {
    *out = {a, COM_SPACE_INTEGER};
    return true;
  }
  if (a >= 0x8000 && a <= 0xBFFF && (a & 1) == 0) {
    *out = {static_cast<uint16_t>((a >> 1) & 0x3FFF), COM_SPACE_FLOAT};
    return true;
  }
  return false;
}

uint8_t COM_ReadRegisterValue(const ComRegisterAddress& reg, uint8_t* out) {
  int16_t code;
  uint16_t block;
  if (!COM_MapRegister(reg.index, &code, &block)) return FB_ERR_UNKNOWN_ID;
  ComValueAccess& a = g_access;
  COM_ValueBegin(&a, block, static_cast<int16_t>(-code));
  if (const uint8_t r = COM_AsciiReadValue(&a, COM_SOURCE_MODBUS)) return r;
  const ComRegisterCoding coding = COM_RegisterCoding(code);
  double v;
  if (coding == ComRegisterCoding::Status) {
    v = a.request.u8(FB_REQUEST_VALUE) & 0x3F;
  } else if (!COM_ReadNumber(a, coding == ComRegisterCoding::Integer ? ComValueKind::Integer
                                                                      : ComValueKind::Float,
                             &v)) {
    return FB_ERR_UNKNOWN_ID;
  }
  if (reg.space == COM_SPACE_INTEGER) {
    COM_PutBE16(out, static_cast<uint16_t>(FW_FloatToI16(v)));
  } else {
    COM_PutBE32(out, static_cast<float>(v));
  }
  return FB_OK;
}

uint8_t COM_WriteRegisterValue(const ComRegisterAddress& reg, const uint8_t* value) {
  int16_t code;
  uint16_t block;
  if (!COM_MapRegister(reg.index, &code, &block)) return FB_ERR_UNKNOWN_ID;
  ComValueAccess& a = g_access;
  COM_ValueBegin(&a, block, code);
  FbParamRequest& r = a.request;
  const ComRegisterCoding coding = COM_RegisterCoding(code);
  if (reg.space == COM_SPACE_INTEGER) {
    uint16_t x;
    COM_GetBE16(&x, value);
    switch (coding) {
      case ComRegisterCoding::Status: r.setU16(FB_REQUEST_VALUE, x & 0x3F); break;
      case ComRegisterCoding::Integer: r.setU16(FB_REQUEST_VALUE, x); break;
      default: r.setF32(FB_REQUEST_VALUE, static_cast<int16_t>(x)); break;
    }
  } else {
    float f;
    COM_GetBE32(&f, value);
    // No value of the device is infinite or not a number.
    if (!std::isfinite(f)) return FB_ERR_LIMITS;
    const auto x = static_cast<uint16_t>(FW_FloatToI16(f));
    switch (coding) {
      case ComRegisterCoding::Status: r.setU16(FB_REQUEST_VALUE, x & 0x3F); break;
      case ComRegisterCoding::Integer: r.setU16(FB_REQUEST_VALUE, x); break;
      default: r.setF32(FB_REQUEST_VALUE, f); break;
    }
  }
  a.received = FB_REQUEST_VALUE + 4;
  return COM_AsciiWriteValue(&a, COM_SOURCE_MODBUS);
}

uint8_t COM_ResultToException(uint8_t result) {
  switch (result) {
    case 102: case 103: case 105: return COM_EXC_ADDRESS;
    case 106: case 107: case 108: case 111: case 113: case 116: case 121: case 122: case 126:
    case 128: case 129: case 130:
      return COM_EXC_VALUE;
    default: return COM_EXC_FAILURE;
  }
}
