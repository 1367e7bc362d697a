// The simulator's sample plant plug-in: a first-order lag behind the controller's actuator,
// built once per language edition (OvalmodG, OvalmodE, OvalmodF; they behave alike).
//
// Each 0.1 s cycle the actuator value d (percent) is taken from the controller's outputs:
// for a motor actuator the motor position, which the two switching outputs drive open and
// closed over the motor time (starting at the start position); otherwise the difference of
// the continuous outputs plus 100 for each switching output (the second one counting
// negative). d is weighted by the gain for its sign and passes the lag
//   T dx/dt = K u - x    (K = 1.0, T = 10 s; implicit step, stable for any step)
// The process value is x in percent, or 100 - x when the plant falls with the actuator; the
// second value is d (the position feedback). The settings dialog shows nothing and answers 0.
#include <cmath>
#include <cstring>

#include "shell/plant_abi.h"

namespace {

constexpr double kStep = 0.1;      // seconds per cycle
constexpr double kGain = 1.0;      // K
constexpr double kLag = 10.0;      // T, seconds
constexpr int kPlants = 8;

struct Plant {
  bool used;
  bool started;        // the motor position was taken from the start position
  int32_t language;
  int32_t switch1, switch2;
  double y1, y2;
  int32_t direct, stepping;
  double motorTime, gainNegative, startPosition, gainPositive;
  double motor;        // percent
  double x;            // lag output, percent
  double value, feedback;
};

Plant g_plants[kPlants];
char g_company[64];
char g_product[64];

Plant* Find(int32_t handle) {
  if (handle < 1 || handle > kPlants || !g_plants[handle - 1].used) return nullptr;
  return &g_plants[handle - 1];
}

void CopyName(char (&to)[64], const char* from) {
  std::memset(to, 0, sizeof to);
  if (from) std::strncpy(to, from, sizeof to - 1);
}

// A number the model can use: NaN and infinities count as 0.
double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

void Step(Plant& p) {
  double d;
  if (p.stepping) {
    if (!p.started) p.motor = std::fmin(std::fmax(Finite(p.startPosition), 0.0), 100.0);
    d = p.motor;
    const double drive = (p.switch1 ? 100.0 : 0.0) - (p.switch2 ? 100.0 : 0.0);
    const double travel = p.motorTime > kStep ? p.motorTime : kStep;
    p.motor = std::fmin(std::fmax(p.motor + drive * kStep / travel, 0.0), 100.0);
  } else {
    d = Finite(p.y1) - Finite(p.y2) + 100.0 * ((p.switch1 ? 1 : 0) - (p.switch2 ? 1 : 0));
  }
  p.started = true;
  const double u = Finite(d > 0.0 ? p.gainPositive : p.gainNegative) * d;
  p.x += (kGain * u - p.x) * kStep / (kLag + kStep);
  p.value = p.direct ? p.x : 100.0 - p.x;
  p.feedback = d;
}

}  // namespace

extern "C" {

int32_t SplSetRegistry(const char* company, const char* product) {
  CopyName(g_company, company);
  CopyName(g_product, product);
  return 1;
}

int32_t SplCreate(int32_t, int32_t) {
  for (int i = 0; i < kPlants; ++i) {
    if (g_plants[i].used) continue;
    g_plants[i] = Plant{};
    g_plants[i].used = true;
    g_plants[i].direct = 1;
    g_plants[i].gainPositive = 1.0;
    g_plants[i].gainNegative = 1.0;
    return i + 1;
  }
  return 0;
}

int32_t SplDestroy(int32_t plant) {
  Plant* p = Find(plant);
  if (!p) return 0;
  *p = Plant{};
  return 1;
}

int32_t SplSetLanguage(int32_t plant, int32_t language) {
  Plant* p = Find(plant);
  if (!p) return 0;
  p->language = language;
  return 1;
}

int32_t SplSettingsDialog(int32_t, void*, int32_t) { return 0; }

int32_t SplSetPara(int32_t plant, int32_t, const uint8_t* record) {
  Plant* p = Find(plant);
  if (!p || !record) return 0;
  p->direct = SplGetI32(record, SPL_PARA_DIRECT);
  p->stepping = SplGetI32(record, SPL_PARA_STEPPING);
  p->motorTime = SplGetF64(record, SPL_PARA_A);
  p->gainNegative = SplGetF64(record, SPL_PARA_D);
  p->startPosition = SplGetF64(record, SPL_PARA_B);
  p->gainPositive = SplGetF64(record, SPL_PARA_C);
  return 1;
}

int32_t SplSetInput(int32_t plant, int32_t, const uint8_t* record) {
  Plant* p = Find(plant);
  if (!p || !record) return 0;
  p->switch1 = SplGetI32(record, SPL_IN_SWITCH1);
  p->switch2 = SplGetI32(record, SPL_IN_SWITCH2);
  p->y1 = SplGetF64(record, SPL_IN_Y1);
  p->y2 = SplGetF64(record, SPL_IN_Y2);
  return 1;
}

int32_t SplGetOutput(int32_t plant, int32_t, uint8_t* record) {
  Plant* p = Find(plant);
  if (!p || !record) return 0;
  SplPutF64(record, SPL_OUT_VALUE1, p->value);
  SplPutF64(record, SPL_OUT_VALUE2, p->feedback);
  return 1;
}

int32_t SplCycle(int32_t plant, int32_t) {
  Plant* p = Find(plant);
  if (!p) return 0;
  Step(*p);
  return 1;
}

}  // extern "C"
