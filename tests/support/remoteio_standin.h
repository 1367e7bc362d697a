// Stand-in rows of the remote I/O coupler and module blocks (types 14..19) for the tests and
// the benchmark of the module link: instances shaped like the family's where the link reads
// them (the coupler's nine slot outputs and its bus address, each module's "Slot x" input),
// slot records and request objects of their own, and a row per module block with what the
// family's parameters would say (claim, mode, inversion, signal types, scale).
#pragma once

#include <cstdint>

#include "comm/com_remoteio.h"

namespace rio {

// One slot record of a stand-in coupler.
struct SlotRecord {
  uint8_t kind;
  uint8_t input[8];
  uint8_t status[4];
  uint8_t output[8];
  uint8_t raw[16];
};

// Enters the six types into the block-type table (their handlers do nothing).
void registerTypes();
// Forgets every module row, slot record and request object.
void reset();
// The calls the link is to use.
const ComIoBlockAccess* access();
// A store of its own for the family: the type table and the store cleared, the six types
// entered, the rows forgotten, the calls installed in the link and the device's
// communication option set, so that the scan finds the couplers.
void install();

// Creates coupler block 21..25 with bus address `nodeId` and its slot outputs set.
bool addCoupler(uint16_t block, uint16_t nodeId);
// Creates a module block of `type` whose "Slot x" is wired to slot 1..9 of coupler block
// `coupler`, and claims it; its row is returned for the test to fill in (null: not created).
ComIoModule* addModule(uint16_t block, uint16_t type, uint16_t coupler, int slot);
// The same with "Slot x" unconnected, reading `slotValue` instead.
ComIoModule* addModuleReading(uint16_t block, uint16_t type, float slotValue);
// An analog input module (type 17) in slot 1..9 of `coupler` whose four channels read the
// signal type `signal` scaled 0..x100.
ComIoModule* addAnalogInput(uint16_t block, uint16_t coupler, int slot, uint8_t signal, float x100);
// The row of a module block.
ComIoModule& module(uint16_t block);

SlotRecord& slot(uint16_t coupler, int slot);   // slot 0..8
ComBusRequest& request(uint16_t coupler);
// While set, the coupler has no slot records to show the link.
void hideSlots(uint16_t coupler, bool hidden);

}  // namespace rio
