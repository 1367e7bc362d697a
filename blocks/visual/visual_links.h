// What VIDLE reaches of the main cycle and the display: the idle screen drawn into the main
// cycle's background device. (The alarm-display flags, the idle-screen flag and the touch
// state it shares with the operating pages are blocks/page_records.h, which it links.)
//
// A program's start installs the link (links/sim_links.h). Without it (the engineering tool,
// fuzz targets, benchmarks) the block draws nothing and notes that it used its stand-in, so
// that a program that forgot to install its links is noticed.
#pragma once

#include <cstdint>

// What the block reaches; null keeps the stand-in.
struct VisualLinkHooks {
  // Writes `clock` in white on black at (10, 65) into the display's background memory
  // device (cleared first when `clear`), and marks the display for a full-screen redraw.
  void (*drawIdleScreen)(const char* clock, bool clear) = nullptr;
};
// Installs the links (and forgets that a stand-in was used).
void VIS_InstallLinks(const VisualLinkHooks& hooks);
// True when a stand-in served a call since the last install: a link was not installed.
bool VIS_LinksStandInUsed();

void VIS_LinkDrawIdleScreen(const char* clock, bool clear);
