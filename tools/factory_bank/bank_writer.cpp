// Writing the factory bank: the tagged records of the state chunk, program by program, then the current values.
#include "tools/factory_bank/bank_writer.h"

#include <algorithm>
#include <cstring>

#include "host/lib/fx_preset.h"

namespace bank {
namespace {

constexpr uint32_t kChunkMagic = 0x288C3D75;
constexpr uint16_t kChunkVersion = 5;
constexpr char kProduct[] = "Koralin";
constexpr int32_t kUniqueId = 'k' << 24 | 'm' << 16 | 'P' << 8 | 'x';
constexpr int32_t kPluginVersion = 1;

enum Tag : uint8_t { kValue = 0, kProgram = 2, kCurrentProgram = 3, kProductName = 4 };

void put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back((uint8_t)v); }
void put16(std::vector<uint8_t>& out, uint32_t v) {
  put8(out, v);
  put8(out, v >> 8);
}

void putText(std::vector<uint8_t>& out, const std::string& text, size_t field) {
  std::vector<uint8_t> bytes(field, 0);  // NUL-padded
  std::memcpy(bytes.data(), text.data(), std::min(text.size(), field - 1));
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void putValues(std::vector<uint8_t>& out, const Program& program) {
  for (int i = 0; i < kParamCount; ++i) {
    put8(out, kValue);
    put8(out, (uint32_t)i);
    put16(out, program.steps[(size_t)i]);
  }
}

}  // namespace

std::vector<uint8_t> bankChunk(const std::vector<Program>& programs) {
  std::vector<uint8_t> out;
  put16(out, kChunkMagic & 0xFFFF);
  put16(out, kChunkMagic >> 16);
  put16(out, kChunkVersion);
  put16(out, 0);
  put8(out, kProductName);
  putText(out, kProduct, 31);
  // Each program is made by setting the current values and then capturing them under the program's name.
  for (size_t p = 0; p < programs.size(); ++p) {
    putValues(out, programs[p]);
    put8(out, kProgram);
    put8(out, (uint32_t)p);
    putText(out, programs[p].name, 24);
  }
  put8(out, kCurrentProgram);
  put8(out, 0);
  if (!programs.empty()) putValues(out, programs[0]);  // a new instance starts with the first program's sound
  return out;
}

std::vector<uint8_t> bankFile(const std::vector<Program>& programs) {
  return Host::writeBankFile(kUniqueId, kPluginVersion, (int32_t)programs.size(), 0, bankChunk(programs));
}

}  // namespace bank
