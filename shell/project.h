// Project files (.sdg), the restart project, the built-in demo project, the start-up logo and
// user-data files, and the EEPROM export.
//
// A project holds what the simulated device keeps across power cycles: the engineering image,
// the data image, the device configuration, and the start-up logo and user data with their
// file paths. Loading fills the state record's buffers and sets the reload request, so that
// the next firmware tick starts the firmware with the new images. Every stored section is
// read and written with explicit little-endian access, each length checked against its
// buffer and the bytes left in the file before anything is read; a section is taken only
// when it is whole. Files are written beside the target and renamed over it, so a failed
// write never leaves a half file in place of the old one.
//
// Project file layout (offsets of a project without logo and user data):
//   0        u32 total file size
//   4        u32 0x20000, then the engineering image
//   0x20008  u32 0x4000, then the data image (16256 bytes, zero padded)
//   0x2400C  u32 34, then the device configuration
//   0x24032  u32 260, then the logo path (NUL padded)
//   0x2413A  logo block: u32 length L counting itself, then L - 4 bytes; 0 for none
//   ...      u32 260, the user-data path, the user-data block as the logo block
// The older layout has no size word: exactly 150988 bytes of engineering image, data image,
// the three plant settings, one plant-settings float and two trend blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "shell/sim_services.h"

constexpr uint32_t SIM_PROJECT_ENGINEERING_LEN = 0x20000;
constexpr uint32_t SIM_PROJECT_DATA_LEN = 0x4000;
constexpr uint32_t SIM_PROJECT_DEVICE_LEN = 34;
constexpr uint32_t SIM_PROJECT_PATH_LEN = SIM_PATH_SIZE;
constexpr uint32_t SIM_OLD_PROJECT_SIZE = 150988;
constexpr uint32_t SIM_OLD_TREND_SETTINGS_LEN = 2032;
constexpr uint32_t SIM_OLD_TREND_CHANNELS_LEN = 1484;
// The EEPROM export: the firmware identification, then the image from offset 256 to its
// last byte but one.
constexpr uint32_t SIM_EBIN_IMAGE_OFFSET = 256;
constexpr uint32_t SIM_EBIN_IMAGE_LEN = 130815;

// Results of SimLoadProject.
enum : int { SIM_PROJECT_FAILED = 0, SIM_PROJECT_LOADED = 1, SIM_PROJECT_OTHER_FIRMWARE = -1 };

// Points the state record's project buffers (both images and their saved copies, the logo
// and user-data buffers) at the shell's buffers and sets the firmware identification.
void SimAttachProjectBuffers(SimHostState& state);

// Loads a project file: 1 loaded; 0 (cannot be read, a wrong section) or -1 (made for
// another firmware) failed, and the demo project is then loaded and the settings' last file
// cleared. A null path loads the demo project (1). A file whose first word is not its size
// is read in the older layout. Always clears the change flag and sets the reload request.
int SimLoadProject(const char* path);
// The same from bytes in memory; `name` becomes the project name.
int SimLoadProjectBytes(const uint8_t* data, size_t size, const char* name);
// Loads a project of the older layout; true when loaded, else the demo project is loaded.
bool SimLoadProjectOld(const char* path);
// Writes the project file; 1 written, 0 failed (the old file is left as it was).
int SimSaveProject(const char* path);
// Whether the 32 bytes at `offset` (the engineering image's header) carry this firmware's
// identification at 14..20 ("1230", "-A" and the version byte).
bool SimCheckFirmwareId(std::FILE* file, long offset);
// The built-in demo project: the plant settings 1.0, 5.0 and 50.0, the engineering image made
// from assets/demo.eng, a blank data image and the demo's device configuration; zeros for
// both images while Shift is held. Project name "demo".
void SimLoadDemoProject();

// Whether the project is the demo (it counts as unnamed) and whether it has a file name.
bool SimProjectIsDemo();
bool SimProjectHasName();
// Sets or clears the project name (a name of SIM_PATH_SIZE characters or more is refused:
// false).
bool SimSetProjectName(const std::string& name);
// Whether the project differs from what was loaded or saved last: an image differs from its
// saved copy, the change flag is set, or it came from the restart project. The caller has
// the firmware hand back its images first (save request and one tick).
bool SimProjectChanged();
// After a save: the saved copies are the images, the change flag and the restart mark clear.
void SimMarkProjectSaved();
// The companion file of the last project loaded or saved: its name with the extension
// replaced by ".dat" (the trend binding keeps its channel settings there).
const std::string& SimProjectCompanionName();

// The two trend blocks of the project loaded last when it was of the older layout (else not
// loaded), for the trend binding.
struct SimOldProjectTrend {
  bool loaded = false;
  bool settingsValid = false;   // the settings block begins with "Sbsu"
  uint8_t settings[SIM_OLD_TREND_SETTINGS_LEN] = {};
  uint8_t channels[SIM_OLD_TREND_CHANNELS_LEN] = {};
};
const SimOldProjectTrend& SimOldProjectTrendBlocks();

// --- Restart project ------------------------------------------------------------------------
// "Restart.sdg" in the settings folder.
std::string SimRestartProjectPath();
// Saves the project as the restart project (before the program starts itself again).
int SimSaveRestartProject();
// Loads the restart project and deletes it. When it loaded, the project's name becomes the
// settings' last file (the project the user had open) and the project counts as changed.
int SimLoadRestartProject();

// --- EEPROM export --------------------------------------------------------------------------
// Writes the firmware identification and 130815 bytes of the engineering image from offset
// 256; 1 written, 0 failed.
int SimWriteEepromFile(const char* path);

// --- Start-up logo and user data ------------------------------------------------------------
// At start: both buffers empty, then each read from its path when the file is there (a file
// whose length word is not 4..its size counts as none). The paths in effect now are the
// settings' own: at exit they are written without asking.
void SimReadPictureFiles();
// Asked before a path that a project brought would be deleted (remove) or overwritten; true
// lets it happen. Without an answer the settings folder's default file is used instead.
using SimConfirmPathHook = bool (*)(const char* path, bool remove);
// At exit, for each kind with a path: without data the file is deleted, else the block is
// written to it. *haveLogo and *haveUserData tell whether the settings keep the path.
void SimWritePictureFiles(SimConfirmPathHook confirm, bool* haveLogo, bool* haveUserData);
// The logo's and the user data's bytes after their length words (null and 0 when none).
const uint8_t* SimLogoData(uint32_t* size);
const uint8_t* SimUserData(uint32_t* size);

// Called after every load and after the picture files were read, so that the firmware is
// handed the current logo and user data; null = nothing.
void SimSetPicturesChangedHook(void (*hook)());
// The trend binding keeps its channel settings per project: `loaded` is called once a
// project is in place (a file, the demo, the demo after a failed load), `saved` after a
// project file was written (its result only reaches the error log); null = nothing.
void SimSetProjectTrendHooks(void (*loaded)(), bool (*saved)());
// Whether Shift is held (the demo then loads empty images); null = never.
void SimSetShiftHeldHook(bool (*hook)());

// Writes a file beside the target ("<path>.tmp"), flushes it to disk and renames it over the
// target; on any failure the target is left as it was. True when written.
bool SimWriteFileAtomic(const std::string& path, const uint8_t* data, size_t size);
// The write of the file functions (tests install a failing one); null = fwrite.
using SimFileWriter = size_t (*)(const void* data, size_t size, std::FILE* file);
void SimSetFileWriter(SimFileWriter writer);
