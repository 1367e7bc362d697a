#include "shell/plant_plugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include "runtime/fw_numeric.h"
#include "shell/sim_services.h"

namespace {

SimPlantEntries g_plant;
std::string g_file;
std::string g_folder;  // empty: the program's folder

// The registry names the plug-in may keep its own settings under.
constexpr const char* kCompany = "Orvant GmbH";
constexpr const char* kProduct = "SIM74";

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "./";
  const std::string self(path, static_cast<size_t>(n));
  const size_t slash = self.rfind('/');
  return slash == std::string::npos ? "./" : self.substr(0, slash + 1);
}

template <typename Fn>
void Take(Fn* entry, void* symbol) {
  *entry = reinterpret_cast<Fn>(symbol);
}

}  // namespace

const SimPlantEntries& SimPlantTable() { return g_plant; }

const char* SimPlantEditionFile(int language) {
  switch (language) {
    case 1: return "OvalmodE.so";
    case 2: return "OvalmodF.so";
    default: return "OvalmodG.so";
  }
}

void SimPlantSetFolder(const std::string& folder) {
  g_folder = folder;
  if (!g_folder.empty() && g_folder.back() != '/') g_folder += '/';
}

std::string SimPlantFolder() { return g_folder.empty() ? ProgramFolder() : g_folder; }

bool SimPlantBind(const char* file) {
  SimPlantUnload();
  // Every symbol resolved now: a plug-in that needs what this process lacks fails here, not
  // in the middle of a cycle.
  void* library = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    dlerror();  // the reason is no message for the user
    return false;
  }
  void* found[9];
  bool any = false;
  for (int i = 0; i < 9; ++i) {
    found[i] = dlsym(library, SPL_NAMES[i]);
    any = any || found[i];
  }
  dlerror();
  if (!any) {
    dlclose(library);
    return false;
  }
  g_plant.library = library;
  Take(&g_plant.setRegistry, found[0]);
  Take(&g_plant.create, found[1]);
  Take(&g_plant.destroy, found[2]);
  Take(&g_plant.setLanguage, found[3]);
  Take(&g_plant.settingsDialog, found[4]);
  Take(&g_plant.setPara, found[5]);
  Take(&g_plant.setInput, found[6]);
  Take(&g_plant.getOutput, found[7]);
  Take(&g_plant.cycle, found[8]);
  g_file = file;
  return true;
}

void SimPlantUnload() {
  if (g_plant.library) {
    if (g_plant.destroy) g_plant.destroy(g_plant.plant);
    dlclose(g_plant.library);
  }
  g_plant = SimPlantEntries{};
  g_file.clear();
}

void* SimPlantLoad(int language) {
  SimPlantUnload();
  const std::string file = SimPlantFolder() + SimPlantEditionFile(language);
  if (!SimPlantBind(file.c_str())) return nullptr;
  if (g_plant.setRegistry) g_plant.setRegistry(kCompany, kProduct);
  g_plant.plant = g_plant.create ? g_plant.create(1, 1) : 0;
  if (g_plant.setLanguage) g_plant.setLanguage(g_plant.plant, language);
  return g_plant.library;
}

const std::string& SimPlantLoadedFile() { return g_file; }

int32_t SimPlantSettings(void* owner, int32_t argument) {
  return g_plant.settingsDialog ? g_plant.settingsDialog(g_plant.plant, owner, argument) : 0;
}

// The firmware's records become the plug-in's byte records (floats widened to doubles), the
// plug-in's two doubles come back as floats; out-of-range and NaN answers are saturated as
// every block value is. 1 whenever a plug-in is loaded, whatever its entry points answer.
int SimPlantCycle(SimPlantActuators* actuators, SimPlantParams* params, SimPlantResult* result) {
  if (!g_plant.library) return 0;
  uint8_t in[SPL_IN_SIZE];
  SplPutI32(in, SPL_IN_SWITCH1, actuators->switch1);
  SplPutI32(in, SPL_IN_SWITCH2, actuators->switch2);
  SplPutF64(in, SPL_IN_Y1, actuators->y1);
  SplPutF64(in, SPL_IN_Y2, actuators->y2);

  uint8_t para[SPL_PARA_SIZE];
  SplPutI32(para, SPL_PARA_DIRECT, params->inverse == 0 ? 1 : 0);
  SplPutI32(para, SPL_PARA_STEPPING, params->outputKind == 7 || params->outputKind == 8 ? 1 : 0);
  SplPutF64(para, SPL_PARA_A, params->motorTime);
  SplPutF64(para, SPL_PARA_D, params->gainNegative);
  SplPutF64(para, SPL_PARA_B, params->startPosition);
  SplPutF64(para, SPL_PARA_C, params->gainPositive);

  // A plug-in that writes no output answers zeros, never what the stack held.
  uint8_t out[SPL_OUT_SIZE] = {};
  const int32_t plant = g_plant.plant;
  if (g_plant.setInput) g_plant.setInput(plant, 0, in);
  if (g_plant.setPara) g_plant.setPara(plant, 0, para);
  if (g_plant.cycle) g_plant.cycle(plant, 0);
  if (g_plant.getOutput) g_plant.getOutput(plant, 0, out);
  result->x = FW_ClampValueD(SplGetF64(out, SPL_OUT_VALUE1));
  result->position = FW_ClampValueD(SplGetF64(out, SPL_OUT_VALUE2));
  result->valid = 1;
  return 1;
}

// --- The program's exports -------------------------------------------------------------------
// The nine names as plain C symbols of the program: each calls the loaded plug-in's entry
// point with the same arguments, or answers 0 when it has none.
extern "C" {

int32_t SplSetRegistry(const char* company, const char* product) {
  return g_plant.setRegistry ? g_plant.setRegistry(company, product) : 0;
}
int32_t SplCreate(int32_t kind, int32_t count) { return g_plant.create ? g_plant.create(kind, count) : 0; }
int32_t SplDestroy(int32_t plant) { return g_plant.destroy ? g_plant.destroy(plant) : 0; }
int32_t SplSetLanguage(int32_t plant, int32_t language) {
  return g_plant.setLanguage ? g_plant.setLanguage(plant, language) : 0;
}
int32_t SplSettingsDialog(int32_t plant, void* owner, int32_t argument) {
  return g_plant.settingsDialog ? g_plant.settingsDialog(plant, owner, argument) : 0;
}
int32_t SplSetPara(int32_t plant, int32_t index, const uint8_t* record) {
  return g_plant.setPara ? g_plant.setPara(plant, index, record) : 0;
}
int32_t SplSetInput(int32_t plant, int32_t index, const uint8_t* record) {
  return g_plant.setInput ? g_plant.setInput(plant, index, record) : 0;
}
int32_t SplGetOutput(int32_t plant, int32_t index, uint8_t* record) {
  return g_plant.getOutput ? g_plant.getOutput(plant, index, record) : 0;
}
int32_t SplCycle(int32_t plant, int32_t index) { return g_plant.cycle ? g_plant.cycle(plant, index) : 0; }

}  // extern "C"
