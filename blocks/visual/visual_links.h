// What VIDLE shares with the operating interface, the main cycle and the display: the
// operating interface's alarm-display flags, idle-screen flag and touch state, and the idle
// screen drawn into the main cycle's background device.
//
// A program's start installs the links (links/sim_links.h). Without them (the engineering
// tool, fuzz targets, benchmarks) the block keeps stand-ins of its own, draws nothing, and
// notes that it used them, so that a program that forgot to install its links is noticed.
#pragma once

#include <cstdint>

// What the block reaches; null keeps the stand-in.
struct VisualLinkHooks {
  const uint8_t* alarmDisplayFlags = nullptr;  // the two alarm-display flags
  uint8_t* idleShown = nullptr;                // the idle screen is shown
  const uint32_t* touchPressed = nullptr;      // the touch is pressed
  // Writes `clock` in white on black at (10, 65) into the display's background memory
  // device (cleared first when `clear`), and marks the display for a full-screen redraw.
  void (*drawIdleScreen)(const char* clock, bool clear) = nullptr;
};
// Installs the links (and forgets that a stand-in was used).
void VIS_InstallLinks(const VisualLinkHooks& hooks);
// True when a stand-in served a call since the last install: a link was not installed.
bool VIS_LinksStandInUsed();

const uint8_t* VIS_LinkAlarmDisplayFlags();
uint8_t& VIS_LinkIdleShown();
uint32_t VIS_LinkTouchPressed();   // 0 without the operating interface
void VIS_LinkDrawIdleScreen(const char* clock, bool clear);
