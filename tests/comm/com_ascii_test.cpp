// The character protocol served on the channels' frame buffers: the grammar and its result
// codes, the requests without block, the codings of read values, block data and the error
// information, the write lock and the status bits of interface writes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "comm/com_ascii.h"
#include "comm/com_links.h"
#include "comm_fixture.h"
#include "runtime/fw_login.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysdata.h"
#include "runtime/fw_sysimage.h"

namespace commtest {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kWriteF = {0x04, 0x30, 0x30, 0x02, 0x39, 0x38, 0x3D, 0x46, 0x03, 0x79};
const Bytes kWriteU = {0x04, 0x30, 0x30, 0x02, 0x39, 0x38, 0x3D, 0x55, 0x03, 0x6A};
const Bytes kRead98 = {0x04, 0x30, 0x30, 0x39, 0x38, 0x05};
const Bytes kAnswerF = {0x02, 0x39, 0x38, 0x3D, 0x46, 0x03, 0x79};
const Bytes kAck = {0x06};
const Bytes kNak = {0x15};

TEST_F(CommTest, TheDownloadHandshakeRunsOnlyOnThePcToolChannel) {
  EXPECT_EQ(serve(2, kWriteF), kAck);
  EXPECT_EQ(serve(2, kRead98), kAnswerF);
  EXPECT_EQ(serve(2, kRead98), kAnswerF) << "the confirmation may be read again";
  EXPECT_EQ(COM_LinkDeviceMode(), FW_DEVICE_ENGINEERING);
  EXPECT_EQ(serve(2, kWriteU), kAck);
  EXPECT_EQ(COM_LinkDeviceMode(), FW_DEVICE_SERVICE) << "the download state";

  resetComm();
  EXPECT_EQ(serve(1, kWriteF), kNak);
  EXPECT_EQ(results().write, COM_ERR_HANDSHAKE);
  EXPECT_EQ(read(-1, 0x98), "98=B") << "nothing to confirm";
}

TEST_F(CommTest, AHandshakeOutOfOrderIsReportedInTheErrorInformation) {
  EXPECT_EQ(serve(2, kWriteU), kNak);
  const Bytes info = serve(2, PcBuildRead({0x21, 0, 2}));
  const Bytes expected = {0x02, '2', '1', '=', '1', '2', '6', 0x03,
                          static_cast<uint8_t>('2' ^ '1' ^ '=' ^ '1' ^ '2' ^ '6' ^ 0x03)};
  EXPECT_EQ(info, expected);
  EXPECT_EQ(read(100, 0x01, 0x8A), "NAK");
  EXPECT_EQ(read(0, 0x20, 2), "21=126,22=0,23=107") << "all three in one text";
  EXPECT_EQ(read(0, 0x23, 2), "23=107") << "the information itself is no read result";
  EXPECT_EQ(read(0, 0x22, 2), "22=0");

  // The handshake starts over after a wrong step: F, then U without the confirming read.
  EXPECT_EQ(serve(2, kWriteF), kAck);
  EXPECT_EQ(serve(2, kWriteU), kNak);
  EXPECT_EQ(read(-1, 0x98), "98=B");
}

TEST_F(CommTest, TheIdentificationAndTheVersionAreRequestsWithoutBlock) {
  std::memcpy(FW_SysImage() + 4, "0123456789", 10);
  std::memcpy(FW_SysImage() + 14, "1230-A", 6);
  COM_Init();
  EXPECT_EQ(read(-1, 0x18), "18=23,151230-A,1234");
  EXPECT_EQ(read(-1, 0x92), "92=Sep 23 2019: Version 4.2: ");
  EXPECT_EQ(read(-1, 0x17), "NAK");
  EXPECT_EQ(results().read, FB_ERR_UNKNOWN_ID);
}

TEST_F(CommTest, ReadValuesAreCodedByTheirKind) {
  FbF32* f;
  ASSERT_TRUE(FB_GetFloatParamPtr(100, 1, &f));
  struct Case {
    uint16_t code;
    int sub;
    float pending;  // float parameter 1's pending copy, where the case sets one
    const char* answer;
  } cases[] = {
      {0x01, 0x10, 1.5f, "01=1.5"},
      {0x01, 0x10, -0.25f, "01=-0.25"},
      {0x01, 0x10, 2500000.0f, "01=999999."},
      {0x01, 0x10, -2500000.0f, "01=-999999."},
      {0x01, 0x10, 12.0f, "01=12."},
      {0x01, 0x10, -32000.0f, "01=-32000."},
      {0x01, 0x10, 0.0004f, "01=0."},
      {0x01, 0x10, -0.0004f, "01=0."},
      {0x01, 0x10, 999999.9f, "01=999999."},
      {0x01, 0x10, 0.0626f, "01=0.063"},
      {0x01, 0x12, 0, "01=5"},                  // word parameter 1250
      {0x01, 0x20, 0, "01=VALS            "},   // text 2000, blank-padded
      {0x01, 0x30, 0, "01=3"},                  // word value 3000
      {0x01, 0x31, 0, "01=3."},                 // 4-byte value 3050
      {0x11, 0x00, 0, "11=E"},                  // id 9: the status byte 5
      {0x03, 0x00, 0, "03=12."},                // id 2: a float from the handler
      {0x25, 0x03, 0, "25=4."},                 // id 322: one byte, widened
      {0x01, 0x05, 0, "01=-1234"},              // id 500: a 16-bit integer
  };
  for (const Case& c : cases) {
    f[4] = c.pending;  // the pending copy follows the four current values
    EXPECT_EQ(read(100, c.code, c.sub), c.answer) << c.answer;
  }
  EXPECT_EQ(results().read, 0);
}

TEST_F(CommTest, BlockDataAnswersTheReadableValuesOfNineCodes) {
  EXPECT_EQ(read(100, 0x00, 0x10), "01=1.5,02=-0.25,03=999999.,04=12.");
  EXPECT_EQ(read(100, 0x00, 0x30), "01=3,02=4");
  // Id 0..8 through the handler: only ids 2 (a float) answer.
  EXPECT_EQ(read(100, 0x00, 0x00), "03=12.");
  EXPECT_EQ(read(100, 0x10, 0x00), "11=E") << "id 9, the first of the second group";
  EXPECT_EQ(read(100, 0x20, 0x00), "NAK") << "nothing readable";
  EXPECT_EQ(results().read, FB_ERR_UNKNOWN_ID);
}

TEST_F(CommTest, RequestGrammarFaultsGiveTheirResultCodes) {
  auto frame = [](std::string text) { return Bytes(text.begin(), text.end()); };
  struct Case {
    Bytes frame;
    uint8_t readResult;
    uint8_t writeResult;
  } cases[] = {
      {frame("\x04" "009A,100\x05"), FB_ERR_UNKNOWN_ID, 0},
      {frame("\x04" "001,100\x05"), FB_ERR_UNKNOWN_ID, 0},
      {frame("\x04" "0001,1951\x05"), FB_ERR_NO_BLOCK, 0},
      {frame("\x04" "0001,\x05"), FB_ERR_NO_BLOCK, 0},
      {frame("\x04" "0001,100x\x05"), FB_ERR_NO_BLOCK, 0},
      {frame("\x04" "0001,100,8A\x05"), FB_ERR_SUBINDEX, 0},
      {frame("\x04" "0001,100,\x05"), FB_ERR_SUBINDEX, 0},
      {frame("\x04" "0098\x05" "A"), COM_ERR_FRAME_END, 0},
      {frame("\x04" "0001,100,10\x05\x05"), COM_ERR_FRAME_END, 0},
      {frame("\x04" "0001,100,7\x05"), FB_ERR_UNKNOWN_ID, 0},   // nothing mapped there
      {frame(""), FB_ERR_UNKNOWN_ID, 0},
  };
  for (const Case& c : cases) {
    g_comAscii.results = {};
    EXPECT_EQ(serve(2, c.frame), kNak);
    EXPECT_EQ(results().read, c.readResult);
  }
  // A write frame without STX, and one whose check byte is wrong.
  Bytes noStx = {0x04, 0x30, 0x30, 0x39, 0x38, 0x3D, 0x46, 0x03, 0x79};
  EXPECT_EQ(serve(2, noStx), kNak);
  EXPECT_EQ(results().write, COM_ERR_NO_STX);
  Bytes badBcc = PcBuildWrite({0x01, 100, 0x10}, "2");
  badBcc.back() ^= 1;
  EXPECT_EQ(serve(2, badBcc), kNak);
  EXPECT_EQ(results().write, COM_ERR_BCC);
}

TEST_F(CommTest, WrittenValuesAreCheckedByTheirKind) {
  struct Case {
    uint16_t code;
    int sub;
    std::string value;
    uint8_t result;  // 0: ACK
  } cases[] = {
      {0x01, 0x10, "2.5", 0},
      {0x01, 0x10, "-32000", 0},
      {0x01, 0x10, "7.", 0},
      {0x01, 0x10, "-30000", COM_ERR_NUMBER_T},
      {0x01, 0x10, "1000000", COM_ERR_NUMBER_T},
      {0x01, 0x10, "abc", COM_ERR_NUMBER_T},
      {0x01, 0x10, "nan", COM_ERR_NUMBER_T},
      {0x01, 0x10, "1e3", COM_ERR_FRAME_END},
      {0x01, 0x10, "2.5x", COM_ERR_FRAME_END},
      {0x01, 0x12, "7", 0},
      {0x01, 0x12, "40000", FB_ERR_LIMITS},
      {0x01, 0x12, "-1", FB_ERR_LIMITS},
      {0x01, 0x12, "99999999999999999999", FB_ERR_LIMITS},
      {0x01, 0x12, "11", FB_ERR_LIMITS},                  // the type's own limit
      {0x01, 0x20, "new text 16 ch.x", 0},
      {0x01, 0x20, "fifteen chars..", FB_ERR_LIMITS},
      {0x01, 0x20, "seventeen chars..", FB_ERR_LIMITS},
      {0x03, 0x00, "4.5", 0},                              // id 2 through the handler
      {0x0A, 0x10, "1", FB_ERR_UNKNOWN_ID},               // code 0A: nothing mapped
  };
  for (const Case& c : cases) {
    const std::string answer = write(100, c.code, c.sub, c.value);
    EXPECT_EQ(answer, c.result ? "NAK" : "ACK") << c.value;
    EXPECT_EQ(results().write, c.result) << c.value;
  }
  EXPECT_EQ(read(100, 0x01, 0x10), "01=7.");
  EXPECT_EQ(read(100, 0x01, 0x20), "01=new text 16 ch.x");
  EXPECT_EQ(g_vals.value2, 4.5f);

  // Separators of the address part.
  auto raw = [](std::string text) {
    Bytes f = {0x04, '0', '0', 0x02};
    f.insert(f.end(), text.begin(), text.end());
    f.push_back(0x03);
    f.push_back(PcBcc(f.data() + 4, f.size() - 4));
    return f;
  };
  for (const char* text : {"01;100=1", "01,100;1=1", "01,100,10;1"}) {
    EXPECT_EQ(serve(2, raw(text)), kNak);
    EXPECT_EQ(results().write, COM_ERR_SEPARATOR) << text;
  }
}

TEST_F(CommTest, ReadsAndWritesFollowTheEngineeringAndTheRunMode) {
  FW_SysStatus() = 0;   // no engineering
  EXPECT_EQ(read(100, 0x03, 0x00), "NAK");
  EXPECT_EQ(results().read, FB_ERR_ABSENT);
  EXPECT_EQ(write(100, 0x03, 0x00, "1"), "NAK");
  EXPECT_EQ(results().write, FB_ERR_NOT_NOW);

  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(write(100, 0x01, 0x30, "5"), "NAK") << "a word value while running";
  EXPECT_EQ(results().write, FB_ERR_NOT_NOW);
  EXPECT_EQ(write(100, 0x01, 0x20, "sixteen chars..."), "NAK") << "a text while running";
  EXPECT_EQ(write(100, 0x01, 0x10, "3"), "ACK") << "a float parameter goes into the pending copy";
  g_fwRunMode = FW_RUN_MODE_STOP;
  EXPECT_EQ(write(100, 0x01, 0x30, "5"), "ACK");
}

TEST_F(CommTest, TheEditAccessRefusesWritesWithG) {
  FW_PasswordSet("secret");
  g_fwLogin.access = FW_ACCESS_LOCKED;
  FW_SysImage()[FW_SYS_LOGIN_LEVEL] = 1;
  EXPECT_EQ(write(120, 0x01, 0x10, "1"), "NAK");
  EXPECT_EQ(results().write, 103);
  EXPECT_EQ(results().badIndex, 0);
  EXPECT_EQ(write(100, 0x01, 0x10, "1"), "ACK") << "an unprotected type";
  FW_SysImage()[FW_SYS_LOGIN_LEVEL] = 0;
  EXPECT_EQ(write(120, 0x01, 0x10, "1"), "ACK");
}

TEST_F(CommTest, SuccessfulWritesMarkTheStatusByteByChannel) {
  struct Case {
    int channel;
    uint16_t runMode;
    uint8_t status;  // bits 3 and 4 after the write
  } cases[] = {
      {2, FW_RUN_MODE_RUN, FW_STAT_CHANGED},
      {3, FW_RUN_MODE_RUN, FW_STAT_CHANGED},
      {1, FW_RUN_MODE_RUN, 0},
      {2, FW_RUN_MODE_STOP, FW_STAT_CHANGED | FW_STAT_REWRITE},
      {1, FW_RUN_MODE_STOP, FW_STAT_REWRITE},
  };
  for (const Case& c : cases) {
    g_fwRunMode = c.runMode;
    FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
    EXPECT_EQ(write(100, 0x01, 0x10, "2", c.channel), "ACK");
    EXPECT_EQ(FW_SysStatus() & (FW_STAT_CHANGED | FW_STAT_REWRITE), c.status) << c.channel;
  }
  // A refused write marks nothing.
  g_fwRunMode = FW_RUN_MODE_STOP;
  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
  EXPECT_EQ(write(100, 0x01, 0x10, "-30000"), "NAK");
  EXPECT_EQ(FW_SysStatus() & (FW_STAT_CHANGED | FW_STAT_REWRITE), 0);
}

TEST_F(CommTest, TheWriteLockHoldsOnChannelsOneAndThree) {
  FW_SysImage()[FW_SYS_FLAGS38] = 0x10;
  for (int channel : {1, 3}) {
    g_comAscii.results = {};
    EXPECT_EQ(write(100, 0x01, 0x10, "2", channel), "NAK");
    EXPECT_EQ(results().write, 103);
    EXPECT_EQ(read(100, 0x01, 0x10, channel), "01=1.5") << "reads stay open";
  }
  EXPECT_EQ(write(100, 0x01, 0x10, "2", 2), "ACK") << "the PC-tool channel is not locked";
  FW_SysImage()[FW_SYS_FLAGS38] = 0;
  g_fwSys.locks[3] = 1;
  EXPECT_EQ(write(100, 0x01, 0x10, "3", 1), "NAK") << "the operating lock stands for the bit";
}

TEST_F(CommTest, ExtraLeadingEotAreSkipped) {
  Bytes f = {0x04, 0x04, 0x04};
  const Bytes read98 = PcBuildRead({0x01, 100, 0x10});
  f.insert(f.end(), read98.begin(), read98.end());
  EXPECT_EQ(shown(serve(2, f)), "01=1.5");
}

TEST_F(CommTest, ATextMarkedBinaryIsServedAsAModbusFrame) {
  ComFrameBuffers* f = COM_FrameBuffers(2);
  const Bytes read = PcBuildRead({0x18});
  std::memcpy(f->rx, read.data(), read.size());
  f->rxLength = static_cast<uint16_t>(read.size());
  f->rxBinary = 1;
  f->txLength = 7;
  COM_ReceiveFrame(2);
  // Its CRC does not check: the PC-tool channel answers address and function byte only.
  EXPECT_EQ(Bytes(f->tx, f->tx + f->txLength), (Bytes{read[0], read[1]}));
  EXPECT_EQ(COM_FrameBuffers(0), nullptr);
  EXPECT_EQ(COM_FrameBuffers(4), nullptr);
  COM_ReceiveFrame(4);  // no such channel: nothing happens
}

TEST_F(CommTest, FloatsAreFormattedWithoutTheLocaleAndBounded) {
  char text[16];
  EXPECT_EQ(COM_FormatFloat(text, sizeof text, 1.25f, 6, 3), 4u);
  EXPECT_STREQ(text, "1.25");
  EXPECT_EQ(COM_FormatFloat(text, sizeof text, 123.456f, 2, 1), 3u);
  EXPECT_STREQ(text, "99.");
  EXPECT_EQ(COM_FormatFloat(text, 4, 1.25f, 6, 3), 0u) << "does not fit";
  EXPECT_EQ(COM_FormatFloat(text, sizeof text, std::nanf(""), 6, 3), 2u);
  EXPECT_STREQ(text, "0.");
}

}  // namespace
}  // namespace commtest
