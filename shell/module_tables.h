// The module positions of the simulated device as the I/O views and the module dialog see
// them: the module table (names in three languages and channel kinds), the option lists of
// the module dialog, and the reading of a typed analog input into its record. Plain C++, so
// that the views' rules test without a desktop toolkit.
#pragma once

#include <cstdint>
#include <string>

#include "shell/sim_services.h"

// Slots and positions: A, B, C, P = 0..3; positions 1..4 = 0..3.
constexpr int SIM_SLOTS = 4;
constexpr int SIM_POSITIONS = 4;
constexpr int SIM_SLOT_A = 0, SIM_SLOT_B = 1, SIM_SLOT_C = 2, SIM_SLOT_P = 3;
inline constexpr char SIM_SLOT_LETTERS[SIM_SLOTS + 1] = "ABCP";

// Values of SlotB and SlotC.
constexpr uint16_t SIM_SLOT_CARD = 1;   // digital I/O card
constexpr uint16_t SIM_SLOT_RACK = 2;   // module rack

// Module types that the dialogs set by themselves.
constexpr uint8_t SIM_MODULE_NONE = 0;
constexpr uint8_t SIM_MODULE_DI_4 = 22;
constexpr uint8_t SIM_MODULE_DO_4 = 41;
constexpr uint8_t SIM_MODULE_RELAY = 43;

// The channel kinds of a module type.
struct SimModuleKinds {
  bool analogInA = false;
  bool analogInB = false;
  bool digitalIn = false;
  bool analogOut = false;
  bool digitalOut = false;
};
// The kinds of a type of the module table; a type not in the table has none.
SimModuleKinds SimModuleChannels(int type);
// The module's name in the language (0..2; others read as German), or "" for a type not in
// the table. Latin-1.
const char* SimModuleName(int type, int language);
// The same in the state record's language.
const char* SimModuleName(int type);

// Layout of one module position by its kinds: which controls show and whether the analog
// fields take input.
struct SimPositionLayout {
  bool fieldA = false;       // field "a:" with its label
  bool fieldB = false;       // field "b:" with its label
  bool editable = false;     // the analog fields take input (else read-only displays)
  bool digitalIn = false;    // boxes di1, di2
  bool digitalOut = false;   // boxes do1, do2
};
SimPositionLayout SimLayoutOf(const SimModuleKinds& kinds);

// Option lists of the module dialog: seven sets of four positions, each list of module types
// ended by SIM_OPTION_END.
constexpr uint8_t SIM_OPTION_END = 0xFF;
constexpr int SIM_OPTION_SETS = 7;
const uint8_t* SimOptionList(int set, int position);
// The list's length (without the end mark); 0 for a set or position out of range.
int SimOptionCount(int set, int position);
// Index of the type in the list, -1 when it is not there.
int SimOptionIndex(int set, int position, int type);
// The option set of a slot for the configuration; -1 when the slot has no modules (slot B or
// C neither card nor rack).
int SimOptionSetOf(int slot, const SimDeviceConfig& device);

// Record index of an analog channel and a digital channel of the I/O image.
constexpr int SimAnalogIndex(int slot, int position, int channel) { return slot * 8 + position * 2 + channel; }
constexpr int SimDigitalIndex(int slot, int position, int channel) { return slot * 16 + position * 4 + channel; }

// Reads a typed analog input into its record: the text as typed (at most 39 characters are
// kept), entered = not empty, f-flag = begins with "f" or "F", electrical = begins with "#"
// once the commas are points, value = the leading decimal number after the "#" (none: 0.0). Reading
// does not depend on the process locale.
void SimTakeAnalogText(const std::string& text, SimAnalogInput* record);
