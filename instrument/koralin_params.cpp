// Koralin's parameter table, the conversions between plain and normalized values, and the display texts.
#include "instrument/koralin_params.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace KoralinParams {
namespace {

const char* const kWaveChoices[] = {"saw", "square"};

// Every parameter starts at the middle of its range, the quantized value 32000.
constexpr Param kParams[kCount] = {
    {"wave", "", Unit::Choice, 0.0, 1.0, 0.5f, 32000, 2, kWaveChoices},
    {"tune", "", Unit::Semitones, -12.0, 12.0, 0.5f, 32000, 0, nullptr},
    {"cutoff", "%", Unit::Percent, 0.0, 100.0, 0.5f, 32000, 0, nullptr},
    {"reso", "%", Unit::Percent, 0.0, 100.0, 0.5f, 32000, 0, nullptr},
    {"decay", "%", Unit::Percent, 0.0, 100.0, 0.5f, 32000, 0, nullptr},
    {"envmod", "%", Unit::Percent, 0.0, 100.0, 0.5f, 32000, 0, nullptr},
    {"accent", "%", Unit::Percent, 0.0, 100.0, 0.5f, 32000, 0, nullptr},
};

const char* skipBlanks(const char* p) {
  while (*p && std::isspace((unsigned char)*p)) ++p;
  return p;
}

bool sameWord(const char* a, const char* b, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
  return true;
}

// The choice a text names ("square", "Saw "), or -1.
int32_t choiceNamed(const Param& p, const char* text) {
  const char* start = skipBlanks(text);
  size_t length = std::strlen(start);
  while (length > 0 && std::isspace((unsigned char)start[length - 1])) --length;
  for (int32_t c = 0; c < p.choiceCount; ++c)
    if (std::strlen(p.choices[c]) == length && sameWord(start, p.choices[c], length)) return c;
  return -1;
}

}  // namespace

const Param& param(int32_t index) { return kParams[std::clamp(index, 0, kCount - 1)]; }

int32_t indexOf(const char* name) {
  for (int32_t i = 0; name && i < kCount; ++i)
    if (std::strcmp(kParams[i].name, name) == 0) return i;
  return -1;
}

double plainOf(int32_t index, float normalized) {
  switch (param(index).unit) {
    case Unit::Choice: return normalized > 0.5f ? 1.0 : 0.0;
    case Unit::Semitones: return (double)(24.0f * normalized - 12.0f);
    case Unit::Percent: break;
  }
  return (double)(100.0f * normalized);
}

uint32_t stepOf(int32_t index, double plain) {
  const Param& p = param(index);
  if (std::isnan(plain)) return p.defaultStep;
  plain = std::clamp(plain, p.minimum, p.maximum);
  if (p.unit == Unit::Choice) return plain < 0.5 ? 0 : kSteps;
  // The same arithmetic as the factory programs' text, so a value typed there and one a host sends agree.
  return (uint32_t)std::lround((plain - p.minimum) / (p.maximum - p.minimum) * kSteps);
}

double defaultPlain(int32_t index) { return plainOf(index, param(index).defaultNormalized); }

void formatText(int32_t index, float value, char* text) {
  // The arithmetic is single precision, printed as a double.
  switch (index) {
    case kWave: std::snprintf(text, 32, "%s", value > 0.5f ? "square" : "saw"); break;
    case kTune: std::snprintf(text, 32, "%+2.2f", (double)(24.0f * value - 12.0f)); break;
    default: std::snprintf(text, 32, "%.0f", (double)(100.0f * value)); break;
  }
}

bool parseText(int32_t index, const char* text, double& plain) {
  if (!text || index < 0 || index >= kCount) return false;
  const Param& p = kParams[index];
  if (p.unit == Unit::Choice) {
    const int32_t choice = choiceNamed(p, text);
    if (choice >= 0) {
      plain = choice;
      return true;
    }
  }
  const char* start = skipBlanks(text);
  char* end = nullptr;
  const double value = std::strtod(start, &end);
  if (end == start || !std::isfinite(value)) return false;
  const char* rest = skipBlanks(end);
  const size_t labelLength = std::strlen(p.label);
  if (labelLength > 0 && std::strncmp(rest, p.label, labelLength) == 0) rest = skipBlanks(rest + labelLength);
  if (*rest) return false;
  plain = std::clamp(value, p.minimum, p.maximum);
  if (p.unit == Unit::Choice) plain = plain < 0.5 ? 0.0 : 1.0;
  // "-0.00" is how the display shows the values just below zero: it reads as the step below, not as zero.
  if (value == 0.0 && std::signbit(value) && p.minimum < 0.0)
    plain = plainOf(index, normalizedOfStep(stepOf(index, 0.0) - 1));
  return true;
}

}  // namespace KoralinParams
