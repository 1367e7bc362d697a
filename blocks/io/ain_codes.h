// Sensor codes of the analog card inputs and the steps of their measurement that do not
// depend on the block type: the range of a code, the conversion of a raw reading and its
// range check, the failure value, the filter and the two-point correction.
//
// The single-channel inputs (AINP1, TPS_IN, AINP3..AINP6, UNI_IN) and the sub-channels of
// the two-channel inputs (TC_IN, R_IN, U_IN) run the same pipeline through these helpers.
#pragma once

#include <cstdint>
#include <span>

// What a sensor code measures.
enum class AinCodeKind : uint8_t { None, Temperature, Resistance, Linear, Pot };

struct AinCodeInfo {
  AinCodeKind kind = AinCodeKind::None;
  float min = 0.0f, max = 0.0f;  // temperatures in degrees Celsius, resistances in ohms
};

// The kind and range of a code of `Typ` (0..50); codes outside the table have none.
AinCodeInfo AIN_CodeInfo(uint16_t code);

// True for a temperature or resistance code: its failure values come from its range.
inline bool AIN_Ranged(const AinCodeInfo& info) {
  return info.kind == AinCodeKind::Temperature || info.kind == AinCodeKind::Resistance;
}

// Range checks: a temperature sensor fails below min - 30 and above max x 1.1, a
// resistance below 0 and above max x 1.1, a percentage outside -10..110.
inline bool AIN_TemperatureFault(float r, float min, float max) {
  return r < min - 30.0f || r > max * 1.1f;
}
inline bool AIN_ResistanceFault(float r, float max) { return r < 0.0f || r > max * 1.1f; }
inline bool AIN_OutOfPercent(float r) { return r < -10.0f || r > 110.0f; }

// A reading in engineering units as percent of x0..x100; unchanged when the two are equal.
float AIN_PercentOf(float r, float x0, float x100);

// Converts raw reading r of a code other than the transmitter (40) and checks its range.
// Linear signals with the electrical flag become percent by code (the millivolt codes 27..29
// are range-checked only with `checkMillivolts`, 34 and 50 never), without it percent of
// x0..x100. A result that is no number is a fault as well.
struct AinConversion {
  float value;
  bool fault;
};
AinConversion AIN_Convert(uint16_t code, float r, bool electrical, float x0, float x100,
                          bool checkMillivolts);

// c = 1 - Tfm / (Tfm + dt); no filtering where that is not a number in 0..1.
float AIN_FilterCoeff(float tfm, float dt);

// One filter step of a good reading r: after a failure (*failOut set) the filter restarts
// at r and the fail output is cleared.
inline float AIN_FilterStep(float r, float last, float coeff, uint16_t* failOut) {
  if (*failOut) {
    *failOut = 0;
    return r;
  }
  return (r - last) * coeff + last;
}

// The failure value of `Fail` (Disabled, Upscale, Downscale, Subst.val): up and down scale
// give the range ends of a ranged code (in degrees Fahrenheit with `fahrenheit`), x100 and
// x0 otherwise.
float AIN_FailValue(uint16_t fail, bool ranged, float min, float max, bool fahrenheit, float x0,
                    float x100, float xfail);

// The span factor q and zero a of the range x0..x100 (q = (x100 - x0) / 100, a = x0; 1 and 0
// when the two are equal or the span is no number).
void AIN_LinearScale(float x0, float x100, float* q, float* a);

// The factor and offset that map x0..x100 to 0..100 % (1 and 0 when the two are equal or
// the factor is no number).
void AIN_PercentScale(float x0, float x100, float* factor, float* offset);

// Total gain and offset of the output from the linear scale (q, a) and the two-point
// correction of the floats {x1 in, x1 out, x2 in, x2 out} when `correct` is on and the two
// inputs differ.
void AIN_Totals(bool correct, const float points[4], float q, float a, float* gain,
                float* offset);

// True when an output value is a number within the value range.
bool AIN_Bounded(float v);

// Discrete sets of codes stepped in their order, as the two callbacks of a discrete-set
// limit record: "next" gives the smallest code at or above x (the last beyond it),
// "previous" the code before the given one (the first stays).
int16_t AIN_NextCode(std::span<const uint8_t> set, int16_t x);
int16_t AIN_PreviousCode(std::span<const uint8_t> set, int16_t e);
