// Plug's parameter operations: host get/set, automation, names and display texts, defaults.
#include <cstdio>
#include <cstring>

#include "plugcore/plug.h"

namespace PlugCore {

void Plug::defineParam(int32_t index, const char* name, const char* label, float defaultValue, int32_t flags) {
  if (!params_.valid(index)) return;
  PlugParam& p = params_[index];
  p.name = name;
  p.label = label;
  p.defaultValue = defaultValue;
  productDefaults_[(size_t)index] = defaultValue;
  p.flags = flags;
}

void Plug::setParameter(int32_t index, float value) { params_.setQuantized(index, quantize(value)); }

float Plug::getParameter(int32_t index) { return params_.valid(index) ? params_[index].value.load() : 0.0f; }

void Plug::setParameterAutomated(int32_t index, float value) {
  // An index the host never heard of is not passed on as automation.
  if (!params_.valid(index)) return;
  AudioEffectX::setParameterAutomated(index, value);
}

void Plug::editFromStored(int32_t index, uint32_t n) {
  params_.setQuantized(index, n);
  if (params_.valid(index)) setParameterAutomated(index, params_[index].value);
}

void Plug::storeDefaults() {
  for (int32_t i = 0; i < params_.count(); ++i) params_[i].defaultValue = params_[i].value;
}

void Plug::resetParam(int32_t index) {
  if (params_.valid(index)) setParameterAutomated(index, params_[index].defaultValue);
}

void Plug::editParam(int32_t index, float value) {
  if (!params_.valid(index)) return;
  beginEdit(index);
  setParameterAutomated(index, value);
  endEdit(index);
}

void Plug::getParameterName(int32_t index, char* text) {
  const char* name = params_.valid(index) ? params_[index].name : nullptr;
  std::snprintf(text, kVstMaxParamStrLen, "%s", name ? name : "**");
}

void Plug::getParameterLabel(int32_t index, char* label) {
  const char* text = params_.valid(index) ? params_[index].label : nullptr;
  std::snprintf(label, kVstMaxParamStrLen, "%s", text ? text : "");
}

void Plug::getParameterDisplay(int32_t index, char* text) {
  char buffer[32];
  std::memset(buffer, 0, sizeof(buffer));
  if (params_.valid(index)) formatParam(index, buffer, getParameter(index));
  buffer[sizeof(buffer) - 1] = 0;
  const size_t length = strnlen(buffer, kVstMaxParamStrLen - 1);  // the host gets 7 characters
  std::memcpy(text, buffer, length);
  text[length] = 0;
}

void Plug::formatParamWithLabel(int32_t index, float value, char* text) {
  formatParam(index, text, value);
  const char* label = params_.valid(index) ? params_[index].label : nullptr;
  if (label && *label) {
    size_t length = std::strlen(text);
    std::snprintf(text + length, 64 - (length < 64 ? length : 63), " %s", label);
  }
}

bool Plug::canParameterBeAutomated(int32_t) { return true; }

}  // namespace PlugCore
