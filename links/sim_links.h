// The links between the libraries, installed by each program's start: the libraries below
// reach the ones above only through what is installed here, never through what a program
// happens to link. A library whose links are not installed keeps stand-ins of its own and
// notes that it used them.
//
// Each installer needs what it links in the program: the firmware, the shell's state record
// (SimState()), the graphics library.
#pragma once

// Each installer fills its library's hook record by member name and returns true when every
// member is set (a member left null would quietly keep the library's stand-in).

// Every link below: the programs that link the whole device (firmware, protocols, blocks,
// operating interface, graphics library).
bool SIM_InstallLinks();

// The protocols reach the main cycle's state (device mode, status bits, service screen) and
// the shell's state record (halt and picture-save flags).
bool SIM_InstallCommLinks();
// The information blocks reach the main cycle's palette selection and I/O boards' readiness.
bool SIM_InstallInfoLinks();
// VIDLE draws its idle screen into the main cycle's background device with the graphics
// library.
bool SIM_InstallVisualLinks();
// The operating interface reaches the hardware adapter's key code, the main cycle's state
// and device communication's system bus.
bool SIM_InstallOpuiLinks();
