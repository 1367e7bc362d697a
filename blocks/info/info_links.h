// What the device-function blocks reach of the main cycle: the palette selection and the I/O
// boards' readiness. (The records they share with the operating pages, the display switches,
// the page request and the shown page, are blocks/page_records.h, which they link.)
//
// A program's start installs the links to the main cycle's calls (links/sim_links.h). Without
// them (the engineering tool, fuzz targets and benchmarks link the block library alone) the
// blocks keep stand-ins of their own and note that they used them, so that a program that
// forgot to install its links is noticed.
#pragma once

#include <cstdint>

// What the blocks reach; null keeps the stand-in.
struct InfoLinkHooks {
  void (*selectPalette)(int n) = nullptr;            // the main cycle's palette selection
  bool (*ioBoardsReady)() = nullptr;                 // the I/O boards' readiness
};
// Installs the links (and forgets that a stand-in was used).
void INFO_InstallLinks(const InfoLinkHooks& hooks);
// True when a stand-in served a call since the last install: a link was not installed.
bool INFO_LinksStandInUsed();

// Selects palette 0..3 and redraws the display background (nothing without the main cycle).
void INFO_LinkSelectPalette(int n);
// True when every enabled I/O board is ready (true without the main cycle).
bool INFO_LinkIoBoardsReady();
