// The probe plant plug-in of the plug-in host tests: it records every call it gets and
// answers what the test sets. The test reaches its state through the exported
// PlantProbeState of the loaded library.
#pragma once

#include <cstdint>

struct PlantProbe {
  char calls[1024];         // "SplCreate(1,1);SplSetLanguage(77,2);..."
  char company[32];
  char product[32];
  int32_t handle;           // what SplCreate answers
  uint8_t input[24];        // the last input record
  uint8_t para[40];         // the last parameter record
  double outputs[2];        // what SplGetOutput writes
  void* owner;              // of the last settings dialog
  int32_t dialogAnswer;
};

extern "C" PlantProbe* PlantProbeState();
using PlantProbeStateFn = PlantProbe* (*)();
