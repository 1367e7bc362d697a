// The plant plug-in host: loads the plug-in edition of the simulator's language, binds its
// nine entry points by name and exchanges one set of records with it per plant cycle
// (SimPlantCycle, shell/sim_services.h). Without a plug-in the firmware runs its own plant
// model. The program exports the nine entry-point names itself as forwarders to the loaded
// plug-in, so that other modules in the process reach the same plant.
//
// A missing file, a file that is no shared object and one that exports none of the names
// are no plug-in; no message is shown for any of them.
#pragma once

#include <cstdint>
#include <string>

#include "shell/plant_abi.h"

// The entry-point table: the library and the nine entry points (each empty when the library
// lacks its name), with the plant handle of the loaded plug-in.
struct SimPlantEntries {
  void* library;
  SplSetRegistryFn setRegistry;
  SplCreateFn create;
  SplDestroyFn destroy;
  SplSetLanguageFn setLanguage;
  SplSettingsDialogFn settingsDialog;
  SplSetParaFn setPara;
  SplSetInputFn setInput;
  SplGetOutputFn getOutput;
  SplCycleFn cycle;
  int32_t plant;
};
const SimPlantEntries& SimPlantTable();

// The edition's file for a language: "OvalmodE.so" for 1, "OvalmodF.so" for 2, "OvalmodG.so"
// for any other value.
const char* SimPlantEditionFile(int language);
// The folder the editions are looked for in (ending in '/'): the program's own folder unless
// set; an empty text goes back to it.
void SimPlantSetFolder(const std::string& folder);
std::string SimPlantFolder();

// Unloads the current plug-in, then loads the language's edition: its registry names, one
// plant (SplCreate(1, 1)) and the language. Returns the library, or null without one.
void* SimPlantLoad(int language);
// Opens the file and binds the nine names in table order; true when it is loaded (it then
// exports at least one of them).
bool SimPlantBind(const char* file);
// Destroys the plant and frees the library; the table is empty afterwards.
void SimPlantUnload();
// The file of the loaded plug-in; empty without one.
const std::string& SimPlantLoadedFile();
// The plug-in's settings dialog over the owner window; 0 without a plug-in or dialog.
int32_t SimPlantSettings(void* owner, int32_t argument);
