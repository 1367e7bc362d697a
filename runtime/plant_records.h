// The plant exchange records: what the firmware's plant link hands a plant each 0.1 s cycle
// and what the plant answers. The plant is the shell's plug-in when one is loaded, else the
// controller family's built-in model; both take the same records.
#pragma once

#include <cstdint>

// Plant exchange records: parameters written at the plant set-up, the controller's outputs
// each plant cycle, and the plant's answer.
struct SimPlantParams {
  uint8_t outputKind;       // function n stored as n below 10, n + 6 from 10 up
  uint8_t inverse;
  float motorTime;
  float startPosition;
  float gainPositive;
  float gainNegative;
  float plantGain;          // K
  float delayTime;          // Tu, seconds
  float riseTime;           // Tg, seconds
  float rangeStart;
  float rangeEnd;
  uint16_t fixedWords[2];   // 2 and 4, the device's fixed words of the record; no plant reads them
  float cycleTime;          // 0.1
};

struct SimPlantActuators {
  float y1;                 // first continuous output, percent
  float y2;                 // second continuous output, percent
  float loadOffset;
  float processOffset;
  int8_t switch1;
  int8_t switch2;
  uint8_t initialise;
  uint8_t firstCycle;
};

struct SimPlantResult {
  float x;                  // process value in engineering units
  float position;           // position feedback
  uint8_t valid;
};
