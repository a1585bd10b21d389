// Preset files: the opaque-chunk program (.fxp "FPCh") and bank (.fxb "FBCh") layouts, or a bare state chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Host {

class PresetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class PresetKind { RawChunk, Program, Bank };

struct PresetFile {
  PresetKind kind = PresetKind::RawChunk;
  int32_t fxID = 0;       // the plug-in's unique ID (not set for a raw chunk)
  int32_t fxVersion = 0;  // the plug-in's version
  int32_t count = 0;      // parameters (program) or programs (bank)
  std::string name;       // program name (programs only)
  std::vector<uint8_t> chunk;
};

// Reads a preset file held in memory: "CcnK" files by their header, anything else as a bare chunk.
// Throws PresetError naming the problem and its byte offset.
PresetFile readPresetFile(const std::vector<uint8_t>& bytes);

// The program file: header, 28-byte name, chunk size at offset 56, chunk from 60.
std::vector<uint8_t> writeProgramFile(int32_t fxID, int32_t fxVersion, int32_t numParams, const std::string& name,
                                      const std::vector<uint8_t>& chunk);
// The bank file: header, current program, reserved bytes, chunk size at offset 156, chunk from 160.
std::vector<uint8_t> writeBankFile(int32_t fxID, int32_t fxVersion, int32_t numPrograms, int32_t currentProgram,
                                   const std::vector<uint8_t>& chunk);

// Four characters as the interface packs them into an ID, and back ("kmPx").
std::string fourCCText(int32_t id);

}  // namespace Host
