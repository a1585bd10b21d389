// The state chunk's bytes: a header, then a stream of small tagged records. Reading and writing have no side
// effects; Plug applies what was read and decides what the user is told.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace PlugCore {

constexpr uint32_t kChunkMagic = 0x288C3D75;
constexpr int16_t kChunkVersion = 5;
constexpr size_t kChunkHeaderSize = 8;     // magic, version, a zero word
constexpr size_t kChunkProductBytes = 31;  // NUL-padded, not necessarily terminated
constexpr size_t kChunkProgramNameBytes = 24;

// The records. Every body has a fixed size (kChunkBodySize, by tag).
enum class ChunkTag : uint8_t {
  Value = 0,           // parameter index, the value as its whole number of 64000ths (16 bits)
  Controller = 1,      // parameter index, the learnt controller key (16 bits)
  ProgramName = 2,     // program index, 24 bytes of name; the current values are stored into that program
  CurrentProgram = 3,  // program index
  Product = 4,         // 31 bytes of product name
};
constexpr size_t kChunkTagCount = 5;
constexpr size_t kChunkBodySize[kChunkTagCount] = {3, 3, 1 + kChunkProgramNameBytes, 1, kChunkProductBytes};

// One record as read: index and number as the tag uses them; text points into the chunk (name or product bytes).
struct ChunkRecord {
  ChunkTag tag;
  uint8_t index;
  uint16_t number;
  const uint8_t* text;
};

// The texts of what can be wrong with a chunk, as the user reads them after "Error loading chunk: ".
extern const char* const kChunkNoHeader;
extern const char* const kChunkInvalidHeader;
extern const char* const kChunkLaterVersion;
extern const char* const kChunkCorrupted;

// What reading found: the records in order, up to the first problem, and that problem's text (null when whole).
struct ChunkReading {
  std::vector<ChunkRecord> records;
  const char* error = nullptr;
};
ChunkReading readChunk(const uint8_t* bytes, size_t size);

// Writes a chunk into out (cleared first): the header and the product record, then whatever records follow.
class ChunkWriter {
 public:
  ChunkWriter(std::vector<uint8_t>& out, const char* product);
  void value(int32_t index, uint32_t steps);
  void controller(int32_t index, int32_t key);
  void programName(int32_t program, const char* name);  // kChunkProgramNameBytes bytes, as stored
  void currentProgram(int32_t program);

 private:
  void tag(ChunkTag t, uint32_t index);
  std::vector<uint8_t>& out_;
};

}  // namespace PlugCore
