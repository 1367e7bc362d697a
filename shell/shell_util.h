// Small services of the shell: the recent-file list, the command-line option scan, the
// window-placement text and a few text conversions. No desktop toolkit here; the menu, the
// dialogs and the window placement itself are in shell_ui.h.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "host/window_placement.h"

// --- Recent-file list ----------------------------------------------------------------------
constexpr int SIM_RECENT_COUNT = 4;
constexpr int SIM_RECENT_PLACEHOLDER_ID = 30012;  // "Last Projects", shown while the list is empty
constexpr int SIM_RECENT_FIRST_ID = 30013;        // entries 1..4: 30013..30016

// Reads [Recent File List] "File1".."File4" of the settings file and remembers the file and
// the current folder (for the menu texts).
void SimRecentLoad(const std::string& settingsFile);
// Puts the path first (an entry equal to it moves up, else the last entry drops out); with an
// empty path only writes the list back. Keys of empty entries are deleted.
void SimRecentAdd(const std::string& path);
// Removes the entry of a menu id 30013..30016; the following entries move up.
void SimRecentRemove(int menuId);
// The entry of a menu id 30013..30016; empty for any other id.
std::string SimRecentGet(int menuId);
// One menu entry: id and text "&%d %s" (file name) or "&%d %s%s" (folder and file name) when the
// folder differs from the current folder at load; upper case.
struct SimRecentMenuItem {
  int id;
  std::string text;
};
// The recent part of the first menu: the entries, or none when the list is empty (the menu
// then shows the greyed placeholder 30012).
std::vector<SimRecentMenuItem> SimRecentMenu();

// --- Command line --------------------------------------------------------------------------
// The command line as the state record keeps it: " %s ", at most 255 characters, in the case
// it was typed (paths keep theirs).
std::string SimFrameCommandLine(const std::string& args);
// Finds " /option " or " /option=" in the framed command line, the name in any case, and
// blanks it out (with its value). Not found: 0 and an empty value. With '=' and a value buffer: the value (up to the
// next blank, at most 259 characters) and 1; with '=' and none: the value as a decimal number.
long SimFindOption(std::string& commandLine, const std::string& option, std::string* value);

// --- Window placement ----------------------------------------------------------------------
// The ten-number placement text (host/window_placement.h).
using SimWindowPlacement = host::WindowPlacement;
inline bool SimParseWindowPlacement(const std::string& text, SimWindowPlacement* out) {
  return host::ParseWindowPlacement(text, out);
}
inline std::string SimFormatWindowPlacement(const SimWindowPlacement& p) { return host::FormatWindowPlacement(p); }

// --- Text conversions ----------------------------------------------------------------------
std::string SimCommaToPoint(std::string text);
// Folder up to the last '/' (with '/' appended when longer than one character) and the name
// after it (the whole path when there is none); both at most 259 characters.
void SimSplitPath(const std::string& path, std::string* folder, std::string* name);
// The value with as many decimals as leave `digits` digits in all; a text without a decimal
// point gets "." appended. Locale-free.
std::string SimFormatValue(double value, int digits);
// "dd.mm.yyyy", "hh:mm:ss" or both joined by a blank, of the local time now (seconds < 0) or
// now plus the seconds; a time before the epoch reads as 0.
std::string SimFormatDateTime(long seconds, bool withDate, bool withTime);
// Opens a script file (the path as given: file names here need no code-page conversion).
FILE* SimOpenScriptFile(const std::string& path, const char* mode);
// Writes the value as "%d".
bool SimWriteIniInt(const std::string& section, const std::string& key, long value, const std::string& file);
