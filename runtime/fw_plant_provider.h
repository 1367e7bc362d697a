// What the block families provide to the firmware's plant link (firmware/fw_plant.h): the
// controller family a view of its first controller and its built-in plant model, the analog
// input blocks the reading that turns a plant's value back into their input. The families
// register them with their type rows; the link finds them here, so a block compiles against
// this contract only, not against the firmware or the shell.
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"
#include "runtime/plant_records.h"

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
