// Records and lists of the character protocol: reads of whole records (sets, values, data
// requests, wiring, tables, extra data) and written lists with their faults and the bad
// index as a position in the text.
#include <gtest/gtest.h>

#include <string>

#include "comm_fixture.h"
#include "runtime/fb_blockdata.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"

namespace commtest {
namespace {

TEST_F(CommTest, RecordsAreReadInTheRecordLayout) {
  EXPECT_EQ(read(100, 0xB1, 0x00), "B1,100,0=20,4,1.5,-0.25,999999.,12.,2,5,7");
  EXPECT_EQ(read(100, 0xB1, 0x10), "B1,100,10=20,1,3.,2,3,4");
  EXPECT_EQ(read(100, 0xB4, 0x00), "B4,100,0=20,0,8,0,0,1,0,0,1,0,0") << "the wiring";
  EXPECT_EQ(read(120, 0xB4, 0x00), "B4,120,0=120,0,4,0,0,0,0");
  EXPECT_EQ(read(0, 0xB1, 0x10), "B1,0,10=0,0,9,0,0,0,0,0,0,0,0,0") << "block 0's settings";
  const std::string table = read(100, 0xB2, 0x80);
  EXPECT_EQ(table.substr(0, 29), "B2,100,80=20,0,32,86,65,76,83") << "the text table as bytes";

  // The data requests only while running.
  EXPECT_EQ(read(100, 0xB3, 0x01), "NAK");
  EXPECT_EQ(results().read, FB_ERR_NOT_NOW);
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(read(100, 0xB3, 0x01), "B3,100,1=20,1,0.,1,0");
  EXPECT_EQ(read(100, 0xB3, 0x80), "B3,100,80=20,1,0.5,2,11,22") << "the type's own record";
}

TEST_F(CommTest, ARecordThatDoesNotFitTheAnswerIsRefused) {
  // Fifty floats of ten characters each: far more than an answer holds.
  static float many[50];
  for (float& f : many) f = -29999.125f;
  static const FbTemplate kWide{.size = 0, .type = 30, .floatParams = many};
  rt::registerType(kWide);
  ASSERT_EQ(FB_CreateInstance(30, 130), FB_OK);
  EXPECT_EQ(read(130, 0xB1, 0x00), "NAK");
  EXPECT_EQ(results().read, FB_ERR_NO_ROOM);
  EXPECT_LE(COM_FrameBuffers(2)->txLength, COM_TX_SIZE);
}

TEST_F(CommTest, AWrittenRecordBecomesAWholeSet) {
  EXPECT_EQ(write(100, 0xB1, 0x00, "20,4,1.,2.,-3.5,4,2,1,2"), "ACK");
  EXPECT_EQ(read(100, 0xB1, 0x00), "B1,100,0=20,4,1.,2.,-3.5,4.,2,1,2");
  EXPECT_EQ(write(100, 0xB1, 0x10, "20,1,6.5,2,0,9"), "ACK");
  EXPECT_EQ(read(100, 0xB1, 0x10), "B1,100,10=20,1,6.5,2,0,9");
}

TEST_F(CommTest, WrittenListFaultsGiveTheirResultAndPosition) {
  struct Case {
    std::string list;
    uint8_t result;
    uint16_t badIndex;
  } cases[] = {
      {"21,4,1.,2.,3.,4.,2,1,2", FB_ERR_NOT_NOW, 0},         // another type
      {"20,4,1.,2.,3.,4.,2,1,25", FB_ERR_LIMITS, 9},         // word 2 above its limit
      {"20,4,1.,2.,3.,4.,1,1", FB_ERR_COUNT_Y, 0},           // the set's counts
      {"20,4,1.,2.", FB_ERR_COUNT_Y, 0},                     // breaks off
      {"20,4,1.,2.,3.,4.,2,1", FB_ERR_COUNT_Y, 0},
      {"20,1,1.5;2,1,2", COM_ERR_SEPARATOR_Q, 0},
      {"20,26,1.", FB_ERR_COUNT_Z, 0},
      {"20,0,39", FB_ERR_COUNT_Y, 0},
      {"40000,0,0", COM_ERR_LIST_INDEX, 0},
      {"20;0,0", COM_ERR_LIST_INDEX, 0},
      {"20,x,0", COM_ERR_LIST_FLOATS, 0},
      {"20,0,x", COM_ERR_LIST_COUNT, 0},
      {"20,1,1000000.,0", COM_ERR_NUMBER_T, 0},
      {"20,1,abc,0", COM_ERR_NUMBER_T, 0},
      {"20,0,1,-5", FB_ERR_LIMITS, 0},
      {"20,0,0,5", COM_ERR_FRAME_END, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(write(100, 0xB1, 0x00, c.list), "NAK") << c.list;
    EXPECT_EQ(results().write, c.result) << c.list;
    EXPECT_EQ(results().badIndex, c.badIndex) << c.list;
  }
  EXPECT_EQ(read(100, 0xB1, 0x00), "B1,100,0=20,4,1.5,-0.25,999999.,12.,2,5,7")
      << "nothing changed";
}

TEST_F(CommTest, TextTablesAndExtraDataAreWrittenAsLists) {
  const std::string a = "first text 16 ch", b = "second text 16 c";
  EXPECT_EQ(write(100, 0xB2, 0x80, "20,0,2," + a + "," + b), "ACK");
  EXPECT_EQ(read(100, 0x01, 0x20), "01=" + a);
  EXPECT_EQ(read(100, 0x02, 0x20), "02=" + b);
  EXPECT_EQ(write(100, 0xB2, 0x80, "20,0,1," + a), "NAK") << "the table has two texts";
  EXPECT_EQ(results().write, FB_ERR_COUNT_Y);
  EXPECT_EQ(write(100, 0xB2, 0x80, "20,0,14"), "NAK");
  EXPECT_EQ(results().write, FB_ERR_COUNT_Y);
  EXPECT_EQ(write(100, 0xB2, 0x80, "20,1,2"), "NAK");
  EXPECT_EQ(results().write, FB_ERR_COUNT_Z);
  EXPECT_EQ(write(100, 0xB2, 0x80, "20,0,2," + a + ",short"), "NAK");
  EXPECT_EQ(results().write, FB_ERR_COUNT_Y);

  EXPECT_EQ(write(100, 0xB2, 0x85, "20,0,3,1,2,300"), "NAK");
  EXPECT_EQ(results().write, COM_ERR_NUMBER_R);
  EXPECT_EQ(write(100, 0xB2, 0x85, "20,0,58"), "NAK");
  EXPECT_EQ(results().write, FB_ERR_COUNT_Y);
  EXPECT_EQ(write(100, 0xB2, 0x85, "20,0,3,1,2,3"), "ACK");
  EXPECT_EQ(read(100, 0xB2, 0x85), "B2,100,85=20,0,4,1,2,3,0") << "padded to whole words";
  EXPECT_EQ(write(100, 0xB2, 0x85, "20,0,1,1"), "NAK") << "the block has its record";
  EXPECT_EQ(results().write, FB_ERR_NOT_NOW);

  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(write(100, 0xB2, 0x80, "20,0,2," + b + "," + a), "NAK") << "not while running";
  EXPECT_EQ(results().write, FB_ERR_NOT_NOW);
}

TEST_F(CommTest, BlockZerosTextIsASingleTextList) {
  const std::string text = "device text 16 c";
  EXPECT_EQ(write(0, 0xB2, 0x82, "0,0,1," + text), "ACK");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(FW_SysImage() + FW_SYS_TEXT4082), 16), text);
  const std::string answer = read(0, 0xB2, 0x82);
  EXPECT_EQ(answer.substr(0, 20), "B2,0,82=0,0,16,100,1") << "d = 100, e = 101";
  EXPECT_EQ(write(0, 0xB2, 0x82, "0,0,2," + text + "," + text), "NAK");
  EXPECT_EQ(results().write, FB_ERR_COUNT_Y);
}

TEST_F(CommTest, BlocksAreCreatedAndWiredWithTheWiringList) {
  EXPECT_EQ(write(101, 0xB4, 0x00, "20,0,8,1,0,1,100,1,1,100,1"), "ACK");
  ASSERT_NE(FB_GetInstance(101), nullptr);
  EXPECT_EQ(read(101, 0xB4, 0x00), "B4,101,0=20,0,8,1,0,1,100,1,1,100,1");
  EXPECT_EQ(write(102, 0xB4, 0x00, "20,0,8,16,0,1,0,0,1,0,0"), "NAK") << "time group 16";
  EXPECT_EQ(results().write, FB_ERR_LIMITS);
  EXPECT_EQ(results().badIndex, 4) << "the group is the fourth field";
  g_fwSys.deviceFlags = 0x02;  // a load-and-check is under way
  EXPECT_EQ(write(102, 0xB4, 0x00, "20,0,8,1,0,1,0,0,1,0,0"), "NAK");
  EXPECT_EQ(results().write, FB_ERR_NOT_NOW);
}

}  // namespace
}  // namespace commtest
