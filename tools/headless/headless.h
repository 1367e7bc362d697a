// A firmware without shell windows (their services do nothing here, headless_shell.cpp), its
// display drawn in memory and not shown, for the command-line tools and the benchmarks that
// run the firmware in their own process. A program links sim_headless in place of the shell.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The display in memory, under shared-memory names of this process's own ("<program><pid>."),
// with the operating interface's links; false when it cannot be set up. Stopped again at the
// end of the program.
bool SimHeadlessStartDisplay(const char* program);
void SimHeadlessStopDisplay();

// Hands the engineering image to the firmware as the shell's project (with a data image that
// carries the internal EEPROM's tag) and starts the firmware. The images stay in this module.
void SimHeadlessStart(const std::vector<uint8_t>& engineering, uint8_t language = 1);

// Registers every block type of the block library (and those of `moreTypes`, when given: the
// operating interface's), builds the engineering of a description (read from `path`, or
// `fallback` when the path is null) and starts the firmware with it. False with *error when
// the file cannot be read or the description does not build.
bool SimHeadlessStartDescription(const char* path, std::string_view fallback, std::string* error,
                                 void (*moreTypes)() = nullptr);
