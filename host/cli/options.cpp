// Command-line parsing for koralin-render: options with "--name VALUE" or "--name=VALUE", then two paths.
#include "host/cli/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace Render {
namespace {

double parseNumber(const std::string& option, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != 0 || errno == ERANGE || !std::isfinite(value))
    throw UsageError(option + " needs a number, not \"" + text + "\"");
  return value;
}

int parseWhole(const std::string& option, const std::string& text, int low, int high) {
  double value = parseNumber(option, text);
  if (value != std::floor(value) || value < low || value > high)
    throw UsageError(option + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", not " + text);
  return (int)value;
}

ParamSetting parseSetting(const std::string& text) {
  size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) throw UsageError("--set needs NAME=VALUE, not \"" + text + "\"");
  std::string name = text.substr(0, eq);
  double value = parseNumber("--set " + name, text.substr(eq + 1));
  if (value < 0 || value > 1)
    throw UsageError("--set " + name + ": value " + text.substr(eq + 1) + " is outside 0..1 (values are normalized)");
  return {name, (float)value};
}

ControllerMapping parseMapping(const std::string& text, const std::vector<ControllerMapping>& earlier) {
  size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == text.size())
    throw UsageError("--cc needs N=NAME, not \"" + text + "\"");
  int controller = parseWhole("--cc controller", text.substr(0, eq), 0, 127);
  // One controller moving two parameters is more often a typing slip than a wish.
  for (const ControllerMapping& m : earlier)
    if (m.controller == controller)
      throw UsageError("--cc " + std::to_string(controller) + " is mapped twice (to " + m.name + " and " +
                       text.substr(eq + 1) + ")");
  return {controller, text.substr(eq + 1)};
}

SampleFormat parseFormat(const std::string& text) {
  if (text == "float") return SampleFormat::Float;
  if (text == "pcm24") return SampleFormat::Pcm24;
  if (text == "pcm16") return SampleFormat::Pcm16;
  throw UsageError("--format must be float, pcm24 or pcm16, not \"" + text + "\"");
}

void applyOption(RenderOptions& o, const std::string& name, const std::string& value) {
  if (name == "--rate") o.sampleRate = parseWhole(name, value, 8000, 384000);
  else if (name == "--block") o.blockSize = parseWhole(name, value, 1, 8192);
  else if (name == "--set") o.settings.push_back(parseSetting(value));
  else if (name == "--cc") o.controllers.push_back(parseMapping(value, o.controllers));
  else if (name == "--plugin") o.plugin = value;
  else if (name == "--preset") o.preset = value;
  else if (name == "--program") {
    if (value.empty()) throw UsageError("--program needs a program's number or name");
    o.program = value;
  } else if (name == "--save-preset") o.savePreset = value;
  else if (name == "--format") o.format = parseFormat(value);
  else if (name == "--tail") {
    double seconds = parseNumber(name, value);
    if (seconds < 0 || seconds > 3600) throw UsageError("--tail must be from 0 to 3600 seconds, not " + value);
    o.tailSeconds = seconds;
  }
}

bool takesValue(const std::string& name) {
  static const char* const kValueOptions[] = {"--rate",   "--block",       "--set",    "--cc",      "--plugin",
                                              "--preset", "--save-preset", "--format", "--program", "--tail"};
  for (const char* known : kValueOptions)
    if (name == known) return true;
  return false;
}

void checkPaths(RenderOptions& o, const std::vector<std::string>& paths) {
  if (paths.size() == 2) {
    o.input = paths[0];
    o.output = paths[1];
    return;
  }
  // Saving a preset or listing the state alone needs no song.
  if (paths.empty() && (!o.savePreset.empty() || o.list)) return;
  if (paths.size() > 2) throw UsageError("too many arguments: \"" + paths[2] + "\" (expected INPUT.mid OUTPUT.wav)");
  throw UsageError(paths.empty() ? "missing INPUT.mid and OUTPUT.wav" : "missing OUTPUT.wav");
}

}  // namespace

RenderOptions parseOptions(const std::vector<std::string>& args) {
  RenderOptions o;
  std::vector<std::string> paths;
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsDone || arg.size() < 2 || arg[0] != '-') {
      paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsDone = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      return o;
    }
    if (arg == "--list") {
      o.list = true;
      continue;
    }
    size_t eq = arg.find('=');
    std::string name = arg.substr(0, eq);
    if (!takesValue(name)) throw UsageError("unknown option \"" + name + "\" (see --help)");
    std::string value;
    if (eq != std::string::npos) value = arg.substr(eq + 1);
    else if (i + 1 < args.size()) value = args[++i];
    else throw UsageError(name + " needs a value");
    applyOption(o, name, value);
  }
  checkPaths(o, paths);
  return o;
}

const char* formatName(SampleFormat format) {
  switch (format) {
    case SampleFormat::Float: return "float";
    case SampleFormat::Pcm16: return "pcm16";
    default: return "pcm24";
  }
}

std::string usageText() {
  return "Usage: koralin-render [options] INPUT.mid OUTPUT.wav\n"
         "\n"
         "Plays a Standard MIDI File (format 0 or 1, all channels, with its tempo map) through a VST 2.4\n"
         "instrument and writes the sound to a WAV file.\n"
         "\n"
         "Options:\n"
         "  --plugin PATH        the instrument to load (default: Koralin.so beside this program)\n"
         "  --rate HZ            sample rate, 8000 to 384000 (default 44100)\n"
         "  --block FRAMES       frames per processing call, 1 to 8192 (default 512)\n"
         "  --set NAME=VALUE     set a parameter by its name to a normalized value 0..1; repeatable,\n"
         "                       applied in order after --program (e.g. --set cutoff=0.3 --set reso=0.8)\n"
         "  --cc N=NAME          MIDI controller N (0..127, any channel) in the song moves the parameter\n"
         "                       NAME as host automation, value/127 at the controller's sample; mapped\n"
         "                       controllers are not sent as MIDI; repeatable (e.g. --cc 74=cutoff)\n"
         "  --preset FILE        load a state chunk first: a .fxp program or .fxb bank with an opaque\n"
         "                       chunk, or a bare chunk as the plug-in saves it\n"
         "  --program N|NAME     select a program of the plug-in, by its number from 1 or its name,\n"
         "                       after --preset and before --set (e.g. --program \"Hard Acid\")\n"
         "  --save-preset FILE   write the state after --preset, --program and --set as a .fxp program;\n"
         "                       with no INPUT.mid and OUTPUT.wav nothing is rendered\n"
         "  --list               print the parameters with their values and the program names, after\n"
         "                       --preset, --program and --set; with no INPUT.mid and OUTPUT.wav nothing\n"
         "                       is rendered\n"
         "  --tail SECONDS       how long to render after the last MIDI event (default: until the\n"
         "                       output stays below -90 dBFS, at most 10 s)\n"
         "  --format FORMAT      float (32-bit), pcm24 or pcm16 (default pcm24)\n"
         "  --help               show this text\n"
         "\n"
         "Exit status: 0 success, 1 runtime failure (plug-in, MIDI, preset or file error), 2 usage error.\n";
}

}  // namespace Render
