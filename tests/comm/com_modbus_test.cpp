// Modbus RTU: the frames of functions 3, 4, 6, 16 and 23 with their checks and exceptions,
// the register map and the coding of values in registers, the download word, and the status
// byte after writes from a PC tool.
#include <gtest/gtest.h>

#include <cstring>

#include "comm/com_modbus.h"
#include "comm/com_serial.h"
#include "comm_fixture.h"
#include "fakes/fake_shell.h"
#include "runtime/fb_schedule.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysimage.h"
#include "runtime/runtime_state.h"

namespace commtest {
namespace {

// Types the register map treats apart.
inline constexpr FbTemplate kL1writTemplate{.size = 0, .type = FB_TYPE_L1WRIT,
                                            .floatParams = kGuardedFloats};
inline constexpr FbTemplate kAprgd2Template{.size = 0, .type = FB_TYPE_APRGD2,
                                            .floatParams = kGuardedFloats};

// Type 21: every value reads 1.0.
constexpr uint16_t kAny = 21;
inline constexpr FbTemplate kAnyTemplate{.size = 0, .type = kAny, .floatParams = kGuardedFloats};
inline uint8_t anyParam(FbParamRequest* r, uint16_t*) {
  if (r->id() > 0) return FB_ERR_UNKNOWN_ID;
  r->setF32(FB_REQUEST_VALUE, 1.0f);
  g_fbReadLength = 4;
  return FB_OK;
}

class Modbus : public CommTest {
 protected:
  void SetUp() override {
    CommTest::SetUp();
    SimState().haltFlag = 0;
    SimState().pictureSave = 0;
  }
  // VALS block 100 as the first controller, programmer data block and programmer.
  void listVals() {
    g_fbSchedule.ctrlBlocks[0] = 100;
    g_fbSchedule.progDataBlocks[0] = 100;
    g_fbSchedule.progBlocks[0] = 100;
  }
  float readFloatAt(uint16_t index) {
    uint8_t out[4];
    EXPECT_EQ(COM_ReadRegisterValue({index, COM_SPACE_FLOAT}, out), FB_OK);
    float f;
    COM_GetBE32(&f, out);
    return f;
  }
};

TEST(ModbusCrc, ChecksAndAppendsTheCrcOfModbusRtu) {
  uint8_t frame[260] = {0x01, 0x03, 0x00, 0x01, 0x00, 0x7F, 0x55, 0xEA};
  uint16_t n = 8;
  EXPECT_EQ(COM_Crc16(COM_CRC_CHECK, frame, &n), 1);
  frame[3] ^= 1;
  EXPECT_EQ(COM_Crc16(COM_CRC_CHECK, frame, &n), 0);
  n = 0;
  EXPECT_EQ(COM_Crc16(COM_CRC_CHECK, frame, &n), 0) << "length 0 fails";
  n = 6;
  frame[3] ^= 1;
  EXPECT_EQ(COM_Crc16(COM_CRC_APPEND, frame, &n), 1);
  EXPECT_EQ(n, 8);
  EXPECT_EQ(frame[6], 0x55);
  EXPECT_EQ(frame[7], 0xEA);
  n = 253;
  EXPECT_EQ(COM_Crc16(COM_CRC_APPEND, frame, &n), 0) << "no room for the CRC";
  EXPECT_EQ(n, 253);
}

TEST(ModbusBigEndian, ReadsAndWritesMostSignificantByteFirst) {
  const uint8_t b[4] = {0x42, 0x48, 0x00, 0x01};
  uint32_t v32;
  uint16_t v16;
  COM_GetBE32(&v32, b);
  COM_GetBE16(&v16, b);
  EXPECT_EQ(v32, 0x42480001u);
  EXPECT_EQ(v16, 0x4248);
  uint8_t out[4];
  COM_PutBE32(out, 50.0f);
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0x42, 0x48, 0x00, 0x00}));
}

TEST_F(Modbus, RequestsAreCheckedBeforeUse) {
  struct Case {
    const char* what;
    Bytes body;
    Bytes answer;
  } cases[] = {
      {"127 registers do not fit the answer", {3, 0x00, 0x01, 0x00, 0x7F}, exception(3, 4)},
      {"more than 127 registers", {3, 0x00, 0x01, 0x00, 0x80}, exception(3, 4)},
      {"an odd float address", {3, 0x80, 0x01, 0x00, 0x02}, exception(3, 2)},
      {"an address outside both spaces", {3, 0x40, 0x00, 0x00, 0x01}, exception(3, 2)},
      {"three float registers", {3, 0x80, 0x02, 0x00, 0x03}, exception(3, 3)},
      {"no float value", {3, 0x80, 0x02, 0x00, 0x01}, exception(3, 3)},
      {"no register", {3, 0x00, 0x01, 0x00, 0x00}, exception(3, 2)},
      {"register 0 has no value", {3, 0x00, 0x00, 0x00, 0x03}, exception(3, 2)},
      {"a read one byte too long", {3, 0x00, 0x01, 0x00, 0x01, 0x00}, exception(3, 3)},
      {"function 6 on a float address", {6, 0x80, 0x02, 0x00, 0x01}, exception(6, 2)},
      {"function 6 one byte short", {6, 0x00, 0x05, 0x00}, exception(6, 3)},
      {"function 16 with a byte count of 1", {16, 0x00, 0x05, 0x00, 0x01, 0x01, 0x00},
       exception(16, 3)},
      {"function 16 whose count is not twice the quantity",
       {16, 0x00, 0x05, 0x00, 0x02, 0x02, 0x00, 0x01}, exception(16, 3)},
      {"function 16 of one float register", {16, 0x80, 0x02, 0x00, 0x01, 0x02, 0x00, 0x01},
       exception(16, 3)},
      {"function 23 with more than 242 bytes", {23, 0, 0, 0, 1, 0, 0, 0, 1, 243, 'x', 'x'},
       exception(23, 3)},
      {"an unknown function", {8, 0x00, 0x00, 0x00, 0x00}, exception(8, 1)},
  };
  for (const Case& c : cases) EXPECT_EQ(ask(c.body), c.answer) << c.what;
}

TEST_F(Modbus, AFrameWithABadCrcGetsOnlyAddressAndFunctionOnThePcToolChannel) {
  EXPECT_EQ(serveBinary({0x01, 0x03, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00}), (Bytes{0x01, 0x03}));
  EXPECT_EQ(serveBinary({}), (Bytes{0x00, 0x00}));
}

TEST_F(Modbus, ReadsSystemDataAndFillsRegistersWithoutValue) {
  // Registers 1..4: codes 0, 1 and 9 of block 0, and -32500 for row 4, which has none.
  FW_SysStatus() |= FW_STAT_CHANGED;
  const Bytes a = ask({3, 0x00, 0x01, 0x00, 0x04});
  ASSERT_EQ(a.size(), 3u + 8u + 2u);
  EXPECT_EQ(a[2], 8);
  EXPECT_EQ(a[4], 0x20) << "code 0: the change mark";
  EXPECT_EQ(a[6], FW_STAT_LOADED | FW_STAT_CHECKED) << "code 1: status bits 0..1";
  EXPECT_EQ(a[9], 0x81);
  EXPECT_EQ(a[10], 0x0C);
  // In the float space a value without code reads -1.5e37.
  const Bytes f = ask({3, 0x80, 0x02, 0x00, 0x08});
  ASSERT_EQ(f.size(), 3u + 16u + 2u);
  float last;
  COM_GetBE32(&last, f.data() + 3 + 12);
  EXPECT_FLOAT_EQ(last, -1.5e37f);
}

TEST_F(Modbus, OneByteControllerValuesAndOutOfRangeIntegersReadAsTheirNumber) {
  listVals();
  g_vals.value2 = 50000.0f;
  // Code 322 of the first controller: the handler answers one byte, 4.
  EXPECT_EQ(serveBinary({0x01, 0x03, 0x83, 0x08, 0x00, 0x02, 0x6C, 0x4D}),
            (Bytes{0x01, 0x03, 0x04, 0x40, 0x80, 0x00, 0x00, 0xEE, 0x1B}));
  // Code 2 in the integer space saturates at 32767.
  EXPECT_EQ(serveBinary({0x01, 0x03, 0x01, 0x70, 0x00, 0x01, 0x84, 0x2D}),
            (Bytes{0x01, 0x03, 0x02, 0x7F, 0xFF, 0xD8, 0x34}));
  g_vals.value2 = -50000.0f;
  EXPECT_EQ(ask({3, 0x01, 0x70, 0x00, 0x01}), PcModbusFrame({1, 3, 2, 0x80, 0x00}));
}

TEST_F(Modbus, LongAnswersGoWithoutCrc) {
  // Blocks 1..14 whose every value reads: registers 80..205 are their codes 0..8.
  rt::registerType(kAnyTemplate, &kGuardedLimits, anyParam);
  for (uint16_t b = 1; b <= 14; ++b) ASSERT_EQ(FB_CreateInstance(kAny, b), FB_OK);
  const Bytes a126 = ask({3, 0x00, 80, 0x00, 126});
  ASSERT_EQ(a126.size(), 255u) << "126 registers: 255 bytes, no CRC";
  EXPECT_EQ(a126[2], 252);
  const Bytes a125 = ask({4, 0x00, 80, 0x00, 125});
  EXPECT_EQ(a125.size(), 253u);
  const Bytes a124 = ask({3, 0x00, 80, 0x00, 124});
  ASSERT_EQ(a124.size(), 3u + 248u + 2u) << "shorter answers keep their CRC";
  EXPECT_EQ(PcCrc16(a124.data(), a124.size()), 0);
}

TEST_F(Modbus, TheRegisterMapNamesBlockAndCode) {
  listVals();
  rt::registerType(kL1writTemplate, &kGuardedLimits);
  rt::registerType(kAprgd2Template, &kGuardedLimits);
  ASSERT_EQ(FB_CreateInstance(FB_TYPE_L1WRIT, 2), FB_OK);
  ASSERT_EQ(FB_CreateInstance(FB_TYPE_APRGD2, 130), FB_OK);
  g_fbSchedule.progDataBlocks[1] = 130;
  struct Case {
    uint32_t index;
    int ok;
    int16_t code;
    uint16_t block;
  } cases[] = {
      {0, 0, 0, 0},       {1, 1, 0, 0},        {5, 1, 500, 0},      {31, 0, 0, 0},
      {79, 0, 0, 0},      {72, 1, 3008, 0},    {80, 1, 0, 1},       {88, 1, 8, 1},
      {89, 1, 300, 2},    {97, 1, 308, 2},     {259, 1, 8, 20},     {260, 0, 0, 0},
      {271, 0, 0, 0},     {272, 1, 300, 56},   {288, 1, 300, 57},   {351, 1, 315, 60},
      {352, 1, 0, 100},   {388, 1, 322, 100},  {379, 1, 309, 100},  {357, 0, 0, 0},
      {396, 0, 0, 0},     {1672, 1, 0, 100},   {1675, 1, 2, 100},   {1694, 0, 0, 0},
      {2552, 1, 1000, 100}, {2553, 0, 0, 0},   {2581, 1, 1019, 100}, {2583, 1, 1250, 130},
      {7351, 0, 0, 0},    {7352, 0, 0, 0},     {0x3FFF, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int16_t code = -7;
    uint16_t block = 999;
    EXPECT_EQ(COM_MapRegister(c.index, &code, &block), c.ok) << c.index;
    if (c.ok && COM_MapRegister(c.index, &code, &block)) {
      EXPECT_EQ(code, c.code) << c.index;
      EXPECT_EQ(block, c.block) << c.index;
    }
  }
}

TEST_F(Modbus, ValuesAreCodedByTheirCode) {
  struct Case {
    int32_t code;
    ComRegisterCoding coding;
  } cases[] = {
      {0, ComRegisterCoding::Status},     {19, ComRegisterCoding::Status},
      {2, ComRegisterCoding::Float},      {322, ComRegisterCoding::Float},
      {500, ComRegisterCoding::Integer},  {679, ComRegisterCoding::Integer},
      {680, ComRegisterCoding::Float},    {1250, ComRegisterCoding::Integer},
      {1000, ComRegisterCoding::Float},   {3049, ComRegisterCoding::Integer},
      {3050, ComRegisterCoding::Float},
  };
  for (const Case& c : cases) EXPECT_EQ(COM_RegisterCoding(c.code), c.coding) << c.code;
}

TEST_F(Modbus, WritesGoThroughTheValueAccessInBothSpaces) {
  listVals();
  // Function 6: code 2 (a float) from the integer 25.
  EXPECT_EQ(ask({6, 0x01, 0x70, 0x00, 25}), PcModbusFrame({1, 6, 0x01, 0x70, 0x00, 25}));
  EXPECT_FLOAT_EQ(g_vals.value2, 25.0f);
  // Function 16 in the float space: 42.5.
  EXPECT_EQ(ask({16, 0x82, 0xE0, 0x00, 0x02, 0x04, 0x42, 0x2A, 0x00, 0x00}),
            PcModbusFrame({1, 16, 0x82, 0xE0, 0x00, 0x02}));
  EXPECT_FLOAT_EQ(g_vals.value2, 42.5f);
  // A value no device value can have is refused.
  EXPECT_EQ(ask({16, 0x82, 0xE0, 0x00, 0x02, 0x04, 0x7F, 0xC0, 0x00, 0x00}), exception(16, 3));
  EXPECT_FLOAT_EQ(g_vals.value2, 42.5f);
}

TEST_F(Modbus, AMultipleWritePassesOverLaterUnknownValuesAndStopsAtOtherFailures) {
  listVals();
  // Registers 2552..2554: float parameters 0 and 1 around code 1250, which only an APRGD2 has.
  EXPECT_EQ(ask({16, 0x09, 0xF8, 0x00, 0x03, 0x06, 0x00, 0x05, 0x00, 0x06, 0x00, 0x07}),
            PcModbusFrame({1, 16, 0x09, 0xF8, 0x00, 0x03}));
  EXPECT_FLOAT_EQ(readFloatAt(2552), 5.0f);
  EXPECT_FLOAT_EQ(readFloatAt(2554), 7.0f);
  // The unknown value first: exception 2, nothing written.
  EXPECT_EQ(ask({16, 0x09, 0xF9, 0x00, 0x02, 0x04, 0x00, 0x09, 0x00, 0x09}), exception(16, 2));
  EXPECT_FLOAT_EQ(readFloatAt(2554), 7.0f);
  // A value out of its limits (-32768): exception 3; the earlier value stays written.
  EXPECT_EQ(ask({16, 0x09, 0xF8, 0x00, 0x03, 0x06, 0x00, 0x08, 0x00, 0x00, 0x80, 0x00}),
            exception(16, 3));
  EXPECT_FLOAT_EQ(readFloatAt(2552), 8.0f);
  EXPECT_FLOAT_EQ(readFloatAt(2554), 7.0f);
}

TEST_F(Modbus, WritesFromAPcToolMarkTheStatusByte) {
  listVals();
  struct Case {
    int channel;
    bool running;
    uint8_t marks;
  } cases[] = {
      {2, true, FW_STAT_CHANGED},
      {2, false, FW_STAT_CHANGED | FW_STAT_REWRITE},
      {3, true, FW_STAT_CHANGED},
      {1, false, FW_STAT_REWRITE},
      {1, true, 0},
  };
  for (const Case& c : cases) {
    g_fwRunMode = c.running ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
    FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
    const Bytes a = ask({6, 0x01, 0x70, 0x00, 3}, c.channel);
    ASSERT_EQ(a.size(), 8u) << c.channel;
    EXPECT_EQ(FW_SysStatus() & (FW_STAT_CHANGED | FW_STAT_REWRITE), c.marks)
        << "channel " << c.channel << (c.running ? " running" : " stopped");
  }
  // A refused write marks nothing.
  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
  EXPECT_EQ(ask({6, 0x00, 0x00, 0x00, 3}), exception(6, 2));
  EXPECT_EQ(FW_SysStatus() & (FW_STAT_CHANGED | FW_STAT_REWRITE), 0);
}

TEST_F(Modbus, TheDownloadWordEntersAndLeavesTheDownloadState) {
  const Bytes et = {0x01, 0x06, 0x00, 0x1F, 0x45, 0x54, 0x8B, 0x63};
  const Bytes go = {0x01, 0x06, 0x00, 0x1F, 0x12, 0x34, 0xB5, 0x7B};
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(serveBinary(et), (Bytes{0x01, 0x86, 0x07, 0x03, 0xA2})) << "not while running";
  EXPECT_EQ(COM_LinkDeviceMode(), FW_DEVICE_ENGINEERING);
  g_fwRunMode = FW_RUN_MODE_STOP;
  FW_SysImage()[FW_SYS_RUN_MODE] = FW_RUN_MODE_RUN;
  EXPECT_EQ(serveBinary(et), et);
  EXPECT_EQ(COM_LinkDeviceMode(), FW_DEVICE_SERVICE);
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_STOP);
  EXPECT_EQ(g_comModbus.transferFlag, 1);
  EXPECT_TRUE(FW_SysStatus() & FW_STAT_STOPPED);
  EXPECT_EQ(FW_SysImage()[FW_SYS_RUN_MODE], FW_RUN_MODE_STOP);
  EXPECT_GT(FW_EepromPending(), 0);
  // "DL" keeps the download state: register 31 has no value.
  EXPECT_EQ(ask({6, 0x00, 0x1F, 0x44, 0x4C}), exception(6, 2));
  EXPECT_EQ(COM_LinkDeviceMode(), FW_DEVICE_SERVICE);
  // Any other word: answered first, then the firmware is to start with the new engineering.
  EXPECT_EQ(serveBinary(go), go);
  EXPECT_EQ(COM_LinkDeviceMode(), FW_DEVICE_ENGINEERING);
  EXPECT_EQ(SimState().haltFlag, 1);
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_STOP);
  EXPECT_EQ(g_comModbus.transferFlag, 0);
  // Outside the download state the same word is an ordinary write of a register without value.
  SimState().haltFlag = 0;
  EXPECT_EQ(serveBinary(go), (Bytes{0x01, 0x86, 0x02, 0xC3, 0xA1}));
  EXPECT_EQ(SimState().haltFlag, 0);
  // "FU" enters the download state whatever the run mode, through function 16 as well.
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(ask({16, 0x00, 0x1F, 0x00, 0x01, 0x02, 0x46, 0x55}),
            PcModbusFrame({1, 16, 0x00, 0x1F, 0x00, 0x01}));
  EXPECT_EQ(COM_LinkDeviceMode(), FW_DEVICE_SERVICE);
  EXPECT_EQ(g_comModbus.transferFlag, 0);
}

// Function 23 with a request of the character protocol in its write data: the three prefix
// bytes, the text, zero bytes up to the byte count.
Bytes readWrite(uint16_t readQuantity, std::string text, uint16_t writeQuantity = 0) {
  if (writeQuantity == 0) writeQuantity = static_cast<uint16_t>((text.size() + 1) / 2);
  text.resize(2u * writeQuantity, '\0');
  Bytes body{23, 0, 0, static_cast<uint8_t>(readQuantity >> 8), static_cast<uint8_t>(readQuantity),
             0, 0, static_cast<uint8_t>(writeQuantity >> 8), static_cast<uint8_t>(writeQuantity),
             static_cast<uint8_t>(2 * writeQuantity)};
  body.insert(body.end(), text.begin(), text.end());
  return ask(body);
}

std::string dataOf(const Bytes& answer) {
  if (answer.size() < 5 || answer[1] != 23) return "<exception>";
  return std::string(answer.begin() + 3, answer.begin() + 3 + answer[2]);
}

TEST_F(Modbus, FunctionTwentyThreeCarriesTheCharacterProtocol) {
  // A write: byte count 2 and one register 0.
  EXPECT_EQ(readWrite(1, "xxx01,100,10=2.5"), PcModbusFrame({1, 23, 2, 0, 0}));
  EXPECT_EQ(read(100, 0x01, 0x10), "01=2.5");
  // A read: the text without STX, ETX and BCC, padded with blanks to the registers asked for.
  EXPECT_EQ(dataOf(readWrite(5, "xxx01,100,10")), "01=2.5    ");
  // A text longer than that goes whole; the identification is made even by a trailing blank.
  const std::string ident = read(-1, 0x18);
  ASSERT_EQ(ident.size() % 2, 1u);
  EXPECT_EQ(dataOf(readWrite(1, "xxx18")), ident + " ");
  // Failures: the read and write results of the character protocol as exceptions.
  EXPECT_EQ(readWrite(1, "xxx01,101,10"), exception(23, 3)) << "'j'";
  EXPECT_EQ(readWrite(1, "xxx9A,100,10=1"), exception(23, 2)) << "'i'";
  EXPECT_EQ(readWrite(3, "xxx01,100,10=2.5"), exception(23, 3)) << "read quantity of a write";
  EXPECT_EQ(readWrite(0, "xxx01,100,10"), exception(23, 3)) << "no register to read";
  EXPECT_EQ(readWrite(1, "xx=1"), exception(23, 3)) << "a write of too few registers";
  EXPECT_EQ(readWrite(1, "x18"), exception(23, 3)) << "a read of too few registers";
}

TEST_F(Modbus, AnOddRecordAnswerGetsItsZeroInFrontOfTheSubIndex) {
  ASSERT_EQ(FB_CreateInstance(kVals, 1000), FB_OK);
  ASSERT_EQ(FB_CreateInstance(kVals, 5), FB_OK);
  for (const char* block : {"5", "1000"}) {
    for (const char* sub : {"0", "10"}) {
      const std::string request = std::string("B1,") + block + "," + sub;
      const std::string text = shown(serve(2, [&] {
        Bytes f{COM_EOT, '0', '0'};
        f.insert(f.end(), request.begin(), request.end());
        f.push_back(COM_ENQ);
        return f;
      }()));
      ASSERT_EQ(text.substr(0, request.size() + 1), request + "=");
      const size_t at = std::strlen(block) + 4;   // after "B1,<block>,"
      const std::string expected =
          text.size() % 2 ? text.substr(0, at) + "0" + text.substr(at) : text;
      EXPECT_EQ(dataOf(readWrite(1, "xxx" + request)), expected) << request;
    }
  }
}

// The answer of the character protocol to a read request text, between STX and ETX.
std::string characterAnswer(const std::string& request) {
  Bytes f{COM_EOT, '0', '0'};
  f.insert(f.end(), request.begin(), request.end());
  f.push_back(COM_ENQ);
  return shown(serve(COM_PC_CHANNEL, f));
}

// What a reader takes from an answer text: the code, and the block and the sub-index as
// numbers where the text names them before its "=", then the values after it without the
// blanks that pad the registers.
struct Reading {
  std::string code;
  long block = -1;
  long sub = -1;
  std::string values;
  bool operator==(const Reading&) const = default;
};
Reading readingOf(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  Reading r;
  const size_t eq = text.find('=');
  if (eq == std::string::npos) {
    r.values = text;
    return r;
  }
  r.values = text.substr(eq + 1);
  const std::string address = text.substr(0, eq);
  const size_t first = address.find(',');
  r.code = address.substr(0, first);
  if (first == std::string::npos) return r;
  const size_t second = address.find(',', first + 1);
  r.block = std::stol(address.substr(first + 1, second - first - 1));
  if (second != std::string::npos) r.sub = std::stol(address.substr(second + 1), nullptr, 16);
  return r;
}

TEST_F(Modbus, EveryFunctionTwentyThreeReadAnswerReadsAsTheCharacterProtocolsAnswer) {
  std::memcpy(FW_SysImage() + 14, "1230-A", 6);
  COM_Init();
  for (uint16_t block : {5, 12, 1000}) ASSERT_EQ(FB_CreateInstance(kVals, block), FB_OK);
  struct Case {
    const char* request;
    const char* written;  // written to the same address first, where given
  } cases[] = {
      {"01,100,10", "47.125"}, {"01,100,10", "39.784"}, {"01,100,10", "1.125"},
      {"01,100,10", "12.25"},  {"01,100,10", "1.25"},   {"01,100,10", "123.5"},
      {"01,100,10", "12.5"},   {"01,100,10", "-1.5"},   {"01,100,10", "2."},
      {"01,100,10", "-0.25"},  {"01,100,10", "999999"}, {"01,100,12", "10"},
      {"01,100,12", "7"},      {"01,100,5", nullptr},   {"11,100,0", nullptr},
      {"01,100,20", nullptr},  {"18", nullptr},         {"92", nullptr},
      {"00,100,30", nullptr},  {"00,100,10", nullptr},  {"20,0,2", nullptr},
      {"B1,0,10", nullptr},    {"B1,5,0", nullptr},     {"B1,5,10", nullptr},
      {"B1,12,0", nullptr},    {"B1,12,10", nullptr},   {"B1,100,0", nullptr},
      {"B1,100,10", nullptr},  {"B4,100,0", nullptr},   {"B1,1000,0", nullptr},
      {"B1,1000,10", nullptr}, {"B4,120,0", nullptr},
  };
  bool odd = false, even = false;
  for (const Case& c : cases) {
    if (c.written) {
      const std::string request = c.request;
      const size_t at = request.find(',');
      const size_t sub = request.find(',', at + 1);
      ASSERT_EQ(write(std::stoi(request.substr(at + 1, sub - at - 1)),
                      static_cast<uint16_t>(std::stoi(request.substr(0, at), nullptr, 16)),
                      std::stoi(request.substr(sub + 1), nullptr, 16), c.written),
                "ACK")
          << c.request << "=" << c.written;
    }
    const std::string text = characterAnswer(c.request);
    ASSERT_NE(text, "NAK") << c.request;
    const uint32_t length = static_cast<uint32_t>(text.size());
    (length % 2 ? odd : even) = true;
    // Read quantities below, at and above the text's length.
    for (uint32_t quantity : {1u, (length - 1) / 2, (length + 1) / 2, (length + 1) / 2 + 3}) {
      if (quantity == 0) continue;
      const std::string data =
          dataOf(readWrite(static_cast<uint16_t>(quantity), "xxx" + std::string(c.request)));
      const uint32_t count = std::max(length, 2 * quantity);
      EXPECT_EQ(data.size(), count + count % 2) << c.request << " quantity " << quantity;
      const Reading got = readingOf(data), want = readingOf(text);
      EXPECT_TRUE(got == want) << c.request << " quantity " << quantity << ": \"" << data
                               << "\" reads otherwise than \"" << text << "\"";
    }
  }
  EXPECT_TRUE(odd && even) << "the table holds answers of both lengths";
}

TEST_F(Modbus, FunctionTwentyThreeRefusesBadQuantitiesAndTextsAndChangesNothing) {
  EXPECT_EQ(write(100, 0x01, 0x10, "47.125"), "ACK");
  const std::string before = read(100, 0x01, 0x10);
  ASSERT_EQ(before, "01=47.125");
  // Read quantities: none, one whose answer does not fit the answer buffer, and the largest
  // that does, blank-padded.
  EXPECT_EQ(readWrite(0, "xxx01,100,10"), exception(23, 3));
  EXPECT_EQ(readWrite(127, "xxx01,100,10"), exception(23, 4));
  EXPECT_EQ(dataOf(readWrite(126, "xxx01,100,10")), before + std::string(252 - before.size(), ' '));
  // Write texts of odd and even length: those the character protocol refuses, and those past
  // the byte count's limit, give their exceptions and leave the value.
  const std::string address = "xxx01,100,10=";
  struct Case {
    std::string text;
    Bytes answer;
  } cases[] = {
      {address + "1000000", exception(23, 3)},                  // 't', 20 characters
      {address + "1000000.", exception(23, 3)},                 // 't', 21 characters
      {address + "2.5x", exception(23, 4)},                     // 'u', 17 characters
      {address + "12" + std::string(227, '0'), exception(23, 3)},   // 't', at the limit
      {address + "12" + std::string(226, '0'), exception(23, 3)},   // 't', odd, at the limit
      {address + "12" + std::string(228, '0'), exception(23, 3)},   // past the byte count's limit
      {"xxx01,100,10" + std::string(231, '0'), exception(23, 3)},   // a read past the limit
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readWrite(1, c.text), c.answer) << c.text.size() << " characters";
    EXPECT_EQ(read(100, 0x01, 0x10), before) << c.text.size() << " characters";
  }
  // Accepted writes of both lengths answer one register of 0 and read back as written.
  for (const char* value : {"2.25", "2.5"}) {
    EXPECT_EQ(readWrite(1, address + value), PcModbusFrame({1, 23, 2, 0, 0})) << value;
    EXPECT_EQ(read(100, 0x01, 0x10), std::string("01=") + value);
  }
}

}  // namespace
}  // namespace commtest
