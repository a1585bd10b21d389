// Writes the fuzz targets' seeds from the real instrument: its bank and preset chunks (behind the chunk target's
// mode byte) and the program and bank files koralin-render reads.
#include <cstdio>
#include <string>

#include "host/lib/fx_preset.h"
#include "tests/fuzz/fuzz_instrument.h"

namespace {

using FuzzRig::Bytes;

bool writeFile(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

Bytes withMode(uint8_t mode, const Bytes& chunk) {
  Bytes out{mode};
  out.insert(out.end(), chunk.begin(), chunk.end());
  return out;
}

// A state a musician might save: moved knobs in two programs, a renamed program, two controllers bound.
void shapeState(FuzzRig::FuzzInstrument& plug) {
  AEffect* e = plug.effect();
  const float sweep[] = {1.0f, 0.3f, 0.9f, 0.85f, 0.2f, 0.75f, 1.0f};
  for (int32_t i = 0; i < e->numParams; ++i) e->setParameter(e, i, sweep[i % 7]);
  char name[] = "Squelch";
  plug.dispatch(effSetProgramName, 0, 0, name);
  plug.dispatch(effSetProgram, 0, 3);
  e->setParameter(e, 2, 0.1f);
  // Bindings arrive as the chunk's own records: cutoff on controller 74, resonance on 71.
  Bytes bound = plug.getChunk(true);
  bound.insert(bound.end(), {1, 2, 0x4A, 0xB0, 1, 3, 0x47, 0xB0});
  plug.setChunk(bound, true);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CHUNK_SEED_FOLDER PRESET_FILE_SEED_FOLDER\n", argv[0]);
    return 2;
  }
  FuzzRig::FuzzInstrument plug;
  shapeState(plug);
  AEffect* e = plug.effect();
  const Bytes bank = plug.getChunk(false), preset = plug.getChunk(true);
  Bytes other = preset;
  other[9] = 'X';  // the product name's first character: a chunk of another product made with the same core
  const std::string chunks = argv[1], files = argv[2];
  const bool ok = writeFile(chunks + "/bank.bin", withMode(0x00, bank)) &&
                  writeFile(chunks + "/preset.bin", withMode(0x01 | 0x80 | (6 << 2), preset)) &&
                  writeFile(chunks + "/other-product.bin", withMode(0x03, other)) &&
                  writeFile(files + "/koralin.fxp",
                            Host::writeProgramFile(e->uniqueID, e->version, e->numParams, "Squelch", preset)) &&
                  writeFile(files + "/koralin.fxb", Host::writeBankFile(e->uniqueID, e->version, e->numPrograms,
                                                                        (int32_t)plug.dispatch(effGetProgram), bank));
  if (!ok) std::perror("cannot write the seeds");
  return ok ? 0 : 1;
}
