// Plant link: closes the loop of the engineering's first controller with a simulated plant.
//
// On entering the run mode the link finds the first controller block (CONTR, CONTR+ or
// PIDMA) by block number and fills the plant records from it; each tick it hands the
// controller's actuator values to the shell's plant plug-in, or, without one, to the
// controller's built-in plant model, and shows the shell the controller's values.
#pragma once

#include <cstdint>

#include "runtime/fw_plant_provider.h"
#include "runtime/plant_records.h"

struct FwPlantScaling {
  float gain;
  float offset;
};

// The firmware's plant records (the plug-in gets the same records).
struct FwPlantLink {
  SimPlantParams params;
  SimPlantActuators actuators;
  SimPlantResult result;
  FwPlantScaling scaling[3];   // the analog outputs at the fixed blocks 81, 82, 83
  // Where the plant's two results go: the analog input records of the shell's I/O image
  // that the fixed input blocks 61 (A4) and 66 (A3) read.
  uint16_t inputIndex[2];
  FwPlantController view;
  uint8_t active;
};
extern FwPlantLink g_fwPlant;

// The first block of type 90, 91 or 93 among 100..1950: fills the view, 1; 0 when none.
int FW_FindPlantController(FwPlantController* view);
// PIDMA's output kind from its output-configuration word: 0 -> 2, 1 -> 9, 5 -> 10, 8 -> 11,
// any other w -> w + 1.
uint8_t FW_PidmaOutputKind(uint16_t config);
// The stored output kind: n below 10, n + 6 from 10 up.
uint8_t FW_PlantStoredKind(uint8_t kind);
// Fills the plant records from the shell's three settings, the controller view and the
// input scalings.
void FW_PlantSetup(const float settings[3], const FwPlantController& view,
                   const FwPlantScaling scalings[3]);
// Set-up on entering the run mode: the link becomes active when a controller is found;
// otherwise the shell shows three empty ranges 0..100.
void FW_PlantEnterRun();
// One plant step (0.1 s): the controller's outputs to the plant, the plant's process value
// and position feedback back as the simulated analog inputs of blocks 61 and 66.
void FW_PlantCycle();
// The controller's values to the shell's plant view, with the values and scale limits that
// the standard trends record.
void FW_PlantValuesToHost();
