// Plant link: closes the loop of the engineering's first controller with a simulated plant.
//
// On entering the run mode the link finds the first controller block (CONTR, CONTR+ or
// PIDMA) by block number and fills the plant records from it; each tick it hands the
// controller's actuator values to the shell's plant plug-in, or, without one, to the
// controller's built-in plant model, and shows the shell the controller's values.
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"
#include "shell/sim_services.h"

// Where the link reads the controller: pointers into the controller's instance.
struct FwPlantController {
  uint16_t block;
  uint16_t type;
  FbF32* processValue;
  FbF32* rangeLower;
  FbF32* rangeUpper;
  FbF32* setpoint;
  FbF32* analog[2];        // W (the second setpoint of the pair shown by the shell) and Xw
  FbF32* outputs[3];       // Y1, Y2 (percent) and the third output value
  const FbRef* inputs[2];  // the references of the controller's inputs X2 and X3
  const uint16_t* contacts[2];  // the switching outputs y1 and y2
  const uint8_t* status[5];
  uint8_t outputKind;      // the controller's output function n
  uint8_t mode;            // the controller's action: 0 inverse, 1 direct
  uint16_t outputConfig;   // PIDMA: the output-configuration word the kind derives from
  // Plant parameters that come from the controller.
  float motorTime;         // seconds for a full travel of a motor actuator
  uint8_t plantInverse;    // 1: the plant falls when the actuator rises (direct action)
};

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

// --- Provided by the controller blocks --------------------------------------------------
// The controller family enters these with its type rows; without them no controller is
// found and no built-in plant answers.
struct FwPlantProvider {
  // Points the view at the controller's instance slots; 0 when the block is not a controller.
  int (*view)(uint16_t block, FwPlantController* view);
  // Clears the built-in plant's state (at every set-up of the link).
  void (*reset)();
  // The built-in plant model: the plant's answer to the actuator values when no plug-in
  // runs; the call with the initialise flag sets it up.
  void (*simulate)(SimPlantActuators* actuators, SimPlantParams* params, SimPlantResult* result);
};
void FW_RegisterPlantProvider(const FwPlantProvider* provider);
// What was registered, or null.
const FwPlantProvider* FW_PlantProvider();

// --- Provided by the analog input blocks -------------------------------------------------
// The reading that the input block at `block` turns back into `percent` of its range (an
// electrical value in mA or V when `electrical` comes back set); false without an input
// block there. Without it the plant's results are not written into the inputs.
using FwInputReading = bool (*)(uint16_t block, float percent, float* value, bool* electrical);
void FW_RegisterInputReading(FwInputReading reading);
FwInputReading FW_InputReading();
