// libFuzzer target for koralin-render's preset-file reader: any bytes are a file or a clean refusal, and a program
// or bank file it accepts, written again by the writer, reads back to the same fields and the same bytes.
#include <cstdint>
#include <vector>

#include "host/lib/fx_preset.h"
#include "tests/fuzz/fuzz_require.h"

namespace {

using Bytes = std::vector<uint8_t>;
using FuzzRig::require;

Bytes write(const Host::PresetFile& file, int32_t currentProgram) {
  if (file.kind == Host::PresetKind::Program)
    return Host::writeProgramFile(file.fxID, file.fxVersion, file.count, file.name, file.chunk);
  return Host::writeBankFile(file.fxID, file.fxVersion, file.count, currentProgram, file.chunk);
}

void requireSameFile(const Host::PresetFile& a, const Host::PresetFile& b) {
  require(a.kind == b.kind && a.fxID == b.fxID && a.fxVersion == b.fxVersion && a.count == b.count,
          "a written file reads back with the same kind, ID, version and count");
  require(a.name == b.name, "a written program file reads back with the same name");
  require(a.chunk == b.chunk, "a written file reads back with the same chunk");
}

// The current-program word of a bank file, which the reader does not hand out.
int32_t currentProgramOf(const Bytes& bank) {
  return (int32_t)((uint32_t)bank[28] << 24 | (uint32_t)bank[29] << 16 | (uint32_t)bank[30] << 8 | bank[31]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Bytes bytes(data, data + size);
  Host::PresetFile file;
  try {
    file = Host::readPresetFile(bytes);
  } catch (const Host::PresetError&) {
    return 0;
  }
  if (file.kind == Host::PresetKind::RawChunk) {
    require(file.chunk == bytes, "a file without a preset header is handed on whole as the chunk");
    return 0;
  }
  require(file.chunk.size() <= size, "the chunk lies inside the file");
  const Bytes written = write(file, file.kind == Host::PresetKind::Bank ? currentProgramOf(bytes) : 0);
  Host::PresetFile again;
  try {
    again = Host::readPresetFile(written);
  } catch (const Host::PresetError&) {
    require(false, "the reader accepts what the writer wrote");
  }
  requireSameFile(file, again);
  require(write(again, file.kind == Host::PresetKind::Bank ? currentProgramOf(written) : 0) == written,
          "writing what was read from a written file gives the same bytes");
  return 0;
}
