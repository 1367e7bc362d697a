// The simulator's trends: three standard trends of the controller's values over 6, 60 and
// 600 minutes, and the block trend of a chosen L1READ block, kept by the trend library and
// fed after every cycle.
//
// Trend table: 0 the 6-minute trend (a sample every 2nd cycle), 1 the 60-minute trend (the
// average of ten such samples every 20 cycles), 2 the 600-minute trend (the average over 200
// cycles), 3 the block trend (empty until a block is chosen). A standard sample is the six
// controller values of the state record's plant view (W, X, Y, Xw, X2, X3) and a seventh
// that stays 0, with the status bits 0..3 as four digital channels of five; a block sample
// is the values behind the L1READ block's 7 analog and 12 digital input references.
//
// Channel settings (names, colours, visibility, the channels whose scales are shown) live in
// section [Trend1] of "sim74-2.ini" in the settings folder and, per project, in its companion
// ".dat" file (written when the project is saved, read when it is loaded). No toolkit here:
// the main window passes its message box and the selection dialog in as hooks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "firmware/fw_adapter.h"
#include "trendview/kurvex/kurvex.h"

enum : int {
  SIM_TREND_FAST = 0,     // 6 minutes
  SIM_TREND_MEDIUM = 1,   // 60 minutes
  SIM_TREND_SLOW = 2,     // 600 minutes
  SIM_TREND_BLOCK = 3,    // the L1READ block trend
  SIM_TREND_COUNT = 4,
  SIM_TREND_REMOVE_BLOCK = -1,  // SimTrendShow: removes the block trend
};

constexpr int SIM_TREND_ANALOG = 7;            // analog values of every sample
constexpr int SIM_TREND_DIGITAL = 12;          // digital values of every sample
constexpr int SIM_TREND_STD_ANALOG = 6;        // configured analog channels of the standard trends
constexpr int SIM_TREND_STD_DIGITAL = 5;       // their digital channels
constexpr int SIM_TREND_RING = 1800;           // slots of the standard trends
constexpr float SIM_TREND_VALUE_LIMIT = 999999.0f;  // block values are held within +-this
constexpr int SIM_TREND_NAME_CHARS = 16;       // channel names
constexpr int SIM_TREND_SET_NAME_CHARS = 50;   // the block-trend settings' name

// --- Settings ------------------------------------------------------------------------------

struct SimTrendChannel {
  uint32_t color = 0;                       // 0x00BBGGRR
  char name[SIM_TREND_NAME_CHARS + 1] = {};
  uint8_t visible = 0;
};

// Sets the name, cut to 16 characters.
void SimTrendSetName(SimTrendChannel* channel, const char* text);

// The channels of one kind of trend: the standard trends (6 analog, 5 digital) or the block
// trend (7 and 12). Scales: the 1-based analog channel whose scale is shown, 0 = none.
struct SimTrendChannels {
  int16_t scaleLeft = 0;
  int16_t scaleRight = 0;
  uint8_t analogCount = 0;
  uint8_t digitalCount = 0;
  SimTrendChannel analog[SIM_TREND_ANALOG];
  SimTrendChannel digital[SIM_TREND_DIGITAL];
};

// The block-trend settings: sample period in cycles, ring length, the clock-time flag of
// the trend and a name by language. Back to these defaults whenever the block trend is
// removed.
struct SimTrendSet {
  uint16_t period = 20;
  uint16_t ring = SIM_TREND_RING;
  uint16_t flag = 1;
  char name[SIM_TREND_SET_NAME_CHARS + 1] = {};
};

struct SimTrendSettings {
  SimTrendChannels standard;
  SimTrendChannels block;
  SimTrendSet blockSet;
};

// The defaults of the language (0 German, 1 English, 2 French; others read as English).
SimTrendChannels SimTrendDefaultChannels(bool block, int language);
SimTrendSet SimTrendDefaultSet(int language);
SimTrendSettings SimTrendDefaultSettings(int language);

// "sim74-2.ini" in the settings folder.
std::string SimTrendIniPath();
// [Trend1] of the file over the defaults of the language. Bounded: colours keep their low 24
// bits, names are cut to 16 characters, a visibility other than 0 or 1 and a scale outside
// 0..the analog count take the default.
SimTrendSettings SimTrendReadIni(const std::string& file, int language);
// Writes the colour ("%lu"), name and visibility ("1"/"0") of every channel and both scales
// of both kinds; false when a key could not be written.
bool SimTrendWriteIni(const std::string& file, const SimTrendSettings& settings);

// The stored settings blocks, as the companion ".dat" file holds them one after the other
// and an older project holds them in its two trend blocks: a settings block of 2032 bytes
// ("Sbsu", the block-trend settings and the block trend's channels) and a channel block of
// 1484 bytes ("Sbch" and the standard trends' channels). Little-endian throughout.
constexpr size_t SIM_TREND_SETTINGS_BLOCK = 2032;
constexpr size_t SIM_TREND_CHANNEL_BLOCK = 1484;
constexpr size_t SIM_TREND_DAT_BYTES = SIM_TREND_SETTINGS_BLOCK + SIM_TREND_CHANNEL_BLOCK;
void SimTrendEncode(const SimTrendSettings& settings, uint8_t settingsBlock[SIM_TREND_SETTINGS_BLOCK],
                    uint8_t channelBlock[SIM_TREND_CHANNEL_BLOCK]);
// Takes what the blocks hold into *settings (either may be null or lack its tag: that part is
// left as it is), bounded as the ini values are. Returns the number of blocks taken.
int SimTrendDecode(const uint8_t* settingsBlock, const uint8_t* channelBlock, int language,
                   SimTrendSettings* settings);
// The companion file: exactly SIM_TREND_DAT_BYTES bytes; false when it is not there or not
// such a file (nothing is taken then).
bool SimTrendReadDat(const std::string& file, int language, SimTrendSettings* settings);
bool SimTrendWriteDat(const std::string& file, const SimTrendSettings& settings);

// --- What the binding reads of the firmware ---------------------------------------------
// Installed by the program (the firmware's own tables), by tests with fakes; a null member
// or a null table reads as "nothing there".
struct SimTrendFirmware {
  const FwTrendReaders* (*readers)() = nullptr;  // the L1READ blocks among 1..20
  uint16_t (*blockType)(uint16_t block) = nullptr;  // 0 = no such block
  float (*readAnalog)(uint32_t ref) = nullptr;      // the value behind an input reference
  uint16_t (*readDigital)(uint32_t ref) = nullptr;
  bool (*controllerPresent)() = nullptr;            // the engineering has a controller block
};
void SimTrendSetFirmware(const SimTrendFirmware* firmware);
// The firmware's own table (shell/trend_firmware.cpp).
const SimTrendFirmware* SimTrendFirmwareTable();

// --- The trends ------------------------------------------------------------------------

// Makes trends 0, 1 and 2 (7 analog channels, 200 / 2000 / 20000 ms, 1800 slots), titles
// them in the state record's language, clears the averages, resets the block-trend settings
// and loads the channel settings (the project's companion file, else [Trend1]).
void SimTrendCreateAll(std::intptr_t instance);
// Destroys the block trend (if any), then trends 2, 1, 0.
void SimTrendDestroyAll();
// After every cycle: the scale limits when they changed, the samples that are due.
void SimTrendCycle();
// The block sample of an L1READ block: its 7 analog input values (each within +-999999) and
// 12 digital ones (0/1); all 0 when the block is not an L1READ block of the reader table.
void SimTrendValues(uint16_t block, float analog[SIM_TREND_ANALOG], uint8_t digital[SIM_TREND_DIGITAL]);
// Shows trend 0..3 (showing a visible one hides it; the other visible trends are hidden
// first); -1 removes the block trend. 1 done, 0 not (no such trend, no block chosen, a block
// period of 0, or the library failed).
int SimTrendShow(int index);
bool SimTrendIsVisible(int index);
// Any of the standard trends shown.
bool SimTrendStandardVisible();
// Message 2042: every trend drops its samples (the averages start again).
void SimTrendResetAll();
// After a change of the state record's language: titles, the library's texts, and names
// that were the old language's defaults become the new one's.
void SimTrendLanguageChanged();
KurvanHandle SimTrendHandle(int index);

// The block the block trend is (to be) made for; 0 = none. Choosing one that is no L1READ
// block of the reader table is refused (false).
bool SimTrendSelectBlock(uint16_t block);
uint16_t SimTrendSelectedBlock();
// The block trend's title: "<tag>: <text>" (the block's first text and the settings' name).
std::string SimTrendBlockTitle(uint16_t block);
// The block's line in the selection: its number and tag.
std::string SimTrendBlockLabel(uint16_t block);

// The settings in effect, and replacing them (applied to the trends that exist; marks the
// settings as changed when asked).
const SimTrendSettings& SimTrendCurrentSettings();
void SimTrendTakeSettings(const SimTrendSettings& settings, bool markChanged);
// Whether the settings changed since the project was loaded or saved (the save prompt).
bool SimTrendSettingsChanged();

// The project: after every load (the companion file, an older project's blocks, else
// [Trend1]) and after a save (the companion file is written; false when it could not be).
void SimTrendProjectLoaded();
bool SimTrendProjectSaved();

// The channel dialog of the settings trend: a temporary trend (7, 200 ms, 100 slots) with
// the standard trends' configuration; confirmed, its configuration becomes theirs, is written
// to [Trend1] and marks the settings as changed. 1 taken, 0 not.
int SimTrendSettingsDialog();
// How the channel dialog is waited for: the program keeps its cycle running meanwhile (the
// runner returns KurvanChannelConfigDialog's result); null = the call itself, blocking.
void SimTrendSetDialogRunner(int (*runner)(KurvanHandle h));

// --- The main window's commands ---------------------------------------------------------

// What the commands show: a warning box, and the selection among several L1READ blocks
// (returns the chosen index, -1 = cancelled). Texts are 8-bit (Latin-1).
struct SimTrendUi {
  void (*message)(const char* caption, const char* text) = nullptr;
  int (*selectBlock)(const char* title, const char* prompt, const char* cancel, const char* const* items,
                     int count) = nullptr;
};
constexpr char SIM_TREND_CAPTION[] = "SIM/MX74-2 - Trend";
const char* SimTrendNoControllerText(int language);
const char* SimTrendNoL1readText(int language);
const char* SimTrendSelectTitle(int language);
const char* SimTrendSelectPrompt(int language);
const char* SimTrendSelectCancel(int language);
// The controller trend: hides the standard trends when one is shown, else shows trend 0;
// without a controller block the error box. Returns whether a standard trend is shown now
// (the caller writes [Settings] ViewTrend).
bool SimTrendControllerCommand(const SimTrendUi& ui);
// The L1READ trend: hides it when shown; else the block (the only one, or the one chosen in
// the selection) and its trend is shown; without an L1READ block the error box. 1 shown.
int SimTrendBlockCommand(const SimTrendUi& ui);
