// The system-bus driver as the simulator has it: the device's CAN controller does not exist,
// so the driver accepts every request and message and never delivers one. The bus node of
// the device communication calls these hooks.
#pragma once

#include <cstdint>

struct FwBusDriver {
  // Nothing to do: 0.
  int (*busy)();
  int (*poll)();
  int (*nodeState)(uint8_t node);
  int (*selectNode)(uint8_t node);
  int (*reset)();
  int (*receive)(uint8_t* message, uint32_t size);
  // Nothing happens.
  void (*setNode)(uint8_t node);
  void (*setMode)(uint8_t mode);
  void (*cycleEnd)();
  // Accepted: 1.
  int (*command)(uint8_t node, uint8_t command);
  int (*sendBlock)(const uint8_t* data, uint32_t length);
  int (*sendReply)(const uint8_t* data, uint32_t length);
  int (*request)(const uint8_t* data, uint32_t length);
  int (*start)();
  int (*setBitRate)(uint16_t kbits);
  // Nothing to report: 0.
  int (*status)();
  int (*errors)();
};
extern const FwBusDriver g_fwBusDriver;

// The identity area of a bus object: four 16-character names and a u16 (66 bytes).
constexpr uint32_t FW_BUS_IDENTITY_SIZE = 66;
constexpr uint32_t FW_BUS_NAME_LEN = 16;
// While set, FW_BusSetIdentity refuses and fills the area with 0xFF.
extern uint8_t g_fwBusIdentityLocked;
// Copies the names (each 16 characters, shorter ones padded with 0) and the word
// (little-endian) into the area: 1; 0 while the identity is locked.
int FW_BusSetIdentity(uint8_t* area, const char* const names[4], uint16_t word);
