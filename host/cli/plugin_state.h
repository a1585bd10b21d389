// The plug-in's state from the command line: preset files in, parameter settings, a program file out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/cli/automation.h"
#include "host/cli/options.h"
#include "host/lib/plugin_host.h"

namespace Render {

// Whole files; both throw FileError naming the path and the system's reason.
std::vector<uint8_t> readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Loads a bare chunk, a program file or a bank file into the plug-in. Throws PresetError or FileError.
void loadPreset(Host::PluginHost& host, const std::string& path);

// Selects a program by its number from 1 or, failing that, its name (exactly, else ignoring case), as a host does.
// Throws UsageError for a program the plug-in does not have, listing those it has.
void selectProgram(Host::PluginHost& host, const std::string& program);

// The parameters, each with the display of its current value, and the program names, the current one marked.
std::string describeState(Host::PluginHost& host);

// Finds a parameter by name: exactly, else ignoring case. -1 when there is none.
int32_t findParameter(Host::PluginHost& host, const std::string& name);
// Sets each parameter in order. Throws UsageError for a name the plug-in does not have, listing those it has.
void applySettings(Host::PluginHost& host, const std::vector<ParamSetting>& settings);
// Finds the parameter of each controller mapping by name. Throws UsageError as applySettings does.
ControllerMap mapControllers(Host::PluginHost& host, const std::vector<ControllerMapping>& mappings);

// Writes the current state as a program file with the plug-in's ID and version.
void savePreset(Host::PluginHost& host, const std::string& path);

}  // namespace Render
