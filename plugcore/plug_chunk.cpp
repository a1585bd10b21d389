// Plug's programs and its state chunk: a header and a stream of small tagged records.
#include <cstdio>
#include <cstring>

#include "platform/dialogs.h"
#include "plugcore/chunk_codec.h"
#include "plugcore/embedder.h"
#include "plugcore/plug.h"

namespace PlugCore {
namespace {

// An embedding host takes a refused chunk as a result for its own host, so no box stands in front of the person.
bool embedderTakesRefusal(AudioEffect& plug, const char* reason) {
  return plug.hostCallback(audioMasterVendorSpecific, kEmbedderQuestion, kChunkRefused, (void*)reason) == kRefusalTaken;
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
  ChunkWriter chunk(out, name_);
  if (!isPreset) {
    for (int32_t p = 0; p < programCount(); ++p) {
      const PlugProgram& program = programs_[(size_t)p];
      for (int32_t i = 0; i < params_.count(); ++i) chunk.value(i, quantize(program.values[(size_t)i]));
      chunk.programName(p, program.name);
    }
    chunk.currentProgram(getProgram());
  }
  for (int32_t i = 0; i < params_.count(); ++i)
    if (!(params_[i].flags & kParamUnsaved)) chunk.value(i, quantize(params_[i].value));
  for (int32_t i = 0; i < params_.count(); ++i)
    if (params_[i].controllerKey != kNoController) chunk.controller(i, params_[i].controllerKey);
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
  if (!embedderTakesRefusal(*this, what)) Platform::showError(caption, text);
}

int32_t Plug::setChunk(void* data, int32_t byteSize, bool) {
  ProgramsHeld held(*this);
  const auto* bytes = static_cast<const uint8_t*>(data);
  return loadChunk(bytes, (bytes && byteSize > 0) ? (size_t)byteSize : 0);
}

// Applies the records in order; a problem found further on is reported after what came before it was loaded.
int32_t Plug::loadChunk(const uint8_t* bytes, size_t size) {
  const ChunkReading reading = readChunk(bytes, size);
  for (const ChunkRecord& record : reading.records)
    if (!applyChunkRecord(record)) return 0;
  if (reading.error) writeChunkError(reading.error);
  return 0;
}

bool Plug::applyChunkRecord(const ChunkRecord& record) {
  switch (record.tag) {
    case ChunkTag::Value: editFromStored(record.index, record.number); break;
    case ChunkTag::Controller:
      // A binding for a parameter this product does not have is ignored.
      if (record.index < params_.count()) bind((int32_t)(int16_t)record.number, record.index);
      break;
    case ChunkTag::ProgramName:
      if (record.index < programCount()) {
        PlugProgram& program = programs_[record.index];
        std::memcpy(program.name, record.text, sizeof(program.name));
        program.name[sizeof(program.name) - 1] = 0;
        storeCurrentIntoProgram(record.index);
      }
      break;
    case ChunkTag::CurrentProgram:
      if (record.index < programCount()) curProgram = record.index;
      break;
    case ChunkTag::Product: {
      char product[kChunkProductBytes + 1] = {};
      std::memcpy(product, record.text, kChunkProductBytes);
      if (std::strncmp(product, name_, kChunkProductBytes) != 0) {
        char question[128];
        std::snprintf(question, sizeof(question), "Trying to load a preset for \"%s\"\nDo you want to continue?",
                      product);
        if (embedderTakesRefusal(*this, question) || !Platform::askYesNo(name_, question)) return false;
      }
      break;
    }
  }
  return true;
}

}  // namespace PlugCore
