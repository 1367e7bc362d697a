// What the protocols need of the firmware and the shell beyond the runtime: the device mode
// (1 engineering loaded, 2 no engineering: the service screen, or a download in progress),
// the main cycle's status bits, the service screen's three lines, and the shell's halt and
// picture-save flags.
//
// A program's start installs the links to the main cycle's state and the shell's state record
// (links/sim_links.h). Without them (the protocols' fuzz targets and benchmarks) the protocols
// keep stand-ins of their own, and note that they used them, so that a program that forgot
// to install its links is noticed.
#pragma once

#include <cstdint>

struct FwMainState;
struct SimHostState;

// What the protocols reach; null keeps the stand-in.
struct ComLinkHooks {
  FwMainState* main = nullptr;     // the main cycle's state
  SimHostState* shell = nullptr;   // the shell's state record
};
// Installs the links (and forgets that a stand-in was used).
void COM_InstallLinks(const ComLinkHooks& hooks);
// True when a stand-in served a call since the last install: a link was not installed.
bool COM_LinksStandInUsed();

uint16_t& COM_LinkDeviceMode();
// This cycle's status bits for the operating interface (bit 0: an analog input has failed);
// 0 without the main cycle.
uint16_t COM_LinkStatusBits();
// Puts a text on line 6, 7 or 8 of the service screen (padded to 26 characters) and has the
// screen drawn again.
void COM_LinkServiceLine(int row, const char* text);
// The shell's halt flag (the adapter then starts the firmware again) and its picture-save
// flag (the pictures are to be saved).
void COM_LinkSetHaltFlag();
void COM_LinkSetPictureSave();
