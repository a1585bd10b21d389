// Koralin's parameters as a musician reads them: the one table of names, units, ranges, defaults and display texts,
// with exact conversions between a plain value and the instrument's normalized value on its 64000 steps. The
// instrument defines its parameters from it; the format bindings and their build-time describers read it.
#pragma once

#include <cstdint>

enum KoralinParam : int32_t { kWave = 0, kTune, kCutoff, kReso, kDecay, kEnvmod, kAccent, kKoralinParamCount };

namespace KoralinParams {

constexpr const char* kProductName = "Koralin";  // as hosts list it, and as its chunks name it
constexpr int32_t kCount = kKoralinParamCount;
constexpr uint32_t kSteps = 64000;  // a normalized value is always n / kSteps for a whole n

enum class Unit : uint8_t {
  Choice,     // one of the names in choices, by plain value 0, 1, ...
  Semitones,  // a pitch offset
  Percent,
};

struct Param {
  const char* name;   // as hosts list it
  const char* label;  // what the instrument shows behind a value ("%"), or empty
  Unit unit;
  double minimum;  // plain range
  double maximum;
  float defaultNormalized;  // the instrument's default: reset, factory settings, a host's default
  uint32_t defaultStep;     // the same as a whole number of steps
  int32_t choiceCount;      // plain values of a choice are 0 .. choiceCount - 1; 0 for a continuous parameter
  const char* const* choices;
};

// The parameter at index, 0 <= index < kCount.
const Param& param(int32_t index);
// The index of the parameter with that name, or -1.
int32_t indexOf(const char* name);

// The plain value the editor's display shows for a normalized value (its single-precision arithmetic, printed as a
// double): 24 x - 12 semitones, 100 x percent, choice 1 above the middle and 0 up to it.
double plainOf(int32_t index, float normalized);
// The step nearest to a plain value, clamped to the range (a choice by its nearest plain value; NaN gives the
// default). For the continuous parameters stepOf(plainOf(n / kSteps)) == n for every step n.
uint32_t stepOf(int32_t index, double plain);
inline float normalizedOfStep(uint32_t step) { return (float)step / (float)kSteps; }
inline float normalizedOf(int32_t index, double plain) { return normalizedOfStep(stepOf(index, plain)); }
double defaultPlain(int32_t index);

// The instrument's display text of a normalized value ("saw", "+3.50", "56"), without the label; text holds 32.
// Any index but wave and tune reads as a percentage, as the instrument has always shown them.
void formatText(int32_t index, float normalized, char* text);
// Reads a display text back, with or without blanks and the label ("56", "56 %", "square", "-3.5"), into a plain
// value clamped to the range; false for anything else.
bool parseText(int32_t index, const char* text, double& plain);

}  // namespace KoralinParams
