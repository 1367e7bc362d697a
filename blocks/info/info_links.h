// What the device-function blocks share with the operating interface and the main cycle: the
// records of the operating interface's service header, the palette selection and the I/O
// boards' readiness.
//
// A program's start installs the links to the operating interface's records and the main
// cycle's calls (links/sim_links.h). Without them (the engineering tool, fuzz targets and
// benchmarks link the block library alone) the blocks keep stand-ins of their own, which
// nothing reads, and note that they used them, so that a program that forgot to install its
// links is noticed.
#pragma once

#include <cstdint>

#include "opui/op_services.h"

// What the blocks reach; null keeps the stand-in.
struct InfoLinkHooks {
  OpDisplaySwitchRecord* displaySwitches = nullptr;  // the service header's switches
  uint16_t* pageRequest = nullptr;                   // a block page asked for
  const uint16_t* shownPageBlock = nullptr;          // the block whose page is shown
  void (*selectPalette)(int n) = nullptr;            // the main cycle's palette selection
  bool (*ioBoardsReady)() = nullptr;                 // the I/O boards' readiness
};
// Installs the links (and forgets that a stand-in was used).
void INFO_InstallLinks(const InfoLinkHooks& hooks);
// True when a stand-in served a call since the last install: a link was not installed.
bool INFO_LinksStandInUsed();

OpDisplaySwitchRecord& INFO_LinkDisplaySwitches();
uint16_t& INFO_LinkPageRequest();
// The block whose page is shown (0 without the operating interface).
uint16_t INFO_LinkShownPageBlock();
// Selects palette 0..3 and redraws the display background (nothing without the main cycle).
void INFO_LinkSelectPalette(int n);
// True when every enabled I/O board is ready (true without the main cycle).
bool INFO_LinkIoBoardsReady();
