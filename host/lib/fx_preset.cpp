// Reading and writing program and bank files; every field is big-endian and checked against the file size.
#include "host/lib/fx_preset.h"

#include <algorithm>
#include <cstring>

namespace Host {
namespace {

constexpr size_t kProgramChunkSizeAt = 56;
constexpr size_t kBankChunkSizeAt = 156;
constexpr size_t kNameBytes = 28;

[[noreturn]] void fail(const std::string& problem, size_t offset) {
  throw PresetError(problem + " at byte offset " + std::to_string(offset));
}

int32_t readBE(const std::vector<uint8_t>& b, size_t at) {
  if (b.size() < at + 4) fail("preset file cut short (" + std::to_string(b.size()) + " bytes)", b.size());
  return (int32_t)((uint32_t)b[at] << 24 | (uint32_t)b[at + 1] << 16 | (uint32_t)b[at + 2] << 8 | b[at + 3]);
}

void writeBE(std::vector<uint8_t>& b, int32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back((uint8_t)((uint32_t)v >> shift));
}

void writeTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

bool tagAt(const std::vector<uint8_t>& b, size_t at, const char* tag) {
  return b.size() >= at + 4 && std::memcmp(b.data() + at, tag, 4) == 0;
}

std::vector<uint8_t> chunkAt(const std::vector<uint8_t>& b, size_t sizeAt) {
  int32_t size = readBE(b, sizeAt);
  size_t data = sizeAt + 4;
  if (size < 0 || (size_t)size > b.size() - data)
    fail("chunk size " + std::to_string(size) + " runs past the end of the file (" + std::to_string(b.size()) +
             " bytes)", sizeAt);
  return std::vector<uint8_t>(b.begin() + (ptrdiff_t)data, b.begin() + (ptrdiff_t)(data + (size_t)size));
}

// The field holds a terminated string: a 28th byte that is not zero is not part of the name, as the writer keeps it.
std::string nameAt(const std::vector<uint8_t>& b, size_t at) {
  const char* p = reinterpret_cast<const char*>(b.data() + at);
  return std::string(p, strnlen(p, kNameBytes - 1));
}

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
  int32_t byteSize = (int32_t)(b.size() - 8);  // everything after the magic and the size itself
  for (int i = 0; i < 4; ++i) b[4 + i] = (uint8_t)((uint32_t)byteSize >> (24 - 8 * i));
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
  PresetFile file;
  if (b.empty()) fail("preset file is empty", 0);
  if (!tagAt(b, 0, "CcnK")) {
    file.chunk = b;
    return file;
  }
  int32_t byteSize = readBE(b, 4);
  if (byteSize < 0 || (size_t)byteSize > b.size() - 8)
    fail("header declares " + std::to_string(byteSize) + " bytes but the file holds " + std::to_string(b.size() - 8),
         4);
  bool program = tagAt(b, 8, "FPCh"), bank = tagAt(b, 8, "FBCh");
  if (!program && !bank) {
    std::string type = b.size() >= 12 ? std::string(b.begin() + 8, b.begin() + 12) : std::string();
    fail("unsupported preset type \"" + type + "\" (only opaque-chunk \"FPCh\" and \"FBCh\" files)", 8);
  }
  file.kind = program ? PresetKind::Program : PresetKind::Bank;
  file.fxID = readBE(b, 16);
  file.fxVersion = readBE(b, 20);
  file.count = readBE(b, 24);
  size_t sizeAt = program ? kProgramChunkSizeAt : kBankChunkSizeAt;
  file.chunk = chunkAt(b, sizeAt);
  if (program) file.name = nameAt(b, 28);
  return file;
}

std::vector<uint8_t> writeProgramFile(int32_t fxID, int32_t fxVersion, int32_t numParams, const std::string& name,
                                      const std::vector<uint8_t>& chunk) {
  std::vector<uint8_t> b;
  writeHeader(b, "FPCh", 1, fxID, fxVersion, numParams);
  char field[kNameBytes] = {};
  std::memcpy(field, name.data(), std::min(name.size(), kNameBytes - 1));
  b.insert(b.end(), field, field + kNameBytes);
  finish(b, chunk);
  return b;
}

std::vector<uint8_t> writeBankFile(int32_t fxID, int32_t fxVersion, int32_t numPrograms, int32_t currentProgram,
                                   const std::vector<uint8_t>& chunk) {
  std::vector<uint8_t> b;
  writeHeader(b, "FBCh", 2, fxID, fxVersion, numPrograms);
  writeBE(b, currentProgram);
  b.resize(kBankChunkSizeAt, 0);  // reserved
  finish(b, chunk);
  return b;
}

}  // namespace Host
