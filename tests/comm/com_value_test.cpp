// Value access by (block, id): which module answers each id, under which conditions, and how
// a read value is widened by the length its handler reports.
#include <gtest/gtest.h>

#include "comm/com_value.h"
#include "comm_fixture.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"

namespace commtest {
namespace {

uint8_t access(uint16_t block, int16_t id, bool running = false, bool loaded = true,
               uint16_t type = kVals, uint16_t source = COM_SOURCE_ASCII) {
  g_fwRunMode = running ? FW_RUN_MODE_RUN : FW_RUN_MODE_STOP;
  FW_SysStatus() = loaded ? FW_STAT_LOADED | FW_STAT_CHECKED : 0;
  ComValueAccess a;
  COM_ValueBegin(&a, block, id);
  a.request.setF32(FB_REQUEST_VALUE, 1.0f);
  if (id >= 4000 && id <= 4019) a.request.setU16(6, type);  // the type a set names
  return id <= 0 ? COM_AsciiReadValue(&a, source) : COM_AsciiWriteValue(&a, source);
}

TEST_F(CommTest, EachIdGoesWhereItBelongsUnderItsConditions) {
  struct Case {
    uint16_t block;
    int16_t id;
    bool running;
    bool loaded;
    uint8_t result;
    int handlerCalls;  // calls of the block type's parameter handler
  } cases[] = {
      // Reads.
      {0, 0, false, true, FB_OK, 0},                    // system datum 0
      {0, -500, false, false, FB_OK, 0},                 // system data need no engineering
      {100, -2, false, true, FB_OK, 1},
      {100, -2, false, false, FB_ERR_ABSENT, 0},         // ids 0..999 need the engineering
      {100, -1000, false, true, FB_OK, 0},               // block data
      {100, -2000, false, true, FB_OK, 0},
      {101, -1000, false, true, FB_ERR_NO_BLOCK, 0},
      {100, -4100, false, true, FB_ERR_NOT_NOW, 0},      // data requests only while running
      {100, -4100, true, true, FB_OK, 0},
      {100, -4180, true, true, FB_OK, 1},                // the type's own record
      {100, -4180, false, true, FB_ERR_NOT_NOW, 0},
      {100, -4110, true, true, FB_ERR_UNKNOWN_ID, 0},    // block 0's only
      {100, -4300, false, true, FB_ERR_UNKNOWN_ID, 0},
      // Writes.
      {100, 2, false, true, FB_OK, 1},
      {100, 2, false, false, FB_ERR_NOT_NOW, 0},
      {100, 1000, true, true, FB_OK, 1},
      {100, 3000, true, true, FB_ERR_NOT_NOW, 0},        // configuration while running
      {100, 3050, false, true, FB_OK, 1},
      {100, 4010, true, true, FB_ERR_NOT_NOW, 0},
      {100, 4000, false, true, FB_ERR_COUNT_Y, 1},       // the handler checks the counts
      {100, 1100, false, true, FB_ERR_UNKNOWN_ID, 0},    // block data: no such request
      {100, 2000, true, true, FB_ERR_NOT_NOW, 0},
      {0, 4120, false, true, FB_ERR_NOT_NOW, 0},         // I/O card settings without engineering
      {0, 4120, false, false, FB_ERR_COUNT_Y, 0},        // ... reach the system data, which checks the counts
      {100, 4120, false, false, FB_ERR_UNKNOWN_ID, 0},
      {0, 4200, false, true, FB_ERR_NOT_NOW, 0},
      {100, 4085, true, true, FB_ERR_NOT_NOW, 0},
      {100, 4300, false, true, FB_ERR_UNKNOWN_ID, 0},
  };
  for (const Case& c : cases) {
    g_vals.calls = 0;
    EXPECT_EQ(access(c.block, c.id, c.running, c.loaded), c.result) << c.block << " " << c.id;
    EXPECT_EQ(g_vals.calls, c.handlerCalls) << c.block << " " << c.id;
  }
  EXPECT_EQ(access(100, 4000, false, true, 21), FB_ERR_NOT_NOW) << "a set for another type";
}

TEST_F(CommTest, TheEditAccessRefusalDependsOnTheProtocol) {
  FW_PasswordSet("secret");
  g_fwLogin.access = FW_ACCESS_LOCKED;
  FW_SysImage()[FW_SYS_LOGIN_LEVEL] = 3;
  EXPECT_EQ(access(0, 3002, false, true, 0, COM_SOURCE_ASCII), FB_ERR_NOT_NOW);
  EXPECT_EQ(access(0, 3002, false, true, 0, COM_SOURCE_MODBUS), FB_ERR_ABSENT);
  EXPECT_EQ(access(0, -3002, false, true, 0, COM_SOURCE_ASCII), FB_ERR_ABSENT);
  // Modbus may still read block 0's status byte (item 0); the ASCII protocol may not.
  EXPECT_EQ(access(0, 0, false, true, 0, COM_SOURCE_MODBUS), FB_OK);
  EXPECT_EQ(access(0, 0, false, true, 0, COM_SOURCE_ASCII), FB_ERR_ABSENT);
  EXPECT_EQ(access(101, -1000), FB_ERR_NO_BLOCK) << "a missing block is not refused, but absent";
}

TEST_F(CommTest, AReadValueIsWidenedByItsReportedLength) {
  struct Case {
    uint16_t length;
    uint32_t bytes;  // at request offset 4
    ComValueKind kind;
    bool ok;
    double value;
  } cases[] = {
      {1, 0xFFFFFF04u, ComValueKind::Float, true, 4.0},
      {2, 0x0000FFFEu, ComValueKind::Float, true, -2.0},
      {2, 0x0000FFFEu, ComValueKind::Integer, true, -2.0},
      {4, 0x3FC00000u, ComValueKind::Float, true, 1.5},
      {4, 0xFFFFFFFEu, ComValueKind::Integer, true, -2.0},     // a 32-bit integer
      {0, 0x3FC00000u, ComValueKind::Float, true, 1.5},        // not reported: the kind's width
      {0, 0x00000105u, ComValueKind::Status, true, 5.0},
      {0, 0x00008001u, ComValueKind::Integer, true, -32767.0},
      {3, 0, ComValueKind::Float, false, 0},
      {4, 0, ComValueKind::Text, false, 0},
      {4, 0, ComValueKind::None, false, 0},
  };
  for (const Case& c : cases) {
    ComValueAccess a;
    COM_ValueBegin(&a, 0, 0);
    a.request.setU32(FB_REQUEST_VALUE, c.bytes);
    a.length = c.length;
    double v = 0;
    EXPECT_EQ(COM_ReadNumber(a, c.kind, &v), c.ok) << c.length;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.length;
    }
  }
}

TEST(ValueKinds, TheIdSaysHowAValueIsCoded) {
  struct Case {
    uint32_t id;
    ComValueKind kind;
  } cases[] = {
      {0, ComValueKind::Status},    {1, ComValueKind::Status},    {2, ComValueKind::Float},
      {9, ComValueKind::Status},    {179, ComValueKind::Float},   {180, ComValueKind::None},
      {300, ComValueKind::Float},   {479, ComValueKind::Float},   {500, ComValueKind::Integer},
      {679, ComValueKind::Integer}, {680, ComValueKind::None},    {1000, ComValueKind::Float},
      {1250, ComValueKind::Integer}, {2000, ComValueKind::Text},  {2026, ComValueKind::Text},
      {2027, ComValueKind::None},   {3049, ComValueKind::Integer}, {3050, ComValueKind::Float},
      {3099, ComValueKind::Float},  {4000, ComValueKind::None},
  };
  for (const Case& c : cases) EXPECT_EQ(COM_ValueKind(c.id), c.kind) << c.id;
}

}  // namespace
}  // namespace commtest
