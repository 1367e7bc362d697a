// The links between the libraries, installed by each program's start: the libraries below
// reach the ones above only through what is installed here, never through what a program
// happens to link. A library whose links are not installed keeps stand-ins of its own and
// notes that it used them.
//
// The program supplies the shell's state record (SimState()).
#pragma once

// The protocols reach the main cycle's state (device mode, status bits, service screen) and
// the shell's state record (halt and picture-save flags).
void SIM_InstallCommLinks();
