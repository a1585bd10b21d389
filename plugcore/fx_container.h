// Program files (.fxp, "FPCh") and bank files (.fxb, "FBCh") around an opaque state chunk: seven big-endian words,
// a name (programs) or the current program and reserved bytes (banks), the chunk's size and the chunk. Reading
// checks every field against the size and has no side effects; callers decide what a problem means to the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace PlugCore {

constexpr size_t kFxProgramChunkSizeAt = 56;
constexpr size_t kFxBankChunkSizeAt = 156;
constexpr size_t kFxProgramNameBytes = 28;

enum class FxKind { Program, Bank };

// The first thing found wrong, in reading order: the byte size, the type, the header words, the chunk.
enum class FxProblem { None, Empty, NotContainer, CutShort, ByteSizeTooLarge, UnsupportedType, ChunkPastEnd };

struct FxContainer {
  FxProblem problem = FxProblem::None;
  size_t offset = 0;  // where the problem was found
  size_t fileSize = 0;
  uint32_t byteSize = 0;  // as declared after the magic (0 when the file is too short to hold it)
  std::string type;       // the four type bytes, empty when the file is too short to hold them
  FxKind kind = FxKind::Program;
  int32_t fxID = 0, fxVersion = 0, count = 0;
  int32_t currentProgram = 0;  // banks only
  std::string name;            // programs only: up to 27 bytes, as the writer keeps it
  uint32_t declaredChunkSize = 0;
  const uint8_t* chunk = nullptr;  // into the bytes read; set only when the file is whole
  size_t chunkSize = 0;
};

FxContainer readFxContainer(const uint8_t* bytes, size_t size);

std::vector<uint8_t> writeFxProgram(int32_t fxID, int32_t fxVersion, int32_t numParams, const std::string& name,
                                    const std::vector<uint8_t>& chunk);
std::vector<uint8_t> writeFxBank(int32_t fxID, int32_t fxVersion, int32_t numPrograms, int32_t currentProgram,
                                 const std::vector<uint8_t>& chunk);

}  // namespace PlugCore
