// The renderer's command line: what it may say and how it is read.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Render {

// A command line the renderer cannot act on; the message is one line for the user.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class SampleFormat { Float, Pcm24, Pcm16 };

struct ParamSetting {
  std::string name;
  float value;  // normalized 0..1
};

// MIDI controller `controller` in the song moves the parameter called `name` as host automation.
struct ControllerMapping {
  int controller;  // 0..127
  std::string name;
};

struct RenderOptions {
  std::string input;       // the MIDI file
  std::string output;      // the WAV file
  std::string plugin;      // empty: the plug-in beside the executable
  std::string preset;      // chunk, .fxp or .fxb to load first
  std::string program;     // a program to select after the preset: its number from 1, or its name; empty: none
  std::string savePreset;  // .fxp to write after the settings
  int sampleRate = 44100;
  int blockSize = 512;
  std::vector<ParamSetting> settings;
  std::vector<ControllerMapping> controllers;  // at most one mapping per controller number
  std::optional<double> tailSeconds;           // none: until the output falls silent
  SampleFormat format = SampleFormat::Pcm24;
  bool list = false;  // print the parameters and programs after the settings
  bool help = false;
};

// Reads the arguments after the program name. Throws UsageError.
RenderOptions parseOptions(const std::vector<std::string>& args);

std::string usageText();
const char* formatName(SampleFormat format);

}  // namespace Render
