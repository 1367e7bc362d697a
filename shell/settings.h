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
// state record, wipes the settings after an unclean run and writes Valid=0.
// 0 = done; 1 = the folder or the file could not be made (the program runs on defaults).
int SimInitIni(SimHostState& state);
// Writes [Settings] "Valid"=1 (at the 100th cycle and at a normal exit).
void SimMarkSettingsValid();

// The [Device] keys with their defaults, into the device configuration.
void SimReadDeviceSettings(SimDeviceConfig* device);
// The [Device] keys of the device dialog.
void SimWriteDeviceSettings(const SimDeviceConfig& device);

// DemoTextG/E/F (language 0, 1, 2): at most 1023 bytes, 228, 246, 252 read as 225, 239, 245.
std::string SimReadDemoText(int language, const std::string& fallback);

// The splash time in ms: "sim74-2.ini" [COMPATIBILITY] "QM2911" in the settings folder,
// 2000 when not set; 0 shows no splash.
long SimSplashTime();

// The order code of the module fitting: "Z74-K-" and 14 letters in three groups.
std::string SimModuleOrderCode(const SimDeviceConfig& device);
