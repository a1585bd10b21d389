// Reading and writing program and bank files; every field is big-endian and checked against the file size.
#include "plugcore/fx_container.h"

#include <algorithm>
#include <cstring>

namespace PlugCore {
namespace {

uint32_t readBE(const uint8_t* b) { return (uint32_t)b[0] << 24 | (uint32_t)b[1] << 16 | (uint32_t)b[2] << 8 | b[3]; }

void writeBE(std::vector<uint8_t>& b, int32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back((uint8_t)((uint32_t)v >> shift));
}

void writeTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

// Magic, byte size, type, version, ID, version of the plug-in, count: the seven words every file begins with.
void writeHeader(std::vector<uint8_t>& b, const char* type, int32_t version, int32_t fxID, int32_t fxVersion,
                 int32_t count) {
  writeTag(b, "CcnK");
  writeBE(b, 0);  // byte size, filled in when the file is complete
  writeTag(b, type);
  writeBE(b, version);
  writeBE(b, fxID);
  writeBE(b, fxVersion);
  writeBE(b, count);
}

void finish(std::vector<uint8_t>& b, const std::vector<uint8_t>& chunk) {
  writeBE(b, (int32_t)chunk.size());
  b.insert(b.end(), chunk.begin(), chunk.end());
  const auto byteSize = (int32_t)(b.size() - 8);  // everything after the magic and the size itself
  for (int i = 0; i < 4; ++i) b[4 + i] = (uint8_t)((uint32_t)byteSize >> (24 - 8 * i));
}

FxContainer& fail(FxContainer& c, FxProblem problem, size_t offset) {
  c.problem = problem;
  c.offset = offset;
  return c;
}

}  // namespace

FxContainer readFxContainer(const uint8_t* b, size_t size) {
  FxContainer c;
  c.fileSize = size;
  if (!b || size == 0) return fail(c, FxProblem::Empty, 0);
  if (size < 4 || std::memcmp(b, "CcnK", 4) != 0) return fail(c, FxProblem::NotContainer, 0);
  auto word = [&](size_t at, uint32_t& out) {
    if (size < at + 4) return false;
    out = readBE(b + at);
    return true;
  };
  if (!word(4, c.byteSize)) return fail(c, FxProblem::CutShort, size);
  if (size >= 12) c.type.assign(reinterpret_cast<const char*>(b + 8), 4);
  if ((int32_t)c.byteSize < 0 || c.byteSize > size - 8) return fail(c, FxProblem::ByteSizeTooLarge, 4);
  if (c.type != "FPCh" && c.type != "FBCh") return fail(c, FxProblem::UnsupportedType, 8);
  c.kind = c.type == "FPCh" ? FxKind::Program : FxKind::Bank;
  uint32_t id = 0, version = 0, count = 0;
  if (!word(16, id) || !word(20, version) || !word(24, count)) return fail(c, FxProblem::CutShort, size);
  c.fxID = (int32_t)id;
  c.fxVersion = (int32_t)version;
  c.count = (int32_t)count;
  const size_t sizeAt = c.kind == FxKind::Program ? kFxProgramChunkSizeAt : kFxBankChunkSizeAt;
  if (!word(sizeAt, c.declaredChunkSize)) return fail(c, FxProblem::CutShort, size);
  const size_t data = sizeAt + 4;
  if ((int32_t)c.declaredChunkSize < 0 || c.declaredChunkSize > size - data)
    return fail(c, FxProblem::ChunkPastEnd, sizeAt);
  c.chunk = b + data;
  c.chunkSize = c.declaredChunkSize;
  if (c.kind == FxKind::Program) {
    // The field holds a terminated string: a 28th byte that is not zero is not part of the name.
    const char* p = reinterpret_cast<const char*>(b + 28);
    c.name.assign(p, strnlen(p, kFxProgramNameBytes - 1));
  } else {
    uint32_t current = 0;
    word(28, current);
    c.currentProgram = (int32_t)current;
  }
  return c;
}

std::vector<uint8_t> writeFxProgram(int32_t fxID, int32_t fxVersion, int32_t numParams, const std::string& name,
                                    const std::vector<uint8_t>& chunk) {
  std::vector<uint8_t> b;
  writeHeader(b, "FPCh", 1, fxID, fxVersion, numParams);
  char field[kFxProgramNameBytes] = {};
  std::memcpy(field, name.data(), std::min(name.size(), kFxProgramNameBytes - 1));
  b.insert(b.end(), field, field + kFxProgramNameBytes);
  finish(b, chunk);
  return b;
}

std::vector<uint8_t> writeFxBank(int32_t fxID, int32_t fxVersion, int32_t numPrograms, int32_t currentProgram,
                                 const std::vector<uint8_t>& chunk) {
  std::vector<uint8_t> b;
  writeHeader(b, "FBCh", 2, fxID, fxVersion, numPrograms);
  writeBE(b, currentProgram);
  b.resize(kFxBankChunkSizeAt, 0);  // reserved
  finish(b, chunk);
  return b;
}

}  // namespace PlugCore
