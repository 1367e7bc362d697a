// Shared set-up of the protocol tests: a cleared firmware with a few block types of known
// shape, the protocols started, and frames served on a channel's buffers.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "comm/com_ascii.h"
#include "comm/com_links.h"
#include "comm/com_services.h"
#include "firmware/fw_main.h"
#include "runtime/runtime_state.h"
#include "tools/pctool/pc_client.h"
#include "tools/pctool/pc_modbus.h"

namespace commtest {

// Type 20 "VALS": one input and output of each kind, four floats, two words, two word values,
// one 4-byte value, two texts. Its parameter handler answers a few reads of ids 0..999 with
// the lengths a type reports (a status byte, a one-byte value of a float id, an integer) and
// hands everything else to the standard handler.
constexpr uint16_t kVals = 20;
inline constexpr float kValsFloats[] = {1.5f, -0.25f, 2500000.0f, 12.0f};
inline constexpr uint16_t kValsWords[] = {5, 7};
inline constexpr uint16_t kValsValues[] = {3, 4};
inline constexpr uint32_t kValsLongs[] = {0x40400000u};   // 3.0f
inline constexpr const char* kValsTexts[] = {"VALS", "second"};
inline constexpr FbTemplate kValsTemplate{
    .size = 0, .type = kVals, .analogOutputs = 1, .digitalOutputs = 1, .analogInputs = 1,
    .digitalInputs = 1, .floatParams = kValsFloats, .wordParams = kValsWords,
    .longValues = kValsLongs, .wordValues = kValsValues, .texts = kValsTexts};
inline constexpr FwFloatLimit kAnyFloat{.min = FW_NO_VALUE, .max = 999999.0f, .minFn = nullptr,
                                        .maxFn = nullptr, .attribute = 1};
inline constexpr FwFloatLimit kValsFloatLimits[] = {kAnyFloat, kAnyFloat, kAnyFloat, kAnyFloat};
inline constexpr FwShortLimit kValsWordLimits[] = {{.min = 0, .max = 10}, {.min = 0, .max = 20}};
inline constexpr FwShortLimit kValsValueLimits[] = {{.min = 0, .max = 9}, {.min = 0, .max = 9}};
inline constexpr FwFloatLimit kValsLongLimits[] = {kAnyFloat};
inline constexpr FbLimitTable kValsLimits{.wordParams = kValsWordLimits,
                                          .floatParams = kValsFloatLimits,
                                          .wordValues = kValsValueLimits,
                                          .longValues = kValsLongLimits};

// What the VALS handler saw last, and the value its id 2 holds.
struct ValsProbe {
  int16_t lastId = 0;
  int calls = 0;
  float value2 = 12.0f;
};
inline ValsProbe g_vals;

inline uint8_t valsParam(FbParamRequest* r, uint16_t* bad) {
  ++g_vals.calls;
  g_vals.lastId = r->id();
  if (bad) *bad = 0;
  switch (r->id()) {
    case -9:  // a status byte
      r->setU8(4, 5);
      g_fbReadLength = 1;
      return FB_OK;
    case -2:  // a float
      r->setF32(4, g_vals.value2);
      g_fbReadLength = 4;
      return FB_OK;
    case -322:  // a float id the type answers with one byte
      r->setU8(4, 4);
      g_fbReadLength = 1;
      return FB_OK;
    case -500:  // an integer
      r->setU16(4, static_cast<uint16_t>(-1234));
      g_fbReadLength = 2;
      return FB_OK;
    case -4180:  // a record of the type's own: two words, one float
      r->setU8(4, 3);
      r->setU8(5, 1);
      r->setU16(6, kVals);
      r->setU16(8, 11);
      r->setU16(10, 22);
      r->setF32(12, 0.5f);
      g_fbReadLength = 12;
      return FB_OK;
    case 2:
      g_vals.value2 = r->f32(4);
      return FB_OK;
    default: return FB_StandardParam(r, bad);
  }
}

// Type 120: a type the edit access protects from protection level 1 on.
constexpr uint16_t kGuarded = 120;
inline constexpr float kGuardedFloats[] = {0.0f};
inline constexpr FbTemplate kGuardedTemplate{.size = 0, .type = kGuarded,
                                             .floatParams = kGuardedFloats};
inline constexpr FwFloatLimit kGuardedFloatLimits[] = {kAnyFloat};
inline constexpr FbLimitTable kGuardedLimits{.floatParams = kGuardedFloatLimits};

// Registers the types; blocks 100 (VALS) and 120 (guarded) exist, the engineering counts as
// loaded and checked, the device is stopped and the protocols are started.
inline void resetComm() {
  rt::resetFirmware();
  rt::registerType(kValsTemplate, &kValsLimits, valsParam);
  rt::registerType(kGuardedTemplate, &kGuardedLimits);
  g_vals = ValsProbe{};
  ASSERT_EQ(FB_CreateInstance(kVals, 100), FB_OK);
  ASSERT_EQ(FB_CreateInstance(kGuarded, 120), FB_OK);
  COM_LinkDeviceMode() = FW_DEVICE_ENGINEERING;
  COM_Init();
  FW_SysStatus() = FW_STAT_LOADED | FW_STAT_CHECKED;
}

// Serves a frame as a text frame on the channel and returns the answer bytes.
inline std::vector<uint8_t> serve(int channel, const std::vector<uint8_t>& frame) {
  ComFrameBuffers* f = COM_FrameBuffers(channel);
  EXPECT_NE(f, nullptr);
  EXPECT_LE(frame.size(), COM_RX_SIZE);
  if (!frame.empty()) std::memcpy(f->rx, frame.data(), frame.size());
  f->rxLength = static_cast<uint16_t>(frame.size());
  f->rxBinary = 0;
  COM_ReceiveFrame(channel);
  EXPECT_LE(f->txLength, COM_TX_SIZE);
  return std::vector<uint8_t>(f->tx, f->tx + f->txLength);
}

// An answer as a test reads it: "ACK", "NAK", the text between STX and ETX (check byte
// verified), or "<none>" / "<malformed>".
inline std::string shown(const std::vector<uint8_t>& answer) {
  if (answer.empty()) return "<none>";
  const PcAnswer a = PcParseAnswer(answer);
  switch (a.kind) {
    case PcAnswer::Kind::Ack: return "ACK";
    case PcAnswer::Kind::Nak: return "NAK";
    case PcAnswer::Kind::Text: return a.text;
    default: return "<malformed>";
  }
}

inline std::string read(int block, uint16_t code, int sub = -1, int channel = COM_PC_CHANNEL) {
  return shown(serve(channel, PcBuildRead({code, block, sub})));
}
inline std::string write(int block, uint16_t code, int sub, std::string_view value,
                         int channel = COM_PC_CHANNEL) {
  return shown(serve(channel, PcBuildWrite({code, block, sub}, value)));
}

inline const ComAsciiResults& results() { return g_comAscii.results; }

using Bytes = std::vector<uint8_t>;

// Serves a binary (Modbus RTU) frame as it stands on the channel and returns the answer.
inline Bytes serveBinary(const Bytes& frame, int channel = COM_PC_CHANNEL) {
  ComFrameBuffers* f = COM_FrameBuffers(channel);
  EXPECT_LE(frame.size(), COM_RX_SIZE);
  if (!frame.empty()) std::memcpy(f->rx, frame.data(), frame.size());
  f->rxLength = static_cast<uint16_t>(frame.size());
  f->rxBinary = 1;
  COM_ReceiveFrame(channel);
  EXPECT_LE(f->txLength, COM_TX_SIZE);
  return Bytes(f->tx, f->tx + f->txLength);
}
// The same for a frame of address 1 and the body, with its CRC.
inline Bytes ask(const Bytes& body, int channel = COM_PC_CHANNEL) {
  Bytes frame{1};
  frame.insert(frame.end(), body.begin(), body.end());
  return serveBinary(PcModbusFrame(frame), channel);
}
// An exception answer of address 1 to a function, with its CRC.
inline Bytes exception(uint8_t function, uint8_t code) {
  return PcModbusFrame({1, static_cast<uint8_t>(function | 0x80), code});
}

class CommTest : public ::testing::Test {
 protected:
  void SetUp() override { resetComm(); }
};

}  // namespace commtest
