// The texts that the shell's own windows carry, in the three languages of the program
// (0 German, 1 English, 2 French): the title, the captions and labels of the dialogs and
// views, the main window's file dialogs and message boxes, and the program's version text.
// The firmware's display texts are not among them. Texts are Latin-1 bytes; the windows turn
// them into QStrings with fromLatin1.
#pragma once

#include <cstdint>
#include <string>

constexpr int SIM_LANGUAGES = 3;

struct SimTextSet {
  const char* titleFormat;          // "%d": the firmware's operating version
  const char* languageCaption;      // of the language-selection dialog
  const char* deviceCaption;        // of the device dialog
  const char* infoCaption;
  const char* deviceWord;
  const char* versionFormats[3];    // "%d.%d", "%d.%d.%03d %-4.4s", "%d.%d %-4.4s"
  const char* operatingVersionFormat;
  const char* simulationWord;
  const char* orderCodeLabel;
  const char* betaMarker;
  const char* viewCaptions[4];      // the I/O views of slots A, P, B, C
  const char* relayLabel;           // outputs P1 and P2
  const char* digitalCardGroup;     // slots B and C
  const char* plantButtons[2];      // plant, disturbance
  const char* helpDocument;         // beside the program
  const char* helpError;

  // The main window's own texts.
  const char* newProjectName;       // in the title and the save prompt of an unnamed project
  const char* openTitle;            // of the open dialog
  const char* saveTitle;            // of the save dialogs
  const char* projectFilter;        // "name|pattern|..." (shell_ui.h)
  const char* otherFirmware;        // "%s": the file
  const char* unreadable;           // "%s": the file
  const char* unwritable;
  const char* savePrompt;           // "%s": the project's name
  const char* recentPlaceholder;    // the greyed entry of an empty recent-file list
  const char* commCaption;          // of the communication view
  const char* commSend;             // its send button
};

// The text set of a language; a language outside 0..2 reads as German (the program's first).
const SimTextSet& SimTextsOf(int language);
// The text set of the state record's language, as the windows show it now.
const SimTextSet& SimTexts();

// The caption of every message box of the main window.
inline constexpr char SIM_BOX_CAPTION[] = "Simulation SIM/MX74-2";
// The filter and default name of the EEPROM export (the same in every language).
inline constexpr char SIM_EEPROM_FILTER[] = "EEPROM MX74-2 (*.ebin)|*.ebin|";

// The program's version from a file version "a.b.c.d" (numbers 0..255): the text
// "a.b.c Beta" when d is 0, else "a.b SRd", and the number a << 24 | b << 16 | c << 8 | d.
// A missing or malformed version gives 0 and leaves the text alone; a null text pointer only
// skips the text.
uint32_t SimProgramVersionOf(const char* fileVersion, std::string* text);
// The same for this program's version, set at build time.
uint32_t SimProgramVersion(std::string* text);
// The two lines under the splash's version and the info box's address lines.
inline constexpr const char* SIM_SPLASH_LINES[2] = {"Desktop simulator of the MX74-2 process controller",
                                                    "The device firmware running on the PC"};
inline constexpr const char* SIM_INFO_ADDRESS_LINES[3] = {"MX74-2 simulator", "Engineering and training tool",
                                                          "Multi-function process controller"};
