// Scripted operation of the simulator: the player runs a script given with " /inpfile=" one
// step per cycle (waits, pauses, loops, keys, communication requests, EEPROM writes, other
// programs started and ended), and the recorder writes the simulator's inputs and its
// communication traffic into a script given with " /outfile=", with wait lines that keep the
// timing. Both may run at once; the lines the player reads are echoed into the output.
//
// The player steps in the main window's pre-cycle, the recorder in its post-cycle; both run
// on the UI thread. The front window is reached through its messages (SimFrontMessage), the
// communication view and the program through the hooks below.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Messages of the front window that scripts use.
enum SimFrontMessage : int {
  SIM_FRONT_NOTHING = 1036,       // answered 0, nothing else
  SIM_FRONT_GET_KEYS = 1037,      // returns the held hard keys in the script's key code
  SIM_FRONT_SET_KEYS = 1038,      // wParam new, lParam old hard-key bits: presses and releases the keys that differ
  SIM_FRONT_POINTER_MODE = 1039,  // wParam: 1 while a script plays (the front takes no input), 0 after
  SIM_FRONT_KEY = 1040,           // low word of wParam: 256 key down, 257 key up; lParam: the virtual key
  SIM_FRONT_PRESSED = 1043,       // returns 1 while a key or the left button is held on the front
};

// What the player needs of the rest of the program; an empty hook does nothing (the front
// then answers 0).
struct SimScriptHooks {
  std::function<intptr_t(int id, intptr_t wParam, intptr_t lParam)> front;
  // The communication view's request edit: read-only while a script plays.
  std::function<void(bool readOnly)> requestReadOnly;
  std::function<void()> beep;
  // One firmware tick at once (EEPROM DUMP).
  std::function<void()> tick;
  // The project's name for the recorder's header.
  std::function<std::string()> projectName;
};
void SimScriptSetHooks(SimScriptHooks hooks);

// Takes " /inpfile=" and " /outfile=" (names in any case, paths as typed) out of the framed
// command line and keeps the paths for SimScriptOpen.
void SimScriptTakeOptions(std::string& commandLine);
void SimScriptSetPaths(const std::string& input, const std::string& output);

// When the front window exists: opens the kept paths (the output with its header when no
// script plays), tells the front and the communication view whether a script plays, and
// resets the counters.
void SimScriptOpen();
// Every pre-cycle, after the cycle count was incremented.
void SimScriptStep();
// Every pre-cycle in which a communication request was taken in (its frame and length).
void SimScriptNoteRequest(const char* frame, uint16_t length);
// Every post-cycle, before the answer is published.
void SimRecordStep();
// When the main window closes: the closing lines of the output, then every file is closed.
void SimScriptClose();
// Ends every program the scripts started that still runs (at the simulator's exit): asked
// with SIGTERM, killed when it has not ended within two seconds.
void SimScriptEndPrograms();

// For the main window's commands: play a file now (false when one already plays or the file
// cannot be opened) and record into a file from now on (the current output is closed first).
bool SimScriptPlay(const std::string& path);
bool SimScriptRecord(const std::string& path);
bool SimScriptPlaying();
bool SimScriptRecording();
