#include "runtime/fw_plant.h"

#include <algorithm>

#include "runtime/fb_schedule.h"

FwPlantLink g_fwPlant;

namespace {

constexpr uint16_t kScaledBlocks[3] = {81, 82, 83};

float read(const FbF32* p) { return p ? p->get() : 0.0f; }

// Kinds whose continuous outputs Y1, Y2 drive the plant; the others switch or step.
bool continuousKind(uint8_t stored) {
  return stored == 4 || stored == 5 || stored == 9 || stored == 16 || stored == 17;
}

}  // namespace

uint8_t FW_PidmaOutputKind(uint16_t w) {
  switch (w) {
    case 0: return 2;
    case 1: return 9;
    case 5: return 10;
    case 8: return 11;
    default: return static_cast<uint8_t>(w + 1);
  }
}

uint8_t FW_PlantStoredKind(uint8_t k) { return static_cast<uint8_t>(k < 10 ? k : k + 6); }

int FW_FindPlantController(FwPlantController* view) {
  for (uint16_t block = 100; block <= FB_MAX_BLOCK; ++block) {
    const uint16_t* inst = FB_GetInstance(block);
    if (!inst) continue;
    const uint16_t type = inst[FB_HDR_TYPE];
    if (type != FB_TYPE_CONTR && type != FB_TYPE_CONTR_PLUS && type != FB_TYPE_PIDMA) continue;
    *view = FwPlantController{};
    view->block = block;
    view->type = type;
    if (!CTRL_PlantView(block, view)) continue;
    view->block = block;
    view->type = type;
    if (type == FB_TYPE_PIDMA) view->outputKind = FW_PidmaOutputKind(view->outputConfig);
    return 1;
  }
  return 0;
}

void FW_PlantSetup(const int32_t settings[3], const FwPlantController& view,
                   const FwPlantScaling scalings[3]) {
  FwPlantLink& p = g_fwPlant;
  p.view = view;
  p.params = SimPlantParams{};
  p.params.outputKind = FW_PlantStoredKind(view.outputKind);
  p.params.startPosition = 0.0f;
  p.params.gainPositive = 1.0f;
  p.params.gainNegative = 1.0f;
  p.params.plantGain = static_cast<float>(settings[0]);
  p.params.delayTime = static_cast<float>(settings[1]);
  p.params.riseTime = static_cast<float>(settings[2]);
  p.params.rangeStart = read(view.rangeLower);
  p.params.rangeEnd = read(view.rangeUpper);
  p.params.word1 = 2;
  p.params.word2 = 4;
  p.params.cycleTime = 0.1f;
  p.actuators = SimPlantActuators{};
  p.actuators.initialise = 1;
  p.actuators.firstCycle = 1;
  p.result = SimPlantResult{};
  for (int i = 0; i < 3; ++i) p.scaling[i] = scalings[i];
}

void FW_PlantEnterRun() {
  SimHostState& s = SimState();
  FwPlantController view{};
  if (!FW_FindPlantController(&view)) {
    for (SimPlantRange& r : s.plant.ranges) r = SimPlantRange{0.0f, 0.0f, 100.0f};
    s.plant.changed = 1;
    g_fwPlant.active = 0;
    return;
  }
  FwPlantScaling scalings[3];
  for (int i = 0; i < 3; ++i) {
    FbLayout l;
    // The third word value as last configured: its pending copy.
    const bool tempScale = FB_GetLayout(kScaledBlocks[i], &l) && l.wordValues >= 3 &&
                           l.wv[l.wordValues + 2] == 2;
    scalings[i] = tempScale ? FwPlantScaling{0.0625f, -25.0f} : FwPlantScaling{0.05f, 0.0f};
  }
  FW_PlantSetup(s.plantSettings, view, scalings);
  g_fwPlant.active = 1;

  const float lower = read(view.rangeLower);
  const float upper = read(view.rangeUpper);
  s.plant.threePointOutput = (view.outputKind == 8 || view.outputKind == 11) ? 1 : 0;
  s.plant.changed = 1;
  for (int i = 0; i < 2; ++i) s.plant.ranges[i] = SimPlantRange{read(view.processValue), lower, upper};
  s.plant.setpoint[0] = read(view.setpoint);
  s.plant.setpoint[1] = read(view.analog[0]);
  s.plant.scaleStep[0] = (upper - lower) / -10.0f;
  s.plant.scaleStep[1] = (upper - lower) / 10.0f;
}

void FW_PlantCycle() {
  FwPlantLink& p = g_fwPlant;
  p.params.cycleTime = 0.1f;
  const float y1 = read(p.view.outputs[0]);
  const float y2 = read(p.view.outputs[1]);
  p.actuators.switch1 = y1 > 0.0f ? 1 : 0;
  p.actuators.switch2 = y2 > 0.0f ? 1 : 0;
  if (continuousKind(p.params.outputKind)) {
    // NaN compares false both ways and lands on 0.
    p.actuators.y1 = y1 >= 0.0f ? std::min(y1, 100.0f) : 0.0f;
    p.actuators.y2 = y2 >= 0.0f ? std::min(y2, 100.0f) : 0.0f;
  } else {
    p.actuators.y1 = 0.0f;
    p.actuators.y2 = 0.0f;
  }
  if (!SimPlantCycle(&p.actuators, &p.params, &p.result)) {
    CTRL_SimulateOutput(&p.actuators, &p.params, &p.result);
  }
  p.actuators.initialise = 0;
  p.actuators.firstCycle = 0;
}

void FW_PlantValuesToHost() {
  SimHostState& s = SimState();
  const FwPlantController& v = g_fwPlant.view;
  for (int i = 0; i < 3; ++i) s.plant.outputs[i] = read(v.outputs[i]);
  const float sp[2] = {read(v.setpoint), read(v.analog[0])};
  if (sp[0] != s.plant.setpoint[0] || sp[1] != s.plant.setpoint[1]) {
    s.plant.setpoint[0] = sp[0];
    s.plant.setpoint[1] = sp[1];
    s.plant.changed = 1;
  }
  const float span = read(v.rangeUpper) - read(v.rangeLower);
  s.plant.scaleStep[0] = span / -10.0f;
  s.plant.scaleStep[1] = span / 10.0f;
  auto bit = [&](int i) { return v.status[i] && *v.status[i]; };
  s.plant.status = static_cast<uint16_t>((bit(0) ? 1 : 0) | (bit(1) ? 0 : 2) | (bit(2) ? 4 : 0) |
                                         (bit(3) ? 8 : 0) | (bit(4) ? 16 : 0));
}
