// The host's side of program and bank files: the shared reader's findings as errors with their byte offsets.
#include "host/lib/fx_preset.h"

#include "plugcore/fx_container.h"

namespace Host {
namespace {

[[noreturn]] void fail(const std::string& problem, size_t offset) {
  throw PresetError(problem + " at byte offset " + std::to_string(offset));
}

}  // namespace

std::string fourCCText(int32_t id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = (char)((uint32_t)id >> shift);
    text += c >= 32 && c < 127 ? c : '?';
  }
  return text;
}

PresetFile readPresetFile(const std::vector<uint8_t>& b) {
  using PlugCore::FxProblem;
  const PlugCore::FxContainer c = PlugCore::readFxContainer(b.data(), b.size());
  PresetFile file;
  switch (c.problem) {
    case FxProblem::None: break;
    case FxProblem::Empty: fail("preset file is empty", 0);
    case FxProblem::NotContainer: file.chunk = b; return file;
    case FxProblem::CutShort: fail("preset file cut short (" + std::to_string(b.size()) + " bytes)", c.offset);
    case FxProblem::ByteSizeTooLarge:
      fail("header declares " + std::to_string((int32_t)c.byteSize) + " bytes but the file holds " +
               std::to_string(b.size() - 8),
           c.offset);
    case FxProblem::UnsupportedType:
      fail("unsupported preset type \"" + c.type + "\" (only opaque-chunk \"FPCh\" and \"FBCh\" files)", c.offset);
    case FxProblem::ChunkPastEnd:
      fail("chunk size " + std::to_string((int32_t)c.declaredChunkSize) + " runs past the end of the file (" +
               std::to_string(b.size()) + " bytes)",
           c.offset);
  }
  file.kind = c.kind == PlugCore::FxKind::Program ? PresetKind::Program : PresetKind::Bank;
  file.fxID = c.fxID;
  file.fxVersion = c.fxVersion;
  file.count = c.count;
  file.name = c.name;
  file.chunk.assign(c.chunk, c.chunk + c.chunkSize);
  return file;
}

std::vector<uint8_t> writeProgramFile(int32_t fxID, int32_t fxVersion, int32_t numParams, const std::string& name,
                                      const std::vector<uint8_t>& chunk) {
  return PlugCore::writeFxProgram(fxID, fxVersion, numParams, name, chunk);
}

std::vector<uint8_t> writeBankFile(int32_t fxID, int32_t fxVersion, int32_t numPrograms, int32_t currentProgram,
                                   const std::vector<uint8_t>& chunk) {
  return PlugCore::writeFxBank(fxID, fxVersion, numPrograms, currentProgram, chunk);
}

}  // namespace Host
