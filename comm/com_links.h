// What the protocols need of the firmware and the shell beyond the runtime: the device mode
// (1 engineering loaded, 2 no engineering: the service screen, or a download in progress),
// the main cycle's status bits, the service screen's three lines, and the shell's halt and picture-save flags. Programs
// and tests that link the firmware's main cycle and a shell reach the real ones; without
// them (the protocols' fuzz targets) the protocols keep stand-ins of their own.
#pragma once

#include <cstdint>

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
