// What the device-function blocks share with the operating interface and the main cycle: the
// records of the operating interface's service header, the palette selection and the I/O
// boards' readiness.
//
// Programs and tests that link the operating interface (or its fake) and the main cycle
// reach the real ones. Without them (the engineering tool, fuzz targets and benchmarks link
// the block library alone) the blocks keep stand-ins of their own, which nothing reads.
#pragma once

#include <cstdint>

#include "opui/op_services.h"

OpDisplaySwitchRecord& INFO_LinkDisplaySwitches();
uint16_t& INFO_LinkPageRequest();
uint16_t INFO_LinkShownPageBlock();
// Selects palette 0..3 and redraws the display background (nothing without the main cycle).
void INFO_LinkSelectPalette(int n);
// True when every enabled I/O board is ready (true without the main cycle).
bool INFO_LinkIoBoardsReady();

// Replaces the two main-cycle calls (tests); null restores the links.
struct InfoCycleHooks {
  void (*selectPalette)(int n) = nullptr;
  bool (*ioBoardsReady)() = nullptr;
};
void INFO_SetCycleHooks(const InfoCycleHooks& hooks);
