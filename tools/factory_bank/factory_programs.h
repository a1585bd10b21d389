// The factory programs' text form: one program a line, its name and the seven parameters in the editor's units.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace bank {

constexpr int kProgramCount = 8;
constexpr int kParamCount = 7;
constexpr size_t kMaxNameLength = 23;
constexpr uint32_t kSteps = 64000;  // a parameter's whole range in stored steps

// The instrument's parameters in index order, as the text names them.
extern const char* const kParamNames[kParamCount];

struct Program {
  std::string name;
  std::array<uint32_t, kParamCount> steps{};  // each value as a whole number of steps, 0..kSteps
  int line = 0;                               // where the program stands in the text
};

// A text that does not describe the eight programs; the message names the line.
class ProgramsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the programs. Throws ProgramsError for anything but exactly kProgramCount well-formed programs.
std::vector<Program> parsePrograms(const std::string& text);
// The same from a file; a file that cannot be read is a ProgramsError too.
std::vector<Program> readProgramsFile(const std::string& path);

}  // namespace bank
