#include "firmware/fw_plant.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "runtime/fb_schedule.h"
#include "runtime/fw_io.h"
#include "shell/sim_services.h"

FwPlantLink g_fwPlant;

namespace {

constexpr uint16_t kScaledBlocks[3] = {81, 82, 83};
// The input blocks whose readings carry the plant's process value (the main input at A4)
// and position feedback (the input at A3).
constexpr uint16_t kResultBlocks[2] = {61, 66};
constexpr int kFeedbackModule = 2;  // A3 in the device's module list

float read(const FbF32* p) { return p ? p->get() : 0.0f; }

// Kinds whose continuous outputs Y1, Y2 drive the plant; the others switch or step.
bool continuousKind(uint8_t stored) {
  return stored == 4 || stored == 5 || stored == 9 || stored == 16 || stored == 17;
}

int8_t contact(const uint16_t* p) { return p && *p ? 1 : 0; }

// The values the standard trends record (W, X, Y, Xw, X2, X3) and their scale limits: the
// controller's range for W, X, X2 and X3, 0..100 % for Y, a tenth of the span either way for
// the deviation.
void trendToHost(const FwPlantController& v, SimPlantView& view) {
  const auto ref = [](const FbRef* r) { return r ? FB_ReadAnalogRef(*r) : 0.0f; };
  const float values[6] = {read(v.setpoint), read(v.processValue), read(v.outputs[2]),
                           read(v.analog[1]), ref(v.inputs[0]), ref(v.inputs[1])};
  const float lower = read(v.rangeLower), upper = read(v.rangeUpper);
  const float step = (upper - lower) / 10.0f;
  const float limits[12] = {lower, upper, lower, upper, 0.0f, 100.0f, -step, step, lower, upper, lower, upper};
  std::copy(std::begin(values), std::end(values), view.trend);
  std::copy(std::begin(limits), std::end(limits), view.trendScale);
}

// The analog input record (sub-channel a) of a block's channel in the shell's I/O image.
uint16_t inputIndexOf(uint16_t block) {
  uint16_t board = 0, channel = 0;
  FW_IoChannelOf(block, &board, &channel);
  return static_cast<uint16_t>(FW_IoAnalogIndex(board, channel, 0));
}

// Whether a module type is an analog input module (Uni-Input, thermocouple, TPS, voltage or
// resistance input).
bool analogInputModule(uint8_t type) { return type != FW_CLASS_NONE && type < FW_CLASS_DI_2; }

// One result into the I/O image's record of the input block at `block`, as the user would
// type it ("#" and the number for an electrical value). Nothing is written without an
// input block there or for a value that is no number.
void writeInput(SimHostState& s, uint16_t record, uint16_t block, float percent) {
  float value = 0.0f;
  bool electrical = false;
  const FwInputReading reading = FW_InputReading();
  if (!reading || !reading(block, percent, &value, &electrical) || !std::isfinite(value)) return;
  s.plant.inputs |= 1u << record;
  SimAnalogInput& in = s.io.analogIn[record];
  in.value = value;
  in.fFlag = 0;
  in.electrical = electrical ? 1 : 0;
  in.entered = 1;
  char* const end = in.text + sizeof in.text - 1;
  char* const number = in.text + (electrical ? 1 : 0);
  in.text[0] = '#';
  const std::to_chars_result r = std::to_chars(number, end, value, std::chars_format::fixed, 3);
  *(r.ec == std::errc() ? r.ptr : number) = '\0';
}

// The plant's results into the device's analog inputs: the process value as percent of the
// controller's range into the main input (block 61), the position feedback (already
// percent) into the input at A3 (block 66) when an analog input module sits there.
void resultsToInputs(const FwPlantLink& p) {
  if (!p.result.valid) return;
  SimHostState& s = SimState();
  const float span = p.params.rangeEnd - p.params.rangeStart;
  const float percent = span != 0.0f ? (p.result.x - p.params.rangeStart) * 100.0f / span : 0.0f;
  writeInput(s, p.inputIndex[0], kResultBlocks[0], percent);
  if (analogInputModule(s.device.modules[kFeedbackModule]))
    writeInput(s, p.inputIndex[1], kResultBlocks[1], p.result.position);
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
    const FwPlantProvider* plant = FW_PlantProvider();
    if (!plant || !plant->view(block, view)) continue;
    view->block = block;
    view->type = type;
    if (type == FB_TYPE_PIDMA) view->outputKind = FW_PidmaOutputKind(view->outputConfig);
    return 1;
  }
  return 0;
}

void FW_PlantSetup(const float settings[3], const FwPlantController& view,
                   const FwPlantScaling scalings[3]) {
  FwPlantLink& p = g_fwPlant;
  p.view = view;
  p.params = SimPlantParams{};
  p.params.outputKind = FW_PlantStoredKind(view.outputKind);
  p.params.inverse = view.plantInverse ? 1 : 0;
  p.params.motorTime = view.motorTime;
  p.params.startPosition = 0.0f;
  p.params.gainPositive = 1.0f;
  p.params.gainNegative = 1.0f;
  p.params.plantGain = settings[0];
  p.params.delayTime = settings[1];
  p.params.riseTime = settings[2];
  p.params.rangeStart = read(view.rangeLower);
  p.params.rangeEnd = read(view.rangeUpper);
  p.params.fixedWords[0] = 2;
  p.params.fixedWords[1] = 4;
  p.params.cycleTime = 0.1f;
  p.actuators = SimPlantActuators{};
  p.actuators.initialise = 1;
  p.actuators.firstCycle = 1;
  p.result = SimPlantResult{};
  if (const FwPlantProvider* plant = FW_PlantProvider()) plant->reset();
  for (int i = 0; i < 3; ++i) p.scaling[i] = scalings[i];
  for (int i = 0; i < 2; ++i) p.inputIndex[i] = inputIndexOf(kResultBlocks[i]);
}

void FW_PlantEnterRun() {
  SimHostState& s = SimState();
  FwPlantController view{};
  if (!FW_FindPlantController(&view)) {
    for (SimPlantRange& r : s.plant.ranges) r = SimPlantRange{0.0f, 0.0f, 100.0f};
    std::fill(std::begin(s.plant.trend), std::end(s.plant.trend), 0.0f);
    std::fill(std::begin(s.plant.trendScale), std::end(s.plant.trendScale), 0.0f);
    s.plant.inputs = 0;
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
  s.plant.inputs = 0;

  const float lower = read(view.rangeLower);
  const float upper = read(view.rangeUpper);
  s.plant.threePointOutput = (view.outputKind == 8 || view.outputKind == 11) ? 1 : 0;
  s.plant.changed = 1;
  for (int i = 0; i < 2; ++i) s.plant.ranges[i] = SimPlantRange{read(view.processValue), lower, upper};
  s.plant.setpoint[0] = read(view.setpoint);
  s.plant.setpoint[1] = read(view.analog[0]);
  s.plant.scaleStep[0] = (upper - lower) / -10.0f;
  s.plant.scaleStep[1] = (upper - lower) / 10.0f;
  trendToHost(view, s.plant);
}

void FW_PlantCycle() {
  FwPlantLink& p = g_fwPlant;
  p.params.cycleTime = 0.1f;
  const float y1 = read(p.view.outputs[0]);
  const float y2 = read(p.view.outputs[1]);
  p.actuators.switch1 = contact(p.view.contacts[0]);
  p.actuators.switch2 = contact(p.view.contacts[1]);
  if (continuousKind(p.params.outputKind)) {
    // NaN compares false both ways and lands on 0.
    p.actuators.y1 = y1 >= 0.0f ? std::min(y1, 100.0f) : 0.0f;
    p.actuators.y2 = y2 >= 0.0f ? std::min(y2, 100.0f) : 0.0f;
  } else {
    p.actuators.y1 = 0.0f;
    p.actuators.y2 = 0.0f;
  }
  const FwPlantProvider* plant = FW_PlantProvider();
  if (!SimPlantCycle(&p.actuators, &p.params, &p.result) && plant) {
    plant->simulate(&p.actuators, &p.params, &p.result);
  }
  p.actuators.initialise = 0;
  p.actuators.firstCycle = 0;
  resultsToInputs(p);
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
  trendToHost(v, s.plant);
}
