// The program: simulation layer, instance initialisation, the control object with its
// timer, and the message loop.
#pragma once

#include <string>

class SimMainWindow;
struct SimModulePanelWindowHooks;

// Runs the simulator with the command line's arguments (joined by blanks); the exit code.
int SimMain(const std::string& args);

// The instance initialisation: the state record, the settings, the command line (" /restart ",
// " /inpfile=", " /outfile=", " /german ", " /english ", " /french "), the project, the splash
// (its time from QM2911; none on a restart), the main window with its menu, front and views,
// the window placement and the channel for PC tools. Null when no main window could be made.
// The simulation layer (SIM_InitHost) must be up.
SimMainWindow* SimInitInstance(const std::string& commandLine);

// What the program does around a configuration pass of the module panels: the active window
// and its focus are remembered and restored.
const SimModulePanelWindowHooks& SimQtPanelWindowHooks();
// Deletes the main window that SimInitInstance made.
void SimExitInstance(SimMainWindow* w);
