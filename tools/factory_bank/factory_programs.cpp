// Reading the factory programs' text: names in double quotes, then NAME=VALUE for every parameter.
#include "tools/factory_bank/factory_programs.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace bank {

const char* const kParamNames[kParamCount] = {"wave", "tune", "cutoff", "reso", "decay", "envmod", "accent"};

namespace {

[[noreturn]] void fail(int line, const std::string& problem) {
  throw ProgramsError("line " + std::to_string(line) + ": " + problem);
}

double number(int line, const std::string& key, const std::string& text, double low, double high) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != 0 || errno == ERANGE || !std::isfinite(value) || value < low || value > high)
    fail(line, key + " must be a number from " + std::to_string((int)low) + " to " + std::to_string((int)high) +
                   ", not \"" + text + "\"");
  return value;
}

// The stored step of a value in the editor's units: the wave by its name, the tune in semitones, the rest in percent.
uint32_t stepOf(int line, int param, const std::string& text) {
  const std::string key = kParamNames[param];
  if (param == 0) {
    if (text == "saw") return 0;
    if (text == "square") return kSteps;
    fail(line, "wave must be saw or square, not \"" + text + "\"");
  }
  if (param == 1) return (uint32_t)std::lround((number(line, key, text, -12, 12) + 12) / 24 * kSteps);
  return (uint32_t)std::lround(number(line, key, text, 0, 100) / 100 * kSteps);
}

std::string quotedName(int line, std::istringstream& in) {
  std::string name;
  if (!std::getline(in, name, '"') || !name.empty() || !std::getline(in, name, '"') || in.eof())
    fail(line, "a program starts with its name in double quotes");
  if (name.empty() || name.size() > kMaxNameLength)
    fail(line, "a name has 1 to " + std::to_string(kMaxNameLength) + " characters, \"" + name + "\" has " +
                   std::to_string(name.size()));
  for (char c : name)
    if (c < 32 || c > 126) fail(line, "the name \"" + name + "\" holds a character other than printable ASCII");
  return name;
}

Program programOf(int line, const std::string& text) {
  std::istringstream in(text);
  in >> std::ws;
  Program program;
  program.line = line;
  program.name = quotedName(line, in);
  std::array<bool, kParamCount> seen{};
  for (std::string field; in >> field;) {
    const size_t eq = field.find('=');
    const std::string key = field.substr(0, eq);
    int param = 0;
    while (param < kParamCount && key != kParamNames[param]) ++param;
    if (eq == std::string::npos || param == kParamCount)
      fail(line, "\"" + field + "\" is not NAME=VALUE of a parameter");
    if (seen[(size_t)param]) fail(line, key + " is given twice");
    seen[(size_t)param] = true;
    program.steps[(size_t)param] = stepOf(line, param, field.substr(eq + 1));
  }
  for (int p = 0; p < kParamCount; ++p)
    if (!seen[(size_t)p]) fail(line, "\"" + program.name + "\" has no value for " + kParamNames[p]);
  return program;
}

}  // namespace

std::vector<Program> parsePrograms(const std::string& text) {
  std::vector<Program> programs;
  std::istringstream lines(text);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    if (line.back() == '\r') line.pop_back();
    Program program = programOf(number, line);
    for (const Program& earlier : programs)
      if (earlier.name == program.name)
        fail(number, "the name \"" + program.name + "\" is taken by line " + std::to_string(earlier.line));
    if ((int)programs.size() == kProgramCount) fail(number, "more than " + std::to_string(kProgramCount) + " programs");
    programs.push_back(std::move(program));
  }
  if ((int)programs.size() != kProgramCount)
    throw ProgramsError(std::to_string(programs.size()) + " programs where there must be " +
                        std::to_string(kProgramCount));
  return programs;
}

std::vector<Program> readProgramsFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ProgramsError(path + ": cannot be read");
  std::ostringstream text;
  text << file.rdbuf();
  try {
    return parsePrograms(text.str());
  } catch (const ProgramsError& e) {
    throw ProgramsError(path + ": " + e.what());
  }
}

}  // namespace bank
