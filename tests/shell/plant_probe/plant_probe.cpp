// A plant plug-in that records its calls (tests/support/plant_probe.h). Built without
// SplCycle as well (PLANT_PROBE_NO_CYCLE), and as a shared object without any plug-in
// names (PLANT_PROBE_NO_NAMES).
#include <cstdio>
#include <cstring>

#include "shell/plant_abi.h"
#include "support/plant_probe.h"

namespace {

PlantProbe g_probe = {{}, {}, {}, 77, {}, {}, {0.0, 0.0}, nullptr, 0};

[[maybe_unused]] void Log(const char* name, long a, long b) {
  const size_t used = std::strlen(g_probe.calls);
  std::snprintf(g_probe.calls + used, sizeof g_probe.calls - used, "%s(%ld,%ld);", name, a, b);
}

}  // namespace

extern "C" PlantProbe* PlantProbeState() { return &g_probe; }

#ifndef PLANT_PROBE_NO_NAMES
extern "C" {

int32_t SplSetRegistry(const char* company, const char* product) {
  std::snprintf(g_probe.company, sizeof g_probe.company, "%s", company);
  std::snprintf(g_probe.product, sizeof g_probe.product, "%s", product);
  Log("SplSetRegistry", 0, 0);
  return 1;
}
int32_t SplCreate(int32_t kind, int32_t count) {
  Log("SplCreate", kind, count);
  return g_probe.handle;
}
int32_t SplDestroy(int32_t plant) {
  Log("SplDestroy", plant, 0);
  return 1;
}
int32_t SplSetLanguage(int32_t plant, int32_t language) {
  Log("SplSetLanguage", plant, language);
  return 1;
}
int32_t SplSettingsDialog(int32_t plant, void* owner, int32_t argument) {
  Log("SplSettingsDialog", plant, argument);
  g_probe.owner = owner;
  return g_probe.dialogAnswer;
}
int32_t SplSetPara(int32_t plant, int32_t index, const uint8_t* record) {
  Log("SplSetPara", plant, index);
  std::memcpy(g_probe.para, record, sizeof g_probe.para);
  return 1;
}
int32_t SplSetInput(int32_t plant, int32_t index, const uint8_t* record) {
  Log("SplSetInput", plant, index);
  std::memcpy(g_probe.input, record, sizeof g_probe.input);
  return 1;
}
int32_t SplGetOutput(int32_t plant, int32_t index, uint8_t* record) {
  Log("SplGetOutput", plant, index);
  SplPutF64(record, SPL_OUT_VALUE1, g_probe.outputs[0]);
  SplPutF64(record, SPL_OUT_VALUE2, g_probe.outputs[1]);
  return 1;
}
#ifndef PLANT_PROBE_NO_CYCLE
int32_t SplCycle(int32_t plant, int32_t index) {
  Log("SplCycle", plant, index);
  return 1;
}
#endif

}  // extern "C"
#endif
