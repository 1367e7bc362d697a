// The program: simulation layer, instance initialisation, the control object with its
// timer, and the message loop.
#pragma once

#include <string>

class SimMainWindow;
struct SimModulePanelWindowHooks;

// Runs the simulator with the command line's arguments (joined by blanks); the exit code.
int SimMain(const std::string& args);

// The part of the instance initialisation that the main loop needs: the state record, the
// settings, the command line and the main window with the front. Null when no main window
// could be made.
SimMainWindow* SimInitInstance(const std::string& commandLine);

// What the program does around a configuration pass of the module panels: the active window
// and its focus are remembered and restored.
const SimModulePanelWindowHooks& SimQtPanelWindowHooks();
