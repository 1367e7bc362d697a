// The simulator's settings file "sim_mx74-2.ini" in the per-user folder
// "$XDG_CONFIG_HOME/Orvant Tools/SIM_MX74-2" (~/.config when XDG_CONFIG_HOME is not set).
//
// [Settings] "Valid" detects a run that did not end normally: the start writes 0, the 100th
// cycle and a normal exit write 1, and a start that finds 0 wipes [Settings] and
// [Recent File List].
#pragma once

#include <string>

#include "shell/sim_services.h"

inline constexpr char SIM_INI_SETTINGS[] = "Settings";
inline constexpr char SIM_INI_DEVICE[] = "Device";
inline constexpr char SIM_INI_RECENT[] = "Recent File List";

// The settings folder, without a trailing '/'.
std::string SimSettingsFolder();
// The settings file; empty before SimInitIni.
const std::string& SimIniPath();
// "OEM-Projekt.sdg" in the settings folder.
const std::string& SimOemProjectPath();

// First step of the instance initialisation: makes the folder and the file with the
// first-run values when the file cannot be read, takes the logo and user-data paths into the
// state record, wipes the settings after an unclean run and writes Valid=0. A file that is
// not a settings file is reported once to the error log, kept beside as
// "sim_mx74-2.ini.corrupt" and replaced by the first-run values.
// 0 = done; 1 = the folder or the file could not be made (the program runs on defaults).
int SimInitIni(SimHostState& state);
// Writes [Settings] "Valid"=1 (at the 100th cycle and at a normal exit).
void SimMarkSettingsValid();

// The [Settings] values of the main window and the instance initialisation.
struct SimSettings {
  int topmost = 0;            // main window always on top
  int autoLoad = 1;           // reopen the most recent file when no last file is named
  std::string lastFileName;   // project loaded at start
  int language = 0;           // 0 German, 1 English, 2 French
  int viewIO = 0;             // I/O views shown
  int viewCOM = 0;            // communication view shown (only with the I/O views)
  int viewTrend = 0;          // trend view shown at exit (written only)
  double plantLimit = 10.0;   // limit value of the plant plug-in settings
};
// The program's settings, read at start and written back at exit.
SimSettings& SimTheSettings();
// Reads Topmost, AutoLoad, LastFileName, Language, ViewIO, ViewCOM and PlantLimit with their
// defaults; flags read as 0 or 1, the language as 0..2, a plant limit that is no number as
// 10.0; ViewCOM is 0 while ViewIO is.
SimSettings SimReadSettings();
// At a normal exit: AutoLoad, LastFileName, Valid=1, Topmost, StartupLogo and VuserData (the
// state record's paths, or empty when there is no such file), Language, ViewTrend and
// ViewIO. False when a key could not be written (each write keeps the old file whole).
bool SimWriteSettingsAtExit(const SimSettings& settings, const SimHostState& state, bool haveLogo,
                            bool haveUserData);

// The [Device] keys of the 16 module positions A1..P4.
inline constexpr const char* SIM_MODULE_KEYS[16] = {"ModulA1", "ModulA2", "ModulA3", "ModulA4", "ModulB1", "ModulB2",
                                                    "ModulB3", "ModulB4", "ModulC1", "ModulC2", "ModulC3", "ModulC4",
                                                    "ModulP1", "ModulP2", "ModulP3", "ModulP4"};

// The [Device] keys with their defaults, into the device configuration.
void SimReadDeviceSettings(SimDeviceConfig* device);
// The [Device] keys of the device dialog ("Ksx", "Anschluss", "Power", "CommOpt", "SlotB",
// "SlotC", "Relais", "ModulA1".."ModulP4"); then the hook below (the I/O views lay themselves
// out anew for the configuration).
void SimWriteDeviceSettings(const SimDeviceConfig& device);
void SimSetDeviceWrittenHook(void (*hook)());

// DemoTextG/E/F (language 0, 1, 2): at most 1023 bytes, 228, 246, 252 read as 225, 239, 245.
std::string SimReadDemoText(int language, const std::string& fallback);

// The splash time in ms: "sim74-2.ini" [COMPATIBILITY] "QM2911" in the settings folder,
// 2000 when not set; 0 shows no splash.
long SimSplashTime();

// The order code of the module fitting: "Z74-K-" and 14 letters in three groups.
std::string SimModuleOrderCode(const SimDeviceConfig& device);
