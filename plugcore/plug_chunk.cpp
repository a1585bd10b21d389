// Plug's programs and its state chunk: a header and a stream of small tagged records.
#include <cstdio>
#include <cstring>

#include "platform/dialogs.h"
#include "plugcore/plug.h"

namespace PlugCore {
namespace {

constexpr uint32_t kChunkMagic = 0x288C3D75;
constexpr int16_t kChunkVersion = 5;
// Body sizes of the records, by tag.
constexpr size_t kBodySize[] = {3, 3, 25, 1, 31};

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

void putValue(std::vector<uint8_t>& out, int32_t index, float value) {
  put8(out, 0);
  put8(out, (uint32_t)index);
  put16(out, quantize(value));
}

}  // namespace

void Plug::storeCurrentIntoProgram(int32_t program) {
  if (program < 0 || program >= programCount()) return;
  std::vector<Relaxed<float>>& values = programs_[(size_t)program].values;
  for (int32_t i = 0; i < params_.count(); ++i) values[(size_t)i] = params_[i].value;
}

bool Plug::tryTakePrograms() {
  const std::thread::id self = std::this_thread::get_id();
  std::thread::id owner{};
  if (!programsOwner_.compare_exchange_strong(owner, self, std::memory_order_acquire) && owner != self) return false;
  ++programsDepth_;
  return true;
}

void Plug::takePrograms() {
  while (!tryTakePrograms()) std::this_thread::yield();  // the audio thread holds it for a few stores at most
}

void Plug::givePrograms() {
  if (--programsDepth_ == 0) programsOwner_.store(std::thread::id{}, std::memory_order_release);
}

void Plug::setProgram(int32_t program) {
  ProgramsHeld held(*this);
  applyProgram(program);
}

void Plug::applyProgram(int32_t program) {
  if (program < 0 || program >= programCount()) return;  // a negative index from the host is out of range too
  storeCurrentIntoProgram(curProgram);
  const std::vector<Relaxed<float>>& values = programs_[(size_t)program].values;
  for (int32_t i = 0; i < params_.count(); ++i)
    if (!(params_[i].flags & kParamGlobal)) setParameter(i, values[(size_t)i]);
  curProgram = program;
  programChanged();
}

void Plug::requestProgram(int32_t program) {
  if (!tryTakePrograms()) {
    pendingProgram_ = program;  // a chunk load or the host's own program change is under way
    return;
  }
  applyProgram(program);
  givePrograms();
  pendingProgram_ = -1;
  updateDisplay();
}

void Plug::setProgramName(char* name) {
  ProgramsHeld held(*this);
  const int32_t current = curProgram;
  if (current < 0 || current >= programCount() || !name) return;
  std::snprintf(programs_[(size_t)current].name, sizeof(PlugProgram::name), "%s", name);
}

void Plug::getProgramName(char* name) {
  const int32_t current = curProgram;
  const bool valid = current >= 0 && current < programCount();
  std::snprintf(name, kVstMaxProgNameLen, "%s", valid ? programs_[(size_t)current].name : "");
}

bool Plug::getProgramNameIndexed(int32_t, int32_t index, char* text) {
  if (index < 0 || index >= programCount()) return false;
  std::snprintf(text, kVstMaxProgNameLen, "%s", programs_[(size_t)index].name);
  return true;
}

void Plug::buildChunk(bool isPreset, std::vector<uint8_t>& out) {
  out.clear();
  put32(out, kChunkMagic);
  put16(out, (uint16_t)kChunkVersion);
  put16(out, 0);
  put8(out, 4);
  char product[31] = {};  // NUL-padded, not necessarily terminated
  std::memcpy(product, name_, strnlen(name_, sizeof(product)));
  out.insert(out.end(), product, product + sizeof(product));
  if (!isPreset) {
    for (int32_t p = 0; p < programCount(); ++p) {
      const PlugProgram& program = programs_[(size_t)p];
      for (int32_t i = 0; i < params_.count(); ++i) putValue(out, i, program.values[(size_t)i]);
      put8(out, 2);
      put8(out, (uint32_t)p);
      out.insert(out.end(), program.name, program.name + sizeof(program.name));
    }
    put8(out, 3);
    put8(out, (uint32_t)getProgram());
  }
  for (int32_t i = 0; i < params_.count(); ++i)
    if (!(params_[i].flags & kParamUnsaved)) putValue(out, i, params_[i].value);
  for (int32_t i = 0; i < params_.count(); ++i) {
    if (params_[i].controllerKey == kNoController) continue;
    put8(out, 1);
    put8(out, (uint32_t)i);
    put16(out, (uint32_t)params_[i].controllerKey & 0xFFFF);
  }
}

int32_t Plug::getChunk(void** data, bool isPreset) {
  ProgramsHeld held(*this);
  buildChunk(isPreset, chunk_);
  if (data) *data = chunk_.data();
  return (int32_t)chunk_.size();
}

void Plug::writeChunkError(const char* what) {
  char caption[64], text[256];
  std::snprintf(caption, sizeof(caption), "%s error", name_);
  std::snprintf(text, sizeof(text), "Error loading chunk: %s", what);
  Platform::showError(caption, text);
}

int32_t Plug::setChunk(void* data, int32_t byteSize, bool) {
  ProgramsHeld held(*this);
  const auto* bytes = static_cast<const uint8_t*>(data);
  return loadChunk(bytes, (bytes && byteSize > 0) ? (size_t)byteSize : 0);
}

int32_t Plug::loadChunk(const uint8_t* bytes, size_t size) {
  if (size < 8) {
    writeChunkError("No header");
    return 0;
  }
  if (get32(bytes) != kChunkMagic) {
    writeChunkError("Invalid header");
    return 0;
  }
  if (get16(bytes + 6) != 0 || (int16_t)get16(bytes + 4) > kChunkVersion) {
    writeChunkError("Program or bank was saved with a later version.\nPlease update the plugin and try again.");
    return 0;
  }
  for (size_t at = 8; at < size;) {
    const uint8_t tag = bytes[at++];
    if (tag > 4 || size - at < kBodySize[tag]) {
      writeChunkError("Chunk appears corrupted.");
      return 0;
    }
    const uint8_t* body = bytes + at;
    at += kBodySize[tag];
    switch (tag) {
      case 0: editFromStored(body[0], get16(body + 1)); break;
      case 1:
        // A binding for a parameter this product does not have is ignored.
        if (body[0] < params_.count()) bind((int32_t)(int16_t)get16(body + 1), body[0]);
        break;
      case 2:
        if (body[0] < programCount()) {
          PlugProgram& program = programs_[body[0]];
          std::memcpy(program.name, body + 1, sizeof(program.name));
          program.name[sizeof(program.name) - 1] = 0;
          storeCurrentIntoProgram(body[0]);
        }
        break;
      case 3:
        if (body[0] < programCount()) curProgram = body[0];
        break;
      case 4: {
        char product[32] = {};
        std::memcpy(product, body, 31);
        if (std::strncmp(product, name_, 31) != 0) {
          char question[128];
          std::snprintf(question, sizeof(question), "Trying to load a preset for \"%s\"\nDo you want to continue?",
                        product);
          if (!Platform::askYesNo(name_, question)) return 0;
        }
        break;
      }
    }
  }
  return 0;
}

}  // namespace PlugCore
