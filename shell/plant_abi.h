// The plant plug-in's binary interface, shared by the simulator and the plug-ins it loads.
//
// A plug-in is a shared object exporting the nine entry points below as plain C symbols
// (no name decoration). Every entry point returns a 32-bit value; a plant is named by the
// 32-bit handle that SplCreate returns. The exchange records are byte buffers in a fixed
// little-endian layout, read and written only through the helpers here, so that a plug-in
// built by anyone sees the same bytes whatever its compiler packs.
#pragma once

#include <cstdint>
#include <cstring>

// The nine entry points a plug-in exports; the program exports the same names as forwarders
// to the loaded plug-in.
extern "C" {
int32_t SplSetRegistry(const char* company, const char* product);
int32_t SplCreate(int32_t kind, int32_t count);
int32_t SplDestroy(int32_t plant);
int32_t SplSetLanguage(int32_t plant, int32_t language);
int32_t SplSettingsDialog(int32_t plant, void* owner, int32_t argument);
int32_t SplSetPara(int32_t plant, int32_t index, const uint8_t* record);
int32_t SplSetInput(int32_t plant, int32_t index, const uint8_t* record);
int32_t SplGetOutput(int32_t plant, int32_t index, uint8_t* record);
int32_t SplCycle(int32_t plant, int32_t index);
}

using SplSetRegistryFn = decltype(&SplSetRegistry);
using SplCreateFn = decltype(&SplCreate);
using SplDestroyFn = decltype(&SplDestroy);
using SplSetLanguageFn = decltype(&SplSetLanguage);
using SplSettingsDialogFn = decltype(&SplSettingsDialog);
using SplSetParaFn = decltype(&SplSetPara);
using SplSetInputFn = decltype(&SplSetInput);
using SplGetOutputFn = decltype(&SplGetOutput);
using SplCycleFn = decltype(&SplCycle);

// The names in the order the simulator binds them.
inline constexpr const char* SPL_NAMES[9] = {
    "SplSetRegistry", "SplCreate",  "SplDestroy",   "SplSetLanguage", "SplSettingsDialog",
    "SplSetPara",     "SplSetInput", "SplGetOutput", "SplCycle",
};

// Input record: the controller's outputs.
enum : uint32_t {
  SPL_IN_SWITCH1 = 0,   // int32: first switching output (0 or 1, or negative)
  SPL_IN_SWITCH2 = 4,   // int32: second switching output
  SPL_IN_Y1 = 8,        // float64: first continuous output, percent
  SPL_IN_Y2 = 16,       // float64: second continuous output, percent
  SPL_IN_SIZE = 24,
};

// Parameter record: how the actuator acts on the plant.
enum : uint32_t {
  SPL_PARA_DIRECT = 0,    // int32: 1 when the plant rises with the actuator, 0 when it falls
  SPL_PARA_STEPPING = 4,  // int32: 1 for a motor actuator driven by stepping pulses
  SPL_PARA_A = 8,         // float64: motor time, seconds for a full travel
  SPL_PARA_D = 16,        // float64: gain for actuator values of 0 and below
  SPL_PARA_B = 24,        // float64: start position of the motor, percent
  SPL_PARA_C = 32,        // float64: gain for positive actuator values
  SPL_PARA_SIZE = 40,
};

// Output record: the plant's two values (process value and position feedback).
enum : uint32_t {
  SPL_OUT_VALUE1 = 0,  // float64
  SPL_OUT_VALUE2 = 8,  // float64
  SPL_OUT_SIZE = 16,
};

inline void SplPutI32(uint8_t* record, uint32_t offset, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<uint8_t>(u >> (8 * i));
}

inline int32_t SplGetI32(const uint8_t* record, uint32_t offset) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(record[offset + i]) << (8 * i);
  return static_cast<int32_t>(u);
}

inline void SplPutF64(uint8_t* record, uint32_t offset, double v) {
  uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  for (int i = 0; i < 8; ++i) record[offset + i] = static_cast<uint8_t>(u >> (8 * i));
}

inline double SplGetF64(const uint8_t* record, uint32_t offset) {
  uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= static_cast<uint64_t>(record[offset + i]) << (8 * i);
  double v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}
