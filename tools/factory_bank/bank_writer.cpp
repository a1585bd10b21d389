// Writing the factory bank with the plug-in's own chunk codec: program by program, then the current values.
#include "tools/factory_bank/bank_writer.h"

#include <algorithm>
#include <cstring>

#include "plugcore/chunk_codec.h"
#include "plugcore/fx_container.h"

namespace bank {
namespace {

constexpr char kProduct[] = "Koralin";
constexpr int32_t kUniqueId = 'k' << 24 | 'm' << 16 | 'P' << 8 | 'x';
constexpr int32_t kPluginVersion = 1;

void putValues(PlugCore::ChunkWriter& chunk, const Program& program) {
  for (int i = 0; i < kParamCount; ++i) chunk.value(i, program.steps[(size_t)i]);
}

}  // namespace

std::vector<uint8_t> bankChunk(const std::vector<Program>& programs) {
  std::vector<uint8_t> out;
  PlugCore::ChunkWriter chunk(out, kProduct);
  // Each program is made by setting the current values and then capturing them under the program's name.
  for (size_t p = 0; p < programs.size(); ++p) {
    putValues(chunk, programs[p]);
    char name[PlugCore::kChunkProgramNameBytes] = {};  // NUL-padded, as the plug-in stores it
    std::memcpy(name, programs[p].name.data(), std::min(programs[p].name.size(), sizeof(name) - 1));
    chunk.programName((int32_t)p, name);
  }
  chunk.currentProgram(0);
  if (!programs.empty()) putValues(chunk, programs[0]);  // a new instance starts with the first program's sound
  return out;
}

std::vector<uint8_t> bankFile(const std::vector<Program>& programs) {
  return PlugCore::writeFxBank(kUniqueId, kPluginVersion, (int32_t)programs.size(), 0, bankChunk(programs));
}

}  // namespace bank
