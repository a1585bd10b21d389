// Reading and writing the state chunk's header and records; every length is checked before it is read.
#include "plugcore/chunk_codec.h"

#include <cstring>

namespace PlugCore {
namespace {

void put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back((uint8_t)v); }
void put16(std::vector<uint8_t>& out, uint32_t v) {
  put8(out, v);
  put8(out, v >> 8);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v);
  put16(out, v >> 16);
}
uint32_t get16(const uint8_t* p) { return p[0] | (uint32_t)p[1] << 8; }
uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }

}  // namespace

const char* const kChunkNoHeader = "No header";
const char* const kChunkInvalidHeader = "Invalid header";
const char* const kChunkLaterVersion =
    "Program or bank was saved with a later version.\nPlease update the plugin and try again.";
const char* const kChunkCorrupted = "Chunk appears corrupted.";

ChunkReading readChunk(const uint8_t* bytes, size_t size) {
  ChunkReading reading;
  if (!bytes || size < kChunkHeaderSize) {
    reading.error = kChunkNoHeader;
    return reading;
  }
  if (get32(bytes) != kChunkMagic) {
    reading.error = kChunkInvalidHeader;
    return reading;
  }
  if (get16(bytes + 6) != 0 || (int16_t)get16(bytes + 4) > kChunkVersion) {
    reading.error = kChunkLaterVersion;
    return reading;
  }
  for (size_t at = kChunkHeaderSize; at < size;) {
    const uint8_t tag = bytes[at++];
    if (tag >= kChunkTagCount || size - at < kChunkBodySize[tag]) {
      reading.error = kChunkCorrupted;
      return reading;
    }
    const uint8_t* body = bytes + at;
    at += kChunkBodySize[tag];
    ChunkRecord record{(ChunkTag)tag, body[0], 0, nullptr};
    switch ((ChunkTag)tag) {
      case ChunkTag::Value:
      case ChunkTag::Controller: record.number = (uint16_t)get16(body + 1); break;
      case ChunkTag::ProgramName: record.text = body + 1; break;
      case ChunkTag::CurrentProgram: break;
      case ChunkTag::Product:
        record.index = 0;
        record.text = body;
        break;
    }
    reading.records.push_back(record);
  }
  return reading;
}

ChunkWriter::ChunkWriter(std::vector<uint8_t>& out, const char* product) : out_(out) {
  out_.clear();
  put32(out_, kChunkMagic);
  put16(out_, (uint16_t)kChunkVersion);
  put16(out_, 0);
  put8(out_, (uint32_t)ChunkTag::Product);
  char field[kChunkProductBytes] = {};
  std::memcpy(field, product, strnlen(product, sizeof(field)));
  out_.insert(out_.end(), field, field + sizeof(field));
}

void ChunkWriter::tag(ChunkTag t, uint32_t index) {
  put8(out_, (uint32_t)t);
  put8(out_, index);
}

void ChunkWriter::value(int32_t index, uint32_t steps) {
  tag(ChunkTag::Value, (uint32_t)index);
  put16(out_, steps);
}

void ChunkWriter::controller(int32_t index, int32_t key) {
  tag(ChunkTag::Controller, (uint32_t)index);
  put16(out_, (uint32_t)key & 0xFFFF);
}

void ChunkWriter::programName(int32_t program, const char* name) {
  tag(ChunkTag::ProgramName, (uint32_t)program);
  out_.insert(out_.end(), name, name + kChunkProgramNameBytes);
}

void ChunkWriter::currentProgram(int32_t program) { tag(ChunkTag::CurrentProgram, (uint32_t)program); }

}  // namespace PlugCore
