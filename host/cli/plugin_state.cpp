// Preset loading and saving through the plug-in's chunk calls, and parameters set by their names.
#include "host/cli/plugin_state.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "host/cli/file_error.h"
#include "host/lib/fx_preset.h"

namespace Render {
namespace {

std::string systemReason() { return std::strerror(errno); }

void requireChunks(Host::PluginHost& host, const std::string& path) {
  if (!(host.effect()->flags & effFlagsProgramChunks))
    throw Host::PresetError(path + ": the plug-in does not exchange its state as a chunk");
}

std::string parameterList(Host::PluginHost& host) {
  std::string list;
  for (int32_t i = 0; i < host.effect()->numParams; ++i) list += (i ? ", " : "") + host.paramName(i);
  return list.empty() ? "none" : list;
}

// The parameter of that name, else a usage error for option that lists the names there are.
int32_t requireParameter(Host::PluginHost& host, const std::string& option, const std::string& name) {
  int32_t index = findParameter(host, name);
  if (index < 0)
    throw UsageError(option + ": the plug-in has no parameter \"" + name + "\" (it has: " + parameterList(host) + ")");
  return index;
}

std::string programName(Host::PluginHost& host, int32_t index) {
  char name[kVstMaxProgNameLen + 1] = {};
  if (!host.dispatch(effGetProgramNameIndexed, index, 0, name)) return {};
  return name;
}

std::string programList(Host::PluginHost& host) {
  std::string list;
  for (int32_t i = 0; i < host.effect()->numPrograms; ++i)
    list += (i ? ", " : "") + std::to_string(i + 1) + " " + programName(host, i);
  return list.empty() ? "none" : list;
}

// The program's index from its number (1 up) or its name; -1 when the plug-in has no such program.
int32_t findProgram(Host::PluginHost& host, const std::string& wanted) {
  const int32_t count = host.effect()->numPrograms;
  if (wanted.find_first_not_of("0123456789") == std::string::npos && wanted.size() <= 9) {
    const int32_t number = std::stoi(wanted);
    return number >= 1 && number <= count ? number - 1 : -1;
  }
  for (int32_t i = 0; i < count; ++i)
    if (programName(host, i) == wanted) return i;
  for (int32_t i = 0; i < count; ++i)
    if (strcasecmp(programName(host, i).c_str(), wanted.c_str()) == 0) return i;
  return -1;
}

}  // namespace

std::vector<uint8_t> readWholeFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw FileError("cannot open " + path + ": " + systemReason());
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) throw FileError("cannot read " + path);
  return bytes;
}

void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw FileError("cannot write " + path + ": " + systemReason());
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) throw FileError("cannot write " + path + ": " + systemReason());
}

void loadPreset(Host::PluginHost& host, const std::string& path) {
  requireChunks(host, path);
  Host::PresetFile preset;
  try {
    preset = Host::readPresetFile(readWholeFile(path));
  } catch (const Host::PresetError& e) {
    throw Host::PresetError(path + ": " + e.what());
  }
  int32_t id = host.effect()->uniqueID;
  if (preset.kind != Host::PresetKind::RawChunk && preset.fxID != id)
    throw Host::PresetError(path + ": the preset is for plug-in ID '" + Host::fourCCText(preset.fxID) +
                            "', this plug-in is '" + Host::fourCCText(id) + "'");
  host.setChunk(preset.chunk, preset.kind != Host::PresetKind::Bank);
}

void selectProgram(Host::PluginHost& host, const std::string& program) {
  const int32_t index = findProgram(host, program);
  if (index < 0)
    throw UsageError("--program: the plug-in has no program \"" + program + "\" (it has: " + programList(host) + ")");
  host.dispatch(effSetProgram, 0, index);
}

std::string describeState(Host::PluginHost& host) {
  std::string text = "Parameters:\n";
  size_t width = 0;
  for (int32_t i = 0; i < host.effect()->numParams; ++i) width = std::max(width, host.paramName(i).size());
  for (int32_t i = 0; i < host.effect()->numParams; ++i) {
    const std::string name = host.paramName(i);
    text += "  " + name + std::string(width - name.size() + 2, ' ') + host.paramDisplay(i) + host.paramLabel(i) + "\n";
  }
  text += "Programs:\n";
  const intptr_t current = host.dispatch(effGetProgram);
  for (int32_t i = 0; i < host.effect()->numPrograms; ++i) {
    const std::string number = std::to_string(i + 1);
    text += (i == current ? "* " : "  ") + std::string(number.size() < 2 ? 1 : 0, ' ') + number + "  " +
            programName(host, i) + "\n";
  }
  return text;
}

int32_t findParameter(Host::PluginHost& host, const std::string& name) {
  int32_t exact = host.findParam(name);
  if (exact >= 0) return exact;
  for (int32_t i = 0; i < host.effect()->numParams; ++i)
    if (strcasecmp(host.paramName(i).c_str(), name.c_str()) == 0) return i;
  return -1;
}

void applySettings(Host::PluginHost& host, const std::vector<ParamSetting>& settings) {
  for (const ParamSetting& s : settings) host.setParameter(requireParameter(host, "--set", s.name), s.value);
}

ControllerMap mapControllers(Host::PluginHost& host, const std::vector<ControllerMapping>& mappings) {
  ControllerMap map;
  for (const ControllerMapping& m : mappings) map.map(m.controller, requireParameter(host, "--cc", m.name));
  return map;
}

void savePreset(Host::PluginHost& host, const std::string& path) {
  requireChunks(host, path);
  AEffect* effect = host.effect();
  std::vector<uint8_t> chunk = host.getChunk(true);
  if (chunk.empty()) throw Host::PresetError(path + ": the plug-in gave an empty state chunk");
  std::string name = host.text(effGetProgramName);
  writeWholeFile(path, Host::writeProgramFile(effect->uniqueID, effect->version, effect->numParams, name, chunk));
}

}  // namespace Render
