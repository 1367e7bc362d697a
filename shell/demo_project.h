// The built-in demo project: the engineering image that the build makes from
// assets/demo.eng, a blank data image and the device configuration that goes with them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/sim_services.h"

// The engineering image built from assets/demo.eng (SIM_ENGINEERING_SIZE bytes, beginning
// with the tag "MX7N").
extern const uint8_t kSimDemoEngineering[];
extern const size_t kSimDemoEngineering_size;

// The demo's data image: a blank internal EEPROM that carries its tag and the factory colours
// in its four palettes.
void SimDemoDataImage(uint8_t* data, size_t size);

// The device the demo is made for: the first-run configuration of the settings, whose
// Uni-Input at A4 carries the built-in plant's process value to block 61.
const SimDeviceConfig& SimDemoDeviceConfig();

// The built-in plant's settings that go with the demo: gain K, delay time Tu and rise time Tg
// (seconds).
inline constexpr float kSimDemoPlantSettings[3] = {1.0f, 5.0f, 50.0f};
