// The simulated I/O hardware: the board records set up from the device configuration at
// every start, and the copy between the shell's I/O image and the records once per cycle.
//
// What the simulated hardware reports:
// - Board types from the order-code digits (board 0 the base card; boards 1 and 2 from the
//   slot digits: 2 a module rack, 1 the digital I/O card; board 3 with or without the analog
//   card bit); each present board has version 1.00.
// - The class of each channel is the module fitted there in the device configuration
//   (modules A1..A4, B1..B4, C1..C4, P1..P4); the digital I/O card always carries three
//   input channels (class 22) and one output channel (class 41); an absent board reports 0.
// - Each analog input of the image is a new reading of its sub-channel in every cycle; the
//   f-flag (a typed fault marker) is the sensor fault, the electrical flag ("#" before the
//   number) marks the value as electrical (mA, V, mV, ohm), otherwise it is in engineering units.
// - Outputs go back to the image only when the block flagged them as new; a card's output
//   test (system data 4140..4143) takes precedence for the channels it names.
// - The status pages see each board as its slot's module (the board types are the slot
//   module types), online once the board was copied, and at each position the module that
//   the board reports there, with its readings; the simulation reports no serial numbers,
//   hardware versions or temperatures.
#include <cstring>

#include "firmware/fw_links.h"
#include "firmware/fw_main.h"
#include "opui/op_services.h"
#include "runtime/fw_io.h"
#include "runtime/fw_sysdata.h"
#include "shell/sim_services.h"

namespace {

constexpr uint16_t kBoardVersion = 100;  // 1.00

uint16_t slotType(uint8_t digit) {
  return digit == '2' ? FW_BOARD_MODULE_RACK : digit == '1' ? FW_BOARD_DIGITAL_CARD : FW_BOARD_NONE;
}

// The class the hardware reports for a channel.
uint8_t reportedClass(const FwIoBoard& board, uint32_t b, uint32_t c, const SimDeviceConfig& dev) {
  switch (board.type) {
    case FW_BOARD_NONE: return FW_CLASS_NONE;
    case FW_BOARD_DIGITAL_CARD: return c < 3 ? FW_CLASS_DI_4 : FW_CLASS_DO_4;
    default: return dev.modules[b * FW_IO_CHANNELS + c];
  }
}

void takeInputs(const SimHostState& s) {
  for (uint32_t b = 0; b < FW_IO_BOARDS; ++b) {
    FwIoBoard& board = g_fwIoBoards[b];
    for (uint32_t c = 0; c < FW_IO_CHANNELS; ++c) {
      FwIoChannel& ch = board.channel[c];
      ch.reportedClass = reportedClass(board, b, c, s.device);
      for (uint32_t k = 0; k < FW_IO_SUBCHANNELS; ++k) {
        const SimAnalogInput& in = s.io.analogIn[FW_IoAnalogIndex(b, c, k)];
        FwIoSubChannel& sub = ch.sub[k];
        sub.raw = in.value;
        sub.fault = in.fFlag ? 1 : 0;
        sub.electrical = in.electrical ? 1 : 0;
        sub.newValue = 1;
      }
      for (uint32_t i = 0; i < FW_IO_BITS; ++i) {
        ch.din.bits[i] = s.io.digitalIn[FW_IoDigitalIndex(b, c, i)] ? 1 : 0;
      }
      ch.din.valid = board.type != FW_BOARD_NONE ? 1 : 0;
    }
  }
}

void giveOutputs(SimHostState& s) {
  for (uint32_t b = 0; b < FW_IO_BOARDS; ++b) {
    FwIoBoard& board = g_fwIoBoards[b];
    const FwIoCardTest& test = board.test;
    for (uint32_t c = 0; c < FW_IO_CHANNELS; ++c) {
      FwIoOutput& out = board.channel[c].out;
      float* analog = &s.io.analogOut[FW_IoAnalogIndex(b, c, 0)];
      uint16_t* logic = &s.io.digitalOut[FW_IoDigitalIndex(b, c, 0)];
      if (test.analogMask >> c & 1) {
        analog[0] = 0.2f * test.percent[2 * c];
        analog[1] = 0.2f * test.percent[2 * c + 1];
      } else if (out.analogNew) {
        analog[0] = out.a;
        analog[1] = out.b;
      }
      out.analogNew = 0;
      if (test.logicMask >> c & 1) {
        for (uint32_t i = 0; i < FW_IO_BITS; ++i) logic[i] = test.logicState >> c & 1;
      } else if (out.logicNew) {
        for (uint32_t i = 0; i < FW_IO_BITS; ++i) logic[i] = out.logic[i];
      }
      out.logicNew = 0;
    }
  }
}

// The board types are the module types the status pages show for a slot.
static_assert(FW_BOARD_BASE == 1 && FW_BOARD_MODULE_RACK == 2 && FW_BOARD_DIGITAL_CARD == 3 &&
              FW_BOARD_OUTPUT == 4 && FW_BOARD_OUTPUT_ANALOG == 5);

bool isAnalogInput(uint8_t cls) {
  switch (cls) {
    case FW_CLASS_UNI_INPUT: case FW_CLASS_TC_INPUT: case FW_CLASS_TPS_INPUT:
    case FW_CLASS_U_INPUT: case FW_CLASS_R_INPUT:
      return true;
    default:
      return false;
  }
}
bool isAnalogOutput(uint8_t cls) {
  return cls == FW_CLASS_I_OUTPUT || cls == FW_CLASS_U_OUTPUT || cls == FW_CLASS_PWM_OUTPUT;
}
bool hasDigitalInputs(uint8_t cls) { return cls == FW_CLASS_DI_2 || cls == FW_CLASS_DI_4 || cls == FW_CLASS_DIDO; }

// One position of a board: the module there, whether it is the one the claiming block asked
// for, and its two first readings (sensor faults as the pages' error codes).
void fillGroup(const FwIoChannel& ch, OpSlotGroup& g) {
  g = OpSlotGroup{};
  g.code = ch.reportedClass;
  if (g.code == FW_CLASS_NONE) return;
  const uint8_t low = ch.expectedClass & 0xFF, high = ch.expectedClass >> 8;
  const bool wrong = ch.expectedClass != 0 && g.code != low && g.code != high;
  g.state = wrong ? 4 : 3;
  for (uint32_t k = 0; k < OP_GROUP_CHANNELS; ++k) {
    if (isAnalogInput(g.code)) {
      g.values[k] = ch.sub[k].raw;
      g.errors[k] = ch.sub[k].fault & 0x07;
    } else if (isAnalogOutput(g.code)) {
      g.values[k] = k == 0 ? ch.out.a : ch.out.b;
    } else if (hasDigitalInputs(g.code)) {
      g.values[k] = ch.din.bits[k] ? 1.0f : 0.0f;
    } else {
      g.values[k] = ch.out.logic[k] ? 1.0f : 0.0f;
    }
  }
}

}  // namespace

const OpSlotRecord& FW_SlotRecord(int slot) {
  static OpSlotRecord records[OP_SLOTS];
  static const OpSlotRecord kUnused{};
  if (slot < 0 || slot >= static_cast<int>(FW_IO_BOARDS)) return kUnused;
  const FwIoBoard& board = g_fwIoBoards[slot];
  OpSlotRecord& r = records[slot];
  r = OpSlotRecord{};
  r.serial[0] = OP_SLOT_NO_SERIAL;
  r.hwVersion = OP_SLOT_NO_VERSION;
  r.swVersion[0] = OP_SLOT_NO_VERSION;
  for (int16_t& t : r.temperature) t = OP_SLOT_NO_TEMPERATURE;
  r.temperatureLimit = INT16_MAX;
  if (board.type == FW_BOARD_NONE) return r;
  r.moduleType = static_cast<uint8_t>(board.type);
  r.state = g_fwMain.boardState[slot] == 3 ? OP_SLOT_ONLINE : OP_SLOT_INIT;
  // Software version: the board version of system data 554.. (major x 100 + minor).
  const uint16_t version = g_fwSys.boardVersion[slot == 0 ? 0 : 1 + 2 * (slot - 1)];
  if (version != 0) {
    r.swVersion[0] = static_cast<uint8_t>(version / 100);
    r.swVersion[1] = static_cast<uint8_t>(version % 100);
  }
  for (uint32_t c = 0; c < FW_IO_CHANNELS && c < static_cast<uint32_t>(OP_SLOT_GROUPS); ++c) {
    fillGroup(board.channel[c], r.groups[c]);
  }
  return r;
}

void FW_SetupIoBoards() {
  const uint8_t* d = FW_LinkImage() + FW_OFS_ORDER_CODE;
  const uint16_t types[FW_IO_BOARDS] = {
      FW_BOARD_BASE, slotType(d[4]), slotType(d[5]),
      ((d[1] - '0') & 2) ? FW_BOARD_OUTPUT_ANALOG : FW_BOARD_OUTPUT};
  FW_IoResetBoards(types);
  // Data 554..560: board 0 one version, boards 1..3 two each.
  for (uint32_t i = 0; i < 7; ++i) {
    const uint32_t board = i == 0 ? 0 : 1 + (i - 1) / 2;
    g_fwSys.boardVersion[i] = types[board] != FW_BOARD_NONE ? kBoardVersion : 0;
  }
  FW_IoBindIndicator(OP_SetIndicator);
}

void FW_CopyHostIo() {
  FwMainState& m = g_fwMain;
  SimHostState& s = SimState();
  takeInputs(s);
  giveOutputs(s);
  for (uint32_t b = 0; b < FW_IO_BOARDS; ++b) {
    m.boardReady[b] = 1;
    // The simulated boards are online from the first copy on.
    if (g_fwIoBoards[b].type != FW_BOARD_NONE) m.boardState[b] = 3;
  }
  m.inputReady = 1;
}

bool FW_AllIoBoardsReady() {
  const FwMainState& m = g_fwMain;
  for (uint32_t i = 0; i < FW_IO_BOARDS; ++i) {
    if (g_fwIoBoards[i].type != FW_BOARD_NONE && m.boardState[i] != 3) return false;
  }
  return true;
}
